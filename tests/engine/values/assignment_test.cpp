#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "engine/values/operators.h"
#include "engine/values/pointer_value.h"
#include "engine/values/value_access.h"
#include "engine/values/variant.h"
#include "value_test_support.h"

namespace dravik::engine::values {
namespace {

using testing::FaultOf;
using testing::HostMessageOf;
using testing::TestValue;

class NoEnvironment : public ValueEnvironment {
 public:
  const TPSTypeRec* TypeByNumber(std::uint32_t) const override { return nullptr; }
  const TPSTypeRec& VariantType() const override { return variant_; }
  bool IsObjectOfClass(const void*, std::string_view) const override { return false; }

 private:
  TPSTypeRec variant_{image::tcVariant};
};

class AssignmentTest : public ::testing::Test {
 protected:
  AssignmentTest() {
    point.fields = {&s32, &s32};
    point.CalcSize();
    samePoint.fields = {&s32, &s32};
    samePoint.CalcSize();
    named.fields = {&s32, &str};
    named.CalcSize();
    dispatch.exportName = "IDISPATCH";
  }

  void Assign(TestValue& dest, TestValue& source) { AssignValue(dest.Ref(), source.Ref(), env); }
  void Assign(TestValue& dest, ValueRef source) { AssignValue(dest.Ref(), source, env); }
  template <class T>
  void AssignNumber(TestValue& dest, const TPSTypeRec& type, T number) {
    AssignValue(dest.Ref(), {&number, &type}, env);
  }
  std::string MismatchOf(TestValue& dest, TestValue& source) {
    return HostMessageOf([&] { Assign(dest, source); });
  }
  image::TQXException FaultOfAssign(TestValue& dest, TestValue& source) {
    return FaultOf([&] { Assign(dest, source); });
  }

  NoEnvironment env;
  TPSTypeRec u8{image::tcU8}, s8{image::tcS8}, u16{image::tcU16}, u32{image::tcU32}, s32{image::tcS32},
      s64{image::tcS64};
  TPSTypeRec single{image::tcSingle}, dbl{image::tcDouble}, ext{image::tcExtended}, currency{image::tcCurrency};
  TPSTypeRec chr{image::tcChar}, wchr{image::tcWideChar}, str{image::tcString}, pchar{image::tcPChar},
      wstr{image::tcWideString};
  TPSTypeRec variant{image::tcVariant}, pointer{image::tcPointer}, procPtr{image::tcProcPtr}, object{image::tcClass};
  TPSTypeRec_Interface unknown{{}}, dispatch{{}};
  TPSTypeRec_Record point, samePoint, named;
  TPSTypeRec_Array numbers{&s32}, otherNumbers{&s32}, strings{&str};
};

// ---------------------------------------------------------------------------------------------
// Integer and character destinations

TEST_F(AssignmentTest, IntegersAreCutToTheDestinationWidth) {
  TestValue b(u8), w(u16), i(s32);
  AssignNumber<std::int32_t>(b, s32, 300);
  EXPECT_EQ(b.Get<std::uint8_t>(), 44);
  AssignNumber<std::int32_t>(w, s32, -1);
  EXPECT_EQ(w.Get<std::uint16_t>(), 65535);
  AssignNumber<std::int64_t>(i, s64, 0x1'0000'0005);
  EXPECT_EQ(i.Get<std::int32_t>(), 5);
  AssignNumber<char>(i, chr, 'A');
  EXPECT_EQ(i.Get<std::int32_t>(), 65);
}

TEST_F(AssignmentTest, Int64ExtendsBySignednessAndTakesNoCharacters) {
  TestValue big(s64), c(chr);
  AssignNumber<std::int8_t>(big, s8, -1);
  EXPECT_EQ(big.Get<std::int64_t>(), -1);
  AssignNumber<std::uint32_t>(big, u32, 0xFFFFFFFF);
  EXPECT_EQ(big.Get<std::int64_t>(), 4294967295);
  c.Set('x');
  EXPECT_EQ(MismatchOf(big, c), kTypeMismatchMessage);
}

TEST_F(AssignmentTest, NumbersDoNotTakeTextOrReals) {
  TestValue i(s32), text(str), real(dbl);
  SetStringAt(text.Data(), "12");
  EXPECT_EQ(MismatchOf(i, text), "Type Mismatch");
  real.Set(1.0);
  EXPECT_EQ(MismatchOf(i, real), "Type Mismatch");
  EXPECT_EQ(i.Get<std::int32_t>(), 0);
}

// Only the 32-bit ordinal and character destinations take a one-character text as its code;
// Int64 and the reals read the text as a number.
TEST_F(AssignmentTest, AOneCharacterStringVariantGivesItsCodeToOrdinalsOnly) {
  TestValue v(variant), b(u8), c(chr), big(s64), real(dbl), text(str);
  SetStringAt(text.Data(), "5");
  Assign(v, text);
  Assign(b, v);
  Assign(c, v);
  Assign(big, v);
  Assign(real, v);
  EXPECT_EQ(b.Get<std::uint8_t>(), 53);
  EXPECT_EQ(c.Get<char>(), '5');
  EXPECT_EQ(big.Get<std::int64_t>(), 5);
  EXPECT_EQ(real.Get<double>(), 5.0);
  SetStringAt(text.Data(), "A");
  Assign(v, text);
  Assign(b, v);
  EXPECT_EQ(b.Get<std::uint8_t>(), 65);
  EXPECT_EQ(MismatchOf(big, v), kTypeMismatchMessage);
}

// ---------------------------------------------------------------------------------------------
// Real and currency destinations

TEST_F(AssignmentTest, RealsTakeIntegersRealsAndCurrency) {
  TestValue d(dbl), e(ext), c(currency);
  AssignNumber<std::int64_t>(d, s64, -7);
  EXPECT_EQ(d.Get<double>(), -7.0);
  c.Set<std::int64_t>(15000);
  Assign(e, c);
  EXPECT_EQ(GetReal(e.Ref()), 1.5L);
}

TEST_F(AssignmentTest, ARealTooLargeForASingleBecomesInfinite) {
  TestValue f(single), huge(ext);
  StoreExtended(huge.Data(), 1e300L);
  Assign(f, huge);
  EXPECT_EQ(f.Get<float>(), std::numeric_limits<float>::infinity());
}

TEST_F(AssignmentTest, CurrencyIsScaledAndRangeChecked) {
  TestValue c(currency);
  AssignNumber<std::int32_t>(c, s32, 3);
  EXPECT_EQ(c.Get<std::int64_t>(), 30000);
  AssignNumber<double>(c, dbl, 1.23456);
  EXPECT_EQ(c.Get<std::int64_t>(), 12346);
  AssignNumber<double>(c, dbl, -1.23454);
  EXPECT_EQ(c.Get<std::int64_t>(), -12345);
  EXPECT_EQ(FaultOf([&] { AssignNumber<std::int64_t>(c, s64, std::numeric_limits<std::int64_t>::max()); }),
            image::ErMathError);
  EXPECT_EQ(FaultOf([&] { AssignNumber<double>(c, dbl, std::nan("")); }), image::ErMathError);
  EXPECT_EQ(c.Get<std::int64_t>(), -12345);
}

// ---------------------------------------------------------------------------------------------
// String destinations

TEST_F(AssignmentTest, StringsShareBlocksAndConvertCharacters) {
  TestValue s(str), p(pchar), c(chr), w(wstr);
  c.Set('z');
  Assign(s, c);
  EXPECT_EQ(StringAt(s.Data()), "z");
  Assign(p, s);
  EXPECT_EQ(Load<StringBlock*>(p.Data()), Load<StringBlock*>(s.Data()));
  SetWideStringAt(w.Data(), u"\u0141ab");
  Assign(s, w);
  EXPECT_EQ(StringAt(s.Data()), "Aab");
}

TEST_F(AssignmentTest, WideStringsTakeWordsAsCharacters) {
  TestValue w(wstr), s(str), i(s32);
  AssignNumber<std::uint16_t>(w, u16, 0x263A);
  EXPECT_EQ(WideStringAt(w.Data()), u"\u263A");
  SetStringAt(s.Data(), "\xE9");
  Assign(w, s);
  EXPECT_EQ(WideStringAt(w.Data()), u"\u00E9");
  EXPECT_EQ(MismatchOf(w, i), kTypeMismatchMessage);
}

// ---------------------------------------------------------------------------------------------
// Records, sets and arrays: only compatible types

TEST_F(AssignmentTest, RecordsTakeOnlyTheVerySameType) {
  TestValue a(point), b(samePoint), c(named), d(named);
  EXPECT_EQ(FaultOfAssign(a, b), image::ErTypeMismatch);
  SetStringAt(c.Bytes() + named.fieldMemOffsets[1], "name");
  Assign(d, c);
  EXPECT_EQ(StringAt(d.Bytes() + named.fieldMemOffsets[1]), "name");
  TPSTypeRec_Set small(8), other(8);
  small.CalcSize();
  other.CalcSize();
  TestValue s(small), o(other);
  EXPECT_EQ(FaultOfAssign(s, o), image::ErTypeMismatch);
}

TEST_F(AssignmentTest, ArraysWithTheSameElementsShareTheBlock) {
  TestValue a(numbers), b(otherNumbers), s(strings);
  SetArrayLengthAt(a.Data(), s32, 2);
  Assign(b, a);
  EXPECT_EQ(ArrayAt(b.Data()), ArrayAt(a.Data()));
  EXPECT_EQ(ArrayAt(a.Data())->refCount, 2);
  EXPECT_EQ(FaultOfAssign(s, a), image::ErTypeMismatch);
}

TEST_F(AssignmentTest, AStaticArrayIsCopiedIntoTheArray) {
  TPSTypeRec_StaticArray three(&str, 3);
  three.CalcSize();
  TestValue fixed(three), a(strings), shared(strings);
  SetArrayLengthAt(a.Data(), str, 5);
  CopyValue(shared.Data(), a.Data(), strings);
  SetStringAt(fixed.Bytes() + 2 * sizeof(void*), "third");
  Assign(a, fixed);
  EXPECT_EQ(ArrayLengthAt(a.Data()), 3u);
  EXPECT_EQ(StringAt(ArrayAt(a.Data())->Elements() + 2 * sizeof(void*)), "third");
  EXPECT_EQ(ArrayLengthAt(shared.Data()), 5u);
}

// ---------------------------------------------------------------------------------------------
// Procedural, class and interface destinations

TEST_F(AssignmentTest, AProcedureNumberSetsOnlyTheNumber) {
  TestValue proc(procPtr);
  Store<std::uint32_t>(proc.Bytes() + ProcPtrLayout::kCode, 0xAB);
  AssignNumber<std::uint32_t>(proc, u32, 7);
  EXPECT_EQ(Load<std::uint32_t>(proc.Bytes() + ProcPtrLayout::kProcNo), 7u);
  EXPECT_EQ(Load<std::uint32_t>(proc.Bytes() + ProcPtrLayout::kCode), 0xABu);
  TestValue i(s32);
  EXPECT_EQ(FaultOfAssign(proc, i), image::ErTypeMismatch);
}

TEST_F(AssignmentTest, InterfacesFromObjectsOnlyFromNull) {
  TestValue intf(unknown), obj(object);
  Store<void*>(intf.Data(), &env);
  Assign(intf, obj);
  EXPECT_EQ(intf.Get<void*>(), nullptr);
  obj.Set<void*>(&env);
  EXPECT_EQ(FaultOfAssign(intf, obj), image::erInterfaceNotSupported);
  TestValue v(variant);
  EXPECT_EQ(FaultOfAssign(intf, v), image::ErTypeMismatch);  // only IDispatch takes variants
  TestValue disp(dispatch);
  Assign(disp, v);
  EXPECT_EQ(disp.Get<void*>(), nullptr);
}

// ---------------------------------------------------------------------------------------------
// Pointer sources

TEST_F(AssignmentTest, PointerSourcesStandForTheirTargets) {
  TestValue target(s32), p(pointer), b(u8), rec(point);
  target.Set<std::int32_t>(513);
  SetPointerAt(p.Data(), PointerValue{target.Data(), &s32, kNotOnStack, {}});
  Assign(b, p);
  EXPECT_EQ(b.Get<std::uint8_t>(), 1);
  TestValue null(pointer);
  EXPECT_EQ(MismatchOf(b, null), kTypeMismatchMessage);
  EXPECT_EQ(FaultOfAssign(rec, null), image::ErTypeMismatch);
}

// ---------------------------------------------------------------------------------------------
// Variant destinations

TEST_F(AssignmentTest, VariantsTakeBasicValuesAndGiveThemBack) {
  TestValue v(variant), i(s32), s(str), r(point);
  AssignNumber<std::int32_t>(v, s32, -5);
  Assign(i, v);
  EXPECT_EQ(i.Get<std::int32_t>(), -5);
  SetStringAt(s.Data(), "text");
  Assign(v, s);  // the integer variant is replaced
  EXPECT_EQ(GetString(v.Ref()), "text");
  EXPECT_EQ(FaultOfAssign(v, r), image::ErTypeMismatch);
  EXPECT_EQ(GetString(v.Ref()), "text");
}

// ---------------------------------------------------------------------------------------------
// Typed access

TEST_F(AssignmentTest, GettersConvertByTheAssignmentRules) {
  TestValue c(chr), s(str), p(pointer), big(s64);
  c.Set('a');
  EXPECT_EQ(GetInt32(c.Ref()), 97);
  EXPECT_EQ(GetString(c.Ref()), "a");
  big.Set<std::int64_t>(-3);
  SetPointerAt(p.Data(), PointerValue{big.Data(), &s64, kNotOnStack, {}});
  EXPECT_EQ(GetInt64(p.Ref()), -3);
  SetStringAt(s.Data(), "1");
  EXPECT_EQ(HostMessageOf([&] { GetInt32(s.Ref()); }), kTypeMismatchMessage);
}

TEST_F(AssignmentTest, SettersStoreWhatTheDestinationTakes) {
  TestValue i(s32), c(chr), w(wstr), v(variant), money(currency), s(str);
  SetInt64(i.Ref(), 0x1'0000'0002);
  EXPECT_EQ(i.Get<std::int32_t>(), 2);
  SetString(c.Ref(), "q");
  EXPECT_EQ(c.Get<char>(), 'q');
  SetString(w.Ref(), "wide");
  EXPECT_EQ(WideStringAt(w.Data()), u"wide");
  SetInt32(v.Ref(), 12);
  EXPECT_EQ(GetInt64(v.Ref()), 12);
  SetString(v.Ref(), "str");
  EXPECT_EQ(GetString(v.Ref()), "str");
  SetReal(money.Ref(), 2.5L);
  EXPECT_EQ(money.Get<std::int64_t>(), 25000);
}

TEST_F(AssignmentTest, SettersRefuseWithTheirOwnMessage) {
  TestValue i(s32), c(chr), s(str), null(pointer);
  EXPECT_EQ(HostMessageOf([&] { SetString(i.Ref(), "1"); }), kSetterMismatchMessage);
  EXPECT_EQ(HostMessageOf([&] { SetString(c.Ref(), "two"); }), kSetterMismatchMessage);
  EXPECT_EQ(HostMessageOf([&] { SetReal(i.Ref(), 1.0L); }), kSetterMismatchMessage);
  EXPECT_EQ(HostMessageOf([&] { SetInt32(s.Ref(), 1); }), kSetterMismatchMessage);
  EXPECT_EQ(HostMessageOf([&] { SetInt32(null.Ref(), 1); }), kSetterMismatchMessage);
}

}  // namespace
}  // namespace dravik::engine::values

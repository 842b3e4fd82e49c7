#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "engine/values/operators.h"
#include "engine/values/variant.h"
#include "value_test_support.h"

namespace dravik::engine::values {
namespace {

using testing::FaultOf;
using testing::HostMessageOf;
using testing::TestValue;

constexpr std::int32_t kMinInt = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMaxInt = std::numeric_limits<std::int32_t>::max();

// Type numbers name records of the test; objects are known by the class name they were made of.
class FakeEnvironment : public ValueEnvironment {
 public:
  const TPSTypeRec* TypeByNumber(std::uint32_t number) const override {
    return number < types.size() ? types[number] : nullptr;
  }
  const TPSTypeRec& VariantType() const override { return variant_; }
  bool IsObjectOfClass(const void* object, std::string_view className) const override {
    auto found = classOf.find(object);
    return found != classOf.end() && found->second == className;
  }

  std::vector<const TPSTypeRec*> types;
  std::map<const void*, std::string> classOf;

 private:
  TPSTypeRec variant_{image::tcVariant};
};

class OperatorsTest : public ::testing::Test {
 protected:
  OperatorsTest() {
    smallSet.CalcSize();
    otherSmallSet.CalcSize();
    point.fields = {&s32, &s32};
    point.CalcSize();
    env.types = {&s32, &button, &label};
    env.classOf[&buttonObject] = "TBUTTON";
  }

  void Calc(image::CalcOp op, TestValue& dest, TestValue& source) { CalculateValue(op, dest.Ref(), source.Ref(), env); }
  template <class T>
  void CalcWith(image::CalcOp op, TestValue& dest, const TPSTypeRec& type, T number) {
    CalculateValue(op, dest.Ref(), {&number, &type}, env);
  }
  image::TQXException CalcFault(image::CalcOp op, TestValue& dest, TestValue& source) {
    return FaultOf([&] { Calc(op, dest, source); });
  }
  bool Compare(image::CompareOp op, TestValue& left, TestValue& right) {
    return CompareValues(op, left.Ref(), right.Ref(), env);
  }
  image::TQXException CompareFault(image::CompareOp op, TestValue& left, TestValue& right) {
    return FaultOf([&] { Compare(op, left, right); });
  }
  std::int32_t S32After(image::CalcOp op, std::int32_t a, std::int32_t b) {
    TestValue dest(s32);
    dest.Set(a);
    CalcWith(op, dest, s32, b);
    return dest.Get<std::int32_t>();
  }

  FakeEnvironment env;
  TPSTypeRec u8{image::tcU8}, u16{image::tcU16}, u32{image::tcU32}, s32{image::tcS32}, s64{image::tcS64};
  TPSTypeRec single{image::tcSingle}, dbl{image::tcDouble}, currency{image::tcCurrency};
  TPSTypeRec chr{image::tcChar}, str{image::tcString}, wstr{image::tcWideString}, variant{image::tcVariant},
      procPtr{image::tcProcPtr};
  TPSTypeRec_Set smallSet{16}, otherSmallSet{16};
  TPSTypeRec_Record point;
  TPSTypeRec_Class button{"TBUTTON"}, label{"TLABEL"};
  int buttonObject = 0;
};

// ---------------------------------------------------------------------------------------------
// Integer arithmetic

TEST_F(OperatorsTest, IntegersWrapAroundInTheDestinationsWidth) {
  EXPECT_EQ(S32After(image::CalcOp::Add, kMaxInt, 1), kMinInt);
  EXPECT_EQ(S32After(image::CalcOp::Subtract, kMinInt, 1), kMaxInt);
  EXPECT_EQ(S32After(image::CalcOp::Multiply, 65536, 65536), 0);

  TestValue byte(u8);
  byte.Set<std::uint8_t>(250);
  CalcWith(image::CalcOp::Add, byte, s32, 10);
  EXPECT_EQ(byte.Get<std::uint8_t>(), 4);
  TestValue word(u16);
  CalcWith(image::CalcOp::Subtract, word, s32, 1);
  EXPECT_EQ(word.Get<std::uint16_t>(), 65535);
  TestValue wide(s64);
  wide.Set(std::numeric_limits<std::int64_t>::max());
  CalcWith(image::CalcOp::Add, wide, s32, 1);
  EXPECT_EQ(wide.Get<std::int64_t>(), std::numeric_limits<std::int64_t>::min());
}

TEST_F(OperatorsTest, ShiftCountsKeepFiveBitsAndSixForInt64) {
  EXPECT_EQ(S32After(image::CalcOp::ShiftLeft, 1, 33), 2);
  EXPECT_EQ(S32After(image::CalcOp::ShiftLeft, 1, 31), kMinInt);
  EXPECT_EQ(S32After(image::CalcOp::ShiftRight, -8, 1), -4) << "signed destinations shift arithmetically";
  TestValue unsignedValue(u32);
  unsignedValue.Set<std::uint32_t>(0x80000000u);
  CalcWith(image::CalcOp::ShiftRight, unsignedValue, s32, 31);
  EXPECT_EQ(unsignedValue.Get<std::uint32_t>(), 1u);
  TestValue wide(s64);
  wide.Set<std::int64_t>(1);
  CalcWith(image::CalcOp::ShiftLeft, wide, s32, 33);
  EXPECT_EQ(wide.Get<std::int64_t>(), std::int64_t{1} << 33);
  CalcWith(image::CalcOp::ShiftLeft, wide, s32, 64 + 1);
  EXPECT_EQ(wide.Get<std::int64_t>(), std::int64_t{1} << 34);
}

TEST_F(OperatorsTest, DivisionIsSignedOrUnsignedByTheDestination) {
  EXPECT_EQ(S32After(image::CalcOp::Divide, -7, 2), -3);
  EXPECT_EQ(S32After(image::CalcOp::Modulo, -7, 2), -1);
  EXPECT_EQ(S32After(image::CalcOp::And, 12, 10), 8);
  EXPECT_EQ(S32After(image::CalcOp::Or, 12, 10), 14);
  EXPECT_EQ(S32After(image::CalcOp::Xor, 12, 10), 6);
  TestValue unsignedValue(u32);
  unsignedValue.Set<std::uint32_t>(0xFFFFFFFFu);
  CalcWith(image::CalcOp::Divide, unsignedValue, s32, 2);
  EXPECT_EQ(unsignedValue.Get<std::uint32_t>(), 0x7FFFFFFFu);
}

TEST_F(OperatorsTest, DivisionByZeroFailsAndTheMostNegativeQuotientWraps) {
  TestValue dest(s32);
  dest.Set<std::int32_t>(5);
  TestValue zero(s32);
  EXPECT_EQ(CalcFault(image::CalcOp::Divide, dest, zero), image::ErDivideByZero);
  EXPECT_EQ(CalcFault(image::CalcOp::Modulo, dest, zero), image::ErDivideByZero);
  EXPECT_EQ(dest.Get<std::int32_t>(), 5) << "a failed operation leaves the destination";

  EXPECT_EQ(S32After(image::CalcOp::Divide, kMinInt, -1), kMinInt);
  EXPECT_EQ(S32After(image::CalcOp::Modulo, kMinInt, -1), 0);
  TestValue wide(s64);
  wide.Set(std::numeric_limits<std::int64_t>::min());
  CalcWith(image::CalcOp::Divide, wide, s32, -1);
  EXPECT_EQ(wide.Get<std::int64_t>(), std::numeric_limits<std::int64_t>::min());
}

TEST_F(OperatorsTest, AStringSourceOfAnIntegerRaisesTheConversionMessage) {
  TestValue dest(s32);
  TestValue text(str);
  SetStringAt(text.Data(), "12");
  EXPECT_EQ(HostMessageOf([&] { Calc(image::CalcOp::Add, dest, text); }), "Type Mismatch");
}

// ---------------------------------------------------------------------------------------------
// Reals, currency, text, characters

TEST_F(OperatorsTest, RealsFailOnDivisionByZeroAndOverflow) {
  TestValue dest(dbl);
  dest.Set(1.5);
  CalcWith(image::CalcOp::Multiply, dest, s32, 2);
  EXPECT_EQ(dest.Get<double>(), 3.0);
  TestValue zero(dbl);
  EXPECT_EQ(CalcFault(image::CalcOp::Divide, dest, zero), image::ErDivideByZero);
  EXPECT_EQ(FaultOf([&] { CalcWith(image::CalcOp::Modulo, dest, s32, 2); }), image::ErTypeMismatch);

  dest.Set(1e308);
  EXPECT_EQ(FaultOf([&] { CalcWith(image::CalcOp::Multiply, dest, dbl, 10.0); }), image::ErMathError);
  EXPECT_EQ(dest.Get<double>(), 1e308);
  TestValue small(single);
  small.Set(3e38f);
  EXPECT_EQ(FaultOf([&] { CalcWith(image::CalcOp::Multiply, small, s32, 10); }), image::ErMathError)
      << "overflow is judged in the destination's own format";
}

TEST_F(OperatorsTest, CurrencyWorksOnScaledValuesAndRounds) {
  TestValue money(currency);
  money.Set<std::int64_t>(15000);  // 1.5
  CalcWith(image::CalcOp::Multiply, money, dbl, 1.5);
  EXPECT_EQ(money.Get<std::int64_t>(), 22500);
  CalcWith(image::CalcOp::Divide, money, s32, 7);  // 2.25 / 7 = 0.32142857...
  EXPECT_EQ(money.Get<std::int64_t>(), 3214);
  TestValue zero(s32);
  EXPECT_EQ(CalcFault(image::CalcOp::Divide, money, zero), image::ErDivideByZero);
  money.Set(std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(FaultOf([&] { CalcWith(image::CalcOp::Add, money, s32, 1); }), image::ErMathError);
}

TEST_F(OperatorsTest, StringsAppendAndRefuseOtherOperators) {
  TestValue text(str);
  SetStringAt(text.Data(), "ab");
  TestValue c(chr);
  c.Set('c');
  Calc(image::CalcOp::Add, text, c);
  Calc(image::CalcOp::Add, text, text);
  EXPECT_EQ(StringAt(text.Data()), "abcabc");
  EXPECT_EQ(CalcFault(image::CalcOp::Subtract, text, c), image::ErTypeMismatch);

  TestValue wide(wstr);
  SetWideStringAt(wide.Data(), u"\u0100");
  Calc(image::CalcOp::Add, wide, text);
  EXPECT_EQ(WideStringAt(wide.Data()), u"\u0100abcabc");
}

TEST_F(OperatorsTest, CharactersAddAndSubtractOnTheirCode) {
  TestValue c(chr);
  c.Set('a');
  CalcWith(image::CalcOp::Add, c, s32, 1);
  EXPECT_EQ(c.Get<char>(), 'b');
  CalcWith(image::CalcOp::Subtract, c, s32, 0x62 + 1);
  EXPECT_EQ(c.Get<std::uint8_t>(), 0xFF);
  EXPECT_EQ(FaultOf([&] { CalcWith(image::CalcOp::Multiply, c, s32, 2); }), image::ErTypeMismatch);
}

// ---------------------------------------------------------------------------------------------
// Sets, classes, variants, refused pairs

TEST_F(OperatorsTest, SetOperatorsNeedTheVerySameSetType) {
  TestValue a(smallSet), b(smallSet), other(otherSmallSet);
  a.Bytes()[0] = 0b0011;
  b.Bytes()[0] = 0b0110;
  Calc(image::CalcOp::Add, a, b);
  EXPECT_EQ(a.Bytes()[0], 0b0111);
  Calc(image::CalcOp::Subtract, a, b);
  EXPECT_EQ(a.Bytes()[0], 0b0001);
  a.Bytes()[0] = 0b0011;
  Calc(image::CalcOp::Multiply, a, b);
  EXPECT_EQ(a.Bytes()[0], 0b0010);
  EXPECT_EQ(CalcFault(image::CalcOp::Add, a, other), image::ErTypeMismatch) << "same size, different type";
  EXPECT_EQ(CalcFault(image::CalcOp::Divide, a, b), image::ErTypeMismatch);
}

TEST_F(OperatorsTest, AsPassesOnlyForANonNullObjectOfTheNamedClass) {
  TestValue object(button);
  object.Set<const void*>(&buttonObject);
  auto as = [&](std::uint32_t typeNumber) {
    return FaultOf([&] { CalcWith(image::CalcOp::As, object, u32, typeNumber); });
  };
  EXPECT_EQ(as(1), image::ErNoError);
  EXPECT_EQ(object.Get<const void*>(), &buttonObject);
  EXPECT_EQ(as(2), image::ErTypeMismatch) << "another class";
  EXPECT_EQ(as(0), image::ErTypeMismatch) << "a type number that names no class";
  EXPECT_EQ(as(99), image::ErTypeMismatch) << "no such type";
  object.Set<const void*>(nullptr);
  EXPECT_EQ(as(1), image::ErTypeMismatch);
}

TEST_F(OperatorsTest, AVariantDestinationTurnsThePlainSourceIntoAVariant) {
  TestValue v(variant);
  SetVariantInteger(v.Data(), image::varInteger, 40);
  CalcWith(image::CalcOp::Add, v, s32, 2);
  EXPECT_EQ(VariantTypeAt(v.Data()), image::varInteger);
  EXPECT_EQ(VariantToInt64(v.Data()), 42);
  TestValue text(str);
  SetStringAt(text.Data(), "!");
  SetVariantString(v.Data(), "hi");
  Calc(image::CalcOp::Add, v, text);
  EXPECT_EQ(VariantToString(v.Data()), "hi!");
  TestValue record(point);
  EXPECT_EQ(CalcFault(image::CalcOp::Add, v, record), image::ErTypeMismatch);
}

// The variant operator's own failure (text that is no number, an array) is a type mismatch of the
// instruction, as for the unary operators and comparisons; arithmetic faults keep their codes.
TEST_F(OperatorsTest, AVariantThatCannotTakePartIsATypeMismatch) {
  TestValue v(variant), two(s32), zero(s32), abc(str);
  two.Set<std::int32_t>(2);
  SetStringAt(abc.Data(), "abc");
  SetVariantString(v.Data(), "abc");
  EXPECT_EQ(CalcFault(image::CalcOp::Multiply, v, two), image::ErTypeMismatch);
  SetVariantInteger(v.Data(), image::varInteger, 3);
  EXPECT_EQ(CalcFault(image::CalcOp::Subtract, v, abc), image::ErTypeMismatch);
  SetVariantArray(v.Data(), nullptr);
  EXPECT_EQ(CalcFault(image::CalcOp::Add, v, two), image::ErTypeMismatch);
  SetVariantInteger(v.Data(), image::varInteger, 3);
  EXPECT_EQ(CalcFault(image::CalcOp::Divide, v, zero), image::ErDivideByZero);
}

TEST_F(OperatorsTest, PairsOutsideTheRulesAreTypeMismatches) {
  TestValue record(point), other(point), proc(procPtr), number(s32);
  EXPECT_EQ(CalcFault(image::CalcOp::Add, record, other), image::ErTypeMismatch);
  EXPECT_EQ(CalcFault(image::CalcOp::Add, proc, number), image::ErTypeMismatch);
  EXPECT_EQ(CalcFault(image::CalcOp::As, number, number), image::ErTypeMismatch);
}

// ---------------------------------------------------------------------------------------------
// Comparison

TEST_F(OperatorsTest, CharactersAndBytesMeetStringsAsText) {
  TestValue c(chr), byte(u8), text(str), number(s32);
  c.Set('a');
  byte.Set<std::uint8_t>(97);
  SetStringAt(text.Data(), "a");
  number.Set<std::int32_t>(97);
  EXPECT_TRUE(Compare(image::CompareOp::Equal, c, text));
  EXPECT_TRUE(Compare(image::CompareOp::Equal, byte, text));
  EXPECT_TRUE(Compare(image::CompareOp::Equal, byte, number)) << "numerically against a number";
  number.Set<std::int32_t>(353);  // 97 + 256
  EXPECT_TRUE(Compare(image::CompareOp::Less, byte, number)) << "compared in 32 bits, not cut to a byte";
  SetStringAt(text.Data(), "ab");
  EXPECT_TRUE(Compare(image::CompareOp::Less, c, text));
}

TEST_F(OperatorsTest, StringsCompareByteWiseAndCaseSensitively) {
  TestValue a(str), b(str);
  SetStringAt(a.Data(), "a");
  SetStringAt(b.Data(), "B");
  EXPECT_TRUE(Compare(image::CompareOp::Greater, a, b));
  SetStringAt(b.Data(), "\xE9");
  EXPECT_TRUE(Compare(image::CompareOp::Less, a, b)) << "bytes compare unsigned";
  EXPECT_TRUE(Compare(image::CompareOp::NotEqual, a, b));
}

TEST_F(OperatorsTest, NumbersCompareInTheLeftOperandsKind) {
  TestValue big(u32), one(s32), minusOne(s32), real(dbl), money(currency);
  big.Set<std::uint32_t>(0xFFFFFFFFu);
  one.Set<std::int32_t>(1);
  minusOne.Set<std::int32_t>(-1);
  EXPECT_TRUE(Compare(image::CompareOp::Greater, big, one));
  EXPECT_TRUE(Compare(image::CompareOp::Less, minusOne, one));
  EXPECT_TRUE(Compare(image::CompareOp::Equal, big, minusOne)) << "the right operand read as unsigned";
  real.Set(0.5);
  EXPECT_TRUE(Compare(image::CompareOp::LessEqual, real, one));
  money.Set<std::int64_t>(10000);
  EXPECT_TRUE(Compare(image::CompareOp::Equal, money, one));
  EXPECT_TRUE(Compare(image::CompareOp::GreaterEqual, money, real));
}

TEST_F(OperatorsTest, SetsCompareAsSubsetAndSupersetOfTheSameType) {
  TestValue a(smallSet), b(smallSet), other(otherSmallSet);
  a.Bytes()[0] = 0b0111;
  b.Bytes()[0] = 0b0101;
  EXPECT_TRUE(Compare(image::CompareOp::GreaterEqual, a, b));
  EXPECT_FALSE(Compare(image::CompareOp::LessEqual, a, b));
  EXPECT_TRUE(Compare(image::CompareOp::NotEqual, a, b));
  b.Bytes()[0] = 0b0111;
  EXPECT_TRUE(Compare(image::CompareOp::Equal, a, b));
  EXPECT_EQ(CompareFault(image::CompareOp::Greater, a, b), image::ErTypeMismatch);
  EXPECT_EQ(CompareFault(image::CompareOp::Equal, a, other), image::ErTypeMismatch);
}

TEST_F(OperatorsTest, InTestsTheBitAndRefusesOrdinalsBeyondTheSet) {
  TestValue set(smallSet), ordinal(s32), c(chr);
  set.Bytes()[1] = 0b0100;  // element 10
  ordinal.Set<std::int32_t>(10);
  EXPECT_TRUE(Compare(image::CompareOp::In, ordinal, set));
  ordinal.Set<std::int32_t>(9);
  EXPECT_FALSE(Compare(image::CompareOp::In, ordinal, set));
  ordinal.Set<std::int32_t>(16);
  EXPECT_EQ(CompareFault(image::CompareOp::In, ordinal, set), image::erOutofRecordRange);
  ordinal.Set<std::int32_t>(-1);
  EXPECT_EQ(CompareFault(image::CompareOp::In, ordinal, set), image::erOutofRecordRange);
  c.Set('\x0A');
  EXPECT_TRUE(Compare(image::CompareOp::In, c, set));
}

TEST_F(OperatorsTest, IsAndReferenceEquality) {
  TestValue object(button), same(button), nothing(button), number(u32);
  object.Set<const void*>(&buttonObject);
  same.Set<const void*>(&buttonObject);
  number.Set<std::uint32_t>(1);
  EXPECT_TRUE(Compare(image::CompareOp::Is, object, number));
  EXPECT_FALSE(Compare(image::CompareOp::Is, nothing, number));
  number.Set<std::uint32_t>(2);
  EXPECT_FALSE(Compare(image::CompareOp::Is, object, number));
  EXPECT_TRUE(Compare(image::CompareOp::Equal, object, same));
  EXPECT_TRUE(Compare(image::CompareOp::NotEqual, object, nothing));
  EXPECT_EQ(CompareFault(image::CompareOp::Less, object, same), image::ErTypeMismatch);
}

TEST_F(OperatorsTest, ProceduralValuesAreEqualBySameProcedureOrSameCode) {
  TestValue a(procPtr), b(procPtr);
  Store<std::uint32_t>(a.Bytes() + ProcPtrLayout::kProcNo, 3);
  Store<std::uint32_t>(b.Bytes() + ProcPtrLayout::kProcNo, 3);
  EXPECT_TRUE(Compare(image::CompareOp::Equal, a, b));
  Store<std::uint32_t>(a.Bytes() + ProcPtrLayout::kProcNo, 0);
  Store<std::uint32_t>(b.Bytes() + ProcPtrLayout::kProcNo, 0);
  Store<const void*>(a.Bytes() + ProcPtrLayout::kCode, &buttonObject);
  EXPECT_TRUE(Compare(image::CompareOp::NotEqual, a, b));
  Store<const void*>(b.Bytes() + ProcPtrLayout::kCode, &buttonObject);
  EXPECT_TRUE(Compare(image::CompareOp::Equal, a, b));
}

TEST_F(OperatorsTest, VariantComparisonsTurnTheRightOperandIntoAVariant) {
  TestValue v(variant), number(s32), record(point);
  SetVariantString(v.Data(), "10");
  number.Set<std::int32_t>(10);
  EXPECT_TRUE(Compare(image::CompareOp::Equal, v, number));
  EXPECT_EQ(CompareFault(image::CompareOp::Equal, v, record), image::ErTypeMismatch);
  SetVariantArray(v.Data(), nullptr);
  EXPECT_EQ(CompareFault(image::CompareOp::Equal, v, number), image::ErTypeMismatch)
      << "a failing variant operation is a type mismatch, not an exception";
}

TEST_F(OperatorsTest, StructuredOperandsDoNotCompare) {
  TestValue a(point), b(point);
  EXPECT_EQ(CompareFault(image::CompareOp::Equal, a, b), image::ErTypeMismatch);
}

// ---------------------------------------------------------------------------------------------
// Unary operators

TEST_F(OperatorsTest, UnaryOperatorsOnIntegers) {
  TestValue n(s32), byte(u8), wide(s64);
  n.Set<std::int32_t>(5);
  BooleanNotValue(n.Ref());
  EXPECT_EQ(n.Get<std::int32_t>(), 0);
  BooleanNotValue(n.Ref());
  EXPECT_EQ(n.Get<std::int32_t>(), 1);
  n.Set(kMinInt);
  NegateValue(n.Ref());
  EXPECT_EQ(n.Get<std::int32_t>(), kMinInt);
  IntegerNotValue(byte.Ref());
  EXPECT_EQ(byte.Get<std::uint8_t>(), 255);
  IncrementValue(byte.Ref());
  EXPECT_EQ(byte.Get<std::uint8_t>(), 0);
  DecrementValue(wide.Ref());
  EXPECT_EQ(wide.Get<std::int64_t>(), -1);
  wide.Set<std::int64_t>(std::int64_t{1} << 32);
  BooleanNotValue(wide.Ref());
  EXPECT_EQ(wide.Get<std::int64_t>(), 0) << "the high word counts";
}

TEST_F(OperatorsTest, UnaryOperatorsOnOtherTypes) {
  TestValue real(dbl), money(currency), text(str), v(variant);
  real.Set(2.5);
  NegateValue(real.Ref());
  EXPECT_EQ(real.Get<double>(), -2.5);
  money.Set<std::int64_t>(12345);
  NegateValue(money.Ref());
  EXPECT_EQ(money.Get<std::int64_t>(), -12345);
  money.Set(std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(FaultOf([&] { NegateValue(money.Ref()); }), image::ErMathError);
  EXPECT_EQ(FaultOf([&] { IncrementValue(real.Ref()); }), image::ErTypeMismatch);
  EXPECT_EQ(FaultOf([&] { NegateValue(text.Ref()); }), image::ErTypeMismatch);
  EXPECT_EQ(FaultOf([&] { BooleanNotValue(real.Ref()); }), image::ErTypeMismatch);

  SetVariantInteger(v.Data(), image::varInteger, 0);
  BooleanNotValue(v.Ref());
  EXPECT_EQ(VariantTypeAt(v.Data()), image::varBoolean);
  EXPECT_EQ(VariantToString(v.Data()), "True");
  SetVariantString(v.Data(), "abc");
  EXPECT_EQ(FaultOf([&] { NegateValue(v.Ref()); }), image::ErTypeMismatch);
}

}  // namespace
}  // namespace dravik::engine::values

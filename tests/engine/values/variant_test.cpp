#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "engine/values/number_conversion.h"
#include "engine/values/operators.h"
#include "engine/values/variant.h"
#include "value_test_support.h"

namespace dravik::engine::values {
namespace {

using testing::FaultOf;
using testing::HostMessageOf;
using testing::TestValue;

class VariantTest : public ::testing::Test {
 protected:
  VariantTest() {
    boolean.exportName = "BOOLEAN";
    dateTime.exportName = "TDATETIME";
    point.fields = {&s32, &s32};
    point.CalcSize();
    threeInts.CalcSize();
  }

  // A variant of each kind the tests meet, released with the fixture.
  void* Int(std::int32_t n) { return Make([&](void* v) { SetVariantInteger(v, image::varInteger, n); }); }
  void* Int64(std::int64_t n) { return Make([&](void* v) { SetVariantInteger(v, image::varInt64, n); }); }
  void* Real(double d) { return Make([&](void* v) { SetVariantReal(v, image::varDouble, d); }); }
  void* Text(std::string_view s) { return Make([&](void* v) { SetVariantString(v, s); }); }
  void* Bool(bool b) { return Make([&](void* v) { SetVariantBoolean(v, b); }); }
  void* Null() { return Make([](void* v) { SetVariantNull(v); }); }
  void* Empty() { return Make([](void*) {}); }
  template <class Fill>
  void* Make(Fill fill) {
    held_.push_back(std::make_unique<TestValue>(variant));
    fill(held_.back()->Data());
    return held_.back()->Data();
  }

  // dest op source, answering the result's type and text.
  std::string Calc(image::CalcOp op, void* dest, const void* source) {
    VariantCalculate(op, dest, source);
    return std::to_string(VariantTypeAt(dest)) + ":" + VariantToString(dest);
  }

  TPSTypeRec variant{image::tcVariant}, u8{image::tcU8}, boolean{image::tcU8}, s32{image::tcS32}, s64{image::tcS64},
      dbl{image::tcDouble};
  TPSTypeRec dateTime{image::tcDouble}, chr{image::tcChar}, str{image::tcString}, wstr{image::tcWideString},
      wchr{image::tcWideChar};
  TPSTypeRec_Array intArray{&s32};
  TPSTypeRec_StaticArray threeInts{&s32, 3};
  TPSTypeRec_Record point;

 private:
  std::vector<std::unique_ptr<TestValue>> held_;
};

std::string Typed(image::VarTypeCode type, std::string_view text) {
  return std::to_string(type) + ":" + std::string(text);
}

// ---------------------------------------------------------------------------------------------
// Conversions out of a variant

TEST_F(VariantTest, RealsFormatTheSameEverywhere) {
  EXPECT_EQ(FormatDouble(0.1), "0.1");
  EXPECT_EQ(FormatDouble(-2.5), "-2.5");
  EXPECT_EQ(FormatDouble(123456789012345.0), "123456789012345");
  EXPECT_EQ(FormatDouble(1e15), "1E+15");
  EXPECT_EQ(FormatDouble(0.00001), "0.00001");
  EXPECT_EQ(FormatDouble(1.5e-7), "1.5E-7");
  EXPECT_EQ(FormatDouble(1.0 / 3), "0.3333333333333333");
  EXPECT_EQ(FormatSingle(0.1f), "0.1");
  EXPECT_EQ(FormatDouble(std::numeric_limits<double>::infinity()), "INF");
  EXPECT_EQ(FormatCurrency(-15000), "-1.5");
  EXPECT_EQ(FormatCurrency(std::numeric_limits<std::int64_t>::min()), "-922337203685477.5808");
}

TEST_F(VariantTest, NumbersAreReadFromDecimalTextOnly) {
  EXPECT_EQ(ParseNumber(" -12 ")->integer, -12);
  EXPECT_EQ(ParseNumber("+1.5e1")->real, 15.0);
  EXPECT_FALSE(ParseNumber("1.5e1")->isInteger);
  EXPECT_FALSE(ParseNumber("99999999999999999999")->isInteger) << "too wide for 64 bits";
  for (const char* text : {"", "-", ".", "1e", "0x10", "1,5", "12a", "1e999"}) EXPECT_FALSE(ParseNumber(text)) << text;
  EXPECT_EQ(RoundToInt64(2.5L), 2);
  EXPECT_EQ(RoundToInt64(3.5L), 4);
  EXPECT_EQ(RoundToInt64(-2.5L), -2);
  EXPECT_FALSE(RoundToInt64(9223372036854775808.0L));
}

TEST_F(VariantTest, ConversionsForTheAssignmentRules) {
  EXPECT_EQ(VariantToOrdinal(Text("A")), 65) << "a one-character string gives its code";
  EXPECT_EQ(VariantToOrdinal(Text("7")), 55);
  EXPECT_EQ(VariantToInt64(Text("7")), 7) << "a 64-bit integer reads text as a number";
  EXPECT_EQ(VariantToOrdinal(Text("12")), 12);
  EXPECT_EQ(VariantToInt64(Text("12")), 12);
  EXPECT_EQ(VariantToInt64(Real(2.5)), 2);
  EXPECT_EQ(VariantToInt64(Bool(true)), 1);
  EXPECT_EQ(VariantToInt64(Empty()), 0);
  EXPECT_EQ(VariantToString(Empty()), "");
  EXPECT_EQ(VariantToString(Int64(-5)), "-5");
  EXPECT_EQ(VariantToString(Real(0.1)), "0.1");
  EXPECT_EQ(VariantToReal(Text("0.25")), 0.25L);
  EXPECT_EQ(HostMessageOf([&] { VariantToInt64(Null()); }), "Type Mismatch");
  EXPECT_EQ(HostMessageOf([&] { VariantToInt64(Text("abc")); }), "Type Mismatch");
  EXPECT_EQ(HostMessageOf([&] { VariantToReal(Text("1e999")); }), "Type Mismatch");
  void* wide = Make([](void* v) { SetVariantWideString(v, u"\u0141x"); });
  EXPECT_EQ(VariantToWideString(wide), u"\u0141x");
  EXPECT_EQ(VariantToString(wide), "\x41x") << "narrowing keeps each unit's low byte";
}

TEST_F(VariantTest, CopiesShareTextAndArraysUntilReleased) {
  void* a = Text("shared");
  void* b = Int(1);
  CopyVariant(b, a);
  CopyVariant(b, b);
  FinalizeVariant(a);
  EXPECT_EQ(VariantToString(b), "shared");
  EXPECT_EQ(VariantTypeAt(a), image::varEmpty);
}

// ---------------------------------------------------------------------------------------------
// The operator table

TEST_F(VariantTest, IntegerArithmeticPromotesBy64BitOperands) {
  EXPECT_EQ(Calc(image::CalcOp::Add, Int(40), Int(2)), Typed(image::varInteger, "42"));
  EXPECT_EQ(Calc(image::CalcOp::Add, Int(2147483647), Int(1)), Typed(image::varInteger, "-2147483648"));
  EXPECT_EQ(Calc(image::CalcOp::Add, Int(2147483647), Int64(1)), Typed(image::varInt64, "2147483648"));
  EXPECT_EQ(Calc(image::CalcOp::Divide, Int(7), Int(2)), Typed(image::varInteger, "3"))
      << "div of integers divides integers";
  EXPECT_EQ(Calc(image::CalcOp::Modulo, Int(-7), Int(2)), Typed(image::varInteger, "-1"));
  EXPECT_EQ(Calc(image::CalcOp::ShiftLeft, Int(1), Int(33)), Typed(image::varInteger, "2"));
  EXPECT_EQ(Calc(image::CalcOp::Divide, Int(-2147483647 - 1), Int(-1)), Typed(image::varInteger, "-2147483648"));
  EXPECT_EQ(Calc(image::CalcOp::Xor, Int(12), Bool(true)), Typed(image::varInteger, "13")) << "a boolean counts as 1";
  EXPECT_EQ(Calc(image::CalcOp::Add, Empty(), Int(3)), Typed(image::varInteger, "3"));
}

TEST_F(VariantTest, RealsDatesAndCurrency) {
  EXPECT_EQ(Calc(image::CalcOp::Divide, Real(7), Int(2)), Typed(image::varDouble, "3.5"));
  EXPECT_EQ(Calc(image::CalcOp::Multiply, Int(3), Real(0.5)), Typed(image::varDouble, "1.5"));
  EXPECT_EQ(Calc(image::CalcOp::Modulo, Real(7.4), Int(2)), Typed(image::varInt64, "1")) << "rounded to integers first";
  void* date = Make([](void* v) { SetVariantReal(v, image::varDate, 45000.5); });
  EXPECT_EQ(Calc(image::CalcOp::Add, date, Int(1)), Typed(image::varDate, "45001.5"));
  void* money = Make([](void* v) { SetVariantCurrency(v, 15000); });
  EXPECT_EQ(Calc(image::CalcOp::Multiply, money, Int(3)), Typed(image::varCurrency, "4.5"));
  EXPECT_EQ(Calc(image::CalcOp::Divide, money, Int(7)), Typed(image::varCurrency, "0.6429"));
}

TEST_F(VariantTest, TextConcatenatesOrAddsAsANumber) {
  EXPECT_EQ(Calc(image::CalcOp::Add, Text("ab"), Text("cd")), Typed(image::varString, "abcd"));
  EXPECT_EQ(Calc(image::CalcOp::Add, Text("1"), Int(2)), Typed(image::varInteger, "3"));
  EXPECT_EQ(Calc(image::CalcOp::Add, Text("n="), Int(2)), Typed(image::varString, "n=2"));
  EXPECT_EQ(Calc(image::CalcOp::Add, Empty(), Text("x")), Typed(image::varString, "x"));
  EXPECT_EQ(Calc(image::CalcOp::Multiply, Text("2.5"), Int(2)), Typed(image::varDouble, "5"));
  void* wide = Make([](void* v) { SetVariantWideString(v, u"w"); });
  EXPECT_EQ(Calc(image::CalcOp::Add, Text("a"), wide), Typed(image::varOleStr, "aw"));
  EXPECT_EQ(HostMessageOf([&] { VariantCalculate(image::CalcOp::Subtract, Text("x"), Int(1)); }), "Type Mismatch");
}

TEST_F(VariantTest, NullBooleansAndFailures) {
  EXPECT_EQ(VariantTypeAt([&] {
              void* v = Null();
              VariantCalculate(image::CalcOp::Add, v, Int(1));
              return v;
            }()),
            image::varNull);
  EXPECT_EQ(VariantTypeAt([&] {
              void* v = Int(1);
              VariantCalculate(image::CalcOp::Multiply, v, Null());
              return v;
            }()),
            image::varNull);
  EXPECT_EQ(Calc(image::CalcOp::And, Bool(true), Bool(false)), Typed(image::varBoolean, "False"));
  EXPECT_EQ(Calc(image::CalcOp::Xor, Bool(true), Bool(false)), Typed(image::varBoolean, "True"));
  EXPECT_EQ(FaultOf([&] { VariantCalculate(image::CalcOp::Divide, Int(1), Int(0)); }), image::ErDivideByZero);
  EXPECT_EQ(FaultOf([&] { VariantCalculate(image::CalcOp::Divide, Real(1), Real(0)); }), image::ErDivideByZero);
  EXPECT_EQ(FaultOf([&] { VariantCalculate(image::CalcOp::Multiply, Real(1e308), Int(10)); }), image::ErMathError);
  void* array = Make([](void* v) { SetVariantArray(v, nullptr); });
  EXPECT_EQ(HostMessageOf([&] { VariantCalculate(image::CalcOp::Add, array, Int(1)); }), "Type Mismatch");
  EXPECT_EQ(HostMessageOf([&] { VariantCalculate(image::CalcOp::As, Int(1), Int(1)); }), "Type Mismatch");
}

TEST_F(VariantTest, ComparisonOrder) {
  EXPECT_TRUE(VariantCompare(image::CompareOp::Less, Int(1), Real(2.5)));
  EXPECT_TRUE(VariantCompare(image::CompareOp::Equal, Text("10"), Int(10)));
  EXPECT_TRUE(VariantCompare(image::CompareOp::Greater, Text("9"), Text("10"))) << "two texts compare as text";
  EXPECT_TRUE(VariantCompare(image::CompareOp::Greater, Text("abc"), Int(5))) << "\"abc\" against \"5\"";
  EXPECT_TRUE(VariantCompare(image::CompareOp::Greater, Text("a"), Text("B")));
  EXPECT_TRUE(VariantCompare(image::CompareOp::Less, Null(), Int(-100)));
  EXPECT_TRUE(VariantCompare(image::CompareOp::Equal, Null(), Null()));
  EXPECT_TRUE(VariantCompare(image::CompareOp::Equal, Empty(), Int(0)));
  EXPECT_TRUE(VariantCompare(image::CompareOp::Equal, Empty(), Text("")));
  EXPECT_TRUE(VariantCompare(image::CompareOp::Less, Null(), Empty()));
  EXPECT_TRUE(VariantCompare(image::CompareOp::Equal, Int64(std::int64_t{1} << 40), Real(1099511627776.0)));
  EXPECT_TRUE(VariantCompare(image::CompareOp::NotEqual, Real(std::numeric_limits<double>::quiet_NaN()), Real(1)));
  EXPECT_EQ(HostMessageOf([&] { VariantCompare(image::CompareOp::In, Int(1), Int(1)); }), "Type Mismatch");
}

TEST_F(VariantTest, UnaryOperators) {
  void* v = Int(5);
  VariantNegate(v);
  EXPECT_EQ(VariantToString(v), "-5");
  v = Make([](void* x) { SetVariantReal(x, image::varSingle, 1.5); });
  VariantNegate(v);
  EXPECT_EQ(VariantTypeAt(v), image::varSingle);
  v = Bool(true);
  VariantIntegerNot(v);
  EXPECT_EQ(VariantToString(v), "False");
  v = Int(0);
  VariantIntegerNot(v);
  EXPECT_EQ(VariantToString(v), "-1");
  v = Text("0");
  VariantBooleanNot(v);
  EXPECT_EQ(VariantToString(v), "True") << "true exactly when the variant equals 0";
  v = Null();
  VariantNegate(v);
  EXPECT_EQ(VariantTypeAt(v), image::varNull);
}

// ---------------------------------------------------------------------------------------------
// Plain values meeting a variant

TEST_F(VariantTest, PlainValuesBecomeVariantsByTheirTypes) {
  auto convert = [&](TestValue& value) {
    void* v = Empty();
    ValueToVariant(v, value.Ref());
    return Typed(static_cast<image::VarTypeCode>(VariantTypeAt(v)), VariantToString(v));
  };
  TestValue flag(boolean), byte(u8), wide(s64), when(dateTime), real(dbl), c(chr), text(str), wc(wchr);
  flag.Set<std::uint8_t>(1);
  byte.Set<std::uint8_t>(200);
  wide.Set<std::int64_t>(-1);
  when.Set(2.0);
  real.Set(2.0);
  c.Set('z');
  SetStringAt(text.Data(), "txt");
  EXPECT_EQ(convert(flag), Typed(image::varBoolean, "True"));
  EXPECT_EQ(convert(byte), Typed(image::varByte, "200"));
  EXPECT_EQ(convert(wide), Typed(image::varInt64, "-1"));
  EXPECT_EQ(convert(when), Typed(image::varDate, "2"));
  EXPECT_EQ(convert(real), Typed(image::varDouble, "2"));
  EXPECT_EQ(convert(c), Typed(image::varString, "z"));
  EXPECT_EQ(convert(text), Typed(image::varString, "txt"));
  TestValue record(point);
  EXPECT_EQ(FaultOf([&] { convert(record); }), image::ErTypeMismatch);
  EXPECT_EQ(FaultOf([&] { convert(wc); }), image::ErTypeMismatch);
}

TEST_F(VariantTest, ArraysBecomeVariantArraysOfTheirElements) {
  TestValue fixed(threeInts);
  for (int i = 0; i < 3; ++i) Store<std::int32_t>(fixed.Bytes() + 4 * i, 10 * i);
  void* v = Empty();
  ValueToVariant(v, fixed.Ref());
  ASSERT_EQ(VariantTypeAt(v), image::varArray | image::varVariant);
  const ArrayBlock* block = Load<ArrayBlock*>(static_cast<std::uint8_t*>(v) + kVariantPayloadOffset);
  ASSERT_EQ(block->length, 3u);
  EXPECT_EQ(VariantToInt64(block->Elements() + 2 * kVariantMemSize), 20);

  TestValue dynamic(intArray);
  SetArrayLengthAt(dynamic.Data(), s32, 2);
  void* copy = Empty();
  ValueToVariant(copy, dynamic.Ref());
  EXPECT_EQ(Load<ArrayBlock*>(static_cast<std::uint8_t*>(copy) + kVariantPayloadOffset)->length, 2u);
  TestValue empty(intArray);
  ValueToVariant(copy, empty.Ref());
  EXPECT_EQ(Load<ArrayBlock*>(static_cast<std::uint8_t*>(copy) + kVariantPayloadOffset), nullptr);
}

}  // namespace
}  // namespace dravik::engine::values

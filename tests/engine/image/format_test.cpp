#include "engine/image/format.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace dravik::engine::image {
namespace {

// The tables drive the loader, the machine and the disassembler; these pin the facts the
// compiler's output and stored listings depend on.

constexpr bool OpcodesAscendUnique() {
  for (std::size_t i = 1; i < kOpcodes.size(); ++i)
    if (kOpcodes[i - 1].opcode >= kOpcodes[i].opcode) return false;
  return true;
}
static_assert(OpcodesAscendUnique());

constexpr bool ShapesArePacked() {
  for (const OpcodeInfo& info : kOpcodes) {
    bool ended = false;
    for (OperandSlot slot : info.shape) {
      if (ended && slot != OperandSlot::kNone) return false;
      ended = ended || slot == OperandSlot::kNone;
    }
  }
  return true;
}
static_assert(ShapesArePacked(), "an operand shape must not continue after kNone");

constexpr bool TypeCodesAscendUnique() {
  for (std::size_t i = 1; i < kTypeCodes.size(); ++i)
    if (kTypeCodes[i - 1].code >= kTypeCodes[i].code) return false;
  return true;
}
static_assert(TypeCodesAscendUnique());
static_assert(SetByteSize(256) == 32 && SetByteSize(9) == 2 && SetByteSize(8) == 1 && SetByteSize(0) == 0);
static_assert(kImageMagicText.size() == 4);

TEST(ImageFormat, ImageTypeCodesAreExactlyOneToFourteenAndSixteenToTwentySix) {
  for (int code = 0; code < 256; ++code) {
    const bool expected = (code >= 1 && code <= 14) || (code >= 16 && code <= 26);
    EXPECT_EQ(IsImageTypeCode(static_cast<std::uint8_t>(code)), expected) << code;
  }
  EXPECT_EQ(TypeCodeName(tcEnum), "tcEnum");
  EXPECT_EQ(TypeCodeName(255), "tcTypeLink");
  EXPECT_EQ(TypeCodeName(15), "");
  EXPECT_EQ(TypeCodeName(128), "");
}

TEST(ImageFormat, ValueSizesAndInlineConstantWidths) {
  struct Case {
    TPSTypeCode code;
    std::uint32_t valueSize;
    ConstantEncoding encoding;
    std::uint32_t width;
  };
  const Case cases[] = {
      {tcU8, 1, ConstantEncoding::kFixed, 1},         {tcChar, 1, ConstantEncoding::kFixed, 1},
      {tcWideChar, 2, ConstantEncoding::kFixed, 2},   {tcS32, 4, ConstantEncoding::kFixed, 4},
      {tcSingle, 4, ConstantEncoding::kFixed, 4},     {tcDouble, 8, ConstantEncoding::kFixed, 8},
      {tcS64, 8, ConstantEncoding::kFixed, 8},        {tcExtended, 10, ConstantEncoding::kFixed, 10},
      {tcProcPtr, 12, ConstantEncoding::kFixed, 4},   {tcString, 4, ConstantEncoding::kByteString, 0},
      {tcPChar, 4, ConstantEncoding::kByteString, 0}, {tcWideString, 4, ConstantEncoding::kWideString, 0},
      {tcSet, 0, ConstantEncoding::kSetBytes, 0},     {tcCurrency, 8, ConstantEncoding::kNotAllowed, 0},
      {tcVariant, 16, ConstantEncoding::kNotAllowed, 0}, {tcPointer, 12, ConstantEncoding::kNotAllowed, 0},
      {tcRecord, 0, ConstantEncoding::kNotAllowed, 0}, {tcReturnAddress, 12, ConstantEncoding::kNotAllowed, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(TypeCodeName(c.code)));
    EXPECT_EQ(FindTypeCode(c.code)->valueSize, c.valueSize);
    EXPECT_EQ(ConstantEncodingOf(c.code), c.encoding);
    EXPECT_EQ(ConstantWidth(c.code), c.width);
  }
}

TEST(ImageFormat, OpcodeTableCoversExactlyTheInstructionBytes) {
  std::set<std::string_view> names;
  for (int byte = 0; byte < 256; ++byte) {
    const bool expected = byte <= 26 ? byte != 10 : byte == 255;
    const OpcodeInfo* info = FindOpcode(static_cast<std::uint8_t>(byte));
    EXPECT_EQ(info != nullptr, expected) << byte;
    if (info != nullptr) {
      EXPECT_EQ(info->name.substr(0, 2), "Op");
      names.insert(info->name);
    }
  }
  EXPECT_EQ(names.size(), kOpcodeCount);
  using enum OperandSlot;
  EXPECT_EQ(FindOpcode(OpCompare)->shape, (OperandShape{kCompareOp, kOperand, kOperand, kOperand}));
  EXPECT_EQ(FindOpcode(OpJumpIfFalse)->shape, (OperandShape{kDisplacement, kOperand, kNone, kNone}));
  EXPECT_EQ(FindOpcode(OpSetFlag)->shape, (OperandShape{kOperand, kInvertByte, kNone, kNone}));
  EXPECT_EQ(FindOpcode(OpNop)->shape, (OperandShape{}));
}

TEST(ImageFormat, OperatorBytes) {
  EXPECT_EQ(static_cast<int>(CalcOp::As), 10);
  EXPECT_EQ(kCalcOpTexts[static_cast<int>(CalcOp::ShiftRight)], "shr");
  EXPECT_EQ(static_cast<int>(CompareOp::Is), 7);
  EXPECT_EQ(kCompareOpTexts[static_cast<int>(CompareOp::NotEqual)], "<>");
  EXPECT_EQ(kHandlerEndKindTexts[static_cast<int>(HandlerEndKind::EndExcept)], "except");
}

TEST(RuntimeErrors, TextsAndParameters) {
  EXPECT_EQ(ErrorToText(ErNoError, "x"), "No Error");
  EXPECT_EQ(ErrorToText(0x85, ""), "Invalid Opcode");  // bit 7 is not part of the code
  EXPECT_EQ(ErrorToText(erCustomError, "abc"), "abc");
  EXPECT_EQ(ErrorToText(25, "abc"), "Unknown error");
  EXPECT_EQ(ErrorToText(0x7F, ""), "Unknown error");
  EXPECT_EQ(ErrorToText(erException, "boom\x01x"), "Exception: boom\x01x");
  EXPECT_EQ(ErrorToText(erCannotImport, "MOUNTFILE"), "Cannot Import MOUNTFILE");
  EXPECT_EQ(ErrorToText(erCannotImport, std::string_view("AB\x1f" "CD", 5)), "Cannot Import AB");
  EXPECT_EQ(ErrorToText(erCannotImport, std::string_view("\0AB", 3)), "Cannot Import ");
  EXPECT_EQ(ErrorToText(erOutofRecordRange, "x"), "Out of Record Fields Range");
  EXPECT_EQ(kRuntimeErrors[ErDivideByZero].name, "ErDivideByZero");
  EXPECT_EQ(kRuntimeErrors[erCustomError].name, "erCustomError");
}

}  // namespace
}  // namespace dravik::engine::image

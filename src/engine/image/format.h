#pragma once
// The compiled image: the byte layout the compiler writes and the loader and the disassembler read.
// Every table of the format lives here once, as data; the writer, loader, virtual machine,
// disassembler and tests all read these tables instead of repeating numbers.
//
// All multi-byte numbers are little-endian (byte_reader.h / byte_writer.h). Strings are raw
// 8-bit bytes without a terminator.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/image/runtime_error.h"

namespace dravik::engine::image {

// ---------------------------------------------------------------------------------------------
// Base-type codes

// Where a code may appear.
enum class TypeCodeUse : std::uint8_t {
  kRuntime,   // made by the executor itself; never in the image's type table
  kImage,     // stored in the image's type table
  kCompiler,  // exists only inside the compiler; written as another code
};

// X(name, code, value size in bytes, use). A value size of 0 means the size follows from the
// type's body (record fields, static-array count, set bits) or, for compiler-only codes, from
// the code the type is written as.
#define DRAVIK_TYPE_CODES(X)                                                                    \
  X(tcReturnAddress, 0, 12, kRuntime)                                                           \
  X(tcU8, 1, 1, kImage) X(tcS8, 2, 1, kImage) X(tcU16, 3, 2, kImage) X(tcS16, 4, 2, kImage)     \
  X(tcU32, 5, 4, kImage) X(tcS32, 6, 4, kImage) X(tcSingle, 7, 4, kImage)                       \
  X(tcDouble, 8, 8, kImage) X(tcExtended, 9, 10, kImage) X(tcString, 10, 4, kImage)             \
  X(tcRecord, 11, 0, kImage) X(tcArray, 12, 4, kImage) X(tcPointer, 13, 12, kImage)             \
  X(tcPChar, 14, 4, kImage) X(tcVariant, 16, 16, kImage) X(tcS64, 17, 8, kImage)                \
  X(tcChar, 18, 1, kImage) X(tcWideString, 19, 4, kImage) X(tcWideChar, 20, 2, kImage)          \
  X(tcProcPtr, 21, 12, kImage) X(tcStaticArray, 22, 0, kImage) X(tcSet, 23, 0, kImage)          \
  X(tcCurrency, 24, 8, kImage) X(tcClass, 25, 4, kImage) X(tcInterface, 26, 4, kImage)          \
  X(tcNotificationVariant, 27, 0, kCompiler) X(tcEnum, 129, 0, kCompiler)                       \
  X(tcUndefinedClass, 130, 0, kCompiler) X(tcTypeLink, 255, 0, kCompiler)

enum TPSTypeCode : std::uint8_t {
#define DRAVIK_TYPE_CODE_ENUM(name, code, size, use) name = code,
  DRAVIK_TYPE_CODES(DRAVIK_TYPE_CODE_ENUM)
#undef DRAVIK_TYPE_CODE_ENUM
};

struct TypeCodeInfo {
  std::string_view name;  // as written in code: "tcU8"
  TPSTypeCode code;
  std::uint32_t valueSize;  // 0: computed from the body (see DRAVIK_TYPE_CODES)
  TypeCodeUse use;
};

inline constexpr std::array kTypeCodes = {
#define DRAVIK_TYPE_CODE_ENTRY(name, code, size, use) \
  TypeCodeInfo{#name, name, size, TypeCodeUse::use},
    DRAVIK_TYPE_CODES(DRAVIK_TYPE_CODE_ENTRY)
#undef DRAVIK_TYPE_CODE_ENTRY
};
inline constexpr std::size_t kTypeCodeCount = 30;
static_assert(kTypeCodes.size() == kTypeCodeCount);

// Where each byte's entry is in kTypeCodes, or kNoTypeCode: the compiler asks for a code's size
// for every constant it writes.
inline constexpr std::uint8_t kNoTypeCode = 0xFF;
inline constexpr std::array<std::uint8_t, 256> kTypeCodeIndex = [] {
  std::array<std::uint8_t, 256> index{};
  for (std::uint8_t& entry : index) entry = kNoTypeCode;
  for (std::size_t i = 0; i < kTypeCodes.size(); ++i) index[kTypeCodes[i].code] = static_cast<std::uint8_t>(i);
  return index;
}();

// The table entry of a code; nullptr for a byte that is no type code (15, 28 to 128, ...).
constexpr const TypeCodeInfo* FindTypeCode(std::uint8_t code) {
  return kTypeCodeIndex[code] == kNoTypeCode ? nullptr : &kTypeCodes[kTypeCodeIndex[code]];
}

// "tcU8" ...; empty for a byte that is no type code.
constexpr std::string_view TypeCodeName(std::uint8_t code) {
  const TypeCodeInfo* info = FindTypeCode(code);
  return info == nullptr ? std::string_view{} : info->name;
}

// True for the codes the loader accepts in the type table: 1 to 14 and 16 to 26.
constexpr bool IsImageTypeCode(std::uint8_t code) {
  const TypeCodeInfo* info = FindTypeCode(code);
  return info != nullptr && info->use == TypeCodeUse::kImage;
}

// The type byte of a type-table entry: the code in bits 0 to 6, the export flag in bit 7.
inline constexpr std::uint8_t kTypeCodeMask = 0x7F;
inline constexpr std::uint8_t kTypeExportedFlag = 0x80;

// How an inline constant (operand kind 1) or an attribute value of a base type is encoded.
enum class ConstantEncoding : std::uint8_t {
  kNotAllowed,    // the loader and the machine report erInvalidType
  kFixed,         // ConstantWidth bytes
  kByteString,    // uint32 byte length, then the bytes
  kWideString,    // uint32 character count, then 2 bytes per character
  kSetBytes,      // the set type's byte size
};

constexpr ConstantEncoding ConstantEncodingOf(std::uint8_t code) {
  switch (code) {
    case tcU8: case tcS8: case tcChar: case tcU16: case tcS16: case tcWideChar:
    case tcU32: case tcS32: case tcSingle: case tcDouble: case tcS64: case tcExtended:
    case tcProcPtr:
      return ConstantEncoding::kFixed;
    case tcString: case tcPChar:
      return ConstantEncoding::kByteString;
    case tcWideString:
      return ConstantEncoding::kWideString;
    case tcSet:
      return ConstantEncoding::kSetBytes;
    default:
      return ConstantEncoding::kNotAllowed;
  }
}

// Bytes of a kFixed inline constant: the value size, except tcProcPtr, which carries only its
// uint32 procedure number. 0 for any other encoding.
constexpr std::uint32_t ConstantWidth(std::uint8_t code) {
  if (ConstantEncodingOf(code) != ConstantEncoding::kFixed) return 0;
  if (code == tcProcPtr) return 4;
  return FindTypeCode(code)->valueSize;
}

// Attribute values may also be tcCurrency, which inline constants refuse.
inline constexpr std::uint32_t kAttributeCurrencyWidth = 8;

// ---------------------------------------------------------------------------------------------
// Header

inline constexpr std::uint32_t kImageMagic = 0x42525851;  // the bytes "QXRB"
inline constexpr std::string_view kImageMagicText = "QXRB";
inline constexpr std::uint32_t kImageBuildNumber = 22;  // what the compiler writes
inline constexpr std::uint32_t kMinImageBuildNumber = 12;
inline constexpr std::uint32_t kMaxImageBuildNumber = 22;
// From this build on every type-table entry ends with an attribute block.
inline constexpr std::uint32_t kFirstBuildWithTypeAttributes = 21;

inline constexpr std::size_t kImageHeaderSize = 28;
inline constexpr std::size_t kHeaderMagicOffset = 0;
inline constexpr std::size_t kHeaderBuildOffset = 4;
inline constexpr std::size_t kHeaderTypeCountOffset = 8;
inline constexpr std::size_t kHeaderProcCountOffset = 12;
inline constexpr std::size_t kHeaderVarCountOffset = 16;
inline constexpr std::size_t kHeaderMainProcOffset = 20;
inline constexpr std::size_t kHeaderReservedOffset = 24;

struct ImageHeader {
  std::uint32_t magic = kImageMagic;
  std::uint32_t buildNumber = kImageBuildNumber;
  std::uint32_t typeCount = 0;
  std::uint32_t procCount = 0;
  std::uint32_t varCount = 0;
  std::uint32_t mainProc = 0xFFFFFFFF;
  std::uint32_t reserved = 0;
};

// A position or procedure number that is absent.
inline constexpr std::uint32_t kNoNumber = 0xFFFFFFFF;

// ---------------------------------------------------------------------------------------------
// Type-table bodies, procedure table, variable table: flags and limits

// Static arrays hold fewer elements than this, so that their size stays countable in 32 bits;
// the compiler refuses a larger count and the loader a type that has one.
inline constexpr std::uint32_t kStaticArrayCountLimit = 0x20000000;
inline constexpr std::uint32_t kMaxSetBits = 256;                    // inclusive
inline constexpr std::uint32_t kShortTextLimit = 256;  // proc-pointer declaration, class name: below
inline constexpr std::uint32_t kMaxNameLength = 0x40000000;  // exported names, declarations: inclusive
inline constexpr std::size_t kInterfaceGuidSize = 16;

// Byte size of a set of the given number of bits.
constexpr std::uint32_t SetByteSize(std::uint32_t bits) { return bits / 8 + (bits % 8 != 0 ? 1 : 0); }

// Procedure-table flags byte.
inline constexpr std::uint8_t kProcExternal = 0x01;
inline constexpr std::uint8_t kProcExported = 0x02;  // name and declaration follow
inline constexpr std::uint8_t kProcHasAttributes = 0x04;

// Variable-table flags byte.
inline constexpr std::uint8_t kVarExported = 0x01;

// Script-routine declaration text: result type number or "-1", then per parameter the marker
// and the parameter's type number.
inline constexpr std::string_view kDeclNoResult = "-1";
inline constexpr std::string_view kDeclByReference = " !";
inline constexpr std::string_view kDeclByValue = " @";

// External-routine and procedural-type call declaration: byte 0 result, one byte per parameter.
inline constexpr char kCallDeclProcedure = 0;
inline constexpr char kCallDeclFunction = 1;
inline constexpr char kCallDeclByValue = 0;
inline constexpr char kCallDeclByReference = 1;

// ---------------------------------------------------------------------------------------------
// Variable numbers in operands

// Below this: a global (its index in the variable table). From here on: frame-relative.
inline constexpr std::uint32_t kFirstFrameVariable = 0x40000000;
// slot = frame base + (number - kFrameBaseVariable): kFrameBaseVariable + 1 is the first local,
// kFrameBaseVariable - 1 the slot directly below the return address.
inline constexpr std::uint32_t kFrameBaseVariable = 0x60000000;

// ---------------------------------------------------------------------------------------------
// Instructions

// What follows an opcode byte, one slot at a time.
enum class OperandSlot : std::uint8_t {
  kNone,             // end of the shape
  kOperand,          // kind byte + uint32 + kind-specific bytes (OperandKind)
  kProcNumber,       // uint32
  kTypeNumber,       // uint32
  kDisplacement,     // int32, counted from the end of the instruction
  kHandlerPosition,  // int32, counted from the end of the instruction; -1 = none
  kCalcOp,           // byte (CalcOp)
  kCompareOp,        // byte (CompareOp)
  kInvertByte,       // byte: non-zero inverts the flag
  kHandlerEndKind,   // byte (HandlerEndKind)
};

inline constexpr std::size_t kMaxOperandSlots = 4;
using OperandShape = std::array<OperandSlot, kMaxOperandSlots>;

namespace shape {
inline constexpr OperandSlot O = OperandSlot::kOperand;
inline constexpr OperandSlot P = OperandSlot::kProcNumber;
inline constexpr OperandSlot T = OperandSlot::kTypeNumber;
inline constexpr OperandSlot D = OperandSlot::kDisplacement;
inline constexpr OperandSlot H = OperandSlot::kHandlerPosition;
inline constexpr OperandSlot C = OperandSlot::kCalcOp;
inline constexpr OperandSlot Q = OperandSlot::kCompareOp;
inline constexpr OperandSlot I = OperandSlot::kInvertByte;
inline constexpr OperandSlot K = OperandSlot::kHandlerEndKind;
}  // namespace shape

// X(name, byte, shape...). Shapes read left to right in the order of the bytes. Where the
// executor handles each opcode is mapped in exec/opcode_handling.h, a row per opcode.
#define DRAVIK_OPCODES(X)                        \
  X(OpAssign, 0, O, O)                           \
  X(OpCalculate, 1, C, O, O)                     \
  X(OpPush, 2, O)                                \
  X(OpPushVar, 3, O)                             \
  X(OpPop, 4)                                    \
  X(OpCall, 5, P)                                \
  X(OpGoto, 6, D)                                \
  X(OpJumpIfTrue, 7, D, O)                       \
  X(OpJumpIfFalse, 8, D, O)                      \
  X(OpReturn, 9)                                 \
  X(OpPushType, 11, T)                           \
  X(OpCompare, 12, Q, O, O, O)                   \
  X(OpCallVar, 13, O)                            \
  X(OpSetPointer, 14, O, O)                      \
  X(OpBooleanNot, 15, O)                         \
  X(OpNegate, 16, O)                             \
  X(OpSetFlag, 17, O, I)                         \
  X(OpJumpIfFlag, 18, D)                         \
  X(OpPushHandler, 19, H, H, H, H)               \
  X(OpPopHandler, 20, K)                         \
  X(OpIntegerNot, 21, O)                         \
  X(OpSetPointerToCopy, 22, O, O)                \
  X(OpIncrement, 23, O)                          \
  X(OpDecrement, 24, O)                          \
  X(OpPopJump, 25, D)                            \
  X(OpPop2Jump, 26, D)                           \
  X(OpNop, 255)

enum Opcode : std::uint8_t {
#define DRAVIK_OPCODE_ENUM(name, byte, ...) name = byte,
  DRAVIK_OPCODES(DRAVIK_OPCODE_ENUM)
#undef DRAVIK_OPCODE_ENUM
};

struct OpcodeInfo {
  std::string_view name;  // "OpAssign"
  Opcode opcode;
  OperandShape shape;  // unused slots are kNone
};

inline constexpr std::array kOpcodes = {
#define DRAVIK_OPCODE_ENTRY(name, byte, ...) \
  OpcodeInfo{#name, name, [] { using namespace shape; return OperandShape{__VA_ARGS__}; }()},
    DRAVIK_OPCODES(DRAVIK_OPCODE_ENTRY)
#undef DRAVIK_OPCODE_ENTRY
};
inline constexpr std::size_t kOpcodeCount = 27;
static_assert(kOpcodes.size() == kOpcodeCount);

// The table entry of an opcode byte; nullptr for 10 and 27 to 254 (erInvalidOpcode).
constexpr const OpcodeInfo* FindOpcode(std::uint8_t byte) {
  for (const OpcodeInfo& info : kOpcodes)
    if (info.opcode == byte) return &info;
  return nullptr;
}

// Operand kind byte, the first byte of every kOperand slot.
enum class OperandKind : std::uint8_t {
  kVariable = 0,       // uint32 variable number
  kConstant = 1,       // uint32 type number, then the value (ConstantEncodingOf)
  kIndexed = 2,        // uint32 variable number, uint32 element or field index
  kIndexedByVar = 3,   // uint32 variable number, uint32 index-variable number
};
inline constexpr std::uint8_t kOperandKindCount = 4;
// Kind byte and the first uint32: fewer bytes left fails the operand with ErOutOfRange.
inline constexpr std::size_t kMinOperandSize = 5;

// X(name, byte, text). Text is how the disassembler shows the operation.
#define DRAVIK_CALC_OPS(X)                                                                   \
  X(Add, 0, "add") X(Subtract, 1, "sub") X(Multiply, 2, "mul") X(Divide, 3, "div")          \
  X(Modulo, 4, "mod") X(ShiftLeft, 5, "shl") X(ShiftRight, 6, "shr") X(And, 7, "and")       \
  X(Or, 8, "or") X(Xor, 9, "xor") X(As, 10, "as")

enum class CalcOp : std::uint8_t {
#define DRAVIK_CALC_ENUM(name, byte, text) name = byte,
  DRAVIK_CALC_OPS(DRAVIK_CALC_ENUM)
#undef DRAVIK_CALC_ENUM
};

inline constexpr std::array<std::string_view, 11> kCalcOpTexts = {
#define DRAVIK_CALC_TEXT(name, byte, text) text,
    DRAVIK_CALC_OPS(DRAVIK_CALC_TEXT)
#undef DRAVIK_CALC_TEXT
};
inline constexpr std::uint8_t kCalcOpCount = 11;  // bytes 0 to 10; others: erInvalidOpcodeParameter
static_assert(kCalcOpTexts.size() == kCalcOpCount);

#define DRAVIK_COMPARE_OPS(X)                                                               \
  X(GreaterEqual, 0, ">=") X(LessEqual, 1, "<=") X(Greater, 2, ">") X(Less, 3, "<")        \
  X(NotEqual, 4, "<>") X(Equal, 5, "=") X(In, 6, "in") X(Is, 7, "is")

enum class CompareOp : std::uint8_t {
#define DRAVIK_COMPARE_ENUM(name, byte, text) name = byte,
  DRAVIK_COMPARE_OPS(DRAVIK_COMPARE_ENUM)
#undef DRAVIK_COMPARE_ENUM
};

inline constexpr std::array<std::string_view, 8> kCompareOpTexts = {
#define DRAVIK_COMPARE_TEXT(name, byte, text) text,
    DRAVIK_COMPARE_OPS(DRAVIK_COMPARE_TEXT)
#undef DRAVIK_COMPARE_TEXT
};
inline constexpr std::uint8_t kCompareOpCount = 8;  // bytes 0 to 7; others: erInvalidOpcodeParameter
static_assert(kCompareOpTexts.size() == kCompareOpCount);

// OpPopHandler's kind byte: which part of a protected block has just ended. Other bytes do nothing.
#define DRAVIK_HANDLER_END_KINDS(X) \
  X(EndTry, 0, "try") X(EndFinally, 1, "finally") X(EndExcept, 2, "except") \
  X(EndSecondFinally, 3, "finally2")

enum class HandlerEndKind : std::uint8_t {
#define DRAVIK_HANDLER_END_ENUM(name, byte, text) name = byte,
  DRAVIK_HANDLER_END_KINDS(DRAVIK_HANDLER_END_ENUM)
#undef DRAVIK_HANDLER_END_ENUM
};

inline constexpr std::array<std::string_view, 4> kHandlerEndKindTexts = {
#define DRAVIK_HANDLER_END_TEXT(name, byte, text) text,
    DRAVIK_HANDLER_END_KINDS(DRAVIK_HANDLER_END_TEXT)
#undef DRAVIK_HANDLER_END_TEXT
};
inline constexpr std::uint8_t kHandlerEndKindCount = 4;
static_assert(kHandlerEndKindTexts.size() == kHandlerEndKindCount);
// Kinds kHandlerLeaveByJump + k (k one of the kinds above) end the part that k ends when a jump
// (break, continue) leaves the block from inside it: the part's finally code still runs, and the
// block is then left towards the instruction after this one instead of its end.
inline constexpr std::uint8_t kHandlerLeaveByJump = 4;

// ---------------------------------------------------------------------------------------------
// Debug output (a byte string beside the image). Names run up to the next marker byte
// (kDebugNameMarker or kDebugEnd); routine numbers and positions are uint32.

enum class DebugRecord : std::uint8_t {
  kNames = 0,           // per routine: marker + name; kDebugEnd, kDebugNameMarker;
                        // per global: marker + name; kDebugEnd
  kRoutineParams = 2,   // uint32 routine; [marker + "Result"]; per parameter marker + name; kDebugEnd
  kRoutineLocals = 3,   // uint32 routine; per local marker + name; kDebugEnd
  kStatement = 4,       // file name; marker; uint32 routine, code length, source offset, line, column
};
inline constexpr char kDebugEnd = 0;
inline constexpr char kDebugNameMarker = 1;

}  // namespace dravik::engine::image

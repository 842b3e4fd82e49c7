#pragma once
// Decoding one instruction of a routine's code, with the virtual machine's error codes for
// what cannot be decoded. Used by the disassembler; positions are offsets into the code.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <variant>
#include <vector>

#include "engine/image/format.h"
#include "engine/image/image_tables.h"

namespace dravik::engine::image {

struct Operand {
  OperandKind kind = OperandKind::kVariable;
  std::uint32_t variable = 0;  // kVariable, kIndexed, kIndexedByVar
  std::uint32_t index = 0;     // kIndexed: element or field; kIndexedByVar: index variable
  ImageConstant constant;      // kConstant
};

// One decoded slot of an instruction's shape.
struct SlotValue {
  OperandSlot slot = OperandSlot::kNone;
  // kProcNumber, kTypeNumber: the number; kDisplacement, kHandlerPosition: the int32 as
  // stored; the byte slots: the byte.
  std::int64_t number = 0;
  Operand operand;  // kOperand
};

struct Instruction {
  std::size_t position = 0;  // of the opcode byte
  std::size_t end = 0;       // of the next opcode byte; jumps count from here
  const OpcodeInfo* info = nullptr;
  std::array<SlotValue, kMaxOperandSlots> slots{};
};

// Either the instruction at position or why it cannot be decoded (at = offset in the code).
using DecodedInstruction = std::variant<Instruction, ImageProblem>;

// types is the image's type table, needed to size inline constants.
DecodedInstruction DecodeInstruction(std::string_view code, std::size_t position,
                                     const std::vector<ImageType>& types);

}  // namespace dravik::engine::image

#pragma once
// Every place an opcode of the byte code is carried out, one row per opcode in the order of
// DRAVIK_OPCODES (image/format.h). A new opcode does not compile until it has a row here, and
// opcode_handling_test.cpp checks the rows against what the interpreter and the translator do.
//
//  - The reference interpreter (interpreter.cpp, Interpreter::Execute) runs every opcode from its
//    bytes: it is the meaning of the byte code.
//  - The register translator (translator.cpp, Translator::SelectFast) turns an instruction into
//    the register instructions named in its row (register_code.h), which register_loop.cpp
//    runs; or it leaves the instruction to a reference step (RegOp::kRef): the register loop
//    hands that one instruction to the interpreter and goes on after it.

#include <array>
#include <cstdint>
#include <string_view>

#include "engine/image/format.h"

namespace dravik::engine::exec {

enum class RegisterHandling : std::uint8_t {
  // Register instructions, unless its operands are of a kind the translator leaves to a
  // reference step.
  kTranslated,
  // Always a reference step: rare instructions, or ones whose work is all in the interpreter.
  kReferenceStep,
};

struct OpcodeHandling {
  image::Opcode opcode;
  std::string_view interpreter;  // Interpreter::Execute's handler
  RegisterHandling registerForm;
  std::string_view translator;  // SelectFast's selector and the register instructions it makes
};

inline constexpr std::array kOpcodeHandling = {
    OpcodeHandling{image::OpAssign, "AssignValue", RegisterHandling::kTranslated,
                   "SelectAssign: Mov32/Mov8, MovStr, Store*, Assign"},
    OpcodeHandling{image::OpCalculate, "CalculateValue", RegisterHandling::kTranslated,
                   "SelectCalculate: 32-bit and byte arithmetic, AppendChar, Calculate"},
    OpcodeHandling{image::OpPush, "Push", RegisterHandling::kReferenceStep, ""},
    OpcodeHandling{image::OpPushVar, "PushVar", RegisterHandling::kTranslated,
                   "SelectPushVar: PointToVar, PointToCopy"},
    OpcodeHandling{image::OpPop, "PopChecked", RegisterHandling::kTranslated, "SelectPop: Release, or nothing"},
    OpcodeHandling{image::OpCall, "Call", RegisterHandling::kTranslated, "CallScript, CallHost, StrLen, StrGet"},
    OpcodeHandling{image::OpGoto, "Jump", RegisterHandling::kTranslated, "Goto"},
    OpcodeHandling{image::OpJumpIfTrue, "jump on the operand", RegisterHandling::kTranslated,
                   "SelectConditionalJump: JumpIfZero/NotZero, CmpJump fused, JumpIfTrue"},
    OpcodeHandling{image::OpJumpIfFalse, "jump on the operand", RegisterHandling::kTranslated,
                   "SelectConditionalJump: JumpIfZero/NotZero, CmpJump fused, JumpIfFalse"},
    OpcodeHandling{image::OpReturn, "ReturnFromProc", RegisterHandling::kTranslated, "Return"},
    OpcodeHandling{image::OpPushType, "push a default value", RegisterHandling::kTranslated,
                   "SelectPushType: Clear8, ClearN, ClearPointer"},
    OpcodeHandling{image::OpCompare, "Compare", RegisterHandling::kTranslated,
                   "SelectCompare: CmpS/CmpU/CmpB, CmpStr, CmpJump fused, Compare"},
    OpcodeHandling{image::OpCallVar, "CallVar", RegisterHandling::kReferenceStep, ""},
    OpcodeHandling{image::OpSetPointer, "SetPointer", RegisterHandling::kTranslated,
                   "SelectSetPointer: a place (RPlace) or PointToElem*, PointToPlace"},
    OpcodeHandling{image::OpBooleanNot, "BooleanNotValue", RegisterHandling::kReferenceStep, ""},
    OpcodeHandling{image::OpNegate, "NegateValue", RegisterHandling::kReferenceStep, ""},
    OpcodeHandling{image::OpSetFlag, "set the flag", RegisterHandling::kTranslated,
                   "SelectSetFlag: SetFlag8/32, SetFlag"},
    OpcodeHandling{image::OpJumpIfFlag, "jump on the flag", RegisterHandling::kTranslated, "JumpIfFlag"},
    OpcodeHandling{image::OpPushHandler, "PushHandler", RegisterHandling::kReferenceStep, ""},
    OpcodeHandling{image::OpPopHandler, "PopHandler", RegisterHandling::kReferenceStep, ""},
    OpcodeHandling{image::OpIntegerNot, "IntegerNotValue", RegisterHandling::kReferenceStep, ""},
    OpcodeHandling{image::OpSetPointerToCopy, "SetPointerToCopy", RegisterHandling::kReferenceStep, ""},
    OpcodeHandling{image::OpIncrement, "IncrementValue", RegisterHandling::kTranslated, "SelectStep: Inc32, Increment"},
    OpcodeHandling{image::OpDecrement, "DecrementValue", RegisterHandling::kTranslated, "SelectStep: Dec32, Decrement"},
    OpcodeHandling{image::OpPopJump, "pop and jump", RegisterHandling::kReferenceStep, ""},
    OpcodeHandling{image::OpPop2Jump, "pop twice and jump", RegisterHandling::kReferenceStep, ""},
    OpcodeHandling{image::OpNop, "nothing", RegisterHandling::kTranslated, "nothing"},
};

constexpr bool RowsFollowTheOpcodes() {
  if (kOpcodeHandling.size() != image::kOpcodes.size()) return false;
  for (std::size_t i = 0; i < image::kOpcodes.size(); ++i)
    if (kOpcodeHandling[i].opcode != image::kOpcodes[i].opcode) return false;
  return true;
}
static_assert(RowsFollowTheOpcodes(), "every opcode needs its row, in the order of DRAVIK_OPCODES");

// The row of an opcode the image table knows.
constexpr const OpcodeHandling& HandlingOf(image::Opcode opcode) {
  for (const OpcodeHandling& row : kOpcodeHandling)
    if (row.opcode == opcode) return row;
  return kOpcodeHandling.back();  // not reached: every Opcode has a row
}

// A bit per opcode, for sets of opcodes (OpNop's byte is beyond the others).
constexpr std::uint32_t OpcodeBit(image::Opcode opcode) {
  return opcode == image::OpNop ? std::uint32_t{1} << 31 : std::uint32_t{1} << (opcode & 31);
}

}  // namespace dravik::engine::exec

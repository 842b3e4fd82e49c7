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

namespace dravik::engine {

enum class RegisterHandling : std::uint8_t {
  // Register instructions, unless its operands are of a kind the translator leaves to a
  // reference step.
  kTranslated,
  // Always a reference step: rare instructions, or ones whose work is all in the interpreter.
  kReferenceStep,
};

struct OpcodeHandling {
  Opcode opcode;
  std::string_view interpreter;  // Interpreter::Execute's handler
  RegisterHandling registerForm;
  std::string_view translator;  // SelectFast's selector and the register instructions it makes
};

inline constexpr std::array kOpcodeHandling = {
    OpcodeHandling{OpAssign, "AssignValue", RegisterHandling::kTranslated,
                   "SelectAssign: Mov32/Mov8, MovStr, Store*, Assign"},
    OpcodeHandling{OpCalculate, "CalculateValue", RegisterHandling::kTranslated,
                   "SelectCalculate: 32-bit and byte arithmetic, AppendChar, Calculate"},
    OpcodeHandling{OpPush, "Push", RegisterHandling::kReferenceStep, ""},
    OpcodeHandling{OpPushVar, "PushVar", RegisterHandling::kTranslated, "SelectPushVar: PointToVar, PointToCopy"},
    OpcodeHandling{OpPop, "PopChecked", RegisterHandling::kTranslated, "SelectPop: Release, or nothing"},
    OpcodeHandling{OpCall, "Call", RegisterHandling::kTranslated, "CallScript, CallHost, StrLen, StrGet"},
    OpcodeHandling{OpGoto, "Jump", RegisterHandling::kTranslated, "Goto"},
    OpcodeHandling{OpJumpIfTrue, "jump on the operand", RegisterHandling::kTranslated,
                   "SelectConditionalJump: JumpIfZero/NotZero, CmpJump fused, JumpIfTrue"},
    OpcodeHandling{OpJumpIfFalse, "jump on the operand", RegisterHandling::kTranslated,
                   "SelectConditionalJump: JumpIfZero/NotZero, CmpJump fused, JumpIfFalse"},
    OpcodeHandling{OpReturn, "ReturnFromProc", RegisterHandling::kTranslated, "Return"},
    OpcodeHandling{OpPushType, "push a default value", RegisterHandling::kTranslated,
                   "SelectPushType: Clear8, ClearN, ClearPointer"},
    OpcodeHandling{OpCompare, "Compare", RegisterHandling::kTranslated,
                   "SelectCompare: CmpS/CmpU/CmpB, CmpStr, CmpJump fused, Compare"},
    OpcodeHandling{OpCallVar, "CallVar", RegisterHandling::kReferenceStep, ""},
    OpcodeHandling{OpSetPointer, "SetPointer", RegisterHandling::kTranslated,
                   "SelectSetPointer: a place (RPlace) or PointToElem*, PointToPlace"},
    OpcodeHandling{OpBooleanNot, "BooleanNotValue", RegisterHandling::kReferenceStep, ""},
    OpcodeHandling{OpNegate, "NegateValue", RegisterHandling::kReferenceStep, ""},
    OpcodeHandling{OpSetFlag, "set the flag", RegisterHandling::kTranslated, "SelectSetFlag: SetFlag8/32, SetFlag"},
    OpcodeHandling{OpJumpIfFlag, "jump on the flag", RegisterHandling::kTranslated, "JumpIfFlag"},
    OpcodeHandling{OpPushHandler, "PushHandler", RegisterHandling::kReferenceStep, ""},
    OpcodeHandling{OpPopHandler, "PopHandler", RegisterHandling::kReferenceStep, ""},
    OpcodeHandling{OpIntegerNot, "IntegerNotValue", RegisterHandling::kReferenceStep, ""},
    OpcodeHandling{OpSetPointerToCopy, "SetPointerToCopy", RegisterHandling::kReferenceStep, ""},
    OpcodeHandling{OpIncrement, "IncrementValue", RegisterHandling::kTranslated, "SelectStep: Inc32, Increment"},
    OpcodeHandling{OpDecrement, "DecrementValue", RegisterHandling::kTranslated, "SelectStep: Dec32, Decrement"},
    OpcodeHandling{OpPopJump, "pop and jump", RegisterHandling::kReferenceStep, ""},
    OpcodeHandling{OpPop2Jump, "pop twice and jump", RegisterHandling::kReferenceStep, ""},
    OpcodeHandling{OpNop, "nothing", RegisterHandling::kTranslated, "nothing"},
};

constexpr bool RowsFollowTheOpcodes() {
  if (kOpcodeHandling.size() != kOpcodes.size()) return false;
  for (std::size_t i = 0; i < kOpcodes.size(); ++i)
    if (kOpcodeHandling[i].opcode != kOpcodes[i].opcode) return false;
  return true;
}
static_assert(RowsFollowTheOpcodes(), "every opcode needs its row, in the order of DRAVIK_OPCODES");

// The row of an opcode the image table knows.
constexpr const OpcodeHandling& HandlingOf(Opcode opcode) {
  for (const OpcodeHandling& row : kOpcodeHandling)
    if (row.opcode == opcode) return row;
  return kOpcodeHandling.back();  // not reached: every Opcode has a row
}

// A bit per opcode, for sets of opcodes (OpNop's byte is beyond the others).
constexpr std::uint32_t OpcodeBit(Opcode opcode) {
  return opcode == OpNop ? std::uint32_t{1} << 31 : std::uint32_t{1} << (opcode & 31);
}

}  // namespace dravik::engine

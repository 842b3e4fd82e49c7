#pragma once
// The decoded form of a procedure's code, made once per procedure on its first run: every
// instruction with its operands resolved as far as they can be before the run (global
// variables to their values, constants to values built once, frame variables to their offset
// from the frame base, jump targets to instruction indexes).
//
// The decoded form only speeds up what the byte code means; it never changes it. An instruction
// the fast loop has no handler for, or whose operands it cannot resolve safely at run time, is
// run from its bytes by the same code as always, so every fault is reported exactly as before:
// same error, same position. Decoding stops at the first instruction whose length cannot be
// known; the code after it is only ever run from its bytes.

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/image/format.h"
#include "engine/values/operators.h"
#include "engine/values/type_records.h"

namespace dravik::engine {

class TPSExec;
class TPSInternalProcRec;
class TPSProcRec;

enum class FastOp : std::uint8_t {
  kFromBytes,  // no handler: run the instruction from its bytes
  kAssign,
  kCalculate,
  kPush,
  kPushVar,
  kSetPointer,
  kPushType,
  kPop,
  kCall,
  kGoto,
  kJumpIfTrue,
  kJumpIfFalse,
  kCompare,
  kSetFlag,
  kJumpIfFlag,
  kIncrement,
  kDecrement,
  kReturn,
};

// A variable as the decoded form finds it.
struct FastVariable {
  enum class Kind : std::uint8_t {
    kUnresolved,  // anything the fast loop leaves to the byte code
    kGlobal,      // ref is the global's value
    kFrame,       // slot = frame base + frameOffset, checked against the stack at run time
    kConstant,    // ref is a value owned by the decoded code
  };
  Kind kind = Kind::kUnresolved;
  std::int64_t frameOffset = 0;
  ValueRef ref;
};

// An operand: a variable, or an element or field of one selected by a fixed index or by the
// value of an index variable.
struct FastOperand {
  enum class Select : std::uint8_t { kWhole, kByIndex, kByVariable };
  FastVariable variable;
  Select select = Select::kWhole;
  std::uint32_t index = 0;  // kByIndex
  FastVariable indexVariable;  // kByVariable
  // A global that is not a pointer, or a constant: variable.ref is the operand's value.
  bool isFixed = false;
  bool Resolved() const {
    return variable.kind != FastVariable::Kind::kUnresolved &&
           (select != Select::kByVariable || indexVariable.kind != FastVariable::Kind::kUnresolved);
  }
  bool IsConstant() const { return variable.kind == FastVariable::Kind::kConstant; }
};

// An instruction that the one after it continues without a new dispatch: a comparison whose
// result a jump or the flag takes at once, a pushed temporary that the next instruction
// assigns, a calculation followed by the pop of its temporary or by the jump back of a loop.
// kIndexTemporary: an element index computed into a 32-bit temporary for one OpSetPointer.
enum class FastPair : std::uint8_t {
  kNone, kCompareJump, kCompareSetFlag, kPushAssign, kThenPop, kThenGoto, kIndexTemporary
};

// The common shape of an integer expression: a 32-bit temporary pushed, given a value, changed
// by operators that cannot fail, then added into its destination or compared into a flag, and
// popped again.
//   OpPushType tcS32; OpAssign T, x; {OpCalculate op T, y}; OpCalculate op D, T; OpPop
//   OpPushType tcS32; OpAssign T, x; {OpCalculate op T, y}; OpCompare op F, T, z; OpPop
// When every operand is a small integer it is computed at once, without the temporary.
inline constexpr std::int32_t kNoExpression = 0;

// The integer operators that cannot fail: no division, no shift.
inline bool CannotFailOnIntegers(CalcOp op) {
  switch (op) {
    case CalcOp::Add: case CalcOp::Subtract: case CalcOp::Multiply: case CalcOp::And: case CalcOp::Or:
    case CalcOp::Xor:
      return true;
    default:
      return false;
  }
}

struct FastInstruction {
  FastOp op = FastOp::kFromBytes;
  FastPair pair = FastPair::kNone;
  std::int32_t expressionEnd = kNoExpression;  // OpPushType: index of the expression's OpPop
  std::uint8_t operation = 0;  // CalcOp, CompareOp, or the invert byte of OpSetFlag
  std::uint32_t start = 0;     // position of the opcode byte
  std::uint32_t end = 0;       // position after the instruction
  std::uint32_t jumpPosition = 0;  // jumps: where to
  std::int32_t target = -1;    // jumps: index of the instruction at jumpPosition; -1 when none
  TPSProcRec* proc = nullptr;  // kCall
  const TPSTypeRec* type = nullptr;  // kPushType
  FastOperand operands[3];
};

// Writes an inline constant's value into value (default-initialised, of the constant's type):
// bytes are the encoding after any length prefix; count is their number, or the number of
// characters of a wide string.
void WriteInlineConstant(void* value, const TPSTypeRec& type, const std::uint8_t* bytes, std::uint32_t count);

class DecodedCode {
 public:
  static constexpr std::int32_t kNoInstruction = -1;

  DecodedCode(const TPSInternalProcRec& proc, TPSExec& exec);
  ~DecodedCode();
  DecodedCode(const DecodedCode&) = delete;
  DecodedCode& operator=(const DecodedCode&) = delete;

  const FastInstruction& operator[](std::int32_t index) const { return instructions_[static_cast<std::size_t>(index)]; }
  // The instruction that starts at position; kNoInstruction when none does (or it was not
  // decoded).
  std::int32_t IndexAt(std::uint32_t position) const {
    return position < indexAt_.size() ? indexAt_[position] : kNoInstruction;
  }

 private:
  struct OwnedConstant;

  std::vector<FastInstruction> instructions_;
  std::vector<std::int32_t> indexAt_;
  std::vector<std::unique_ptr<OwnedConstant>> constants_;

  friend class CodeDecoder;
};

}  // namespace dravik::engine

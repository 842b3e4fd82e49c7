// The instruction loop over the decoded form of the code (decoded_code.h). Each handler first
// checks, without changing anything, that its operands are what it can handle; when they are
// not, the instruction runs from its bytes instead, which then reports any fault exactly where
// the byte code would. Handlers keep the instruction's end as the current position, where the
// byte code stands when it has read an instruction, so errors, host routines and returns see
// the same position either way.

#include <cstring>

#include "engine/exec/interpreter.h"
#include "engine/values/integer_kinds.h"
#include "engine/values/operators.h"

namespace dravik::engine {

namespace {

constexpr std::int32_t kNone = DecodedCode::kNoInstruction;

// Same-typed integers and characters: an assignment that is a plain copy.
bool IsCopiedAsIs(TPSTypeCode code) {
  switch (code) {
    case tcU8: case tcS8: case tcU16: case tcS16: case tcU32: case tcS32: case tcS64:
    case tcChar: case tcWideChar: case tcCurrency:
      return true;
    default:
      return false;
  }
}

// a op b on 32-bit integers: the common operators here, the others as every integer kind does
// them (which throws for a division by zero).
std::uint32_t Int32Result(CalcOp op, std::uint32_t a, std::uint32_t b) {
  switch (op) {
    case CalcOp::Add: return a + b;
    case CalcOp::Subtract: return a - b;
    case CalcOp::Multiply: return a * b;
    case CalcOp::And: return a & b;
    case CalcOp::Or: return a | b;
    case CalcOp::Xor: return a ^ b;
    default: {
      constexpr IntegerKind kInt32{32, true};
      return static_cast<std::uint32_t>(CalculateInteger(op, FitInteger(a, kInt32), FitInteger(b, kInt32), kInt32));
    }
  }
}

void CalculateInt32(CalcOp op, void* dest, std::uint32_t b) {
  Store(dest, Int32Result(op, Load<std::uint32_t>(dest), b));
}

bool CompareOrdinals(CompareOp op, std::int64_t a, std::int64_t b) {
  switch (op) {
    case CompareOp::GreaterEqual: return a >= b;
    case CompareOp::LessEqual: return a <= b;
    case CompareOp::Greater: return a > b;
    case CompareOp::Less: return a < b;
    case CompareOp::NotEqual: return a != b;
    default: return a == b;  // the caller passes the six orderings only
  }
}

// Two values of the same integer type up to 32 bits, or two characters: compared as numbers,
// which is what the comparison rules come to for them.
bool AreSameOrdinals(ValueRef a, ValueRef b) {
  const TPSTypeCode code = a.type->baseType;
  return code == b.type->baseType && (IsSmallIntegerCode(code) || code == tcChar);
}

std::int64_t OrdinalValue(ValueRef value) {
  return value.type->baseType == tcChar ? Load<std::uint8_t>(value.data) : SmallIntegerValue(value);
}

void CopyPlain(void* dest, const void* source, std::size_t size) {
  switch (size) {
    case 1: std::memcpy(dest, source, 1); return;
    case 2: std::memcpy(dest, source, 2); return;
    case 4: std::memcpy(dest, source, 4); return;
    default: std::memcpy(dest, source, 8); return;  // tcS64, tcCurrency
  }
}

bool IsOrdering(CompareOp op) { return static_cast<std::uint8_t>(op) <= static_cast<std::uint8_t>(CompareOp::Equal); }

}  // namespace

const DecodedCode& Interpreter::DecodedFor(const TPSInternalProcRec& proc) {
  if (proc.decoded == nullptr) proc.decoded = std::make_shared<const DecodedCode>(proc, x_);
  return *proc.decoded;
}

[[gnu::always_inline]] inline bool Interpreter::Locate(const FastVariable& variable, ValueRef& ref,
                                                      std::uint32_t& stackIndex) const {
  switch (variable.kind) {
    case FastVariable::Kind::kGlobal:
    case FastVariable::Kind::kConstant:
      ref = variable.ref;
      stackIndex = kNotOnStack;
      return true;
    case FastVariable::Kind::kFrame: {
      const std::int64_t slot = std::int64_t{x_.frameBase_} + variable.frameOffset;
      if (slot < 0 || static_cast<std::uint64_t>(slot) >= x_.stack_.Count()) return false;
      ref = x_.stack_.At(static_cast<std::size_t>(slot));
      stackIndex = static_cast<std::uint32_t>(slot);
      return true;
    }
    case FastVariable::Kind::kUnresolved:
      break;
  }
  return false;
}

namespace {

// A pointer followed to its target; false for a null one.
[[gnu::always_inline]] inline bool Follow(ValueRef& ref) {
  if (ref.type->baseType != tcPointer) return true;
  const auto* data = static_cast<const std::uint8_t*>(ref.data);
  void* target = Load<void*>(data + PointerLayout::kTarget);
  if (target == nullptr) return false;
  ref = {target, Load<const TPSTypeRec*>(data + PointerLayout::kType)};
  return true;
}

}  // namespace

// Where the operand lives, as the byte code's operand reading finds it: a whole variable as it
// is, an element or field through its container's pointer, with what keeps it alive.
[[gnu::always_inline]] inline bool Interpreter::LocatePlace(const FastOperand& operand, Place& place) const {
  if (!Locate(operand.variable, place.ref, place.stackIndex)) return false;
  if (operand.select == FastOperand::Select::kWhole) return true;
  std::uint32_t index = operand.index;
  if (operand.select == FastOperand::Select::kByVariable) {
    ValueRef indexValue;
    std::uint32_t stackIndex = 0;
    if (!Locate(operand.indexVariable, indexValue, stackIndex) || !Follow(indexValue) ||
        !IsSmallIntegerCode(indexValue.type->baseType))
      return false;
    index = static_cast<std::uint32_t>(SmallIntegerValue(indexValue));
  }
  return SelectPlace(place, index);
}

// Narrows a place to its element or field number index, through its pointer if it holds one.
[[gnu::always_inline]] inline bool Interpreter::SelectPlace(Place& place, std::uint32_t index) const {
  if (!FollowPlace(place)) return false;
  ArrayBlock* block = nullptr;
  if (SelectElementOf(place.ref, index, block) != ErNoError) return false;
  if (block != nullptr) {
    place.stackIndex = kNotOnStack;
    place.keeper = {KeeperKind::kArrayBlock, block, place.ref.type};
  }
  return true;
}

// The operand's value, pointers followed.
[[gnu::always_inline]] inline bool Interpreter::Resolve(const FastOperand& operand, ValueRef& ref) const {
  if (operand.isFixed) {
    ref = operand.variable.ref;
    return true;
  }
  if (operand.select == FastOperand::Select::kWhole) {
    std::uint32_t stackIndex = 0;
    return Locate(operand.variable, ref, stackIndex) && Follow(ref);
  }
  Place place;
  if (!LocatePlace(operand, place)) return false;
  ref = place.ref;
  return Follow(ref);
}

// A jump whose target was not decoded goes back to the loop, which runs it from its bytes.
[[gnu::always_inline]] inline std::int32_t Interpreter::JumpTo(const FastInstruction& jump) {
  x_.position_ = jump.jumpPosition;
  if (jump.jumpPosition < jump.end && x_.StopRequested()) {
    x_.StopRun();
    return kNone;
  }
  return jump.target;
}

[[gnu::always_inline]] inline void Interpreter::Assign(ValueRef dest, ValueRef source) {
  if (dest.type->baseType == source.type->baseType && IsCopiedAsIs(dest.type->baseType)) {
    CopyPlain(dest.data, source.data, dest.type->memSize);
  } else if (IsSmallIntegerCode(dest.type->baseType) && IsSmallIntegerCode(source.type->baseType)) {
    StoreSmallInteger(dest, static_cast<std::uint32_t>(SmallIntegerValue(source)));
  } else {
    AssignValue(dest, source, x_);
  }
}

// Whether the temporary that push makes and assign fills would be the new top slot, and the
// push could neither fail nor need more memory: only then may a run leave it out.
bool Interpreter::TemporaryWouldBeTop(const FastInstruction& push, const FastInstruction& assign) const {
  return std::int64_t{x_.frameBase_} + assign.operands[0].variable.frameOffset ==
             static_cast<std::int64_t>(x_.stack_.Count()) &&
         x_.stack_.HasRoomFor(*push.type);
}

// An integer expression statement (kNoExpression) computed without its temporary. Every
// operand is checked before anything changes; false, with nothing changed, when one is not a
// small integer (the destination a 32-bit one), when the temporary would not be the new top slot,
// or when its push could fail: then the instructions run one by one.
bool Interpreter::RunExpression(const DecodedCode& code, std::int32_t first) {
  const FastInstruction& push = code[first];
  const FastInstruction& assign = code[first + 1];
  const FastInstruction& last = code[push.expressionEnd - 1];
  if (!TemporaryWouldBeTop(push, assign)) return false;
  ValueRef operand;
  if (!Resolve(assign.operands[1], operand) || !IsSmallIntegerCode(operand.type->baseType)) return false;
  auto result = static_cast<std::uint32_t>(SmallIntegerValue(operand));
  for (std::int32_t i = first + 2; i < push.expressionEnd - 1; ++i) {
    if (!Resolve(code[i].operands[1], operand) || !IsSmallIntegerCode(operand.type->baseType)) return false;
    result = Int32Result(static_cast<CalcOp>(code[i].operation), result,
                         static_cast<std::uint32_t>(SmallIntegerValue(operand)));
  }
  ValueRef dest;
  if (last.op == FastOp::kCompare) {
    ValueRef right;
    if (!Resolve(last.operands[0], dest) || !IsSmallIntegerCode(dest.type->baseType) ||
        !Resolve(last.operands[2], right) || !IsSmallIntegerCode(right.type->baseType))
      return false;
    // As the comparison rules have it: the right operand cut to 32 bits, both signed.
    x_.position_ = code[push.expressionEnd].end;
    StoreTruth(dest, CompareOrdinals(static_cast<CompareOp>(last.operation), static_cast<std::int32_t>(result),
                                     static_cast<std::int32_t>(static_cast<std::uint32_t>(SmallIntegerValue(right)))));
    return true;
  }
  if (!Resolve(last.operands[0], dest) || dest.type->baseType != tcS32) return false;
  x_.position_ = code[push.expressionEnd].end;
  Store(dest.data, Int32Result(static_cast<CalcOp>(last.operation), Load<std::uint32_t>(dest.data), result));
  return true;
}

// dest (a pointer variable) := a pointer to source, as OpSetPointer does; false, with nothing
// changed, when dest holds no pointer or the pointer may not refer to source from there.
bool Interpreter::PointAt(const Place& dest, const Place& source) {
  if (dest.ref.type->baseType != tcPointer) return false;
  const PointerValue pointer = PointerTo(source.ref, source.stackIndex, source.keeper);
  if (!MayPointTo(dest.stackIndex, pointer)) return false;
  // Moving a pointer within what the same keeper keeps alive counts no references.
  const Keeper old = LoadPointer(dest.ref.data).keeper;
  if (old.kind == pointer.keeper.kind && old.block == pointer.keeper.block &&
      old.elementType == pointer.keeper.elementType) {
    StorePointer(dest.ref.data, pointer);
  } else {
    SetPointerAt(dest.ref.data, pointer);
  }
  return true;
}

// OpPushType tcU32; OpAssign T, i; OpSetPointer P, Q[T]; OpPop (kIndexTemporary): the element
// selected by i at once, without the temporary. False, with nothing changed, when any step
// would not do exactly that; then the instructions run one by one.
bool Interpreter::PointAtIndexedElement(const DecodedCode& code, std::int32_t first) {
  const FastInstruction& push = code[first];
  const FastInstruction& assign = code[first + 1];
  const FastInstruction& setPointer = code[first + 2];
  if (!TemporaryWouldBeTop(push, assign)) return false;
  ValueRef indexValue;
  if (!Resolve(assign.operands[1], indexValue) || !IsSmallIntegerCode(indexValue.type->baseType)) return false;
  Place dest;
  Place source;
  if (!LocatePlace(setPointer.operands[0], dest) ||
      !Locate(setPointer.operands[1].variable, source.ref, source.stackIndex) ||
      !SelectPlace(source, static_cast<std::uint32_t>(SmallIntegerValue(indexValue))))
    return false;
  x_.position_ = code[first + 3].end;
  return PointAt(dest, source);
}

// After an instruction that calculates: its pair, a pop or a jump, when it has one. A pop that
// the stack does not allow runs on its own, to report its fault.
[[gnu::always_inline]] inline std::int32_t Interpreter::Continue(const DecodedCode& code, std::int32_t index,
                                                                FastPair pair) {
  if (pair == FastPair::kThenGoto) return JumpTo(code[index + 1]);
  if (pair != FastPair::kThenPop) return index + 1;
  if (!CanPop()) return index + 1;
  x_.position_ = code[index + 1].end;
  x_.stack_.Pop();
  return index + 2;
}

// Runs the instruction at index, and its pair when it has one; answers the next index, or kNone
// when the loop must look at the status and the position again.
[[gnu::always_inline]] inline std::int32_t Interpreter::Step(const DecodedCode& code, std::int32_t index) {
  const FastInstruction& in = code[index];
  x_.position_ = in.end;
  ValueRef a;
  ValueRef b;
  switch (in.op) {
    case FastOp::kAssign:
      if (!Resolve(in.operands[0], a) || !Resolve(in.operands[1], b)) break;
      Assign(a, b);
      return Continue(code, index, in.pair);
    case FastOp::kCalculate: {
      if (!Resolve(in.operands[0], a) || !Resolve(in.operands[1], b)) break;
      const auto op = static_cast<CalcOp>(in.operation);
      if (a.type->baseType == tcS32 && b.type->baseType == tcS32 && op != CalcOp::As) {
        CalculateInt32(op, a.data, Load<std::uint32_t>(b.data));
      } else {
        CalculateValue(op, a, b, x_);
      }
      return Continue(code, index, in.pair);
    }
    case FastOp::kCompare: {
      ValueRef c;
      if (!Resolve(in.operands[0], a) || !Resolve(in.operands[1], b) || !Resolve(in.operands[2], c)) break;
      if (!IsSmallIntegerCode(a.type->baseType)) break;
      const auto op = static_cast<CompareOp>(in.operation);
      const bool result = IsOrdering(op) && AreSameOrdinals(b, c)
                              ? CompareOrdinals(op, OrdinalValue(b), OrdinalValue(c))
                              : CompareValues(op, b, c, x_);
      StoreTruth(a, result);
      if (in.pair == FastPair::kNone) return index + 1;
      const FastInstruction& next = code[index + 1];
      x_.position_ = next.end;
      if (in.pair == FastPair::kCompareSetFlag) {
        x_.flag_ = result != (next.operation != 0);
        return index + 2;
      }
      return result == (next.op == FastOp::kJumpIfTrue) ? JumpTo(next) : index + 2;
    }
    case FastOp::kPush:
      if (!Resolve(in.operands[0], a)) break;
      PushCopy(a);
      return index + 1;
    case FastOp::kPushVar: {
      Place place;
      if (!LocatePlace(in.operands[0], place)) break;
      void* slot = x_.stack_.Push(PointerType());
      // A fresh slot keeps nothing, nor does a pointer to a variable: no references to count.
      if (place.ref.type->baseType == tcPointer || place.keeper.kind != KeeperKind::kNone) {
        SetPointerAt(slot, PointerTo(place.ref, place.stackIndex, place.keeper));
      } else {
        StorePointer(slot, {place.ref.data, place.ref.type, place.stackIndex, {}});
      }
      return index + 1;
    }
    case FastOp::kSetPointer: {
      Place dest;
      Place source;
      if (!LocatePlace(in.operands[0], dest) || !LocatePlace(in.operands[1], source)) break;
      if (!PointAt(dest, source)) break;
      return index + 1;
    }
    case FastOp::kPushType: {
      if (in.expressionEnd != kNoExpression && RunExpression(code, index)) return in.expressionEnd + 1;
      if (in.pair == FastPair::kIndexTemporary && PointAtIndexedElement(code, index)) return index + 4;
      x_.stack_.Push(*in.type);
      if (in.pair != FastPair::kPushAssign) return index + 1;
      // The next instruction assigns the new slot: done here when it does, else on its own.
      const FastInstruction& next = code[index + 1];
      const std::int64_t top = static_cast<std::int64_t>(x_.stack_.Count()) - 1;
      if (std::int64_t{x_.frameBase_} + next.operands[0].variable.frameOffset != top) return index + 1;
      if (!Resolve(next.operands[1], b)) return index + 1;
      x_.position_ = next.end;
      Assign(x_.stack_.At(static_cast<std::size_t>(top)), b);
      return index + 2;
    }
    case FastOp::kPop:
      if (!CanPop()) break;
      x_.stack_.Pop();
      return index + 1;
    case FastOp::kCall:
      if (x_.StopRequested()) {
        x_.StopRun();
        return kNone;
      }
      if (in.proc->IsExternal()) {
        x_.CallHostProc(static_cast<TPSExternalProcRec&>(*in.proc));
      } else {
        x_.CallScriptProc(static_cast<const TPSInternalProcRec&>(*in.proc), x_.currentProc_);
      }
      return kNone;
    case FastOp::kReturn:
      x_.ReturnFromProc(in.start);
      return kNone;
    case FastOp::kGoto:
      return JumpTo(in);
    case FastOp::kJumpIfTrue:
    case FastOp::kJumpIfFalse:
      if (!Resolve(in.operands[0], a) || !IsSmallIntegerCode(a.type->baseType)) break;
      return (SmallIntegerValue(a) != 0) == (in.op == FastOp::kJumpIfTrue) ? JumpTo(in) : index + 1;
    case FastOp::kSetFlag:
      if (!Resolve(in.operands[0], a) || !IsSmallIntegerCode(a.type->baseType)) break;
      x_.flag_ = (SmallIntegerValue(a) != 0) != (in.operation != 0);
      return index + 1;
    case FastOp::kJumpIfFlag:
      return x_.flag_ ? JumpTo(in) : index + 1;
    case FastOp::kIncrement:
    case FastOp::kDecrement:
      if (!Resolve(in.operands[0], a)) break;
      if (a.type->baseType == tcS32) {
        Store(a.data, Load<std::uint32_t>(a.data) + (in.op == FastOp::kIncrement ? 1u : ~0u));
      } else if (in.op == FastOp::kIncrement) {
        IncrementValue(a);
      } else {
        DecrementValue(a);
      }
      return Continue(code, index, in.pair);
    case FastOp::kFromBytes:
      break;
  }
  x_.position_ = in.start;
  StepFromBytes();
  return kNone;
}

void Interpreter::RunDecoded() {
  const TPSInternalProcRec* proc = nullptr;
  const DecodedCode* code = nullptr;
  std::int32_t index = kNone;
  // Only calls, returns and instructions run from their bytes can change the status; the
  // handlers that may do so go back here.
  while (x_.status_ == ExecStatus::kRunning) {
    // After a call, a return, a handler or a host routine: find where the position now is.
    if (x_.currentProc_ != proc) {
      proc = x_.currentProc_;
      code = proc != nullptr ? &DecodedFor(*proc) : nullptr;
    }
    index = code != nullptr ? code->IndexAt(x_.position_) : kNone;
    if (index == kNone) {
      StepFromBytes();
      continue;
    }
    while (index != kNone) index = Step(*code, index);
  }
}

}  // namespace dravik::engine

// The instructions as the byte code has them. Operands are decoded straight from the
// procedure's code with every read checked against the code length; an instruction reports a
// fault by throwing (script_fault.h), and the loop turns what it catches into a reported error.
// This path runs every instruction while a step hook is set, and otherwise each instruction that
// the register form (register_loop.cpp) leaves to it; its faults and positions are the reference.

#include <algorithm>
#include <cstring>

#include "engine/exec/interpreter.h"
#include "engine/exec/inline_constant.h"
#include "engine/values/operators.h"

namespace dravik::engine::exec {

void* Interpreter::Scratch(const values::TPSTypeRec& type) {
  if (scratchUsed_ == kScratchSlots || type.memSize > kScratchSize || type.needsFinalization)
    return x_.constants_.Push(type);
  void* value = scratch_[scratchUsed_++];
  std::memset(value, 0, type.memSize);
  return value;
}

// --- Operands ----------------------------------------------------------------------------------

Place Interpreter::Followed(Place place) {
  if (!FollowPlace(place)) values::FailWith(image::erNullPointerException);
  return place;
}

Place Interpreter::VariablePlace(std::uint32_t number, image::TQXException frameFault) {
  Place place;
  if (number < image::kFirstFrameVariable) {
    if (number >= x_.globals_.Count()) values::FailWith(image::erOutOfGlobalVarsRange);
    place.ref = x_.globals_.At(number);
    return place;
  }
  const std::int64_t slot = std::int64_t{x_.frameBase_} + (std::int64_t{number} - image::kFrameBaseVariable);
  if (slot < 0 || static_cast<std::uint64_t>(slot) >= x_.stack_.Count()) values::FailWith(frameFault);
  place.ref = x_.stack_.At(static_cast<std::size_t>(slot));
  place.stackIndex = static_cast<std::uint32_t>(slot);
  return place;
}

void Interpreter::SelectElement(Place& place, std::uint32_t index) {
  place = Followed(place);
  values::ArrayBlock* block = nullptr;
  const image::TQXException fault = SelectElementOf(place.ref, index, block);
  if (fault != image::ErNoError) values::FailWith(fault);
  if (block != nullptr) {
    place.stackIndex = values::kNotOnStack;
    place.keeper = {values::KeeperKind::kArrayBlock, block, place.ref.type};
  }
}

// The index of a kind-3 operand: a small integer variable, or a pointer to one or to a
// procedural value (whose procedure number is used).
std::uint32_t Interpreter::ReadIndexVariable() {
  const std::uint32_t number = ReadU32();
  Place place = VariablePlace(number, image::erOutOfStackRange);
  image::TPSTypeCode code = place.ref.type->baseType;
  if (code == image::tcPointer) {
    place = Followed(place);
    code = place.ref.type->baseType;
    if (code == image::tcProcPtr)
      return values::Load<std::uint32_t>(static_cast<std::uint8_t*>(place.ref.data) + values::ProcPtrLayout::kProcNo);
  }
  if (!IsSmallIntegerCode(code)) values::FailWith(image::ErTypeMismatch);
  return static_cast<std::uint32_t>(SmallIntegerValue(place.ref));
}

Place Interpreter::ReadConstant() {
  const values::TPSTypeRec* type = x_.TypeByNumber(ReadU32());
  if (type == nullptr) values::FailWith(image::erInvalidType);
  const image::TPSTypeCode code = type->baseType;
  Place place;
  place.constant = true;
  switch (image::ConstantEncodingOf(code)) {
    case image::ConstantEncoding::kFixed: {
      const std::uint32_t width = image::ConstantWidth(code);
      const std::uint8_t* bytes = Need(width);
      void* value = Scratch(*type);
      WriteInlineConstant(value, *type, bytes, width);
      place.ref = {value, type};
      return place;
    }
    case image::ConstantEncoding::kByteString: {
      const std::uint32_t length = ReadU32();
      const std::uint8_t* bytes = Need(length);
      void* value = x_.constants_.Push(*type);
      WriteInlineConstant(value, *type, bytes, length);
      place.ref = {value, type};
      return place;
    }
    case image::ConstantEncoding::kWideString: {
      const std::uint32_t count = ReadU32();
      if (count > (x_.codeLength_ - x_.position_) / 2) values::FailWith(image::ErOutOfRange);
      const std::uint8_t* bytes = Need(count * 2);
      void* value = x_.constants_.Push(*type);
      WriteInlineConstant(value, *type, bytes, count);
      place.ref = {value, type};
      return place;
    }
    case image::ConstantEncoding::kSetBytes: {
      const auto& set = static_cast<const values::TPSTypeRec_Set&>(*type);
      const std::uint8_t* bytes = Need(set.byteSize);
      void* value = Scratch(*type);
      WriteInlineConstant(value, *type, bytes, set.byteSize);
      place.ref = {value, type};
      return place;
    }
    case image::ConstantEncoding::kNotAllowed:
      break;
  }
  values::FailWith(image::erInvalidType);
}

Place Interpreter::ReadPlace() {
  if (x_.codeLength_ - x_.position_ < image::kMinOperandSize) values::FailWith(image::ErOutOfRange);
  const auto kind = static_cast<image::OperandKind>(ReadByte());
  switch (kind) {
    case image::OperandKind::kVariable:
      return VariablePlace(ReadU32(), image::erOutOfGlobalVarsRange);
    case image::OperandKind::kConstant:
      return ReadConstant();
    case image::OperandKind::kIndexed: {
      Place place = VariablePlace(ReadU32(), image::erOutOfStackRange);
      SelectElement(place, ReadU32());
      return place;
    }
    case image::OperandKind::kIndexedByVar: {
      Place place = VariablePlace(ReadU32(), image::erOutOfStackRange);
      SelectElement(place, ReadIndexVariable());
      return place;
    }
  }
  values::FailWith(image::erInvalidOpcodeParameter);
}

// --- Instructions ------------------------------------------------------------------------------

const values::TPSTypeRec& Interpreter::PointerType() const {
  if (x_.firstPointerType_ == nullptr) values::FailWith(image::erInvalidType);
  return *x_.firstPointerType_;
}

void Interpreter::Push() { PushCopy(ReadSource()); }

void Interpreter::PushCopy(values::ValueRef source) {
  if (source.type->baseType == image::tcReturnAddress) values::FailWith(image::ErTypeMismatch);
  void* slot = x_.stack_.Push(*source.type);
  try {
    values::CopyValue(slot, source.data, *source.type);
  } catch (...) {
    x_.stack_.Pop();
    throw;
  }
}

// Pushes a pointer to the operand; a pointer operand hands over its target, even a null one.
void Interpreter::PushVar() {
  const Place place = ReadPlace();
  if (place.constant) values::FailWith(image::erInvalidOpcodeParameter);
  values::SetPointerAt(x_.stack_.Push(PointerType()), values::PointerTo(place.ref, place.stackIndex, place.keeper));
}

void Interpreter::PopChecked() {
  if (!CanPop()) values::FailWith(image::erOutOfStackRange);
  x_.stack_.Pop();
}

void Interpreter::Call(std::uint32_t procNo) {
  if (x_.TickStops()) return x_.StopRun();
  if (procNo >= x_.procs_.size()) values::FailWith(image::erOutOfProcRange);
  TPSProcRec& proc = *x_.procs_[procNo];
  if (proc.IsExternal()) {
    x_.CallHostProc(static_cast<TPSExternalProcRec&>(proc));
    return;
  }
  x_.CallScriptProc(static_cast<const TPSInternalProcRec&>(proc), x_.currentProc_);
}

void Interpreter::CallVar() {
  const values::ValueRef value = ReadSource();
  if (value.type->baseType != image::tcProcPtr) values::FailWith(image::ErTypeMismatch);
  const auto* data = static_cast<const std::uint8_t*>(value.data);
  const auto procNo = values::Load<std::uint32_t>(data + values::ProcPtrLayout::kProcNo);
  const auto code = values::Load<const void*>(data + values::ProcPtrLayout::kCode);
  // A native method (number 0 with a code address) has nothing to run in this system.
  if (procNo == 0 && code != nullptr) values::FailWith(image::erCouldNotCallProc);
  if (procNo >= x_.procs_.size() || static_cast<std::int32_t>(procNo) == x_.mainProcNo_)
    values::FailWith(image::erOutOfProcRange);
  Call(procNo);
}

void Interpreter::Compare() {
  const std::uint8_t op = ReadByte();
  if (op >= image::kCompareOpCount) values::FailWith(image::erInvalidOpcodeParameter);
  const values::ValueRef dest = ReadDestination();
  const values::ValueRef left = ReadSource();
  const values::ValueRef right = ReadSource();
  if (!IsSmallIntegerCode(dest.type->baseType)) values::FailWith(image::ErTypeMismatch);
  const bool result = values::CompareValues(static_cast<image::CompareOp>(op), left, right, x_);
  StoreTruth(dest, result);
}

// dest (a pointer variable) refers to the source variable, or takes over the source pointer's
// target. A target on the main stack is only taken by a pointer above it on the stack, which
// is popped first.
void Interpreter::SetPointer() {
  const Place dest = ReadPlace();
  if (dest.constant || dest.ref.type->baseType != image::tcPointer) values::FailWith(image::erInvalidOpcodeParameter);
  Place source = ReadPlace();
  if (source.constant) values::FailWith(image::erInvalidOpcodeParameter);
  const values::PointerValue pointer = values::PointerTo(source.ref, source.stackIndex, source.keeper);
  if (!MayPointTo(dest.stackIndex, pointer)) values::FailWith(image::erOutOfStackRange);
  values::SetPointerAt(dest.ref.data, pointer);
}

void Interpreter::SetPointerToCopy() {
  const Place dest = ReadPlace();
  if (dest.constant || dest.ref.type->baseType != image::tcPointer) values::FailWith(image::erInvalidOpcodeParameter);
  const Place source = ReadPlace();
  values::PointerValue copy;
  try {
    const values::PointerValue target = values::PointerTo(source.ref);
    copy = values::CopyIntoOwnedPointer(target.target, target.targetType);
  } catch (const values::ScriptFault& fault) {
    if (fault.Code() == image::erOutOfMemory) throw;
    values::FailWith(image::ErTypeMismatch);
  }
  values::SetPointerAt(dest.ref.data, copy);
  values::ReleaseKeeper(copy.keeper);  // SetPointerAt took its own reference
}

// Entering a try block is also where a loop can be stopped: a hand-made image can send a
// block's parts or its end back to the block's start, which loops without a backward jump or a
// call, a new block each time round.
void Interpreter::PushHandler() {
  std::int32_t positions[4];
  for (std::int32_t& position : positions) position = ReadI32();
  if (x_.TickStops()) return x_.StopRun();
  const std::uint32_t end = x_.position_;
  HandlerFrame frame;
  frame.proc = x_.currentProc_;
  frame.frameBase = x_.frameBase_;
  frame.stackCount = x_.stack_.Count();
  std::int32_t* fields[4] = {&frame.finallyPos, &frame.exceptPos, &frame.secondFinallyPos, &frame.endPos};
  for (int i = 0; i < 4; ++i) {
    if (positions[i] == HandlerFrame::kNoPosition) continue;
    const std::int64_t absolute = std::int64_t{end} + positions[i];
    if (absolute < 0 || absolute >= x_.codeLength_) values::FailWith(image::ErOutOfRange);
    *fields[i] = static_cast<std::int32_t>(absolute);
  }
  x_.handlers_.push_back(std::move(frame));
}

void Interpreter::Execute(std::uint8_t opcode) {
  switch (opcode) {
    case image::OpAssign: {
      const values::ValueRef dest = ReadDestination();
      values::AssignValue(dest, ReadSource(), x_);
      return;
    }
    case image::OpCalculate: {
      const std::uint8_t op = ReadByte();
      if (op >= image::kCalcOpCount) values::FailWith(image::erInvalidOpcodeParameter);
      const values::ValueRef dest = ReadDestination();
      values::CalculateValue(static_cast<image::CalcOp>(op), dest, ReadSource(), x_);
      return;
    }
    case image::OpPush: return Push();
    case image::OpPushVar: return PushVar();
    case image::OpPop: return PopChecked();
    case image::OpCall: return Call(ReadU32());
    case image::OpGoto: return Jump(ReadI32());
    case image::OpJumpIfTrue:
    case image::OpJumpIfFalse: {
      const std::int32_t displacement = ReadI32();
      const values::ValueRef value = ReadSource();
      if (!IsSmallIntegerCode(value.type->baseType)) values::FailWith(image::erInvalidType);
      const bool set = SmallIntegerValue(value) != 0;
      if (set == (opcode == image::OpJumpIfTrue)) Jump(displacement);
      return;
    }
    case image::OpReturn: return x_.ReturnFromProc(x_.position_ - 1);
    case image::OpPushType: {
      const values::TPSTypeRec* type = x_.TypeByNumber(ReadU32());
      if (type == nullptr) values::FailWith(image::erInvalidType);
      x_.stack_.Push(*type);
      return;
    }
    case image::OpCompare: return Compare();
    case image::OpCallVar: return CallVar();
    case image::OpSetPointer: return SetPointer();
    case image::OpBooleanNot: return values::BooleanNotValue(ReadDestination());
    case image::OpNegate: return values::NegateValue(ReadDestination());
    case image::OpSetFlag: {
      const values::ValueRef value = ReadSource();
      if (!IsSmallIntegerCode(value.type->baseType)) values::FailWith(image::erInvalidType);
      const bool invert = ReadByte() != 0;
      x_.flag_ = (SmallIntegerValue(value) != 0) != invert;
      return;
    }
    case image::OpJumpIfFlag: {
      const std::int32_t displacement = ReadI32();
      if (x_.flag_) Jump(displacement);
      return;
    }
    case image::OpPushHandler: return PushHandler();
    case image::OpPopHandler: return x_.PopHandler(ReadByte());
    case image::OpIntegerNot: return values::IntegerNotValue(ReadDestination());
    case image::OpSetPointerToCopy: return SetPointerToCopy();
    case image::OpIncrement: return values::IncrementValue(ReadDestination());
    case image::OpDecrement: return values::DecrementValue(ReadDestination());
    case image::OpPopJump:
    case image::OpPop2Jump: {
      const std::int32_t displacement = ReadI32();
      PopChecked();
      if (opcode == image::OpPop2Jump) PopChecked();
      return Jump(displacement);
    }
    case image::OpNop: return;
    default: values::FailWith(image::erInvalidOpcode);
  }
}

void Interpreter::Loop(bool hook) {
  try {
    // The step hook sees every instruction as the byte code has it.
    if (hook) {
      RunFromBytes(hook);
    } else {
      RunRegisterForm();
    }
  } catch (...) {
    x_.ReportCaughtException(std::current_exception());
  }
  x_.constants_.PopTo(0);
}

void Interpreter::RunFromBytes(bool hook) {
  while (x_.status_ == ExecStatus::kRunning) {
    if (hook) {
      x_.OnStep();
      if (x_.OnRunLine) x_.OnRunLine(x_);
      if (x_.status_ != ExecStatus::kRunning) break;
    }
    StepFromBytes();
  }
}

void Interpreter::StepFromBytes() {
  if (!x_.constants_.Empty()) x_.constants_.PopTo(0);
  scratchUsed_ = 0;
  if (x_.position_ >= x_.codeLength_) values::FailWith(image::ErOutOfRange);
  Execute(x_.code_[x_.position_++]);
}

bool TPSExec::Run() {
  if (status_ == ExecStatus::kLoaded) handlers_.clear();
  ClearError();
  const ExecStatus outerReturnStatus = returnStatus_;
  returnStatus_ = status_;
  if (status_ == ExecStatus::kLoaded) {
    if (mainProcNo_ < 0) return false;
    status_ = ExecStatus::kRunning;
    TPSProcRec& main = *procs_[static_cast<std::size_t>(mainProcNo_)];
    if (main.IsExternal()) {
      currentProc_ = nullptr;
      ReportError(image::erNoMainProc, {});
      status_ = ExecStatus::kLoaded;
      returnStatus_ = outerReturnStatus;
      return false;
    }
    EnterProc(static_cast<const TPSInternalProcRec&>(main), 0);
    frameBase_ = -1;
    mainFrameMode_ = FrameMode::kUnchecked;
  } else if (status_ == ExecStatus::kSuspended) {
    status_ = ExecStatus::kRunning;
  } else {
    returnStatus_ = outerReturnStatus;
    return false;
  }
  const bool hook = WantsStepHook() || static_cast<bool>(OnRunLine);
  do {
    status_ = ExecStatus::kRunning;
    Interpreter(*this).Loop(hook);
  } while (!handlers_.empty() && status_ == ExecStatus::kRunning);
  if (status_ == ExecStatus::kLoaded && callProcDepth_ == 0) {
    stack_.Clear();
    if (resetGlobalsAfterRun) ResetGlobals();
  }
  returnStatus_ = outerReturnStatus;
  return lastError_.code == image::ErNoError;
}

}  // namespace dravik::engine::exec

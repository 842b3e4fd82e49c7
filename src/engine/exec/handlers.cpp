// Try blocks at run time: unwinding to a handler, the ends of protected parts, and returns
// that first run the finally parts of the returning procedure.
//
// Each HandlerFrame remembers its own pending return (or jump out of the block) and the error
// its finally or except part runs for, so that a try statement nested in a finally or except
// part neither resumes the outer block's return nor raises the outer block's error again when
// it ends.
//
// Leaving a block by a jump: the compiler ends each try block that a break or continue leaves
// with OpPopHandler of kind 4 + k, where k is the kind that ends the part being left (0 in the
// protected part, 1 in a finally part, 2 in an except part, 3 in a second finally part). Such a
// kind first makes the position after the instruction the frame's pending position and drops
// the stack to the frame's height, then acts as kind k: the finally parts still run, and the
// block is left towards the instruction that follows (the next OpPopHandler, then the jump).

#include <algorithm>

#include "engine/exec/exec.h"
#include "engine/values/pointer_value.h"
#include "engine/values/script_fault.h"
#include "engine/values/value_memory.h"

namespace dravik::engine::exec {

namespace {

constexpr std::uint8_t kLeaveByJump = image::kHandlerLeaveByJump;
constexpr std::uint8_t kLastHandlerEndKind = kLeaveByJump + image::kHandlerEndKindCount - 1;

bool IsSet(std::int32_t position) { return position >= 0; }

}  // namespace

// Makes the frame's procedure current; false when the frame no longer matches the stack (a
// hand-made image can pop below the frame).
bool TPSExec::EnterFrame(HandlerFrame& frame) {
  stack_.PopTo(std::min(stack_.Count(), frame.stackCount));
  if (frame.frameBase >= 0 && !IsReturnAddressSlot(static_cast<std::size_t>(frame.frameBase))) return false;
  EnterProc(*frame.proc, 0);
  frameBase_ = frame.frameBase;
  return true;
}

bool TPSExec::IsReturnAddressSlot(std::size_t index) const {
  return index < stack_.Count() && &stack_.TypeAt(index) == returnAddressType_.get();
}

// Continues at a handler part, which runs at most once.
void TPSExec::JumpToPart(std::int32_t& part) {
  position_ = static_cast<std::uint32_t>(part);
  part = HandlerFrame::kNoPosition;
}

// The except part runs with its error pending; kExceptRunning marks it as running.
void TPSExec::EnterExceptPart(HandlerFrame& frame) {
  position_ = static_cast<std::uint32_t>(frame.exceptPos);
  frame.exceptPos = HandlerFrame::kExceptRunning;
}

// Leaving the protected part without an error: the finally part runs, or else the second
// finally part (the except part is skipped for good). False when the block has neither.
bool TPSExec::JumpToFinallyPart(HandlerFrame& frame) {
  if (IsSet(frame.finallyPos)) {
    JumpToPart(frame.finallyPos);
    return true;
  }
  if (!IsSet(frame.secondFinallyPos)) return false;
  frame.exceptPos = HandlerFrame::kNoPosition;
  JumpToPart(frame.secondFinallyPos);
  return true;
}

void TPSExec::HandleError(std::int32_t procNo, std::uint32_t position, std::exception_ptr errorObject,
                          std::string_view parameter, image::TQXException code) {
  lastError_ = ErrorRecord{code, std::string(parameter), procNo, position, std::move(errorObject)};
  ++errorsReported_;
  if (code == image::ErNoError) return;
  while (!handlers_.empty()) {
    HandlerFrame& frame = handlers_.back();
    if (frame.proc == nullptr) {
      stack_.PopTo(std::min(stack_.Count(), frame.stackCount));
      handlers_.pop_back();
      status_ = ExecStatus::kSuspended;
      return;
    }
    if (EnterFrame(frame)) {
      // The error replaces a pending return or jump.
      frame.pendingPos = HandlerFrame::kNoPosition;
      frame.error = lastError_;
      if (IsSet(frame.finallyPos)) return JumpToPart(frame.finallyPos);
      if (IsSet(frame.exceptPos)) return EnterExceptPart(frame);
      if (IsSet(frame.secondFinallyPos)) return JumpToPart(frame.secondFinallyPos);
    }
    handlers_.pop_back();
  }
  if (status_ != ExecStatus::kNotLoaded) status_ = ExecStatus::kSuspended;
}

void TPSExec::Reraise(ErrorRecord error) {
  HandleError(error.procNo, error.position, std::move(error.object), error.parameter, error.code);
}

// Drops the innermost frame; its error, if it still has one, goes on to the next handler;
// otherwise execution continues at the pending position or after the block.
void TPSExec::LeaveBlock() {
  HandlerFrame frame = std::move(handlers_.back());
  handlers_.pop_back();
  if (frame.error) return Reraise(std::move(*frame.error));
  position_ = static_cast<std::uint32_t>(IsSet(frame.pendingPos) ? frame.pendingPos : frame.endPos);
}

void TPSExec::PopHandler(std::uint8_t kind) {
  if (kind > kLastHandlerEndKind) return;
  if (handlers_.empty()) values::FailWith(image::ErOutOfRange);
  HandlerFrame& frame = handlers_.back();
  if (kind >= kLeaveByJump) {
    frame.pendingPos = static_cast<std::int32_t>(position_);
    stack_.PopTo(std::min(stack_.Count(), frame.stackCount));
    kind -= kLeaveByJump;
  }
  switch (static_cast<image::HandlerEndKind>(kind)) {
    case image::HandlerEndKind::EndTry:
      if (!JumpToFinallyPart(frame)) LeaveBlock();
      return;
    case image::HandlerEndKind::EndFinally:
      if (frame.error && IsSet(frame.exceptPos)) {
        lastError_ = *frame.error;  // what the except part reads, even if the finally part cleared it
        return EnterExceptPart(frame);
      }
      if (!IsSet(frame.secondFinallyPos)) return LeaveBlock();
      return JumpToPart(frame.secondFinallyPos);
    case image::HandlerEndKind::EndExcept:
      frame.error.reset();
      frame.exceptPos = HandlerFrame::kNoPosition;
      RestoreOuterError();
      if (!IsSet(frame.secondFinallyPos)) return LeaveBlock();
      return JumpToPart(frame.secondFinallyPos);
    case image::HandlerEndKind::EndSecondFinally:
      return LeaveBlock();
  }
}

// The error has been handled. If the block sits in a finally or except part of an outer block
// that runs for an error, that error is the pending one again.
void TPSExec::RestoreOuterError() {
  ClearError();
  for (auto it = handlers_.rbegin(); it != handlers_.rend(); ++it) {
    if (!it->error) continue;
    lastError_ = *it->error;
    return;
  }
}

// A frame of the current procedure, or of one it called; while the main procedure runs only its
// own frames count (-1 is the largest frame base as an unsigned number).
bool TPSExec::BelongsToCurrentProc(const HandlerFrame& frame) const {
  if (frame.proc == nullptr) return false;
  const auto base = static_cast<std::uint32_t>(frame.frameBase);
  const auto current = static_cast<std::uint32_t>(frameBase_);
  return base == current || (base > current && frame.frameBase != -1);
}

// OpReturn at returnPosition: first runs the finally parts of the procedure's blocks, innermost
// first, each coming back to the OpReturn when it ends; blocks with nothing left to run are
// dropped, so that no frame outlives its procedure. Then returns to the caller.
void TPSExec::ReturnFromProc(std::uint32_t returnPosition) {
  while (!handlers_.empty() && BelongsToCurrentProc(handlers_.back())) {
    HandlerFrame& frame = handlers_.back();
    if (frame.exceptPos == HandlerFrame::kExceptRunning) {
      // Returning from inside an except part: the error counts as handled.
      frame.error.reset();
      frame.exceptPos = HandlerFrame::kNoPosition;
      RestoreOuterError();
    }
    if (IsSet(frame.finallyPos) || IsSet(frame.secondFinallyPos)) {
      if (EnterFrame(frame)) {
        frame.pendingPos = static_cast<std::int32_t>(returnPosition);
        JumpToFinallyPart(frame);
        return;
      }
      handlers_.pop_back();
      continue;
    }
    if (frame.error) {
      // A return out of a finally part that runs for an error: the error goes on.
      ErrorRecord error = std::move(*frame.error);
      handlers_.pop_back();
      return Reraise(std::move(error));
    }
    handlers_.pop_back();
  }
  if (frameBase_ < 0) {
    status_ = ExecStatus::kLoaded;  // the main procedure has finished
    return;
  }
  const auto base = static_cast<std::size_t>(frameBase_);
  if (!IsReturnAddressSlot(base)) values::FailWith(image::erOutOfStackRange);
  stack_.PopTo(base + 1);
  const auto* slot = static_cast<const std::uint8_t*>(stack_.ValueAt(base));
  const auto* proc = values::Load<const TPSInternalProcRec*>(slot + values::ReturnAddressLayout::kProc);
  const auto position = values::Load<std::uint32_t>(slot + values::ReturnAddressLayout::kPosition);
  const auto frameBase = values::Load<std::int32_t>(slot + values::ReturnAddressLayout::kFrameBase);
  stack_.Pop();
  frameBase_ = frameBase;
  if (proc == nullptr) {
    position_ = position;
    status_ = returnStatus_;
    return;
  }
  EnterProc(*proc, position);
}

}  // namespace dravik::engine::exec

#pragma once
// The machine's instruction loop, over the procedure's byte code (interpreter.cpp) and over its
// register form (register_loop.cpp). Internal to the executor.

#include <cstdint>

#include <exception>

#include "engine/exec/exec.h"
#include "engine/exec/register_code.h"
#include "engine/image/format.h"
#include "engine/values/pointer_value.h"
#include "engine/values/script_fault.h"
#include "engine/values/value_memory.h"

namespace dravik::engine::exec {

inline bool IsSmallIntegerCode(image::TPSTypeCode code) { return code >= image::tcU8 && code <= image::tcS32; }

// Where an operand lives: its value and type, and (for OpPushVar and OpSetPointer) what keeps
// it alive (pointer_value.h).
struct Place {
  values::ValueRef ref;
  std::uint32_t stackIndex = values::kNotOnStack;
  values::Keeper keeper;
  bool constant = false;
};

// A place that holds a pointer becomes the pointer's target, which keeps its own stack index
// and keeper; false for a null pointer.
inline bool FollowPlace(Place& place) {
  if (place.ref.type->baseType != image::tcPointer) return true;
  const values::PointerValue pointer = values::LoadPointer(place.ref.data);
  if (pointer.target == nullptr) return false;
  place.ref = {pointer.target, pointer.targetType};
  place.stackIndex = pointer.stackIndex;
  place.keeper = pointer.keeper;
  return true;
}

// Stores value into a tcU8 ... tcS32 destination: its low bytes, as every integer store does.
inline void StoreSmallInteger(values::ValueRef dest, std::uint32_t value) {
  switch (dest.type->memSize) {
    case 1: values::Store(dest.data, static_cast<std::uint8_t>(value)); return;
    case 2: values::Store(dest.data, static_cast<std::uint16_t>(value)); return;
    default: values::Store(dest.data, value); return;
  }
}

// A comparison's result in a small integer destination: 1 or 0.
inline void StoreTruth(values::ValueRef dest, bool truth) { StoreSmallInteger(dest, truth ? 1 : 0); }

// A pointer stored at destIndex (kNotOnStack: off the main stack) may refer to a target on the
// main stack only from above it, so that it is popped before its target.
inline bool MayPointTo(std::uint32_t destIndex, const values::PointerValue& pointer) {
  return pointer.target == nullptr || pointer.stackIndex == values::kNotOnStack ||
         (destIndex != values::kNotOnStack && destIndex > pointer.stackIndex);
}

// Narrows ref to its field or element number index; block is set to the dynamic array that
// holds the element, if it is one. The fault when there is no such element.
inline image::TQXException SelectElementOf(values::ValueRef& ref, std::uint32_t index, values::ArrayBlock*& block) {
  auto* data = static_cast<std::uint8_t*>(ref.data);
  switch (ref.type->baseType) {
    case image::tcRecord: {
      const auto& record = static_cast<const values::TPSTypeRec_Record&>(*ref.type);
      if (index >= record.fields.size()) return image::ErOutOfRange;
      ref = {data + record.fieldMemOffsets[index], record.fields[index]};
      return image::ErNoError;
    }
    case image::tcStaticArray: {
      const auto& array = static_cast<const values::TPSTypeRec_StaticArray&>(*ref.type);
      if (index >= array.count) return image::ErOutOfRange;
      ref = {data + std::size_t{index} * array.element->memSize, array.element};
      return image::ErNoError;
    }
    case image::tcArray: {
      const auto& array = static_cast<const values::TPSTypeRec_Array&>(*ref.type);
      block = values::ArrayAt(data);
      if (block == nullptr || index >= block->length) return image::ErOutOfRange;
      ref = {block->Elements() + std::size_t{index} * array.element->memSize, array.element};
      return image::ErNoError;
    }
    default:
      return image::erInvalidType;
  }
}

// The value of a tcU8 ... tcS32 operand (the caller has checked the code).
inline std::int64_t SmallIntegerValue(values::ValueRef value) {
  switch (value.type->baseType) {
    case image::tcU8: return values::Load<std::uint8_t>(value.data);
    case image::tcS8: return values::Load<std::int8_t>(value.data);
    case image::tcU16: return values::Load<std::uint16_t>(value.data);
    case image::tcS16: return values::Load<std::int16_t>(value.data);
    case image::tcU32: return values::Load<std::uint32_t>(value.data);
    default: return values::Load<std::int32_t>(value.data);
  }
}

class Interpreter {
 public:
  explicit Interpreter(TPSExec& exec) : x_(exec) {}

  // Runs instructions while the status is running; an error ends the pass (the caller decides
  // whether a handler took it).
  void Loop(bool hook);

 private:
  // The register form (register_loop.cpp): the outer loop runs each frame in its register form
  // where it can and steps through the byte code where it cannot.
  void RunRegisterForm();
  enum class Exit : std::uint8_t { kDeopt, kLeft };
  Exit RunRegisterCode(const RegisterCode* code, const RInstr* ip, std::uint8_t* fp, std::int32_t frameBase);
  bool ResumeInRegisterForm();
  std::uint8_t* EnterFrame(const TPSInternalProcRec& proc, std::int32_t frameBase);
  bool FrameMatches(const RegisterCode& code, const SyncPoint& sync, std::uint8_t* frameStart,
                    std::int32_t frameBase) const;
  FrameMode ModeOf(std::int32_t frameBase) const;
  void SetMode(std::int32_t frameBase, FrameMode mode);
  std::uint8_t* FrameStart(std::int32_t frameBase) const;
  void StepInFrame();
  void Sync(const RegisterCode& code, std::int32_t sync, std::uint8_t* fp, std::int32_t frameBase);
  void WriteEntries(const RegisterCode& code, const SyncPoint& sync, std::uint8_t* fp, std::int32_t frameBase);
  bool ResolveLoc(const RLoc& loc, std::uint8_t* fp, values::ValueRef& ref) const;
  enum class Outcome : std::uint8_t { kDone, kDeopt, kFault };
  Outcome RunValueOperation(const RegisterCode& code, const RInstr& in, std::uint8_t* fp);
  enum Truth : std::uint8_t { kFalse, kTrue, kNotSmallInteger };
  Truth SmallIntegerAt(const RegisterCode& code, const RInstr& in, std::uint8_t* fp) const;
  void ReleaseFrameSlots(const RegisterCode& code, const RInstr& ret, std::uint8_t* fp);
  bool PointToElement(const RInstr& in, std::uint8_t* fp, std::int32_t frameBase, std::uint32_t index);
  bool PointToPlace(const RPlace& place, std::uint8_t* fp, std::int32_t frameBase, const RInstr& in);
  // Runs operation; false when it threw, the exception kept in caught_.
  template <class Operation>
  bool Guarded(Operation&& operation) {
    try {
      operation();
      return true;
    } catch (...) {
      caught_ = std::current_exception();
      return false;
    }
  }

  void RunFromBytes(bool hook);
  void StepFromBytes();
  void Execute(std::uint8_t opcode);

  // --- Decoding ------------------------------------------------------------------------------
  const std::uint8_t* Need(std::uint32_t bytes) {
    if (x_.codeLength_ - x_.position_ < bytes) values::FailWith(image::ErOutOfRange);
    const std::uint8_t* at = x_.code_ + x_.position_;
    x_.position_ += bytes;
    return at;
  }
  std::uint8_t ReadByte() { return *Need(1); }
  std::uint32_t ReadU32() { return values::Load<std::uint32_t>(Need(4)); }
  std::int32_t ReadI32() { return values::Load<std::int32_t>(Need(4)); }

  Place ReadPlace();
  Place ReadConstant();
  Place VariablePlace(std::uint32_t number, image::TQXException frameFault);
  void SelectElement(Place& place, std::uint32_t index);
  std::uint32_t ReadIndexVariable();

  // A source operand: pointers followed.
  values::ValueRef ReadSource() { return Followed(ReadPlace()).ref; }
  // A destination that must be a variable: pointers followed.
  values::ValueRef ReadDestination() {
    Place place = ReadPlace();
    if (place.constant) values::FailWith(image::erInvalidOpcodeParameter);
    return Followed(place).ref;
  }
  static Place Followed(Place place);

  // --- Instructions ----------------------------------------------------------------------------
  // A backward jump is where a loop can be stopped (TPSExec::RequestStop).
  void Jump(std::int32_t displacement) {
    x_.position_ += static_cast<std::uint32_t>(displacement);
    if (displacement < 0 && x_.TickStops()) x_.StopRun();
  }
  void Push();
  void PushCopy(values::ValueRef source);
  void PushVar();
  void PopChecked();
  // The top slot exists and is not a return address.
  bool CanPop() const {
    return !x_.stack_.Empty() && &x_.stack_.TypeAt(x_.stack_.Count() - 1) != x_.returnAddressType_.get();
  }
  void Call(std::uint32_t procNo);
  void CallVar();
  void Compare();
  void SetPointer();
  void SetPointerToCopy();
  void PushHandler();
  const values::TPSTypeRec& PointerType() const;

  // Plain inline constants (numbers, characters, sets: nothing to release) are decoded into
  // these slots instead of the constant area; an instruction has at most three operands.
  static constexpr int kScratchSlots = 3;
  static constexpr std::size_t kScratchSize = 32;  // the largest set
  void* Scratch(const values::TPSTypeRec& type);

  TPSExec& x_;
  alignas(8) std::uint8_t scratch_[kScratchSlots][kScratchSize];
  int scratchUsed_ = 0;
  std::exception_ptr caught_;
};

}  // namespace dravik::engine::exec

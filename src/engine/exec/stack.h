#pragma once
// TPSStack: a stack of typed value slots. Slot i is the i-th pushed; a slot is its type record
// and the value's bytes.
//
// Values live in segments that never move, so that a pointer to a slot stays valid for as long
// as the slot does. A segment is filled from its start; a slot that does not fit in the current
// segment goes to the next one. Capacity grows in 4096-byte steps, and segments left empty are
// freed once 12288 or more unused bytes would remain, so that a loop that pushes and pops
// across a boundary does not allocate each time. No push allocates per slot.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/values/operators.h"
#include "engine/values/pointer_value.h"
#include "engine/values/type_records.h"
#include "engine/values/value_memory.h"

namespace dravik::engine {

class TPSStack {
 public:
  static constexpr std::size_t kGrowthStep = 4096;
  static constexpr std::size_t kShrinkSlack = 0x3000;
  static constexpr std::size_t kMinSegmentSize = 64 * 1024;

  TPSStack();
  ~TPSStack();
  TPSStack(const TPSStack&) = delete;
  TPSStack& operator=(const TPSStack&) = delete;

  std::size_t Count() const { return slots_.size(); }
  bool Empty() const { return slots_.empty(); }

  // Pushes a default-initialised value of the type and answers its bytes. A push beyond the
  // slot limit throws ScriptFault(erOutOfStackRange); one that cannot get memory
  // ScriptFault(erOutOfMemory).
  void* Push(const TPSTypeRec& type) {
    // Most pushes are small values with room in the current segment; they are done here,
    // everything else (a new segment, the limits) by PushSlow.
    if (type.memSize <= kSmallSlot && slots_.size() < slotLimit_ && current_ < segments_.size()) {
      Segment& segment = segments_[current_];
      const std::size_t size = type.memSize <= kSlotAlignment ? kSlotAlignment : RoundToSlot(type.memSize);
      if (segment.capacity - segment.used >= size) {
        std::uint8_t* value = segment.bytes.get() + segment.used;
        segment.used += size;
        for (std::size_t i = 0; i < size; i += kSlotAlignment) std::memset(value + i, 0, kSlotAlignment);
        slots_.push_back({&type, value});
        return value;
      }
    }
    return PushSlow(type);
  }
  // Whether a push of the type would neither fail nor need more memory.
  bool HasRoomFor(const TPSTypeRec& type) const {
    return type.memSize <= kSmallSlot && slots_.size() < slotLimit_ && slots_.size() < slots_.capacity() &&
           current_ < segments_.size() &&
           segments_[current_].capacity - segments_[current_].used >= RoundToSlot(type.memSize);
  }
  // Finalises and removes the top slot (the stack must not be empty).
  void Pop() {
    const Slot slot = slots_.back();
    slots_.pop_back();
    Segment& segment = segments_[current_];
    segment.used = static_cast<std::size_t>(slot.value - segment.bytes.get());
    if (slot.type->needsFinalization && !(slot.type->baseType == tcPointer && KeepsNothing(slot.value)))
      FinalizeValue(slot.value, *slot.type);
    // Only a pop that empties a segment can leave more spare segments than before.
    if (segment.used == 0 && current_ > 0) {
      --current_;
      ReleaseSpareSegments();
    }
  }
  // Pops until Count() == count.
  void PopTo(std::size_t count);
  // Finalises every slot and releases the memory.
  void Clear();

  const TPSTypeRec& TypeAt(std::size_t index) const { return *slots_[index].type; }
  void* ValueAt(std::size_t index) const { return slots_[index].value; }
  ValueRef At(std::size_t index) const { return {slots_[index].value, slots_[index].type}; }
  // -1 is the top slot, -2 the one below, ...; nothing is checked.
  ValueRef FromTop(std::ptrdiff_t offset) const {
    return At(static_cast<std::size_t>(static_cast<std::ptrdiff_t>(slots_.size()) + offset));
  }

  // The most slots the stack takes (deep recursion ends with erOutOfStackRange, not with the
  // process running out of memory).
  void SetSlotLimit(std::size_t limit) { slotLimit_ = limit; }
  static constexpr std::size_t kDefaultSlotLimit = 1u << 20;
  // The most bytes the stack reserves; a push beyond it fails with erOutOfMemory, so that deep
  // recursion with large locals ends in a runtime error too.
  static constexpr std::size_t kMaxBytes = 256u << 20;

  // Bytes reserved for values, over all segments.
  std::size_t Capacity() const;

 private:
  struct Slot {
    const TPSTypeRec* type;
    std::uint8_t* value;
  };
  struct Segment {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t capacity = 0;
    std::size_t used = 0;
  };

  static constexpr std::size_t kSlotAlignment = 8;
  static constexpr std::size_t kSmallSlot = 64;
  static constexpr std::size_t RoundToSlot(std::size_t size) {
    return (std::max<std::size_t>(size, 1) + kSlotAlignment - 1) / kSlotAlignment * kSlotAlignment;
  }

  void* PushSlow(const TPSTypeRec& type);
  std::uint8_t* Allocate(std::size_t size);
  void ReleaseSpareSegments();

  std::vector<Slot> slots_;
  std::vector<Segment> segments_;
  std::size_t current_ = 0;  // the segment new slots go to
  std::size_t slotLimit_ = kDefaultSlotLimit;
};

}  // namespace dravik::engine

#pragma once
// TPSStack: a stack of typed value slots. Slot i is the i-th pushed; a slot is its type record
// and the value's bytes.
//
// Values live in segments that never move, so that a pointer to a slot stays valid for as long
// as the slot does. A segment is filled from its start; a slot that does not fit in the current
// segment goes to the next one. Capacity grows in 4096-byte steps, and segments left empty are
// freed once 12288 or more unused bytes would remain, so that a loop that pushes and pops
// across a boundary does not allocate each time. No push allocates per slot.
//
// The register machine (register_loop.cpp) runs a procedure's frame as one block of a segment:
// it writes values at offsets it knows in advance and brings the slot table up to date only
// where something else may look at it (FrameAccess below).

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

namespace dravik::engine::exec {

class TPSStack {
 public:
  static constexpr std::size_t kGrowthStep = 4096;
  static constexpr std::size_t kShrinkSlack = 0x3000;
  static constexpr std::size_t kMinSegmentSize = 64 * 1024;

  TPSStack();
  ~TPSStack();
  TPSStack(const TPSStack&) = delete;
  TPSStack& operator=(const TPSStack&) = delete;

  std::size_t Count() const { return count_; }
  bool Empty() const { return count_ == 0; }

  // Bytes a slot of the type takes in a segment: every slot starts 8-aligned.
  static constexpr std::size_t kSlotAlignment = 8;
  static constexpr std::size_t SlotBytes(std::size_t memSize) {
    return (std::max<std::size_t>(memSize, 1) + kSlotAlignment - 1) / kSlotAlignment * kSlotAlignment;
  }

  // Pushes a default-initialised value of the type and answers its bytes. A push beyond the
  // slot limit throws ScriptFault(erOutOfStackRange); one that cannot get memory
  // ScriptFault(erOutOfMemory).
  void* Push(const values::TPSTypeRec& type) {
    // Most pushes are small values with room in the current segment; they are done here,
    // everything else (a new segment, the limits, a larger slot table) by PushSlow.
    if (type.memSize <= kSmallSlot && count_ < slotCapacity_ && count_ < slotLimit_ && current_ < segments_.size()) {
      Segment& segment = segments_[current_];
      const std::size_t size = SlotBytes(type.memSize);
      if (segment.capacity - segment.used >= size) {
        std::uint8_t* value = segment.bytes.get() + segment.used;
        segment.used += size;
        for (std::size_t i = 0; i < size; i += kSlotAlignment) std::memset(value + i, 0, kSlotAlignment);
        slots_[count_++] = {&type, value};
        return value;
      }
    }
    return PushSlow(type);
  }
  // Finalises and removes the top slot (the stack must not be empty).
  void Pop() {
    const Slot slot = slots_[--count_];
    Segment& segment = segments_[current_];
    segment.used = static_cast<std::size_t>(slot.value - segment.bytes.get());
    if (slot.type->needsFinalization && !(slot.type->baseType == image::tcPointer && values::KeepsNothing(slot.value)))
      values::FinalizeValue(slot.value, *slot.type);
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

  const values::TPSTypeRec& TypeAt(std::size_t index) const { return *slots_[index].type; }
  void* ValueAt(std::size_t index) const { return slots_[index].value; }
  values::ValueRef At(std::size_t index) const { return {slots_[index].value, slots_[index].type}; }
  // -1 is the top slot, -2 the one below, ...; nothing is checked.
  values::ValueRef FromTop(std::ptrdiff_t offset) const {
    return At(static_cast<std::size_t>(static_cast<std::ptrdiff_t>(count_) + offset));
  }

  // The most slots the stack takes (deep recursion ends with erOutOfStackRange, not with the
  // process running out of memory).
  void SetSlotLimit(std::size_t limit) { slotLimit_ = limit; }
  std::size_t SlotLimit() const { return slotLimit_; }
  static constexpr std::size_t kDefaultSlotLimit = 1u << 20;
  // The most bytes the stack reserves; a push beyond it fails with erOutOfMemory, so that deep
  // recursion with large locals ends in a runtime error too.
  static constexpr std::size_t kMaxBytes = 256u << 20;

  // Bytes reserved for values, over all segments.
  std::size_t Capacity() const;

  struct Slot {
    const values::TPSTypeRec* type;
    std::uint8_t* value;
  };

  // What the register machine needs to run a frame in place. A frame is a block of one segment
  // that starts at the address where the next slot would go; the machine writes its values
  // there and, where the table matters, slot entries and the top with SetTop.
  class FrameAccess {
   public:
    explicit FrameAccess(TPSStack& stack) : s_(stack) {}
    // Where the next pushed slot would start, provided that `bytes` more fit in the current
    // segment and the table has room for `slots` more entries within the slot limit; null
    // otherwise. An empty stack takes a segment of its own first.
    std::uint8_t* Reserve(std::size_t bytes, std::size_t slots);
    Slot* Slots() const { return s_.slots_.get(); }
    // The table ends at count; the current segment is used up to `top` (in it).
    void SetTop(std::size_t count, const std::uint8_t* top) {
      s_.count_ = count;
      Segment& segment = s_.segments_[s_.current_];
      segment.used = static_cast<std::size_t>(top - segment.bytes.get());
    }
    // Whether a frame of `bytes` starting at `start` lies in the current segment, and the slot
    // table has room, within the slot limit, for `slots` entries from index `first` on.
    bool Fits(const std::uint8_t* start, std::size_t bytes, std::size_t first, std::size_t slots) const {
      if (first + slots > s_.slotCapacity_ || first + slots > s_.slotLimit_ || s_.current_ >= s_.segments_.size())
        return false;
      const Segment& segment = s_.segments_[s_.current_];
      return start >= segment.bytes.get() && start + bytes <= segment.bytes.get() + segment.capacity;
    }
    // The segment the top slot lies in starts at or below `at` and ends above it.
    bool InCurrentSegment(const std::uint8_t* at) const {
      if (s_.current_ >= s_.segments_.size()) return false;
      const Segment& segment = s_.segments_[s_.current_];
      return at >= segment.bytes.get() && at < segment.bytes.get() + segment.capacity;
    }

   private:
    TPSStack& s_;
  };

 private:
  struct Segment {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t capacity = 0;
    std::size_t used = 0;
  };

  static constexpr std::size_t kSmallSlot = 64;

  void* PushSlow(const values::TPSTypeRec& type);
  std::uint8_t* Allocate(std::size_t size);
  bool GrowSlots(std::size_t needed);
  void ReleaseSpareSegments();

  // A plain array rather than a vector: the register machine sets the count over entries it
  // wrote itself.
  std::unique_ptr<Slot[]> slots_;
  std::size_t count_ = 0;
  std::size_t slotCapacity_ = 0;
  std::vector<Segment> segments_;
  std::size_t current_ = 0;  // the segment new slots go to
  std::size_t slotLimit_ = kDefaultSlotLimit;
};

}  // namespace dravik::engine::exec

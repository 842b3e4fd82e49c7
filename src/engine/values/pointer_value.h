#pragma once
// tcPointer values. A pointer refers to a target (address and type record) and, so that it can
// never outlive what it refers to, says where the target lives:
//  - in a slot of the main stack: the slot's index. The machine only lets a pointer take such a
//    target when the pointer itself lies above that slot on the main stack, so the pointer dies
//    first;
//  - in a heap block (an element of a dynamic array, or a copy the pointer owns): the pointer
//    holds a reference on that block (its keeper), which stays alive while any pointer to it
//    does;
//  - anywhere else (global variables, host memory handed to CallProc): nothing; those outlive
//    every pointer to them.
// The image format's owns-copy flag is a keeper of kind kOwnedCopy.

#include <cstddef>
#include <cstdint>

#include "engine/values/operators.h"
#include "engine/values/type_records.h"
#include "engine/values/value_memory.h"

namespace dravik::engine::values {

enum class KeeperKind : std::uint32_t { kNone = 0, kOwnedCopy = 1, kArrayBlock = 2 };

// A heap value shared by the pointers that keep it: a count, its type, then the value.
struct ValueBox {
  std::int32_t refCount;
  const TPSTypeRec* type;
  std::uint8_t* Value() { return reinterpret_cast<std::uint8_t*>(this + 1); }
};

// What keeps a heap target alive: a ValueBox, or an ArrayBlock with its element type.
struct Keeper {
  KeeperKind kind = KeeperKind::kNone;
  void* block = nullptr;
  const TPSTypeRec* elementType = nullptr;  // kArrayBlock only
};

inline constexpr std::uint32_t kNotOnStack = 0xFFFFFFFF;

struct PointerValue {
  void* target = nullptr;
  const TPSTypeRec* targetType = nullptr;
  std::uint32_t stackIndex = kNotOnStack;
  Keeper keeper;
};

// Layout in value memory: the fields above one after another.
struct PointerLayout {
  static constexpr std::size_t kTarget = 0;
  static constexpr std::size_t kType = kTarget + sizeof(void*);
  static constexpr std::size_t kKeeperBlock = kType + sizeof(void*);
  static constexpr std::size_t kKeeperElement = kKeeperBlock + sizeof(void*);
  static constexpr std::size_t kStackIndex = kKeeperElement + sizeof(void*);
  static constexpr std::size_t kKeeperKind = kStackIndex + 4;
  static constexpr std::size_t kSize = kKeeperKind + 4;
};

inline PointerValue LoadPointer(const void* at) {
  const auto* bytes = static_cast<const std::uint8_t*>(at);
  PointerValue value;
  value.target = Load<void*>(bytes + PointerLayout::kTarget);
  value.targetType = Load<const TPSTypeRec*>(bytes + PointerLayout::kType);
  value.keeper.block = Load<void*>(bytes + PointerLayout::kKeeperBlock);
  value.keeper.elementType = Load<const TPSTypeRec*>(bytes + PointerLayout::kKeeperElement);
  value.stackIndex = Load<std::uint32_t>(bytes + PointerLayout::kStackIndex);
  value.keeper.kind = static_cast<KeeperKind>(Load<std::uint32_t>(bytes + PointerLayout::kKeeperKind));
  return value;
}

// Stores without touching references: the caller has taken the keeper's reference.
inline void StorePointer(void* at, const PointerValue& value) {
  auto* bytes = static_cast<std::uint8_t*>(at);
  Store(bytes + PointerLayout::kTarget, value.target);
  Store(bytes + PointerLayout::kType, value.targetType);
  Store(bytes + PointerLayout::kKeeperBlock, value.keeper.block);
  Store(bytes + PointerLayout::kKeeperElement, value.keeper.elementType);
  Store(bytes + PointerLayout::kStackIndex, value.stackIndex);
  Store(bytes + PointerLayout::kKeeperKind, static_cast<std::uint32_t>(value.keeper.kind));
}
// True when the pointer at `at` keeps no heap value alive, so that dropping it releases nothing.
inline bool KeepsNothing(const void* at) {
  return Load<std::uint32_t>(static_cast<const std::uint8_t*>(at) + PointerLayout::kKeeperKind) ==
         static_cast<std::uint32_t>(KeeperKind::kNone);
}

void RetainKeeper(const Keeper& keeper);
void ReleaseKeeper(const Keeper& keeper);

// A pointer referring to value, which lives at stackIndex on the main stack (or nowhere there)
// and is kept alive by keeper. A value that is itself a pointer hands over its target instead,
// even a null one.
PointerValue PointerTo(ValueRef value, std::uint32_t stackIndex = kNotOnStack, const Keeper& keeper = {});

// Replaces the pointer at `at` by one referring to value (taking a reference on its keeper)
// and releases the old keeper.
void SetPointerAt(void* at, const PointerValue& value);

// A new owned copy of the value (CopyValue into a fresh default value of its type), as a
// pointer that owns it. A null source gives the null pointer.
PointerValue CopyIntoOwnedPointer(const void* value, const TPSTypeRec* type);
// The same `depth` levels inside a copy (kMaxCopyDepth).
PointerValue CopyIntoOwnedPointer(const void* value, const TPSTypeRec* type, std::uint32_t depth);

}  // namespace dravik::engine::values

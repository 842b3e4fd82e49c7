#include "engine/values/pointer_value.h"

#include <limits>
#include <new>
#include <vector>

#include "engine/values/memory_budget.h"
#include "engine/values/script_fault.h"

namespace dravik::engine::values {

namespace {

std::size_t ValueBoxBytes(const TPSTypeRec& type) { return sizeof(ValueBox) + type.memSize; }

ValueBox* NewValueBox(const TPSTypeRec& type) {
  auto* box = static_cast<ValueBox*>(AllocateValueMemory(ValueBoxBytes(type)));
  box->refCount = 1;
  box->type = &type;
  InitializeValue(box->Value(), type);
  return box;
}

void RetainBox(ValueBox* box) {
  // A count at the top stops counting: the box is kept for good rather than the count wrapped.
  if (box->refCount < 0) return;
  if (box->refCount == std::numeric_limits<std::int32_t>::max())
    box->refCount = -1;
  else
    ++box->refCount;
}

void ReleaseBox(ValueBox* box) {
  if (box->refCount < 0 || --box->refCount != 0) return;
  FinalizeValue(box->Value(), *box->type);
  FreeValueMemory(box, ValueBoxBytes(*box->type));
}

void DropKeeper(const Keeper& keeper) {
  switch (keeper.kind) {
    case KeeperKind::kOwnedCopy: ReleaseBox(static_cast<ValueBox*>(keeper.block)); break;
    case KeeperKind::kArrayBlock: ReleaseArray(static_cast<ArrayBlock*>(keeper.block), *keeper.elementType); break;
    case KeeperKind::kNone: break;
  }
}

// Releasing a keeper can free a value whose pointers release further keepers, and a script can
// chain boxes without end (a linked list): released recursively, a long chain would exhaust the
// native stack. So the outermost release drains a queue that the nested ones only add to, and
// the depth stays that of the type nesting. The queue lives only for the length of one release,
// which never runs script or host code, so nested executors cannot meet in it.
thread_local std::vector<Keeper>* pendingReleases = nullptr;

class ReleaseDrain {
 public:
  ReleaseDrain() { pendingReleases = &pending_; }
  ~ReleaseDrain() { pendingReleases = nullptr; }
  ReleaseDrain(const ReleaseDrain&) = delete;
  ReleaseDrain& operator=(const ReleaseDrain&) = delete;

  void Run(const Keeper& first) {
    DropKeeper(first);
    while (!pending_.empty()) {
      const Keeper next = pending_.back();
      pending_.pop_back();
      DropKeeper(next);
    }
  }

 private:
  std::vector<Keeper> pending_;
};

bool Queued(const Keeper& keeper) {
  try {
    pendingReleases->push_back(keeper);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace

void RetainKeeper(const Keeper& keeper) {
  switch (keeper.kind) {
    case KeeperKind::kOwnedCopy: RetainBox(static_cast<ValueBox*>(keeper.block)); break;
    case KeeperKind::kArrayBlock: RetainArray(static_cast<ArrayBlock*>(keeper.block)); break;
    case KeeperKind::kNone: break;
  }
}

void ReleaseKeeper(const Keeper& keeper) {
  if (keeper.kind == KeeperKind::kNone) return;
  if (pendingReleases == nullptr)
    ReleaseDrain().Run(keeper);
  else if (!Queued(keeper))
    DropKeeper(keeper);  // no room to queue: released at once, as deep as that goes
}

PointerValue PointerTo(ValueRef value, std::uint32_t stackIndex, const Keeper& keeper) {
  if (value.type != nullptr && value.type->baseType == image::tcPointer) return LoadPointer(value.data);
  return {value.data, value.type, stackIndex, keeper};
}

void SetPointerAt(void* at, const PointerValue& value) {
  // The new keeper is taken before the old one goes, and the pointer is stored before: the old
  // keeper may be the last thing keeping the new target, or the pointer's own place, alive.
  RetainKeeper(value.keeper);
  const Keeper old = LoadPointer(at).keeper;
  StorePointer(at, value);
  ReleaseKeeper(old);
}

PointerValue CopyIntoOwnedPointer(const void* value, const TPSTypeRec* type) {
  return CopyIntoOwnedPointer(value, type, 0);
}

PointerValue CopyIntoOwnedPointer(const void* value, const TPSTypeRec* type, std::uint32_t depth) {
  if (value == nullptr || type == nullptr) return {};
  ValueBox* box = NewValueBox(*type);
  try {
    CopyValue(box->Value(), value, *type, depth);
  } catch (...) {
    ReleaseBox(box);
    throw;
  }
  PointerValue pointer;
  pointer.target = box->Value();
  pointer.targetType = type;
  pointer.keeper = Keeper{KeeperKind::kOwnedCopy, box, nullptr};
  return pointer;
}

}  // namespace dravik::engine::values

#include "engine/compiler/node_pool.h"

#include <cstring>
#include <new>

#include "engine/compiler/values.h"

namespace dravik::engine::compiler {

NodePool::~NodePool() {
  for (void* chunk : chunks_) ::operator delete(chunk, std::align_val_t{kAlignment});
}

void* NodePool::Allocate(std::size_t size) {
  if (size > kLargestPooled) return ::operator new(size, std::align_val_t{kAlignment});
  FreeBlock*& list = free_[ListOf(size)];
  if (list == nullptr) return Carve(ListOf(size) * kAlignment);
  FreeBlock* block = list;
  list = block->next;
  return block;
}

void NodePool::Free(void* block, std::size_t size) {
  if (size > kLargestPooled) return ::operator delete(block, std::align_val_t{kAlignment});
  FreeBlock*& list = free_[ListOf(size)];
  list = ::new (block) FreeBlock{list};
}

// A fresh block from the newest chunk; what is left of a chunk too short for it stays unused.
void* NodePool::Carve(std::size_t size) {
  if (left_ < size) {
    chunks_.reserve(chunks_.size() + 1);
    chunks_.push_back(::operator new(kChunkSize, std::align_val_t{kAlignment}));
    next_ = static_cast<std::byte*>(chunks_.back());
    left_ = kChunkSize;
  }
  void* block = next_;
  next_ += size;
  left_ -= size;
  return block;
}

namespace {

// What a node's block holds in front of the node: the pool it came from and the block's size,
// so that deleting the node, through any pointer type, gives the right block back.
struct BlockOwner {
  NodePool* pool;
  std::size_t size;
};
constexpr std::size_t kOwnerRoom = NodePool::kAlignment;
static_assert(sizeof(BlockOwner) <= kOwnerRoom);

}  // namespace

void* TPSValue::operator new(std::size_t size, NodePool& pool) {
  const BlockOwner owner{&pool, kOwnerRoom + size};
  auto* block = static_cast<std::byte*>(pool.Allocate(owner.size));
  std::memcpy(block, &owner, sizeof owner);
  return block + kOwnerRoom;
}

void TPSValue::operator delete(void* node) {
  std::byte* block = static_cast<std::byte*>(node) - kOwnerRoom;
  BlockOwner owner;
  std::memcpy(&owner, block, sizeof owner);
  owner.pool->Free(block, owner.size);
}

void TPSValue::operator delete(void* node, NodePool&) { TPSValue::operator delete(node); }

}  // namespace dravik::engine::compiler

#pragma once
// NodePool: the memory of one compilation's value trees. The compiler makes and drops several
// nodes for every operand it reads; a free list per block size hands blocks out and takes them
// back in a few instructions, where the system's allocator would take a hundred or more for
// each pair. Blocks come from chunks that the pool keeps until it goes.

#include <array>
#include <cstddef>
#include <vector>

namespace dravik::engine::compiler {

class NodePool {
 public:
  // Every block is aligned to this, and block sizes are rounded up to it.
  static constexpr std::size_t kAlignment = 16;

  NodePool() = default;
  ~NodePool();
  NodePool(const NodePool&) = delete;
  NodePool& operator=(const NodePool&) = delete;

  void* Allocate(std::size_t size);
  // size: as given to Allocate.
  void Free(void* block, std::size_t size);

 private:
  // Blocks up to this size come from the lists; larger ones, which no node needs, from the
  // system's allocator.
  static constexpr std::size_t kLargestPooled = 512;
  static constexpr std::size_t kChunkSize = 64 * 1024;

  struct FreeBlock {
    FreeBlock* next;
  };

  static std::size_t ListOf(std::size_t size) { return (size + kAlignment - 1) / kAlignment; }
  void* Carve(std::size_t size);

  std::array<FreeBlock*, kLargestPooled / kAlignment + 1> free_{};
  std::vector<void*> chunks_;
  std::byte* next_ = nullptr;  // the unused end of the newest chunk
  std::size_t left_ = 0;
};

}  // namespace dravik::engine::compiler

#include "engine/values/memory_budget.h"

#include <atomic>
#include <cstdlib>

#include "engine/values/script_fault.h"

namespace dravik::engine {

namespace {

// Relaxed order is enough: the count only has to add up, and no other data is published
// through it.
std::atomic<std::uint64_t> limit{kDefaultMemoryLimit};
std::atomic<std::uint64_t> inUse{0};

// Takes bytes from the budget, or fails leaving it as it was.
void Take(std::size_t bytes) {
  const std::uint64_t before = inUse.fetch_add(bytes, std::memory_order_relaxed);
  if (before + bytes <= limit.load(std::memory_order_relaxed)) return;
  inUse.fetch_sub(bytes, std::memory_order_relaxed);
  FailWith(erOutOfMemory);
}

void GiveBack(std::size_t bytes) { inUse.fetch_sub(bytes, std::memory_order_relaxed); }

}  // namespace

void SetMemoryLimit(std::uint64_t bytes) { limit.store(bytes, std::memory_order_relaxed); }
std::uint64_t MemoryLimit() { return limit.load(std::memory_order_relaxed); }
std::uint64_t MemoryInUse() { return inUse.load(std::memory_order_relaxed); }

void* AllocateValueMemory(std::size_t bytes) {
  Take(bytes);
  void* block = std::malloc(bytes);
  if (block != nullptr) return block;
  GiveBack(bytes);
  FailWith(erOutOfMemory);
}

void* ResizeValueMemory(void* block, std::size_t oldBytes, std::size_t newBytes) {
  if (newBytes <= oldBytes) {
    GiveBack(oldBytes - newBytes);
    void* moved = std::realloc(block, newBytes);
    return moved == nullptr ? block : moved;
  }
  Take(newBytes - oldBytes);
  void* moved = std::realloc(block, newBytes);
  if (moved != nullptr) return moved;
  GiveBack(newBytes - oldBytes);
  FailWith(erOutOfMemory);
}

void FreeValueMemory(void* block, std::size_t bytes) {
  if (block == nullptr) return;
  std::free(block);
  GiveBack(bytes);
}

}  // namespace dravik::engine

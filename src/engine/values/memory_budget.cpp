#include "engine/values/memory_budget.h"

#include "engine/engine.h"

#include <atomic>
#include <cstdlib>

#include "engine/values/script_fault.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define DRAVIK_POISON(at, bytes) ASAN_POISON_MEMORY_REGION(at, bytes)
#define DRAVIK_UNPOISON(at, bytes) ASAN_UNPOISON_MEMORY_REGION(at, bytes)
#else
#define DRAVIK_POISON(at, bytes) ((void)(at), (void)(bytes))
#define DRAVIK_UNPOISON(at, bytes) ((void)(at), (void)(bytes))
#endif

namespace dravik::engine::values {

namespace {

// ---------------------------------------------------------------------------------------------
// The count

// Relaxed order is enough: the count only has to add up, and no other data is published
// through it.
std::atomic<std::uint64_t> limit{kDefaultMemoryLimit};
std::atomic<std::uint64_t> inUse{0};

// Takes bytes from the budget, or fails leaving it as it was.
void Take(std::size_t bytes) {
  const std::uint64_t before = inUse.fetch_add(bytes, std::memory_order_relaxed);
  if (before + bytes <= limit.load(std::memory_order_relaxed)) return;
  inUse.fetch_sub(bytes, std::memory_order_relaxed);
  FailWith(image::erOutOfMemory);
}

void GiveBack(std::size_t bytes) { inUse.fetch_sub(bytes, std::memory_order_relaxed); }

// ---------------------------------------------------------------------------------------------
// Small blocks

// Scripts make and drop small strings all the time (every IntToStr, every Copy), and some
// system allocators take several times longer than a list push and pop for each; so a thread
// keeps a few freed small blocks of each size class for the next allocation of that class.
// Blocks of a class are all allocated at the class's full size, whatever was asked for.
constexpr std::size_t kClassBytes = 16;
constexpr std::size_t kClasses = 8;  // blocks of up to 128 bytes
constexpr std::uint16_t kKeptPerClass = 256;

constexpr bool IsSmall(std::size_t bytes) { return bytes <= kClassBytes * kClasses; }
constexpr std::size_t ClassOf(std::size_t bytes) { return bytes == 0 ? 0 : (bytes - 1) / kClassBytes; }
// What the system is asked for: a small block is allocated at its class's full size.
constexpr std::size_t SystemBytes(std::size_t bytes) {
  return IsSmall(bytes) ? (ClassOf(bytes) + 1) * kClassBytes : bytes;
}

// Trivially destructible, so that it can still be used (as closed) while the thread ends.
struct FreeLists {
  void* head[kClasses];
  std::uint16_t count[kClasses];
  bool armed;   // the drain below is registered for this thread
  bool closed;  // the thread is ending: blocks go back to the system
};
thread_local FreeLists freeLists{};

// Gives the kept blocks back to the system when the thread ends.
struct FreeListsDrain {
  ~FreeListsDrain() {
    for (std::size_t c = 0; c < kClasses; ++c) {
      while (void* block = freeLists.head[c]) {
        DRAVIK_UNPOISON(block, SystemBytes((c + 1) * kClassBytes));
        freeLists.head[c] = *static_cast<void**>(block);
        std::free(block);
      }
      freeLists.count[c] = 0;
    }
    freeLists.closed = true;
  }
};

void ArmDrain() {
  static thread_local FreeListsDrain drain;
  (void)drain;
  freeLists.armed = true;
}

void* TakeKept(std::size_t bytes) {
  const std::size_t c = ClassOf(bytes);
  void* block = freeLists.head[c];
  if (block == nullptr) return nullptr;
  DRAVIK_UNPOISON(block, SystemBytes(bytes));
  freeLists.head[c] = *static_cast<void**>(block);
  --freeLists.count[c];
  return block;
}

bool Keep(void* block, std::size_t bytes) {
  const std::size_t c = ClassOf(bytes);
  if (freeLists.closed || freeLists.count[c] == kKeptPerClass) return false;
  if (!freeLists.armed) ArmDrain();
  *static_cast<void**>(block) = freeLists.head[c];
  freeLists.head[c] = block;
  ++freeLists.count[c];
  DRAVIK_POISON(block, SystemBytes(bytes));
  return true;
}

}  // namespace

void* AllocateValueMemory(std::size_t bytes) {
  Take(bytes);
  if (IsSmall(bytes)) {
    if (void* block = TakeKept(bytes)) return block;
  }
  void* block = std::malloc(SystemBytes(bytes));
  if (block != nullptr) return block;
  GiveBack(bytes);
  FailWith(image::erOutOfMemory);
}

void* ResizeValueMemory(void* block, std::size_t oldBytes, std::size_t newBytes) {
  if (newBytes <= oldBytes) {
    GiveBack(oldBytes - newBytes);
    void* moved = std::realloc(block, SystemBytes(newBytes));
    // A shrink the system refuses keeps the larger block, which serves as well.
    return moved == nullptr ? block : moved;
  }
  Take(newBytes - oldBytes);
  void* moved = std::realloc(block, SystemBytes(newBytes));
  if (moved != nullptr) return moved;
  GiveBack(newBytes - oldBytes);
  FailWith(image::erOutOfMemory);
}

void FreeValueMemory(void* block, std::size_t bytes) {
  if (block == nullptr) return;
  GiveBack(bytes);
  if (IsSmall(bytes) && Keep(block, bytes)) return;
  std::free(block);
}

}  // namespace dravik::engine::values

namespace dravik::engine {

void SetMemoryLimit(std::uint64_t bytes) { values::limit.store(bytes, std::memory_order_relaxed); }
std::uint64_t MemoryLimit() { return values::limit.load(std::memory_order_relaxed); }
std::uint64_t MemoryInUse() { return values::inUse.load(std::memory_order_relaxed); }

}  // namespace dravik::engine

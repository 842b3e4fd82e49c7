#pragma once
// Where the bytes of script values come from. Each value is capped on its own (a string, an
// array block), but a script can make as many values as it likes; so every block a value holds
// (string and array blocks, pointer targets, the contents of variants) is counted, and a block
// that would take the count beyond the limit is refused with ScriptFault(erOutOfMemory), as a
// block the system refuses is. The count is the process's: nested scripts and every executor
// share one budget, which is what bounds the process.

#include <cstddef>
#include <cstdint>

namespace dravik::engine::values {

// The limit and the count are the engine's public face (engine.h); what follows is how values
// draw on them.

// malloc, realloc and free that keep the count, failing with erOutOfMemory rather than answering
// null. Small blocks freed are kept by the thread for the next allocation of their size. The
// caller passes the size of the block it frees or resizes (each kind of block can tell its own).
// A shrink the system refuses keeps the larger block, counted at the smaller size that its later
// free will give back.
void* AllocateValueMemory(std::size_t bytes);
void* ResizeValueMemory(void* block, std::size_t oldBytes, std::size_t newBytes);
void FreeValueMemory(void* block, std::size_t bytes);

}  // namespace dravik::engine::values

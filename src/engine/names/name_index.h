#pragma once
// NameIndex: where names stand in a list kept elsewhere (a compilation's types, constants,
// variables and routines), found by their NameKey without a copy of the name or an allocation.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/names/names.h"

namespace dravik::engine::names {

class NameIndex {
 public:
  // The first and the last position a name was added at, which oldest-first and newest-first
  // lookups take.
  struct Positions {
    std::size_t first = 0;
    std::size_t last = 0;
  };

  void Add(NameKey name, std::size_t position);
  // None for a name never added.
  const Positions* Find(NameKey name) const;

 private:
  struct Entry {
    std::string upper;
    std::uint32_t hash = 0;
    Positions positions;
  };

  std::size_t SlotOf(NameKey name) const;
  void Grow();

  std::vector<Entry> entries_;  // one per name, in the order first added
  // Open addressing with linear probing: 0 is an empty slot, n stands for entries_[n - 1]. The
  // table has 2^bits_ slots, at most half of them used, so that a probe soon meets an empty one.
  std::vector<std::uint32_t> slots_;
  unsigned bits_ = 0;
};

}  // namespace dravik::engine::names

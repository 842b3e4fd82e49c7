#pragma once
// The six ordering operators of OpCompare applied to the outcome of a three-way comparison.
// Unordered outcomes (a NaN on either side) satisfy only "<>".

#include <compare>

#include "engine/image/format.h"
#include "engine/values/script_fault.h"

namespace dravik::engine {

inline bool OrderingSatisfies(CompareOp op, std::partial_ordering order) {
  switch (op) {
    case CompareOp::GreaterEqual: return order >= 0;
    case CompareOp::LessEqual: return order <= 0;
    case CompareOp::Greater: return order > 0;
    case CompareOp::Less: return order < 0;
    case CompareOp::NotEqual: return order != 0;
    case CompareOp::Equal: return order == 0;
    default: FailWith(ErTypeMismatch);
  }
}

}  // namespace dravik::engine

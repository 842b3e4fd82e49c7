#pragma once
// The six ordering operators of OpCompare applied to the outcome of a three-way comparison.
// Unordered outcomes (a NaN on either side) satisfy only "<>".

#include <compare>

#include "engine/image/format.h"
#include "engine/values/script_fault.h"

namespace dravik::engine::values {

inline bool OrderingSatisfies(image::CompareOp op, std::partial_ordering order) {
  switch (op) {
    case image::CompareOp::GreaterEqual: return order >= 0;
    case image::CompareOp::LessEqual: return order <= 0;
    case image::CompareOp::Greater: return order > 0;
    case image::CompareOp::Less: return order < 0;
    case image::CompareOp::NotEqual: return order != 0;
    case image::CompareOp::Equal: return order == 0;
    default: FailWith(image::ErTypeMismatch);
  }
}

}  // namespace dravik::engine::values

#include "engine/values/real_arithmetic.h"

#include <optional>

#include "engine/values/number_conversion.h"

namespace dravik::engine::values {

namespace {

std::int64_t RoundedScaled(Extended value) {
  std::optional<std::int64_t> rounded = RoundToInt64(value);
  if (!rounded) FailWith(image::ErMathError);
  return *rounded;
}

}  // namespace

std::int64_t CalculateCurrency(image::CalcOp op, std::int64_t a, std::int64_t b) {
  std::int64_t result = 0;
  // The extended format's 64-bit mantissa holds every scaled operand exactly, so a product or
  // quotient is rounded once, at the end.
  switch (op) {
    case image::CalcOp::Add:
      if (__builtin_add_overflow(a, b, &result)) FailWith(image::ErMathError);
      return result;
    case image::CalcOp::Subtract:
      if (__builtin_sub_overflow(a, b, &result)) FailWith(image::ErMathError);
      return result;
    case image::CalcOp::Multiply:
      return RoundedScaled(static_cast<Extended>(a) * static_cast<Extended>(b) / kCurrencyScale);
    case image::CalcOp::Divide:
      if (b == 0) FailWith(image::ErDivideByZero);
      return RoundedScaled(static_cast<Extended>(a) * kCurrencyScale / static_cast<Extended>(b));
    default:
      FailWith(image::ErTypeMismatch);
  }
}

}  // namespace dravik::engine::values

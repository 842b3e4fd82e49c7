#pragma once
// The four operators of the reals and of currency, shared by the machine's real and currency
// values and by variants.

#include <cmath>
#include <cstdint>

#include "engine/image/format.h"
#include "engine/values/script_fault.h"

namespace dravik::engine::values {

// Currency values are 64-bit integers counting ten-thousandths.
inline constexpr std::int64_t kCurrencyScale = 10000;

// a op b in the precision of Real for add, subtract, multiply and divide (ErTypeMismatch for any
// other operator). Division by zero is ErDivideByZero; a result that is no longer finite
// although both operands were (overflow) is ErMathError.
template <class Real>
Real CalculateReal(image::CalcOp op, Real a, Real b) {
  Real result;
  switch (op) {
    case image::CalcOp::Add: result = a + b; break;
    case image::CalcOp::Subtract: result = a - b; break;
    case image::CalcOp::Multiply: result = a * b; break;
    case image::CalcOp::Divide:
      if (b == 0) FailWith(image::ErDivideByZero);
      result = a / b;
      break;
    default: FailWith(image::ErTypeMismatch);
  }
  if (!std::isfinite(result) && std::isfinite(a) && std::isfinite(b)) FailWith(image::ErMathError);
  return result;
}

// a op b on two currency values scaled by 10000, for add, subtract, multiply and divide
// (ErTypeMismatch for any other operator). Sums and differences are exact; products and
// quotients are rounded to the nearest scaled unit, halves to the even neighbour. A result
// outside the 64-bit range is ErMathError, division by zero ErDivideByZero.
std::int64_t CalculateCurrency(image::CalcOp op, std::int64_t a, std::int64_t b);

}  // namespace dravik::engine::values

#include "engine/values/integer_kinds.h"

#include "engine/values/script_fault.h"

namespace dravik::engine::values {

namespace {

constexpr unsigned kShiftMask32 = 31;
constexpr unsigned kShiftMask64 = 63;

unsigned ShiftCount(std::uint64_t count, IntegerKind kind) {
  return static_cast<unsigned>(count) & (kind.bits == 64 ? kShiftMask64 : kShiftMask32);
}

std::uint64_t ShiftRight(std::uint64_t a, unsigned count, IntegerKind kind) {
  // Values arrive extended to 64 bits, so a 64-bit shift of the extended value is the shift in
  // the kind's width.
  if (!kind.isSigned) return a >> count;
  return static_cast<std::uint64_t>(static_cast<std::int64_t>(a) >> count);
}

std::uint64_t Divide(image::CalcOp op, std::uint64_t a, std::uint64_t b, IntegerKind kind) {
  if (b == 0) FailWith(image::ErDivideByZero);
  if (!kind.isSigned) return op == image::CalcOp::Divide ? a / b : a % b;
  auto sa = static_cast<std::int64_t>(a);
  auto sb = static_cast<std::int64_t>(b);
  // x / -1 is the only quotient that can leave the range: negate by wrap-around instead.
  if (sb == -1) return op == image::CalcOp::Divide ? 0 - a : 0;
  return static_cast<std::uint64_t>(op == image::CalcOp::Divide ? sa / sb : sa % sb);
}

std::uint64_t Compute(image::CalcOp op, std::uint64_t a, std::uint64_t b, IntegerKind kind) {
  switch (op) {
    case image::CalcOp::Add: return a + b;
    case image::CalcOp::Subtract: return a - b;
    case image::CalcOp::Multiply: return a * b;
    case image::CalcOp::Divide:
    case image::CalcOp::Modulo: return Divide(op, a, b, kind);
    case image::CalcOp::ShiftLeft: return a << ShiftCount(b, kind);
    case image::CalcOp::ShiftRight: return ShiftRight(a, ShiftCount(b, kind), kind);
    case image::CalcOp::And: return a & b;
    case image::CalcOp::Or: return a | b;
    case image::CalcOp::Xor: return a ^ b;
    default: FailWith(image::ErTypeMismatch);
  }
}

}  // namespace

std::uint64_t CalculateInteger(image::CalcOp op, std::uint64_t a, std::uint64_t b, IntegerKind kind) {
  return FitInteger(Compute(op, a, b, kind), kind);
}

}  // namespace dravik::engine::values

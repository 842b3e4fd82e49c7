// Arithmetic on typed constant values, for the folding of expression trees and for the constant
// expressions of declarations. Integers wrap in the left operand's width; nothing here may
// overflow a C++ signed type.

#include <cmath>
#include <limits>

#include "engine/compiler/compilation.h"

namespace dravik::engine::compiler {

namespace {

constexpr long double kCurrencyScale = 10000.0L;

unsigned WidthBits(image::TPSTypeCode code) {
  switch (code) {
    case image::tcU8: case image::tcS8: case image::tcChar: return 8;
    case image::tcU16: case image::tcS16: case image::tcWideChar: return 16;
    case image::tcS64: case image::tcCurrency: return 64;
    default: return 32;
  }
}

bool IsSignedCode(image::TPSTypeCode code) {
  return code == image::tcS8 || code == image::tcS16 || code == image::tcS32 || code == image::tcS64 ||
         code == image::tcCurrency;
}

std::uint64_t Truncate(image::TPSTypeCode code, std::uint64_t bits) {
  const unsigned width = WidthBits(code);
  return width == 64 ? bits : bits & ((std::uint64_t{1} << width) - 1);
}

// The value as a 64-bit number: sign-extended from the signed types, zero-extended otherwise.
std::int64_t Extend(const TPSTypedValue& v) {
  const image::TPSTypeCode code = v.BaseType();
  const unsigned width = WidthBits(code);
  std::uint64_t bits = Truncate(code, v.ordinal);
  if (IsSignedCode(code) && width < 64 && (bits >> (width - 1)) != 0) bits |= ~std::uint64_t{0} << width;
  return static_cast<std::int64_t>(bits);
}

bool IsOrdinalCode(image::TPSTypeCode code) {
  return IsIntegerCode(code) || code == image::tcEnum || code == image::tcChar || code == image::tcWideChar;
}

long double RealOf(const TPSTypedValue& v) {
  const image::TPSTypeCode code = v.BaseType();
  if (code == image::tcCurrency) return static_cast<long double>(Extend(v)) / kCurrencyScale;
  if (IsRealCode(code)) return v.real;
  if (code == image::tcU32 || code == image::tcU8 || code == image::tcU16)
    return static_cast<long double>(static_cast<std::uint64_t>(Extend(v)));
  return static_cast<long double>(Extend(v));
}

// Keeps a real in the precision of its type; beyond the type's range it becomes infinite
// (converting such a value directly would be undefined).
long double RoundToType(image::TPSTypeCode code, long double value) {
  if (code == image::tcSingle) return NarrowReal<float>(value);
  if (code == image::tcDouble) return NarrowReal<double>(value);
  return value;
}

// The right operand of an integer operation, read as the left's family needs it.
std::uint64_t RightBits(image::TPSTypeCode leftCode, const TPSTypedValue& right) {
  const std::int64_t value = Extend(right);
  if (leftCode == image::tcS64) return static_cast<std::uint64_t>(value);
  if (IsSignedCode(leftCode))
    return static_cast<std::uint64_t>(static_cast<std::int64_t>(static_cast<std::int32_t>(value)));
  return static_cast<std::uint64_t>(value) & 0xFFFFFFFFu;
}

enum class FoldResult { Ok, TypeMismatch, DivideByZero, MathError };

// Signed division and modulo that wrap instead of trapping on the most negative value / -1.
std::uint64_t SignedDivide(std::int64_t a, std::int64_t b, bool modulo) {
  if (b == -1) return modulo ? 0 : std::uint64_t{0} - static_cast<std::uint64_t>(a);
  return static_cast<std::uint64_t>(modulo ? a % b : a / b);
}

FoldResult IntegerArithmetic(TPSTypedValue& left, const TPSTypedValue& right, TPSBinOperator op) {
  const image::TPSTypeCode code = left.BaseType();
  const bool isSigned = IsSignedCode(code);
  const std::uint64_t a = static_cast<std::uint64_t>(Extend(left));
  const std::uint64_t b = RightBits(code, right);
  const unsigned shiftMask = WidthBits(code) == 64 ? 63 : 31;
  std::uint64_t r = 0;
  switch (op) {
    case otAdd: r = a + b; break;
    case otSub: r = a - b; break;
    case otMul: r = a * b; break;
    case otDiv:
    case otMod:
      if (b == 0) return FoldResult::DivideByZero;
      if (isSigned) r = SignedDivide(static_cast<std::int64_t>(a), static_cast<std::int64_t>(b), op == otMod);
      else r = op == otMod ? a % b : a / b;
      break;
    case otShl: r = a << (b & shiftMask); break;
    case otShr: r = (shiftMask == 63 ? a : a & 0xFFFFFFFFu) >> (b & shiftMask); break;
    case otAnd: r = a & b; break;
    case otOr: r = a | b; break;
    case otXor: r = a ^ b; break;
    default: return FoldResult::TypeMismatch;
  }
  left.ordinal = Truncate(code, r);
  return FoldResult::Ok;
}

FoldResult RealArithmetic(TPSTypedValue& left, const TPSTypedValue& right, TPSBinOperator op) {
  const long double a = RealOf(left);
  const long double b = RealOf(right);
  long double r = 0;
  switch (op) {
    case otAdd: r = a + b; break;
    case otSub: r = a - b; break;
    case otMul: r = a * b; break;
    case otDiv:
      if (b == 0) return FoldResult::DivideByZero;
      r = a / b;
      break;
    default: return FoldResult::TypeMismatch;
  }
  const image::TPSTypeCode code = left.BaseType();
  r = RoundToType(code, r);
  if (!std::isfinite(r)) return FoldResult::MathError;
  if (code != image::tcCurrency) {
    left.real = r;
    return FoldResult::Ok;
  }
  const long double scaled = std::nearbyint(r * kCurrencyScale);
  // The limits of a 64-bit count as long double: 2^63 exactly.
  constexpr long double kLimit = 9223372036854775808.0L;
  if (!(scaled >= -kLimit && scaled < kLimit)) return FoldResult::MathError;
  left.ordinal = static_cast<std::uint64_t>(static_cast<std::int64_t>(scaled));
  return FoldResult::Ok;
}

std::u16string WideOf(const TPSTypedValue& v) {
  switch (v.BaseType()) {
    case image::tcWideString: return v.wideText;
    case image::tcWideChar: return std::u16string(1, static_cast<char16_t>(v.ordinal));
    case image::tcChar: return std::u16string(1, static_cast<char16_t>(v.ordinal & 0xFF));
    default: return std::u16string(v.text.begin(), v.text.end());
  }
}

std::string NarrowOf(const TPSTypedValue& v) {
  if (v.BaseType() == image::tcChar) return std::string(1, static_cast<char>(v.ordinal));
  return v.text;
}

int Compare3(long double a, long double b) { return a < b ? -1 : a > b ? 1 : 0; }

template <typename T>
int CompareTexts(const T& a, const T& b) {
  const int c = a.compare(b);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

bool SetBit(const std::string& bytes, std::uint64_t n) {
  return n / 8 < bytes.size() && ((static_cast<unsigned char>(bytes[n / 8]) >> (n % 8)) & 1) != 0;
}

bool SubsetOf(const std::string& a, const std::string& b) {
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
    if ((a[i] & ~b[i]) != 0) return false;
  return true;
}

bool Holds(int c, TPSBinOperator op) {
  switch (op) {
    case otGreaterEqual: return c >= 0;
    case otLessEqual: return c <= 0;
    case otGreater: return c > 0;
    case otLess: return c < 0;
    case otEqual: return c == 0;
    default: return c != 0;
  }
}

}  // namespace

// Comparison of two constants; nothing when they cannot be compared.
static std::optional<bool> CompareConstants(const TPSTypedValue& l, const TPSTypedValue& r,
                                            TPSBinOperator op) {
  const image::TPSTypeCode lc = l.BaseType(), rc = r.BaseType();
  if (op == otIn) {
    if (rc != image::tcSet || static_cast<TPSSetType*>(r.type)->elementType != l.type) return std::nullopt;
    return SetBit(r.text, static_cast<std::uint64_t>(Extend(l)));
  }
  if (lc == image::tcSet && rc == image::tcSet) {
    if (op == otEqual || op == otNotEqual) return (l.text == r.text) == (op == otEqual);
    if (op == otGreaterEqual) return SubsetOf(r.text, l.text);
    if (op == otLessEqual) return SubsetOf(l.text, r.text);
    return std::nullopt;
  }
  if (IsNumericCode(lc) && IsNumericCode(rc)) {
    if (IsRealCode(lc) || IsRealCode(rc)) return Holds(Compare3(RealOf(l), RealOf(r)), op);
    const std::int64_t a = Extend(l), b = Extend(r);
    return Holds(a < b ? -1 : a > b ? 1 : 0, op);
  }
  if ((IsWideTextCode(lc) || IsWideTextCode(rc)) && (IsTextCode(lc) || IsWideTextCode(lc)) &&
      (IsTextCode(rc) || IsWideTextCode(rc)))
    return Holds(CompareTexts(WideOf(l), WideOf(r)), op);
  if (IsTextCode(lc) && IsTextCode(rc)) return Holds(CompareTexts(NarrowOf(l), NarrowOf(r)), op);
  if (lc == image::tcEnum && l.type == r.type) {
    const std::uint64_t a = l.ordinal, b = r.ordinal;
    return Holds(a < b ? -1 : a > b ? 1 : 0, op);
  }
  return std::nullopt;
}

bool Compilation::EvalConstBinary(TPSTypedValue& left, const TPSTypedValue& right,
                                  TPSBinOperator op, const tokenizer::TPSPascalParser& p) {
  if (op >= otGreaterEqual) {
    std::optional<bool> holds = CompareConstants(left, right, op);
    if (!holds) return Fail(p, ecTypeMismatch);
    left = BooleanValue(*holds);
    return true;
  }
  image::TPSTypeCode lc = left.BaseType();
  const image::TPSTypeCode rc = right.BaseType();
  if (IsRealCode(rc) && IsIntegerCode(lc)) {
    if (rc == image::tcCurrency) left.ordinal = static_cast<std::uint64_t>(Extend(left)) * 10000u;
    else left.real = RealOf(left);
    left.type = right.type;
    lc = rc;
  }
  FoldResult result = FoldResult::TypeMismatch;
  const bool stepsEnum = lc == image::tcEnum && (op == otAdd || op == otSub);  // Succ and Pred
  if ((IsIntegerCode(lc) || stepsEnum) && IsOrdinalCode(rc)) {
    result = IntegerArithmetic(left, right, op);
  } else if ((lc == image::tcEnum || lc == image::tcChar) && left.type == right.type &&
             (op == otAnd || op == otOr || op == otXor)) {
    result = IntegerArithmetic(left, right, op);
  } else if (IsRealCode(lc) && IsNumericCode(rc)) {
    result = RealArithmetic(left, right, op);
  } else if (op == otAdd && (IsTextCode(lc) || IsWideTextCode(lc)) &&
             (IsTextCode(rc) || IsWideTextCode(rc))) {
    // The left text is moved, not copied, so that a long run of texts joins in linear time.
    if (IsWideTextCode(lc) || IsWideTextCode(rc)) {
      std::u16string joined = lc == image::tcWideString ? std::move(left.wideText) : WideOf(left);
      joined += WideOf(right);
      left = TPSTypedValue{};
      left.type = FindBaseType(image::tcWideString);
      left.wideText = std::move(joined);
    } else {
      std::string joined = lc == image::tcString ? std::move(left.text) : NarrowOf(left);
      joined += NarrowOf(right);
      TPSType* type = lc == image::tcString ? left.type : FindBaseType(image::tcString);
      left = TPSTypedValue{};
      left.type = type;
      left.text = std::move(joined);
    }
    result = FoldResult::Ok;
  } else if (op == otAdd && lc == image::tcSet && left.type == right.type) {
    for (std::size_t i = 0; i < left.text.size() && i < right.text.size(); ++i)
      left.text[i] = static_cast<char>(left.text[i] | right.text[i]);
    result = FoldResult::Ok;
  }
  switch (result) {
    case FoldResult::Ok: return true;
    case FoldResult::DivideByZero: return Fail(p, ecDivideByZero);
    case FoldResult::MathError: return Fail(p, ecMathError);
    default: return Fail(p, ecTypeMismatch);
  }
}

bool Compilation::EvalConstUnary(TPSTypedValue& value, TPSUnOperator op, TPSType* resultType,
                                 const tokenizer::TPSPascalParser& p) {
  const image::TPSTypeCode code = value.BaseType();
  if (op == otNot) {
    if (IsIntegerCode(code)) value.ordinal = Truncate(code, ~value.ordinal);
    else if (IsBooleanType(value.type)) value.ordinal = (~value.ordinal) & 1;
    else return Fail(p, ecTypeMismatch);
    return true;
  }
  if (op == otMinus) {
    if (IsIntegerCode(code)) value.ordinal = Truncate(code, std::uint64_t{0} - value.ordinal);
    else if (code == image::tcSingle || code == image::tcDouble || code == image::tcExtended) value.real = -value.real;
    else if (code == image::tcCurrency) value.ordinal = std::uint64_t{0} - value.ordinal;
    else return Fail(p, ecTypeMismatch);
    return true;
  }
  // Ord, Chr and casts between integers, characters and enumerations (Boolean among them).
  const image::TPSTypeCode target = resultType->baseType;
  if (!(IsIntegerCode(target) || target == image::tcChar || target == image::tcEnum) || !IsOrdinalCode(code))
    return Fail(p, ecTypeMismatch);
  value.ordinal = Truncate(target, static_cast<std::uint64_t>(Extend(value)));
  value.type = resultType;
  return true;
}

std::optional<long double> Compilation::RealFold(const TPSBinValueOp& node, const TPSValueData& left,
                                                const TPSValueData& right) {
  if (!JoinsRealDivision(node) || !(node.slash || left.realValue || right.realValue)) return std::nullopt;
  const long double a = left.realValue.value_or(RealOf(left.value));
  const long double b = right.realValue.value_or(RealOf(right.value));
  switch (node.op) {
    case otAdd: return a + b;
    case otSub: return a - b;
    case otMul: return a * b;
    default: return b == 0 ? std::nullopt : std::optional<long double>(a / b);
  }
}

}  // namespace dravik::engine::compiler

#include "engine/values/assignment_conversion.h"

#include <limits>
#include <optional>

#include "engine/values/integer_kinds.h"
#include "engine/values/number_conversion.h"
#include "engine/values/script_fault.h"
#include "engine/values/variant.h"

namespace dravik::engine::values {

namespace {

inline constexpr std::int64_t kCurrencyScale = 10000;

image::TPSTypeCode CodeOf(ValueRef source) {
  if (source.data == nullptr || source.type == nullptr) FailTypeMismatchConversion();
  return source.type->baseType;
}

// The integer kinds and tcS64, extended by their own signedness.
std::optional<std::int64_t> IntegerOf(ValueRef source, image::TPSTypeCode code) {
  const std::optional<IntegerKind> kind = IntegerKindOf(code);
  if (!kind) return std::nullopt;
  return static_cast<std::int64_t>(LoadInteger(source.data, *kind));
}

std::optional<Extended> RealOf(ValueRef source, image::TPSTypeCode code) {
  switch (code) {
    case image::tcSingle: return Load<float>(source.data);
    case image::tcDouble: return Load<double>(source.data);
    case image::tcExtended: return LoadExtended(source.data);
    default: return std::nullopt;
  }
}

template <class Real>
Real NarrowReal(Extended number) {
  // Out-of-range narrowing is left undefined by the language; IEEE gives the infinity.
  constexpr Extended kLargest = std::numeric_limits<Real>::max();
  if (number > kLargest) return std::numeric_limits<Real>::infinity();
  if (number < -kLargest) return -std::numeric_limits<Real>::infinity();
  return static_cast<Real>(number);
}

}  // namespace

std::int64_t ConvertToOrdinal(ValueRef source) {
  const image::TPSTypeCode code = CodeOf(source);
  if (const std::optional<std::int64_t> number = IntegerOf(source, code)) return *number;
  switch (code) {
    case image::tcChar: return Load<std::uint8_t>(source.data);
    case image::tcWideChar: return Load<std::uint16_t>(source.data);
    case image::tcVariant: return VariantToOrdinal(source.data);
    default: FailTypeMismatchConversion();
  }
}

std::int64_t ConvertToInt64(ValueRef source) {
  const image::TPSTypeCode code = CodeOf(source);
  if (const std::optional<std::int64_t> number = IntegerOf(source, code)) return *number;
  if (code == image::tcVariant) return VariantToInt64(source.data);
  FailTypeMismatchConversion();
}

Extended ConvertToReal(ValueRef source) {
  const image::TPSTypeCode code = CodeOf(source);
  if (const std::optional<std::int64_t> number = IntegerOf(source, code)) return static_cast<Extended>(*number);
  if (const std::optional<Extended> real = RealOf(source, code)) return *real;
  if (code == image::tcCurrency) return static_cast<Extended>(Load<std::int64_t>(source.data)) / kCurrencyScale;
  if (code == image::tcVariant) return VariantToReal(source.data);
  FailTypeMismatchConversion();
}

std::int64_t ConvertToCurrency(ValueRef source) {
  const image::TPSTypeCode code = CodeOf(source);
  if (code == image::tcCurrency) return Load<std::int64_t>(source.data);
  if (const std::optional<std::int64_t> number = IntegerOf(source, code)) return IntegerToCurrency(*number);
  if (const std::optional<Extended> real = RealOf(source, code)) return RealToCurrency(*real);
  FailTypeMismatchConversion();
}

std::string ConvertToString(ValueRef source) {
  switch (CodeOf(source)) {
    case image::tcChar: return std::string(1, Load<char>(source.data));
    case image::tcString: case image::tcPChar: return std::string(StringAt(source.data));
    case image::tcWideString: return NarrowText(WideStringAt(source.data));
    case image::tcWideChar: return NarrowText(std::u16string(1, Load<char16_t>(source.data)));
    case image::tcVariant: return VariantToString(source.data);
    default: FailTypeMismatchConversion();
  }
}

std::u16string ConvertToWideString(ValueRef source) {
  switch (CodeOf(source)) {
    case image::tcChar: return WidenText(std::string_view(static_cast<const char*>(source.data), 1));
    case image::tcU16: case image::tcWideChar: return std::u16string(1, Load<char16_t>(source.data));
    case image::tcString: case image::tcPChar: return WidenText(StringAt(source.data));
    case image::tcWideString: return std::u16string(WideStringAt(source.data));
    case image::tcVariant: return VariantToWideString(source.data);
    default: FailTypeMismatchConversion();
  }
}

std::int64_t IntegerToCurrency(std::int64_t number) {
  constexpr std::int64_t kLimit = std::numeric_limits<std::int64_t>::max() / kCurrencyScale;
  if (number > kLimit || number < -kLimit) FailWith(image::ErMathError);
  return number * kCurrencyScale;
}

std::int64_t RealToCurrency(Extended number) {
  const std::optional<std::int64_t> scaled = RoundToInt64(number * kCurrencyScale);
  if (!scaled) FailWith(image::ErMathError);
  return *scaled;
}

void StoreReal(void* at, image::TPSTypeCode code, Extended number) {
  switch (code) {
    case image::tcSingle: Store(at, NarrowReal<float>(number)); break;
    case image::tcDouble: Store(at, NarrowReal<double>(number)); break;
    default: StoreExtended(at, number); break;
  }
}

void StoreAsVariant(void* at, ValueRef value) {
  std::uint8_t made[kVariantMemSize] = {};
  ValueToVariant(made, value);
  std::uint8_t old[kVariantMemSize];
  std::memcpy(old, at, kVariantMemSize);
  std::memcpy(at, made, kVariantMemSize);
  FinalizeVariant(old);
}

}  // namespace dravik::engine::values

#include "engine/values/assignment_conversion.h"

#include <limits>
#include <optional>

#include "engine/values/integer_kinds.h"
#include "engine/values/number_conversion.h"
#include "engine/values/script_fault.h"
#include "engine/values/variant.h"

namespace dravik::engine {

namespace {

inline constexpr std::int64_t kCurrencyScale = 10000;

TPSTypeCode CodeOf(ValueRef source) {
  if (source.data == nullptr || source.type == nullptr) FailTypeMismatchConversion();
  return source.type->baseType;
}

// The integer kinds and tcS64, extended by their own signedness.
std::optional<std::int64_t> IntegerOf(ValueRef source, TPSTypeCode code) {
  const std::optional<IntegerKind> kind = IntegerKindOf(code);
  if (!kind) return std::nullopt;
  return static_cast<std::int64_t>(LoadInteger(source.data, *kind));
}

std::optional<Extended> RealOf(ValueRef source, TPSTypeCode code) {
  switch (code) {
    case tcSingle: return Load<float>(source.data);
    case tcDouble: return Load<double>(source.data);
    case tcExtended: return LoadExtended(source.data);
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
  const TPSTypeCode code = CodeOf(source);
  if (const std::optional<std::int64_t> number = IntegerOf(source, code)) return *number;
  switch (code) {
    case tcChar: return Load<std::uint8_t>(source.data);
    case tcWideChar: return Load<std::uint16_t>(source.data);
    case tcVariant: return VariantToOrdinal(source.data);
    default: FailTypeMismatchConversion();
  }
}

std::int64_t ConvertToInt64(ValueRef source) {
  const TPSTypeCode code = CodeOf(source);
  if (const std::optional<std::int64_t> number = IntegerOf(source, code)) return *number;
  if (code == tcVariant) return VariantToInt64(source.data);
  FailTypeMismatchConversion();
}

Extended ConvertToReal(ValueRef source) {
  const TPSTypeCode code = CodeOf(source);
  if (const std::optional<std::int64_t> number = IntegerOf(source, code)) return static_cast<Extended>(*number);
  if (const std::optional<Extended> real = RealOf(source, code)) return *real;
  if (code == tcCurrency) return static_cast<Extended>(Load<std::int64_t>(source.data)) / kCurrencyScale;
  if (code == tcVariant) return VariantToReal(source.data);
  FailTypeMismatchConversion();
}

std::int64_t ConvertToCurrency(ValueRef source) {
  const TPSTypeCode code = CodeOf(source);
  if (code == tcCurrency) return Load<std::int64_t>(source.data);
  if (const std::optional<std::int64_t> number = IntegerOf(source, code)) return IntegerToCurrency(*number);
  if (const std::optional<Extended> real = RealOf(source, code)) return RealToCurrency(*real);
  FailTypeMismatchConversion();
}

std::string ConvertToString(ValueRef source) {
  switch (CodeOf(source)) {
    case tcChar: return std::string(1, Load<char>(source.data));
    case tcString: case tcPChar: return std::string(StringAt(source.data));
    case tcWideString: return NarrowText(WideStringAt(source.data));
    case tcWideChar: return NarrowText(std::u16string(1, Load<char16_t>(source.data)));
    case tcVariant: return VariantToString(source.data);
    default: FailTypeMismatchConversion();
  }
}

std::u16string ConvertToWideString(ValueRef source) {
  switch (CodeOf(source)) {
    case tcChar: return WidenText(std::string_view(static_cast<const char*>(source.data), 1));
    case tcU16: case tcWideChar: return std::u16string(1, Load<char16_t>(source.data));
    case tcString: case tcPChar: return WidenText(StringAt(source.data));
    case tcWideString: return std::u16string(WideStringAt(source.data));
    case tcVariant: return VariantToWideString(source.data);
    default: FailTypeMismatchConversion();
  }
}

std::int64_t IntegerToCurrency(std::int64_t number) {
  constexpr std::int64_t kLimit = std::numeric_limits<std::int64_t>::max() / kCurrencyScale;
  if (number > kLimit || number < -kLimit) FailWith(ErMathError);
  return number * kCurrencyScale;
}

std::int64_t RealToCurrency(Extended number) {
  const std::optional<std::int64_t> scaled = RoundToInt64(number * kCurrencyScale);
  if (!scaled) FailWith(ErMathError);
  return *scaled;
}

void StoreReal(void* at, TPSTypeCode code, Extended number) {
  switch (code) {
    case tcSingle: Store(at, NarrowReal<float>(number)); break;
    case tcDouble: Store(at, NarrowReal<double>(number)); break;
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

}  // namespace dravik::engine

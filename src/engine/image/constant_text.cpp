#include "engine/image/constant_text.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <utility>

namespace dravik::engine::image {

namespace {

constexpr std::uint32_t kFirstPlainCharacter = 32;
constexpr std::uint32_t kLastPlainCharacter = 126;
constexpr std::int64_t kCurrencyScale = 10000;

// Builds quoted text from character codes: runs of plain characters between quotes, the
// others as #n.
class QuotedBuilder {
 public:
  void Add(std::uint32_t code) {
    const bool plain = code >= kFirstPlainCharacter && code <= kLastPlainCharacter;
    if (plain != inQuotes_) text_ += '\'';
    inQuotes_ = plain;
    if (!plain) {
      text_ += '#' + std::to_string(code);
      return;
    }
    text_ += static_cast<char>(code);
    if (code == '\'') text_ += '\'';
  }

  std::string Finish() {
    if (inQuotes_ || text_.empty()) text_ += text_.empty() ? "''" : "'";
    return std::move(text_);
  }

 private:
  std::string text_;
  bool inQuotes_ = false;
};

std::uint64_t LittleEndianValue(std::string_view bytes) {
  std::uint64_t value = 0;
  for (std::size_t i = bytes.size(); i > 0; --i)
    value = (value << 8) | static_cast<unsigned char>(bytes[i - 1]);
  return value;
}

// Sign-extends the low width*8 bits.
std::int64_t SignedValue(std::string_view bytes) {
  const std::uint64_t raw = LittleEndianValue(bytes);
  const unsigned bits = static_cast<unsigned>(bytes.size() * 8);
  if (bits >= 64) return static_cast<std::int64_t>(raw);
  const std::uint64_t sign = std::uint64_t{1} << (bits - 1);
  return static_cast<std::int64_t>((raw ^ sign) - sign);
}

template <typename Real>
std::string RealText(Real value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  std::array<char, 64> buffer{};
  auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return std::string(buffer.data(), end);
}

// An 80-bit extended real: 64-bit mantissa with explicit integer bit, 15-bit exponent biased
// by 16383, sign in the top bit. Shown through double; values beyond double's range keep
// their bytes.
std::string ExtendedText(std::string_view bytes) {
  const std::uint64_t mantissa = LittleEndianValue(bytes.substr(0, 8));
  const std::uint64_t top = LittleEndianValue(bytes.substr(8, 2));
  const bool negative = (top & 0x8000) != 0;
  const int exponent = static_cast<int>(top & 0x7FFF);
  constexpr int kExponentBias = 16383;
  constexpr int kMantissaBits = 63;
  constexpr int kAllOnes = 0x7FFF;
  if (exponent == kAllOnes) {
    if ((mantissa << 1) != 0) return "nan";
    return negative ? "-inf" : "inf";
  }
  if (mantissa == 0) return negative ? "-0" : "0";
  const double magnitude =
      std::ldexp(static_cast<double>(mantissa), exponent - kExponentBias - kMantissaBits);
  if (std::isinf(magnitude) || magnitude == 0) {
    std::string hex = "ext$";
    for (std::size_t i = bytes.size(); i > 0; --i) {
      constexpr std::string_view kDigits = "0123456789ABCDEF";
      const auto byte = static_cast<unsigned char>(bytes[i - 1]);
      hex += kDigits[byte >> 4];
      hex += kDigits[byte & 15];
    }
    return hex;
  }
  return RealText(negative ? -magnitude : magnitude);
}

std::string CurrencyText(std::string_view bytes) {
  const std::int64_t scaled = SignedValue(bytes);
  const std::uint64_t magnitude =
      scaled < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
  std::string fraction = std::to_string(magnitude % kCurrencyScale);
  fraction.insert(0, 4 - fraction.size(), '0');
  std::string text = scaled < 0 ? "-" : "";
  text += std::to_string(magnitude / kCurrencyScale);
  text += '.';
  return text += fraction;
}

std::string WideText(std::string_view bytes) {
  QuotedBuilder builder;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
    builder.Add(static_cast<std::uint32_t>(LittleEndianValue(bytes.substr(i, 2))));
  return builder.Finish();
}

std::string SetText(std::string_view bytes) {
  std::string text = "[";
  for (std::size_t bit = 0; bit < bytes.size() * 8; ++bit) {
    if ((static_cast<unsigned char>(bytes[bit / 8]) >> (bit % 8) & 1) == 0) continue;
    if (text.size() > 1) text += ',';
    text += std::to_string(bit);
  }
  return text + "]";
}

std::string CharText(std::uint32_t code) {
  QuotedBuilder builder;
  builder.Add(code);
  return builder.Finish();
}

}  // namespace

std::string NumberedText(char table, std::uint64_t number) {
  std::string text(1, table);
  return text += std::to_string(number);
}

std::string QuotedText(std::string_view bytes) {
  QuotedBuilder builder;
  for (unsigned char byte : bytes) builder.Add(byte);
  return builder.Finish();
}

std::string ConstantText(const ImageConstant& constant) {
  const std::string_view bytes = constant.bytes;
  switch (constant.baseType) {
    case tcU8: case tcU16: case tcU32:
      return std::to_string(LittleEndianValue(bytes));
    case tcS8: case tcS16: case tcS32: case tcS64:
      return std::to_string(SignedValue(bytes));
    case tcChar: case tcWideChar:
      return CharText(static_cast<std::uint32_t>(LittleEndianValue(bytes)));
    case tcSingle:
      return RealText(std::bit_cast<float>(static_cast<std::uint32_t>(LittleEndianValue(bytes))));
    case tcDouble:
      return RealText(std::bit_cast<double>(LittleEndianValue(bytes)));
    case tcExtended: return ExtendedText(bytes);
    case tcCurrency: return CurrencyText(bytes);
    case tcString: case tcPChar: return QuotedText(bytes.substr(4));
    case tcWideString: return WideText(bytes.substr(4));
    case tcSet: return SetText(bytes);
    case tcProcPtr: return NumberedText('R', LittleEndianValue(bytes));
    default: return "?";
  }
}

}  // namespace dravik::engine::image

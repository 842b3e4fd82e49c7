#include "core/main_window/image_number_field.h"

#include <algorithm>
#include <charconv>

namespace dravik::core {

int ImageNumberField::Value() const {
  int value = kMinimum;
  const char* first = text.data();
  const char* last = first + text.size();
  if (first != last && *first == '+') ++first;  // a leading plus is part of a decimal number
  const auto [end, error] = std::from_chars(first, last, value);
  return error == std::errc() && end == last && first != last ? value : kMinimum;
}

void ImageNumberField::Step(int delta) { text = std::to_string(std::clamp(Value() + delta, kMinimum, kMaximum)); }

void ImageNumberField::ApplyRange() { text = std::to_string(std::clamp(Value(), kMinimum, kMaximum)); }

}  // namespace dravik::core

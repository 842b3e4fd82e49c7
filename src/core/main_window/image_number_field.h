#pragma once
// The mount panel's image number: an integer field whose text the user may type freely; the range
// is applied by stepping and when the field is left, not when its value is read.

#include <string>

namespace dravik::core {

class ImageNumberField {
 public:
  static constexpr int kMinimum = 0;
  static constexpr int kMaximum = 3;

  // The text read as a decimal integer; the minimum when it is not one.
  int Value() const;
  // One step up (+1) or down (-1) from Value(), kept within the range.
  void Step(int delta);
  // Brings a typed value back into the range (the field is being left).
  void ApplyRange();

  std::string text = "0";
};

}  // namespace dravik::core

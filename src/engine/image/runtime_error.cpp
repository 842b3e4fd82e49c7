#include "engine/image/runtime_error.h"

namespace dravik::engine::image {

namespace {

constexpr bool CodesMatchPositions() {
  for (std::size_t i = 0; i < kRuntimeErrors.size(); ++i)
    if (kRuntimeErrors[i].code != i) return false;
  return true;
}
static_assert(CodesMatchPositions(), "runtime errors must be listed in code order without gaps");

// A name handed over by the loader may carry bytes of a declaration after it; the message
// shows the readable part only.
std::string_view CutAtControl(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i)
    if (static_cast<unsigned char>(text[i]) < 32) return text.substr(0, i);
  return text;
}

}  // namespace

std::string ErrorToText(std::uint8_t code, std::string_view parameter) {
  const std::uint8_t masked = code & kErrorCodeMask;
  if (masked >= kRuntimeErrors.size()) return std::string(kUnknownErrorText);
  const RuntimeErrorInfo& info = kRuntimeErrors[masked];
  std::string text(info.text);
  switch (info.parameter) {
    case ErrorParameter::kIgnored: break;
    case ErrorParameter::kCutAtControl: text += CutAtControl(parameter); break;
    case ErrorParameter::kAppended: text += parameter; break;
    case ErrorParameter::kWhole: text = parameter; break;
  }
  return text;
}

}  // namespace dravik::engine::image

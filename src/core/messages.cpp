#include "core/messages.h"

namespace dravik::core {

std::string FailedToSetData(std::string_view valueName) {
  return "Failed to set data for '" + std::string(valueName) + "'";
}

std::string InvalidDataType(std::string_view valueName) {
  return "Invalid data type for '" + std::string(valueName) + "'";
}

std::string CannotOpenFile(std::string_view path, std::string_view reason) {
  return "Cannot open file \"" + std::string(path) + "\". " + std::string(reason);
}

std::string InputOutputError(std::uint32_t systemError) { return "I/O error " + std::to_string(systemError); }

}  // namespace dravik::core

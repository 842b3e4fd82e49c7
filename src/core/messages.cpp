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

std::string CannotStart(std::string_view file, std::string_view reason) {
  return "Cannot start \"" + std::string(file) + "\". " + std::string(reason);
}

std::string ForbiddenInExtension(std::string_view extension) {
  return "Cannot add \"" + std::string(extension) +
         "\": an extension cannot hold control characters nor any of \\ / : * ? \" < > |";
}

std::string ErrorWhileRunning(std::string_view scriptPath, std::optional<engine::SourcePlace> place,
                              std::string_view error) {
  std::string text = "Error while running script \"" + std::string(scriptPath) + "\"\r\n[Runtime Error]";
  if (place) text += " (" + std::to_string(place->line) + ":" + std::to_string(place->column) + ")";
  return text + ": " + std::string(error);
}

std::string ScriptStillRunning(std::string_view scriptPath) {
  return "The script \"" + std::string(scriptPath) + "\" is still running.";
}

}  // namespace dravik::core

#include "core/paths.h"

namespace dravik::core {

std::string_view FolderPart(std::string_view path) {
  const std::size_t separator = path.find_last_of("\\:");
  return separator == std::string_view::npos ? std::string_view{} : path.substr(0, separator + 1);
}

std::string ProgramFolderFile(Files& files, std::string_view name) {
  std::string folder(FolderPart(files.ProgramPath()));
  if (folder.empty() || folder.back() != '\\') folder += '\\';
  return folder + std::string(name);
}

std::string Quoted(std::string_view text) { return '"' + std::string(text) + '"'; }

std::string_view Unquoted(std::string_view text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') return text.substr(1, text.size() - 2);
  return text;
}

std::string Trimmed(std::string_view text) {
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return std::string(text);
}

}  // namespace dravik::core

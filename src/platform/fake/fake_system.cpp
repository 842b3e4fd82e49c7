#include "platform/fake/fake_system.h"

#include "engine/engine.h"

namespace dravik::platform {

namespace {

// The reason the system gives for a file that is not there.
constexpr std::string_view kFileNotFound = "The system cannot find the file specified";

std::string PathKey(std::string_view path) { return engine::AsciiUpperCase(path); }

}  // namespace

core::ShellStart FakeShell::Execute(std::string_view file, std::string_view parameters, std::string_view folder) {
  if (const auto refusal = refused_.find(std::string(file)); refusal != refused_.end()) return {false, refusal->second};
  starts.push_back({std::string(file), std::string(parameters), std::string(folder)});
  return {};
}

bool FakeFiles::FileExists(std::string_view path) { return files_.contains(PathKey(path)); }

core::TextFileRead FakeFiles::ReadText(std::string_view path) {
  const std::string key = PathKey(path);
  if (const auto reason = unreadable_.find(key); reason != unreadable_.end()) return {false, {}, reason->second};
  const auto file = files_.find(key);
  if (file == files_.end()) return {false, {}, std::string(kFileNotFound)};
  return {true, file->second, {}};
}

std::uint32_t FakeFiles::WriteLines(std::string_view path, const std::vector<std::string>& lines) {
  const std::string key = PathKey(path);
  if (const auto refusal = unwritable_.find(key); refusal != unwritable_.end()) return refusal->second;
  std::string& text = files_[key];
  text.clear();
  for (const std::string& line : lines) text += line + "\r\n";
  return 0;
}

void FakeFiles::Put(std::string_view path, std::string text) { files_[PathKey(path)] = std::move(text); }

std::string FakeFiles::Content(std::string_view path) const {
  const auto file = files_.find(PathKey(path));
  return file == files_.end() ? std::string() : file->second;
}

void FakeFiles::MakeUnreadable(std::string_view path, std::string reason) { unreadable_[PathKey(path)] = std::move(reason); }

void FakeFiles::RefuseWrites(std::string_view path, std::uint32_t systemError) { unwritable_[PathKey(path)] = systemError; }

void FakeMessageBoxes::ShowError(std::string_view caption, std::string_view text) {
  shown.push_back({std::string(caption), std::string(text)});
}

void FakeApplication::ProcessMessages() {
  ++processCalls;
  if (onMessages) onMessages();
}

void FakeApplication::WaitForMessage(std::uint32_t milliseconds) { clock_.ticks += milliseconds; }

}  // namespace dravik::platform

#pragma once
// In-memory shell, files, clock, message boxes and message loop, bundled with a fake registry
// into the Platform the application core runs on in the native tests. Each records what the core
// asked of it, so tests can compare whole texts.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/platform.h"
#include "platform/fake/fake_registry.h"
#include "platform/fake/fake_version_records.h"

namespace dravik::platform {

class FakeShell final : public core::Shell {
 public:
  struct Start {
    std::string file, parameters, folder;
    bool operator==(const Start&) const = default;
  };
  // Records the start, unless file is one of the refused ones.
  core::ShellStart Execute(std::string_view file, std::string_view parameters, std::string_view folder) override;
  void Open(std::string_view target) override { opened.emplace_back(target); }
  void NotifyAssociationsChanged() override { ++associationNotices; }
  // Starts of file fail with reason from now on.
  void RefuseStarts(std::string_view file, std::string reason) { refused_[std::string(file)] = std::move(reason); }
  std::vector<Start> starts;
  std::vector<std::string> opened;
  int associationNotices = 0;

 private:
  std::map<std::string, std::string> refused_;
};

// Paths compare without regard to ASCII case, as on the real system.
class FakeFiles final : public core::Files {
 public:
  bool FileExists(std::string_view path) override;
  core::TextFileRead ReadText(std::string_view path) override;
  std::uint32_t WriteLines(std::string_view path, const std::vector<std::string>& lines) override;
  std::string ProgramPath() override { return programPath; }

  void Put(std::string_view path, std::string text);
  // The file's bytes; empty when there is none.
  std::string Content(std::string_view path) const;
  // Reads of path fail with reason; writes to it fail with the system error number.
  void MakeUnreadable(std::string_view path, std::string reason);
  void RefuseWrites(std::string_view path, std::uint32_t systemError);

  std::string programPath = "C:\\Program Files\\Dravik\\dravik.exe";

 private:
  std::map<std::string, std::string> files_;  // by upper-cased path
  std::map<std::string, std::string> unreadable_;
  std::map<std::string, std::uint32_t> unwritable_;
};

class FakeClock final : public core::Clock {
 public:
  std::uint32_t TickCount() override { return ticks; }
  core::LocalTime Now() override { return now; }
  char DecimalSeparator() override { return separator; }

  std::uint32_t ticks = 0;
  core::LocalTime now{2006, 1, 2, 18, 0, 0, 0};
  char separator = '.';
};

class FakeMessageBoxes final : public core::MessageBoxes {
 public:
  struct Box {
    std::string caption, text;
    bool operator==(const Box&) const = default;
    // How a test failure shows a box.
    friend void PrintTo(const Box& box, std::ostream* out) {
      *out << "{\"" << box.caption << "\", \"" << box.text << "\"}";
    }
  };
  void ShowError(std::string_view caption, std::string_view text) override;
  std::vector<Box> shown;
};

// Time passes only while the core waits for messages: each wait moves the clock on by what was
// asked. onMessages runs as the handlers of pending messages would.
class FakeApplication final : public core::Application {
 public:
  explicit FakeApplication(FakeClock& clock) : clock_(clock) {}
  void ProcessMessages() override;
  void WaitForMessage(std::uint32_t milliseconds) override;
  void Wake() override { ++wakes; }
  void Terminate() override { ++terminations; }
  void CloseMainWindow() override { ++closeRequests; }

  std::function<void()> onMessages;
  int processCalls = 0;
  std::atomic<int> wakes = 0;  // Wake may come from another thread
  int terminations = 0;
  int closeRequests = 0;

 private:
  FakeClock& clock_;
};

struct FakePlatform {
  FakeRegistry registry;
  FakeShell shell;
  FakeFiles files;
  FakeClock clock;
  FakeMessageBoxes messageBoxes;
  FakeApplication application{clock};
  FakeVersionRecords versionRecords;
  core::Platform platform{registry, shell, files, clock, messageBoxes, application, versionRecords, {}};
};

}  // namespace dravik::platform

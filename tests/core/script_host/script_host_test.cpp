// The mount script as a mount runs it: the host routines it reaches, how compile and runtime
// errors end it, and mounts nested inside it.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "core/main_window/main_window.h"
#include "core/mount/mounter.h"
#include "core/script_host/script_host.h"
#include "platform/fake/fake_system.h"

namespace dravik::core {
namespace {

using Box = platform::FakeMessageBoxes::Box;
using Start = platform::FakeShell::Start;

constexpr std::string_view kHost = "C:\\Tools\\daemon.exe";
constexpr std::string_view kLog = "C:\\Program Files\\Dravik\\dravik.log";
constexpr std::string_view kMountScript = "C:\\Program Files\\Dravik\\scripts\\mount.dk2";

// The host application's start for image, as MountFile makes it.
Start HostStart(std::string_view folder, std::string_view name, int drive) {
  return {"\"C:\\Tools\\daemon.exe\"",
          " -mount " + std::to_string(drive) + ",\"" + std::string(folder) + std::string(name) + "\"",
          std::string(folder)};
}

// The messages the compiler gives for text, one per line, as the error box lists them.
std::string CompilerMessageLines(std::string_view text) {
  const engine::CompileResult compilation = CompileWithHostRoutines(text);
  EXPECT_FALSE(compilation.ok);
  std::string lines;
  for (const std::string& message : compilation.messages) lines += message + "\r\n";
  return lines;
}

class ScriptHostTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(fake.registry.OpenKeyCount(), 0u); }

  // Mounts D:\Images\a.iso with the mount script text.
  void MountWithScript(std::string text) {
    fake.files.Put(kMountScript, std::move(text));
    mounter.MountFile("D:\\Images\\a.iso", 1);
  }

  platform::FakePlatform fake;
  std::string argumentFile = "D:\\Images\\a.iso", host{kHost};
  Mounter mounter{fake.platform, argumentFile, host};
};

TEST_F(ScriptHostTest, TheMountScriptReachesTheHostRoutines) {
  MountWithScript(
      "begin\r\n"
      "  ExecuteFile(getMountedFile, CutExt(getMountedFile), '');\r\n"
      "  ExecuteFile('{SCRIPTFILEPATH}\\tool.exe', '{powerdvdpath}', '{scriptfilepath}');\r\n"
      "end.\r\n");
  EXPECT_EQ(fake.shell.starts, (std::vector<Start>{HostStart("D:\\Images\\", "a.iso", 1),
                                                   {"D:\\Images\\a.iso", "ISO", ""},
                                                   {"D:\\Images\\tool.exe", "\\", "D:\\Images"}}));
  EXPECT_TRUE(fake.messageBoxes.shown.empty());
}

TEST_F(ScriptHostTest, LineEndsOfAnyKindCompile) {
  MountWithScript("begin\rExecuteFile('cr', '', '');\nExecuteFile('lf', '', '')\r\nend.");
  ASSERT_EQ(fake.shell.starts.size(), 3u);
  EXPECT_EQ(fake.shell.starts[2].file, "lf");
}

TEST_F(ScriptHostTest, ACompileErrorIsShownAfterTheMountWasRequested) {
  const std::string text = "begin\r\n  Unknown := 1;\r\nend.\r\n";
  MountWithScript(text);
  const std::string lines = CompilerMessageLines(text);
  EXPECT_FALSE(lines.empty());
  EXPECT_EQ(fake.messageBoxes.shown, (std::vector<Box>{{"Error", "Error while compiling script\r\n" + lines}}));
  EXPECT_EQ(fake.shell.starts, std::vector<Start>{HostStart("D:\\Images\\", "a.iso", 1)});
  EXPECT_NE(fake.files.Content(kLog), "");
}

TEST_F(ScriptHostTest, OnlyTheSystemUnitMayBeUsed) {
  const std::string text = "uses Extras;\r\nbegin ExecuteFile('ran', '', ''); end.\r\n";
  MountWithScript(text);
  EXPECT_EQ(fake.messageBoxes.shown,
            (std::vector<Box>{{"Error", "Error while compiling script\r\n" + CompilerMessageLines(text)}}));
  EXPECT_EQ(fake.shell.starts.size(), 1u);
}

// The box names the script, the error and the statement's line and column, in the main block
// and in a routine; the script ends there.
TEST_F(ScriptHostTest, ARuntimeErrorIsShownWithItsPlace) {
  MountWithScript("var z: Integer;\r\nbegin\r\n  z := 0;\r\n  z := 1 div z; ExecuteFile('after', '', '');\r\nend.\r\n");
  MountWithScript(
      "type T = array of Int64;\r\n"
      "procedure Grow(var a: T);\r\n"
      "begin\r\n"
      "  ExecuteFile('grow', '', '');\r\n"
      "    SetArrayLength(a, 100000000);\r\n"
      "end;\r\n"
      "var a: T;\r\n"
      "begin Grow(a); end.\r\n");
  const std::string error = "Error while running script \"C:\\Program Files\\Dravik\\scripts\\mount.dk2\"\r\n";
  EXPECT_EQ(fake.messageBoxes.shown, (std::vector<Box>{{"Error", error + "[Runtime Error] (4:3): divide by Zero"},
                                                       {"Error", error + "[Runtime Error] (5:5): Out Of Memory"}}));
  EXPECT_EQ(fake.shell.starts, (std::vector<Start>{HostStart("D:\\Images\\", "a.iso", 1),
                                                   HostStart("D:\\Images\\", "a.iso", 1),
                                                   {"grow", "", ""}}));
}

TEST_F(ScriptHostTest, AMountScriptThatMountsDoesNotRunItselfAgain) {
  MountWithScript(
      "begin\r\n"
      "  ExecuteFile('script', getMountedFile, '');\r\n"
      "  MountFile('E:\\b.iso', 2);\r\n"
      "  ExecuteFile('after', getMountedFile, '');\r\n"
      "end.\r\n");
  EXPECT_EQ(fake.shell.starts, (std::vector<Start>{HostStart("D:\\Images\\", "a.iso", 1),
                                                   {"script", "D:\\Images\\a.iso", ""},
                                                   HostStart("E:\\", "b.iso", 2),
                                                   {"after", "E:\\b.iso", ""}}));
  EXPECT_NE(fake.files.Content(kLog).find(">>Mounting>>\"C:\\Tools\\daemon.exe\" -mount 2,\"E:\\b.iso\"\r\n"),
            std::string::npos);
  // The next mount runs the script again: the guard was lifted when it ended.
  fake.shell.starts.clear();
  mounter.MountFile("D:\\c.iso", 0);
  EXPECT_EQ(fake.shell.starts.size(), 4u);
}

// A host routine that fails is the script's runtime error, at the statement that called it.
TEST_F(ScriptHostTest, AFailingHostRoutineIsTheScriptsError) {
  fake.application.onMessages = [&] { fake.files.RefuseWrites(kLog, 5); };
  MountWithScript("begin\r\n  Wait(1);\r\n  MountFile('E:\\b.iso', 2); ExecuteFile('after', '', '');\r\nend.");
  EXPECT_EQ(fake.messageBoxes.shown,
            (std::vector<Box>{{"Error", "Error while running script \"C:\\Program Files\\Dravik\\scripts\\mount.dk2\"\r\n"
                                        "[Runtime Error] (3:3): Exception: I/O error 5"}}));
  EXPECT_EQ(fake.shell.starts, std::vector<Start>{HostStart("D:\\Images\\", "a.iso", 1)});
  EXPECT_EQ(mounter.MountedFile(), "D:\\Images\\a.iso");
}

// A program the script starts that cannot be started fails the script with the system's reason.
TEST_F(ScriptHostTest, AFailedStartIsTheScriptsError) {
  fake.shell.RefuseStarts("\"D:\\Tools\\broken.exe\"", "%1 is not a valid Win32 application.");
  MountWithScript("begin ExecuteFile('\"D:\\Tools\\broken.exe\"', '', ''); ExecuteFile('after', '', ''); end.");
  EXPECT_EQ(fake.messageBoxes.shown,
            (std::vector<Box>{{"Error", "Error while running script \"C:\\Program Files\\Dravik\\scripts\\mount.dk2\"\r\n"
                                        "[Runtime Error] (1:7): Exception: Cannot start \"D:\\Tools\\broken.exe\". "
                                        "%1 is not a valid Win32 application."}}));
  EXPECT_EQ(fake.shell.starts, std::vector<Start>{HostStart("D:\\Images\\", "a.iso", 1)});
}

// Enter pressed while the mount script waits: the nested mount runs to its end before the script
// goes on. Its own mount script is not started again while the outer one still runs.
TEST_F(ScriptHostTest, AMountFromAHandlerDuringWaitRunsNested) {
  fake.registry.Set(RegistryRoot::LocalMachine, "Software\\Varnholt\\Dravik", "", RegistryValue::String(host));
  fake.files.Put(kHost, "");
  fake.files.Put("D:\\Images\\a.iso", "");
  fake.files.Put(kMountScript, "begin ExecuteFile('script', '', ''); Wait(100); ExecuteFile('after', '', ''); end.");
  TForm1 form(fake.platform);
  form.FormCreate({"D:\\Images\\a.iso"});
  form.State().imageNumber.text = "2";
  fake.application.onMessages = [&] {
    fake.application.onMessages = nullptr;
    form.FormKeyDown(kKeyEnter);
  };
  form.FormKeyDown(kKeyEnter);
  // The user's mount runs its own mount script inside the waiting one.
  EXPECT_EQ(fake.shell.starts, (std::vector<Start>{HostStart("D:\\Images\\", "a.iso", 2),
                                                   {"script", "", ""},
                                                   HostStart("D:\\Images\\", "a.iso", 2),
                                                   {"script", "", ""},
                                                   {"after", "", ""},
                                                   {"after", "", ""}}));
  EXPECT_EQ(fake.application.terminations, 2);
  EXPECT_TRUE(fake.messageBoxes.shown.empty());
}

// The user's Stop comes from another thread while a script keeps the window thread busy: the
// script ends at once and silently, and so does the script it was started by; script mode ends
// as after a failed script.
TEST_F(ScriptHostTest, StopEndsEveryRunningScriptSilently) {
  fake.registry.Set(RegistryRoot::LocalMachine, "Software\\Varnholt\\Dravik", "", RegistryValue::String(host));
  fake.files.Put(kMountScript, "begin while True do ; end.");
  fake.files.Put("D:\\run.dk2", "begin MountFile('D:\\a.iso', 0); ExecuteFile('after', '', ''); end.");
  TForm1 form(fake.platform);
  std::thread user([&] {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!form.Scripts().BusyScript() || form.Scripts().BusyScript()->scriptPath != kMountScript) {
      if (std::chrono::steady_clock::now() > giveUp) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    form.Scripts().StopAll();
  });
  form.FormCreate({"D:\\run.dk2"});
  user.join();
  EXPECT_TRUE(fake.messageBoxes.shown.empty());
  EXPECT_EQ(fake.shell.starts, std::vector<Start>{HostStart("D:\\", "a.iso", 0)});
  EXPECT_EQ(form.ExitStatus(), kScriptFailedExitStatus);
  EXPECT_EQ(fake.application.terminations, 1);
  EXPECT_FALSE(form.Scripts().StopRequested());
}

// Escape or "X" while the mount script waits: the window's closing ends the script, which does
// not wait on, and the program ends as after any mount.
TEST_F(ScriptHostTest, ClosingTheWindowEndsAWaitingScript) {
  fake.registry.Set(RegistryRoot::LocalMachine, "Software\\Varnholt\\Dravik", "", RegistryValue::String(host));
  fake.files.Put(kHost, "");
  fake.files.Put("D:\\Images\\a.iso", "");
  fake.files.Put(kMountScript, "begin while True do Wait(100); end.");
  TForm1 form(fake.platform);
  form.FormCreate({"D:\\Images\\a.iso"});
  fake.application.onMessages = [&] {
    if (fake.application.processCalls == 3) form.FormClose();
  };
  form.FormKeyDown(kKeyEnter);
  EXPECT_EQ(fake.application.processCalls, 3);
  EXPECT_TRUE(fake.messageBoxes.shown.empty());
  EXPECT_EQ(fake.application.terminations, 1);
  EXPECT_TRUE(fake.registry.Get(RegistryRoot::LocalMachine, "Software\\Varnholt\\Dravik", "OneDrive"));  // closed
}

}  // namespace
}  // namespace dravik::core

// The mount script as a mount runs it: the host routines it reaches, how compile and runtime
// errors end it, and mounts nested inside it.

#include <gtest/gtest.h>

#include "core/main_window/main_window.h"
#include "core/mount/mounter.h"
#include "core/script_host/script_host.h"
#include "engine/compiler/compiler.h"
#include "engine/compiler/messages.h"
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
  engine::TPSPascalCompiler compiler;
  compiler.OnUses = DeclareHostRoutines;
  EXPECT_FALSE(compiler.Compile(text));
  std::string lines;
  for (std::size_t i = 0; i < compiler.MessageCount(); ++i) lines += compiler.Message(i).FullText() + "\r\n";
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

TEST_F(ScriptHostTest, ARuntimeErrorEndsTheScriptSilently) {
  MountWithScript("var z: Integer;\r\nbegin z := 1 div z; ExecuteFile('after', '', ''); end.\r\n");
  EXPECT_TRUE(fake.messageBoxes.shown.empty());
  EXPECT_EQ(fake.shell.starts.size(), 1u);
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

TEST_F(ScriptHostTest, AFailingHostRoutineEndsTheScriptSilently) {
  fake.application.onMessages = [&] { fake.files.RefuseWrites(kLog, 5); };
  MountWithScript("begin Wait(1); MountFile('E:\\b.iso', 2); ExecuteFile('after', '', ''); end.");
  EXPECT_TRUE(fake.messageBoxes.shown.empty());
  EXPECT_EQ(fake.shell.starts, std::vector<Start>{HostStart("D:\\Images\\", "a.iso", 1)});
  EXPECT_EQ(mounter.MountedFile(), "D:\\Images\\a.iso");
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

}  // namespace
}  // namespace dravik::core

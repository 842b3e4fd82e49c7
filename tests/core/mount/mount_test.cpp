// The mount request: placeholders, the log's exact bytes, the host application's command line,
// the mount action's checks and failures, and waiting while messages are handled.

#include <gtest/gtest.h>

#include "core/messages.h"
#include "core/main_window/main_window.h"
#include "core/mount/mount_log.h"
#include "core/mount/mounter.h"
#include "core/mount/placeholders.h"
#include "core/paths.h"
#include "platform/fake/fake_system.h"

namespace dravik::core {
namespace {

using Box = platform::FakeMessageBoxes::Box;
using Start = platform::FakeShell::Start;

constexpr RegistryRoot kMachine = RegistryRoot::LocalMachine;
constexpr std::string_view kHost = "C:\\Tools\\daemon.exe";
constexpr std::string_view kLog = "C:\\Program Files\\Dravik\\dravik.log";
constexpr std::string_view kMountScript = "C:\\Program Files\\Dravik\\scripts\\mount.dk2";
constexpr std::string_view kLogHeader =
    "Only the last file mounted will be listed here. If you experience any problems send this file to "
    "support@varnholt.example\r\n";

class MountTest : public ::testing::Test {
 protected:
  MountTest() { fake.files.Put(kMountScript, "begin end."); }
  void TearDown() override { EXPECT_EQ(fake.registry.OpenKeyCount(), 0u); }

  // A window in mount mode for argument, with the host application stored and present.
  TForm1& MountWindow(std::string argument) {
    fake.registry.Set(kMachine, "Software\\Varnholt\\Dravik", "", RegistryValue::String(std::string(kHost)));
    fake.files.Put(kHost, "");
    form.FormCreate({std::move(argument)});
    return form;
  }

  platform::FakePlatform fake;
  std::string argumentFile, host{kHost};
  Mounter mounter{fake.platform, argumentFile, host};
  TForm1 form{fake.platform};
};

TEST_F(MountTest, PlaceholdersAreFoundInAnyCaseAndInsertedOnce) {
  std::string text = "{ScriptFilePath}\\x {SCRIPTFILEPATH}{scriptfilepath";
  ReplacePlaceholder(text, "{scriptfilepath}", "[{scriptFilePath}]");
  EXPECT_EQ(text, "[{scriptFilePath}]\\x [{scriptFilePath}]{scriptfilepath");
  EXPECT_EQ(ScriptFilePath("D:\\Images\\a.iso"), "D:\\Images");
  EXPECT_EQ(ScriptFilePath("C:\\a.iso"), "C:");
  EXPECT_EQ(ScriptFilePath("C:a.iso"), "C:");
  EXPECT_EQ(ScriptFilePath("a.iso"), "");
  EXPECT_EQ(ScriptFilePath(""), "");
}

TEST_F(MountTest, ThePlayerFolderEndsInOneBackslashAndItsKeyIsNeverMade) {
  EXPECT_EQ(GetNamedPath(fake.registry, "powerdvdpath"), "\\");
  EXPECT_EQ(GetNamedPath(fake.registry, "other"), "");
  std::string text = "{PowerDVDPath}player.exe {scriptfilepath}";
  ExpandPlaceholders(text, "D:\\Images\\a.iso", fake.registry);
  EXPECT_EQ(text, "\\player.exe D:\\Images");
  EXPECT_FALSE(fake.registry.HasKey(kMachine, "SOFTWARE\\CyberLink\\PowerDVD"));

  fake.registry.Set(kMachine, "SOFTWARE\\CyberLink\\PowerDVD", "InstallDir", RegistryValue::String("C:\\DVD"));
  EXPECT_EQ(GetNamedPath(fake.registry, "PowerDvdPath"), "C:\\DVD\\");
  fake.registry.Set(kMachine, "SOFTWARE\\CyberLink\\PowerDVD", "InstallDir", RegistryValue::String("C:\\DVD\\"));
  EXPECT_EQ(GetNamedPath(fake.registry, "powerdvdpath"), "C:\\DVD\\");
  // The player's own setting in another type must not stop every mount.
  fake.registry.Set(kMachine, "SOFTWARE\\CyberLink\\PowerDVD", "InstallDir", RegistryValue::Integer(1));
  EXPECT_EQ(GetNamedPath(fake.registry, "powerdvdpath"), "\\");
}

TEST_F(MountTest, TheDayCountIsShortestWithTheUsersSeparator) {
  EXPECT_EQ(DayCount({2006, 1, 2, 18, 0, 0, 0}), 38719.75);
  EXPECT_EQ(DayCount({1900, 3, 1, 0, 0, 0, 0}), 61.0);
  EXPECT_EQ(DayCount({1899, 12, 29, 12, 0, 0, 0}), -1.5);  // before the epoch the time counts away from it
  EXPECT_EQ(FormatDayCount(38719.75, ','), "38719,75");
  EXPECT_EQ(FormatDayCount(38719.0, ','), "38719");
  EXPECT_EQ(FormatDayCount(DayCount({2006, 1, 2, 18, 0, 0, 1}), '.'), "38719.7500000116");
  EXPECT_EQ(FormatDayCount(DayCount({2026, 12, 8, 9, 7, 3, 123}), '.'), "46364.3798972569");
}

TEST_F(MountTest, TheLogHoldsTheHeaderAndOneStampedEntry) {
  fake.clock.separator = ',';
  WriteMountLog(fake.files, fake.clock, "entry");
  EXPECT_EQ(fake.files.Content(kLog), std::string(kLogHeader) + "38719,75>>entry\r\n");
}

TEST_F(MountTest, MountFileLogsAndStartsTheHostWithTheQuotedImage) {
  mounter.MountFile("D:\\My Images\\a.iso", 2);
  EXPECT_EQ(fake.files.Content(kLog),
            std::string(kLogHeader) + "38719.75>>Mounting>>\"C:\\Tools\\daemon.exe\" -mount 2,\"D:\\My Images\\a.iso\"\r\n");
  EXPECT_EQ(fake.shell.starts,
            (std::vector<Start>{{"\"C:\\Tools\\daemon.exe\"", " -mount 2,\"D:\\My Images\\a.iso\"", "D:\\My Images\\"}}));
  EXPECT_EQ(mounter.MountedFile(), "D:\\My Images\\a.iso");
}

TEST_F(MountTest, TheImageIsMountedTrimmedButRememberedAsGiven) {
  argumentFile = "E:\\Set\\x.cue";
  mounter.MountFile(" \t{scriptfilepath}\\b.iso ", 0);
  EXPECT_EQ(fake.shell.starts.at(0).parameters, " -mount 0,\"E:\\Set\\b.iso\"");
  EXPECT_EQ(fake.shell.starts.at(0).folder, "E:\\Set\\");
  EXPECT_EQ(mounter.MountedFile(), " \tE:\\Set\\b.iso ");
}

TEST_F(MountTest, TheActionChecksTheHostFirstThenTheFile) {
  mounter.MountAction(0);
  fake.files.Put(kHost, "");
  mounter.MountAction(0);
  EXPECT_EQ(fake.messageBoxes.shown, (std::vector<Box>{{"Error", "Cannot find Daemon Tools"}, {"Error", "Cannot find file"}}));
  EXPECT_EQ(fake.files.Content(kLog), "");
  EXPECT_TRUE(fake.shell.starts.empty());
  EXPECT_EQ(fake.application.terminations, 0);

  argumentFile = "D:\\a.iso";
  fake.files.Put(argumentFile, "");
  mounter.MountAction(3);
  EXPECT_EQ(fake.shell.starts.size(), 1u);
  EXPECT_EQ(fake.application.terminations, 1);
}

TEST_F(MountTest, ARefusedLogStopsTheMountBeforeAnythingStarts) {
  fake.files.Put(kMountScript, "begin ExecuteFile('script', '', ''); end.");
  fake.files.RefuseWrites(kLog, 5);
  fake.files.Put("D:\\a.iso", "");
  MountWindow("D:\\a.iso").FormKeyDown(kKeyEnter);
  EXPECT_EQ(fake.messageBoxes.shown, (std::vector<Box>{{"Dravik2", "I/O error 5"}}));
  EXPECT_TRUE(fake.shell.starts.empty());
  EXPECT_EQ(form.MountRequests().MountedFile(), "");
  EXPECT_EQ(fake.application.terminations, 0);
}

// A host application that cannot be started, from the window or at once: the log has been
// written first, the failure is shown with the system's reason, the mount script does not run
// and the window stays.
TEST_F(MountTest, AHostThatCannotStartIsShownAfterTheLog) {
  fake.files.Put(kMountScript, "begin ExecuteFile('script', '', ''); end.");
  fake.shell.RefuseStarts(Quoted(kHost), "The file is no program.");
  fake.files.Put("D:\\a.iso", "");
  MountWindow("D:\\a.iso").FormKeyDown(kKeyEnter);
  fake.registry.Set(kMachine, "Software\\Varnholt\\Dravik", "OneDrive", RegistryValue::Integer(1));
  TForm1 atOnce(fake.platform);
  atOnce.FormCreate({"D:\\a.iso"});
  const Box failure{"Dravik2", "Cannot start " + Quoted(kHost) + ". The file is no program."};
  EXPECT_EQ(fake.messageBoxes.shown, (std::vector<Box>{failure, failure}));
  EXPECT_EQ(fake.files.Content(kLog),
            std::string(kLogHeader) + "38719.75>>Mounting>>" + Quoted(kHost) + " -mount 0,\"D:\\a.iso\"\r\n");
  EXPECT_TRUE(fake.shell.starts.empty());
  EXPECT_EQ(form.MountRequests().MountedFile(), "");
  EXPECT_EQ(fake.application.terminations, 0);
}

TEST_F(MountTest, AMissingMountScriptIsShownAfterTheHostStarted) {
  fake.files.MakeUnreadable(kMountScript, "Access is denied");
  fake.files.Put("D:\\a.iso", "");
  MountWindow("D:\\a.iso").FormKeyDown(kKeyEnter);
  EXPECT_EQ(fake.messageBoxes.shown,
            (std::vector<Box>{{"Dravik2", "Cannot open file \"C:\\Program Files\\Dravik\\scripts\\mount.dk2\". Access is denied"}}));
  EXPECT_EQ(fake.shell.starts.size(), 1u);
  EXPECT_EQ(fake.application.terminations, 0);
}

TEST_F(MountTest, WaitHandlesMessagesUntilTheTimeIsUp) {
  mounter.Wait(0);
  mounter.Wait(-5);
  EXPECT_EQ(fake.application.processCalls, 0);
  EXPECT_EQ(fake.clock.ticks, 0u);

  fake.application.onMessages = [&] { fake.clock.ticks += 30; };
  mounter.Wait(100);
  EXPECT_GE(fake.application.processCalls, 1);
  EXPECT_GE(fake.clock.ticks, 100u);
}

TEST_F(MountTest, WaitSurvivesTheTickCounterWrappingAround) {
  fake.clock.ticks = 0xFFFFFFF0u;
  mounter.Wait(100);
  EXPECT_EQ(fake.application.processCalls, 1);
  EXPECT_EQ(fake.clock.ticks, 0x54u);
}

}  // namespace
}  // namespace dravik::core

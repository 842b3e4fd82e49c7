// Start-up and closing of the main window: the three modes with their layouts, the failures that
// cut the start short, the keys, the image number field and the settings written at closing.

#include <gtest/gtest.h>

#include "core/main_window/main_window.h"
#include "platform/fake/fake_system.h"

namespace dravik::core {
namespace {

using Box = platform::FakeMessageBoxes::Box;
constexpr RegistryRoot kMachine = RegistryRoot::LocalMachine;
constexpr std::string_view kSettingsKeyPath = "Software\\Varnholt\\Dravik";
constexpr std::string_view kHost = "C:\\Tools\\daemon.exe";

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() { fake.files.Put("C:\\Program Files\\Dravik\\scripts\\mount.dk2", "begin end."); }
  void TearDown() override { EXPECT_EQ(fake.registry.OpenKeyCount(), 0u); }

  void StoreSetting(std::string_view name, RegistryValue value) {
    fake.registry.Set(kMachine, kSettingsKeyPath, name, std::move(value));
  }
  void StoreHost() {
    StoreSetting("", RegistryValue::String(std::string(kHost)));
    fake.files.Put(kHost, "");
  }
  void ExpectMountLayout() {
    const MainWindowState& state = form.State();
    EXPECT_EQ(state.clientWidth, 482);
    EXPECT_EQ(state.clientHeight, 177);
    EXPECT_FALSE(state.settingsPanelVisible);
    EXPECT_TRUE(state.mountPanelVisible);
    EXPECT_EQ(state.mountPanelTop, 55);
  }
  void ExpectDesignLayout() {
    EXPECT_EQ(form.State().clientHeight, 712);
    EXPECT_TRUE(form.State().settingsPanelVisible);
    EXPECT_TRUE(form.State().mountPanelVisible);
    EXPECT_EQ(form.State().settingsPanelTop, 180);
  }

  platform::FakePlatform fake;
  TForm1 form{fake.platform};
};

TEST_F(MainWindowTest, NoArgumentShowsTheSettingsWindow) {
  form.FormCreate({});
  const MainWindowState& state = form.State();
  EXPECT_EQ(state.clientWidth, 482);
  EXPECT_EQ(state.clientHeight, 582);
  EXPECT_TRUE(state.settingsPanelVisible);
  EXPECT_EQ(state.settingsPanelTop, 50);
  EXPECT_FALSE(state.mountPanelVisible);
  EXPECT_EQ(form.ArgumentFile(), "");
  form.FormKeyDown(kKeyEnter);  // no host yet
  StoreHost();
  form.FormCreate({});
  form.FormKeyDown(kKeyEnter);  // a host, but settings mode has no file
  EXPECT_EQ(fake.messageBoxes.shown,
            (std::vector<Box>{{"Error", "Cannot find Daemon Tools"}, {"Error", "Cannot find file"}}));
}

TEST_F(MainWindowTest, AnImageShowsTheMountWindowAndOnlyTheFirstArgumentCounts) {
  form.FormCreate({" \tD:\\My Images\\a.iso ", "E:\\script.dk2"});
  ExpectMountLayout();
  EXPECT_EQ(form.State().fileLabel, " \tD:\\My Images\\a.iso ");
  EXPECT_EQ(form.ArgumentFile(), "D:\\My Images\\a.iso");
  EXPECT_EQ(fake.application.terminations, 0);
  // The associations are refreshed in every mode.
  EXPECT_EQ(fake.registry.GetString(RegistryRoot::ClassesRoot, "dravikfile", ""), "Dravik File");
  EXPECT_EQ(fake.registry.GetString(kMachine, kSettingsKeyPath, "Additional Extensions"), "");
}

TEST_F(MainWindowTest, AnArgumentWithoutADotIsAnImage) {
  fake.files.Put("D:\\dk2", "begin ExecuteFile('ran', '', ''); end.");
  form.FormCreate({"D:\\dk2"});
  ExpectMountLayout();
  EXPECT_TRUE(fake.shell.starts.empty());
  EXPECT_EQ(fake.application.terminations, 0);
}

TEST_F(MainWindowTest, AScriptArgumentRunsInAnyCaseAndEnds) {
  fake.files.Put("D:\\Scripts\\x.Dk2",
                 "begin ExecuteFile('[' + getMountedFile + ']', '{scriptfilepath}', ''); end.");
  form.FormCreate({"D:\\Scripts\\x.Dk2 "});
  ExpectMountLayout();
  EXPECT_EQ(fake.shell.starts, (std::vector<platform::FakeShell::Start>{{"[]", "D:\\Scripts", ""}}));
  EXPECT_EQ(fake.application.terminations, 1);
  EXPECT_EQ(fake.application.closeRequests, 0);
}

TEST_F(MainWindowTest, AScriptThatMountsRunsTheMountScript) {
  StoreHost();
  fake.files.Put("D:\\run.dk2", "begin MountFile('{scriptfilepath}\\a.iso', 1); ExecuteFile('after', '', ''); end.");
  fake.files.Put("C:\\Program Files\\Dravik\\scripts\\mount.dk2", "begin ExecuteFile('mounted', getMountedFile, ''); end.");
  form.FormCreate({"D:\\run.dk2"});
  using Start = platform::FakeShell::Start;
  EXPECT_EQ(fake.shell.starts, (std::vector<Start>{{"\"C:\\Tools\\daemon.exe\"", " -mount 1,\"D:\\a.iso\"", "D:\\"},
                                                   {"mounted", "D:\\a.iso", ""},
                                                   {"after", "", ""}}));
  EXPECT_EQ(form.ExitStatus(), 0);
  // Without a mount script the mount fails the calling script.
  fake.shell.starts.clear();
  fake.files.MakeUnreadable("C:\\Program Files\\Dravik\\scripts\\mount.dk2", "Access is denied");
  TForm1 second(fake.platform);
  second.FormCreate({"D:\\run.dk2"});
  EXPECT_EQ(fake.shell.starts.size(), 1u);
  EXPECT_EQ(fake.messageBoxes.shown,
            (std::vector<Box>{{"Error", "Error while running script \"D:\\run.dk2\"\r\n[Runtime Error] (1:7): Exception: "
                                        "Cannot open file \"C:\\Program Files\\Dravik\\scripts\\mount.dk2\". Access is denied"}}));
  EXPECT_EQ(fake.application.terminations, 2);
  EXPECT_EQ(second.ExitStatus(), kScriptFailedExitStatus);
}

// Script mode ends with a failure status after a script that did not run to its end; an image
// that does not load (a variable larger than any value may be) is not reported.
TEST_F(MainWindowTest, AFailedScriptEndsScriptModeWithAFailureStatus) {
  const std::string runtimeError = "Error while running script \"D:\\s.dk2\"\r\n[Runtime Error] (1:23): divide by Zero";
  const struct {
    std::string text;
    int exitStatus;
    std::vector<Box> shown;
  } runs[] = {
      {"begin end.", 0, {}},
      {"var z: Integer; begin z := 1 div z; end.", kScriptFailedExitStatus, {{"Error", runtimeError}}},
      {"var a: array[0..10000000] of Int64; begin end.", kScriptFailedExitStatus, {}},
  };
  for (const auto& run : runs) {
    fake.messageBoxes.shown.clear();
    fake.files.Put("D:\\s.dk2", run.text);
    TForm1 script(fake.platform);
    script.FormCreate({"D:\\s.dk2"});
    EXPECT_EQ(script.ExitStatus(), run.exitStatus) << run.text;
    EXPECT_EQ(fake.messageBoxes.shown, run.shown) << run.text;
  }
  fake.files.Put("D:\\s.dk2", "begin x end.");
  form.FormCreate({"D:\\s.dk2"});
  EXPECT_EQ(form.ExitStatus(), kScriptFailedExitStatus);
  EXPECT_EQ(fake.messageBoxes.shown.size(), 1u);
  EXPECT_EQ(fake.application.terminations, 4);
}

TEST_F(MainWindowTest, AnUnreadableScriptIsShownAndTheWindowStays) {
  form.FormCreate({"D:\\missing.dk2"});
  ExpectMountLayout();
  EXPECT_EQ(fake.messageBoxes.shown,
            (std::vector<Box>{{"Dravik2", "Cannot open file \"D:\\missing.dk2\". The system cannot find the file specified"}}));
  EXPECT_EQ(fake.application.terminations, 0);
}

TEST_F(MainWindowTest, TheOptionMountsAtOnceAsImageZero) {
  StoreSetting("OneDrive", RegistryValue::Integer(1));
  form.FormCreate({"D:\\a.iso"});
  EXPECT_EQ(fake.messageBoxes.shown, (std::vector<Box>{{"Error", "Cannot find Daemon Tools"}}));
  EXPECT_EQ(fake.application.terminations, 0);
  ExpectMountLayout();

  StoreHost();
  fake.files.Put("D:\\a.iso", "");
  TForm1 second(fake.platform);
  second.FormCreate({"D:\\a.iso"});
  ASSERT_EQ(fake.shell.starts.size(), 1u);
  EXPECT_EQ(fake.shell.starts[0].parameters, " -mount 0,\"D:\\a.iso\"");
  EXPECT_EQ(fake.application.terminations, 1);
}

TEST_F(MainWindowTest, AWrongTypedSettingStopsTheStartInTheDesignLayout) {
  StoreSetting("", RegistryValue::Integer(7));
  form.FormCreate({});
  EXPECT_EQ(fake.messageBoxes.shown, (std::vector<Box>{{"Dravik2", "Invalid data type for ''"}}));
  ExpectDesignLayout();
  EXPECT_FALSE(fake.registry.HasKey(RegistryRoot::ClassesRoot, "dravikfile"));
}

TEST_F(MainWindowTest, ARefusedClassesRootKeepsTheSettingsReadBeforeIt) {
  StoreSetting("", RegistryValue::String("C:\\h.exe"));
  StoreSetting("OneDrive", RegistryValue::Integer(1));
  StoreSetting("Additional Extensions", RegistryValue::String("img"));
  fake.registry.RefuseWritesBelow(RegistryRoot::ClassesRoot, "");
  form.FormCreate({"D:\\a.iso"});
  EXPECT_EQ(fake.messageBoxes.shown, (std::vector<Box>{{"Dravik2", "Failed to set data for ''"}}));
  EXPECT_EQ(form.State().hostApplication, "C:\\h.exe");
  EXPECT_TRUE(form.State().oneDrive);
  EXPECT_EQ(form.State().extensions.Entries(), std::vector<std::string>{"img"});
  ExpectDesignLayout();
  EXPECT_EQ(form.ArgumentFile(), "");
}

TEST_F(MainWindowTest, EscapeClosesAndEnterMountsTheTypedNumber) {
  StoreHost();
  fake.files.Put("D:\\a.iso", "");
  form.FormCreate({"D:\\a.iso"});
  form.FormKeyDown(kKeyEscape);
  EXPECT_EQ(fake.application.closeRequests, 1);
  EXPECT_TRUE(fake.shell.starts.empty());
  form.FormKeyDown(65);
  form.State().imageNumber.text = "7";
  form.FormKeyDown(kKeyEnter);
  ASSERT_EQ(fake.shell.starts.size(), 1u);
  EXPECT_EQ(fake.shell.starts[0].parameters, " -mount 7,\"D:\\a.iso\"");
  EXPECT_EQ(form.State().imageNumber.text, "7");
  EXPECT_EQ(fake.application.terminations, 1);
}

// The window's own keys and the image number field's go to FormKeyDown, the extension field's
// to its own handler; the other controls (the list, the check box) keep theirs.
TEST_F(MainWindowTest, KeysGoToTheHandlerOfWhereTheyWerePressed) {
  form.FormCreate({});
  for (const KeyPlace place : {KeyPlace::OtherControl, KeyPlace::ExtensionField}) {
    form.KeyDown(place, kKeyEscape);
    form.KeyDown(place, kKeyEnter);
  }
  EXPECT_EQ(fake.application.closeRequests, 0);
  EXPECT_EQ(fake.messageBoxes.shown, (std::vector<Box>{{"Dravik2", "Type the extension to add, for example: bin"}}));
  form.State().extensionField = "img";
  form.KeyDown(KeyPlace::ExtensionField, kKeyEnter);
  EXPECT_EQ(form.State().extensions.Entries(), std::vector<std::string>{"img"});
  for (const KeyPlace place : {KeyPlace::Window, KeyPlace::ImageNumberField}) {
    form.KeyDown(place, kKeyEscape);
    form.KeyDown(place, kKeyEnter);
  }
  EXPECT_EQ(fake.application.closeRequests, 2);
  EXPECT_EQ(fake.messageBoxes.shown.size(), 3u);  // two mount actions: "Cannot find Daemon Tools"
}

// What no file extension can be is not added: shown in the application's box, the text kept for
// the user to mend, and nothing written to the registry.
TEST_F(MainWindowTest, TheExtensionFieldRefusesWhatCannotBeAnExtension) {
  form.FormCreate({});
  for (const std::string text : {"", " \t", "a\\b", "a|b", "x:y", "a/b", "a*", "a?", "\"a\"", "<a>", "a\x01" "b"}) {
    fake.messageBoxes.shown.clear();
    form.State().extensionField = text;
    form.FlatEdit1KeyDown(kKeyEnter);
    EXPECT_EQ(form.State().extensionField, text);
    ASSERT_EQ(fake.messageBoxes.shown.size(), 1u) << text;
    EXPECT_EQ(fake.messageBoxes.shown[0].caption, "Dravik2");
  }
  EXPECT_EQ(fake.messageBoxes.shown[0].text, "Cannot add \"a\x01" "b\": an extension cannot hold control characters nor any of "
                                             "\\ / : * ? \" < > |");
  EXPECT_TRUE(form.State().extensions.Entries().empty());
  EXPECT_FALSE(fake.registry.HasKey(RegistryRoot::ClassesRoot, "."));
  EXPECT_FALSE(fake.registry.HasKey(RegistryRoot::ClassesRoot, ".a"));
  EXPECT_EQ(fake.registry.GetString(kMachine, kSettingsKeyPath, "Additional Extensions"), "");
}

// Earlier versions stored such entries; they load as they are and can be given back.
TEST_F(MainWindowTest, StoredEntriesNoExtensionCanBeStillLoad) {
  StoreSetting("Additional Extensions", RegistryValue::String("img||a\\b"));
  form.FormCreate({});
  EXPECT_EQ(form.State().extensions.Entries(), (std::vector<std::string>{"", "a\\b", "img"}));
  EXPECT_EQ(fake.registry.GetString(RegistryRoot::ClassesRoot, ".", ""), "dravikfile");
  form.State().extensions.Select(0);
  form.MovingLabel28Click();
  EXPECT_EQ(fake.registry.GetString(RegistryRoot::ClassesRoot, ".", ""), "");
  EXPECT_EQ(fake.registry.GetString(kMachine, kSettingsKeyPath, "Additional Extensions"), "a\\b|img");
  EXPECT_TRUE(fake.messageBoxes.shown.empty());
}

TEST(ImageNumberField, ReadsDecimalTextAndKeepsStepsInRange) {
  ImageNumberField field;
  EXPECT_EQ(field.Value(), 0);
  const auto valueOf = [&](const char* text) {
    field.text = text;
    return field.Value();
  };
  for (const char* text : {"", "abc", "2x", "+", "99999999999"}) EXPECT_EQ(valueOf(text), 0) << text;
  EXPECT_EQ(valueOf("7"), 7);
  EXPECT_EQ(valueOf("+2"), 2);
  EXPECT_EQ(valueOf("-1"), -1);
  for (const auto& [text, delta, stepped] : {std::tuple{"3", 1, "3"}, {"7", -1, "3"}, {"abc", -1, "0"}, {"+1", 1, "2"}}) {
    field.text = text;
    field.Step(delta);
    EXPECT_EQ(field.text, stepped) << text;
  }
  for (const auto& [text, ranged] : {std::pair{"-1", "0"}, {"+9", "3"}, {"x", "0"}}) {
    field.text = text;
    field.ApplyRange();
    EXPECT_EQ(field.text, ranged) << text;
  }
}

TEST_F(MainWindowTest, ClosingWritesTheHostAndTheOption) {
  StoreSetting("OneDrive", RegistryValue::Integer(5));
  form.FormCreate({});
  EXPECT_TRUE(form.State().oneDrive);
  form.State().hostApplication = "C:\\New\\host.exe";
  form.State().oneDrive = false;
  form.FormClose();
  EXPECT_EQ(fake.registry.GetString(kMachine, kSettingsKeyPath, ""), "C:\\New\\host.exe");
  EXPECT_EQ(fake.registry.Get(kMachine, kSettingsKeyPath, "OneDrive").value().integer, 0u);

  fake.registry.RefuseWritesBelow(kMachine, kSettingsKeyPath);
  form.FormClose();
  EXPECT_EQ(fake.messageBoxes.shown, (std::vector<Box>{{"Dravik2", "Failed to set data for ''"}}));
}

}  // namespace
}  // namespace dravik::core

// File-type associations through the settings window's handlers: what the classes root holds
// after each action, the glyphs the window shows, and the saved former classes.

#include <gtest/gtest.h>

#include "core/associations/associations.h"
#include "core/main_window/main_window.h"
#include "platform/fake/fake_system.h"

namespace dravik::core {
namespace {

constexpr RegistryRoot kClasses = RegistryRoot::ClassesRoot;
constexpr std::size_t kIso = 1, kBin = 6, kNrg = 7;  // indexes in kFixedExtensions

class AssociationsTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(fake.registry.OpenKeyCount(), 0u); }

  void SeedClass(std::string_view extension, std::string fileClass) {
    fake.registry.Set(kClasses, "." + std::string(extension), "", RegistryValue::String(std::move(fileClass)));
  }
  std::optional<std::string> ClassOf(std::string_view extension) {
    return fake.registry.GetString(kClasses, "." + std::string(extension), "");
  }
  std::optional<std::string> SavedClassOf(std::string_view extension) {
    return fake.registry.GetString(kClasses, "." + std::string(extension), "dravikoldfile");
  }
  void AddExtra(std::string text) {
    form.State().extensionField = std::move(text);
    form.FlatEdit1KeyDown(kKeyEnter);
  }
  void DeleteExtra(int index) {
    form.State().extensions.Select(index);
    form.MovingLabel28Click();
  }
  char Glyph(std::size_t index) { return form.State().glyphs[index]; }
  std::optional<std::string> StoredList() {
    return fake.registry.GetString(RegistryRoot::LocalMachine, "Software\\Varnholt\\Dravik", "Additional Extensions");
  }

  platform::FakePlatform fake;
  TForm1 form{fake.platform};
};

TEST_F(AssociationsTest, EveryStartWritesTheClassAndCreatesTheFixedKeys) {
  form.FormCreate({});
  EXPECT_EQ(fake.registry.GetString(kClasses, "dravikfile", ""), "Dravik File");
  EXPECT_EQ(fake.registry.GetString(kClasses, "dravikfile\\DefaultIcon", ""),
            "\"C:\\Program Files\\Dravik\\dravik.exe\"");
  EXPECT_EQ(fake.registry.GetString(kClasses, "dravikfile\\shell\\open\\command", ""),
            "\"C:\\Program Files\\Dravik\\dravik.exe\" \"%1\"");
  for (const FixedExtension& fixed : kFixedExtensions) {
    EXPECT_TRUE(fake.registry.HasKey(kClasses, "." + std::string(fixed.extension))) << fixed.extension;
    EXPECT_EQ(ClassOf(fixed.extension), std::nullopt) << fixed.extension;
  }
  EXPECT_EQ(form.State().glyphs, (std::array<char, 8>{'\xFD', '\xFD', '\xFD', '\xFD', '\xFD', '\xFD', '\xFD', '\xFD'}));
  EXPECT_EQ(StoredList(), "");
  EXPECT_TRUE(fake.messageBoxes.shown.empty());
}

TEST_F(AssociationsTest, TheClassNameCountsInAnyCase) {
  SeedClass("iso", "DRAVIKFILE");
  SeedClass("bin", "binfile");
  form.FormCreate({});
  EXPECT_EQ(Glyph(kIso), '\xFE');
  EXPECT_EQ(Glyph(kBin), '\xFD');
  AddExtra("iso");  // ours already: nothing is saved
  EXPECT_EQ(SavedClassOf("iso"), std::nullopt);
}

TEST_F(AssociationsTest, TwoClicksGiveTheFormerClassBack) {
  SeedClass("iso", "isofile");
  form.FormCreate({});
  form.Label1Click(kIso);
  EXPECT_EQ(Glyph(kIso), '\xFE');
  EXPECT_EQ(ClassOf("iso"), "dravikfile");
  EXPECT_EQ(SavedClassOf("iso"), "isofile");
  form.Label1Click(kIso);
  EXPECT_EQ(Glyph(kIso), '\xFD');
  EXPECT_EQ(ClassOf("iso"), "isofile");
  EXPECT_EQ(fake.registry.Get(kClasses, ".iso", "dravikoldfile"), std::nullopt);
}

TEST_F(AssociationsTest, AnExtensionWithoutAKeyGetsAnEmptyClassBack) {
  form.FormCreate({});
  form.Label1Click(0);  // cue: its key was made empty by the start
  EXPECT_EQ(SavedClassOf("cue"), "");
  form.Label1Click(0);
  EXPECT_EQ(ClassOf("cue"), "");
  EXPECT_TRUE(fake.registry.HasKey(kClasses, ".cue"));
}

TEST_F(AssociationsTest, UntickingWithoutASavedClassKeepsTheAssociation) {
  SeedClass("nrg", "dravikfile");
  form.FormCreate({});
  const std::size_t writes = fake.registry.WriteCount();
  form.Label1Click(kNrg);
  EXPECT_EQ(Glyph(kNrg), '\xFE');
  EXPECT_EQ(ClassOf("nrg"), "dravikfile");
  // Only the refresh writes: the class (3 values), nrg's "Open with" entry, the capabilities'
  // name, description and nrg, their registration, and the list.
  EXPECT_EQ(fake.registry.WriteCount() - writes, 9u);
}

TEST_F(AssociationsTest, ExtrasAreTakenAsTypedAndStoredSorted) {
  SeedClass("vcd", "vcdfile");
  form.FormCreate({});
  AddExtra("vcd");
  EXPECT_EQ(form.State().extensionField, "");
  AddExtra(".img");
  AddExtra("VCD");  // the same in other letters: not added again
  EXPECT_EQ(form.State().extensions.Entries(), (std::vector<std::string>{".img", "vcd"}));
  EXPECT_EQ(StoredList(), ".img|vcd");
  EXPECT_EQ(ClassOf("vcd"), "dravikfile");
  EXPECT_EQ(SavedClassOf("vcd"), "vcdfile");
  EXPECT_EQ(fake.registry.GetString(kClasses, "..img", ""), "dravikfile");
  form.State().extensionField = "keep";
  form.FlatEdit1KeyDown(65);
  EXPECT_EQ(form.State().extensionField, "keep");
}

TEST_F(AssociationsTest, AFixedExtensionAlsoAddedAsAnExtra) {
  SeedClass("bin", "binfile");
  form.FormCreate({});
  AddExtra("bin");
  EXPECT_EQ(Glyph(kBin), '\xFD');  // the glyphs were read before the extras were taken
  EXPECT_EQ(ClassOf("bin"), "dravikfile");
  form.Label1Click(kBin);  // already ours: nothing to save
  EXPECT_EQ(Glyph(kBin), '\xFE');
  EXPECT_EQ(SavedClassOf("bin"), "binfile");
  form.Label1Click(kBin);  // given back, and at once taken again as an extra
  EXPECT_EQ(Glyph(kBin), '\xFD');
  EXPECT_EQ(ClassOf("bin"), "dravikfile");
  EXPECT_EQ(SavedClassOf("bin"), "binfile");
  DeleteExtra(0);
  EXPECT_EQ(ClassOf("bin"), "binfile");
  EXPECT_EQ(SavedClassOf("bin"), std::nullopt);
  EXPECT_EQ(Glyph(kBin), '\xFD');
}

TEST_F(AssociationsTest, DeletingAnExtraRestoresTheClassSavedFirst) {
  SeedClass("iso", "isofile");
  form.FormCreate({});
  form.Label1Click(kIso);
  AddExtra("iso");
  EXPECT_EQ(SavedClassOf("iso"), "isofile");
  DeleteExtra(0);
  EXPECT_EQ(ClassOf("iso"), "isofile");
  EXPECT_EQ(StoredList(), "");

  SeedClass("a", "dravikfile");  // ours already, so nothing is saved when it is added
  AddExtra("a");
  EXPECT_EQ(SavedClassOf("a"), std::nullopt);
  DeleteExtra(0);
  EXPECT_EQ(ClassOf("a"), "");
}

TEST_F(AssociationsTest, TheSelectionStaysOnItsIndexAfterADelete) {
  form.FormCreate({});
  for (const char* extension : {"a", "b", "c"}) AddExtra(extension);
  DeleteExtra(1);
  EXPECT_EQ(form.State().extensions.Entries(), (std::vector<std::string>{"a", "c"}));
  form.MovingLabel28Click();  // "c" moved into the selected place
  EXPECT_EQ(form.State().extensions.Entries(), std::vector<std::string>{"a"});
  EXPECT_EQ(form.State().extensions.Selected(), std::nullopt);
  AddExtra("d");  // an entry added now is not selected by itself
  const std::size_t writes = fake.registry.WriteCount();
  form.MovingLabel28Click();
  DeleteExtra(-1);
  EXPECT_EQ(fake.registry.WriteCount(), writes);  // no selection: not even a refresh
  EXPECT_EQ(StoredList(), "a|d");
}

TEST_F(AssociationsTest, FailuresEndTheHandlerAndAreShown) {
  SeedClass("iso", "isofile");
  form.FormCreate({});
  fake.registry.RefuseWritesBelow(kClasses, ".iso");
  form.Label1Click(kIso);
  EXPECT_EQ(Glyph(kIso), '\xFE');  // the look changed before the write was refused
  EXPECT_EQ(ClassOf("iso"), "isofile");
  fake.registry.Set(kClasses, ".cue", "", RegistryValue::Integer(3));
  form.Label1Click(0);
  using Box = platform::FakeMessageBoxes::Box;
  EXPECT_EQ(fake.messageBoxes.shown, (std::vector<Box>{{"Dravik2", "Failed to set data for 'dravikoldfile'"},
                                                       {"Dravik2", "Invalid data type for ''"}}));
}

// "Open with", the capabilities that the default-apps settings show, and the shell's notice.
class ShellRegistrationTest : public AssociationsTest {
 protected:
  bool InOpenWith(std::string_view extension) {
    return fake.registry.Get(kClasses, "." + std::string(extension) + "\\OpenWithProgids", "dravikfile").has_value();
  }
  std::optional<std::string> Capability(std::string_view extension) {
    return fake.registry.GetString(kMachine, "Software\\Varnholt\\Dravik\\Capabilities\\FileAssociations",
                                   "." + std::string(extension));
  }
  int Notices() { return fake.shell.associationNotices; }

  static constexpr RegistryRoot kMachine = RegistryRoot::LocalMachine;
};

TEST_F(ShellRegistrationTest, AFirstStartRegistersTheProgramAndTellsTheShellOnce) {
  form.FormCreate({});
  EXPECT_EQ(fake.registry.GetString(kMachine, "Software\\Varnholt\\Dravik\\Capabilities", "ApplicationName"), "Dravik");
  EXPECT_EQ(fake.registry.GetString(kMachine, "Software\\Varnholt\\Dravik\\Capabilities", "ApplicationDescription"),
            "Mounts CD and DVD image files in your virtual-drive program with one double-click");
  EXPECT_EQ(fake.registry.GetString(kMachine, "Software\\RegisteredApplications", "Dravik"),
            "Software\\Varnholt\\Dravik\\Capabilities");
  for (const FixedExtension& fixed : kFixedExtensions) {
    EXPECT_FALSE(InOpenWith(fixed.extension)) << fixed.extension;
    EXPECT_EQ(Capability(fixed.extension), std::nullopt) << fixed.extension;
  }
  EXPECT_EQ(Notices(), 1);
  TForm1 again{fake.platform};
  again.FormCreate({"C:\\a.iso"});  // everything in place: the shell is left alone
  EXPECT_EQ(Notices(), 1);
}

TEST_F(ShellRegistrationTest, TicksAndExtrasAreOfferedAndWithdrawnWithTheirClass) {
  SeedClass("iso", "isofile");
  form.FormCreate({});
  form.Label1Click(kIso);
  AddExtra("img");
  EXPECT_TRUE(InOpenWith("iso"));
  EXPECT_TRUE(InOpenWith("img"));
  EXPECT_EQ(Capability("iso"), "dravikfile");
  EXPECT_EQ(Capability("img"), "dravikfile");
  EXPECT_EQ(Notices(), 3);  // the start, the tick, the extra: one notice each
  form.Label1Click(kIso);
  DeleteExtra(0);
  EXPECT_FALSE(InOpenWith("iso"));
  EXPECT_FALSE(InOpenWith("img"));
  EXPECT_EQ(Capability("iso"), std::nullopt);
  EXPECT_EQ(Capability("img"), std::nullopt);
  EXPECT_EQ(Notices(), 5);
}

TEST_F(ShellRegistrationTest, AnExtensionTakenOutsideTheWindowJoinsAtTheNextStart) {
  SeedClass("nrg", "dravikfile");
  fake.registry.Set(kMachine, "Software\\Varnholt\\Dravik\\Capabilities\\FileAssociations", ".cue",
                    RegistryValue::String("dravikfile"));
  form.FormCreate({});
  EXPECT_TRUE(InOpenWith("nrg"));
  EXPECT_EQ(Capability("nrg"), "dravikfile");
  EXPECT_EQ(Capability("cue"), std::nullopt);  // .cue is not the program's
}

TEST_F(ShellRegistrationTest, WhatAFailingOperationChangedIsStillNotified) {
  SeedClass("iso", "isofile");
  form.FormCreate({});
  const int notices = Notices();
  // The class is saved and taken; the capabilities, written by the refresh, are refused.
  fake.registry.RefuseWritesBelow(kMachine, "Software\\Varnholt\\Dravik\\Capabilities");
  form.Label1Click(kIso);
  EXPECT_EQ(ClassOf("iso"), "dravikfile");
  EXPECT_EQ(fake.messageBoxes.shown.size(), 1u);
  EXPECT_EQ(Notices(), notices + 1);
}

TEST(ExtensionList, SortsWithoutCaseAndKeepsTheSelectionOnItsEntry) {
  ExtensionList list;
  for (const char* entry : {"b", "C", "a"}) list.Add(entry);
  list.Select(1);  // b
  list.Add("B");
  list.Add("A");
  list.Add("\xE4");  // a letter beyond ASCII sorts after the ASCII letters
  list.Add("\xC4");  // its capital counts as the same entry
  list.Add("0");
  EXPECT_EQ(list.Entries(), (std::vector<std::string>{"0", "a", "b", "C", "\xE4"}));
  EXPECT_EQ(list.Selected(), 2u);
  list.Select(5);
  EXPECT_EQ(list.Selected(), std::nullopt);
}

}  // namespace
}  // namespace dravik::core

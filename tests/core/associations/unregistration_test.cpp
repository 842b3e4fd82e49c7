// `dravik.exe /unregister`: what the registry holds after a give-back of everything, starting
// from what the settings window left behind.

#include <gtest/gtest.h>

#include "core/associations/unregistration.h"
#include "core/main_window/main_window.h"
#include "platform/fake/fake_system.h"

namespace dravik::core {
namespace {

constexpr RegistryRoot kClasses = RegistryRoot::ClassesRoot;
constexpr RegistryRoot kMachine = RegistryRoot::LocalMachine;
constexpr std::string_view kSettings = "Software\\Varnholt\\Dravik";
constexpr std::size_t kCue = 0, kIso = 1, kBin = 6, kNrg = 7;  // indexes in kFixedExtensions

class UnregistrationTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(fake.registry.OpenKeyCount(), 0u); }

  void SeedClass(std::string_view extension, std::string fileClass) {
    fake.registry.Set(kClasses, "." + std::string(extension), "", RegistryValue::String(std::move(fileClass)));
  }
  std::optional<RegistryValue> ClassOf(std::string_view extension) {
    return fake.registry.Get(kClasses, "." + std::string(extension), "");
  }
  bool HasKey(std::string_view path) { return fake.registry.HasKey(kClasses, path); }
  void AddExtra(std::string text) {
    form.State().extensionField = std::move(text);
    form.FlatEdit1KeyDown(kKeyEnter);
  }
  bool Unregister() { return core::Unregister(fake.registry, fake.shell); }

  platform::FakePlatform fake;
  TForm1 form{fake.platform};
};

TEST_F(UnregistrationTest, EveryExtensionGoesBackAndTheRegistrationGoes) {
  SeedClass("iso", "isofile");
  SeedClass("bin", "binfile");
  SeedClass("img", "imgfile");
  SeedClass("nrg", "dravikfile");  // held without a class to go back to
  fake.registry.Set(kClasses, ".iso\\OpenWithProgids", "isofile", RegistryValue::String(""));
  fake.registry.Set(kMachine, kSettings, "", RegistryValue::String("C:\\Tools\\host.exe"));
  form.FormCreate({});
  form.Label1Click(kIso);
  form.Label1Click(kBin);
  AddExtra("bin");  // also an extra: its class saved when it was ticked must come back
  AddExtra("img");
  const int notices = fake.shell.associationNotices;

  EXPECT_TRUE(Unregister());
  EXPECT_EQ(ClassOf("iso"), RegistryValue::String("isofile"));
  EXPECT_EQ(ClassOf("bin"), RegistryValue::String("binfile"));
  EXPECT_EQ(ClassOf("img"), RegistryValue::String("imgfile"));
  EXPECT_EQ(ClassOf("nrg"), std::nullopt);
  for (std::string_view extension : {"iso", "bin", "img", "nrg"})
    EXPECT_EQ(fake.registry.Get(kClasses, "." + std::string(extension), "dravikoldfile"), std::nullopt) << extension;
  // Another program's "Open with" entry stays; the keys the starts made empty go.
  EXPECT_TRUE(fake.registry.Get(kClasses, ".iso\\OpenWithProgids", "isofile").has_value());
  EXPECT_FALSE(fake.registry.Get(kClasses, ".iso\\OpenWithProgids", "dravikfile").has_value());
  EXPECT_FALSE(HasKey(".img\\OpenWithProgids"));
  EXPECT_FALSE(HasKey(".nrg"));
  EXPECT_FALSE(HasKey(".cue"));
  EXPECT_FALSE(HasKey("dravikfile"));
  EXPECT_FALSE(fake.registry.HasKey(kMachine, "Software\\Varnholt\\Dravik\\Capabilities"));
  EXPECT_EQ(fake.registry.Get(kMachine, "Software\\RegisteredApplications", "Dravik"), std::nullopt);
  // The user's settings stay, but no extra is taken again at the next start.
  EXPECT_EQ(fake.registry.GetString(kMachine, kSettings, "Additional Extensions"), "");
  EXPECT_EQ(fake.registry.GetString(kMachine, kSettings, ""), "C:\\Tools\\host.exe");
  EXPECT_EQ(fake.shell.associationNotices, notices + 1);
  EXPECT_TRUE(fake.messageBoxes.shown.empty());
}

TEST_F(UnregistrationTest, OnACleanRegistryNothingIsMade) {
  EXPECT_TRUE(Unregister());
  EXPECT_FALSE(HasKey(".cue"));
  EXPECT_FALSE(fake.registry.HasKey(kMachine, kSettings));
  EXPECT_FALSE(fake.registry.HasKey(kMachine, "Software\\RegisteredApplications"));
  EXPECT_EQ(fake.registry.WriteCount(), 0u);
}

TEST_F(UnregistrationTest, ExtensionsThatAreNoLongerHeldAreLeftAlone) {
  form.FormCreate({});
  form.Label1Click(kCue);  // saves the empty class
  AddExtra("vcd");
  SeedClass("cue", "otherfile");  // another program took both since
  SeedClass("vcd", "otherfile");
  fake.registry.Set(kClasses, ".mds", "", RegistryValue::Integer(7));  // names no class at all
  EXPECT_TRUE(Unregister());
  EXPECT_EQ(ClassOf("cue"), RegistryValue::String("otherfile"));
  EXPECT_EQ(ClassOf("vcd"), RegistryValue::String("otherfile"));
  EXPECT_EQ(ClassOf("mds"), RegistryValue::Integer(7));
  EXPECT_FALSE(HasKey("dravikfile"));
}

TEST_F(UnregistrationTest, ARefusedGiveBackKeepsTheClassAndGoesOnWithTheRest) {
  SeedClass("iso", "isofile");
  SeedClass("nrg", "nrgfile");
  form.FormCreate({});
  form.Label1Click(kIso);
  form.Label1Click(kNrg);
  fake.registry.RefuseWritesBelow(kClasses, ".iso");
  EXPECT_FALSE(Unregister());
  EXPECT_EQ(ClassOf("iso"), RegistryValue::String("dravikfile"));
  EXPECT_EQ(ClassOf("nrg"), RegistryValue::String("nrgfile"));
  EXPECT_TRUE(HasKey("dravikfile\\shell\\open\\command"));
  EXPECT_EQ(fake.shell.associationNotices, 4);  // the start, two ticks, the give-back
}

TEST(UnregisterSwitch, IsTheFirstArgumentInAnyCase) {
  EXPECT_TRUE(IsUnregisterSwitch({"/unregister"}));
  EXPECT_TRUE(IsUnregisterSwitch({"/UnRegister", "C:\\a.iso"}));
  EXPECT_FALSE(IsUnregisterSwitch({}));
  EXPECT_FALSE(IsUnregisterSwitch({"C:\\a.iso", "/unregister"}));
  EXPECT_FALSE(IsUnregisterSwitch({"/unregister "}));
  EXPECT_FALSE(IsUnregisterSwitch({"-unregister"}));
}

}  // namespace
}  // namespace dravik::core

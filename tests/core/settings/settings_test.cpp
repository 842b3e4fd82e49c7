// The registry rules every settings access relies on, and the three settings' round trip.

#include <gtest/gtest.h>

#include "core/messages.h"
#include "core/settings/registry_session.h"
#include "core/settings/settings_store.h"
#include "platform/fake/fake_registry.h"

namespace dravik::core {
namespace {

using platform::FakeRegistry;
constexpr RegistryRoot kMachine = RegistryRoot::LocalMachine;

class RegistrySessionTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(registry.OpenKeyCount(), 0u); }

  // The text of the Failure that call throws; empty when it throws none.
  template <typename Call>
  static std::string FailureOf(Call call) {
    try {
      call();
    } catch (const Failure& failure) {
      return failure.what();
    }
    return {};
  }

  FakeRegistry registry;
};

TEST_F(RegistrySessionTest, OpensBelowTheOpenKeyAndBelowTheRootAfterClosing) {
  registry.Set(kMachine, "A\\B", "name", RegistryValue::String("inner"));
  registry.Set(kMachine, "B", "name", RegistryValue::String("outer"));
  RegistrySession session(registry, kMachine);
  ASSERT_TRUE(session.OpenKey("A", false));
  ASSERT_TRUE(session.OpenKey("B", false));
  EXPECT_EQ(session.ReadString("name"), "inner");
  session.CloseKey();
  ASSERT_TRUE(session.OpenKey("B", false));
  EXPECT_EQ(session.ReadString("name"), "outer");
  EXPECT_EQ(registry.OpenKeyCount(), 1u);  // each open closed the key open before it
}

TEST_F(RegistrySessionTest, MissingValuesAndKeysReadAsEmpty) {
  registry.Set(kMachine, "A", "expand", RegistryValue{RegistryValueType::ExpandString, "%x%", 0});
  RegistrySession session(registry, kMachine);
  EXPECT_EQ(session.ReadString("anything"), "");  // nothing open yet
  ASSERT_TRUE(session.OpenKey("A", false));
  EXPECT_EQ(session.ReadString("absent"), "");
  EXPECT_FALSE(session.ValueExists("absent"));
  EXPECT_EQ(session.ReadString("expand"), "%x%");
  EXPECT_FALSE(session.OpenKey("Missing", false));
  EXPECT_EQ(session.ReadString("expand"), "");
  EXPECT_FALSE(registry.HasKey(kMachine, "Missing"));
}

TEST_F(RegistrySessionTest, WrongTypesFailWithTheValueName) {
  registry.Set(kMachine, "A", "", RegistryValue::Integer(1));
  registry.Set(kMachine, "A", "Blob", RegistryValue{RegistryValueType::Other, "\x01", 0});
  registry.Set(kMachine, "A", "Text", RegistryValue::String("1"));
  RegistrySession session(registry, kMachine);
  session.OpenKey("A", false);
  EXPECT_EQ(FailureOf([&] { session.ReadString(""); }), "Invalid data type for ''");
  EXPECT_EQ(FailureOf([&] { session.ReadString("Blob"); }), "Invalid data type for 'Blob'");
  EXPECT_EQ(FailureOf([&] { session.ReadInteger("Text"); }), "Invalid data type for 'Text'");
  EXPECT_EQ(FailureOf([&] { session.ReadInteger("absent"); }), "Invalid data type for 'absent'");
  EXPECT_EQ(session.ReadInteger(""), 1);
}

TEST_F(RegistrySessionTest, RefusedWritesFail) {
  registry.RefuseWritesBelow(kMachine, "Locked");
  RegistrySession session(registry, kMachine);
  EXPECT_EQ(FailureOf([&] { session.WriteString("X", "v"); }), "Failed to set data for 'X'");  // no key open
  EXPECT_FALSE(session.OpenKey("Locked\\Sub", true));
  EXPECT_EQ(FailureOf([&] { session.WriteInteger("N", 1); }), "Failed to set data for 'N'");
  registry.Set(kMachine, "Locked", "", RegistryValue::String("old"));
  ASSERT_TRUE(session.OpenKey("Locked", false));
  EXPECT_EQ(FailureOf([&] { session.WriteString("", "new"); }), "Failed to set data for ''");
  EXPECT_EQ(registry.GetString(kMachine, "Locked", ""), "old");
}

TEST_F(RegistrySessionTest, AWriteAfterAFailedOpenDoesNotReachTheKeyOpenBefore) {
  RegistrySession session(registry, kMachine);
  ASSERT_TRUE(session.OpenKey("A", true));
  EXPECT_FALSE(session.OpenKey("Missing", false));
  EXPECT_EQ(FailureOf([&] { session.WriteString("v", "x"); }), "Failed to set data for 'v'");
  EXPECT_EQ(registry.Get(kMachine, "A", "v"), std::nullopt);
  EXPECT_EQ(registry.WriteCount(), 0u);
}

TEST(ExtensionText, JoinsWithBarsAndSplitsEveryPiece) {
  EXPECT_EQ(JoinExtensions({}), "");
  EXPECT_EQ(JoinExtensions({"img", "vcd"}), "img|vcd");
  EXPECT_EQ(JoinExtensions({"", "a"}), "|a");
  using Pieces = std::vector<std::string>;
  EXPECT_EQ(SplitExtensions(""), Pieces{});
  EXPECT_EQ(SplitExtensions("img"), Pieces{"img"});
  EXPECT_EQ(SplitExtensions("a||b"), (Pieces{"a", "", "b"}));
  EXPECT_EQ(SplitExtensions("a|"), (Pieces{"a", ""}));
  EXPECT_EQ(SplitExtensions("|"), (Pieces{"", ""}));
}

class SettingsStoreTest : public RegistrySessionTest {
 protected:
  void Store(std::string_view name, RegistryValue value) { registry.Set(kMachine, kSettingsKey, name, std::move(value)); }
  MainWindowState state;
};

TEST_F(SettingsStoreTest, AFirstStartReadsDefaultsAndCreatesTheKey) {
  ReadSettings(registry, state);
  EXPECT_TRUE(registry.HasKey(kMachine, "Software\\Varnholt\\Dravik"));
  EXPECT_EQ(state.hostApplication, "");
  EXPECT_FALSE(state.oneDrive);
  EXPECT_TRUE(state.extensions.Entries().empty());
}

TEST_F(SettingsStoreTest, ReadsAllThreeAndWritesHostAndOptionBack) {
  Store("", RegistryValue::String("C:\\Tools\\host.exe"));
  Store("OneDrive", RegistryValue::Integer(5));
  Store("Additional Extensions", RegistryValue::String("vcd|IMG|b"));
  state.extensions.Add("stale");
  ReadSettings(registry, state);
  EXPECT_EQ(state.hostApplication, "C:\\Tools\\host.exe");
  EXPECT_TRUE(state.oneDrive);
  EXPECT_EQ(state.extensions.Entries(), (std::vector<std::string>{"b", "IMG", "vcd"}));

  WriteSettings(registry, state);
  const std::optional<RegistryValue> oneDrive = registry.Get(kMachine, kSettingsKey, "OneDrive");
  ASSERT_TRUE(oneDrive.has_value());
  EXPECT_EQ(oneDrive->type, RegistryValueType::Integer);
  EXPECT_EQ(oneDrive->integer, 1u);
  EXPECT_EQ(registry.GetString(kMachine, kSettingsKey, ""), "C:\\Tools\\host.exe");
}

TEST_F(SettingsStoreTest, TheOptionIsReadOnlyWhenStored) {
  state.oneDrive = true;
  ReadSettings(registry, state);
  EXPECT_TRUE(state.oneDrive);  // absent: the box keeps what it had
  Store("OneDrive", RegistryValue::Integer(0));
  ReadSettings(registry, state);
  EXPECT_FALSE(state.oneDrive);
  Store("OneDrive", RegistryValue::String("1"));
  EXPECT_EQ(FailureOf([&] { ReadSettings(registry, state); }), "Invalid data type for 'OneDrive'");
}

}  // namespace
}  // namespace dravik::core

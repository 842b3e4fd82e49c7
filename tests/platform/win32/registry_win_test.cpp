// The registry backend against the system's own registry, in a scratch key that each test
// removes again.

#ifdef _WIN32

#include "platform/win32/registry_win.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <windows.h>

namespace dravik::platform {
namespace {

using core::RegistryRoot;
using core::RegistryValue;
using core::RegistryValueType;

constexpr char kScratchPath[] = "Software\\DravikBackendTest";

class RegistryWinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kScratchPath);
    const auto opened = registry.OpenKey(RegistryRoot::LocalMachine, kScratchPath, true);
    ASSERT_TRUE(opened.has_value());
    key = *opened;
  }
  void TearDown() override {
    if (key != 0) registry.CloseKey(key);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kScratchPath);
  }

  // Stores bytes as they are, with no terminating zero added, as another program might.
  void StoreRaw(const char* name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(RegSetValueExA(reinterpret_cast<HKEY>(key), name, 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
  }

  RegistryWin registry;
  core::Registry::Key key = 0;
};

TEST_F(RegistryWinTest, OpensNestedKeysOnlyWhereAllowedToCreateThem) {
  EXPECT_FALSE(registry.OpenSubKey(key, "a\\b", false).has_value());
  const auto created = registry.OpenSubKey(key, "a\\b", true);
  ASSERT_TRUE(created.has_value());
  ASSERT_TRUE(registry.WriteValue(*created, "", RegistryValue::String("deep")));
  registry.CloseKey(*created);

  const auto reopened = registry.OpenKey(RegistryRoot::LocalMachine, std::string(kScratchPath) + "\\a\\b", false);
  ASSERT_TRUE(reopened.has_value());
  const auto value = registry.ReadValue(*reopened, "");
  registry.CloseKey(*reopened);
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->text, "deep");
}

TEST_F(RegistryWinTest, RefusesToCreateAKeyTheSystemCannotHold) {
  // A key that lives only in memory cannot hold keys that are kept on disk.
  HKEY volatileKey = nullptr;
  ASSERT_EQ(RegCreateKeyExA(reinterpret_cast<HKEY>(key), "volatile", 0, nullptr, REG_OPTION_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &volatileKey, nullptr),
            ERROR_SUCCESS);
  const auto child = registry.OpenSubKey(reinterpret_cast<core::Registry::Key>(volatileKey), "child", true);
  RegCloseKey(volatileKey);
  if (child) {
    registry.CloseKey(*child);
    GTEST_SKIP() << "this system keeps lasting keys below volatile ones";
  }
  EXPECT_FALSE(child.has_value());
}

TEST_F(RegistryWinTest, ReadsBackWhatItWrites) {
  ASSERT_TRUE(registry.WriteValue(key, "", RegistryValue::String("C:\\host.exe")));
  ASSERT_TRUE(registry.WriteValue(key, "OneDrive", RegistryValue::Integer(5)));
  ASSERT_TRUE(registry.WriteValue(key, "Empty", RegistryValue::String("")));
  ASSERT_TRUE(registry.WriteValue(key, "Expand", {RegistryValueType::ExpandString, "%TEMP%\\x", 0}));

  const auto host = registry.ReadValue(key, "");
  ASSERT_TRUE(host.has_value());
  EXPECT_EQ(host->type, RegistryValueType::String);
  EXPECT_EQ(host->text, "C:\\host.exe");
  const auto oneDrive = registry.ReadValue(key, "OneDrive");
  ASSERT_TRUE(oneDrive.has_value());
  EXPECT_EQ(oneDrive->type, RegistryValueType::Integer);
  EXPECT_EQ(oneDrive->integer, 5u);
  const auto empty = registry.ReadValue(key, "Empty");
  ASSERT_TRUE(empty.has_value());
  EXPECT_EQ(empty->text, "");
  const auto expand = registry.ReadValue(key, "Expand");
  ASSERT_TRUE(expand.has_value());
  EXPECT_EQ(expand->type, RegistryValueType::ExpandString);
  EXPECT_EQ(expand->text, "%TEMP%\\x");  // not expanded
  EXPECT_FALSE(registry.ReadValue(key, "Missing").has_value());
}

TEST_F(RegistryWinTest, StringsEndAtTheirFirstZeroWhateverTheStoredSize) {
  StoreRaw("Bare", REG_SZ, "abc", 3);
  StoreRaw("Padded", REG_SZ, "abc\0\0\0", 6);
  StoreRaw("Cut", REG_SZ, "ab\0cd", 5);
  StoreRaw("Nothing", REG_SZ, "", 0);
  for (const auto& [name, text] : {std::pair{"Bare", "abc"}, {"Padded", "abc"}, {"Cut", "ab"}, {"Nothing", ""}}) {
    const auto value = registry.ReadValue(key, name);
    ASSERT_TRUE(value.has_value()) << name;
    EXPECT_EQ(value->text, text) << name;
  }
}

TEST_F(RegistryWinTest, OtherKindsAndMisSizedIntegersReadAsOther) {
  const unsigned char bytes[] = {1, 2, 3, 4};
  StoreRaw("Binary", REG_BINARY, bytes, sizeof bytes);
  StoreRaw("ShortInteger", REG_DWORD, bytes, 2);
  StoreRaw("Multi", REG_MULTI_SZ, "a\0b\0\0", 5);
  for (const char* name : {"Binary", "ShortInteger", "Multi"}) {
    const auto value = registry.ReadValue(key, name);
    ASSERT_TRUE(value.has_value()) << name;
    EXPECT_EQ(value->type, RegistryValueType::Other) << name;
  }
}

TEST_F(RegistryWinTest, RefusesWritesItCouldNotReadBackAndDeletesQuietly) {
  EXPECT_FALSE(registry.WriteValue(key, "Zero", RegistryValue::String(std::string("a\0b", 3))));
  EXPECT_FALSE(registry.WriteValue(key, "Other", {RegistryValueType::Other, {}, 0}));
  EXPECT_FALSE(registry.ReadValue(key, "Zero").has_value());

  registry.DeleteValue(key, "Missing");
  ASSERT_TRUE(registry.WriteValue(key, "Gone", RegistryValue::Integer(1)));
  registry.DeleteValue(key, "Gone");
  EXPECT_FALSE(registry.ReadValue(key, "Gone").has_value());
}

}  // namespace
}  // namespace dravik::platform

#endif  // _WIN32

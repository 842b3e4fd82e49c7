#pragma once
// A registry in memory: keys and value names without regard to ASCII case, values of any type,
// and writes that can be refused below chosen keys, as a system without rights refuses them.

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "core/platform/registry.h"

namespace dravik::platform {

class FakeRegistry final : public core::Registry {
 public:
  std::optional<Key> OpenKey(core::RegistryRoot root, std::string_view path, bool create) override;
  std::optional<Key> OpenSubKey(Key parent, std::string_view path, bool create) override;
  void CloseKey(Key key) override;
  std::optional<core::RegistryValue> ReadValue(Key key, std::string_view name) override;
  bool WriteValue(Key key, std::string_view name, const core::RegistryValue& value) override;
  void DeleteValue(Key key, std::string_view name) override;
  bool DeleteKeyTree(core::RegistryRoot root, std::string_view path) override;
  void DeleteKeyIfEmpty(core::RegistryRoot root, std::string_view path) override;

  // Seeding and inspection, by path from the root.
  void Set(core::RegistryRoot root, std::string_view path, std::string_view name, core::RegistryValue value);
  std::optional<core::RegistryValue> Get(core::RegistryRoot root, std::string_view path, std::string_view name) const;
  // The string held by a value, or nothing when it is missing or not a string.
  std::optional<std::string> GetString(core::RegistryRoot root, std::string_view path, std::string_view name) const;
  bool HasKey(core::RegistryRoot root, std::string_view path) const;
  // Writes to path and every key below it are refused from now on; so are deleting values and
  // keys there, and making keys.
  void RefuseWritesBelow(core::RegistryRoot root, std::string_view path);
  std::size_t OpenKeyCount() const { return open_.size(); }
  std::size_t WriteCount() const { return writes_; }

 private:
  using Location = std::pair<core::RegistryRoot, std::string>;  // the path in upper case
  struct KeyData {
    std::map<std::string, core::RegistryValue> values;  // by upper-cased name
  };

  std::optional<Key> Open(core::RegistryRoot root, std::string path, bool create);
  void Make(const Location& location);
  bool Refused(const Location& location) const;
  static bool IsBelow(const Location& location, const Location& top);
  KeyData* Find(const Location& location);

  std::map<Location, KeyData> keys_;
  std::map<Key, Location> open_;
  std::set<Location> refused_;
  Key nextKey_ = 1;
  std::size_t writes_ = 0;
};

}  // namespace dravik::platform

#pragma once
// The registry through the system's 8-bit interfaces. Keys are asked for with full access on
// every open, reads included, as the program has always done; a Key is the system's key handle.

#include "core/platform/registry.h"

namespace dravik::platform {

class RegistryWin final : public core::Registry {
 public:
  // Values larger than this read as Other: nothing the program stores comes near it, and a read
  // must not allocate whatever size a stranger's value claims.
  static constexpr std::size_t kMaxValueBytes = 16 * 1024 * 1024;

  std::optional<Key> OpenKey(core::RegistryRoot root, std::string_view path, bool create) override;
  std::optional<Key> OpenSubKey(Key parent, std::string_view path, bool create) override;
  void CloseKey(Key key) override;

  // Strings end at their first zero byte, however many the stored size holds (none included);
  // an integer must be exactly four bytes, otherwise it reads as Other.
  std::optional<core::RegistryValue> ReadValue(Key key, std::string_view name) override;
  // Strings are stored with their terminating zero. A name or text holding a zero byte, and the
  // type Other, are refused: the system would store something other than what was asked.
  bool WriteValue(Key key, std::string_view name, const core::RegistryValue& value) override;
  void DeleteValue(Key key, std::string_view name) override;
  bool DeleteKeyTree(core::RegistryRoot root, std::string_view path) override;
  void DeleteKeyIfEmpty(core::RegistryRoot root, std::string_view path) override;
};

}  // namespace dravik::platform

#pragma once
// One sequence of registry operations on one key at a time, with the program's rules: a key is
// opened below the open key when one is open and below the root otherwise; reading what is not
// there gives the empty string; a refused write or a value of the wrong type is a Failure.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/platform/registry.h"

namespace dravik::core {

class RegistrySession {
 public:
  RegistrySession(Registry& registry, RegistryRoot root) : registry_(registry), root_(root) {}
  ~RegistrySession() { CloseKey(); }
  RegistrySession(const RegistrySession&) = delete;
  RegistrySession& operator=(const RegistrySession&) = delete;

  // Opens path, making missing keys when create is set; the key open before is closed. Answers
  // whether a key is open now: when the open fails, no key is open.
  bool OpenKey(std::string_view path, bool create);
  void CloseKey();

  // The empty string when the value or the key is missing; Failure "Invalid data type" for a
  // value that is no string.
  std::string ReadString(std::string_view name);
  // Failure "Invalid data type" unless the value is a 32-bit integer.
  std::int32_t ReadInteger(std::string_view name);
  bool ValueExists(std::string_view name);
  // Failure "Failed to set data" when refused, also when no key is open.
  void WriteString(std::string_view name, std::string text);
  void WriteInteger(std::string_view name, std::int32_t value);
  void DeleteValue(std::string_view name);

 private:
  std::optional<RegistryValue> Read(std::string_view name);
  void Write(std::string_view name, const RegistryValue& value);

  Registry& registry_;
  RegistryRoot root_;
  std::optional<Registry::Key> key_;
};

}  // namespace dravik::core

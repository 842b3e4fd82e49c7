#pragma once
// The system registry as the program uses it: keys opened one at a time under two roots, values
// read, written and deleted. The rules the program applies on top (relative opens, error texts,
// what a missing value reads as) live in core/settings/registry_session.h.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dravik::core {

enum class RegistryRoot { LocalMachine, ClassesRoot };

// The value kinds the program tells apart; every other kind (binary, 64-bit, multi-string) is
// Other, which the program never writes and refuses to read.
enum class RegistryValueType { String, ExpandString, Integer, Other };

struct RegistryValue {
  RegistryValueType type = RegistryValueType::String;
  std::string text;            // String and ExpandString, without the terminating zero
  std::uint32_t integer = 0;   // Integer

  static RegistryValue String(std::string text) { return {RegistryValueType::String, std::move(text), 0}; }
  static RegistryValue Integer(std::uint32_t value) { return {RegistryValueType::Integer, {}, value}; }
  bool operator==(const RegistryValue&) const = default;
};

class Registry {
 public:
  using Key = std::uintptr_t;  // an open key; never 0

  virtual ~Registry() = default;

  // Opens path (keys separated by "\") below root, or below an open key, asking for full read and
  // write access. With create, missing keys on the way are made. Nothing when the system refuses.
  // Every key opened must be closed with CloseKey.
  virtual std::optional<Key> OpenKey(RegistryRoot root, std::string_view path, bool create) = 0;
  virtual std::optional<Key> OpenSubKey(Key parent, std::string_view path, bool create) = 0;
  virtual void CloseKey(Key key) = 0;

  // The empty name is the key's default value. Nothing when the value does not exist.
  virtual std::optional<RegistryValue> ReadValue(Key key, std::string_view name) = 0;
  // False when the system refuses the write.
  virtual bool WriteValue(Key key, std::string_view name, const RegistryValue& value) = 0;
  // A value that does not exist is no error.
  virtual void DeleteValue(Key key, std::string_view name) = 0;

  // Removes path below root with every key and value below it. A missing key is no error; false
  // when the system refuses.
  virtual bool DeleteKeyTree(RegistryRoot root, std::string_view path) = 0;
  // Removes path below root when it holds no value and no key; otherwise, or when it is missing,
  // nothing happens.
  virtual void DeleteKeyIfEmpty(RegistryRoot root, std::string_view path) = 0;
};

}  // namespace dravik::core

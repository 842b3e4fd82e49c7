#pragma once
// A registry that passes everything on to another one and notes whether anything it was asked to
// do changed a value: the shell is told of changed associations only when something changed, so
// that a start that finds everything in place does not make it reload every icon.

#include "core/platform/registry.h"

namespace dravik::core {

class ChangeRecordingRegistry final : public Registry {
 public:
  explicit ChangeRecordingRegistry(Registry& registry) : registry_(registry) {}

  std::optional<Key> OpenKey(RegistryRoot root, std::string_view path, bool create) override;
  std::optional<Key> OpenSubKey(Key parent, std::string_view path, bool create) override;
  void CloseKey(Key key) override;
  std::optional<RegistryValue> ReadValue(Key key, std::string_view name) override;
  // A write of the value a key already holds is no change.
  bool WriteValue(Key key, std::string_view name, const RegistryValue& value) override;
  // Deleting a value that is not there is no change.
  void DeleteValue(Key key, std::string_view name) override;
  bool DeleteKeyTree(RegistryRoot root, std::string_view path) override;
  void DeleteKeyIfEmpty(RegistryRoot root, std::string_view path) override;

  // Whether anything changed since the last call; the record starts again.
  bool TakeChanged();

 private:
  Registry& registry_;
  bool changed_ = false;
};

}  // namespace dravik::core

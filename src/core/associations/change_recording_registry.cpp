#include "core/associations/change_recording_registry.h"

#include <utility>

namespace dravik::core {

std::optional<Registry::Key> ChangeRecordingRegistry::OpenKey(RegistryRoot root, std::string_view path, bool create) {
  return registry_.OpenKey(root, path, create);
}

std::optional<Registry::Key> ChangeRecordingRegistry::OpenSubKey(Key parent, std::string_view path, bool create) {
  return registry_.OpenSubKey(parent, path, create);
}

void ChangeRecordingRegistry::CloseKey(Key key) { registry_.CloseKey(key); }

std::optional<RegistryValue> ChangeRecordingRegistry::ReadValue(Key key, std::string_view name) {
  return registry_.ReadValue(key, name);
}

bool ChangeRecordingRegistry::WriteValue(Key key, std::string_view name, const RegistryValue& value) {
  const bool same = registry_.ReadValue(key, name) == value;
  const bool written = registry_.WriteValue(key, name, value);
  changed_ = changed_ || (written && !same);
  return written;
}

void ChangeRecordingRegistry::DeleteValue(Key key, std::string_view name) {
  changed_ = changed_ || registry_.ReadValue(key, name).has_value();
  registry_.DeleteValue(key, name);
}

// Removing keys is what only a give-back of everything does; it counts as a change whatever was
// there.
bool ChangeRecordingRegistry::DeleteKeyTree(RegistryRoot root, std::string_view path) {
  changed_ = true;
  return registry_.DeleteKeyTree(root, path);
}

void ChangeRecordingRegistry::DeleteKeyIfEmpty(RegistryRoot root, std::string_view path) {
  registry_.DeleteKeyIfEmpty(root, path);
}

bool ChangeRecordingRegistry::TakeChanged() { return std::exchange(changed_, false); }

}  // namespace dravik::core

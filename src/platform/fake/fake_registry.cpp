#include "platform/fake/fake_registry.h"

#include "engine/engine.h"

namespace dravik::platform {

namespace {

// Paths compare without regard to case and without empty pieces ("a\\b\" is a\b).
std::string Normalised(std::string_view path) {
  std::string result;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) {
      if (!result.empty()) result += '\\';
      result += engine::AsciiUpperCase(path.substr(start, end - start));
    }
    start = end + 1;
  }
  return result;
}

std::string Joined(const std::string& parent, std::string_view child) {
  const std::string tail = Normalised(child);
  if (parent.empty() || tail.empty()) return parent + tail;
  return parent + "\\" + tail;
}

}  // namespace

std::optional<core::Registry::Key> FakeRegistry::Open(core::RegistryRoot root, std::string path, bool create) {
  const Location location{root, std::move(path)};
  if (!keys_.contains(location)) {
    if (!create || Refused(location)) return std::nullopt;
    Make(location);
  }
  open_[nextKey_] = location;
  return nextKey_++;
}

// Making a key makes the keys on the way.
void FakeRegistry::Make(const Location& location) {
  for (std::size_t bar = 0; (bar = location.second.find('\\', bar)) != std::string::npos; ++bar)
    keys_[{location.first, location.second.substr(0, bar)}];
  keys_[location];
}

std::optional<core::Registry::Key> FakeRegistry::OpenKey(core::RegistryRoot root, std::string_view path, bool create) {
  return Open(root, Normalised(path), create);
}

std::optional<core::Registry::Key> FakeRegistry::OpenSubKey(Key parent, std::string_view path, bool create) {
  const auto found = open_.find(parent);
  if (found == open_.end()) return std::nullopt;
  return Open(found->second.first, Joined(found->second.second, path), create);
}

void FakeRegistry::CloseKey(Key key) { open_.erase(key); }

FakeRegistry::KeyData* FakeRegistry::Find(const Location& location) {
  const auto found = keys_.find(location);
  return found == keys_.end() ? nullptr : &found->second;
}

// The key itself or one below it; everything is below the root.
bool FakeRegistry::IsBelow(const Location& location, const Location& top) {
  if (location.first != top.first) return false;
  const std::string& prefix = top.second;
  return location.second == prefix || prefix.empty() ||
         (location.second.starts_with(prefix) && location.second[prefix.size()] == '\\');
}

bool FakeRegistry::Refused(const Location& location) const {
  for (const Location& refused : refused_)
    if (IsBelow(location, refused)) return true;
  return false;
}

std::optional<core::RegistryValue> FakeRegistry::ReadValue(Key key, std::string_view name) {
  const auto found = open_.find(key);
  if (found == open_.end()) return std::nullopt;
  return Get(found->second.first, found->second.second, name);
}

bool FakeRegistry::WriteValue(Key key, std::string_view name, const core::RegistryValue& value) {
  const auto found = open_.find(key);
  if (found == open_.end() || Refused(found->second)) return false;
  keys_[found->second].values[engine::AsciiUpperCase(name)] = value;
  ++writes_;
  return true;
}

void FakeRegistry::DeleteValue(Key key, std::string_view name) {
  const auto found = open_.find(key);
  if (found == open_.end() || Refused(found->second)) return;
  if (KeyData* data = Find(found->second)) data->values.erase(engine::AsciiUpperCase(name));
}

bool FakeRegistry::DeleteKeyTree(core::RegistryRoot root, std::string_view path) {
  const Location top{root, Normalised(path)};
  if (Refused(top)) return false;
  std::erase_if(keys_, [&](const auto& key) { return IsBelow(key.first, top); });
  return true;
}

void FakeRegistry::DeleteKeyIfEmpty(core::RegistryRoot root, std::string_view path) {
  const Location location{root, Normalised(path)};
  const KeyData* data = Find(location);
  if (!data || !data->values.empty() || Refused(location)) return;
  for (const auto& key : keys_)
    if (key.first != location && IsBelow(key.first, location)) return;
  keys_.erase(location);
}

void FakeRegistry::Set(core::RegistryRoot root, std::string_view path, std::string_view name, core::RegistryValue value) {
  const Location location{root, Normalised(path)};
  Make(location);
  keys_[location].values[engine::AsciiUpperCase(name)] = std::move(value);
}

std::optional<core::RegistryValue> FakeRegistry::Get(core::RegistryRoot root, std::string_view path,
                                                     std::string_view name) const {
  const auto key = keys_.find({root, Normalised(path)});
  if (key == keys_.end()) return std::nullopt;
  const auto value = key->second.values.find(engine::AsciiUpperCase(name));
  if (value == key->second.values.end()) return std::nullopt;
  return value->second;
}

std::optional<std::string> FakeRegistry::GetString(core::RegistryRoot root, std::string_view path,
                                                   std::string_view name) const {
  std::optional<core::RegistryValue> value = Get(root, path, name);
  if (!value || value->type != core::RegistryValueType::String) return std::nullopt;
  return value->text;
}

bool FakeRegistry::HasKey(core::RegistryRoot root, std::string_view path) const {
  return keys_.contains({root, Normalised(path)});
}

void FakeRegistry::RefuseWritesBelow(core::RegistryRoot root, std::string_view path) {
  refused_.insert({root, Normalised(path)});
}

}  // namespace dravik::platform

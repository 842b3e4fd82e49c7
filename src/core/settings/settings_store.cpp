#include "core/settings/settings_store.h"

#include "core/settings/registry_session.h"

namespace dravik::core {

std::string JoinExtensions(const std::vector<std::string>& entries) {
  std::string joined;
  for (const std::string& entry : entries) joined += '|' + entry;
  return joined.empty() ? joined : joined.substr(1);
}

std::vector<std::string> SplitExtensions(std::string_view joined) {
  std::vector<std::string> entries;
  if (joined.empty()) return entries;
  for (std::size_t bar; (bar = joined.find('|')) != std::string_view::npos; joined.remove_prefix(bar + 1))
    entries.emplace_back(joined.substr(0, bar));
  entries.emplace_back(joined);
  return entries;
}

void ReadSettings(Registry& registry, MainWindowState& state) {
  RegistrySession settings(registry, RegistryRoot::LocalMachine);
  settings.OpenKey(kSettingsKey, true);
  state.hostApplication = settings.ReadString(kHostApplicationValue);
  if (settings.ValueExists(kOneDriveValue)) state.oneDrive = settings.ReadInteger(kOneDriveValue) != 0;
  state.extensions.Clear();
  for (const std::string& entry : SplitExtensions(settings.ReadString(kAdditionalExtensionsValue)))
    state.extensions.Add(entry);
}

void WriteSettings(Registry& registry, const MainWindowState& state) {
  RegistrySession settings(registry, RegistryRoot::LocalMachine);
  settings.OpenKey(kSettingsKey, true);
  settings.WriteString(kHostApplicationValue, state.hostApplication);
  settings.WriteInteger(kOneDriveValue, state.oneDrive ? 1 : 0);
}

void WriteExtensionList(Registry& registry, const ExtensionList& extensions) {
  RegistrySession settings(registry, RegistryRoot::LocalMachine);
  settings.OpenKey(kSettingsKey, true);
  settings.WriteString(kAdditionalExtensionsValue, JoinExtensions(extensions.Entries()));
}

}  // namespace dravik::core

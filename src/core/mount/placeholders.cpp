#include "core/mount/placeholders.h"

#include "core/messages.h"
#include "core/paths.h"
#include "core/settings/registry_session.h"
#include "engine/engine.h"

namespace dravik::core {

void ReplacePlaceholder(std::string& text, std::string_view placeholder, std::string_view value) {
  if (placeholder.empty()) return;
  const std::string wanted = engine::AsciiUpperCase(placeholder);
  std::string result;
  std::size_t from = 0;
  for (std::size_t at; (at = engine::AsciiUpperCase(text).find(wanted, from)) != std::string::npos;
       from = at + placeholder.size()) {
    result.append(text, from, at - from);
    result.append(value);
  }
  result.append(text, from);
  text = std::move(result);
}

namespace {

// The key belongs to the player, not to us: a value of another type counts as missing, or every
// mount would fail over a setting the user cannot see.
std::string PlayerFolder(RegistrySession& machine) {
  try {
    return machine.ReadString(kPowerDvdFolderValue);
  } catch (const Failure&) {
    return {};
  }
}

}  // namespace

std::string GetNamedPath(Registry& registry, std::string_view name) {
  if (engine::AsciiUpperCase(name) != "POWERDVDPATH") return {};
  RegistrySession machine(registry, RegistryRoot::LocalMachine);
  machine.OpenKey(kPowerDvdKey, false);
  std::string folder = PlayerFolder(machine);
  if (folder.empty() || folder.back() != '\\') folder += '\\';
  return folder;
}

std::string ScriptFilePath(std::string_view argumentFile) {
  std::string_view folder = FolderPart(argumentFile);
  if (!folder.empty() && folder.back() == '\\') folder.remove_suffix(1);
  return std::string(folder);
}

void ExpandPlaceholders(std::string& text, std::string_view argumentFile, Registry& registry) {
  ReplacePlaceholder(text, kScriptFilePathPlaceholder, ScriptFilePath(argumentFile));
  ReplacePlaceholder(text, kPowerDvdPathPlaceholder, GetNamedPath(registry, "powerdvdpath"));
}

}  // namespace dravik::core

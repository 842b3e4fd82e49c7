#include "core/associations/associations.h"

#include <cstdint>
#include <vector>

#include "core/messages.h"
#include "core/paths.h"
#include "core/settings/registry_session.h"
#include "core/settings/settings_store.h"
#include "engine/engine.h"

namespace dravik::core {

namespace {

constexpr std::string_view kDefaultValue = "";
constexpr std::string_view kIconKey = "DefaultIcon";
constexpr std::string_view kOpenCommandKey = "dravikfile\\shell\\open\\command";

bool IsOurClass(std::string_view fileClass) {
  return engine::AsciiUpperCase(fileClass) == engine::AsciiUpperCase(kFileClass);
}

void WriteFileClass(Registry& registry, std::string_view programPath) {
  RegistrySession classes(registry, RegistryRoot::ClassesRoot);
  classes.OpenKey(kFileClass, true);
  classes.WriteString(kDefaultValue, std::string(kFileClassDescription));
  classes.OpenKey(kIconKey, true);  // below the class key, which is still open
  classes.WriteString(kDefaultValue, Quoted(programPath));
  classes.CloseKey();
  classes.OpenKey(kOpenCommandKey, true);
  classes.WriteString(kDefaultValue, Quoted(programPath) + " " + Quoted("%1"));
}

char ReadGlyph(Registry& registry, std::string_view extension) {
  RegistrySession classes(registry, RegistryRoot::ClassesRoot);
  classes.OpenKey(ExtensionKey(extension), true);
  return IsOurClass(classes.ReadString(kDefaultValue)) ? kGlyphTicked : kGlyphCrossed;
}

std::string FileAssociationsPath() { return CapabilitiesPath() + "\\" + std::string(kFileAssociationsKey); }

// The shell reads only the value's name; its data stays empty.
void OfferInOpenWith(Registry& registry, std::string_view extension) {
  RegistrySession classes(registry, RegistryRoot::ClassesRoot);
  classes.OpenKey(OpenWithPath(extension), true);
  classes.WriteString(kFileClass, {});
}

// Nothing is made where nothing is to be removed.
void DeleteIfThere(Registry& registry, RegistryRoot root, const std::string& path, std::string_view name) {
  RegistrySession session(registry, root);
  if (session.OpenKey(path, false)) session.DeleteValue(name);
}

std::vector<std::string_view> HeldExtensions(const std::array<char, kFixedExtensionCount>& glyphs,
                                             const ExtensionList& extensions) {
  std::vector<std::string_view> held;
  for (std::size_t i = 0; i < kFixedExtensionCount; ++i)
    if (glyphs[i] == kGlyphTicked) held.push_back(kFixedExtensions[i].extension);
  for (const std::string& entry : extensions.Entries()) held.push_back(entry);
  return held;
}

// The crossed fixed extensions leave the list first: one that is also an extra is held again.
void WriteCapabilities(Registry& registry, const std::array<char, kFixedExtensionCount>& glyphs,
                       const std::vector<std::string_view>& held) {
  RegistrySession machine(registry, RegistryRoot::LocalMachine);
  machine.OpenKey(CapabilitiesPath(), true);
  machine.WriteString(kApplicationNameValue, std::string(kCapabilitiesName));
  machine.WriteString(kApplicationDescriptionValue, std::string(kCapabilitiesDescription));
  machine.OpenKey(kFileAssociationsKey, true);
  for (std::size_t i = 0; i < kFixedExtensionCount; ++i)
    if (glyphs[i] == kGlyphCrossed) machine.DeleteValue(ExtensionKey(kFixedExtensions[i].extension));
  for (std::string_view extension : held) machine.WriteString(ExtensionKey(extension), std::string(kFileClass));
  machine.CloseKey();
  machine.OpenKey(kRegisteredApplicationsKey, true);
  machine.WriteString(kRegisteredApplicationName, CapabilitiesPath());
}

// What giving an extension back does when no former class was saved for it.
enum class WithoutSavedClass : std::uint8_t {
  kKeepOurs,      // the extension stays ours
  kGiveBackNone,  // the (absent) saved class, an empty one, goes back all the same
};

void GiveBack(Registry& registry, std::string_view extension, WithoutSavedClass withoutSavedClass) {
  RegistrySession classes(registry, RegistryRoot::ClassesRoot);
  classes.OpenKey(ExtensionKey(extension), true);
  if (withoutSavedClass == WithoutSavedClass::kKeepOurs && !classes.ValueExists(kSavedClassValue)) return;
  classes.WriteString(kDefaultValue, classes.ReadString(kSavedClassValue));
  classes.DeleteValue(kSavedClassValue);
  classes.CloseKey();
  Withdraw(registry, extension);
}

}  // namespace

void TakeExtension(Registry& registry, std::string_view extension) {
  RegistrySession classes(registry, RegistryRoot::ClassesRoot);
  classes.OpenKey(ExtensionKey(extension), true);
  std::string former = classes.ReadString(kDefaultValue);
  if (IsOurClass(former)) return;
  classes.WriteString(kSavedClassValue, std::move(former));
  classes.WriteString(kDefaultValue, std::string(kFileClass));
}

void GiveBackFixedExtension(Registry& registry, std::string_view extension) {
  GiveBack(registry, extension, WithoutSavedClass::kKeepOurs);
}

void GiveBackExtraExtension(Registry& registry, std::string_view extension) {
  GiveBack(registry, extension, WithoutSavedClass::kGiveBackNone);
}

bool HoldsExtension(Registry& registry, std::string_view extension) {
  RegistrySession classes(registry, RegistryRoot::ClassesRoot);
  if (!classes.OpenKey(ExtensionKey(extension), false)) return false;
  try {
    return IsOurClass(classes.ReadString(kDefaultValue));
  } catch (const Failure&) {
    return false;  // a value of another type names no class, so not the program's
  }
}

void Withdraw(Registry& registry, std::string_view extension) {
  DeleteIfThere(registry, RegistryRoot::ClassesRoot, OpenWithPath(extension), kFileClass);
  DeleteIfThere(registry, RegistryRoot::LocalMachine, FileAssociationsPath(), ExtensionKey(extension));
}

std::string ExtensionKey(std::string_view extension) { return '.' + std::string(extension); }

std::string OpenWithPath(std::string_view extension) {
  return ExtensionKey(extension) + "\\" + std::string(kOpenWithKey);
}

std::string CapabilitiesPath() { return std::string(kSettingsKey) + "\\" + std::string(kCapabilitiesKey); }

void RefreshAssociations(Registry& registry, std::string_view programPath,
                         std::array<char, kFixedExtensionCount>& glyphs, const ExtensionList& extensions) {
  WriteFileClass(registry, programPath);
  for (std::size_t i = 0; i < kFixedExtensionCount; ++i) glyphs[i] = ReadGlyph(registry, kFixedExtensions[i].extension);
  for (const std::string& entry : extensions.Entries()) TakeExtension(registry, entry);
  WriteExtensionList(registry, extensions);
  // The shell's lists come last: where they are refused, everything above is already done.
  const std::vector<std::string_view> held = HeldExtensions(glyphs, extensions);
  for (std::string_view extension : held) OfferInOpenWith(registry, extension);
  WriteCapabilities(registry, glyphs, held);
}

}  // namespace dravik::core

#include "core/associations/associations.h"

#include "core/paths.h"
#include "core/settings/registry_session.h"
#include "core/settings/settings_store.h"
#include "engine/names/names.h"

namespace dravik::core {

namespace {

constexpr std::string_view kDefaultValue = "";
constexpr std::string_view kIconKey = "DefaultIcon";
constexpr std::string_view kOpenCommandKey = "dravikfile\\shell\\open\\command";


std::string ExtensionKey(std::string_view extension) { return '.' + std::string(extension); }

bool IsOurClass(std::string_view fileClass) {
  return engine::FastUpperCase(fileClass) == engine::FastUpperCase(kFileClass);
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
  RegistrySession classes(registry, RegistryRoot::ClassesRoot);
  classes.OpenKey(ExtensionKey(extension), true);
  if (!classes.ValueExists(kSavedClassValue)) return;
  classes.WriteString(kDefaultValue, classes.ReadString(kSavedClassValue));
  classes.DeleteValue(kSavedClassValue);
}

void GiveBackExtraExtension(Registry& registry, std::string_view extension) {
  RegistrySession classes(registry, RegistryRoot::ClassesRoot);
  classes.OpenKey(ExtensionKey(extension), true);
  classes.WriteString(kDefaultValue, classes.ReadString(kSavedClassValue));
  classes.DeleteValue(kSavedClassValue);
}

void RefreshAssociations(Registry& registry, std::string_view programPath,
                         std::array<char, kFixedExtensionCount>& glyphs, const ExtensionList& extensions) {
  WriteFileClass(registry, programPath);
  for (std::size_t i = 0; i < kFixedExtensionCount; ++i) glyphs[i] = ReadGlyph(registry, kFixedExtensions[i].extension);
  for (const std::string& entry : extensions.Entries()) TakeExtension(registry, entry);
  WriteExtensionList(registry, extensions);
}

}  // namespace dravik::core

#include "core/associations/unregistration.h"

#include <vector>

#include "core/associations/associations.h"
#include "core/messages.h"
#include "core/settings/registry_session.h"
#include "core/settings/settings_store.h"
#include "engine/engine.h"

namespace dravik::core {

namespace {

constexpr std::string_view kDefaultValue = "";

class Unregistration {
 public:
  Unregistration(Registry& registry, Shell& shell) : registry_(registry), shell_(shell) {}

  bool Run() {
    const std::vector<std::string> extras = StoredExtras();
    // The extras first: one that is also a fixed extension goes back to the class saved for it,
    // which the fixed give-back would otherwise have deleted.
    for (const std::string& extra : extras) Attempt([&] { GiveBackIfHeld(extra, GiveBackExtraExtension); });
    Attempt([&] { ClearStoredExtras(); });
    for (const FixedExtension& fixed : kFixedExtensions)
      Attempt([&] { GiveBackIfHeld(fixed.extension, GiveBackFixedExtension); });
    for (const std::string& extra : extras) Attempt([&] { Forget(extra); });
    for (const FixedExtension& fixed : kFixedExtensions) Attempt([&] { Forget(fixed.extension); });
    if (complete_) RemoveRegistration();
    shell_.NotifyAssociationsChanged();
    return complete_;
  }

 private:
  template <typename Step>
  void Attempt(Step step) {
    try {
      step();
    } catch (const Failure&) {
      complete_ = false;
    }
  }

  std::vector<std::string> StoredExtras() {
    std::vector<std::string> extras;
    Attempt([&] {
      RegistrySession settings(registry_, RegistryRoot::LocalMachine);
      if (settings.OpenKey(kSettingsKey, false)) extras = SplitExtensions(settings.ReadString(kAdditionalExtensionsValue));
    });
    return extras;
  }

  void GiveBackIfHeld(std::string_view extension, void (*giveBack)(Registry&, std::string_view)) {
    if (HoldsExtension(registry_, extension)) giveBack(registry_, extension);
  }

  void ClearStoredExtras() {
    RegistrySession settings(registry_, RegistryRoot::LocalMachine);
    if (settings.OpenKey(kSettingsKey, false)) settings.WriteString(kAdditionalExtensionsValue, {});
  }

  // An extension still held had no class to go back to: it is left without one.
  void Forget(std::string_view extension) {
    if (HoldsExtension(registry_, extension)) {
      RegistrySession classes(registry_, RegistryRoot::ClassesRoot);
      classes.OpenKey(ExtensionKey(extension), false);
      classes.DeleteValue(kDefaultValue);
      classes.DeleteValue(kSavedClassValue);
    }
    if (HoldsExtension(registry_, extension)) complete_ = false;
    Withdraw(registry_, extension);
    registry_.DeleteKeyIfEmpty(RegistryRoot::ClassesRoot, OpenWithPath(extension));
    registry_.DeleteKeyIfEmpty(RegistryRoot::ClassesRoot, ExtensionKey(extension));
  }

  void RemoveRegistration() {
    RegistrySession machine(registry_, RegistryRoot::LocalMachine);
    if (machine.OpenKey(kRegisteredApplicationsKey, false)) machine.DeleteValue(kRegisteredApplicationName);
    machine.CloseKey();
    complete_ = registry_.DeleteKeyTree(RegistryRoot::LocalMachine, CapabilitiesPath()) &&
                registry_.DeleteKeyTree(RegistryRoot::ClassesRoot, kFileClass);
  }

  Registry& registry_;
  Shell& shell_;
  bool complete_ = true;
};

}  // namespace

bool IsUnregisterSwitch(const std::vector<std::string>& arguments) {
  return !arguments.empty() && engine::AsciiUpperCase(arguments.front()) == engine::AsciiUpperCase(kUnregisterSwitch);
}

bool Unregister(Registry& registry, Shell& shell) { return Unregistration(registry, shell).Run(); }

}  // namespace dravik::core

#include "core/main_window/main_window.h"

#include "core/associations/associations.h"
#include "core/associations/extension_text.h"
#include "core/messages.h"
#include "core/paths.h"
#include "core/script_host/cut_ext.h"
#include "core/script_host/script_host.h"
#include "core/settings/settings_store.h"

namespace dravik::core {

TForm1::TForm1(Platform& platform)
    : platform_(platform), associationRegistry_(platform.registry), mounter_(platform, argumentFile_, state_.hostApplication) {}

// A failure ends the handler where it happened; what was done before it stays done.
template <typename Step>
void TForm1::Guarded(Step step) {
  try {
    step();
  } catch (const std::exception& failure) {
    NotifyShellOfAssociationChanges();  // what was changed before the failure
    platform_.messageBoxes.ShowError(kApplicationTitle, failure.what());
  }
}

void TForm1::FormCreate(const std::vector<std::string>& arguments) {
  Guarded([&] {
    ReadSettings();
    RefreshAssociations();
    if (arguments.empty()) return SetSettingsLayout();
    SetMountLayout(arguments.front());
    if (CutExt(argumentFile_) == "DK2") return RunScriptFile();
    if (state_.oneDrive) MountAction();
  });
}

void TForm1::FormClose() {
  Scripts().StopAll();
  Guarded([&] { WriteSettings(platform_.registry, state_); });
}

void TForm1::ReadSettings() { core::ReadSettings(platform_.registry, state_); }

void TForm1::RefreshAssociations() {
  core::RefreshAssociations(associationRegistry_, platform_.files.ProgramPath(), state_.glyphs, state_.extensions);
  NotifyShellOfAssociationChanges();
}

void TForm1::NotifyShellOfAssociationChanges() {
  if (associationRegistry_.TakeChanged()) platform_.shell.NotifyAssociationsChanged();
}

void TForm1::SetSettingsLayout() {
  state_.mountPanelVisible = false;
  state_.settingsPanelTop = kSettingsPanelTop;
  state_.clientHeight = kSettingsClientHeight;
}

void TForm1::SetMountLayout(const std::string& argument) {
  state_.fileLabel = argument;
  argumentFile_ = Trimmed(argument);
  state_.settingsPanelVisible = false;
  state_.clientHeight = kMountClientHeight;
  state_.clientWidth = kDesignClientWidth;
}

void TForm1::RunScriptFile() {
  if (!mounter_.RunScript(argumentFile_)) exitStatus_ = kScriptFailedExitStatus;
  platform_.application.Terminate();
}

void TForm1::MountAction() { mounter_.MountAction(state_.imageNumber.Value()); }

void TForm1::Label1Click(std::size_t index) {
  if (index >= kFixedExtensionCount) return;
  Guarded([&] {
    char& glyph = state_.glyphs[index];
    glyph = glyph == kGlyphTicked ? kGlyphCrossed : kGlyphTicked;
    if (glyph == kGlyphTicked)
      TakeExtension(associationRegistry_, kFixedExtensions[index].extension);
    else
      GiveBackFixedExtension(associationRegistry_, kFixedExtensions[index].extension);
    RefreshAssociations();
  });
}

void TForm1::FlatEdit1KeyDown(int key) {
  if (key != kKeyEnter) return;
  Guarded([&] {
    if (const std::optional<std::string> refusal = ExtensionRefusal(state_.extensionField)) throw Failure(*refusal);
    state_.extensions.Add(state_.extensionField);
    RefreshAssociations();
    state_.extensionField.clear();
  });
}

void TForm1::MovingLabel28Click() {
  const std::optional<std::size_t> selected = state_.extensions.Selected();
  if (!selected) return;
  Guarded([&] {
    GiveBackExtraExtension(associationRegistry_, state_.extensions.Entries()[*selected]);
    state_.extensions.RemoveAt(*selected);
    RefreshAssociations();
  });
}

void TForm1::FormKeyDown(int key) {
  if (key == kKeyEscape) platform_.application.CloseMainWindow();
  if (key == kKeyEnter) Guarded([&] { MountAction(); });
}

void TForm1::KeyDown(KeyPlace place, int key) {
  switch (place) {
    case KeyPlace::Window:
    case KeyPlace::ImageNumberField:
      return FormKeyDown(key);
    case KeyPlace::ExtensionField:
      return FlatEdit1KeyDown(key);
    case KeyPlace::OtherControl:
      return;
  }
}

void TForm1::Label9Click() { FormKeyDown(kKeyEnter); }

void TForm1::MovingLabel21Click() { platform_.application.CloseMainWindow(); }

}  // namespace dravik::core

#pragma once
// What the main window shows, as plain data: the core changes it, the window layer draws it and
// writes back what the user edits directly (the extension field's text, the list's selection,
// the check box, the image number's text, a chosen host application).

#include <array>
#include <string>

#include "core/associations/extension_list.h"
#include "core/associations/fixed_extensions.h"
#include "core/main_window/image_number_field.h"

namespace dravik::core {

// Client sizes and panel tops in pixels.
inline constexpr int kDesignClientWidth = 482;
inline constexpr int kDesignClientHeight = 712;
inline constexpr int kSettingsClientHeight = 582;
inline constexpr int kMountClientHeight = 177;
inline constexpr int kMountPanelTop = 55;
inline constexpr int kSettingsPanelDesignTop = 180;
inline constexpr int kSettingsPanelTop = 50;

struct MainWindowState {
  int clientWidth = kDesignClientWidth;
  int clientHeight = kDesignClientHeight;
  bool mountPanelVisible = true;  // FlatPanel3
  int mountPanelTop = kMountPanelTop;
  bool settingsPanelVisible = true;  // FlatPanel4
  int settingsPanelTop = kSettingsPanelDesignTop;

  std::string fileLabel;                 // Label7: the first argument, untrimmed
  ImageNumberField imageNumber;          // FlatSpinEditInteger1
  std::string hostApplication;           // MovingLabel16
  std::array<char, kFixedExtensionCount> glyphs = MakeCrossedGlyphs();  // in kFixedExtensions order
  ExtensionList extensions;              // FlatListBox1
  std::string extensionField;            // FlatEdit1
  bool oneDrive = false;                 // FlatCheckBox1

 private:
  static constexpr std::array<char, kFixedExtensionCount> MakeCrossedGlyphs() {
    std::array<char, kFixedExtensionCount> glyphs{};
    glyphs.fill(kGlyphCrossed);
    return glyphs;
  }
};

}  // namespace dravik::core

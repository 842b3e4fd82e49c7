#pragma once
// The main window's controls: their identifiers (fixed, other programs find the controls by
// them), kinds, places and fixed texts. Places are client pixels relative to the panel that holds
// the control; a panel's controls show only while the panel is visible.

#include <array>
#include <cstddef>
#include <string_view>

#include "core/associations/fixed_extensions.h"

namespace dravik::windows {

inline constexpr int kFirstGlyphId = 101;  // one per fixed extension, in kFixedExtensions order
inline constexpr int kExtensionFieldId = 110;
inline constexpr int kExtensionListId = 111;
inline constexpr int kDeleteLinkId = 112;
inline constexpr int kOneDriveId = 113;
inline constexpr int kHostApplicationId = 114;
inline constexpr int kOpenHostId = 115;
inline constexpr int kFileLabelId = 120;
inline constexpr int kImageNumberId = 121;
inline constexpr int kMountLinkId = 122;
inline constexpr int kCloseId = 130;
inline constexpr int kNoId = 0xFFFF;  // headings and captions, which nothing looks up

constexpr int GlyphId(std::size_t index) { return kFirstGlyphId + static_cast<int>(index); }

enum class ControlKind { Button, WrappedButton, CheckBox, Edit, ListBox, Label };
enum class Panel { Window, Mount, Settings };

struct ControlPlace {
  int id;
  ControlKind kind;
  Panel panel;
  int x, y, width, height;
  std::string_view text;  // the start text; the state's texts replace it
};

namespace detail {

inline constexpr int kGlyphColumnX[] = {36, 246};
inline constexpr int kGlyphFirstRowY = 133;
inline constexpr int kGlyphRowStep = 50;

constexpr ControlPlace GlyphPlace(std::size_t index) {
  const core::FixedExtension& fixed = core::kFixedExtensions[index];
  return {GlyphId(index), ControlKind::Button, Panel::Settings, kGlyphColumnX[fixed.column],
          kGlyphFirstRowY + kGlyphRowStep * fixed.row, 200, 30, fixed.caption};
}

}  // namespace detail

static_assert(core::kFixedExtensionCount == 8, "one glyph place per fixed extension below");

inline constexpr auto kControlPlaces = std::to_array<ControlPlace>({
    {kCloseId, ControlKind::Button, Panel::Window, 450, 16, 22, 24, "X"},

    {kNoId, ControlKind::Label, Panel::Mount, 20, 15, 200, 16, "Mount Image"},
    {kFileLabelId, ControlKind::Label, Panel::Mount, 30, 43, 411, 18, ""},
    {kNoId, ControlKind::Label, Panel::Mount, 30, 73, 105, 16, "Mount as Image No:"},
    {kImageNumberId, ControlKind::Edit, Panel::Mount, 140, 70, 51, 21, "0"},
    {kMountLinkId, ControlKind::Button, Panel::Mount, 200, 68, 251, 24,
     "Press Enter or Click here to mount Image now"},

    {kNoId, ControlKind::Label, Panel::Settings, 20, 15, 300, 16, "Choose Host Application:"},
    {kOpenHostId, ControlKind::Button, Panel::Settings, 35, 52, 40, 22, "Open"},
    {kHostApplicationId, ControlKind::Label, Panel::Settings, 85, 43, 356, 29, ""},
    {kNoId, ControlKind::Label, Panel::Settings, 20, 95, 300, 16, "Associate file types with Dravik:"},
    detail::GlyphPlace(0),
    detail::GlyphPlace(1),
    detail::GlyphPlace(2),
    detail::GlyphPlace(3),
    detail::GlyphPlace(4),
    detail::GlyphPlace(5),
    detail::GlyphPlace(6),
    detail::GlyphPlace(7),
    {kNoId, ControlKind::Label, Panel::Settings, 40, 342, 300, 16, "Other associated filetypes"},
    {kExtensionListId, ControlKind::ListBox, Panel::Settings, 40, 360, 126, 100, ""},
    {kNoId, ControlKind::Label, Panel::Settings, 175, 362, 276, 16,
     "Add new filetype extension (e.g: bin) and press enter"},
    {kExtensionFieldId, ControlKind::Edit, Panel::Settings, 175, 380, 258, 21, ""},
    {kDeleteLinkId, ControlKind::WrappedButton, Panel::Settings, 175, 422, 221, 36,
     "Click here to delete association from selected extension"},
    {kOneDriveId, ControlKind::CheckBox, Panel::Settings, 40, 490, 396, 17,
     "I'm using only one single virtual drive"},
});

}  // namespace dravik::windows

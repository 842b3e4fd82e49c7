#pragma once
// The main window's controls: their identifiers (fixed, other programs find the controls by
// them), kinds, places and fixed texts, and the panels they lie on. Places are client pixels
// relative to the panel that holds the control; a panel's controls show only while the panel is
// visible.

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
inline constexpr int kAboutId = 131;
inline constexpr int kCueCaptionId = 132;  // clicks on it delete, as the delete link's do
inline constexpr int kNoId = 0xFFFF;       // headings and captions, which nothing looks up

constexpr int GlyphId(std::size_t index) { return kFirstGlyphId + static_cast<int>(index); }

enum class ControlKind {
  Heading,      // plain text
  Separator,    // a row of underscores, as wide as its place
  Link,         // hand cursor, underlined while hovered, clickable
  WrappedLink,  // a Link over several lines
  TitleLink,    // bold title font, hand cursor, clickable
  Caption,      // plain text that may be clickable (the "CUE Sheets" caption)
  PathLabel,    // one line, vertically centred (the image file)
  WrappedLabel, // several lines, vertically centred (the host application)
  Glyph,        // an association's ticked or crossed box
  CheckBox,
  Edit,
  SpinEdit,
  ListBox,
};

enum class Panel { Window, Mount, MountInner, Settings, HostInner, TypesInner };

// Where an inner panel lies within its outer panel, and its size; the outer panels' places come
// from the window's state.
struct PanelPlace {
  Panel panel;
  Panel outer;
  int x, y, width, height;
};
inline constexpr int kOuterPanelLeft = 5;
inline constexpr int kOuterPanelWidth = 471;
inline constexpr int kMountPanelHeight = 116;
inline constexpr int kSettingsPanelHeight = 526;
inline constexpr auto kInnerPanels = std::to_array<PanelPlace>({
    {Panel::MountInner, Panel::Mount, 20, 35, 431, 61},
    {Panel::HostInner, Panel::Settings, 20, 35, 431, 46},
    {Panel::TypesInner, Panel::Settings, 20, 115, 431, 401},
});

struct ControlPlace {
  int id;
  ControlKind kind;
  Panel panel;
  int x, y, width, height;  // a width of 0: as wide and high as the one-line text
  std::string_view text;    // the start text; the state's texts replace it
};

// Where the type pictures of the fixed extensions lie in the types panel.
inline constexpr int kTypeColumnStep = 210;
inline constexpr int kTypeRowStep = 50;
inline constexpr int kTypePictureX = 60;
inline constexpr int kTypePictureY = 20;

namespace detail {

inline constexpr int kGlyphX = 16;
inline constexpr int kGlyphY = 18;
inline constexpr int kCaptionX = 105;
inline constexpr int kCaptionY = 22;
inline constexpr int kPatternBelowCaption = 15;
inline constexpr std::string_view kSeparator =
    "____________________________________________________________________________________________";

constexpr int ColumnX(std::size_t index, int x) { return x + kTypeColumnStep * core::kFixedExtensions[index].column; }
constexpr int RowY(std::size_t index, int y) { return y + kTypeRowStep * core::kFixedExtensions[index].row; }

constexpr ControlPlace GlyphPlace(std::size_t index) {
  return {GlyphId(index), ControlKind::Glyph, Panel::TypesInner, ColumnX(index, kGlyphX), RowY(index, kGlyphY), 29, 36,
          ""};
}

constexpr ControlPlace CaptionPlace(std::size_t index) {
  return {index == 0 ? kCueCaptionId : kNoId, ControlKind::Caption, Panel::TypesInner, ColumnX(index, kCaptionX),
          RowY(index, kCaptionY), 0, 0, core::kFixedExtensions[index].caption};
}

constexpr ControlPlace PatternPlace(std::size_t index) {
  return {kNoId, ControlKind::Heading, Panel::TypesInner, ColumnX(index, kCaptionX),
          RowY(index, kCaptionY + kPatternBelowCaption), 0, 0, core::kFixedExtensions[index].pattern};
}

}  // namespace detail

static_assert(core::kFixedExtensionCount == 8, "one glyph, caption and pattern place per fixed extension below");

inline constexpr auto kControlPlaces = std::to_array<ControlPlace>({
    {kAboutId, ControlKind::TitleLink, Panel::Window, 430, 16, 0, 0, "?"},
    {kCloseId, ControlKind::TitleLink, Panel::Window, 450, 16, 0, 0, "X"},

    {kNoId, ControlKind::Heading, Panel::Mount, 20, 15, 0, 0, "Mount Image"},
    {kFileLabelId, ControlKind::PathLabel, Panel::MountInner, 10, 8, 411, 18, ""},
    {kNoId, ControlKind::Heading, Panel::MountInner, 10, 38, 0, 0, "Mount as Image No:"},
    {kImageNumberId, ControlKind::SpinEdit, Panel::MountInner, 120, 35, 51, 20, "0"},
    {kMountLinkId, ControlKind::Link, Panel::MountInner, 200, 38, 0, 0, "Press Enter or Click here to mount Image now"},

    {kNoId, ControlKind::Heading, Panel::Settings, 20, 15, 0, 0, "Choose Host Application:"},
    {kOpenHostId, ControlKind::Link, Panel::HostInner, 15, 17, 0, 0, "Open"},
    {kHostApplicationId, ControlKind::WrappedLabel, Panel::HostInner, 55, 8, 366, 29, ""},
    {kNoId, ControlKind::Heading, Panel::Settings, 20, 95, 0, 0, "Associate file types with Dravik:"},
    detail::GlyphPlace(0),
    detail::GlyphPlace(1),
    detail::GlyphPlace(2),
    detail::GlyphPlace(3),
    detail::GlyphPlace(4),
    detail::GlyphPlace(5),
    detail::GlyphPlace(6),
    detail::GlyphPlace(7),
    detail::CaptionPlace(0),
    detail::CaptionPlace(1),
    detail::CaptionPlace(2),
    detail::CaptionPlace(3),
    detail::CaptionPlace(4),
    detail::CaptionPlace(5),
    detail::CaptionPlace(6),
    detail::CaptionPlace(7),
    detail::PatternPlace(0),
    detail::PatternPlace(1),
    detail::PatternPlace(2),
    detail::PatternPlace(3),
    detail::PatternPlace(4),
    detail::PatternPlace(5),
    detail::PatternPlace(6),
    detail::PatternPlace(7),
    {kNoId, ControlKind::Separator, Panel::TypesInner, 10, 205, 411, 16, detail::kSeparator},
    {kNoId, ControlKind::Heading, Panel::TypesInner, 20, 227, 0, 0, "Other associated filetypes"},
    {kExtensionListId, ControlKind::ListBox, Panel::TypesInner, 20, 245, 126, 100, ""},
    {kNoId, ControlKind::Heading, Panel::TypesInner, 155, 247, 0, 0,
     "Add new filetype extension (e.g: bin) and press enter"},
    {kExtensionFieldId, ControlKind::Edit, Panel::TypesInner, 155, 265, 258, 19, ""},
    {kDeleteLinkId, ControlKind::WrappedLink, Panel::TypesInner, 155, 307, 221, 29,
     "Click here to delete association from selected extension"},
    {kNoId, ControlKind::Separator, Panel::TypesInner, 10, 350, 411, 16, detail::kSeparator},
    {kOneDriveId, ControlKind::CheckBox, Panel::TypesInner, 20, 375, 396, 17, "I'm using only one single virtual drive"},
});

}  // namespace dravik::windows

#pragma once
// The eight image types the program offers to take over, in the order every refresh handles them,
// with what the settings window shows for each.

#include <array>
#include <cstddef>
#include <string_view>

namespace dravik::core {

struct FixedExtension {
  std::string_view extension;  // without its dot
  std::string_view caption;
  std::string_view pattern;
  std::string_view glyphLabel;  // the name of its ticked-or-crossed label
  int column;                   // 0 left, 1 right
  int row;                      // 0 to 3
};

inline constexpr std::array<FixedExtension, 8> kFixedExtensions = {{
    {"cue", "CUE Sheets", "*.cue", "Label1", 0, 0},
    {"iso", "Standard ISO Images", "*.iso", "Label2", 0, 1},
    {"ccd", "CCD Images", "*.ccd", "Label3", 0, 2},
    {"bwt", "BWT Images", "*.bwt", "Label6", 0, 3},
    {"mds", "MDS Images", "*.mds", "Label5", 1, 0},
    {"cdi", "CDI Images", "*.cdi", "Label4", 1, 1},
    {"bin", "BIN Images", "*.bin", "MovingLabel25", 1, 2},
    {"nrg", "NRG Images", "*.nrg", "MovingLabel30", 1, 3},
}};
inline constexpr std::size_t kFixedExtensionCount = kFixedExtensions.size();

// A glyph label's whole text: one character of the symbol font.
inline constexpr char kGlyphTicked = '\xFE';
inline constexpr char kGlyphCrossed = '\xFD';

}  // namespace dravik::core

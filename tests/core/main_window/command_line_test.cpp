// How the program's command line becomes its name and arguments.

#include "core/main_window/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dravik::core {
namespace {

using Words = std::vector<std::string>;

TEST(SplitCommandLine, QuotesKeepBlanksInsideOneWord) {
  // The shell's open command: the program and the image path, both quoted.
  EXPECT_EQ(SplitCommandLine(R"("C:\Program Files\Dravik\dravik.exe" "D:\My Images\game disc.iso")"),
            (Words{R"(C:\Program Files\Dravik\dravik.exe)", R"(D:\My Images\game disc.iso)"}));
  EXPECT_EQ(SplitCommandLine("dravik.exe  a.iso\tb.iso "), (Words{"dravik.exe", "a.iso", "b.iso"}));
  EXPECT_EQ(SplitCommandLine(R"(dravik.exe D:\My" "Images\x.iso)"), (Words{"dravik.exe", R"(D:\My Images\x.iso)"}));
  EXPECT_EQ(SplitCommandLine(R"(dravik.exe "" x)"), (Words{"dravik.exe", "", "x"}));
  EXPECT_EQ(SplitCommandLine(R"(dravik.exe "unclosed quote)"), (Words{"dravik.exe", "unclosed quote"}));
}

TEST(SplitCommandLine, BackslashesEscapeOnlyBeforeAQuote) {
  EXPECT_EQ(SplitCommandLine(R"(p C:\dir\file a\\b)"), (Words{"p", R"(C:\dir\file)", R"(a\\b)"}));
  EXPECT_EQ(SplitCommandLine(R"(p "C:\dir\\" next)"), (Words{"p", R"(C:\dir\)", "next"}));
  EXPECT_EQ(SplitCommandLine(R"(p a\"b c\\\"d)"), (Words{"p", R"(a"b)", R"(c\"d)"}));
  EXPECT_EQ(SplitCommandLine(R"(p "say ""hi""")"), (Words{"p", R"(say "hi")"}));
}

TEST(SplitCommandLine, ProgramNameTakesNoEscapes) {
  EXPECT_EQ(SplitCommandLine(R"("C:\odd dir\" x.iso)"), (Words{R"(C:\odd dir\)", "x.iso"}));
  EXPECT_EQ(SplitCommandLine(R"(C:\a\b.exe)"), (Words{R"(C:\a\b.exe)"}));
  EXPECT_EQ(SplitCommandLine("   "), Words{});
}

}  // namespace
}  // namespace dravik::core

// docs/scripting.md, the guide for script authors, runs as it reads: every example in it is run
// through dk2 and what dk2 prints must be the output block shown under it, and every built-in
// and host routine has an example there.
//
// The guide's fenced blocks are read by their info string:
//   pascal          an example: a whole script, run with `dk2 run`
//   pascal check    an example compiled with `dk2 check`
//   output [exit=N] what dk2 printed for the example above it (standard output, then standard
//                   error) and its exit status, 0 when not given; required after each example
//   sh, text        shown only
// Any other block, an example without its output and an output without its example fail, so an
// edited guide cannot drop an example from the run without notice.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <vector>

#include "core/script_host/host_routines.h"
#include "dk2_harness.h"
#include "engine/library/builtin_routines.h"
#include "engine/names/names.h"
#include "golden_corpus.h"

namespace dravik::dk2 {
namespace {

using harness::RunDk2;
using harness::ScratchFile;

constexpr std::string_view kFence = "```";
constexpr std::string_view kExitPrefix = "exit=";
// The guide has more examples than this; fewer means examples went missing.
constexpr std::size_t kMinimumExampleCount = 15;

struct Block {
  std::string info;
  std::string text;
  int line;  // of the opening fence, counted from 1
};

struct Example {
  std::string verb;  // "run" or "check"
  std::string script;
  int line;
  std::string output;
  int status = 0;
};

std::string GuidePath() {
  std::string path = DRAVIK_DOCS_DIR "/scripting.md";
#ifdef _WIN32
  if (!path.empty() && path.front() == '/') path.insert(0, "Z:");
#endif
  return path;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// The fenced blocks in order; an unclosed one is reported and ends the reading.
std::vector<Block> FencedBlocks(const std::string& markdown) {
  std::vector<Block> blocks;
  std::optional<Block> open;
  const std::vector<std::string> lines = Lines(markdown);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (!line.starts_with(kFence)) {
      if (open) open->text += line + "\n";
    } else if (open) {
      blocks.push_back(*std::exchange(open, std::nullopt));
    } else {
      open = Block{line.substr(kFence.size()), {}, static_cast<int>(i + 1)};
    }
  }
  if (open) ADD_FAILURE() << "the block at line " << open->line << " is not closed";
  return blocks;
}

std::optional<int> ExitStatus(const std::string& info) {
  if (info == "output") return 0;
  const std::string prefix = "output " + std::string(kExitPrefix);
  if (!info.starts_with(prefix) || info.size() != prefix.size() + 1 ||
      !std::isdigit(static_cast<unsigned char>(info.back())))
    return std::nullopt;
  return info.back() - '0';
}

std::vector<Example> Examples(const std::vector<Block>& blocks) {
  std::vector<Example> examples;
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const Block& block = blocks[i];
    if (block.info == "sh" || block.info == "text") continue;
    if (block.info == "pascal" || block.info == "pascal check") {
      const std::optional<int> status = i + 1 < blocks.size() ? ExitStatus(blocks[i + 1].info) : std::nullopt;
      if (!status) {
        ADD_FAILURE() << "the example at line " << block.line << " has no output block after it";
        continue;
      }
      examples.push_back({block.info == "pascal" ? "run" : "check", block.text, block.line, blocks[i + 1].text, *status});
      ++i;
      continue;
    }
    if (ExitStatus(block.info))
      ADD_FAILURE() << "the output block at line " << block.line << " follows no example";
    else
      ADD_FAILURE() << "the block at line " << block.line << " is of no known kind: \"" << block.info << "\"";
  }
  return examples;
}

std::vector<Example> GuideExamples() {
  std::string markdown;
  if (!golden::ReadWholeFile(GuidePath(), markdown)) {
    ADD_FAILURE() << "cannot read " << GuidePath();
    return {};
  }
  return Examples(FencedBlocks(markdown));
}

// The routine's name in a declaration text: the word after "function" or "procedure".
std::string DeclaredName(std::string_view declaration) {
  const std::size_t start = declaration.find(' ') + 1;
  const std::size_t end = declaration.find_first_of("(:; ", start);
  return std::string(declaration.substr(start, end - start));
}

// Whether an example calls name: the name as a whole word, in any letter case.
bool Calls(const std::vector<Example>& examples, const std::string& name) {
  const std::string wanted = engine::names::FastUpperCase(name);
  const auto isWordChar = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; };
  return std::any_of(examples.begin(), examples.end(), [&](const Example& example) {
    const std::string text = engine::names::FastUpperCase(example.script);
    for (std::size_t at = text.find(wanted); at != std::string::npos; at = text.find(wanted, at + 1)) {
      const std::size_t after = at + wanted.size();
      if ((at == 0 || !isWordChar(text[at - 1])) && (after == text.size() || !isWordChar(text[after]))) return true;
    }
    return false;
  });
}

TEST(ScriptingGuide, EveryExamplePrintsWhatTheGuideShows) {
  const std::vector<Example> examples = GuideExamples();
  EXPECT_GE(examples.size(), kMinimumExampleCount);
  for (const Example& example : examples) {
    SCOPED_TRACE("the example at line " + std::to_string(example.line) + " of docs/scripting.md");
    const ScratchFile script(".dk2", example.script);
    const harness::Dk2Result result = RunDk2({example.verb, script.path()});
    EXPECT_EQ(result.out + result.err, example.output);
    EXPECT_EQ(result.status, example.status);
  }
}

TEST(ScriptingGuide, EveryRoutineAScriptCanCallHasAnExample) {
  const std::vector<Example> examples = GuideExamples();
  for (const engine::library::BuiltinRoutine& routine : engine::library::kBuiltinRoutines)
    EXPECT_TRUE(Calls(examples, DeclaredName(routine.declaration))) << DeclaredName(routine.declaration);
  for (const core::HostRoutineRow& routine : core::kHostRoutines)
    EXPECT_TRUE(Calls(examples, DeclaredName(routine.declaration))) << DeclaredName(routine.declaration);
}

}  // namespace
}  // namespace dravik::dk2

#include "core/main_window/command_line.h"

#include <cstddef>

namespace dravik::core {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

class CommandLineSplitter {
 public:
  explicit CommandLineSplitter(std::string_view text) : text_(text) {}

  std::vector<std::string> Split() {
    SkipBlanks();
    if (at_ >= text_.size()) return words_;
    words_.push_back(ProgramName());
    for (SkipBlanks(); at_ < text_.size(); SkipBlanks()) words_.push_back(Argument());
    return words_;
  }

 private:
  void SkipBlanks() {
    while (at_ < text_.size() && IsBlank(text_[at_])) ++at_;
  }

  std::string ProgramName() {
    const bool quoted = text_[at_] == '"';
    if (quoted) ++at_;
    const std::size_t start = at_;
    while (at_ < text_.size() && (quoted ? text_[at_] != '"' : !IsBlank(text_[at_]))) ++at_;
    std::string name(text_.substr(start, at_ - start));
    if (quoted && at_ < text_.size()) ++at_;  // the closing quote
    return name;
  }

  std::string Argument() {
    std::string word;
    bool quoted = false;
    while (at_ < text_.size() && (quoted || !IsBlank(text_[at_]))) {
      if (text_[at_] == '\\') {
        Backslashes(word);
      } else if (text_[at_] == '"') {
        Quote(word, quoted);
      } else {
        word += text_[at_++];
      }
    }
    return word;
  }

  void Backslashes(std::string& word) {
    std::size_t count = 0;
    while (at_ < text_.size() && text_[at_] == '\\') ++count, ++at_;
    const bool beforeQuote = at_ < text_.size() && text_[at_] == '"';
    word.append(beforeQuote ? count / 2 : count, '\\');
    if (beforeQuote && count % 2 == 1) word += text_[at_++];
  }

  void Quote(std::string& word, bool& quoted) {
    ++at_;
    if (quoted && at_ < text_.size() && text_[at_] == '"') {
      word += '"';
      ++at_;
      return;
    }
    quoted = !quoted;
  }

  std::string_view text_;
  std::size_t at_ = 0;
  std::vector<std::string> words_;
};

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
  return CommandLineSplitter(commandLine).Split();
}

}  // namespace dravik::core

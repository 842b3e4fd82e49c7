// Golden corpus for `dk2 check`: every tests/data/check/NAME.dk2 is compiled through the command
// line and its exit status and output are compared with NAME.expected (format in the folder's
// README.md). Each script is its own test case, named after the file.
#include <gtest/gtest.h>

#include <string>

#include "golden_corpus.h"

namespace dravik::dk2 {
namespace {

// The corpus is meant to cover every message rule; a sudden drop means files went missing.
constexpr std::size_t kMinimumCaseCount = 120;

std::string CheckDataDir() { return golden::CorpusDir("check"); }

class CheckGolden : public ::testing::TestWithParam<std::string> {};

TEST_P(CheckGolden, PrintsExpectedMessagesAndStatus) {
  golden::ExpectCaseOutput("check", CheckDataDir(), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Corpus, CheckGolden,
                         ::testing::ValuesIn(golden::CaseNames(CheckDataDir())),
                         golden::CaseTestName);

TEST(CheckGoldenCorpus, EveryScriptHasAWellFormedExpectation) {
  golden::ExpectWellFormedCorpus(CheckDataDir(), kMinimumCaseCount);
}

}  // namespace
}  // namespace dravik::dk2

// Golden corpus for the code generator: every tests/data/dump/NAME.dk2 is listed with `dk2 dump`
// and the exit status and the whole listing (tables, instructions, operands, jump targets and
// statement positions) are compared with NAME.expected (format in the folder's README.md).
#include <gtest/gtest.h>

#include <string>

#include "golden_corpus.h"

namespace dravik::dk2 {
namespace {

// Every statement form has at least one listing; a sudden drop means files went missing.
constexpr std::size_t kMinimumCaseCount = 15;

std::string DumpDataDir() { return golden::CorpusDir("dump"); }

class DumpGolden : public ::testing::TestWithParam<std::string> {};

TEST_P(DumpGolden, ListsTheExpectedCode) {
  golden::ExpectCaseOutput("dump", DumpDataDir(), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Corpus, DumpGolden, ::testing::ValuesIn(golden::CaseNames(DumpDataDir())),
                         golden::CaseTestName);

TEST(DumpGoldenCorpus, EveryScriptHasAWellFormedExpectation) {
  golden::ExpectWellFormedCorpus(DumpDataDir(), kMinimumCaseCount);
}

}  // namespace
}  // namespace dravik::dk2

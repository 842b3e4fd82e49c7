// dk2 run --image on images that once went wrong in the way dk2 and the program run scripts (the
// register form): each must end with the runtime error the byte code gives, at its position,
// and exit status 1. The both-ways test runs the same images from the bytes too.

#include <gtest/gtest.h>

#include <string>

#include "golden_corpus.h"
#include "dk2/dk2.h"
#include "dk2_harness.h"

namespace dravik::dk2 {
namespace {

struct ImageCase {
  const char* file;  // in tests/data/fuzz_regressions
  const char* out;
  const char* err;
};

constexpr ImageCase kCases[] = {
    // An opcode byte past the first instruction changed to one that does not exist.
    {"invalid_opcode_after_first_instruction.img", "", "Runtime error: Invalid Opcode (routine 0, position 16)\n"},
    // The main routine's final return changed: the run must not go on past the code's end.
    {"missing_return_reruns_main.img", "1\n", "Runtime error: Invalid Opcode (routine 0, position 57)\n"},
    // The register form once reported a later error, elsewhere.
    {"paths_disagree_min.img", "", "Runtime error: Null Pointer Exception (routine 0, position 39)\n"},
    // A call of a routine whose first instruction cannot be decoded.
    // A jump to where the decodable code ends, with fewer slots than the path running on into it.
    {"jump_to_where_decoding_ends_with_fewer_slots.img", "", "Runtime error: Invalid Opcode Parameter (routine 1, position 268)\n"},
    {"jump_to_where_decoding_ends_leaves_a_slot.img", "", "Runtime error: Invalid Opcode Parameter (routine 0, position 396)\n"},
    {"callee_invalid_first_instruction.img", "before\n", "Runtime error: Invalid Opcode Parameter (routine 1, position 2)\n"},
};

TEST(Dk2RunImage, BrokenImagesFailAsTheByteCodeDoes) {
  for (const ImageCase& c : kCases) {
    SCOPED_TRACE(c.file);
    const harness::Dk2Result r =
        harness::RunDk2({"run", "--image", golden::CorpusDir("fuzz_regressions") + "/" + c.file});
    EXPECT_EQ(r.status, kExitScriptFailed);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
  }
}

}  // namespace
}  // namespace dravik::dk2

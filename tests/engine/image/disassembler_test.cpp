#include "engine/image/disassembler.h"

#include <gtest/gtest.h>

#include <string>

#include "test_image.h"

namespace dravik::engine::image {
namespace {

using test::Byte;
using test::ConstOperand;
using test::IndexedByVarOperand;
using test::IndexedOperand;
using test::TestImage;
using test::U32;
using test::VarOperand;

constexpr std::uint32_t kLocal1 = kFrameBaseVariable + 1;
constexpr std::uint32_t kLocal2 = kFrameBaseVariable + 2;
constexpr std::uint32_t kBelow1 = kFrameBaseVariable - 1;

std::string Jump(Opcode op, std::int32_t displacement) {
  std::string out = Byte(op);
  AppendI32(out, displacement);
  return out;
}

// A main body and one function FOO(A: Integer; var B: String): Integer with a local C, plus an
// imported MOUNTFILE: a bit of every table and operand form.
TestImage SampleImage() {
  TestImage image;
  image.AddType(Byte(tcS32));                                   // T0
  image.AddType(Byte(0x80 | tcU8) + U32(7) + "BOOLEAN");       // T1
  image.AddType(Byte(tcString));                                // T2
  image.AddType(Byte(tcRecord) + U32(2) + U32(0) + U32(2));     // T3
  image.AddType(Byte(tcStaticArray) + U32(0) + U32(10));        // T4
  image.AddType(Byte(tcSet) + U32(9));                          // T5
  image.AddType(Byte(tcProcPtr) + U32(3) + std::string("\1\0\1", 3));  // T6
  image.AddType(Byte(tcDouble));                                // T7
  image.AddType(Byte(tcWideString));                            // T8
  const std::string main =
      Byte(OpPush) + ConstOperand(2, U32(6) + "it's\r\n") +                               // 0
      Byte(OpCall) + U32(1) +                                                              // 16
      Byte(OpPop) +                                                                        // 21
      Byte(OpCompare) + Byte(5) + VarOperand(1) + IndexedOperand(0, 1) +                   // 22
          ConstOperand(7, std::string("\0\0\0\0\0\0\xf8\x3f", 8)) +
      Jump(OpJumpIfFalse, 14) + VarOperand(1) +                                             // 51
      Byte(OpCalculate) + Byte(7) + VarOperand(0) + ConstOperand(5, std::string("\x09\x01", 2)) +  // 61
      Byte(OpAssign) + VarOperand(0) + ConstOperand(8, U32(1) + std::string("\x01\x02", 2)) +  // 75
      Jump(OpGoto, -97) +                                                                  // 92
      Byte(OpReturn);                                                                      // 97
  image.AddScriptRoutine("!MAIN", "-1", main);
  image.AddExternalRoutine("MOUNTFILE", std::string("\0\0\0", 3));
  const std::string foo =
      Byte(OpPushHandler) + U32(17) + U32(0xFFFFFFFF) + U32(0xFFFFFFFF) + U32(24) +           // 0
      Byte(OpAssign) + VarOperand(kBelow1) + IndexedByVarOperand(kLocal1, kBelow1 - 1) +  // 17
      Byte(OpPopHandler) + Byte(1) +                                                       // 32
      Byte(OpSetFlag) + VarOperand(kLocal2) + Byte(1) +                                    // 34
      Byte(OpReturn);                                                                      // 41
  image.AddScriptRoutine("FOO", "0 @0 !2", foo);
  image.AddVariable(0);
  image.AddVariable(1);
  image.mainProc = 0;
  return image;
}

std::string Names(std::initializer_list<std::string_view> names) {
  std::string out;
  for (std::string_view name : names) {
    out += kDebugNameMarker;
    out += name;
  }
  return out + Byte(kDebugEnd);
}

// What the compiler writes for SampleImage: the routine record of FOO, two statements of the
// main body, and the names record.
std::string SampleDebugOutput() {
  std::string out;
  out += Byte(2) + U32(2) + Names({"Result", "A", "B"});
  out += Byte(3) + U32(2) + Names({"C"});
  for (std::uint32_t position : {0u, 22u}) {
    out += Byte(4) + Byte(kDebugNameMarker) + U32(0) + U32(position) + U32(100) + U32(3 + position);
    out += U32(5);
  }
  out += Byte(0) + Names({"", "MountFile", "Foo"}) + Byte(kDebugNameMarker) + Names({"Count", "Done"});
  return out;
}

TEST(Disassembler, ListsEveryTableAndInstructionWithDebugNames) {
  const std::string image = SampleImage().Build();
  const std::string expected =
      "image " + std::to_string(image.size()) + " bytes\n"
      "debug output " + std::to_string(SampleDebugOutput().size()) + " bytes\n"
      "header\n"
      "  magic 'QXRB'\n"
      "  build 22\n"
      "  types 9\n"
      "  routines 3\n"
      "  variables 2\n"
      "  main R0\n"
      "  reserved 0\n"
      "types\n"
      "  T0 tcS32\n"
      "  T1 tcU8 export 'BOOLEAN'\n"
      "  T2 tcString\n"
      "  T3 tcRecord fields T0, T2\n"
      "  T4 tcStaticArray of T0 count 10\n"
      "  T5 tcSet bits 9\n"
      "  T6 tcProcPtr call function(val, var)\n"
      "  T7 tcDouble\n"
      "  T8 tcWideString\n"
      "routines\n"
      "  R0 script '!MAIN' decl '-1' code 194 length 98\n"
      "  R1 external 'MOUNTFILE' call procedure(val, val)\n"
      "  R2 script 'FOO' decl '0 @0 !2' code 292 length 42\n"
      "variables\n"
      "  G0(Count) T0:tcS32\n"
      "  G1(Done) T1:tcU8\n"
      "\n"
      "code R0(!MAIN)\n"
      "  ; 3:5\n"
      "      0 OpPush T2:tcString('it''s'#13#10)\n"
      "     16 OpCall R1(MOUNTFILE)\n"
      "     21 OpPop\n"
      "  ; 25:5\n"
      "     22 OpCompare =, G1(Done), G0(Count)[1], T7:tcDouble(1.5)\n"
      "     51 OpJumpIfFalse @75, G1(Done)\n"
      "     61 OpCalculate and, G0(Count), T5:tcSet([0,3,8])\n"
      "     75 OpAssign G0(Count), T8:tcWideString(#513)\n"
      "     92 OpGoto @0\n"
      "     97 OpReturn\n"
      "\n"
      "code R2(FOO)\n"
      "      0 OpPushHandler @34, none, none, @41\n"
      "     17 OpAssign P1(Result), L1(C)[P2(A)]\n"
      "     32 OpPopHandler finally\n"
      "     34 OpSetFlag L2, not\n"
      "     41 OpReturn\n";
  EXPECT_EQ(Disassemble(image, SampleDebugOutput()), expected);
}

TEST(Disassembler, WithoutDebugOutputOperandsAreNumbersOnly) {
  const std::string listing = Disassemble(SampleImage().Build());
  EXPECT_NE(listing.find("     22 OpCompare =, G1, G0[1], T7:tcDouble(1.5)\n"), std::string::npos);
  EXPECT_NE(listing.find("     17 OpAssign P1, L1[P2]\n"), std::string::npos);
  EXPECT_EQ(listing.find(';'), std::string::npos);
  EXPECT_EQ(listing.find("debug"), std::string::npos);
}

TEST(Disassembler, AttributesOfTypesAndRoutines) {
  TestImage image;
  image.AddRawTypeEntry(Byte(tcString) + U32(0));  // T0
  image.AddRawTypeEntry(Byte(tcCurrency) + U32(1) + U32(4) + "UNIT" + U32(2) + U32(1) +
                        std::string("\x98\x3A\0\0\0\0\0\0", 8) + U32(0) + U32(2) + "mm");  // T1
  image.AddRawRoutineEntry(Byte(kProcExternal | kProcHasAttributes) + Byte(1) + "X" + U32(1) +
                           U32(3) + "OLD" + U32(0));
  const std::string listing = Disassemble(image.Build());
  EXPECT_EQ(listing.substr(listing.find("types\n")),
            "types\n"
            "  T0 tcString\n"
            "  T1 tcCurrency\n"
            "      attribute 'UNIT' (T1:tcCurrency(1.5000), T0:tcString('mm'))\n"
            "routines\n"
            "  R0 external 'X'\n"
            "      attribute 'OLD' ()\n");
}

// The listing's last line, where a malformed image says why decoding stopped.
std::string LastLine(const std::string& listing) {
  const std::size_t end = listing.size() - 1;
  return listing.substr(listing.rfind('\n', end - 1) + 1);
}

TEST(Disassembler, MalformedTablesStopWithTheLoadersErrorCode) {
  EXPECT_EQ(Disassemble(std::string(27, 'Q')),
            "image 27 bytes\n! stopped at byte 0: erInvalidHeader: fewer than 28 bytes\n");

  TestImage build23;
  build23.build = 23;
  EXPECT_EQ(LastLine(Disassemble(build23.Build())),
            "! stopped at byte 4: erInvalidHeader: build number 23 not in 12 to 22\n");

  // The header promises three types, the bytes hold one.
  TestImage missing;
  missing.AddType(Byte(tcU8));
  std::string image = missing.Build();
  image[kHeaderTypeCountOffset] = 3;
  const std::string listing = Disassemble(image);
  EXPECT_NE(listing.find("types\n  T0 tcU8\n! stopped at byte 33"), std::string::npos) << listing;
  EXPECT_EQ(LastLine(listing), "! stopped at byte 33: erUnexpectedEof: type byte missing\n");

  TestImage badCode;
  badCode.AddType(Byte(tcU8));
  badCode.AddType(Byte(40));
  EXPECT_EQ(LastLine(Disassemble(badCode.Build())),
            "! stopped at byte 33: erInvalidType: type code 40 not allowed\n");

  TestImage outside;
  outside.AddRawRoutineEntry(Byte(0) + U32(1000) + U32(1));
  EXPECT_EQ(LastLine(Disassemble(outside.Build())),
            "! stopped at byte 29: erUnexpectedEof: code at 1000 of 1 bytes is not inside the image\n");
}

TEST(Disassembler, MainRoutineOutOfRangeIsReportedButTheCodeIsListed) {
  TestImage image;
  image.AddScriptRoutine("!MAIN", "-1", Byte(OpNop) + Byte(OpReturn));
  image.mainProc = 1;
  const std::string listing = Disassemble(image.Build());
  EXPECT_NE(listing.find("  main R1\n"), std::string::npos);
  EXPECT_NE(listing.find("! byte 20: erNoMainProc: main routine R1 not in the routine table\n"
                         "\ncode R0(!MAIN)\n      0 OpNop\n      1 OpReturn\n"),
            std::string::npos)
      << listing;
}

TEST(Disassembler, MalformedCodeStopsThatRoutineOnly) {
  TestImage image;
  image.AddType(Byte(tcString));  // T0
  image.AddType(Byte(tcVariant));  // T1
  image.AddScriptRoutine("BADOP", "-1", Byte(OpNop) + Byte(10) + Byte(OpReturn));
  image.AddScriptRoutine("CUT", "-1", Byte(OpPush) + Byte(0) + std::string("\0\0", 2));
  image.AddScriptRoutine("LONG", "-1", Byte(OpPush) + ConstOperand(0, U32(0xFFFFFFFF) + "ab"));
  image.AddScriptRoutine("KIND", "-1", Byte(OpPop) + Byte(OpPush) + Byte(4) + U32(0));
  image.AddScriptRoutine("VARIANT", "-1", Byte(OpPush) + ConstOperand(1, std::string(16, '\0')));
  image.AddScriptRoutine("NOTYPE", "-1", Byte(OpPush) + ConstOperand(9, ""));
  image.AddScriptRoutine("INDEX", "-1", Byte(OpPush) + Byte(2) + U32(0) + "xy");
  image.AddScriptRoutine("JUMP", "-1", Jump(OpGoto, 1));
  const std::string listing = Disassemble(image.Build());
  const std::string codeStart = "\ncode R0(BADOP)";
  ASSERT_NE(listing.find(codeStart), std::string::npos) << listing;
  EXPECT_EQ(listing.substr(listing.find(codeStart)),
            "\ncode R0(BADOP)\n"
            "      0 OpNop\n"
            "  ! stopped at 1: erInvalidOpcode: byte 10 is no instruction\n"
            "\ncode R1(CUT)\n"
            "  ! stopped at 1: ErOutOfRange: OpPush operand runs past the end of the code\n"
            "\ncode R2(LONG)\n"
            "  ! stopped at 1: ErOutOfRange: OpPush constant runs past the end of the code\n"
            "\ncode R3(KIND)\n"
            "      0 OpPop\n"
            "  ! stopped at 2: erInvalidOpcodeParameter: OpPush operand kind 4\n"
            "\ncode R4(VARIANT)\n"
            "  ! stopped at 1: erInvalidType: OpPush no inline constant of type tcVariant\n"
            "\ncode R5(NOTYPE)\n"
            "  ! stopped at 1: erInvalidType: OpPush constant type T9 not in the table\n"
            "\ncode R6(INDEX)\n"
            "  ! stopped at 1: ErOutOfRange: OpPush operand index runs past the end of the code\n"
            "\ncode R7(JUMP)\n"
            "      0 OpGoto @6 (outside)\n");
}

TEST(Disassembler, JumpsIntoAnInstructionAreMarked) {
  TestImage image;
  image.AddScriptRoutine("!MAIN", "-1",
                         Jump(OpGoto, -3) + Jump(OpGoto, -11) + Byte(OpPushHandler) + U32(0xFFFFFFFF) +
                             U32(0xFFFFFFFE) + U32(0) + U32(0x7FFFFFFF) + Byte(OpReturn));
  const std::string listing = Disassemble(image.Build());
  EXPECT_NE(listing.find("      0 OpGoto @2 (mid-instruction)\n"
                         "      5 OpGoto @-1 (outside)\n"
                         "     10 OpPushHandler none, @25 (mid-instruction), @27, @2147483674 (outside)\n"
                         "     27 OpReturn\n"),
            std::string::npos)
      << listing;
}

TEST(Disassembler, SharedAndOverlappingCodeIsListedOnce) {
  const std::string code = Byte(OpNop) + Byte(OpReturn);
  // Fifty more routines over the same two bytes, and fifty over the whole image: the listing
  // must stay about as long as the image, whatever the tables claim.
  TestImage many;
  many.AddScriptRoutine("A", "-1", code);
  for (int i = 0; i < 100; ++i) many.AddRawRoutineEntry(std::string(9, '\0'));
  std::string bytes = many.Build();
  const std::uint32_t size = static_cast<std::uint32_t>(bytes.size());
  for (int i = 0; i < 100; ++i) {
    const std::size_t entry = kImageHeaderSize + (1 + 8 + 4 + 1 + 4 + 2) + 9 * i;
    PatchU32(bytes, entry + 1, i < 50 ? size - 2 : static_cast<std::uint32_t>(i - 50));
    PatchU32(bytes, entry + 5, i < 50 ? 2 : size - static_cast<std::uint32_t>(i - 50));
  }
  const std::string listing = Disassemble(bytes);
  EXPECT_NE(listing.find("code R1\n  same code as R0\n"), std::string::npos) << listing;
  EXPECT_NE(listing.find("code R52\n  ! not listed: code overlaps code listed before\n"),
            std::string::npos);
  EXPECT_LT(listing.size(), 40 * bytes.size());
}

TEST(Disassembler, EveryTruncationOfAnImageEndsInAProblemLine) {
  const std::string image = SampleImage().Build();
  for (std::size_t size = 0; size < image.size(); ++size) {
    const std::string listing = Disassemble(image.substr(0, size));
    EXPECT_NE(listing.find("! stopped at "), std::string::npos) << size;
  }
}

TEST(Disassembler, MalformedDebugOutputKeepsWhatWasRead) {
  const std::string image = SampleImage().Build();
  std::string debug = Byte(0) + Names({"", "MountFile", "Foo"}) + Byte(kDebugNameMarker) +
                      Names({"Count", "Done"}) + Byte(9);
  const std::string listing = Disassemble(image, debug);
  EXPECT_NE(listing.find("! debug output stopped at byte " + std::to_string(debug.size() - 1) +
                         ": unknown record\n"),
            std::string::npos)
      << listing;
  EXPECT_NE(listing.find("  G0(Count) T0:tcS32\n"), std::string::npos);
  EXPECT_NE(Disassemble(image, Byte(4) + "file").find("! debug output stopped at byte 5: "
                                                      "statement record: routine missing\n"),
            std::string::npos);
}

}  // namespace
}  // namespace dravik::engine::image

// Hand-made code on the executor: every way an instruction can fail, with the error code, the
// procedure and position it is reported at, and the status the run stops in.

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "../image/test_image.h"
#include "engine/exec/exec.h"
#include "engine/values/value_access.h"

namespace dravik::engine::exec {
namespace {

using test::Byte;
using test::ConstOperand;
using test::IndexedByVarOperand;
using test::IndexedOperand;
using test::TestImage;
using test::U32;
using test::VarOperand;

// The type table of every test image.
enum TypeNo : std::uint32_t { kPtr, kS32, kStr, kU8, kRec, kDynArr, kStatArr, kProc };
// Its globals.
enum GlobalNo : std::uint32_t { gInt, gStr, gRec, gDynArr, gStatArr, gPtr, gProc, kGlobalCount };

constexpr std::uint32_t kFirstLocal = image::kFrameBaseVariable + 1;
constexpr std::uint32_t kFirstParam = image::kFrameBaseVariable - 1;

std::string Op(image::Opcode opcode) { return Byte(opcode); }
std::string I32(std::int32_t value) { return U32(static_cast<std::uint32_t>(value)); }
std::string Int(std::int32_t value) { return ConstOperand(kS32, I32(value)); }
std::string Str(std::string_view text) {
  return ConstOperand(kStr, U32(static_cast<std::uint32_t>(text.size())) + std::string(text));
}
std::string Assign(std::string_view dest, std::string_view source) {
  return Op(image::OpAssign) + std::string(dest) + std::string(source);
}
const std::string kReturn = Op(image::OpReturn);

// OpPushHandler with the four positions given as absolute positions in the procedure's code
// (-1 = none), the instruction starting at `at`.
std::string PushHandler(std::uint32_t at, std::int32_t finallyAt, std::int32_t exceptAt,
                        std::int32_t secondAt, std::int32_t endAt) {
  const auto next = static_cast<std::int32_t>(at + 17);
  std::string out = Op(image::OpPushHandler);
  for (std::int32_t position : {finallyAt, exceptAt, secondAt, endAt})
    out += I32(position < 0 ? -1 : position - next);
  return out;
}

std::string StandardImage(const std::vector<std::string>& procs) {
  TestImage image;
  image.AddType(Byte(image::tcPointer));
  image.AddType(Byte(image::tcS32));
  image.AddType(Byte(image::tcString));
  image.AddType(Byte(image::tcU8));
  image.AddType(Byte(image::tcRecord) + U32(2) + U32(kS32) + U32(kStr));
  image.AddType(Byte(image::tcArray) + U32(kS32));
  image.AddType(Byte(image::tcStaticArray) + U32(kS32) + U32(3));
  image.AddType(Byte(image::tcProcPtr) + U32(1) + Byte(0));
  for (std::uint32_t type : {kS32, kStr, kRec, kDynArr, kStatArr, kPtr, kProc}) image.AddVariable(type);
  for (std::size_t i = 0; i < procs.size(); ++i) {
    std::string name = "P";
    name += std::to_string(i);
    image.AddScriptRoutine(i == 0 ? "!MAIN" : name, "-1", procs[i]);
  }
  image.mainProc = 0;
  return image.Build();
}

// An executor with the standard image loaded: procedure 0 is the main one, the others follow.
struct Machine {
  explicit Machine(std::vector<std::string> procs) : image(StandardImage(procs)) {
    exec.OnException = [this](TPSExec&, image::TQXException code, std::string_view, std::uint32_t, std::int32_t,
                              const std::exception_ptr&) { seen.push_back(code); };
    loaded = exec.Load(image);
  }
  explicit Machine(const std::string& main) : Machine(std::vector<std::string>{main}) {}

  std::int32_t Int(GlobalNo global) { return values::GetInt32(exec.Globals().At(global)); }

  // The same image run from its bytes one instruction at a time (a step hook makes the machine
  // take that path instead of the decoded form): the error, procedure and position it stops at.
  std::tuple<image::TQXException, std::int32_t, std::uint32_t> StopFromTheBytes() const {
    TPSExec twin;
    twin.OnRunLine = [](TPSExec&) {};
    if (twin.Load(image)) twin.Run();
    return {twin.LastError(), twin.LastErrorProcNo(), twin.LastErrorPosition()};
  }

  std::string image;
  TPSExec exec;
  bool loaded = false;
  std::vector<image::TQXException> seen;
};

// The run stopped (no handler) with `code`, reported in procedure `proc` at a position inside
// the instruction [start, end] (the position is wherever decoding stood when the fault arose),
// and a run from the bytes stops at exactly the same place.
::testing::AssertionResult StoppedWith(Machine& m, image::TQXException code, std::uint32_t start, std::uint32_t end,
                                       std::int32_t proc = 0) {
  if (!m.loaded) return ::testing::AssertionFailure() << "not loaded: " << int{m.exec.LastError()};
  if (m.exec.Run()) return ::testing::AssertionFailure() << "Run answered true";
  const TPSExec& e = m.exec;
  if (e.LastError() != code)
    return ::testing::AssertionFailure() << "error " << int{e.LastError()} << " instead of " << int{code};
  if (e.Status() != ExecStatus::kSuspended)
    return ::testing::AssertionFailure() << "status " << int(e.Status());
  if (e.LastErrorProcNo() != proc)
    return ::testing::AssertionFailure() << "procedure " << e.LastErrorProcNo();
  if (e.LastErrorPosition() < start || e.LastErrorPosition() > end)
    return ::testing::AssertionFailure()
           << "position " << e.LastErrorPosition() << " outside " << start << ".." << end;
  if (m.seen.size() != 1) return ::testing::AssertionFailure() << m.seen.size() << " errors reported";
  // The decoded form runs the code unless a step hook is set; both must stop at the same place.
  if (m.StopFromTheBytes() != std::tuple{e.LastError(), e.LastErrorProcNo(), e.LastErrorPosition()})
    return ::testing::AssertionFailure() << "the run from the bytes stops elsewhere";
  return ::testing::AssertionSuccess();
}

// A main procedure of `code` followed by OpReturn stops with `error` inside `code`.
::testing::AssertionResult MainStopsWith(const std::string& code, image::TQXException error) {
  Machine m(code + kReturn);
  return StoppedWith(m, error, 0, static_cast<std::uint32_t>(code.size()));
}

TEST(Instructions, InvalidOpcodeStopsTheRunOrEntersTheHandler) {
  for (std::uint8_t opcode : {std::uint8_t{10}, std::uint8_t{27}, std::uint8_t{254}}) {
    Machine m(Byte(opcode) + kReturn);
    EXPECT_TRUE(StoppedWith(m, image::erInvalidOpcode, 1, 1)) << int{opcode};
    EXPECT_TRUE(m.exec.Run()) << "a suspended run resumes after the byte";
    EXPECT_EQ(m.exec.Status(), ExecStatus::kLoaded);
  }
  // try <10> except G0 := 7 end
  const std::string tryPart = Byte(10) + Op(image::OpPopHandler) + Byte(0);
  const std::string exceptPart = Assign(VarOperand(gInt), Int(7)) + Op(image::OpPopHandler) + Byte(2);
  const std::int32_t exceptAt = 17 + static_cast<std::int32_t>(tryPart.size());
  const std::int32_t endAt = exceptAt + static_cast<std::int32_t>(exceptPart.size());
  Machine m(PushHandler(0, -1, exceptAt, -1, endAt) + tryPart + exceptPart + kReturn);
  ASSERT_TRUE(m.loaded);
  EXPECT_TRUE(m.exec.Run());
  EXPECT_EQ(m.Int(gInt), 7);
  EXPECT_EQ(m.exec.LastError(), image::ErNoError);
  EXPECT_EQ(m.seen, std::vector<image::TQXException>{image::erInvalidOpcode});
  EXPECT_EQ(m.exec.Status(), ExecStatus::kLoaded);
}

TEST(Instructions, RunningOffTheEndOfTheCode) {
  Machine jump(Op(image::OpGoto) + I32(0));
  EXPECT_TRUE(StoppedWith(jump, image::ErOutOfRange, 5, 5)) << "a jump to exactly the code length";
  Machine noReturn(Op(image::OpNop));
  EXPECT_TRUE(StoppedWith(noReturn, image::ErOutOfRange, 1, 1)) << "code that does not end with OpReturn";
  Machine back(Op(image::OpGoto) + I32(-100) + kReturn);
  EXPECT_TRUE(StoppedWith(back, image::ErOutOfRange, 0, 0xFFFFFFFF)) << "a jump before the start";
}

TEST(Instructions, CodeEndingInsideAnInstruction) {
  const std::vector<std::string> cut = {
      Op(image::OpAssign) + Byte(0) + "ab",  // kind and half a variable number
      Op(image::OpAssign) + VarOperand(gInt) + ConstOperand(kS32, "ab"),
      Op(image::OpAssign) + VarOperand(gStr) + ConstOperand(kStr, U32(100) + "ab"),
      Op(image::OpCall) + "ab",
      Op(image::OpGoto) + "a",
      Op(image::OpPushType) + "abc",
      Op(image::OpPushHandler) + I32(-1) + I32(-1) + I32(-1),
      Op(image::OpPopHandler),
      Op(image::OpCompare),
      Op(image::OpCalculate),
      Op(image::OpSetFlag) + VarOperand(gInt),
      Op(image::OpAssign) + IndexedOperand(gStatArr, 0).substr(0, 7),
  };
  for (const std::string& code : cut) {
    Machine m(code);
    EXPECT_TRUE(StoppedWith(m, image::ErOutOfRange, 1, static_cast<std::uint32_t>(code.size()))) << code.size();
  }
}

TEST(Instructions, VariableNumbersOutsideTheirRange) {
  // Kind 0: globals, and frame-relative numbers of the main procedure (whose frame base is -1).
  for (std::uint32_t number : {std::uint32_t{kGlobalCount}, image::kFirstFrameVariable - 1, image::kFirstFrameVariable,
                               kFirstLocal, kFirstParam, 0xFFFFFFFFu})
    EXPECT_TRUE(MainStopsWith(Assign(VarOperand(gInt), VarOperand(number)), image::erOutOfGlobalVarsRange))
        << number;
  // Kinds 2 and 3: a frame-relative base or index variable.
  EXPECT_TRUE(MainStopsWith(Assign(VarOperand(gInt), IndexedOperand(kFirstLocal, 0)), image::erOutOfStackRange));
  EXPECT_TRUE(
      MainStopsWith(Assign(VarOperand(gInt), IndexedByVarOperand(gStatArr, kFirstLocal)), image::erOutOfStackRange));
  EXPECT_TRUE(
      MainStopsWith(Assign(VarOperand(gInt), IndexedOperand(kGlobalCount, 0)), image::erOutOfGlobalVarsRange));

  // Inside a called procedure: its parameter is there, the slot below it is not.
  const std::string main = Op(image::OpPush) + Int(5) + Op(image::OpCall) + U32(1) + Op(image::OpPop) + kReturn;
  Machine ok({main, Assign(VarOperand(gInt), VarOperand(kFirstParam)) + kReturn});
  ASSERT_TRUE(ok.loaded);
  EXPECT_TRUE(ok.exec.Run());
  EXPECT_EQ(ok.Int(gInt), 5);
  Machine below({main, Assign(VarOperand(gInt), VarOperand(kFirstParam - 1)) + kReturn});
  EXPECT_TRUE(StoppedWith(below, image::erOutOfGlobalVarsRange, 1, 11, 1));
  Machine local({main, Assign(VarOperand(kFirstLocal), Int(1)) + kReturn});
  EXPECT_TRUE(StoppedWith(local, image::erOutOfGlobalVarsRange, 1, 6, 1));
}

TEST(Instructions, ElementSelection) {
  EXPECT_TRUE(MainStopsWith(Assign(VarOperand(gInt), IndexedOperand(gRec, 2)), image::ErOutOfRange))
      << "field count";
  EXPECT_TRUE(MainStopsWith(Assign(VarOperand(gInt), IndexedOperand(gStatArr, 3)), image::ErOutOfRange));
  EXPECT_TRUE(MainStopsWith(Assign(VarOperand(gInt), IndexedOperand(gDynArr, 0)), image::ErOutOfRange))
      << "empty array";
  EXPECT_TRUE(MainStopsWith(Assign(VarOperand(gInt), IndexedOperand(gInt, 0)), image::erInvalidType));
  EXPECT_TRUE(MainStopsWith(Assign(VarOperand(gInt), IndexedByVarOperand(gStatArr, gStr)), image::ErTypeMismatch));
  EXPECT_TRUE(MainStopsWith(Assign(VarOperand(gInt), VarOperand(gPtr)), image::erNullPointerException));

  // G4[2] := 9 by a computed index, then G0 := G4[G0] with G0 = 2.
  Machine m(Assign(VarOperand(gInt), Int(2)) + Assign(IndexedOperand(gStatArr, 2), Int(9)) +
            Assign(VarOperand(gInt), IndexedByVarOperand(gStatArr, gInt)) + kReturn);
  ASSERT_TRUE(m.loaded);
  EXPECT_TRUE(m.exec.Run());
  EXPECT_EQ(m.Int(gInt), 9);
}

TEST(Instructions, PoppingTooFar) {
  EXPECT_TRUE(MainStopsWith(Op(image::OpPop), image::erOutOfStackRange)) << "empty stack";
  EXPECT_TRUE(MainStopsWith(Op(image::OpPopJump) + I32(0), image::erOutOfStackRange));
  EXPECT_TRUE(
      MainStopsWith(Op(image::OpPushType) + U32(kS32) + Op(image::OpPop2Jump) + I32(0), image::erOutOfStackRange));
  Machine m({Op(image::OpCall) + U32(1) + kReturn, Op(image::OpPop) + kReturn});
  EXPECT_TRUE(StoppedWith(m, image::erOutOfStackRange, 1, 1, 1)) << "onto the return address";
}

TEST(Instructions, CallsOutsideTheProcedureTable) {
  EXPECT_TRUE(MainStopsWith(Op(image::OpCall) + U32(1), image::erOutOfProcRange));
  EXPECT_TRUE(MainStopsWith(Op(image::OpCall) + U32(0xFFFFFFFF), image::erOutOfProcRange));
  EXPECT_TRUE(MainStopsWith(Op(image::OpCallVar) + VarOperand(gProc), image::erOutOfProcRange))
      << "an unset value names the main procedure";
  EXPECT_TRUE(MainStopsWith(Op(image::OpCallVar) + VarOperand(gInt), image::ErTypeMismatch));
  EXPECT_TRUE(MainStopsWith(Op(image::OpCallVar) + ConstOperand(kProc, U32(7)), image::erOutOfProcRange));
  Machine ok(
      {Op(image::OpCallVar) + ConstOperand(kProc, U32(1)) + kReturn, Assign(VarOperand(gInt), Int(3)) + kReturn});
  ASSERT_TRUE(ok.loaded);
  EXPECT_TRUE(ok.exec.Run());
  EXPECT_EQ(ok.Int(gInt), 3);
}

TEST(Instructions, InlineConstantsAreNoDestinations) {
  const std::string c = Int(1);
  const std::string v = VarOperand(gInt);
  const std::vector<std::string> codes = {
      Op(image::OpAssign) + c + v,
      Op(image::OpCalculate) + Byte(0) + c + v,
      Op(image::OpIncrement) + c,
      Op(image::OpDecrement) + c,
      Op(image::OpBooleanNot) + c,
      Op(image::OpNegate) + c,
      Op(image::OpIntegerNot) + c,
      Op(image::OpCompare) + Byte(5) + c + v + v,
      Op(image::OpPushVar) + c,
      Op(image::OpSetPointer) + c + v,
      Op(image::OpSetPointer) + VarOperand(gPtr) + c,
      Op(image::OpSetPointerToCopy) + c + v,
      Op(image::OpSetPointer) + VarOperand(gInt) + v,  // the destination must be a pointer
  };
  for (const std::string& code : codes)
    EXPECT_TRUE(MainStopsWith(code, image::erInvalidOpcodeParameter)) << int{code[0]};
}

TEST(Instructions, TypeNumbersAndOperatorBytes) {
  EXPECT_TRUE(MainStopsWith(Op(image::OpPushType) + U32(kProc + 1), image::erInvalidType));
  EXPECT_TRUE(MainStopsWith(Assign(VarOperand(gInt), ConstOperand(kProc + 1, U32(0))), image::erInvalidType));
  EXPECT_TRUE(MainStopsWith(Assign(VarOperand(gRec), ConstOperand(kRec, U32(0))), image::erInvalidType))
      << "records have no inline form";
  for (std::uint8_t op : {std::uint8_t{11}, std::uint8_t{255}})
    EXPECT_TRUE(
        MainStopsWith(Op(image::OpCalculate) + Byte(op) + VarOperand(gInt) + Int(1), image::erInvalidOpcodeParameter));
  EXPECT_TRUE(MainStopsWith(Op(image::OpCompare) + Byte(8) + VarOperand(gInt) + Int(1) + Int(1),
                            image::erInvalidOpcodeParameter));
  EXPECT_TRUE(MainStopsWith(Op(image::OpCompare) + Byte(5) + VarOperand(gStr) + Int(1) + Int(1), image::ErTypeMismatch))
      << "a comparison needs an integer destination";
}

TEST(Instructions, ConditionsMustBeSmallIntegers) {
  EXPECT_TRUE(MainStopsWith(Op(image::OpJumpIfTrue) + I32(0) + VarOperand(gStr), image::erInvalidType));
  EXPECT_TRUE(MainStopsWith(Op(image::OpJumpIfFalse) + I32(0) + Str("x"), image::erInvalidType));
  EXPECT_TRUE(MainStopsWith(Op(image::OpSetFlag) + VarOperand(gRec) + Byte(0), image::erInvalidType));

  // if G0 <> 0 then G0 := 5 (not taken), then by the flag: G0 = 0 inverted jumps over G0 := 6.
  const std::string skip5 = Assign(VarOperand(gInt), Int(5));
  const std::string skip6 = Assign(VarOperand(gInt), Int(6));
  Machine m(Op(image::OpJumpIfFalse) + I32(static_cast<std::int32_t>(skip5.size())) + VarOperand(gInt) + skip5 +
            Op(image::OpSetFlag) + VarOperand(gInt) + Byte(1) + Op(image::OpJumpIfFlag) +
            I32(static_cast<std::int32_t>(skip6.size())) + skip6 + kReturn);
  ASSERT_TRUE(m.loaded);
  EXPECT_TRUE(m.exec.Run());
  EXPECT_EQ(m.Int(gInt), 0);
}

TEST(Instructions, HandlerPositionsAndFrames) {
  // Positions counted from the end of the 17-byte instruction; the code is 18 bytes long.
  EXPECT_TRUE(MainStopsWith(PushHandler(0, 18, -1, -1, -1), image::ErOutOfRange)) << "exactly the code length";
  EXPECT_TRUE(MainStopsWith(PushHandler(0, -1, -1, -1, 17 + 100), image::ErOutOfRange));
  EXPECT_TRUE(MainStopsWith(Op(image::OpPushHandler) + I32(-1) + I32(-18) + I32(-1) + I32(-1), image::ErOutOfRange))
      << "before the start";
  EXPECT_TRUE(MainStopsWith(Op(image::OpPopHandler) + Byte(0), image::ErOutOfRange)) << "no frame";
  Machine ignored(Op(image::OpPopHandler) + Byte(200) + kReturn);
  ASSERT_TRUE(ignored.loaded);
  EXPECT_TRUE(ignored.exec.Run()) << "an unknown kind does nothing, even without a frame";
}

TEST(Instructions, FailedConversionsArriveAsHostExceptions) {
  Machine m(Assign(VarOperand(gInt), Str("12")) + kReturn);
  EXPECT_TRUE(StoppedWith(m, image::erException, 1, 20));
  EXPECT_EQ(image::ErrorToText(m.exec.LastError(), m.exec.LastErrorParameter()), "Exception: Type Mismatch");
  EXPECT_TRUE(MainStopsWith(Assign(VarOperand(gRec), VarOperand(gInt)), image::ErTypeMismatch));
  EXPECT_TRUE(MainStopsWith(Op(image::OpCalculate) + Byte(3) + VarOperand(gInt) + Int(0), image::ErDivideByZero));
}

TEST(Instructions, PointersNeverOutliveTheirTargets) {
  // A global pointer may not refer to a stack slot, which dies first; a pointer above the slot may.
  EXPECT_TRUE(MainStopsWith(
      Op(image::OpPushType) + U32(kS32) + Op(image::OpSetPointer) + VarOperand(gPtr) + VarOperand(kFirstLocal),
      image::erOutOfStackRange));
  Machine m(Op(image::OpPushType) + U32(kS32) + Op(image::OpPushType) + U32(kPtr) + Op(image::OpSetPointer) +
            VarOperand(kFirstLocal + 1) + VarOperand(kFirstLocal) +
            Assign(VarOperand(kFirstLocal + 1), Int(4)) + Assign(VarOperand(gInt), VarOperand(kFirstLocal)) +
            Op(image::OpPop) + Op(image::OpPop) + kReturn);
  ASSERT_TRUE(m.loaded);
  EXPECT_TRUE(m.exec.Run());
  EXPECT_EQ(m.Int(gInt), 4) << "writing through the pointer wrote the slot";

  // Pointer slots need a tcPointer type in the image.
  TestImage noPointer;
  noPointer.AddType(Byte(image::tcS32));
  noPointer.AddVariable(0);
  noPointer.AddScriptRoutine("!MAIN", "-1", Op(image::OpPushVar) + VarOperand(0) + kReturn);
  noPointer.mainProc = 0;
  TPSExec exec;
  ASSERT_TRUE(exec.Load(noPointer.Build()));
  EXPECT_FALSE(exec.Run());
  EXPECT_EQ(exec.LastError(), image::erInvalidType);
  std::int32_t value = 0;
  const values::ValueRef param[] = {{&value, exec.Types()[0].get()}};
  EXPECT_FALSE(exec.CallProc(param, 0));
  EXPECT_EQ(exec.LastError(), image::erInvalidType);
}

TEST(Instructions, TheStepHookSeesEveryInstructionAndMayHalt) {
  // G0 := G0 + 1 three times, then return.
  const std::string add = Op(image::OpCalculate) + Byte(0) + VarOperand(gInt) + Int(1);
  Machine m(add + add + add + kReturn);
  ASSERT_TRUE(m.loaded);
  std::vector<std::uint32_t> positions;
  m.exec.OnRunLine = [&](TPSExec& e) { positions.push_back(e.CurrentPosition()); };
  EXPECT_TRUE(m.exec.Run());
  const auto size = static_cast<std::uint32_t>(add.size());
  EXPECT_EQ(positions, (std::vector<std::uint32_t>{0, size, 2 * size, 3 * size}));
  EXPECT_EQ(m.Int(gInt), 3);

  m.exec.OnRunLine = [](TPSExec& e) {
    if (e.CurrentPosition() > 0) e.Halt();
  };
  EXPECT_TRUE(m.exec.Run());
  EXPECT_EQ(m.Int(gInt), 4) << "the halt comes before the second instruction";
  EXPECT_EQ(m.exec.Status(), ExecStatus::kLoaded);
}

TEST(Instructions, NothingThrownByTheHostsEventsLeavesRun) {
  Machine m(Byte(10) + kReturn);
  ASSERT_TRUE(m.loaded);
  m.exec.OnException = [](TPSExec&, image::TQXException, std::string_view, std::uint32_t, std::int32_t,
                          const std::exception_ptr&) { throw std::runtime_error("from the event"); };
  bool result = true;
  EXPECT_NO_THROW(result = m.exec.Run());
  EXPECT_FALSE(result);
  EXPECT_NE(m.exec.Status(), ExecStatus::kRunning);
  EXPECT_NO_THROW(result = m.exec.CallProc({}, 99));
  EXPECT_FALSE(result);
  TPSExec loader;
  loader.OnException = m.exec.OnException;
  EXPECT_NO_THROW(result = loader.Load(""));
  EXPECT_FALSE(result);
  m.exec.Halt();
  m.exec.OnException = nullptr;
  m.exec.OnRunLine = [](TPSExec&) { throw std::runtime_error("from the step hook"); };
  EXPECT_NO_THROW(result = m.exec.Run());
  EXPECT_FALSE(result);
  EXPECT_EQ(m.exec.LastError(), image::erException);
  EXPECT_EQ(m.exec.LastErrorParameter(), "from the step hook");
}

TEST(Instructions, AHostMainProcedureIsNoMainProcedure) {
  TestImage image;
  image.AddExternalRoutine("HOSTMAIN", std::string(1, '\0'));
  image.mainProc = 0;
  TPSExec exec;
  int calls = 0;
  exec.RegisterHostFunction(
      [&](TPSExec&, std::span<const ScriptValueRef>, const ScriptValueRef*) { return ++calls > 0; },
      "HostMain", kRegisterConvention);
  ASSERT_TRUE(exec.Load(image.Build()));
  EXPECT_FALSE(exec.Run());
  EXPECT_EQ(exec.LastError(), image::erNoMainProc);
  EXPECT_EQ(exec.Status(), ExecStatus::kLoaded);
  EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace dravik::engine::exec

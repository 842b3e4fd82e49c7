// Host functions called by hand-made images: which parameter and result types the callable form
// passes, and registrations that stay where they are.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "../image/test_image.h"
#include "engine/exec/exec.h"

namespace dravik::engine::exec {
namespace {

using test::Byte;
using test::TestImage;
using test::U32;
using test::VarOperand;

// One global of each of these types; global n has type n.
enum TypeNo : std::uint32_t { kPtr, kS32, kStr, kChr, kCur, kPChr, kProc, kSet, kStat, kTypeCount };

constexpr std::uint32_t kFirstLocal = image::kFrameBaseVariable + 1;

// main: a pointer to global `variable` is pushed and the external procedure HOST (routine 1,
// with that call declaration) is called, then the pointer is popped.
std::string PassesAPointerTo(std::uint32_t variable, std::string_view callDeclaration) {
  TestImage image;
  image.AddType(Byte(image::tcPointer));
  image.AddType(Byte(image::tcS32));
  image.AddType(Byte(image::tcString));
  image.AddType(Byte(image::tcChar));
  image.AddType(Byte(image::tcCurrency));
  image.AddType(Byte(image::tcPChar));
  image.AddType(Byte(image::tcProcPtr) + U32(1) + Byte(0));
  image.AddType(Byte(image::tcSet) + U32(8));
  image.AddType(Byte(image::tcStaticArray) + U32(kS32) + U32(2));
  for (std::uint32_t type = 0; type < kTypeCount; ++type) image.AddVariable(type);
  const std::string code = Byte(image::OpPushType) + U32(kPtr) + Byte(image::OpSetPointer) + VarOperand(kFirstLocal) +
                           VarOperand(variable) + Byte(image::OpCall) + U32(1) + Byte(image::OpPop) +
                           Byte(image::OpReturn);
  image.AddScriptRoutine("!MAIN", "-1", code);
  image.AddExternalRoutine("HOST", callDeclaration);
  image.mainProc = 0;
  return image.Build();
}

// Runs the image with HOST registered; "called" when the host function ran and the run ended
// normally, otherwise the error the run stopped with.
std::string Outcome(const std::string& image) {
  TPSExec exec;
  bool called = false;
  exec.RegisterHostFunction(
      [&called](TPSExec&, std::span<const ScriptValueRef>, const ScriptValueRef*) { return called = true; },
      "HOST", kRegisterConvention);
  if (!exec.Load(image)) return "not loaded";
  const bool ran = exec.Run();
  if (ran && called) return "called";
  return image::ErrorToText(exec.LastError(), "") + (called ? " after the call" : "");
}

TEST(HostBinding, SomeTypesCannotBePassedByReference) {
  const std::string byReference{image::kCallDeclProcedure, 1};
  for (std::uint32_t type : {kS32, kStr, kSet, kStat}) EXPECT_EQ(Outcome(PassesAPointerTo(type, byReference)), "called") << type;
  for (std::uint32_t type : {kPtr, kChr, kCur, kPChr, kProc})
    EXPECT_EQ(Outcome(PassesAPointerTo(type, byReference)), "Could not call proc") << type;
}

TEST(HostBinding, OnlyListedTypesComeBackAsResults) {
  const std::string function{image::kCallDeclFunction};
  for (std::uint32_t type : {kS32, kStr, kChr, kPChr}) EXPECT_EQ(Outcome(PassesAPointerTo(type, function)), "called") << type;
  for (std::uint32_t type : {kCur, kProc, kSet, kStat})
    EXPECT_EQ(Outcome(PassesAPointerTo(type, function)), "Could not call proc") << type;
}

bool Refuse(TPSExec&, TPSExternalProcRec&, TPSStack&, TPSStack&) { return false; }
bool Accept(TPSExec&, TPSExternalProcRec&, TPSStack&, TPSStack&) { return true; }

TEST(HostBinding, ARegistrationStaysValidAsMoreAreAdded) {
  TPSExec exec;
  RegisteredRoutine& first = exec.RegisterRoutine("HOST", Refuse, 0, 0);
  for (int i = 0; i < 200; ++i) exec.RegisterRoutine("OTHER" + std::to_string(i), Refuse, 0, 0);
  first.handler = Accept;
  ASSERT_TRUE(exec.Load(PassesAPointerTo(kS32, std::string{image::kCallDeclProcedure, 1})));
  EXPECT_TRUE(exec.Run());
}

}  // namespace
}  // namespace dravik::engine::exec

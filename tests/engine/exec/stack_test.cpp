// The slot stack: values never move while their slot lives, memory is reused across segment
// boundaries, and the limits end in runtime errors instead of exhausting the process.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "engine/exec/stack.h"
#include "engine/values/script_fault.h"
#include "engine/values/value_memory.h"

namespace dravik::engine::exec {
namespace {

std::unique_ptr<values::TPSTypeRec> MakeType(image::TPSTypeCode code) {
  auto type = std::make_unique<values::TPSTypeRec>(code);
  type->CalcSize();
  return type;
}

TEST(Stack, SlotsKeepTheirAddressWhileTheStackGrows) {
  auto s32Type = MakeType(image::tcS32);
  const values::TPSTypeRec& s32 = *s32Type;
  TPSStack stack;
  void* first = stack.Push(s32);
  values::Store<std::int32_t>(first, 42);
  std::vector<void*> addresses;
  for (int i = 0; i < 100000; ++i) addresses.push_back(stack.Push(s32));
  EXPECT_EQ(stack.ValueAt(0), first);
  EXPECT_EQ(values::Load<std::int32_t>(first), 42);
  EXPECT_EQ(stack.ValueAt(50000), addresses[49999]);
  EXPECT_GT(stack.Capacity(), TPSStack::kMinSegmentSize);
  stack.PopTo(1);
  EXPECT_EQ(stack.Count(), 1u);
  EXPECT_LE(stack.Capacity(), 2 * TPSStack::kMinSegmentSize + TPSStack::kShrinkSlack)
      << "segments freed once the stack shrinks";
}

TEST(Stack, PushingAndPoppingAcrossASegmentBoundaryReusesTheSpare) {
  auto s32Type = MakeType(image::tcS32);
  const values::TPSTypeRec& s32 = *s32Type;
  TPSStack stack;
  while (stack.Capacity() == 0 || stack.Count() * 8 < TPSStack::kMinSegmentSize) stack.Push(s32);
  const std::size_t capacity = stack.Capacity();
  for (int i = 0; i < 1000; ++i) {
    stack.Push(s32);
    stack.Push(s32);
    stack.Pop();
    stack.Pop();
  }
  EXPECT_LE(stack.Capacity(), 2 * capacity);
}

TEST(Stack, NewSlotsAreDefaultAndPoppedStringsAreReleased) {
  auto textType = MakeType(image::tcString);
  const values::TPSTypeRec& text = *textType;
  TPSStack stack;
  void* a = stack.Push(text);
  EXPECT_EQ(values::StringAt(a), "");
  values::SetStringAt(a, "kept");
  void* b = stack.Push(text);
  values::CopyValue(b, a, text);
  stack.Pop();
  EXPECT_EQ(values::StringAt(stack.ValueAt(0)), "kept");
  stack.Clear();
  EXPECT_EQ(stack.Count(), 0u);
  EXPECT_EQ(stack.Capacity(), 0u);
}

TEST(Stack, LimitsEndInRuntimeErrors) {
  auto s32Type = MakeType(image::tcS32);
  const values::TPSTypeRec& s32 = *s32Type;
  TPSStack stack;
  stack.SetSlotLimit(10);
  for (int i = 0; i < 10; ++i) stack.Push(s32);
  try {
    stack.Push(s32);
    FAIL() << "pushed beyond the slot limit";
  } catch (const values::ScriptFault& fault) {
    EXPECT_EQ(fault.Code(), image::erOutOfStackRange);
  }
  EXPECT_EQ(stack.Count(), 10u);

  auto u8Type = MakeType(image::tcU8);
  const values::TPSTypeRec& u8 = *u8Type;
  values::TPSTypeRec_StaticArray big(&u8, static_cast<std::uint32_t>(values::kMaxValueMemSize));
  ASSERT_TRUE(big.CalcSize());
  TPSStack large;
  try {
    for (std::size_t i = 0; i <= TPSStack::kMaxBytes / values::kMaxValueMemSize; ++i) large.Push(big);
    FAIL() << "reserved more than the byte limit";
  } catch (const values::ScriptFault& fault) {
    EXPECT_EQ(fault.Code(), image::erOutOfMemory);
  }
}

}  // namespace
}  // namespace dravik::engine::exec

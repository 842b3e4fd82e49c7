#include "engine/values/value_memory.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/values/pointer_value.h"
#include "value_test_support.h"

namespace dravik::engine::values {
namespace {

using testing::FaultOf;
using testing::TestValue;

struct Types {
  TPSTypeRec s32{image::tcS32};
  TPSTypeRec u8{image::tcU8};
  TPSTypeRec str{image::tcString};
  TPSTypeRec pchar{image::tcPChar};
  TPSTypeRec wide{image::tcWideString};
  TPSTypeRec pointer{image::tcPointer};
  TPSTypeRec_Array strings{&str};
  TPSTypeRec_Array numbers{&s32};
  TPSTypeRec_Record person;  // (age: s32; name: string)

  Types() {
    person.fields = {&s32, &str};
    person.CalcSize();
  }
};

std::int32_t RefCountOf(const void* stringValue) { return Load<StringBlock*>(stringValue)->refCount; }

// ---------------------------------------------------------------------------------------------

TEST(TypeRecordsTest, SizesFollowTheFormatAndTheNativeReferences) {
  Types t;
  EXPECT_EQ(t.str.size, 4u);
  EXPECT_EQ(t.str.memSize, sizeof(void*));
  EXPECT_EQ(TPSTypeRec(image::tcExtended).memSize, 10u);
  EXPECT_EQ(TPSTypeRec(image::tcVariant).memSize, 16u);
  EXPECT_EQ(t.pointer.size, 12u);
  EXPECT_EQ(t.pointer.memSize, PointerLayout::kSize);
  EXPECT_EQ(TPSTypeRec(image::tcProcPtr).memSize, ProcPtrLayout::kSize);
  EXPECT_EQ(t.person.size, 8u);
  EXPECT_EQ(t.person.memSize, 4 + sizeof(void*));
  EXPECT_EQ(t.person.fieldOffsets, (std::vector<std::uint32_t>{0, 4}));
  EXPECT_EQ(t.person.fieldMemOffsets, (std::vector<std::size_t>{0, 4}));

  TPSTypeRec_StaticArray three(&t.person, 3);
  ASSERT_TRUE(three.CalcSize());
  EXPECT_EQ(three.size, 24u);
  EXPECT_EQ(three.memSize, 3 * t.person.memSize);

  TPSTypeRec_Set set(9);
  set.CalcSize();
  EXPECT_EQ(set.size, 2u);
}

TEST(TypeRecordsTest, FinalizationFollowsTheReferencesInside) {
  Types t;
  EXPECT_TRUE(t.pchar.needsFinalization);
  EXPECT_TRUE(t.pointer.needsFinalization);
  EXPECT_FALSE(t.s32.needsFinalization);
  EXPECT_TRUE(t.person.needsFinalization);
  TPSTypeRec_Record plain;
  plain.fields = {&t.s32, &t.u8};
  plain.CalcSize();
  EXPECT_FALSE(plain.needsFinalization);
  TPSTypeRec_StaticArray none(&t.str, 0);
  none.CalcSize();
  EXPECT_FALSE(none.needsFinalization);
}

TEST(TypeRecordsTest, OversizedCompositesAreRefused) {
  Types t;
  TPSTypeRec_StaticArray big(&t.str, 0x1FFFFFFF);  // 2 GB of strings in memory
  EXPECT_FALSE(big.CalcSize());
  TPSTypeRec_StaticArray chunk(&t.u8, static_cast<std::uint32_t>(kMaxValueMemSize / 2 + 1));
  ASSERT_TRUE(chunk.CalcSize());
  TPSTypeRec_Record twoChunks;
  twoChunks.fields = {&chunk, &chunk};
  EXPECT_FALSE(twoChunks.CalcSize());
}

TEST(TypeRecordsTest, NestingDeeperThanTheLimitIsRefused) {
  Types t;
  std::vector<std::unique_ptr<TPSTypeRec_Array>> levels;
  const TPSTypeRec* inner = &t.str;
  for (std::uint32_t depth = 2; depth <= kMaxTypeNesting; ++depth) {
    levels.push_back(std::make_unique<TPSTypeRec_Array>(inner));
    ASSERT_TRUE(levels.back()->CalcSize());
    inner = levels.back().get();
  }
  EXPECT_EQ(inner->nesting, kMaxTypeNesting);
  TPSTypeRec_Record tooDeep;
  tooDeep.fields = {&t.s32, inner};
  EXPECT_FALSE(tooDeep.CalcSize());
  TPSTypeRec_StaticArray alsoTooDeep(inner, 1);
  EXPECT_FALSE(alsoTooDeep.CalcSize());
}

// ---------------------------------------------------------------------------------------------

TEST(ExtendedTest, UsesTheTenBytesOfTheX87Format) {
  std::uint8_t bytes[10] = {};
  StoreExtended(bytes, 1.0L);
  const std::uint8_t one[10] = {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F};
  EXPECT_EQ(std::memcmp(bytes, one, 10), 0);
  StoreExtended(bytes, -0.1L);
  EXPECT_EQ(LoadExtended(bytes), -0.1L);
}

// ---------------------------------------------------------------------------------------------

TEST(StringBlockTest, EmptyTextIsNullAndTextIsTerminated) {
  EXPECT_EQ(NewString(""), nullptr);
  StringBlock* block = NewString("abc");
  EXPECT_EQ(block->refCount, 1);
  EXPECT_EQ(block->Text()[3], '\0');
  ReleaseString(block);
  WideStringBlock* wide = NewWideString(u"\u0141x");
  EXPECT_EQ(wide->Text()[2], u'\0');
  ReleaseWideString(wide);
}

TEST(StringBlockTest, ACopyThatChangesLeavesTheOriginal) {
  Types t;
  TestValue original(t.str), copy(t.str);
  SetStringAt(original.Data(), "hello");
  CopyValue(copy.Data(), original.Data(), t.str);
  EXPECT_EQ(RefCountOf(original.Data()), 2);
  UniqueStringAt(copy.Data())[0] = 'j';
  EXPECT_EQ(StringAt(copy.Data()), "jello");
  EXPECT_EQ(StringAt(original.Data()), "hello");
  EXPECT_EQ(RefCountOf(original.Data()), 1);
}

TEST(StringBlockTest, PCharValuesAreCountedStrings) {
  Types t;
  TestValue text(t.str), view(t.pchar);
  SetStringAt(text.Data(), "abc");
  CopyValue(view.Data(), text.Data(), t.pchar);
  FinalizeValue(text.Data(), t.str);
  EXPECT_STREQ(Load<StringBlock*>(view.Data())->Text(), "abc");  // still alive through the PChar
}

TEST(StringBlockTest, SettingAStringFromItsOwnTextAndSelfCopy) {
  Types t;
  TestValue s(t.str);
  SetStringAt(s.Data(), "abcdef");
  SetStringAt(s.Data(), StringAt(s.Data()).substr(2));
  EXPECT_EQ(StringAt(s.Data()), "cdef");
  CopyValue(s.Data(), s.Data(), t.str);
  EXPECT_EQ(RefCountOf(s.Data()), 1);
}

TEST(StringBlockTest, AppendingGrowsInPlaceButNeverIntoASharedBlock) {
  Types t;
  TestValue s(t.str), copy(t.str);
  AppendStringAt(s.Data(), "ab");
  StringBlock* grown = Load<StringBlock*>(s.Data());
  EXPECT_GE(grown->capacity, 4u);
  AppendStringAt(s.Data(), "cd");
  EXPECT_EQ(Load<StringBlock*>(s.Data()), grown) << "room left by the first append is used";
  AppendStringAt(s.Data(), StringAt(s.Data()));
  EXPECT_EQ(StringAt(s.Data()), "abcdabcd");
  EXPECT_EQ(Load<StringBlock*>(s.Data())->Text()[8], '\0');
  CopyValue(copy.Data(), s.Data(), t.str);
  AppendStringAt(copy.Data(), "!");
  EXPECT_EQ(StringAt(copy.Data()), "abcdabcd!");
  EXPECT_EQ(StringAt(s.Data()), "abcdabcd") << "a shared block is copied before it grows";
  TestValue wide(t.wide);
  AppendWideStringAt(wide.Data(), u"x");
  AppendWideStringAt(wide.Data(), u"yz");
  EXPECT_EQ(WideStringAt(wide.Data()), u"xyz");
}

TEST(StringBlockTest, ABlockWithANegativeCountIsNeverFreedNorWritten) {
  Types t;
  StringBlock* constant = NewString("const");
  constant->refCount = -1;
  {
    TestValue s(t.str);
    Store(s.Data(), constant);
    UniqueStringAt(s.Data())[0] = 'C';
    EXPECT_EQ(StringAt(s.Data()), "Const");
  }
  EXPECT_EQ(std::string_view(constant->Text(), constant->length), "const");
  constant->refCount = 1;
  ReleaseString(constant);
}

TEST(StringBlockTest, OverlongTextIsOutOfMemory) {
  const char small[1] = {'x'};
  EXPECT_EQ(FaultOf([&] { NewString(std::string_view(small, kMaxStringLength + 1)); }), image::erOutOfMemory);
}

TEST(StringBlockTest, WideningAndNarrowingWorkByteForUnit) {
  EXPECT_EQ(WidenText("a\xE9"), u"a\u00E9");
  EXPECT_EQ(NarrowText(u"a\u0141"), "aA");
}

// ---------------------------------------------------------------------------------------------

TEST(ArrayBlockTest, NewArraysHoldDefaultElements) {
  Types t;
  EXPECT_EQ(NewArray(t.s32, 0), nullptr);
  ArrayBlock* block = NewArray(t.person, 2);
  EXPECT_EQ(block->length, 2u);
  EXPECT_EQ(StringAt(block->Elements() + t.person.fieldMemOffsets[1]), "");
  ReleaseArray(block, t.person);
}

TEST(ArrayBlockTest, CopiesShareTheBlockUntilOneChangesItsLength) {
  Types t;
  TestValue a(t.strings), b(t.strings);
  SetArrayLengthAt(a.Data(), t.str, 2);
  SetStringAt(ArrayAt(a.Data())->Elements(), "first");
  CopyValue(b.Data(), a.Data(), t.strings);
  EXPECT_EQ(ArrayAt(a.Data()), ArrayAt(b.Data()));
  EXPECT_EQ(ArrayAt(a.Data())->refCount, 2);

  SetArrayLengthAt(b.Data(), t.str, 2);  // the same length still gives b its own block
  ASSERT_NE(ArrayAt(a.Data()), ArrayAt(b.Data()));
  EXPECT_EQ(ArrayAt(a.Data())->refCount, 1);
  SetStringAt(ArrayAt(b.Data())->Elements(), "changed");
  EXPECT_EQ(StringAt(ArrayAt(a.Data())->Elements()), "first");
  EXPECT_EQ(RefCountOf(ArrayAt(a.Data())->Elements()), 1);
}

TEST(ArrayBlockTest, SetLengthGrowsWithDefaultsAndShrinksWithRelease) {
  Types t;
  TestValue a(t.strings);
  SetArrayLengthAt(a.Data(), t.str, 3);
  for (int i = 0; i < 3; ++i)
    SetStringAt(ArrayAt(a.Data())->Elements() + i * sizeof(void*), std::string(1, char('a' + i)));
  SetArrayLengthAt(a.Data(), t.str, 1);  // the dropped strings are released (leak check)
  EXPECT_EQ(ArrayLengthAt(a.Data()), 1u);
  SetArrayLengthAt(a.Data(), t.str, 4);
  EXPECT_EQ(StringAt(ArrayAt(a.Data())->Elements()), "a");
  EXPECT_EQ(StringAt(ArrayAt(a.Data())->Elements() + 3 * sizeof(void*)), "");
  SetArrayLengthAt(a.Data(), t.str, 0);
  EXPECT_EQ(ArrayAt(a.Data()), nullptr);
}

TEST(ArrayBlockTest, ShrinkingASharedArrayKeepsTheOtherWhole) {
  Types t;
  TestValue a(t.numbers), b(t.numbers);
  SetArrayLengthAt(a.Data(), t.s32, 3);
  Store<std::int32_t>(ArrayAt(a.Data())->Elements() + 8, 7);
  CopyValue(b.Data(), a.Data(), t.numbers);
  SetArrayLengthAt(b.Data(), t.s32, 0);
  EXPECT_EQ(ArrayAt(b.Data()), nullptr);
  ASSERT_EQ(ArrayLengthAt(a.Data()), 3u);
  EXPECT_EQ(Load<std::int32_t>(ArrayAt(a.Data())->Elements() + 8), 7);
}

TEST(ArrayBlockTest, AHugeLengthIsOutOfMemoryAndLeavesTheArray) {
  Types t;
  TestValue a(t.strings);
  SetArrayLengthAt(a.Data(), t.str, 2);
  ArrayBlock* before = ArrayAt(a.Data());
  EXPECT_EQ(FaultOf([&] { SetArrayLengthAt(a.Data(), t.str, 0xFFFFFFFF); }), image::erOutOfMemory);
  EXPECT_EQ(ArrayAt(a.Data()), before);
  EXPECT_EQ(ArrayLengthAt(a.Data()), 2u);
  TestValue shared(t.strings);
  CopyValue(shared.Data(), a.Data(), t.strings);
  EXPECT_EQ(FaultOf([&] { SetArrayLengthAt(a.Data(), t.str, 0x80000000); }), image::erOutOfMemory);
  EXPECT_EQ(ArrayAt(a.Data())->refCount, 2);
}

// ---------------------------------------------------------------------------------------------

TEST(RecordValueTest, CopiesFieldByFieldSharingStrings) {
  Types t;
  TestValue a(t.person), b(t.person);
  Store<std::int32_t>(a.Bytes(), 42);
  SetStringAt(a.Bytes() + t.person.fieldMemOffsets[1], "Ann");
  CopyValue(b.Data(), a.Data(), t.person);
  EXPECT_EQ(Load<std::int32_t>(b.Bytes()), 42);
  EXPECT_EQ(RefCountOf(a.Bytes() + t.person.fieldMemOffsets[1]), 2);
  SetStringAt(b.Bytes() + t.person.fieldMemOffsets[1], "Bob");
  EXPECT_EQ(StringAt(a.Bytes() + t.person.fieldMemOffsets[1]), "Ann");
  FinalizeValue(a.Data(), t.person);
  EXPECT_EQ(Load<std::int32_t>(a.Bytes()), 0);
  EXPECT_EQ(StringAt(a.Bytes() + t.person.fieldMemOffsets[1]), "");
}

TEST(RecordValueTest, StaticArraysOfRecordsCopyEveryElement) {
  Types t;
  TPSTypeRec_StaticArray pair(&t.person, 2);
  pair.CalcSize();
  TestValue a(pair), b(pair);
  SetStringAt(a.Bytes() + t.person.memSize + t.person.fieldMemOffsets[1], "second");
  CopyValue(b.Data(), a.Data(), pair);
  EXPECT_EQ(StringAt(b.Bytes() + t.person.memSize + t.person.fieldMemOffsets[1]), "second");
}

// ---------------------------------------------------------------------------------------------

TEST(PointerValueTest, ACopiedPointerOwnsACopyOfItsTarget) {
  Types t;
  TestValue target(t.str), p(t.pointer), q(t.pointer);
  SetStringAt(target.Data(), "shared");
  SetPointerAt(p.Data(), PointerValue{target.Data(), &t.str, kNotOnStack, {}});
  CopyValue(q.Data(), p.Data(), t.pointer);
  const PointerValue copy = LoadPointer(q.Data());
  ASSERT_NE(copy.target, target.Data());
  EXPECT_EQ(copy.keeper.kind, KeeperKind::kOwnedCopy);
  SetStringAt(copy.target, "own");
  EXPECT_EQ(StringAt(target.Data()), "shared");

  TestValue r(t.pointer);  // copying an owned copy copies again
  CopyValue(r.Data(), q.Data(), t.pointer);
  EXPECT_NE(LoadPointer(r.Data()).target, copy.target);
  EXPECT_EQ(StringAt(LoadPointer(r.Data()).target), "own");
}

TEST(PointerValueTest, ANullPointerCopiesAsNull) {
  Types t;
  TestValue p(t.pointer), q(t.pointer);
  CopyValue(q.Data(), p.Data(), t.pointer);
  EXPECT_EQ(LoadPointer(q.Data()).target, nullptr);
  EXPECT_EQ(CopyIntoOwnedPointer(nullptr, &t.s32).keeper.kind, KeeperKind::kNone);
}

TEST(PointerValueTest, AnArrayElementStaysAliveWhileAPointerKeepsItsBlock) {
  Types t;
  TestValue a(t.strings), p(t.pointer);
  SetArrayLengthAt(a.Data(), t.str, 1);
  ArrayBlock* block = ArrayAt(a.Data());
  SetStringAt(block->Elements(), "kept");
  SetPointerAt(p.Data(), PointerValue{block->Elements(), &t.str, kNotOnStack,
                                      Keeper{KeeperKind::kArrayBlock, block, &t.str}});
  SetArrayLengthAt(a.Data(), t.str, 0);
  EXPECT_EQ(StringAt(LoadPointer(p.Data()).target), "kept");  // ASan would see a freed block
}

TEST(PointerValueTest, RingsOfPointersFailToCopyWithoutLeaking) {
  Types t;
  TPSTypeRec_Record node;  // (next: pointer; name: string)
  node.fields = {&t.pointer, &t.str};
  ASSERT_TRUE(node.CalcSize());
  TestValue a(node), b(node), copy(node);
  SetStringAt(a.Bytes() + node.fieldMemOffsets[1], "a");
  SetPointerAt(a.Data(), PointerValue{b.Data(), &node, kNotOnStack, {}});
  SetPointerAt(b.Data(), PointerValue{a.Data(), &node, kNotOnStack, {}});
  EXPECT_EQ(FaultOf([&] { CopyValue(copy.Data(), a.Data(), node); }), image::erOutOfMemory);
  EXPECT_EQ(LoadPointer(copy.Data()).target, nullptr);
}

TEST(PointerValueTest, ALongChainOfKeptBoxesIsReleasedWithoutDeepRecursion) {
  Types t;
  TPSTypeRec_Record node;  // (next: pointer; value: s32)
  node.fields = {&t.pointer, &t.s32};
  ASSERT_TRUE(node.CalcSize());
  TestValue blank(node), head(t.pointer);
  for (int i = 0; i < 200000; ++i) {
    const PointerValue fresh = CopyIntoOwnedPointer(blank.Data(), &node);
    SetPointerAt(fresh.target, LoadPointer(head.Data()));  // fresh^.next := head
    const Keeper old = LoadPointer(head.Data()).keeper;
    StorePointer(head.Data(), fresh);  // head takes the reference the copy came with
    ReleaseKeeper(old);
  }
  FinalizeValue(head.Data(), t.pointer);
  EXPECT_EQ(LoadPointer(head.Data()).target, nullptr);
}

TEST(HeapValueTest, HeapValuesStartDefaultAndReleaseWhatTheyHold) {
  Types t;
  void* value = NewHeapValue(t.person);
  EXPECT_EQ(Load<std::int32_t>(value), 0);
  SetStringAt(static_cast<std::uint8_t*>(value) + t.person.fieldMemOffsets[1], "heap");
  DestroyHeapValue(value, t.person);
}

}  // namespace
}  // namespace dravik::engine::values

#include "engine/image/image_tables.h"

#include <gtest/gtest.h>

#include "test_image.h"

namespace dravik::engine::image {
namespace {

using test::Byte;
using test::TestImage;
using test::U32;

// The code the loader would report for the image; ErNoError when it would load.
TQXException Verdict(const std::string& image) {
  ImageTables tables = ReadImageTables(image);
  return tables.problem ? tables.problem->code : ErNoError;
}

std::string ImageWithType(std::string_view entry) {
  TestImage image;
  image.AddType(Byte(tcU8));
  image.AddType(entry);
  return image.Build();
}

TEST(ImageTables, Header) {
  TestImage empty;
  const std::string image = empty.Build();
  EXPECT_EQ(Verdict(image), ErNoError) << "no types, routines or variables, no main routine";
  EXPECT_EQ(Verdict(image.substr(0, 27)), erInvalidHeader);
  EXPECT_EQ(Verdict(""), erInvalidHeader);
  for (std::uint32_t build : {11u, 23u, 0xFFFFFFFFu}) {
    TestImage bad;
    bad.build = build;
    EXPECT_EQ(Verdict(bad.Build()), erInvalidHeader) << build;
  }
  TestImage oldest;
  oldest.build = kMinImageBuildNumber;
  oldest.AddType(Byte(tcS32));  // before build 21: no attribute block
  EXPECT_EQ(Verdict(oldest.Build()), ErNoError);
  std::string wrongMagic = image;
  wrongMagic[0] = 'X';
  EXPECT_EQ(Verdict(wrongMagic), erInvalidHeader);
}

TEST(ImageTables, TypeCodesAndBodies) {
  EXPECT_EQ(Verdict(ImageWithType(Byte(15))), erInvalidType);
  EXPECT_EQ(Verdict(ImageWithType(Byte(27))), erInvalidType);
  EXPECT_EQ(Verdict(ImageWithType(Byte(0))), erInvalidType);
  EXPECT_EQ(Verdict(ImageWithType(Byte(0x80 | 15))), erInvalidType);
  EXPECT_EQ(Verdict(ImageWithType(Byte(tcRecord) + U32(0))), erUnexpectedEof);
  EXPECT_EQ(Verdict(ImageWithType(Byte(tcRecord) + U32(2) + U32(0) + U32(0))), ErNoError);
  EXPECT_EQ(Verdict(ImageWithType(Byte(tcRecord) + U32(1) + U32(1))), ErOutOfRange)
      << "a record cannot contain itself";
  EXPECT_EQ(Verdict(ImageWithType(Byte(tcArray) + U32(1))), ErTypeMismatch);
  EXPECT_EQ(Verdict(ImageWithType(Byte(tcStaticArray) + U32(2) + U32(3))), ErTypeMismatch);
  EXPECT_EQ(Verdict(ImageWithType(Byte(tcStaticArray) + U32(0) + U32(0x1FFFFFFF))), ErNoError);
  EXPECT_EQ(Verdict(ImageWithType(Byte(tcStaticArray) + U32(0) + U32(0x20000000))), erUnexpectedEof);
  EXPECT_EQ(Verdict(ImageWithType(Byte(tcSet) + U32(256))), ErNoError);
  EXPECT_EQ(Verdict(ImageWithType(Byte(tcSet) + U32(257))), ErTypeMismatch);
  EXPECT_EQ(Verdict(ImageWithType(Byte(tcClass) + U32(255) + std::string(255, 'C'))), ErNoError);
  EXPECT_EQ(Verdict(ImageWithType(Byte(tcClass) + U32(256) + std::string(256, 'C'))), erUnexpectedEof);
  EXPECT_EQ(Verdict(ImageWithType(Byte(tcInterface) + std::string(16, 'g'))), ErNoError);
}

TEST(ImageTables, CountsBeyondTheBytesFailWithoutReadingFurther) {
  TestImage image;
  image.AddRawTypeEntry(Byte(tcRecord) + U32(0xFFFFFFFF));
  EXPECT_EQ(Verdict(image.Build()), erUnexpectedEof);

  TestImage truncatedName;
  truncatedName.AddRawTypeEntry(Byte(0x80 | tcU8) + U32(1000) + "ab");
  EXPECT_EQ(Verdict(truncatedName.Build()), erUnexpectedEof);

  TestImage hugeName;
  hugeName.AddRawTypeEntry(Byte(0x80 | tcU8) + U32(kMaxNameLength + 1));
  EXPECT_EQ(Verdict(hugeName.Build()), erInvalidType);

  TestImage attributes;
  attributes.AddRawTypeEntry(Byte(tcU8) + U32(0xFFFFFFFF) + U32(1) + "A" + U32(0));
  EXPECT_EQ(Verdict(attributes.Build()), ErOutOfRange) << "attribute count beyond the bytes";
}

TEST(ImageTables, AttributeValues) {
  TestImage image;
  // One attribute "N" with a value of the type being defined: the loader lists it first.
  image.AddRawTypeEntry(Byte(tcS32) + U32(1) + U32(1) + "N" + U32(1) + U32(0) + U32(7));
  const std::string bytes = image.Build();  // the tables view it
  ImageTables tables = ReadImageTables(bytes);
  ASSERT_FALSE(tables.problem);
  ASSERT_EQ(tables.types[0].attributes.size(), 1u);
  EXPECT_EQ(tables.types[0].attributes[0].values[0].bytes, U32(7));

  TestImage variant;
  variant.AddRawTypeEntry(Byte(tcVariant) + U32(1) + U32(1) + "N" + U32(1) + U32(0));
  EXPECT_EQ(Verdict(variant.Build()), erInvalidType);

  TestImage later;
  later.AddRawTypeEntry(Byte(tcS32) + U32(1) + U32(1) + "N" + U32(1) + U32(1) + U32(7));
  EXPECT_EQ(Verdict(later.Build()), ErOutOfRange);
}

TEST(ImageTables, ScriptRoutineCodeMustLieInsideTheImage) {
  auto routineImage = [](std::uint32_t offsetFromEnd, std::uint32_t length) {
    TestImage image;
    const std::size_t size = image.Build().size() + 1 + 8;  // header + this routine entry
    image.AddRawRoutineEntry(Byte(0) + U32(static_cast<std::uint32_t>(size) - offsetFromEnd) +
                             U32(length));
    return image.Build();
  };
  EXPECT_EQ(Verdict(routineImage(1, 1)), ErNoError) << "offset + length equal to the image length";
  EXPECT_EQ(Verdict(routineImage(1, 2)), erUnexpectedEof);
  EXPECT_EQ(Verdict(routineImage(1, 0)), erUnexpectedEof);
  EXPECT_EQ(Verdict(routineImage(0, 1)), erUnexpectedEof);
  TestImage wrap;
  wrap.AddRawRoutineEntry(Byte(0) + U32(10) + U32(0xFFFFFFFF));
  EXPECT_EQ(Verdict(wrap.Build()), erUnexpectedEof) << "offset + length must not wrap around";
}

TEST(ImageTables, ExternalRoutinesAndVariables) {
  TestImage image;
  image.AddType(Byte(tcString));
  image.AddExternalRoutine("MOUNTFILE", std::string("\0\0\0", 3));
  image.AddVariable(0);
  const std::string bytes = image.Build();  // the tables view it
  ImageTables tables = ReadImageTables(bytes);
  ASSERT_FALSE(tables.problem);
  EXPECT_EQ(tables.routines[0].name, "MOUNTFILE");
  EXPECT_EQ(tables.routines[0].declaration.size(), 3u);

  TestImage badDecl;
  badDecl.AddRawRoutineEntry(Byte(kProcExternal | kProcExported) + Byte(1) + "X" + U32(5) + "ab");
  EXPECT_EQ(Verdict(badDecl.Build()), erUnexpectedEof);

  TestImage badVariable;
  badVariable.AddType(Byte(tcU8));
  badVariable.AddVariable(1);
  EXPECT_EQ(Verdict(badVariable.Build()), erInvalidType);

  std::string shortVariable = TestImage().Build();
  shortVariable[kHeaderVarCountOffset] = 1;
  EXPECT_EQ(Verdict(shortVariable + U32(0)), erUnexpectedEof);
}

TEST(ImageTables, MainRoutineNumber) {
  TestImage image;
  image.AddScriptRoutine("!MAIN", "-1", Byte(OpReturn));
  image.mainProc = 0;
  EXPECT_EQ(Verdict(image.Build()), ErNoError);
  image.mainProc = 1;
  const std::string bytes = image.Build();  // the tables view it
  ImageTables tables = ReadImageTables(bytes);
  ASSERT_TRUE(tables.problem);
  EXPECT_EQ(tables.problem->code, erNoMainProc);
  EXPECT_TRUE(tables.tablesRead) << "the code can still be listed";
}

}  // namespace
}  // namespace dravik::engine::image

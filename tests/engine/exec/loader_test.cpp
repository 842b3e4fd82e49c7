// Load: what each refused image reports and the state a load leaves behind, and the
// binding of the image's external procedures to the host's registrations.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "../image/test_image.h"
#include "engine/exec/exec.h"

namespace dravik::engine::exec {
namespace {

using test::Byte;
using test::TestImage;
using test::U32;

struct Reported {
  image::TQXException code;
  std::string parameter;
  std::int32_t procNo;
};

// Loads the image into a fresh executor. A failed load must leave it empty and not loaded, with
// the one error reported through OnException and readable as the last error.
image::TQXException Verdict(const std::string& image, std::string* parameter = nullptr) {
  TPSExec exec;
  std::vector<Reported> reported;
  exec.OnException = [&](TPSExec&, image::TQXException code, std::string_view text, std::uint32_t,
                         std::int32_t procNo, const std::exception_ptr&) {
    reported.push_back({code, std::string(text), procNo});
  };
  if (exec.Load(image)) {
    EXPECT_EQ(exec.Status(), ExecStatus::kLoaded);
    EXPECT_TRUE(reported.empty());
    return image::ErNoError;
  }
  EXPECT_EQ(exec.Status(), ExecStatus::kNotLoaded);
  EXPECT_TRUE(exec.Types().empty() && exec.Procs().empty() && exec.Globals().Empty());
  EXPECT_EQ(exec.MainProcNo(), -1);
  EXPECT_EQ(reported.size(), 1u);
  if (!reported.empty()) {
    EXPECT_EQ(reported[0].code, exec.LastError());
    EXPECT_EQ(reported[0].procNo, -1);
    EXPECT_EQ(reported[0].parameter, exec.LastErrorParameter());
  }
  if (parameter != nullptr) *parameter = exec.LastErrorParameter();
  return exec.LastError();
}

std::string WithTypes(std::initializer_list<std::string> entries, std::uint32_t build = image::kImageBuildNumber) {
  TestImage image;
  image.build = build;
  for (const std::string& entry : entries) image.AddType(entry);
  return image.Build();
}

// An image that ends inside its only type entry (a tcU8 before it).
std::string Truncated(const std::string& entry) {
  TestImage image;
  image.AddType(Byte(image::tcU8));
  image.AddRawTypeEntry(entry);
  return image.Build();
}

// An image whose one script routine's code offset lies `offsetFromEnd` bytes before the image's
// end and is `length` bytes long.
std::string RoutineAt(std::uint32_t offsetFromEnd, std::uint32_t length) {
  TestImage image;
  const std::size_t size = image.Build().size() + 9;  // the header and this routine's entry
  image.AddRawRoutineEntry(Byte(0) + U32(static_cast<std::uint32_t>(size) - offsetFromEnd) + U32(length));
  return image.Build();
}

TEST(Loader, Header) {
  const std::string empty = TestImage().Build();
  EXPECT_EQ(Verdict(empty), image::ErNoError);
  EXPECT_EQ(Verdict(empty.substr(0, 27)), image::erInvalidHeader);
  EXPECT_EQ(Verdict(""), image::erInvalidHeader);
  std::string magic = empty;
  magic[3] = 'X';
  EXPECT_EQ(Verdict(magic), image::erInvalidHeader);
  for (std::uint32_t build : {11u, 23u}) EXPECT_EQ(Verdict(WithTypes({}, build)), image::erInvalidHeader) << build;
  for (std::uint32_t build : {12u, 20u, 21u, 22u})
    EXPECT_EQ(Verdict(WithTypes({Byte(image::tcS32)}, build)), image::ErNoError) << build;
}

TEST(Loader, TypeCodesAndBodies) {
  for (std::uint8_t code : {0, 15, 27, 127, 0x80 | 15})
    EXPECT_EQ(Verdict(WithTypes({Byte(code)})), image::erInvalidType) << int{code};
  std::string noTypeByte = TestImage().Build();
  noTypeByte[image::kHeaderTypeCountOffset] = 1;
  EXPECT_EQ(Verdict(noTypeByte), image::erUnexpectedEof);

  const std::string u8 = Byte(image::tcU8);
  EXPECT_EQ(Verdict(WithTypes({u8, Byte(image::tcRecord) + U32(0)})), image::erUnexpectedEof)
      << "a record with no field";
  EXPECT_EQ(Verdict(Truncated(Byte(image::tcRecord) + U32(2) + U32(0))), image::erUnexpectedEof);
  EXPECT_EQ(Verdict(WithTypes({u8, Byte(image::tcRecord) + U32(1) + U32(1)})), image::ErOutOfRange) << "itself";
  EXPECT_EQ(Verdict(WithTypes({u8, Byte(image::tcRecord) + U32(1) + U32(2), u8})), image::ErOutOfRange)
      << "a later type";
  EXPECT_EQ(Verdict(WithTypes({u8, Byte(image::tcArray) + U32(1)})), image::ErTypeMismatch);
  EXPECT_EQ(Verdict(WithTypes({u8, Byte(image::tcArray) + U32(2), u8})), image::ErTypeMismatch);
  EXPECT_EQ(Verdict(WithTypes({u8, Byte(image::tcStaticArray) + U32(1) + U32(3)})), image::ErTypeMismatch);
  EXPECT_EQ(Verdict(WithTypes({u8, Byte(image::tcStaticArray) + U32(0) + U32(0x20000000)})), image::erUnexpectedEof);
  EXPECT_EQ(Verdict(Truncated(Byte(image::tcStaticArray) + U32(0))), image::erUnexpectedEof);
  EXPECT_EQ(Verdict(WithTypes({u8, Byte(image::tcSet) + U32(257)})), image::ErTypeMismatch);
  EXPECT_EQ(Verdict(WithTypes({Byte(image::tcProcPtr) + U32(255) + std::string(255, '\0')})), image::ErNoError);
  EXPECT_EQ(Verdict(WithTypes({Byte(image::tcProcPtr) + U32(256) + std::string(256, '\0')})), image::erUnexpectedEof);
  EXPECT_EQ(Verdict(Truncated(Byte(image::tcProcPtr) + U32(4) + "ab")), image::erUnexpectedEof);
  EXPECT_EQ(Verdict(Truncated(Byte(image::tcClass) + U32(4) + "ab")), image::erUnexpectedEof);
  EXPECT_EQ(Verdict(Truncated(Byte(image::tcSet))), image::erUnexpectedEof);
  EXPECT_EQ(Verdict(Truncated(Byte(image::tcArray))), image::erUnexpectedEof);
  EXPECT_EQ(Verdict(WithTypes({Byte(image::tcClass) + U32(255) + std::string(255, 'C')})), image::ErNoError);
  EXPECT_EQ(Verdict(WithTypes({Byte(image::tcClass) + U32(256) + std::string(256, 'C')})), image::erUnexpectedEof);
  EXPECT_EQ(Verdict(WithTypes({Byte(image::tcInterface) + std::string(16, 'g')})), image::ErNoError);
  EXPECT_EQ(Verdict(Truncated(Byte(image::tcInterface) + std::string(15, 'g'))), image::erUnexpectedEof);
}

TEST(Loader, TypeSizesAndNames) {
  TPSExec exec;
  TestImage image;
  image.AddType(Byte(image::tcSet) + U32(256));
  image.AddType(Byte(image::tcSet) + U32(9));
  image.AddType(Byte(image::tcS32));
  image.AddType(Byte(image::tcString));
  image.AddType(Byte(image::tcRecord) + U32(3) + U32(2) + U32(3) + U32(1));
  image.AddType(Byte(image::tcStaticArray) + U32(4) + U32(1000));
  image.AddType(Byte(0x80 | image::tcU8) + U32(7) + "BOOLEAN");
  ASSERT_TRUE(exec.Load(image.Build()));
  const auto& types = exec.Types();
  ASSERT_EQ(types.size(), 7u);
  EXPECT_EQ(types[0]->size, 32u);
  EXPECT_EQ(types[1]->size, 2u);
  EXPECT_EQ(types[4]->size, 4u + 4u + 2u);
  EXPECT_EQ(static_cast<const values::TPSTypeRec_Record&>(*types[4]).fieldOffsets,
            (std::vector<std::uint32_t>{0, 4, 8}));
  EXPECT_EQ(types[5]->size, 10000u);
  EXPECT_EQ(types[6]->exportName, "BOOLEAN");
  EXPECT_NE(types[6]->exportNameHash, 0u);

  TestImage hugeName;
  hugeName.AddRawTypeEntry(Byte(0x80 | image::tcU8) + U32(image::kMaxNameLength + 1));
  EXPECT_EQ(Verdict(hugeName.Build()), image::erInvalidType);
  TestImage cutName;
  cutName.AddRawTypeEntry(Byte(0x80 | image::tcU8) + U32(10) + "BOOL");
  EXPECT_EQ(Verdict(cutName.Build()), image::erUnexpectedEof);
  // A type whose values could not be held in memory is refused at load time.
  EXPECT_EQ(Verdict(WithTypes({Byte(image::tcExtended), Byte(image::tcStaticArray) + U32(0) + U32(0x1FFFFFFF)})),
            image::erOutOfMemory);
}

TEST(Loader, AttributeBlocks) {
  // Type attributes from build 21: one attribute "N" with a tcS32 value 7.
  TestImage typed;
  typed.AddRawTypeEntry(Byte(image::tcS32) + U32(1) + U32(1) + "N" + U32(1) + U32(0) + U32(7));
  TPSExec exec;
  ASSERT_TRUE(exec.Load(typed.Build()));
  ASSERT_EQ(exec.Types()[0]->attributes.size(), 1u);
  EXPECT_EQ(exec.Types()[0]->attributes[0].name, "N");
  ASSERT_EQ(exec.Types()[0]->attributes[0].values.size(), 1u);
  EXPECT_EQ(exec.Types()[0]->attributes[0].values[0].bytes, U32(7));

  TestImage missingCount;
  missingCount.build = 21;
  missingCount.AddRawTypeEntry(Byte(image::tcS32));
  EXPECT_EQ(Verdict(missingCount.Build()), image::ErOutOfRange);
  TestImage longName;
  longName.AddRawTypeEntry(Byte(image::tcS32) + U32(1) + U32(100) + "N");
  EXPECT_EQ(Verdict(longName.Build()), image::ErOutOfRange);
  TestImage laterType;
  laterType.AddRawTypeEntry(Byte(image::tcS32) + U32(1) + U32(1) + "N" + U32(1) + U32(1) + U32(7));
  EXPECT_EQ(Verdict(laterType.Build()), image::ErOutOfRange);
  TestImage noEncoding;
  noEncoding.AddRawTypeEntry(Byte(image::tcVariant) + U32(1) + U32(1) + "N" + U32(1) + U32(0));
  EXPECT_EQ(Verdict(noEncoding.Build()), image::erInvalidType);
  TestImage shortValue;
  shortValue.AddRawTypeEntry(Byte(image::tcS32) + U32(1) + U32(1) + "N" + U32(1) + U32(0) + "ab");
  EXPECT_EQ(Verdict(shortValue.Build()), image::ErOutOfRange);
  TestImage before21;  // no attribute block is read
  before21.build = 20;
  before21.AddRawTypeEntry(Byte(image::tcS32));
  EXPECT_EQ(Verdict(before21.Build()), image::ErNoError);

  // A procedure entry with flag 4: an attribute "P" without values.
  TestImage proc;
  proc.AddType(Byte(image::tcS32));
  proc.AddRawRoutineEntry(Byte(image::kProcExternal | image::kProcHasAttributes) + Byte(4) + "HOST" + U32(1) + U32(1) +
                          "P" + U32(0));
  TPSExec withProc;
  withProc.RegisterHostFunction(
      [](TPSExec&, std::span<const ScriptValueRef>, const ScriptValueRef*) { return true; }, "host",
      kRegisterConvention);
  ASSERT_TRUE(withProc.Load(proc.Build()));
  ASSERT_EQ(withProc.Procs()[0]->attributes.size(), 1u);
  EXPECT_EQ(withProc.Procs()[0]->attributes[0].name, "P");
  TestImage procCut;
  procCut.AddRawRoutineEntry(Byte(image::kProcHasAttributes) + U32(28) + U32(1));
  EXPECT_EQ(Verdict(procCut.Build()), image::ErOutOfRange);
}

TEST(Loader, ScriptRoutineCodeMustLieInsideTheImage) {
  EXPECT_EQ(Verdict(RoutineAt(1, 1)), image::ErNoError) << "offset + length equal to the image length";
  EXPECT_EQ(Verdict(RoutineAt(1, 2)), image::erUnexpectedEof) << "one past the end";
  EXPECT_EQ(Verdict(RoutineAt(1, 0)), image::erUnexpectedEof) << "no code";
  EXPECT_EQ(Verdict(RoutineAt(0, 1)), image::erUnexpectedEof) << "offset at the end";
  TestImage wrap;
  wrap.AddRawRoutineEntry(Byte(0) + U32(10) + U32(0xFFFFFFFF));
  EXPECT_EQ(Verdict(wrap.Build()), image::erUnexpectedEof);
  std::string noFlags = TestImage().Build();
  noFlags[image::kHeaderProcCountOffset] = 1;
  EXPECT_EQ(Verdict(noFlags), image::erUnexpectedEof);
  TestImage longDeclaration;
  longDeclaration.AddRawRoutineEntry(Byte(image::kProcExternal | image::kProcExported) + Byte(1) + "X" + U32(5) + "ab");
  EXPECT_EQ(Verdict(longDeclaration.Build()), image::erUnexpectedEof);
}

TEST(Loader, ExternalNamesNobodyRegistered) {
  TestImage image;
  image.AddExternalRoutine("NOBODY", std::string(1, '\0'));
  std::string parameter;
  EXPECT_EQ(Verdict(image.Build(), &parameter), image::erCannotImport);
  EXPECT_EQ(parameter, "NOBODY");
  EXPECT_EQ(image::ErrorToText(image::erCannotImport, parameter), "Cannot Import NOBODY");

  TestImage control;
  control.AddExternalRoutine(std::string("AB\x01"
                                         "CD",
                                         5),
                             std::string(1, '\0'));
  EXPECT_EQ(Verdict(control.Build(), &parameter), image::erCannotImport);
  EXPECT_EQ(parameter, std::string("AB\x01"
                                   "CD",
                                   5));
  EXPECT_EQ(image::ErrorToText(image::erCannotImport, parameter), "Cannot Import AB");

  // An empty name is found by its declaration; with no importer the declaration is reported.
  TestImage unnamed;
  unnamed.AddExternalRoutine("", "dll:beep");
  EXPECT_EQ(Verdict(unnamed.Build(), &parameter), image::erCannotImport);
  EXPECT_EQ(parameter, "dll:beep");
}

TEST(Loader, VariablesAndMainProcedure) {
  TestImage badType;
  badType.AddType(Byte(image::tcU8));
  badType.AddVariable(1);
  EXPECT_EQ(Verdict(badType.Build()), image::erInvalidType);
  std::string missing = WithTypes({Byte(image::tcU8)});
  missing[image::kHeaderVarCountOffset] = 1;
  EXPECT_EQ(Verdict(missing + U32(0)), image::erUnexpectedEof) << "type number without its flags byte";

  TestImage main;
  main.AddScriptRoutine("!MAIN", "-1", Byte(image::OpReturn));
  main.mainProc = 1;
  EXPECT_EQ(Verdict(main.Build()), image::erNoMainProc) << "equal to the procedure count";
  main.mainProc = 0;
  EXPECT_EQ(Verdict(main.Build()), image::ErNoError);

  TestImage none;
  none.AddType(Byte(image::tcString));
  none.AddVariable(0);
  none.AddVariable(0);
  TPSExec exec;
  ASSERT_TRUE(exec.Load(none.Build()));
  EXPECT_EQ(exec.MainProcNo(), -1);
  EXPECT_EQ(exec.Globals().Count(), 2u);
  EXPECT_FALSE(exec.Run()) << "nothing to run";
  EXPECT_EQ(exec.LastError(), image::ErNoError);
  EXPECT_EQ(exec.Status(), ExecStatus::kLoaded);
}

TEST(Loader, ALoadReplacesWhatWasLoaded) {
  TPSExec exec;
  std::vector<image::TQXException> seen;
  exec.OnException = [&](TPSExec&, image::TQXException code, std::string_view, std::uint32_t, std::int32_t,
                         const std::exception_ptr&) { seen.push_back(code); };
  TestImage first;
  first.AddType(Byte(image::tcS32));
  first.AddType(Byte(image::tcString));
  first.AddVariable(1);
  first.AddScriptRoutine("!MAIN", "-1", Byte(image::OpReturn));
  first.mainProc = 0;
  ASSERT_TRUE(exec.Load(first.Build()));
  ASSERT_TRUE(exec.Run());

  TestImage second;
  second.AddType(Byte(image::tcU8));
  ASSERT_TRUE(exec.Load(second.Build()));
  EXPECT_EQ(exec.Types().size(), 1u);
  EXPECT_TRUE(exec.Procs().empty());
  EXPECT_EQ(exec.Globals().Count(), 0u);
  EXPECT_EQ(exec.MainProcNo(), -1);

  EXPECT_FALSE(exec.Load("QXRB"));
  EXPECT_EQ(exec.Status(), ExecStatus::kNotLoaded);
  EXPECT_TRUE(exec.Types().empty());
  EXPECT_EQ(seen, std::vector<image::TQXException>{image::erInvalidHeader});
  EXPECT_FALSE(exec.Run());

  ASSERT_TRUE(exec.Load(first.Build())) << "the executor is reusable after a failed load";
  EXPECT_TRUE(exec.Run());
  EXPECT_EQ(exec.LastError(), image::ErNoError);
}

TEST(Loader, UnloadReleasesHostResources) {
  std::vector<int> released;
  auto release = [](TPSExec&, void* pointer) { static_cast<std::vector<int>*>(pointer)->push_back(1); };
  {
    TPSExec exec;
    ASSERT_TRUE(exec.Load(TestImage().Build()));
    exec.AddResource(nullptr, &released, release);
    exec.Unload();
    EXPECT_EQ(released.size(), 1u);
    EXPECT_EQ(exec.Status(), ExecStatus::kNotLoaded);
    exec.AddResource(nullptr, &released, release);
    EXPECT_TRUE(exec.Load(TestImage().Build()));
    EXPECT_EQ(released.size(), 2u) << "a load first unloads";
    exec.AddResource(nullptr, &released, release);
  }
  EXPECT_EQ(released.size(), 3u) << "and so does destruction";
}

// --- Binding ---------------------------------------------------------------------------------

// An image whose main procedure calls the external procedure MOUNTFILE once.
std::string CallsMountFile() {
  TestImage image;
  image.AddExternalRoutine("MOUNTFILE", std::string(1, '\0'));
  image.AddScriptRoutine("!MAIN", "-1", Byte(image::OpCall) + U32(0) + Byte(image::OpReturn));
  image.mainProc = 1;
  return image.Build();
}

HostFunction Recording(std::string& log, std::string tag) {
  return [&log, tag](TPSExec&, std::span<const ScriptValueRef> params, const ScriptValueRef* result) {
    log += tag;
    return params.empty() && result == nullptr;
  };
}

TEST(Binding, NamesAreUpperCasedAndTheLaterRegistrationWins) {
  std::string log;
  TPSExec exec;
  exec.RegisterHostFunction(Recording(log, "first "), "mountfile", kRegisterConvention);
  ASSERT_TRUE(exec.Load(CallsMountFile()));
  ASSERT_TRUE(exec.Run());
  exec.RegisterHostFunction(Recording(log, "second "), "MountFile", kCdecl);
  EXPECT_EQ(log, "first ");
  ASSERT_TRUE(exec.Load(CallsMountFile())) << "binding happens while loading";
  ASSERT_TRUE(exec.Run());
  EXPECT_EQ(log, "first second ");
}

TEST(Binding, RegisteredNamesAreCutTo255Characters) {
  TestImage image;
  image.AddExternalRoutine(std::string(255, 'N'), std::string(1, '\0'));
  std::string log;
  TPSExec exec;
  exec.RegisterHostFunction(Recording(log, "x"), std::string(300, 'n'), kRegisterConvention);
  EXPECT_TRUE(exec.Load(image.Build()));
}

TEST(Binding, AnUnknownConventionRegistersNothing) {
  std::string log;
  TPSExec exec;
  exec.RegisterHostFunction(Recording(log, "x"), "MOUNTFILE", 4);
  EXPECT_FALSE(exec.Load(CallsMountFile()));
  EXPECT_EQ(exec.LastError(), image::erCannotImport);
  EXPECT_EQ(exec.LastErrorParameter(), "MOUNTFILE");
  for (std::uint8_t convention : {kRegisterConvention, kPascal, kCdecl, kStdcall}) {
    TPSExec each;
    each.RegisterHostFunction(Recording(log, "x"), "MOUNTFILE", convention);
    EXPECT_TRUE(each.Load(CallsMountFile())) << int{convention};
  }
}

TEST(Binding, ImportersBindUnnamedProceduresByDeclarationPrefix) {
  TestImage image;
  image.AddExternalRoutine("", "dll:beep");
  TPSExec exec;
  static std::vector<std::uintptr_t> asked;
  asked.clear();
  exec.RegisterImporter(
      "dll",
      [](TPSExec&, TPSExternalProcRec& proc, std::uintptr_t tag) {
        asked.push_back(tag);
        proc.extra1 = tag;
        return true;
      },
      1);
  exec.RegisterImporter(
      "other",
      [](TPSExec&, TPSExternalProcRec&, std::uintptr_t tag) {
        asked.push_back(tag);
        return true;
      },
      2);
  exec.RegisterImporter(
      "",
      [](TPSExec&, TPSExternalProcRec&, std::uintptr_t tag) {
        asked.push_back(tag);
        return false;
      },
      3);
  ASSERT_TRUE(exec.Load(image.Build()));
  EXPECT_EQ(asked, (std::vector<std::uintptr_t>{3, 1})) << "newest first; a refusing importer passes on";
  EXPECT_EQ(static_cast<const TPSExternalProcRec&>(*exec.Procs()[0]).extra1, 1u);
}

}  // namespace
}  // namespace dravik::engine::exec

// LoadImage: what each refused image reports and the state a load leaves behind, and the
// binding of the image's external procedures to the host's registrations.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "../image/test_image.h"
#include "engine/exec/exec.h"

namespace dravik::engine {
namespace {

using test::Byte;
using test::TestImage;
using test::U32;

struct Reported {
  TQXException code;
  std::string parameter;
  std::int32_t procNo;
};

// Loads the image into a fresh executor. A failed load must leave it empty and not loaded, with
// the one error reported through OnException and readable as the last error.
TQXException Verdict(const std::string& image, std::string* parameter = nullptr) {
  TPSExec exec;
  std::vector<Reported> reported;
  exec.OnException = [&](TPSExec&, TQXException code, std::string_view text, std::uint32_t,
                         std::int32_t procNo, const std::exception_ptr&) {
    reported.push_back({code, std::string(text), procNo});
  };
  if (exec.LoadImage(image)) {
    EXPECT_EQ(exec.Status(), ExecStatus::kLoaded);
    EXPECT_TRUE(reported.empty());
    return ErNoError;
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

std::string WithTypes(std::initializer_list<std::string> entries, std::uint32_t build = kImageBuildNumber) {
  TestImage image;
  image.build = build;
  for (const std::string& entry : entries) image.AddType(entry);
  return image.Build();
}

// An image that ends inside its only type entry (a tcU8 before it).
std::string Truncated(const std::string& entry) {
  TestImage image;
  image.AddType(Byte(tcU8));
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
  EXPECT_EQ(Verdict(empty), ErNoError);
  EXPECT_EQ(Verdict(empty.substr(0, 27)), erInvalidHeader);
  EXPECT_EQ(Verdict(""), erInvalidHeader);
  std::string magic = empty;
  magic[3] = 'X';
  EXPECT_EQ(Verdict(magic), erInvalidHeader);
  for (std::uint32_t build : {11u, 23u}) EXPECT_EQ(Verdict(WithTypes({}, build)), erInvalidHeader) << build;
  for (std::uint32_t build : {12u, 20u, 21u, 22u})
    EXPECT_EQ(Verdict(WithTypes({Byte(tcS32)}, build)), ErNoError) << build;
}

TEST(Loader, TypeCodesAndBodies) {
  for (std::uint8_t code : {0, 15, 27, 127, 0x80 | 15})
    EXPECT_EQ(Verdict(WithTypes({Byte(code)})), erInvalidType) << int{code};
  std::string noTypeByte = TestImage().Build();
  noTypeByte[kHeaderTypeCountOffset] = 1;
  EXPECT_EQ(Verdict(noTypeByte), erUnexpectedEof);

  const std::string u8 = Byte(tcU8);
  EXPECT_EQ(Verdict(WithTypes({u8, Byte(tcRecord) + U32(0)})), erUnexpectedEof) << "a record with no field";
  EXPECT_EQ(Verdict(Truncated(Byte(tcRecord) + U32(2) + U32(0))), erUnexpectedEof);
  EXPECT_EQ(Verdict(WithTypes({u8, Byte(tcRecord) + U32(1) + U32(1)})), ErOutOfRange) << "itself";
  EXPECT_EQ(Verdict(WithTypes({u8, Byte(tcRecord) + U32(1) + U32(2), u8})), ErOutOfRange) << "a later type";
  EXPECT_EQ(Verdict(WithTypes({u8, Byte(tcArray) + U32(1)})), ErTypeMismatch);
  EXPECT_EQ(Verdict(WithTypes({u8, Byte(tcArray) + U32(2), u8})), ErTypeMismatch);
  EXPECT_EQ(Verdict(WithTypes({u8, Byte(tcStaticArray) + U32(1) + U32(3)})), ErTypeMismatch);
  EXPECT_EQ(Verdict(WithTypes({u8, Byte(tcStaticArray) + U32(0) + U32(0x20000000)})), erUnexpectedEof);
  EXPECT_EQ(Verdict(Truncated(Byte(tcStaticArray) + U32(0))), erUnexpectedEof);
  EXPECT_EQ(Verdict(WithTypes({u8, Byte(tcSet) + U32(257)})), ErTypeMismatch);
  EXPECT_EQ(Verdict(WithTypes({Byte(tcProcPtr) + U32(255) + std::string(255, '\0')})), ErNoError);
  EXPECT_EQ(Verdict(WithTypes({Byte(tcProcPtr) + U32(256) + std::string(256, '\0')})), erUnexpectedEof);
  EXPECT_EQ(Verdict(Truncated(Byte(tcProcPtr) + U32(4) + "ab")), erUnexpectedEof);
  EXPECT_EQ(Verdict(Truncated(Byte(tcClass) + U32(4) + "ab")), erUnexpectedEof);
  EXPECT_EQ(Verdict(Truncated(Byte(tcSet))), erUnexpectedEof);
  EXPECT_EQ(Verdict(Truncated(Byte(tcArray))), erUnexpectedEof);
  EXPECT_EQ(Verdict(WithTypes({Byte(tcClass) + U32(255) + std::string(255, 'C')})), ErNoError);
  EXPECT_EQ(Verdict(WithTypes({Byte(tcClass) + U32(256) + std::string(256, 'C')})), erUnexpectedEof);
  EXPECT_EQ(Verdict(WithTypes({Byte(tcInterface) + std::string(16, 'g')})), ErNoError);
  EXPECT_EQ(Verdict(Truncated(Byte(tcInterface) + std::string(15, 'g'))), erUnexpectedEof);
}

TEST(Loader, TypeSizesAndNames) {
  TPSExec exec;
  TestImage image;
  image.AddType(Byte(tcSet) + U32(256));
  image.AddType(Byte(tcSet) + U32(9));
  image.AddType(Byte(tcS32));
  image.AddType(Byte(tcString));
  image.AddType(Byte(tcRecord) + U32(3) + U32(2) + U32(3) + U32(1));
  image.AddType(Byte(tcStaticArray) + U32(4) + U32(1000));
  image.AddType(Byte(0x80 | tcU8) + U32(7) + "BOOLEAN");
  ASSERT_TRUE(exec.LoadImage(image.Build()));
  const auto& types = exec.Types();
  ASSERT_EQ(types.size(), 7u);
  EXPECT_EQ(types[0]->size, 32u);
  EXPECT_EQ(types[1]->size, 2u);
  EXPECT_EQ(types[4]->size, 4u + 4u + 2u);
  EXPECT_EQ(static_cast<const TPSTypeRec_Record&>(*types[4]).fieldOffsets,
            (std::vector<std::uint32_t>{0, 4, 8}));
  EXPECT_EQ(types[5]->size, 10000u);
  EXPECT_EQ(types[6]->exportName, "BOOLEAN");
  EXPECT_NE(types[6]->exportNameHash, 0u);

  TestImage hugeName;
  hugeName.AddRawTypeEntry(Byte(0x80 | tcU8) + U32(kMaxNameLength + 1));
  EXPECT_EQ(Verdict(hugeName.Build()), erInvalidType);
  TestImage cutName;
  cutName.AddRawTypeEntry(Byte(0x80 | tcU8) + U32(10) + "BOOL");
  EXPECT_EQ(Verdict(cutName.Build()), erUnexpectedEof);
  // A type whose values could not be held in memory is refused at load time.
  EXPECT_EQ(Verdict(WithTypes({Byte(tcExtended), Byte(tcStaticArray) + U32(0) + U32(0x1FFFFFFF)})),
            erOutOfMemory);
}

TEST(Loader, AttributeBlocks) {
  // Type attributes from build 21: one attribute "N" with a tcS32 value 7.
  TestImage typed;
  typed.AddRawTypeEntry(Byte(tcS32) + U32(1) + U32(1) + "N" + U32(1) + U32(0) + U32(7));
  TPSExec exec;
  ASSERT_TRUE(exec.LoadImage(typed.Build()));
  ASSERT_EQ(exec.Types()[0]->attributes.size(), 1u);
  EXPECT_EQ(exec.Types()[0]->attributes[0].name, "N");
  ASSERT_EQ(exec.Types()[0]->attributes[0].values.size(), 1u);
  EXPECT_EQ(exec.Types()[0]->attributes[0].values[0].bytes, U32(7));

  TestImage missingCount;
  missingCount.build = 21;
  missingCount.AddRawTypeEntry(Byte(tcS32));
  EXPECT_EQ(Verdict(missingCount.Build()), ErOutOfRange);
  TestImage longName;
  longName.AddRawTypeEntry(Byte(tcS32) + U32(1) + U32(100) + "N");
  EXPECT_EQ(Verdict(longName.Build()), ErOutOfRange);
  TestImage laterType;
  laterType.AddRawTypeEntry(Byte(tcS32) + U32(1) + U32(1) + "N" + U32(1) + U32(1) + U32(7));
  EXPECT_EQ(Verdict(laterType.Build()), ErOutOfRange);
  TestImage noEncoding;
  noEncoding.AddRawTypeEntry(Byte(tcVariant) + U32(1) + U32(1) + "N" + U32(1) + U32(0));
  EXPECT_EQ(Verdict(noEncoding.Build()), erInvalidType);
  TestImage shortValue;
  shortValue.AddRawTypeEntry(Byte(tcS32) + U32(1) + U32(1) + "N" + U32(1) + U32(0) + "ab");
  EXPECT_EQ(Verdict(shortValue.Build()), ErOutOfRange);
  TestImage before21;  // no attribute block is read
  before21.build = 20;
  before21.AddRawTypeEntry(Byte(tcS32));
  EXPECT_EQ(Verdict(before21.Build()), ErNoError);

  // A procedure entry with flag 4: an attribute "P" without values.
  TestImage proc;
  proc.AddType(Byte(tcS32));
  proc.AddRawRoutineEntry(Byte(kProcExternal | kProcHasAttributes) + Byte(4) + "HOST" + U32(1) + U32(1) +
                          "P" + U32(0));
  TPSExec withProc;
  withProc.RegisterHostFunction(
      [](TPSExec&, std::span<const ScriptValueRef>, const ScriptValueRef*) { return true; }, "host",
      kRegisterConvention);
  ASSERT_TRUE(withProc.LoadImage(proc.Build()));
  ASSERT_EQ(withProc.Procs()[0]->attributes.size(), 1u);
  EXPECT_EQ(withProc.Procs()[0]->attributes[0].name, "P");
  TestImage procCut;
  procCut.AddRawRoutineEntry(Byte(kProcHasAttributes) + U32(28) + U32(1));
  EXPECT_EQ(Verdict(procCut.Build()), ErOutOfRange);
}

TEST(Loader, ScriptRoutineCodeMustLieInsideTheImage) {
  EXPECT_EQ(Verdict(RoutineAt(1, 1)), ErNoError) << "offset + length equal to the image length";
  EXPECT_EQ(Verdict(RoutineAt(1, 2)), erUnexpectedEof) << "one past the end";
  EXPECT_EQ(Verdict(RoutineAt(1, 0)), erUnexpectedEof) << "no code";
  EXPECT_EQ(Verdict(RoutineAt(0, 1)), erUnexpectedEof) << "offset at the end";
  TestImage wrap;
  wrap.AddRawRoutineEntry(Byte(0) + U32(10) + U32(0xFFFFFFFF));
  EXPECT_EQ(Verdict(wrap.Build()), erUnexpectedEof);
  std::string noFlags = TestImage().Build();
  noFlags[kHeaderProcCountOffset] = 1;
  EXPECT_EQ(Verdict(noFlags), erUnexpectedEof);
  TestImage longDeclaration;
  longDeclaration.AddRawRoutineEntry(Byte(kProcExternal | kProcExported) + Byte(1) + "X" + U32(5) + "ab");
  EXPECT_EQ(Verdict(longDeclaration.Build()), erUnexpectedEof);
}

TEST(Loader, ExternalNamesNobodyRegistered) {
  TestImage image;
  image.AddExternalRoutine("NOBODY", std::string(1, '\0'));
  std::string parameter;
  EXPECT_EQ(Verdict(image.Build(), &parameter), erCannotImport);
  EXPECT_EQ(parameter, "NOBODY");
  EXPECT_EQ(ErrorToText(erCannotImport, parameter), "Cannot Import NOBODY");

  TestImage control;
  control.AddExternalRoutine(std::string("AB\x01"
                                         "CD",
                                         5),
                             std::string(1, '\0'));
  EXPECT_EQ(Verdict(control.Build(), &parameter), erCannotImport);
  EXPECT_EQ(parameter, std::string("AB\x01"
                                   "CD",
                                   5));
  EXPECT_EQ(ErrorToText(erCannotImport, parameter), "Cannot Import AB");

  // An empty name is found by its declaration; with no importer the declaration is reported.
  TestImage unnamed;
  unnamed.AddExternalRoutine("", "dll:beep");
  EXPECT_EQ(Verdict(unnamed.Build(), &parameter), erCannotImport);
  EXPECT_EQ(parameter, "dll:beep");
}

TEST(Loader, VariablesAndMainProcedure) {
  TestImage badType;
  badType.AddType(Byte(tcU8));
  badType.AddVariable(1);
  EXPECT_EQ(Verdict(badType.Build()), erInvalidType);
  std::string missing = WithTypes({Byte(tcU8)});
  missing[kHeaderVarCountOffset] = 1;
  EXPECT_EQ(Verdict(missing + U32(0)), erUnexpectedEof) << "type number without its flags byte";

  TestImage main;
  main.AddScriptRoutine("!MAIN", "-1", Byte(OpReturn));
  main.mainProc = 1;
  EXPECT_EQ(Verdict(main.Build()), erNoMainProc) << "equal to the procedure count";
  main.mainProc = 0;
  EXPECT_EQ(Verdict(main.Build()), ErNoError);

  TestImage none;
  none.AddType(Byte(tcString));
  none.AddVariable(0);
  none.AddVariable(0);
  TPSExec exec;
  ASSERT_TRUE(exec.LoadImage(none.Build()));
  EXPECT_EQ(exec.MainProcNo(), -1);
  EXPECT_EQ(exec.Globals().Count(), 2u);
  EXPECT_FALSE(exec.Run()) << "nothing to run";
  EXPECT_EQ(exec.LastError(), ErNoError);
  EXPECT_EQ(exec.Status(), ExecStatus::kLoaded);
}

TEST(Loader, ALoadReplacesWhatWasLoaded) {
  TPSExec exec;
  std::vector<TQXException> seen;
  exec.OnException = [&](TPSExec&, TQXException code, std::string_view, std::uint32_t, std::int32_t,
                         const std::exception_ptr&) { seen.push_back(code); };
  TestImage first;
  first.AddType(Byte(tcS32));
  first.AddType(Byte(tcString));
  first.AddVariable(1);
  first.AddScriptRoutine("!MAIN", "-1", Byte(OpReturn));
  first.mainProc = 0;
  ASSERT_TRUE(exec.LoadImage(first.Build()));
  ASSERT_TRUE(exec.Run());

  TestImage second;
  second.AddType(Byte(tcU8));
  ASSERT_TRUE(exec.LoadImage(second.Build()));
  EXPECT_EQ(exec.Types().size(), 1u);
  EXPECT_TRUE(exec.Procs().empty());
  EXPECT_EQ(exec.Globals().Count(), 0u);
  EXPECT_EQ(exec.MainProcNo(), -1);

  EXPECT_FALSE(exec.LoadImage("QXRB"));
  EXPECT_EQ(exec.Status(), ExecStatus::kNotLoaded);
  EXPECT_TRUE(exec.Types().empty());
  EXPECT_EQ(seen, std::vector<TQXException>{erInvalidHeader});
  EXPECT_FALSE(exec.Run());

  ASSERT_TRUE(exec.LoadImage(first.Build())) << "the executor is reusable after a failed load";
  EXPECT_TRUE(exec.Run());
  EXPECT_EQ(exec.LastError(), ErNoError);
}

TEST(Loader, UnloadReleasesHostResources) {
  std::vector<int> released;
  auto release = [](TPSExec&, void* pointer) { static_cast<std::vector<int>*>(pointer)->push_back(1); };
  {
    TPSExec exec;
    ASSERT_TRUE(exec.LoadImage(TestImage().Build()));
    exec.AddResource(nullptr, &released, release);
    exec.Unload();
    EXPECT_EQ(released.size(), 1u);
    EXPECT_EQ(exec.Status(), ExecStatus::kNotLoaded);
    exec.AddResource(nullptr, &released, release);
    EXPECT_TRUE(exec.LoadImage(TestImage().Build()));
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
  image.AddScriptRoutine("!MAIN", "-1", Byte(OpCall) + U32(0) + Byte(OpReturn));
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
  ASSERT_TRUE(exec.LoadImage(CallsMountFile()));
  ASSERT_TRUE(exec.Run());
  exec.RegisterHostFunction(Recording(log, "second "), "MountFile", kCdecl);
  EXPECT_EQ(log, "first ");
  ASSERT_TRUE(exec.LoadImage(CallsMountFile())) << "binding happens while loading";
  ASSERT_TRUE(exec.Run());
  EXPECT_EQ(log, "first second ");
}

TEST(Binding, RegisteredNamesAreCutTo255Characters) {
  TestImage image;
  image.AddExternalRoutine(std::string(255, 'N'), std::string(1, '\0'));
  std::string log;
  TPSExec exec;
  exec.RegisterHostFunction(Recording(log, "x"), std::string(300, 'n'), kRegisterConvention);
  EXPECT_TRUE(exec.LoadImage(image.Build()));
}

TEST(Binding, AnUnknownConventionRegistersNothing) {
  std::string log;
  TPSExec exec;
  exec.RegisterHostFunction(Recording(log, "x"), "MOUNTFILE", 4);
  EXPECT_FALSE(exec.LoadImage(CallsMountFile()));
  EXPECT_EQ(exec.LastError(), erCannotImport);
  EXPECT_EQ(exec.LastErrorParameter(), "MOUNTFILE");
  for (std::uint8_t convention : {kRegisterConvention, kPascal, kCdecl, kStdcall}) {
    TPSExec each;
    each.RegisterHostFunction(Recording(log, "x"), "MOUNTFILE", convention);
    EXPECT_TRUE(each.LoadImage(CallsMountFile())) << int{convention};
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
  ASSERT_TRUE(exec.LoadImage(image.Build()));
  EXPECT_EQ(asked, (std::vector<std::uintptr_t>{3, 1})) << "newest first; a refusing importer passes on";
  EXPECT_EQ(static_cast<const TPSExternalProcRec&>(*exec.Procs()[0]).extra1, 1u);
}

}  // namespace
}  // namespace dravik::engine

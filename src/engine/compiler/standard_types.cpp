#include <array>
#include <string_view>

#include "engine/library/builtin_routines.h"
#include "engine/compiler/compilation.h"
#include "engine/image/var_types.h"

namespace dravik::engine::compiler {

namespace {

// How a standard type is made.
enum class Make : std::uint8_t { Code, Enum, LongBool, Alias, UsedAtOnce };

struct StandardType {
  std::string_view name;
  Make make;
  image::TPSTypeCode code = image::tcU8;
  std::string_view text = {};  // enumeration text, or the alias target
};

// In registration order: later rows may refer to earlier ones, and the order fixes the type
// numbers every image starts with.
constexpr std::array kStandardTypes = {
    StandardType{"Byte", Make::Code, image::tcU8},
    StandardType{"Boolean", Make::Enum, image::tcEnum, "(False, True)"},
    StandardType{"LongBool", Make::LongBool, image::tcEnum},
    StandardType{"Char", Make::Code, image::tcChar},
    StandardType{"WideChar", Make::Code, image::tcWideChar},
    StandardType{"WideString", Make::Code, image::tcWideString},
    StandardType{"ShortInt", Make::Code, image::tcS8},
    StandardType{"Word", Make::Code, image::tcU16},
    StandardType{"SmallInt", Make::Code, image::tcS16},
    StandardType{"LongInt", Make::Code, image::tcS32},
    StandardType{"Pointer", Make::UsedAtOnce, image::tcPointer},
    StandardType{"LongWord", Make::Code, image::tcU32},
    StandardType{"Integer", Make::Alias, image::tcTypeLink, "LONGINT"},
    StandardType{"Cardinal", Make::Alias, image::tcTypeLink, "LONGWORD"},
    StandardType{"string", Make::Code, image::tcString},
    StandardType{"Int64", Make::Code, image::tcS64},
    StandardType{"Single", Make::Code, image::tcSingle},
    StandardType{"Double", Make::Code, image::tcDouble},
    StandardType{"Extended", Make::Code, image::tcExtended},
    StandardType{"Currency", Make::Code, image::tcCurrency},
    StandardType{"PChar", Make::Code, image::tcPChar},
    StandardType{"Variant", Make::Code, image::tcVariant},
    StandardType{"!NotificationVariant", Make::Code, image::tcNotificationVariant},
};

constexpr std::uint32_t kLongBoolHighest = 2147483647;

// The runtime error codes as scripts see them, ordinals 0 to 24.
constexpr std::string_view kExceptionEnumText =
    "(ErNoError, erCannotImport, erInvalidType, ErInternalError, erInvalidHeader, "
    "erInvalidOpcode, erInvalidOpcodeParameter, erNoMainProc, erOutOfGlobalVarsRange, "
    "erOutOfProcRange, ErOutOfRange, erOutOfStackRange, ErTypeMismatch, erUnexpectedEof, "
    "erVersionError, ErDivideByZero, ErMathError, erCouldNotCallProc, erOutofRecordRange, "
    "erOutOfMemory, erException, erNullPointerException, erNullVariantError, "
    "erInterfaceNotSupported, erCustomError)";

// GUIDs in their binary layout: the first three groups little-endian, the last eight bytes as is.
constexpr std::string_view kIUnknownGuid{"\x00\x00\x00\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46", 16};
constexpr std::string_view kIDispatchGuid{"\x00\x04\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46", 16};
constexpr std::uint32_t kIUnknownMethods = 3;
constexpr std::uint32_t kIDispatchOwnMethods = 4;

}  // namespace

void Compilation::RegisterStandardTypes() {
  for (const StandardType& row : kStandardTypes) {
    switch (row.make) {
      case Make::Code: AddType(row.name, row.code); break;
      case Make::UsedAtOnce: UseType(AddType(row.name, row.code)); break;
      case Make::Enum:
        boolean_ = TypeFromDeclaration(row.name, row.text);
        boolean_->exportName = true;
        break;
      case Make::LongBool:
        static_cast<TPSEnumType*>(AddType(row.name, image::tcEnum))->highest = kLongBoolHighest;
        break;
      case Make::Alias: AddTypeAlias(row.name, FindType(names::NameKey(row.text))); break;
    }
  }
  for (auto type = types_.rbegin(); type != types_.rend(); ++type) UseType(type->get());
  auto* variantArray = static_cast<TPSArrayType*>(AddType("TVariantArray", image::tcArray));
  variantArray->elementType = FindType(names::NameKey("VARIANT"));
}

void Compilation::DeclareBuiltinRoutines() {
  TPSType* varType = AddTypeAlias("TVarType", FindType(names::NameKey("WORD")));
  for (const image::VarTypeConstant& constant : image::kVarTypeCodes)
    AddConstant(constant.name, varType)->value.ordinal = constant.code;
  TypeFromDeclaration("TQXException", kExceptionEnumText);

  TPSInterfaceType* unknown = AddInterfaceType(nullptr, kIUnknownGuid, "IUnknown");
  unknown->intf.methodCount = kIUnknownMethods;
  TPSInterfaceType* dispatch = AddInterfaceType(unknown, kIDispatchGuid, "IDispatch");
  dispatch->intf.methodCount = kIUnknownMethods + kIDispatchOwnMethods;
  dispatch->exportName = true;

  for (const library::BuiltinRoutine& routine : library::kBuiltinRoutines) {
    if (routine.declaration.empty()) continue;  // called by name only, declared below
    TPSRegProc* proc = AddBuiltinRoutine(routine.declaration);
    for (std::size_t i = 0; i < routine.extraCount; ++i) {
      const library::BuiltinExtraParam& extra = routine.extra[i];
      TPSParameterDecl param;
      param.name = TPSName(extra.name);
      param.mode = static_cast<TPSParameterMode>(extra.mode);
      param.type = extra.typedS32 ? FindType(names::NameKey("LONGINT")) : nullptr;
      proc->decl.params.push_back(std::move(param));
    }
    proc->callDeclaration = CallDeclaration(proc->decl);
  }

  auto assigned = std::make_unique<TPSRegProc>();
  assigned->name = TPSName(library::kAssignedRoutineName);
  assigned->decl.params.push_back(TPSParameterDecl{TPSName("Value"), pmIn, nullptr});
  assigned->decl.result = boolean_;
  assigned->callDeclaration = CallDeclaration(assigned->decl);
  AppendRegProc(std::move(assigned));
}

}  // namespace dravik::engine::compiler

// Routine declarations given as text by the host (AddHostRoutine) and by the compiler itself
// for its built-ins (AddBuiltinRoutine). Both are read with a private tokenizer, which reports
// nothing: a text that does not fit only fails.

#include <array>

#include "engine/compiler/compilation.h"

namespace dravik::engine::compiler {

namespace {

struct OpenArrayRow {
  image::TPSTypeCode element;
  std::string_view name;
  std::string_view definition;
};

constexpr std::array kOpenArrayTypes = {
    OpenArrayRow{image::tcU8, "!OPENARRAYOFU8", "array of byte"},
    OpenArrayRow{image::tcS8, "!OPENARRAYOFS8", "array of ShortInt"},
    OpenArrayRow{image::tcU16, "!OPENARRAYOFU16", "array of Word"},
    OpenArrayRow{image::tcS16, "!OPENARRAYOFS16", "array of SmallInt"},
    OpenArrayRow{image::tcU32, "!OPENARRAYOFU32", "array of Cardinal"},
    OpenArrayRow{image::tcS32, "!OPENARRAYOFS32", "array of Longint"},
    OpenArrayRow{image::tcSingle, "!OPENARRAYOFSINGLE", "array of Single"},
    OpenArrayRow{image::tcDouble, "!OPENARRAYOFDOUBLE", "array of Double"},
    OpenArrayRow{image::tcExtended, "!OPENARRAYOFEXTENDED", "array of Extended"},
    OpenArrayRow{image::tcString, "!OPENARRAYOFSTRING", "array of String"},
    OpenArrayRow{image::tcPChar, "!OPENARRAYOFPCHAR", "array of PChar"},
    OpenArrayRow{image::tcVariant, "!OPENARRAYOFVARIANT", "array of variant"},
    OpenArrayRow{image::tcNotificationVariant, "!OPENARRAYOFVARIANT", "array of variant"},
    OpenArrayRow{image::tcS64, "!OPENARRAYOFS64", "array of Int64"},
    OpenArrayRow{image::tcChar, "!OPENARRAYOFCHAR", "array of Char"},
    OpenArrayRow{image::tcWideString, "!OPENARRAYOFWIDESTRING", "array of WideString"},
    OpenArrayRow{image::tcWideChar, "!OPENARRAYOFWIDECHAR", "array of WideChar"},
    OpenArrayRow{image::tcClass, "!OPENARRAYOFTOBJECT", "array of TObject"},
};
constexpr std::string_view kOpenArrayOfConstName = "!OPENARRAYOFCONST";
constexpr std::string_view kOpenArrayOfConstDefinition = "array of Pointer";

constexpr std::string_view kUnableToRegister = "Unable to register function ";

bool Take(tokenizer::TPSPascalParser& p, tokenizer::TPSTokenKind kind) {
  if (p.TokenKind() != kind) return false;
  p.Next();
  return true;
}

}  // namespace

TPSType* Compilation::OpenArrayType(TPSType* element) {
  for (const OpenArrayRow& row : kOpenArrayTypes) {
    if (row.element != element->baseType) continue;
    if (TPSType* known = FindType(names::NameKey(row.name))) return known;
    TPSType* made = TypeFromDeclaration(row.name, row.definition);
    if (made != nullptr) made->exportName = true;
    return made;
  }
  return nullptr;
}

TPSType* Compilation::TypeFromDeclaration(std::string_view name, std::string_view declaration) {
  tokenizer::TPSPascalParser p;
  p.SetText(declaration);
  return ReadType(p, name);
}

// param-type: type-name | CONST | ARRAY OF CONST | ARRAY OF type-name
TPSType* Compilation::ReadDeclParamType(tokenizer::TPSPascalParser& p, bool& untyped) {
  untyped = false;
  if (Take(p, tokenizer::tokConst)) {
    untyped = true;
    return nullptr;
  }
  if (Take(p, tokenizer::tokArray)) {
    if (!Take(p, tokenizer::tokOf)) return nullptr;
    if (Take(p, tokenizer::tokConst)) {
      if (TPSType* known = FindType(names::NameKey(kOpenArrayOfConstName))) return known;
      TPSType* made = TypeFromDeclaration(kOpenArrayOfConstName, kOpenArrayOfConstDefinition);
      if (made != nullptr) made->exportName = true;
      return made;
    }
    if (p.TokenKind() != tokenizer::tokIdentifier) return nullptr;
    TPSType* element = FindType(p.TokenKey());
    p.Next();
    return element == nullptr ? nullptr : OpenArrayType(element);
  }
  if (p.TokenKind() != tokenizer::tokIdentifier) return nullptr;
  TPSType* type = FindType(p.TokenKey());
  p.Next();
  return type;
}

// header: (PROCEDURE | FUNCTION) name ['(' group {';' group} ')'] [':' type-name]
// group: [CONST | VAR | OUT] name {',' name} ':' param-type
bool Compilation::ReadProcDeclHeader(tokenizer::TPSPascalParser& p, TPSRegProc& into, std::string& nameRead) {
  const bool function = p.TokenKind() == tokenizer::tokFunction;
  if (!function && p.TokenKind() != tokenizer::tokProcedure) return false;
  p.Next();
  if (p.TokenKind() != tokenizer::tokIdentifier) return false;
  into.name = TPSName(p.RawToken(), p.TokenKey());
  nameRead = p.RawToken();
  p.Next();
  if (Take(p, tokenizer::tokOpenRound) && !Take(p, tokenizer::tokCloseRound)) {
    do {
      TPSParameterMode mode = pmIn;
      if (Take(p, tokenizer::tokVar)) mode = pmInOut;
      else if (Take(p, tokenizer::tokOut)) mode = pmOut;
      else Take(p, tokenizer::tokConst);
      std::size_t first = into.decl.params.size();
      do {
        if (p.TokenKind() != tokenizer::tokIdentifier) return false;
        into.decl.params.push_back(TPSParameterDecl{TPSName(p.RawToken(), p.TokenKey()), mode, nullptr});
        p.Next();
      } while (Take(p, tokenizer::tokComma));
      if (!Take(p, tokenizer::tokColon)) return false;
      bool untyped = false;
      TPSType* type = ReadDeclParamType(p, untyped);
      if (type == nullptr && !untyped) return false;
      for (std::size_t i = first; i < into.decl.params.size(); ++i) into.decl.params[i].type = type;
    } while (Take(p, tokenizer::tokSemicolon));
    if (!Take(p, tokenizer::tokCloseRound)) return false;
  }
  if (function) {
    if (!Take(p, tokenizer::tokColon) || p.TokenKind() != tokenizer::tokIdentifier) return false;
    into.decl.result = FindType(p.TokenKey());
    if (into.decl.result == nullptr) return false;
  }
  into.callDeclaration = CallDeclaration(into.decl);
  return true;
}

TPSRegProc* Compilation::AddHostRoutine(std::string_view declaration) {
  tokenizer::TPSPascalParser p;
  p.SetText(declaration);
  auto proc = std::make_unique<TPSRegProc>();
  std::string nameRead;
  if (!ReadProcDeclHeader(p, *proc, nameRead))
    throw EPSCompilerException(std::string(kUnableToRegister) + std::string(declaration));
  return AppendRegProc(std::move(proc));
}

TPSRegProc* Compilation::AddBuiltinRoutine(std::string_view declaration) {
  tokenizer::TPSPascalParser p;
  p.SetText(declaration);
  auto proc = std::make_unique<TPSRegProc>();
  std::string nameRead;
  if (!ReadProcDeclHeader(p, *proc, nameRead))
    throw EPSCompilerException(std::string(kUnableToRegister) + nameRead);
  return AppendRegProc(std::move(proc));
}

}  // namespace dravik::engine::compiler

// The top level of a script: the optional program header, uses clauses, declaration sections in
// any order, routine declarations (read in routines.cpp), and the main block; then the checks
// after the main block.

#include "engine/compiler/compilation.h"

namespace dravik::engine::compiler {

namespace {

// What the top level has read so far.
enum class TopState : std::uint8_t {
  Nothing, ProgramHeader, UnitHeader, Declarations, Interface, InterfaceUses, Implementation,
};

bool InInterfacePart(TopState state) {
  return state == TopState::Interface || state == TopState::InterfaceUses;
}

// "RESULTTYPE !PARAMTYPE @PARAMTYPE ..." for OnCheckRoutine.
std::string SignatureText(const TPSParametersDecl& decl) {
  std::string text = decl.result == nullptr ? "0" : decl.result->name;
  for (const TPSParameterDecl& param : decl.params) {
    text += param.ByReference() ? " !" : " @";
    if (param.type != nullptr) text += param.type->name;
  }
  return text;
}

}  // namespace

bool Compilation::Run() {
  auto main = std::make_unique<TPSInternalProcedure>();
  main->name = TPSName("Main Proc");
  main->name.upper = "!MAIN";
  main->name.hash = names::NameHash(main->name.upper);
  AppendProc(std::move(main));
  RegisterStandardTypes();
  DeclareBuiltinRoutines();
  if (owner_.OnUses) {
    try {
      if (!owner_.OnUses(owner_, "SYSTEM")) return false;
    } catch (const std::exception& e) {
      return Fail(ecCustomError, e.what());
    }
  }
  return ReadTopLevel() && Finish();
}

// program: [PROGRAM name ';'] {uses | const | type | var | label | routine} main-block
bool Compilation::ReadTopLevel() {
  TopState state = TopState::Nothing;
  for (;;) {
    switch (script_.TokenKind()) {
      case tokenizer::tokEOF:
        if (owner_.AllowNoEnd) return true;
        return Fail(ecUnexpectedEndOfFile);
      case tokenizer::tokProgram:
      case tokenizer::tokUnit: {
        const bool unit = script_.TokenKind() == tokenizer::tokUnit;
        if (state != TopState::Nothing || (unit && !owner_.AllowUnit)) return Fail(ecBeginExpected);
        unitFlag_ = unit;
        script_.Next();
        if (script_.TokenKind() != tokenizer::tokIdentifier) return Fail(ecIdentifierExpected);
        script_.Next();
        if (script_.TokenKind() != tokenizer::tokSemicolon) return Fail(ecSemicolonExpected);
        script_.Next();
        state = unit ? TopState::UnitHeader : TopState::ProgramHeader;
        break;
      }
      case tokenizer::tokInterface:
        if (state != TopState::UnitHeader) return Fail(ecBeginExpected);
        script_.Next();
        state = TopState::Interface;
        break;
      case tokenizer::tokImplementation:
        if (!InInterfacePart(state)) return Fail(ecBeginExpected);
        script_.Next();
        state = TopState::Implementation;
        break;
      case tokenizer::tokUses:
        if (state != TopState::Nothing && state != TopState::ProgramHeader &&
            state != TopState::UnitHeader && state != TopState::Interface)
          return Fail(ecBeginExpected);
        if (!ReadUses()) return false;
        state = state == TopState::Interface ? TopState::InterfaceUses : TopState::Declarations;
        break;
      case tokenizer::tokProcedure:
      case tokenizer::tokFunction:
      case tokenizer::tokOpenBlock: {
        TPSAttributes attributes;
        if (script_.TokenKind() == tokenizer::tokOpenBlock && !ReadAttributes(attributes)) return false;
        if (!ReadRoutineDeclaration(InInterfacePart(state), std::move(attributes))) return false;
        if (!InInterfacePart(state)) state = TopState::Declarations;
        break;
      }
      case tokenizer::tokConst:
        if (!ReadConstSection()) return false;
        state = TopState::Declarations;
        break;
      case tokenizer::tokType:
        if (!ReadTypeSection()) return false;
        state = TopState::Declarations;
        break;
      case tokenizer::tokVar:
        if (!ReadVarSection(nullptr, -1)) return false;
        state = TopState::Declarations;
        break;
      case tokenizer::tokLabel:
        if (!ReadLabelSection(static_cast<TPSInternalProcedure&>(*procs_[0]), 0)) return false;
        state = TopState::Declarations;
        break;
      case tokenizer::tokBegin: return CompileMainBody();
      case tokenizer::tokEnd:
        if (!owner_.AllowNoBegin && !unitFlag_) return Fail(ecBeginExpected);
        script_.Next();
        return TakeFinalPeriod();
      default:
        return Fail(ecBeginExpected);
    }
  }
}

// Text after the final '.' is not compiled: stepping past the '.' may meet anything there, and
// a lexical fault in it is no error of the script.
bool Compilation::TakeFinalPeriod() {
  if (script_.TokenKind() != tokenizer::tokPeriod) return Fail(ecPeriodExpected);
  lexicalErrorsIgnored_ = true;
  script_.Next();
  return true;
}

void Compilation::ReportLexicalError(tokenizer::TPSParserErrorKind kind) {
  if (!lexicalErrorsIgnored_) Fail(ParserErrorCode(kind));
}

// uses: USES name {',' name} ';'
bool Compilation::ReadUses() {
  script_.Next();
  for (;;) {
    if (script_.TokenKind() != tokenizer::tokIdentifier) return Fail(ecIdentifierExpected);
    const std::string unit(script_.Token());
    for (const std::string& used : usedUnits_)
      if (used == unit) return Fail(ecDuplicateIdentifier, unit);
    usedUnits_.push_back(unit);
    if (owner_.OnUses) {
      try {
        if (!owner_.OnUses(owner_, unit)) return false;
      } catch (const std::exception& e) {
        return Fail(ecCustomError, e.what());
      }
    }
    script_.Next();
    if (script_.TokenKind() == tokenizer::tokSemicolon) break;
    if (script_.TokenKind() != tokenizer::tokComma) return Fail(ecSemicolonExpected);
    script_.Next();
  }
  script_.Next();
  return true;
}

bool Compilation::CompileMainBody() {
  auto& main = static_cast<TPSInternalProcedure&>(*procs_[0]);
  main.declarationPosition = script_.Position();
  main.declarationRow = script_.Row();
  main.declarationColumn = script_.Column();
  TPSBlockInfo body;
  body.kind = BlockKind::MainBody;
  body.proc = &main;
  body.procNo = 0;
  return CompileBlock(body) && ResolveGotos(main);
}

// After the main block: forwards must be satisfied; then checks, hints and the image.
bool Compilation::Finish() {
  for (const std::unique_ptr<TPSProcedure>& proc : procs_) {
    if (!proc->IsInternal()) continue;
    const auto& routine = static_cast<const TPSInternalProcedure&>(*proc);
    if (routine.forward) {
      return FailAt({static_cast<std::uint32_t>(routine.declarationPosition),
                     static_cast<std::uint32_t>(routine.declarationRow),
                     static_cast<std::uint32_t>(routine.declarationColumn)},
                    ecUnsatisfiedForward, routine.name.upper);
    }
  }
  if (owner_.OnCheckRoutine) {
    for (const std::unique_ptr<TPSProcedure>& proc : procs_) {
      if (!proc->IsInternal()) continue;
      const auto& routine = static_cast<const TPSInternalProcedure&>(*proc);
      if (!owner_.OnCheckRoutine(owner_, routine, SignatureText(routine.decl))) return false;
    }
  }
  for (const TPSVar& global : globals_) {
    if (!global.used)
      HintAt(global.declarationRow, global.declarationColumn, global.declarationPosition,
             ehVariableNotUsed, global.name.upper);
  }
  return WriteImage();
}

}  // namespace dravik::engine::compiler

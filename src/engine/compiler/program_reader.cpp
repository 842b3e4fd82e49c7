// The top level of a script: the optional program header, uses clauses, declaration sections in
// any order, routine declarations, and the main block; then the checks after the main block.

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

bool SameSignature(const TPSParametersDecl& a, const TPSParametersDecl& b) {
  if (a.params.size() != b.params.size() || ResolveTypeLink(a.result) != ResolveTypeLink(b.result))
    return false;
  for (std::size_t i = 0; i < a.params.size(); ++i) {
    if (a.params[i].mode != b.params[i].mode ||
        ResolveTypeLink(a.params[i].type) != ResolveTypeLink(b.params[i].type))
      return false;
  }
  return true;
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

// params: ['(' [group {';' group}] ')']; group: [CONST | OUT | VAR] name {',' name} ':' type
bool Compilation::ReadRoutineParams(TPSParametersDecl& decl, const TPSName& routineName,
                                    const TPSInternalProcedure* forward) {
  if (script_.TokenKind() != tokenizer::tokOpenRound) return true;
  script_.Next();
  if (script_.TokenKind() == tokenizer::tokCloseRound) {
    script_.Next();
    return true;
  }
  for (;;) {
    TPSParameterMode mode = pmIn;
    if (script_.TokenKind() == tokenizer::tokConst || script_.TokenKind() == tokenizer::tokOut ||
        script_.TokenKind() == tokenizer::tokVar) {
      mode = script_.TokenKind() == tokenizer::tokVar   ? pmInOut
             : script_.TokenKind() == tokenizer::tokOut ? pmOut
                                                        : pmIn;
      script_.Next();
    }
    const std::size_t first = decl.params.size();
    for (;;) {
      if (script_.TokenKind() != tokenizer::tokIdentifier) return Fail(ecIdentifierExpected);
      TPSName name(script_.RawToken(), script_.TokenKey());
      bool duplicate = name.upper == "RESULT" || name.Is(routineName);
      for (const TPSParameterDecl& earlier : decl.params) duplicate = duplicate || earlier.name.Is(name);
      if (forward != nullptr) {
        for (const TPSVar& local : forward->locals) duplicate = duplicate || local.name.Is(name);
        for (const TPSLabel& label : forward->labels) duplicate = duplicate || label.name.Is(name);
      }
      if (duplicate) return Fail(ecDuplicateIdentifier, name.written);
      decl.params.push_back({std::move(name), mode, nullptr});
      script_.Next();
      if (script_.TokenKind() != tokenizer::tokComma) break;
      script_.Next();
    }
    TPSType* type = ReadTypeAfterColon();
    if (type == nullptr) return false;
    for (std::size_t i = first; i < decl.params.size(); ++i) decl.params[i].type = type;
    if (script_.TokenKind() == tokenizer::tokCloseRound) break;
    if (script_.TokenKind() != tokenizer::tokSemicolon) return Fail(ecSemicolonExpected);
    script_.Next();
  }
  script_.Next();
  return true;
}

// A routine header as read, before it is entered anywhere.
struct RoutineHeader {
  TPSName name;
  TPSSourcePosition declared;
  TPSParametersDecl decl;
  TPSAttributes attributes;
  std::optional<std::uint32_t> forwardNo;  // the forward routine of that name, if any
};

// header: (PROCEDURE | FUNCTION) name params [':' type] ';'
bool Compilation::ReadRoutineHeader(RoutineHeader& header) {
  const bool function = script_.TokenKind() != tokenizer::tokProcedure;
  header.declared = Here();
  script_.Next();
  if (script_.TokenKind() != tokenizer::tokIdentifier) return Fail(ecIdentifierExpected);
  header.name = TPSName(script_.RawToken(), script_.TokenKey());
  std::optional<std::uint32_t> listed = FindListedProc(header.name.Key());
  if (listed && procs_[*listed]->IsInternal() && static_cast<TPSInternalProcedure&>(*procs_[*listed]).forward)
    header.forwardNo = listed;
  if (!header.forwardNo && IsDuplicateGlobalName(header.name, true, true, true, true))
    return Fail(ecDuplicateIdentifier, header.name.upper);
  script_.Next();
  const TPSInternalProcedure* forward =
      header.forwardNo ? static_cast<TPSInternalProcedure*>(procs_[*header.forwardNo].get()) : nullptr;
  if (!ReadRoutineParams(header.decl, header.name, forward)) return false;
  if (function) {
    header.decl.result = ReadTypeAfterColon();
    if (header.decl.result == nullptr) return false;
  }
  if (script_.TokenKind() != tokenizer::tokSemicolon) return Fail(ecSemicolonExpected);
  script_.Next();
  return true;
}

std::uint32_t Compilation::AppendScriptRoutine(RoutineHeader& header, bool isForward) {
  auto routine = std::make_unique<TPSInternalProcedure>();
  routine->forward = isForward;
  routine->name = header.name;
  routine->decl = std::move(header.decl);
  routine->attributes = std::move(header.attributes);
  routine->declarationRow = static_cast<std::int32_t>(header.declared.row);
  routine->declarationPosition = static_cast<std::int32_t>(header.declared.offset);
  routine->declarationColumn = static_cast<std::int32_t>(header.declared.column);
  return AppendProc(std::move(routine));
}

// external: EXTERNAL string ';', handed to the host's OnExternalDeclaration
bool Compilation::ReadExternalRoutine(RoutineHeader& header) {
  script_.Next();
  if (script_.TokenKind() != tokenizer::tokString) return Fail(ecStringExpected);
  // The text goes to the host as written between the quotes.
  const std::string text(script_.Token().substr(1, script_.Token().size() - 2));
  script_.Next();
  if (script_.TokenKind() != tokenizer::tokSemicolon) return Fail(ecSemicolonExpected);
  script_.Next();
  if (!owner_.OnExternalDeclaration) return Fail(ecSemicolonExpected);
  TPSRegProc* external = owner_.OnExternalDeclaration(owner_, header.decl, header.name.upper, text);
  if (external == nullptr) return Fail(ecCustomError);
  auto proc = std::make_unique<TPSExternalProcedure>(external);
  proc->attributes = std::move(header.attributes);
  AppendProc(std::move(proc));
  return true;
}

// forward: FORWARD ';' (or nothing, in the interface part of a unit)
bool Compilation::DeclareForward(RoutineHeader& header, bool headerOnly) {
  if (header.forwardNo) return Fail(ecBeginExpected);
  if (!headerOnly) {
    script_.Next();
    if (script_.TokenKind() != tokenizer::tokSemicolon) return Fail(ecSemicolonExpected);
    script_.Next();
  }
  AppendScriptRoutine(header, true);
  return true;
}

// routine: header (external | forward | [EXPORT ';'] {var | label} body)
bool Compilation::ReadRoutineDeclaration(bool headerOnly, TPSAttributes attributes) {
  RoutineHeader header;
  header.attributes = std::move(attributes);
  if (!ReadRoutineHeader(header)) return false;
  if (script_.TokenKind() == tokenizer::tokExternal && !header.forwardNo) return ReadExternalRoutine(header);
  if (script_.TokenKind() == tokenizer::tokForward || headerOnly) return DeclareForward(header, headerOnly);
  std::uint32_t procNo;
  if (header.forwardNo) {
    auto& forward = static_cast<TPSInternalProcedure&>(*procs_[*header.forwardNo]);
    // The body keeps the forward declaration's parameters, names included.
    if (!SameSignature(forward.decl, header.decl)) return Fail(ecForwardParameterMismatch);
    forward.forward = false;
    procNo = *header.forwardNo;
  } else {
    procNo = AppendScriptRoutine(header, false);
  }
  auto& routine = static_cast<TPSInternalProcedure&>(*procs_[procNo]);
  return ReadRoutineBodyPrelude(routine, static_cast<std::int32_t>(procNo)) &&
         CompileRoutineBody(routine, static_cast<std::int32_t>(procNo));
}

// prelude: [EXPORT ';'] {var-section | label-section} BEGIN
bool Compilation::ReadRoutineBodyPrelude(TPSInternalProcedure& proc, std::int32_t procNo) {
  if (script_.TokenKind() == tokenizer::tokExport) {
    script_.Next();
    if (script_.TokenKind() != tokenizer::tokSemicolon) return Fail(ecSemicolonExpected);
    script_.Next();
  }
  for (;;) {
    switch (script_.TokenKind()) {
      case tokenizer::tokVar:
        if (!ReadVarSection(&proc, procNo)) return false;
        break;
      case tokenizer::tokLabel:
        if (!ReadLabelSection(proc, procNo)) return false;
        break;
      case tokenizer::tokBegin: return true;
      default: return Fail(ecBeginExpected);
    }
  }
}

// label-section: LABEL name {',' name} ';'
bool Compilation::ReadLabelSection(TPSInternalProcedure& routine, std::int32_t /*procNo*/) {
  script_.Next();
  if (script_.TokenKind() != tokenizer::tokIdentifier) return Fail(ecIdentifierExpected);
  for (;;) {
    if (script_.TokenKind() != tokenizer::tokIdentifier) return Fail(ecIdentifierExpected);
    TPSName name(script_.RawToken(), script_.TokenKey());
    bool duplicate = name.Is(routine.name) || IsDuplicateGlobalName(name, false, true, true, true);
    for (const TPSParameterDecl& param : routine.decl.params) duplicate = duplicate || param.name.Is(name);
    for (const TPSVar& local : routine.locals) duplicate = duplicate || local.name.Is(name);
    for (const TPSLabel& label : routine.labels) duplicate = duplicate || label.name.Is(name);
    if (duplicate) return Fail(ecDuplicateIdentifier, name.upper);
    routine.labels.push_back({std::move(name), -1});
    script_.Next();
    if (script_.TokenKind() == tokenizer::tokSemicolon) break;
    if (script_.TokenKind() != tokenizer::tokComma) return Fail(ecCommaExpected);
    script_.Next();
  }
  script_.Next();
  return true;
}

void Compilation::HintUnusedLocals(const TPSInternalProcedure& proc) {
  for (std::size_t i = 0; i < proc.declaredLocals; ++i) {
    const TPSVar& local = proc.locals[i];
    if (!local.used)
      HintAt(local.declarationRow, local.declarationColumn, local.declarationPosition,
             ehVariableNotUsed, local.name.upper);
  }
  if (proc.decl.result != nullptr && !proc.resultUsed)
    HintAt(proc.declarationRow, proc.declarationColumn, proc.declarationPosition, ehVariableNotUsed,
           "Result");
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

// A routine from its declaration to its finished code: the heading and parameters, an external
// or forward declaration, the local var and label sections, the body, and the hints and
// clean-up once the body is compiled. The statements of the body are statements.cpp's.

#include "engine/compiler/compilation.h"
#include "engine/image/byte_writer.h"

namespace dravik::engine::compiler {

namespace {

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

}  // namespace

// A routine header as read, before it is entered anywhere.
struct RoutineHeader {
  TPSName name;
  TPSSourcePosition declared;
  TPSParametersDecl decl;
  TPSAttributes attributes;
  std::optional<std::uint32_t> forwardNo;  // the forward routine of that name, if any
};

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
  if (!header.forwardNo &&
      IsDuplicateGlobalName(header.name, {.types = true, .routines = true, .variables = true, .constants = true}))
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

// params: ['(' [group {';' group}] ')']; group: [CONST | OUT | VAR] name {',' name} ':' type
bool Compilation::ReadRoutineParams(TPSParametersDecl& decl, const TPSName& routineName,
                                    const TPSInternalProcedure* forward) {
  if (!OpenNonEmptyList()) return true;
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
    bool duplicate = name.Is(routine.name) ||
                     IsDuplicateGlobalName(name, {.routines = true, .variables = true, .constants = true});
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

bool Compilation::CompileRoutineBody(TPSInternalProcedure& proc, std::int32_t procNo) {
  WriteRoutineDebugRecord(proc, static_cast<std::uint32_t>(procNo));
  for (std::size_t i = 0; i < proc.declaredLocals; ++i) {
    image::AppendU8(proc.code, image::OpPushType);
    image::AppendU32(proc.code, static_cast<std::uint32_t>(UseType(proc.locals[i].type)->typeNumber));
  }
  TPSBlockInfo body;
  body.kind = BlockKind::RoutineBody;
  body.proc = &proc;
  body.procNo = procNo;
  if (!CompileBlock(body)) return false;
  HintUnusedLocals(proc);
  ReleaseSpareRoom(proc);
  return ResolveGotos(proc);
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

// When a body is compiled its temporaries are gone and its code grows no more: the room they
// took is given back for the routines still to come. A script of many routines would otherwise
// keep each one's largest set of temporaries, and the spare end of its code, to the end.
void Compilation::ReleaseSpareRoom(TPSInternalProcedure& proc) {
  proc.locals.shrink_to_fit();
  proc.code.shrink_to_fit();
}

}  // namespace dravik::engine::compiler

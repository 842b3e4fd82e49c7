// Type expressions and the type, const and var sections of a script.

#include "engine/compiler/compilation.h"

namespace dravik::engine::compiler {

namespace {

bool IsOrdinalBoundCode(image::TPSTypeCode code) {
  return code == image::tcU8 || code == image::tcS8 || code == image::tcU16 || code == image::tcS16 ||
         code == image::tcU32 || code == image::tcS32 || code == image::tcS64;
}

}  // namespace

bool Compilation::IsDuplicateGlobalName(const TPSName& name, GlobalTables tables) const {
  if (name.upper == "RESULT") return true;
  if (tables.types && typeIndex_.Find(name.Key()) != nullptr) return true;
  if (tables.routines && procIndex_.Find(name.Key()) != nullptr) return true;
  if (tables.variables && globalIndex_.Find(name.Key()) != nullptr) return true;
  return tables.constants && constantIndex_.Find(name.Key()) != nullptr;
}

TPSType* Compilation::NewNamedType(tokenizer::TPSPascalParser& p, std::unique_ptr<TPSType> type,
                                   std::string_view name) {
  type->SetName(name);
  type->declarationPosition = p.Position();
  type->declarationRow = p.Row();
  type->declarationColumn = p.Column();
  return AppendType(std::move(type));
}

// type: type-name | enum | array-type | procedural-type | record-type | set-type
TPSType* Compilation::ReadTypeAfterColon() {
  if (script_.TokenKind() != tokenizer::tokColon) return FailNull(ecColonExpected);
  script_.Next();
  return UseType(ReadType(script_, ""));
}

TPSType* Compilation::ReadType(tokenizer::TPSPascalParser& p, std::string_view declaredName) {
  NestingGuard guard(*this);
  if (!guard.Ok(p)) return nullptr;
  switch (p.TokenKind()) {
    case tokenizer::tokIdentifier: {
      TPSType* found = FindTypeOldest(p.TokenKey());
      if (found == nullptr) return FailNull(p, ecUnknownType, p.RawToken());
      p.Next();
      if (declaredName.empty()) return found;
      auto link = std::make_unique<TPSTypeLink>();
      link->target = found;
      return NewNamedType(p, std::move(link), declaredName);
    }
    case tokenizer::tokOpenRound: return ReadEnumType(p, declaredName);
    case tokenizer::tokArray: return ReadArrayType(p, declaredName);
    case tokenizer::tokProcedure:
    case tokenizer::tokFunction: return ReadProceduralType(p, declaredName);
    case tokenizer::tokRecord: return ReadRecordType(p, declaredName);
    case tokenizer::tokSet: return ReadSetType(p, declaredName);
    default: return FailNull(p, ecIdentifierExpected);
  }
}

// enum: '(' name {',' name} ')'
TPSType* Compilation::ReadEnumType(tokenizer::TPSPascalParser& p, std::string_view declaredName) {
  auto* type = static_cast<TPSEnumType*>(NewNamedType(p, std::make_unique<TPSEnumType>(), declaredName));
  p.Next();
  for (std::uint32_t ordinal = 0;; ++ordinal) {
    if (p.TokenKind() != tokenizer::tokIdentifier) return FailNull(p, ecIdentifierExpected);
    if (FindType(p.TokenKey()) != nullptr) return FailNull(p, ecDuplicateIdentifier, p.RawToken());
    AddConstant(p.RawToken(), type)->value.ordinal = ordinal;
    p.Next();
    if (p.TokenKind() == tokenizer::tokCloseRound) {
      p.Next();
      type->highest = ordinal;
      return type;
    }
    if (p.TokenKind() != tokenizer::tokComma) return FailNull(p, ecCloseRoundExpected);
    p.Next();
  }
}

// A static array bound: an integer constant, of which 32 bits count.
std::optional<std::int64_t> Compilation::ReadArrayBound(tokenizer::TPSPascalParser& p) {
  std::optional<TPSTypedValue> bound = ReadConstant(p);
  if (!bound) return std::nullopt;
  if (!IsOrdinalBoundCode(bound->BaseType())) {
    Fail(p, ecTypeMismatch);
    return std::nullopt;
  }
  const std::uint64_t low32 = bound->ordinal & 0xFFFFFFFFu;
  if (bound->BaseType() == image::tcU32) return static_cast<std::int64_t>(low32);
  return static_cast<std::int64_t>(static_cast<std::int32_t>(static_cast<std::uint32_t>(low32)));
}

// array-type: ARRAY ['[' constant '..' constant ']'] OF type
TPSType* Compilation::ReadArrayType(tokenizer::TPSPascalParser& p, std::string_view declaredName) {
  p.Next();
  bool isStatic = false;
  std::int64_t low = 0, count = 0;
  if (p.TokenKind() == tokenizer::tokOpenBlock) {
    isStatic = true;
    p.Next();
    std::optional<std::int64_t> lowBound = ReadArrayBound(p);
    if (!lowBound) return nullptr;
    if (p.TokenKind() != tokenizer::tokTwoDots) return FailNull(p, ecPeriodExpected);
    p.Next();
    std::optional<std::int64_t> highBound = ReadArrayBound(p);
    if (!highBound) return nullptr;
    low = static_cast<std::int32_t>(*lowBound);
    count = static_cast<std::int64_t>(static_cast<std::int32_t>(*highBound)) - low + 1;
    if (count < 0 || count >= image::kStaticArrayCountLimit) return FailNull(p, ecTypeMismatch);
    if (p.TokenKind() != tokenizer::tokCloseBlock) return FailNull(p, ecCloseBlockExpected);
    p.Next();
  }
  if (p.TokenKind() != tokenizer::tokOf) return FailNull(p, ecOfExpected);
  p.Next();
  TPSType* element = ReadType(p, "");
  if (element == nullptr) return nullptr;
  if (isStatic) {
    auto array = std::make_unique<TPSStaticArrayType>();
    array->elementType = element;
    array->startIndex = static_cast<std::int32_t>(low);
    array->count = static_cast<std::int32_t>(count);
    return NewNamedType(p, std::move(array), declaredName);
  }
  if (declaredName.empty() && element->used) {
    for (const std::unique_ptr<TPSType>& type : types_) {
      if (type->baseType == image::tcArray && static_cast<TPSArrayType&>(*type).elementType == element &&
          !type->name.starts_with('!'))
        return type.get();
    }
  }
  auto array = std::make_unique<TPSArrayType>();
  array->elementType = element;
  return NewNamedType(p, std::move(array), declaredName);
}

// procedural-type: (PROCEDURE | FUNCTION) ['(' group {';' group} ')'] [':' type-name]
TPSType* Compilation::ReadProceduralType(tokenizer::TPSPascalParser& p, std::string_view declaredName) {
  const bool function = p.TokenKind() == tokenizer::tokFunction;
  auto procType = std::make_unique<TPSProceduralType>();
  p.Next();
  auto readTypeName = [&]() -> TPSType* {
    if (p.TokenKind() != tokenizer::tokIdentifier) return FailNull(p, ecIdentifierExpected);
    TPSType* type = FindType(p.TokenKey());
    if (type == nullptr) return FailNull(p, ecUnknownIdentifier, p.RawToken());
    p.Next();
    return type;
  };
  if (p.TokenKind() == tokenizer::tokOpenRound) {
    p.Next();
    while (p.TokenKind() != tokenizer::tokCloseRound) {
      TPSParameterMode mode = pmIn;
      if (p.TokenKind() == tokenizer::tokConst || p.TokenKind() == tokenizer::tokVar ||
          p.TokenKind() == tokenizer::tokOut) {
        mode = p.TokenKind() == tokenizer::tokVar ? pmInOut : p.TokenKind() == tokenizer::tokOut ? pmOut : pmIn;
        p.Next();
      }
      const std::size_t first = procType->decl.params.size();
      for (;;) {
        if (p.TokenKind() != tokenizer::tokIdentifier) return FailNull(p, ecIdentifierExpected);
        procType->decl.params.push_back({TPSName(p.RawToken(), p.TokenKey()), mode, nullptr});
        p.Next();
        if (p.TokenKind() != tokenizer::tokComma) break;
        p.Next();
      }
      if (p.TokenKind() != tokenizer::tokColon) return FailNull(p, ecColonExpected);
      p.Next();
      TPSType* type = readTypeName();
      if (type == nullptr) return nullptr;
      for (std::size_t i = first; i < procType->decl.params.size(); ++i)
        procType->decl.params[i].type = type;
      if (p.TokenKind() == tokenizer::tokSemicolon) p.Next();
      else if (p.TokenKind() != tokenizer::tokCloseRound) return FailNull(p, ecSemicolonExpected);
    }
    p.Next();
  }
  if (function) {
    if (p.TokenKind() != tokenizer::tokColon) return FailNull(p, ecColonExpected);
    p.Next();
    procType->decl.result = readTypeName();
    if (procType->decl.result == nullptr) return nullptr;
  }
  return NewNamedType(p, std::move(procType), declaredName);
}

// record-type: RECORD group {group} END; group: name {',' name} ':' type ';'
TPSType* Compilation::ReadRecordType(tokenizer::TPSPascalParser& p, std::string_view declaredName) {
  auto record = std::make_unique<TPSRecordType>();
  p.Next();
  do {
    const std::size_t earlier = record->fields.size();
    for (;;) {
      if (p.TokenKind() != tokenizer::tokIdentifier) return FailNull(p, ecIdentifierExpected);
      TPSName field(p.RawToken(), p.TokenKey());
      for (std::size_t i = 0; i < earlier; ++i)
        if (record->fields[i].name.Is(field)) return FailNull(p, ecDuplicateIdentifier, p.RawToken());
      record->fields.push_back({std::move(field), nullptr});
      p.Next();
      if (p.TokenKind() != tokenizer::tokComma) break;
      p.Next();
    }
    if (p.TokenKind() != tokenizer::tokColon) return FailNull(p, ecColonExpected);
    p.Next();
    TPSType* type = ReadType(p, "");
    if (type == nullptr) return nullptr;
    for (std::size_t i = earlier; i < record->fields.size(); ++i) record->fields[i].type = type;
    if (p.TokenKind() != tokenizer::tokSemicolon) return FailNull(p, ecSemicolonExpected);
    p.Next();
  } while (p.TokenKind() != tokenizer::tokEnd);
  p.Next();
  return NewNamedType(p, std::move(record), declaredName);
}

// set-type: SET OF type-name
TPSType* Compilation::ReadSetType(tokenizer::TPSPascalParser& p, std::string_view declaredName) {
  p.Next();
  if (p.TokenKind() != tokenizer::tokOf) return FailNull(p, ecOfExpected);
  p.Next();
  if (p.TokenKind() != tokenizer::tokIdentifier) return FailNull(p, ecIdentifierExpected);
  TPSType* element = FindType(p.TokenKey());
  if (element == nullptr) return FailNull(p, ecUnknownIdentifier, p.RawToken());
  // An enumeration set must fit the image's 256-bit limit (LongBool's would not).
  const bool fits = element->baseType == image::tcU8 || element->baseType == image::tcChar ||
                    (element->baseType == image::tcEnum &&
                     static_cast<TPSEnumType*>(element)->highest < image::kMaxSetBits);
  if (!fits) return FailNull(p, ecTypeMismatch);
  p.Next();
  auto set = std::make_unique<TPSSetType>();
  set->elementType = element;
  return NewNamedType(p, std::move(set), declaredName);
}

// attributes: '[' name '(' [constant {',' constant}] ')' ']'. No attribute types are
// registered here, so every attribute name is unknown.
bool Compilation::ReadAttributes(TPSAttributes& /*into*/) {
  script_.Next();
  if (script_.TokenKind() != tokenizer::tokIdentifier) return Fail(ecIdentifierExpected);
  return Fail(ecUnknownIdentifier, script_.RawToken());
}

// type-section: TYPE {[attributes] (routine-declaration | name '=' type ';')}
bool Compilation::ReadTypeSection() {
  script_.Next();
  for (;;) {
    TPSAttributes attributes;
    if (script_.TokenKind() == tokenizer::tokOpenBlock && !ReadAttributes(attributes)) return false;
    if (script_.TokenKind() == tokenizer::tokProcedure || script_.TokenKind() == tokenizer::tokFunction)
      return ReadRoutineDeclaration(false, std::move(attributes));
    if (script_.TokenKind() != tokenizer::tokIdentifier) return Fail(ecIdentifierExpected);
    const TPSName name(script_.RawToken(), script_.TokenKey());
    if (IsDuplicateGlobalName(name, {.types = true, .routines = true, .variables = true}))
      return Fail(ecDuplicateIdentifier, name.written);
    script_.Next();
    if (script_.TokenKind() != tokenizer::tokEqual) return Fail(ecIsExpected);
    script_.Next();
    TPSType* type = ReadType(script_, name.written);
    if (type == nullptr) return false;
    type->attributes = std::move(attributes);
    if (script_.TokenKind() != tokenizer::tokSemicolon) return Fail(ecSemicolonExpected);
    script_.Next();
    if (script_.TokenKind() != tokenizer::tokIdentifier && script_.TokenKind() != tokenizer::tokOpenBlock) return true;
  }
}

// const-section: CONST name '=' constant ';' {name '=' constant ';'}
bool Compilation::ReadConstSection() {
  script_.Next();
  if (script_.TokenKind() != tokenizer::tokIdentifier) return Fail(ecIdentifierExpected);
  do {
    const TPSName name(script_.RawToken(), script_.TokenKey());
    if (IsDuplicateGlobalName(name, {.routines = true, .variables = true, .constants = true}))
      return Fail(ecDuplicateIdentifier, name.written);
    script_.Next();
    if (script_.TokenKind() != tokenizer::tokEqual) return Fail(ecIsExpected);
    script_.Next();
    std::optional<TPSTypedValue> value = ReadConstant(script_);
    if (!value) return false;
    if (script_.TokenKind() != tokenizer::tokSemicolon) return Fail(ecSemicolonExpected);
    script_.Next();
    AddConstant(name.written, value->type)->value = std::move(*value);
  } while (script_.TokenKind() == tokenizer::tokIdentifier);
  return true;
}

// A variable name clashes with Result, any routine declared or referred to, any constant, an
// earlier name of its group, and: a global with any global, a local with the routine's locals
// and parameters. Types are not checked.
bool Compilation::IsDuplicateVariable(const TPSName& name, const std::vector<TPSName>& group,
                                      const TPSInternalProcedure* routine) const {
  if (IsDuplicateGlobalName(name, {.routines = true, .variables = routine == nullptr, .constants = true}))
    return true;
  for (const TPSName& earlier : group)
    if (earlier.Is(name)) return true;
  if (routine == nullptr) return false;
  for (const TPSVar& local : routine->locals)
    if (local.name.Is(name)) return true;
  for (const TPSParameterDecl& param : routine->decl.params)
    if (param.name.Is(name)) return true;
  return false;
}

void Compilation::DeclareVariable(TPSVar var, TPSInternalProcedure* routine, std::int32_t procNo) {
  std::uint32_t index;
  if (routine == nullptr) {
    globalIndex_.Add(var.name.Key(), globals_.size());
    globals_.push_back(std::move(var));
    index = static_cast<std::uint32_t>(globals_.size() - 1);
  } else {
    routine->locals.push_back(std::move(var));
    routine->declaredLocals = routine->locals.size();
    index = static_cast<std::uint32_t>(routine->locals.size() - 1);
  }
  if (owner_.OnVariableDeclared)
    owner_.OnVariableDeclared(owner_, routine == nullptr ? 0 : 2, index,
                              static_cast<std::uint32_t>(script_.Position()), procNo);
}

// var-section: VAR group {group}; group: name {',' name} ':' type ';'
// With a routine the variables are its locals, else globals.
bool Compilation::ReadVarSection(TPSInternalProcedure* routine, std::int32_t procNo) {
  script_.Next();
  do {
    std::vector<TPSName> names;
    for (;;) {
      if (script_.TokenKind() != tokenizer::tokIdentifier) return Fail(ecIdentifierExpected);
      TPSName name(script_.RawToken(), script_.TokenKey());
      if (IsDuplicateVariable(name, names, routine)) return Fail(ecDuplicateIdentifier, name.written);
      names.push_back(std::move(name));
      script_.Next();
      if (script_.TokenKind() != tokenizer::tokComma) break;
      script_.Next();
    }
    TPSType* type = ReadTypeAfterColon();
    if (type == nullptr) return false;
    // Each variable is positioned at the token after its type.
    for (TPSName& name : names)
      DeclareVariable({std::move(name), type, false, script_.Row(), script_.Position(), script_.Column()},
                      routine, procNo);
    if (script_.TokenKind() != tokenizer::tokSemicolon) return Fail(ecSemicolonExpected);
    script_.Next();
  } while (script_.TokenKind() == tokenizer::tokIdentifier);
  return true;
}

}  // namespace dravik::engine::compiler

// Names in expressions and statements: variables with their selectors, type casts, calls and
// constants, in the order the language looks them up.

#include "engine/compiler/compilation.h"

namespace dravik::engine::compiler {

namespace {

bool IsVariable(const TPSValue& value) {
  return value.IsVar() || (value.kind == ValueKind::Replace &&
                           static_cast<const TPSValueReplace&>(value).newValue->IsVar());
}

const TPSRecordFieldTypeDef* FindField(const TPSRecordType& record, names::NameKey name,
                                       std::uint32_t& number) {
  for (std::size_t i = 0; i < record.fields.size(); ++i) {
    if (record.fields[i].name.Is(name)) {
      number = static_cast<std::uint32_t>(i);
      return &record.fields[i];
    }
  }
  return nullptr;
}

// The selectors of a plain variable reference (all constant numbers), copied to another.
void CopySelectors(const TPSValueVar& from, TPSValueVar& to) {
  for (const auto& sub : from.selectors)
    to.selectors.push_back(std::make_unique<TPSSubNumber>(sub->type, static_cast<TPSSubNumber&>(*sub).number));
}

}  // namespace

// A field of a with-scope's record (reached through its pointer or its copy), innermost block
// and last-opened scope first.
ValuePtr Compilation::ResolveWithField(names::NameKey name, TPSSourcePosition at) {
  for (TPSBlockInfo* block = block_; block != nullptr; block = block->parent) {
    for (auto scope = block->withList.rbegin(); scope != block->withList.rend(); ++scope) {
      TPSType* type = ValueType(*(*scope)->oldValue);
      if (type == nullptr || type->baseType != image::tcRecord) continue;
      std::uint32_t number = 0;
      const TPSRecordFieldTypeDef* field = FindField(static_cast<TPSRecordType&>(*type), name, number);
      if (field == nullptr) continue;
      const TPSValueVar& place = AsVar(*(*scope)->newValue);
      std::unique_ptr<TPSValueVar> var = NewNode<TPSValueVar>(place.kind, at, place.index);
      CopySelectors(place, *var);
      var->selectors.push_back(std::make_unique<TPSSubNumber>(field->type, number));
      return var;
    }
  }
  return nullptr;
}

// The name is a view into the script's text: nothing is copied for a look-up.
ValuePtr Compilation::ResolveName(LookupMode mode) {
  const names::NameKey name = script_.TokenKey();
  const TPSSourcePosition at = Here();
  TPSInternalProcedure& routine = *block_->proc;
  const bool isFunction = routine.decl.result != nullptr;
  auto found = [&](ValueKind kind, std::uint32_t index, int callbackKind) -> ValuePtr {
    script_.Next();
    if (owner_.OnVariableDeclared)
      owner_.OnVariableDeclared(owner_, callbackKind, index, at.offset, block_->procNo);
    return ParseSuffixes(NewNode<TPSValueVar>(kind, at, index));
  };

  if (mode != LookupMode::VariableOnly) {
    if (ValuePtr field = ResolveWithField(name, at)) {
      script_.Next();
      return ParseSuffixes(std::move(field));
    }
  }
  if (name.upper == "RESULT") {
    if (!isFunction) return FailNull(ecUnknownIdentifier, "RESULT");
    if (mode != LookupMode::AnyValue) routine.resultUsed = true;
    return found(ValueKind::ParamVar, 0, 1);
  }
  for (std::size_t i = 0; i < routine.decl.params.size(); ++i) {
    if (routine.decl.params[i].name.Is(name))
      return found(ValueKind::ParamVar, static_cast<std::uint32_t>(i + (isFunction ? 1 : 0)), 1);
  }
  for (std::size_t i = 0; i < routine.declaredLocals; ++i) {
    if (routine.locals[i].name.Is(name)) {
      routine.locals[i].used = true;
      return found(ValueKind::LocalVar, static_cast<std::uint32_t>(i), 2);
    }
  }
  if (std::optional<std::size_t> global = FindGlobal(name)) {
    globals_[*global].used = true;
    return found(ValueKind::GlobalVar, static_cast<std::uint32_t>(*global), 0);
  }
  if (TPSType* type = FindType(name)) {
    if (mode == LookupMode::VariableOnly) return FailNull(ecVariableExpected);
    return ParseTypeUse(type, at);
  }
  if (std::optional<std::uint32_t> procNo = FindProc(name)) {
    if (mode == LookupMode::VariableOnly) return FailNull(ecVariableExpected);
    script_.Next();
    auto call = NewNode<TPSValueProc>(ValueKind::ProcNo, at);
    call->procNo = *procNo;
    const TPSParametersDecl& decl = procs_[*procNo]->Decl();
    call->resultType = decl.result;
    if (!ParseArguments(*call) || !MatchArguments(*call, decl)) return nullptr;
    return ParseSuffixes(std::move(call));
  }
  if (const TPSConstant* constant = FindConstant(name)) {
    if (mode != LookupMode::AnyValue) return FailNull(ecVariableExpected);
    script_.Next();
    return MakeConstant(at, constant->value);
  }
  return FailNull(ecUnknownIdentifier, script_.RawToken());
}

// type-cast: type-name '(' expression ')'; a type name alone is a type value.
ValuePtr Compilation::ParseTypeUse(TPSType* type, TPSSourcePosition at) {
  script_.Next();
  if (script_.TokenKind() == tokenizer::tokPeriod && type->baseType != image::tcClass)
    return FailNull(ecClassTypeExpected);
  if (script_.TokenKind() != tokenizer::tokOpenRound) {
    if (script_.TokenKind() == tokenizer::tokPeriod) return FailNull(ecTypeMismatch);
    TPSTypedValue value;
    value.type = TypeValueType();
    value.typeValue = type;
    return MakeConstant(at, std::move(value));
  }
  script_.Next();
  ValuePtr operand = ParseExpression();
  if (operand == nullptr) return nullptr;
  if (script_.TokenKind() != tokenizer::tokCloseRound) return FailNull(ecCloseRoundExpected);
  script_.Next();
  if (!AssignCompatible(type, ValueType(*operand), true)) return FailNull(ecTypeMismatch);
  ValuePtr cast = MakeUnary(at, otCast, std::move(operand), type);
  if (cast == nullptr) return nullptr;
  return ParseSuffixes(std::move(cast));
}

TPSType* Compilation::TypeValueType() {
  if (typeValueType_ == nullptr) typeValueType_ = AppendType(std::make_unique<TPSUndefinedClassType>());
  return typeValueType_;
}

// suffixes: {selector | procedural-call}
ValuePtr Compilation::ParseSuffixes(ValuePtr value) {
  for (;;) {
    NestingGuard guard(*this);
    if (!guard.Ok(script_)) return nullptr;
    TPSType* type = ValueType(*value);
    const image::TPSTypeCode code = type == nullptr ? image::tcTypeLink : type->baseType;
    const tokenizer::TPSTokenKind token = script_.TokenKind();
    if (token == tokenizer::tokPeriod || token == tokenizer::tokOpenBlock) {
      const bool isCall = value->kind == ValueKind::ProcNo || value->kind == ValueKind::ProcVal;
      if (!value->IsVar() && !isCall) return value;
      TPSSelectors& selectors =
          isCall ? static_cast<TPSValueProc&>(*value).selectors : AsVar(*value).selectors;
      if (IsVariantCode(code) || code == image::tcClass || code == image::tcInterface ||
          code == image::tcUndefinedClass)
        return value;
      if (token == tokenizer::tokPeriod) {
        if (code != image::tcRecord) return FailNull(ecSemicolonExpected);
        if (!SelectField(selectors, static_cast<TPSRecordType&>(*type))) return nullptr;
        continue;
      }
      if (code == image::tcString) return ParseStringIndex(std::move(value));
      if (!IsArrayCode(code)) return FailNull(ecSemicolonExpected);
      if (!SelectElement(selectors, static_cast<TPSArrayType&>(*type))) return nullptr;
      continue;
    }
    if (code == image::tcProcPtr && (token == tokenizer::tokOpenRound || token == tokenizer::tokCaret)) {
      value = ParseProceduralCall(std::move(value), static_cast<TPSProceduralType&>(*type));
      if (value == nullptr) return nullptr;
      continue;
    }
    if (token == tokenizer::tokOpenRound && value->IsVar()) return FailNull(ecTypeMismatch);
    return value;
  }
}

// '.' field-name
bool Compilation::SelectField(TPSSelectors& selectors, TPSRecordType& record) {
  script_.Next();
  if (script_.TokenKind() != tokenizer::tokIdentifier) return Fail(ecIdentifierExpected);
  std::uint32_t number = 0;
  const TPSRecordFieldTypeDef* field = FindField(record, script_.TokenKey(), number);
  if (field == nullptr) return Fail(ecUnknownIdentifier, script_.RawToken());
  selectors.push_back(std::make_unique<TPSSubNumber>(field->type, number));
  script_.Next();
  return true;
}

// '[' index ']' on an array
bool Compilation::SelectElement(TPSSelectors& selectors, TPSArrayType& array) {
  script_.Next();
  ValuePtr index = ParseExpression();
  if (index == nullptr) return false;
  TPSType* indexType = ValueType(*index);
  if (indexType == nullptr || !IsIntegerCode(indexType->baseType)) return Fail(ecTypeMismatch);
  if (script_.TokenKind() != tokenizer::tokCloseBlock) return Fail(ecCloseBlockExpected);
  script_.Next();
  const bool isStatic = array.baseType == image::tcStaticArray;
  const std::int32_t low = isStatic ? static_cast<TPSStaticArrayType&>(array).startIndex : 0;
  if (index->kind == ValueKind::Data) {
    const std::uint64_t n = static_cast<TPSValueData&>(*index).value.ordinal;
    selectors.push_back(std::make_unique<TPSSubNumber>(
        array.elementType, static_cast<std::uint32_t>(n - static_cast<std::uint32_t>(low))));
    return true;
  }
  if (isStatic) {
    const TPSSourcePosition at = index->pos;
    ValuePtr lowValue = MakeConstant(at, IntegerValue(image::tcS32, low));
    index = NewNode<TPSBinValueOp>(at, otSub, std::move(index), std::move(lowValue), FindBaseType(image::tcS32));
    if (index->depth > kMaxExpressionDepth) return Fail(ecNestingTooDeep);
  }
  selectors.push_back(std::make_unique<TPSSubValue>(array.elementType, std::move(index)));
  return true;
}

// '[' index ']' on a string: a call of STRGET, or of STRSET when ':=' follows.
ValuePtr Compilation::ParseStringIndex(ValuePtr text) {
  const TPSSourcePosition at = text->pos;
  script_.Next();
  ValuePtr index = ParseExpression();
  if (index == nullptr) return nullptr;
  TPSType* indexType = ValueType(*index);
  if (indexType == nullptr || !IsIntegerCode(indexType->baseType)) return FailNull(ecTypeMismatch);
  if (script_.TokenKind() != tokenizer::tokCloseBlock) return FailNull(ecCloseBlockExpected);
  script_.Next();
  auto call = NewNode<TPSValueProc>(ValueKind::ProcNo, at);
  TPSType* stringType = ValueType(*text);
  if (script_.TokenKind() == tokenizer::tokAssign) {
    std::optional<std::uint32_t> procNo = FindProc(names::NameKey("STRSET"));
    if (!procNo) return FailNull(ecUnknownIdentifier, "StrSet");
    script_.Next();
    ValuePtr character = ParseExpression();
    if (character == nullptr) return nullptr;
    TPSType* charType = ValueType(*character);
    if (charType == nullptr || charType->baseType != image::tcChar) return FailNull(ecTypeMismatch);
    call->procNo = *procNo;
    call->arguments.push_back({std::move(character), pmIn, charType});
    call->arguments.push_back({std::move(index), pmIn, indexType});
    call->arguments.push_back({std::move(text), pmInOut, stringType});
    return call;
  }
  std::optional<std::uint32_t> procNo = FindProc(names::NameKey("STRGET"));
  if (!procNo) return FailNull(ecUnknownIdentifier, "StrGet");
  call->procNo = *procNo;
  call->resultType = FindBaseType(image::tcChar);
  const TPSParameterMode mode = IsVariable(*text) ? pmInOut : pmIn;
  call->arguments.push_back({std::move(text), mode, stringType});
  call->arguments.push_back({std::move(index), pmIn, indexType});
  return call;
}

// procedural-call: ['^'] arguments
ValuePtr Compilation::ParseProceduralCall(ValuePtr procValue, TPSProceduralType& type) {
  const TPSSourcePosition at = procValue->pos;
  if (script_.TokenKind() == tokenizer::tokCaret) script_.Next();
  auto call = NewNode<TPSValueProc>(ValueKind::ProcVal, at);
  call->procValue = std::move(procValue);
  call->resultType = type.decl.result;
  if (!ParseArguments(*call) || !MatchArguments(*call, type.decl)) return nullptr;
  return call;
}

// arguments: ['(' [expression {',' expression}] ')']
bool Compilation::ParseArguments(TPSValueProc& call) {
  if (!OpenNonEmptyList()) return true;
  for (;;) {
    ValuePtr argument = ParseExpression();
    if (argument == nullptr) return false;
    call.depth = std::max(call.depth, argument->depth + 1);
    call.arguments.push_back({std::move(argument), pmIn, nullptr});
    if (script_.TokenKind() == tokenizer::tokCloseRound) break;
    if (script_.TokenKind() != tokenizer::tokComma) return Fail(ecCommaExpected);
    script_.Next();
  }
  script_.Next();
  return true;
}

// The type a by-reference argument passes as, or none when it does not fit the parameter.
TPSType* Compilation::ByReferenceType(const TPSParameterDecl& param, TPSValue& argument) {
  TPSType* argType = ResolveTypeLink(ValueType(argument));
  TPSType* paramType = ResolveTypeLink(param.type);
  if (paramType == nullptr) return argType;
  if (argType == paramType) return paramType;
  if (paramType->baseType == image::tcArray && argType != nullptr && IsArrayCode(argType->baseType) &&
      static_cast<TPSArrayType*>(argType)->elementType == static_cast<TPSArrayType*>(paramType)->elementType)
    return argType;
  return nullptr;
}

bool Compilation::MatchArguments(TPSValueProc& call, const TPSParametersDecl& decl) {
  std::size_t next = 0;
  for (const TPSParameterDecl& param : decl.params) {
    while (next < call.arguments.size() && call.arguments[next].value == nullptr) ++next;
    if (next == call.arguments.size()) return Fail(ecInvalidNumberOfParameters);
    TPSParameter& argument = call.arguments[next++];
    argument.mode = param.mode;
    argument.expectedType = param.type;
    if (!param.ByReference()) continue;
    if (!IsVariable(*argument.value)) return FailAt(argument.value->pos, ecVariableExpected);
    argument.expectedType = ByReferenceType(param, *argument.value);
    if (argument.expectedType == nullptr) return Fail(ecTypeMismatch);
  }
  while (next < call.arguments.size() && call.arguments[next].value == nullptr) ++next;
  if (next != call.arguments.size()) return Fail(ecInvalidNumberOfParameters);
  return true;
}

}  // namespace dravik::engine::compiler

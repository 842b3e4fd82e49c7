// Expressions: operators by precedence, factors, and the folding of constant sub-trees.

#include "engine/library/builtin_routines.h"
#include "engine/compiler/compilation.h"
#include "engine/compiler/operator_tokens.h"

namespace dravik::engine::compiler {

namespace {

const TPSValueData* AsConstant(const TPSValue& value) {
  return value.kind == ValueKind::Data ? &static_cast<const TPSValueData&>(value) : nullptr;
}

}  // namespace

ValuePtr Compilation::ParseExpression() {
  ValuePtr tree = ParseRelation();
  if (tree == nullptr || !FoldConstants(tree)) return nullptr;
  return tree;
}

// relation: sum {relational-op sum}
ValuePtr Compilation::ParseRelation() { return ParseLevel(&Compilation::ParseSum, OperatorLevel::Relation); }

// sum: product {additive-op product}
ValuePtr Compilation::ParseSum() { return ParseLevel(&Compilation::ParseProduct, OperatorLevel::Sum); }

// product: factor {multiplicative-op factor}
ValuePtr Compilation::ParseProduct() { return ParseLevel(&Compilation::ParseFactor, OperatorLevel::Product); }

ValuePtr Compilation::ParseLevel(ValuePtr (Compilation::*operand)(), OperatorLevel level) {
  ValuePtr left = (this->*operand)();
  while (left != nullptr) {
    std::optional<TPSBinOperator> op = BinaryOperatorAt(level, script_.TokenKind(), false);
    if (!op) break;
    const TPSSourcePosition at = Here();
    const bool slash = script_.TokenKind() == tokenizer::tokDivide;
    script_.Next();
    ValuePtr right = (this->*operand)();
    if (right == nullptr) return nullptr;
    left = MakeBinary(at, *op, std::move(left), std::move(right), slash);
  }
  return left;
}

ValuePtr Compilation::MakeBinary(TPSSourcePosition at, TPSBinOperator op, ValuePtr left, ValuePtr right, bool slash) {
  TPSType* type = BinaryResultType(*left, *right, op);
  if (type == nullptr) return FailNull(ecTypeMismatch);
  if ((op == otAnd || op == otOr) && IsBooleanType(type)) WarnConstantLogic(op, *left, *right);
  auto node = NewNode<TPSBinValueOp>(at, op, std::move(left), std::move(right), type, slash);
  if (node->depth > kMaxExpressionDepth) return FailNull(ecNestingTooDeep);
  return node;
}

// An 'and' or 'or' whose constant operand decides the result, or does not matter.
void Compilation::WarnConstantLogic(TPSBinOperator op, const TPSValue& left, const TPSValue& right) {
  const TPSValueData* constant = AsConstant(left);
  const bool leftConstant = constant != nullptr;
  if (!leftConstant) constant = AsConstant(right);
  if (constant == nullptr) return;
  const bool value = constant->value.ordinal != 0;
  const bool decides = (op == otAnd) != value;  // and False, or True
  if (decides) {
    WarnAt(left.pos, ewCalculationAlwaysEvaluatesTo, value ? "True" : "False");
    return;
  }
  std::string detail = op == otAnd ? (leftConstant ? "\"True and\"" : "\"and True\"")
                                   : (leftConstant ? "\"False or\"" : "\"or False\"");
  WarnAt(left.pos, ewIsNotNeeded, std::move(detail));
}

ValuePtr Compilation::MakeUnary(TPSSourcePosition at, TPSUnOperator op, ValuePtr operand, TPSType* type) {
  if (type == nullptr) return FailNull(ecTypeMismatch);  // nil and @Routine have no value to change
  auto node = NewNode<TPSUnValueOp>(at, op, std::move(operand), type);
  if (node->depth > kMaxExpressionDepth) return FailNull(ecNestingTooDeep);
  return node;
}

ValuePtr Compilation::MakeConstant(TPSSourcePosition at, TPSTypedValue value) {
  return NewNode<TPSValueData>(at, std::move(value));
}

// '(' expression ')' after a built-in function's name. The ')' stays current: the caller
// checks the operand there, then takes it.
ValuePtr Compilation::ParseParenthesized() {
  script_.Next();
  if (script_.TokenKind() != tokenizer::tokOpenRound) return FailNull(ecOpenRoundExpected);
  script_.Next();
  ValuePtr operand = ParseExpression();
  if (operand == nullptr) return nullptr;
  if (script_.TokenKind() != tokenizer::tokCloseRound) return FailNull(ecCloseRoundExpected);
  return operand;
}

// factor: '(' relation ')' | '[' list ']' | '-' product | NOT factor | literal | '@' name | NIL
//       | CHR '(' e ')' | ORD '(' e ')' | SUCC/PRED/ASSIGNED '(' ... ')' | name
ValuePtr Compilation::ParseFactor() {
  NestingGuard guard(*this);
  if (!guard.Ok(script_)) return nullptr;
  const TPSSourcePosition at = Here();
  switch (script_.TokenKind()) {
    case tokenizer::tokOpenRound: {
      script_.Next();
      ValuePtr inner = ParseRelation();
      if (inner == nullptr) return nullptr;
      if (script_.TokenKind() != tokenizer::tokCloseRound) return FailNull(ecCloseRoundExpected);
      script_.Next();
      return inner;
    }
    case tokenizer::tokOpenBlock: return ParseBracketList();
    case tokenizer::tokMinus: {
      script_.Next();
      ValuePtr operand = ParseProduct();
      if (operand == nullptr) return nullptr;
      TPSType* type = ValueType(*operand);
      return MakeUnary(at, otMinus, std::move(operand), type);
    }
    case tokenizer::tokNot: {
      script_.Next();
      ValuePtr operand = ParseFactor();
      if (operand == nullptr) return nullptr;
      TPSType* type = ValueType(*operand);
      return MakeUnary(at, otNot, std::move(operand), type);
    }
    case tokenizer::tokInteger:
    case tokenizer::tokHexInteger: {
      std::optional<TPSTypedValue> value = ReadIntegerToken(script_);
      if (!value) return nullptr;
      script_.Next();
      return MakeConstant(at, std::move(*value));
    }
    case tokenizer::tokReal: {
      std::optional<TPSTypedValue> value = ReadRealToken(script_);
      if (!value) return nullptr;
      script_.Next();
      return MakeConstant(at, std::move(*value));
    }
    case tokenizer::tokString:
    case tokenizer::tokCharCode: {
      std::optional<TPSTypedValue> value = ReadStringLiteral(script_);
      if (!value) return nullptr;
      return MakeConstant(at, std::move(*value));
    }
    case tokenizer::tokAddressOf: return ParseAddressOf();
    case tokenizer::tokNil:
      script_.Next();
      return NewNode<TPSValueNil>(at);
    case tokenizer::tokChr:
    case tokenizer::tokOrd: return ParseChrOrd();
    case tokenizer::tokIdentifier:
      if (script_.Token() == "SUCC" || script_.Token() == "PRED") return ParseSuccPred();
      if (script_.Token() == "ASSIGNED") return ParseAssigned();
      return ResolveName(LookupMode::AnyValue);
    default:
      return FailNull(ecSyntaxError);
  }
}

// list: '[' [relation {',' relation}] ']'
ValuePtr Compilation::ParseBracketList() {
  auto list = NewNode<TPSValueArray>(Here());
  script_.Next();
  if (script_.TokenKind() == tokenizer::tokCloseBlock) {
    script_.Next();
    return list;
  }
  for (;;) {
    ValuePtr element = ParseRelation();
    if (element == nullptr || !FoldConstants(element)) return nullptr;
    list->depth = std::max(list->depth, element->depth + 1);
    list->elements.push_back(std::move(element));
    if (script_.TokenKind() == tokenizer::tokCloseBlock) break;
    if (script_.TokenKind() != tokenizer::tokComma) return FailNull(ecCloseBlockExpected);
    script_.Next();
  }
  script_.Next();
  return list;
}

// '@' name: a routine of the script itself
ValuePtr Compilation::ParseAddressOf() {
  const TPSSourcePosition at = Here();
  script_.Next();
  if (script_.TokenKind() != tokenizer::tokIdentifier) return FailNull(ecIdentifierExpected);
  std::optional<std::uint32_t> procNo = FindListedProc(script_.TokenKey());
  if (!procNo || !procs_[*procNo]->IsInternal() || *procNo == 0)
    return FailNull(ecUnknownIdentifier, script_.RawToken());
  script_.Next();
  return NewNode<TPSValueProcPtr>(at, *procNo);
}

ValuePtr Compilation::ParseChrOrd() {
  const TPSSourcePosition at = Here();
  const bool chr = script_.TokenKind() == tokenizer::tokChr;
  ValuePtr operand = ParseParenthesized();
  if (operand == nullptr) return nullptr;
  TPSType* type = ValueType(*operand);
  const image::TPSTypeCode code = type == nullptr ? image::tcTypeLink : type->baseType;
  const bool fits = IsIntegerCode(code) ||
                    (!chr && (code == image::tcChar || code == image::tcWideChar || code == image::tcEnum));
  if (!fits) return FailNull(ecTypeMismatch);
  script_.Next();
  return MakeUnary(at, otCast, std::move(operand), FindBaseType(chr ? image::tcChar : image::tcU32));
}

ValuePtr Compilation::ParseSuccPred() {
  const TPSSourcePosition at = Here();
  const TPSBinOperator op = script_.Token() == "SUCC" ? otAdd : otSub;
  ValuePtr operand = ParseParenthesized();
  if (operand == nullptr) return nullptr;
  TPSType* type = ValueType(*operand);
  if (type == nullptr || !(IsIntegerCode(type->baseType) || type->baseType == image::tcEnum))
    return FailNull(ecTypeMismatch);
  script_.Next();
  ValuePtr one = MakeConstant(at, IntegerValue(image::tcS32, 1));
  auto node = NewNode<TPSBinValueOp>(at, op, std::move(operand), std::move(one), type);
  if (node->depth > kMaxExpressionDepth) return FailNull(ecNestingTooDeep);
  return node;
}

// ASSIGNED '(' name ')'
ValuePtr Compilation::ParseAssigned() {
  const TPSSourcePosition at = Here();
  script_.Next();
  if (script_.TokenKind() != tokenizer::tokOpenRound) return FailNull(ecOpenRoundExpected);
  script_.Next();
  if (script_.TokenKind() != tokenizer::tokIdentifier) return FailNull(ecIdentifierExpected);
  ValuePtr operand = ResolveName(LookupMode::AnyValue);
  if (operand == nullptr) return nullptr;
  if (script_.TokenKind() != tokenizer::tokCloseRound) return FailNull(ecCloseRoundExpected);
  TPSType* type = ValueType(*operand);
  const image::TPSTypeCode code = type == nullptr ? image::tcTypeLink : type->baseType;
  if (code != image::tcClass && code != image::tcPChar && code != image::tcString) return FailNull(ecTypeMismatch);
  script_.Next();
  std::optional<std::uint32_t> procNo = FindProc(names::NameKey(library::kAssignedRoutineName));
  auto call = NewNode<TPSValueProc>(ValueKind::ProcNo, at);
  call->procNo = *procNo;
  call->resultType = boolean_;
  call->arguments.push_back({std::move(operand), pmIn, type});
  return call;
}

bool Compilation::FoldConstants(ValuePtr& value) {
  if (value->kind == ValueKind::UnOp) {
    auto& node = static_cast<TPSUnValueOp&>(*value);
    if (!FoldConstants(node.operand)) return false;
    if (node.operand->kind != ValueKind::Data) return true;
    auto& operand = static_cast<TPSValueData&>(*node.operand);
    if (!EvalConstUnary(operand.value, node.op, node.resultType, script_)) return false;
    std::optional<long double> real = operand.realValue;
    if (real && node.op == otMinus) real = -*real;
    else real.reset();
    ValuePtr folded = MakeConstant(node.pos, std::move(operand.value));
    static_cast<TPSValueData&>(*folded).realValue = real;
    value = std::move(folded);
    return true;
  }
  // Down the left side of a run in a loop, the right operands by recursion (they are nested),
  // then the run bottom up.
  StackSpan<ValuePtr*> run(foldStack_);
  for (ValuePtr* at = &value; (*at)->kind == ValueKind::BinOp; at = &static_cast<TPSBinValueOp&>(**at).left)
    run.push_back(at);
  if (run.empty()) return true;
  if (!FoldConstants(static_cast<TPSBinValueOp&>(*run.back()->get()).left)) return false;
  for (std::size_t i = run.size(); i-- > 0;) {
    ValuePtr* const at = run[i];
    auto& node = static_cast<TPSBinValueOp&>(**at);
    if (!FoldConstants(node.right)) return false;
    if (node.left->kind != ValueKind::Data || node.right->kind != ValueKind::Data) continue;
    auto& left = static_cast<TPSValueData&>(*node.left);
    auto& right = static_cast<TPSValueData&>(*node.right);
    const std::optional<long double> real = RealFold(node, left, right);
    if (!EvalConstBinary(left.value, right.value, node.op, script_)) return false;
    ValuePtr folded = MakeConstant(node.pos, std::move(left.value));
    static_cast<TPSValueData&>(*folded).realValue = real;
    *at = std::move(folded);
  }
  return true;
}

}  // namespace dravik::engine::compiler

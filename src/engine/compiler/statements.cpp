// Statements: blocks of statements (a body is one), control flow with its jumps, and the labels
// and gotos of a routine.

#include <array>

#include "engine/compiler/compilation.h"
#include "engine/image/byte_writer.h"

namespace dravik::engine::compiler {

// Makes a block the innermost one for as long as it lives.
class BlockScope {
 public:
  BlockScope(Compilation& c, TPSBlockInfo& block) : c_(c), saved_(c.block_) {
    block.parent = saved_;
    if (saved_ != nullptr) {
      block.proc = saved_->proc;
      block.procNo = saved_->procNo;
    }
    c_.block_ = &block;
  }
  ~BlockScope() { c_.block_ = saved_; }
  BlockScope(const BlockScope&) = delete;
  BlockScope& operator=(const BlockScope&) = delete;

 private:
  Compilation& c_;
  TPSBlockInfo* saved_;
};

namespace {

bool EndsAfterOneStatement(BlockKind kind) {
  return kind == BlockKind::OneStatement || kind == BlockKind::OneStatementElse;
}

bool IsForVariableCode(image::TPSTypeCode code) {
  return code == image::tcU8 || code == image::tcS8 || code == image::tcU16 || code == image::tcS16 ||
         code == image::tcU32 || code == image::tcS32;
}

// The last value a for variable of this kind can take: the highest for `to`, the lowest for
// `downto`. One more step would wrap it around to a value the loop test lets through again.
std::int64_t LastOfKind(image::TPSTypeCode code, bool up) {
  switch (code) {
    case image::tcU8: return up ? 0xFF : 0;
    case image::tcS8: return up ? 0x7F : -0x80;
    case image::tcU16: return up ? 0xFFFF : 0;
    case image::tcS16: return up ? 0x7FFF : -0x8000;
    case image::tcU32: return up ? 0xFFFFFFFF : 0;
    default: return up ? 0x7FFFFFFF : -0x80000000LL;
  }
}

// True when the finish is a constant inside the variable's range short of its last value, so
// that the loop test ends the loop before the variable could wrap around.
bool EndsBeforeWrapping(const TPSValue& finish, image::TPSTypeCode code, bool up) {
  if (finish.kind != ValueKind::Data) return false;
  const TPSTypedValue& value = static_cast<const TPSValueData&>(finish).value;
  const image::TPSTypeCode finishCode = value.BaseType();
  std::int64_t number = 0;
  if (finishCode == image::tcS64) number = static_cast<std::int64_t>(value.ordinal);
  else if (finishCode == image::tcS8 || finishCode == image::tcS16 || finishCode == image::tcS32)
    number = static_cast<std::int32_t>(static_cast<std::uint32_t>(value.ordinal));
  else if (IsForVariableCode(finishCode)) number = static_cast<std::int64_t>(value.ordinal & 0xFFFFFFFFu);
  else return false;
  const std::int64_t low = LastOfKind(code, false);
  const std::int64_t high = LastOfKind(code, true);
  return up ? number >= low && number < high : number > low && number <= high;
}

}  // namespace

// The pending break and continue jumps of the innermost loop, and what the loop found on entry.
struct LoopContext {
  JumpList breaks;
  JumpList continues;
  std::size_t localsAtStart = 0;
  int casesAtStart = 0;
  std::size_t triesAtStart = 0;
  LoopContext* outer = nullptr;
};

// Installs a loop's lists for as long as it lives and restores the outer ones, also on failure.
class LoopScope {
 public:
  explicit LoopScope(Compilation& c) : c_(c) {
    loop.outer = c.loop_;
    loop.localsAtStart = c.block_->proc->locals.size();
    loop.casesAtStart = c.openCases_;
    loop.triesAtStart = c.tries_.size();
    c.loop_ = &loop;
  }
  ~LoopScope() { c_.loop_ = loop.outer; }
  LoopScope(const LoopScope&) = delete;
  LoopScope& operator=(const LoopScope&) = delete;

  LoopContext loop;

 private:
  Compilation& c_;
};

// Answers the end of the instruction, where its displacement counts from.
std::int32_t Compilation::EmitJump(image::Opcode op, std::int32_t target) {
  const std::int32_t end = CodeLength() + 5;
  EmitWithU32(op, static_cast<std::uint32_t>(target - end));
  return end;
}

// Answers the position of the displacement field.
std::int32_t Compilation::EmitForwardJump(image::Opcode op) {
  const std::int32_t field = CodeLength() + 1;
  EmitWithU32(op, kJumpPlaceholder);
  return field;
}

void Compilation::PatchJump(std::int32_t field, std::int32_t instructionEnd, std::int32_t target) {
  PatchU32(field, static_cast<std::uint32_t>(target - instructionEnd));
}

// A conditional jump on a temporary; answers the displacement field, or -1 when the operand
// cannot be written.
std::int32_t Compilation::EmitConditionalJump(image::Opcode op, const TPSValue& operand, std::int32_t& end) {
  const std::int32_t field = EmitForwardJump(op);
  if (!EmitOperand(operand, false)) return -1;
  end = CodeLength();
  return field;
}

void Compilation::AddDebugRecord() {
  if (owner_.OnStatement && !owner_.OnStatement(owner_, static_cast<std::uint32_t>(script_.Position())))
    return;
  std::uint32_t offset = static_cast<std::uint32_t>(script_.Position());
  std::uint32_t row = static_cast<std::uint32_t>(script_.Row());
  std::uint32_t column = static_cast<std::uint32_t>(script_.Column());
  std::string fileName;
  if (owner_.OnWritePosition) owner_.OnWritePosition(owner_, offset, row, fileName, column);
  std::string& out = owner_.debugOutput_;
  image::AppendU8(out, static_cast<std::uint8_t>(image::DebugRecord::kStatement));
  image::AppendBytes(out, fileName);
  // The rest of the record in one append: there is one for every statement.
  std::array<char, 1 + 5 * 4> fields{image::kDebugNameMarker};
  char* at = fields.data() + 1;
  for (std::uint32_t field : {static_cast<std::uint32_t>(block_->procNo), static_cast<std::uint32_t>(CodeLength()),
                              offset, row, column})
    at = image::PutU32(at, field);
  image::AppendBytes(out, std::string_view(fields.data(), fields.size()));
}

bool Compilation::CompileBlock(TPSBlockInfo& block) {
  NestingGuard guard(*this);
  if (!guard.Ok(script_)) return false;
  BlockScope scope(*this, block);
  const BlockKind kind = block.kind;
  if (kind == BlockKind::MainBody || kind == BlockKind::RoutineBody || kind == BlockKind::BeginEnd)
    script_.Next();
  for (;;) {
    switch (script_.TokenKind()) {
      case tokenizer::tokEOF: return Fail(ecUnexpectedEndOfFile);
      case tokenizer::tokSemicolon:
        script_.Next();
        if (EndsAfterOneStatement(kind)) return true;
        continue;
      case tokenizer::tokExit:
        AddDebugRecord();
        Emit(image::OpReturn);
        script_.Next();
        continue;
      case tokenizer::tokElse:
        if (kind == BlockKind::OneStatementElse) return true;
        return Fail(ecIdentifierExpected);
      case tokenizer::tokEnd:
        if (kind == BlockKind::MainBody || kind == BlockKind::RoutineBody) return CloseBody(kind);
        if (kind <= BlockKind::OneStatementElse || kind == BlockKind::HandlerPart) return true;
        return Fail(ecIdentifierExpected);
      case tokenizer::tokUntil:
        AddDebugRecord();
        if (kind == BlockKind::Repeat) return true;
        return Fail(ecIdentifierExpected);
      case tokenizer::tokExcept:
      case tokenizer::tokFinally:
        if (kind == BlockKind::TryPart || kind == BlockKind::HandlerPart) return true;
        return Fail(ecEndExpected);
      case tokenizer::tokIdentifier: {
        bool wasLabel = false;
        if (!CompileIdentifierStatement(wasLabel)) return false;
        if (wasLabel) continue;
        break;
      }
      default:
        if (!CompileStatement()) return false;
        break;
    }
    if (EndsAfterOneStatement(kind)) return true;
  }
}

// The end of a main or routine body: its return, then the closing '.' or ';'.
bool Compilation::CloseBody(BlockKind kind) {
  AddDebugRecord();
  Emit(image::OpReturn);
  script_.Next();
  if (kind == BlockKind::MainBody) return TakeFinalPeriod();
  if (script_.TokenKind() != tokenizer::tokSemicolon) return Fail(ecSemicolonExpected);
  script_.Next();
  return true;
}

bool Compilation::CompileStatement() {
  switch (script_.TokenKind()) {
    case tokenizer::tokBegin: {
      TPSBlockInfo inner;
      inner.kind = BlockKind::BeginEnd;
      if (!CompileBlock(inner)) return false;
      script_.Next();
      return true;
    }
    case tokenizer::tokIf: return CompileIf();
    case tokenizer::tokWhile: return CompileWhile();
    case tokenizer::tokRepeat: return CompileRepeat();
    case tokenizer::tokFor: return CompileFor();
    case tokenizer::tokCase: return CompileCase();
    case tokenizer::tokWith: return CompileWith();
    case tokenizer::tokTry: return CompileTry();
    case tokenizer::tokGoto: return CompileGoto();
    default: return Fail(ecIdentifierExpected);
  }
}

std::optional<std::size_t> Compilation::FindLabel(names::NameKey name) const {
  const std::vector<TPSLabel>& labels = block_->proc->labels;
  for (std::size_t i = 0; i < labels.size(); ++i)
    if (labels[i].name.Is(name)) return i;
  return std::nullopt;
}

// A break or continue. First each try block it leaves is ended, innermost first, by an
// OpPopHandler that runs the block's finally parts and continues after itself (which also drops
// what the block pushed); then the temporaries made since the loop began are popped, but for
// those of the innermost case statement still open there, whose end turns the jump into one that
// pops them; then the jump.
bool Compilation::CompileLoopExit(bool isBreak) {
  if (loop_ == nullptr) return Fail(ecNotInLoop);
  std::size_t level = block_->proc->locals.size();
  int cases = openCases_;
  for (std::size_t i = tries_.size(); i-- > loop_->triesAtStart;) {
    Emit(image::OpPopHandler);
    Emit(static_cast<std::uint8_t>(image::kHandlerLeaveByJump + static_cast<std::uint8_t>(tries_[i].part)));
    level = tries_[i].localsAtStart;
    cases = tries_[i].casesAtStart;
  }
  std::size_t extra = level - loop_->localsAtStart;
  int caseDepth = 0;
  if (cases > loop_->casesAtStart && extra >= 2) {
    extra -= 2;
    caseDepth = cases;
  }
  for (std::size_t i = 0; i < extra; ++i) Emit(image::OpPop);
  const std::int32_t field = EmitForwardJump(image::OpGoto);
  (isBreak ? loop_->breaks : loop_->continues).push_back({field + 4, caseDepth});
  script_.Next();
  return true;
}

bool Compilation::CompileIdentifierStatement(bool& wasLabel) {
  const names::NameKey name = script_.TokenKey();
  if (std::optional<std::size_t> label = FindLabel(name)) {
    wasLabel = true;
    block_->proc->labels[*label].position = CodeLength();
    script_.Next();
    if (script_.TokenKind() != tokenizer::tokColon) return Fail(ecColonExpected);
    script_.Next();
    return true;
  }
  if (name.upper == "BREAK") return CompileLoopExit(true);
  if (name.upper == "CONTINUE") return CompileLoopExit(false);
  AddDebugRecord();
  ValuePtr target = ResolveName(LookupMode::StatementStart);
  if (target == nullptr) return false;
  if (target->kind == ValueKind::ProcNo || target->kind == ValueKind::ProcVal)
    return EmitCall(static_cast<TPSValueProc&>(*target), nullptr);
  if (!target->IsVar()) return Fail(ecInternalError, "20");
  if (script_.TokenKind() != tokenizer::tokAssign) return Fail(ecAssignmentExpected);
  script_.Next();
  ValuePtr value = ParseExpression();
  return value != nullptr && EmitValueInto(value, target);
}

// if-statement: IF expression THEN statement [ELSE statement]
bool Compilation::CompileIf() {
  AddDebugRecord();
  script_.Next();
  ValuePtr condition = ParseExpression();
  if (condition == nullptr) return false;
  if (script_.TokenKind() != tokenizer::tokThen) return Fail(ecThenExpected);
  ValuePtr flag = PushTemp(boolean_);
  if (!EmitValueInto(condition, flag)) return false;
  Emit(image::OpSetFlag);
  if (!EmitOperand(*flag, false)) return Fail(ecInternalError, "00018");
  Emit(1);
  FreeTemp();
  const std::int32_t skipThen = EmitForwardJump(image::OpJumpIfFlag);
  script_.Next();
  TPSBlockInfo thenPart;
  thenPart.kind = BlockKind::OneStatementElse;
  if (!CompileBlock(thenPart)) return false;
  if (script_.TokenKind() != tokenizer::tokElse) {
    PatchJump(skipThen, skipThen + 4, CodeLength());
    return true;
  }
  const std::int32_t skipElse = EmitForwardJump(image::OpGoto);
  PatchJump(skipThen, skipThen + 4, CodeLength());
  script_.Next();
  TPSBlockInfo elsePart;
  elsePart.kind = BlockKind::OneStatement;
  if (!CompileBlock(elsePart)) return false;
  PatchJump(skipElse, skipElse + 4, CodeLength());
  return true;
}

void Compilation::PatchLoopExits(const LoopContext& loop, std::int32_t breakTarget, std::int32_t continueTarget) {
  for (const LoopJump& jump : loop.breaks) PatchJump(jump.end - 4, jump.end, breakTarget);
  for (const LoopJump& jump : loop.continues) PatchJump(jump.end - 4, jump.end, continueTarget);
}

// while-statement: WHILE expression DO statement
bool Compilation::CompileWhile() {
  AddDebugRecord();
  script_.Next();
  ValuePtr condition = ParseExpression();
  if (condition == nullptr) return false;
  if (script_.TokenKind() != tokenizer::tokDo) return Fail(ecDoExpected);
  ValuePtr flag = PushTemp(boolean_);
  const std::int32_t loopStart = CodeLength();
  std::int32_t exitEnd = 0;
  {
    LoopScope scope(*this);
    if (!EmitValueInto(condition, flag)) return false;
    script_.Next();
    const std::int32_t exitField = EmitConditionalJump(image::OpJumpIfFalse, *flag, exitEnd);
    if (exitField < 0) return Fail(ecInternalError, "00017");
    TPSBlockInfo body;
    body.kind = BlockKind::OneStatement;
    if (!CompileBlock(body)) return false;
    AddDebugRecord();
    EmitJump(image::OpGoto, loopStart);
    const std::int32_t loopEnd = CodeLength();
    PatchJump(exitField, exitEnd, loopEnd);
    PatchLoopExits(scope.loop, loopEnd, loopStart);
  }
  FreeTemp();
  return CheckJumpsInRange(exitEnd, CodeLength());
}

// repeat-statement: REPEAT statements UNTIL expression
bool Compilation::CompileRepeat() {
  AddDebugRecord();
  script_.Next();
  std::int32_t loopStart = 0;
  {
    LoopScope scope(*this);
    ValuePtr flag = PushTemp(boolean_);
    loopStart = CodeLength();
    scope.loop.localsAtStart = block_->proc->locals.size();
    TPSBlockInfo body;
    body.kind = BlockKind::Repeat;
    if (!CompileBlock(body)) return false;
    script_.Next();
    ValuePtr condition = ParseExpression();
    if (condition == nullptr) return false;
    const std::int32_t continueTarget = CodeLength();
    if (!EmitValueInto(condition, flag)) return false;
    Emit(image::OpJumpIfFalse);
    const std::int32_t field = CodeLength();
    EmitU32(kJumpPlaceholder);
    if (!EmitOperand(*flag, false)) return Fail(ecInternalError, "00016");
    PatchJump(field, CodeLength(), loopStart);
    PatchLoopExits(scope.loop, CodeLength(), continueTarget);
  }
  FreeTemp();
  return CheckJumpsInRange(loopStart, CodeLength());
}

// for-statement: FOR variable ':=' expression (TO | DOWNTO) expression DO statement
bool Compilation::CompileFor() {
  AddDebugRecord();
  script_.Next();
  if (script_.TokenKind() != tokenizer::tokIdentifier) return Fail(ecIdentifierExpected);
  ValuePtr variable = ResolveName(LookupMode::VariableOnly);
  if (variable == nullptr) return false;
  TPSType* type = ValueType(*variable);
  if (type == nullptr || !IsForVariableCode(type->baseType)) return Fail(ecTypeMismatch);
  if (script_.TokenKind() != tokenizer::tokAssign) return Fail(ecAssignmentExpected);
  script_.Next();
  ValuePtr start = ParseExpression();
  if (start == nullptr) return false;
  if (script_.TokenKind() != tokenizer::tokTo && script_.TokenKind() != tokenizer::tokDownto) return Fail(ecToExpected);
  const bool up = script_.TokenKind() == tokenizer::tokTo;
  script_.Next();
  ValuePtr finish = ParseExpression();
  if (finish == nullptr) return false;
  if (script_.TokenKind() != tokenizer::tokDo) return Fail(ecDoExpected);
  script_.Next();
  const bool endsBeforeWrapping = EndsBeforeWrapping(*finish, type->baseType, up);
  if (!EmitValueInto(start, variable)) return false;
  ValuePtr flag = PushTemp(boolean_);
  const std::int32_t loopStart = CodeLength();
  if (!MakeAddressable(variable, nullptr) || !MakeAddressable(finish, type)) return false;
  Emit(image::OpCompare);
  Emit(static_cast<std::uint8_t>(up ? image::CompareOp::LessEqual : image::CompareOp::GreaterEqual));
  if (!EmitRequiredOperand(*flag, false) || !EmitRequiredOperand(*variable, false) ||
      !EmitRequiredOperand(*finish, true))
    return false;
  ReleaseAddressable(finish);
  ReleaseAddressable(variable);
  std::int32_t exitEnd = 0;
  const std::int32_t exitField = EmitConditionalJump(image::OpJumpIfFalse, *flag, exitEnd);
  if (exitField < 0) return Fail(ecInternalError, "00017");
  {
    LoopScope scope(*this);
    TPSBlockInfo body;
    body.kind = BlockKind::OneStatement;
    if (!CompileBlock(body)) return false;
    const std::int32_t continueTarget = CodeLength();
    std::int32_t lastEnd = 0;
    std::int32_t lastField = -1;
    if (!endsBeforeWrapping) {
      // The variable's last value ends the loop here, before the step wraps it around.
      if (!MakeAddressable(variable, nullptr)) return false;
      ValuePtr last = MakeConstant(variable->pos, IntegerValue(type->baseType, LastOfKind(type->baseType, up)));
      Emit(image::OpCompare);
      Emit(static_cast<std::uint8_t>(image::CompareOp::Equal));
      if (!EmitRequiredOperand(*flag, false) || !EmitRequiredOperand(*variable, false) ||
          !EmitRequiredOperand(*last, true))
        return false;
      ReleaseAddressable(variable);
      lastField = EmitConditionalJump(image::OpJumpIfTrue, *flag, lastEnd);
      if (lastField < 0) return Fail(ecInternalError, "00017");
    }
    if (!MakeAddressable(variable, nullptr)) return false;
    Emit(up ? image::OpIncrement : image::OpDecrement);
    if (!EmitRequiredOperand(*variable, false)) return false;
    ReleaseAddressable(variable);
    EmitJump(image::OpGoto, loopStart);
    const std::int32_t loopEnd = CodeLength();
    PatchJump(exitField, exitEnd, loopEnd);
    if (lastField >= 0) PatchJump(lastField, lastEnd, loopEnd);
    PatchLoopExits(scope.loop, loopEnd, continueTarget);
  }
  FreeTemp();
  return CheckJumpsInRange(exitEnd, CodeLength());
}

// The test of one case branch: label = selector {OR label = selector}
ValuePtr Compilation::ParseCaseLabels(const TPSValueVar& selector) {
  ValuePtr test;
  for (;;) {
    ValuePtr label = ParseExpression();
    if (label == nullptr) return nullptr;
    const TPSSourcePosition at = label->pos;
    ValuePtr compare = NewNode<TPSBinValueOp>(
        at, otEqual, std::move(label), NewNode<TPSValueVar>(selector.kind, at, selector.index), boolean_);
    if (test == nullptr) test = std::move(compare);
    else test = NewNode<TPSBinValueOp>(at, otOr, std::move(test), std::move(compare), boolean_);
    if (test->depth > kMaxExpressionDepth) return FailNull(ecNestingTooDeep);
    if (script_.TokenKind() == tokenizer::tokColon) break;
    if (script_.TokenKind() != tokenizer::tokComma) return FailNull(ecColonExpected);
    script_.Next();
  }
  script_.Next();
  return test;
}

// branch: expression {',' expression} ':' statement; tested in source order, and a branch that
// ran jumps to the end of the case statement.
bool Compilation::CompileCaseBranch(const TPSValueVar& selector, ValuePtr& flag, std::vector<std::int32_t>& toEnd) {
  ValuePtr test = ParseCaseLabels(selector);
  if (test == nullptr || !EmitValueInto(test, flag)) return false;
  std::int32_t nextEnd = 0;
  const std::int32_t nextField = EmitConditionalJump(image::OpJumpIfFalse, *flag, nextEnd);
  if (nextField < 0) return Fail(ecInternalError, "00017");
  TPSBlockInfo branch;
  branch.kind = BlockKind::OneStatementElse;
  if (!CompileBlock(branch)) return false;
  toEnd.push_back(EmitForwardJump(image::OpGoto));
  PatchJump(nextField, nextEnd, CodeLength());
  if (script_.TokenKind() == tokenizer::tokSemicolon) script_.Next();
  return true;
}

// else-part: ELSE statement [';'], then END must follow
bool Compilation::CompileCaseElse() {
  script_.Next();
  TPSBlockInfo elsePart;
  elsePart.kind = BlockKind::OneStatement;
  if (!CompileBlock(elsePart)) return false;
  if (script_.TokenKind() == tokenizer::tokSemicolon) script_.Next();
  return script_.TokenKind() == tokenizer::tokEnd || Fail(ecEndExpected);
}

// A break or continue inside the case statement leaves its two temporaries on the stack; its
// jump pops them.
void Compilation::PopCaseTemporariesOnLoopExits() {
  if (loop_ == nullptr) return;
  for (JumpList* list : {&loop_->breaks, &loop_->continues}) {
    for (const LoopJump& jump : *list) {
      if (jump.caseDepth == openCases_)
        Code()[static_cast<std::size_t>(jump.end - 5)] = static_cast<char>(image::OpPop2Jump);
    }
  }
}

// case-statement: CASE expression OF branch {';' branch} [ELSE statement [';']] END
bool Compilation::CompileCase() {
  AddDebugRecord();
  script_.Next();
  ValuePtr selectorValue = ParseExpression();
  if (selectorValue == nullptr) return false;
  if (script_.TokenKind() != tokenizer::tokOf) return Fail(ecOfExpected);
  script_.Next();
  TPSType* selectorType = ValueType(*selectorValue);
  if (selectorType == nullptr) return FailAt(selectorValue->pos, ecTypeMismatch);
  ValuePtr selector = PushTemp(selectorType);
  if (!EmitValueInto(selectorValue, selector)) return false;
  ValuePtr flag = PushTemp(boolean_);
  const std::int32_t rangeStart = CodeLength();
  std::vector<std::int32_t> toEnd;
  ++openCases_;
  struct CaseCount {
    int& n;
    ~CaseCount() { --n; }
  } caseCount{openCases_};
  while (script_.TokenKind() != tokenizer::tokEnd) {
    if (script_.TokenKind() == tokenizer::tokElse) {
      if (!CompileCaseElse()) return false;
      break;
    }
    if (!CompileCaseBranch(AsVar(*selector), flag, toEnd)) return false;
  }
  script_.Next();
  for (std::int32_t field : toEnd) PatchJump(field, field + 4, CodeLength());
  FreeTemp();
  FreeTemp();
  PopCaseTemporariesOnLoopExits();
  return CheckJumpsInRange(rangeStart, CodeLength());
}

// A record variable is worked on in place, through a pointer temporary, so that what the
// statement writes to its fields stays written; other values (a call's result, a class
// reference) are copied into a temporary of their own type.
ValuePtr Compilation::PointTo(ValuePtr& value, TPSType* type) {
  ValuePtr pointer = PushPointerTemp(type);
  if (!MakeAddressable(value, nullptr)) return nullptr;
  Emit(image::OpSetPointer);
  if (!EmitRequiredOperand(*pointer, false) || !EmitRequiredOperand(*value, false)) return nullptr;
  ReleaseAddressable(value);
  return pointer;
}

ValuePtr Compilation::CopyOf(ValuePtr& value, TPSType* type) {
  ValuePtr copy = PushTemp(type);
  if (!EmitValueInto(value, copy)) return nullptr;
  return copy;
}

// with-statement: WITH variable {',' variable} DO statement
bool Compilation::CompileWith() {
  AddDebugRecord();
  // The scopes are open while the list is read, so that each value may name a field of the
  // values before it (with r, Inner do).
  TPSBlockInfo scope;
  scope.kind = BlockKind::OneStatement;
  BlockScope open(*this, scope);
  script_.Next();
  for (;;) {
    if (script_.TokenKind() != tokenizer::tokIdentifier) return Fail(ecIdentifierExpected);
    ValuePtr value = ResolveName(LookupMode::AnyValue);
    if (value == nullptr) return false;
    TPSType* type = ValueType(*value);
    if (type == nullptr || (type->baseType != image::tcRecord && type->baseType != image::tcClass))
      return Fail(ecClassTypeExpected);
    ValuePtr place = type->baseType == image::tcRecord && value->IsVar() ? PointTo(value, type) : CopyOf(value, type);
    if (place == nullptr) return false;
    const TPSSourcePosition at = value->pos;
    scope.withList.push_back(NewNode<TPSValueReplace>(at, std::move(value), std::move(place)));
    if (script_.TokenKind() == tokenizer::tokDo) break;
    if (script_.TokenKind() != tokenizer::tokComma) return Fail(ecDoExpected);
    script_.Next();
  }
  script_.Next();
  TPSBlockInfo body;
  body.kind = BlockKind::OneStatement;
  if (!CompileBlock(body)) return false;
  for (std::size_t i = 0; i < scope.withList.size(); ++i) FreeTemp();
  return true;
}

// try-statement: TRY statements (EXCEPT statements [FINALLY statements]
//                                | FINALLY statements [EXCEPT statements]) END
bool Compilation::CompileTry() {
  script_.Next();
  Emit(image::OpPushHandler);
  const std::int32_t fields = CodeLength();
  for (int i = 0; i < 4; ++i) image::AppendI32(Code(), -1);
  const std::int32_t base = CodeLength();
  struct TryScope {
    std::vector<TryContext>& tries;
    ~TryScope() { tries.pop_back(); }
  } scope{tries_};
  tries_.push_back({block_->proc->locals.size(), openCases_, image::HandlerEndKind::EndTry});
  auto setField = [&](int index) { PatchU32(fields + 4 * index, static_cast<std::uint32_t>(CodeLength() - base)); };
  auto handlerPart = [&](int field, image::HandlerEndKind end) {
    setField(field);
    tries_.back().part = end;
    script_.Next();
    TPSBlockInfo part;
    part.kind = BlockKind::HandlerPart;
    if (!CompileBlock(part)) return false;
    Emit(image::OpPopHandler);
    Emit(static_cast<std::uint8_t>(end));
    return true;
  };
  TPSBlockInfo tryPart;
  tryPart.kind = BlockKind::TryPart;
  if (!CompileBlock(tryPart)) return false;
  Emit(image::OpPopHandler);
  Emit(static_cast<std::uint8_t>(image::HandlerEndKind::EndTry));
  if (script_.TokenKind() == tokenizer::tokExcept) {
    if (!handlerPart(1, image::HandlerEndKind::EndExcept)) return false;
    if (script_.TokenKind() == tokenizer::tokFinally && !handlerPart(2, image::HandlerEndKind::EndSecondFinally))
      return false;
  } else {
    if (!handlerPart(0, image::HandlerEndKind::EndFinally)) return false;
    if (script_.TokenKind() == tokenizer::tokExcept && !handlerPart(1, image::HandlerEndKind::EndExcept)) return false;
  }
  if (script_.TokenKind() != tokenizer::tokEnd) return Fail(ecEndExpected);
  script_.Next();
  setField(3);
  // A goto may not enter or leave a try statement: its handler frame would be missing or left.
  // The range starts after OpPushHandler and ends before the next statement, so that gotos and
  // labels right before or after the statement count as outside.
  return CheckJumpsInRange(base, CodeLength() - 1);
}

// goto-statement: GOTO label
bool Compilation::CompileGoto() {
  AddDebugRecord();
  script_.Next();
  if (script_.TokenKind() != tokenizer::tokIdentifier) return Fail(ecIdentifierExpected);
  std::optional<std::size_t> label = FindLabel(script_.TokenKey());
  if (!label) return Fail(ecUnknownIdentifier, script_.RawToken());
  const std::int32_t field = EmitForwardJump(image::OpGoto);
  block_->proc->gotos.push_back({field + 4, *label});
  script_.Next();
  return true;
}

// No goto may enter or leave the code range [from, to] of a loop, case or try statement.
bool Compilation::CheckJumpsInRange(std::int32_t from, std::int32_t to) {
  TPSInternalProcedure& proc = *block_->proc;
  proc.jumpRanges.push_back({from, to});
  return GotosStayInRange(proc, from, to) || Fail(ecInvalidJump);
}

bool Compilation::GotosStayInRange(const TPSInternalProcedure& proc, std::int32_t from, std::int32_t to) {
  auto inside = [&](std::int32_t at) { return at >= from && at <= to; };
  for (const TPSGoto& jump : proc.gotos)
    if (inside(jump.position) != inside(proc.labels[jump.label].position)) return false;
  return true;
}

bool Compilation::ResolveGotos(TPSInternalProcedure& proc) {
  for (const TPSLabel& label : proc.labels)
    if (label.position < 0) return Fail(ecLabelNotDefined, label.name.upper);
  // Gotos written after a loop or case may still jump into it; check them with final positions.
  for (const auto& [from, to] : proc.jumpRanges)
    if (!GotosStayInRange(proc, from, to)) return Fail(ecInvalidJump);
  for (const TPSGoto& jump : proc.gotos)
    engine::image::PatchU32(proc.code, static_cast<std::size_t>(jump.position - 4),
                     static_cast<std::uint32_t>(proc.labels[jump.label].position - jump.position));
  return true;
}

}  // namespace dravik::engine::compiler

#pragma once
// One running compilation: the tables of types, constants, variables and routines, and the
// phases that fill them, from declarations to code. It exists only while Compile runs; freeing
// it frees everything the compilation made except messages and output.
//
// The phases live in their own files: registration (compilation.cpp), standard types
// (standard_types.cpp), declaration texts (declaration_texts.cpp), type/const/var sections
// (declarations.cpp), constant expressions (constant_expression.cpp), program structure and the
// main block (program_reader.cpp), a routine from its heading to its finished body
// (routines.cpp), expressions (expressions.cpp, name_resolution.cpp), type rules
// (type_rules.cpp), folding (constant_folding.cpp), code generation (code_generator.cpp),
// statements (statements.cpp) and the image (image_writer.cpp).

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/compiler/compiler.h"
#include "engine/compiler/routines.h"
#include "engine/compiler/types.h"
#include "engine/compiler/operator_tokens.h"
#include "engine/compiler/values.h"
#include "engine/names/name_index.h"
#include "engine/tokenizer/tokenizer.h"

namespace dravik::engine::compiler {

// How deeply the parsers may recurse (parentheses, nested statements, nested type
// expressions) and how tall an expression tree may grow. Beyond either the compilation fails
// with "Nesting too deep" instead of exhausting the native stack.
inline constexpr int kMaxNestingDepth = 200;
inline constexpr std::uint32_t kMaxExpressionDepth = 400;

// The entries one walk over a tree puts on a stack that the compilation keeps for such walks:
// walks of the trees nested in it stack their entries above and take them off again as they
// end, so that no walk needs a list of its own. An entry is reached by its index, which stays
// valid while nested walks come and go.
template <typename Entry>
class StackSpan {
 public:
  explicit StackSpan(std::vector<Entry>& stack) : stack_(stack), base_(stack.size()) {}
  ~StackSpan() { stack_.resize(base_); }
  StackSpan(const StackSpan&) = delete;
  StackSpan& operator=(const StackSpan&) = delete;

  // Only while no nested walk has entries on the stack.
  void push_back(Entry entry) { stack_.push_back(entry); }
  std::size_t size() const { return stack_.size() - base_; }
  bool empty() const { return size() == 0; }
  Entry operator[](std::size_t i) const { return stack_[base_ + i]; }
  Entry back() const { return (*this)[size() - 1]; }

 private:
  std::vector<Entry>& stack_;
  std::size_t base_;
};

enum class BlockKind : std::uint8_t {
  MainBody = 0, RoutineBody = 1, BeginEnd = 2, OneStatement = 3, OneStatementElse = 4,
  Repeat = 5, TryPart = 6, HandlerPart = 7,
};

struct TPSBlockInfo {
  TPSBlockInfo* parent = nullptr;
  std::vector<std::unique_ptr<TPSValueReplace>> withList;
  std::int32_t procNo = 0;
  TPSInternalProcedure* proc = nullptr;
  BlockKind kind = BlockKind::MainBody;
};

// A pending break or continue jump: the position just after its displacement field, and the
// depth of the case statement whose end makes it pop that case's two temporaries (0: none).
struct LoopJump {
  std::int32_t end = 0;
  int caseDepth = 0;
};
using JumpList = std::vector<LoopJump>;

// An open try statement: what the stack held when it began, and the part being compiled, named
// by the handler-end kind that ends it.
struct TryContext {
  std::size_t localsAtStart = 0;
  int casesAtStart = 0;
  image::HandlerEndKind part = image::HandlerEndKind::EndTry;
};

enum class LookupMode : std::uint8_t { AnyValue = 0, VariableOnly = 1, StatementStart = 2 };

// Written in every forward jump's displacement until it is patched.
inline constexpr std::uint32_t kJumpPlaceholder = 0x12345678;

// Which global tables IsDuplicateGlobalName looks a new name up in.
struct GlobalTables {
  bool types = false;
  bool routines = false;  // declared or referred to
  bool variables = false;
  bool constants = false;
};

struct LoopContext;
struct RoutineHeader;

class Compilation {
 public:
  Compilation(TPSPascalCompiler& owner, tokenizer::TPSPascalParser& script);

  // The whole compilation after SetText (program_reader.cpp); true when the image was written.
  bool Run();
  bool ErrorReported() const { return errorReported_; }
  // The script tokenizer's lexical errors arrive here.
  void ReportLexicalError(tokenizer::TPSParserErrorKind kind);

  // --- messages (compilation.cpp)
  // Reports an error at the script tokenizer's position when p is the script tokenizer; a
  // private tokenizer only fails. Only the first error of a compilation is kept. Answers false.
  bool Fail(const tokenizer::TPSPascalParser& p, std::uint8_t code, std::string_view detail = {});
  bool Fail(std::uint8_t code, std::string_view detail = {}) { return Fail(script_, code, detail); }
  // Fail for readers that answer a type or a node, which answer none after an error.
  std::nullptr_t FailNull(const tokenizer::TPSPascalParser& p, std::uint8_t code, std::string_view detail = {}) {
    Fail(p, code, detail);
    return nullptr;
  }
  std::nullptr_t FailNull(std::uint8_t code, std::string_view detail = {}) { return FailNull(script_, code, detail); }
  bool FailAt(TPSSourcePosition at, std::uint8_t code, std::string_view detail = {});
  void WarnAt(TPSSourcePosition at, std::uint8_t code, std::string detail);
  void HintAt(std::int32_t row, std::int32_t col, std::int32_t pos, std::uint8_t code, std::string detail);
  TPSSourcePosition Here() const;

  // --- types and constants (compilation.cpp)
  TPSType* AddType(std::string_view name, image::TPSTypeCode code);
  TPSType* AppendType(std::unique_ptr<TPSType> type);
  TPSType* AddTypeAlias(std::string_view name, TPSType* existing);
  TPSConstant* AddConstant(std::string_view name, TPSType* type);
  TPSInterfaceType* AddInterfaceType(TPSInterfaceType* parent, std::string_view guid, std::string_view name);
  TPSInterfaceType* FindInterfaceType(std::string_view name);
  TPSType* FindType(names::NameKey name) const;        // newest first
  TPSType* FindTypeOldest(names::NameKey name) const;  // oldest first
  TPSType* FindBaseType(image::TPSTypeCode code);
  TPSType* UseType(TPSType* type);
  TPSType* TypeFromDeclaration(std::string_view name, std::string_view declaration);
  TPSConstant* FindConstant(names::NameKey name) const;  // newest first
  std::optional<std::size_t> FindGlobal(names::NameKey name) const;

  // --- routines (routine_table.cpp, declaration_texts.cpp)
  TPSRegProc* AppendRegProc(std::unique_ptr<TPSRegProc> proc);
  TPSRegProc* AddHostRoutine(std::string_view declaration);
  TPSRegProc* AddBuiltinRoutine(std::string_view declaration);
  TPSRegProc* FindRegProc(names::NameKey name) const;
  // A routine the script may call, entering a registered one into the routine list.
  std::optional<std::uint32_t> FindProc(names::NameKey name);
  // A routine already in the routine list (declared or referred to).
  std::optional<std::uint32_t> FindListedProc(names::NameKey name) const;
  std::uint32_t AppendProc(std::unique_ptr<TPSProcedure> proc);
  TPSProcedure& Proc(std::uint32_t number) { return *procs_[number]; }

  // --- standard types and the runtime library (standard_types.cpp)
  void RegisterStandardTypes();
  void DeclareBuiltinRoutines();

  // --- declarations (declarations.cpp)
  TPSType* ReadType(tokenizer::TPSPascalParser& p, std::string_view declaredName);
  // ':' type, as variables, parameters and function results declare it; the type, marked as
  // used, or nothing after a reported error.
  TPSType* ReadTypeAfterColon();
  bool ReadTypeSection();
  bool ReadConstSection();
  // With a routine the variables are its locals, else globals.
  bool ReadVarSection(TPSInternalProcedure* routine, std::int32_t procNo);
  bool ReadAttributes(TPSAttributes& into);
  // Whether name is Result or is taken in one of the tables.
  bool IsDuplicateGlobalName(const TPSName& name, GlobalTables tables) const;

  // --- constant expressions of declarations (constant_expression.cpp) and literals (literals.cpp)
  std::optional<TPSTypedValue> ReadConstant(tokenizer::TPSPascalParser& p);
  std::optional<TPSTypedValue> ReadIntegerToken(const tokenizer::TPSPascalParser& p);
  std::optional<TPSTypedValue> ReadRealToken(const tokenizer::TPSPascalParser& p);
  std::optional<TPSTypedValue> ReadStringLiteral(tokenizer::TPSPascalParser& p);
  TPSTypedValue IntegerValue(image::TPSTypeCode code, std::int64_t value);
  TPSTypedValue BooleanValue(bool value);

  // --- constant folding (constant_folding.cpp)
  bool EvalConstBinary(TPSTypedValue& left, const TPSTypedValue& right, TPSBinOperator op,
                       const tokenizer::TPSPascalParser& p);
  bool EvalConstUnary(TPSTypedValue& value, TPSUnOperator op, TPSType* resultType, const tokenizer::TPSPascalParser& p);
  // What folding node over its two constants gives in reals, for a node that may carry a '/' of
  // integers into a real (HoldsRealDivision); nothing for any other node.
  std::optional<long double> RealFold(const TPSBinValueOp& node, const TPSValueData& left,
                                      const TPSValueData& right);

  // --- type rules (type_rules.cpp)
  TPSType* ValueType(const TPSValue& value);
  TPSType* BinaryResultType(TPSValue& left, TPSValue& right, TPSBinOperator op);
  bool AssignCompatible(TPSType* target, TPSType* source, bool cast);
  bool ValueAssignable(TPSValue& target, TPSValue& source);
  bool IsBooleanType(const TPSType* type) const;

  // --- expressions (expressions.cpp, name_resolution.cpp)
  // A value node in this compilation's pool.
  template <typename Node, typename... Args>
  std::unique_ptr<Node> NewNode(Args&&... args) {
    return std::unique_ptr<Node>(new (nodes_) Node(std::forward<Args>(args)...));
  }
  ValuePtr ParseExpression();
  ValuePtr ResolveName(LookupMode mode);

  // --- code generation (code_generator.cpp)
  // Temporaries are slots on the running routine's stack, and the machine can only pop the
  // newest: they are freed newest first, so whoever makes a temporary frees it only after
  // everything made since has been freed, and values made addressable are released in the
  // reverse order of making. A false answer from EmitValueInto, EmitCall or MakeAddressable
  // means an error has been reported and the compilation is over: its code is never used, so
  // the stack and the value trees are left as they are and nothing needs releasing or freeing.
  //
  // Computes value and writes it into destination, a variable (made addressable or not).
  // Reports a type mismatch when value cannot be assigned to it. Writes nothing when both name
  // the same place. The destination is written once, after the whole value is computed, unless
  // it is a plain temporary of the compiler's own, which is computed in place. Leaves the stack
  // and destination as they were; value is emitted once and its tree may have changed, so it is
  // not emitted again.
  bool EmitValueInto(ValuePtr& value, ValuePtr& destination);
  // Calls a routine with call's arguments, each put in a temporary of its own (a pointer to the
  // variable for a by-reference one) and all freed after the call. Without a destination a
  // function's result is dropped; with one the call must be a function (else "no result" is
  // reported) and its result goes into *destination: directly when the types are the same, so
  // the caller makes sure nothing the call runs can see that place (EmitValueInto passes only its
  // own temporaries), else through a temporary and EmitValueInto. A field or element selected
  // from the result is not applied here. Leaves the stack as it was.
  bool EmitCall(TPSValueProc& call, ValuePtr* destination);
  // Turns value into a direct operand, which EmitOperand can write (a constant only where
  // constants are allowed): a computation, call, nil or bracket list is computed into a
  // temporary, a variable with a computed access path is reached through a pointer temporary,
  // and the value becomes a stand-in node for the temporary that keeps the original tree.
  // Constants and plain variables stay as they are. expected is the type the value is wanted in;
  // nil, @routine and bracket lists take their type from it and without it are a type mismatch;
  // other values ignore it. Each call needs one ReleaseAddressable of the same value; until then
  // the temporaries it made stay on the stack. A value already made addressable is only counted
  // again, so it may be made addressable twice and released twice.
  bool MakeAddressable(ValuePtr& value, TPSType* expected);
  // Undoes one MakeAddressable of value: the last one frees its temporaries (newest first) and
  // gives the value its original tree back. Does nothing to a value MakeAddressable left as it
  // was.
  void ReleaseAddressable(ValuePtr& value);
  // Writes value as an operand of the instruction just emitted; false (nothing reported) for a
  // value that is not a direct operand, or a constant where none is allowed or none can be
  // written.
  bool EmitOperand(const TPSValue& value, bool constantsAllowed);
  // Pushes a temporary of type (not null), marked as used, onto the current routine's stack and
  // answers a variable naming it; the caller frees it with FreeTemp, unless it hands it to a
  // stand-in node, whose ReleaseAddressable frees it.
  ValuePtr PushTemp(TPSType* type);
  // A pointer temporary to a variable of pointee type, freed as PushTemp's; a write through it
  // may reach any variable.
  ValuePtr PushPointerTemp(TPSType* pointee);
  // Frees the newest temporary.
  void FreeTemp();

  // --- statements (statements.cpp)
  bool CompileBlock(TPSBlockInfo& block);
  void AddDebugRecord();

 private:
  friend class NestingGuard;
  friend class BlockScope;
  friend class LoopScope;

  // compilation.cpp
  // Steps past the '(' of a parameter or argument list and answers whether an item follows; a
  // list left out, or written "()" (stepped past too), has none.
  bool OpenNonEmptyList();

  // program_reader.cpp
  bool ReadTopLevel();
  bool TakeFinalPeriod();
  bool ReadUses();
  bool CompileMainBody();
  bool Finish();

  // routines.cpp, in the order a routine is read
  bool ReadRoutineDeclaration(bool headerOnly, TPSAttributes attributes);
  bool ReadRoutineHeader(RoutineHeader& header);
  bool ReadRoutineParams(TPSParametersDecl& decl, const TPSName& routineName,
                         const TPSInternalProcedure* forward);
  bool ReadExternalRoutine(RoutineHeader& header);
  bool DeclareForward(RoutineHeader& header, bool headerOnly);
  std::uint32_t AppendScriptRoutine(RoutineHeader& header, bool isForward);
  bool ReadRoutineBodyPrelude(TPSInternalProcedure& proc, std::int32_t procNo);
  // The main block's labels too.
  bool ReadLabelSection(TPSInternalProcedure& routine, std::int32_t procNo);
  bool CompileRoutineBody(TPSInternalProcedure& proc, std::int32_t procNo);
  void HintUnusedLocals(const TPSInternalProcedure& proc);
  static void ReleaseSpareRoom(TPSInternalProcedure& proc);

  // declaration_texts.cpp
  bool ReadProcDeclHeader(tokenizer::TPSPascalParser& p, TPSRegProc& into, std::string& nameRead);
  TPSType* ReadDeclParamType(tokenizer::TPSPascalParser& p, bool& untyped);
  TPSType* OpenArrayType(TPSType* element);

  // declarations.cpp
  TPSType* NewNamedType(tokenizer::TPSPascalParser& p, std::unique_ptr<TPSType> type, std::string_view name);
  TPSType* ReadEnumType(tokenizer::TPSPascalParser& p, std::string_view declaredName);
  TPSType* ReadArrayType(tokenizer::TPSPascalParser& p, std::string_view declaredName);
  TPSType* ReadProceduralType(tokenizer::TPSPascalParser& p, std::string_view declaredName);
  TPSType* ReadRecordType(tokenizer::TPSPascalParser& p, std::string_view declaredName);
  TPSType* ReadSetType(tokenizer::TPSPascalParser& p, std::string_view declaredName);
  std::optional<std::int64_t> ReadArrayBound(tokenizer::TPSPascalParser& p);
  bool IsDuplicateVariable(const TPSName& name, const std::vector<TPSName>& group,
                           const TPSInternalProcedure* routine) const;
  void DeclareVariable(TPSVar var, TPSInternalProcedure* routine, std::int32_t procNo);

  // expressions.cpp
  ValuePtr ParseRelation();
  ValuePtr ParseSum();
  ValuePtr ParseProduct();
  ValuePtr ParseLevel(ValuePtr (Compilation::*operand)(), OperatorLevel level);
  ValuePtr ParseFactor();
  ValuePtr ParseBracketList();
  ValuePtr ParseAddressOf();
  ValuePtr ParseChrOrd();
  ValuePtr ParseSuccPred();
  ValuePtr ParseAssigned();
  ValuePtr ParseParenthesized();
  ValuePtr MakeBinary(TPSSourcePosition at, TPSBinOperator op, ValuePtr left, ValuePtr right, bool slash);
  ValuePtr MakeUnary(TPSSourcePosition at, TPSUnOperator op, ValuePtr operand, TPSType* type);
  ValuePtr MakeConstant(TPSSourcePosition at, TPSTypedValue value);
  void WarnConstantLogic(TPSBinOperator op, const TPSValue& left, const TPSValue& right);
  bool FoldConstants(ValuePtr& value);

  // name_resolution.cpp
  ValuePtr ResolveWithField(names::NameKey name, TPSSourcePosition at);
  ValuePtr ParseTypeUse(TPSType* type, TPSSourcePosition at);
  TPSType* TypeValueType();
  ValuePtr ParseSuffixes(ValuePtr value);
  bool SelectField(TPSSelectors& selectors, TPSRecordType& record);
  bool SelectElement(TPSSelectors& selectors, TPSArrayType& array);
  ValuePtr ParseStringIndex(ValuePtr text);
  ValuePtr ParseProceduralCall(ValuePtr procValue, TPSProceduralType& type);
  bool ParseArguments(TPSValueProc& call);
  bool MatchArguments(TPSValueProc& call, const TPSParametersDecl& decl);
  TPSType* ByReferenceType(const TPSParameterDecl& param, TPSValue& argument);

  // code_generator.cpp
  void Emit(std::uint8_t byte) { Code().push_back(static_cast<char>(byte)); }
  void EmitU32(std::uint32_t value);
  void EmitWithU32(std::uint8_t byte, std::uint32_t value);
  std::int32_t CodeLength() { return static_cast<std::int32_t>(Code().size()); }
  void PatchU32(std::int32_t at, std::uint32_t value);
  std::string& Code() { return block_->proc->code; }
  std::uint32_t VariableNumber(const TPSValueVar& var) const;
  bool EmitConstantBytes(const TPSTypedValue& value);
  bool EmitRequiredOperand(const TPSValue& value, bool constantsAllowed);
  void Replace(ValuePtr& value, ValuePtr replacement);
  bool EmitNil(ValuePtr& variable, TPSSourcePosition nilAt);
  bool MakeListAddressable(ValuePtr& value, TPSType* expected);
  bool MakeVarAddressable(ValuePtr& value);
  bool MakeCallPartAddressable(ValuePtr& value);
  bool EmitThroughTemp(ValuePtr& value, ValuePtr& destination, TPSType* type);
  bool IsOwnTemporary(const TPSValue& value) const;
  TPSType* ComputationType(const TPSBinValueOp& node, TPSType* destination);
  using OperatorRun = StackSpan<TPSBinValueOp*>;
  void RunOf(TPSBinValueOp& top, const TPSType* type, OperatorRun& run);
  bool RunIsUnseen(TPSBinValueOp& top, const TPSValue& destination);
  bool UnaryIsUnseen(const TPSUnValueOp& node, const TPSValue& destination);
  enum class Storage : std::uint8_t { None, Own, Global, ByReference, Pointer };
  Storage StorageOf(const TPSValue& value) const;
  bool MayAlias(const TPSValue& a, const TPSValue& b) const;
  void TakeRealValue(ValuePtr& value, const TPSType* destination);
  bool EmitRun(TPSBinValueOp& top, ValuePtr& destination);
  bool EmitOperator(TPSBinValueOp& node, ValuePtr& destination);
  bool MakeOperandAddressable(ValuePtr& operand, TPSType* type);
  bool EmitComparison(TPSBinValueOp& node, ValuePtr& destination);
  static std::uint8_t CompareOpOf(TPSBinOperator op);
  bool EmitUnary(TPSUnValueOp& node, ValuePtr& destination);
  bool EmitArgument(TPSParameter& argument);

  // statements.cpp
  bool CloseBody(BlockKind kind);
  bool CompileStatement();
  bool CompileIdentifierStatement(bool& wasLabel);
  bool CompileLoopExit(bool isBreak);
  bool CompileIf();
  bool CompileWhile();
  bool CompileRepeat();
  bool CompileFor();
  bool CompileCase();
  bool CompileCaseBranch(const TPSValueVar& selector, ValuePtr& flag, std::vector<std::int32_t>& toEnd);
  bool CompileCaseElse();
  void PopCaseTemporariesOnLoopExits();
  ValuePtr ParseCaseLabels(const TPSValueVar& selector);
  ValuePtr PointTo(ValuePtr& value, TPSType* type);
  ValuePtr CopyOf(ValuePtr& value, TPSType* type);
  bool CompileWith();
  bool CompileTry();
  bool CompileGoto();
  std::optional<std::size_t> FindLabel(names::NameKey name) const;
  std::int32_t EmitJump(image::Opcode op, std::int32_t target);
  std::int32_t EmitForwardJump(image::Opcode op);
  std::int32_t EmitConditionalJump(image::Opcode op, const TPSValue& operand, std::int32_t& end);
  void PatchJump(std::int32_t field, std::int32_t instructionEnd, std::int32_t target);
  void PatchLoopExits(const LoopContext& loop, std::int32_t breakTarget, std::int32_t continueTarget);
  bool CheckJumpsInRange(std::int32_t from, std::int32_t to);
  static bool GotosStayInRange(const TPSInternalProcedure& proc, std::int32_t from, std::int32_t to);
  bool ResolveGotos(TPSInternalProcedure& proc);

  // image_writer.cpp
  bool WriteImage();
  void WriteCode(std::string& image, const std::vector<std::size_t>& codeFields);
  void WriteRoutineDebugRecord(const TPSInternalProcedure& proc, std::uint32_t procNo);
  void WriteNamesDebugRecord();

  // Declared first, so that it goes last, after anything that could hold a node.
  NodePool nodes_;
  TPSPascalCompiler& owner_;
  tokenizer::TPSPascalParser& script_;

  std::vector<std::unique_ptr<TPSType>> types_;  // every type made, in creation order
  names::NameIndex typeIndex_;
  std::vector<std::unique_ptr<TPSConstant>> constants_;
  names::NameIndex constantIndex_;
  std::vector<TPSVar> globals_;
  names::NameIndex globalIndex_;
  std::vector<std::unique_ptr<TPSRegProc>> regProcs_;
  names::NameIndex regProcIndex_;
  std::vector<std::unique_ptr<TPSProcedure>> procs_;  // index = routine number
  names::NameIndex procIndex_;
  std::array<TPSType*, 256> baseTypes_{};  // FindBaseType's answers by plain code
  std::vector<TPSInterfaceType*> interfaces_;
  std::vector<std::string> usedUnits_;
  std::int32_t typeCounter_ = 0;
  TPSType* boolean_ = nullptr;
  TPSType* typeValueType_ = nullptr;
  bool unitFlag_ = false;
  bool errorReported_ = false;
  bool lexicalErrorsIgnored_ = false;
  int nesting_ = 0;

  TPSBlockInfo* block_ = nullptr;  // innermost block being compiled
  LoopContext* loop_ = nullptr;    // innermost loop, none outside loops
  int openCases_ = 0;
  std::vector<TryContext> tries_;  // open try statements of the routine, innermost last
  std::vector<TPSBinValueOp*> runStack_;  // for OperatorRun
  std::vector<ValuePtr*> foldStack_;      // for FoldConstants' runs
};

// Counts one level of parser recursion for as long as it lives; Enter reports the limit.
class NestingGuard {
 public:
  explicit NestingGuard(Compilation& c) : c_(c) { ++c_.nesting_; }
  ~NestingGuard() { --c_.nesting_; }
  NestingGuard(const NestingGuard&) = delete;
  NestingGuard& operator=(const NestingGuard&) = delete;
  // False (after reporting through p) when the limit is passed.
  bool Ok(const tokenizer::TPSPascalParser& p) {
    return c_.nesting_ <= kMaxNestingDepth || c_.Fail(p, ecNestingTooDeep);
  }

 private:
  Compilation& c_;
};

}  // namespace dravik::engine::compiler

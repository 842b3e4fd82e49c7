// Code for value trees: operands, temporaries, computing a value into a destination, calls.
// What each entry point promises is written where compilation.h declares it.

#include <algorithm>
#include <array>
#include <cstring>

#include "engine/compiler/compilation.h"
#include "engine/image/byte_writer.h"

namespace dravik::engine::compiler {

namespace {

// Whether a binary node may be computed right in its destination. In a narrower integer
// (b := n shr 8) or in a real where the node is an integer (r := i div j) the operator would see
// other values or change its meaning, so such a node goes through a temporary of its own type;
// a wider destination of the same family keeps the widening that n := b * 100 relies on.
bool DestinationCarries(const TPSType* destination, const TPSType* node) {
  if (destination == node || destination == nullptr || node == nullptr) return true;
  const bool integerNode = IsIntegerCode(node->baseType);
  if (!integerNode && !IsRealCode(node->baseType)) return true;
  const bool sameFamily = integerNode ? IsIntegerCode(destination->baseType)
                                      : IsRealCode(destination->baseType);
  return sameFamily &&
         image::FindTypeCode(destination->baseType)->valueSize >= image::FindTypeCode(node->baseType)->valueSize;
}

constexpr std::uint32_t kFirstLocalVariable = image::kFrameBaseVariable + 1;
constexpr std::uint32_t kFirstParamVariable = image::kFrameBaseVariable - 1;

const TPSValue& Unwrapped(const TPSValue& value) {
  if (value.kind == ValueKind::Replace) return Unwrapped(*static_cast<const TPSValueReplace&>(value).newValue);
  return value;
}

bool IsPlainVar(const TPSValue& value) {
  const TPSValue& v = Unwrapped(value);
  return v.IsVar() && static_cast<const TPSValueVar&>(v).selectors.empty();
}

bool SameLocation(const TPSValue& a, const TPSValue& b) {
  const TPSValue& x = Unwrapped(a);
  const TPSValue& y = Unwrapped(b);
  if (!x.IsVar() || !y.IsVar() || x.kind != y.kind) return false;
  const auto& vx = static_cast<const TPSValueVar&>(x);
  const auto& vy = static_cast<const TPSValueVar&>(y);
  if (vx.index != vy.index || vx.selectors.size() != vy.selectors.size()) return false;
  for (std::size_t i = 0; i < vx.selectors.size(); ++i) {
    if (!vx.selectors[i]->IsNumber() || !vy.selectors[i]->IsNumber()) return false;
    if (static_cast<const TPSSubNumber&>(*vx.selectors[i]).number !=
        static_cast<const TPSSubNumber&>(*vy.selectors[i]).number)
      return false;
  }
  return true;
}

// What a value was before temporaries stood in for it.
const TPSValue& Original(const TPSValue& value) {
  if (value.kind != ValueKind::Replace) return value;
  const auto& replace = static_cast<const TPSValueReplace&>(value);
  return replace.oldValue != nullptr ? Original(*replace.oldValue) : Unwrapped(value);
}

// The same variable with the same fixed selectors (or one a part of the other), or with an index
// computed at run time on either side, which may select the same element.
bool VariablesOverlap(const TPSValue& x, const TPSValue& y) {
  if (!x.IsVar() || !y.IsVar() || x.kind != y.kind) return false;
  const auto& vx = static_cast<const TPSValueVar&>(x);
  const auto& vy = static_cast<const TPSValueVar&>(y);
  if (vx.index != vy.index) return false;
  const std::size_t common = std::min(vx.selectors.size(), vy.selectors.size());
  for (std::size_t i = 0; i < common; ++i) {
    if (!vx.selectors[i]->IsNumber() || !vy.selectors[i]->IsNumber()) return true;
    if (static_cast<const TPSSubNumber&>(*vx.selectors[i]).number !=
        static_cast<const TPSSubNumber&>(*vy.selectors[i]).number)
      return false;
  }
  return true;
}

// Whether writing one of two locations may change the other, as they stand now or as they were
// written (a destination with a computed index is reached through a pointer temporary).
bool MayShareLocation(const TPSValue& a, const TPSValue& b) {
  return VariablesOverlap(Unwrapped(a), Unwrapped(b)) || VariablesOverlap(Original(a), Original(b));
}

// Whether writing location may change what a direct operand reads: the same variable (or one a
// part of the other), or the variable its computed index is read from.
bool ReadsLocation(const TPSValue& operand, const TPSValue& location) {
  if (MayShareLocation(operand, location)) return true;
  const TPSValue& v = Unwrapped(operand);
  if (!v.IsVar()) return false;
  for (const auto& selector : static_cast<const TPSValueVar&>(v).selectors)
    if (!selector->IsNumber() && MayShareLocation(*static_cast<const TPSSubValue&>(*selector).value, location))
      return true;
  return false;
}

// A constant, or a variable an instruction reaches as it stands (MakeAddressable leaves it).
bool IsDirectOperand(const TPSValue& value) {
  const TPSValue& v = Unwrapped(value);
  if (v.kind == ValueKind::Data) return true;
  if (!v.IsVar()) return false;
  const auto& var = static_cast<const TPSValueVar&>(v);
  if (var.selectors.size() > 1) return false;
  return var.selectors.empty() || var.selectors[0]->IsNumber() ||
         IsPlainVar(*static_cast<const TPSSubValue&>(*var.selectors[0]).value);
}

// A constant or a variable without selectors: reading it cannot fail (an element could be out
// of range).
bool IsPlainOperand(const TPSValue& value) {
  return Unwrapped(value).kind == ValueKind::Data || IsPlainVar(value);
}

// Whether the machine's operator can never fail in a destination of this base type: integer
// wrap-around arithmetic and bitwise operations (shift counts are masked), character steps,
// appending to a string, union, difference and intersection of sets (the compiler has checked
// their types). Division, reals (overflow), variants and the rest can.
bool CannotFail(TPSBinOperator op, image::TPSTypeCode destination) {
  if (IsIntegerCode(destination) || destination == image::tcEnum)
    return op != otDiv && op != otMod && op != otAs;
  if (destination == image::tcChar || destination == image::tcWideChar) return op == otAdd || op == otSub;
  if (destination == image::tcSet) return op == otAdd || op == otSub || op == otMul;
  return op == otAdd && (destination == image::tcString || destination == image::tcWideString);
}

// A bracket list that a set operator takes becomes a set constant, which needs no code.
bool IsSetList(const TPSValue& value, image::TPSTypeCode computation) {
  return value.kind == ValueKind::Array && computation == image::tcSet;
}

// Whether a unary operator in place can never fail: not and negation of integers, enumerations
// and floating-point reals (currency and variants can), and any conversion, which is one
// assignment.
bool UnaryCannotFail(const TPSUnValueOp& node, const TPSType* operand) {
  if (node.op == otCast) return true;
  const image::TPSTypeCode code = operand == nullptr ? image::tcTypeLink : operand->baseType;
  return IsIntegerCode(code) || code == image::tcEnum || code == image::tcSingle || code == image::tcDouble ||
         code == image::tcExtended;
}

// Whether an integer computation holds a '/' of integers: itself, in an operand of its run, or
// in a constant folded from one.
bool HoldsRealDivision(const TPSValue& value) {
  const TPSValue* at = &value;
  for (;;) {
    if (at->kind == ValueKind::Data) return static_cast<const TPSValueData&>(*at).realValue.has_value();
    if (at->kind == ValueKind::UnOp) {
      const auto& unary = static_cast<const TPSUnValueOp&>(*at);
      if (unary.op != otMinus || !IsIntegerCode(unary.resultType->baseType)) return false;
      at = unary.operand.get();
      continue;
    }
    if (at->kind != ValueKind::BinOp) return false;
    const auto& node = static_cast<const TPSBinValueOp&>(*at);
    if (!JoinsRealDivision(node)) return false;
    if (node.slash || HoldsRealDivision(*node.right)) return true;
    at = node.left.get();
  }
}

bool IsRealType(const TPSType* type) { return type != nullptr && IsRealCode(type->baseType); }

// Whether an integer value computes as a whole in a real it goes into.
bool ComputesInReal(const TPSValue& value, const TPSType* valueType, const TPSType* destination) {
  return IsRealType(destination) && valueType != nullptr && IsIntegerCode(valueType->baseType) &&
         HoldsRealDivision(value);
}

// A call whose result goes to its destination whole (not a field or element of it).
bool IsCall(const TPSValue& value) {
  return (value.kind == ValueKind::ProcNo || value.kind == ValueKind::ProcVal) &&
         static_cast<const TPSValueProc&>(value).selectors.empty();
}

}  // namespace

void Compilation::EmitU32(std::uint32_t value) { image::AppendU32(Code(), value); }

// An opcode or operand kind with the word that follows it, in one append: the commonest shape
// of the code.
void Compilation::EmitWithU32(std::uint8_t byte, std::uint32_t value) {
  std::array<char, 5> bytes{static_cast<char>(byte)};
  image::PutU32(bytes.data() + 1, value);
  Code().append(bytes.data(), bytes.size());
}

void Compilation::PatchU32(std::int32_t at, std::uint32_t value) {
  engine::image::PatchU32(Code(), static_cast<std::size_t>(at), value);
}

std::uint32_t Compilation::VariableNumber(const TPSValueVar& var) const {
  switch (var.kind) {
    case ValueKind::GlobalVar: return var.index;
    case ValueKind::ParamVar: return kFirstParamVariable - var.index;
    default: return kFirstLocalVariable + var.index;
  }
}

bool Compilation::EmitConstantBytes(const TPSTypedValue& value) {
  std::string& code = Code();
  const image::TPSTypeCode imageCode = ImageTypeCode(*value.type);
  switch (image::ConstantEncodingOf(imageCode)) {
    case image::ConstantEncoding::kFixed: {
      const std::uint32_t width = image::ConstantWidth(imageCode);
      if (imageCode == image::tcSingle || imageCode == image::tcDouble || imageCode == image::tcExtended) {
        char bytes[sizeof(long double)] = {};
        if (imageCode == image::tcSingle) {
          const float f = NarrowReal<float>(value.real);
          std::memcpy(bytes, &f, sizeof f);
        } else if (imageCode == image::tcDouble) {
          const double d = NarrowReal<double>(value.real);
          std::memcpy(bytes, &d, sizeof d);
        } else {
          std::memcpy(bytes, &value.real, sizeof value.real);
        }
        image::AppendBytes(code, std::string_view(bytes, width));
        return true;
      }
      std::array<char, sizeof value.ordinal> bytes;
      image::PutLittleEndian<sizeof value.ordinal>(bytes.data(), value.ordinal);
      image::AppendBytes(code, std::string_view(bytes.data(), width));
      return true;
    }
    case image::ConstantEncoding::kByteString: image::AppendLengthPrefixed(code, value.text); return true;
    case image::ConstantEncoding::kWideString:
      image::AppendU32(code, static_cast<std::uint32_t>(value.wideText.size()));
      for (char16_t c : value.wideText) image::AppendU16(code, c);
      return true;
    case image::ConstantEncoding::kSetBytes: image::AppendBytes(code, value.text); return true;
    default: return false;
  }
}

bool Compilation::EmitOperand(const TPSValue& value, bool constantsAllowed) {
  const TPSValue& v = Unwrapped(value);
  if (v.kind == ValueKind::Data) {
    if (!constantsAllowed) return false;
    const TPSTypedValue& constant = static_cast<const TPSValueData&>(v).value;
    if (image::ConstantEncodingOf(ImageTypeCode(*constant.type)) == image::ConstantEncoding::kNotAllowed) return false;
    EmitWithU32(static_cast<std::uint8_t>(image::OperandKind::kConstant),
                static_cast<std::uint32_t>(UseType(constant.type)->typeNumber));
    return EmitConstantBytes(constant);
  }
  if (!v.IsVar()) return false;
  const auto& var = static_cast<const TPSValueVar&>(v);
  if (var.selectors.empty()) {
    EmitWithU32(static_cast<std::uint8_t>(image::OperandKind::kVariable), VariableNumber(var));
    return true;
  }
  const TPSSubItem& first = *var.selectors.front();
  if (first.IsNumber()) {
    EmitWithU32(static_cast<std::uint8_t>(image::OperandKind::kIndexed), VariableNumber(var));
    EmitU32(static_cast<const TPSSubNumber&>(first).number);
    return true;
  }
  const TPSValue& index = Unwrapped(*static_cast<const TPSSubValue&>(first).value);
  if (!IsPlainVar(index)) return false;
  EmitWithU32(static_cast<std::uint8_t>(image::OperandKind::kIndexedByVar), VariableNumber(var));
  EmitU32(VariableNumber(static_cast<const TPSValueVar&>(index)));
  return true;
}

// An operand the code cannot do without: its failure is an internal fault of the generator.
bool Compilation::EmitRequiredOperand(const TPSValue& value, bool constantsAllowed) {
  return EmitOperand(value, constantsAllowed) || FailAt(value.pos, ecTypeMismatch);
}

ValuePtr Compilation::PushTemp(TPSType* type) {
  type = UseType(type);
  TPSInternalProcedure& proc = *block_->proc;
  TPSVar temp;
  temp.type = type;
  temp.declarationPosition = script_.Position();
  proc.locals.push_back(std::move(temp));
  EmitWithU32(image::OpPushType, static_cast<std::uint32_t>(type->typeNumber));
  return NewNode<TPSValueVar>(ValueKind::AllocatedStackVar, Here(),
                                       static_cast<std::uint32_t>(proc.locals.size() - 1));
}

ValuePtr Compilation::PushPointerTemp(TPSType* pointee) {
  ValuePtr temp = PushTemp(FindBaseType(image::tcPointer));
  block_->proc->locals.back().pointee = pointee;
  return temp;
}

void Compilation::FreeTemp() {
  block_->proc->locals.pop_back();
  Emit(image::OpPop);
}

void Compilation::Replace(ValuePtr& value, ValuePtr replacement) {
  ValuePtr old = std::move(value);
  const TPSSourcePosition at = old->pos;
  value = NewNode<TPSValueReplace>(at, std::move(old), std::move(replacement));
}

bool Compilation::EmitNil(ValuePtr& variable, TPSSourcePosition nilAt) {
  TPSType* type = ValueType(*variable);
  const image::TPSTypeCode code = type == nullptr ? image::tcTypeLink : type->baseType;
  if (code == image::tcProcPtr) return true;
  if (code != image::tcString && code != image::tcPChar) return FailAt(nilAt, ecTypeMismatch);
  TPSValueData empty(nilAt, ZeroValue(type));
  Emit(image::OpAssign);
  return EmitRequiredOperand(*variable, false) && EmitRequiredOperand(empty, true);
}

bool Compilation::MakeListAddressable(ValuePtr& value, TPSType* expected) {
  auto& list = static_cast<TPSValueArray&>(*value);
  if (expected->baseType == image::tcSet) {
    auto& set = static_cast<TPSSetType&>(*expected);
    TPSTypedValue bits = ZeroValue(expected);
    for (const ValuePtr& element : list.elements) {
      if (element->kind != ValueKind::Data || ResolveTypeLink(ValueType(*element)) != set.elementType)
        return FailAt(element->pos, ecTypeMismatch);
      const std::uint64_t n = static_cast<TPSValueData&>(*element).value.ordinal;
      if (n >= set.BitCount()) return FailAt(element->pos, ecTypeMismatch);
      bits.text[n / 8] = static_cast<char>(bits.text[n / 8] | (1 << (n % 8)));
    }
    Replace(value, NewNode<TPSValueData>(value->pos, std::move(bits)));
    return true;
  }
  std::optional<std::uint32_t> setLength = FindProc(names::NameKey("SETARRAYLENGTH"));
  if (!setLength || !IsArrayCode(expected->baseType)) return FailAt(value->pos, ecTypeMismatch);
  ValuePtr array = PushTemp(expected);
  ValuePtr count = PushTemp(FindBaseType(image::tcS32));
  TPSValueData length(list.pos, IntegerValue(image::tcS32, static_cast<std::int64_t>(list.elements.size())));
  Emit(image::OpAssign);
  if (!EmitRequiredOperand(*count, false) || !EmitRequiredOperand(length, true)) return false;
  Emit(image::OpPushVar);
  EmitRequiredOperand(*array, false);
  EmitWithU32(image::OpCall, *setLength);
  Emit(image::OpPop);
  FreeTemp();
  TPSType* elementType = static_cast<TPSArrayType&>(*expected).elementType;
  for (std::size_t i = 0; i < list.elements.size(); ++i) {
    ValuePtr& element = list.elements[i];
    if (!MakeAddressable(element, ValueType(*element))) return false;
    TPSValueVar slot(ValueKind::AllocatedStackVar, element->pos, AsVar(*array).index);
    slot.selectors.push_back(std::make_unique<TPSSubNumber>(elementType, static_cast<std::uint32_t>(i)));
    Emit(elementType->baseType == image::tcPointer ? image::OpSetPointerToCopy : image::OpAssign);
    if (!EmitRequiredOperand(slot, false) || !EmitRequiredOperand(*element, true)) return false;
    ReleaseAddressable(element);
  }
  Replace(value, std::move(array));
  return true;
}

bool Compilation::MakeVarAddressable(ValuePtr& value) {
  auto& var = AsVar(*value);
  const std::size_t n = var.selectors.size();
  if (n == 0 || (n == 1 && var.selectors[0]->IsNumber())) return true;
  if (n == 1 && IsPlainVar(*static_cast<TPSSubValue&>(*var.selectors[0]).value)) return true;
  ValuePtr pointer = PushPointerTemp(ValueType(var));
  TPSValueVar base(var.kind, var.pos, var.index);
  Emit(image::OpSetPointer);
  if (!EmitRequiredOperand(*pointer, false) || !EmitRequiredOperand(base, false)) return false;
  for (auto& selector : var.selectors) {
    TPSValueVar step(ValueKind::AllocatedStackVar, var.pos, AsVar(*pointer).index);
    if (selector->IsNumber()) {
      step.selectors.push_back(std::make_unique<TPSSubNumber>(selector->type, static_cast<TPSSubNumber&>(*selector).number));
      Emit(image::OpSetPointer);
      if (!EmitRequiredOperand(*pointer, false) || !EmitRequiredOperand(step, false)) return false;
      continue;
    }
    ValuePtr index = PushTemp(FindBaseType(image::tcU32));
    if (!EmitValueInto(static_cast<TPSSubValue&>(*selector).value, index)) return false;
    step.selectors.push_back(std::make_unique<TPSSubValue>(selector->type, std::move(index)));
    Emit(image::OpSetPointer);
    if (!EmitRequiredOperand(*pointer, false) || !EmitRequiredOperand(step, false)) return false;
    FreeTemp();
  }
  Replace(value, std::move(pointer));
  return true;
}

bool Compilation::MakeAddressable(ValuePtr& value, TPSType* expected) {
  expected = ResolveTypeLink(expected);
  switch (value->kind) {
    case ValueKind::Replace:
      ++static_cast<TPSValueReplace&>(*value).useCount;
      return true;
    case ValueKind::ProcPtr: {
      if (expected == nullptr) return FailAt(value->pos, ecTypeMismatch);
      TPSTypedValue routine;
      routine.type = expected;
      routine.ordinal = static_cast<TPSValueProcPtr&>(*value).procNo;
      Replace(value, NewNode<TPSValueData>(value->pos, std::move(routine)));
      return true;
    }
    case ValueKind::Nil: {
      if (expected == nullptr) return FailAt(value->pos, ecTypeMismatch);
      ValuePtr temp = PushTemp(expected);
      if (!EmitNil(temp, value->pos)) return false;
      Replace(value, std::move(temp));
      return true;
    }
    case ValueKind::Array:
      if (expected == nullptr) return FailAt(value->pos, ecTypeMismatch);
      return MakeListAddressable(value, expected);
    case ValueKind::UnOp:
    case ValueKind::BinOp: {
      TPSType* type = ValueType(*value);
      ValuePtr temp = PushTemp(type);
      bool ok;
      if (value->kind == ValueKind::UnOp) {
        ok = EmitUnary(static_cast<TPSUnValueOp&>(*value), temp);
      } else {
        auto& node = static_cast<TPSBinValueOp&>(*value);
        ok = node.op >= otGreaterEqual ? EmitComparison(node, temp) : EmitRun(node, temp);
      }
      if (!ok) return false;
      Replace(value, std::move(temp));
      return true;
    }
    case ValueKind::ProcNo:
    case ValueKind::ProcVal: {
      if (!IsCall(*value)) return MakeCallPartAddressable(value);
      TPSType* type = ValueType(*value);
      if (type == nullptr) return FailAt(value->pos, ecNoResult);
      ValuePtr temp = PushTemp(type);
      if (!EmitCall(static_cast<TPSValueProc&>(*value), &temp)) return false;
      Replace(value, std::move(temp));
      return true;
    }
    case ValueKind::Data: return true;
    default: return MakeVarAddressable(value);
  }
}

// A field or element of a call's result: the result goes to a temporary, which the selectors
// then apply to.
bool Compilation::MakeCallPartAddressable(ValuePtr& value) {
  auto& call = static_cast<TPSValueProc&>(*value);
  ValuePtr result = PushTemp(call.resultType);
  if (!EmitCall(call, &result)) return false;
  // A tree is emitted once, so the access path may move from the call to its result.
  AsVar(*result).selectors = std::move(call.selectors);
  if (!MakeVarAddressable(result)) return false;
  Replace(value, std::move(result));
  return true;
}

void Compilation::ReleaseAddressable(ValuePtr& value) {
  if (value->kind != ValueKind::Replace) return;
  auto& replace = static_cast<TPSValueReplace&>(*value);
  if (--replace.useCount > 0) return;
  // A pointer into a call's result is freed before the result itself.
  if (replace.newValue->kind == ValueKind::Replace) ReleaseAddressable(replace.newValue);
  if (replace.newValue->kind == ValueKind::AllocatedStackVar) FreeTemp();
  ValuePtr old = std::move(replace.oldValue);
  value = std::move(old);
}

// A destination is written once, when the whole value has been computed: a computation that
// could be seen half done (a call that reads the variable, a fault after the first step, a
// name that shares the place) goes to a temporary of its own and is assigned at the end. Only
// a temporary of the compiler's own, which nothing else can read, is computed in place freely.
bool Compilation::EmitValueInto(ValuePtr& value, ValuePtr& destination) {
  if (!ValueAssignable(*destination, *value)) return FailAt(value->pos, ecTypeMismatch);
  if (SameLocation(*value, *destination)) return true;
  TPSType* type = ValueType(*destination);
  TakeRealValue(value, type);
  const bool own = IsOwnTemporary(*destination);
  switch (value->kind) {
    case ValueKind::ProcNo:
    case ValueKind::ProcVal:
      if (!IsCall(*value)) break;
      if (own) return EmitCall(static_cast<TPSValueProc&>(*value), &destination);
      return EmitThroughTemp(value, destination, ValueType(*value));
    case ValueKind::BinOp: {
      auto& node = static_cast<TPSBinValueOp&>(*value);
      if (node.op >= otGreaterEqual) return EmitComparison(node, destination);
      TPSType* computation = ComputationType(node, type);
      if (computation != type || (!own && !RunIsUnseen(node, *destination)))
        return EmitThroughTemp(value, destination, computation);
      return EmitRun(node, destination);
    }
    case ValueKind::UnOp: {
      auto& node = static_cast<TPSUnValueOp&>(*value);
      if (!own && !UnaryIsUnseen(node, *destination)) return EmitThroughTemp(value, destination, type);
      return EmitUnary(node, destination);
    }
    default: break;
  }
  // The value's place first, then the destination's, which nothing can move in between.
  if (!MakeAddressable(value, type) || !MakeAddressable(destination, nullptr)) return false;
  Emit(image::OpAssign);
  if (!EmitRequiredOperand(*destination, false) || !EmitRequiredOperand(*value, true)) return false;
  ReleaseAddressable(destination);
  ReleaseAddressable(value);
  return true;
}

bool Compilation::EmitThroughTemp(ValuePtr& value, ValuePtr& destination, TPSType* type) {
  ValuePtr temp = PushTemp(type);
  if (!EmitValueInto(value, temp) || !EmitValueInto(temp, destination)) return false;
  FreeTemp();
  return true;
}

bool Compilation::IsOwnTemporary(const TPSValue& value) const {
  const TPSValue& v = Unwrapped(value);
  return v.kind == ValueKind::AllocatedStackVar && static_cast<const TPSValueVar&>(v).selectors.empty() &&
         block_->proc->locals[static_cast<const TPSValueVar&>(v).index].pointee == nullptr;
}

// The type a binary node is computed in on its way into a destination of this type: a wider
// destination of the same family carries the computation (n := b * 100 with a Byte b), an
// integer computation holding a '/' goes into a real as a whole (r := a / b), and anything
// else, a narrower destination or another family, is computed in the node's own type.
TPSType* Compilation::ComputationType(const TPSBinValueOp& node, TPSType* destination) {
  if (destination == nullptr) return node.resultType;
  if (ComputesInReal(node, node.resultType, destination)) return destination;
  return DestinationCarries(destination, node.resultType) ? destination : node.resultType;
}

// The run of operators a binary node computes in one destination of this type: down the left
// side for as long as the operator there computes in the same type. Top first.
void Compilation::RunOf(TPSBinValueOp& top, const TPSType* type, OperatorRun& run) {
  run.push_back(&top);
  const bool inReal = IsRealType(type) && IsIntegerCode(top.resultType->baseType);
  for (;;) {
    TPSValue& left = *run.back()->left;
    if (left.kind != ValueKind::BinOp) break;
    auto& node = static_cast<TPSBinValueOp&>(left);
    const bool joins = ChainsLeft(node.op) &&
                       (inReal ? JoinsRealDivision(node) : DestinationCarries(type, node.resultType));
    if (!joins) break;
    run.push_back(&node);
  }
}

// Whether computing a run in place in a script variable cannot be seen: the destination's place
// needs no code, the first operand is read by the first write, and after it come only operators
// that cannot fail on operands that need no code, cannot fail to be read and do not share the
// destination's place. When the destination is the first operand itself (s := s + F(x)), the
// first operator is the first write: its right operand is computed whole before it, and a
// failing instruction writes nothing.
bool Compilation::RunIsUnseen(TPSBinValueOp& top, const TPSValue& destination) {
  if (!IsDirectOperand(destination)) return false;
  OperatorRun run(runStack_);
  RunOf(top, ValueType(destination), run);
  const TPSValue& first = *run.back()->left;
  const bool firstIsDestination = SameLocation(first, destination);
  if (!firstIsDestination && !IsDirectOperand(first)) return false;
  const image::TPSTypeCode code = ValueType(destination)->baseType;
  const std::size_t afterFirstWrite = firstIsDestination ? run.size() - 1 : run.size();
  for (std::size_t i = 0; i < afterFirstWrite; ++i) {
    const TPSBinValueOp& node = *run[i];
    const TPSValue& right = *node.right;
    if (!IsSetList(right, code) && !IsPlainOperand(right)) return false;
    if (ReadsLocation(right, destination) || MayAlias(right, destination)) return false;
    if (!CannotFail(node.op, code)) return false;
  }
  return true;
}

// As a run: a destination whose place needs no code, an operand that needs none either, and an
// operator that cannot fail after the operand is written.
bool Compilation::UnaryIsUnseen(const TPSUnValueOp& node, const TPSValue& destination) {
  if (!IsDirectOperand(destination)) return false;
  if (SameLocation(*node.operand, destination)) return true;
  return IsDirectOperand(*node.operand) && UnaryCannotFail(node, ValueType(*node.operand));
}

// Where a variable lives, as far as another name may reach the same place: a by-reference
// parameter may be a global or another by-reference parameter under another name, and a
// pointer temporary (a with scope, a path of selectors) any variable. A routine's locals, its
// value parameters and its result (the caller's own temporary) are its own.
Compilation::Storage Compilation::StorageOf(const TPSValue& value) const {
  const TPSValue& v = Unwrapped(value);
  switch (v.kind) {
    case ValueKind::GlobalVar: return Storage::Global;
    case ValueKind::ParamVar: {
      const TPSParametersDecl& decl = block_->proc->decl;
      const std::uint32_t index = static_cast<const TPSValueVar&>(v).index;
      const std::uint32_t first = decl.result != nullptr ? 1 : 0;
      if (index < first) return Storage::Own;
      return decl.params[index - first].ByReference() ? Storage::ByReference : Storage::Own;
    }
    case ValueKind::AllocatedStackVar:
      return block_->proc->locals[static_cast<const TPSValueVar&>(v).index].pointee != nullptr ? Storage::Pointer
                                                                                              : Storage::Own;
    case ValueKind::LocalVar: return Storage::Own;
    default: return Storage::None;
  }
}

// Whether two variables may be one place under different names (the same name is
// ReadsLocation's).
bool Compilation::MayAlias(const TPSValue& a, const TPSValue& b) const {
  const Storage x = StorageOf(a);
  const Storage y = StorageOf(b);
  if (x == Storage::None || y == Storage::None) return false;
  if (x == Storage::Pointer || y == Storage::Pointer) return true;
  if (x == Storage::ByReference) return y == Storage::Global || y == Storage::ByReference;
  return y == Storage::ByReference && x == Storage::Global;
}

// A constant folded from a '/' of integers takes its value in reals where it goes into a real.
void Compilation::TakeRealValue(ValuePtr& value, const TPSType* destination) {
  if (value->kind != ValueKind::Data || !IsRealType(destination)) return;
  const auto& data = static_cast<const TPSValueData&>(*value);
  if (!data.realValue) return;
  TPSTypedValue real;
  real.type = FindBaseType(image::tcExtended);
  real.real = *data.realValue;
  value = MakeConstant(value->pos, std::move(real));
}

// Computes a run in its destination: the first operand (at the bottom of the run) first, then
// each operator with its right operand, bottom up.
bool Compilation::EmitRun(TPSBinValueOp& top, ValuePtr& destination) {
  OperatorRun run(runStack_);
  RunOf(top, ValueType(*destination), run);
  if (!MakeAddressable(destination, nullptr)) return false;
  ValuePtr& first = run.back()->left;
  if (!SameLocation(*first, *destination) && !EmitValueInto(first, destination)) return false;
  for (std::size_t i = run.size(); i-- > 0;)
    if (!EmitOperator(*run[i], destination)) return false;
  ReleaseAddressable(destination);
  return true;
}

bool Compilation::EmitOperator(TPSBinValueOp& node, ValuePtr& destination) {
  const bool shortCircuit =
      owner_.ShortCircuit && (node.op == otAnd || node.op == otOr) && IsBooleanType(node.resultType);
  std::int32_t jumpField = 0;
  if (shortCircuit) {
    Emit(node.op == otAnd ? image::OpJumpIfFalse : image::OpJumpIfTrue);
    jumpField = CodeLength();
    EmitU32(kJumpPlaceholder);
    if (!EmitRequiredOperand(*destination, false)) return false;
  }
  const std::int32_t jumpEnd = CodeLength();
  if (!MakeOperandAddressable(node.right, ValueType(*destination))) return false;
  Emit(image::OpCalculate);
  Emit(node.op);
  if (!EmitRequiredOperand(*destination, false) || !EmitRequiredOperand(*node.right, true)) return false;
  ReleaseAddressable(node.right);
  if (shortCircuit) PatchU32(jumpField, static_cast<std::uint32_t>(CodeLength() - jumpEnd));
  return true;
}

// A right operand of a computation in this type; an integer one holding a '/' is computed in the
// real the computation is made in.
bool Compilation::MakeOperandAddressable(ValuePtr& operand, TPSType* type) {
  TakeRealValue(operand, type);
  if (operand->kind == ValueKind::Data || !ComputesInReal(*operand, ValueType(*operand), type))
    return MakeAddressable(operand, type);
  ValuePtr temp = PushTemp(type);
  if (!EmitValueInto(operand, temp)) return false;
  Replace(operand, std::move(temp));
  return true;
}

// Both operands first, then the destination's place: the destination is written once, by the
// comparison, and nothing computed for the operands can move it.
bool Compilation::EmitComparison(TPSBinValueOp& node, ValuePtr& destination) {
  ValuePtr* nilSide = nullptr;
  for (ValuePtr* side : {&node.left, &node.right}) {
    if ((*side)->kind != ValueKind::Nil) continue;
    ValuePtr& other = side == &node.left ? node.right : node.left;
    ValuePtr temp = PushTemp(ValueType(*other));
    if (!EmitNil(temp, (*side)->pos)) return false;
    Replace(*side, std::move(temp));
    nilSide = side;
  }
  TPSType* leftType = ValueType(*node.left);
  TPSType* rightType = ValueType(*node.right);
  if (!MakeAddressable(node.left, rightType) || !MakeAddressable(node.right, leftType) ||
      !MakeAddressable(destination, nullptr))
    return false;
  Emit(image::OpCompare);
  Emit(CompareOpOf(node.op));
  if (!EmitRequiredOperand(*destination, false) || !EmitRequiredOperand(*node.left, true) ||
      !EmitRequiredOperand(*node.right, true))
    return false;
  ReleaseAddressable(destination);
  ReleaseAddressable(node.right);
  ReleaseAddressable(node.left);
  if (nilSide != nullptr) ReleaseAddressable(*nilSide);  // the nil temporary made above
  return true;
}

std::uint8_t Compilation::CompareOpOf(TPSBinOperator op) {
  switch (op) {
    case otGreaterEqual: return static_cast<std::uint8_t>(image::CompareOp::GreaterEqual);
    case otLessEqual: return static_cast<std::uint8_t>(image::CompareOp::LessEqual);
    case otGreater: return static_cast<std::uint8_t>(image::CompareOp::Greater);
    case otLess: return static_cast<std::uint8_t>(image::CompareOp::Less);
    case otNotEqual: return static_cast<std::uint8_t>(image::CompareOp::NotEqual);
    case otEqual: return static_cast<std::uint8_t>(image::CompareOp::Equal);
    case otIn: return static_cast<std::uint8_t>(image::CompareOp::In);
    default: return static_cast<std::uint8_t>(image::CompareOp::Is);
  }
}

bool Compilation::EmitUnary(TPSUnValueOp& node, ValuePtr& destination) {
  if (!MakeAddressable(destination, nullptr)) return false;
  if (node.op != otCast) {
    if (!SameLocation(*node.operand, *destination) && !EmitValueInto(node.operand, destination)) return false;
    if (node.op == otNot) Emit(IsBooleanType(node.resultType) ? image::OpBooleanNot : image::OpIntegerNot);
    else Emit(image::OpNegate);
    if (!EmitRequiredOperand(*destination, false)) return false;
    ReleaseAddressable(destination);
    return true;
  }
  // A cast converts into its own type first, so that a wider destination still sees the value
  // the cast made (Byte(300) is 44 in an Integer too); characters always go through it.
  const image::TPSTypeCode code = node.resultType->baseType;
  const TPSType* destinationType = ValueType(*destination);
  const bool viaTemp = code == image::tcChar || code == image::tcWideChar ||
                       (destinationType != nullptr && destinationType->baseType != code);
  ValuePtr temp = viaTemp ? PushTemp(node.resultType) : nullptr;
  ValuePtr& work = viaTemp ? temp : destination;
  if (!MakeAddressable(node.operand, node.resultType)) return false;
  Emit(image::OpAssign);
  if (!EmitRequiredOperand(*work, false) || !EmitRequiredOperand(*node.operand, true)) return false;
  ReleaseAddressable(node.operand);
  if (viaTemp) {
    if (!EmitValueInto(temp, destination)) return false;
    FreeTemp();
  }
  ReleaseAddressable(destination);
  return true;
}

bool Compilation::EmitCall(TPSValueProc& call, ValuePtr* destination) {
  if (call.resultType == nullptr && destination != nullptr) return FailAt(call.pos, ecNoResult);
  const bool function = call.resultType != nullptr;
  const bool intoDestination =
      function && destination != nullptr &&
      ResolveTypeLink(ValueType(**destination)) == ResolveTypeLink(call.resultType);
  ValuePtr ownSlot = function && !intoDestination ? PushTemp(call.resultType) : nullptr;
  ValuePtr* slot = intoDestination ? destination : ownSlot != nullptr ? &ownSlot : nullptr;
  if (slot != nullptr && !MakeAddressable(*slot, nullptr)) return false;
  if (call.kind == ValueKind::ProcVal && !MakeAddressable(call.procValue, nullptr)) return false;
  std::size_t pushed = 0;
  for (std::size_t i = call.arguments.size(); i-- > 0;) {
    TPSParameter& argument = call.arguments[i];
    if (argument.value == nullptr) continue;
    if (!EmitArgument(argument)) return false;
    ++pushed;
  }
  if (slot != nullptr) {
    Emit(image::OpPushVar);
    if (!EmitOperand(**slot, false)) return FailAt(call.pos, ecInternalError, "00015");
  }
  if (call.kind == ValueKind::ProcVal) {
    Emit(image::OpCallVar);
    if (!EmitRequiredOperand(*call.procValue, true)) return false;
  } else {
    EmitWithU32(image::OpCall, call.procNo);
  }
  if (slot != nullptr) Emit(image::OpPop);
  for (std::size_t i = 0; i < pushed; ++i) FreeTemp();
  if (call.kind == ValueKind::ProcVal) ReleaseAddressable(call.procValue);
  if (slot != nullptr) ReleaseAddressable(*slot);
  if (ownSlot != nullptr) {
    if (destination != nullptr && !EmitValueInto(ownSlot, *destination)) return false;
    FreeTemp();
  }
  return true;
}

// One argument onto the stack: a pointer to it by reference, a copy by value.
bool Compilation::EmitArgument(TPSParameter& argument) {
  if (argument.mode != pmIn) {
    TPSType* type = ResolveTypeLink(ValueType(*argument.value));
    if (argument.expectedType == nullptr || type == nullptr) return FailAt(argument.value->pos, ecTypeMismatch);
    ValuePtr pointer = PushPointerTemp(type);
    if (!MakeAddressable(argument.value, nullptr)) return false;
    Emit(image::OpSetPointer);
    if (!EmitRequiredOperand(*pointer, false) || !EmitRequiredOperand(*argument.value, false)) return false;
    ReleaseAddressable(argument.value);
    return true;
  }
  TPSType* type = argument.expectedType != nullptr ? argument.expectedType : ValueType(*argument.value);
  if (type == nullptr) return FailAt(argument.value->pos, ecTypeMismatch);
  if (ResolveTypeLink(type)->baseType == image::tcPChar) type = FindBaseType(image::tcString);
  ValuePtr temp = PushTemp(type);
  return EmitValueInto(argument.value, temp);
}

}  // namespace dravik::engine::compiler

// Types of values and the rules that say which operands an operator takes and which values may
// be stored where.

#include "engine/compiler/compilation.h"

namespace dravik::engine::compiler {

namespace {

image::TPSTypeCode CodeOf(const TPSType* type) { return type == nullptr ? image::tcTypeLink : type->baseType; }

bool IsV(const TPSType* t) { return t != nullptr && IsVariantCode(t->baseType); }
bool IsL(const TPSType* t) { return t != nullptr && IsTextCode(t->baseType); }
bool IsW(const TPSType* t) { return t != nullptr && IsWideTextCode(t->baseType); }
bool IsInt(const TPSType* t) { return t != nullptr && IsIntegerCode(t->baseType); }
bool IsReal(const TPSType* t) { return t != nullptr && IsRealCode(t->baseType); }
bool IsNum(const TPSType* t) { return t != nullptr && IsNumericCode(t->baseType); }
bool IsSet(const TPSType* t) { return CodeOf(t) == image::tcSet; }

bool IsOrderedText(const TPSType* t) {
  const image::TPSTypeCode c = CodeOf(t);
  return c == image::tcString || c == image::tcChar || c == image::tcWideString || c == image::tcWideChar;
}

// The real operand's type of two numeric operands (the left when both are real).
TPSType* NumericResult(TPSType* lt, TPSType* rt) {
  if (IsReal(lt)) return lt;
  if (IsReal(rt)) return rt;
  return lt;
}

}  // namespace

bool Compilation::IsBooleanType(const TPSType* type) const {
  return type != nullptr && (type == boolean_ || (type->baseType == image::tcEnum && type->name == "LONGBOOL"));
}

TPSType* Compilation::ValueType(const TPSValue& value) {
  switch (value.kind) {
    case ValueKind::UnOp: return static_cast<const TPSUnValueOp&>(value).resultType;
    case ValueKind::BinOp: return static_cast<const TPSBinValueOp&>(value).resultType;
    case ValueKind::Array: return FindType(names::NameKey("TVARIANTARRAY"));
    case ValueKind::Data: return static_cast<const TPSValueData&>(value).value.type;
    case ValueKind::ProcNo:
    case ValueKind::ProcVal: {
      const auto& call = static_cast<const TPSValueProc&>(value);
      return call.selectors.empty() ? call.resultType : call.selectors.back()->type;
    }
    case ValueKind::Replace: return ValueType(*static_cast<const TPSValueReplace&>(value).newValue);
    case ValueKind::Nil:
    case ValueKind::ProcPtr: return nullptr;
    default: break;
  }
  const auto& var = static_cast<const TPSValueVar&>(value);
  if (!var.selectors.empty()) return var.selectors.back()->type;
  switch (var.kind) {
    case ValueKind::GlobalVar: return globals_[var.index].type;
    case ValueKind::ParamVar: {
      const TPSParametersDecl& decl = block_->proc->decl;
      if (decl.result != nullptr) return var.index == 0 ? decl.result : decl.params[var.index - 1].type;
      return decl.params[var.index].type;
    }
    default: {
      // A pointer temporary stands for what it points to.
      const TPSVar& local = block_->proc->locals[var.index];
      return local.pointee != nullptr ? local.pointee : local.type;
    }
  }
}

TPSType* Compilation::BinaryResultType(TPSValue& left, TPSValue& right, TPSBinOperator op) {
  TPSType* lt = ValueType(left);
  TPSType* rt = ValueType(right);
  const bool isComparison = op >= otGreaterEqual && op <= otNotEqual;
  if (lt == nullptr || rt == nullptr) {
    // Only comparisons with nil: any other operator on nil has no meaningful result.
    const bool leftNil = left.kind == ValueKind::Nil, rightNil = right.kind == ValueKind::Nil;
    TPSType* other = leftNil ? rt : lt;
    const image::TPSTypeCode c = CodeOf(other);
    if (isComparison && leftNil != rightNil && other != nullptr &&
        (c == image::tcString || c == image::tcPChar || c == image::tcProcPtr || c == image::tcClass ||
         c == image::tcInterface))
      return boolean_;
    return nullptr;
  }
  const bool leftList = left.kind == ValueKind::Array, rightList = right.kind == ValueKind::Array;
  const bool setWithList = (IsSet(lt) && rightList) || (IsSet(rt) && leftList);
  TPSType* setOfList = IsSet(lt) ? lt : rt;
  const bool sameSets = IsSet(lt) && lt == rt;
  switch (op) {
    case otAdd:
      if (IsV(lt) && (IsV(rt) || IsL(rt) || IsW(rt) || IsNum(rt))) return lt;
      if (IsV(rt) && (IsV(lt) || IsL(lt) || IsNum(lt))) return rt;
      if (sameSets || (IsInt(lt) && IsInt(rt))) return lt;
      if (IsNum(lt) && IsNum(rt)) return NumericResult(lt, rt);
      if (setWithList) return setOfList;
      if (IsL(lt) && IsL(rt)) return FindBaseType(image::tcString);
      if ((IsL(lt) || IsW(lt)) && (IsL(rt) || IsW(rt))) return FindBaseType(image::tcWideString);
      return nullptr;
    case otSub:
    case otMul:
    case otDiv:
      if (IsV(lt) && (IsV(rt) || IsNum(rt))) return lt;
      if (op != otDiv && (sameSets || setWithList)) return sameSets ? lt : setOfList;
      if (IsV(rt) && (IsV(lt) || IsNum(lt))) return rt;
      if (IsInt(lt) && IsInt(rt)) return lt;
      if (IsNum(lt) && IsNum(rt)) return NumericResult(lt, rt);
      return nullptr;
    case otMod:
    case otShl:
    case otShr:
    case otAnd:
    case otOr:
    case otXor:
      if (IsV(lt) && (IsV(rt) || IsInt(rt))) return lt;
      if (IsV(rt) && (IsV(lt) || IsInt(lt))) return rt;
      if (IsInt(lt) && IsInt(rt)) return lt;
      if (op >= otAnd && IsBooleanType(lt) && lt == rt) return lt;
      return nullptr;
    case otGreaterEqual:
    case otLessEqual:
    case otGreater:
    case otLess:
    case otEqual:
    case otNotEqual: {
      const bool relational =
          (IsV(lt) && (IsV(rt) || IsL(rt) || IsNum(rt))) ||
          (IsV(rt) && (IsV(lt) || IsL(lt) || IsNum(lt))) || (IsNum(lt) && IsNum(rt)) ||
          (IsOrderedText(lt) && IsOrderedText(rt));
      if (relational) return boolean_;
      const bool equality = op == otEqual || op == otNotEqual;
      if (sameSets && (equality || op == otGreaterEqual || op == otLessEqual)) return boolean_;
      if (equality && (setWithList || (CodeOf(lt) == image::tcEnum && lt == rt) ||
                       (CodeOf(lt) == image::tcClass && CodeOf(rt) == image::tcClass)))
        return boolean_;
      return nullptr;
    }
    case otIn:
      if (IsSet(rt) && static_cast<TPSSetType*>(rt)->elementType == lt) return boolean_;
      return nullptr;
    default:
      // 'as' and 'is' need class types, which this compiler's hosts never register.
      return nullptr;
  }
}

bool Compilation::AssignCompatible(TPSType* target, TPSType* source, bool cast) {
  target = ResolveTypeLink(target);
  source = ResolveTypeLink(source);
  if (target == nullptr || source == nullptr) return false;
  const image::TPSTypeCode t = target->baseType, s = source->baseType;
  if ((t == image::tcProcPtr && target == source) || t == image::tcPointer || s == image::tcPointer) return true;
  if (IsVariantCode(t) || IsVariantCode(s)) return true;
  if ((IsIntegerCode(t) && IsIntegerCode(s)) || (IsRealCode(t) && IsNumericCode(s))) return true;
  if ((t == image::tcString || t == image::tcPChar) && (IsTextCode(s) || IsWideTextCode(s))) return true;
  if (IsArrayCode(t) && IsArrayCode(s))
    return AssignCompatible(static_cast<TPSArrayType*>(target)->elementType,
                            static_cast<TPSArrayType*>(source)->elementType, false);
  if (t == image::tcChar && s == image::tcChar) return true;
  if (t == image::tcWideChar && (s == image::tcChar || s == image::tcWideChar)) return true;
  if (t == image::tcWideString && (IsTextCode(s) || IsWideTextCode(s))) return true;
  if (t == s && (t == image::tcSet || t == image::tcRecord || t == image::tcEnum)) return true;
  if (cast && ((IsIntegerCode(t) && s == image::tcEnum) || (t == image::tcEnum && IsIntegerCode(s)))) return true;
  return (t == image::tcClass || t == image::tcInterface) && target == source;
}

namespace {

bool SignatureMatches(const TPSParametersDecl& routine, const TPSParametersDecl& procType) {
  if (routine.result != procType.result || routine.params.size() != procType.params.size()) return false;
  for (std::size_t i = 0; i < routine.params.size(); ++i) {
    if (routine.params[i].mode != procType.params[i].mode ||
        routine.params[i].type != procType.params[i].type)
      return false;
  }
  return true;
}

}  // namespace

bool Compilation::ValueAssignable(TPSValue& target, TPSValue& source) {
  TPSType* tt = ResolveTypeLink(ValueType(target));
  TPSType* st = ResolveTypeLink(ValueType(source));
  if (IsSet(tt) && source.kind == ValueKind::Array) return true;
  if (tt != nullptr && st != nullptr) return AssignCompatible(tt, st, false);
  const bool nilSide = target.kind == ValueKind::Nil || source.kind == ValueKind::Nil;
  TPSType* other = target.kind == ValueKind::Nil ? st : tt;
  const image::TPSTypeCode c = CodeOf(other);
  if (nilSide &&
      (c == image::tcProcPtr || c == image::tcClass || c == image::tcInterface || c == image::tcUndefinedClass))
    return true;
  if (source.kind == ValueKind::ProcPtr && c == image::tcProcPtr) {
    const TPSProcedure& proc = Proc(static_cast<TPSValueProcPtr&>(source).procNo);
    return SignatureMatches(proc.Decl(), static_cast<TPSProceduralType*>(tt)->decl);
  }
  return false;
}

}  // namespace dravik::engine::compiler

// The assignment rules: dest := source, by the destination's base type.

#include <string_view>

#include "engine/values/assignment_conversion.h"
#include "engine/values/integer_kinds.h"
#include "engine/values/operators.h"
#include "engine/values/pointer_value.h"
#include "engine/values/script_fault.h"
#include "engine/values/variant.h"

namespace dravik::engine {

namespace {

inline constexpr std::string_view kDispatchTypeName = "IDISPATCH";

bool IsNamedDispatch(const TPSTypeRec& type) { return type.exportName == kDispatchTypeName; }

TPSTypeCode SourceCode(ValueRef source) {
  if (source.data == nullptr || source.type == nullptr) FailWith(ErTypeMismatch);
  return source.type->baseType;
}

const TPSTypeRec& ElementOf(const TPSTypeRec& arrayType) {
  return *static_cast<const TPSTypeRec_Array&>(arrayType).element;
}

// Codes whose type record has no body: two records of such a code lay out and finalise their
// values alike.
bool IsBodilessCode(TPSTypeCode code) {
  switch (code) {
    case tcRecord: case tcArray: case tcStaticArray: case tcSet: case tcProcPtr: case tcClass:
    case tcInterface:
      return false;
    default:
      return true;
  }
}

bool SameElementType(const TPSTypeRec& left, const TPSTypeRec& right) {
  return &left == &right || (left.baseType == right.baseType && IsBodilessCode(left.baseType));
}

// ---------------------------------------------------------------------------------------------
// Numeric, character and string destinations

void StoreOrdinal(ValueRef dest, std::int64_t number) {
  const auto bits = static_cast<std::uint64_t>(number);
  switch (dest.type->baseType) {
    case tcChar: Store(dest.data, static_cast<std::uint8_t>(bits)); break;
    case tcWideChar: Store(dest.data, static_cast<std::uint16_t>(bits)); break;
    default: StoreInteger(dest.data, *IntegerKindOf(dest.type->baseType), bits); break;
  }
}

bool HasCode(ValueRef value, TPSTypeCode code) {
  return value.data != nullptr && value.type != nullptr && value.type->baseType == code;
}

void AssignString(ValueRef dest, ValueRef source) {
  const bool textBlock = HasCode(source, tcString) || HasCode(source, tcPChar);
  // PChar values are string blocks too, shared as they are unless a zero byte ends the text.
  if (textBlock && (dest.type->baseType != tcPChar || PCharText(StringAt(source.data)).size() ==
                                                            StringAt(source.data).size()))
    CopyValue(dest.data, source.data, *dest.type);
  else if (textBlock)
    SetTextAt(dest.data, tcPChar, std::string(StringAt(source.data)));
  else
    SetTextAt(dest.data, dest.type->baseType, ConvertToString(source));
}

void AssignWideString(ValueRef dest, ValueRef source) {
  if (HasCode(source, tcWideString))
    CopyValue(dest.data, source.data, *dest.type);
  else
    SetWideStringAt(dest.data, ConvertToWideString(source));
}

// False when the destination is none of these kinds.
bool AssignConverted(ValueRef dest, ValueRef source) {
  switch (dest.type->baseType) {
    case tcU8: case tcS8: case tcU16: case tcS16: case tcU32: case tcS32: case tcChar: case tcWideChar:
      StoreOrdinal(dest, ConvertToOrdinal(source));
      return true;
    case tcS64: Store(dest.data, ConvertToInt64(source)); return true;
    case tcSingle: case tcDouble: case tcExtended:
      StoreReal(dest.data, dest.type->baseType, ConvertToReal(source));
      return true;
    case tcCurrency: Store(dest.data, ConvertToCurrency(source)); return true;
    case tcString: case tcPChar: AssignString(dest, source); return true;
    case tcWideString: AssignWideString(dest, source); return true;
    default: return false;
  }
}

// ---------------------------------------------------------------------------------------------
// The other destinations: anything unacceptable is ErTypeMismatch

void AssignSameType(ValueRef dest, ValueRef source) {
  SourceCode(source);
  if (source.type != dest.type) FailWith(ErTypeMismatch);
  CopyValue(dest.data, source.data, *dest.type);
}

// The new block is complete before the old one is released, so a source that lives inside the
// old block's elements is still whole while it is copied.
void AssignFromStaticArray(ValueRef dest, ValueRef source) {
  const auto& array = static_cast<const TPSTypeRec_StaticArray&>(*source.type);
  const TPSTypeRec& element = ElementOf(*dest.type);
  ArrayBlock* fresh = NewArrayFrom(element, array.count, source.data, array.count);
  ArrayBlock* old = ArrayAt(dest.data);
  Store(dest.data, fresh);
  ReleaseArray(old, element);
}

void AssignArray(ValueRef dest, ValueRef source) {
  const TPSTypeCode code = SourceCode(source);
  const bool sameElements = (code == tcArray || code == tcStaticArray) &&
                            SameElementType(ElementOf(*dest.type), ElementOf(*source.type));
  if (source.type == dest.type || (code == tcArray && sameElements))
    CopyValue(dest.data, source.data, *dest.type);  // shares the block
  else if (code == tcStaticArray && sameElements)
    AssignFromStaticArray(dest, source);
  else
    FailWith(ErTypeMismatch);
}

void AssignProcPtr(ValueRef dest, ValueRef source) {
  switch (SourceCode(source)) {
    case tcU32:
      Store(static_cast<std::uint8_t*>(dest.data) + ProcPtrLayout::kProcNo, Load<std::uint32_t>(source.data));
      break;
    case tcProcPtr: CopyValue(dest.data, source.data, *dest.type); break;
    default: FailWith(ErTypeMismatch);
  }
}

void AssignClass(ValueRef dest, ValueRef source) {
  if (SourceCode(source) != tcClass) FailWith(ErTypeMismatch);
  Store(dest.data, Load<void*>(source.data));
}

// Only a variant that holds no object, or a dispatch interface, becomes an interface.
void* InterfaceOfVariant(const void* variant) {
  switch (VariantTypeAt(variant)) {
    case varEmpty: case varNull: return nullptr;
    case varDispatch: case varUnknown:
      return Load<void*>(static_cast<const std::uint8_t*>(variant) + kVariantPayloadOffset);
    default: FailWith(ErTypeMismatch);
  }
}

// This system makes no host objects known, so no object can answer for an interface: only the
// null object converts.
void* InterfaceOfObject(const void* object) {
  if (object != nullptr) FailWith(erInterfaceNotSupported);
  return nullptr;
}

void AssignInterface(ValueRef dest, ValueRef source) {
  switch (SourceCode(source)) {
    case tcInterface: Store(dest.data, Load<void*>(source.data)); break;
    case tcClass: Store(dest.data, InterfaceOfObject(Load<void*>(source.data))); break;
    case tcVariant:
      if (!IsNamedDispatch(*dest.type)) FailWith(ErTypeMismatch);
      Store(dest.data, InterfaceOfVariant(source.data));
      break;
    default: FailWith(ErTypeMismatch);
  }
}

void AssignDispatchVariant(ValueRef dest, ValueRef source) {
  if (SourceCode(source) != tcInterface) FailWith(ErTypeMismatch);
  FinalizeVariant(dest.data);
  auto* bytes = static_cast<std::uint8_t*>(dest.data);
  Store(bytes + kVariantTypeOffset, static_cast<std::uint16_t>(varDispatch));
  Store(bytes + kVariantPayloadOffset, Load<void*>(source.data));
}

void AssignVariant(ValueRef dest, ValueRef source) {
  if (IsNamedDispatch(*dest.type))
    AssignDispatchVariant(dest, source);
  else if (SourceCode(source) == tcVariant)
    CopyVariant(dest.data, source.data);
  else
    StoreAsVariant(dest.data, source);
}

void AssignStructured(ValueRef dest, ValueRef source) {
  switch (dest.type->baseType) {
    case tcRecord: case tcStaticArray: case tcSet: AssignSameType(dest, source); break;
    case tcArray: AssignArray(dest, source); break;
    case tcProcPtr: AssignProcPtr(dest, source); break;
    case tcClass: AssignClass(dest, source); break;
    case tcInterface: AssignInterface(dest, source); break;
    case tcVariant: AssignVariant(dest, source); break;
    default: FailWith(ErTypeMismatch);
  }
}

}  // namespace

ValueRef FollowPointer(ValueRef value) {
  if (value.type == nullptr || value.type->baseType != tcPointer) return value;
  const PointerValue pointer = LoadPointer(value.data);
  if (pointer.target == nullptr) return {};
  return {pointer.target, pointer.targetType};
}

void AssignValue(ValueRef dest, ValueRef source, const ValueEnvironment& /*env*/) {
  source = FollowPointer(source);
  if (!AssignConverted(dest, source)) AssignStructured(dest, source);
}

}  // namespace dravik::engine

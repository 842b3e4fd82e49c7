// The assignment rules: dest := source, by the destination's base type.

#include <string_view>

#include "engine/values/assignment_conversion.h"
#include "engine/values/integer_kinds.h"
#include "engine/values/operators.h"
#include "engine/values/pointer_value.h"
#include "engine/values/script_fault.h"
#include "engine/values/variant.h"

namespace dravik::engine::values {

namespace {

inline constexpr std::string_view kDispatchTypeName = "IDISPATCH";

bool IsNamedDispatch(const TPSTypeRec& type) { return type.exportName == kDispatchTypeName; }

image::TPSTypeCode SourceCode(ValueRef source) {
  if (source.data == nullptr || source.type == nullptr) FailWith(image::ErTypeMismatch);
  return source.type->baseType;
}

const TPSTypeRec& ElementOf(const TPSTypeRec& arrayType) {
  return *static_cast<const TPSTypeRec_Array&>(arrayType).element;
}

// Codes whose type record has no body: two records of such a code lay out and finalise their
// values alike.
bool IsBodilessCode(image::TPSTypeCode code) {
  switch (code) {
    case image::tcRecord:
    case image::tcArray:
    case image::tcStaticArray:
    case image::tcSet:
    case image::tcProcPtr:
    case image::tcClass:
    case image::tcInterface:
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
    case image::tcChar: Store(dest.data, static_cast<std::uint8_t>(bits)); break;
    case image::tcWideChar: Store(dest.data, static_cast<std::uint16_t>(bits)); break;
    default: StoreInteger(dest.data, *IntegerKindOf(dest.type->baseType), bits); break;
  }
}

bool HasCode(ValueRef value, image::TPSTypeCode code) {
  return value.data != nullptr && value.type != nullptr && value.type->baseType == code;
}

void AssignString(ValueRef dest, ValueRef source) {
  const bool textBlock = HasCode(source, image::tcString) || HasCode(source, image::tcPChar);
  // PChar values are string blocks too, shared as they are unless a zero byte ends the text.
  if (textBlock && (dest.type->baseType != image::tcPChar || PCharText(StringAt(source.data)).size() ==
                                                            StringAt(source.data).size()))
    CopyValue(dest.data, source.data, *dest.type);
  else if (textBlock)
    SetTextAt(dest.data, image::tcPChar, std::string(StringAt(source.data)));
  else
    SetTextAt(dest.data, dest.type->baseType, ConvertToString(source));
}

void AssignWideString(ValueRef dest, ValueRef source) {
  if (HasCode(source, image::tcWideString))
    CopyValue(dest.data, source.data, *dest.type);
  else
    SetWideStringAt(dest.data, ConvertToWideString(source));
}

// False when the destination is none of these kinds.
bool AssignConverted(ValueRef dest, ValueRef source) {
  switch (dest.type->baseType) {
    case image::tcU8:
    case image::tcS8:
    case image::tcU16:
    case image::tcS16:
    case image::tcU32:
    case image::tcS32:
    case image::tcChar:
    case image::tcWideChar:
      StoreOrdinal(dest, ConvertToOrdinal(source));
      return true;
    case image::tcS64: Store(dest.data, ConvertToInt64(source)); return true;
    case image::tcSingle: case image::tcDouble: case image::tcExtended:
      StoreReal(dest.data, dest.type->baseType, ConvertToReal(source));
      return true;
    case image::tcCurrency: Store(dest.data, ConvertToCurrency(source)); return true;
    case image::tcString: case image::tcPChar: AssignString(dest, source); return true;
    case image::tcWideString: AssignWideString(dest, source); return true;
    default: return false;
  }
}

// ---------------------------------------------------------------------------------------------
// The other destinations: anything unacceptable is ErTypeMismatch

void AssignSameType(ValueRef dest, ValueRef source) {
  SourceCode(source);
  if (source.type != dest.type) FailWith(image::ErTypeMismatch);
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
  const image::TPSTypeCode code = SourceCode(source);
  const bool sameElements = (code == image::tcArray || code == image::tcStaticArray) &&
                            SameElementType(ElementOf(*dest.type), ElementOf(*source.type));
  if (source.type == dest.type || (code == image::tcArray && sameElements))
    CopyValue(dest.data, source.data, *dest.type);  // shares the block
  else if (code == image::tcStaticArray && sameElements)
    AssignFromStaticArray(dest, source);
  else
    FailWith(image::ErTypeMismatch);
}

void AssignProcPtr(ValueRef dest, ValueRef source) {
  switch (SourceCode(source)) {
    case image::tcU32:
      Store(static_cast<std::uint8_t*>(dest.data) + ProcPtrLayout::kProcNo, Load<std::uint32_t>(source.data));
      break;
    case image::tcProcPtr: CopyValue(dest.data, source.data, *dest.type); break;
    default: FailWith(image::ErTypeMismatch);
  }
}

void AssignClass(ValueRef dest, ValueRef source) {
  if (SourceCode(source) != image::tcClass) FailWith(image::ErTypeMismatch);
  Store(dest.data, Load<void*>(source.data));
}

// Only a variant that holds no object, or a dispatch interface, becomes an interface.
void* InterfaceOfVariant(const void* variant) {
  switch (VariantTypeAt(variant)) {
    case image::varEmpty: case image::varNull: return nullptr;
    case image::varDispatch: case image::varUnknown:
      return Load<void*>(static_cast<const std::uint8_t*>(variant) + kVariantPayloadOffset);
    default: FailWith(image::ErTypeMismatch);
  }
}

// This system makes no host objects known, so no object can answer for an interface: only the
// null object converts.
void* InterfaceOfObject(const void* object) {
  if (object != nullptr) FailWith(image::erInterfaceNotSupported);
  return nullptr;
}

void AssignInterface(ValueRef dest, ValueRef source) {
  switch (SourceCode(source)) {
    case image::tcInterface: Store(dest.data, Load<void*>(source.data)); break;
    case image::tcClass: Store(dest.data, InterfaceOfObject(Load<void*>(source.data))); break;
    case image::tcVariant:
      if (!IsNamedDispatch(*dest.type)) FailWith(image::ErTypeMismatch);
      Store(dest.data, InterfaceOfVariant(source.data));
      break;
    default: FailWith(image::ErTypeMismatch);
  }
}

void AssignDispatchVariant(ValueRef dest, ValueRef source) {
  if (SourceCode(source) != image::tcInterface) FailWith(image::ErTypeMismatch);
  FinalizeVariant(dest.data);
  auto* bytes = static_cast<std::uint8_t*>(dest.data);
  Store(bytes + kVariantTypeOffset, static_cast<std::uint16_t>(image::varDispatch));
  Store(bytes + kVariantPayloadOffset, Load<void*>(source.data));
}

void AssignVariant(ValueRef dest, ValueRef source) {
  if (IsNamedDispatch(*dest.type))
    AssignDispatchVariant(dest, source);
  else if (SourceCode(source) == image::tcVariant)
    CopyVariant(dest.data, source.data);
  else
    StoreAsVariant(dest.data, source);
}

void AssignStructured(ValueRef dest, ValueRef source) {
  switch (dest.type->baseType) {
    case image::tcRecord: case image::tcStaticArray: case image::tcSet: AssignSameType(dest, source); break;
    case image::tcArray: AssignArray(dest, source); break;
    case image::tcProcPtr: AssignProcPtr(dest, source); break;
    case image::tcClass: AssignClass(dest, source); break;
    case image::tcInterface: AssignInterface(dest, source); break;
    case image::tcVariant: AssignVariant(dest, source); break;
    default: FailWith(image::ErTypeMismatch);
  }
}

}  // namespace

ValueRef FollowPointer(ValueRef value) {
  if (value.type == nullptr || value.type->baseType != image::tcPointer) return value;
  const PointerValue pointer = LoadPointer(value.data);
  if (pointer.target == nullptr) return {};
  return {pointer.target, pointer.targetType};
}

void AssignValue(ValueRef dest, ValueRef source, const ValueEnvironment& /*env*/) {
  source = FollowPointer(source);
  if (!AssignConverted(dest, source)) AssignStructured(dest, source);
}

}  // namespace dravik::engine::values

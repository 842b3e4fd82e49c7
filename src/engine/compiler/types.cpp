#include "engine/compiler/types.h"

namespace dravik::engine {

TPSName::TPSName(std::string_view writtenName)
    : written(writtenName), upper(FastUpperCase(writtenName)), hash(NameHash(upper)) {}

TPSTypeCode TPSTypedValue::BaseType() const { return type == nullptr ? tcTypeLink : type->baseType; }

TPSTypedValue ZeroValue(TPSType* type) {
  TPSTypedValue value;
  value.type = ResolveTypeLink(type);
  if (value.type != nullptr && value.type->baseType == tcSet)
    value.text.assign(static_cast<TPSSetType*>(value.type)->ByteSize(), '\0');
  return value;
}

void TPSType::SetName(std::string_view written) {
  writtenName = written;
  name = FastUpperCase(written);
  nameHash = NameHash(name);
}

std::uint32_t TPSSetType::BitCount() const {
  if (elementType != nullptr && elementType->baseType == tcEnum)
    return static_cast<const TPSEnumType*>(elementType)->highest + 1;
  return kMaxSetBits;
}

bool IsPlainTypeCode(TPSTypeCode code) {
  switch (code) {
    case tcRecord: case tcArray: case tcStaticArray: case tcSet: case tcTypeLink: case tcEnum:
    case tcProcPtr: case tcClass: case tcUndefinedClass: case tcInterface: case tcVariant:
    case tcNotificationVariant:
      return false;
    default:
      return true;
  }
}

std::unique_ptr<TPSType> MakeTypeForCode(TPSTypeCode code) {
  switch (code) {
    case tcRecord: return std::make_unique<TPSRecordType>();
    case tcArray: return std::make_unique<TPSArrayType>();
    case tcStaticArray: return std::make_unique<TPSStaticArrayType>();
    case tcSet: return std::make_unique<TPSSetType>();
    case tcTypeLink: return std::make_unique<TPSTypeLink>();
    case tcEnum: return std::make_unique<TPSEnumType>();
    case tcProcPtr: return std::make_unique<TPSProceduralType>();
    case tcClass: return std::make_unique<TPSClassType>();
    case tcUndefinedClass: return std::make_unique<TPSUndefinedClassType>();
    case tcInterface: return std::make_unique<TPSInterfaceType>();
    case tcVariant:
    case tcNotificationVariant: return std::make_unique<TPSVariantType>(code);
    default: return std::make_unique<TPSType>(code);
  }
}

TPSType* ResolveTypeLink(TPSType* type) {
  // Links are made only to resolved targets, so one step is enough.
  if (type != nullptr && type->baseType == tcTypeLink) return static_cast<TPSTypeLink*>(type)->target;
  return type;
}

// Enumerations take the narrowest unsigned code that holds their highest ordinal. (Bounds of 256
// and 65536 would put the last member of a 257-member enumeration into a byte that cannot hold it.)
TPSTypeCode ImageTypeCode(const TPSType& type) {
  switch (type.baseType) {
    case tcEnum: {
      const std::uint32_t highest = static_cast<const TPSEnumType&>(type).highest;
      if (highest <= 0xFF) return tcU8;
      if (highest <= 0xFFFF) return tcU16;
      return tcU32;
    }
    case tcNotificationVariant:
    case tcUndefinedClass: return tcU32;
    default: return type.baseType;
  }
}

bool IsIntegerCode(TPSTypeCode code) {
  switch (code) {
    case tcU8: case tcS8: case tcU16: case tcS16: case tcU32: case tcS32: case tcS64: return true;
    default: return false;
  }
}

bool IsRealCode(TPSTypeCode code) {
  return code == tcSingle || code == tcDouble || code == tcExtended || code == tcCurrency;
}

bool IsVariantCode(TPSTypeCode code) { return code == tcVariant || code == tcNotificationVariant; }

bool IsTextCode(TPSTypeCode code) { return code == tcString || code == tcPChar || code == tcChar; }

bool IsWideTextCode(TPSTypeCode code) { return code == tcWideString || code == tcWideChar; }

bool IsArrayCode(TPSTypeCode code) { return code == tcArray || code == tcStaticArray; }

}  // namespace dravik::engine

#include "engine/compiler/types.h"

namespace dravik::engine::compiler {

TPSName::TPSName(std::string_view writtenName)
    : written(writtenName), upper(names::FastUpperCase(writtenName)), hash(names::NameHash(upper)) {}

image::TPSTypeCode TPSTypedValue::BaseType() const { return type == nullptr ? image::tcTypeLink : type->baseType; }

TPSTypedValue ZeroValue(TPSType* type) {
  TPSTypedValue value;
  value.type = ResolveTypeLink(type);
  if (value.type != nullptr && value.type->baseType == image::tcSet)
    value.text.assign(static_cast<TPSSetType*>(value.type)->ByteSize(), '\0');
  return value;
}

void TPSType::SetName(std::string_view written) {
  writtenName = written;
  name = names::FastUpperCase(written);
  nameHash = names::NameHash(name);
}

std::uint32_t TPSSetType::BitCount() const {
  if (elementType != nullptr && elementType->baseType == image::tcEnum)
    return static_cast<const TPSEnumType*>(elementType)->highest + 1;
  return image::kMaxSetBits;
}

bool IsPlainTypeCode(image::TPSTypeCode code) {
  switch (code) {
    case image::tcRecord:
    case image::tcArray:
    case image::tcStaticArray:
    case image::tcSet:
    case image::tcTypeLink:
    case image::tcEnum:
    case image::tcProcPtr:
    case image::tcClass:
    case image::tcUndefinedClass:
    case image::tcInterface:
    case image::tcVariant:
    case image::tcNotificationVariant:
      return false;
    default:
      return true;
  }
}

std::unique_ptr<TPSType> MakeTypeForCode(image::TPSTypeCode code) {
  switch (code) {
    case image::tcRecord: return std::make_unique<TPSRecordType>();
    case image::tcArray: return std::make_unique<TPSArrayType>();
    case image::tcStaticArray: return std::make_unique<TPSStaticArrayType>();
    case image::tcSet: return std::make_unique<TPSSetType>();
    case image::tcTypeLink: return std::make_unique<TPSTypeLink>();
    case image::tcEnum: return std::make_unique<TPSEnumType>();
    case image::tcProcPtr: return std::make_unique<TPSProceduralType>();
    case image::tcClass: return std::make_unique<TPSClassType>();
    case image::tcUndefinedClass: return std::make_unique<TPSUndefinedClassType>();
    case image::tcInterface: return std::make_unique<TPSInterfaceType>();
    case image::tcVariant:
    case image::tcNotificationVariant: return std::make_unique<TPSVariantType>(code);
    default: return std::make_unique<TPSType>(code);
  }
}

TPSType* ResolveTypeLink(TPSType* type) {
  // Links are made only to resolved targets, so one step is enough.
  if (type != nullptr && type->baseType == image::tcTypeLink) return static_cast<TPSTypeLink*>(type)->target;
  return type;
}

// Enumerations take the narrowest unsigned code that holds their highest ordinal. (Bounds of 256
// and 65536 would put the last member of a 257-member enumeration into a byte that cannot hold it.)
image::TPSTypeCode ImageTypeCode(const TPSType& type) {
  switch (type.baseType) {
    case image::tcEnum: {
      const std::uint32_t highest = static_cast<const TPSEnumType&>(type).highest;
      if (highest <= 0xFF) return image::tcU8;
      if (highest <= 0xFFFF) return image::tcU16;
      return image::tcU32;
    }
    case image::tcNotificationVariant:
    case image::tcUndefinedClass: return image::tcU32;
    default: return type.baseType;
  }
}

bool IsIntegerCode(image::TPSTypeCode code) {
  switch (code) {
    case image::tcU8:
    case image::tcS8:
    case image::tcU16:
    case image::tcS16:
    case image::tcU32:
    case image::tcS32:
    case image::tcS64:
      return true;
    default: return false;
  }
}

bool IsRealCode(image::TPSTypeCode code) {
  return code == image::tcSingle || code == image::tcDouble || code == image::tcExtended || code == image::tcCurrency;
}

bool IsVariantCode(image::TPSTypeCode code) { return code == image::tcVariant || code == image::tcNotificationVariant; }

bool IsTextCode(image::TPSTypeCode code) {
  return code == image::tcString || code == image::tcPChar || code == image::tcChar;
}

bool IsWideTextCode(image::TPSTypeCode code) { return code == image::tcWideString || code == image::tcWideChar; }

bool IsArrayCode(image::TPSTypeCode code) { return code == image::tcArray || code == image::tcStaticArray; }

}  // namespace dravik::engine::compiler

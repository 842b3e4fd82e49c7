// Plain values turned into variants, for the operators whose other operand is a variant.
#include <string_view>

#include "engine/values/operators.h"
#include "engine/values/script_fault.h"
#include "engine/values/variant.h"

namespace dravik::engine::values {

namespace {

// Exported names that give a plain value its variant meaning.
constexpr std::string_view kBooleanTypeName = "BOOLEAN";
constexpr std::string_view kDateTimeTypeName = "TDATETIME";

image::VarTypeCode IntegerVarType(image::TPSTypeCode code) {
  switch (code) {
    case image::tcU8: return image::varByte;
    case image::tcS8: return image::varShortInt;
    case image::tcU16: return image::varWord;
    case image::tcS16: return image::varSmallInt;
    case image::tcU32: return image::varLongWord;
    case image::tcS32: return image::varInteger;
    default: return image::varInt64;
  }
}

std::int64_t LoadSignedInteger(const void* at, image::TPSTypeCode code) {
  switch (code) {
    case image::tcU8: return Load<std::uint8_t>(at);
    case image::tcS8: return Load<std::int8_t>(at);
    case image::tcU16: return Load<std::uint16_t>(at);
    case image::tcS16: return Load<std::int16_t>(at);
    case image::tcU32: return Load<std::uint32_t>(at);
    case image::tcS32: return Load<std::int32_t>(at);
    default: return Load<std::int64_t>(at);
  }
}

// Elements one after another from `first`, each converted; the block is released again when an
// element has no variant form.
ArrayBlock* VariantArrayOf(const std::uint8_t* first, const TPSTypeRec& element, std::uint32_t count) {
  const TPSTypeRec& variantRecord = VariantElementRecord();
  ArrayBlock* block = NewArray(variantRecord, count);
  try {
    for (std::uint32_t i = 0; i < count; ++i) {
      ValueRef source{const_cast<std::uint8_t*>(first) + std::size_t{i} * element.memSize, &element};
      ValueToVariant(block->Elements() + std::size_t{i} * variantRecord.memSize, source);
    }
  } catch (...) {
    ReleaseArray(block, variantRecord);
    throw;
  }
  return block;
}

void ArrayToVariant(void* variant, ValueRef value) {
  const auto& arrayType = static_cast<const TPSTypeRec_Array&>(*value.type);
  if (value.type->baseType == image::tcStaticArray) {
    const auto& staticType = static_cast<const TPSTypeRec_StaticArray&>(*value.type);
    SetVariantArray(variant, VariantArrayOf(static_cast<const std::uint8_t*>(value.data), *arrayType.element,
                                            staticType.count));
    return;
  }
  const ArrayBlock* block = ArrayAt(value.data);
  if (block == nullptr) {
    SetVariantArray(variant, nullptr);
    return;
  }
  SetVariantArray(variant, VariantArrayOf(block->Elements(), *arrayType.element, block->length));
}

}  // namespace

void ValueToVariant(void* variant, ValueRef value) {
  image::TPSTypeCode code = value.type->baseType;
  switch (code) {
    case image::tcU8:
      if (value.type->exportName == kBooleanTypeName) {
        SetVariantBoolean(variant, Load<std::uint8_t>(value.data) != 0);
        return;
      }
      [[fallthrough]];
    case image::tcS8: case image::tcU16: case image::tcS16: case image::tcU32: case image::tcS32: case image::tcS64:
      SetVariantInteger(variant, IntegerVarType(code), LoadSignedInteger(value.data, code));
      return;
    case image::tcSingle:
      SetVariantReal(variant, image::varSingle, Load<float>(value.data));
      return;
    case image::tcDouble:
      SetVariantReal(variant, value.type->exportName == kDateTimeTypeName ? image::varDate : image::varDouble,
                     Load<double>(value.data));
      return;
    case image::tcExtended:
      SetVariantReal(variant, image::varDouble, static_cast<double>(LoadExtended(value.data)));
      return;
    case image::tcCurrency:
      SetVariantCurrency(variant, Load<std::int64_t>(value.data));
      return;
    case image::tcChar:
      SetVariantString(variant, std::string(1, Load<char>(value.data)));
      return;
    case image::tcString: case image::tcPChar:
      SetVariantString(variant, StringAt(value.data));  // PChar values are string blocks too
      return;
    case image::tcWideString:
      SetVariantWideString(variant, WideStringAt(value.data));
      return;
    case image::tcVariant:
      CopyVariant(variant, value.data);
      return;
    case image::tcArray: case image::tcStaticArray:
      ArrayToVariant(variant, value);
      return;
    default:
      FailWith(image::ErTypeMismatch);
  }
}

}  // namespace dravik::engine::values

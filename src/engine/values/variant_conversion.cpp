// Plain values turned into variants, for the operators whose other operand is a variant.
#include <string_view>

#include "engine/values/operators.h"
#include "engine/values/script_fault.h"
#include "engine/values/variant.h"

namespace dravik::engine {

namespace {

// Exported names that give a plain value its variant meaning.
constexpr std::string_view kBooleanTypeName = "BOOLEAN";
constexpr std::string_view kDateTimeTypeName = "TDATETIME";

VarTypeCode IntegerVarType(TPSTypeCode code) {
  switch (code) {
    case tcU8: return varByte;
    case tcS8: return varShortInt;
    case tcU16: return varWord;
    case tcS16: return varSmallInt;
    case tcU32: return varLongWord;
    case tcS32: return varInteger;
    default: return varInt64;
  }
}

std::int64_t LoadSignedInteger(const void* at, TPSTypeCode code) {
  switch (code) {
    case tcU8: return Load<std::uint8_t>(at);
    case tcS8: return Load<std::int8_t>(at);
    case tcU16: return Load<std::uint16_t>(at);
    case tcS16: return Load<std::int16_t>(at);
    case tcU32: return Load<std::uint32_t>(at);
    case tcS32: return Load<std::int32_t>(at);
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
  if (value.type->baseType == tcStaticArray) {
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
  TPSTypeCode code = value.type->baseType;
  switch (code) {
    case tcU8:
      if (value.type->exportName == kBooleanTypeName) {
        SetVariantBoolean(variant, Load<std::uint8_t>(value.data) != 0);
        return;
      }
      [[fallthrough]];
    case tcS8: case tcU16: case tcS16: case tcU32: case tcS32: case tcS64:
      SetVariantInteger(variant, IntegerVarType(code), LoadSignedInteger(value.data, code));
      return;
    case tcSingle:
      SetVariantReal(variant, varSingle, Load<float>(value.data));
      return;
    case tcDouble:
      SetVariantReal(variant, value.type->exportName == kDateTimeTypeName ? varDate : varDouble,
                     Load<double>(value.data));
      return;
    case tcExtended:
      SetVariantReal(variant, varDouble, static_cast<double>(LoadExtended(value.data)));
      return;
    case tcCurrency:
      SetVariantCurrency(variant, Load<std::int64_t>(value.data));
      return;
    case tcChar:
      SetVariantString(variant, std::string(1, Load<char>(value.data)));
      return;
    case tcString: case tcPChar:
      SetVariantString(variant, StringAt(value.data));  // PChar values are string blocks too
      return;
    case tcWideString:
      SetVariantWideString(variant, WideStringAt(value.data));
      return;
    case tcVariant:
      CopyVariant(variant, value.data);
      return;
    case tcArray: case tcStaticArray:
      ArrayToVariant(variant, value);
      return;
    default:
      FailWith(ErTypeMismatch);
  }
}

}  // namespace dravik::engine

#include "engine/values/value_access.h"

#include "engine/values/assignment_conversion.h"
#include "engine/values/integer_kinds.h"
#include "engine/values/script_fault.h"

namespace dravik::engine::values {

namespace {

[[noreturn]] void FailSetter() { throw HostException(kSetterMismatchMessage); }

ValueRef SetterTarget(ValueRef value) {
  const ValueRef target = FollowPointer(value);
  if (target.data == nullptr || target.type == nullptr) FailSetter();
  return target;
}

bool IsRealCode(image::TPSTypeCode code) {
  return code == image::tcSingle || code == image::tcDouble || code == image::tcExtended;
}

// numberValue holds the same number: the form a variant destination takes it in.
void SetInteger(ValueRef value, std::int64_t number, ValueRef numberValue) {
  const ValueRef target = SetterTarget(value);
  const image::TPSTypeCode code = target.type->baseType;
  if (IntegerKindOf(code))
    StoreInteger(target.data, *IntegerKindOf(code), static_cast<std::uint64_t>(number));
  else if (IsRealCode(code))
    StoreReal(target.data, code, static_cast<Extended>(number));
  else if (code == image::tcCurrency)
    Store(target.data, IntegerToCurrency(number));
  else if (code == image::tcVariant)
    StoreAsVariant(target.data, numberValue);
  else
    FailSetter();
}

}  // namespace

std::int32_t GetInt32(ValueRef value) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(ConvertToOrdinal(FollowPointer(value))));
}

std::int64_t GetInt64(ValueRef value) { return ConvertToInt64(FollowPointer(value)); }
Extended GetReal(ValueRef value) { return ConvertToReal(FollowPointer(value)); }
std::string GetString(ValueRef value) { return ConvertToString(FollowPointer(value)); }

void SetInt32(ValueRef value, std::int32_t number) {
  static const TPSTypeRec numberType(image::tcS32);
  SetInteger(value, number, {&number, &numberType});
}

void SetInt64(ValueRef value, std::int64_t number) {
  static const TPSTypeRec numberType(image::tcS64);
  SetInteger(value, number, {&number, &numberType});
}

void SetReal(ValueRef value, Extended number) {
  const ValueRef target = SetterTarget(value);
  const image::TPSTypeCode code = target.type->baseType;
  if (IsRealCode(code)) {
    StoreReal(target.data, code, number);
  } else if (code == image::tcCurrency) {
    Store(target.data, RealToCurrency(number));
  } else if (code == image::tcVariant) {
    static const TPSTypeRec numberType(image::tcExtended);
    std::uint8_t bytes[kExtendedMemSize];
    StoreExtended(bytes, number);
    StoreAsVariant(target.data, {bytes, &numberType});
  } else {
    FailSetter();
  }
}

void SetString(ValueRef value, std::string_view text) {
  const ValueRef target = SetterTarget(value);
  switch (target.type->baseType) {
    case image::tcString: case image::tcPChar: SetTextAt(target.data, target.type->baseType, text); break;
    case image::tcWideString: SetWideStringAt(target.data, WidenText(text)); break;
    case image::tcChar:
      if (text.size() != 1) FailSetter();
      Store(target.data, text[0]);
      break;
    case image::tcVariant: {
      static const TPSTypeRec textType(image::tcString);
      StringBlock* block = NewString(text);
      try {
        StoreAsVariant(target.data, {&block, &textType});
      } catch (...) {
        ReleaseString(block);
        throw;
      }
      ReleaseString(block);
      break;
    }
    default: FailSetter();
  }
}

}  // namespace dravik::engine::values

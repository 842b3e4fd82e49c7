#include "engine/library/variant_routines.h"

#include "engine/values/script_fault.h"
#include "engine/values/value_access.h"
#include "engine/values/variant.h"

namespace dravik::engine::library {

namespace {

using Params = std::span<const exec::ScriptValueRef>;

bool IsVariant(const exec::ScriptValueRef* value) {
  return value != nullptr && value->value.type->baseType == image::tcVariant;
}

// A function of no parameters whose variant result is made by set.
exec::HostFunction VariantMaker(void (*set)(void* at)) {
  return [set](exec::TPSExec&, Params params, const exec::ScriptValueRef* result) {
    if (!params.empty() || !IsVariant(result)) return false;
    set(result->value.data);
    return true;
  };
}

// A function of one variant parameter whose integer result is answer of the variant's type code.
exec::HostFunction VariantQuery(std::int32_t (*answer)(std::uint16_t varType)) {
  return [answer](exec::TPSExec&, Params params, const exec::ScriptValueRef* result) {
    if (params.size() != 1 || !IsVariant(&params[0]) || result == nullptr) return false;
    values::SetInt32(result->value, answer(values::VariantTypeAt(params[0].value.data)));
    return true;
  };
}

bool InvokeDispatch(exec::TPSExec&, Params, const exec::ScriptValueRef*) {
  throw values::HostException(kLateBoundCallsUnavailable);
}

}  // namespace

exec::HostFunction VariantRoutine(Handler handler) {
  switch (handler) {
    case Handler::kUnassigned: return VariantMaker(values::FinalizeVariant);
    case Handler::kVarIsEmpty: return VariantQuery([](std::uint16_t t) { return std::int32_t{t == image::varEmpty}; });
    case Handler::kNull: return VariantMaker(values::SetVariantNull);
    case Handler::kVarIsNull: return VariantQuery([](std::uint16_t t) { return std::int32_t{t == image::varNull}; });
    case Handler::kVarType: return VariantQuery([](std::uint16_t t) { return std::int32_t{t}; });
    case Handler::kIDispatchInvoke:
    default: return InvokeDispatch;
  }
}

}  // namespace dravik::engine::library

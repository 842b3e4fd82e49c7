#include "engine/library/variant_routines.h"

#include "engine/values/script_fault.h"
#include "engine/values/value_access.h"
#include "engine/values/variant.h"

namespace dravik::engine {

namespace {

using Params = std::span<const ScriptValueRef>;

bool IsVariant(const ScriptValueRef* value) {
  return value != nullptr && value->value.type->baseType == tcVariant;
}

// A function of no parameters whose variant result is made by set.
HostFunction VariantMaker(void (*set)(void* at)) {
  return [set](TPSExec&, Params params, const ScriptValueRef* result) {
    if (!params.empty() || !IsVariant(result)) return false;
    set(result->value.data);
    return true;
  };
}

// A function of one variant parameter whose integer result is answer of the variant's type code.
HostFunction VariantQuery(std::int32_t (*answer)(std::uint16_t varType)) {
  return [answer](TPSExec&, Params params, const ScriptValueRef* result) {
    if (params.size() != 1 || !IsVariant(&params[0]) || result == nullptr) return false;
    SetInt32(result->value, answer(VariantTypeAt(params[0].value.data)));
    return true;
  };
}

bool InvokeDispatch(TPSExec&, Params, const ScriptValueRef*) { throw HostException(kLateBoundCallsUnavailable); }

}  // namespace

HostFunction VariantRoutine(Handler handler) {
  switch (handler) {
    case Handler::kUnassigned: return VariantMaker(FinalizeVariant);
    case Handler::kVarIsEmpty: return VariantQuery([](std::uint16_t t) { return std::int32_t{t == varEmpty}; });
    case Handler::kNull: return VariantMaker(SetVariantNull);
    case Handler::kVarIsNull: return VariantQuery([](std::uint16_t t) { return std::int32_t{t == varNull}; });
    case Handler::kVarType: return VariantQuery([](std::uint16_t t) { return std::int32_t{t}; });
    case Handler::kIDispatchInvoke:
    default: return InvokeDispatch;
  }
}

}  // namespace dravik::engine

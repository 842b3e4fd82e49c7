// Host functions in the callable form: the handler that RegisterHostFunction installs gathers
// the parameters from the main stack by the procedure's call declaration and hands them over as
// ScriptValueRefs in declaration order.

#include <algorithm>
#include <array>
#include <vector>

#include "engine/exec/exec.h"
#include "engine/values/pointer_value.h"

namespace dravik::engine::exec {

namespace {

// Base types a host function cannot take by reference: the call answers false.
constexpr std::array kNotByReference = {image::tcReturnAddress, image::tcPointer, image::tcPChar,
                                        image::tcChar,          image::tcProcPtr, image::tcCurrency};

// Base types a host function can give back; any other result type makes the call answer false.
constexpr std::array kResultTypes = {image::tcU8,    image::tcS8,      image::tcU16,        image::tcS16,
                                     image::tcU32,   image::tcS32,     image::tcChar,       image::tcWideChar,
                                     image::tcClass, image::tcSingle,  image::tcDouble,     image::tcExtended,
                                     image::tcS64,   image::tcPChar,   image::tcString,     image::tcRecord,
                                     image::tcArray, image::tcVariant, image::tcWideString, image::tcInterface};

template <std::size_t N>
bool Holds(const std::array<image::TPSTypeCode, N>& codes, image::TPSTypeCode code) {
  return std::find(codes.begin(), codes.end(), code) != codes.end();
}

// A parameter slot's value as the host sees it: a pointer slot stands for its target.
ScriptValueRef ParameterRef(values::ValueRef slot, bool byReference) {
  return {values::FollowPointer(slot), byReference};
}

bool CanPass(const ScriptValueRef& param) {
  return param.value.data != nullptr && !(param.byReference && Holds(kNotByReference, param.value.type->baseType));
}

bool CallHostFunction(TPSExec& exec, TPSExternalProcRec& proc, TPSStack&, TPSStack& stack) {
  const std::string& declaration = proc.declaration;
  if (declaration.empty()) return false;
  const bool hasResult = declaration[0] != image::kCallDeclProcedure;
  const std::size_t paramCount = declaration.size() - 1;
  if (stack.Count() < paramCount + (hasResult ? 1 : 0)) return false;
  const std::ptrdiff_t firstParam = hasResult ? -2 : -1;
  std::vector<ScriptValueRef> params;
  params.reserve(paramCount);
  for (std::size_t i = 0; i < paramCount; ++i) {
    ScriptValueRef param = ParameterRef(stack.FromTop(firstParam - static_cast<std::ptrdiff_t>(i)),
                                        declaration[i + 1] != image::kCallDeclByValue);
    if (!CanPass(param)) return false;
    params.push_back(param);
  }
  ScriptValueRef result;
  if (hasResult) {
    result = ParameterRef(stack.FromTop(-1), true);
    if (result.value.data == nullptr || !Holds(kResultTypes, result.value.type->baseType)) return false;
  }
  const auto& function = *reinterpret_cast<const HostFunction*>(proc.extra1);
  return function(exec, params, hasResult ? &result : nullptr);
}

}  // namespace

void TPSExec::RegisterHostFunction(HostFunction function, std::string_view name, std::uint8_t convention) {
  if (convention > kStdcall) return;
  hostFunctions_.push_back(std::make_unique<HostFunction>(std::move(function)));
  RegisterRoutine(name, CallHostFunction, reinterpret_cast<std::uintptr_t>(hostFunctions_.back().get()), 0);
}

}  // namespace dravik::engine::exec

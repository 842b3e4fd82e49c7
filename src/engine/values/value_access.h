#pragma once
// Typed access to a value of any base type, for the runtime library and host routines: read it
// as a 32-bit or 64-bit integer, an extended real or a string, and store one of those into it.
// Readers convert by the assignment rules (operators.h) and throw like them; setters that
// cannot convert throw HostException("Type mismatch").

#include <cstdint>
#include <string>

#include "engine/values/operators.h"
#include "engine/values/value_memory.h"

namespace dravik::engine::values {

std::int32_t GetInt32(ValueRef value);
std::int64_t GetInt64(ValueRef value);
Extended GetReal(ValueRef value);
std::string GetString(ValueRef value);

void SetInt32(ValueRef value, std::int32_t number);
void SetInt64(ValueRef value, std::int64_t number);
void SetReal(ValueRef value, Extended number);
void SetString(ValueRef value, std::string_view text);

}  // namespace dravik::engine::values

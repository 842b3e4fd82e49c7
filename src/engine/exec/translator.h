#pragma once
// Translates a procedure's byte code into its register form (register_code.h), once, when the
// procedure is first entered.

#include <cstdint>
#include <memory>

#include "engine/exec/register_code.h"

namespace dravik::engine::exec {

class TPSExec;
class TPSInternalProcRec;
class TPSStack;

// The register form of proc for a frame whose return address is slot frameBase of the stack
// (-1: the main procedure's frame, which has none); the parameters' types are taken from the
// slots under it. Null when the procedure is to run from its byte code only.
std::shared_ptr<const RegisterCode> TranslateProcedure(const TPSInternalProcRec& proc, const TPSExec& exec,
                                                       const TPSStack& stack, std::int32_t frameBase);

}  // namespace dravik::engine::exec

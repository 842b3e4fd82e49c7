#include "dk2/script_compilation.h"

#include "core/script_host/host_routines.h"
#include "dk2/simulated_host.h"

namespace dravik::dk2 {

engine::CompileResult CompileScript(std::string_view text) {
  const engine::HostUnit system{core::kSystemUnitName, SystemUnitDeclarations()};
  return engine::Compile(text, std::span(&system, 1));
}

}  // namespace dravik::dk2

#include "engine/library/interface_importer.h"

#include "engine/values/script_fault.h"

namespace dravik::engine {

namespace {

bool CallInterfaceMethod(TPSExec&, TPSExternalProcRec&, TPSStack&, TPSStack&) {
  throw HostException(kInterfaceCallsUnavailable);
}

}  // namespace

bool ImportInterfaceMethod(TPSExec&, TPSExternalProcRec& proc, std::uintptr_t) {
  proc.handler = CallInterfaceMethod;
  return true;
}

}  // namespace dravik::engine

#include "engine/library/interface_importer.h"

#include "engine/values/script_fault.h"

namespace dravik::engine::library {

namespace {

bool CallInterfaceMethod(exec::TPSExec&, exec::TPSExternalProcRec&, exec::TPSStack&, exec::TPSStack&) {
  throw values::HostException(kInterfaceCallsUnavailable);
}

}  // namespace

bool ImportInterfaceMethod(exec::TPSExec&, exec::TPSExternalProcRec& proc, std::uintptr_t) {
  proc.handler = CallInterfaceMethod;
  return true;
}

}  // namespace dravik::engine::library

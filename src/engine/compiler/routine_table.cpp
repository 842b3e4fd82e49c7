#include "engine/compiler/compilation.h"

namespace dravik::engine {

std::string CallDeclaration(const TPSParametersDecl& decl) {
  std::string bytes(1, decl.result != nullptr ? kCallDeclFunction : kCallDeclProcedure);
  for (const TPSParameterDecl& param : decl.params)
    bytes += param.ByReference() ? kCallDeclByReference : kCallDeclByValue;
  return bytes;
}

TPSRegProc* Compilation::AppendRegProc(std::unique_ptr<TPSRegProc> proc) {
  regProcIndex_.Add(proc->name.upper, regProcs_.size());
  regProcs_.push_back(std::move(proc));
  return regProcs_.back().get();
}

TPSRegProc* Compilation::FindRegProc(const TPSName& name) const {
  const std::vector<std::size_t>* found = regProcIndex_.Find(name.upper);
  return found == nullptr ? nullptr : regProcs_[found->back()].get();
}

std::uint32_t Compilation::AppendProc(std::unique_ptr<TPSProcedure> proc) {
  const auto number = static_cast<std::uint32_t>(procs_.size());
  procIndex_.Add(proc->Name().upper, number);
  procs_.push_back(std::move(proc));
  return number;
}

std::optional<std::uint32_t> Compilation::FindListedProc(const TPSName& name) const {
  const std::vector<std::size_t>* found = procIndex_.Find(name.upper);
  if (found == nullptr) return std::nullopt;
  return static_cast<std::uint32_t>(found->back());
}

std::optional<std::uint32_t> Compilation::FindProc(const TPSName& name) {
  if (std::optional<std::uint32_t> listed = FindListedProc(name)) return listed;
  TPSRegProc* registered = FindRegProc(name);
  if (registered == nullptr) return std::nullopt;
  return AppendProc(std::make_unique<TPSExternalProcedure>(registered));
}

}  // namespace dravik::engine

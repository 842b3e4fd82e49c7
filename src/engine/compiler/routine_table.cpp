#include "engine/compiler/compilation.h"

namespace dravik::engine::compiler {

std::string CallDeclaration(const TPSParametersDecl& decl) {
  std::string bytes(1, decl.result != nullptr ? image::kCallDeclFunction : image::kCallDeclProcedure);
  for (const TPSParameterDecl& param : decl.params)
    bytes += param.ByReference() ? image::kCallDeclByReference : image::kCallDeclByValue;
  return bytes;
}

TPSRegProc* Compilation::AppendRegProc(std::unique_ptr<TPSRegProc> proc) {
  regProcIndex_.Add(proc->name.Key(), regProcs_.size());
  regProcs_.push_back(std::move(proc));
  return regProcs_.back().get();
}

TPSRegProc* Compilation::FindRegProc(names::NameKey name) const {
  const names::NameIndex::Positions* found = regProcIndex_.Find(name);
  return found == nullptr ? nullptr : regProcs_[found->last].get();
}

std::uint32_t Compilation::AppendProc(std::unique_ptr<TPSProcedure> proc) {
  const auto number = static_cast<std::uint32_t>(procs_.size());
  procIndex_.Add(proc->Name().Key(), number);
  procs_.push_back(std::move(proc));
  return number;
}

std::optional<std::uint32_t> Compilation::FindListedProc(names::NameKey name) const {
  const names::NameIndex::Positions* found = procIndex_.Find(name);
  if (found == nullptr) return std::nullopt;
  return static_cast<std::uint32_t>(found->last);
}

std::optional<std::uint32_t> Compilation::FindProc(names::NameKey name) {
  if (std::optional<std::uint32_t> listed = FindListedProc(name)) return listed;
  TPSRegProc* registered = FindRegProc(name);
  if (registered == nullptr) return std::nullopt;
  return AppendProc(std::make_unique<TPSExternalProcedure>(registered));
}

}  // namespace dravik::engine::compiler

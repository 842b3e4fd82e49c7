#pragma once
// Routines of a compilation: the registered routines (declared by text), the script's own
// routines with their code, and the external entries for registered routines the script calls.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/compiler/types.h"

namespace dravik::engine::compiler {

// A routine declared by a declaration text: host routines, built-ins, externals.
struct TPSRegProc {
  TPSName name;
  TPSParametersDecl decl;
  std::uint8_t kind = 1;
  std::string callDeclaration;  // result byte, then one byte per parameter (by reference: 1)
};

// The call declaration bytes of a parameter list.
std::string CallDeclaration(const TPSParametersDecl& decl);

struct TPSLabel {
  TPSName name;
  std::int32_t position = -1;  // unset until placed in the code
};

struct TPSGoto {
  std::int32_t position = 0;  // end of the displacement field
  std::size_t label = 0;
};

class TPSProcedure {
 public:
  virtual ~TPSProcedure() = default;
  virtual bool IsInternal() const = 0;
  // The upper-cased name a script refers to the routine by.
  virtual const TPSName& Name() const = 0;
  virtual const TPSParametersDecl& Decl() const = 0;

  TPSAttributes attributes;
};

class TPSInternalProcedure final : public TPSProcedure {
 public:
  bool IsInternal() const override { return true; }
  const TPSName& Name() const override { return name; }
  const TPSParametersDecl& Decl() const override { return decl; }

  bool forward = false;
  TPSName name;
  TPSParametersDecl decl;
  std::vector<TPSVar> locals;  // declared locals first, then the live temporaries
  std::size_t declaredLocals = 0;
  bool resultUsed = false;
  std::vector<TPSLabel> labels;
  std::vector<TPSGoto> gotos;
  // Code ranges of loops and case statements, which no goto may enter or leave.
  std::vector<std::pair<std::int32_t, std::int32_t>> jumpRanges;
  std::int32_t declarationRow = 0;
  std::int32_t declarationPosition = 0;
  std::int32_t declarationColumn = 0;
  std::string code;
};

class TPSExternalProcedure final : public TPSProcedure {
 public:
  explicit TPSExternalProcedure(TPSRegProc* called) : regProc(called) {}
  bool IsInternal() const override { return false; }
  const TPSName& Name() const override { return regProc->name; }
  const TPSParametersDecl& Decl() const override { return regProc->decl; }

  TPSRegProc* regProc;
};

}  // namespace dravik::engine::compiler

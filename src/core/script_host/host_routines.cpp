#include "core/script_host/host_routines.h"

#include "core/script_host/cut_ext.h"

namespace dravik::core {

const std::array<HostRoutineRow, 5> kHostRoutines = {{
    {"procedure ExecuteFile(FileName, Params, DefaultDir: string)", "EXECUTEFILE", 3, false,
     [](HostRoutines& r, HostParams p, const engine::HostValue*) { r.ExecuteFile(p[0].Text(), p[1].Text(), p[2].Text()); }},
    {"procedure MountFile(FileName: string; Drive: Integer)", "MOUNTFILE", 2, false,
     [](HostRoutines& r, HostParams p, const engine::HostValue*) { r.MountFile(p[0].Text(), p[1].Integer()); }},
    {"procedure Wait(ms: longint)", "WAIT", 1, false,
     [](HostRoutines& r, HostParams p, const engine::HostValue*) { r.Wait(p[0].Integer()); }},
    {"function CutExt(filename: string): String", "CUTEXT", 1, true,
     [](HostRoutines&, HostParams p, const engine::HostValue* result) { result->SetText(CutExt(p[0].Text())); }},
    {"function getMountedFile: String", "GETMOUNTEDFILE", 0, true,
     [](HostRoutines& r, HostParams, const engine::HostValue* result) { result->SetText(r.getMountedFile()); }},
}};

std::span<const std::string_view> HostRoutineDeclarations() {
  static const std::array<std::string_view, kHostRoutines.size()> declarations = [] {
    std::array<std::string_view, kHostRoutines.size()> texts;
    for (std::size_t i = 0; i < kHostRoutines.size(); ++i) texts[i] = kHostRoutines[i].declaration;
    return texts;
  }();
  return declarations;
}

void BindHostRoutines(engine::Script& script, HostRoutines& routines) {
  for (const HostRoutineRow& row : kHostRoutines) {
    script.Bind(row.boundName, [&routines, &row](HostParams params, const engine::HostValue* result) {
      if (params.size() != row.parameterCount || (result != nullptr) != row.hasResult) return false;
      row.call(routines, params, result);
      return true;
    });
  }
}

}  // namespace dravik::core

#include "core/about/about_form.h"

#include "core/about/version_info.h"

namespace dravik::core {

void TForm2::FormCreate() {
  TEPInfoExe info(platform_.versionRecords);
  info.ExeName = platform_.files.ProgramPath();
  info.LangId = std::string(kLangId);
  info.Read();
  versionLabel_ = std::string(kVersionPrefix) + info.FileVersion;
}

void TForm2::MovingLabel2Click() { platform_.shell.Open(kWebTarget); }

void TForm2::MovingLabel3Click() { platform_.shell.Open(kMailTarget); }

}  // namespace dravik::core

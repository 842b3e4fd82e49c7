#include "core/about/version_info.h"

#include <optional>

namespace dravik::core {

void TEPInfoExe::Read() {
  const std::optional<std::string> record = records_.Load(ExeName);
  if (!record) return;
  const std::string table = "StringFileInfo\\" + LangId + std::string(kVersionCodePage) + "\\";
  for (const VersionText& text : kVersionTexts) {
    this->*text.field = records_.Query(*record, table + std::string(text.name)).value_or(std::string());
  }
}

}  // namespace dravik::core

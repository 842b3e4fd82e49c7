#pragma once
// Starting programs and documents through the system shell's default verb.

#include "core/platform/shell.h"

namespace dravik::platform {

class ShellWin final : public core::Shell {
 public:
  core::ShellStart Execute(std::string_view file, std::string_view parameters, std::string_view folder) override;
  void Open(std::string_view target) override;
  void NotifyAssociationsChanged() override;
};

}  // namespace dravik::platform

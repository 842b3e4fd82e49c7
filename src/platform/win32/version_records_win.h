#pragma once
// Version records read through the system's 8-bit version interface.

#include "core/platform/version_records.h"

namespace dravik::platform {

class VersionRecordsWin final : public core::VersionRecords {
 public:
  std::optional<std::string> Load(std::string_view path) override;
  std::optional<std::string> Query(const std::string& record, std::string_view valuePath) override;
};

}  // namespace dravik::platform

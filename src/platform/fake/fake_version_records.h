#pragma once
// Version records held in memory: a file's record is the table of texts a test gives it, by
// value path. Paths compare without regard to ASCII case, as on the real system.

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "core/platform/version_records.h"

namespace dravik::platform {

class FakeVersionRecords final : public core::VersionRecords {
 public:
  std::optional<std::string> Load(std::string_view path) override;
  std::optional<std::string> Query(const std::string& record, std::string_view valuePath) override;

  // Gives the file at path a record holding texts, by value path
  // ("StringFileInfo\\040904E4\\FileVersion").
  void Put(std::string_view path, std::map<std::string, std::string> texts);

 private:
  std::map<std::string, std::map<std::string, std::string>> records_;  // by upper-cased path
};

}  // namespace dravik::platform

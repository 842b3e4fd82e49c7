#pragma once
// The version record an executable file carries: its string tables of company, product and
// version texts.

#include <optional>
#include <string>
#include <string_view>

namespace dravik::core {

class VersionRecords {
 public:
  virtual ~VersionRecords() = default;

  // The whole version record of the file at path, as opaque bytes for Query. Nothing when the
  // file has no record or cannot be read.
  virtual std::optional<std::string> Load(std::string_view path) = 0;
  // The text stored at valuePath (for example "StringFileInfo\\040904E4\\FileVersion") in a
  // record that Load gave, without its terminating zero. Nothing when the record holds no text
  // there.
  virtual std::optional<std::string> Query(const std::string& record, std::string_view valuePath) = 0;
};

}  // namespace dravik::core

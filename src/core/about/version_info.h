#pragma once
// TEPInfoExe reads the ten standard texts of an executable's version record, from the string
// table of one language in the Western European code page.

#include <array>
#include <string>
#include <string_view>

#include "core/platform/version_records.h"

namespace dravik::core {

class TEPInfoExe {
 public:
  explicit TEPInfoExe(VersionRecords& records) : records_(records) {}

  // Fills the ten texts from ExeName's record, in the order of kVersionTexts. A file without a
  // record leaves all ten as they were; a text the table lacks reads as empty.
  void Read();

  std::string ExeName;
  std::string LangId = "040C";  // four hexadecimal digits, the language of the string table
  std::string CompanyName;
  std::string FileDescription;
  std::string FileVersion;
  std::string InternalName;
  std::string LegalCopyright;
  std::string LegalTradeMarks;
  std::string OriginalFilename;
  std::string ProductName;
  std::string ProductVersion;
  std::string Comments;

 private:
  VersionRecords& records_;
};

// The string table's code-page half of its name: Windows code page 1252.
inline constexpr std::string_view kVersionCodePage = "04E4";

struct VersionText {
  std::string_view name;  // the value's name in the string table
  std::string TEPInfoExe::*field;
};

inline constexpr std::array<VersionText, 10> kVersionTexts{{
    {"CompanyName", &TEPInfoExe::CompanyName},
    {"FileDescription", &TEPInfoExe::FileDescription},
    {"FileVersion", &TEPInfoExe::FileVersion},
    {"InternalName", &TEPInfoExe::InternalName},
    {"LegalCopyright", &TEPInfoExe::LegalCopyright},
    {"LegalTradeMarks", &TEPInfoExe::LegalTradeMarks},
    {"OriginalFilename", &TEPInfoExe::OriginalFilename},
    {"ProductName", &TEPInfoExe::ProductName},
    {"ProductVersion", &TEPInfoExe::ProductVersion},
    {"Comments", &TEPInfoExe::Comments},
}};

}  // namespace dravik::core

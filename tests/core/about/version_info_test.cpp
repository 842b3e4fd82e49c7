// Reading an executable's version record, and the About window's use of it, against in-memory
// records.

#include "core/about/version_info.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "core/about/about_form.h"
#include "platform/fake/fake_system.h"

namespace dravik::core {
namespace {

constexpr char kExe[] = "C:\\Program Files\\Dravik\\dravik.exe";

// A record with one string table, US English in code page 1252, as the program's own.
std::map<std::string, std::string> UsEnglishTable() {
  std::map<std::string, std::string> texts;
  for (const VersionText& text : kVersionTexts) {
    texts["StringFileInfo\\040904E4\\" + std::string(text.name)] = std::string(text.name) + " text";
  }
  texts["StringFileInfo\\040904E4\\FileVersion"] = "2.0.2.101";
  return texts;
}

TEST(TEPInfoExe, ReadsEveryTextOfTheChosenLanguageIntoItsOwnProperty) {
  platform::FakeVersionRecords records;
  records.Put(kExe, UsEnglishTable());
  TEPInfoExe info(records);
  info.ExeName = "c:\\program files\\dravik\\DRAVIK.EXE";
  info.LangId = "0409";
  info.Read();
  EXPECT_EQ(info.CompanyName, "CompanyName text");
  EXPECT_EQ(info.FileDescription, "FileDescription text");
  EXPECT_EQ(info.FileVersion, "2.0.2.101");
  EXPECT_EQ(info.InternalName, "InternalName text");
  EXPECT_EQ(info.LegalCopyright, "LegalCopyright text");
  EXPECT_EQ(info.LegalTradeMarks, "LegalTradeMarks text");
  EXPECT_EQ(info.OriginalFilename, "OriginalFilename text");
  EXPECT_EQ(info.ProductName, "ProductName text");
  EXPECT_EQ(info.ProductVersion, "ProductVersion text");
  EXPECT_EQ(info.Comments, "Comments text");
}

TEST(TEPInfoExe, AnotherLanguageOrAMissingTextReadsAsEmpty) {
  platform::FakeVersionRecords records;
  std::map<std::string, std::string> texts = UsEnglishTable();
  texts.erase("StringFileInfo\\040904E4\\Comments");
  records.Put(kExe, texts);
  TEPInfoExe info(records);
  info.ExeName = kExe;
  info.FileVersion = "left over";
  info.Read();  // the language it starts with, 040C, has no table in this record
  EXPECT_EQ(info.LangId, "040C");
  EXPECT_EQ(info.FileVersion, "");
  EXPECT_EQ(info.CompanyName, "");

  info.LangId = "0409";
  info.Comments = "left over";
  info.Read();
  EXPECT_EQ(info.FileVersion, "2.0.2.101");
  EXPECT_EQ(info.Comments, "");
}

TEST(TEPInfoExe, AFileWithoutARecordLeavesEveryTextAsItWas) {
  platform::FakeVersionRecords records;
  TEPInfoExe info(records);
  info.ExeName = kExe;
  info.LangId = "0409";
  info.FileVersion = "1.0";
  info.ProductName = "earlier";
  info.Read();
  EXPECT_EQ(info.FileVersion, "1.0");
  EXPECT_EQ(info.ProductName, "earlier");
}

TEST(TForm2, VersionLabelNamesTheProgramsOwnFileVersion) {
  platform::FakePlatform system;
  system.files.programPath = kExe;
  TForm2 form(system.platform);
  EXPECT_EQ(form.VersionLabel(), "Dravik ");
  form.FormCreate();
  EXPECT_EQ(form.VersionLabel(), "Dravik ");  // no record

  system.versionRecords.Put(kExe, UsEnglishTable());
  form.FormCreate();
  EXPECT_EQ(form.VersionLabel(), "Dravik 2.0.2.101");
}

TEST(TForm2, LinksOpenTheWebPageAndANewMail) {
  platform::FakePlatform system;
  TForm2 form(system.platform);
  form.MovingLabel2Click();
  form.MovingLabel3Click();
  EXPECT_EQ(system.shell.opened,
            (std::vector<std::string>{"http://www.varnholt.example/dravik", "mailto:support@varnholt.example"}));
  EXPECT_TRUE(system.shell.starts.empty());
}

}  // namespace
}  // namespace dravik::core

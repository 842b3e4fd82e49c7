#pragma once
// TForm2, the About window's behaviour: the version label it shows and the two links it opens.
// The window layer draws the texts and calls the link handlers.

#include <string>
#include <string_view>

#include "core/platform/platform.h"

namespace dravik::core {

class TForm2 {
 public:
  static constexpr std::string_view kTitle = "About Dravik 2";
  static constexpr std::string_view kVersionPrefix = "Dravik ";
  static constexpr std::string_view kCopyright = "Copyright (C) 2026 Varnholt. All rights reserved.";
  static constexpr std::string_view kWebText = "www.varnholt.example";
  static constexpr std::string_view kWebTarget = "http://www.varnholt.example/dravik";
  static constexpr std::string_view kMailText = "support@varnholt.example";
  static constexpr std::string_view kMailTarget = "mailto:support@varnholt.example";
  static constexpr std::string_view kDisclaimer1 = "This program is provided as is, without any warranty.";
  static constexpr std::string_view kDisclaimer2 = "Use it at your own risk; the author is not liable for any damage.";
  // The string table the program's own version record carries: US English.
  static constexpr std::string_view kLangId = "0409";

  explicit TForm2(Platform& platform) : platform_(platform) {}

  // Reads the program's own version record into the version label.
  void FormCreate();
  // The web link: opens the web page.
  void MovingLabel2Click();
  // The mail link: starts a new mail to the support address.
  void MovingLabel3Click();

  const std::string& VersionLabel() const { return versionLabel_; }

 private:
  Platform& platform_;
  std::string versionLabel_{kVersionPrefix};
};

}  // namespace dravik::core

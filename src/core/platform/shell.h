#pragma once
// Starting programs and opening documents through the system shell.

#include <string>
#include <string_view>

namespace dravik::core {

struct ShellStart {
  bool started = true;
  std::string reason;  // when not started: the system's description of the failure, in its words
};

class Shell {
 public:
  virtual ~Shell() = default;

  // Starts file (a program, or a document with its associated program) with the shell's default
  // verb, the given parameters and working folder, in a normal window, with no owner window. Does
  // not wait for the started program; answers whether it could be started, and shows nothing of
  // its own when it could not.
  virtual ShellStart Execute(std::string_view file, std::string_view parameters, std::string_view folder) = 0;
  // Opens target (a web address, a "mailto:" address, a document) with the shell's "open" verb,
  // on behalf of the desktop, in a normal window. Does not wait; the outcome is not reported.
  virtual void Open(std::string_view target) = 0;
  // Tells the shell that file associations changed, so that icons and open commands show the
  // registry's state at once rather than at the next log-on.
  virtual void NotifyAssociationsChanged() = 0;
};

}  // namespace dravik::core

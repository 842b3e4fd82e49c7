// dravik.exe: wires the Win32 backends into the application core, creates the main window, lets
// the core decide the mode from the first argument, creates the About window, and runs the
// message loop. "/unregister" as the first argument gives everything back and ends instead.

#include <string>
#include <vector>

#include "core/about/about_form.h"
#include "core/associations/unregistration.h"
#include "core/main_window/command_line.h"
#include "core/main_window/main_window.h"
#include "platform/win32/application_win.h"
#include "platform/win32/clock_win.h"
#include "platform/win32/files_win.h"
#include "platform/win32/message_boxes_win.h"
#include "platform/win32/registry_win.h"
#include "platform/win32/shell_win.h"
#include "platform/win32/system_ansi_case.h"
#include "platform/win32/version_records_win.h"
#include "windows/about_window.h"
#include "windows/main_window.h"
#include "windows/script_watchdog.h"

#include <windows.h>

namespace {

// The arguments after the program's name, as the system's rules split the command line.
std::vector<std::string> Arguments() {
  std::vector<std::string> words = dravik::core::SplitCommandLine(GetCommandLineA());
  if (!words.empty()) words.erase(words.begin());
  return words;
}

int Run(HINSTANCE instance, int showCommand) {
  namespace platform = dravik::platform;
  platform::RegistryWin registry;
  platform::ShellWin shell;
  platform::FilesWin files;
  platform::ClockWin clock;
  platform::MessageBoxesWin messageBoxes;
  platform::ApplicationWin application;
  platform::VersionRecordsWin versionRecords;
  dravik::core::Platform system{registry,    shell,          files, clock, messageBoxes,
                                application, versionRecords, platform::BindSystemAnsiCase};
  const std::vector<std::string> arguments = Arguments();
  // The uninstaller's way out: no window, the outcome in the exit status.
  if (dravik::core::IsUnregisterSwitch(arguments)) return dravik::core::Unregister(registry, shell) ? 0 : 1;

  dravik::core::TForm1 form(system);
  dravik::windows::ScriptWatchdog watchdog(form.Scripts(), clock, instance);
  dravik::windows::MainWindow window(form, clock.DecimalSeparator());
  if (!window.Create(instance)) return 1;
  application.SetMainWindow(window.Handle());
  messageBoxes.SetOwner(window.Handle());

  // Script mode and an immediate mount do all their work here and end the program.
  form.FormCreate(arguments);
  if (application.Terminated()) return form.ExitStatus();
  dravik::core::TForm2 aboutForm(system);
  dravik::windows::AboutWindow about(aboutForm);
  if (!about.Create(instance, window.Handle())) return 1;
  window.SetAboutHandler([&about] { about.ShowModal(); });
  window.Show(showCommand);
  application.RunLoop();
  return form.ExitStatus();
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) { return Run(instance, showCommand); }

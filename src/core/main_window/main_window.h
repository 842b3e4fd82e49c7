#pragma once
// TForm1, the main window's behaviour: the start-up that decides the mode, the settings written
// at closing, and the handlers of its controls. The window layer calls these and draws State().
//
// Every handler stops at the first failure and shows it in the application's error box (caption
// "Dravik2"); the window goes on. Known failures (a missing host application or image, a script
// that does not compile) have their own "Error" boxes.

#include <cstddef>
#include <string>
#include <vector>

#include "core/associations/change_recording_registry.h"
#include "core/main_window/main_window_state.h"
#include "core/mount/mounter.h"
#include "core/platform/platform.h"

namespace dravik::core {

inline constexpr int kKeyEnter = 13;
inline constexpr int kKeyEscape = 27;

// The program's exit status after a script that did not run to its end in script mode.
inline constexpr int kScriptFailedExitStatus = 1;

// Where a key was pressed: in the window itself or in the control that has the focus.
enum class KeyPlace { Window, ImageNumberField, ExtensionField, OtherControl };

class TForm1 {
 public:
  explicit TForm1(Platform& platform);

  // Reads the settings, refreshes the associations and sets the mode's layout from the first of
  // arguments (the command line after the program's name): none for the settings window, a
  // ".dk2" script to run and end, any other file to mount. Script mode and an immediate mount do
  // their whole work here and then end the program.
  void FormCreate(const std::vector<std::string>& arguments);
  // Asks the running scripts to stop, so that the program can end, and writes the host
  // application and the option back.
  void FormClose();

  // Ticks or crosses fixed extension index (of kFixedExtensions).
  void Label1Click(std::size_t index);
  // Enter in the extension field adds its text as an extra extension, unless it is no extension
  // at all (ExtensionRefusal): that is shown, and the text stays for the user to mend; other keys
  // do nothing.
  void FlatEdit1KeyDown(int key);
  // Gives the selected extra extension back and removes it from the list.
  void MovingLabel28Click();
  // Escape closes the main window, Enter runs the mount action; other keys do nothing.
  void FormKeyDown(int key);
  // A key pressed in place: the window's own keys and those of the image number field go to
  // FormKeyDown, the extension field's to FlatEdit1KeyDown; the other controls keep theirs.
  void KeyDown(KeyPlace place, int key);
  // The mount link: as Enter.
  void Label9Click();
  // "X": closes the main window.
  void MovingLabel21Click();

  MainWindowState& State() { return state_; }
  const std::string& ArgumentFile() const { return argumentFile_; }
  const Mounter& MountRequests() const { return mounter_; }
  ScriptRuns& Scripts() { return mounter_.Scripts(); }
  // 0, or kScriptFailedExitStatus once a script started in script mode has not run to its end.
  int ExitStatus() const { return exitStatus_; }

 private:
  template <typename Step>
  void Guarded(Step step);
  void ReadSettings();
  void RefreshAssociations();
  void NotifyShellOfAssociationChanges();
  void SetSettingsLayout();
  void SetMountLayout(const std::string& argument);
  void RunScriptFile();
  void MountAction();

  Platform& platform_;
  // Every association change goes through here, so that the shell hears of it.
  ChangeRecordingRegistry associationRegistry_;
  MainWindowState state_;
  std::string argumentFile_;
  Mounter mounter_;
  int exitStatus_ = 0;
};

}  // namespace dravik::core

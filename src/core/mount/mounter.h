#pragma once
// The mount request: the log, the host application's start, the remembered file and the mount
// script; and the host routines that scripts reach it through.

#include <cstdint>
#include <string>

#include "core/platform/platform.h"
#include "core/script_host/script_host.h"

namespace dravik::core {

class Mounter final : public HostRoutines {
 public:
  // argumentFile and hostApplication are read at each request, so they follow the window.
  Mounter(Platform& platform, const std::string& argumentFile, const std::string& hostApplication);

  // Checks that the host application, then the argument file, exist (an "Error" box otherwise),
  // mounts the argument file as imageNumber and ends the program.
  void MountAction(int imageNumber);

  // A script's mount: as the mount action's, but while a mount script runs, the mount script is
  // not started again, so a mount script that mounts a further image does not call itself
  // without end. A mount the user starts while a script waits runs its mount script as always.
  void MountFile(std::string fileName, std::int32_t drive) override;
  // Expands placeholders in all three, then starts fileName through the shell. Throws Failure
  // ("Cannot start ...") when it cannot be started.
  void ExecuteFile(std::string fileName, std::string params, std::string defaultDir) override;
  // Returns after milliseconds, handling window messages meanwhile; at once when the running
  // scripts are asked to stop.
  void Wait(std::int32_t milliseconds) override;
  std::string getMountedFile() override { return mountedFile_; }

  // Runs the script file at path with this mounter behind its host routines; answers whether it
  // ran to its end. Throws Failure when the file cannot be read.
  bool RunScript(std::string_view path);

  const std::string& MountedFile() const { return mountedFile_; }
  ScriptRuns& Scripts() { return scripts_; }

 private:
  enum class Requester { User, Script };
  // Expands placeholders, writes the log, starts the host application, remembers the file and
  // runs the mount script. Throws Failure when the log cannot be written (nothing is started
  // then), the host application cannot be started (the log has been written) or the mount
  // script cannot be read.
  void Mount(std::string fileName, std::int32_t drive, Requester requester);
  void ExpandPlaceholders(std::string& text);
  void RunMountScript();

  Platform& platform_;
  const std::string& argumentFile_;
  const std::string& hostApplication_;
  std::string mountedFile_;
  ScriptRuns scripts_;
  int mountScriptsRunning_ = 0;  // more than one when a user's mount ran inside a waiting one
};

}  // namespace dravik::core

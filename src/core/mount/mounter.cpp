#include "core/mount/mounter.h"

#include "core/messages.h"
#include "core/mount/mount_log.h"
#include "core/mount/placeholders.h"
#include "core/paths.h"

namespace dravik::core {

Mounter::Mounter(Platform& platform, const std::string& argumentFile, const std::string& hostApplication)
    : platform_(platform),
      argumentFile_(argumentFile),
      hostApplication_(hostApplication),
      scripts_(platform.clock, platform.application) {}

void Mounter::MountAction(int imageNumber) {
  if (!platform_.files.FileExists(hostApplication_)) {
    platform_.messageBoxes.ShowError(kErrorCaption, kCannotFindHost);
    return;
  }
  if (!platform_.files.FileExists(argumentFile_)) {
    platform_.messageBoxes.ShowError(kErrorCaption, kCannotFindFile);
    return;
  }
  Mount(argumentFile_, imageNumber, Requester::User);
  platform_.application.Terminate();
}

void Mounter::MountFile(std::string fileName, std::int32_t drive) { Mount(std::move(fileName), drive, Requester::Script); }

void Mounter::Mount(std::string fileName, std::int32_t drive, Requester requester) {
  ExpandPlaceholders(fileName);
  const std::string image = Trimmed(fileName);
  const std::string mountParameters = " -mount " + std::to_string(drive) + "," + Quoted(image);
  WriteMountLog(platform_.files, platform_.clock, "Mounting>>" + Quoted(hostApplication_) + mountParameters);
  // The working folder is the trimmed image's: with the blanks the folder would not exist.
  ExecuteFile(Quoted(hostApplication_), mountParameters, std::string(FolderPart(image)));
  mountedFile_ = std::move(fileName);
  if (requester == Requester::User || mountScriptsRunning_ == 0) RunMountScript();
}

void Mounter::RunMountScript() {
  const ScriptFile script = ReadScriptFile(platform_.files, ProgramFolderFile(platform_.files, kMountScriptName));
  ++mountScriptsRunning_;
  struct Count {
    int& running;
    ~Count() { --running; }
  } count{mountScriptsRunning_};
  CompileAndRun(script, *this, platform_, scripts_);
}

bool Mounter::RunScript(std::string_view path) {
  return CompileAndRun(ReadScriptFile(platform_.files, path), *this, platform_, scripts_);
}

void Mounter::ExecuteFile(std::string fileName, std::string params, std::string defaultDir) {
  ExpandPlaceholders(fileName);
  ExpandPlaceholders(params);
  ExpandPlaceholders(defaultDir);
  const ShellStart start = platform_.shell.Execute(fileName, params, defaultDir);
  if (!start.started) throw Failure(CannotStart(Unquoted(fileName), start.reason));
}

void Mounter::ExpandPlaceholders(std::string& text) { core::ExpandPlaceholders(text, argumentFile_, platform_.registry); }

void Mounter::Wait(std::int32_t milliseconds) {
  if (milliseconds <= 0) return;
  const ScriptRuns::Responsive waiting(scripts_);
  const std::uint32_t start = platform_.clock.TickCount();
  const auto wanted = static_cast<std::uint32_t>(milliseconds);
  // Elapsed time as an unsigned difference stays right when the counter wraps around.
  for (std::uint32_t elapsed;
       (elapsed = platform_.clock.TickCount() - start) < wanted && !scripts_.StopRequested();) {
    platform_.application.ProcessMessages();
    platform_.application.WaitForMessage(wanted - elapsed);
  }
}

}  // namespace dravik::core

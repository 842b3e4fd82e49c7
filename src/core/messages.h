#pragma once
// The program's own texts: error box captions, the known failures and the failure texts of the
// registry and file layers. Everything the user reads comes from here.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "engine/engine.h"

namespace dravik::core {

inline constexpr std::string_view kApplicationTitle = "Dravik2";  // also the caption of failure boxes
inline constexpr std::string_view kErrorCaption = "Error";        // the known failures' boxes

// How the system's default-apps settings name and describe the program.
inline constexpr std::string_view kCapabilitiesName = "Dravik";
inline constexpr std::string_view kCapabilitiesDescription =
    "Mounts CD and DVD image files in your virtual-drive program with one double-click";

inline constexpr std::string_view kCannotFindHost = "Cannot find Daemon Tools";
inline constexpr std::string_view kCannotFindFile = "Cannot find file";
inline constexpr std::string_view kErrorWhileCompiling = "Error while compiling script";

inline constexpr std::string_view kBlankExtension = "Type the extension to add, for example: bin";
inline constexpr std::string_view kStopScript = "Stop";

// A failure that ends the running handler and is shown in the application's error box.
class Failure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string FailedToSetData(std::string_view valueName);
std::string InvalidDataType(std::string_view valueName);
std::string CannotOpenFile(std::string_view path, std::string_view reason);
std::string InputOutputError(std::uint32_t systemError);
std::string CannotStart(std::string_view file, std::string_view reason);
std::string ForbiddenInExtension(std::string_view extension);

// The runtime error of a script, with the line and column of its place when it is known.
std::string ErrorWhileRunning(std::string_view scriptPath, std::optional<engine::SourcePlace> place,
                              std::string_view error);
std::string ScriptStillRunning(std::string_view scriptPath);

}  // namespace dravik::core

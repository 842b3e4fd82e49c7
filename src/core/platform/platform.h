#pragma once
// Everything of the system the application core reaches, handed to it as one bundle. The
// program wires the Win32 backends, the native tests the in-memory fakes.

#include <functional>

#include "core/platform/application.h"
#include "core/platform/clock.h"
#include "core/platform/files.h"
#include "core/platform/message_boxes.h"
#include "core/platform/registry.h"
#include "core/platform/shell.h"
#include "core/platform/version_records.h"

namespace dravik::engine {
class Script;
}

namespace dravik::core {

struct Platform {
  Registry& registry;
  Shell& shell;
  Files& files;
  Clock& clock;
  MessageBoxes& messageBoxes;
  Application& application;
  VersionRecords& versionRecords;
  // Registers routines that follow the system's own rules (the ANSI code page's letter cases)
  // in every executor, after the host routines; may be empty.
  std::function<void(engine::Script&)> registerSystemRoutines;
};

}  // namespace dravik::core

#pragma once
// The script engine as a program uses it: a script's text compiled to an image, the image
// loaded with the program's host routines bound and run, and how the run ended. The application
// and dk2 include this header only; everything else under engine/ is the engine's own.
//
//   engine::CompileResult compiled = engine::Compile(text, units);
//   engine::Script script;
//   script.Bind("WAIT", [](std::span<const engine::HostValue> params, const engine::HostValue*) {...});
//   if (compiled.ok && script.Load(compiled.image) && !script.Run()) Report(script.LastError());

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dravik::engine {

namespace exec {
class TPSExec;
}
namespace values {
class TPSTypeRec;
}

// ---------------------------------------------------------------------------------------------
// Compiling

// A unit that scripts may name (the compiler asks for "SYSTEM" before any script): the
// declarations of the host routines it brings, such as "procedure Wait(ms: longint)".
struct HostUnit {
  std::string_view name;  // upper case
  std::span<const std::string_view> routines;
};

struct CompileResult {
  bool ok = false;
  std::vector<std::string> messages;  // each message's full line ("[Error] (3:7): ..."), in order
  std::string image;                  // empty unless ok
  std::string debugOutput;            // where each statement starts, for SourcePlaceOf
};

// Compiles a script that may use the given units (and no other).
CompileResult Compile(std::string_view text, std::span<const HostUnit> units);

struct SourcePlace {
  std::uint32_t line = 0;
  std::uint32_t column = 0;
};

// The statement holding the instruction that failed at position of routine procNo (as a run
// reports it), from the compilation's debug output; nothing when the records do not cover it.
std::optional<SourcePlace> SourcePlaceOf(std::string_view debugOutput, std::int32_t procNo, std::uint32_t position);

// ---------------------------------------------------------------------------------------------
// Host routines

// A parameter or the result of a host routine call. Reads convert as an assignment in the
// script would; a write that cannot convert throws, which the script sees as its error.
class HostValue {
 public:
  std::string Text() const;
  std::int32_t Integer() const;
  void SetText(std::string_view text) const;
  bool ByReference() const { return byReference_; }

 private:
  friend class Script;
  HostValue() = default;
  HostValue(void* data, const values::TPSTypeRec* type, bool byReference)
      : data_(data), type_(type), byReference_(byReference) {}

  void* data_ = nullptr;
  const values::TPSTypeRec* type_ = nullptr;
  bool byReference_ = false;
};

// Answers whether the call succeeded; false makes it the script's error "Could not call proc".
// result is null for a procedure.
using HostRoutine = std::function<bool(std::span<const HostValue> params, const HostValue* result)>;

// ---------------------------------------------------------------------------------------------
// Running

struct RunError {
  std::uint8_t code = 0;  // 0: none
  std::string text;       // "divide by Zero", "Exception: ..."
  std::int32_t procNo = -1;
  std::uint32_t position = 0;
};

// One image and its run.
class Script {
 public:
  Script();
  ~Script();
  Script(const Script&) = delete;
  Script& operator=(const Script&) = delete;

  // Binds an upper-case routine name of the image to routine, before Load. A name the runtime
  // library also has is served by the routine bound here.
  void Bind(std::string_view name, HostRoutine routine);
  // False when the image does not load (LastError says why).
  bool Load(std::string_view image);
  // Runs the main procedure; false when it ended on a runtime error or a stop.
  bool Run();
  // Asks a run to end at its next backward jump or call; safe from any thread.
  void RequestStop();
  bool StopRequested() const;
  RunError LastError() const;

  // The executor behind the script, for the engine's own tests and tools (engine/exec/exec.h).
  exec::TPSExec& Executor() { return *exec_; }

 private:
  std::unique_ptr<exec::TPSExec> exec_;
  std::vector<std::unique_ptr<HostRoutine>> routines_;
};

// ---------------------------------------------------------------------------------------------
// Memory

// What the values of every script the process runs may hold together; an allocation beyond it
// is the script's "Out Of Memory". 1 GiB on every build: the 32-bit build would otherwise end
// at its address space, later and less clearly.
inline constexpr std::uint64_t kDefaultMemoryLimit = std::uint64_t{1} << 30;
void SetMemoryLimit(std::uint64_t bytes);
std::uint64_t MemoryLimit();
// The bytes script values hold now.
std::uint64_t MemoryInUse();

// A limit for as long as the scope lasts; the one before comes back at its end.
class MemoryLimitScope {
 public:
  explicit MemoryLimitScope(std::uint64_t bytes) : saved_(MemoryLimit()) { SetMemoryLimit(bytes); }
  ~MemoryLimitScope() { SetMemoryLimit(saved_); }
  MemoryLimitScope(const MemoryLimitScope&) = delete;
  MemoryLimitScope& operator=(const MemoryLimitScope&) = delete;

 private:
  std::uint64_t saved_;
};

// ---------------------------------------------------------------------------------------------
// Looking inside (dk2's tokens and dump)

// One line per token of text, "ROW:COL KIND TEXT", up to the end or to the first error, whose
// message line comes last; ok is false then.
struct TokenListing {
  bool ok = true;
  std::vector<std::string> lines;
};
TokenListing ListTokens(std::string_view text);

// A readable listing of an image, with names from the debug output when given.
std::string ListImage(std::string_view image, std::string_view debugOutput = {});

// ---------------------------------------------------------------------------------------------
// The language's text rules, for programs that must match them

// a-z become A-Z, every other byte kept: how the language compares names.
std::string AsciiUpperCase(std::string_view text);
// Orders two texts by the runtime library's ANSI upper-case table: below 0, 0 or above 0.
int CompareAnsiText(std::string_view a, std::string_view b);
// A finite number in fixed notation with exactly `decimals` digits after the point, computed
// from its exact binary value (the nearest, halves to the even neighbour).
std::string ExactFixedNotation(long double value, unsigned decimals);

}  // namespace dravik::engine

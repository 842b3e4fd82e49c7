#pragma once
// Reading the compiler's debug output: the names of routines, globals, parameters and locals,
// and the source position of each statement, which the disassembler shows beside the code.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dravik::engine::image {

struct DebugStatement {
  std::uint32_t routine = 0;
  std::uint32_t position = 0;  // code length when the statement began
  std::uint32_t sourceOffset = 0;
  std::uint32_t line = 0;
  std::uint32_t column = 0;
};

struct DebugRoutine {
  std::vector<std::string> params;  // "Result" first for a function, then the parameters
  std::vector<std::string> locals;
};

struct DebugInfo {
  std::vector<std::string> routineNames;  // by routine number, as written ("" for the main body)
  std::vector<std::string> globalNames;   // by variable number, as written
  std::map<std::uint32_t, DebugRoutine> routines;
  std::vector<DebugStatement> statements;
  // Where reading stopped on malformed output; what was read before stays.
  std::optional<std::string> problem;
};

DebugInfo ReadDebugInfo(std::string_view debugOutput);

}  // namespace dravik::engine::image

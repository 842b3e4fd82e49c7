// Writes the input of the compile-speed benchmark: one generated program twice, in the script
// dialect and in Lua, of the same shape (the same routines with the same statements, called
// from the main block), so that the two compilers can be timed on like work.
//
// Usage: twin_scripts LINES DK2_FILE LUA_FILE
// The script gets as many routines as make it at least LINES lines long; the Lua twin gets the
// same routines. Prints the line count of each file.

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

namespace {

constexpr int kMinLines = 100;
constexpr int kMaxLines = 10'000'000;

int CountLines(const std::string& text) {
  int lines = 0;
  for (char c : text)
    if (c == '\n') ++lines;
  return lines;
}

// Locals, a counted loop with a branch, string building, a case statement, a while loop and a
// var parameter: the statements a mount script is made of.
std::string ScriptRoutine(const std::string& id) {
  return "function Step" + id + "(a, b: Integer; var Log: string): Integer;\n"
         "var\n"
         "  i, s: Integer;\n"
         "  t: string;\n"
         "begin\n"
         "  s := 0;\n"
         "  t := '';\n"
         "  for i := a to b do\n"
         "  begin\n"
         "    if (i mod 3) = 0 then\n"
         "      s := s + i * " + id + "\n"
         "    else\n"
         "      s := s - 1;\n"
         "    t := t + IntToStr(i);\n"
         "  end;\n"
         "  case s mod 4 of\n"
         "    0: s := s + 1;\n"
         "    1, 2: s := s + 2;\n"
         "  else\n"
         "    s := s + 3;\n"
         "  end;\n"
         "  while s > 1000 do\n"
         "    s := s div 2;\n"
         "  Log := Log + t;\n"
         "  Result := s;\n"
         "end;\n\n";
}

// Lua allows only 200 locals per function, so the routines are fields of one table; the var
// parameter becomes a buffer table, Lua's way of building a string.
std::string LuaRoutine(const std::string& id) {
  return "function M.step" + id + "(a, b, log)\n"
         "  local s = 0\n"
         "  local t = \"\"\n"
         "  for i = a, b do\n"
         "    if i % 3 == 0 then\n"
         "      s = s + i * " + id + "\n"
         "    else\n"
         "      s = s - 1\n"
         "    end\n"
         "    t = t .. tostring(i)\n"
         "  end\n"
         "  local m = s % 4\n"
         "  if m == 0 then\n"
         "    s = s + 1\n"
         "  elseif m == 1 or m == 2 then\n"
         "    s = s + 2\n"
         "  else\n"
         "    s = s + 3\n"
         "  end\n"
         "  while s > 1000 do\n"
         "    s = s // 2\n"
         "  end\n"
         "  log[#log + 1] = t\n"
         "  return s\n"
         "end\n\n";
}

struct TwinScripts {
  std::string script;
  std::string lua;
};

TwinScripts Generate(int targetLines) {
  TwinScripts twins{"program Big;\nvar\n  Total: Integer;\n  Log: string;\n\n", "local M = {}\n\n"};
  std::string scriptCalls;
  std::string luaCalls;
  constexpr int kMainBlockFrame = 4;  // begin, the first and the last statement, end.
  int scriptLines = CountLines(twins.script) + kMainBlockFrame;
  for (int n = 0; scriptLines < targetLines; ++n) {
    const std::string id = std::to_string(n);
    const std::string routine = ScriptRoutine(id);
    twins.script += routine;
    twins.lua += LuaRoutine(id);
    scriptCalls += "  Total := Total + Step" + id + "(1, 10, Log);\n";
    luaCalls += "total = total + M.step" + id + "(1, 10, log)\n";
    scriptLines += CountLines(routine) + 1;
  }
  twins.script += "begin\n  Total := 0;\n" + scriptCalls + "  Writeln(IntToStr(Total));\nend.\n";
  twins.lua += "local total = 0\nlocal log = {}\n" + luaCalls + "print(total)\n";
  return twins;
}

bool WriteFile(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary);
  file << text;
  return static_cast<bool>(file.flush());
}

}  // namespace

int main(int argc, char** argv) {
  const int lines = argc == 4 ? std::atoi(argv[1]) : 0;
  if (lines < kMinLines || lines > kMaxLines) {
    std::cerr << "usage: twin_scripts LINES DK2_FILE LUA_FILE (LINES from " << kMinLines << " to "
              << kMaxLines << ")\n";
    return 2;
  }
  const TwinScripts twins = Generate(lines);
  if (!WriteFile(argv[2], twins.script) || !WriteFile(argv[3], twins.lua)) {
    std::cerr << "twin_scripts: cannot write " << argv[2] << " or " << argv[3] << "\n";
    return 1;
  }
  std::cout << CountLines(twins.script) << " " << CountLines(twins.lua) << "\n";
  return 0;
}

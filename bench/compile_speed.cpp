// Times the compiler on a generated script of about 10,000 lines: routines with locals, loops,
// case statements and string building, called from the main block.

#include <chrono>
#include <cstdio>
#include <string>

#include "engine/compiler/compiler.h"

namespace {

constexpr int kTargetLines = 10'000;
constexpr int kRuns = 5;

std::string Routine(int n) {
  const std::string id = std::to_string(n);
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

std::string GenerateScript(int& lines) {
  std::string script = "program Big;\nvar\n  Total: Integer;\n  Log: string;\n\n";
  std::string calls;
  int routines = 0;
  lines = 5;
  while (lines < kTargetLines - 4) {
    script += Routine(routines);
    calls += "  Total := Total + Step" + std::to_string(routines) + "(1, 10, Log);\n";
    lines += 28;
    ++routines;
  }
  script += "begin\n  Total := 0;\n" + calls + "end.\n";
  lines += 3;
  return script;
}

}  // namespace

int main() {
  int lines = 0;
  const std::string script = GenerateScript(lines);
  double best = 1e9;
  std::size_t imageSize = 0;
  for (int run = 0; run < kRuns; ++run) {
    dravik::engine::TPSPascalCompiler compiler;
    compiler.OnUses = [](dravik::engine::TPSPascalCompiler&, const std::string& unit) {
      return unit == "SYSTEM";
    };
    const auto start = std::chrono::steady_clock::now();
    const bool ok = compiler.Compile(script);
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    if (!ok) {
      std::fprintf(stderr, "compile failed: %s\n",
                   compiler.MessageCount() ? compiler.Message(0).FullText().c_str() : "?");
      return 1;
    }
    std::string image;
    compiler.GetOutput(image);
    imageSize = image.size();
    if (took.count() < best) best = took.count();
  }
  std::printf("compiled %d lines (%zu bytes) into a %zu-byte image: best of %d runs %.1f ms\n",
              lines, script.size(), imageSize, kRuns, best);
  return 0;
}

#pragma once
// Compiling test scripts: the unit "SYSTEM" declares Writeln, and the result carries the message
// lines and the listing of the image for expectations on the generated code.

#include <string>
#include <string_view>
#include <vector>

#include "engine/compiler/compiler.h"
#include "engine/image/disassembler.h"

namespace dravik::engine::testing {

struct Compiled {
  bool ok = false;
  std::vector<std::string> messages;
  std::string image;
  std::string listing;

  // The only message, or "" when there are none or several.
  std::string Only() const { return messages.size() == 1 ? messages[0] : std::string(); }
  bool Lists(std::string_view line) const { return listing.find(line) != std::string::npos; }
  // The instructions of the listing without their positions and without statement lines,
  // one per line, so that expectations do not depend on code offsets.
  std::string Instructions() const {
    std::string result;
    std::size_t at = 0;
    while (at < listing.size()) {
      std::size_t end = listing.find('\n', at);
      if (end == std::string::npos) end = listing.size();
      std::string_view line(listing.data() + at, end - at);
      const std::size_t op = line.find(" Op");
      if (op != std::string_view::npos && line.find_first_not_of(" 0123456789") == op + 1)
        result.append(line.substr(op + 1)).append("\n");
      at = end + 1;
    }
    return result;
  }
  bool Emits(std::string_view instructions) const {
    return Instructions().find(instructions) != std::string::npos;
  }
};

inline bool DeclareWriteln(compiler::TPSPascalCompiler& compiler, const std::string& unit) {
  if (unit != "SYSTEM") return false;
  compiler.AddHostRoutine("procedure Writeln(s: string)");
  return true;
}

// Without a listing when the caller only runs the image (a long script lists slowly).
enum class Listing : bool { kNone, kMake };

inline Compiled CompileWith(compiler::TPSPascalCompiler& compiler, std::string_view script,
                            Listing listing = Listing::kMake) {
  Compiled result;
  result.ok = compiler.Compile(script);
  for (std::size_t i = 0; i < compiler.MessageCount(); ++i)
    result.messages.push_back(compiler.Message(i).FullText());
  if (compiler.GetOutput(result.image) && listing == Listing::kMake)
    result.listing = image::Disassemble(result.image, compiler.DebugOutput());
  return result;
}

inline Compiled Compile(std::string_view script) {
  compiler::TPSPascalCompiler compiler;
  compiler.OnUses = DeclareWriteln;
  return CompileWith(compiler, script);
}

// The first error line of a script that must fail.
inline std::string ErrorOf(std::string_view script) {
  Compiled result = Compile(script);
  if (result.ok) return "(compiled)";
  return result.messages.empty() ? "(no message)" : result.messages.back();
}

}  // namespace dravik::engine::testing

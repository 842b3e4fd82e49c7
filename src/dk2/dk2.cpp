#include "dk2/dk2.h"

#include <array>
#include <ostream>
#include <string_view>

namespace dravik::dk2 {

namespace {

struct Verb {
  std::string_view name;
  std::string_view summary;
  int (*run)(const std::string& path, std::ostream& out, std::ostream& err);
  // Verbs that take more than one FILE get every word after the verb instead.
  int (*runWithArguments)(const std::vector<std::string>& words, std::ostream& out,
                          std::ostream& err) = nullptr;
  std::string_view operands = "FILE";
};

constexpr std::array kVerbs = {
    Verb{"tokens", "print the tokens of a script, one per line", TokensCommand},
    Verb{"check", "compile a script and print its messages", CheckCommand},
    Verb{"compile", "compile a script and write its image", nullptr, CompileCommand, "FILE -o IMAGE"},
    Verb{"dump", "list a script's compiled image, or an image file's", nullptr, DumpCommand,
         "FILE | --image IMAGE"},
    Verb{"run", "run a script or an image file, host routines simulated", nullptr, RunCommand,
         "[--memory-limit BYTES] FILE | --image IMAGE"},
};

void PrintUsage(std::ostream& to) {
  to << "usage: dk2 VERB OPERANDS\n\nverbs (with their operands):\n";
  for (const Verb& verb : kVerbs)
    to << "  " << verb.name << " " << verb.operands << "  " << verb.summary << "\n";
}

const Verb* FindVerb(std::string_view name) {
  for (const Verb& verb : kVerbs)
    if (verb.name == name) return &verb;
  return nullptr;
}

}  // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    PrintUsage(out);
    return kExitOk;
  }
  const Verb* verb = FindVerb(args[0]);
  if (verb == nullptr) {
    err << "dk2: unknown verb '" << args[0] << "'\n";
    PrintUsage(err);
    return kExitUsage;
  }
  if (verb->runWithArguments != nullptr) {
    return verb->runWithArguments(std::vector<std::string>(args.begin() + 1, args.end()), out, err);
  }
  if (args.size() != 2) {
    err << "dk2: " << verb->name << " takes exactly one FILE\n";
    PrintUsage(err);
    return kExitUsage;
  }
  return verb->run(args[1], out, err);
}

}  // namespace dravik::dk2

#pragma once
// Running one image both ways the machine can run it, for the run targets: in the register form
// (the way dk2 and dravik.exe run scripts) and from the bytes one instruction at a time (a step
// hook makes the machine take that path; it is the reference). Both runs get dk2's simulated host
// (with a Wait that does not sleep) and stop after the same number of backward jumps, calls and try
// blocks entered, so endless scripts are compared too. Any difference in what was printed, Run's
// answer, the error, its parameter, routine and position, or the slots left on the main stack
// aborts with both outcomes on standard error, so that libFuzzer keeps the input; so does value
// memory that is still counted once the executor has gone (a block lost). The suite's register form
// test runs its scripts and images one way at a time through the same RunOneWay.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <span>
#include <streambuf>
#include <string>
#include <string_view>

#include "dk2/simulated_host.h"
#include "engine/exec/exec.h"
#include "engine/engine.h"

namespace dravik::fuzz {

// Keeps the first bytes written and a hash and count of all of them: a script may print far more
// than is worth holding, and outputs are only compared.
class OutputDigest : public std::streambuf {
 public:
  static constexpr std::size_t kKeptBytes = 4096;

  bool operator==(const OutputDigest& other) const {
    return count_ == other.count_ && hash_ == other.hash_ && kept_ == other.kept_;
  }
  const std::string& Kept() const { return kept_; }
  std::uint64_t Count() const { return count_; }

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char byte = traits_type::to_char_type(c);
    Add(&byte, 1);
    return c;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    Add(s, static_cast<std::size_t>(n));
    return n;
  }

 private:
  void Add(const char* s, std::size_t n) {
    if (kept_.size() < kKeptBytes) kept_.append(s, std::min(n, kKeptBytes - kept_.size()));
    for (std::size_t i = 0; i < n; ++i) hash_ = (hash_ ^ static_cast<unsigned char>(s[i])) * 0x100000001b3u;
    count_ += n;
  }

  std::string kept_;
  std::uint64_t hash_ = 0xcbf29ce484222325u;  // FNV-1a, 64 bits
  std::uint64_t count_ = 0;
};

enum class Path { kRegisterForm, kByteCode };

// How a run of an image ended, apart from what it printed.
struct RunEnd {
  bool loaded = false;
  bool succeeded = false;
  engine::image::TQXException error = engine::image::ErNoError;
  std::string parameter;
  std::int32_t procNo = -1;
  std::uint32_t position = 0;
  std::size_t stackCount = 0;

  bool operator==(const RunEnd&) const = default;
};

// Runs image one way as dk2 and the program do (engine::Script), printing to out, with the host
// routines bind(script, host) gives it (host is dk2's simulated one). The script is made and
// destroyed here: what its executor releases is part of the run.
template <class Bind>
RunEnd RunOneWay(std::string_view image, Path path, std::uint64_t ticks, std::ostream& out, const Bind& bind) {
  dk2::SimulatedHost host{out};  // outlives the script
  engine::Script script;
  bind(script, host);
  engine::exec::TPSExec& exec = script.Executor();
  if (path == Path::kByteCode) exec.OnRunLine = [](engine::exec::TPSExec&) {};
  exec.LimitTicks(ticks);
  RunEnd end;
  end.loaded = script.Load(image);
  if (end.loaded) end.succeeded = script.Run();
  end.error = exec.LastError();
  end.parameter = exec.LastErrorParameter();
  end.procNo = exec.LastErrorProcNo();
  end.position = exec.LastErrorPosition();
  end.stackCount = exec.MainStack().Count();
  return end;
}

struct Outcome {
  RunEnd end;
  OutputDigest output;

  bool operator==(const Outcome&) const = default;
};

// dk2's simulated host, with its Wait, which sleeps, replaced by one that does not: a fuzzer
// must not sleep. Fills outcome (an OutputDigest cannot be copied out).
inline void RunOneWay(std::string_view image, Path path, std::uint64_t ticks, Outcome& outcome) {
  std::ostream out(&outcome.output);
  outcome.end = RunOneWay(image, path, ticks, out, [](engine::Script& script, dk2::SimulatedHost& host) {
    dk2::BindSimulatedHost(script, host);
    script.Bind("WAIT", [](std::span<const engine::HostValue> params, const engine::HostValue* result) {
      return params.size() == 1 && result == nullptr;
    });
  });
}

inline void Print(const char* name, const Outcome& outcome) {
  const RunEnd& end = outcome.end;
  std::fprintf(stderr, "%s: %s, %s, error %d '%s' at routine %d position %u, stack %zu, %llu bytes printed:\n%s\n",
               name, end.loaded ? "loaded" : "not loaded", end.succeeded ? "succeeded" : "failed",
               static_cast<int>(end.error), end.parameter.c_str(), end.procNo, end.position, end.stackCount,
               static_cast<unsigned long long>(outcome.output.Count()), outcome.output.Kept().c_str());
}

// Script values may hold this much at once, far below the product's limit: under the sanitizers
// every byte costs more, and libFuzzer's own memory limit must not be what ends a script.
inline constexpr std::uint64_t kMemoryLimit = 256u << 20;

[[noreturn]] inline void Fail(const Outcome& registerForm, const Outcome& byteCode, std::string_view source) {
  Print("register form", registerForm);
  Print("byte code", byteCode);
  if (!source.empty()) std::fprintf(stderr, "script:\n%.*s\n", static_cast<int>(source.size()), source.data());
  std::abort();
}

// Runs image both ways with the same budget; aborts when they disagree or when value memory is
// still counted after an executor went, printing both outcomes and source (the script the image
// was compiled from, if any). Answers the error of a failed load (both ways alike, or the run
// aborted), ErNoError when it loaded.
inline engine::image::TQXException RunBothWays(std::string_view image, std::uint64_t ticks,
                                               std::string_view source = {}) {
  const engine::MemoryLimitScope limit(kMemoryLimit);
  const std::uint64_t before = engine::MemoryInUse();
  Outcome registerForm, byteCode;
  RunOneWay(image, Path::kRegisterForm, ticks, registerForm);
  const std::uint64_t afterRegisterForm = engine::MemoryInUse();
  RunOneWay(image, Path::kByteCode, ticks, byteCode);
  const std::uint64_t afterByteCode = engine::MemoryInUse();
  if (afterRegisterForm != before || afterByteCode != afterRegisterForm) {
    std::fprintf(stderr, "Value memory counted after the executor went: %llu bytes before, %llu after the register form, %llu after the byte code\n",
                 static_cast<unsigned long long>(before), static_cast<unsigned long long>(afterRegisterForm),
                 static_cast<unsigned long long>(afterByteCode));
    Fail(registerForm, byteCode, source);
  }
  if (!(registerForm == byteCode)) {
    std::fprintf(stderr, "The two paths disagree, stopped after %llu ticks\n", static_cast<unsigned long long>(ticks));
    Fail(registerForm, byteCode, source);
  }
  return registerForm.end.loaded ? engine::image::ErNoError : registerForm.end.error;
}

// The budgets an input runs with: a fixed one large enough for most scripts to end by
// themselves, and a small one drawn from the input, so that stops part-way through loops and
// calls are compared at varying places.
inline constexpr std::uint64_t kTicks = 2000;
inline constexpr std::uint64_t kSmallTicksRange = 64;

inline std::uint64_t SmallTicks(std::span<const std::uint8_t> input) {
  std::uint64_t hash = 0xcbf29ce484222325u;
  for (std::uint8_t byte : input) hash = (hash ^ byte) * 0x100000001b3u;
  return 1 + hash % kSmallTicksRange;
}

}  // namespace dravik::fuzz

#include "engine/engine.h"

#include <algorithm>

#include "engine/compiler/compiler.h"
#include "engine/compiler/messages.h"
#include "engine/exec/exec.h"
#include "engine/image/debug_info.h"
#include "engine/image/disassembler.h"
#include "engine/image/runtime_error.h"
#include "engine/library/ansi_case.h"
#include "engine/names/names.h"
#include "engine/tokenizer/tokenizer.h"
#include "engine/values/extended_decimal.h"
#include "engine/values/value_access.h"

namespace dravik::engine {

// ---------------------------------------------------------------------------------------------
// Compiling

CompileResult Compile(std::string_view text, std::span<const HostUnit> units) {
  compiler::TPSPascalCompiler compiler;
  compiler.OnUses = [units](compiler::TPSPascalCompiler& c, const std::string& unit) {
    const auto found = std::find_if(units.begin(), units.end(), [&](const HostUnit& u) { return u.name == unit; });
    if (found == units.end()) return false;
    for (std::string_view declaration : found->routines) c.AddHostRoutine(declaration);
    return true;
  };
  CompileResult result;
  result.ok = compiler.Compile(text);
  for (std::size_t i = 0; i < compiler.MessageCount(); ++i) result.messages.push_back(compiler.Message(i).FullText());
  if (result.ok) compiler.GetOutput(result.image);
  result.debugOutput = compiler.DebugOutput();
  return result;
}

// The machine reports the position after the failing instruction's first byte; of statements
// that begin at the same place, the inner one comes last.
std::optional<SourcePlace> SourcePlaceOf(std::string_view debugOutput, std::int32_t procNo, std::uint32_t position) {
  const std::uint32_t failedAt = position == 0 ? 0 : position - 1;
  const image::DebugInfo debug = image::ReadDebugInfo(debugOutput);
  const image::DebugStatement* found = nullptr;
  for (const image::DebugStatement& statement : debug.statements) {
    if (static_cast<std::int32_t>(statement.routine) != procNo || statement.position > failedAt) continue;
    if (found == nullptr || statement.position >= found->position) found = &statement;
  }
  if (found == nullptr) return std::nullopt;
  return SourcePlace{found->line, found->column};
}

// ---------------------------------------------------------------------------------------------
// Host routines

std::string HostValue::Text() const { return values::GetString({data_, type_}); }
std::int32_t HostValue::Integer() const { return values::GetInt32({data_, type_}); }
void HostValue::SetText(std::string_view text) const { values::SetString({data_, type_}, text); }

// ---------------------------------------------------------------------------------------------
// Running

namespace {

// Host routines take a handful of parameters; more are passed from the heap.
constexpr std::size_t kParamsInPlace = 8;

}  // namespace

Script::Script() : exec_(std::make_unique<exec::TPSExec>()) {}
Script::~Script() = default;

void Script::Bind(std::string_view name, HostRoutine routine) {
  routines_.push_back(std::make_unique<HostRoutine>(std::move(routine)));
  const HostRoutine& bound = *routines_.back();
  auto call = [&bound](exec::TPSExec&, std::span<const exec::ScriptValueRef> params,
                       const exec::ScriptValueRef* result) {
    const auto view = [](const exec::ScriptValueRef& ref) {
      return HostValue(ref.value.data, ref.value.type, ref.byReference);
    };
    const std::optional<HostValue> resultView = result == nullptr ? std::nullopt : std::optional(view(*result));
    const HostValue* resultPointer = resultView ? &*resultView : nullptr;
    if (params.size() > kParamsInPlace) {
      std::vector<HostValue> many;
      for (const exec::ScriptValueRef& param : params) many.push_back(view(param));
      return bound(many, resultPointer);
    }
    HostValue few[kParamsInPlace];
    std::transform(params.begin(), params.end(), few, view);
    return bound(std::span<const HostValue>(few, params.size()), resultPointer);
  };
  exec_->RegisterHostFunction(std::move(call), name, exec::kRegisterConvention);
}

bool Script::Load(std::string_view image) { return exec_->Load(image); }
bool Script::Run() { return exec_->Run(); }
void Script::RequestStop() { exec_->RequestStop(); }
bool Script::StopRequested() const { return exec_->StopRequested(); }

RunError Script::LastError() const {
  return {static_cast<std::uint8_t>(exec_->LastError()),
          image::ErrorToText(exec_->LastError(), exec_->LastErrorParameter()), exec_->LastErrorProcNo(),
          exec_->LastErrorPosition()};
}

// ---------------------------------------------------------------------------------------------
// Looking inside

TokenListing ListTokens(std::string_view text) {
  TokenListing listing;
  tokenizer::TPSPascalParser parser;
  parser.OnParserError = [&listing](tokenizer::TPSPascalParser& p, tokenizer::TPSParserErrorKind kind) {
    listing.ok = false;
    compiler::TPSPascalCompilerError error(compiler::ParserErrorCode(kind), {});
    error.SetPosition(p.Row(), p.Column(), p.Position());
    listing.lines.push_back(error.FullText());
  };
  parser.SetText(text);
  while (listing.ok) {
    std::string line = std::to_string(parser.Row()) + ":" + std::to_string(parser.Column()) + " " +
                       std::string(tokenizer::TokenKindName(parser.TokenKind()));
    if (!parser.Token().empty()) line += " " + std::string(parser.Token());
    listing.lines.push_back(std::move(line));
    if (parser.TokenKind() == tokenizer::tokEOF) break;
    parser.Next();
  }
  return listing;
}

std::string ListImage(std::string_view image, std::string_view debugOutput) {
  return image::Disassemble(image, debugOutput);
}

// ---------------------------------------------------------------------------------------------
// Text rules

std::string ExactFixedNotation(long double value, unsigned decimals) {
  return values::ExactFixedNotation(value, decimals);
}

std::string AsciiUpperCase(std::string_view text) { return names::FastUpperCase(text); }

int CompareAnsiText(std::string_view a, std::string_view b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const unsigned char x = library::kAnsiUpperTable[static_cast<unsigned char>(a[i])];
    const unsigned char y = library::kAnsiUpperTable[static_cast<unsigned char>(b[i])];
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace dravik::engine

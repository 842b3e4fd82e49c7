#include "engine/compiler/compiler.h"

#include "engine/compiler/compilation.h"

namespace dravik::engine::compiler {

namespace {
constexpr std::string_view kOnlyDuringCompilation =
    "This function can only be called from within the OnUses event";
}  // namespace

TPSPascalCompiler::TPSPascalCompiler() {
  parser_.OnParserError = [this](tokenizer::TPSPascalParser&, tokenizer::TPSParserErrorKind kind) {
    if (compilation_ != nullptr) compilation_->ReportLexicalError(kind);
  };
}

TPSPascalCompiler::~TPSPascalCompiler() = default;

bool TPSPascalCompiler::Compile(std::string_view script) {
  messages_.clear();
  output_.clear();
  debugOutput_.clear();
  compilation_ = std::make_unique<Compilation>(*this, parser_);
  bool ok = false;
  try {
    parser_.SetText(script);
    // A lexical error is reported from inside the tokenizer and ends the text; it always fails.
    ok = compilation_->Run() && !compilation_->ErrorReported();
    if (OnCompileEnd) OnCompileEnd(*this);
  } catch (...) {
    compilation_.reset();
    output_.clear();
    throw;
  }
  compilation_.reset();
  if (!ok) output_.clear();
  return ok;
}

bool TPSPascalCompiler::GetOutput(std::string& image) const {
  if (output_.empty()) return false;
  image = output_;
  return true;
}

Compilation& TPSPascalCompiler::Running() {
  if (compilation_ == nullptr) throw EPSCompilerException(std::string(kOnlyDuringCompilation));
  return *compilation_;
}

TPSType* TPSPascalCompiler::AddType(std::string_view name, image::TPSTypeCode code) {
  return Running().AddType(name, code);
}

TPSType* TPSPascalCompiler::AddTypeFromDeclaration(std::string_view name, std::string_view declaration) {
  TPSType* type = Running().TypeFromDeclaration(name, declaration);
  if (type == nullptr) throw EPSCompilerException(std::string("Unable to register type ").append(name));
  return type;
}

TPSType* TPSPascalCompiler::AddTypeAlias(std::string_view name, TPSType* existing) {
  Compilation& c = Running();
  if (existing == nullptr) throw EPSCompilerException("Invalid Type");
  return c.AddTypeAlias(name, existing);
}

TPSType* TPSPascalCompiler::AddTypeAlias(std::string_view name, std::string_view existingName) {
  Compilation& c = Running();
  return AddTypeAlias(name, c.FindType(names::NameKey(names::FastUpperCase(existingName))));
}

TPSConstant* TPSPascalCompiler::AddConstant(std::string_view name, TPSType* type) {
  Compilation& c = Running();
  if (type == nullptr) throw EPSCompilerException(std::string("Unable to register constant ").append(name));
  return c.AddConstant(name, type);
}

TPSConstant* TPSPascalCompiler::AddConstant(std::string_view name, std::string_view typeName) {
  Compilation& c = Running();
  return AddConstant(name, c.FindType(names::NameKey(names::FastUpperCase(typeName))));
}

TPSInterfaceType* TPSPascalCompiler::AddInterfaceType(TPSInterfaceType* parent, std::string_view guid,
                                                      std::string_view name) {
  return Running().AddInterfaceType(parent, guid, name);
}

TPSInterfaceType* TPSPascalCompiler::FindInterfaceType(std::string_view name) {
  return Running().FindInterfaceType(name);
}

TPSType* TPSPascalCompiler::FindType(std::string_view name) {
  if (compilation_ == nullptr) return nullptr;
  return compilation_->FindType(names::NameKey(names::FastUpperCase(name)));
}

TPSType* TPSPascalCompiler::FindBaseType(image::TPSTypeCode code) { return Running().FindBaseType(code); }

TPSType* TPSPascalCompiler::UseType(TPSType* type) { return Running().UseType(type); }

TPSRegProc* TPSPascalCompiler::AddHostRoutine(std::string_view declaration) {
  return Running().AddHostRoutine(declaration);
}

TPSRegProc* TPSPascalCompiler::AddBuiltinRoutine(std::string_view declaration) {
  return Running().AddBuiltinRoutine(declaration);
}

TPSPascalCompilerMessage& TPSPascalCompiler::Append(std::unique_ptr<TPSPascalCompilerMessage> message) {
  message->SetPosition(parser_.Row(), parser_.Column(), parser_.Position());
  messages_.push_back(std::move(message));
  return *messages_.back();
}

TPSPascalCompilerMessage& TPSPascalCompiler::AddError(std::uint8_t code, std::string detail) {
  return Append(std::make_unique<TPSPascalCompilerError>(code, std::move(detail)));
}

TPSPascalCompilerMessage& TPSPascalCompiler::AddHint(std::uint8_t code, std::string detail) {
  return Append(std::make_unique<TPSPascalCompilerHint>(code, std::move(detail)));
}

TPSPascalCompilerMessage& TPSPascalCompiler::AddWarning(std::uint8_t code, std::string detail) {
  return Append(std::make_unique<TPSPascalCompilerWarning>(code, std::move(detail)));
}

}  // namespace dravik::engine::compiler

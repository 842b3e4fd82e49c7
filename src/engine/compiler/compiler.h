#pragma once
// TPSPascalCompiler: turns one script text into a bytecode image. A host makes one, sets its
// callbacks (OnUses declares the host's routines), calls Compile and then reads either the image
// (GetOutput) or the messages. The same object may compile several texts in turn.
//
// The registration operations (AddType ... AddBuiltinRoutine) work only while a compilation runs,
// that is from inside a callback such as OnUses; at any other time they raise
// EPSCompilerException("This function can only be called from within the OnUses event").

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/compiler/compiler_exception.h"
#include "engine/compiler/messages.h"
#include "engine/compiler/routines.h"
#include "engine/compiler/types.h"
#include "engine/tokenizer/tokenizer.h"

namespace dravik::engine::compiler {

class Compilation;

class TPSPascalCompiler {
 public:
  TPSPascalCompiler();
  ~TPSPascalCompiler();
  TPSPascalCompiler(const TPSPascalCompiler&) = delete;
  TPSPascalCompiler& operator=(const TPSPascalCompiler&) = delete;

  // Called with "SYSTEM" before the script is read, then for every unit of a uses clause; false
  // fails the compilation without a message. A std::exception raised here becomes an error
  // message with its text.
  std::function<bool(TPSPascalCompiler&, const std::string& upperUnitName)> OnUses;
  // An external routine declaration: (parameters, upper-cased name, the external text); the
  // answer is registered and called by the script, or none to fail.
  std::function<TPSRegProc*(TPSPascalCompiler&, const TPSParametersDecl&, const std::string&,
                            const std::string&)>
      OnExternalDeclaration;
  // After a successful parse, per script routine with its signature text; false fails.
  std::function<bool(TPSPascalCompiler&, const TPSInternalProcedure&, const std::string&)>
      OnCheckRoutine;
  // Before the image is written; false fails.
  std::function<bool(TPSPascalCompiler&)> OnBeforeWrite;
  // At the end of every compilation, before its tables are freed.
  std::function<void(TPSPascalCompiler&)> OnCompileEnd;
  // As each variable is declared or found: (kind 0 global / 1 parameter / 2 local, index,
  // source offset, routine number or -1).
  std::function<void(TPSPascalCompiler&, int kind, std::uint32_t index, std::uint32_t offset,
                     std::int32_t routine)>
      OnVariableDeclared;
  // Whether a statement record goes to the debug output for the statement at this offset.
  std::function<bool(TPSPascalCompiler&, std::uint32_t offset)> OnStatement;
  // May replace the position written into a statement record.
  std::function<void(TPSPascalCompiler&, std::uint32_t& offset, std::uint32_t& row,
                     std::string& fileName, std::uint32_t& column)>
      OnWritePosition;

  // Options; all off when made.
  bool AllowNoBegin = false;
  bool AllowNoEnd = false;
  bool AllowUnit = false;
  bool ShortCircuit = false;

  // True when the image was written.
  bool Compile(std::string_view script);
  // The image of the last compilation; false when there is none.
  bool GetOutput(std::string& image) const;
  const std::string& DebugOutput() const { return debugOutput_; }

  std::size_t MessageCount() const { return messages_.size(); }
  const TPSPascalCompilerMessage& Message(std::size_t index) const { return *messages_[index]; }

  // Registration (see the header comment).
  TPSType* AddType(std::string_view name, image::TPSTypeCode code);
  TPSType* AddTypeFromDeclaration(std::string_view name, std::string_view declaration);
  TPSType* AddTypeAlias(std::string_view name, TPSType* existing);
  TPSType* AddTypeAlias(std::string_view name, std::string_view existingName);
  TPSConstant* AddConstant(std::string_view name, TPSType* type);
  TPSConstant* AddConstant(std::string_view name, std::string_view typeName);
  TPSInterfaceType* AddInterfaceType(TPSInterfaceType* parent, std::string_view guid,
                                     std::string_view name);
  TPSInterfaceType* FindInterfaceType(std::string_view name);
  // Newest first; the target for an alias; none when no compilation runs.
  TPSType* FindType(std::string_view name);
  TPSType* FindBaseType(image::TPSTypeCode code);
  TPSType* UseType(TPSType* type);
  TPSRegProc* AddHostRoutine(std::string_view declaration);
  TPSRegProc* AddBuiltinRoutine(std::string_view declaration);

  // Message makers at the script tokenizer's current position.
  TPSPascalCompilerMessage& AddError(std::uint8_t code, std::string detail);
  TPSPascalCompilerMessage& AddHint(std::uint8_t code, std::string detail);
  TPSPascalCompilerMessage& AddWarning(std::uint8_t code, std::string detail);

 private:
  friend class Compilation;

  Compilation& Running();
  TPSPascalCompilerMessage& Append(std::unique_ptr<TPSPascalCompilerMessage> message);

  tokenizer::TPSPascalParser parser_;
  std::unique_ptr<Compilation> compilation_;
  std::vector<std::unique_ptr<TPSPascalCompilerMessage>> messages_;
  std::string output_;
  std::string debugOutput_;
};

}  // namespace dravik::engine::compiler

#include "engine/image/disassembler.h"

#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "engine/image/constant_text.h"
#include "engine/image/debug_info.h"
#include "engine/image/image_tables.h"
#include "engine/image/instruction.h"

namespace dravik::engine::image {

namespace {

std::string Number(std::uint64_t value) { return std::to_string(value); }

std::string ProblemText(const ImageProblem& problem) {
  return std::string(kRuntimeErrors[problem.code].name) + ": " + problem.reason;
}

// An external routine's or procedural type's call declaration: result byte, then one byte per
// parameter (0 by value, else by reference).
std::string CallDeclarationText(std::string_view declaration) {
  if (declaration.empty()) return "none";
  std::string text = declaration[0] == kCallDeclProcedure ? "procedure(" : "function(";
  for (std::size_t i = 1; i < declaration.size(); ++i) {
    if (i > 1) text += ", ";
    text += declaration[i] == kCallDeclByValue ? "val" : "var";
  }
  return text + ")";
}

// The GUID's binary layout: uint32, uint16 and uint16 little-endian, then eight single bytes;
// shown in the usual grouping.
std::string GuidText(std::string_view bytes) {
  constexpr std::string_view kDigits = "0123456789ABCDEF";
  std::string text = "{";
  auto group = [&](std::initializer_list<std::size_t> order) {
    if (text.size() > 1) text += '-';
    for (std::size_t i : order) {
      const auto byte = static_cast<unsigned char>(bytes[i]);
      text += kDigits[byte >> 4];
      text += kDigits[byte & 15];
    }
  };
  group({3, 2, 1, 0});
  group({5, 4});
  group({7, 6});
  group({8, 9});
  group({10, 11, 12, 13, 14, 15});
  return text + "}";
}

class Disassembler {
 public:
  Disassembler(std::string_view image, std::string_view debugOutput)
      : image_(image), tables_(ReadImageTables(image)), debug_(ReadDebugInfo(debugOutput)) {
    out_ = "image " + Number(image.size()) + " bytes\n";
    if (!debugOutput.empty()) out_ += "debug output " + Number(debugOutput.size()) + " bytes\n";
    if (debug_.problem) out_ += "! debug output stopped at " + *debug_.problem + "\n";
  }

  std::string Run() {
    if (tables_.headerRead) WriteHeader();
    WriteTypes();
    WriteRoutines();
    WriteVariables();
    if (tables_.problem) WriteTableProblem(*tables_.problem);
    if (tables_.tablesRead) WriteCode();
    return std::move(out_);
  }

 private:
  void Line(std::string_view text) {
    out_ += text;
    out_ += '\n';
  }

  void WriteTableProblem(const ImageProblem& problem) {
    const std::string_view verb = tables_.tablesRead ? "" : "stopped at ";
    Line("! " + std::string(verb) + "byte " + Number(problem.at) + ": " + ProblemText(problem));
  }

  // ------------------------------------------------------------------ tables

  void WriteHeader() {
    const ImageHeader& h = tables_.header;
    Line("header");
    Line("  magic " + QuotedText(image_.substr(kHeaderMagicOffset, 4)));
    Line("  build " + Number(h.buildNumber));
    Line("  types " + Number(h.typeCount));
    Line("  routines " + Number(h.procCount));
    Line("  variables " + Number(h.varCount));
    Line("  main " + (h.mainProc == kNoNumber ? std::string("none") : NumberedText('R', h.mainProc)));
    Line("  reserved " + Number(h.reserved));
  }

  void WriteTypes() {
    if (tables_.types.empty()) return;
    Line("types");
    for (std::size_t i = 0; i < tables_.types.size(); ++i) {
      const ImageType& type = tables_.types[i];
      std::string text = "  T" + Number(i) + " " + std::string(TypeCodeName(type.code)) + TypeBodyText(type);
      if (type.exportName) text += " export " + QuotedText(*type.exportName);
      Line(text);
      WriteAttributes(type.attributes);
    }
  }

  static std::string TypeBodyText(const ImageType& type) {
    switch (type.code) {
      case tcRecord: {
        std::string text = " fields";
        for (std::size_t i = 0; i < type.fields.size(); ++i)
          text += (i == 0 ? " T" : ", T") + Number(type.fields[i]);
        return text;
      }
      case tcArray: return " of T" + Number(type.element);
      case tcStaticArray: return " of T" + Number(type.element) + " count " + Number(type.count);
      case tcSet: return " bits " + Number(type.count);
      case tcProcPtr: return " call " + CallDeclarationText(type.text);
      case tcClass: return " " + QuotedText(type.text);
      case tcInterface: return " " + GuidText(type.text);
      default: return "";
    }
  }

  void WriteAttributes(const std::vector<ImageAttribute>& attributes) {
    for (const ImageAttribute& attribute : attributes) {
      std::string text = "      attribute " + QuotedText(attribute.name) + " (";
      for (std::size_t i = 0; i < attribute.values.size(); ++i)
        text += (i == 0 ? "" : ", ") + ConstantOperandText(attribute.values[i]);
      Line(text + ")");
    }
  }

  void WriteRoutines() {
    if (tables_.routines.empty()) return;
    Line("routines");
    for (std::size_t i = 0; i < tables_.routines.size(); ++i) {
      Line("  R" + Number(i) + " " + RoutineEntryText(tables_.routines[i]));
      WriteAttributes(tables_.routines[i].attributes);
    }
  }

  static std::string RoutineEntryText(const ImageRoutine& routine) {
    const bool declared = (routine.flags & kProcExported) != 0;
    if (routine.IsExternal()) {
      std::string text = "external " + QuotedText(routine.name);
      return declared ? text + " call " + CallDeclarationText(routine.declaration) : text;
    }
    std::string text = "script";
    if (declared)
      text += " " + QuotedText(routine.name) + " decl " + QuotedText(routine.declaration);
    return text + " code " + Number(routine.codeOffset) + " length " + Number(routine.codeLength);
  }

  void WriteVariables() {
    if (tables_.variables.empty()) return;
    Line("variables");
    for (std::size_t i = 0; i < tables_.variables.size(); ++i) {
      const ImageVariable& variable = tables_.variables[i];
      std::string text = "  " + GlobalText(static_cast<std::uint32_t>(i)) + " " + TypeText(variable.type);
      if (variable.exportName) text += " export " + QuotedText(*variable.exportName);
      Line(text);
    }
  }

  // ------------------------------------------------------------------ names

  static std::string Named(std::string text, std::string_view name) {
    return name.empty() ? text : text + "(" + std::string(name) + ")";
  }

  static std::string_view NameAt(const std::vector<std::string>& names, std::uint64_t index) {
    return index < names.size() ? std::string_view(names[index]) : std::string_view{};
  }

  std::string GlobalText(std::uint32_t number) const {
    std::string_view name = NameAt(debug_.globalNames, number);
    if (name.empty() && number < tables_.variables.size() && tables_.variables[number].exportName)
      name = *tables_.variables[number].exportName;
    return Named(NumberedText('G', number), name);
  }

  std::string TypeText(std::uint64_t number) const {
    if (number >= tables_.types.size()) return NumberedText('T', number);
    return NumberedText('T', number) + ":" + std::string(TypeCodeName(tables_.types[number].code));
  }

  std::string_view RoutineName(std::uint64_t number) const {
    if (number < tables_.routines.size() && !tables_.routines[number].name.empty())
      return tables_.routines[number].name;
    return NameAt(debug_.routineNames, number);
  }

  std::string VariableText(std::uint32_t number) const {
    if (number < kFirstFrameVariable) return GlobalText(number);
    const DebugRoutine* names = CurrentDebugRoutine();
    if (number >= kFrameBaseVariable) {
      const std::uint32_t local = number - kFrameBaseVariable;
      return Named(NumberedText('L', local),
                   names != nullptr && local > 0 ? NameAt(names->locals, local - 1) : "");
    }
    const std::uint32_t below = kFrameBaseVariable - number;
    return Named(NumberedText('P', below), names != nullptr ? NameAt(names->params, below - 1) : "");
  }

  const DebugRoutine* CurrentDebugRoutine() const {
    auto found = debug_.routines.find(currentRoutine_);
    return found == debug_.routines.end() ? nullptr : &found->second;
  }

  // ------------------------------------------------------------------ code

  void WriteCode() {
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::size_t> listed;
    std::uint64_t budget = image_.size();  // compiled code never covers a byte twice
    for (std::size_t i = 0; i < tables_.routines.size(); ++i) {
      const ImageRoutine& routine = tables_.routines[i];
      if (routine.IsExternal()) continue;
      Line("");
      Line(Named("code R" + Number(i), RoutineName(i)));
      const auto region = std::make_pair(routine.codeOffset, routine.codeLength);
      auto [first, isNew] = listed.emplace(region, i);
      if (!isNew) {
        Line("  same code as R" + Number(first->second));
      } else if (routine.codeLength > budget) {
        Line("  ! not listed: code overlaps code listed before");
      } else {
        budget -= routine.codeLength;
        currentRoutine_ = static_cast<std::uint32_t>(i);
        WriteRoutineCode(image_.substr(routine.codeOffset, routine.codeLength));
      }
    }
  }

  // Decodes the whole routine first, so that jump targets can be checked against the
  // instruction starts.
  void WriteRoutineCode(std::string_view code) {
    std::vector<Instruction> instructions;
    std::optional<ImageProblem> problem;
    for (std::size_t position = 0; position < code.size() && !problem;) {
      DecodedInstruction decoded = DecodeInstruction(code, position, tables_.types);
      if (ImageProblem* failed = std::get_if<ImageProblem>(&decoded)) {
        problem = std::move(*failed);
      } else {
        instructions.push_back(std::get<Instruction>(decoded));
        position = instructions.back().end;
      }
    }
    code_ = CodeShape{code.size(), instructions.empty() ? 0 : instructions.back().end, {}};
    for (const Instruction& instruction : instructions) code_.starts.insert(instruction.position);
    const std::multimap<std::uint32_t, const DebugStatement*> statements = RoutineStatements();
    for (const Instruction& instruction : instructions) {
      auto [from, to] = statements.equal_range(static_cast<std::uint32_t>(instruction.position));
      for (auto it = from; it != to; ++it)
        Line("  ; " + Number(it->second->line) + ":" + Number(it->second->column));
      Line(InstructionText(instruction));
    }
    if (problem) Line("  ! stopped at " + Number(problem->at) + ": " + ProblemText(*problem));
  }

  std::multimap<std::uint32_t, const DebugStatement*> RoutineStatements() const {
    std::multimap<std::uint32_t, const DebugStatement*> statements;
    for (const DebugStatement& statement : debug_.statements)
      if (statement.routine == currentRoutine_) statements.emplace(statement.position, &statement);
    return statements;
  }

  std::string InstructionText(const Instruction& instruction) const {
    std::string position = Number(instruction.position);
    std::string text = "  " + std::string(position.size() < 5 ? 5 - position.size() : 0, ' ') +
                       position + " " + std::string(instruction.info->name);
    for (std::size_t i = 0; i < kMaxOperandSlots; ++i) {
      const SlotValue& slot = instruction.slots[i];
      if (slot.slot == OperandSlot::kNone) break;
      std::string slotText = SlotText(slot, instruction);
      if (slotText.empty()) continue;
      text += (i == 0 ? " " : ", ") + slotText;
    }
    return text;
  }

  std::string SlotText(const SlotValue& slot, const Instruction& instruction) const {
    switch (slot.slot) {
      case OperandSlot::kOperand: return OperandText(slot.operand);
      case OperandSlot::kProcNumber: return Named(NumberedText('R', slot.number), RoutineName(slot.number));
      case OperandSlot::kTypeNumber: return TypeText(slot.number);
      case OperandSlot::kDisplacement: return TargetText(instruction.end, slot.number);
      case OperandSlot::kHandlerPosition:
        return slot.number == -1 ? "none" : TargetText(instruction.end, slot.number);
      case OperandSlot::kCalcOp:
        return slot.number < kCalcOpCount ? std::string(kCalcOpTexts[slot.number])
                                          : "calc#" + Number(slot.number);
      case OperandSlot::kCompareOp:
        return slot.number < kCompareOpCount ? std::string(kCompareOpTexts[slot.number])
                                             : "compare#" + Number(slot.number);
      case OperandSlot::kInvertByte: return slot.number != 0 ? "not" : "";
      case OperandSlot::kHandlerEndKind: return HandlerEndKindText(slot.number);
      case OperandSlot::kNone: break;
    }
    return "";
  }

  // "finally", or "leave finally" for the kind that ends the part when a jump leaves the block.
  static std::string HandlerEndKindText(std::int64_t kind) {
    if (kind >= 0 && kind < kHandlerEndKindCount) return std::string(kHandlerEndKindTexts[kind]);
    const std::int64_t left = kind - kHandlerLeaveByJump;
    if (left >= 0 && left < kHandlerEndKindCount) return "leave " + std::string(kHandlerEndKindTexts[left]);
    return "kind#" + Number(kind);
  }

  // Targets count from the end of the instruction; one that leaves the code or lands inside an
  // instruction is marked, since running it would fail or decode garbage.
  std::string TargetText(std::size_t end, std::int64_t displacement) const {
    const std::int64_t target = static_cast<std::int64_t>(end) + displacement;
    std::string text = "@" + std::to_string(target);
    if (target < 0 || static_cast<std::uint64_t>(target) >= code_.size) return text + " (outside)";
    const auto position = static_cast<std::size_t>(target);
    if (position < code_.decodedEnd && !code_.starts.contains(position)) text += " (mid-instruction)";
    return text;
  }

  std::string OperandText(const Operand& operand) const {
    switch (operand.kind) {
      case OperandKind::kVariable: return VariableText(operand.variable);
      case OperandKind::kConstant: return ConstantOperandText(operand.constant);
      case OperandKind::kIndexed: return VariableText(operand.variable) + "[" + Number(operand.index) + "]";
      case OperandKind::kIndexedByVar:
        return VariableText(operand.variable) + "[" + VariableText(operand.index) + "]";
    }
    return "";
  }

  std::string ConstantOperandText(const ImageConstant& constant) const {
    return TypeText(constant.typeNumber) + "(" + ConstantText(constant) + ")";
  }

  std::string_view image_;
  ImageTables tables_;
  DebugInfo debug_;
  std::uint32_t currentRoutine_ = kNoNumber;
  // The routine being listed.
  struct CodeShape {
    std::size_t size = 0;
    std::size_t decodedEnd = 0;  // every position below lies in a decoded instruction
    std::set<std::size_t> starts;
  } code_;
  std::string out_;
};

}  // namespace

std::string Disassemble(std::string_view image, std::string_view debugOutput) {
  return Disassembler(image, debugOutput).Run();
}

}  // namespace dravik::engine::image

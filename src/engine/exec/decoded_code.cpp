#include "engine/exec/decoded_code.h"

#include <cstring>

#include "engine/exec/exec.h"
#include "engine/image/format.h"
#include "engine/values/value_memory.h"

namespace dravik::engine {

void WriteInlineConstant(void* value, const TPSTypeRec& type, const std::uint8_t* bytes, std::uint32_t count) {
  switch (ConstantEncodingOf(type.baseType)) {
    case ConstantEncoding::kByteString:
      SetTextAt(value, type.baseType, std::string_view(reinterpret_cast<const char*>(bytes), count));
      return;
    case ConstantEncoding::kWideString: {
      std::u16string text(count, u'\0');
      for (std::uint32_t i = 0; i < count; ++i) text[i] = Load<char16_t>(bytes + 2 * std::size_t{i});
      SetWideStringAt(value, text);
      return;
    }
    default:
      std::memcpy(value, bytes, count);
  }
}

struct DecodedCode::OwnedConstant {
  explicit OwnedConstant(const TPSTypeRec& type)
      : storage(new std::uint64_t[(type.memSize + 7) / 8 + 1]), type(type) {
    InitializeValue(storage.get(), type);
  }
  ~OwnedConstant() { FinalizeValue(storage.get(), type); }
  OwnedConstant(const OwnedConstant&) = delete;
  OwnedConstant& operator=(const OwnedConstant&) = delete;

  std::unique_ptr<std::uint64_t[]> storage;
  const TPSTypeRec& type;
};

class CodeDecoder {
 public:
  CodeDecoder(DecodedCode& out, const TPSInternalProcRec& proc, TPSExec& exec)
      : out_(out), exec_(exec), code_(reinterpret_cast<const std::uint8_t*>(proc.code.data())),
        size_(proc.code.size()) {}

  void Decode() {
    out_.indexAt_.assign(size_, DecodedCode::kNoInstruction);
    std::size_t position = 0;
    while (position < size_) {
      FastInstruction instruction;
      instruction.start = static_cast<std::uint32_t>(position);
      if (!DecodeInstruction(instruction)) break;
      out_.indexAt_[position] = static_cast<std::int32_t>(out_.instructions_.size());
      out_.instructions_.push_back(instruction);
      position = instruction.end;
    }
    for (FastInstruction& instruction : out_.instructions_)
      if (IsJump(instruction.op)) instruction.target = out_.IndexAt(instruction.jumpPosition);
    for (std::size_t i = 0; i + 1 < out_.instructions_.size(); ++i)
      out_.instructions_[i].pair = IsIndexTemporary(i) ? FastPair::kIndexTemporary
                                                       : PairOf(out_.instructions_[i], out_.instructions_[i + 1]);
    for (std::size_t i = 0; i < out_.instructions_.size(); ++i)
      out_.instructions_[i].expressionEnd = ExpressionEnd(i);
  }

 private:
  static bool IsJump(FastOp op) {
    return op == FastOp::kGoto || op == FastOp::kJumpIfTrue || op == FastOp::kJumpIfFalse || op == FastOp::kJumpIfFlag;
  }

  static bool SameWholeVariable(const FastOperand& a, const FastOperand& b) {
    if (a.select != FastOperand::Select::kWhole || b.select != FastOperand::Select::kWhole) return false;
    if (a.variable.kind != b.variable.kind) return false;
    switch (a.variable.kind) {
      case FastVariable::Kind::kFrame: return a.variable.frameOffset == b.variable.frameOffset;
      case FastVariable::Kind::kGlobal: return a.variable.ref.data == b.variable.ref.data;
      default: return false;
    }
  }

  static FastPair PairOf(const FastInstruction& first, const FastInstruction& second) {
    if (first.op == FastOp::kCompare && SameWholeVariable(first.operands[0], second.operands[0])) {
      if (second.op == FastOp::kJumpIfTrue || second.op == FastOp::kJumpIfFalse) return FastPair::kCompareJump;
      if (second.op == FastOp::kSetFlag) return FastPair::kCompareSetFlag;
    }
    if (first.op == FastOp::kPushType && second.op == FastOp::kAssign &&
        second.operands[0].variable.kind == FastVariable::Kind::kFrame &&
        second.operands[0].select == FastOperand::Select::kWhole)
      return FastPair::kPushAssign;
    const bool calculates = first.op == FastOp::kAssign || first.op == FastOp::kCalculate ||
                            first.op == FastOp::kIncrement || first.op == FastOp::kDecrement;
    if (calculates && second.op == FastOp::kPop) return FastPair::kThenPop;
    if (calculates && second.op == FastOp::kGoto) return FastPair::kThenGoto;
    return FastPair::kNone;
  }

  static bool IsWholeFrameOrFixed(const FastOperand& operand) {
    return operand.select == FastOperand::Select::kWhole &&
           (operand.isFixed || operand.variable.kind == FastVariable::Kind::kFrame);
  }

  // OpPushType of the code, then OpAssign into a whole frame variable (the new temporary).
  static bool PushesTemporary(const FastInstruction& push, const FastInstruction& assign, TPSTypeCode code) {
    return push.op == FastOp::kPushType && push.type->baseType == code && assign.op == FastOp::kAssign &&
           assign.operands[0].select == FastOperand::Select::kWhole &&
           assign.operands[0].variable.kind == FastVariable::Kind::kFrame;
  }

  // The index of the OpPop that ends an expression statement starting at first (see
  // kNoExpression), or kNoExpression. The temporary must not be read by anything but the chain.
  std::int32_t ExpressionEnd(std::size_t first) const {
    const auto& code = out_.instructions_;
    if (first + 3 >= code.size() || !PushesTemporary(code[first], code[first + 1], tcS32)) return kNoExpression;
    const FastInstruction& assign = code[first + 1];
    const std::int64_t temporary = assign.operands[0].variable.frameOffset;
    const auto isTemporary = [&](const FastOperand& operand) {
      return operand.select == FastOperand::Select::kWhole && operand.variable.kind == FastVariable::Kind::kFrame &&
             operand.variable.frameOffset == temporary;
    };
    const auto isOther = [&](const FastOperand& operand) {
      return IsWholeFrameOrFixed(operand) && !isTemporary(operand);
    };
    if (!isOther(assign.operands[1])) return kNoExpression;
    // A division by a constant other than 0 and -1 cannot fail either.
    const auto isSafeStep = [&](const FastInstruction& step) {
      const auto op = static_cast<CalcOp>(step.operation);
      if (CannotFailOnIntegers(op)) return true;
      const FastOperand& divisor = step.operands[1];
      if ((op != CalcOp::Divide && op != CalcOp::Modulo) || !divisor.IsConstant() ||
          divisor.variable.ref.type->baseType != tcS32)
        return false;
      const auto value = Load<std::int32_t>(divisor.variable.ref.data);
      return value != 0 && value != -1;
    };
    std::size_t i = first + 2;
    for (; i < code.size() && code[i].op == FastOp::kCalculate && isTemporary(code[i].operands[0]); ++i)
      if (!isSafeStep(code[i]) || !isOther(code[i].operands[1])) return kNoExpression;
    if (i + 1 >= code.size() || code[i + 1].op != FastOp::kPop) return kNoExpression;
    // The temporary's one use: added into its destination, or compared into a flag.
    const FastInstruction& last = code[i];
    const bool addsInto = last.op == FastOp::kCalculate && CannotFailOnIntegers(static_cast<CalcOp>(last.operation)) &&
                          isOther(last.operands[0]) && isTemporary(last.operands[1]);
    const bool comparesInto = last.op == FastOp::kCompare && last.operation <= static_cast<std::uint8_t>(CompareOp::Equal) &&
                              isOther(last.operands[0]) && isTemporary(last.operands[1]) && isOther(last.operands[2]);
    if ((!addsInto && !comparesInto) || last.operands[0].IsConstant()) return kNoExpression;
    return static_cast<std::int32_t>(i + 1);
  }

  // OpPushType tcU32; OpAssign T, i; OpSetPointer P, Q[T]; OpPop, T read by nothing else.
  bool IsIndexTemporary(std::size_t first) const {
    const auto& code = out_.instructions_;
    if (first + 3 >= code.size() || !PushesTemporary(code[first], code[first + 1], tcU32)) return false;
    const FastInstruction& assign = code[first + 1];
    const FastInstruction& setPointer = code[first + 2];
    if (setPointer.op != FastOp::kSetPointer || code[first + 3].op != FastOp::kPop) return false;
    const FastOperand& temporary = assign.operands[0];
    const FastOperand& selected = setPointer.operands[1];
    const auto isTemporary = [&](const FastVariable& variable) {
      return variable.kind == FastVariable::Kind::kFrame && variable.frameOffset == temporary.variable.frameOffset;
    };
    return IsWholeFrameOrFixed(assign.operands[1]) && !isTemporary(assign.operands[1].variable) &&
           setPointer.operands[0].select == FastOperand::Select::kWhole && !isTemporary(setPointer.operands[0].variable) &&
           selected.select == FastOperand::Select::kByVariable && isTemporary(selected.indexVariable) &&
           !isTemporary(selected.variable);
  }

  std::size_t Left() const { return size_ - at_; }
  std::uint8_t Byte() { return code_[at_++]; }
  std::uint32_t U32() {
    const auto value = Load<std::uint32_t>(code_ + at_);
    at_ += 4;
    return value;
  }

  // Reads the instruction's bytes; false when its length cannot be known (decoding stops).
  bool DecodeInstruction(FastInstruction& instruction) {
    at_ = instruction.start;
    const OpcodeInfo* info = FindOpcode(Byte());
    if (info == nullptr) return false;
    std::uint32_t displacement = 0;
    std::uint32_t number = 0;
    int operands = 0;
    std::uint8_t byte = 0;
    for (OperandSlot slot : info->shape) {
      if (slot == OperandSlot::kNone) break;
      if (slot == OperandSlot::kOperand) {
        FastOperand& operand = instruction.operands[operands++];
        if (!DecodeOperand(operand)) return false;
        operand.isFixed = operand.select == FastOperand::Select::kWhole &&
                          (operand.variable.kind == FastVariable::Kind::kConstant ||
                           (operand.variable.kind == FastVariable::Kind::kGlobal &&
                            operand.variable.ref.type->baseType != tcPointer));
        continue;
      }
      const bool wide = slot == OperandSlot::kProcNumber || slot == OperandSlot::kTypeNumber ||
                        slot == OperandSlot::kDisplacement || slot == OperandSlot::kHandlerPosition;
      if (Left() < (wide ? 4u : 1u)) return false;
      if (!wide) {
        byte = Byte();
      } else if (slot == OperandSlot::kDisplacement) {
        displacement = U32();
      } else {
        number = U32();
      }
    }
    instruction.end = static_cast<std::uint32_t>(at_);
    instruction.jumpPosition = instruction.end + displacement;  // wraps as the byte code's jump does
    instruction.operation = byte;
    instruction.op = FastOpFor(info->opcode, instruction, number);
    return true;
  }

  FastOp FastOpFor(Opcode opcode, FastInstruction& instruction, std::uint32_t number) {
    const auto resolved = [&](int count) {
      for (int i = 0; i < count; ++i)
        if (!instruction.operands[i].Resolved()) return false;
      return true;
    };
    const auto variable = [&](int i) { return !instruction.operands[i].IsConstant(); };
    switch (opcode) {
      case OpAssign: return resolved(2) && variable(0) ? FastOp::kAssign : FastOp::kFromBytes;
      case OpCalculate:
        return resolved(2) && variable(0) && instruction.operation < kCalcOpCount ? FastOp::kCalculate
                                                                                  : FastOp::kFromBytes;
      case OpPush: return resolved(1) ? FastOp::kPush : FastOp::kFromBytes;
      case OpPushVar: return resolved(1) && variable(0) ? FastOp::kPushVar : FastOp::kFromBytes;
      case OpSetPointer: return resolved(2) && variable(0) && variable(1) ? FastOp::kSetPointer : FastOp::kFromBytes;
      case OpPop: return FastOp::kPop;
      case OpCall:
        if (number >= exec_.Procs().size()) return FastOp::kFromBytes;
        instruction.proc = exec_.Procs()[number].get();
        return FastOp::kCall;
      case OpGoto: return FastOp::kGoto;
      case OpJumpIfTrue: return resolved(1) ? FastOp::kJumpIfTrue : FastOp::kFromBytes;
      case OpJumpIfFalse: return resolved(1) ? FastOp::kJumpIfFalse : FastOp::kFromBytes;
      case OpReturn: return FastOp::kReturn;
      case OpPushType:
        instruction.type = exec_.TypeByNumber(number);
        return instruction.type != nullptr ? FastOp::kPushType : FastOp::kFromBytes;
      case OpCompare:
        return resolved(3) && variable(0) && instruction.operation < kCompareOpCount ? FastOp::kCompare
                                                                                     : FastOp::kFromBytes;
      case OpSetFlag: return resolved(1) ? FastOp::kSetFlag : FastOp::kFromBytes;
      case OpJumpIfFlag: return FastOp::kJumpIfFlag;
      case OpIncrement: return resolved(1) && variable(0) ? FastOp::kIncrement : FastOp::kFromBytes;
      case OpDecrement: return resolved(1) && variable(0) ? FastOp::kDecrement : FastOp::kFromBytes;
      default: return FastOp::kFromBytes;
    }
  }

  // Kind byte, uint32, then what the kind adds; false when the operand runs past the code or
  // its kind is unknown.
  bool DecodeOperand(FastOperand& operand) {
    if (Left() < kMinOperandSize) return false;
    const std::uint8_t kind = Byte();
    const std::uint32_t first = U32();
    switch (static_cast<OperandKind>(kind)) {
      case OperandKind::kVariable:
        ResolveVariable(first, operand.variable);
        return true;
      case OperandKind::kConstant:
        return DecodeConstant(first, operand.variable);
      case OperandKind::kIndexed:
      case OperandKind::kIndexedByVar:
        if (Left() < 4) return false;
        ResolveVariable(first, operand.variable);
        operand.index = U32();
        operand.select = FastOperand::Select::kByIndex;
        if (static_cast<OperandKind>(kind) == OperandKind::kIndexedByVar) {
          operand.select = FastOperand::Select::kByVariable;
          ResolveVariable(operand.index, operand.indexVariable);
        }
        return true;
    }
    return false;
  }

  void ResolveVariable(std::uint32_t number, FastVariable& variable) {
    if (number >= kFirstFrameVariable) {
      variable.kind = FastVariable::Kind::kFrame;
      variable.frameOffset = std::int64_t{number} - kFrameBaseVariable;
    } else if (number < exec_.Globals().Count()) {
      variable.kind = FastVariable::Kind::kGlobal;
      variable.ref = exec_.Globals().At(number);
    }
  }

  bool DecodeConstant(std::uint32_t typeNumber, FastVariable& operand) {
    const TPSTypeRec* type = exec_.TypeByNumber(typeNumber);
    if (type == nullptr) return false;
    std::uint32_t count = 0;
    std::uint64_t bytes = 0;
    switch (ConstantEncodingOf(type->baseType)) {
      case ConstantEncoding::kFixed: count = ConstantWidth(type->baseType); bytes = count; break;
      case ConstantEncoding::kSetBytes:
        count = static_cast<const TPSTypeRec_Set&>(*type).byteSize;
        bytes = count;
        break;
      case ConstantEncoding::kByteString:
      case ConstantEncoding::kWideString:
        if (Left() < 4) return false;
        count = U32();
        bytes = ConstantEncodingOf(type->baseType) == ConstantEncoding::kWideString ? 2 * std::uint64_t{count} : count;
        break;
      case ConstantEncoding::kNotAllowed:
        return false;
    }
    if (Left() < bytes) return false;
    auto constant = std::make_unique<DecodedCode::OwnedConstant>(*type);
    WriteInlineConstant(constant->storage.get(), *type, code_ + at_, count);
    at_ += static_cast<std::size_t>(bytes);
    operand.kind = FastVariable::Kind::kConstant;
    operand.ref = {constant->storage.get(), type};
    out_.constants_.push_back(std::move(constant));
    return true;
  }

  DecodedCode& out_;
  TPSExec& exec_;
  const std::uint8_t* code_;
  std::size_t size_;
  std::size_t at_ = 0;
};

DecodedCode::DecodedCode(const TPSInternalProcRec& proc, TPSExec& exec) { CodeDecoder(*this, proc, exec).Decode(); }

DecodedCode::~DecodedCode() = default;

}  // namespace dravik::engine

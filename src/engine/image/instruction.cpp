#include "engine/image/instruction.h"

#include <string>

namespace dravik::engine::image {

namespace {

class InstructionDecoder {
 public:
  InstructionDecoder(std::string_view code, std::size_t position,
                     const std::vector<ImageType>& types)
      : reader_(code, position), types_(types) {}

  DecodedInstruction Decode() {
    Instruction instruction;
    instruction.position = reader_.Position();
    std::optional<std::uint8_t> opcode = reader_.ReadU8();
    if (!opcode) return Problem(instruction.position, ErOutOfRange, "code ends");
    instruction.info = FindOpcode(*opcode);
    if (instruction.info == nullptr)
      return Problem(instruction.position, erInvalidOpcode,
                     "byte " + std::to_string(*opcode) + " is no instruction");
    for (std::size_t i = 0; i < kMaxOperandSlots; ++i) {
      const OperandSlot slot = instruction.info->shape[i];
      if (slot == OperandSlot::kNone) break;
      instruction.slots[i].slot = slot;
      if (!ReadSlot(instruction.slots[i])) {
        problem_.reason = std::string(instruction.info->name) + " " + problem_.reason;
        return problem_;
      }
    }
    instruction.end = reader_.Position();
    return instruction;
  }

 private:
  static ImageProblem Problem(std::size_t at, TQXException code, std::string reason) {
    return ImageProblem{at, code, std::move(reason)};
  }

  bool Fail(std::size_t at, TQXException code, std::string reason) {
    problem_ = Problem(at, code, std::move(reason));
    return false;
  }

  bool ReadSlot(SlotValue& value) {
    const std::size_t at = reader_.Position();
    switch (value.slot) {
      case OperandSlot::kOperand: return ReadOperand(value.operand);
      case OperandSlot::kProcNumber:
      case OperandSlot::kTypeNumber: {
        std::optional<std::uint32_t> number = reader_.ReadU32();
        if (!number) return Fail(at, ErOutOfRange, "number runs past the end of the code");
        value.number = *number;
        return true;
      }
      case OperandSlot::kDisplacement:
      case OperandSlot::kHandlerPosition: {
        std::optional<std::int32_t> displacement = reader_.ReadI32();
        if (!displacement) return Fail(at, ErOutOfRange, "position runs past the end of the code");
        value.number = *displacement;
        return true;
      }
      default: {
        std::optional<std::uint8_t> byte = reader_.ReadU8();
        if (!byte) return Fail(at, ErOutOfRange, "byte operand runs past the end of the code");
        value.number = *byte;
        return true;
      }
    }
  }

  // kind byte, uint32, then what the kind adds.
  bool ReadOperand(Operand& operand) {
    const std::size_t at = reader_.Position();
    if (reader_.Remaining() < kMinOperandSize)
      return Fail(at, ErOutOfRange, "operand runs past the end of the code");
    const std::uint8_t kind = *reader_.ReadU8();
    const std::uint32_t first = *reader_.ReadU32();
    if (kind >= kOperandKindCount)
      return Fail(at, erInvalidOpcodeParameter, "operand kind " + std::to_string(kind));
    operand.kind = static_cast<OperandKind>(kind);
    if (operand.kind == OperandKind::kConstant) return ReadConstant(at, first, operand.constant);
    operand.variable = first;
    if (operand.kind == OperandKind::kVariable) return true;
    std::optional<std::uint32_t> index = reader_.ReadU32();
    if (!index) return Fail(at, ErOutOfRange, "operand index runs past the end of the code");
    operand.index = *index;
    return true;
  }

  bool ReadConstant(std::size_t at, std::uint32_t typeNumber, ImageConstant& constant) {
    if (typeNumber >= types_.size())
      return Fail(at, erInvalidType, "constant type T" + std::to_string(typeNumber) + " not in the table");
    const ImageType& type = types_[typeNumber];
    if (!HasConstantEncoding(type, ConstantContext::kOperand))
      return Fail(at, erInvalidType,
                  "no inline constant of type " + std::string(TypeCodeName(type.code)));
    std::optional<std::string_view> bytes = ReadConstantBytes(reader_, type);
    if (!bytes) return Fail(at, ErOutOfRange, "constant runs past the end of the code");
    constant = ImageConstant{typeNumber, type.code, *bytes};
    return true;
  }

  ByteReader reader_;
  const std::vector<ImageType>& types_;
  ImageProblem problem_;
};

}  // namespace

DecodedInstruction DecodeInstruction(std::string_view code, std::size_t position,
                                     const std::vector<ImageType>& types) {
  return InstructionDecoder(code, position, types).Decode();
}

}  // namespace dravik::engine::image

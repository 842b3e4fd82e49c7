#include "engine/exec/frame_layout.h"

#include "engine/exec/exec.h"
#include "engine/exec/stack.h"
#include "engine/values/value_memory.h"

namespace dravik::engine::exec {

// --- Layouts -------------------------------------------------------------------------------

std::int32_t LayoutPool::EndOffset(std::int32_t top) const {
  if (top == kEmptyLayout) return 0;
  const LayoutNode& node = nodes_[static_cast<std::size_t>(top)];
  return node.offset + static_cast<std::int32_t>(TPSStack::SlotBytes(node.type->memSize));
}

std::int32_t LayoutPool::Push(std::int32_t top, const values::TPSTypeRec& type) {
  const auto key = std::make_pair(top, &type);
  if (const auto known = known_.find(key); known != known_.end()) return known->second;
  const auto node = static_cast<std::int32_t>(nodes_.size());
  nodes_.push_back({&type, EndOffset(top), top, Depth(top) + 1});
  known_.emplace(key, node);
  return node;
}

std::int32_t LayoutPool::At(std::int32_t top, std::uint32_t index) const {
  while (top != kEmptyLayout && nodes_[static_cast<std::size_t>(top)].depth > index + 1) top = Below(top);
  return top;
}

// --- Decoding ------------------------------------------------------------------------------

FrameAnalysis::FrameAnalysis(const TPSInternalProcRec& proc, const TPSExec& exec) : exec_(exec) {
  Decode(proc);
  Follow();
}

void FrameAnalysis::Decode(const TPSInternalProcRec& proc) {
  code_ = reinterpret_cast<const std::uint8_t*>(proc.code.data());
  size_ = proc.code.size();
  indexAt_.assign(size_, -1);
  std::size_t position = 0;
  while (position < size_) {
    CodeInstruction instruction;
    instruction.start = static_cast<std::uint32_t>(position);
    at_ = position;
    // What cannot be decoded is left to the byte code, which reports it when it gets there.
    if (!DecodeInstruction(instruction)) break;
    indexAt_[position] = static_cast<std::int32_t>(instructions_.size());
    instructions_.push_back(instruction);
    position = instruction.end;
  }
  shapes_.assign(instructions_.size(), {});
}

bool FrameAnalysis::DecodeInstruction(CodeInstruction& instruction) {
  const image::OpcodeInfo* info = image::FindOpcode(code_[at_++]);
  if (info == nullptr) return false;
  instruction.opcode = info->opcode;
  int handler = 0;
  for (image::OperandSlot slot : info->shape) {
    if (slot == image::OperandSlot::kNone) break;
    if (slot == image::OperandSlot::kOperand) {
      if (!DecodeOperand(instruction.operands[instruction.operandCount++])) return false;
      continue;
    }
    const bool wide = slot == image::OperandSlot::kProcNumber || slot == image::OperandSlot::kTypeNumber ||
                      slot == image::OperandSlot::kDisplacement || slot == image::OperandSlot::kHandlerPosition;
    if (size_ - at_ < (wide ? 4u : 1u)) return false;
    if (!wide) {
      instruction.byte = code_[at_++];
      continue;
    }
    const auto value = values::Load<std::uint32_t>(code_ + at_);
    at_ += 4;
    if (slot == image::OperandSlot::kDisplacement) {
      instruction.jumpTarget = static_cast<std::int32_t>(value);  // from the end, added below
    } else if (slot == image::OperandSlot::kHandlerPosition) {
      instruction.handlerTargets[handler++] = static_cast<std::int32_t>(value);
    } else {
      instruction.number = value;
    }
  }
  instruction.end = static_cast<std::uint32_t>(at_);
  if (info->shape[0] == image::OperandSlot::kDisplacement) instruction.jumpTarget += instruction.end;
  for (std::int64_t& target : instruction.handlerTargets)
    target = target == HandlerFrame::kNoPosition ? -1 : target + instruction.end;
  return true;
}

bool FrameAnalysis::DecodeOperand(CodeOperand& operand) {
  if (size_ - at_ < image::kMinOperandSize) return false;
  const std::uint8_t kind = code_[at_++];
  if (kind >= image::kOperandKindCount) return false;
  operand.kind = static_cast<image::OperandKind>(kind);
  operand.variable = values::Load<std::uint32_t>(code_ + at_);
  at_ += 4;
  switch (operand.kind) {
    case image::OperandKind::kVariable:
      NoteParam(operand.variable);
      return true;
    case image::OperandKind::kIndexed:
    case image::OperandKind::kIndexedByVar:
      if (size_ - at_ < 4) return false;
      operand.index = values::Load<std::uint32_t>(code_ + at_);
      at_ += 4;
      NoteParam(operand.variable);
      if (operand.kind == image::OperandKind::kIndexedByVar) NoteParam(operand.index);
      return true;
    case image::OperandKind::kConstant:
      break;
  }
  const values::TPSTypeRec* type = exec_.TypeByNumber(operand.variable);
  if (type == nullptr) return false;
  operand.constantType = type;
  std::uint64_t bytes = 0;
  switch (image::ConstantEncodingOf(type->baseType)) {
    case image::ConstantEncoding::kFixed: operand.constantCount = image::ConstantWidth(type->baseType); break;
    case image::ConstantEncoding::kSetBytes:
      operand.constantCount = static_cast<const values::TPSTypeRec_Set&>(*type).byteSize;
      break;
    case image::ConstantEncoding::kByteString:
    case image::ConstantEncoding::kWideString:
      if (size_ - at_ < 4) return false;
      operand.constantCount = values::Load<std::uint32_t>(code_ + at_);
      at_ += 4;
      break;
    case image::ConstantEncoding::kNotAllowed:
      return false;
  }
  bytes = image::ConstantEncodingOf(type->baseType) == image::ConstantEncoding::kWideString
              ? 2 * std::uint64_t{operand.constantCount}
              : operand.constantCount;
  if (size_ - at_ < bytes) return false;
  operand.constantBytes = code_ + at_;
  at_ += static_cast<std::size_t>(bytes);
  return true;
}

void FrameAnalysis::NoteParam(std::uint32_t variable) {
  if (variable >= image::kFirstFrameVariable && variable < image::kFrameBaseVariable)
    paramCount_ = std::max(paramCount_, image::kFrameBaseVariable - variable);
}

// --- Following the paths -------------------------------------------------------------------

void FrameAnalysis::Reach(std::int64_t position, std::int32_t layout, std::vector<std::int32_t>& work) {
  // Where decoding ended, the register form hands its frame to the byte code: every path that
  // gets there (by going on or by a jump) must bring the same frame.
  const std::int64_t decodedEnd = instructions_.empty() ? 0 : instructions_.back().end;
  if (position == decodedEnd) {
    if (endLayout_ == kNoFallThrough) endLayout_ = layout;
    else if (endLayout_ != layout) usable_ = false;
    return;
  }
  if (position < 0 || position >= static_cast<std::int64_t>(indexAt_.size())) return;
  const std::int32_t index = indexAt_[static_cast<std::size_t>(position)];
  // Code that starts inside an instruction or past what was decoded is never run from here.
  if (index < 0) return;
  InstructionShape& shape = shapes_[static_cast<std::size_t>(index)];
  if (!shape.reached) {
    shape = {true, layout};
    work.push_back(index);
  } else if (shape.layout != layout) {
    usable_ = false;
  }
}

void FrameAnalysis::Follow() {
  std::vector<std::int32_t> work;
  Reach(0, kEmptyLayout, work);
  while (!work.empty() && usable_) {
    const std::int32_t index = work.back();
    work.pop_back();
    Step(index, work);
  }
}

std::int32_t FrameAnalysis::FallThrough(std::int32_t index) {
  const CodeInstruction& in = instructions_[static_cast<std::size_t>(index)];
  const std::int32_t layout = shapes_[static_cast<std::size_t>(index)].layout;
  switch (in.opcode) {
    case image::OpPushType:
    case image::OpPushVar: {
      const values::TPSTypeRec* type =
          in.opcode == image::OpPushType ? exec_.TypeByNumber(in.number) : exec_.FirstPointerType();
      if (type == nullptr) return kNoFallThrough;  // faults
      const std::int32_t pushed = layouts_.Push(layout, *type);
      if (layouts_.EndOffset(pushed) > kMaxFrameBytes) usable_ = false;
      return pushed;
    }
    case image::OpPop:
      return layout == kEmptyLayout ? kNoFallThrough : layouts_.Below(layout);
    case image::OpPush:
      // The type of the copy is that of its source, which the code does not fix.
      usable_ = false;
      return kNoFallThrough;
    case image::OpPopJump:
    case image::OpPop2Jump:
    case image::OpGoto:
    case image::OpReturn:
      return kNoFallThrough;
    default:
      return layout;
  }
}

void FrameAnalysis::Step(std::int32_t index, std::vector<std::int32_t>& work) {
  ForEachSuccessor(index, [&](std::int64_t position, std::int32_t layout) { Reach(position, layout, work); });
}

}  // namespace dravik::engine::exec

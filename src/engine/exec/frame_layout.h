#pragma once
// The shape of a procedure's frame at each instruction of its byte code, found once before the
// register machine runs it.
//
// The byte code's pushes and pops are fixed per instruction, so the slots a frame holds at an
// instruction (their types, and where each one lies from the frame's start) are the same on
// every path that reaches it. A layout is a chain of slots from the top down; layouts are kept in
// a pool with each (slot below, type) pair stored once, so two paths agree exactly when they
// arrive with the same node.
//
// Only what the code itself decides is known here. Pointer targets and the parameters' types
// come from the running frame (the parameters from the call that first enters the procedure)
// and are checked where they are used.

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "engine/image/format.h"
#include "engine/values/type_records.h"

namespace dravik::engine::exec {

class TPSExec;
class TPSInternalProcRec;

// One slot of a layout: its type and where it starts, from the frame's first local on.
struct LayoutNode {
  const values::TPSTypeRec* type;
  std::int32_t offset;
  std::int32_t below;  // the node of the slot under it, or kEmptyLayout
  std::uint32_t depth;  // slots up to and including this one
};

inline constexpr std::int32_t kEmptyLayout = -1;

class LayoutPool {
 public:
  // The layout with one slot of the type pushed on top.
  std::int32_t Push(std::int32_t top, const values::TPSTypeRec& type);
  std::int32_t Below(std::int32_t top) const { return top == kEmptyLayout ? kEmptyLayout : nodes_[top].below; }
  std::uint32_t Depth(std::int32_t top) const { return top == kEmptyLayout ? 0 : nodes_[top].depth; }
  // Bytes the frame's slots take up to and including the top one.
  std::int32_t EndOffset(std::int32_t top) const;
  const LayoutNode& operator[](std::int32_t node) const { return nodes_[static_cast<std::size_t>(node)]; }
  // The node of the slot at depth index (0: the first local) in the layout.
  std::int32_t At(std::int32_t top, std::uint32_t index) const;

 private:
  std::vector<LayoutNode> nodes_;
  std::map<std::pair<std::int32_t, const values::TPSTypeRec*>, std::int32_t> known_;
};

// An operand as the byte code writes it, with its inline constant undecoded.
struct CodeOperand {
  image::OperandKind kind = image::OperandKind::kVariable;
  std::uint32_t variable = 0;  // kVariable, kIndexed, kIndexedByVar; kConstant: the type number
  std::uint32_t index = 0;     // kIndexed: element or field; kIndexedByVar: index variable
  const values::TPSTypeRec* constantType = nullptr;
  const std::uint8_t* constantBytes = nullptr;
  std::uint32_t constantCount = 0;  // bytes, or characters of a wide string
};

struct CodeInstruction {
  image::Opcode opcode = image::OpNop;
  std::uint32_t start = 0;  // position of the opcode byte
  std::uint32_t end = 0;    // position of the next one
  std::uint8_t byte = 0;    // CalcOp, CompareOp, invert byte or handler end kind
  std::uint32_t number = 0;  // procedure or type number
  std::int64_t jumpTarget = -1;  // jumps: the position they go to (may lie outside the code)
  std::int64_t handlerTargets[4] = {-1, -1, -1, -1};  // OpPushHandler: absolute, -1 for none
  CodeOperand operands[3];
  int operandCount = 0;
};

// What the analysis found for one instruction.
struct InstructionShape {
  bool reached = false;
  std::int32_t layout = kEmptyLayout;  // the frame's slots before the instruction runs
};

class FrameAnalysis {
 public:
  // Decodes the procedure's code as far as it can be decoded and follows every path from its
  // start (and from the handler positions of its try blocks).
  FrameAnalysis(const TPSInternalProcRec& proc, const TPSExec& exec);

  // False when two paths reach an instruction (or the end of what was decoded) with different
  // frames, or a frame would be larger than the register machine runs in place: the procedure then runs from its byte code only.
  bool Usable() const { return usable_; }
  static constexpr std::int32_t kMaxFrameBytes = 1 << 20;
  const std::vector<CodeInstruction>& Instructions() const { return instructions_; }
  const std::vector<InstructionShape>& Shapes() const { return shapes_; }
  // The instruction that starts at position; -1 when none was decoded there.
  std::int32_t IndexAt(std::uint32_t position) const {
    return position < indexAt_.size() ? indexAt_[position] : -1;
  }
  const LayoutPool& Layouts() const { return layouts_; }
  LayoutPool& Layouts() { return layouts_; }
  // The frame after the instruction when it goes on to the next one; -2 when it never does.
  static constexpr std::int32_t kNoFallThrough = -2;
  std::int32_t FallThrough(std::int32_t index);
  // Calls visit(position, layout) for every place the instruction may go next, with the frame
  // there; the handler positions of a try block get the frame the block started with.
  template <class Visit>
  void ForEachSuccessor(std::int32_t index, Visit&& visit) {
    const CodeInstruction& in = instructions_[static_cast<std::size_t>(index)];
    std::int32_t layout = shapes_[static_cast<std::size_t>(index)].layout;
    switch (in.opcode) {
      case image::OpPopJump:
      case image::OpPop2Jump:
        for (int pops = in.opcode == image::OpPopJump ? 1 : 2; pops > 0; --pops) {
          if (layout == kEmptyLayout) return;
          layout = layouts_.Below(layout);
        }
        visit(in.jumpTarget, layout);
        break;
      case image::OpGoto:
      case image::OpJumpIfTrue:
      case image::OpJumpIfFalse:
      case image::OpJumpIfFlag:
        visit(in.jumpTarget, layout);
        break;
      case image::OpPushHandler:
        for (std::int64_t target : in.handlerTargets) visit(target, layout);
        break;
      default:
        break;
    }
    const std::int32_t next = FallThrough(index);
    if (next != kNoFallThrough) visit(std::int64_t{in.end}, next);
  }
  // The deepest parameter the code names (P1 is the slot under the return address).
  std::uint32_t ParamCount() const { return paramCount_; }

 private:
  void Decode(const TPSInternalProcRec& proc);
  bool DecodeInstruction(CodeInstruction& instruction);
  bool DecodeOperand(CodeOperand& operand);
  void NoteParam(std::uint32_t variable);
  void Follow();
  void Reach(std::int64_t position, std::int32_t layout, std::vector<std::int32_t>& work);
  // Follows the instruction to where it goes next.
  void Step(std::int32_t index, std::vector<std::int32_t>& work);

  const TPSExec& exec_;
  const std::uint8_t* code_ = nullptr;
  std::size_t size_ = 0;
  std::size_t at_ = 0;
  std::vector<CodeInstruction> instructions_;
  std::vector<InstructionShape> shapes_;
  std::vector<std::int32_t> indexAt_;
  LayoutPool layouts_;
  std::uint32_t paramCount_ = 0;
  std::int32_t endLayout_ = kNoFallThrough;  // the frame where decoding ended, once a path got there
  bool usable_ = true;
};

}  // namespace dravik::engine::exec

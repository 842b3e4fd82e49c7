#include "engine/exec/translator.h"

#include <algorithm>
#include <optional>

#include "engine/exec/exec.h"
#include "engine/exec/inline_constant.h"
#include "engine/exec/stack.h"
#include "engine/values/integer_kinds.h"
#include "engine/values/value_memory.h"

namespace dravik::engine {

struct RegisterCode::Constant {
  explicit Constant(const TPSTypeRec& type) : storage(new std::uint64_t[type.memSize / 8 + 2]()), type(type) {}
  ~Constant() { FinalizeValue(storage.get(), type); }
  Constant(const Constant&) = delete;
  Constant& operator=(const Constant&) = delete;

  std::unique_ptr<std::uint64_t[]> storage;
  const TPSTypeRec& type;
};

RegisterCode::RegisterCode() = default;
RegisterCode::~RegisterCode() = default;

namespace {

bool Is32(const TPSTypeRec* type) { return type != nullptr && (type->baseType == tcS32 || type->baseType == tcU32); }
bool IsByte(const TPSTypeRec* type) { return type != nullptr && (type->baseType == tcU8 || type->baseType == tcS8); }
bool IsSmallInteger(const TPSTypeRec* type) {
  return type != nullptr && type->baseType >= tcU8 && type->baseType <= tcS32;
}

// A variable of an operand as the translation knows it.
struct StaticVar {
  RLoc::Base base = RLoc::Base::kFrame;
  std::intptr_t at = 0;
  const TPSTypeRec* type = nullptr;
  // Frame slots: the slot's index from the frame base (a local j is j + 1, a parameter k is -k).
  std::int32_t relative = 0;
};

// Where a 32-bit source comes from.
enum class Mode : std::uint8_t { F, G, K };

struct Source32 {
  Mode mode = Mode::K;
  std::intptr_t value = 0;
  bool isSigned = true;
};

// Mode suffixes of the two-source instructions, in DRAVIK_REG_AB_MODES order; -1 for two
// immediates, which the byte code never has.
int ModeIndex(Mode a, Mode b) {
  static constexpr int kIndex[3][3] = {{0, 1, 2}, {3, 4, 5}, {6, 7, -1}};
  return kIndex[static_cast<int>(a)][static_cast<int>(b)];
}

RegOp Offset(RegOp first, int by) { return static_cast<RegOp>(static_cast<int>(first) + by); }

RegOp BinaryFamily(CalcOp op, bool isSigned) {
  switch (op) {
    case CalcOp::Add: return RegOp::kAddFF;
    case CalcOp::Subtract: return RegOp::kSubFF;
    case CalcOp::Multiply: return RegOp::kMulFF;
    case CalcOp::And: return RegOp::kAndFF;
    case CalcOp::Or: return RegOp::kOrFF;
    case CalcOp::Xor: return RegOp::kXorFF;
    case CalcOp::ShiftLeft: return RegOp::kShlFF;
    case CalcOp::ShiftRight: return isSigned ? RegOp::kShrSFF : RegOp::kShrUFF;
    case CalcOp::Divide: return isSigned ? RegOp::kDivSFF : RegOp::kDivUFF;
    case CalcOp::Modulo: return isSigned ? RegOp::kModSFF : RegOp::kModUFF;
    default: return RegOp::kCount;
  }
}

class Translator {
 public:
  Translator(const TPSInternalProcRec& proc, const TPSExec& exec, const TPSStack& stack, std::int32_t frameBase)
      : proc_(proc), exec_(exec), stack_(stack), frameBase_(frameBase), analysis_(proc, exec) {}

  std::shared_ptr<const RegisterCode> Translate() {
    if (!analysis_.Usable() || !SetUpParams()) return nullptr;
    out_ = std::make_shared<RegisterCode>();
    out_->groupAt.assign(proc_.code.size() + 1, RegisterCode::kNotAnalyzed);
    const auto& instructions = analysis_.Instructions();
    continues_.assign(instructions.size(), false);
    for (std::size_t i = 0; i < instructions.size(); ++i)
      if (analysis_.Shapes()[i].reached) EmitInstruction(static_cast<std::int32_t>(i));
    EmitEndOfCode();
    if (!analysis_.Usable()) return nullptr;
    ResolveJumps();
    FillSyncPoints();
    MeasureFrame();
    out_->layouts = std::move(analysis_.Layouts());
    return out_;
  }

 private:
  // --- The frame ---------------------------------------------------------------------------

  bool SetUpParams() {
    const std::uint32_t count = analysis_.ParamCount();
    if (count == 0) return true;
    // The main procedure's frame has nothing under it, and a call must have pushed them all.
    if (frameBase_ < static_cast<std::int32_t>(count)) return false;
    std::int32_t offset = -static_cast<std::int32_t>(TPSStack::SlotBytes(exec_.ReturnAddressType().memSize));
    for (std::uint32_t k = 1; k <= count; ++k) {
      const TPSTypeRec& type = stack_.TypeAt(static_cast<std::size_t>(frameBase_) - k);
      if (type.baseType == tcReturnAddress) return false;
      offset -= static_cast<std::int32_t>(TPSStack::SlotBytes(type.memSize));
      paramTypes_.push_back(&type);
      paramOffsets_.push_back(offset);
    }
    return true;
  }

  void MeasureFrame() {
    const LayoutPool& layouts = analysis_.Layouts();
    const auto raBytes = static_cast<std::int32_t>(TPSStack::SlotBytes(exec_.ReturnAddressType().memSize));
    std::uint32_t depth = 0;
    std::int32_t bytes = 0;
    for (const InstructionShape& shape : analysis_.Shapes()) {
      if (!shape.reached) continue;
      // Room for one more slot above every layout: a pushed slot or a call's return address.
      depth = std::max(depth, layouts.Depth(shape.layout) + 1);
      bytes = std::max(bytes, layouts.EndOffset(shape.layout) + std::max(raBytes, maxPushBytes_));
    }
    out_->maxDepth = depth;
    out_->frameBytes = bytes;
    out_->paramTypes = paramTypes_;
    out_->paramOffsets = paramOffsets_;
  }

  // The variable a number names at an instruction whose frame is `layout`.
  std::optional<StaticVar> Variable(std::uint32_t number, std::int32_t layout) const {
    StaticVar var;
    if (number < kFirstFrameVariable) {
      if (number >= exec_.GlobalCount()) return std::nullopt;
      const ValueRef global = exec_.GlobalAt(number);
      var.base = RLoc::Base::kAddress;
      var.at = reinterpret_cast<std::intptr_t>(global.data);
      var.type = global.type;
      return var;
    }
    if (number > kFrameBaseVariable) {
      const std::uint32_t local = number - kFrameBaseVariable - 1;
      const LayoutPool& layouts = analysis_.Layouts();
      if (local >= layouts.Depth(layout)) return std::nullopt;
      const LayoutNode& node = layouts[layouts.At(layout, local)];
      var.at = node.offset;
      var.type = node.type;
      var.relative = static_cast<std::int32_t>(local) + 1;
      return var;
    }
    const std::uint32_t param = kFrameBaseVariable - number;
    if (param == 0 || param > paramTypes_.size()) return std::nullopt;
    var.at = paramOffsets_[param - 1];
    var.type = paramTypes_[param - 1];
    var.relative = -static_cast<std::int32_t>(param);
    return var;
  }

  // --- Operands ------------------------------------------------------------------------------

  // A value owned by the translation, built from an inline constant.
  const void* ConstantValue(const CodeOperand& operand) {
    auto constant = std::make_unique<RegisterCode::Constant>(*operand.constantType);
    WriteInlineConstant(constant->storage.get(), *operand.constantType, operand.constantBytes, operand.constantCount);
    const void* value = constant->storage.get();
    out_->constants.push_back(std::move(constant));
    return value;
  }

  // A whole variable of a known type that is no pointer: the operand itself.
  std::optional<StaticVar> PlainVariable(const CodeOperand& operand, std::int32_t layout) const {
    if (operand.kind != OperandKind::kVariable) return std::nullopt;
    std::optional<StaticVar> var = Variable(operand.variable, layout);
    if (!var || var->type->baseType == tcPointer || var->type->baseType == tcReturnAddress) return std::nullopt;
    return var;
  }

  // A 32-bit integer source: a plain variable of a 32-bit type, or an integer constant of at
  // most 32 bits (taken as an assignment to a 32-bit integer would take it).
  std::optional<Source32> Source(const CodeOperand& operand, std::int32_t layout) const {
    if (operand.kind == OperandKind::kConstant) {
      const std::optional<IntegerKind> kind = IntegerKindOf(operand.constantType->baseType);
      if (!kind || kind->bits > 32) return std::nullopt;
      const std::uint64_t raw = LoadInteger(operand.constantBytes, *kind);
      return Source32{Mode::K, static_cast<std::intptr_t>(static_cast<std::int32_t>(static_cast<std::uint32_t>(raw))),
                      kind->isSigned};
    }
    const std::optional<StaticVar> var = PlainVariable(operand, layout);
    if (!var || !Is32(var->type)) return std::nullopt;
    return Source32{var->base == RLoc::Base::kFrame ? Mode::F : Mode::G, var->at, var->type->baseType == tcS32};
  }

  // A whole frame variable that holds a pointer: its slot's offset.
  std::optional<std::intptr_t> PointerSlot(const CodeOperand& operand, std::int32_t layout) const {
    if (operand.kind != OperandKind::kVariable) return std::nullopt;
    std::optional<StaticVar> var = Variable(operand.variable, layout);
    if (!var || var->base != RLoc::Base::kFrame || var->type->baseType != tcPointer) return std::nullopt;
    return var->at;
  }

  // The operand as the generic instructions resolve it; -1 when it names no variable the frame
  // has here (the byte code reports that).
  std::intptr_t Loc(const CodeOperand& operand, std::int32_t layout, bool follow) {
    RLoc loc;
    loc.follow = follow;
    if (operand.kind == OperandKind::kConstant) {
      loc.base = RLoc::Base::kAddress;
      loc.at = reinterpret_cast<std::intptr_t>(ConstantValue(operand));
      loc.type = operand.constantType;
      return AddLoc(loc);
    }
    const std::optional<StaticVar> var = Variable(operand.variable, layout);
    if (!var || var->type->baseType == tcReturnAddress) return -1;
    loc.base = var->base;
    loc.at = var->at;
    loc.type = var->type;
    if (operand.kind == OperandKind::kIndexed) {
      loc.select = RLoc::Select::kIndex;
      loc.index = operand.index;
    } else if (operand.kind == OperandKind::kIndexedByVar) {
      const std::optional<StaticVar> index = Variable(operand.index, layout);
      if (!index || !IsSmallInteger(index->type)) return -1;
      loc.select = RLoc::Select::kIndexVariable;
      loc.indexBase = index->base;
      loc.indexAt = index->at;
      loc.indexType = index->type;
    }
    return AddLoc(loc);
  }

  std::intptr_t AddLoc(const RLoc& loc) {
    out_->locs.push_back(loc);
    return static_cast<std::intptr_t>(out_->locs.size() - 1);
  }

  // --- Emitting ------------------------------------------------------------------------------

  RInstr& Emit(RegOp op) {
    RInstr in;
    in.op = op;
    in.group = group_;
    in.sync = out_->groups[static_cast<std::size_t>(group_)].sync;
    out_->code.push_back(in);
    return out_->code.back();
  }

  void StartGroup(std::uint32_t position, std::int32_t layout) {
    SyncPoint sync;
    sync.position = position;
    sync.depth = analysis_.Layouts().Depth(layout);
    sync.end = analysis_.Layouts().EndOffset(layout);
    sync.layout = layout;
    out_->syncs.push_back(sync);
    group_ = static_cast<std::int32_t>(out_->groups.size());
    out_->groups.push_back({static_cast<std::int32_t>(out_->syncs.size() - 1), static_cast<std::int32_t>(out_->code.size())});
    out_->groupAt[position] = group_;
  }

  void EmitJump(RegOp op, std::int64_t target) {
    Emit(op);
    jumps_.push_back({out_->code.size() - 1, target});
  }

  void EmitInstruction(std::int32_t index) {
    const CodeInstruction& in = analysis_.Instructions()[static_cast<std::size_t>(index)];
    const std::int32_t layout = analysis_.Shapes()[static_cast<std::size_t>(index)].layout;
    StartGroup(in.start, layout);
    if (!EmitFast(in, layout)) {
      // Back in the register form after the instruction has gone on or jumped, as it should.
      RInstr& ref = Emit(RegOp::kRef);
      ref.a = in.end;
      ref.b = in.jumpTarget;
      continues_[static_cast<std::size_t>(index)] = true;
    }
  }

  // A path that runs on past the last instruction the analysis decoded (into bytes that are no
  // instruction, or off the end of the code) leaves the register form there: the byte code
  // reports what it finds.
  void EmitEndOfCode() {
    const auto& instructions = analysis_.Instructions();
    if (instructions.empty() || !analysis_.Shapes().back().reached) return;
    const std::int32_t last = static_cast<std::int32_t>(instructions.size()) - 1;
    const std::int32_t after = analysis_.FallThrough(last);
    if (after == FrameAnalysis::kNoFallThrough) return;
    StartGroup(instructions.back().end, after);
    Emit(RegOp::kDeopt);
  }

  // The instruction in the register form; false when it is run from its bytes instead.
  bool EmitFast(const CodeInstruction& in, std::int32_t layout) {
    const auto index = static_cast<std::size_t>(analysis_.IndexAt(in.start));
    switch (in.opcode) {
      case OpPushType: return EmitPushType(in, layout);
      case OpPop: return EmitPop(layout);
      case OpPushVar: return EmitPushVar(in, layout);
      case OpAssign: return EmitAssign(in, layout);
      case OpCalculate: return EmitCalculate(in, layout);
      case OpCompare: return EmitCompare(in, layout);
      case OpIncrement:
      case OpDecrement: return EmitStep(in, layout);
      case OpGoto:
        if (!IsTarget(in.jumpTarget)) return false;
        EmitJump(RegOp::kGoto, in.jumpTarget);
        return true;
      case OpJumpIfTrue:
      case OpJumpIfFalse: return EmitConditionalJump(in, layout);
      case OpJumpIfFlag:
        if (!IsTarget(in.jumpTarget)) return false;
        EmitJump(RegOp::kJumpIfFlag, in.jumpTarget);
        return true;
      case OpSetFlag: return EmitSetFlag(in, layout);
      case OpCall: {
        if (in.number >= exec_.Procs().size()) return false;
        TPSProcRec& callee = *exec_.Procs()[in.number];
        RInstr& call = Emit(callee.IsExternal() ? RegOp::kCallHost : RegOp::kCallScript);
        call.p = &callee;
        call.a = analysis_.Layouts().EndOffset(layout);
        call.b = analysis_.Layouts().Depth(layout);
        call.c = in.end;
        continues_[index] = true;
        return true;
      }
      case OpReturn: {
        RInstr& ret = Emit(RegOp::kReturn);
        ret.a = static_cast<std::intptr_t>(out_->entries.size());
        const LayoutPool& layouts = analysis_.Layouts();
        for (std::int32_t node = layout; node != kEmptyLayout; node = layouts.Below(node))
          if (layouts[node].type->needsFinalization)
            out_->entries.push_back({layouts[node].depth - 1, layouts[node].type, layouts[node].offset});
        ret.b = static_cast<std::intptr_t>(out_->entries.size()) - ret.a;
        return true;
      }
      case OpNop:
        return true;
      default:
        return false;
    }
  }

  bool IsTarget(std::int64_t position) const {
    return position >= 0 && position < static_cast<std::int64_t>(proc_.code.size()) &&
           analysis_.IndexAt(static_cast<std::uint32_t>(position)) >= 0;
  }

  bool EmitPushType(const CodeInstruction& in, std::int32_t layout) {
    const TPSTypeRec* type = exec_.TypeByNumber(in.number);
    if (type == nullptr) return false;
    const auto bytes = static_cast<std::int32_t>(TPSStack::SlotBytes(type->memSize));
    maxPushBytes_ = std::max(maxPushBytes_, bytes);
    RInstr& clear = Emit(bytes == 8 ? RegOp::kClear8 : RegOp::kClearN);
    clear.a = analysis_.Layouts().EndOffset(layout);
    clear.b = bytes;
    return true;
  }

  bool EmitPop(std::int32_t layout) {
    if (layout == kEmptyLayout) return false;
    const LayoutNode& top = analysis_.Layouts()[layout];
    if (top.type->needsFinalization) {
      RInstr& release = Emit(RegOp::kRelease);
      release.a = top.offset;
      release.p = top.type;
    }
    return true;
  }

  bool EmitPushVar(const CodeInstruction& in, std::int32_t layout) {
    const std::optional<StaticVar> var = PlainVariable(in.operands[0], layout);
    if (!var || exec_.FirstPointerType() == nullptr) return false;
    maxPushBytes_ = std::max(maxPushBytes_, static_cast<std::int32_t>(TPSStack::SlotBytes(exec_.FirstPointerType()->memSize)));
    RInstr& push = Emit(RegOp::kPushAddress);
    push.a = analysis_.Layouts().EndOffset(layout);
    push.b = var->at;
    push.c = var->base == RLoc::Base::kFrame ? var->relative : static_cast<std::intptr_t>(kNotOnStack);
    push.sub = var->base == RLoc::Base::kFrame ? 0 : 1;
    push.p = var->type;
    return true;
  }

  bool EmitAssign(const CodeInstruction& in, std::int32_t layout) {
    const std::optional<StaticVar> dest = PlainVariable(in.operands[0], layout);
    const std::optional<Source32> source = Source(in.operands[1], layout);
    if (dest && Is32(dest->type) && source) {
      const bool frame = dest->base == RLoc::Base::kFrame;
      RegOp op = frame ? RegOp::kMov32FF : RegOp::kMov32GF;
      RInstr& move = Emit(Offset(op, static_cast<int>(source->mode)));
      move.a = dest->at;
      move.b = source->value;
      return true;
    }
    // dest^ := source and dest := source^ through pointer slots of 32-bit targets.
    if (const std::optional<std::intptr_t> pointer = PointerSlot(in.operands[0], layout); pointer && source &&
                                                                                        source->mode != Mode::G) {
      RInstr& store = Emit(source->mode == Mode::F ? RegOp::kStoreVia32F : RegOp::kStoreVia32K);
      store.a = *pointer;
      store.b = source->value;
      return true;
    }
    if (const std::optional<std::intptr_t> pointer = PointerSlot(in.operands[1], layout);
        pointer && dest && Is32(dest->type) && dest->base == RLoc::Base::kFrame) {
      RInstr& load = Emit(RegOp::kLoadVia32);
      load.a = dest->at;
      load.b = *pointer;
      return true;
    }
    return EmitGeneric(RegOp::kAssign, in, layout);
  }

  bool EmitCalculate(const CodeInstruction& in, std::int32_t layout) {
    const std::optional<StaticVar> dest = PlainVariable(in.operands[0], layout);
    const std::optional<Source32> source = Source(in.operands[1], layout);
    const auto op = static_cast<CalcOp>(in.byte);
    if (in.byte >= kCalcOpCount) return false;
    if (dest && Is32(dest->type) && dest->base == RLoc::Base::kFrame && source) {
      const RegOp family = BinaryFamily(op, dest->type->baseType == tcS32);
      if (family != RegOp::kCount) {
        RInstr& calc = Emit(Offset(family, ModeIndex(Mode::F, source->mode)));
        calc.a = dest->at;
        calc.b = dest->at;
        calc.c = source->value;
        return true;
      }
    }
    if (!EmitGeneric(RegOp::kCalculate, in, layout)) return false;
    out_->code.back().sub = in.byte;
    return true;
  }

  bool EmitCompare(const CodeInstruction& in, std::int32_t layout) {
    if (in.byte >= kCompareOpCount) return false;
    const std::optional<StaticVar> dest = PlainVariable(in.operands[0], layout);
    const std::optional<Source32> left = Source(in.operands[1], layout);
    const std::optional<Source32> right = Source(in.operands[2], layout);
    const int modes = left && right ? ModeIndex(left->mode, right->mode) : -1;
    if (dest && IsByte(dest->type) && dest->base == RLoc::Base::kFrame && modes >= 0 &&
        in.byte <= static_cast<std::uint8_t>(CompareOp::Equal)) {
      RInstr& compare = Emit(Offset(left->isSigned ? RegOp::kCmpSFF : RegOp::kCmpUFF, modes));
      compare.sub = kCondMask[in.byte];
      compare.a = dest->at;
      compare.b = left->value;
      compare.c = right->value;
      return true;
    }
    if (!EmitGeneric(RegOp::kCompare, in, layout)) return false;
    out_->code.back().sub = in.byte;
    return true;
  }

  bool EmitStep(const CodeInstruction& in, std::int32_t layout) {
    const bool up = in.opcode == OpIncrement;
    const std::optional<StaticVar> var = PlainVariable(in.operands[0], layout);
    if (var && Is32(var->type)) {
      const bool frame = var->base == RLoc::Base::kFrame;
      RInstr& step = Emit(up ? (frame ? RegOp::kInc32F : RegOp::kInc32G) : (frame ? RegOp::kDec32F : RegOp::kDec32G));
      step.a = var->at;
      return true;
    }
    return EmitGeneric(up ? RegOp::kIncrement : RegOp::kDecrement, in, layout);
  }

  bool EmitConditionalJump(const CodeInstruction& in, std::int32_t layout) {
    if (!IsTarget(in.jumpTarget)) return false;
    const bool onTrue = in.opcode == OpJumpIfTrue;
    const std::optional<StaticVar> var = PlainVariable(in.operands[0], layout);
    if (var && var->base == RLoc::Base::kFrame && (IsByte(var->type) || Is32(var->type))) {
      const bool byte = IsByte(var->type);
      EmitJump(byte ? (onTrue ? RegOp::kJumpIfNotZero8 : RegOp::kJumpIfZero8)
                    : (onTrue ? RegOp::kJumpIfNotZero32 : RegOp::kJumpIfZero32),
               in.jumpTarget);
      out_->code.back().a = var->at;
      return true;
    }
    const std::intptr_t loc = Loc(in.operands[0], layout, true);
    if (loc < 0) return false;
    EmitJump(onTrue ? RegOp::kJumpIfTrue : RegOp::kJumpIfFalse, in.jumpTarget);
    out_->code.back().a = loc;
    return true;
  }

  bool EmitSetFlag(const CodeInstruction& in, std::int32_t layout) {
    const std::optional<StaticVar> var = PlainVariable(in.operands[0], layout);
    if (var && var->base == RLoc::Base::kFrame && (IsByte(var->type) || Is32(var->type))) {
      RInstr& set = Emit(IsByte(var->type) ? RegOp::kSetFlag8 : RegOp::kSetFlag32);
      set.a = var->at;
      set.sub = in.byte != 0 ? 1 : 0;
      return true;
    }
    const std::intptr_t loc = Loc(in.operands[0], layout, true);
    if (loc < 0) return false;
    RInstr& set = Emit(RegOp::kSetFlag);
    set.a = loc;
    set.sub = in.byte != 0 ? 1 : 0;
    return true;
  }

  // The instruction by the value operations, its operands resolved at run time.
  bool EmitGeneric(RegOp op, const CodeInstruction& in, std::int32_t layout) {
    std::intptr_t locs[3] = {0, 0, 0};
    for (int i = 0; i < in.operandCount; ++i) {
      // A destination must be a variable; the byte code reports a constant there.
      if (i == 0 && in.operands[0].kind == OperandKind::kConstant) return false;
      locs[i] = Loc(in.operands[i], layout, true);
      if (locs[i] < 0) return false;
    }
    RInstr& generic = Emit(op);
    generic.a = locs[0];
    generic.b = locs[1];
    generic.c = locs[2];
    generic.target = static_cast<std::int32_t>(in.end);  // where a fault of the operation is reported
    return true;
  }

  // --- After emitting ------------------------------------------------------------------------

  void ResolveJumps() {
    for (const auto& [at, position] : jumps_) {
      const std::int32_t group = out_->GroupAt(static_cast<std::uint32_t>(position));
      RInstr& jump = out_->code[at];
      jump.target = out_->groups[static_cast<std::size_t>(group)].first;
    }
  }

  // The entries each sync point writes: those of the slots pushed since the slot table was last
  // brought up to date on any path that reaches it. Found by following the paths with, per
  // instruction, the depth below which every entry is known to be right.
  void FillSyncPoints() {
    const auto& shapes = analysis_.Shapes();
    const LayoutPool& layouts = analysis_.Layouts();
    std::vector<std::uint32_t> valid(shapes.size() + 1, UINT32_MAX);  // the last one: the end
    const auto slotOf = [&](std::int64_t position) -> std::int64_t {
      if (position < 0 || position > static_cast<std::int64_t>(proc_.code.size())) return -1;
      const std::int32_t i = analysis_.IndexAt(static_cast<std::uint32_t>(position));
      if (i >= 0) return shapes[static_cast<std::size_t>(i)].reached ? i : -1;
      return out_->GroupAt(static_cast<std::uint32_t>(position)) >= 0 ? static_cast<std::int64_t>(shapes.size()) : -1;
    };
    std::vector<std::int32_t> work;
    const auto reach = [&](std::int64_t position, std::uint32_t depth) {
      const std::int64_t i = slotOf(position);
      if (i < 0 || depth >= valid[static_cast<std::size_t>(i)]) return;
      valid[static_cast<std::size_t>(i)] = depth;
      if (i < static_cast<std::int64_t>(shapes.size())) work.push_back(static_cast<std::int32_t>(i));
    };
    reach(0, 0);
    while (!work.empty()) {
      const std::int32_t i = work.back();
      work.pop_back();
      const CodeInstruction& in = analysis_.Instructions()[static_cast<std::size_t>(i)];
      const std::int32_t layout = shapes[static_cast<std::size_t>(i)].layout;
      const std::uint32_t depth = std::min(valid[static_cast<std::size_t>(i)], layouts.Depth(layout));
      // After a call or an instruction run from its bytes the table is right up to the top, and
      // a try block's handler positions are only ever reached with the table right.
      const bool synced = continues_[static_cast<std::size_t>(i)];
      analysis_.ForEachSuccessor(i, [&](std::int64_t position, std::int32_t there) {
        const bool handler = in.opcode == OpPushHandler && position != in.end;
        reach(position, synced || handler ? layouts.Depth(there) : depth);
      });
    }
    for (SyncPoint& sync : out_->syncs) {
      const std::int64_t i = slotOf(sync.position);
      const std::uint32_t from = std::min(valid[static_cast<std::size_t>(i)], sync.depth);
      sync.firstEntry = static_cast<std::uint32_t>(out_->entries.size());
      for (std::int32_t node = sync.layout; node != kEmptyLayout && layouts[node].depth > from; node = layouts.Below(node))
        out_->entries.push_back({layouts[node].depth - 1, layouts[node].type, layouts[node].offset});
      sync.entryCount = static_cast<std::uint32_t>(out_->entries.size()) - sync.firstEntry;
    }
  }

  const TPSInternalProcRec& proc_;
  const TPSExec& exec_;
  const TPSStack& stack_;
  std::int32_t frameBase_;
  FrameAnalysis analysis_;
  std::shared_ptr<RegisterCode> out_;
  std::vector<const TPSTypeRec*> paramTypes_;
  std::vector<std::int32_t> paramOffsets_;
  std::vector<bool> continues_;  // per instruction: the slot table is brought up to date there
  std::vector<std::pair<std::size_t, std::int64_t>> jumps_;
  std::int32_t group_ = -1;
  std::int32_t maxPushBytes_ = 0;
};

}  // namespace

std::shared_ptr<const RegisterCode> TranslateProcedure(const TPSInternalProcRec& proc, const TPSExec& exec,
                                                       const TPSStack& stack, std::int32_t frameBase) {
  return Translator(proc, exec, stack, frameBase).Translate();
}

}  // namespace dravik::engine

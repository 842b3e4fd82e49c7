#include "engine/exec/translator.h"

#include <algorithm>
#include <map>
#include <optional>

#include "engine/exec/exec.h"
#include "engine/exec/inline_constant.h"
#include "engine/exec/opcode_handling.h"
#include "engine/exec/stack.h"
#include "engine/values/integer_kinds.h"
#include "engine/values/pointer_value.h"
#include "engine/values/value_memory.h"

namespace dravik::engine::exec {

struct RegisterCode::Constant {
  explicit Constant(const values::TPSTypeRec& type) : storage(new std::uint64_t[type.memSize / 8 + 2]()), type(type) {}
  ~Constant() { values::FinalizeValue(storage.get(), type); }
  Constant(const Constant&) = delete;
  Constant& operator=(const Constant&) = delete;

  std::unique_ptr<std::uint64_t[]> storage;
  const values::TPSTypeRec& type;
};

RegisterCode::RegisterCode() = default;
RegisterCode::~RegisterCode() = default;

namespace {

bool Is32(const values::TPSTypeRec* type) {
  return type != nullptr && (type->baseType == image::tcS32 || type->baseType == image::tcU32);
}
bool IsByteCode(image::TPSTypeCode code) { return code == image::tcU8 || code == image::tcS8 || code == image::tcChar; }
bool IsByte(const values::TPSTypeRec* type) { return type != nullptr && IsByteCode(type->baseType); }
bool IsSmallInteger(const values::TPSTypeRec* type) {
  return type != nullptr && type->baseType >= image::tcU8 && type->baseType <= image::tcS32;
}

// A variable of an operand as the translation knows it.
struct StaticVar {
  RLoc::Base base = RLoc::Base::kFrame;
  std::intptr_t at = 0;
  const values::TPSTypeRec* type = nullptr;
  // Frame slots: the slot's index from the frame base (a local j is j + 1, a parameter k is -k).
  std::int32_t relative = 0;
  bool IsFrame() const { return base == RLoc::Base::kFrame; }
  // The local's index in the frame's layout; -1 for parameters and globals.
  std::int64_t Local() const { return IsFrame() && relative > 0 ? relative - 1 : -1; }
};

// Where a source of a 32-bit or byte instruction comes from.
enum class Mode : std::uint8_t { F, G, K };

struct Source {
  Mode mode = Mode::K;
  std::intptr_t value = 0;
  image::TPSTypeCode code = image::tcS32;  // the variable's or the constant's base type
};

// Mode suffixes of the two-source instructions, in DRAVIK_REG_AB_MODES order; -1 for two
// immediates.
int ModeIndex(Mode a, Mode b) {
  static constexpr int kIndex[3][3] = {{0, 1, 2}, {3, 4, 5}, {6, 7, -1}};
  return kIndex[static_cast<int>(a)][static_cast<int>(b)];
}

RegOp Offset(RegOp first, int by) { return static_cast<RegOp>(static_cast<int>(first) + by); }

RegOp BinaryFamily(image::CalcOp op, bool isSigned) {
  switch (op) {
    case image::CalcOp::Add: return RegOp::kAddFF;
    case image::CalcOp::Subtract: return RegOp::kSubFF;
    case image::CalcOp::Multiply: return RegOp::kMulFF;
    case image::CalcOp::And: return RegOp::kAndFF;
    case image::CalcOp::Or: return RegOp::kOrFF;
    case image::CalcOp::Xor: return RegOp::kXorFF;
    case image::CalcOp::ShiftLeft: return RegOp::kShlFF;
    case image::CalcOp::ShiftRight: return isSigned ? RegOp::kShrSFF : RegOp::kShrUFF;
    case image::CalcOp::Divide: return isSigned ? RegOp::kDivSFF : RegOp::kDivUFF;
    case image::CalcOp::Modulo: return isSigned ? RegOp::kModSFF : RegOp::kModUFF;
    default: return RegOp::kCount;
  }
}

// A division whose divisor is a constant other than 0 cannot fail (-1 wraps instead).
bool MayFail(image::CalcOp op, const Source& divisor) {
  if (op != image::CalcOp::Divide && op != image::CalcOp::Modulo) return false;
  return divisor.mode != Mode::K || divisor.value == 0;
}

// A borrowed pointer slot's target, known without the pointer having been made.
struct PlaceSym {
  RPlace place;
  bool checked = false;        // the index was checked against the length since
  std::int64_t indexSlot = -1;  // the temporary (depth index) the index is read from, if one
};

// What one byte-code instruction becomes, and what that means for the group it goes into.
struct Plan {
  std::vector<RInstr> ops;
  std::vector<std::pair<std::size_t, std::int64_t>> jumps;  // op in ops, target position
  bool mayDeopt = false;       // an op may go back to the group's start
  bool ownGroup = false;       // the instruction must start its group (its ops sync to it)
  bool endsGroup = false;      // nothing after it joins its group
  bool writesOutside = false;  // it changes what the byte code would see at the group's start
  bool ref = false;            // run from its bytes
  std::int64_t borrows = -1;    // the pointer slot (depth index) that now holds a borrowed pointer
  std::int64_t unborrows = -1;  // a borrowed pointer slot popped
  std::int64_t setsSlot = -1;   // a borrowed pointer slot whose pointer is made
  std::intptr_t popped = -1;    // the offset of the slot popped
  // A pointer slot pushed pointing at a variable (PushVar): it keeps nothing alive.
  std::int64_t pointsAtSlot = -1;
  std::optional<StaticVar> pointsAt;
  // The pointer slot (depth index) whose target is now the place (made later, if ever), or
  // whose place goes (-1: none changes).
  std::int64_t placeSlot = -1;
  std::optional<PlaceSym> place;
  std::vector<std::uint32_t> checkedPlaces;  // pointer slots whose places the ops checked
  // The 32-bit slot (depth index) that now holds a copy of a source, or no longer does.
  std::int64_t copySlot = -1;
  std::optional<Source> copy;

  RInstr& Add(RegOp op) {
    RInstr in;
    in.op = op;
    ops.push_back(in);
    return ops.back();
  }
  void Jump(RegOp op, std::int64_t target) {
    Add(op);
    jumps.push_back({ops.size() - 1, target});
  }
};


// What an instruction of the register form does with frame slots: which it reads, which it
// writes whole, and whether it does nothing else (so that it can go when what it writes is
// never read). Instructions that may read any slot (calls, instructions run from their bytes,
// the generic ones) read everything.
struct SlotUse {
  std::intptr_t reads[4] = {};
  int readCount = 0;
  bool readsAll = false;
  bool writes = false;
  std::intptr_t written = 0;
  std::size_t bytes = 0;
  bool removable = false;  // no effect but the write, no deopt

  void Read(std::intptr_t at) { reads[readCount++] = at; }
  void Write(std::intptr_t at, std::size_t size, bool alone) {
    writes = true;
    written = at;
    bytes = size;
    removable = alone;
  }
};

// Mode index (DRAVIK_REG_AB_MODES order) of an instruction of a two-source family.
bool FirstFromFrame(int mode) { return mode <= 2; }
bool SecondFromFrame(int mode) { return mode == 0 || mode == 3 || mode == 6; }

void ReadPlace(SlotUse& use, const RPlace& place) {
  if (place.base != RPlace::Base::kAddress) use.Read(place.at);
  if (place.index == RPlace::Index::kFrame) use.Read(place.indexAt);
}

// Whether op lies in the family that starts at first (eight modes).
bool InFamily(RegOp op, RegOp first) {
  return op >= first && static_cast<int>(op) < static_cast<int>(first) + 8;
}

SlotUse UseOf(const RInstr& in, const std::vector<RPlace>& places, std::size_t slotBytes) {
  SlotUse use;
  const auto op = in.op;
  const auto twoSources = [&](RegOp first, std::size_t bytes, bool alone) {
    const int mode = static_cast<int>(op) - static_cast<int>(first);
    if (FirstFromFrame(mode)) use.Read(in.b);
    if (SecondFromFrame(mode)) use.Read(in.c);
    use.Write(in.a, bytes, alone);
    return use;
  };
  static constexpr RegOp kSafeFamilies[] = {RegOp::kAddFF, RegOp::kSubFF, RegOp::kMulFF, RegOp::kAndFF,
                                            RegOp::kOrFF,  RegOp::kXorFF, RegOp::kShlFF, RegOp::kShrSFF,
                                            RegOp::kShrUFF};
  for (RegOp first : kSafeFamilies)
    if (InFamily(op, first)) return twoSources(first, 4, true);
  for (RegOp first : {RegOp::kDivSFF, RegOp::kDivUFF, RegOp::kModSFF, RegOp::kModUFF})
    if (InFamily(op, first)) return twoSources(first, 4, false);
  for (RegOp first : {RegOp::kCmpSFF, RegOp::kCmpUFF, RegOp::kCmpBFF})
    if (InFamily(op, first)) return twoSources(first, 1, true);
  for (RegOp first : {RegOp::kCmpJumpSFF, RegOp::kCmpJumpUFF, RegOp::kCmpJumpBFF})
    if (InFamily(op, first)) return twoSources(first, 1, false);
  switch (op) {
    case RegOp::kClear8: case RegOp::kClearN: case RegOp::kClearPointer:
      use.Write(in.a, slotBytes, true);
      break;
    case RegOp::kMov32FF: use.Read(in.b); [[fallthrough]];
    case RegOp::kMov32FG: case RegOp::kMov32FK: use.Write(in.a, 4, true); break;
    case RegOp::kMov8FF: use.Read(in.b); [[fallthrough]];
    case RegOp::kMov8FG: case RegOp::kMov8FK: use.Write(in.a, 1, true); break;
    case RegOp::kMov32GF: case RegOp::kMov8GF: use.Read(in.b); break;
    case RegOp::kMov32GG: case RegOp::kMov32GK: case RegOp::kMov8GG: case RegOp::kMov8GK: break;
    case RegOp::kInc32F: case RegOp::kDec32F: case RegOp::kSetFlag8: case RegOp::kSetFlag32:
    case RegOp::kJumpIfZero8: case RegOp::kJumpIfNotZero8: case RegOp::kJumpIfZero32: case RegOp::kJumpIfNotZero32:
    case RegOp::kOwn: case RegOp::kRelease:
      use.Read(in.a);
      break;
    case RegOp::kAndB: case RegOp::kOrB: case RegOp::kXorB:
      use.Read(in.a);
      if (in.sub == 0) use.Read(in.c);
      break;
    case RegOp::kLoadVia32: case RegOp::kLoadVia8:
      use.Read(in.b);
      use.Write(in.a, op == RegOp::kLoadVia32 ? 4 : 1, false);
      break;
    case RegOp::kStoreVia32F: case RegOp::kStoreVia8F: use.Read(in.b); [[fallthrough]];
    case RegOp::kStoreVia32K: case RegOp::kStoreVia8K: use.Read(in.a); break;
    case RegOp::kLoadPlace32: case RegOp::kLoadPlace8:
      ReadPlace(use, places[static_cast<std::size_t>(in.b)]);
      use.Write(in.a, op == RegOp::kLoadPlace32 ? 4 : 1, false);
      break;
    case RegOp::kStorePlace32F: case RegOp::kStorePlace8F: use.Read(in.b); [[fallthrough]];
    case RegOp::kStorePlace32K: case RegOp::kStorePlace8K:
      ReadPlace(use, places[static_cast<std::size_t>(in.a)]);
      break;
    case RegOp::kCheckPlace: ReadPlace(use, places[static_cast<std::size_t>(in.b)]); break;
    case RegOp::kPointToPlace:
      ReadPlace(use, places[static_cast<std::size_t>(in.b)]);
      use.Write(in.a, slotBytes, false);
      break;
    case RegOp::kPointToVar: use.Write(in.a, slotBytes, true); break;
    case RegOp::kPointToCopy: case RegOp::kPushPointerCopy: use.Read(in.b); use.Write(in.a, slotBytes, false); break;
    case RegOp::kPointToElemF: use.Read(in.c); [[fallthrough]];
    case RegOp::kPointToElemK: use.Read(in.b); use.Write(in.a, slotBytes, false); break;
    case RegOp::kGoto: case RegOp::kJumpIfFlag: case RegOp::kJumpIfNotFlag: case RegOp::kDeopt:
      break;
    default:
      use.readsAll = true;
      break;
  }
  return use;
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
    FindBlockStarts();
    PlaceScratch();
    for (std::size_t i = 0; i < instructions.size(); ++i)
      if (analysis_.Shapes()[i].reached) Translate(static_cast<std::int32_t>(i));
    EmitEndOfCode();
    // A call enters at the first group: a procedure whose first instruction cannot be decoded
    // has none there, and runs from its bytes, which report the fault.
    if (!analysis_.Usable() || out_->GroupAt(0) < 0) return nullptr;
    ResolveJumps();
    Compact();
    FillSyncPoints();
    out_->maxDepth = maxDepth_;
    out_->frameBytes = scratch_ + kScratchBytes;
    out_->paramTypes = paramTypes_;
    out_->paramOffsets = paramOffsets_;
    out_->layouts = std::move(analysis_.Layouts());
    return out_;
  }

 private:
  static constexpr std::int32_t kScratchBytes = 8;

  // --- The frame ---------------------------------------------------------------------------

  bool SetUpParams() {
    const std::uint32_t count = analysis_.ParamCount();
    if (count == 0) return true;
    // The main procedure's frame has nothing under it, and a call must have pushed them all.
    if (frameBase_ < static_cast<std::int32_t>(count)) return false;
    std::int32_t offset = -static_cast<std::int32_t>(TPSStack::SlotBytes(exec_.ReturnAddressType().memSize));
    for (std::uint32_t k = 1; k <= count; ++k) {
      const values::TPSTypeRec& type = stack_.TypeAt(static_cast<std::size_t>(frameBase_) - k);
      if (type.baseType == image::tcReturnAddress) return false;
      offset -= static_cast<std::int32_t>(TPSStack::SlotBytes(type.memSize));
      paramTypes_.push_back(&type);
      paramOffsets_.push_back(offset);
      // What a var parameter points at now is what it is taken to point at (checked where used).
      const values::TPSTypeRec* target = nullptr;
      if (type.baseType == image::tcPointer)
        target = values::LoadPointer(stack_.ValueAt(static_cast<std::size_t>(frameBase_) - k)).targetType;
      paramTargets_.push_back(target);
    }
    return true;
  }

  // The scratch register lies above every slot the frame ever holds, with room for one more
  // slot (a push, or a call's return address) in between.
  void PlaceScratch() {
    const LayoutPool& layouts = analysis_.Layouts();
    std::int32_t above = static_cast<std::int32_t>(TPSStack::SlotBytes(exec_.ReturnAddressType().memSize));
    if (exec_.FirstPointerType() != nullptr)
      above = std::max(above, static_cast<std::int32_t>(TPSStack::SlotBytes(exec_.FirstPointerType()->memSize)));
    for (std::size_t i = 0; i < analysis_.Instructions().size(); ++i) {
      const CodeInstruction& in = analysis_.Instructions()[i];
      if (in.opcode != image::OpPushType || !analysis_.Shapes()[i].reached) continue;
      if (const values::TPSTypeRec* type = exec_.TypeByNumber(in.number))
        above = std::max(above, static_cast<std::int32_t>(TPSStack::SlotBytes(type->memSize)));
    }
    for (const InstructionShape& shape : analysis_.Shapes()) {
      if (!shape.reached) continue;
      scratch_ = std::max(scratch_, layouts.EndOffset(shape.layout) + above);
      maxDepth_ = std::max(maxDepth_, layouts.Depth(shape.layout) + 1);
    }
  }

  // Instructions that paths reach other than by going on from the one before: every group
  // starts at one of them or later.
  void FindBlockStarts() {
    const auto& instructions = analysis_.Instructions();
    blockStart_.assign(instructions.size(), false);
    if (!instructions.empty()) blockStart_[0] = true;
    for (std::size_t i = 0; i < instructions.size(); ++i) {
      if (!analysis_.Shapes()[i].reached) continue;
      const CodeInstruction& in = instructions[i];
      bool transfers = false;
      analysis_.ForEachSuccessor(static_cast<std::int32_t>(i), [&](std::int64_t position, std::int32_t) {
        if (position == in.end) return;
        transfers = true;
        MarkBlockStart(position);
      });
      if (transfers || in.opcode == image::OpCall || in.opcode == image::OpCallVar) MarkBlockStart(in.end);
    }
  }

  void MarkBlockStart(std::int64_t position) {
    if (position < 0 || position >= static_cast<std::int64_t>(proc_.code.size())) return;
    const std::int32_t index = analysis_.IndexAt(static_cast<std::uint32_t>(position));
    if (index >= 0) blockStart_[static_cast<std::size_t>(index)] = true;
  }

  // The variable a number names at an instruction whose frame is `layout`.
  std::optional<StaticVar> Variable(std::uint32_t number, std::int32_t layout) const {
    StaticVar var;
    if (number < image::kFirstFrameVariable) {
      if (number >= exec_.GlobalCount()) return std::nullopt;
      const values::ValueRef global = exec_.GlobalAt(number);
      var.base = RLoc::Base::kAddress;
      var.at = reinterpret_cast<std::intptr_t>(global.data);
      var.type = global.type;
      return var;
    }
    if (number > image::kFrameBaseVariable) {
      const std::uint32_t local = number - image::kFrameBaseVariable - 1;
      const LayoutPool& layouts = analysis_.Layouts();
      if (local >= layouts.Depth(layout)) return std::nullopt;
      const LayoutNode& node = layouts[layouts.At(layout, local)];
      var.at = node.offset;
      var.type = node.type;
      var.relative = static_cast<std::int32_t>(local) + 1;
      return var;
    }
    const std::uint32_t param = image::kFrameBaseVariable - number;
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

  // A whole variable that is no pointer: the operand itself.
  std::optional<StaticVar> PlainVariable(const CodeOperand& operand, std::int32_t layout) const {
    if (operand.kind != image::OperandKind::kVariable) return std::nullopt;
    std::optional<StaticVar> var = Variable(operand.variable, layout);
    if (!var || var->type->baseType == image::tcPointer || var->type->baseType == image::tcReturnAddress)
      return std::nullopt;
    return var;
  }

  // A source of the 32-bit instructions: a plain variable of a 32-bit type, or an integer
  // constant of at most 32 bits (taken as an assignment to a 32-bit integer would take it).
  std::optional<Source> Source32(const CodeOperand& operand, std::int32_t layout) const {
    if (operand.kind == image::OperandKind::kConstant) {
      const std::optional<values::IntegerKind> kind = values::IntegerKindOf(operand.constantType->baseType);
      if (!kind || kind->bits > 32) return std::nullopt;
      const auto value = static_cast<std::uint32_t>(values::LoadInteger(operand.constantBytes, *kind));
      return Source{Mode::K, static_cast<std::intptr_t>(static_cast<std::int32_t>(value)), operand.constantType->baseType};
    }
    const std::optional<StaticVar> var = PlainVariable(operand, layout);
    if (!var || !Is32(var->type)) return std::nullopt;
    return Source{var->IsFrame() ? Mode::F : Mode::G, var->at, var->type->baseType};
  }

  // A source of the byte instructions: a plain byte-sized variable (U8, S8, Char) or a
  // constant of one of those types.
  std::optional<Source> SourceByte(const CodeOperand& operand, std::int32_t layout) const {
    if (operand.kind == image::OperandKind::kConstant) {
      if (!IsByte(operand.constantType)) return std::nullopt;
      return Source{Mode::K, operand.constantBytes[0], operand.constantType->baseType};
    }
    const std::optional<StaticVar> var = PlainVariable(operand, layout);
    if (!var || !IsByte(var->type)) return std::nullopt;
    return Source{var->IsFrame() ? Mode::F : Mode::G, var->at, var->type->baseType};
  }

  // A whole frame variable that holds a pointer.
  std::optional<StaticVar> PointerSlot(const CodeOperand& operand, std::int32_t layout) const {
    if (operand.kind != image::OperandKind::kVariable) return std::nullopt;
    std::optional<StaticVar> var = Variable(operand.variable, layout);
    if (!var || !var->IsFrame() || var->type->baseType != image::tcPointer) return std::nullopt;
    return var;
  }

  // The operand as the generic instructions resolve it; -1 when it names no variable the frame
  // has here (the byte code reports that).
  std::intptr_t Loc(const CodeOperand& operand, std::int32_t layout) {
    RLoc loc;
    if (operand.kind == image::OperandKind::kConstant) {
      loc.base = RLoc::Base::kAddress;
      loc.at = reinterpret_cast<std::intptr_t>(ConstantValue(operand));
      loc.type = operand.constantType;
      return AddLoc(loc);
    }
    const std::optional<StaticVar> var = Variable(operand.variable, layout);
    if (!var || var->type->baseType == image::tcReturnAddress) return -1;
    loc.base = var->base;
    loc.at = var->at;
    loc.type = var->type;
    if (operand.kind == image::OperandKind::kIndexed) {
      loc.select = RLoc::Select::kIndex;
      loc.index = operand.index;
    } else if (operand.kind == image::OperandKind::kIndexedByVar) {
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

  // Whether writing the variable changes what the byte code would find at the group's start:
  // anything but a slot pushed inside the group.
  bool Outside(const StaticVar& var) const { return var.Local() < static_cast<std::int64_t>(groupDepth_); }
  bool Borrowed(const StaticVar& var) const {
    return var.Local() >= 0 && std::find(borrowed_.begin(), borrowed_.end(), var.Local()) != borrowed_.end();
  }

  // --- Groups --------------------------------------------------------------------------------

  void Translate(std::int32_t index) {
    const CodeInstruction& in = analysis_.Instructions()[static_cast<std::size_t>(index)];
    const std::int32_t layout = analysis_.Shapes()[static_cast<std::size_t>(index)].layout;
    // After a change outside, the next push starts a group: the temporaries of what follows
    // (the next statement, say) belong to it, so that it can still go back to its start.
    const bool endAfterChange = wroteOutside_ && (in.opcode == image::OpPushType || in.opcode == image::OpPushVar);
    if (blockStart_[static_cast<std::size_t>(index)] || groupClosed_ || endAfterChange) OpenGroup(in.start, layout);
    Disturb(in, layout);
    Plan plan = Select(in, layout);
    if ((plan.ownGroup && groupStart_ != in.start) || (wroteOutside_ && plan.mayDeopt)) {
      OpenGroup(in.start, layout);
      plan = Select(in, layout);
    }
    if (plan.ref) continues_[static_cast<std::size_t>(index)] = true;
    // Nothing may go back to the group's start once something outside has changed: the places
    // still to be checked are checked before.
    if (plan.writesOutside && !wroteOutside_) CheckPlaces(layout);
    // A jump leaves the group: the pointers it borrowed are made and take their references.
    if (plan.endsGroup) OwnBorrowed(layout);
    Append(plan, in.start);
    Apply(plan);
    if (plan.endsGroup) groupClosed_ = true;
    afterLayout_ = analysis_.FallThrough(index);
  }

  void Apply(const Plan& plan) {
    wroteOutside_ = wroteOutside_ || plan.writesOutside;
    if (plan.pointsAtSlot >= 0) pointsAt_[static_cast<std::uint32_t>(plan.pointsAtSlot)] = *plan.pointsAt;
    if (plan.borrows >= 0) {
      borrowed_.push_back(static_cast<std::uint32_t>(plan.borrows));
      unset_.push_back(static_cast<std::uint32_t>(plan.borrows));
    }
    if (plan.setsSlot >= 0) {
      std::erase(unset_, static_cast<std::uint32_t>(plan.setsSlot));
      std::erase(keepsNothing_, static_cast<std::uint32_t>(plan.setsSlot));
    }
    if (plan.unborrows >= 0) {
      std::erase(keepsNothing_, static_cast<std::uint32_t>(plan.unborrows));
      std::erase(borrowed_, static_cast<std::uint32_t>(plan.unborrows));
      std::erase(unset_, static_cast<std::uint32_t>(plan.unborrows));
    }
    for (std::uint32_t slot : plan.checkedPlaces)
      if (const auto known = places_.find(slot); known != places_.end()) known->second.checked = true;
    if (plan.placeSlot >= 0) {
      places_.erase(static_cast<std::uint32_t>(plan.placeSlot));
      std::erase(keepsNothing_, static_cast<std::uint32_t>(plan.placeSlot));
      if (plan.place) {
        PlaceSym sym = *plan.place;
        sym.checked = sym.checked || sym.place.index == RPlace::Index::kNone;
        places_.emplace(static_cast<std::uint32_t>(plan.placeSlot), sym);
      }
    }
    if (plan.copySlot >= 0) {
      copies_.erase(static_cast<std::uint32_t>(plan.copySlot));
      if (plan.copy) copies_.emplace(static_cast<std::uint32_t>(plan.copySlot), *plan.copy);
    }
  }

  // --- What an instruction changes for the places and copies it does not itself make -----

  // Places and copies that read what the instruction changes go first: a place is made into its
  // pointer while its inputs are still what they were, and a copy is forgotten.
  void Disturb(const CodeInstruction& in, std::int32_t layout) {
    switch (in.opcode) {
      case image::OpAssign:
      case image::OpCalculate:
      case image::OpCompare:
      case image::OpIncrement:
      case image::OpDecrement:
      case image::OpBooleanNot:
      case image::OpNegate:
      case image::OpIntegerNot:
      case image::OpSetPointer:
      case image::OpSetPointerToCopy:
        if (in.operands[0].kind == image::OperandKind::kVariable)
          DisturbWrite(in.operands[0].variable, in.opcode, layout);
        break;
      case image::OpPop:
        if (layout != kEmptyLayout) DisturbSlot(analysis_.Layouts()[layout].depth - 1, layout);
        break;
      default:
        break;
    }
  }

  void DisturbWrite(std::uint32_t number, image::Opcode opcode, std::int32_t layout) {
    const std::optional<StaticVar> var = Variable(number, layout);
    if (!var) return;
    if (var->type->baseType != image::tcPointer) {
      DisturbLocation(var->base, var->at, layout);
      return;
    }
    if (opcode == image::OpSetPointer) {
      pointsAt_.erase(static_cast<std::uint32_t>(var->Local()));
      // A pointer the places read their variable through gets another target.
      for (auto it = places_.begin(); it != places_.end();) {
        const bool reads = it->second.place.base == RPlace::Base::kPointer && it->second.place.at == var->at &&
                           it->first != static_cast<std::uint64_t>(var->Local());
        it = reads ? Flush(it, layout) : std::next(it);
      }
      return;
    }
    // A store through a pointer may change any variable it reaches; its own place stays, the
    // store goes there.
    const auto own = static_cast<std::uint64_t>(var->Local());
    for (auto it = places_.begin(); it != places_.end();) it = it->first != own ? Flush(it, layout) : std::next(it);
    copies_.clear();
  }

  void DisturbLocation(RLoc::Base base, std::intptr_t at, std::int32_t layout) {
    const bool frame = base == RLoc::Base::kFrame;
    for (auto it = places_.begin(); it != places_.end();) {
      const RPlace& place = it->second.place;
      const bool variable = place.base == (frame ? RPlace::Base::kFrame : RPlace::Base::kAddress) && place.at == at;
      const bool index = place.index == (frame ? RPlace::Index::kFrame : RPlace::Index::kAddress) && place.indexAt == at;
      it = variable || index ? Flush(it, layout) : std::next(it);
    }
    const Mode mode = frame ? Mode::F : Mode::G;
    const LayoutPool& layouts = analysis_.Layouts();
    std::erase_if(copies_, [&](const auto& copy) {
      const bool ofIt = copy.second.mode == mode && copy.second.value == at;
      const bool isIt = frame && layouts[layouts.At(layout, copy.first)].offset == at;
      return ofIt || isIt;
    });
  }

  // The slot at depth index `local` is popped.
  void DisturbSlot(std::uint32_t local, std::int32_t layout) {
    for (auto it = places_.begin(); it != places_.end();)
      it = it->second.indexSlot == local ? Flush(it, layout) : std::next(it);
    const std::intptr_t at = analysis_.Layouts()[analysis_.Layouts().At(layout, local)].offset;
    copies_.erase(local);
    std::erase_if(copies_, [&](const auto& copy) { return copy.second.mode == Mode::F && copy.second.value == at; });
  }

  // Makes the pointer of a place (a borrowed one) and forgets the place.
  std::map<std::uint32_t, PlaceSym>::iterator Flush(std::map<std::uint32_t, PlaceSym>::iterator it,
                                                    std::int32_t layout) {
    const LayoutPool& layouts = analysis_.Layouts();
    const RPlace& place = it->second.place;
    RInstr point;
    point.a = layouts[layouts.At(layout, it->first)].offset;
    if (place.base != RPlace::Base::kPointer && place.index == RPlace::Index::kNone && place.offset == 0) {
      // A whole variable: a plain pointer to it.
      point.op = RegOp::kPointToVar;
      point.b = place.at;
      point.c = place.base == RPlace::Base::kFrame ? place.relative : static_cast<std::intptr_t>(values::kNotOnStack);
      point.sub = place.base == RPlace::Base::kFrame ? 0 : 1;
      point.p = place.type;
    } else {
      point.op = RegOp::kPointToPlace;
      point.b = AddPlace(place);
      point.d = static_cast<std::int32_t>(it->first) + 1;
    }
    Place(point);
    std::erase(keepsNothing_, it->first);
    if (KeepsNothing(place)) keepsNothing_.push_back(it->first);
    std::erase(unset_, it->first);
    // Outside the group when the group started with the slot already there.
    wroteOutside_ = wroteOutside_ || it->first < groupDepth_;
    return places_.erase(it);
  }

  // Whether the pointer to a place holds no reference: nothing but an element of a dynamic
  // array, or a place reached through another pointer, is kept alive by one.
  static bool KeepsNothing(const RPlace& place) {
    return place.base != RPlace::Base::kPointer && !(place.dynamicArray && place.index != RPlace::Index::kNone);
  }

  // Checks the places not yet checked, as the byte code checked them when it made them.
  void CheckPlaces(std::int32_t layout) {
    (void)layout;
    for (auto& [slot, sym] : places_) {
      if (sym.checked) continue;
      RInstr check;
      check.op = RegOp::kCheckPlace;
      check.b = AddPlace(sym.place);
      Place(check);
      sym.checked = true;
    }
  }

  // Starts a group at position; the group before ends there, reached from the instruction
  // before by going on.
  void OpenGroup(std::uint32_t position, std::int32_t layout) {
    // A pointer slot pushed but not yet set holds nothing to own: it stays borrowed.
    std::vector<std::uint32_t> unset;
    if (!groupClosed_) unset = OwnBorrowed(layout);
    SyncPoint sync;
    sync.position = position;
    sync.depth = analysis_.Layouts().Depth(layout);
    sync.end = analysis_.Layouts().EndOffset(layout);
    sync.layout = layout;
    out_->syncs.push_back(sync);
    group_ = static_cast<std::int32_t>(out_->groups.size());
    out_->groups.push_back({static_cast<std::int32_t>(out_->syncs.size() - 1), static_cast<std::int32_t>(out_->code.size())});
    out_->groupAt[position] = group_;
    groupDepth_ = sync.depth;
    groupEnd_ = sync.end;
    unread_.clear();
    pointsAt_.clear();
    groupStart_ = position;
    groupClosed_ = false;
    wroteOutside_ = false;
    borrowed_ = unset;
    unset_ = std::move(unset);
  }

  // Every borrowed pointer still on the stack (whose frame is `layout`) is made, if it is still
  // only a place, and takes its reference. Answers the pointer slots that were never set.
  std::vector<std::uint32_t> OwnBorrowed(std::int32_t layout) {
    const LayoutPool& layouts = analysis_.Layouts();
    for (auto it = places_.begin(); it != places_.end();)
      it = it->first < layouts.Depth(layout) ? Flush(it, layout) : places_.erase(it);
    copies_.clear();
    std::vector<std::uint32_t> unset;
    for (std::uint32_t local : borrowed_) {
      if (local >= layouts.Depth(layout)) continue;
      if (std::find(unset_.begin(), unset_.end(), local) != unset_.end()) {
        unset.push_back(local);
        continue;
      }
      if (std::find(keepsNothing_.begin(), keepsNothing_.end(), local) != keepsNothing_.end()) continue;
      RInstr own;
      own.op = RegOp::kOwn;
      own.a = layouts[layouts.At(layout, local)].offset;
      Place(own);
    }
    borrowed_.clear();
    unset_.clear();
    keepsNothing_.clear();
    return unset;
  }

  void Place(RInstr in) {
    in.group = group_;
    in.sync = out_->groups[static_cast<std::size_t>(group_)].sync;
    out_->code.push_back(in);
    TrackWrites(out_->code.size() - 1);
  }

  void Append(const Plan& plan, std::uint32_t position) {
    if (out_->groupAt[position] == RegisterCode::kNotAnalyzed) out_->groupAt[position] = RegisterCode::kInsideGroup;
    if (plan.ops.size() == 1 && plan.jumps.size() == 1 && FuseCompareAndJump(plan.ops.front(), plan.jumps.front().second))
      return;
    const std::size_t first = out_->code.size();
    for (const RInstr& in : plan.ops) Place(in);
    for (const auto& [op, target] : plan.jumps) jumps_.push_back({first + op, target});
    if (plan.popped >= 0) Popped(plan.popped);
  }

  // --- Writes nothing reads ---------------------------------------------------------------
  // Within a group, a slot pushed in the group need not hold anything nobody reads: a deopt
  // goes back to where the slot was not there yet. A write to it that is written over, or
  // popped, before any read goes (when it does nothing else).

  void TrackWrites(std::size_t index) {
    const RInstr& in = out_->code[index];
    const SlotUse use = UseOf(in, out_->places, SlotBytesAt(in.a));
    if (use.readsAll) {
      unread_.clear();
      return;
    }
    for (int i = 0; i < use.readCount; ++i) unread_.erase(use.reads[i]);
    if (!use.writes || use.written < groupEnd_ || use.written >= scratch_) return;
    const auto known = unread_.find(use.written);
    if (known != unread_.end() && use.bytes >= known->second.second) out_->code[known->second.first].op = RegOp::kCount;
    if (use.removable) {
      unread_[use.written] = {index, use.bytes};
    } else {
      unread_.erase(use.written);
    }
  }

  // The slot at offset is popped: a write to it that nobody read goes.
  void Popped(std::intptr_t at) {
    const auto known = unread_.find(at);
    if (known == unread_.end()) return;
    out_->code[known->second.first].op = RegOp::kCount;
    unread_.erase(known);
  }

  // The bytes a whole write to the slot at offset must cover: its value's size.
  std::size_t SlotBytesAt(std::intptr_t at) const {
    const auto size = sizes_.find(at);
    return size == sizes_.end() ? SIZE_MAX : size->second;
  }

  static bool Dead(const RInstr& in) { return in.op == RegOp::kCount; }

  static bool IsCompare(RegOp op) {
    return (op >= RegOp::kCmpSFF && op <= RegOp::kCmpUKG) || (op >= RegOp::kCmpBFF && op <= RegOp::kCmpBKG);
  }

  // The last instruction still in the code, or null.
  RInstr* LastLive() {
    for (auto it = out_->code.rbegin(); it != out_->code.rend(); ++it)
      if (!Dead(*it)) return &*it;
    return nullptr;
  }

  // A comparison into a truth slot that a conditional jump, or the flag and its jump, takes at
  // once becomes one instruction (which still stores the truth and the flag).
  bool FuseCompareAndJump(const RInstr& jump, std::int64_t target) {
    RInstr* last = LastLive();
    if (last == nullptr || last->group != group_) return false;
    RInstr* compare = last;
    std::uint8_t negate = 0;
    bool setsFlag = false;
    if (jump.op == RegOp::kJumpIfZero8 || jump.op == RegOp::kJumpIfNotZero8) {
      if (jump.a != compare->a) return false;
      negate = jump.op == RegOp::kJumpIfZero8 ? 1 : 0;
    } else if (jump.op == RegOp::kJumpIfFlag && last->op == RegOp::kSetFlag8) {
      RInstr* setFlag = last;
      setFlag->op = RegOp::kCount;
      compare = LastLive();
      if (compare == nullptr || compare->group != group_ || !IsCompare(compare->op) || compare->a != setFlag->a) {
        setFlag->op = RegOp::kSetFlag8;
        return false;
      }
      negate = setFlag->sub;
      setsFlag = true;
    } else {
      return false;
    }
    if (!IsCompare(compare->op)) return false;
    const bool bytes = compare->op >= RegOp::kCmpBFF;
    const RegOp family = bytes ? RegOp::kCmpBFF : compare->op >= RegOp::kCmpUFF ? RegOp::kCmpUFF : RegOp::kCmpSFF;
    const RegOp jumpFamily = bytes ? RegOp::kCmpJumpBFF : family == RegOp::kCmpUFF ? RegOp::kCmpJumpUFF : RegOp::kCmpJumpSFF;
    compare->op = Offset(jumpFamily, static_cast<int>(compare->op) - static_cast<int>(family));
    compare->size = static_cast<std::uint8_t>(negate | (setsFlag ? 2 : 0));
    jumps_.push_back({static_cast<std::size_t>(compare - out_->code.data()), target});
    return true;
  }

  // Takes the dead instructions out, keeping every index that points into the code right.
  void Compact() {
    std::vector<std::int32_t> index(out_->code.size() + 1);
    std::vector<RInstr> live;
    live.reserve(out_->code.size());
    for (std::size_t i = 0; i < out_->code.size(); ++i) {
      index[i] = static_cast<std::int32_t>(live.size());
      if (!Dead(out_->code[i])) live.push_back(out_->code[i]);
    }
    index[out_->code.size()] = static_cast<std::int32_t>(live.size());
    for (RInstr& in : live)
      if (in.target >= 0 && IsJump(in.op)) in.target = index[static_cast<std::size_t>(in.target)];
    for (RGroup& group : out_->groups) group.first = index[static_cast<std::size_t>(group.first)];
    out_->code = std::move(live);
  }

  static bool IsJump(RegOp op) {
    switch (op) {
      case RegOp::kGoto: case RegOp::kJumpIfFlag: case RegOp::kJumpIfNotFlag: case RegOp::kJumpIfZero8:
      case RegOp::kJumpIfNotZero8: case RegOp::kJumpIfZero32: case RegOp::kJumpIfNotZero32: case RegOp::kJumpIfTrue:
      case RegOp::kJumpIfFalse:
        return true;
      default:
        return (op >= RegOp::kCmpJumpSFF && op <= RegOp::kCmpJumpUKG) || (op >= RegOp::kCmpJumpBFF && op <= RegOp::kCmpJumpBKG);
    }
  }

  // A path that runs on past the last instruction the analysis decoded (into bytes that are no
  // instruction, or off the end of the code) leaves the register form there: the byte code
  // reports what it finds.
  void EmitEndOfCode() {
    const auto& instructions = analysis_.Instructions();
    if (instructions.empty() || !analysis_.Shapes().back().reached) return;
    if (afterLayout_ == FrameAnalysis::kNoFallThrough) return;
    OpenGroup(instructions.back().end, afterLayout_);
    RInstr deopt;
    deopt.op = RegOp::kDeopt;
    Place(deopt);
    groupClosed_ = true;
  }

  // --- Instructions --------------------------------------------------------------------------

  // What the instruction becomes in the current group.
  Plan Select(const CodeInstruction& in, std::int32_t layout) {
    Plan plan;
    const bool translated = HandlingOf(in.opcode).registerForm == RegisterHandling::kTranslated &&
                            SelectFast(in, layout, plan);
    (translated ? out_->translatedOpcodes : out_->referenceOpcodes) |= OpcodeBit(in.opcode);
    if (!translated) {
      plan = Plan{};
      RInstr& ref = plan.Add(RegOp::kRef);
      // Back in the register form after the instruction has gone on or jumped, as it should.
      ref.a = in.end;
      ref.b = in.jumpTarget;
      plan.ref = plan.ownGroup = plan.endsGroup = true;
    }
    return plan;
  }

  bool SelectFast(const CodeInstruction& in, std::int32_t layout, Plan& plan) {
    switch (in.opcode) {
      case image::OpPushType: return SelectPushType(in, layout, plan);
      case image::OpPop: return SelectPop(layout, plan);
      case image::OpPushVar: return SelectPushVar(in, layout, plan);
      case image::OpSetPointer: return SelectSetPointer(in, layout, plan);
      case image::OpAssign: return SelectAssign(in, layout, plan);
      case image::OpCalculate: return SelectCalculate(in, layout, plan);
      case image::OpCompare: return SelectCompare(in, layout, plan);
      case image::OpIncrement:
      case image::OpDecrement: return SelectStep(in, layout, plan);
      case image::OpGoto:
        if (!IsTarget(in.jumpTarget)) return false;
        plan.Jump(RegOp::kGoto, in.jumpTarget);
        plan.endsGroup = true;
        return true;
      case image::OpJumpIfTrue:
      case image::OpJumpIfFalse: return SelectConditionalJump(in, layout, plan);
      case image::OpJumpIfFlag:
        if (!IsTarget(in.jumpTarget)) return false;
        plan.Jump(RegOp::kJumpIfFlag, in.jumpTarget);
        plan.endsGroup = true;
        return true;
      case image::OpSetFlag: return SelectSetFlag(in, layout, plan);
      case image::OpCall: {
        if (in.number >= exec_.Procs().size()) return false;
        TPSProcRec& callee = *exec_.Procs()[in.number];
        if (callee.IsExternal() && SelectInline(static_cast<const TPSExternalProcRec&>(callee), layout, plan)) return true;
        RInstr& call = plan.Add(callee.IsExternal() ? RegOp::kCallHost : RegOp::kCallScript);
        call.p = &callee;
        call.a = analysis_.Layouts().EndOffset(layout);
        call.b = analysis_.Layouts().Depth(layout);
        call.c = in.end;
        plan.ref = plan.ownGroup = plan.endsGroup = true;
        return true;
      }
      case image::OpReturn: {
        RInstr& ret = plan.Add(RegOp::kReturn);
        ret.a = static_cast<std::intptr_t>(out_->entries.size());
        const LayoutPool& layouts = analysis_.Layouts();
        for (std::int32_t node = layout; node != kEmptyLayout; node = layouts.Below(node))
          if (layouts[node].type->needsFinalization)
            out_->entries.push_back({layouts[node].depth - 1, layouts[node].type, layouts[node].offset});
        ret.b = static_cast<std::intptr_t>(out_->entries.size()) - ret.a;
        plan.ownGroup = plan.endsGroup = true;
        return true;
      }
      case image::OpNop:
        return true;
      default:
        return false;
    }
  }

  bool IsTarget(std::int64_t position) const {
    return position >= 0 && position < static_cast<std::int64_t>(proc_.code.size()) &&
           analysis_.IndexAt(static_cast<std::uint32_t>(position)) >= 0;
  }

  // The depth index a push at `layout` gives the new slot.
  std::uint32_t PushedIndex(std::int32_t layout) const { return analysis_.Layouts().Depth(layout); }

  bool SelectPushType(const CodeInstruction& in, std::int32_t layout, Plan& plan) {
    const values::TPSTypeRec* type = exec_.TypeByNumber(in.number);
    if (type == nullptr) return false;
    const auto bytes = static_cast<std::int32_t>(TPSStack::SlotBytes(type->memSize));
    RInstr& clear = plan.Add(type->baseType == image::tcPointer ? RegOp::kClearPointer
                             : bytes == 8             ? RegOp::kClear8
                                                      : RegOp::kClearN);
    clear.a = analysis_.Layouts().EndOffset(layout);
    clear.b = bytes;
    clear.p = type;
    sizes_[clear.a] = type->memSize;
    const std::uint32_t index = PushedIndex(layout);
    plan.writesOutside = index < groupDepth_;
    // A fresh pointer slot is null: it holds no reference, so it starts out borrowed.
    if (type->baseType == image::tcPointer && !plan.writesOutside) plan.borrows = index;
    return true;
  }

  bool SelectPop(std::int32_t layout, Plan& plan) {
    if (layout == kEmptyLayout) return false;
    const LayoutPool& layouts = analysis_.Layouts();
    const LayoutNode& top = layouts[layout];
    const std::uint32_t index = top.depth - 1;
    plan.popped = top.offset;
    if (std::find(borrowed_.begin(), borrowed_.end(), index) != borrowed_.end()) {
      plan.unborrows = index;  // holds no reference: nothing to release
      if (const auto known = places_.find(index); known != places_.end()) {
        // Never made: only the check the byte code would have made is left.
        if (!known->second.checked) {
          plan.Add(RegOp::kCheckPlace).b = AddPlace(known->second.place);
          plan.mayDeopt = true;
        }
        plan.placeSlot = index;
      }
      return true;
    }
    if (pointsAt_.erase(index) != 0) return true;  // points at a variable: keeps nothing alive
    if (top.type->needsFinalization) {
      RInstr& release = plan.Add(RegOp::kRelease);
      release.a = top.offset;
      release.p = top.type;
      plan.writesOutside = index < groupDepth_;
    }
    return true;
  }

  bool SelectPushVar(const CodeInstruction& in, std::int32_t layout, Plan& plan) {
    if (exec_.FirstPointerType() == nullptr) return false;
    const std::int32_t slot = analysis_.Layouts().EndOffset(layout);
    plan.writesOutside = PushedIndex(layout) < groupDepth_;
    if (const std::optional<StaticVar> var = PlainVariable(in.operands[0], layout)) {
      AddPointToVar(plan, slot, *var);
      plan.pointsAtSlot = PushedIndex(layout);
      plan.pointsAt = var;
      return true;
    }
    if (const std::optional<StaticVar> pointer = PointerSlot(in.operands[0], layout)) {
      // The new slot takes over the pointer's target and keeps it alive itself.
      RInstr& copy = plan.Add(RegOp::kPushPointerCopy);
      copy.a = slot;
      copy.b = pointer->at;
      plan.writesOutside = true;
      return true;
    }
    return false;
  }

  void AddPointToVar(Plan& plan, std::intptr_t slot, const StaticVar& var) {
    RInstr& point = plan.Add(RegOp::kPointToVar);
    point.a = slot;
    point.b = var.at;
    point.c = var.IsFrame() ? var.relative : static_cast<std::intptr_t>(values::kNotOnStack);
    point.sub = var.IsFrame() ? 0 : 1;
    point.p = var.type;
  }

  // OpSetPointer into a borrowed pointer slot: a variable, another pointer's target, or an
  // element or field of either. The target becomes a place that is read and written directly;
  // the pointer is made only if something needs it (Flush). A pointer may only take a target on
  // the stack from below it (so that it dies first); so may a borrowed pointer take one from
  // another pointer only from below, which keeps that target alive for it.
  bool SelectSetPointer(const CodeInstruction& in, std::int32_t layout, Plan& plan) {
    const std::optional<StaticVar> dest = PointerSlot(in.operands[0], layout);
    if (!dest || !Borrowed(*dest)) return false;
    const CodeOperand& source = in.operands[1];
    if (source.kind == image::OperandKind::kConstant) return false;
    const std::optional<StaticVar> base = Variable(source.variable, layout);
    if (!base || base->type->baseType == image::tcReturnAddress) return false;
    const bool pointerBase = base->type->baseType == image::tcPointer;
    if (pointerBase && (!base->IsFrame() || (base->relative >= dest->relative && base->relative != dest->relative)))
      return false;
    // A variable on the stack above the pointer, or the pointer itself, cannot be its target
    // (an element of a dynamic array lives in the array's block instead).
    const bool selects = source.kind != image::OperandKind::kVariable;
    const bool targetOnStack = !pointerBase && base->IsFrame() && !(selects && base->type->baseType == image::tcArray);
    if (targetOnStack && base->relative >= dest->relative) return false;
    plan.placeSlot = dest->Local();
    // A chain of these may end in an element whose index the byte code checks: after a change
    // outside the group, the chain starts a group of its own.
    plan.mayDeopt = true;
    std::optional<PlaceSym> place = pointerBase ? PlaceOfPointer(*base) : PlaceOfVariable(*base);
    if (selects && place && !Narrow(*place, source, layout)) place.reset();
    if (place) {
      plan.place = place;
      return true;
    }
    // The pointer itself, made now (from a pointer that is still only a place, it cannot be).
    if (pointerBase && PlaceAt(*base) != nullptr) return false;
    plan.setsSlot = dest->Local();
    plan.writesOutside = Outside(*dest);
    if (!selects) {
      if (pointerBase) {
        RInstr& copy = plan.Add(RegOp::kPointToCopy);
        copy.a = dest->at;
        copy.b = base->at;
        copy.d = dest->relative;
        plan.mayDeopt = true;
      } else {
        AddPointToVar(plan, dest->at, *base);
      }
      return true;
    }
    RInstr* select = nullptr;
    if (source.kind == image::OperandKind::kIndexed) {
      select = &plan.Add(RegOp::kPointToElemK);
      select->c = source.index;
    } else {
      const std::optional<StaticVar> index = Variable(source.index, layout);
      if (!index || !index->IsFrame() || !Is32(index->type)) return false;
      select = &plan.Add(RegOp::kPointToElemF);
      select->c = index->at;
    }
    select->a = dest->at;
    select->b = base->at;
    select->sub = pointerBase ? 0 : (base->IsFrame() ? 1 : 2);
    select->p = base->type;
    select->target = base->relative;
    select->d = dest->relative;
    plan.mayDeopt = true;
    return true;
  }

  static PlaceSym PlaceOfVariable(const StaticVar& var) {
    PlaceSym sym;
    sym.place.base = var.IsFrame() ? RPlace::Base::kFrame : RPlace::Base::kAddress;
    sym.place.at = var.at;
    sym.place.baseType = sym.place.type = var.type;
    sym.place.relative = var.relative;
    return sym;
  }

  // The target of a pointer slot: the place it was borrowed from, or, for a parameter, the
  // target its type was seen with when the procedure was first entered (checked where used).
  std::optional<PlaceSym> PlaceOfPointer(const StaticVar& pointer) const {
    if (const PlaceSym* known = PlaceAt(pointer)) return *known;
    if (pointer.relative >= 0) return std::nullopt;
    const values::TPSTypeRec* target = paramTargets_[static_cast<std::size_t>(-pointer.relative - 1)];
    if (target == nullptr) return std::nullopt;
    PlaceSym sym;
    sym.place.base = RPlace::Base::kPointer;
    sym.place.at = pointer.at;
    sym.place.baseType = sym.place.type = target;
    return sym;
  }

  // The place narrowed to the element or field the operand selects; false when the register
  // form does not follow that (the pointer is made instead).
  bool Narrow(PlaceSym& sym, const CodeOperand& source, std::int32_t layout) const {
    RPlace& place = sym.place;
    const values::TPSTypeRec& type = *place.type;
    if (source.kind == image::OperandKind::kIndexed) {
      const std::uint32_t k = source.index;
      if (type.baseType == image::tcRecord) {
        const auto& record = static_cast<const values::TPSTypeRec_Record&>(type);
        if (k >= record.fields.size()) return false;
        place.offset += static_cast<std::int32_t>(record.fieldMemOffsets[k]);
        place.type = record.fields[k];
        return true;
      }
      if (type.baseType == image::tcStaticArray) {
        const auto& array = static_cast<const values::TPSTypeRec_StaticArray&>(type);
        if (k >= array.count || std::uint64_t{k} * array.element->memSize > FrameAnalysis::kMaxFrameBytes) return false;
        place.offset += static_cast<std::int32_t>(k * array.element->memSize);
        place.type = array.element;
        return true;
      }
      if (type.baseType != image::tcArray) return false;
    } else if (type.baseType != image::tcArray && type.baseType != image::tcStaticArray) {
      return false;
    }
    // One index per place, on the variable itself (a dynamic array) or inline (a static array).
    const bool dynamic = type.baseType == image::tcArray;
    if (place.index != RPlace::Index::kNone || (dynamic && place.offset != 0)) return false;
    const auto& array = static_cast<const values::TPSTypeRec_Array&>(type);
    if (source.kind == image::OperandKind::kIndexed) {
      place.index = RPlace::Index::kImmediate;
      place.indexAt = source.index;
    } else {
      const std::optional<StaticVar> index = Variable(source.index, layout);
      if (!index || !Is32(index->type)) return false;
      const std::int64_t local = index->Local();
      const auto copy = local >= 0 ? copies_.find(static_cast<std::uint32_t>(local)) : copies_.end();
      if (copy != copies_.end()) {
        place.index = copy->second.mode == Mode::F   ? RPlace::Index::kFrame
                      : copy->second.mode == Mode::G ? RPlace::Index::kAddress
                                                     : RPlace::Index::kImmediate;
        place.indexAt = copy->second.value;
      } else {
        place.index = index->IsFrame() ? RPlace::Index::kFrame : RPlace::Index::kAddress;
        place.indexAt = index->at;
        sym.indexSlot = local;
      }
    }
    sym.checked = false;  // a new index, which the byte code would check here
    place.dynamicArray = dynamic;
    place.count = dynamic ? 0 : static_cast<const values::TPSTypeRec_StaticArray&>(type).count;
    place.elementSize = static_cast<std::uint32_t>(array.element->memSize);
    place.element = array.element;
    place.type = array.element;
    return true;
  }

  // The place an element or field operand (kinds 2 and 3) names, when the register form follows
  // it: an element of a variable, or of a pointer's target.
  std::optional<PlaceSym> PlaceOfOperand(const CodeOperand& operand, std::int32_t layout) const {
    if (operand.kind != image::OperandKind::kIndexed && operand.kind != image::OperandKind::kIndexedByVar)
      return std::nullopt;
    const std::optional<StaticVar> base = Variable(operand.variable, layout);
    if (!base || base->type->baseType == image::tcReturnAddress) return std::nullopt;
    std::optional<PlaceSym> place;
    if (base->type->baseType != image::tcPointer) {
      place = PlaceOfVariable(*base);
    } else if (base->IsFrame()) {
      place = PlaceOfPointer(*base);
    }
    if (place && !Narrow(*place, operand, layout)) place.reset();
    return place;
  }

  const PlaceSym* PlaceAt(const StaticVar& pointer) const {
    if (pointer.Local() < 0) return nullptr;
    const auto known = places_.find(static_cast<std::uint32_t>(pointer.Local()));
    return known == places_.end() ? nullptr : &known->second;
  }

  std::intptr_t AddPlace(const RPlace& place) {
    out_->places.push_back(place);
    return static_cast<std::intptr_t>(out_->places.size() - 1);
  }

  // --- Operands of the 32-bit and byte instructions ----------------------------------------

  // Where a value is read from: a frame slot, an address or an immediate. Values behind a
  // pointer or at a place are loaded into `into` (a frame slot) first.
  std::optional<Source> Read(const CodeOperand& operand, std::int32_t layout, Plan& plan, std::intptr_t into,
                             bool wide) {
    const std::optional<Source> direct = wide ? Source32(operand, layout) : SourceByte(operand, layout);
    if (direct) return direct;
    if (const std::optional<PlaceSym> element = PlaceOfOperand(operand, layout)) {
      if (!(wide ? Is32(element->place.type) : IsByte(element->place.type))) return std::nullopt;
      RInstr& load = plan.Add(wide ? RegOp::kLoadPlace32 : RegOp::kLoadPlace8);
      load.a = into;
      load.b = AddPlace(element->place);
      plan.mayDeopt = true;
      return Source{Mode::F, into, element->place.type->baseType};
    }
    const std::optional<StaticVar> pointer = PointerSlot(operand, layout);
    if (!pointer) return std::nullopt;
    if (const PlaceSym* sym = PlaceAt(*pointer)) {
      if (!(wide ? Is32(sym->place.type) : IsByte(sym->place.type))) return std::nullopt;
      RInstr& load = plan.Add(wide ? RegOp::kLoadPlace32 : RegOp::kLoadPlace8);
      load.a = into;
      load.b = AddPlace(sym->place);
      plan.mayDeopt = true;
      plan.checkedPlaces.push_back(static_cast<std::uint32_t>(pointer->Local()));
      return Source{Mode::F, into, sym->place.type->baseType};
    }
    const image::TPSTypeCode expected = ExpectedTarget(*pointer, wide);
    RInstr& load = plan.Add(wide ? RegOp::kLoadVia32 : RegOp::kLoadVia8);
    load.a = into;
    load.b = pointer->at;
    load.sub = expected;
    plan.mayDeopt = true;
    return Source{Mode::F, into, expected};
  }

  // The type a pointer slot's target is taken to have: for a parameter, what it was when the
  // procedure was first entered; otherwise the usual Longint or Byte (checked where used).
  image::TPSTypeCode ExpectedTarget(const StaticVar& pointer, bool wide) const {
    if (pointer.relative < 0) {
      const values::TPSTypeRec* target = paramTargets_[static_cast<std::size_t>(-pointer.relative - 1)];
      if (target != nullptr && (wide ? Is32(target) : IsByte(target))) return target->baseType;
    }
    return wide ? image::tcS32 : image::tcU8;
  }

  // Where a result goes.
  struct Dest {
    enum class Kind : std::uint8_t { kFrame, kAddress, kPlace, kVia };
    Kind kind = Kind::kFrame;
    std::intptr_t at = 0;      // frame offset, address, or the pointer slot's offset
    std::intptr_t place = -1;  // kPlace
    image::TPSTypeCode code = image::tcS32;
    bool outside = true;
    std::uint32_t slot = kNoPointerSlot;  // kPlace: the pointer slot, if the place is one's target
  };
  static constexpr std::uint32_t kNoPointerSlot = UINT32_MAX;

  std::optional<Dest> Destination(const CodeOperand& operand, std::int32_t layout, bool wide) {
    const auto accepts = [wide](const values::TPSTypeRec* type) { return wide ? Is32(type) : IsByte(type); };
    if (const std::optional<StaticVar> var = PlainVariable(operand, layout)) {
      if (!accepts(var->type)) return std::nullopt;
      return Dest{var->IsFrame() ? Dest::Kind::kFrame : Dest::Kind::kAddress, var->at, -1, var->type->baseType,
                  Outside(*var)};
    }
    if (const std::optional<PlaceSym> element = PlaceOfOperand(operand, layout)) {
      if (!accepts(element->place.type)) return std::nullopt;
      return Dest{Dest::Kind::kPlace, 0, AddPlace(element->place), element->place.type->baseType, true,
                  kNoPointerSlot};
    }
    const std::optional<StaticVar> pointer = PointerSlot(operand, layout);
    if (!pointer) return std::nullopt;
    if (const PlaceSym* sym = PlaceAt(*pointer)) {
      if (!accepts(sym->place.type)) return std::nullopt;
      Dest dest{Dest::Kind::kPlace, pointer->at, AddPlace(sym->place), sym->place.type->baseType, true};
      dest.slot = static_cast<std::uint32_t>(pointer->Local());
      return dest;
    }
    return Dest{Dest::Kind::kVia, pointer->at, -1, ExpectedTarget(*pointer, wide), true};
  }

  // Loads the destination's present value into `into` (nothing for a frame slot, which is
  // worked on in place).
  void LoadDestination(const Dest& dest, Plan& plan, std::intptr_t into) {
    if (dest.kind == Dest::Kind::kFrame) return;
    const RegOp op = dest.kind == Dest::Kind::kAddress ? RegOp::kMov32FG
                     : dest.kind == Dest::Kind::kPlace ? RegOp::kLoadPlace32
                                                       : RegOp::kLoadVia32;
    RInstr& load = plan.Add(op);
    load.a = into;
    load.b = dest.kind == Dest::Kind::kPlace ? dest.place : dest.at;
    load.sub = dest.kind == Dest::Kind::kVia ? dest.code : 0;
    plan.mayDeopt = plan.mayDeopt || dest.kind != Dest::Kind::kAddress;
    if (dest.kind == Dest::Kind::kPlace) plan.checkedPlaces.push_back(dest.slot);
  }

  // Stores a frame slot, an address's value or an immediate into the destination.
  void Store(const Dest& dest, Source source, Plan& plan, bool wide) {
    if (source.mode == Mode::G && (dest.kind == Dest::Kind::kPlace || dest.kind == Dest::Kind::kVia)) {
      RInstr& load = plan.Add(wide ? RegOp::kMov32FG : RegOp::kMov8FG);
      load.a = scratch_;
      load.b = source.value;
      source = Source{Mode::F, scratch_, source.code};
    }
    const bool frame = source.mode == Mode::F;
    switch (dest.kind) {
      case Dest::Kind::kFrame:
      case Dest::Kind::kAddress: {
        const bool toFrame = dest.kind == Dest::Kind::kFrame;
        const RegOp first = wide ? (toFrame ? RegOp::kMov32FF : RegOp::kMov32GF) : (toFrame ? RegOp::kMov8FF : RegOp::kMov8GF);
        RInstr& move = plan.Add(Offset(first, static_cast<int>(source.mode)));
        move.a = dest.at;
        move.b = source.value;
        break;
      }
      case Dest::Kind::kPlace: {
        RInstr& store = plan.Add(wide ? (frame ? RegOp::kStorePlace32F : RegOp::kStorePlace32K)
                                      : (frame ? RegOp::kStorePlace8F : RegOp::kStorePlace8K));
        store.a = dest.place;
        store.b = source.value;
        plan.mayDeopt = true;
        plan.checkedPlaces.push_back(dest.slot);
        break;
      }
      case Dest::Kind::kVia: {
        RInstr& store = plan.Add(wide ? (frame ? RegOp::kStoreVia32F : RegOp::kStoreVia32K)
                                      : (frame ? RegOp::kStoreVia8F : RegOp::kStoreVia8K));
        store.a = dest.at;
        store.b = source.value;
        plan.mayDeopt = true;
        break;
      }
    }
    plan.writesOutside = plan.writesOutside || dest.outside;
  }

  // --- Value instructions -------------------------------------------------------------------

  bool SelectAssign(const CodeInstruction& in, std::int32_t layout, Plan& plan) {
    for (const bool wide : {true, false}) {
      const std::optional<Dest> dest = Destination(in.operands[0], layout, wide);
      if (!dest) continue;
      // A value behind a pointer goes straight into a frame destination.
      const std::intptr_t into = dest->kind == Dest::Kind::kFrame ? dest->at : scratch_;
      const std::optional<Source> source = Read(in.operands[1], layout, plan, into, wide);
      if (!source) {
        plan = Plan{};
        continue;
      }
      if (!(dest->kind == Dest::Kind::kFrame && source->mode == Mode::F && source->value == dest->at))
        Store(*dest, *source, plan, wide);
      plan.writesOutside = plan.writesOutside || dest->outside;
      if (wide) NoteCopy(in, layout, plan);
      return true;
    }
    if (SelectStringAssign(in, layout, plan)) return true;
    return SelectGeneric(RegOp::kAssign, in, layout, plan);
  }

  // A 32-bit temporary assigned a variable or a constant holds a copy of it, which an element
  // index can use in its place.
  void NoteCopy(const CodeInstruction& in, std::int32_t layout, Plan& plan) const {
    const std::optional<StaticVar> dest = PlainVariable(in.operands[0], layout);
    if (!dest || dest->Local() < 0) return;
    plan.copySlot = dest->Local();
    const std::optional<Source> original = Source32(in.operands[1], layout);
    if (original && !(original->mode == Mode::F && original->value == dest->at)) plan.copy = original;
  }

  bool SelectCalculate(const CodeInstruction& in, std::int32_t layout, Plan& plan) {
    if (in.byte >= image::kCalcOpCount) return false;
    const auto op = static_cast<image::CalcOp>(in.byte);
    if (const std::optional<Dest> dest = Destination(in.operands[0], layout, true)) {
      const std::intptr_t work = dest->kind == Dest::Kind::kFrame ? dest->at : scratch_;
      LoadDestination(*dest, plan, work);
      const std::optional<Source> source = Read(in.operands[1], layout, plan, scratch_ + 8, true);
      const RegOp family = BinaryFamily(op, IsSignedCode(dest->code));
      if (source && family != RegOp::kCount) {
        RInstr& calc = plan.Add(Offset(family, ModeIndex(Mode::F, source->mode)));
        calc.a = calc.b = work;
        calc.c = source->value;
        plan.mayDeopt = plan.mayDeopt || MayFail(op, *source);
        if (dest->kind != Dest::Kind::kFrame) Store(*dest, Source{Mode::F, work, dest->code}, plan, true);
        plan.writesOutside = plan.writesOutside || dest->outside;
        return true;
      }
      plan = Plan{};
    }
    const std::optional<StaticVar> dest = PlainVariable(in.operands[0], layout);
    if (dest && IsByte(dest->type) && dest->IsFrame() &&
        (op == image::CalcOp::And || op == image::CalcOp::Or || op == image::CalcOp::Xor)) {
      if (const std::optional<Source> byte = SourceByte(in.operands[1], layout); byte && byte->mode != Mode::G) {
        RInstr& calc = plan.Add(op == image::CalcOp::And  ? RegOp::kAndB
                                : op == image::CalcOp::Or ? RegOp::kOrB
                                                          : RegOp::kXorB);
        calc.a = dest->at;
        calc.c = byte->value;
        calc.sub = byte->mode == Mode::K ? 1 : 0;
        plan.writesOutside = Outside(*dest);
        return true;
      }
    }
    if (SelectAppendChar(in, layout, plan)) return true;
    if (!SelectGeneric(RegOp::kCalculate, in, layout, plan)) return false;
    plan.ops.back().sub = in.byte;
    return true;
  }

  bool SelectCompare(const CodeInstruction& in, std::int32_t layout, Plan& plan) {
    if (in.byte >= image::kCompareOpCount) return false;
    const std::optional<StaticVar> dest = PlainVariable(in.operands[0], layout);
    const bool ordering = in.byte <= static_cast<std::uint8_t>(image::CompareOp::Equal);
    if (dest && IsByte(dest->type) && dest->type->baseType != image::tcChar && dest->IsFrame() && ordering) {
      const std::optional<Source> left = Read(in.operands[1], layout, plan, scratch_, true);
      const std::optional<Source> right = left ? Read(in.operands[2], layout, plan, scratch_ + 8, true) : std::nullopt;
      const int modes = left && right ? ModeIndex(left->mode, right->mode) : -1;
      if (modes >= 0) {
        const RegOp family = IsSignedCode(left->code) ? RegOp::kCmpSFF : RegOp::kCmpUFF;
        AddCompare(plan, Offset(family, modes), in.byte, *dest, left->value, right->value);
        return true;
      }
      plan = Plan{};
      const std::optional<Source> leftByte = Read(in.operands[1], layout, plan, scratch_, false);
      const std::optional<Source> rightByte =
          leftByte ? Read(in.operands[2], layout, plan, scratch_ + 8, false) : std::nullopt;
      const int byteModes = leftByte && rightByte ? ModeIndex(leftByte->mode, rightByte->mode) : -1;
      // Characters compare as bytes only with characters; U8 with either.
      if (byteModes >= 0 && leftByte->code != image::tcS8 && rightByte->code != image::tcS8 &&
          (leftByte->code == image::tcU8 || rightByte->code == image::tcChar)) {
        AddCompare(plan, Offset(RegOp::kCmpBFF, byteModes), in.byte, *dest, leftByte->value, rightByte->value);
        return true;
      }
      plan = Plan{};
      if (SelectStringCompare(in, layout, *dest, plan)) return true;
    }
    if (!SelectGeneric(RegOp::kCompare, in, layout, plan)) return false;
    plan.ops.back().sub = in.byte;
    return true;
  }

  static bool IsSignedCode(image::TPSTypeCode code) {
    return code == image::tcS8 || code == image::tcS16 || code == image::tcS32;
  }

  void AddCompare(Plan& plan, RegOp op, std::uint8_t compareOp, const StaticVar& dest, std::intptr_t left,
                  std::intptr_t right) {
    RInstr& compare = plan.Add(op);
    compare.sub = kCondMask[compareOp];
    compare.a = dest.at;
    compare.b = left;
    compare.c = right;
    plan.writesOutside = Outside(dest);
  }


  // --- Built-in routines run in place ------------------------------------------------------

  // The variable a pointer slot (a call's argument) points at, if the group made it so.
  std::optional<StaticVar> PointedAt(std::uint32_t local) const {
    if (const auto pushed = pointsAt_.find(local); pushed != pointsAt_.end()) return pushed->second;
    const auto place = places_.find(local);
    if (place == places_.end() || place->second.place.index != RPlace::Index::kNone || place->second.place.offset != 0 ||
        place->second.place.base == RPlace::Base::kPointer)
      return std::nullopt;
    StaticVar var;
    var.base = place->second.place.base == RPlace::Base::kFrame ? RLoc::Base::kFrame : RLoc::Base::kAddress;
    var.at = place->second.place.at;
    var.type = place->second.place.type;
    var.relative = place->second.place.relative;
    return var;
  }

  // A call of LENGTH or STRGET whose arguments the group laid out: the routine's few lines in
  // place of the call. The result pointer, on top, must point at a variable of the result type.
  // The image's declaration must make it the function the library's handler takes (a hand-made
  // image can declare it with other parameters, and then the call fails).
  bool SelectInline(const TPSExternalProcRec& callee, std::int32_t layout, Plan& plan) {
    const LayoutPool& layouts = analysis_.Layouts();
    const std::uint32_t depth = layouts.Depth(layout);
    const std::uint32_t args = callee.inlineAs == InlineRoutine::kLength ? 2 : 3;  // with the result
    if (callee.inlineAs == InlineRoutine::kNone || depth < args) return false;
    if (callee.declaration.size() != args || callee.declaration[0] == image::kCallDeclProcedure) return false;
    const auto slot = [&](std::uint32_t fromTop) { return layouts[layouts.At(layout, depth - 1 - fromTop)]; };
    const std::optional<StaticVar> result = PointedAt(depth - 1);
    if (!result || result->type->baseType == image::tcPointer) return false;
    const bool resultAddress = !result->IsFrame();
    if (callee.inlineAs == InlineRoutine::kLength) {
      const LayoutNode& text = slot(1);
      if (!Is32(result->type) || text.type->baseType != image::tcString) return false;
      RInstr& length = plan.Add(RegOp::kStrLen);
      plan.mayDeopt = true;  // where the call would stop the run
      length.a = result->at;
      length.b = text.offset;
      length.sub = resultAddress ? 1 : 0;
    } else {
      const std::optional<StaticVar> text = PointedAt(depth - 2);
      const LayoutNode& index = slot(2);
      if (result->type->baseType != image::tcChar || !text || text->type->baseType != image::tcString ||
          !Is32(index.type))
        return false;
      RInstr& get = plan.Add(RegOp::kStrGet);
      get.a = result->at;
      get.b = text->at;
      get.c = index.offset;
      get.sub = static_cast<std::uint8_t>((resultAddress ? 1 : 0) | (text->IsFrame() ? 0 : 2));
      plan.mayDeopt = true;
    }
    plan.writesOutside = Outside(*result);
    return true;
  }

  // --- Strings ------------------------------------------------------------------------------

  // A string variable, or a string or character constant (made a string constant once).
  std::optional<Source> SourceString(const CodeOperand& operand, std::int32_t layout,
                                     const values::TPSTypeRec& stringType) {
    if (operand.kind == image::OperandKind::kConstant) {
      const image::TPSTypeCode code = operand.constantType->baseType;
      if (code == image::tcString)
        return Source{Mode::G, reinterpret_cast<std::intptr_t>(ConstantValue(operand)), image::tcString};
      if (code != image::tcChar) return std::nullopt;
      auto constant = std::make_unique<RegisterCode::Constant>(stringType);
      values::SetStringAt(constant->storage.get(),
                          std::string_view(reinterpret_cast<const char*>(operand.constantBytes), 1));
      const auto at = reinterpret_cast<std::intptr_t>(constant->storage.get());
      out_->constants.push_back(std::move(constant));
      return Source{Mode::G, at, image::tcString};
    }
    const std::optional<StaticVar> var = PlainVariable(operand, layout);
    if (!var || var->type->baseType != image::tcString) return std::nullopt;
    return Source{var->IsFrame() ? Mode::F : Mode::G, var->at, image::tcString};
  }

  bool SelectStringAssign(const CodeInstruction& in, std::int32_t layout, Plan& plan) {
    const std::optional<StaticVar> dest = PlainVariable(in.operands[0], layout);
    if (!dest || dest->type->baseType != image::tcString) return false;
    const std::optional<Source> source = SourceString(in.operands[1], layout, *dest->type);
    if (!source) return false;
    RInstr& move = plan.Add(RegOp::kMovStr);
    move.a = dest->at;
    move.b = source->value;
    move.sub = static_cast<std::uint8_t>((dest->IsFrame() ? 0 : 1) | (source->mode == Mode::G ? 2 : 0));
    // The string taken is a reference a deopt would drop: nothing may go back after it.
    plan.writesOutside = true;
    return true;
  }

  bool SelectStringCompare(const CodeInstruction& in, std::int32_t layout, const StaticVar& dest, Plan& plan) {
    const std::optional<StaticVar> left = PlainVariable(in.operands[1], layout);
    if (!left || left->type->baseType != image::tcString) return false;
    const std::optional<Source> right = SourceString(in.operands[2], layout, *left->type);
    if (!right) return false;
    RInstr& compare = plan.Add(RegOp::kCmpStr);
    compare.sub = kCondMask[in.byte];
    compare.a = dest.at;
    compare.b = left->at;
    compare.c = right->value;
    compare.size = static_cast<std::uint8_t>((left->IsFrame() ? 0 : 1) | (right->mode == Mode::G ? 2 : 0));
    plan.writesOutside = Outside(dest);
    return true;
  }

  // s := s + c, a character appended to a string variable or to a pointer's string target. A
  // string that cannot grow is reported as the value operation reports it.
  bool SelectAppendChar(const CodeInstruction& in, std::int32_t layout, Plan& plan) {
    if (static_cast<image::CalcOp>(in.byte) != image::CalcOp::Add) return false;
    const std::optional<Source> character = SourceByte(in.operands[1], layout);
    if (!character || character->code != image::tcChar) return false;
    RInstr append;
    append.op = RegOp::kAppendChar;
    if (const std::optional<StaticVar> dest = PlainVariable(in.operands[0], layout)) {
      if (dest->type->baseType != image::tcString) return false;
      append.sub = dest->IsFrame() ? 0 : 1;
      append.a = dest->at;
    } else if (const std::optional<StaticVar> pointer = PointerSlot(in.operands[0], layout);
               pointer && PlaceAt(*pointer) == nullptr) {
      append.sub = 2;
      append.a = pointer->at;
    } else {
      return false;
    }
    append.b = character->value;
    append.size = static_cast<std::uint8_t>(character->mode);
    append.target = static_cast<std::int32_t>(in.end);
    plan.ops.push_back(append);
    plan.mayDeopt = plan.ownGroup = plan.endsGroup = plan.writesOutside = true;
    return true;
  }

  bool SelectStep(const CodeInstruction& in, std::int32_t layout, Plan& plan) {
    const bool up = in.opcode == image::OpIncrement;
    const std::optional<StaticVar> var = PlainVariable(in.operands[0], layout);
    if (var && Is32(var->type)) {
      const bool frame = var->IsFrame();
      RInstr& step = plan.Add(up ? (frame ? RegOp::kInc32F : RegOp::kInc32G) : (frame ? RegOp::kDec32F : RegOp::kDec32G));
      step.a = var->at;
      plan.writesOutside = Outside(*var);
      return true;
    }
    return SelectGeneric(up ? RegOp::kIncrement : RegOp::kDecrement, in, layout, plan);
  }

  bool SelectConditionalJump(const CodeInstruction& in, std::int32_t layout, Plan& plan) {
    if (!IsTarget(in.jumpTarget)) return false;
    const bool onTrue = in.opcode == image::OpJumpIfTrue;
    plan.endsGroup = true;
    const std::optional<StaticVar> var = PlainVariable(in.operands[0], layout);
    if (var && var->IsFrame() && (IsByte(var->type) || Is32(var->type))) {
      const bool byte = IsByte(var->type);
      plan.Jump(byte ? (onTrue ? RegOp::kJumpIfNotZero8 : RegOp::kJumpIfZero8)
                     : (onTrue ? RegOp::kJumpIfNotZero32 : RegOp::kJumpIfZero32),
                in.jumpTarget);
      plan.ops.back().a = var->at;
      return true;
    }
    const std::intptr_t loc = Loc(in.operands[0], layout);
    if (loc < 0) return false;
    plan.Jump(onTrue ? RegOp::kJumpIfTrue : RegOp::kJumpIfFalse, in.jumpTarget);
    plan.ops.back().a = loc;
    plan.mayDeopt = true;
    return true;
  }

  bool SelectSetFlag(const CodeInstruction& in, std::int32_t layout, Plan& plan) {
    const std::optional<StaticVar> var = PlainVariable(in.operands[0], layout);
    if (var && var->IsFrame() && (IsByte(var->type) || Is32(var->type))) {
      RInstr& set = plan.Add(IsByte(var->type) ? RegOp::kSetFlag8 : RegOp::kSetFlag32);
      set.a = var->at;
      set.sub = in.byte != 0 ? 1 : 0;
      return true;
    }
    const std::intptr_t loc = Loc(in.operands[0], layout);
    if (loc < 0) return false;
    RInstr& set = plan.Add(RegOp::kSetFlag);
    set.a = loc;
    set.sub = in.byte != 0 ? 1 : 0;
    plan.mayDeopt = true;
    return true;
  }

  // The instruction by the value operations, its operands resolved at run time. It starts a
  // group of its own, so that a fault is reported with the frame as it was before it.
  bool SelectGeneric(RegOp op, const CodeInstruction& in, std::int32_t layout, Plan& plan) {
    std::intptr_t locs[3] = {0, 0, 0};
    for (int i = 0; i < in.operandCount; ++i) {
      // A destination must be a variable; the byte code reports a constant there.
      if (i == 0 && in.operands[0].kind == image::OperandKind::kConstant) return false;
      locs[i] = Loc(in.operands[i], layout);
      if (locs[i] < 0) return false;
    }
    RInstr& generic = plan.Add(op);
    generic.a = locs[0];
    generic.b = locs[1];
    generic.c = locs[2];
    generic.target = static_cast<std::int32_t>(in.end);  // where a fault of the operation is reported
    plan.mayDeopt = plan.ownGroup = plan.endsGroup = plan.writesOutside = true;
    return true;
  }

  // --- After emitting ------------------------------------------------------------------------

  void ResolveJumps() {
    for (const auto& [at, position] : jumps_) {
      const RGroup& group = out_->groups[static_cast<std::size_t>(out_->GroupAt(static_cast<std::uint32_t>(position)))];
      out_->code[at].target = group.first;
      out_->code[at].targetSync = group.sync;
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
        const bool handler = in.opcode == image::OpPushHandler && position != in.end;
        reach(position, synced || handler ? layouts.Depth(there) : depth);
      });
    }
    for (SyncPoint& sync : out_->syncs) {
      const std::int64_t i = slotOf(sync.position);
      const std::uint32_t from = i < 0 ? 0 : std::min(valid[static_cast<std::size_t>(i)], sync.depth);
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
  std::vector<const values::TPSTypeRec*> paramTypes_;
  std::vector<std::int32_t> paramOffsets_;
  std::vector<const values::TPSTypeRec*> paramTargets_;  // of pointer parameters, when first entered
  std::vector<bool> continues_;  // per instruction: the slot table is brought up to date there
  std::vector<bool> blockStart_;
  std::vector<std::pair<std::size_t, std::int64_t>> jumps_;
  std::int32_t scratch_ = 0;
  std::uint32_t maxDepth_ = 0;

  // The group being filled.
  std::int32_t group_ = -1;
  std::uint32_t groupDepth_ = 0;  // slots below this depth were there when it started
  std::uint32_t groupStart_ = 0;  // its first instruction, where its sync point is
  bool groupClosed_ = true;  // the next instruction starts a group
  bool wroteOutside_ = false;
  std::vector<std::uint32_t> borrowed_;  // pointer slots pushed in it that hold no reference yet
  std::vector<std::uint32_t> unset_;  // borrowed pointer slots still null since their push
  std::vector<std::uint32_t> keepsNothing_;  // borrowed pointer slots made to point where nothing is kept
  std::map<std::uint32_t, PlaceSym> places_;  // borrowed pointer slots whose pointers are not made yet
  std::map<std::uint32_t, Source> copies_;    // 32-bit slots known to hold a copy of a source
  std::map<std::uint32_t, StaticVar> pointsAt_;  // pointer slots pushed pointing at a variable
  std::int32_t afterLayout_ = FrameAnalysis::kNoFallThrough;  // after the last instruction translated
  std::int32_t groupEnd_ = 0;  // where the slots the group pushes start
  // Slots pushed in the group whose last write nobody read yet: the write and its size.
  std::map<std::intptr_t, std::pair<std::size_t, std::size_t>> unread_;
  std::map<std::intptr_t, std::size_t> sizes_;  // the value size of the slot last pushed at an offset
};

}  // namespace

std::shared_ptr<const RegisterCode> TranslateProcedure(const TPSInternalProcRec& proc, const TPSExec& exec,
                                                       const TPSStack& stack, std::int32_t frameBase) {
  return Translator(proc, exec, stack, frameBase).Translate();
}

}  // namespace dravik::engine::exec

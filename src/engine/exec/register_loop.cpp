// The register machine: runs procedures in their register form (register_code.h) and leaves
// to the byte code (interpreter.cpp) whatever the form does not cover.
//
// The outer loop decides, frame by frame, which of the two runs. A frame runs in the register
// form from its start when its layout checks out on entry (parameters where the translation
// expects them, room for the whole frame in the stack's current segment); it stays in that form
// until it returns, except that the byte code takes over for an instruction or a group now and
// then, after which the machine comes back at the next group start. A frame whose slots no
// longer look as the translation says runs from its byte code until it returns.
//
// The inner loop never reports a fault itself except for faults of the value operations, which
// it reports exactly as the byte code does (same frame, same position). Everything else that
// could fail goes back to the byte code first (a deopt).

#include <cstring>

#include "engine/exec/interpreter.h"
#include "engine/exec/translator.h"
#include "engine/values/operators.h"

namespace dravik::engine::exec {

namespace {

// The bytes a return address takes on the stack.
constexpr std::size_t kReturnAddressBytes = TPSStack::SlotBytes(values::ReturnAddressLayout::kSize);

// 32-bit division as the arithmetic rules have it; false for a zero divisor.
inline bool DivideS32(std::uint32_t a, std::uint32_t b, std::uint32_t& r) {
  if (b == 0) return false;
  // The most negative value divided by -1 wraps to itself.
  r = b == 0xFFFFFFFFu ? 0u - a : static_cast<std::uint32_t>(static_cast<std::int32_t>(a) / static_cast<std::int32_t>(b));
  return true;
}
inline bool ModuloS32(std::uint32_t a, std::uint32_t b, std::uint32_t& r) {
  if (b == 0) return false;
  r = b == 0xFFFFFFFFu ? 0u : static_cast<std::uint32_t>(static_cast<std::int32_t>(a) % static_cast<std::int32_t>(b));
  return true;
}
inline bool DivideU32(std::uint32_t a, std::uint32_t b, std::uint32_t& r) {
  if (b == 0) return false;
  r = a / b;
  return true;
}
inline bool ModuloU32(std::uint32_t a, std::uint32_t b, std::uint32_t& r) {
  if (b == 0) return false;
  r = a % b;
  return true;
}

// The three-way result of a comparison, tested against a condition mask (kCondMask).
template <class T>
inline bool Holds(std::uint8_t mask, T a, T b) {
  const int r = (a > b) - (a < b);
  return ((mask >> (r + 1)) & 1) != 0;
}

inline bool IsInteger32(image::TPSTypeCode code) { return code == image::tcS32 || code == image::tcU32; }
inline bool IsByteSized(image::TPSTypeCode code) {
  return code == image::tcU8 || code == image::tcS8 || code == image::tcChar;
}

// A pointer slot's target when its type is the one expected (any the instruction takes when
// none is): null otherwise, and for a null pointer.
template <class Accepts>
inline std::uint8_t* Target(const std::uint8_t* pointer, std::uint8_t expected, Accepts accepts) {
  auto* target = values::Load<std::uint8_t*>(pointer + values::PointerLayout::kTarget);
  if (target == nullptr) return nullptr;
  const image::TPSTypeCode code =
      values::Load<const values::TPSTypeRec*>(pointer + values::PointerLayout::kType)->baseType;
  return (expected != 0 ? code == expected : accepts(code)) ? target : nullptr;
}

// Where a place is, and the array block it lies in when it is an element of a dynamic array;
// null when the byte code would report a fault on the way (a null pointer, an index out of
// range, a pointer's target of another type than the place was found for).
inline std::uint8_t* PlaceAddress(const RPlace& place, std::uint8_t* fp, values::ArrayBlock** block = nullptr) {
  std::uint8_t* base = nullptr;
  switch (place.base) {
    case RPlace::Base::kFrame: base = fp + place.at; break;
    case RPlace::Base::kAddress: base = reinterpret_cast<std::uint8_t*>(place.at); break;
    case RPlace::Base::kPointer:
      base = values::Load<std::uint8_t*>(fp + place.at + values::PointerLayout::kTarget);
      if (base == nullptr ||
          values::Load<const values::TPSTypeRec*>(fp + place.at + values::PointerLayout::kType) != place.baseType)
        return nullptr;
      break;
  }
  std::uint32_t index = 0;
  switch (place.index) {
    case RPlace::Index::kNone: return base + place.offset;
    case RPlace::Index::kFrame: index = values::Load<std::uint32_t>(fp + place.indexAt); break;
    case RPlace::Index::kAddress:
      index = values::Load<std::uint32_t>(reinterpret_cast<std::uint8_t*>(place.indexAt));
      break;
    case RPlace::Index::kImmediate: index = static_cast<std::uint32_t>(place.indexAt); break;
  }
  if (place.dynamicArray) {
    values::ArrayBlock* array = values::ArrayAt(base);
    if (array == nullptr || index >= array->length) return nullptr;
    if (block != nullptr) *block = array;
    return array->Elements() + std::size_t{index} * place.elementSize + place.offset;
  }
  if (index >= place.count) return nullptr;
  return base + std::size_t{index} * place.elementSize + place.offset;
}

// An operand that is a frame slot or an address, as a mode bit says.
inline std::uint8_t* At(std::uint8_t* fp, std::intptr_t value, bool address) {
  return address ? reinterpret_cast<std::uint8_t*>(value) : fp + value;
}

// The second operand of a byte operation: a frame slot, or the byte itself.
inline std::uint8_t ByteSource(const RInstr& in, const std::uint8_t* fp) {
  return in.sub != 0 ? static_cast<std::uint8_t>(in.c) : values::Load<std::uint8_t>(fp + in.c);
}

}  // namespace

// --- Frames --------------------------------------------------------------------------------

FrameMode Interpreter::ModeOf(std::int32_t frameBase) const {
  if (frameBase < 0) return x_.mainFrameMode_;
  const auto index = static_cast<std::size_t>(frameBase);
  if (!x_.IsReturnAddressSlot(index)) return FrameMode::kByteCode;
  return static_cast<FrameMode>(values::Load<std::uint8_t>(static_cast<std::uint8_t*>(x_.stack_.ValueAt(index)) +
                                                   values::ReturnAddressLayout::kFrameMode));
}

void Interpreter::SetMode(std::int32_t frameBase, FrameMode mode) {
  if (frameBase < 0) {
    x_.mainFrameMode_ = mode;
    return;
  }
  const auto index = static_cast<std::size_t>(frameBase);
  if (x_.IsReturnAddressSlot(index))
    values::Store(static_cast<std::uint8_t*>(x_.stack_.ValueAt(index)) + values::ReturnAddressLayout::kFrameMode,
          static_cast<std::uint8_t>(mode));
}

// Where the first local of a frame that runs in the register form lies.
std::uint8_t* Interpreter::FrameStart(std::int32_t frameBase) const {
  if (frameBase < 0) return x_.mainFrameStart_;
  return static_cast<std::uint8_t*>(x_.stack_.ValueAt(static_cast<std::size_t>(frameBase))) + kReturnAddressBytes;
}

// A frame at its very start: translates the procedure if that has not been tried yet, and sets
// the frame's mode. True when it runs in the register form; frameStart is then where its first
// local goes.
std::uint8_t* Interpreter::EnterFrame(const TPSInternalProcRec& proc, std::int32_t frameBase) {
  if (!proc.translated) {
    proc.registerCode = TranslateProcedure(proc, x_, x_.stack_, frameBase);
    proc.translated = true;
  }
  const RegisterCode* code = proc.registerCode.get();
  TPSStack::FrameAccess access(x_.stack_);
  bool fits = code != nullptr && x_.stack_.Count() == static_cast<std::size_t>(frameBase + 1);
  std::uint8_t* start = nullptr;
  if (fits) {
    start = access.Reserve(static_cast<std::size_t>(code->frameBytes), code->maxDepth);
    fits = start != nullptr && (frameBase < 0 || start == FrameStart(frameBase));
  }
  // The parameters lie where the translation has them, in the segment the frame starts in.
  for (std::size_t k = 0; fits && k < code->paramTypes.size(); ++k) {
    const std::int64_t index = std::int64_t{frameBase} - 1 - static_cast<std::int64_t>(k);
    fits = index >= 0 && &x_.stack_.TypeAt(static_cast<std::size_t>(index)) == code->paramTypes[k] &&
           x_.stack_.ValueAt(static_cast<std::size_t>(index)) == start + code->paramOffsets[k] &&
           access.InCurrentSegment(start + code->paramOffsets[k]);
  }
  SetMode(frameBase, fits ? FrameMode::kRegister : FrameMode::kByteCode);
  if (fits && frameBase < 0) x_.mainFrameStart_ = start;
  return fits ? start : nullptr;
}

// Whether the frame's slots are those the translation has at a group start: count, types,
// places. The parameters were checked on entry and cannot change under the return address.
bool Interpreter::FrameMatches(const RegisterCode& code, const SyncPoint& sync, std::uint8_t* frameStart,
                               std::int32_t frameBase) const {
  const std::size_t first = static_cast<std::size_t>(frameBase + 1);
  if (x_.stack_.Count() != first + sync.depth) return false;
  TPSStack::FrameAccess access(x_.stack_);
  if (!access.InCurrentSegment(frameStart + std::max(sync.end - 1, 0))) return false;
  for (std::int32_t node = sync.layout; node != kEmptyLayout; node = code.layouts.Below(node)) {
    const LayoutNode& slot = code.layouts[node];
    const std::size_t index = first + slot.depth - 1;
    if (&x_.stack_.TypeAt(index) != slot.type || x_.stack_.ValueAt(index) != frameStart + slot.offset) return false;
  }
  return true;
}

// Whether the current frame can go on in the register form from where it is, its slots being
// those the translation has there; runs it if so.
bool Interpreter::ResumeInRegisterForm() {
  const TPSInternalProcRec* proc = x_.currentProc_;
  if (proc == nullptr) return false;
  const std::int32_t frameBase = x_.frameBase_;
  std::uint8_t* frameStart = nullptr;
  switch (ModeOf(frameBase)) {
    case FrameMode::kByteCode:
      return false;
    case FrameMode::kUnchecked:
      // Only a frame that has done nothing yet can be taken over.
      if (x_.position_ != 0 || x_.stack_.Count() != static_cast<std::size_t>(frameBase + 1)) {
        SetMode(frameBase, FrameMode::kByteCode);
        return false;
      }
      frameStart = EnterFrame(*proc, frameBase);
      if (frameStart == nullptr) return false;
      break;
    case FrameMode::kRegister:
      frameStart = FrameStart(frameBase);
      break;
  }
  const RegisterCode& code = *proc->registerCode;
  const std::int32_t group = code.GroupAt(x_.position_);
  if (group < 0) return false;
  const RGroup& start = code.groups[static_cast<std::size_t>(group)];
  const SyncPoint& sync = code.syncs[static_cast<std::size_t>(start.sync)];
  if (!FrameMatches(code, sync, frameStart, frameBase)) {
    SetMode(frameBase, FrameMode::kByteCode);
    return false;
  }
  const Exit exit = RunRegisterCode(&code, code.code.data() + start.first, frameStart, frameBase);
  // A deopt leaves a group to the byte code, which must get past the group's start first.
  if (exit == Exit::kDeopt && x_.status_ == ExecStatus::kRunning) StepInFrame();
  return true;
}

// One instruction from the bytes. A frame in the register form that the byte code takes
// somewhere the translation never looked at stays with the byte code from then on.
void Interpreter::StepInFrame() {
  const TPSInternalProcRec* proc = x_.currentProc_;
  const std::int32_t frameBase = x_.frameBase_;
  StepFromBytes();
  if (x_.status_ != ExecStatus::kRunning || x_.currentProc_ != proc || x_.frameBase_ != frameBase ||
      proc == nullptr || ModeOf(frameBase) != FrameMode::kRegister)
    return;
  const RegisterCode& code = *proc->registerCode;
  if (!code.Analyzed(x_.position_)) SetMode(frameBase, FrameMode::kByteCode);
}

void Interpreter::RunRegisterForm() {
  while (x_.status_ == ExecStatus::kRunning) {
    if (!ResumeInRegisterForm()) StepInFrame();
  }
}

// --- Inside a frame --------------------------------------------------------------------------

// The entries of the slots pushed since the table was last brought up to date.
[[gnu::always_inline]] inline void Interpreter::WriteEntries(const RegisterCode& code, const SyncPoint& sync,
                                                             std::uint8_t* fp, std::int32_t frameBase) {
  TPSStack::Slot* slots = TPSStack::FrameAccess(x_.stack_).Slots() + (frameBase + 1);
  const SyncEntry* entry = code.entries.data() + sync.firstEntry;
  for (std::uint32_t i = 0; i < sync.entryCount; ++i, ++entry) slots[entry->index] = {entry->type, fp + entry->offset};
}

// The slot table and the position as the byte code would have them at a group's start.
[[gnu::always_inline]] inline void Interpreter::Sync(const RegisterCode& code, std::int32_t syncIndex, std::uint8_t* fp,
                                                     std::int32_t frameBase) {
  const SyncPoint& sync = code.syncs[static_cast<std::size_t>(syncIndex)];
  WriteEntries(code, sync, fp, frameBase);
  TPSStack::FrameAccess(x_.stack_).SetTop(static_cast<std::size_t>(frameBase + 1) + sync.depth, fp + sync.end);
  x_.position_ = sync.position;
}

// An operand of a generic instruction, as the byte code resolves it; false when the byte code
// would report a fault.
bool Interpreter::ResolveLoc(const RLoc& loc, std::uint8_t* fp, values::ValueRef& ref) const {
  ref = {loc.base == RLoc::Base::kFrame ? fp + loc.at : reinterpret_cast<std::uint8_t*>(loc.at), loc.type};
  if (loc.select != RLoc::Select::kWhole) {
    if (ref.type->baseType == image::tcPointer && (ref = values::FollowPointer(ref)).data == nullptr) return false;
    std::uint32_t index = loc.index;
    if (loc.select == RLoc::Select::kIndexVariable) {
      const values::ValueRef indexValue{loc.indexBase == RLoc::Base::kFrame ? fp + loc.indexAt
                                                                    : reinterpret_cast<std::uint8_t*>(loc.indexAt),
                                loc.indexType};
      index = static_cast<std::uint32_t>(SmallIntegerValue(indexValue));
    }
    values::ArrayBlock* block = nullptr;
    if (SelectElementOf(ref, index, block) != image::ErNoError) return false;
  }
  if (loc.follow && ref.type->baseType == image::tcPointer && (ref = values::FollowPointer(ref)).data == nullptr)
    return false;
  return true;
}

// A pointer slot made to point at element or field `index` of a base: the target of a pointer
// slot, or a variable; as OpSetPointer does it, but the new pointer takes no reference (it is
// borrowed). False when the byte code would report a fault.
bool Interpreter::PointToElement(const RInstr& in, std::uint8_t* fp, std::int32_t frameBase, std::uint32_t index) {
  values::PointerValue base;
  switch (in.sub) {
    case 0: base = values::LoadPointer(fp + in.b); break;
    case 1:
      base = {fp + in.b,
              static_cast<const values::TPSTypeRec*>(in.p),
              static_cast<std::uint32_t>(frameBase + in.target),
              {}};
      break;
    default:
      base = {reinterpret_cast<void*>(in.b), static_cast<const values::TPSTypeRec*>(in.p), values::kNotOnStack, {}};
      break;
  }
  if (base.target == nullptr) return false;
  values::ValueRef ref{base.target, base.targetType};
  values::ArrayBlock* block = nullptr;
  if (SelectElementOf(ref, index, block) != image::ErNoError) return false;
  values::PointerValue pointer{ref.data, ref.type, base.stackIndex, base.keeper};
  if (block != nullptr)
    pointer = {ref.data, ref.type, values::kNotOnStack, {values::KeeperKind::kArrayBlock, block, ref.type}};
  if (!MayPointTo(static_cast<std::uint32_t>(frameBase + in.d), pointer)) return false;
  values::StorePointer(fp + in.a, pointer);
  return true;
}

// A borrowed pointer made for a place, as the chain of OpSetPointer instructions would have made
// it; false when the byte code would report a fault on the way.
bool Interpreter::PointToPlace(const RPlace& place, std::uint8_t* fp, std::int32_t frameBase, const RInstr& in) {
  values::ArrayBlock* block = nullptr;
  std::uint8_t* at = PlaceAddress(place, fp, &block);
  if (at == nullptr) return false;
  values::PointerValue pointer{at, place.type, values::kNotOnStack, {}};
  if (block != nullptr) {
    pointer.keeper = {values::KeeperKind::kArrayBlock, block, place.element};
  } else if (place.base == RPlace::Base::kPointer) {
    const values::PointerValue base = values::LoadPointer(fp + place.at);
    pointer.stackIndex = base.stackIndex;
    pointer.keeper = base.keeper;
  } else if (place.base == RPlace::Base::kFrame) {
    pointer.stackIndex = static_cast<std::uint32_t>(frameBase + place.relative);
  }
  if (!MayPointTo(static_cast<std::uint32_t>(frameBase + in.d), pointer)) return false;
  values::StorePointer(fp + in.a, pointer);
  return true;
}

// A generic instruction by the value operations, its operands resolved first; what the byte
// code would report on the way is left to it (kDeopt).
Interpreter::Outcome Interpreter::RunValueOperation(const RegisterCode& code, const RInstr& in, std::uint8_t* fp) {
  values::ValueRef operands[3];
  const int count = in.op == RegOp::kCompare ? 3 : in.op == RegOp::kIncrement || in.op == RegOp::kDecrement ? 1 : 2;
  const std::intptr_t locs[3] = {in.a, in.b, in.c};
  for (int i = 0; i < count; ++i)
    if (!ResolveLoc(code.locs[static_cast<std::size_t>(locs[i])], fp, operands[i])) return Outcome::kDeopt;
  if (in.op == RegOp::kCompare && !IsSmallIntegerCode(operands[0].type->baseType)) return Outcome::kDeopt;
  const bool done = Guarded([&] {
    switch (in.op) {
      case RegOp::kAssign: return values::AssignValue(operands[0], operands[1], x_);
      case RegOp::kCalculate:
        return values::CalculateValue(static_cast<image::CalcOp>(in.sub), operands[0], operands[1], x_);
      case RegOp::kCompare:
        return StoreTruth(operands[0],
                          values::CompareValues(static_cast<image::CompareOp>(in.sub), operands[1], operands[2], x_));
      case RegOp::kIncrement: return values::IncrementValue(operands[0]);
      default: return values::DecrementValue(operands[0]);
    }
  });
  return done ? Outcome::kDone : Outcome::kFault;
}

// The value of a generic condition operand.
Interpreter::Truth Interpreter::SmallIntegerAt(const RegisterCode& code, const RInstr& in, std::uint8_t* fp) const {
  values::ValueRef value;
  if (!ResolveLoc(code.locs[static_cast<std::size_t>(in.a)], fp, value) || !IsSmallIntegerCode(value.type->baseType))
    return kNotSmallInteger;
  return SmallIntegerValue(value) != 0 ? kTrue : kFalse;
}

void Interpreter::ReleaseFrameSlots(const RegisterCode& code, const RInstr& ret, std::uint8_t* fp) {
  const SyncEntry* entry = code.entries.data() + ret.a;
  for (std::intptr_t i = 0; i < ret.b; ++i, ++entry) {
    std::uint8_t* value = fp + entry->offset;
    if (!(entry->type->baseType == image::tcPointer && values::KeepsNothing(value)))
      values::FinalizeValue(value, *entry->type);
  }
}

#if defined(__GNUC__)
#define DRAVIK_COMPUTED_GOTO 1
#else
#define DRAVIK_COMPUTED_GOTO 0
#endif

#if DRAVIK_COMPUTED_GOTO
#define REG_CASE(name) L_##name:
#define REG_DISPATCH() goto* kLabels[static_cast<std::size_t>(ip->op)]
#else
#define REG_CASE(name) case RegOp::k##name:
#define REG_DISPATCH() goto dispatch
#endif
#define REG_NEXT() \
  do {             \
    ++ip;          \
    REG_DISPATCH(); \
  } while (0)
// A jump back counts towards a stop request.
#define REG_JUMP(index)                                   \
  do {                                                    \
    to = base + (index);                                  \
    if (to <= ip && x_.TickStops()) goto stop_at_jump; \
    ip = to;                                              \
    REG_DISPATCH();                                       \
  } while (0)

// The outcome of a generic instruction: on to the next, back to the byte code, or a fault.
#define REG_OUTCOME(call)     \
  switch (call) {             \
    case Outcome::kDone:      \
      REG_NEXT();             \
    case Outcome::kDeopt:     \
      goto deopt;             \
    case Outcome::kFault:     \
      goto fault;             \
  }

#define REG_F(x) (fp + (x))
#define REG_G(x) (reinterpret_cast<std::uint8_t*>(x))
#define REG_LOAD32_F(x) values::Load<std::uint32_t>(REG_F(x))
#define REG_LOAD32_G(x) values::Load<std::uint32_t>(REG_G(x))
#define REG_LOAD32_K(x) static_cast<std::uint32_t>(x)
#define REG_LOAD8_F(x) values::Load<std::uint8_t>(REG_F(x))
#define REG_LOAD8_G(x) values::Load<std::uint8_t>(REG_G(x))
#define REG_LOAD8_K(x) static_cast<std::uint8_t>(x)

// dest := a op b for the eight source modes.
#define REG_BINARY(NAME, MA, MB, COMPUTE)                                          \
  REG_CASE(NAME##MA##MB) {                                                         \
    const std::uint32_t a = REG_LOAD32_##MA(ip->b), b = REG_LOAD32_##MB(ip->c);   \
    std::uint32_t r;                                                               \
    COMPUTE;                                                                       \
    values::Store(REG_F(ip->a), r);                                                        \
    REG_NEXT();                                                                    \
  }
#define REG_BINARY_ALL(NAME, COMPUTE)                                                                   \
  REG_BINARY(NAME, F, F, COMPUTE) REG_BINARY(NAME, F, G, COMPUTE) REG_BINARY(NAME, F, K, COMPUTE)      \
  REG_BINARY(NAME, G, F, COMPUTE) REG_BINARY(NAME, G, G, COMPUTE) REG_BINARY(NAME, G, K, COMPUTE)      \
  REG_BINARY(NAME, K, F, COMPUTE) REG_BINARY(NAME, K, G, COMPUTE)

// Comparisons: into a byte, or a jump when the condition holds.
#define REG_COMPARE(NAME, MA, MB, T)                                                                   \
  REG_CASE(NAME##MA##MB) {                                                                             \
    values::Store(REG_F(ip->a), static_cast<std::uint8_t>(                                                     \
                            Holds(ip->sub, static_cast<T>(REG_LOAD32_##MA(ip->b)), static_cast<T>(REG_LOAD32_##MB(ip->c))))); \
    REG_NEXT();                                                                                        \
  }
#define REG_COMPARE_JUMP(NAME, MA, MB, T, LOAD)                                                        \
  REG_CASE(NAME##MA##MB) {                                                                               \
    const bool truth = Holds(ip->sub, static_cast<T>(LOAD##MA(ip->b)), static_cast<T>(LOAD##MB(ip->c)));  \
    values::Store(REG_F(ip->a), static_cast<std::uint8_t>(truth));                                               \
    const bool taken = truth != ((ip->size & 1) != 0);                                                  \
    if ((ip->size & 2) != 0) x_.flag_ = taken;                                                           \
    if (taken) REG_JUMP(ip->target);                                                                     \
    REG_NEXT();                                                                                          \
  }
#define REG_COMPARE_BYTES(NAME, MA, MB, T)                                                                  \
  REG_CASE(NAME##MA##MB) {                                                                                  \
    values::Store(REG_F(ip->a),                                                                             \
                  static_cast<std::uint8_t>(Holds(ip->sub, REG_LOAD8_##MA(ip->b), REG_LOAD8_##MB(ip->c)))); \
    REG_NEXT();                                                                                             \
  }
#define REG_COMPARE_JUMP32(NAME, MA, MB, T) REG_COMPARE_JUMP(NAME, MA, MB, T, REG_LOAD32_)
#define REG_COMPARE_JUMP8(NAME, MA, MB, T) REG_COMPARE_JUMP(NAME, MA, MB, T, REG_LOAD8_)
#define REG_MODES_ALL(MACRO, NAME, T)                                                     \
  MACRO(NAME, F, F, T) MACRO(NAME, F, G, T) MACRO(NAME, F, K, T) MACRO(NAME, G, F, T)     \
  MACRO(NAME, G, G, T) MACRO(NAME, G, K, T) MACRO(NAME, K, F, T) MACRO(NAME, K, G, T)

Interpreter::Exit Interpreter::RunRegisterCode(const RegisterCode* code, const RInstr* ip, std::uint8_t* fp,
                                               std::int32_t frameBase) {
#if DRAVIK_COMPUTED_GOTO
  static const void* const kLabels[] = {
#define DRAVIK_REG_LABEL(name) &&L_##name,
      DRAVIK_REG_OPS(DRAVIK_REG_LABEL)
#undef DRAVIK_REG_LABEL
  };
  static_assert(sizeof kLabels / sizeof kLabels[0] == static_cast<std::size_t>(RegOp::kCount));
#endif
  const RInstr* base = code->code.data();
  const RInstr* to = nullptr;
  std::int32_t fb = frameBase;
  constexpr std::size_t raBytes = kReturnAddressBytes;
  TPSStack::FrameAccess stack(x_.stack_);

  REG_DISPATCH();
#if !DRAVIK_COMPUTED_GOTO
dispatch:
  switch (ip->op) {
#endif

  // --- Leaving the register form ---------------------------------------------------------

  REG_CASE(Deopt) goto deopt;

  REG_CASE(Ref) {
    Sync(*code, ip->sync, fp, fb);
    const TPSInternalProcRec* proc = x_.currentProc_;
    const std::uint32_t reported = x_.errorsReported_;
    if (!Guarded([this] { StepFromBytes(); })) {
      x_.ReportCaughtException(caught_);
      return Exit::kLeft;
    }
    // Back in this frame at the start of a group whose frame the step left as the translation
    // has it: on from there. Leaving a try block by a jump drops the slots pushed since it
    // began, which the translation cannot know; the outer loop checks such a frame slot by slot.
    if (x_.status_ != ExecStatus::kRunning || x_.currentProc_ != proc || x_.frameBase_ != fb ||
        x_.errorsReported_ != reported)
      return Exit::kLeft;
    const std::int32_t group = code->GroupAt(x_.position_);
    if (group < 0 || (x_.position_ != static_cast<std::uint32_t>(ip->a) && x_.position_ != static_cast<std::uint32_t>(ip->b)))
      return Exit::kLeft;
    const RGroup& next = code->groups[static_cast<std::size_t>(group)];
    if (x_.stack_.Count() != static_cast<std::size_t>(fb + 1) + code->syncs[static_cast<std::size_t>(next.sync)].depth)
      return Exit::kLeft;
    ip = base + next.first;
    REG_DISPATCH();
  }

  // --- Control ---------------------------------------------------------------------------

  REG_CASE(Goto) REG_JUMP(ip->target);
  REG_CASE(JumpIfFlag) {
    if (x_.flag_) REG_JUMP(ip->target);
    REG_NEXT();
  }
  REG_CASE(JumpIfNotFlag) {
    if (!x_.flag_) REG_JUMP(ip->target);
    REG_NEXT();
  }
  REG_CASE(JumpIfZero8) {
    if (values::Load<std::uint8_t>(REG_F(ip->a)) == 0) REG_JUMP(ip->target);
    REG_NEXT();
  }
  REG_CASE(JumpIfNotZero8) {
    if (values::Load<std::uint8_t>(REG_F(ip->a)) != 0) REG_JUMP(ip->target);
    REG_NEXT();
  }
  REG_CASE(JumpIfZero32) {
    if (values::Load<std::uint32_t>(REG_F(ip->a)) == 0) REG_JUMP(ip->target);
    REG_NEXT();
  }
  REG_CASE(JumpIfNotZero32) {
    if (values::Load<std::uint32_t>(REG_F(ip->a)) != 0) REG_JUMP(ip->target);
    REG_NEXT();
  }
  REG_MODES_ALL(REG_COMPARE_JUMP32, CmpJumpS, std::int32_t)
  REG_MODES_ALL(REG_COMPARE_JUMP32, CmpJumpU, std::uint32_t)
  REG_MODES_ALL(REG_COMPARE_JUMP8, CmpJumpB, std::uint8_t)

  REG_CASE(CallScript) {
    // From one frame in the register form to the next, the top of the slot table is left to
    // the next sync point (nothing looks at it before); only the entries are written.
    WriteEntries(*code, code->syncs[static_cast<std::size_t>(ip->sync)], fp, fb);
    if (x_.TickStops()) {
      Sync(*code, ip->sync, fp, fb);
      x_.position_ = static_cast<std::uint32_t>(ip->c);
      x_.StopRun();
      return Exit::kLeft;
    }
    // The return address goes on top of the arguments, and the callee's frame above it.
    const auto index = static_cast<std::size_t>(fb + 1 + ip->b);
    std::uint8_t* ra = REG_F(ip->a);
    const auto& callee = *static_cast<const TPSInternalProcRec*>(ip->p);
    stack.Slots()[index] = {&x_.ReturnAddressType(), ra};
    values::Store(ra + values::ReturnAddressLayout::kProc, x_.currentProc_);
    values::Store(ra + values::ReturnAddressLayout::kPosition, static_cast<std::uint32_t>(ip->c));
    values::Store(ra + values::ReturnAddressLayout::kFrameBase, fb);
    values::Store(ra + values::ReturnAddressLayout::kResume, static_cast<std::int32_t>(ip - base + 1));
    x_.EnterProc(callee, 0);
    x_.frameBase_ = fb = static_cast<std::int32_t>(index);
    const RegisterCode* calleeCode = ip->callee;
    if (calleeCode != nullptr && stack.Fits(ra + raBytes, static_cast<std::size_t>(calleeCode->frameBytes), index + 1,
                                            calleeCode->maxDepth)) {
      // Checked before from here: the arguments are where and what the callee's form wants.
      values::Store(ra + values::ReturnAddressLayout::kFrameMode, static_cast<std::uint8_t>(FrameMode::kRegister));
      fp = ra + raBytes;
    } else {
      values::Store(ra + values::ReturnAddressLayout::kFrameMode, static_cast<std::uint8_t>(FrameMode::kUnchecked));
      stack.SetTop(index + 1, ra + raBytes);
      fp = EnterFrame(callee, fb);
      if (fp == nullptr) return Exit::kLeft;
      ip->callee = calleeCode = callee.registerCode.get();
    }
    code = calleeCode;
    base = code->code.data();
    ip = base + code->groups[0].first;
    REG_DISPATCH();
  }

  REG_CASE(CallHost) {
    Sync(*code, ip->sync, fp, fb);
    x_.position_ = static_cast<std::uint32_t>(ip->c);
    if (x_.TickStops()) {
      x_.StopRun();
      return Exit::kLeft;
    }
    const TPSInternalProcRec* proc = x_.currentProc_;
    const std::uint32_t reported = x_.errorsReported_;
    x_.CallHostProc(*static_cast<TPSExternalProcRec*>(const_cast<void*>(ip->p)));
    // The host routine may have stopped, suspended, halted or unloaded the machine, or run
    // script code of its own (which leaves the frame as it found it).
    if (x_.status_ != ExecStatus::kRunning || x_.currentProc_ != proc || x_.frameBase_ != fb ||
        x_.errorsReported_ != reported)
      return Exit::kLeft;
    REG_NEXT();
  }

  REG_CASE(Return) {
    if (!x_.handlers_.empty() && x_.BelongsToCurrentProc(x_.handlers_.back())) goto ref_this;
    if (fb < 0) {
      // The main procedure has finished; its slots go with the run.
      Sync(*code, ip->sync, fp, fb);
      x_.status_ = ExecStatus::kLoaded;
      return Exit::kLeft;
    }
    if (ip->b != 0) ReleaseFrameSlots(*code, *ip, fp);
    std::uint8_t* ra = fp - raBytes;
    const auto* proc = values::Load<const TPSInternalProcRec*>(ra + values::ReturnAddressLayout::kProc);
    const auto position = values::Load<std::uint32_t>(ra + values::ReturnAddressLayout::kPosition);
    const auto callerBase = values::Load<std::int32_t>(ra + values::ReturnAddressLayout::kFrameBase);
    const auto resume = values::Load<std::int32_t>(ra + values::ReturnAddressLayout::kResume);
    // A caller in the register form brings the table's top up to date itself where it matters.
    if (resume < 0 || proc == nullptr) stack.SetTop(static_cast<std::size_t>(fb), ra);
    x_.frameBase_ = fb = callerBase;
    if (proc == nullptr) {
      x_.position_ = position;
      x_.status_ = x_.returnStatus_;
      return Exit::kLeft;
    }
    x_.EnterProc(*proc, position);
    if (resume < 0) return Exit::kLeft;
    code = proc->registerCode.get();
    base = code->code.data();
    fp = FrameStart(fb);
    ip = base + resume;
    REG_DISPATCH();
  }

  // --- Slots -----------------------------------------------------------------------------

  REG_CASE(Clear8) {
    values::Store(REG_F(ip->a), std::uint64_t{0});
    REG_NEXT();
  }
  REG_CASE(ClearPointer) {
    values::StorePointer(REG_F(ip->a), values::PointerValue{});
    REG_NEXT();
  }
  REG_CASE(ClearN) {
    std::memset(REG_F(ip->a), 0, static_cast<std::size_t>(ip->b));
    REG_NEXT();
  }
  REG_CASE(Release) {
    std::uint8_t* value = REG_F(ip->a);
    const auto& type = *static_cast<const values::TPSTypeRec*>(ip->p);
    if (!(type.baseType == image::tcPointer && values::KeepsNothing(value))) values::FinalizeValue(value, type);
    REG_NEXT();
  }
  REG_CASE(PointToVar) {
    // A pointer to a variable: nothing keeps it alive but the variable itself.
    void* target = ip->sub == 0 ? static_cast<void*>(REG_F(ip->b)) : reinterpret_cast<void*>(ip->b);
    const std::uint32_t stackIndex =
        ip->sub == 0 ? static_cast<std::uint32_t>(fb + ip->c) : static_cast<std::uint32_t>(values::kNotOnStack);
    values::StorePointer(REG_F(ip->a), {target, static_cast<const values::TPSTypeRec*>(ip->p), stackIndex, {}});
    REG_NEXT();
  }
  REG_CASE(PointToCopy) {
    const values::PointerValue pointer = values::LoadPointer(REG_F(ip->b));
    if (!MayPointTo(static_cast<std::uint32_t>(fb + ip->d), pointer)) goto deopt;
    values::StorePointer(REG_F(ip->a), pointer);
    REG_NEXT();
  }
  REG_CASE(PointToElemF) {
    if (!PointToElement(*ip, fp, fb, values::Load<std::uint32_t>(REG_F(ip->c)))) goto deopt;
    REG_NEXT();
  }
  REG_CASE(PointToElemK) {
    if (!PointToElement(*ip, fp, fb, static_cast<std::uint32_t>(ip->c))) goto deopt;
    REG_NEXT();
  }
  REG_CASE(Own) {
    values::RetainKeeper(values::LoadPointer(REG_F(ip->a)).keeper);
    REG_NEXT();
  }
  REG_CASE(PushPointerCopy) {
    const values::PointerValue pointer = values::LoadPointer(REG_F(ip->b));
    values::RetainKeeper(pointer.keeper);
    values::StorePointer(REG_F(ip->a), pointer);
    REG_NEXT();
  }

  // --- 32-bit integers -------------------------------------------------------------------

  REG_CASE(Mov32FF) {
    values::Store(REG_F(ip->a), REG_LOAD32_F(ip->b));
    REG_NEXT();
  }
  REG_CASE(Mov32FG) {
    values::Store(REG_F(ip->a), REG_LOAD32_G(ip->b));
    REG_NEXT();
  }
  REG_CASE(Mov32FK) {
    values::Store(REG_F(ip->a), REG_LOAD32_K(ip->b));
    REG_NEXT();
  }
  REG_CASE(Mov32GF) {
    values::Store(REG_G(ip->a), REG_LOAD32_F(ip->b));
    REG_NEXT();
  }
  REG_CASE(Mov32GG) {
    values::Store(REG_G(ip->a), REG_LOAD32_G(ip->b));
    REG_NEXT();
  }
  REG_CASE(Mov32GK) {
    values::Store(REG_G(ip->a), REG_LOAD32_K(ip->b));
    REG_NEXT();
  }
  REG_CASE(Mov8FF) {
    values::Store(REG_F(ip->a), REG_LOAD8_F(ip->b));
    REG_NEXT();
  }
  REG_CASE(Mov8FG) {
    values::Store(REG_F(ip->a), REG_LOAD8_G(ip->b));
    REG_NEXT();
  }
  REG_CASE(Mov8FK) {
    values::Store(REG_F(ip->a), REG_LOAD8_K(ip->b));
    REG_NEXT();
  }
  REG_CASE(Mov8GF) {
    values::Store(REG_G(ip->a), REG_LOAD8_F(ip->b));
    REG_NEXT();
  }
  REG_CASE(Mov8GG) {
    values::Store(REG_G(ip->a), REG_LOAD8_G(ip->b));
    REG_NEXT();
  }
  REG_CASE(Mov8GK) {
    values::Store(REG_G(ip->a), REG_LOAD8_K(ip->b));
    REG_NEXT();
  }

  REG_BINARY_ALL(Add, r = a + b)
  REG_BINARY_ALL(Sub, r = a - b)
  REG_BINARY_ALL(Mul, r = a * b)
  REG_BINARY_ALL(And, r = a & b)
  REG_BINARY_ALL(Or, r = a | b)
  REG_BINARY_ALL(Xor, r = a ^ b)
  REG_BINARY_ALL(Shl, r = a << (b & 31))
  REG_BINARY_ALL(ShrS, r = static_cast<std::uint32_t>(static_cast<std::int32_t>(a) >> (b & 31)))
  REG_BINARY_ALL(ShrU, r = a >> (b & 31))
  REG_BINARY_ALL(DivS, if (!DivideS32(a, b, r)) goto deopt)
  REG_BINARY_ALL(DivU, if (!DivideU32(a, b, r)) goto deopt)
  REG_BINARY_ALL(ModS, if (!ModuloS32(a, b, r)) goto deopt)
  REG_BINARY_ALL(ModU, if (!ModuloU32(a, b, r)) goto deopt)

  REG_CASE(Inc32F) {
    values::Store(REG_F(ip->a), REG_LOAD32_F(ip->a) + 1u);
    REG_NEXT();
  }
  REG_CASE(Dec32F) {
    values::Store(REG_F(ip->a), REG_LOAD32_F(ip->a) - 1u);
    REG_NEXT();
  }
  REG_CASE(Inc32G) {
    values::Store(REG_G(ip->a), REG_LOAD32_G(ip->a) + 1u);
    REG_NEXT();
  }
  REG_CASE(Dec32G) {
    values::Store(REG_G(ip->a), REG_LOAD32_G(ip->a) - 1u);
    REG_NEXT();
  }

  REG_MODES_ALL(REG_COMPARE, CmpS, std::int32_t)
  REG_MODES_ALL(REG_COMPARE, CmpU, std::uint32_t)

  REG_CASE(SetFlag8) {
    x_.flag_ = (values::Load<std::uint8_t>(REG_F(ip->a)) != 0) != (ip->sub != 0);
    REG_NEXT();
  }
  REG_CASE(SetFlag32) {
    x_.flag_ = (values::Load<std::uint32_t>(REG_F(ip->a)) != 0) != (ip->sub != 0);
    REG_NEXT();
  }

  REG_CASE(LoadVia32) {
    const std::uint8_t* target = Target(REG_F(ip->b), ip->sub, IsInteger32);
    if (target == nullptr) goto deopt;
    values::Store(REG_F(ip->a), values::Load<std::uint32_t>(target));
    REG_NEXT();
  }
  REG_CASE(StoreVia32F) {
    std::uint8_t* target = Target(REG_F(ip->a), 0, IsInteger32);
    if (target == nullptr) goto deopt;
    values::Store(target, REG_LOAD32_F(ip->b));
    REG_NEXT();
  }
  REG_CASE(StoreVia32K) {
    std::uint8_t* target = Target(REG_F(ip->a), 0, IsInteger32);
    if (target == nullptr) goto deopt;
    values::Store(target, REG_LOAD32_K(ip->b));
    REG_NEXT();
  }
  REG_CASE(LoadVia8) {
    const std::uint8_t* target = Target(REG_F(ip->b), ip->sub, IsByteSized);
    if (target == nullptr) goto deopt;
    values::Store(REG_F(ip->a), values::Load<std::uint8_t>(target));
    REG_NEXT();
  }
  REG_CASE(StoreVia8F) {
    std::uint8_t* target = Target(REG_F(ip->a), 0, IsByteSized);
    if (target == nullptr) goto deopt;
    values::Store(target, values::Load<std::uint8_t>(REG_F(ip->b)));
    REG_NEXT();
  }
  REG_CASE(StoreVia8K) {
    std::uint8_t* target = Target(REG_F(ip->a), 0, IsByteSized);
    if (target == nullptr) goto deopt;
    values::Store(target, static_cast<std::uint8_t>(ip->b));
    REG_NEXT();
  }

  // --- Places ----------------------------------------------------------------------------

  REG_CASE(LoadPlace32) {
    const std::uint8_t* at = PlaceAddress(code->places[static_cast<std::size_t>(ip->b)], fp);
    if (at == nullptr) goto deopt;
    values::Store(REG_F(ip->a), values::Load<std::uint32_t>(at));
    REG_NEXT();
  }
  REG_CASE(StorePlace32F) {
    std::uint8_t* at = PlaceAddress(code->places[static_cast<std::size_t>(ip->a)], fp);
    if (at == nullptr) goto deopt;
    values::Store(at, REG_LOAD32_F(ip->b));
    REG_NEXT();
  }
  REG_CASE(StorePlace32K) {
    std::uint8_t* at = PlaceAddress(code->places[static_cast<std::size_t>(ip->a)], fp);
    if (at == nullptr) goto deopt;
    values::Store(at, REG_LOAD32_K(ip->b));
    REG_NEXT();
  }
  REG_CASE(LoadPlace8) {
    const std::uint8_t* at = PlaceAddress(code->places[static_cast<std::size_t>(ip->b)], fp);
    if (at == nullptr) goto deopt;
    values::Store(REG_F(ip->a), values::Load<std::uint8_t>(at));
    REG_NEXT();
  }
  REG_CASE(StorePlace8F) {
    std::uint8_t* at = PlaceAddress(code->places[static_cast<std::size_t>(ip->a)], fp);
    if (at == nullptr) goto deopt;
    values::Store(at, values::Load<std::uint8_t>(REG_F(ip->b)));
    REG_NEXT();
  }
  REG_CASE(StorePlace8K) {
    std::uint8_t* at = PlaceAddress(code->places[static_cast<std::size_t>(ip->a)], fp);
    if (at == nullptr) goto deopt;
    values::Store(at, static_cast<std::uint8_t>(ip->b));
    REG_NEXT();
  }
  REG_CASE(CheckPlace) {
    if (PlaceAddress(code->places[static_cast<std::size_t>(ip->b)], fp) == nullptr) goto deopt;
    REG_NEXT();
  }
  REG_CASE(PointToPlace) {
    if (!PointToPlace(code->places[static_cast<std::size_t>(ip->b)], fp, fb, *ip)) goto deopt;
    REG_NEXT();
  }

  // --- Bytes -----------------------------------------------------------------------------

  REG_MODES_ALL(REG_COMPARE_BYTES, CmpB, std::uint8_t)
  REG_CASE(AndB) {
    values::Store(REG_F(ip->a),
                  static_cast<std::uint8_t>(values::Load<std::uint8_t>(REG_F(ip->a)) & ByteSource(*ip, fp)));
    REG_NEXT();
  }
  REG_CASE(OrB) {
    values::Store(REG_F(ip->a),
                  static_cast<std::uint8_t>(values::Load<std::uint8_t>(REG_F(ip->a)) | ByteSource(*ip, fp)));
    REG_NEXT();
  }
  REG_CASE(XorB) {
    values::Store(REG_F(ip->a),
                  static_cast<std::uint8_t>(values::Load<std::uint8_t>(REG_F(ip->a)) ^ ByteSource(*ip, fp)));
    REG_NEXT();
  }

  // --- Strings ---------------------------------------------------------------------------

  REG_CASE(MovStr) {
    // dest := source for two strings: the block is shared, as a copy of the value shares it.
    std::uint8_t* dest = At(fp, ip->a, (ip->sub & 1) != 0);
    auto* shared = values::Load<values::StringBlock*>(At(fp, ip->b, (ip->sub & 2) != 0));
    auto* old = values::Load<values::StringBlock*>(dest);
    values::RetainString(shared);
    values::Store(dest, shared);
    values::ReleaseString(old);
    REG_NEXT();
  }
  REG_CASE(CmpStr) {
    const std::string_view left = values::StringAt(At(fp, ip->b, (ip->size & 1) != 0));
    const std::string_view right = values::StringAt(At(fp, ip->c, (ip->size & 2) != 0));
    const int order = left.compare(right);
    values::Store(REG_F(ip->a), static_cast<std::uint8_t>(Holds(ip->sub, order, 0)));
    REG_NEXT();
  }
  REG_CASE(AppendChar) {
    std::uint8_t* dest = nullptr;
    if (ip->sub == 2) {
      dest = Target(REG_F(ip->a), image::tcString, IsInteger32);
      if (dest == nullptr) goto deopt;
    } else {
      dest = At(fp, ip->a, ip->sub == 1);
    }
    const auto character = static_cast<char>(ip->size == 2 ? static_cast<std::uint8_t>(ip->b)
                                                           : values::Load<std::uint8_t>(At(fp, ip->b, ip->size == 1)));
    if (!Guarded([dest, character] { values::AppendStringAt(dest, std::string_view(&character, 1)); })) goto fault;
    REG_NEXT();
  }
  REG_CASE(StrLen) {
    // In place of a call, and counted as one; where the call would stop, the byte code makes it.
    if (x_.NextTickStops()) goto deopt;
    x_.TakeTick();
    values::Store(At(fp, ip->a, (ip->sub & 1) != 0), static_cast<std::uint32_t>(values::StringAt(REG_F(ip->b)).size()));
    REG_NEXT();
  }
  REG_CASE(StrGet) {
    if (x_.NextTickStops()) goto deopt;
    const std::string_view text = values::StringAt(At(fp, ip->b, (ip->sub & 2) != 0));
    const auto index = static_cast<std::int32_t>(values::Load<std::uint32_t>(REG_F(ip->c)));
    if (index < 1 || static_cast<std::size_t>(index) > text.size()) goto deopt;
    x_.TakeTick();
    values::Store(At(fp, ip->a, (ip->sub & 1) != 0),
                  static_cast<std::uint8_t>(text[static_cast<std::size_t>(index) - 1]));
    REG_NEXT();
  }

  // --- Any types -------------------------------------------------------------------------

  REG_CASE(Assign) REG_OUTCOME(RunValueOperation(*code, *ip, fp));
  REG_CASE(Calculate) REG_OUTCOME(RunValueOperation(*code, *ip, fp));
  REG_CASE(Compare) REG_OUTCOME(RunValueOperation(*code, *ip, fp));
  REG_CASE(Increment) REG_OUTCOME(RunValueOperation(*code, *ip, fp));
  REG_CASE(Decrement) REG_OUTCOME(RunValueOperation(*code, *ip, fp));
  REG_CASE(JumpIfTrue) {
    switch (SmallIntegerAt(*code, *ip, fp)) {
      case kFalse: REG_NEXT();
      case kTrue: REG_JUMP(ip->target);
      default: goto deopt;
    }
  }
  REG_CASE(JumpIfFalse) {
    switch (SmallIntegerAt(*code, *ip, fp)) {
      case kTrue: REG_NEXT();
      case kFalse: REG_JUMP(ip->target);
      default: goto deopt;
    }
  }
  REG_CASE(SetFlag) {
    const Truth truth = SmallIntegerAt(*code, *ip, fp);
    if (truth == kNotSmallInteger) goto deopt;
    x_.flag_ = (truth == kTrue) != (ip->sub != 0);
    REG_NEXT();
  }

#if !DRAVIK_COMPUTED_GOTO
    default:
      goto deopt;
  }
#endif

deopt:
  Sync(*code, ip->sync, fp, fb);
  return Exit::kDeopt;

ref_this:
  // The byte code runs this one instruction and the outer loop goes on from wherever it leads.
  Sync(*code, ip->sync, fp, fb);
  return Exit::kDeopt;

fault:
  // A value operation failed: reported as the byte code reports it, after the instruction's
  // operands, with the frame as it was before the instruction.
  Sync(*code, ip->sync, fp, fb);
  x_.position_ = static_cast<std::uint32_t>(ip->target);
  x_.ReportCaughtException(caught_);
  return Exit::kLeft;

stop_at_jump:
  Sync(*code, ip->targetSync, fp, fb);
  x_.StopRun();
  return Exit::kLeft;
}

}  // namespace dravik::engine::exec

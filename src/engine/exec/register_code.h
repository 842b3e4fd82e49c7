#pragma once
// The register form of a procedure: what the register machine (register_loop.cpp) runs instead
// of the byte code, made once per procedure by the translator (translator.h).
//
// A frame is one block of the stack's current segment. Every slot the byte code pushes has a
// fixed place in it (frame_layout.h), so an instruction names its operands by their offset from
// the frame's first local ("F"), by their address when they never move (globals and constants,
// "G"), or carries them ("K", 32-bit immediates). Parameters lie below the return address, at
// negative offsets. Instructions are specialised by the types the translator knows; whatever
// it does not know is checked where it is used, and a failed check leaves the work to the byte
// code (a deopt), which reports every fault exactly as it always does.
//
// The slot table of the stack is brought up to date only where something may look at it (a
// call, a host routine, an instruction run from its bytes, a deopt): a sync point writes the
// entries of the slots pushed since the last one and sets the top.
//
// Byte-code instructions are translated in groups; a group starts at an instruction boundary
// of the byte code, and a deopt anywhere in a group goes back to the group's start, where the
// frame is exactly as the byte code would have it (nothing a group does before its last
// possible deopt can be seen from outside the group).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/exec/frame_layout.h"
#include "engine/values/type_records.h"

namespace dravik::engine::exec {

class TPSProcRec;
class RegisterCode;
class TPSInternalProcRec;

// How a frame runs; kept in its return address (ReturnAddressLayout::kFrameMode), and for the
// main procedure's frame in the executor.
enum class FrameMode : std::uint8_t {
  kUnchecked = 0,  // entered from the byte code; the register machine looks at it on entry
  kRegister = 1,   // laid out as its register code expects
  kByteCode = 2,   // runs from its byte code until it returns
};

// A 32-bit integer binary operation of the register form: dest := a op b, with a and b each a
// frame slot, an address or an immediate.
#define DRAVIK_REG_I32_BINARY(X, M) \
  M(X, Add) M(X, Sub) M(X, Mul) M(X, And) M(X, Or) M(X, Xor) M(X, Shl) M(X, ShrS) M(X, ShrU) \
  M(X, DivS) M(X, DivU) M(X, ModS) M(X, ModU)

// The operand modes of the two sources (F frame, G address, K immediate; never both K).
#define DRAVIK_REG_AB_MODES(X, NAME) \
  X(NAME##FF) X(NAME##FG) X(NAME##FK) X(NAME##GF) X(NAME##GG) X(NAME##GK) X(NAME##KF) X(NAME##KG)

// Every instruction of the register form.
#define DRAVIK_REG_OPS(X)                                                                     \
  /* Leaving the register form: back to the group's start and on from the byte code; run one  \
     instruction from its bytes and come back. */                                             \
  X(Deopt) X(Ref)                                                                              \
  /* Control: target is an instruction index; backward jumps count towards a stop request. */  \
  X(Goto) X(JumpIfFlag) X(JumpIfNotFlag)                                                       \
  X(JumpIfZero8) X(JumpIfNotZero8) X(JumpIfZero32) X(JumpIfNotZero32)                          \
  /* Compare and jump (size bit 0: jump when the comparison fails; bit 1: set the flag too);    \
     the truth is stored as the comparison into a byte would store it. */                      \
  DRAVIK_REG_AB_MODES(X, CmpJumpS) DRAVIK_REG_AB_MODES(X, CmpJumpU) DRAVIK_REG_AB_MODES(X, CmpJumpB) \
  X(CallScript) X(CallHost) X(Return)                                                          \
  /* Slots: a push clears the new slot, a pop releases what it holds. */                      \
  X(Clear8) X(ClearN) X(ClearPointer) X(Release)                                                               \
  /* Pointer slots. A pointer made inside a group is borrowed: it holds no reference on what   \
     keeps its target alive until Own takes one, at the latest where the group ends. */        \
  X(PointToVar) X(PointToCopy) X(PointToElemF) X(PointToElemK) X(Own) X(PushPointerCopy)       \
  /* 32-bit integers. */                                                                      \
  X(Mov32FF) X(Mov32FG) X(Mov32FK) X(Mov32GF) X(Mov32GG) X(Mov32GK)                           \
  X(Mov8FF) X(Mov8FG) X(Mov8FK) X(Mov8GF) X(Mov8GG) X(Mov8GK)                                 \
  DRAVIK_REG_I32_BINARY(X, DRAVIK_REG_AB_MODES)                                                \
  X(Inc32F) X(Dec32F) X(Inc32G) X(Dec32G)                                                      \
  DRAVIK_REG_AB_MODES(X, CmpS) DRAVIK_REG_AB_MODES(X, CmpU)                                    \
  X(SetFlag8) X(SetFlag32)                                                                     \
  /* Bytes: booleans and characters. */                                                       \
  DRAVIK_REG_AB_MODES(X, CmpB) X(AndB) X(OrB) X(XorB)                                          \
  /* Through a pointer slot whose target must be of the expected type. */                     \
  X(LoadVia32) X(StoreVia32F) X(StoreVia32K) X(LoadVia8) X(StoreVia8F) X(StoreVia8K)           \
  /* At a place: an element or field of a variable, found without making a pointer (RPlace). */\
  X(LoadPlace32) X(StorePlace32F) X(StorePlace32K) X(LoadPlace8) X(StorePlace8F) X(StorePlace8K) \
  X(CheckPlace) X(PointToPlace)                                                                \
  /* Strings: operands are frame slots or addresses as mode bits say (register_loop.cpp). */   \
  X(MovStr) X(CmpStr) X(AppendChar) X(StrLen) X(StrGet)                                        \
  /* Any types, by the value operations; operands are resolved at run time (RLoc). */          \
  X(Assign) X(Calculate) X(Compare) X(Increment) X(Decrement) X(JumpIfTrue) X(JumpIfFalse)     \
  X(SetFlag)

enum class RegOp : std::uint16_t {
#define DRAVIK_REG_OP_ENUM(name) k##name,
  DRAVIK_REG_OPS(DRAVIK_REG_OP_ENUM)
#undef DRAVIK_REG_OP_ENUM
      kCount
};

// Conditions of CmpJump and Cmp: bit (r + 1) of the mask is set when the condition holds for
// the three-way result r (-1 less, 0 equal, 1 greater).
inline constexpr std::uint8_t kCondMask[6] = {
    0b110,  // >=
    0b011,  // <=
    0b100,  // >
    0b001,  // <
    0b101,  // <>
    0b010,  // =
};

// An operand of the generic instructions, resolved at run time as the byte code resolves it:
// a variable (a frame slot or an address), followed if it holds a pointer, then narrowed to an
// element or field by a fixed index or by the value of an index variable.
struct RLoc {
  enum class Base : std::uint8_t { kFrame, kAddress };
  enum class Select : std::uint8_t { kWhole, kIndex, kIndexVariable };
  Base base = Base::kFrame;
  Select select = Select::kWhole;
  bool follow = true;  // a source or destination: a pointer stands for its target
  std::intptr_t at = 0;  // frame offset or address of the variable
  const values::TPSTypeRec* type = nullptr;  // of the variable
  std::uint32_t index = 0;            // kIndex
  Base indexBase = Base::kFrame;      // kIndexVariable: where the index variable lives
  std::intptr_t indexAt = 0;
  const values::TPSTypeRec* indexType = nullptr;
};

// A place the byte code reaches through a chain of OpSetPointer instructions: a variable (a frame
// slot, an address, or the target of a pointer slot), then at most one element selected by an
// index, then fields (a byte offset). The register form reads and writes it directly and makes
// the pointer only when something else needs it.
struct RPlace {
  enum class Base : std::uint8_t { kFrame, kAddress, kPointer };
  enum class Index : std::uint8_t { kNone, kFrame, kAddress, kImmediate };
  Base base = Base::kFrame;
  Index index = Index::kNone;
  bool dynamicArray = false;  // the variable holds a dynamic array: the element lies in its block
  std::intptr_t at = 0;       // the variable: frame offset, address, or the pointer slot's offset
  // kPointer: the type the pointer's target must have; otherwise the variable's type.
  const values::TPSTypeRec* baseType = nullptr;
  std::intptr_t indexAt = 0;     // frame offset, address or the index itself
  std::uint32_t count = 0;       // static arrays: the element count
  std::uint32_t elementSize = 0;
  const values::TPSTypeRec* element = nullptr;  // dynamic arrays: what a pointer to an element keeps
  std::int32_t offset = 0;       // into the element (or the variable)
  const values::TPSTypeRec* type = nullptr;  // of the value at the place
  std::int32_t relative = 0;     // kFrame: the variable's slot index from the frame base
};

struct RInstr {
  RegOp op = RegOp::kDeopt;
  std::uint8_t sub = 0;   // CalcOp, condition mask, invert byte, byte count
  std::uint8_t size = 0;  // bytes of a slot to clear
  std::int32_t group = 0;  // the group the instruction belongs to
  std::intptr_t a = 0, b = 0, c = 0;  // operands; for generic instructions indexes of RLocs
  std::int32_t target = -1;  // jumps: instruction index
  std::int32_t d = 0;        // pointer instructions: the pointer slot's index from the frame base
  std::int32_t sync = -1;    // the sync point of the group's start
  // Jumps: the sync point of the group jumped to. Groups that hold no instruction (a run of
  // no-ops) share their first instruction with the next group, so `target` alone cannot tell
  // the position a stop at the jump reports.
  std::int32_t targetSync = -1;
  const void* p = nullptr;   // a type record, a procedure record
  // CallScript: the callee's register form once a call from here was found to fit it (its
  // parameters are this frame's slots, whose layout at the call never changes).
  mutable const RegisterCode* callee = nullptr;
};

// A place where the slot table is brought up to date: the entries from `firstEntry` for
// `entryCount` slots (of the translation's entry pool), the top at `depth` slots whose values
// end at `end`, and the byte-code position the executor shows.
struct SyncPoint {
  std::uint32_t position = 0;
  std::uint32_t depth = 0;
  std::int32_t end = 0;
  std::uint32_t firstEntry = 0;
  std::uint32_t entryCount = 0;
  std::int32_t layout = kEmptyLayout;  // the frame's slots, for checks
};

// A slot entry to write at a sync point: its index in the frame, type and offset.
struct SyncEntry {
  std::uint32_t index;
  const values::TPSTypeRec* type;
  std::int32_t offset;
};

// A group: where it starts in the byte code and how the frame is there.
struct RGroup {
  std::int32_t sync = -1;  // the group start's sync point
  std::int32_t first = 0;  // its first instruction
};

class RegisterCode {
 public:
  std::vector<RInstr> code;
  std::vector<RGroup> groups;
  std::vector<SyncPoint> syncs;
  std::vector<SyncEntry> entries;
  std::vector<RLoc> locs;
  std::vector<RPlace> places;
  // Per byte-code position (and the end of the code): the group that starts there,
  // kInsideGroup for another instruction the translation followed, kNotAnalyzed otherwise.
  static constexpr std::int32_t kNotAnalyzed = -1;
  static constexpr std::int32_t kInsideGroup = -2;
  std::vector<std::int32_t> groupAt;
  LayoutPool layouts;

  // The parameters the translation was made for, P1 first: their types and where their values
  // start, as negative offsets from the first local.
  std::vector<const values::TPSTypeRec*> paramTypes;
  std::vector<std::int32_t> paramOffsets;
  // The most slots and bytes the frame takes (a call's return address included).
  std::uint32_t maxDepth = 0;
  std::int32_t frameBytes = 0;

  // The opcodes (OpcodeBit) that the translation turned into register instructions somewhere,
  // and those it left to reference steps somewhere.
  std::uint32_t translatedOpcodes = 0;
  std::uint32_t referenceOpcodes = 0;

  // Owned values of inline constants, referred to by address.
  struct Constant;
  std::vector<std::unique_ptr<Constant>> constants;

  RegisterCode();
  ~RegisterCode();
  RegisterCode(const RegisterCode&) = delete;
  RegisterCode& operator=(const RegisterCode&) = delete;

  // The group that starts at position; -1 when none does.
  std::int32_t GroupAt(std::uint32_t position) const {
    return position < groupAt.size() && groupAt[position] >= 0 ? groupAt[position] : -1;
  }
  // Whether the translation followed the code to an instruction that starts at position.
  bool Analyzed(std::uint32_t position) const {
    return position < groupAt.size() && groupAt[position] != kNotAnalyzed;
  }
};

}  // namespace dravik::engine::exec

#pragma once
// The value tree: one compiled expression. Each node keeps the source position it was made at,
// which messages about the node use. A tree owns its children.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "engine/compiler/node_pool.h"
#include "engine/compiler/types.h"

namespace dravik::engine::compiler {

enum class ValueKind : std::uint8_t {
  GlobalVar, LocalVar, ParamVar, AllocatedStackVar,  // TPSValueVar
  Data, Replace, UnOp, BinOp, Nil, ProcPtr, ProcNo, ProcVal, Array,
};

enum TPSBinOperator : std::uint8_t {
  otAdd = 0, otSub = 1, otMul = 2, otDiv = 3, otMod = 4, otShl = 5, otShr = 6, otAnd = 7,
  otOr = 8, otXor = 9, otAs = 10, otGreaterEqual = 11, otLessEqual = 12, otGreater = 13,
  otLess = 14, otEqual = 15, otNotEqual = 16, otIs = 17, otIn = 18,
};

enum TPSUnOperator : std::uint8_t { otNot = 0, otMinus = 1, otCast = 2 };

// The operators whose left-associative runs (a + b + c ..., s + t + u ...) are flat: a node's
// left operand counts as the same level of nesting, and every walk over a tree goes down the
// left side of such runs in a loop, so that a run of any length needs no deeper native stack.
inline bool ChainsLeft(TPSBinOperator op) { return op <= otXor; }

struct TPSSourcePosition {
  std::uint32_t offset = 0;
  std::uint32_t row = 0;
  std::uint32_t column = 0;
};

class TPSValue {
 public:
  TPSValue(ValueKind k, TPSSourcePosition at) : kind(k), pos(at) {}
  virtual ~TPSValue() = default;
  TPSValue(const TPSValue&) = delete;
  TPSValue& operator=(const TPSValue&) = delete;

  // A node on the heap lives in its compilation's NodePool (Compilation::NewNode); deleting it
  // gives its block back to that pool.
  static void* operator new(std::size_t size, NodePool& pool);
  static void operator delete(void* node);
  static void operator delete(void* node, NodePool& pool);  // a constructor that throws

  bool IsVar() const { return kind <= ValueKind::AllocatedStackVar; }

  const ValueKind kind;
  TPSSourcePosition pos;
  // Nesting of the tree below this node, flat runs counted once (ChainsLeft); bounded so that
  // walking it cannot exhaust the stack.
  std::uint32_t depth = 1;
};

using ValuePtr = std::unique_ptr<TPSValue>;

class TPSSubItem {
 public:
  explicit TPSSubItem(TPSType* selected) : type(selected) {}
  virtual ~TPSSubItem() = default;
  virtual bool IsNumber() const = 0;
  TPSType* type;
};

class TPSSubNumber final : public TPSSubItem {
 public:
  TPSSubNumber(TPSType* selected, std::uint32_t n) : TPSSubItem(selected), number(n) {}
  bool IsNumber() const override { return true; }
  std::uint32_t number;
};

class TPSSubValue final : public TPSSubItem {
 public:
  TPSSubValue(TPSType* selected, ValuePtr index) : TPSSubItem(selected), value(std::move(index)) {}
  bool IsNumber() const override { return false; }
  ValuePtr value;
};

// The access path into a value, applied left to right.
using TPSSelectors = std::vector<std::unique_ptr<TPSSubItem>>;

// Global, local, parameter and temporary variables; index is the kind's own numbering.
class TPSValueVar final : public TPSValue {
 public:
  TPSValueVar(ValueKind k, TPSSourcePosition at, std::uint32_t i) : TPSValue(k, at), index(i) {}
  std::uint32_t index;
  TPSSelectors selectors;
};

class TPSValueData final : public TPSValue {
 public:
  TPSValueData(TPSSourcePosition at, TPSTypedValue v) : TPSValue(ValueKind::Data, at), value(std::move(v)) {}
  TPSTypedValue value;
  // An integer constant folded from a '/' of integers (or from a sum, difference or product over
  // such a one): what the same arithmetic gives in reals, the value it takes where it goes into
  // a real.
  std::optional<long double> realValue;
};

// Stands a computed temporary or constant (new value) in for a sub-tree (old value).
class TPSValueReplace final : public TPSValue {
 public:
  TPSValueReplace(TPSSourcePosition at, ValuePtr oldOne, ValuePtr newOne)
      : TPSValue(ValueKind::Replace, at), oldValue(std::move(oldOne)), newValue(std::move(newOne)) {}
  ValuePtr oldValue;
  ValuePtr newValue;
  std::int32_t useCount = 1;
};

class TPSUnValueOp final : public TPSValue {
 public:
  TPSUnValueOp(TPSSourcePosition at, TPSUnOperator o, ValuePtr v, TPSType* t)
      : TPSValue(ValueKind::UnOp, at), operand(std::move(v)), op(o), resultType(t) {
    depth = operand->depth + 1;
  }
  ValuePtr operand;
  TPSUnOperator op;
  TPSType* resultType;
};

class TPSBinValueOp final : public TPSValue {
 public:
  TPSBinValueOp(TPSSourcePosition at, TPSBinOperator o, ValuePtr l, ValuePtr r, TPSType* t, bool s = false)
      : TPSValue(ValueKind::BinOp, at), left(std::move(l)), right(std::move(r)), op(o), resultType(t), slash(s) {
    depth = ChainsLeft(op) ? std::max(left->depth, right->depth + 1) : std::max(left->depth, right->depth) + 1;
  }
  // A long run hangs down the left side; it is taken apart in a loop.
  ~TPSBinValueOp() override {
    ValuePtr next = std::move(left);
    while (next != nullptr && next->kind == ValueKind::BinOp) next = std::move(static_cast<TPSBinValueOp&>(*next).left);
  }
  TPSBinValueOp(const TPSBinValueOp&) = delete;
  TPSBinValueOp& operator=(const TPSBinValueOp&) = delete;

  ValuePtr left;
  ValuePtr right;
  TPSBinOperator op;
  TPSType* resultType;
  // Written '/' rather than div: on integers it divides as reals where its value goes into a
  // real, and as integers elsewhere.
  bool slash;
};

// An integer '+', '-', '*' or '/' (not div): the operators of an integer computation that goes
// into a real as a whole when a '/' is part of it.
inline bool JoinsRealDivision(const TPSBinValueOp& node) {
  return IsIntegerCode(node.resultType->baseType) &&
         (node.op == otAdd || node.op == otSub || node.op == otMul || (node.op == otDiv && node.slash));
}

class TPSValueNil final : public TPSValue {
 public:
  explicit TPSValueNil(TPSSourcePosition at) : TPSValue(ValueKind::Nil, at) {}
};

class TPSValueProcPtr final : public TPSValue {
 public:
  TPSValueProcPtr(TPSSourcePosition at, std::uint32_t n) : TPSValue(ValueKind::ProcPtr, at), procNo(n) {}
  std::uint32_t procNo;
};

struct TPSParameter {
  ValuePtr value;
  TPSParameterMode mode = pmIn;
  TPSType* expectedType = nullptr;
};

// A call of a routine by number (ProcNo) or through a procedural value (ProcVal).
class TPSValueProc final : public TPSValue {
 public:
  TPSValueProc(ValueKind k, TPSSourcePosition at) : TPSValue(k, at) {}
  std::vector<TPSParameter> arguments;
  TPSType* resultType = nullptr;
  std::uint32_t procNo = 0;   // ProcNo
  ValuePtr procValue;         // ProcVal
  TPSSelectors selectors;     // a field or element of the result
};

class TPSValueArray final : public TPSValue {
 public:
  explicit TPSValueArray(TPSSourcePosition at) : TPSValue(ValueKind::Array, at) {}
  std::vector<ValuePtr> elements;
};

inline TPSValueVar& AsVar(TPSValue& v) { return static_cast<TPSValueVar&>(v); }

}  // namespace dravik::engine::compiler

#pragma once
// The operations the machine applies to values: assignment with conversion, the OpCalculate
// operators, comparison, the unary operators, and the turning of plain values into variants.
//
// Operands are ValueRefs: the value's bytes and its type record. A reference whose type is
// tcPointer stands for the pointer itself; the operations follow it to its target where the
// rules say "a source of base type tcPointer is first replaced by its target" (a null target
// fails like an unconvertible source).
//
// Failures are thrown (script_fault.h): ScriptFault with the code the rules name (ErTypeMismatch,
// ErDivideByZero, ErMathError, erOutofRecordRange, erInterfaceNotSupported, erOutOfMemory,
// erInvalidOpcodeParameter), HostException("Type Mismatch") where the rules raise that message.
// A failed operation leaves its destination either unchanged or holding a valid value; it never
// leaves half-released references behind.

#include <cstdint>
#include <string_view>

#include "engine/image/format.h"
#include "engine/values/type_records.h"

namespace dravik::engine::values {

struct ValueRef {
  void* data = nullptr;
  const TPSTypeRec* type = nullptr;
};

// What the operations need to know of the executor they run in.
class ValueEnvironment {
 public:
  virtual ~ValueEnvironment() = default;
  // The image's type record of that number; null when there is none.
  virtual const TPSTypeRec* TypeByNumber(std::uint32_t number) const = 0;
  // The executor's own tcVariant record (the element type of variant arrays).
  virtual const TPSTypeRec& VariantType() const = 0;
  // Whether a non-null object is of the named class, among the classes the host made known.
  virtual bool IsObjectOfClass(const void* object, std::string_view className) const = 0;
};

// Follows a tcPointer reference to its target (unchanged for any other type); a null target
// gives a null reference.
ValueRef FollowPointer(ValueRef value);

// dest := source by the assignment rules. dest is never a pointer here: the machine follows it.
void AssignValue(ValueRef dest, ValueRef source, const ValueEnvironment& env);

// dest := dest op source by the arithmetic rules (CalcOp bytes above 10 are the caller's to
// refuse).
void CalculateValue(image::CalcOp op, ValueRef dest, ValueRef source, const ValueEnvironment& env);

// left op right by the comparison rules.
bool CompareValues(image::CompareOp op, ValueRef left, ValueRef right, const ValueEnvironment& env);

// The unary operators, in place.
void BooleanNotValue(ValueRef value);
void NegateValue(ValueRef value);
void IntegerNotValue(ValueRef value);
void IncrementValue(ValueRef value);
void DecrementValue(ValueRef value);

// Writes into the variant at `variant` the value turned into a variant (values meeting a
// variant); ErTypeMismatch for a type with no variant form.
void ValueToVariant(void* variant, ValueRef value);

}  // namespace dravik::engine::values

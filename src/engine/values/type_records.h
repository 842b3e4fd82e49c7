#pragma once
// Runtime type records: what the executor knows of each type of a loaded image.
//
// Every value is laid out by its record. Two sizes are kept: `size`, the value size of the image
// format (the size scripts see through SizeOf, the same on every build), and `memSize`, the bytes
// the value takes in this process, where references are native pointers. Records and static
// arrays are packed with no padding in both; all value access goes through Load/Store
// (value_memory.h), so no field needs alignment.
//
// Every default value is all zero bytes: zero numbers, null references (empty strings, arrays,
// pointers), the unassigned variant and the empty set. So initialising a value is clearing its
// bytes, and only types with `needsFinalization` ever need more than that when they die.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/image/format.h"

namespace dravik::engine::values {

class TPSTypeRec;

// One typed value of an attribute, kept as the image encodes it.
struct TPSAttributeValue {
  const TPSTypeRec* type = nullptr;
  std::string bytes;
};

struct TPSRuntimeAttribute {
  std::string name;
  std::uint32_t nameHash = 0;
  std::vector<TPSAttributeValue> values;
};
using TPSRuntimeAttributes = std::vector<TPSRuntimeAttribute>;

// Values larger than this are refused (erOutOfMemory): a type of the image may describe more
// bytes than any process can hold, and such a value must fail cleanly, not abort the host.
inline constexpr std::uint64_t kMaxValueMemSize = 64u << 20;
// Values nest (records in records, arrays of arrays) no deeper than this, counting the outermost
// value as 1: finalising and copying walk the nesting recursively, so an image's types must not
// be able to take the native stack with them.
inline constexpr std::uint32_t kMaxTypeNesting = 64;

class TPSTypeRec {
 public:
  // Fixed-size codes have their sizes at once; records, static arrays and sets call CalcSize
  // once their body is filled in.
  explicit TPSTypeRec(image::TPSTypeCode code);
  virtual ~TPSTypeRec() = default;
  TPSTypeRec(const TPSTypeRec&) = delete;
  TPSTypeRec& operator=(const TPSTypeRec&) = delete;

  // Sets size, memSize, needsFinalization and nesting from the code and the body. False when
  // the value would exceed kMaxValueMemSize or nest deeper than kMaxTypeNesting.
  virtual bool CalcSize();

  image::TPSTypeCode baseType;
  std::uint32_t size = 0;
  std::size_t memSize = 0;
  bool needsFinalization = false;
  std::uint32_t nesting = 1;  // levels of values inside values, this one included
  std::string exportName;  // upper case as the image holds it; empty when not exported
  std::uint32_t exportNameHash = 0;
  TPSRuntimeAttributes attributes;
};

class TPSTypeRec_Record : public TPSTypeRec {
 public:
  TPSTypeRec_Record() : TPSTypeRec(image::tcRecord) {}
  bool CalcSize() override;

  std::vector<const TPSTypeRec*> fields;
  std::vector<std::uint32_t> fieldOffsets;     // by the image format's sizes
  std::vector<std::size_t> fieldMemOffsets;    // in memory
};

class TPSTypeRec_Array : public TPSTypeRec {
 public:
  explicit TPSTypeRec_Array(const TPSTypeRec* element, image::TPSTypeCode code = image::tcArray)
      : TPSTypeRec(code), element(element) {}
  bool CalcSize() override;

  const TPSTypeRec* element;
};

class TPSTypeRec_StaticArray : public TPSTypeRec_Array {
 public:
  TPSTypeRec_StaticArray(const TPSTypeRec* element, std::uint32_t count)
      : TPSTypeRec_Array(element, image::tcStaticArray), count(count) {}
  bool CalcSize() override;

  std::uint32_t count;
};

class TPSTypeRec_Set : public TPSTypeRec {
 public:
  explicit TPSTypeRec_Set(std::uint32_t bitCount)
      : TPSTypeRec(image::tcSet), bitCount(bitCount), byteSize(image::SetByteSize(bitCount)) {}
  bool CalcSize() override;

  std::uint32_t bitCount;
  std::uint32_t byteSize;
};

class TPSTypeRec_ProcPtr : public TPSTypeRec {
 public:
  explicit TPSTypeRec_ProcPtr(std::string declaration)
      : TPSTypeRec(image::tcProcPtr), declaration(std::move(declaration)) {}

  std::string declaration;  // call declaration: result byte, then one byte per parameter
};

class TPSTypeRec_Class : public TPSTypeRec {
 public:
  explicit TPSTypeRec_Class(std::string className) : TPSTypeRec(image::tcClass), className(std::move(className)) {}

  std::string className;
};

class TPSTypeRec_Interface : public TPSTypeRec {
 public:
  explicit TPSTypeRec_Interface(const std::array<std::uint8_t, image::kInterfaceGuidSize>& guid)
      : TPSTypeRec(image::tcInterface), guid(guid) {}

  std::array<std::uint8_t, image::kInterfaceGuidSize> guid;
};

// Bytes a value of a fixed-size code takes in memory (0 for records, static arrays and sets,
// whose size follows from their body).
std::size_t MemorySizeOf(image::TPSTypeCode code);

// Whether values of the code hold references that must be released (false for records and
// static arrays, whose CalcSize decides by their fields).
bool CodeNeedsFinalization(image::TPSTypeCode code);

// ---------------------------------------------------------------------------------------------
// In-memory layouts of the composite fixed-size values. Each is a sequence of fields read and
// written with Load/Store at these offsets.

// tcPointer: see pointer_value.h.

// tcProcPtr: procedure number, object reference, code address.
struct ProcPtrLayout {
  static constexpr std::size_t kProcNo = 0;
  static constexpr std::size_t kObject = 4;
  static constexpr std::size_t kCode = 4 + sizeof(void*);
  static constexpr std::size_t kSize = 4 + 2 * sizeof(void*);
};

// tcReturnAddress: procedure record (null for a frame pushed by the host), position, frame base;
// then what the register machine keeps of the two frames it separates: where the caller goes on
// in its register code (-1: the caller runs from the byte code), and how the callee's own frame
// runs (FrameMode, register_code.h).
struct ReturnAddressLayout {
  static constexpr std::size_t kProc = 0;
  static constexpr std::size_t kPosition = sizeof(void*);
  static constexpr std::size_t kFrameBase = sizeof(void*) + 4;
  static constexpr std::size_t kResume = sizeof(void*) + 8;
  static constexpr std::size_t kFrameMode = sizeof(void*) + 12;
  static constexpr std::size_t kSize = sizeof(void*) + 13;
};

inline constexpr std::size_t kVariantMemSize = 16;
inline constexpr std::size_t kExtendedMemSize = 10;  // the 80-bit format's bytes

}  // namespace dravik::engine::values

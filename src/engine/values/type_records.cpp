#include "engine/values/type_records.h"

#include <algorithm>

#include "engine/values/pointer_value.h"

namespace dravik::engine::values {

namespace {

// A composite's two sizes, summed in 64 bits so that no image can wrap them around.
struct CompositeSize {
  std::uint64_t size = 0;
  std::uint64_t memSize = 0;

  bool Fits() const { return size <= 0xFFFFFFFFu && memSize <= kMaxValueMemSize; }
};

// The nesting of a value holding values of the inner nesting; 0 when that is too deep.
std::uint32_t NestingAround(std::uint32_t inner) { return inner < kMaxTypeNesting ? inner + 1 : 0; }

// Stores the sizes when they fit.
bool ApplySize(TPSTypeRec& type, const CompositeSize& total) {
  if (!total.Fits()) return false;
  type.size = static_cast<std::uint32_t>(total.size);
  type.memSize = static_cast<std::size_t>(total.memSize);
  return true;
}

}  // namespace

TPSTypeRec::TPSTypeRec(image::TPSTypeCode code) : baseType(code) {
  // The fixed-size codes need no body, so their sizes are known at once; composites call
  // their own CalcSize once the body is filled in.
  TPSTypeRec::CalcSize();
}

bool TPSTypeRec::CalcSize() {
  const image::TypeCodeInfo* info = image::FindTypeCode(baseType);
  size = info == nullptr ? 0 : info->valueSize;
  memSize = MemorySizeOf(baseType);
  needsFinalization = CodeNeedsFinalization(baseType);
  nesting = 1;
  return true;
}

bool TPSTypeRec_Array::CalcSize() {
  TPSTypeRec::CalcSize();
  nesting = NestingAround(element->nesting);
  return nesting != 0;
}

bool TPSTypeRec_Record::CalcSize() {
  CompositeSize total;
  needsFinalization = false;
  std::uint32_t innermost = 0;
  fieldOffsets.clear();
  fieldMemOffsets.clear();
  for (const TPSTypeRec* field : fields) {
    fieldOffsets.push_back(static_cast<std::uint32_t>(total.size));
    fieldMemOffsets.push_back(static_cast<std::size_t>(total.memSize));
    total.size += field->size;
    total.memSize += field->memSize;
    if (!total.Fits()) return false;
    needsFinalization = needsFinalization || field->needsFinalization;
    innermost = std::max(innermost, field->nesting);
  }
  nesting = NestingAround(innermost);
  return nesting != 0 && ApplySize(*this, total);
}

bool TPSTypeRec_StaticArray::CalcSize() {
  CompositeSize total{std::uint64_t{element->size} * count, std::uint64_t{element->memSize} * count};
  needsFinalization = count != 0 && element->needsFinalization;
  nesting = NestingAround(element->nesting);
  return nesting != 0 && ApplySize(*this, total);
}

bool TPSTypeRec_Set::CalcSize() {
  size = byteSize;
  memSize = byteSize;
  needsFinalization = false;
  return true;
}

std::size_t MemorySizeOf(image::TPSTypeCode code) {
  switch (code) {
    case image::tcString:
    case image::tcWideString:
    case image::tcArray:
    case image::tcPChar:
    case image::tcClass:
    case image::tcInterface:
      return sizeof(void*);
    case image::tcPointer: return PointerLayout::kSize;
    case image::tcProcPtr: return ProcPtrLayout::kSize;
    case image::tcReturnAddress: return ReturnAddressLayout::kSize;
    case image::tcVariant: return kVariantMemSize;
    case image::tcExtended: return kExtendedMemSize;
    default: {
      const image::TypeCodeInfo* info = image::FindTypeCode(code);
      return info == nullptr ? 0 : info->valueSize;
    }
  }
}

bool CodeNeedsFinalization(image::TPSTypeCode code) {
  switch (code) {
    case image::tcString:
    case image::tcWideString:
    case image::tcPChar:
    case image::tcArray:
    case image::tcPointer:
    case image::tcVariant:
    case image::tcInterface:
      return true;
    default:
      // Records and static arrays decide by their fields (CalcSize).
      return false;
  }
}

}  // namespace dravik::engine::values

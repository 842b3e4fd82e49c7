#include "engine/values/value_memory.h"

#include <algorithm>
#include <limits>

#include "engine/values/memory_budget.h"
#include "engine/values/pointer_value.h"
#include "engine/values/script_fault.h"
#include "engine/values/variant.h"

namespace dravik::engine::values {

// Both builds keep long double in the x87 format, whose first 10 bytes (little-endian) are the
// stored value; the rest of a long double is padding.
static_assert(std::numeric_limits<long double>::digits == 64, "Extended needs the x87 80-bit format");
static_assert(sizeof(long double) >= kExtendedMemSize);

Extended LoadExtended(const void* at) {
  Extended value = 0;
  std::memcpy(&value, at, kExtendedMemSize);
  return value;
}

void StoreExtended(void* at, Extended value) { std::memcpy(at, &value, kExtendedMemSize); }

namespace {

// A count that reached the top stops counting and the block is kept for good: leaking one block
// is better than wrapping a signed count.
template <class Block>
void RetainBlock(Block* block) {
  if (block == nullptr || block->refCount < 0) return;
  if (block->refCount == std::numeric_limits<std::int32_t>::max())
    block->refCount = -1;
  else
    ++block->refCount;
}

// True when the reference dropped was the last one.
template <class Block>
bool DropReference(Block* block) {
  if (block == nullptr || block->refCount < 0) return false;
  return --block->refCount == 0;
}

template <class Block>
std::size_t TextBlockBytes(std::size_t capacity) {
  using Unit = std::remove_pointer_t<decltype(std::declval<Block&>().Text())>;
  return sizeof(Block) + (capacity + 1) * sizeof(Unit);
}

// A block holding head followed by tail, with room for capacity units (at least their length).
template <class Block, class Unit>
Block* NewTextBlock(std::basic_string_view<Unit> head, std::basic_string_view<Unit> tail = {},
                    std::size_t capacity = 0) {
  const std::size_t length = head.size() + tail.size();
  if (length == 0) return nullptr;
  if (head.size() > kMaxStringLength || tail.size() > kMaxStringLength - head.size()) FailWith(image::erOutOfMemory);
  capacity = std::clamp(capacity, length, kMaxStringLength);
  auto* block = static_cast<Block*>(AllocateValueMemory(TextBlockBytes<Block>(capacity)));
  block->refCount = 1;
  block->length = static_cast<std::uint32_t>(length);
  block->capacity = static_cast<std::uint32_t>(capacity);
  if (!head.empty()) std::memcpy(block->Text(), head.data(), head.size() * sizeof(Unit));
  if (!tail.empty()) std::memcpy(block->Text() + head.size(), tail.data(), tail.size() * sizeof(Unit));
  block->Text()[length] = 0;
  return block;
}

template <class Block>
void ReleaseTextBlock(Block* block) {
  if (DropReference(block)) FreeValueMemory(block, TextBlockBytes<Block>(block->capacity));
}

template <class Block, class Unit>
std::basic_string_view<Unit> TextAt(const void* at) {
  const Block* block = Load<Block*>(at);
  if (block == nullptr) return {};
  return {block->Text(), block->length};
}

template <class Block, class Unit>
void SetTextAt(void* at, std::basic_string_view<Unit> text) {
  // The new block is made before the old one goes: text may live in it.
  Block* fresh = NewTextBlock<Block>(text);
  Block* old = Load<Block*>(at);
  Store(at, fresh);
  ReleaseTextBlock(old);
}

// Appends in place when the block is unshared and has room (text may lie inside the block: it
// is read from before the old end, written after it); otherwise moves to a block with twice
// the room, so that n appends copy O(n) units in all.
template <class Block, class Unit>
void AppendTextAt(void* at, std::basic_string_view<Unit> text) {
  if (text.empty()) return;
  Block* block = Load<Block*>(at);
  const std::size_t length = block == nullptr ? 0 : block->length;
  if (block != nullptr && block->refCount == 1 && block->capacity - length >= text.size()) {
    std::memcpy(block->Text() + length, text.data(), text.size() * sizeof(Unit));
    block->length = static_cast<std::uint32_t>(length + text.size());
    block->Text()[block->length] = 0;
    return;
  }
  Block* fresh = NewTextBlock<Block>(TextAt<Block, Unit>(at), text, 2 * (length + text.size()));
  Store(at, fresh);
  ReleaseTextBlock(block);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Strings

StringBlock* NewString(std::string_view text) { return NewTextBlock<StringBlock>(text); }
WideStringBlock* NewWideString(std::u16string_view text) { return NewTextBlock<WideStringBlock>(text); }
void RetainString(StringBlock* block) { RetainBlock(block); }
void ReleaseString(StringBlock* block) { ReleaseTextBlock(block); }
void RetainWideString(WideStringBlock* block) { RetainBlock(block); }
void ReleaseWideString(WideStringBlock* block) { ReleaseTextBlock(block); }

std::string_view StringAt(const void* at) { return TextAt<StringBlock, char>(at); }
std::u16string_view WideStringAt(const void* at) { return TextAt<WideStringBlock, char16_t>(at); }
void SetStringAt(void* at, std::string_view text) { SetTextAt<StringBlock>(at, text); }
void SetWideStringAt(void* at, std::u16string_view text) { SetTextAt<WideStringBlock>(at, text); }
void AppendStringAt(void* at, std::string_view text) { AppendTextAt<StringBlock, char>(at, text); }
void AppendWideStringAt(void* at, std::u16string_view text) { AppendTextAt<WideStringBlock, char16_t>(at, text); }

char* UniqueStringAt(void* at) {
  StringBlock* block = Load<StringBlock*>(at);
  if (block == nullptr) return nullptr;
  // A block that is never freed is shared with the image's constants, so it is copied too.
  if (block->refCount != 1) {
    SetStringAt(at, StringAt(at));
    block = Load<StringBlock*>(at);
  }
  return block->Text();
}

std::u16string WidenText(std::string_view text) {
  std::u16string wide(text.size(), u'\0');
  std::transform(text.begin(), text.end(), wide.begin(),
                 [](char c) { return static_cast<char16_t>(static_cast<unsigned char>(c)); });
  return wide;
}

std::string NarrowText(std::u16string_view text) {
  std::string narrow(text.size(), '\0');
  std::transform(text.begin(), text.end(), narrow.begin(),
                 [](char16_t unit) { return static_cast<char>(unit & 0xFF); });
  return narrow;
}

// ---------------------------------------------------------------------------------------------
// Dynamic arrays

namespace {

std::size_t ArrayBlockBytes(const TPSTypeRec& element, std::uint32_t length) {
  const std::uint64_t bytes = std::uint64_t{element.memSize} * length;
  if (bytes > kMaxArrayBytes) FailWith(image::erOutOfMemory);
  return sizeof(ArrayBlock) + static_cast<std::size_t>(bytes);
}

std::uint8_t* ElementAt(ArrayBlock* block, const TPSTypeRec& element, std::uint32_t index) {
  return block->Elements() + std::size_t{index} * element.memSize;
}

void FinalizeElements(ArrayBlock* block, const TPSTypeRec& element, std::uint32_t from, std::uint32_t to) {
  if (!element.needsFinalization) return;
  for (std::uint32_t i = from; i < to; ++i) FinalizeValue(ElementAt(block, element, i), element);
}

void DropArrayAt(void* at, const TPSTypeRec& element) {
  ArrayBlock* old = ArrayAt(at);
  Store<ArrayBlock*>(at, nullptr);
  ReleaseArray(old, element);
}

// The variable is the block's only owner: resize it in place.
void ResizeOwnArray(void* at, ArrayBlock* block, const TPSTypeRec& element, std::uint32_t length) {
  const std::uint32_t old = block->length;
  const std::size_t bytes = ArrayBlockBytes(element, length);
  if (length < old) FinalizeElements(block, element, length, old);
  block = static_cast<ArrayBlock*>(ResizeValueMemory(block, ArrayBlockBytes(element, old), bytes));
  block->length = length;
  if (length > old) std::memset(ElementAt(block, element, old), 0, std::size_t{length - old} * element.memSize);
  Store(at, block);
}

// No block, or one shared with others (or never freed): the variable gets a block of its own.
void ReplaceByResizedCopy(void* at, ArrayBlock* block, const TPSTypeRec& element, std::uint32_t length) {
  const std::uint32_t kept = block == nullptr ? 0 : std::min(block->length, length);
  ArrayBlock* fresh = NewArrayFrom(element, length, kept == 0 ? nullptr : block->Elements(), kept);
  Store(at, fresh);
  ReleaseArray(block, element);
}

}  // namespace

ArrayBlock* NewArray(const TPSTypeRec& element, std::uint32_t length) {
  if (length == 0) return nullptr;
  auto* block = static_cast<ArrayBlock*>(AllocateValueMemory(ArrayBlockBytes(element, length)));
  block->refCount = 1;
  block->length = length;
  std::memset(block->Elements(), 0, std::size_t{length} * element.memSize);
  return block;
}

ArrayBlock* NewArrayFrom(const TPSTypeRec& element, std::uint32_t length, const void* elements,
                         std::uint32_t count) {
  ArrayBlock* fresh = NewArray(element, length);
  if (count == 0) return fresh;
  if (!element.needsFinalization) {
    std::memcpy(fresh->Elements(), elements, std::size_t{count} * element.memSize);
    return fresh;
  }
  try {
    const auto* from = static_cast<const std::uint8_t*>(elements);
    for (std::uint32_t i = 0; i < count; ++i)
      CopyValue(ElementAt(fresh, element, i), from + std::size_t{i} * element.memSize, element);
  } catch (...) {
    ReleaseArray(fresh, element);  // the copies made so far are whole values
    throw;
  }
  return fresh;
}

void RetainArray(ArrayBlock* block) { RetainBlock(block); }

void ReleaseArray(ArrayBlock* block, const TPSTypeRec& element) {
  if (!DropReference(block)) return;
  FinalizeElements(block, element, 0, block->length);
  FreeValueMemory(block, ArrayBlockBytes(element, block->length));
}

void SetArrayLengthAt(void* at, const TPSTypeRec& element, std::uint32_t length) {
  ArrayBlock* block = ArrayAt(at);
  if (length == 0)
    DropArrayAt(at, element);
  else if (block != nullptr && block->refCount == 1)
    ResizeOwnArray(at, block, element, length);
  else
    ReplaceByResizedCopy(at, block, element, length);
}

// ---------------------------------------------------------------------------------------------
// Whole values

namespace {

inline constexpr std::size_t kMaxCountedValueSize = PointerLayout::kSize;
static_assert(kMaxCountedValueSize >= kVariantMemSize && kMaxCountedValueSize >= sizeof(void*));

const TPSTypeRec& ElementType(const TPSTypeRec& arrayType) {
  return *static_cast<const TPSTypeRec_Array&>(arrayType).element;
}

// Releases the references of a value that has already been moved out of its place.
void ReleaseReferences(void* held, const TPSTypeRec& type) {
  switch (type.baseType) {
    case image::tcString: case image::tcPChar: ReleaseString(Load<StringBlock*>(held)); break;
    case image::tcWideString: ReleaseWideString(Load<WideStringBlock*>(held)); break;
    case image::tcArray: ReleaseArray(ArrayAt(held), ElementType(type)); break;
    case image::tcPointer: ReleaseKeeper(LoadPointer(held).keeper); break;
    case image::tcVariant: FinalizeVariant(held); break;
    default: break;  // interfaces: this system holds no counted host objects
  }
}

// The value is cleared before its references go, because releasing them may free memory that
// the value's own place belongs to (a box kept alive by a pointer inside it).
void FinalizeCounted(void* at, const TPSTypeRec& type) {
  std::uint8_t held[kMaxCountedValueSize];
  std::memcpy(held, at, type.memSize);
  std::memset(at, 0, type.memSize);
  ReleaseReferences(held, type);
}

void FinalizeFields(void* at, const TPSTypeRec_Record& record) {
  for (std::size_t i = 0; i < record.fields.size(); ++i)
    FinalizeValue(static_cast<std::uint8_t*>(at) + record.fieldMemOffsets[i], *record.fields[i]);
}

void FinalizeStaticElements(void* at, const TPSTypeRec_StaticArray& array) {
  for (std::uint32_t i = 0; i < array.count; ++i)
    FinalizeValue(static_cast<std::uint8_t*>(at) + std::size_t{i} * array.element->memSize, *array.element);
}

template <class Block>
void ShareTextBlock(void* dest, const void* source) {
  Block* shared = Load<Block*>(source);
  Block* old = Load<Block*>(dest);
  RetainBlock(shared);
  Store(dest, shared);
  ReleaseTextBlock(old);
}

void ShareArray(void* dest, const void* source, const TPSTypeRec& element) {
  ArrayBlock* shared = ArrayAt(source);
  ArrayBlock* old = ArrayAt(dest);
  RetainArray(shared);
  Store(dest, shared);
  ReleaseArray(old, element);
}

void CopyPointer(void* dest, const void* source, std::uint32_t depth) {
  const PointerValue from = LoadPointer(source);
  const PointerValue copy = CopyIntoOwnedPointer(from.target, from.targetType, depth + 1);
  const Keeper old = LoadPointer(dest).keeper;
  StorePointer(dest, copy);
  ReleaseKeeper(old);
}

void CopyFields(void* dest, const void* source, const TPSTypeRec_Record& record, std::uint32_t depth) {
  for (std::size_t i = 0; i < record.fields.size(); ++i) {
    const std::size_t offset = record.fieldMemOffsets[i];
    CopyValue(static_cast<std::uint8_t*>(dest) + offset, static_cast<const std::uint8_t*>(source) + offset,
              *record.fields[i], depth + 1);
  }
}

void CopyStaticElements(void* dest, const void* source, const TPSTypeRec_StaticArray& array,
                        std::uint32_t depth) {
  const std::size_t step = array.element->memSize;
  for (std::uint32_t i = 0; i < array.count; ++i)
    CopyValue(static_cast<std::uint8_t*>(dest) + i * step, static_cast<const std::uint8_t*>(source) + i * step,
              *array.element, depth + 1);
}

}  // namespace

void FinalizeValue(void* at, const TPSTypeRec& type) {
  if (!type.needsFinalization) {
    InitializeValue(at, type);
    return;
  }
  switch (type.baseType) {
    case image::tcRecord: FinalizeFields(at, static_cast<const TPSTypeRec_Record&>(type)); break;
    case image::tcStaticArray: FinalizeStaticElements(at, static_cast<const TPSTypeRec_StaticArray&>(type)); break;
    default: FinalizeCounted(at, type); break;
  }
}

void CopyValue(void* dest, const void* source, const TPSTypeRec& type) { CopyValue(dest, source, type, 0); }

void CopyValue(void* dest, const void* source, const TPSTypeRec& type, std::uint32_t depth) {
  if (depth > kMaxCopyDepth) FailWith(image::erOutOfMemory);
  switch (type.baseType) {
    case image::tcString: case image::tcPChar: ShareTextBlock<StringBlock>(dest, source); return;
    case image::tcWideString: ShareTextBlock<WideStringBlock>(dest, source); return;
    case image::tcArray: ShareArray(dest, source, ElementType(type)); return;
    case image::tcVariant: CopyVariant(dest, source); return;
    case image::tcPointer: CopyPointer(dest, source, depth); return;
    default: break;
  }
  if (type.needsFinalization && type.baseType == image::tcRecord)
    CopyFields(dest, source, static_cast<const TPSTypeRec_Record&>(type), depth);
  else if (type.needsFinalization && type.baseType == image::tcStaticArray)
    CopyStaticElements(dest, source, static_cast<const TPSTypeRec_StaticArray&>(type), depth);
  else
    std::memmove(dest, source, type.memSize);  // plain bytes; interfaces are uncounted here
}

namespace {

// At least one byte, so that even an empty record has an address of its own.
std::size_t HeapValueBytes(const TPSTypeRec& type) { return std::max<std::size_t>(type.memSize, 1); }

}  // namespace

void* NewHeapValue(const TPSTypeRec& type) {
  void* value = AllocateValueMemory(HeapValueBytes(type));
  InitializeValue(value, type);
  return value;
}

void DestroyHeapValue(void* value, const TPSTypeRec& type) {
  if (value == nullptr) return;
  FinalizeValue(value, type);
  FreeValueMemory(value, HeapValueBytes(type));
}

}  // namespace dravik::engine::values

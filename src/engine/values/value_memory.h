#pragma once
// The bytes of script values: unaligned loads and stores, the reference-counted string and
// dynamic-array blocks, and the three things every value goes through: initialisation (all zero,
// see type_records.h), finalisation and copying.
//
// A string, wide string or dynamic array value is one native pointer to its block, null when
// empty. Blocks start with a reference count; a count below 0 marks a block that is never freed.
// A value that changes a block first makes it unique (copy on write), so a copy that is changed
// never changes the original.
//
// Every allocation sized by script data is checked against a limit first and fails with
// ScriptFault(erOutOfMemory), as does an allocation the system refuses.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

#include "engine/values/type_records.h"

namespace dravik::engine::values {

template <class T>
T Load(const void* at) {
  static_assert(std::is_trivially_copyable_v<T>);
  T value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

template <class T>
void Store(void* at, T value) {
  static_assert(std::is_trivially_copyable_v<T>);
  std::memcpy(at, &value, sizeof value);
}

// The x87 80-bit extended real, held in long double on both builds.
using Extended = long double;
Extended LoadExtended(const void* at);
void StoreExtended(void* at, Extended value);

// ---------------------------------------------------------------------------------------------
// Strings

inline constexpr std::size_t kMaxStringLength = 1u << 26;

// 8-bit string block: the count, the length, the room for text, then the bytes and a
// terminating zero (so a PChar can view the text in place). A block made by appending keeps
// spare room, so that a string grown by repeated appends is copied only now and then.
struct StringBlock {
  std::int32_t refCount;
  std::uint32_t length;
  std::uint32_t capacity;
  char* Text() { return reinterpret_cast<char*>(this + 1); }
  const char* Text() const { return reinterpret_cast<const char*>(this + 1); }
};

// 16-bit string block, laid out the same way with char16_t units.
struct WideStringBlock {
  std::int32_t refCount;
  std::uint32_t length;
  std::uint32_t capacity;
  char16_t* Text() { return reinterpret_cast<char16_t*>(this + 1); }
  const char16_t* Text() const { return reinterpret_cast<const char16_t*>(this + 1); }
};

// A new block holding text, count 1; null for empty text.
StringBlock* NewString(std::string_view text);
WideStringBlock* NewWideString(std::u16string_view text);
void RetainString(StringBlock* block);
void ReleaseString(StringBlock* block);
void RetainWideString(WideStringBlock* block);
void ReleaseWideString(WideStringBlock* block);

// The text of a string value (the pointer stored at `at`); empty for null.
std::string_view StringAt(const void* at);
std::u16string_view WideStringAt(const void* at);
// Replaces the string value at `at` by a new one holding text, releasing the old one.
void SetStringAt(void* at, std::string_view text);
// The text a PChar can hold: zero-terminated, so nothing from the first zero byte on.
inline std::string_view PCharText(std::string_view text) { return text.substr(0, text.find('\0')); }
// Stores text into a string or PChar value of the given base type.
inline void SetTextAt(void* at, image::TPSTypeCode code, std::string_view text) {
  SetStringAt(at, code == image::tcPChar ? PCharText(text) : text);
}
void SetWideStringAt(void* at, std::u16string_view text);
// Appends text to the string value at `at`; in place when its block is unshared and has room.
void AppendStringAt(void* at, std::string_view text);
void AppendWideStringAt(void* at, std::u16string_view text);
// Makes the string at `at` the only owner of its block and answers its writable bytes (null for
// the empty string).
char* UniqueStringAt(void* at);

// Byte strings and wide strings meet by widening each byte and narrowing each unit to its low
// byte (the engine has no code page).
std::u16string WidenText(std::string_view text);
std::string NarrowText(std::u16string_view text);

// ---------------------------------------------------------------------------------------------
// Dynamic arrays

// The header in front of the elements; elements follow at Elements().
struct ArrayBlock {
  std::int32_t refCount;
  std::uint32_t length;
  std::uint8_t* Elements() { return reinterpret_cast<std::uint8_t*>(this + 1); }
  const std::uint8_t* Elements() const { return reinterpret_cast<const std::uint8_t*>(this + 1); }
};

inline ArrayBlock* ArrayAt(const void* at) { return Load<ArrayBlock*>(at); }
inline std::uint32_t ArrayLengthAt(const void* at) {
  const ArrayBlock* block = ArrayAt(at);
  return block == nullptr ? 0 : block->length;
}

// The most bytes the elements of one array block may take.
inline constexpr std::uint64_t kMaxArrayBytes = kMaxValueMemSize;

// A new block of `length` default elements, count 1; null for length 0.
ArrayBlock* NewArray(const TPSTypeRec& element, std::uint32_t length);
// A new block of `length` elements whose first `count` (at most length) are copies of the
// elements laid out one after another at `elements` (CopyValue); the rest default.
ArrayBlock* NewArrayFrom(const TPSTypeRec& element, std::uint32_t length, const void* elements,
                         std::uint32_t count);
void RetainArray(ArrayBlock* block);
// Drops one reference; the last one finalises the elements and frees the block.
void ReleaseArray(ArrayBlock* block, const TPSTypeRec& element);
// Resizes the array value at `at` (the set-length rules: a shared block is copied first, new
// elements are default, dropped ones finalised).
void SetArrayLengthAt(void* at, const TPSTypeRec& element, std::uint32_t length);

// ---------------------------------------------------------------------------------------------
// Whole values

inline void InitializeValue(void* at, const TPSTypeRec& type) { std::memset(at, 0, type.memSize); }
// Releases what the value holds and leaves it default (all zero).
void FinalizeValue(void* at, const TPSTypeRec& type);
// dest := source for two values of the very same type: references are shared (counts
// incremented), records and static arrays copied field by field. A pointer is copied as a
// pointer owning a copy of its target (pointer_value.h), so that the copy can live anywhere.
void CopyValue(void* dest, const void* source, const TPSTypeRec& type);

// Pointers can form rings (two records whose pointer fields refer to each other), which copying
// targets would follow forever: a copy that goes more than this many levels deep (each record,
// static array and pointer target entered counts one) fails with ScriptFault(erOutOfMemory).
inline constexpr std::uint32_t kMaxCopyDepth = 256;
// CopyValue `depth` levels inside a copy.
void CopyValue(void* dest, const void* source, const TPSTypeRec& type, std::uint32_t depth);

// A heap value of the type, default-initialised; freed with DestroyHeapValue.
void* NewHeapValue(const TPSTypeRec& type);
void DestroyHeapValue(void* value, const TPSTypeRec& type);

}  // namespace dravik::engine::values

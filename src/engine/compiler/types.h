#pragma once
// The compiler's model of script types, typed constant values and the named things that
// declarations create. Every type knows its base-type code; the class follows from the code.

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/image/format.h"
#include "engine/names/names.h"

namespace dravik::engine::compiler {

class TPSType;

// A name kept as written, upper-cased and hashed; lookups compare the hash first.
struct TPSName {
  std::string written;
  std::string upper;
  std::uint32_t hash = 0;

  TPSName() = default;
  explicit TPSName(std::string_view writtenName);
  // A name whose upper-cased form and hash are known already (an identifier token's).
  TPSName(std::string_view writtenName, names::NameKey key) : written(writtenName), upper(key.upper), hash(key.hash) {}
  names::NameKey Key() const { return {upper, hash}; }
  bool Is(names::NameKey other) const { return hash == other.hash && upper == other.upper; }
  bool Is(const TPSName& other) const { return Is(other.Key()); }
};

// A typed constant value: the resolved type and the payload its base type uses.
struct TPSTypedValue {
  TPSType* type = nullptr;
  std::uint64_t ordinal = 0;  // integers, characters, enumerations, currency (value x 10000)
  long double real = 0;       // single, double, extended
  std::string text;           // string; a set's bytes
  std::u16string wideText;    // wide string
  TPSType* typeValue = nullptr;  // the type a type value (code 130) names

  image::TPSTypeCode BaseType() const;
};

// The zero value of a type (a set: all bytes 0).
TPSTypedValue ZeroValue(TPSType* type);

struct TPSAttribute {
  TPSType* type = nullptr;
  std::vector<TPSTypedValue> values;
};
using TPSAttributes = std::vector<TPSAttribute>;

enum TPSParameterMode : std::uint8_t { pmIn = 0, pmOut = 1, pmInOut = 2 };

struct TPSParameterDecl {
  TPSName name;
  TPSParameterMode mode = pmIn;
  TPSType* type = nullptr;  // none for an untyped parameter

  bool ByReference() const { return mode != pmIn; }
};

struct TPSParametersDecl {
  std::vector<TPSParameterDecl> params;
  TPSType* result = nullptr;  // none for a procedure
};

class TPSType {
 public:
  explicit TPSType(image::TPSTypeCode code) : baseType(code) {}
  virtual ~TPSType() = default;
  TPSType(const TPSType&) = delete;
  TPSType& operator=(const TPSType&) = delete;

  void SetName(std::string_view written);
  names::NameKey Key() const { return {name, nameHash}; }

  std::uint32_t nameHash = 0;
  std::string name;  // upper-cased; empty for anonymous types
  image::TPSTypeCode baseType;
  std::int32_t declarationPosition = -1;
  bool used = false;
  bool exportName = false;
  std::int32_t declarationRow = 0;
  std::int32_t declarationColumn = 0;
  std::string writtenName;
  TPSAttributes attributes;
  std::int32_t typeNumber = -1;
};

struct TPSRecordFieldTypeDef {
  TPSName name;
  TPSType* type = nullptr;
};

class TPSRecordType final : public TPSType {
 public:
  TPSRecordType() : TPSType(image::tcRecord) {}
  std::vector<TPSRecordFieldTypeDef> fields;
};

class TPSArrayType : public TPSType {
 public:
  explicit TPSArrayType(image::TPSTypeCode code = image::tcArray) : TPSType(code) {}
  TPSType* elementType = nullptr;
};

class TPSStaticArrayType final : public TPSArrayType {
 public:
  TPSStaticArrayType() : TPSArrayType(image::tcStaticArray) {}
  std::int32_t startIndex = 0;
  std::int32_t count = 0;
};

class TPSSetType final : public TPSType {
 public:
  TPSSetType() : TPSType(image::tcSet) {}
  std::uint32_t BitCount() const;
  std::uint32_t ByteSize() const { return (BitCount() + 7) / 8; }
  TPSType* elementType = nullptr;
};

class TPSTypeLink final : public TPSType {
 public:
  TPSTypeLink() : TPSType(image::tcTypeLink) {}
  TPSType* target = nullptr;
};

class TPSEnumType final : public TPSType {
 public:
  TPSEnumType() : TPSType(image::tcEnum) {}
  std::uint32_t highest = 0;
};

class TPSProceduralType final : public TPSType {
 public:
  TPSProceduralType() : TPSType(image::tcProcPtr) {}
  TPSParametersDecl decl;
};

class TPSClassType final : public TPSType {
 public:
  TPSClassType() : TPSType(image::tcClass) {}
};

class TPSUndefinedClassType final : public TPSType {
 public:
  TPSUndefinedClassType() : TPSType(image::tcUndefinedClass) {}
};

struct TPSInterface {
  std::string guid;  // 16 bytes in binary layout
  TPSInterface* parent = nullptr;
  std::uint32_t methodCount = 0;
};

class TPSInterfaceType final : public TPSType {
 public:
  TPSInterfaceType() : TPSType(image::tcInterface) {}
  TPSInterface intf;
};

class TPSVariantType final : public TPSType {
 public:
  explicit TPSVariantType(image::TPSTypeCode code) : TPSType(code) {}
};

// A real in a narrower format: infinite beyond its range, where a plain conversion would be
// undefined.
template <typename Real>
Real NarrowReal(long double value) {
  constexpr auto kMax = static_cast<long double>(std::numeric_limits<Real>::max());
  if (value > kMax) return std::numeric_limits<Real>::infinity();
  if (value < -kMax) return -std::numeric_limits<Real>::infinity();
  return static_cast<Real>(value);
}

// Creates the class that a base-type code stands for.
std::unique_ptr<TPSType> MakeTypeForCode(image::TPSTypeCode code);
// True for the plain TPSType codes (no subclass).
bool IsPlainTypeCode(image::TPSTypeCode code);

// A link yields its target; anything else itself.
TPSType* ResolveTypeLink(TPSType* type);

// The code the image stores for a type (enumerations by size, and so on).
image::TPSTypeCode ImageTypeCode(const TPSType& type);

// Families of base types used by the type rules.
bool IsIntegerCode(image::TPSTypeCode code);
bool IsRealCode(image::TPSTypeCode code);
inline bool IsNumericCode(image::TPSTypeCode code) { return IsIntegerCode(code) || IsRealCode(code); }
bool IsVariantCode(image::TPSTypeCode code);
bool IsTextCode(image::TPSTypeCode code);      // String, PChar, Char
bool IsWideTextCode(image::TPSTypeCode code);  // WideString, WideChar
bool IsArrayCode(image::TPSTypeCode code);

struct TPSConstant {
  TPSName name;
  TPSTypedValue value;
};

// A global variable, or a local variable (or temporary) of a routine.
struct TPSVar {
  TPSName name;
  TPSType* type = nullptr;
  bool used = false;
  std::int32_t declarationRow = 0;
  std::int32_t declarationPosition = 0;
  std::int32_t declarationColumn = 0;
  TPSType* pointee = nullptr;  // for pointer temporaries: the type they refer to
};

}  // namespace dravik::engine::compiler

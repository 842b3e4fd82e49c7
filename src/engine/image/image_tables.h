#pragma once
// The tables of a compiled image (header, types, routines, variables) read with exactly the
// loader's checks: reading stops at the first entry the loader would reject and names the error
// code it would report. Names and declarations view the image bytes, which must outlive the
// tables. External routines are not bound here; that is the executor's business.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/image/byte_reader.h"
#include "engine/image/format.h"

namespace dravik::engine::image {

// The first thing in the image the loader would refuse.
struct ImageProblem {
  std::size_t at = 0;  // image byte offset where the offending field starts
  TQXException code = ErNoError;
  std::string reason;  // what was wrong, for people
};

// An inline constant or attribute value: its type and its raw value bytes (length prefix
// included for strings), decoded for display by constant_text.h.
struct ImageConstant {
  std::uint32_t typeNumber = 0;
  TPSTypeCode baseType = tcU8;
  std::string_view bytes;
};

struct ImageAttribute {
  std::string_view name;
  std::vector<ImageConstant> values;
};

struct ImageType {
  std::uint8_t typeByte = 0;  // as stored: code plus kTypeExportedFlag
  TPSTypeCode code = tcU8;
  std::vector<std::uint32_t> fields;  // tcRecord: field type numbers
  std::uint32_t element = 0;          // tcArray, tcStaticArray: element type number
  std::uint32_t count = 0;            // tcStaticArray: elements; tcSet: bits
  std::string_view text;              // tcProcPtr: declaration; tcClass: name; tcInterface: GUID
  std::optional<std::string_view> exportName;
  std::vector<ImageAttribute> attributes;
};

struct ImageRoutine {
  std::size_t at = 0;  // image offset of the entry's flags byte
  std::uint8_t flags = 0;
  std::string_view name;         // external: the import name; script: the export name
  std::string_view declaration;  // external: call declaration; script: declaration text
  std::uint32_t codeOffset = 0;  // script routines only
  std::uint32_t codeLength = 0;
  std::vector<ImageAttribute> attributes;

  bool IsExternal() const { return (flags & kProcExternal) != 0; }
};

struct ImageVariable {
  std::uint32_t type = 0;
  std::uint8_t flags = 0;
  std::optional<std::string_view> exportName;
};

struct ImageTables {
  ImageHeader header;
  bool headerRead = false;  // false: fewer than kImageHeaderSize bytes
  std::vector<ImageType> types;
  std::vector<ImageRoutine> routines;
  std::vector<ImageVariable> variables;
  bool tablesRead = false;  // every table entry was read; the code can be looked at
  // The loader's verdict: empty when it would load the image (host routines aside).
  std::optional<ImageProblem> problem;
};

ImageTables ReadImageTables(std::string_view image);

// Whether a value of the type can be written inline; attribute values also allow tcCurrency.
enum class ConstantContext : std::uint8_t { kOperand, kAttribute };
bool HasConstantEncoding(const ImageType& type, ConstantContext context);

// Reads the value bytes of a constant of the given type (which must have an encoding): the
// whole encoding, length prefix included. Nothing, with the reader unmoved, when the bytes left
// do not hold it.
std::optional<std::string_view> ReadConstantBytes(ByteReader& reader, const ImageType& type);

}  // namespace dravik::engine::image

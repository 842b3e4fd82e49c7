#include "engine/image/image_tables.h"

#include <utility>

namespace dravik::engine::image {

namespace {

constexpr std::string_view kShortHeaderReason = "fewer than 28 bytes";
static_assert(kImageHeaderSize == 28, "kShortHeaderReason names the header size");

// Reads the tables in the loader's order. Every Read* answers false after recording the
// problem; the caller then stops.
class TableReader {
 public:
  TableReader(std::string_view image, ImageTables& tables) : reader_(image), tables_(tables) {}

  void ReadAll() {
    if (!ReadHeader() || !ReadTypes() || !ReadRoutines() || !ReadVariables()) return;
    tables_.tablesRead = true;
    CheckMainRoutine();
  }

 private:
  bool Fail(std::size_t at, TQXException code, std::string reason) {
    tables_.problem = ImageProblem{at, code, std::move(reason)};
    return false;
  }

  // A uint32 field that must be present; a missing one is reported with code.
  bool ReadCount(std::uint32_t& value, TQXException code, std::string_view what) {
    const std::size_t at = reader_.Position();
    std::optional<std::uint32_t> read = reader_.ReadU32();
    if (!read) return Fail(at, code, std::string(what) + " missing");
    value = *read;
    return true;
  }

  // A run of bytes whose length has been read; too few left is reported with code.
  bool ReadRun(std::uint64_t length, std::string_view& run, TQXException code,
               std::string_view what) {
    const std::size_t at = reader_.Position();
    std::optional<std::string_view> read =
        length <= reader_.Remaining() ? reader_.ReadBytes(static_cast<std::size_t>(length))
                                      : std::nullopt;
    if (!read) return Fail(at, code, std::string(what) + " runs past the end");
    run = *read;
    return true;
  }

  // ------------------------------------------------------------------ header

  bool ReadHeader() {
    if (reader_.Remaining() < kImageHeaderSize)
      return Fail(0, erInvalidHeader, std::string(kShortHeaderReason));
    ImageHeader& h = tables_.header;
    for (std::uint32_t* field : {&h.magic, &h.buildNumber, &h.typeCount, &h.procCount, &h.varCount,
                                 &h.mainProc, &h.reserved})
      *field = *reader_.ReadU32();
    tables_.headerRead = true;
    if (h.magic != kImageMagic) return Fail(kHeaderMagicOffset, erInvalidHeader, "wrong magic");
    if (h.buildNumber < kMinImageBuildNumber || h.buildNumber > kMaxImageBuildNumber)
      return Fail(kHeaderBuildOffset, erInvalidHeader,
                  "build number " + std::to_string(h.buildNumber) + " not in " +
                      std::to_string(kMinImageBuildNumber) + " to " +
                      std::to_string(kMaxImageBuildNumber));
    return true;
  }

  // ------------------------------------------------------------------ types

  bool ReadTypes() {
    for (std::uint32_t i = 0; i < tables_.header.typeCount; ++i)
      if (!ReadType()) return false;
    return true;
  }

  bool ReadType() {
    const std::size_t at = reader_.Position();
    std::optional<std::uint8_t> typeByte = reader_.ReadU8();
    if (!typeByte) return Fail(at, erUnexpectedEof, "type byte missing");
    const std::uint8_t code = *typeByte & kTypeCodeMask;
    if (!IsImageTypeCode(code))
      return Fail(at, erInvalidType, "type code " + std::to_string(code) + " not allowed");
    ImageType type;
    type.typeByte = *typeByte;
    type.code = static_cast<TPSTypeCode>(code);
    if (!ReadTypeBody(type)) return false;
    // The loader lists the type before reading its name and attributes, so an attribute value
    // may already be of this very type.
    tables_.types.push_back(std::move(type));
    ImageType& listed = tables_.types.back();
    if ((listed.typeByte & kTypeExportedFlag) != 0 && !ReadTypeName(listed)) return false;
    if (tables_.header.buildNumber >= kFirstBuildWithTypeAttributes)
      return ReadAttributes(listed.attributes);
    return true;
  }

  bool ReadTypeBody(ImageType& type) {
    switch (type.code) {
      case tcRecord: return ReadRecordBody(type);
      case tcArray: return ReadElementType(type);
      case tcStaticArray: return ReadElementType(type) && ReadStaticCount(type);
      case tcSet: return ReadSetBody(type);
      case tcProcPtr: return ReadShortText(type, "procedural type declaration");
      case tcClass: return ReadShortText(type, "class name");
      case tcInterface:
        return ReadRun(kInterfaceGuidSize, type.text, erUnexpectedEof, "interface GUID");
      default: return true;
    }
  }

  std::uint32_t TypesRead() const { return static_cast<std::uint32_t>(tables_.types.size()); }

  bool ReadRecordBody(ImageType& type) {
    const std::size_t at = reader_.Position();
    std::uint32_t count = 0;
    if (!ReadCount(count, erUnexpectedEof, "record field count")) return false;
    if (count == 0) return Fail(at, erUnexpectedEof, "record without fields");
    // Grows field by field: the count is untrusted until the bytes are there.
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::size_t fieldAt = reader_.Position();
      std::uint32_t field = 0;
      if (!ReadCount(field, erUnexpectedEof, "record field type")) return false;
      if (field >= TypesRead())
        return Fail(fieldAt, ErOutOfRange, "field type T" + std::to_string(field) + " not yet read");
      type.fields.push_back(field);
    }
    return true;
  }

  bool ReadElementType(ImageType& type) {
    const std::size_t at = reader_.Position();
    if (!ReadCount(type.element, erUnexpectedEof, "element type")) return false;
    if (type.element >= TypesRead())
      return Fail(at, ErTypeMismatch,
                  "element type T" + std::to_string(type.element) + " not yet read");
    return true;
  }

  bool ReadStaticCount(ImageType& type) {
    const std::size_t at = reader_.Position();
    if (!ReadCount(type.count, erUnexpectedEof, "element count")) return false;
    if (type.count >= kStaticArrayCountLimit)
      return Fail(at, erUnexpectedEof, "element count " + std::to_string(type.count) + " too large");
    return true;
  }

  bool ReadSetBody(ImageType& type) {
    const std::size_t at = reader_.Position();
    if (!ReadCount(type.count, erUnexpectedEof, "set bit count")) return false;
    if (type.count > kMaxSetBits)
      return Fail(at, ErTypeMismatch, "set of " + std::to_string(type.count) + " bits");
    return true;
  }

  bool ReadShortText(ImageType& type, std::string_view what) {
    const std::size_t at = reader_.Position();
    std::uint32_t length = 0;
    if (!ReadCount(length, erUnexpectedEof, std::string(what) + " length")) return false;
    if (length >= kShortTextLimit)
      return Fail(at, erUnexpectedEof, std::string(what) + " of " + std::to_string(length) + " bytes");
    return ReadRun(length, type.text, erUnexpectedEof, what);
  }

  bool ReadTypeName(ImageType& type) {
    const std::size_t at = reader_.Position();
    std::uint32_t length = 0;
    if (!ReadCount(length, erUnexpectedEof, "type name length")) return false;
    if (length > kMaxNameLength)
      return Fail(at, erInvalidType, "type name of " + std::to_string(length) + " bytes");
    std::string_view name;
    if (!ReadRun(length, name, erUnexpectedEof, "type name")) return false;
    type.exportName = name;
    return true;
  }

  // ------------------------------------------------------------------ attributes

  bool ReadAttributes(std::vector<ImageAttribute>& attributes) {
    std::uint32_t count = 0;
    if (!ReadCount(count, ErOutOfRange, "attribute count")) return false;
    for (std::uint32_t i = 0; i < count; ++i) {
      ImageAttribute attribute;
      if (!ReadAttribute(attribute)) return false;
      attributes.push_back(std::move(attribute));
    }
    return true;
  }

  bool ReadAttribute(ImageAttribute& attribute) {
    std::uint32_t length = 0;
    if (!ReadCount(length, ErOutOfRange, "attribute name length") ||
        !ReadRun(length, attribute.name, ErOutOfRange, "attribute name"))
      return false;
    std::uint32_t count = 0;
    if (!ReadCount(count, ErOutOfRange, "attribute value count")) return false;
    for (std::uint32_t i = 0; i < count; ++i) {
      ImageConstant value;
      if (!ReadAttributeValue(value)) return false;
      attribute.values.push_back(value);
    }
    return true;
  }

  bool ReadAttributeValue(ImageConstant& value) {
    const std::size_t at = reader_.Position();
    if (!ReadCount(value.typeNumber, ErOutOfRange, "attribute value type")) return false;
    if (value.typeNumber >= TypesRead())
      return Fail(at, ErOutOfRange,
                  "attribute value type T" + std::to_string(value.typeNumber) + " not yet read");
    const ImageType& type = tables_.types[value.typeNumber];
    value.baseType = type.code;
    if (!HasConstantEncoding(type, ConstantContext::kAttribute))
      return Fail(at, erInvalidType,
                  "attribute value of type " + std::string(TypeCodeName(type.code)));
    const std::size_t valueAt = reader_.Position();
    std::optional<std::string_view> bytes = ReadConstantBytes(reader_, type);
    if (!bytes) return Fail(valueAt, ErOutOfRange, "attribute value runs past the end");
    value.bytes = *bytes;
    return true;
  }

  // ------------------------------------------------------------------ routines

  bool ReadRoutines() {
    for (std::uint32_t i = 0; i < tables_.header.procCount; ++i) {
      ImageRoutine routine;
      routine.at = reader_.Position();
      if (!ReadRoutine(routine)) return false;
      tables_.routines.push_back(std::move(routine));
    }
    return true;
  }

  bool ReadRoutine(ImageRoutine& routine) {
    std::optional<std::uint8_t> flags = reader_.ReadU8();
    if (!flags) return Fail(routine.at, erUnexpectedEof, "routine flags missing");
    routine.flags = *flags;
    const bool ok = routine.IsExternal() ? ReadExternalRoutine(routine) : ReadScriptRoutine(routine);
    if (!ok) return false;
    if ((routine.flags & kProcHasAttributes) != 0) return ReadAttributes(routine.attributes);
    return true;
  }

  bool ReadExternalRoutine(ImageRoutine& routine) {
    const std::size_t at = reader_.Position();
    std::optional<std::uint8_t> length = reader_.ReadU8();
    if (!length) return Fail(at, erUnexpectedEof, "routine name length missing");
    if (!ReadRun(*length, routine.name, erUnexpectedEof, "routine name")) return false;
    if ((routine.flags & kProcExported) == 0) return true;
    std::uint32_t declLength = 0;
    return ReadCount(declLength, erUnexpectedEof, "call declaration length") &&
           ReadRun(declLength, routine.declaration, erUnexpectedEof, "call declaration");
  }

  bool ReadScriptRoutine(ImageRoutine& routine) {
    const std::size_t at = reader_.Position();
    if (!ReadCount(routine.codeOffset, erUnexpectedEof, "code offset") ||
        !ReadCount(routine.codeLength, erUnexpectedEof, "code length"))
      return false;
    if (!CodeFits(routine))
      return Fail(at, erUnexpectedEof,
                  "code at " + std::to_string(routine.codeOffset) + " of " +
                      std::to_string(routine.codeLength) + " bytes is not inside the image");
    if ((routine.flags & kProcExported) == 0) return true;
    return ReadLongText(routine.name, "routine name") &&
           ReadLongText(routine.declaration, "routine declaration");
  }

  bool CodeFits(const ImageRoutine& routine) const {
    const std::uint64_t size = reader_.Bytes().size();
    return routine.codeLength != 0 && routine.codeOffset < size &&
           std::uint64_t{routine.codeOffset} + routine.codeLength <= size;
  }

  bool ReadLongText(std::string_view& text, std::string_view what) {
    const std::size_t at = reader_.Position();
    std::uint32_t length = 0;
    if (!ReadCount(length, erUnexpectedEof, std::string(what) + " length")) return false;
    if (length > kMaxNameLength)
      return Fail(at, erUnexpectedEof, std::string(what) + " of " + std::to_string(length) + " bytes");
    return ReadRun(length, text, erUnexpectedEof, what);
  }

  // ------------------------------------------------------------------ variables

  bool ReadVariables() {
    for (std::uint32_t i = 0; i < tables_.header.varCount; ++i) {
      ImageVariable variable;
      if (!ReadVariable(variable)) return false;
      tables_.variables.push_back(variable);
    }
    return true;
  }

  bool ReadVariable(ImageVariable& variable) {
    const std::size_t at = reader_.Position();
    std::optional<std::uint32_t> type = reader_.ReadU32();
    std::optional<std::uint8_t> flags = type ? reader_.ReadU8() : std::nullopt;
    if (!flags) return Fail(at, erUnexpectedEof, "variable entry missing");
    if (*type >= tables_.header.typeCount)
      return Fail(at, erInvalidType, "variable type T" + std::to_string(*type) + " not in the table");
    variable.type = *type;
    variable.flags = *flags;
    if ((variable.flags & kVarExported) == 0) return true;
    std::uint32_t length = 0;
    std::string_view name;
    if (!ReadCount(length, erUnexpectedEof, "variable name length") ||
        !ReadRun(length, name, erUnexpectedEof, "variable name"))
      return false;
    variable.exportName = name;
    return true;
  }

  // ------------------------------------------------------------------ main routine

  void CheckMainRoutine() {
    const std::uint32_t main = tables_.header.mainProc;
    if (main != kNoNumber && main >= tables_.header.procCount)
      Fail(kHeaderMainProcOffset, erNoMainProc,
           "main routine R" + std::to_string(main) + " not in the routine table");
  }

  ByteReader reader_;
  ImageTables& tables_;
};

}  // namespace

bool HasConstantEncoding(const ImageType& type, ConstantContext context) {
  if (context == ConstantContext::kAttribute && type.code == tcCurrency) return true;
  return ConstantEncodingOf(type.code) != ConstantEncoding::kNotAllowed;
}

std::optional<std::string_view> ReadConstantBytes(ByteReader& reader, const ImageType& type) {
  ByteReader probe = reader;
  std::uint64_t valueSize = 0;
  switch (ConstantEncodingOf(type.code)) {
    case ConstantEncoding::kFixed: valueSize = ConstantWidth(type.code); break;
    case ConstantEncoding::kSetBytes: valueSize = SetByteSize(type.count); break;
    case ConstantEncoding::kByteString:
    case ConstantEncoding::kWideString: {
      std::optional<std::uint32_t> length = probe.ReadU32();
      if (!length) return std::nullopt;
      const std::uint64_t unit = ConstantEncodingOf(type.code) == ConstantEncoding::kWideString ? 2 : 1;
      valueSize = 4 + *length * unit;
      break;
    }
    case ConstantEncoding::kNotAllowed:
      valueSize = type.code == tcCurrency ? kAttributeCurrencyWidth : 0;
      break;
  }
  if (valueSize > reader.Remaining()) return std::nullopt;
  return reader.ReadBytes(static_cast<std::size_t>(valueSize));
}

ImageTables ReadImageTables(std::string_view image) {
  ImageTables tables;
  TableReader(image, tables).ReadAll();
  return tables;
}

}  // namespace dravik::engine::image

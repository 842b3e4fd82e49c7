// The bytecode image of a successful compilation, and the debug records about routines.

#include <algorithm>

#include "engine/compiler/compilation.h"
#include "engine/image/byte_writer.h"

namespace dravik::engine::compiler {

namespace {

void AppendDebugName(std::string& out, std::string_view name) {
  image::AppendU8(out, image::kDebugNameMarker);
  image::AppendBytes(out, name);
}

// The declaration text of a script routine: result type number, then " !n" / " @n" per parameter.
std::string ScriptDeclaration(const TPSParametersDecl& decl) {
  std::string text =
      decl.result == nullptr ? std::string(image::kDeclNoResult) : std::to_string(decl.result->typeNumber);
  for (const TPSParameterDecl& param : decl.params) {
    text += param.ByReference() ? image::kDeclByReference : image::kDeclByValue;
    text += std::to_string(param.type == nullptr ? -1 : param.type->typeNumber);
  }
  return text;
}

void WriteTypeBody(std::string& out, const TPSType& type) {
  switch (type.baseType) {
    case image::tcInterface: image::AppendBytes(out, static_cast<const TPSInterfaceType&>(type).intf.guid); break;
    case image::tcClass: image::AppendLengthPrefixed(out, type.name); break;
    case image::tcProcPtr:
      image::AppendLengthPrefixed(out, CallDeclaration(static_cast<const TPSProceduralType&>(type).decl));
      break;
    case image::tcSet: image::AppendU32(out, static_cast<const TPSSetType&>(type).BitCount()); break;
    case image::tcRecord: {
      const auto& record = static_cast<const TPSRecordType&>(type);
      image::AppendU32(out, static_cast<std::uint32_t>(record.fields.size()));
      for (const TPSRecordFieldTypeDef& field : record.fields)
        image::AppendU32(out, static_cast<std::uint32_t>(field.type->typeNumber));
      break;
    }
    case image::tcArray:
      image::AppendU32(out, static_cast<std::uint32_t>(static_cast<const TPSArrayType&>(type).elementType->typeNumber));
      break;
    case image::tcStaticArray: {
      const auto& array = static_cast<const TPSStaticArrayType&>(type);
      image::AppendU32(out, static_cast<std::uint32_t>(array.elementType->typeNumber));
      image::AppendU32(out, static_cast<std::uint32_t>(array.count));
      break;
    }
    default: break;
  }
}

void WriteType(std::string& out, const TPSType& type) {
  std::uint8_t typeByte = ImageTypeCode(type);
  if (type.exportName) typeByte |= image::kTypeExportedFlag;
  image::AppendU8(out, typeByte);
  WriteTypeBody(out, type);
  if (type.exportName) image::AppendLengthPrefixed(out, type.name);
  image::AppendU32(out, 0);  // attribute block: no attribute types are ever registered
}

}  // namespace

void Compilation::WriteRoutineDebugRecord(const TPSInternalProcedure& proc, std::uint32_t procNo) {
  std::string& out = owner_.debugOutput_;
  image::AppendU8(out, static_cast<std::uint8_t>(image::DebugRecord::kRoutineParams));
  image::AppendU32(out, procNo);
  if (proc.decl.result != nullptr) AppendDebugName(out, "Result");
  for (const TPSParameterDecl& param : proc.decl.params) AppendDebugName(out, param.name.written);
  image::AppendU8(out, image::kDebugEnd);
  image::AppendU8(out, static_cast<std::uint8_t>(image::DebugRecord::kRoutineLocals));
  image::AppendU32(out, procNo);
  for (std::size_t i = 0; i < proc.declaredLocals; ++i) AppendDebugName(out, proc.locals[i].name.written);
  image::AppendU8(out, image::kDebugEnd);
}

void Compilation::WriteNamesDebugRecord() {
  std::string& out = owner_.debugOutput_;
  image::AppendU8(out, static_cast<std::uint8_t>(image::DebugRecord::kNames));
  for (const std::unique_ptr<TPSProcedure>& proc : procs_) {
    const bool isMain = proc.get() == procs_.front().get();
    AppendDebugName(out, isMain ? std::string_view{} : std::string_view(proc->Name().written));
  }
  image::AppendU8(out, image::kDebugEnd);
  image::AppendU8(out, image::kDebugNameMarker);
  for (const TPSVar& global : globals_) AppendDebugName(out, global.name.written);
  image::AppendU8(out, image::kDebugEnd);
}

bool Compilation::WriteImage() {
  WriteNamesDebugRecord();
  if (owner_.OnBeforeWrite && !owner_.OnBeforeWrite(owner_)) return false;
  std::string image;
  image::ImageHeader header;
  header.typeCount = static_cast<std::uint32_t>(typeCounter_);
  header.procCount = static_cast<std::uint32_t>(procs_.size());
  header.varCount = static_cast<std::uint32_t>(globals_.size());
  for (std::size_t i = 0; i < procs_.size(); ++i) {
    if (procs_[i]->IsInternal() && procs_[i]->Name().upper == "!MAIN") {
      header.mainProc = static_cast<std::uint32_t>(i);
      break;
    }
  }
  for (std::uint32_t field : {header.magic, header.buildNumber, header.typeCount, header.procCount,
                              header.varCount, header.mainProc, header.reserved})
    image::AppendU32(image, field);

  std::vector<const TPSType*> byNumber(static_cast<std::size_t>(typeCounter_), nullptr);
  for (const std::unique_ptr<TPSType>& type : types_)
    if (type->used) byNumber[static_cast<std::size_t>(type->typeNumber)] = type.get();
  for (const TPSType* type : byNumber) WriteType(image, *type);

  std::vector<std::size_t> codeFields(procs_.size(), 0);
  for (std::size_t i = 0; i < procs_.size(); ++i) {
    const TPSProcedure& proc = *procs_[i];
    const std::uint8_t attributes = proc.attributes.empty() ? 0 : image::kProcHasAttributes;
    if (proc.IsInternal()) {
      image::AppendU8(image, image::kProcExported | attributes);
      codeFields[i] = image.size();
      image::AppendU32(image, 0);
      image::AppendU32(image, 0);
      image::AppendLengthPrefixed(image, proc.Name().upper);
      image::AppendLengthPrefixed(image, ScriptDeclaration(proc.Decl()));
    } else {
      const TPSRegProc& called = *static_cast<const TPSExternalProcedure&>(proc).regProc;
      image::AppendU8(image, image::kProcExternal | image::kProcExported | attributes);
      const std::string_view name = called.kind == 0 ? std::string_view{} : called.name.upper;
      image::AppendU8(image, static_cast<std::uint8_t>(name.size()));
      image::AppendBytes(image, name);
      image::AppendLengthPrefixed(image, called.callDeclaration);
    }
    if (attributes != 0) image::AppendU32(image, 0);
  }

  for (const TPSVar& global : globals_) {
    image::AppendU32(image, static_cast<std::uint32_t>(global.type->typeNumber));
    image::AppendU8(image, 0);
  }

  WriteCode(image, codeFields);
  owner_.output_ = std::move(image);
  return true;
}

// The routines' code, the bulk of the image: the image gets its final size first, and each
// routine's code is given back as soon as it is in the image, so that the image never grows by
// copies of itself and the code is never held twice.
void Compilation::WriteCode(std::string& image, const std::vector<std::size_t>& codeFields) {
  const std::string lone(1, static_cast<char>(image::OpReturn));
  std::size_t total = image.size();
  for (const std::unique_ptr<TPSProcedure>& proc : procs_)
    if (proc->IsInternal()) total += std::max<std::size_t>(static_cast<TPSInternalProcedure&>(*proc).code.size(), 1);
  image.reserve(total);
  for (std::size_t i = 0; i < procs_.size(); ++i) {
    if (!procs_[i]->IsInternal()) continue;
    std::string& code = static_cast<TPSInternalProcedure&>(*procs_[i]).code;
    const std::string_view bytes = code.empty() ? std::string_view(lone) : std::string_view(code);
    engine::image::PatchU32(image, codeFields[i], static_cast<std::uint32_t>(image.size()));
    engine::image::PatchU32(image, codeFields[i] + 4, static_cast<std::uint32_t>(bytes.size()));
    image::AppendBytes(image, bytes);
    std::string().swap(code);
  }
}

}  // namespace dravik::engine::compiler

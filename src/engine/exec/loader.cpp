// TPSExec::Load: the image's tables (read and checked by ReadImageTables, which stops at the first
// entry the loader refuses) become the executor's runtime records. Entries are turned into
// records in image order, so a refused entry is reported only after every entry before it has
// been bound: an external routine that nothing registered fails the load with erCannotImport
// before any fault further on.

#include <algorithm>
#include <array>
#include <cstring>

#include "engine/exec/exec.h"
#include "engine/image/image_tables.h"
#include "engine/names/names.h"
#include "engine/values/script_fault.h"

namespace dravik::engine::exec {

class ImageLoader {
 public:
  ImageLoader(TPSExec& exec, std::string_view image, const image::ImageTables& tables)
      : x_(exec), image_(image), tables_(tables) {}

  // True when the image is loaded; false after reporting the first problem met.
  bool Load();

 private:
  bool Fail(image::TQXException code, std::string_view parameter = {}) {
    x_.Unload();
    x_.ReportError(code, parameter);
    return false;
  }
  bool FailWithProblem() { return Fail(tables_.problem->code); }
  bool ProblemBefore(std::size_t entriesRead, std::uint32_t entriesDeclared) const {
    return tables_.problem && entriesRead < entriesDeclared;
  }

  bool LoadTypes();
  std::unique_ptr<values::TPSTypeRec> MakeType(const image::ImageType& type);
  values::TPSRuntimeAttributes MakeAttributes(const std::vector<image::ImageAttribute>& attributes) const;
  bool LoadProcs();
  bool LoadVariables();

  TPSExec& x_;
  std::string_view image_;
  const image::ImageTables& tables_;
};

values::TPSRuntimeAttributes ImageLoader::MakeAttributes(const std::vector<image::ImageAttribute>& attributes) const {
  values::TPSRuntimeAttributes result;
  for (const image::ImageAttribute& attribute : attributes) {
    values::TPSRuntimeAttribute runtime;
    runtime.name = std::string(attribute.name);
    runtime.nameHash = names::NameHash(runtime.name);
    for (const image::ImageConstant& value : attribute.values)
      runtime.values.push_back({x_.types_[value.typeNumber].get(), std::string(value.bytes)});
    result.push_back(std::move(runtime));
  }
  return result;
}

std::unique_ptr<values::TPSTypeRec> ImageLoader::MakeType(const image::ImageType& type) {
  const auto& types = x_.types_;
  switch (type.code) {
    case image::tcRecord: {
      auto record = std::make_unique<values::TPSTypeRec_Record>();
      for (std::uint32_t field : type.fields) record->fields.push_back(types[field].get());
      return record;
    }
    case image::tcArray: return std::make_unique<values::TPSTypeRec_Array>(types[type.element].get());
    case image::tcStaticArray:
      return std::make_unique<values::TPSTypeRec_StaticArray>(types[type.element].get(), type.count);
    case image::tcSet: return std::make_unique<values::TPSTypeRec_Set>(type.count);
    case image::tcProcPtr: return std::make_unique<values::TPSTypeRec_ProcPtr>(std::string(type.text));
    case image::tcClass: return std::make_unique<values::TPSTypeRec_Class>(std::string(type.text));
    case image::tcInterface: {
      std::array<std::uint8_t, image::kInterfaceGuidSize> guid{};
      std::memcpy(guid.data(), type.text.data(), std::min(type.text.size(), guid.size()));
      return std::make_unique<values::TPSTypeRec_Interface>(guid);
    }
    default: return std::make_unique<values::TPSTypeRec>(type.code);
  }
}

bool ImageLoader::LoadTypes() {
  for (const image::ImageType& type : tables_.types) {
    std::unique_ptr<values::TPSTypeRec> record = MakeType(type);
    // A type whose values could not be held in memory fails here rather than at its first use.
    if (!record->CalcSize()) return Fail(image::erOutOfMemory);
    if (type.exportName) {
      record->exportName = std::string(*type.exportName);
      record->exportNameHash = names::NameHash(record->exportName);
    }
    if (record->baseType == image::tcPointer && x_.firstPointerType_ == nullptr) x_.firstPointerType_ = record.get();
    x_.types_.push_back(std::move(record));
    x_.types_.back()->attributes = MakeAttributes(type.attributes);
  }
  return !ProblemBefore(tables_.types.size(), tables_.header.typeCount) || FailWithProblem();
}

bool ImageLoader::LoadProcs() {
  for (const image::ImageRoutine& routine : tables_.routines) {
    std::unique_ptr<TPSProcRec> record;
    if (routine.IsExternal()) {
      auto external = std::make_unique<TPSExternalProcRec>(x_);
      external->name = std::string(routine.name);
      external->declaration = std::string(routine.declaration);
      if (!x_.ResolveExternal(external->name, *external))
        return Fail(image::erCannotImport, external->name.empty() ? external->declaration : external->name);
      record = std::move(external);
    } else {
      auto internal = std::make_unique<TPSInternalProcRec>(x_);
      internal->exportName = std::string(routine.name);
      internal->exportNameHash = names::NameHash(internal->exportName);
      internal->exportDeclaration = std::string(routine.declaration);
      internal->code = std::string(image_.substr(routine.codeOffset, routine.codeLength));
      record = std::move(internal);
    }
    record->number = static_cast<std::int32_t>(x_.procs_.size());
    record->attributes = MakeAttributes(routine.attributes);
    x_.procs_.push_back(std::move(record));
  }
  return !ProblemBefore(tables_.routines.size(), tables_.header.procCount) || FailWithProblem();
}

bool ImageLoader::LoadVariables() {
  for (const image::ImageVariable& variable : tables_.variables) {
    const std::uint32_t index = static_cast<std::uint32_t>(x_.globals_.Count());
    x_.globals_.Push(*x_.types_[variable.type]);
    if (variable.exportName) {
      ExportedVariable exported;
      exported.name = std::string(*variable.exportName);
      exported.nameHash = names::NameHash(exported.name);
      exported.index = index;
      x_.exportedVariables_.push_back(std::move(exported));
    }
  }
  return !ProblemBefore(tables_.variables.size(), tables_.header.varCount) || FailWithProblem();
}

bool ImageLoader::Load() {
  if (!tables_.headerRead || (tables_.problem && tables_.problem->code == image::erInvalidHeader))
    return Fail(image::erInvalidHeader);
  if (!LoadTypes() || !LoadProcs()) return false;
  try {
    if (!LoadVariables()) return false;
  } catch (const values::ScriptFault& fault) {
    return Fail(fault.Code());
  }
  if (tables_.problem) return FailWithProblem();  // the main procedure is not in the table
  const std::uint32_t main = tables_.header.mainProc;
  x_.mainProcNo_ = main == image::kNoNumber ? -1 : static_cast<std::int32_t>(main);
  x_.status_ = ExecStatus::kLoaded;
  return true;
}

bool TPSExec::Load(std::string_view image) {
  Unload();
  stopRequested_.store(false, std::memory_order_relaxed);
  const image::ImageTables tables = image::ReadImageTables(image);
  return ImageLoader(*this, image, tables).Load();
}

}  // namespace dravik::engine::exec

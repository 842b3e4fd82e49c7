#pragma once
// Hand-made images for the image tests: tables are given entry by entry, script routines with
// their code, and Build() lays them out and fills in the code offsets.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/image/byte_writer.h"
#include "engine/image/format.h"

namespace dravik::engine::test {

inline std::string U32(std::uint32_t value) {
  std::string out;
  image::AppendU32(out, value);
  return out;
}

inline std::string Byte(std::uint8_t value) { return std::string(1, static_cast<char>(value)); }

// Operand bytes.
inline std::string VarOperand(std::uint32_t variable) {
  return Byte(static_cast<std::uint8_t>(image::OperandKind::kVariable)) + U32(variable);
}
inline std::string ConstOperand(std::uint32_t type, std::string_view value) {
  return Byte(static_cast<std::uint8_t>(image::OperandKind::kConstant)) + U32(type) + std::string(value);
}
inline std::string IndexedOperand(std::uint32_t variable, std::uint32_t index) {
  return Byte(static_cast<std::uint8_t>(image::OperandKind::kIndexed)) + U32(variable) + U32(index);
}
inline std::string IndexedByVarOperand(std::uint32_t variable, std::uint32_t indexVariable) {
  return Byte(static_cast<std::uint8_t>(image::OperandKind::kIndexedByVar)) + U32(variable) +
         U32(indexVariable);
}

class TestImage {
 public:
  std::uint32_t build = image::kImageBuildNumber;
  std::uint32_t mainProc = image::kNoNumber;

  // A type entry without its attribute block (added from build 21 on as count 0).
  void AddType(std::string_view entry) {
    types_ += entry;
    if (build >= image::kFirstBuildWithTypeAttributes) image::AppendU32(types_, 0);
    ++typeCount_;
  }
  void AddRawTypeEntry(std::string_view entry) {
    types_ += entry;
    ++typeCount_;
  }

  void AddScriptRoutine(std::string_view name, std::string_view declaration, std::string_view code) {
    image::AppendU8(routines_, image::kProcExported);
    codeFields_.push_back(routines_.size());
    image::AppendU32(routines_, 0);
    image::AppendU32(routines_, static_cast<std::uint32_t>(code.size()));
    image::AppendLengthPrefixed(routines_, name);
    image::AppendLengthPrefixed(routines_, declaration);
    codes_.emplace_back(code);
    ++routineCount_;
  }

  void AddExternalRoutine(std::string_view name, std::string_view callDeclaration) {
    image::AppendU8(routines_, image::kProcExternal | image::kProcExported);
    image::AppendU8(routines_, static_cast<std::uint8_t>(name.size()));
    image::AppendBytes(routines_, name);
    image::AppendLengthPrefixed(routines_, callDeclaration);
    ++routineCount_;
  }

  void AddRawRoutineEntry(std::string_view entry) {
    routines_ += entry;
    ++routineCount_;
  }

  void AddVariable(std::uint32_t type) {
    image::AppendU32(variables_, type);
    image::AppendU8(variables_, 0);
    ++varCount_;
  }

  std::string Build() const {
    std::string image;
    for (std::uint32_t field : {image::kImageMagic, build, typeCount_, routineCount_, varCount_, mainProc, 0u})
      image::AppendU32(image, field);
    image += types_;
    const std::size_t routinesAt = image.size();
    image += routines_;
    image += variables_;
    for (std::size_t i = 0; i < codes_.size(); ++i) {
      image::PatchU32(image, routinesAt + codeFields_[i], static_cast<std::uint32_t>(image.size()));
      image += codes_[i];
    }
    return image;
  }

 private:
  std::string types_, routines_, variables_;
  std::uint32_t typeCount_ = 0, routineCount_ = 0, varCount_ = 0;
  std::vector<std::size_t> codeFields_;
  std::vector<std::string> codes_;
};

}  // namespace dravik::engine::test

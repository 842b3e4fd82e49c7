#include "engine/image/debug_info.h"

#include "engine/image/byte_reader.h"
#include "engine/image/format.h"

namespace dravik::engine::image {

namespace {

class DebugReader {
 public:
  DebugReader(std::string_view bytes, DebugInfo& info) : reader_(bytes), info_(info) {}

  void ReadAll() {
    while (!reader_.AtEnd())
      if (!ReadRecord()) return;
  }

 private:
  bool Fail(std::size_t at, std::string_view reason) {
    info_.problem = "byte " + std::to_string(at) + ": " + std::string(reason);
    return false;
  }

  bool ReadRecord() {
    const std::size_t at = reader_.Position();
    switch (static_cast<DebugRecord>(*reader_.ReadU8())) {
      case DebugRecord::kNames: return ReadNames();
      case DebugRecord::kRoutineParams: return ReadRoutineNames(&DebugRoutine::params);
      case DebugRecord::kRoutineLocals: return ReadRoutineNames(&DebugRoutine::locals);
      case DebugRecord::kStatement: return ReadStatement();
    }
    return Fail(at, "unknown record");
  }

  // Bytes up to the next marker or end byte, which stays unread.
  std::string ReadName() {
    std::string name;
    while (!reader_.AtEnd()) {
      const char next = reader_.Bytes()[reader_.Position()];
      if (next == kDebugNameMarker || next == kDebugEnd) break;
      name += next;
      reader_.ReadU8();
    }
    return name;
  }

  bool Expect(char marker, std::string_view what) {
    const std::size_t at = reader_.Position();
    std::optional<std::uint8_t> byte = reader_.ReadU8();
    if (!byte || static_cast<char>(*byte) != marker) return Fail(at, what);
    return true;
  }

  // (marker name)* end
  bool ReadNameList(std::vector<std::string>& names) {
    while (!reader_.AtEnd() && reader_.Bytes()[reader_.Position()] == kDebugNameMarker) {
      reader_.ReadU8();
      names.push_back(ReadName());
    }
    return Expect(kDebugEnd, "name list not ended");
  }

  // routines: (marker name)* end marker, globals: (marker name)* end
  bool ReadNames() {
    info_.routineNames.clear();
    info_.globalNames.clear();
    return ReadNameList(info_.routineNames) &&
           Expect(kDebugNameMarker, "names record: global list missing") &&
           ReadNameList(info_.globalNames);
  }

  bool ReadRoutineNames(std::vector<std::string> DebugRoutine::*list) {
    const std::size_t at = reader_.Position();
    std::optional<std::uint32_t> routine = reader_.ReadU32();
    if (!routine) return Fail(at, "routine number missing");
    std::vector<std::string>& names = info_.routines[*routine].*list;
    names.clear();
    return ReadNameList(names);
  }

  bool ReadStatement() {
    ReadName();  // the file name; empty in this system
    if (!Expect(kDebugNameMarker, "statement record: routine missing")) return false;
    const std::size_t at = reader_.Position();
    DebugStatement statement;
    for (std::uint32_t* field : {&statement.routine, &statement.position, &statement.sourceOffset,
                                 &statement.line, &statement.column}) {
      std::optional<std::uint32_t> value = reader_.ReadU32();
      if (!value) return Fail(at, "statement record cut short");
      *field = *value;
    }
    info_.statements.push_back(statement);
    return true;
  }

  ByteReader reader_;
  DebugInfo& info_;
};

}  // namespace

DebugInfo ReadDebugInfo(std::string_view debugOutput) {
  DebugInfo info;
  DebugReader(debugOutput, info).ReadAll();
  return info;
}

}  // namespace dravik::engine::image

#pragma once
// A script value owned by a test: default-initialised on creation, finalised when it goes, so
// that the sanitizer's leak check sees every reference a test forgets to release.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/values/operators.h"
#include "engine/values/script_fault.h"
#include "engine/values/type_records.h"
#include "engine/values/value_memory.h"

namespace dravik::engine::testing {

class TestValue {
 public:
  explicit TestValue(const values::TPSTypeRec& type) : type_(&type), bytes_(std::max<std::size_t>(type.memSize, 1)) {
    values::InitializeValue(Data(), type);
  }
  ~TestValue() { values::FinalizeValue(Data(), *type_); }
  TestValue(const TestValue&) = delete;
  TestValue& operator=(const TestValue&) = delete;

  void* Data() { return bytes_.data(); }
  std::uint8_t* Bytes() { return bytes_.data(); }
  values::ValueRef Ref() { return {Data(), type_}; }
  template <class T>
  T Get() { return values::Load<T>(Data()); }
  template <class T>
  void Set(T value) { values::Store(Data(), value); }

 private:
  const values::TPSTypeRec* type_;
  std::vector<std::uint8_t> bytes_;
};

// Runs body and answers the code of the ScriptFault it throws (ErNoError when none).
template <class Body>
image::TQXException FaultOf(Body body) {
  try {
    body();
  } catch (const values::ScriptFault& fault) {
    return fault.Code();
  }
  return image::ErNoError;
}

// Runs body and answers the message of the HostException it throws (empty when none).
template <class Body>
std::string HostMessageOf(Body body) {
  try {
    body();
  } catch (const values::HostException& exception) {
    return exception.what();
  }
  return {};
}

}  // namespace dravik::engine::testing

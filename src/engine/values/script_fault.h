#pragma once
// How value operations and host routines fail. The machine catches these around every
// instruction and turns them into runtime error codes; nothing of them escapes Run.
//
//  - ScriptFault: an error with a runtime error code of its own (ErTypeMismatch,
//    ErDivideByZero, erOutOfMemory ...), reported with that code.
//  - HostException: what a host routine or a conversion throws with a message ("Type Mismatch",
//    "Invalid float"); reported as erException with the message as parameter.
//  - EPSException: the engine's own exception class, carrying a message, a procedure number and
//    a position; reported as erCustomError with the message and its own procedure and position.
// Any other std::exception is reported like a HostException with what() as the message, and
// std::bad_alloc as erOutOfMemory.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

#include "engine/image/runtime_error.h"

namespace dravik::engine::values {

class ScriptFault : public std::exception {
 public:
  explicit ScriptFault(image::TQXException code, std::string parameter = {})
      : code_(code), parameter_(std::move(parameter)) {}
  image::TQXException Code() const { return code_; }
  const std::string& Parameter() const { return parameter_; }
  const char* what() const noexcept override { return "script fault"; }

 private:
  image::TQXException code_;
  std::string parameter_;
};

class HostException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class EPSException : public std::runtime_error {
 public:
  EPSException(const std::string& message, std::int32_t procNo, std::uint32_t position)
      : std::runtime_error(message), procNo_(procNo), position_(position) {}
  std::int32_t ProcNo() const { return procNo_; }
  std::uint32_t Position() const { return position_; }

 private:
  std::int32_t procNo_;
  std::uint32_t position_;
};

// The message of the conversion failures the assignment and arithmetic rules raise.
inline constexpr const char* kTypeMismatchMessage = "Type Mismatch";
// The message of the typed setters (value_access.h) when they cannot store a value.
inline constexpr const char* kSetterMismatchMessage = "Type mismatch";

[[noreturn]] inline void FailWith(image::TQXException code) { throw ScriptFault(code); }
[[noreturn]] inline void FailTypeMismatchConversion() { throw HostException(kTypeMismatchMessage); }

}  // namespace dravik::engine::values

#pragma once
// Runtime error codes: the one-byte codes the loader and the virtual machine report, with their
// message texts. Scripts see the same names as the enumeration type TQXException.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace dravik::engine::image {

// How a code's message uses the parameter text.
enum class ErrorParameter : std::uint8_t {
  kIgnored,        // the text alone
  kCutAtControl,   // the text, then the parameter up to its first byte below 32
  kAppended,       // the text, then the whole parameter
  kWhole,          // the parameter alone
};

// X(name, code, text, parameter use).
#define DRAVIK_RUNTIME_ERRORS(X)                                                    \
  X(ErNoError, 0, "No Error", kIgnored)                                             \
  X(erCannotImport, 1, "Cannot Import ", kCutAtControl)                             \
  X(erInvalidType, 2, "Invalid Type", kIgnored)                                     \
  X(ErInternalError, 3, "Internal error", kIgnored)                                 \
  X(erInvalidHeader, 4, "Invalid Header", kIgnored)                                 \
  X(erInvalidOpcode, 5, "Invalid Opcode", kIgnored)                                 \
  X(erInvalidOpcodeParameter, 6, "Invalid Opcode Parameter", kIgnored)              \
  X(erNoMainProc, 7, "no Main Proc", kIgnored)                                      \
  X(erOutOfGlobalVarsRange, 8, "Out of Global Vars range", kIgnored)                \
  X(erOutOfProcRange, 9, "Out of Proc Range", kIgnored)                             \
  X(ErOutOfRange, 10, "Out Of Range", kIgnored)                                     \
  X(erOutOfStackRange, 11, "Out Of Stack Range", kIgnored)                          \
  X(ErTypeMismatch, 12, "Type Mismatch", kIgnored)                                  \
  X(erUnexpectedEof, 13, "Unexpected End Of File", kIgnored)                        \
  X(erVersionError, 14, "Version error", kIgnored)                                  \
  X(ErDivideByZero, 15, "divide by Zero", kIgnored)                                 \
  X(ErMathError, 16, "Math error", kIgnored)                                        \
  X(erCouldNotCallProc, 17, "Could not call proc", kIgnored)                        \
  X(erOutofRecordRange, 18, "Out of Record Fields Range", kIgnored)                 \
  X(erOutOfMemory, 19, "Out Of Memory", kIgnored)                                   \
  X(erException, 20, "Exception: ", kAppended)                                      \
  X(erNullPointerException, 21, "Null Pointer Exception", kIgnored)                 \
  X(erNullVariantError, 22, "Null variant error", kIgnored)                         \
  X(erInterfaceNotSupported, 23, "Interface not supported", kIgnored)               \
  X(erCustomError, 24, "", kWhole)

enum TQXException : std::uint8_t {
#define DRAVIK_RUNTIME_ERROR_ENUM(name, code, text, parameter) name = code,
  DRAVIK_RUNTIME_ERRORS(DRAVIK_RUNTIME_ERROR_ENUM)
#undef DRAVIK_RUNTIME_ERROR_ENUM
};

struct RuntimeErrorInfo {
  std::string_view name;  // the TQXException member: "erInvalidType"
  TQXException code;
  std::string_view text;
  ErrorParameter parameter;
};

inline constexpr std::array kRuntimeErrors = {
#define DRAVIK_RUNTIME_ERROR_ENTRY(name, code, text, parameter) \
  RuntimeErrorInfo{#name, name, text, ErrorParameter::parameter},
    DRAVIK_RUNTIME_ERRORS(DRAVIK_RUNTIME_ERROR_ENTRY)
#undef DRAVIK_RUNTIME_ERROR_ENTRY
};
inline constexpr std::size_t kRuntimeErrorCount = 25;
static_assert(kRuntimeErrors.size() == kRuntimeErrorCount);

inline constexpr std::string_view kUnknownErrorText = "Unknown error";
// ErrorToText ignores bit 7 of the code.
inline constexpr std::uint8_t kErrorCodeMask = 0x7F;

// The message of a runtime error: the code masked with kErrorCodeMask picks the text; codes
// beyond the table give kUnknownErrorText.
std::string ErrorToText(std::uint8_t code, std::string_view parameter);

}  // namespace dravik::engine::image

#pragma once
// The failure the compiler's registration operations raise when the host misuses them.

#include <exception>
#include <string>

namespace dravik::engine::compiler {

class EPSCompilerException : public std::exception {
 public:
  explicit EPSCompilerException(std::string text) : text_(std::move(text)) {}
  const char* what() const noexcept override { return text_.c_str(); }

 private:
  std::string text_;
};

}  // namespace dravik::engine::compiler

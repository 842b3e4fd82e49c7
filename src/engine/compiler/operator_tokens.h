#pragma once
// Which token stands for which binary operator, at which level of precedence.

#include <cstdint>
#include <optional>

#include "engine/compiler/values.h"
#include "engine/tokenizer/token_kind.h"

namespace dravik::engine::compiler {

enum class OperatorLevel : std::uint8_t { Relation, Sum, Product };

// The operator a token stands for at a level; constant expressions know no in, is or as.
std::optional<TPSBinOperator> BinaryOperatorAt(OperatorLevel level, tokenizer::TPSTokenKind token,
                                               bool inConstant);

}  // namespace dravik::engine::compiler

#include "engine/compiler/operator_tokens.h"

#include <array>

namespace dravik::engine {

namespace {

struct OperatorToken {
  TPSTokenKind token;
  OperatorLevel level;
  TPSBinOperator op;
  bool inConstants;
};

using L = OperatorLevel;
constexpr std::array kOperatorTokens = {
    OperatorToken{tokEqual, L::Relation, otEqual, true},
    OperatorToken{tokNotEqual, L::Relation, otNotEqual, true},
    OperatorToken{tokGreater, L::Relation, otGreater, true},
    OperatorToken{tokGreaterEqual, L::Relation, otGreaterEqual, true},
    OperatorToken{tokLess, L::Relation, otLess, true},
    OperatorToken{tokLessEqual, L::Relation, otLessEqual, true},
    OperatorToken{tokIn, L::Relation, otIn, false},
    OperatorToken{tokIs, L::Relation, otIs, false},
    OperatorToken{tokPlus, L::Sum, otAdd, true},
    OperatorToken{tokMinus, L::Sum, otSub, true},
    OperatorToken{tokOr, L::Sum, otOr, true},
    OperatorToken{tokXor, L::Sum, otXor, true},
    OperatorToken{tokMultiply, L::Product, otMul, true},
    // "/" and div are one operator: the operand types choose real or integer division.
    OperatorToken{tokDivide, L::Product, otDiv, true},
    OperatorToken{tokDiv, L::Product, otDiv, true},
    OperatorToken{tokMod, L::Product, otMod, true},
    OperatorToken{tokShl, L::Product, otShl, true},
    OperatorToken{tokShr, L::Product, otShr, true},
    OperatorToken{tokAnd, L::Product, otAnd, true},
    OperatorToken{tokAs, L::Product, otAs, false},
};

}  // namespace

std::optional<TPSBinOperator> BinaryOperatorAt(OperatorLevel level, TPSTokenKind token,
                                               bool inConstant) {
  for (const OperatorToken& entry : kOperatorTokens)
    if (entry.token == token && entry.level == level && (entry.inConstants || !inConstant))
      return entry.op;
  return std::nullopt;
}

}  // namespace dravik::engine

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

// Where each token's entry is in kOperatorTokens, by token kind: a token stands for one
// operator at most, so the parser finds it without a search.
constexpr std::uint8_t kNoOperator = 0xFF;

constexpr std::array<std::uint8_t, kTokenKindCount> MakeOperatorByToken() {
  std::array<std::uint8_t, kTokenKindCount> byToken{};
  for (std::uint8_t& entry : byToken) entry = kNoOperator;
  for (std::size_t i = 0; i < kOperatorTokens.size(); ++i) {
    std::uint8_t& entry = byToken[kOperatorTokens[i].token];
    if (entry != kNoOperator) throw "a token is listed twice";  // fails the constant evaluation
    entry = static_cast<std::uint8_t>(i);
  }
  return byToken;
}

constexpr auto kOperatorByToken = MakeOperatorByToken();

}  // namespace

std::optional<TPSBinOperator> BinaryOperatorAt(OperatorLevel level, TPSTokenKind token,
                                               bool inConstant) {
  if (token >= kTokenKindCount || kOperatorByToken[token] == kNoOperator) return std::nullopt;
  const OperatorToken& entry = kOperatorTokens[kOperatorByToken[token]];
  if (entry.level != level || (inConstant && !entry.inConstants)) return std::nullopt;
  return entry.op;
}

}  // namespace dravik::engine

#include "engine/compiler/operator_tokens.h"

#include <array>

namespace dravik::engine::compiler {

namespace {

struct OperatorToken {
  tokenizer::TPSTokenKind token;
  OperatorLevel level;
  TPSBinOperator op;
  bool inConstants;
};

using L = OperatorLevel;
constexpr std::array kOperatorTokens = {
    OperatorToken{tokenizer::tokEqual, L::Relation, otEqual, true},
    OperatorToken{tokenizer::tokNotEqual, L::Relation, otNotEqual, true},
    OperatorToken{tokenizer::tokGreater, L::Relation, otGreater, true},
    OperatorToken{tokenizer::tokGreaterEqual, L::Relation, otGreaterEqual, true},
    OperatorToken{tokenizer::tokLess, L::Relation, otLess, true},
    OperatorToken{tokenizer::tokLessEqual, L::Relation, otLessEqual, true},
    OperatorToken{tokenizer::tokIn, L::Relation, otIn, false},
    OperatorToken{tokenizer::tokIs, L::Relation, otIs, false},
    OperatorToken{tokenizer::tokPlus, L::Sum, otAdd, true},
    OperatorToken{tokenizer::tokMinus, L::Sum, otSub, true},
    OperatorToken{tokenizer::tokOr, L::Sum, otOr, true},
    OperatorToken{tokenizer::tokXor, L::Sum, otXor, true},
    OperatorToken{tokenizer::tokMultiply, L::Product, otMul, true},
    // "/" and div are one operator: the operand types choose real or integer division.
    OperatorToken{tokenizer::tokDivide, L::Product, otDiv, true},
    OperatorToken{tokenizer::tokDiv, L::Product, otDiv, true},
    OperatorToken{tokenizer::tokMod, L::Product, otMod, true},
    OperatorToken{tokenizer::tokShl, L::Product, otShl, true},
    OperatorToken{tokenizer::tokShr, L::Product, otShr, true},
    OperatorToken{tokenizer::tokAnd, L::Product, otAnd, true},
    OperatorToken{tokenizer::tokAs, L::Product, otAs, false},
};

// Where each token's entry is in kOperatorTokens, by token kind: a token stands for one
// operator at most, so the parser finds it without a search.
constexpr std::uint8_t kNoOperator = 0xFF;

constexpr std::array<std::uint8_t, tokenizer::kTokenKindCount> MakeOperatorByToken() {
  std::array<std::uint8_t, tokenizer::kTokenKindCount> byToken{};
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

std::optional<TPSBinOperator> BinaryOperatorAt(OperatorLevel level, tokenizer::TPSTokenKind token,
                                               bool inConstant) {
  if (token >= tokenizer::kTokenKindCount || kOperatorByToken[token] == kNoOperator) return std::nullopt;
  const OperatorToken& entry = kOperatorTokens[kOperatorByToken[token]];
  if (entry.level != level || (inConstant && !entry.inConstants)) return std::nullopt;
  return entry.op;
}

}  // namespace dravik::engine::compiler

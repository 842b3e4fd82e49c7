// The constant expressions of declarations (const values, static array bounds, attribute
// arguments): read whole into a small tree, then evaluated, so that a syntax error anywhere is
// reported before any arithmetic fault.

#include "engine/compiler/compilation.h"
#include "engine/compiler/operator_tokens.h"

namespace dravik::engine::compiler {

namespace {

struct ConstNode {
  enum class Kind : std::uint8_t { Data, Unary, Binary } kind = Kind::Data;
  ConstNode() = default;
  ConstNode(const ConstNode&) = delete;
  ConstNode& operator=(const ConstNode&) = delete;
  // A long run (1 + 2 + 3 ...) hangs down the left side; it is taken apart in a loop.
  ~ConstNode() {
    std::unique_ptr<ConstNode> next = std::move(left);
    while (next != nullptr) next = std::move(next->left);
  }

  TPSTypedValue value;
  std::uint8_t op = 0;  // TPSBinOperator, or TPSUnOperator for Unary
  std::uint32_t depth = 1;  // nesting, a run counted once (ChainsLeft)
  std::unique_ptr<ConstNode> left, right;
};
using ConstNodePtr = std::unique_ptr<ConstNode>;

class ConstantReader {
 public:
  ConstantReader(Compilation& c, tokenizer::TPSPascalParser& p) : c_(c), p_(p) {}

  // relation: sum {relational-op sum}
  ConstNodePtr Relation() {
    return Level(&ConstantReader::Sum, OperatorLevel::Relation);
  }

  // Evaluates bottom-up; the result takes the left operand's place. Down the left side of a run
  // in a loop, the right operands (which are nested) by recursion.
  bool Evaluate(ConstNode& top) {
    std::vector<ConstNode*> run;
    ConstNode* at = &top;
    for (; at->kind == ConstNode::Kind::Binary; at = at->left.get()) run.push_back(at);
    if (!EvaluateLeaf(*at)) return false;
    for (auto node = run.rbegin(); node != run.rend(); ++node) {
      ConstNode& n = **node;
      if (!Evaluate(*n.right)) return false;
      n.value = std::move(n.left->value);
      if (!c_.EvalConstBinary(n.value, n.right->value, static_cast<TPSBinOperator>(n.op), p_)) return false;
    }
    return true;
  }

 private:
  using Reader = ConstNodePtr (ConstantReader::*)();

  ConstNodePtr Level(Reader operand, OperatorLevel level) {
    ConstNodePtr left = (this->*operand)();
    while (left) {
      std::optional<TPSBinOperator> op = BinaryOperatorAt(level, p_.TokenKind(), true);
      if (!op) break;
      p_.Next();
      ConstNodePtr right = (this->*operand)();
      if (!right) return nullptr;
      left = Join(ConstNode::Kind::Binary, *op, std::move(left), std::move(right));
      if (left->depth > kMaxExpressionDepth) return c_.FailNull(p_, ecNestingTooDeep);
    }
    return left;
  }

  ConstNodePtr Sum() { return Level(&ConstantReader::Product, OperatorLevel::Sum); }
  ConstNodePtr Product() { return Level(&ConstantReader::Factor, OperatorLevel::Product); }

  static ConstNodePtr Join(ConstNode::Kind kind, std::uint8_t op, ConstNodePtr left, ConstNodePtr right) {
    auto node = std::make_unique<ConstNode>();
    node->kind = kind;
    node->op = op;
    const bool run = kind == ConstNode::Kind::Binary && ChainsLeft(static_cast<TPSBinOperator>(op));
    node->depth = run ? std::max(left->depth, right->depth + 1) : std::max(left->depth, right ? right->depth : 0) + 1;
    node->left = std::move(left);
    node->right = std::move(right);
    return node;
  }

  static ConstNodePtr Leaf(TPSTypedValue value) {
    auto node = std::make_unique<ConstNode>();
    node->value = std::move(value);
    return node;
  }

  // factor: constant-name | '(' relation ')' | '-' product | NOT factor | literal
  ConstNodePtr Factor() {
    NestingGuard guard(c_);
    if (!guard.Ok(p_)) return nullptr;
    switch (p_.TokenKind()) {
      case tokenizer::tokIdentifier: {
        const TPSConstant* constant = c_.FindConstant(p_.TokenKey());
        if (constant == nullptr) return c_.FailNull(p_, ecUnknownIdentifier, p_.RawToken());
        p_.Next();
        return Leaf(constant->value);
      }
      case tokenizer::tokOpenRound: {
        p_.Next();
        ConstNodePtr inner = Relation();
        if (!inner) return nullptr;
        if (p_.TokenKind() != tokenizer::tokCloseRound) return c_.FailNull(p_, ecCloseRoundExpected);
        p_.Next();
        return inner;
      }
      case tokenizer::tokMinus:
      case tokenizer::tokNot: {
        const bool negate = p_.TokenKind() == tokenizer::tokMinus;
        p_.Next();
        ConstNodePtr operand = negate ? Product() : Factor();
        if (!operand) return nullptr;
        return Join(ConstNode::Kind::Unary, negate ? otMinus : otNot, std::move(operand), nullptr);
      }
      case tokenizer::tokInteger:
      case tokenizer::tokHexInteger: {
        std::optional<TPSTypedValue> value = c_.ReadIntegerToken(p_);
        if (!value) return nullptr;
        p_.Next();
        return Leaf(std::move(*value));
      }
      case tokenizer::tokReal: {
        std::optional<TPSTypedValue> value = c_.ReadRealToken(p_);
        if (!value) return nullptr;
        p_.Next();
        return Leaf(std::move(*value));
      }
      case tokenizer::tokString:
      case tokenizer::tokCharCode: {
        std::optional<TPSTypedValue> value = c_.ReadStringLiteral(p_);
        if (!value) return nullptr;
        return Leaf(std::move(*value));
      }
      default:
        return c_.FailNull(p_, ecSyntaxError);
    }
  }

  // A literal or constant (a one-character string becomes a character), or a unary operation.
  bool EvaluateLeaf(ConstNode& node) {
    if (node.kind == ConstNode::Kind::Unary) {
      if (!Evaluate(*node.left)) return false;
      node.value = std::move(node.left->value);
      return Complement(node.value, static_cast<TPSUnOperator>(node.op));
    }
    if (node.value.BaseType() == image::tcString && node.value.text.size() == 1) {
      const auto ch = static_cast<unsigned char>(node.value.text[0]);
      node.value = TPSTypedValue{};
      node.value.type = c_.FindBaseType(image::tcChar);
      node.value.ordinal = ch;
    }
    return true;
  }

  // NOT and negation of integers in their width; nothing else.
  bool Complement(TPSTypedValue& value, TPSUnOperator op) {
    if (!IsIntegerCode(value.BaseType())) return c_.Fail(p_, ecTypeMismatch);
    return c_.EvalConstUnary(value, op, value.type, p_);
  }

  Compilation& c_;
  tokenizer::TPSPascalParser& p_;
};

}  // namespace

std::optional<TPSTypedValue> Compilation::ReadConstant(tokenizer::TPSPascalParser& p) {
  ConstantReader reader(*this, p);
  ConstNodePtr tree = reader.Relation();
  if (!tree || !reader.Evaluate(*tree)) return std::nullopt;
  return std::move(tree->value);
}

}  // namespace dravik::engine::compiler

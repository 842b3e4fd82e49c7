#include "engine/compiler/compilation.h"

namespace dravik::engine::compiler {

Compilation::Compilation(TPSPascalCompiler& owner, tokenizer::TPSPascalParser& script)
    : owner_(owner), script_(script), usedUnits_{"SYSTEM"} {}

// --- messages

// Only the first error is reported: a lexical error ends the token stream, and whatever the
// parser then meets must not add a second message.
bool Compilation::Fail(const tokenizer::TPSPascalParser& p, std::uint8_t code, std::string_view detail) {
  if (&p != &script_ || errorReported_) return false;
  errorReported_ = true;
  owner_.AddError(code, std::string(detail));
  return false;
}

bool Compilation::FailAt(TPSSourcePosition at, std::uint8_t code, std::string_view detail) {
  if (errorReported_) return false;
  errorReported_ = true;
  owner_.AddError(code, std::string(detail))
      .SetPosition(static_cast<std::int32_t>(at.row), static_cast<std::int32_t>(at.column),
                   static_cast<std::int32_t>(at.offset));
  return false;
}

void Compilation::WarnAt(TPSSourcePosition at, std::uint8_t code, std::string detail) {
  owner_.AddWarning(code, std::move(detail))
      .SetPosition(static_cast<std::int32_t>(at.row), static_cast<std::int32_t>(at.column),
                   static_cast<std::int32_t>(at.offset));
}

void Compilation::HintAt(std::int32_t row, std::int32_t col, std::int32_t pos, std::uint8_t code,
                         std::string detail) {
  owner_.AddHint(code, std::move(detail)).SetPosition(row, col, pos);
}

TPSSourcePosition Compilation::Here() const {
  return {static_cast<std::uint32_t>(script_.Position()), static_cast<std::uint32_t>(script_.Row()),
          static_cast<std::uint32_t>(script_.Column())};
}

bool Compilation::OpenNonEmptyList() {
  if (script_.TokenKind() != tokenizer::tokOpenRound) return false;
  script_.Next();
  if (script_.TokenKind() != tokenizer::tokCloseRound) return true;
  script_.Next();
  return false;
}

// --- types

TPSType* Compilation::AppendType(std::unique_ptr<TPSType> type) {
  TPSType* added = type.get();
  if (!added->name.empty()) typeIndex_.Add(added->Key(), types_.size());
  types_.push_back(std::move(type));
  return added;
}

TPSType* Compilation::AddType(std::string_view name, image::TPSTypeCode code) {
  std::unique_ptr<TPSType> type = MakeTypeForCode(code);
  type->SetName(name);
  return AppendType(std::move(type));
}

TPSType* Compilation::AddTypeAlias(std::string_view name, TPSType* existing) {
  auto link = std::make_unique<TPSTypeLink>();
  link->SetName(name);
  link->target = ResolveTypeLink(existing);
  return AppendType(std::move(link));
}

TPSType* Compilation::FindType(names::NameKey name) const {
  const names::NameIndex::Positions* found = typeIndex_.Find(name);
  return found == nullptr ? nullptr : ResolveTypeLink(types_[found->last].get());
}

TPSType* Compilation::FindTypeOldest(names::NameKey name) const {
  const names::NameIndex::Positions* found = typeIndex_.Find(name);
  return found == nullptr ? nullptr : ResolveTypeLink(types_[found->first].get());
}

// A plain code's type is the first of that code; types are only ever appended, so once found it
// stays the one and is remembered.
TPSType* Compilation::FindBaseType(image::TPSTypeCode code) {
  if (!IsPlainTypeCode(code)) return UseType(AppendType(MakeTypeForCode(code)));
  TPSType*& known = baseTypes_[code];
  if (known == nullptr) {
    for (const std::unique_ptr<TPSType>& type : types_) {
      if (type->baseType == code) {
        known = type.get();
        break;
      }
    }
  }
  if (known == nullptr) known = AppendType(MakeTypeForCode(code));
  return UseType(known);
}

TPSType* Compilation::UseType(TPSType* type) {
  type = ResolveTypeLink(type);
  if (type == nullptr || type->used) return type;
  switch (type->baseType) {
    case image::tcRecord:
      for (TPSRecordFieldTypeDef& field : static_cast<TPSRecordType*>(type)->fields)
        field.type = UseType(field.type);
      break;
    case image::tcArray:
    case image::tcStaticArray: {
      auto* array = static_cast<TPSArrayType*>(type);
      array->elementType = UseType(array->elementType);
      break;
    }
    case image::tcSet: {
      auto* set = static_cast<TPSSetType*>(type);
      set->elementType = UseType(set->elementType);
      break;
    }
    case image::tcProcPtr: {
      TPSParametersDecl& decl = static_cast<TPSProceduralType*>(type)->decl;
      decl.result = UseType(decl.result);
      for (TPSParameterDecl& param : decl.params) param.type = UseType(param.type);
      break;
    }
    default: break;
  }
  type->used = true;
  type->typeNumber = typeCounter_++;
  return type;
}

TPSConstant* Compilation::AddConstant(std::string_view name, TPSType* type) {
  auto constant = std::make_unique<TPSConstant>();
  constant->name = TPSName(name);
  constant->value = ZeroValue(type);
  constantIndex_.Add(constant->name.Key(), constants_.size());
  constants_.push_back(std::move(constant));
  return constants_.back().get();
}

TPSConstant* Compilation::FindConstant(names::NameKey name) const {
  const names::NameIndex::Positions* found = constantIndex_.Find(name);
  return found == nullptr ? nullptr : constants_[found->last].get();
}

std::optional<std::size_t> Compilation::FindGlobal(names::NameKey name) const {
  const names::NameIndex::Positions* found = globalIndex_.Find(name);
  if (found == nullptr) return std::nullopt;
  return found->first;
}

TPSInterfaceType* Compilation::FindInterfaceType(std::string_view name) {
  const std::string upper = names::FastUpperCase(name);
  for (TPSInterfaceType* intf : interfaces_)
    if (intf->name == upper) return intf;
  return nullptr;
}

TPSInterfaceType* Compilation::AddInterfaceType(TPSInterfaceType* parent, std::string_view guid,
                                                std::string_view name) {
  TPSInterfaceType* intf = FindInterfaceType(name);
  if (intf == nullptr) {
    intf = static_cast<TPSInterfaceType*>(AddType(name, image::tcInterface));
    interfaces_.push_back(intf);
  }
  intf->intf.guid = std::string(guid);
  intf->intf.parent = parent == nullptr ? nullptr : &parent->intf;
  return intf;
}

}  // namespace dravik::engine::compiler

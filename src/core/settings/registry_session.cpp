#include "core/settings/registry_session.h"

#include "core/messages.h"

namespace dravik::core {

bool RegistrySession::OpenKey(std::string_view path, bool create) {
  std::optional<Registry::Key> opened =
      key_ ? registry_.OpenSubKey(*key_, path, create) : registry_.OpenKey(root_, path, create);
  CloseKey();
  key_ = opened;
  return key_.has_value();
}

void RegistrySession::CloseKey() {
  if (key_) registry_.CloseKey(*key_);
  key_.reset();
}

std::optional<RegistryValue> RegistrySession::Read(std::string_view name) {
  if (!key_) return std::nullopt;
  return registry_.ReadValue(*key_, name);
}

std::string RegistrySession::ReadString(std::string_view name) {
  std::optional<RegistryValue> value = Read(name);
  if (!value) return {};
  if (value->type != RegistryValueType::String && value->type != RegistryValueType::ExpandString)
    throw Failure(InvalidDataType(name));
  return std::move(value->text);
}

std::int32_t RegistrySession::ReadInteger(std::string_view name) {
  std::optional<RegistryValue> value = Read(name);
  if (!value || value->type != RegistryValueType::Integer) throw Failure(InvalidDataType(name));
  return static_cast<std::int32_t>(value->integer);
}

bool RegistrySession::ValueExists(std::string_view name) { return Read(name).has_value(); }

void RegistrySession::Write(std::string_view name, const RegistryValue& value) {
  if (!key_ || !registry_.WriteValue(*key_, name, value)) throw Failure(FailedToSetData(name));
}

void RegistrySession::WriteString(std::string_view name, std::string text) {
  Write(name, RegistryValue::String(std::move(text)));
}

void RegistrySession::WriteInteger(std::string_view name, std::int32_t value) {
  Write(name, RegistryValue::Integer(static_cast<std::uint32_t>(value)));
}

void RegistrySession::DeleteValue(std::string_view name) {
  if (key_) registry_.DeleteValue(*key_, name);
}

}  // namespace dravik::core

#include "platform/win32/registry_win.h"

#include <cstring>
#include <string>
#include <vector>

#include <windows.h>

namespace dravik::platform {

namespace {

using core::Registry;
using core::RegistryValue;
using core::RegistryValueType;

// A value may change between the size query and the read; a few retries cover any writer that
// is not rewriting it in a loop.
constexpr int kReadAttempts = 4;
constexpr DWORD kIntegerBytes = sizeof(std::uint32_t);

HKEY ToHandle(Registry::Key key) { return reinterpret_cast<HKEY>(key); }

HKEY RootHandle(core::RegistryRoot root) {
  return root == core::RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CLASSES_ROOT;
}

bool HasZero(std::string_view text) { return text.find('\0') != std::string_view::npos; }

std::optional<Registry::Key> OpenBelow(HKEY parent, std::string_view path, bool create) {
  if (HasZero(path)) return std::nullopt;
  const std::string subKey(path);
  HKEY opened = nullptr;
  const LSTATUS status =
      create ? RegCreateKeyExA(parent, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                               nullptr, &opened, nullptr)
             : RegOpenKeyExA(parent, subKey.c_str(), 0, KEY_ALL_ACCESS, &opened);
  if (status != ERROR_SUCCESS || opened == nullptr) return std::nullopt;
  return reinterpret_cast<Registry::Key>(opened);
}

RegistryValue Other() { return {RegistryValueType::Other, {}, 0}; }

// The system keeps a string's terminating zero inside the stored size only by convention: cut at
// the first zero, or take every byte when there is none.
std::string TextUpToZero(const std::vector<BYTE>& data) {
  const char* chars = reinterpret_cast<const char*>(data.data());
  const std::size_t length = std::string_view(chars, data.size()).find('\0');
  return std::string(chars, length == std::string_view::npos ? data.size() : length);
}

RegistryValue Decode(DWORD type, const std::vector<BYTE>& data) {
  if (type == REG_SZ) return {RegistryValueType::String, TextUpToZero(data), 0};
  if (type == REG_EXPAND_SZ) return {RegistryValueType::ExpandString, TextUpToZero(data), 0};
  if (type != REG_DWORD || data.size() != kIntegerBytes) return Other();
  // REG_DWORD is little-endian, as are the processors this program runs on.
  std::uint32_t integer = 0;
  std::memcpy(&integer, data.data(), kIntegerBytes);
  return RegistryValue::Integer(integer);
}

bool WriteBytes(HKEY key, const std::string& name, DWORD type, const void* data, std::size_t size) {
  if (size > MAXDWORD) return false;
  return RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size)) ==
         ERROR_SUCCESS;
}

}  // namespace

std::optional<core::Registry::Key> RegistryWin::OpenKey(core::RegistryRoot root, std::string_view path, bool create) {
  return OpenBelow(RootHandle(root), path, create);
}

std::optional<core::Registry::Key> RegistryWin::OpenSubKey(Key parent, std::string_view path, bool create) {
  return OpenBelow(ToHandle(parent), path, create);
}

void RegistryWin::CloseKey(Key key) { RegCloseKey(ToHandle(key)); }

std::optional<core::RegistryValue> RegistryWin::ReadValue(Key key, std::string_view name) {
  if (HasZero(name)) return std::nullopt;
  const std::string valueName(name);
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExA(ToHandle(key), valueName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    if (size > kMaxValueBytes) return Other();
    std::vector<BYTE> data(size);
    DWORD read = size;
    const LSTATUS status =
        RegQueryValueExA(ToHandle(key), valueName.c_str(), nullptr, &type, data.empty() ? nullptr : data.data(), &read);
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS) return std::nullopt;
    // The first answer may over-state a string's size (the system converts from its own
    // storage); the second tells what was written.
    data.resize(read < size ? read : size);
    return Decode(type, data);
  }
  return std::nullopt;
}

bool RegistryWin::WriteValue(Key key, std::string_view name, const core::RegistryValue& value) {
  if (HasZero(name)) return false;
  const std::string valueName(name);
  switch (value.type) {
    case RegistryValueType::String:
    case RegistryValueType::ExpandString: {
      if (HasZero(value.text)) return false;
      const DWORD type = value.type == RegistryValueType::String ? REG_SZ : REG_EXPAND_SZ;
      return WriteBytes(ToHandle(key), valueName, type, value.text.c_str(), value.text.size() + 1);
    }
    case RegistryValueType::Integer:
      return WriteBytes(ToHandle(key), valueName, REG_DWORD, &value.integer, kIntegerBytes);
    case RegistryValueType::Other:
      break;
  }
  return false;
}

void RegistryWin::DeleteValue(Key key, std::string_view name) {
  if (HasZero(name)) return;
  RegDeleteValueA(ToHandle(key), std::string(name).c_str());
}

bool RegistryWin::DeleteKeyTree(core::RegistryRoot root, std::string_view path) {
  // An empty path would name the root itself.
  if (HasZero(path) || path.empty()) return false;
  const std::string subKey(path);
  // Some systems' RegDeleteTree removes the named key with its content, others leave it empty:
  // RegDeleteKey takes what is left, and finding nothing left is as good.
  const LSTATUS emptied = RegDeleteTreeA(RootHandle(root), subKey.c_str());
  if (emptied == ERROR_FILE_NOT_FOUND) return true;
  if (emptied != ERROR_SUCCESS) return false;
  const LSTATUS removed = RegDeleteKeyA(RootHandle(root), subKey.c_str());
  return removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND;
}

void RegistryWin::DeleteKeyIfEmpty(core::RegistryRoot root, std::string_view path) {
  if (HasZero(path) || path.empty()) return;
  const std::string subKey(path);
  HKEY key = nullptr;
  if (RegOpenKeyExA(RootHandle(root), subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  DWORD subKeys = 1;
  DWORD values = 1;
  const LSTATUS status =
      RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(key);
  if (status == ERROR_SUCCESS && subKeys == 0 && values == 0) RegDeleteKeyA(RootHandle(root), subKey.c_str());
}

}  // namespace dravik::platform

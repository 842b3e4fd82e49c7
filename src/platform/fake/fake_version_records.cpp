#include "platform/fake/fake_version_records.h"

#include <utility>

#include "engine/engine.h"

namespace dravik::platform {

// A loaded record is the key of its table, so that Query finds the table again.
std::optional<std::string> FakeVersionRecords::Load(std::string_view path) {
  std::string key = engine::AsciiUpperCase(path);
  if (!records_.contains(key)) return std::nullopt;
  return key;
}

std::optional<std::string> FakeVersionRecords::Query(const std::string& record, std::string_view valuePath) {
  const auto table = records_.find(record);
  if (table == records_.end()) return std::nullopt;
  const auto text = table->second.find(std::string(valuePath));
  if (text == table->second.end()) return std::nullopt;
  return text->second;
}

void FakeVersionRecords::Put(std::string_view path, std::map<std::string, std::string> texts) {
  records_[engine::AsciiUpperCase(path)] = std::move(texts);
}

}  // namespace dravik::platform

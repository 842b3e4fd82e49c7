#include "engine/exec/inline_constant.h"

#include <cstring>
#include <string>
#include <string_view>

#include "engine/image/format.h"
#include "engine/values/value_memory.h"

namespace dravik::engine {

void WriteInlineConstant(void* value, const TPSTypeRec& type, const std::uint8_t* bytes, std::uint32_t count) {
  switch (ConstantEncodingOf(type.baseType)) {
    case ConstantEncoding::kByteString:
      SetTextAt(value, type.baseType, std::string_view(reinterpret_cast<const char*>(bytes), count));
      return;
    case ConstantEncoding::kWideString: {
      std::u16string text(count, u'\0');
      for (std::uint32_t i = 0; i < count; ++i) text[i] = Load<char16_t>(bytes + 2 * std::size_t{i});
      SetWideStringAt(value, text);
      return;
    }
    default:
      std::memcpy(value, bytes, count);
  }
}

}  // namespace dravik::engine

#include "engine/exec/inline_constant.h"

#include <cstring>
#include <string>
#include <string_view>

#include "engine/image/format.h"
#include "engine/values/value_memory.h"

namespace dravik::engine::exec {

void WriteInlineConstant(void* value, const values::TPSTypeRec& type, const std::uint8_t* bytes, std::uint32_t count) {
  switch (image::ConstantEncodingOf(type.baseType)) {
    case image::ConstantEncoding::kByteString:
      values::SetTextAt(value, type.baseType, std::string_view(reinterpret_cast<const char*>(bytes), count));
      return;
    case image::ConstantEncoding::kWideString: {
      std::u16string text(count, u'\0');
      for (std::uint32_t i = 0; i < count; ++i) text[i] = values::Load<char16_t>(bytes + 2 * std::size_t{i});
      values::SetWideStringAt(value, text);
      return;
    }
    default:
      std::memcpy(value, bytes, count);
  }
}

}  // namespace dravik::engine::exec

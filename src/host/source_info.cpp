#include "host/source_info.h"

#include <cstdint>

#include "host/host_errors.h"
#include "rtl/format.h"

namespace qob {

bool HasSourceInfo(std::u16string_view AMessage) noexcept {
  size_t bracket = AMessage.rfind(u'[');
  return bracket != std::u16string_view::npos &&
         AMessage.substr(bracket + 1, 5) == std::u16string_view(u"line:");
}

WideString AddSourceInfo(const WideString& AMessage, const void* ASource, int ALine, int APos) {
  if (HasSourceInfo(AMessage.view())) return AMessage;
  auto address = static_cast<int64_t>(reinterpret_cast<uintptr_t>(ASource));
  return Format(SSourceInfoSuffix, {AMessage, address, ALine, APos});
}

}  // namespace qob

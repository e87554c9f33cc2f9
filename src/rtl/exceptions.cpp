#include "rtl/exceptions.h"

namespace qob {

const char* Exception::what() const noexcept {
  try {
    if (FUtf8.empty()) FUtf8 = FMessage.ToUtf8();
    return FUtf8.c_str();
  } catch (...) {
    return "exception";
  }
}

}  // namespace qob

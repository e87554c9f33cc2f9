#include "ole/widestring.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace qob {

namespace {

WideString::Rep* AllocateRep(const char16_t* text, size_t length) {
  if (length == 0) return nullptr;
  if (length > static_cast<size_t>(std::numeric_limits<int32_t>::max() / 2)) throw std::bad_alloc();
  const size_t bytes = offsetof(WideString::Rep, chars) + (length + 1) * sizeof(char16_t);
  void* memory = std::malloc(bytes);
  if (!memory) throw std::bad_alloc();
  auto* rep = static_cast<WideString::Rep*>(memory);
  new (&rep->refs) std::atomic<int32_t>(1);
  rep->length = static_cast<int32_t>(length);
  if (text) std::memcpy(rep->chars, text, length * sizeof(char16_t));
  rep->chars[length] = 0;
  return rep;
}

}  // namespace

WideString::WideString(const char16_t* text)
    : WideString(text, text ? std::char_traits<char16_t>::length(text) : 0) {}

WideString::WideString(const char16_t* text, size_t length) : rep_(AllocateRep(text, length)) {}

WideString::WideString(std::u16string_view text) : rep_(AllocateRep(text.data(), text.size())) {}

WideString& WideString::operator=(const WideString& other) noexcept {
  AddRef(other.rep_);
  Release(rep_);
  rep_ = other.rep_;
  return *this;
}

WideString& WideString::operator=(WideString&& other) noexcept {
  if (this != &other) {
    Release(rep_);
    rep_ = other.rep_;
    other.rep_ = nullptr;
  }
  return *this;
}

void WideString::Release(Rep* rep) noexcept {
  if (rep && rep->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    rep->refs.~atomic();
    std::free(rep);
  }
}

WideString WideString::FromUtf8(std::string_view utf8) { return WideString(Utf8ToUtf16(utf8)); }

std::string WideString::ToUtf8() const { return Utf16ToUtf8(view()); }

WideString operator+(std::u16string_view a, std::u16string_view b) {
  if (a.empty()) return WideString(b);
  if (b.empty()) return WideString(a);
  WideString::Rep* rep = AllocateRep(nullptr, a.size() + b.size());
  std::memcpy(rep->chars, a.data(), a.size() * sizeof(char16_t));
  std::memcpy(rep->chars + a.size(), b.data(), b.size() * sizeof(char16_t));
  return WideString::Adopt(rep);
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const auto* end = p + utf8.size();
  while (p < end) {
    char32_t cp;
    int extra;
    unsigned char c = *p;
    if (c < 0x80) {
      cp = c;
      extra = 0;
    } else if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1F;
      extra = 1;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0F;
      extra = 2;
    } else if ((c & 0xF8) == 0xF0) {
      cp = c & 0x07;
      extra = 3;
    } else {
      out.push_back(0xFFFD);
      ++p;
      continue;
    }
    if (end - p <= extra) {
      out.push_back(0xFFFD);
      break;
    }
    bool valid = true;
    for (int i = 1; i <= extra; ++i) {
      if ((p[i] & 0xC0) != 0x80) {
        valid = false;
        break;
      }
      cp = (cp << 6) | (p[i] & 0x3F);
    }
    static constexpr char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
    if (!valid || cp < kMinimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(0xFFFD);
      ++p;
      continue;
    }
    p += extra + 1;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (size_t i = 0; i < utf16.size(); ++i) {
    char32_t cp = utf16[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

}  // namespace qob

// WideString: the UTF-16 text type of scripts and Variants.
//
// The characters live in one reference-counted, immutable block, so copying a
// string (and a string Variant) only bumps a counter. An empty string holds no
// block at all. Mutating operations build a new block.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qob {

class WideString {
 public:
  // The shared character block. `Rep*` is what a string Variant stores.
  struct Rep {
    std::atomic<int32_t> refs;
    int32_t length;
    char16_t chars[1];  // `length` code units followed by a terminating zero
  };

  WideString() noexcept = default;
  WideString(const char16_t* text);  // NOLINT: literals convert implicitly
  WideString(const char16_t* text, size_t length);
  WideString(std::u16string_view text);  // NOLINT
  WideString(const std::u16string& text) : WideString(std::u16string_view(text)) {}  // NOLINT
  WideString(const WideString& other) noexcept : rep_(other.rep_) { AddRef(rep_); }
  WideString(WideString&& other) noexcept : rep_(other.rep_) { other.rep_ = nullptr; }
  ~WideString() { Release(rep_); }

  WideString& operator=(const WideString& other) noexcept;
  WideString& operator=(WideString&& other) noexcept;

  static WideString FromUtf8(std::string_view utf8);
  std::string ToUtf8() const;

  size_t size() const noexcept { return rep_ ? static_cast<size_t>(rep_->length) : 0; }
  size_t length() const noexcept { return size(); }
  bool empty() const noexcept { return rep_ == nullptr; }
  const char16_t* data() const noexcept { return rep_ ? rep_->chars : u""; }
  // Zero-terminated view of the characters.
  const char16_t* c_str() const noexcept { return data(); }
  std::u16string_view view() const noexcept { return {data(), size()}; }
  operator std::u16string_view() const noexcept { return view(); }  // NOLINT
  std::u16string str() const { return std::u16string(view()); }
  char16_t operator[](size_t index) const noexcept { return rep_->chars[index]; }

  friend bool operator==(const WideString& a, const WideString& b) noexcept {
    return a.rep_ == b.rep_ || a.view() == b.view();
  }
  friend bool operator==(const WideString& a, std::u16string_view b) noexcept {
    return a.view() == b;
  }
  friend auto operator<=>(const WideString& a, const WideString& b) noexcept {
    return a.view() <=> b.view();
  }
  friend WideString operator+(std::u16string_view a, std::u16string_view b);

  // Raw block handling for the Variant payload.
  const Rep* rep() const noexcept { return rep_; }
  Rep* Detach() noexcept {
    Rep* r = rep_;
    rep_ = nullptr;
    return r;
  }
  static WideString Adopt(Rep* rep) noexcept {
    WideString s;
    s.rep_ = rep;
    return s;
  }
  static void AddRef(Rep* rep) noexcept {
    if (rep) rep->refs.fetch_add(1, std::memory_order_relaxed);
  }
  static void Release(Rep* rep) noexcept;
  static std::u16string_view ViewOf(const Rep* rep) noexcept {
    return rep ? std::u16string_view(rep->chars, static_cast<size_t>(rep->length))
               : std::u16string_view();
  }

 private:
  Rep* rep_ = nullptr;
};

// UTF-8 <-> UTF-16 at the edges (files, command line, host convenience).
// Malformed input becomes U+FFFD; nothing is dropped silently.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace qob

#include "source_file.h"

#include <sys/stat.h>
#include <unicode/ustring.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace tresk {

namespace {

[[noreturn]] void NotText(std::string_view AName, std::string_view AWhy) {
  throw SourceFileError("'" + std::string(AName) +
                        "' is neither UTF-8 nor UTF-16 text with a byte-order mark (" +
                        std::string(AWhy) + ")");
}

qob::WideString DecodeUtf8(std::string_view ABytes, std::string_view AName) {
  if (ABytes.empty()) return {};
  std::u16string text(ABytes.size(), u'\0');  // UTF-16 never needs more units than UTF-8 bytes
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8(text.data(), static_cast<int32_t>(text.size()), &length, ABytes.data(),
                static_cast<int32_t>(ABytes.size()), &status);
  if (U_FAILURE(status)) NotText(AName, "invalid UTF-8");
  text.resize(static_cast<size_t>(length));
  return qob::WideString(text);
}

qob::WideString DecodeUtf16(std::string_view ABytes, bool ABigEndian, std::string_view AName) {
  if (ABytes.size() % 2 != 0) NotText(AName, "odd number of bytes in UTF-16 text");
  std::u16string text(ABytes.size() / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i) {
    auto first = static_cast<unsigned char>(ABytes[2 * i]);
    auto second = static_cast<unsigned char>(ABytes[2 * i + 1]);
    text[i] = static_cast<char16_t>(ABigEndian ? (first << 8) | second : (second << 8) | first);
  }
  for (size_t i = 0; i < text.size(); ++i) {
    if (!U16_IS_SURROGATE(text[i])) continue;
    if (U16_IS_SURROGATE_LEAD(text[i]) && i + 1 < text.size() && U16_IS_TRAIL(text[i + 1])) {
      ++i;
      continue;
    }
    NotText(AName, "unpaired surrogate in UTF-16 text");
  }
  return qob::WideString(text);
}

bool StartsWith(std::string_view AText, std::string_view APrefix) {
  return AText.substr(0, APrefix.size()) == APrefix;
}

}  // namespace

qob::WideString DecodeScriptText(std::string_view ABytes, std::string_view AName) {
  using namespace std::string_view_literals;
  if (StartsWith(ABytes, "\xEF\xBB\xBF"sv)) return DecodeUtf8(ABytes.substr(3), AName);
  // A UTF-32 byte-order mark begins like the UTF-16 one; refuse it rather
  // than read it as text full of NULs.
  if (StartsWith(ABytes, "\xFF\xFE\0\0"sv) || StartsWith(ABytes, "\0\0\xFE\xFF"sv))
    NotText(AName, "UTF-32 is not supported");
  if (StartsWith(ABytes, "\xFF\xFE"sv)) return DecodeUtf16(ABytes.substr(2), false, AName);
  if (StartsWith(ABytes, "\xFE\xFF"sv)) return DecodeUtf16(ABytes.substr(2), true, AName);
  // Without a mark, NUL bytes mean UTF-16 without one, or no text at all.
  if (ABytes.find('\0') != std::string_view::npos) NotText(AName, "NUL bytes without a byte-order mark");
  return DecodeUtf8(ABytes, AName);
}

qob::WideString ReadScriptFile(const std::string& APath) {
  if (APath == "-") {
    std::string bytes{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
    if (std::cin.bad()) throw SourceFileError("cannot read standard input");
    return DecodeScriptText(bytes, "standard input");
  }
  struct stat info {};
  if (stat(APath.c_str(), &info) != 0)
    throw SourceFileError("cannot open '" + APath + "': " + std::strerror(errno));
  if (S_ISDIR(info.st_mode))
    throw SourceFileError("cannot read '" + APath + "': it is a directory");
  std::ifstream file(APath, std::ios::binary);
  if (!file) throw SourceFileError("cannot open '" + APath + "': " + std::strerror(errno));
  std::ostringstream bytes;
  bytes << file.rdbuf();
  if (file.bad()) throw SourceFileError("cannot read '" + APath + "'");
  return DecodeScriptText(bytes.str(), APath);
}

}  // namespace tresk

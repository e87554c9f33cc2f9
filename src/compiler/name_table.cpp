#include "compiler/name_table.h"

#include <mutex>
#include <string>

#include "rtl/exceptions.h"
#include "rtl/unicode.h"

namespace qob {

namespace {

// The upper-case spelling of a name. Pure ASCII names (nearly all of them)
// are upper-cased here without a call into ICU or a heap allocation for
// short names; anything else takes the full Unicode mapping.
class UpperCasedName {
 public:
  explicit UpperCasedName(std::u16string_view AName) {
    if (AName.size() <= kInlineLength && IsAscii(AName)) {
      for (size_t i = 0; i < AName.size(); ++i) FInline[i] = AsciiUpper(AName[i]);
      FView = std::u16string_view(FInline, AName.size());
    } else if (IsAscii(AName)) {
      FHeap.assign(AName);
      for (char16_t& c : FHeap) c = AsciiUpper(c);
      FView = FHeap;
    } else {
      FHeap = UpperCase(AName).str();
      FView = FHeap;
    }
  }
  UpperCasedName(const UpperCasedName&) = delete;
  UpperCasedName& operator=(const UpperCasedName&) = delete;

  std::u16string_view View() const noexcept { return FView; }

 private:
  static constexpr size_t kInlineLength = 64;

  static bool IsAscii(std::u16string_view AText) noexcept {
    char16_t any = 0;
    for (char16_t c : AText) any |= c;
    return any < 0x80;
  }
  static char16_t AsciiUpper(char16_t c) noexcept {
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - (u'a' - u'A')) : c;
  }

  char16_t FInline[kInlineLength];
  std::u16string FHeap;
  std::u16string_view FView;
};

}  // namespace

TQOBNameTable::TQOBNameTable() = default;
TQOBNameTable::~TQOBNameTable() = default;

TQOBNameId TQOBNameTable::Lookup(std::u16string_view AUpperName, size_t AHash) const {
  const TQOBIdentifierItem* item = FMap.Find(AUpperName, AHash);
  return item ? item->Data : kQOBNoName;
}

TQOBNameId TQOBNameTable::GetNameIndex(std::u16string_view AName, bool ACreateNewItem) {
  const UpperCasedName upper(AName);
  const std::u16string_view key = upper.View();
  const size_t hash = TQOBIdentifierHashTable::HashOf(key);
  {
    std::shared_lock lock(FSection);
    const TQOBNameId id = Lookup(key, hash);
    if (id != kQOBNoName || !ACreateNewItem) return id;
  }
  std::unique_lock lock(FSection);
  // Another thread may have added the name between the two locks.
  if (const TQOBNameId id = Lookup(key, hash); id != kQOBNoName) return id;

  // Make room first so that nothing can fail once the item is in the map.
  if (FNameByIndex.size() == FNameByIndex.capacity())
    FNameByIndex.reserve(FNameByIndex.empty() ? 4 : FNameByIndex.size() * 2);
  auto item = std::make_unique<TQOBIdentifierItem>(WideString(key), FCount, hash);
  FMap.Add(item.get());
  FNameByIndex.push_back(std::move(item));
  return FCount++;
}

const TQOBIdentifierItem& TQOBNameTable::NameIndexes(TQOBNameId AIndex) const {
  std::shared_lock lock(FSection);
  if (AIndex < 0 || AIndex >= FCount)
    throw EListError(u"List index out of bounds (" + Utf8ToUtf16(std::to_string(AIndex)) + u")");
  return *FNameByIndex[static_cast<size_t>(AIndex)];
}

WideString TQOBNameTable::GetName(TQOBNameId AIndex) const {
  return NameIndexes(AIndex).Name;
}

int32_t TQOBNameTable::Count() const {
  std::shared_lock lock(FSection);
  return FCount;
}

TQOBNameTable& QOBNameTable() {
  static TQOBNameTable* const table = new TQOBNameTable();
  return *table;
}

TQOBNameId QOBNameId(std::u16string_view AName) {
  return QOBNameTable().GetNameIndex(AName, true);
}

}  // namespace qob

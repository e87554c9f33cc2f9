// The two keyed tables of the compiler base: name id -> named item, and
// upper-case identifier text -> identifier item. Both chain their items
// intrusively (no per-item node allocation) and refuse a second item under a
// key that is already present.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "ole/widestring.h"

namespace qob {

// A name id: the index of an identifier's upper-case spelling in the
// process-wide name table; -1 stands for "no name".
using TQOBNameId = int32_t;
inline constexpr TQOBNameId kQOBNoName = -1;

// Base of everything kept in a name-id-keyed table. An item belongs to at most
// one such table at a time (FNext is that table's collision link).
class TQOBNamedItem {
 public:
  explicit TQOBNamedItem(TQOBNameId AName) noexcept : FName(AName) {}
  TQOBNamedItem(const TQOBNamedItem&) = delete;
  TQOBNamedItem& operator=(const TQOBNamedItem&) = delete;
  virtual ~TQOBNamedItem() = default;

  TQOBNameId Name() const noexcept { return FName; }

  TQOBNameId FName;
  TQOBNamedItem* FNext = nullptr;
};

// Name id -> named item. With AOwnsItems, Remove and Clear (and the
// destructor) free the items.
class TQOBNameHashTable {
 public:
  explicit TQOBNameHashTable(bool AOwnsItems);
  TQOBNameHashTable(const TQOBNameHashTable&) = delete;
  TQOBNameHashTable& operator=(const TQOBNameHashTable&) = delete;
  ~TQOBNameHashTable();

  // False (and the table unchanged) when an item with the same name id is present.
  bool Add(TQOBNamedItem* AItem);
  TQOBNamedItem* Find(TQOBNameId AName) const noexcept;
  // Removes the item stored under AName (freeing it when the table owns its
  // items); false when there is none.
  bool Remove(TQOBNameId AName);
  void Clear();
  // Appends every item to AList, in no particular order.
  void GetAll(std::vector<TQOBNamedItem*>& AList) const;
  int32_t Count() const noexcept { return FCount; }

 private:
  size_t BucketOf(TQOBNameId AName) const noexcept {
    return static_cast<uint32_t>(AName) & (FBuckets.size() - 1);
  }
  void Grow();

  std::vector<TQOBNamedItem*> FBuckets;
  int32_t FCount = 0;
  bool FOwnsItems;
};

// An identifier's upper-case spelling and its name id.
struct TQOBIdentifierItem {
  TQOBIdentifierItem(WideString AName, int32_t AData, size_t AHash)
      : Name(std::move(AName)), Data(AData), FHash(AHash) {}

  WideString Name;
  int32_t Data;
  size_t FHash;  // hash of Name, kept to skip most string comparisons
  TQOBIdentifierItem* FNext = nullptr;
};

// Identifier text (compared exactly) -> identifier item.
class TQOBIdentifierHashTable {
 public:
  explicit TQOBIdentifierHashTable(bool AOwnsItems);
  TQOBIdentifierHashTable(const TQOBIdentifierHashTable&) = delete;
  TQOBIdentifierHashTable& operator=(const TQOBIdentifierHashTable&) = delete;
  ~TQOBIdentifierHashTable();

  static size_t HashOf(std::u16string_view AText) noexcept;

  // False (and the table unchanged) when an item with the same text is present.
  bool Add(TQOBIdentifierItem* AItem);
  TQOBIdentifierItem* Find(std::u16string_view AText) const noexcept {
    return Find(AText, HashOf(AText));
  }
  // For callers that already hashed the text.
  TQOBIdentifierItem* Find(std::u16string_view AText, size_t AHash) const noexcept;
  bool Remove(std::u16string_view AText);
  void Clear();
  void GetAll(std::vector<TQOBIdentifierItem*>& AList) const;
  int32_t Count() const noexcept { return FCount; }

 private:
  size_t BucketOf(size_t AHash) const noexcept { return AHash & (FBuckets.size() - 1); }
  void Grow();

  std::vector<TQOBIdentifierItem*> FBuckets;
  int32_t FCount = 0;
  bool FOwnsItems;
};

}  // namespace qob

#include "compiler/keyed_tables.h"

#include <functional>

namespace qob {

namespace {

constexpr size_t kInitialBuckets = 16;

// Rehashes every chain of ABuckets into twice as many buckets.
template <class Item, class BucketOf>
void Rehash(std::vector<Item*>& ABuckets, BucketOf ABucketOf) {
  std::vector<Item*> old(ABuckets.size() * 2, nullptr);
  old.swap(ABuckets);
  for (Item* head : old) {
    while (head) {
      Item* next = static_cast<Item*>(head->FNext);
      Item*& bucket = ABuckets[ABucketOf(head)];
      head->FNext = bucket;
      bucket = head;
      head = next;
    }
  }
}

}  // namespace

// --- TQOBNameHashTable ------------------------------------------------------

TQOBNameHashTable::TQOBNameHashTable(bool AOwnsItems)
    : FBuckets(kInitialBuckets, nullptr), FOwnsItems(AOwnsItems) {}

TQOBNameHashTable::~TQOBNameHashTable() {
  Clear();
}

bool TQOBNameHashTable::Add(TQOBNamedItem* AItem) {
  if (Find(AItem->FName)) return false;
  if (static_cast<size_t>(FCount) >= FBuckets.size()) Grow();
  TQOBNamedItem*& bucket = FBuckets[BucketOf(AItem->FName)];
  AItem->FNext = bucket;
  bucket = AItem;
  ++FCount;
  return true;
}

TQOBNamedItem* TQOBNameHashTable::Find(TQOBNameId AName) const noexcept {
  for (TQOBNamedItem* item = FBuckets[BucketOf(AName)]; item; item = item->FNext)
    if (item->FName == AName) return item;
  return nullptr;
}

bool TQOBNameHashTable::Remove(TQOBNameId AName) {
  for (TQOBNamedItem** link = &FBuckets[BucketOf(AName)]; *link; link = &(*link)->FNext) {
    TQOBNamedItem* item = *link;
    if (item->FName != AName) continue;
    *link = item->FNext;
    item->FNext = nullptr;
    --FCount;
    if (FOwnsItems) delete item;
    return true;
  }
  return false;
}

void TQOBNameHashTable::Clear() {
  for (TQOBNamedItem*& head : FBuckets) {
    while (head) {
      TQOBNamedItem* item = head;
      head = item->FNext;
      item->FNext = nullptr;
      if (FOwnsItems) delete item;
    }
  }
  FCount = 0;
}

void TQOBNameHashTable::GetAll(std::vector<TQOBNamedItem*>& AList) const {
  AList.reserve(AList.size() + static_cast<size_t>(FCount));
  for (TQOBNamedItem* item : FBuckets)
    for (; item; item = item->FNext) AList.push_back(item);
}

void TQOBNameHashTable::Grow() {
  Rehash(FBuckets, [this](const TQOBNamedItem* AItem) { return BucketOf(AItem->FName); });
}

// --- TQOBIdentifierHashTable ------------------------------------------------

TQOBIdentifierHashTable::TQOBIdentifierHashTable(bool AOwnsItems)
    : FBuckets(kInitialBuckets, nullptr), FOwnsItems(AOwnsItems) {}

TQOBIdentifierHashTable::~TQOBIdentifierHashTable() {
  Clear();
}

size_t TQOBIdentifierHashTable::HashOf(std::u16string_view AText) noexcept {
  return std::hash<std::u16string_view>{}(AText);
}

bool TQOBIdentifierHashTable::Add(TQOBIdentifierItem* AItem) {
  if (Find(AItem->Name.view(), AItem->FHash)) return false;
  if (static_cast<size_t>(FCount) >= FBuckets.size()) Grow();
  TQOBIdentifierItem*& bucket = FBuckets[BucketOf(AItem->FHash)];
  AItem->FNext = bucket;
  bucket = AItem;
  ++FCount;
  return true;
}

TQOBIdentifierItem* TQOBIdentifierHashTable::Find(std::u16string_view AText,
                                                  size_t AHash) const noexcept {
  for (TQOBIdentifierItem* item = FBuckets[BucketOf(AHash)]; item; item = item->FNext)
    if (item->FHash == AHash && item->Name.view() == AText) return item;
  return nullptr;
}

bool TQOBIdentifierHashTable::Remove(std::u16string_view AText) {
  const size_t hash = HashOf(AText);
  for (TQOBIdentifierItem** link = &FBuckets[BucketOf(hash)]; *link; link = &(*link)->FNext) {
    TQOBIdentifierItem* item = *link;
    if (item->FHash != hash || item->Name.view() != AText) continue;
    *link = item->FNext;
    item->FNext = nullptr;
    --FCount;
    if (FOwnsItems) delete item;
    return true;
  }
  return false;
}

void TQOBIdentifierHashTable::Clear() {
  for (TQOBIdentifierItem*& head : FBuckets) {
    while (head) {
      TQOBIdentifierItem* item = head;
      head = item->FNext;
      item->FNext = nullptr;
      if (FOwnsItems) delete item;
    }
  }
  FCount = 0;
}

void TQOBIdentifierHashTable::GetAll(std::vector<TQOBIdentifierItem*>& AList) const {
  AList.reserve(AList.size() + static_cast<size_t>(FCount));
  for (TQOBIdentifierItem* item : FBuckets)
    for (; item; item = item->FNext) AList.push_back(item);
}

void TQOBIdentifierHashTable::Grow() {
  Rehash(FBuckets, [this](const TQOBIdentifierItem* AItem) { return BucketOf(AItem->FHash); });
}

}  // namespace qob

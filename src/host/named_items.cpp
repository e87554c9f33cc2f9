#include "host/named_items.h"

#include <algorithm>

namespace qob {

TNamedItem* TNamedItems::Find(std::u16string_view AUppName) const noexcept {
  auto it = FItems.find(AUppName);
  return it == FItems.end() ? nullptr : it->second.get();
}

bool TNamedItems::Add(std::unique_ptr<TNamedItem> AItem) {
  std::u16string_view key = AItem->UppName.view();
  TNamedItem* item = AItem.get();
  FOrder.reserve(FOrder.size() + 1);  // so that nothing below can fail after the insert
  if (!FItems.try_emplace(key, std::move(AItem)).second) return false;
  FOrder.push_back(item);
  return true;
}

void TNamedItems::Remove(std::u16string_view AUppName) {
  auto it = FItems.find(AUppName);
  if (it == FItems.end()) return;
  FOrder.erase(std::find(FOrder.begin(), FOrder.end(), it->second.get()));
  FItems.erase(it);
}

void TNamedItems::Clear() noexcept {
  FOrder.clear();
  FItems.clear();
}

}  // namespace qob

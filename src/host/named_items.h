// Named items: the objects and values a host publishes to a script by name.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ole/variant.h"
#include "ole/widestring.h"

namespace qob {

enum TNamedItemKind : uint8_t { nikObject, nikValue };

struct TNamedItem {
  TNamedItemKind Kind = nikValue;
  WideString UppName;  // the table key
  WideString Name;     // as the host spelled it; what the language sees
  // An object's IDispatch, or the value itself. Its address stays fixed for
  // the item's life: the named values holder points at it.
  Variant Value;
  bool PubMembers = false;
};

// The control's item table: keyed by upper-cased name, owning its items and
// enumerating them in the order they were added.
class TNamedItems {
 public:
  TNamedItems() = default;
  TNamedItems(const TNamedItems&) = delete;
  TNamedItems& operator=(const TNamedItems&) = delete;

  TNamedItem* Find(std::u16string_view AUppName) const noexcept;
  // Takes the item; false (and the item is freed) when its key exists.
  bool Add(std::unique_ptr<TNamedItem> AItem);
  // Frees the item with that key; a missing key is no error.
  void Remove(std::u16string_view AUppName);
  void Clear() noexcept;

  size_t Count() const noexcept { return FOrder.size(); }
  auto begin() const noexcept { return FOrder.begin(); }
  auto end() const noexcept { return FOrder.end(); }

 private:
  std::unordered_map<std::u16string_view, std::unique_ptr<TNamedItem>>
      FItems;  // views into UppName
  std::vector<TNamedItem*> FOrder;
};

}  // namespace qob

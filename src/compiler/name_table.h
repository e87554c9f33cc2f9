// The process-wide name table: every identifier that a script, a language or
// the host uses becomes a name id, the index of its upper-case spelling.
// Letter case never matters (full Unicode, locale-independent upper-casing);
// ids are stable for the life of the process and the table only grows.
#pragma once

#include <memory>
#include <shared_mutex>
#include <string_view>
#include <vector>

#include "compiler/keyed_tables.h"
#include "ole/widestring.h"

namespace qob {

class TQOBNameTable {
 public:
  TQOBNameTable();
  TQOBNameTable(const TQOBNameTable&) = delete;
  TQOBNameTable& operator=(const TQOBNameTable&) = delete;
  ~TQOBNameTable();

  // The name id of AName (any letter case). When the name is new: -1 if
  // ACreateNewItem is false, otherwise a new id (the previous count).
  TQOBNameId GetNameIndex(std::u16string_view AName, bool ACreateNewItem);
  // The upper-case spelling of a name id; EListError for an id never handed out.
  WideString GetName(TQOBNameId AIndex) const;
  // The identifier item of a name id (it lives as long as the table).
  const TQOBIdentifierItem& NameIndexes(TQOBNameId AIndex) const;
  int32_t Count() const;

 private:
  TQOBNameId Lookup(std::u16string_view AUpperName, size_t AHash) const;

  // Lookups share the lock; only the insertion of a new name is exclusive,
  // so run-time lookups of many threads do not serialise on each other.
  mutable std::shared_mutex FSection;
  TQOBIdentifierHashTable FMap{false};
  std::vector<std::unique_ptr<TQOBIdentifierItem>> FNameByIndex;  // owns the items
  int32_t FCount = 0;
};

// The one name table of the process; created on first use, never destroyed
// (threads may still look names up while the process ends).
TQOBNameTable& QOBNameTable();

// Shorthand for QOBNameTable().GetNameIndex(AName, true).
TQOBNameId QOBNameId(std::u16string_view AName);

}  // namespace qob

// The contract between a language front end and the virtual machine. The
// machine asks the language object for a parser, hands the parser a
// callbacks object, and receives through it the global objects and the
// global statements, which it later asks to emit byte code.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "compiler/global_objects.h"
#include "compiler/keyed_tables.h"
#include "compiler/name_search.h"
#include "ole/com.h"
#include "ole/widestring.h"
#include "vm/bytecode.h"

namespace qob {

// A piece of code that can append its byte code to an open code block,
// resolving names in ANamespace: global statements, initialisers, dynamic code.
class IQOBEmitable {
 public:
  IQOBEmitable() = default;
  IQOBEmitable(const IQOBEmitable&) = delete;
  IQOBEmitable& operator=(const IQOBEmitable&) = delete;
  virtual ~IQOBEmitable() = default;
  virtual void Emit(TQOBAbstractNamespace* ANamespace, TQOBByteCode* AByteCode) = 0;
};

// What a parser reports its results to.
class IQOBParserCallbacks {
 public:
  IQOBParserCallbacks() = default;
  IQOBParserCallbacks(const IQOBParserCallbacks&) = delete;
  IQOBParserCallbacks& operator=(const IQOBParserCallbacks&) = delete;
  virtual ~IQOBParserCallbacks() = default;

  // The name id of an identifier, created when new.
  virtual TQOBNameId GetNameId(std::u16string_view AName) = 0;
  // Takes a statement of the global code; statements arrive in running order.
  virtual void GlobalStmtParsed(std::unique_ptr<IQOBEmitable> AStmt) = 0;
  // Offers a declared global. Accepted: the receiver takes AObj (leaving it
  // empty) and sets ADuplicateName to false. Refused because the name is
  // taken: AObj stays with the caller and ADuplicateName is true.
  virtual void GlobalObjParsed(std::unique_ptr<TQOBGlobalObject>& AObj, bool& ADuplicateName) = 0;
  // A name of a uses clause; ADuplicateName true makes the parser report it.
  virtual void UsedUnitParsed(const WideString& AName, bool& ADuplicateName) = 0;
};

// A parser object lives for one Parse, ParseStmt or ParseExpr. ASource is the
// whole text; errors raise the front end's EQOBCompileBase subclass.
class IQOBParserBase {
 public:
  IQOBParserBase() = default;
  IQOBParserBase(const IQOBParserBase&) = delete;
  IQOBParserBase& operator=(const IQOBParserBase&) = delete;
  virtual ~IQOBParserBase() = default;

  virtual void Parse(const WideString& ASource) = 0;
  virtual std::unique_ptr<IQOBEmitable> ParseStmt(const WideString& ASource) = 0;
  virtual std::unique_ptr<IQOBEmitable> ParseExpr(const WideString& ASource) = 0;
};

// Receives one of a language's own global objects (and takes ownership).
using TQOBEnumGlobalObjectsProc = void (*)(void* AData, std::unique_ptr<TQOBGlobalObject> AObject);

inline constexpr GUID IID_IQOBLanguage = {
    0x6C1E0B42, 0x9D57, 0x4F3A, {0x8E, 0x21, 0x5B, 0x7A, 0x0C, 0x93, 0xD4, 0x6F}};

// A language (reference counted).
class IQOBLanguage : public IUnknown {
 public:
  // A new parser bound to ACbs; the caller owns it.
  virtual std::unique_ptr<IQOBParserBase> CreateParser(IQOBParserCallbacks* ACbs) = 0;
  // Creates the language's own globals (Exit, Break, Continue, built-ins) in a
  // fixed order and hands each to AProc.
  virtual void EnumGlobalObjects(TQOBEnumGlobalObjectsProc AProc, void* AData) = 0;
  // The language's spelling of the empty value, a null object reference and Null.
  virtual WideString GetEmptyLiteral() = 0;
  virtual WideString GetNilLiteral() = 0;
  virtual WideString GetNullLiteral() = 0;
  // AText written as a string literal of the language.
  virtual WideString QuoteString(const WideString& AText) = 0;

 protected:
  ~IQOBLanguage() = default;
};

// Reference counting and QueryInterface for language objects; a front end
// derives its language from this and implements the contract above.
class TQOBLanguageBase : public IQOBLanguage {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override;
  uint32_t AddRef() override;
  uint32_t Release() override;

 protected:
  TQOBLanguageBase() = default;
  virtual ~TQOBLanguageBase() = default;

 private:
  std::atomic<uint32_t> FRefCount{0};
};

}  // namespace qob

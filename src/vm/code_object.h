// TQOBCodeObject: a module's globals seen from outside. Hosts and other
// engines use its IDispatch side (dispatch ids in parse order); another
// module's interpreter recognises it and calls it directly.
#pragma once

#include <atomic>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "compiler/global_objects.h"
#include "compiler/keyed_tables.h"
#include "ole/com.h"
#include "ole/variant.h"
#include "vm/bytecode_instr.h"
#include "vm/vm_threads.h"

namespace qob {

class TQOBVirtMachine;

// Answered by QueryInterface with the object itself, without a reference.
inline constexpr GUID IID_QOBCodeObject = {
    0xE298CC73, 0x406C, 0x418B, {0xA4, 0x55, 0xE8, 0xAF, 0xC2, 0x84, 0x15, 0x6C}};

// The source named in the exception information of failed calls.
inline constexpr std::u16string_view kQOBCodeObjectSource = u"QOB-Tresk Pascal script VM.";

class TQOBCodeObject final : public IDispatch {
 public:
  // Captures the machine's id and the names of its current module.
  explicit TQOBCodeObject(TQOBVirtMachine& AVM);
  TQOBCodeObject(const TQOBCodeObject&) = delete;
  TQOBCodeObject& operator=(const TQOBCodeObject&) = delete;

  // The code object behind AObj, or nil when AObj is something else.
  static TQOBCodeObject* FromDispatch(IDispatch* AObj) noexcept;

  // --- direct side, for the interpreter of another module
  bool GetIdOfName(TQOBNameId ANameIndex, int32_t& ADispId) const;
  void InvokeMember(TQOBThread& AThread, int32_t DispID, TQOBBracketType ABracketType,
                    uint32_t AResMask, int32_t AArgCount, Variant* AArgs, Variant& AResult);
  void InvokePropPut(TQOBThread& AThread, int32_t DispID, TQOBBracketType ABracketType,
                     int32_t AArgCount, Variant* AArgs, const Variant& AValue);

  // --- IDispatch
  HRESULT QueryInterface(REFIID iid, void** object) override;
  uint32_t AddRef() override;
  uint32_t Release() override;
  HRESULT GetTypeInfoCount(uint32_t* count) override;
  HRESULT GetTypeInfo(uint32_t index, LCID lcid, ITypeInfo** info) override;
  HRESULT GetIDsOfNames(REFIID iid, const char16_t** names, uint32_t count, LCID lcid,
                        DISPID* ids) override;
  HRESULT Invoke(DISPID id, REFIID iid, LCID lcid, uint16_t flags, DISPPARAMS* params,
                 Variant* result, EXCEPINFO* excepInfo, uint32_t* argErr) override;

 private:
  ~TQOBCodeObject() = default;
  TQOBDispIdObject* GlobalOf(TQOBVirtMachine& AVM, int32_t ADispId) const noexcept;
  HRESULT InvokeEntered(TQOBVirtMachine& AVM, TQOBThread& AThread, DISPID id, uint16_t flags,
                        DISPPARAMS* params, Variant* result);

  std::atomic<uint32_t> FRefCount{0};
  TQOBVMId FId;
  std::unordered_map<TQOBNameId, int32_t> FIdsByName;
  // The name each dispatch id stood for (index 0 unused): a later module of
  // the same machine may give an id to another global.
  std::vector<TQOBNameId> FNamesByDispId;
};

}  // namespace qob

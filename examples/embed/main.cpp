// Embedding a script control in a C++ program: publish an object and a
// value, run the script's global code, call procedures with arguments, read
// what the script wrote, and catch a script error.
#include <iostream>
#include <string>

#include "host/script_control.h"
#include "ole/dispatch_object.h"
#include "ole/variant_convert.h"
#include "rtl/unicode.h"

using namespace qob;

// What scripts see as Host: one method, Host.Print(Text).
class HostObject final : public DispatchObject {
 public:
  HRESULT GetIDsOfNames(REFIID, const char16_t** names, uint32_t count, LCID,
                        DISPID* ids) override {
    if (count == 0) return S_OK;
    if (SameText(names[0], u"Print")) {
      ids[0] = kPrint;
      return S_OK;
    }
    for (uint32_t i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }

  HRESULT Invoke(DISPID id, REFIID, LCID, uint16_t flags, DISPPARAMS* params, Variant*, EXCEPINFO*,
                 uint32_t*) override {
    if (id != kPrint || !(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    if (!params || params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
    try {
      std::cout << "[host] " << VarToStr(params->rgvarg[0]).ToUtf8() << '\n';
    } catch (const EVariantError&) {
      return DISP_E_TYPEMISMATCH;
    }
    return S_OK;
  }

 private:
  static constexpr DISPID kPrint = 1;
};

constexpr char16_t kScript[] =
    uR"(
var Total = 0;

procedure Add(N);
begin
  Total := Total + N;
  Host.Print('added ' + IntToStr(N) + ', total ' + IntToStr(Total));
end;

function Average(A; B);
begin
  Result := (A + B) / 2;
end;

begin
  Host.Print('global code runs at Open; Limit is ' + IntToStr(Limit));
  Limit := Limit * 2;
end;
)";

int main() {
  TQOBScriptControl script(nullptr);
  script.SetLanguage(slPascal);
  script.Source().SetText(kScript);
  // Objects and values can be published before the script is prepared.
  script.AddObject(u"Host", Variant(ComPtr<IDispatch>(new HostObject()).get()), false);
  script.AddOrSetValue(u"Limit", Variant(10));

  try {
    script.Open(true);  // compiles and runs the global code; closes again on an error

    const Variant four[] = {Variant(4)};
    script.RunProc(u"Add", four);
    script.RunProc(u"Add", four);
    const Variant pair[] = {Variant(3), Variant(8)};
    std::cout << "Average(3, 8) = " << VarToStr(script.RunProc(u"Average", pair)).ToUtf8() << '\n';
    std::cout << "Total = " << VarToStr(script.ReadVar(u"Total")).ToUtf8() << '\n';

    // Values are shared: the script doubled Limit while its global code ran.
    Variant limit;
    if (script.TryReadValue(u"Limit", limit))
      std::cout << "Limit = " << VarToStr(limit).ToUtf8() << '\n';

    script.RunProc(u"Subtract", four);  // there is no such procedure
  } catch (const Exception& e) {
    // Messages carry the script's position unless ExceptionSourceInfo is off.
    std::cout << "script error: " << e.Message().ToUtf8() << '\n';
  }
  script.Close(true, true);
  return 0;
}

// TRunnerDebugBase: a debugger's bridge to the debugging facilities of one
// language family, and the callback types through which it reports frames
// and variables.
#pragma once

#include <cstdint>
#include <functional>

#include "host/script_language.h"
#include "ole/com.h"
#include "rtl/object.h"

namespace qob {

class TQOBScriptControl;

enum TQOBBreakResumeKind : uint8_t { rkStepOver, rkStepInto, rkContinue, rkAbort };

enum TQOBVariableFlag : uint8_t {
  vfReadonly,
  vfPublic,
  vfPrivate,
  vfProtected,
  vfFinal,
  vfGlobal,
  vfStatic,
  vfField,
  vfVirtual,
  vfConstant,
  vfSynchronized,
  vfVolatile
};
// A set of TQOBVariableFlag: bit i stands for the i-th flag.
using TQOBVariableFlags = uint16_t;
constexpr TQOBVariableFlags VariableFlagBit(TQOBVariableFlag AFlag) noexcept {
  return static_cast<TQOBVariableFlags>(1u << AFlag);
}

// One stack frame, innermost first. The receiver frees ARunnerFrame when
// AOwnRunnerFrame is true; ALine is the frame's zero-based line.
using TGetFrameProc = std::function<void(TObject* ARunnerFrame, bool AOwnRunnerFrame,
                                         TQOBScriptControl* AScriptControl, int ALine)>;
// One variable; ARunnerVar answers its children later (null when it has none).
using TVarProc =
    std::function<void(IUnknown* ARunnerVar, const WideString& AName, const WideString& AType,
                       const WideString& AValue, TQOBVariableFlags AFlags, bool AExpandable)>;

class TRunnerDebugBase {
 public:
  TRunnerDebugBase() = default;
  TRunnerDebugBase(const TRunnerDebugBase&) = delete;
  TRunnerDebugBase& operator=(const TRunnerDebugBase&) = delete;
  virtual ~TRunnerDebugBase() = default;

  virtual TQOBScriptLangKind GetLangKind() = 0;
  // Asks the family's scripts to break at their next statement.
  virtual void CauseBreak() = 0;
  // The operations below are valid during a break only.
  virtual void GetStackFrames(const TGetFrameProc& AProc) = 0;
  virtual void Eval(TObject* ARunnerFrame, const WideString& AExpr, const TVarProc& AProc) = 0;
  virtual WideString Eval(TObject* ARunnerFrame, const WideString& AExpr) = 0;
  // One root variable whose children are the frame's variables.
  virtual void GetVars(TObject* ARunnerFrame, const TVarProc& AProc) = 0;
  virtual void GetVarChildren(IUnknown* ARunnerVar, const TVarProc& AProc) = 0;
  virtual WideString GetLongDescription(TObject* ARunnerFrame) = 0;
  virtual WideString GetShortDescription(TObject* ARunnerFrame) = 0;
  virtual void ResumeFromBreak(TQOBBreakResumeKind AKind) = 0;
};

}  // namespace qob

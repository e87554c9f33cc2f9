// The built-in routines and constants of the Pascal-like language. Each is a
// TPasIntrinsic subclass named after the routine; Execute checks the call's
// form and argument count before the routine runs, so a wrong call raises
// before anything is written.
#pragma once

#include <cstdint>

#include "compiler/global_objects.h"
#include "ole/variant.h"
#include "ole/widestring.h"
#include "vm/bytecode_instr.h"

namespace qob {

enum TPasIntrinsicKind : uint8_t { bokProcedure, bokFunction, bokConstant };

// The argument count of a built-in that checks its own count.
inline constexpr int32_t kPasAnyArgCount = -1;

class TPasIntrinsic : public TIntrinsic {
 public:
  TPasIntrinsic(TQOBNameId AName, WideString AStrName, TPasIntrinsicKind AKind, int32_t AArgsCount)
      : TIntrinsic(AName, std::move(AStrName)), FKind(AKind), FArgsCount(AArgsCount) {}

  void Execute(TQOBVMBase* AVM, TQOBCall* ACall, Variant* AArgs, Variant& AResult) final;

  TPasIntrinsicKind Kind() const noexcept { return FKind; }
  int32_t ArgsCount() const noexcept { return FArgsCount; }

 protected:
  // AArgs holds ACall.FArgCount arguments in source order; a variable passed
  // as an argument arrives as a reference.
  virtual void DoExecute(const TQOBCall& ACall, Variant* AArgs, Variant& AResult) = 0;

 private:
  TPasIntrinsicKind FKind;
  int32_t FArgsCount;
};

// Helpers shared by the routine families.
namespace pas_builtins {

// The value of an argument, references followed.
inline const Variant& Arg(const Variant* AArgs, int32_t AIndex) noexcept {
  return AArgs[AIndex].Deref();
}
// Whether an argument is a variable a routine may write to.
inline bool IsVarArg(const Variant& AArg) noexcept {
  return AArg.IsRef() && AArg.VVariantRef != nullptr;
}
// Writes AValue to a var argument; an argument that is not a variable is
// left alone without an error.
void SetVarArg(Variant& AArg, Variant AValue);
// The routine's own argument-count error ("Invalid argument count").
[[noreturn]] void RaiseParamCount();

}  // namespace pas_builtins

// One class per built-in, named T + the routine's name. The routine bodies
// live in the pas_builtins_<family>.cpp files.
#define QOB_PAS_BUILTIN(Name)                                                         \
  class T##Name final : public TPasIntrinsic {                                        \
   public:                                                                            \
    using TPasIntrinsic::TPasIntrinsic;                                               \
                                                                                      \
   protected:                                                                         \
    void DoExecute(const TQOBCall& ACall, Variant* AArgs, Variant& AResult) override; \
  };

namespace pas_builtins {

// Constants.
QOB_PAS_BUILTIN(NullObject)
QOB_PAS_BUILTIN(UnassignedObject)
QOB_PAS_BUILTIN(True)
QOB_PAS_BUILTIN(False)
QOB_PAS_BUILTIN(Date)

// Strings.
QOB_PAS_BUILTIN(LowerCase)
QOB_PAS_BUILTIN(UpperCase)
QOB_PAS_BUILTIN(AnsiLowerCase)
QOB_PAS_BUILTIN(AnsiUpperCase)
QOB_PAS_BUILTIN(CompareStr)
QOB_PAS_BUILTIN(CompareText)
QOB_PAS_BUILTIN(AnsiCompareStr)
QOB_PAS_BUILTIN(AnsiCompareText)
QOB_PAS_BUILTIN(Trim)
QOB_PAS_BUILTIN(TrimLeft)
QOB_PAS_BUILTIN(TrimRight)
QOB_PAS_BUILTIN(Pos)
QOB_PAS_BUILTIN(Copy)
QOB_PAS_BUILTIN(Insert)
QOB_PAS_BUILTIN(Delete)
QOB_PAS_BUILTIN(Chr)
QOB_PAS_BUILTIN(Ord)
QOB_PAS_BUILTIN(Format)
QOB_PAS_BUILTIN(IsValidIdent)

// Numbers.
QOB_PAS_BUILTIN(Abs)
QOB_PAS_BUILTIN(Sqr)
QOB_PAS_BUILTIN(Sqrt)
QOB_PAS_BUILTIN(Exp)
QOB_PAS_BUILTIN(Ln)
QOB_PAS_BUILTIN(Sin)
QOB_PAS_BUILTIN(Cos)
QOB_PAS_BUILTIN(ArcTan)
QOB_PAS_BUILTIN(Int)
QOB_PAS_BUILTIN(Frac)
QOB_PAS_BUILTIN(Round)
QOB_PAS_BUILTIN(Trunc)
QOB_PAS_BUILTIN(Odd)
QOB_PAS_BUILTIN(Random)
QOB_PAS_BUILTIN(Inc)
QOB_PAS_BUILTIN(Dec)

// Dates.
QOB_PAS_BUILTIN(Now)
QOB_PAS_BUILTIN(Time)
QOB_PAS_BUILTIN(EncodeDate)
QOB_PAS_BUILTIN(EncodeTime)
QOB_PAS_BUILTIN(DecodeDate)
QOB_PAS_BUILTIN(DecodeTime)
QOB_PAS_BUILTIN(DayOfWeek)
QOB_PAS_BUILTIN(IncMonth)
QOB_PAS_BUILTIN(IsLeapYear)
QOB_PAS_BUILTIN(DateToStr)
QOB_PAS_BUILTIN(TimeToStr)
QOB_PAS_BUILTIN(DateTimeToStr)
QOB_PAS_BUILTIN(StrToDate)
QOB_PAS_BUILTIN(StrToTime)
QOB_PAS_BUILTIN(StrToDateTime)
QOB_PAS_BUILTIN(FormatDateTime)

// Conversions.
QOB_PAS_BUILTIN(IntToStr)
QOB_PAS_BUILTIN(IntToHex)
QOB_PAS_BUILTIN(StrToInt)
QOB_PAS_BUILTIN(StrToIntDef)
QOB_PAS_BUILTIN(FloatToStr)
QOB_PAS_BUILTIN(StrToFloat)
QOB_PAS_BUILTIN(FormatFloat)
QOB_PAS_BUILTIN(VarToStr)

// Values and objects.
QOB_PAS_BUILTIN(VarIsNull)
QOB_PAS_BUILTIN(Assigned)
QOB_PAS_BUILTIN(CreateOleObject)
QOB_PAS_BUILTIN(GetActiveOleObject)

// Arrays and sets.
QOB_PAS_BUILTIN(Low)
QOB_PAS_BUILTIN(High)
QOB_PAS_BUILTIN(Length)
QOB_PAS_BUILTIN(Include)
QOB_PAS_BUILTIN(Exclude)

// Dialogs and sound.
QOB_PAS_BUILTIN(ShowMessage)
QOB_PAS_BUILTIN(InputQuery)
QOB_PAS_BUILTIN(Beep)

}  // namespace pas_builtins

#undef QOB_PAS_BUILTIN

}  // namespace qob

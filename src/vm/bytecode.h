// TQOBByteCode: one procedure, block of global statements or piece of dynamic
// code, and the emitter the code generators drive. A byte code is open from
// construction to EndEmit (only emitter operations are valid) and finished
// afterwards: read-only, executable by any number of threads at once, except
// that breakpoints patch Code bytes in place (use std::atomic_ref on them).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "compiler/keyed_tables.h"
#include "compiler/name_search.h"
#include "ole/widestring.h"
#include "vm/bytecode_instr.h"

namespace qob {

// A byte code has at most this many protected blocks (TryIndex is 8 bits and
// 255 means "none").
inline constexpr int32_t kQOBMaxProtectedBlocks = 255;

class TQOBByteCode {
 public:
  TQOBByteCode();
  TQOBByteCode(const TQOBByteCode&) = delete;
  TQOBByteCode& operator=(const TQOBByteCode&) = delete;
  ~TQOBByteCode();

  // --- Emitting, in calling order ---------------------------------------

  void BeginEmit(const WideString& ADescription, TQOBAbstractNamespace* AInitialNamespace,
                 int32_t ASourcePos);

  // Makes ASourcePos current and returns the previous one in AOldSourcePos.
  void BeginSourcePos(int32_t ASourcePos, int32_t& AOldSourcePos);
  void EndSourcePos(int32_t AOldSourcePos);

  // The next emitted instruction is a stopping point (start of a statement).
  void SetNextInstrBreakable() noexcept { FNextInstrBreakable = true; }
  void ManualResetNextInstrBreakable() noexcept { FNextInstrBreakable = false; }

  TQOBLabel* CreateLabel();
  // Binds ALabel to the next instruction to be emitted.
  void BindLabel(TQOBLabel* ALabel);

  void Emit(TQOBInstrCode ACode, TQOBInstrData AData = {});

  TQOBCall* AddCall(TQOBNameId AName, const WideString& AStrName, TQOBBracketType ABracketType,
                    int32_t AArgCount, bool AHasObject, bool AHasValue, bool AIsResUsed);
  int32_t AddLocalVar();
  // Reserves ALength consecutive local slots; returns the first.
  int32_t AddLocalVarArray(int32_t ALength);
  // Loop variable given by reference (icForInitLValue).
  TQOBFor* AddFor(TQOBLabel* AJmpLabel, bool AIsStepUsed);
  // Loop variable is the local slot ALoopLocalVar (icForInitLocal).
  TQOBFor* AddFor(TQOBLabel* AJmpLabel, int32_t ALoopLocalVar, bool AIsStepUsed);
  TQOBArray* AddArray(int32_t ADimCount, TVarType AElemVarType);
  TQOBArrayRedim* AddArrayRedim(int32_t ADimCount, TVarType AElemVarType, bool APreserve);
  TQOBArrayRedim* AddArrayRedim(int32_t ADimCount, TVarType AElemVarType, int32_t AArrayLocalVar,
                                bool APreserve);

  // Opens a protected block nested in the current one. More than
  // kQOBMaxProtectedBlocks raises EQOBCompileBase at the current position.
  TQOBTry* BeginProtectedBlock();
  void EndProtectedBlock();
  // Bracket the code of a block's handler, so that the handler ranges of
  // blocks nested inside a handler lie strictly inside the enclosing range.
  void BeginExcHdrCode(TQOBTry* ATry) noexcept { ATry->FHdrHierLow = FNextExcHdrRangeId++; }
  void EndExcHdrCode(TQOBTry* ATry) noexcept { ATry->FHdrHierHigh = FNextExcHdrRangeId++; }
  TQOBExcJump* AddExcJmp(TQOBTry* ATry, TQOBLabel* ALabel);

  // Resolves labels, shortens jump chains, computes the stack size and builds
  // the try array. Afterwards the byte code is finished.
  void EndEmit();

  // --- Finished code -----------------------------------------------------

  // The first breakable instruction, in code order, whose source position
  // lies in AStartPos .. AStartPos+ALength-1; nullptr when there is none.
  TQOBInstr* GetFirstBreakInstr(int32_t AStartPos, int32_t ALength) const noexcept;

  int32_t CurSourcePos() const noexcept { return FCurSourcePos; }
  TQOBInstr* Code() const noexcept { return FCode.get(); }
  int32_t Count() const noexcept { return FCount; }
  int32_t StackSize() const noexcept { return FStackSize; }
  int32_t StackLocalsOffset() const noexcept { return FStackLocalsOffset; }
  int32_t LocalVarCount() const noexcept { return FLocalVarCount; }
  int32_t TryCount() const noexcept { return FTryCount; }
  // The protected blocks indexed by their FIndex (complete after EndEmit).
  TQOBTry* const* Trys() const noexcept { return FTryArray.data(); }
  TQOBAbstractNamespace* InitialNamespace() const noexcept { return FInitialNamespace; }
  const WideString& Description() const noexcept { return FDescription; }
  int32_t MinSourcePos() const noexcept { return FMinSourcePos; }
  int32_t MaxSourcePos() const noexcept { return FMaxSourcePos; }
  bool IsFinished() const noexcept { return FFinished; }
  // The index of an instruction of this code.
  int32_t IndexOf(const TQOBInstr* AInstr) const noexcept {
    return static_cast<int32_t>(AInstr - FCode.get());
  }

 private:
  [[noreturn]] static void AssertionFailure(const char* AReason);
  template <class T>
  T* AddItem();
  void RequireOpen() const;
  void ResolveLabels();
  void ShortenJumpChains();
  void ComputeStackSize();

  std::unique_ptr<TQOBInstr[]> FCode;
  int32_t FCodeLength = 0;  // capacity of FCode
  int32_t FCount = 0;
  std::vector<std::unique_ptr<TQOBByteCodeItem>> FItems;
  std::vector<TQOBLabel*> FLabels;  // creation order
  int32_t FTryCount = 0;
  std::vector<TQOBTry*> FTryArray;  // creation order == FIndex order
  TQOBTry* FCurrentProtBlock = nullptr;
  int32_t FStackSize = 0;
  int32_t FStackLocalsOffset = 0;
  TQOBAbstractNamespace* FInitialNamespace = nullptr;
  int32_t FNextExcHdrRangeId = 0;
  int32_t FCurSourcePos = -1;
  int32_t FMaxSourcePos = -1;
  int32_t FMinSourcePos = INT32_MAX;
  bool FNextInstrBreakable = false;
  bool FFinished = false;
  WideString FDescription;
  int32_t FLocalVarCount = 0;
};

// Brackets a syntax node's code with its source position.
class TQOBSourcePosScope {
 public:
  TQOBSourcePosScope(TQOBByteCode& AByteCode, int32_t ASourcePos) : FByteCode(AByteCode) {
    FByteCode.BeginSourcePos(ASourcePos, FOldSourcePos);
  }
  ~TQOBSourcePosScope() { FByteCode.EndSourcePos(FOldSourcePos); }
  TQOBSourcePosScope(const TQOBSourcePosScope&) = delete;
  TQOBSourcePosScope& operator=(const TQOBSourcePosScope&) = delete;

 private:
  TQOBByteCode& FByteCode;
  int32_t FOldSourcePos = -1;
};

}  // namespace qob

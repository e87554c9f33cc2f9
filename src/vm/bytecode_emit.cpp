// The emitter side of TQOBByteCode: everything the code generators call
// between construction and EndEmit, and the queries on finished code.
#include <algorithm>
#include <array>
#include <cstring>

#include "compiler/compile_error.h"
#include "rtl/exceptions.h"
#include "vm/bytecode.h"

namespace qob {

namespace {

constexpr std::array<std::string_view, kQOBInstrCodeCount> kInstrNames = {
    "icBreak",
    "icBreakpointJmp",
    "icRet",
    "icJump",
    "icPop",
    "icPush",
    "icPush0",
    "icPushUnassigned",
    "icPushLiteral",
    "icPushLocalVar",
    "icPushLocalConst",
    "icPushArg",
    "icPushResult",
    "icPushLocalVarRef",
    "icPushArgRef",
    "icPushResultRef",
    "icGreater",
    "icGreaterEqual",
    "icLess",
    "icLessEqual",
    "icIn",
    "icIs",
    "icEqual",
    "icRefEqual",
    "icNotEqual",
    "icRefNotEqual",
    "icPlus",
    "icStrConcat",
    "icMinus",
    "icImp",
    "icEqv",
    "icOr",
    "icXor",
    "icMultiply",
    "icDivide",
    "icIntDiv",
    "icMod",
    "icAnd",
    "icShl",
    "icShr",
    "icPower",
    "icUnaryPlus",
    "icUnaryMinus",
    "icUnaryNot",
    "icJmpIfTrue",
    "icJmpIfFalse",
    "icPopJmpIfTrue",
    "icPopJmpIfFalse",
    "icPopJmpIfEqual",
    "icPopJmpIfNotEqual",
    "icAddValToSet",
    "icAddRangeToSet",
    "icGlobCall",
    "icMemberCall",
    "icUnnamedCall",
    "icGlobCallRef",
    "icMemberCallRef",
    "icUnnamedCallRef",
    "icNewUnnamedCall",
    "icAssignGlobCall",
    "icAssignMemberCall",
    "icAssignUnnamedCall",
    "icAssignLValue",
    "icAssignLocalVar",
    "icAssignArg",
    "icAssignResult",
    "icAssignGlobalVar",
    "icAssignGlobalConst",
    "icForInitLValue",
    "icForInitLocal",
    "icForInc",
    "icForIncStep",
    "icForDec",
    "icForJmpIfLE",
    "icForJmpIfGE",
    "icForJmpStep",
    "icCaseJmpIfEqual",
    "icCaseJmpIfInRange",
    "icRaise",
    "isReraise",
    "icRaiseEBCFromFinally",
    "icCallFinally",
    "icFinallyRet",
    "icExceptJmpIfIs",
    "icExceptDone",
    "icExceptToVar",
    "icSetNamespace",
    "icArrayCreate",
    "icArrayRedimLValue",
    "icArrayRedimLocal",
    "icEventHandlerMake",
};

}  // namespace

std::string_view QOBInstrCodeName(uint8_t ACode) noexcept {
  return ACode < kInstrNames.size() ? kInstrNames[ACode] : std::string_view("?");
}

TQOBByteCode::TQOBByteCode() = default;
TQOBByteCode::~TQOBByteCode() = default;

void TQOBByteCode::AssertionFailure(const char* AReason) {
  throw EAssertionFailed(u"Assertion failure (" + Utf8ToUtf16(AReason) + u")");
}

void TQOBByteCode::RequireOpen() const {
  if (FFinished) AssertionFailure("the byte code is finished");
}

template <class T>
T* TQOBByteCode::AddItem() {
  auto item = std::make_unique<T>();
  T* result = item.get();
  FItems.push_back(std::move(item));  // on failure the item is freed by its owner
  return result;
}

void TQOBByteCode::BeginEmit(const WideString& ADescription,
                             TQOBAbstractNamespace* AInitialNamespace, int32_t ASourcePos) {
  RequireOpen();
  FDescription = ADescription;
  FInitialNamespace = AInitialNamespace;
  FCurSourcePos = ASourcePos;
}

void TQOBByteCode::BeginSourcePos(int32_t ASourcePos, int32_t& AOldSourcePos) {
  AOldSourcePos = FCurSourcePos;
  FCurSourcePos = ASourcePos;
}

void TQOBByteCode::EndSourcePos(int32_t AOldSourcePos) {
  FCurSourcePos = AOldSourcePos;
}

TQOBLabel* TQOBByteCode::CreateLabel() {
  RequireOpen();
  TQOBLabel* label = AddItem<TQOBLabel>();
  FLabels.push_back(label);
  return label;
}

void TQOBByteCode::BindLabel(TQOBLabel* ALabel) {
  RequireOpen();
  if (ALabel->IsBound()) AssertionFailure("label bound twice");
  ALabel->FIndex = FCount;
}

void TQOBByteCode::Emit(TQOBInstrCode ACode, TQOBInstrData AData) {
  RequireOpen();
  if (FCurSourcePos < 0) AssertionFailure("instruction emitted without a source position");
  if (FCount == FCodeLength) {
    const int32_t capacity = std::max(4, FCodeLength * 2);
    auto code = std::make_unique<TQOBInstr[]>(static_cast<size_t>(capacity));
    if (FCount > 0) std::memcpy(code.get(), FCode.get(), sizeof(TQOBInstr) * FCount);
    FCode = std::move(code);
    FCodeLength = capacity;
  }
  FMinSourcePos = std::min(FMinSourcePos, FCurSourcePos);
  FMaxSourcePos = std::max(FMaxSourcePos, FCurSourcePos);

  TQOBInstr& instr = FCode[FCount];
  instr.Data = AData;
  instr.Code = ACode;
  instr.TryIndex =
      FCurrentProtBlock ? static_cast<uint8_t>(FCurrentProtBlock->FIndex) : kQOBNoTryIndex;
  instr.SourceInfo = static_cast<uint32_t>(FCurSourcePos) & kQOBSourcePosMask;
  if (FNextInstrBreakable) {
    instr.SourceInfo |= kQOBBreakableBit;
    FNextInstrBreakable = false;
  }
  ++FCount;
}

TQOBCall* TQOBByteCode::AddCall(TQOBNameId AName, const WideString& AStrName,
                                TQOBBracketType ABracketType, int32_t AArgCount, bool AHasObject,
                                bool AHasValue, bool AIsResUsed) {
  RequireOpen();
  TQOBCall* call = AddItem<TQOBCall>();
  call->FName = AName;
  call->FStrName = AStrName;
  call->FBracketType = ABracketType;
  call->FArgCount = AArgCount;
  call->FResMask = AIsResUsed ? 0xFFFFFFFFu : 0u;
  call->FArgsOffset = AArgCount - 1 + (AHasValue ? 1 : 0);
  call->FObjectOffset = call->FArgsOffset + 1;
  call->FResOffset = call->FObjectOffset + (AHasObject ? 1 : 0);
  return call;
}

int32_t TQOBByteCode::AddLocalVar() {
  return AddLocalVarArray(1);
}

int32_t TQOBByteCode::AddLocalVarArray(int32_t ALength) {
  RequireOpen();
  const int32_t first = FLocalVarCount;
  FLocalVarCount += ALength;
  return first;
}

TQOBFor* TQOBByteCode::AddFor(TQOBLabel* AJmpLabel, bool AIsStepUsed) {
  RequireOpen();
  TQOBFor* loop = AddItem<TQOBFor>();
  loop->FJmpLabel = AJmpLabel;
  loop->FStepVar = AIsStepUsed ? AddLocalVar() : -1;
  loop->FToVar = AddLocalVar();
  loop->FLoopVarRef = AddLocalVar();
  return loop;
}

TQOBFor* TQOBByteCode::AddFor(TQOBLabel* AJmpLabel, int32_t ALoopLocalVar, bool AIsStepUsed) {
  TQOBFor* loop = AddFor(AJmpLabel, AIsStepUsed);
  loop->FLoopLocalVar = ALoopLocalVar;
  return loop;
}

TQOBArray* TQOBByteCode::AddArray(int32_t ADimCount, TVarType AElemVarType) {
  RequireOpen();
  TQOBArray* array = AddItem<TQOBArray>();
  array->FDimCount = ADimCount;
  array->FElemVarType = AElemVarType;
  array->FArgsOffset = 2 * ADimCount - 1;
  return array;
}

TQOBArrayRedim* TQOBByteCode::AddArrayRedim(int32_t ADimCount, TVarType AElemVarType,
                                            bool APreserve) {
  RequireOpen();
  TQOBArrayRedim* redim = AddItem<TQOBArrayRedim>();
  redim->FDimCount = ADimCount;
  redim->FElemVarType = AElemVarType;
  redim->FArgsOffset = 2 * ADimCount - 1;
  redim->FArrayOffset = 2 * ADimCount;
  redim->FPreserve = APreserve;
  return redim;
}

TQOBArrayRedim* TQOBByteCode::AddArrayRedim(int32_t ADimCount, TVarType AElemVarType,
                                            int32_t AArrayLocalVar, bool APreserve) {
  TQOBArrayRedim* redim = AddArrayRedim(ADimCount, AElemVarType, APreserve);
  redim->FArrayLocalVar = AArrayLocalVar;
  return redim;
}

TQOBTry* TQOBByteCode::BeginProtectedBlock() {
  RequireOpen();
  // TryIndex is one byte and 255 means "no block": refuse rather than wrap.
  if (FTryCount >= kQOBMaxProtectedBlocks)
    throw EQOBCompileBase(
        u"Too many protected blocks (try statements) in one routine; at most 255 are allowed",
        FCurSourcePos);
  TQOBTry* block = AddItem<TQOBTry>();
  block->FIndex = FTryCount;
  block->FParent = FCurrentProtBlock;
  FTryArray.push_back(block);
  FCurrentProtBlock = block;
  ++FTryCount;
  return block;
}

void TQOBByteCode::EndProtectedBlock() {
  RequireOpen();
  if (!FCurrentProtBlock) AssertionFailure("no protected block is open");
  FCurrentProtBlock = FCurrentProtBlock->FParent;
}

TQOBExcJump* TQOBByteCode::AddExcJmp(TQOBTry* ATry, TQOBLabel* ALabel) {
  RequireOpen();
  TQOBExcJump* jump = AddItem<TQOBExcJump>();
  jump->FTry = ATry;
  jump->FLabel = ALabel;
  return jump;
}

TQOBInstr* TQOBByteCode::GetFirstBreakInstr(int32_t AStartPos, int32_t ALength) const noexcept {
  if (ALength <= 0 || FCount == 0) return nullptr;
  const int64_t first = AStartPos;
  const int64_t last = first + ALength - 1;
  if (last < FMinSourcePos || first > FMaxSourcePos) return nullptr;
  for (int32_t i = 0; i < FCount; ++i) {
    TQOBInstr& instr = FCode[i];
    if (!instr.IsBreakable()) continue;
    const int64_t pos = instr.SourcePos();
    if (pos >= first && pos <= last) return &instr;
  }
  return nullptr;
}

}  // namespace qob

// The built-in routines called directly, the way the interpreter calls them:
// a call record with the bracket kind, argument count and result use, the
// arguments in order, variables passed as references.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "compiler/name_table.h"
#include "ole/dispatch_object.h"
#include "ole/ole_registry.h"
#include "ole/safearray.h"
#include "ole/variant_convert.h"
#include "pascal/pas_builtins.h"
#include "pascal/pas_language.h"
#include "rtl/datetime.h"
#include "rtl/dialogs.h"
#include "rtl/exceptions.h"
#include "rtl/format_settings.h"
#include "vm/vm_runtime_error.h"

namespace qob {
namespace {

std::string U8(std::u16string_view text) {
  return Utf16ToUtf8(text);
}

// "Type text" of a value, so that a failing comparison shows both.
std::string Show(const Variant& AValue) {
  std::string text = U8(VarTypeName(AValue.Type()));
  if (!AValue.IsEmpty() && !AValue.IsNull() && !AValue.IsArray())
    text += " " + U8(VarToStr(AValue));
  return text;
}

Variant Str(std::u16string_view AText) {
  return Variant(WideString(AText));
}

// A Variant array with bounds ALow.. holding AValues.
Variant IntArray(int32_t ALow, std::vector<int32_t> AValues) {
  const TSafeArrayBound bound{ALow, static_cast<int32_t>(AValues.size())};
  Variant array = VarArrayCreate(std::span(&bound, 1));
  for (size_t i = 0; i < AValues.size(); ++i) {
    const int32_t index = ALow + static_cast<int32_t>(i);
    SafeArrayPutElement(*array.VArray, std::span(&index, 1), Variant(AValues[i]));
  }
  return array;
}

class BuiltinsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FSavedSettings = FormatSettings();
    FormatSettings() = TFormatSettings::Invariant();
    ComPtr<IQOBLanguage> language(new TQOBPasLanguage());
    language->EnumGlobalObjects(
        [](void* AData, std::unique_ptr<TQOBGlobalObject> AObject) {
          auto& self = *static_cast<BuiltinsTest*>(AData);
          self.FOrder.push_back(U8(AObject->StrName().view()));
          self.FObjects[QOBNameTable().GetName(AObject->FName).ToUtf8()] = std::move(AObject);
        },
        this);
  }
  void TearDown() override { FormatSettings() = FSavedSettings; }

  TPasIntrinsic& Builtin(std::u16string_view AName) {
    auto& object = FObjects.at(QOBNameTable().GetName(QOBNameId(AName)).ToUtf8());
    return dynamic_cast<TPasIntrinsic&>(*object);
  }

  // Calls a built-in with round brackets and its result used, unless told otherwise.
  Variant Call(std::u16string_view AName, std::vector<Variant> AArgs,
               TQOBBracketType ABrackets = bkRound, bool AResultUsed = true) {
    TQOBCall call;
    call.FBracketType = ABrackets;
    call.FArgCount = static_cast<int32_t>(AArgs.size());
    call.FResMask = AResultUsed ? ~0u : 0u;
    Variant result;
    Builtin(AName).Execute(nullptr, &call, AArgs.data(), result);
    return result;
  }

  std::map<std::string, std::unique_ptr<TQOBGlobalObject>> FObjects;
  std::vector<std::string> FOrder;
  TFormatSettings FSavedSettings;
};

TEST_F(BuiltinsTest, LanguageHandsOverFlowObjectsThenBuiltinsInOrder) {
  const std::vector<std::string> expected = {"Exit",
                                             "Break",
                                             "Continue",
                                             "Null",
                                             "Unassigned",
                                             "Include",
                                             "Exclude",
                                             "Beep",
                                             "ArcTan",
                                             "Cos",
                                             "Dec",
                                             "Sin",
                                             "LowerCase",
                                             "High",
                                             "Low",
                                             "Ln",
                                             "AnsiCompareStr",
                                             "AnsiCompareText",
                                             "AnsiLowerCase",
                                             "AnsiUpperCase",
                                             "Abs",
                                             "CompareStr",
                                             "CompareText",
                                             "Date",
                                             "DateTimeToStr",
                                             "DateToStr",
                                             "DayOfWeek",
                                             "DecodeDate",
                                             "Exp",
                                             "FloatToStr",
                                             "Frac",
                                             "Int",
                                             "IntToHex",
                                             "IntToStr",
                                             "IsLeapYear",
                                             "IsValidIdent",
                                             "True",
                                             "False",
                                             "Length",
                                             "Now",
                                             "Odd",
                                             "Pos",
                                             "Random",
                                             "Round",
                                             "Sqr",
                                             "Sqrt",
                                             "StrToDate",
                                             "StrToDateTime",
                                             "StrToFloat",
                                             "StrToInt",
                                             "StrToIntDef",
                                             "Time",
                                             "TimeToStr",
                                             "StrToTime",
                                             "Trim",
                                             "TrimLeft",
                                             "TrimRight",
                                             "Trunc",
                                             "UpperCase",
                                             "VarIsNull",
                                             "VarToStr",
                                             "Assigned",
                                             "ShowMessage",
                                             "Insert",
                                             "IncMonth",
                                             "Inc",
                                             "Chr",
                                             "Copy",
                                             "Delete",
                                             "CreateOleObject",
                                             "GetActiveOleObject",
                                             "InputQuery",
                                             "DecodeTime",
                                             "EncodeDate",
                                             "EncodeTime",
                                             "Format",
                                             "FormatFloat",
                                             "FormatDateTime",
                                             "Ord"};
  EXPECT_EQ(FOrder, expected);
  EXPECT_EQ(FObjects.at("EXIT")->GetGlobalObjType(), gtExit);
  EXPECT_EQ(FObjects.at("COPY")->GetGlobalObjType(), gtIntrinsic);

  ComPtr<IQOBLanguage> language(new TQOBPasLanguage());
  EXPECT_EQ(U8(language->QuoteString(u"it's").view()), "'it''s'");
  EXPECT_EQ(U8(language->GetEmptyLiteral().view()), "Unassigned");
  EXPECT_EQ(U8(language->GetNilLiteral().view()), "nil");
  EXPECT_EQ(U8(language->GetNullLiteral().view()), "Null");
}

// The call form decides before anything runs: procedures give no value,
// constants take no brackets, square brackets never call.
TEST_F(BuiltinsTest, CallFormAndArgumentCountAreCheckedFirst) {
  struct Case {
    std::u16string_view Name;
    int ArgCount;
    TQOBBracketType Brackets;
    bool ResultUsed;
    int Error;  // a TQOBRuntimeErrorType, or -1 when the call runs
  };
  const Case cases[] = {
      {u"ShowMessage", 1, bkRound, false, -1},
      {u"ShowMessage", 1, bkRound, true, retTypeMismatch},
      {u"Beep", 0, bkNon, false, -1},
      {u"Inc", 1, bkRound, true, retTypeMismatch},
      {u"Dec", 1, bkRound, true, retTypeMismatch},
      {u"Date", 0, bkNon, true, -1},
      {u"Date", 0, bkRound, true, retTypeMismatch},
      {u"True", 0, bkNon, false, -1},
      {u"Now", 0, bkRound, true, -1},
      {u"Now", 0, bkNon, true, -1},
      {u"Now", 0, bkBlock, true, retTypeMismatch},
      {u"Copy", 1, bkRound, true, retInvalidParamCount},
      {u"Copy", 0, bkNon, true, retInvalidParamCount},
      {u"Copy", 3, bkVbRound, true, retTypeMismatch},
      {u"Inc", 3, bkRound, false, retInvalidParamCount},
      {u"Inc", 0, bkRound, false, retInvalidParamCount},
      {u"Random", 2, bkRound, true, retInvalidParamCount},
      {u"IncMonth", 3, bkRound, true, retInvalidParamCount},
      {u"Low", 0, bkRound, true, retInvalidParamCount},
      {u"Format", 0, bkRound, true, retInvalidParamCount},
  };
  ::testing::internal::CaptureStdout();
  for (const Case& c : cases) {
    SCOPED_TRACE(U8(c.Name) + " with " + std::to_string(c.ArgCount) + " arguments");
    std::vector<Variant> args(static_cast<size_t>(c.ArgCount), Variant(int32_t{1}));
    try {
      Call(c.Name, args, c.Brackets, c.ResultUsed);
      EXPECT_EQ(c.Error, -1);
    } catch (const EQOBVMRuntime& e) {
      EXPECT_EQ(static_cast<int>(e.ErrorType()), c.Error) << U8(e.Message().view());
    }
  }
  ::testing::internal::GetCapturedStdout();
}

TEST_F(BuiltinsTest, ResultsOfFunctionsAndConstants) {
  struct Case {
    std::u16string_view Name;
    std::vector<Variant> Args;
    std::string Expected;
  };
  const std::vector<Case> cases = {
      // Strings: ASCII-only versus Unicode casing, ordinal versus ASCII-folded comparison.
      {u"LowerCase", {Str(u"ÀBc")}, "String Àbc"},
      {u"UpperCase", {Str(u"àbC")}, "String àBC"},
      {u"AnsiUpperCase", {Str(u"àbC")}, "String ÀBC"},
      {u"AnsiLowerCase", {Str(u"ÀBc")}, "String àbc"},
      {u"CompareText", {Str(u"abc"), Str(u"ABC")}, "Integer 0"},
      {u"Trim", {Str(u"\t a b \r\n")}, "String a b"},
      {u"TrimLeft", {Str(u"  a ")}, "String a "},
      {u"TrimRight", {Str(u"  a ")}, "String   a"},
      {u"Pos", {Str(u"lo"), Str(u"hello")}, "Integer 4"},
      {u"Pos", {Str(u""), Str(u"hello")}, "Integer 0"},
      {u"Copy", {Str(u"abc"), Variant(2), Variant(5)}, "String bc"},
      {u"Copy", {Str(u"abc"), Variant(0), Variant(2)}, "String ab"},
      {u"Copy", {Str(u"abc"), Variant(4), Variant(1)}, "String "},
      {u"Copy", {Str(u"abc"), Variant(2), Variant(-1)}, "String "},
      // Index + count beyond 32 bits clamps to the text.
      {u"Copy", {Str(u"abc"), Variant(2), Variant(INT32_MAX)}, "String bc"},
      {u"Chr", {Variant(65 + 65536)}, "String A"},
      {u"Ord", {Str(u"")}, "Integer 0"},
      {u"Ord", {Str(u"A")}, "Integer 65"},
      {u"Ord", {Variant(7.0)}, "Integer 7"},
      {u"IsValidIdent", {Str(u"_a1")}, "Boolean True"},
      {u"IsValidIdent", {Str(u"1a")}, "Boolean False"},
      {u"IsValidIdent", {Str(u"")}, "Boolean False"},
      {u"Length", {Variant(5)}, "Integer 1"},
      {u"Length", {Str(u"")}, "Integer 0"},
      {u"Length", {VarNullValue()}, "Integer 0"},
      // Format: one argument is returned untouched; each directive gets what it needs.
      {u"Format", {Str(u"%d%%")}, "String %d%%"},
      {u"Format", {Variant(12)}, "Integer 12"},
      {u"Format", {Str(u"%d-%s"), Variant(5), Str(u"x")}, "String 5-x"},
      {u"Format",
       {Str(u"%s|%d|%.2f"), Variant(7), Str(u"8"), Variant(int32_t{1})},
       "String 7|8|1.00"},
      {u"Format", {Str(u"%1:s %0:s"), Str(u"a"), Str(u"b")}, "String b a"},
      {u"Format", {Str(u"%*d|"), Variant(4), Variant(7)}, "String    7|"},
      {u"Format", {Str(u"%x"), Variant(255)}, "String FF"},
      {u"Format", {Str(u"%s-%s"), IntArray(1, {4, 5})}, "String 4-5"},
      // Numbers.
      {u"Abs", {Variant(-3)}, "Double 3"},
      {u"Sqr", {Variant(1.5)}, "Double 2.25"},
      {u"Int", {Variant(-2.7)}, "Double -2"},
      {u"Frac", {Variant(-2.5)}, "Double -0.5"},
      {u"Round", {Variant(2.5)}, "Int64 2"},
      {u"Round", {Variant(3.5)}, "Int64 4"},
      {u"Round", {Variant(-2.5)}, "Int64 -2"},
      {u"Trunc", {Variant(-2.7)}, "Int64 -2"},
      {u"Odd", {Variant(3)}, "Boolean True"},
      {u"Random", {Variant(0)}, "Integer 0"},
      {u"Random", {Variant(-5)}, "Integer 0"},
      {u"Random", {Variant(1)}, "Integer 0"},
      // Conversions.
      {u"IntToStr", {Variant(int64_t{1} << 40)}, "String 1099511627776"},
      {u"IntToHex", {Variant(255), Variant(4)}, "String 00FF"},
      {u"StrToInt", {Str(u"$FF")}, "Integer 255"},
      {u"StrToIntDef", {Str(u"x"), Variant(7)}, "Integer 7"},
      {u"StrToIntDef", {Str(u"12"), Variant(7)}, "Integer 12"},
      {u"FloatToStr", {Variant(0.1)}, "String 0.1"},
      {u"StrToFloat", {Str(u"2.5")}, "Double 2.5"},
      {u"FormatFloat", {Str(u"0.00"), Variant(3.14159)}, "String 3.14"},
      {u"VarToStr", {VarNullValue()}, "String "},
      // Dates.
      {u"EncodeDate", {Variant(2021), Variant(3), Variant(4)}, "Date 3/4/2021"},
      {u"DayOfWeek", {Variant::FromDate(EncodeDate(2021, 3, 7))}, "Integer 1"},
      {u"IsLeapYear", {Variant(1900)}, "Boolean False"},
      {u"IsLeapYear", {Variant(2000)}, "Boolean True"},
      {u"IncMonth", {Variant::FromDate(EncodeDate(2021, 1, 31))}, "Date 2/28/2021"},
      {u"IncMonth", {Variant::FromDate(EncodeDate(2021, 1, 15)), Variant(-13)}, "Date 12/15/2019"},
      {u"FormatDateTime",
       {Str(u"yyyy-mm-dd"), Variant::FromDate(EncodeDate(2020, 2, 29))},
       "String 2020-02-29"},
      {u"StrToDate", {Str(u"12/24/2020")}, "Date 12/24/2020"},
      // Values.
      {u"VarIsNull", {VarNullValue()}, "Boolean True"},
      {u"Assigned", {Variant()}, "Boolean False"},
      {u"Assigned", {Variant(static_cast<IDispatch*>(nullptr))}, "Boolean False"},
      {u"Assigned", {Variant(0)}, "Boolean True"},
      // Arrays.
      {u"Low", {IntArray(3, {1, 2})}, "Integer 3"},
      {u"High", {IntArray(3, {1, 2})}, "Integer 4"},
      {u"Length", {IntArray(3, {1, 2})}, "Integer 2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(U8(c.Name));
    std::vector<Variant> args = c.Args;
    EXPECT_EQ(Show(Call(c.Name, args)), c.Expected);
  }
  EXPECT_EQ(Show(Call(u"Null", {}, bkNon)), "Null");
  EXPECT_EQ(Show(Call(u"Unassigned", {}, bkNon)), "Empty");
  EXPECT_EQ(Show(Call(u"False", {}, bkNon)), "Boolean False");
  EXPECT_EQ(Call(u"Date", {}, bkNon).VDate, Date());
  const double random = Call(u"Random", {}).VDouble;
  EXPECT_TRUE(random >= 0 && random < 1) << random;
  EXPECT_GT(Call(u"CompareStr", {Str(u"a"), Str(u"B")}).VInteger, 0);
  EXPECT_LT(Call(u"CompareText", {Str(u"a"), Str(u"B")}).VInteger, 0);
}

TEST_F(BuiltinsTest, CopyOfAnArrayIsANewZeroBasedArray) {
  const Variant source = IntArray(1, {10, 20, 30, 40});
  const Variant part = Call(u"Copy", {source, Variant(2), Variant(2)});
  ASSERT_TRUE(part.IsArray());
  EXPECT_EQ(SafeArrayLowBound(*part.VArray, 1), 0);
  EXPECT_EQ(SafeArrayHighBound(*part.VArray, 1), 1);
  const int32_t first = 0, second = 1;
  EXPECT_EQ(SafeArrayGetElement(*part.VArray, std::span(&first, 1)).VInteger, 20);
  EXPECT_EQ(SafeArrayGetElement(*part.VArray, std::span(&second, 1)).VInteger, 30);
  // Clamped to the bounds; nothing left is the empty value.
  EXPECT_EQ(SafeArrayHighBound(*Call(u"Copy", {source, Variant(-5), Variant(INT32_MAX)}).VArray, 1),
            3);
  EXPECT_TRUE(Call(u"Copy", {source, Variant(9), Variant(1)}).IsEmpty());
}

TEST_F(BuiltinsTest, VarArgumentsAreWrittenOnlyThroughReferences) {
  struct Case {
    std::u16string_view Name;
    Variant Initial;            // the variable passed first (or as ArgIndex)
    std::vector<Variant> Rest;  // the other arguments, in order after it
    size_t VarIndex;
    std::string Expected;
  };
  const std::vector<Case> cases = {
      {u"Inc", Variant(1), {}, 0, "Integer 2"},
      {u"Inc", Variant(1), {Variant(5)}, 0, "Integer 6"},
      {u"Dec", Variant(1), {Variant(3)}, 0, "Integer -2"},
      {u"Inc", Str(u"a"), {Str(u"b")}, 0, "String ab"},
      {u"Include", Variant(0), {Variant(33)}, 0, "Integer 2"},
      {u"Include", Variant(1), {Variant(-1)}, 0, "Integer -2147483647"},
      {u"Exclude", Variant(7), {Variant(1)}, 0, "Integer 5"},
      {u"Insert", Str(u"ace"), {Variant(2)}, 1, "String abce"},
      {u"Insert", Str(u"ace"), {Variant(-3)}, 1, "String bace"},
      {u"Insert", Str(u"ace"), {Variant(99)}, 1, "String aceb"},
      {u"Delete", Str(u"abcdef"), {Variant(2), Variant(3)}, 0, "String aef"},
      {u"Delete", Str(u"abcdef"), {Variant(5), Variant(INT32_MAX)}, 0, "String abcd"},
      {u"Delete", Str(u"abcdef"), {Variant(0), Variant(2)}, 0, "String abcdef"},
      {u"Delete", Str(u"abcdef"), {Variant(7), Variant(2)}, 0, "String abcdef"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(U8(c.Name) + " -> " + c.Expected);
    Variant variable = c.Initial;
    std::vector<Variant> args = c.Rest;
    if (c.Name == u"Insert") args.insert(args.begin(), Str(u"b"));
    args.insert(args.begin() + static_cast<ptrdiff_t>(c.VarIndex), Variant::RefTo(&variable));
    Call(c.Name, args, bkRound, false);
    EXPECT_EQ(Show(variable), c.Expected);

    // The same call with a value in place of the variable changes nothing and raises nothing.
    args[c.VarIndex] = c.Initial;
    EXPECT_NO_THROW(Call(c.Name, args, bkRound, false));
  }
}

TEST_F(BuiltinsTest, DecodeConvertsTheVariablesBeforeWritingThem) {
  Variant year, month, day = Variant(7.0);
  Call(u"DecodeDate",
       {Variant::FromDate(EncodeDate(2024, 2, 29)), Variant::RefTo(&year), Variant::RefTo(&month),
        Variant::RefTo(&day)},
       bkRound, false);
  EXPECT_EQ(Show(year), "Integer 2024");
  EXPECT_EQ(Show(month), "Integer 2");
  EXPECT_EQ(Show(day), "Integer 29");

  Variant hour, minute, second = Str(u"x"), ms;
  EXPECT_THROW(Call(u"DecodeTime",
                    {Variant::FromDate(EncodeTime(1, 2, 3, 4)), Variant::RefTo(&hour),
                     Variant::RefTo(&minute), Variant::RefTo(&second), Variant::RefTo(&ms)},
                    bkRound, false),
               EVariantError);
  EXPECT_TRUE(hour.IsEmpty()) << "nothing is written when a variable does not convert";
}

TEST_F(BuiltinsTest, FailuresRaiseTheRuntimesExceptions) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Variant array = IntArray(0, {1});
  struct Case {
    std::u16string_view Name;
    std::vector<Variant> Args;
    std::string Message;
  };
  const std::vector<Case> cases = {
      {u"Round", {Variant(nan)}, "Integer overflow"},
      {u"Round", {Variant(1e19)}, "Integer overflow"},
      {u"Trunc", {Variant(-inf)}, "Integer overflow"},
      {u"Trunc", {Variant(-0x1p63)}, ""},
      {u"Sqrt", {Variant(-1.0)}, "Invalid floating point operation"},
      {u"Ln", {Variant(0)}, "Floating point division by zero"},
      {u"Ln", {Variant(-1)}, "Invalid floating point operation"},
      {u"Exp", {Variant(1000)}, "Floating point overflow"},
      {u"Sqr", {Variant(1e200)}, "Floating point overflow"},
      {u"Low", {Str(u"abc")}, "Low can be applied only to an array"},
      {u"High", {Variant(1)}, "High can be applied only to an array"},
      {u"Low", {array, Variant(2)}, "Invalid argument count"},
      {u"High", {array, Variant(0)}, "Invalid argument count"},
      {u"Length", {array, Variant(-1)}, "Invalid argument count"},
      {u"Length", {Str(u"abc"), Variant(1)}, "Invalid argument count"},
      {u"StrToInt", {Str(u"x")}, "'x' is not a valid integer value"},
      {u"StrToInt", {Str(u"2147483648")}, "'2147483648' is not a valid integer value"},
      {u"EncodeDate", {Variant(2021), Variant(2), Variant(30)}, "Invalid argument to date encode"},
      {u"IncMonth",
       {Variant::FromDate(EncodeDate(9999, 12, 1))},
       "Invalid argument to date encode"},
      {u"Format", {Str(u"%d"), Str(u"abc")}, "Format '%d' invalid or incompatible with argument"},
      {u"Format",
       {Str(u"%d %d"), Variant(1)},
       "Format '%d %d' invalid or incompatible with argument"},
      {u"Format",
       {Str(u"%s%s"), Str(u"a"), array},
       "Format '%s%s' invalid or incompatible with argument"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(U8(c.Name));
    std::vector<Variant> args = c.Args;
    try {
      const Variant result = Call(c.Name, args);
      EXPECT_EQ(c.Message, "") << "answered " << Show(result);
    } catch (const Exception& e) {
      EXPECT_EQ(U8(e.Message().view()), c.Message);
    }
  }
}

class RecordingUserInterface : public IUserInterface {
 public:
  void ShowMessage(const WideString& text) override { Shown.push_back(text.ToUtf8()); }
  int MsgBox(const WideString&, int, const WideString&) override { return 1; }
  bool InputQuery(const WideString& caption, const WideString& prompt, WideString& value) override {
    Shown.push_back(caption.ToUtf8() + "|" + prompt.ToUtf8() + "|" + value.ToUtf8());
    value = Answer;
    return Confirm;
  }
  void Beep() override { Shown.push_back("beep"); }

  std::vector<std::string> Shown;
  WideString Answer;
  bool Confirm = true;
};

TEST_F(BuiltinsTest, DialogsGoThroughTheUserInterfaceHook) {
  RecordingUserInterface ui;
  SetUserInterface(&ui);
  Call(u"ShowMessage", {Variant(42)}, bkRound, false);
  Call(u"Beep", {}, bkNon, false);

  Variant value(5);
  ui.Answer = u"typed";
  EXPECT_EQ(Show(Call(u"InputQuery", {Str(u"Title"), Str(u"Name?"), Variant::RefTo(&value)})),
            "Boolean True");
  EXPECT_EQ(Show(value), "String typed");

  ui.Confirm = false;
  Variant kept(5);
  EXPECT_EQ(Show(Call(u"InputQuery", {Str(u"T"), Str(u"P"), Variant::RefTo(&kept)})),
            "Boolean False");
  EXPECT_EQ(Show(kept), "Integer 5") << "a cancelled input leaves the variable alone";
  SetUserInterface(nullptr);

  const std::vector<std::string> expected = {"42", "beep", "Title|Name?|5", "T|P|5"};
  EXPECT_EQ(ui.Shown, expected);
}

// An object with no members: only its identity matters here.
class Thing : public DispatchObject {
 public:
  HRESULT GetIDsOfNames(REFIID, const char16_t**, uint32_t, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT Invoke(DISPID, REFIID, LCID, uint16_t, DISPPARAMS*, Variant*, EXCEPINFO*,
                 uint32_t*) override {
    return DISP_E_MEMBERNOTFOUND;
  }
};

TEST_F(BuiltinsTest, OleObjectsComeFromTheClassRegistryAndRunningObjects) {
  ComPtr<IDispatch> running(new Thing());
  RegisterOleClass(u"Test.Thing", [] { return ComPtr<IDispatch>(new Thing()); });
  RegisterActiveObject(u"Test.Running", running.get());

  const Variant created = Call(u"CreateOleObject", {Str(u"test.thing")});
  ASSERT_EQ(created.Type(), varDispatch);
  EXPECT_NE(created.VDispatch, nullptr);
  EXPECT_EQ(Show(Call(u"Assigned", {created})), "Boolean True");
  EXPECT_EQ(Call(u"GetActiveOleObject", {Str(u"Test.Running")}).VDispatch, running.get());
  EXPECT_THROW(Call(u"CreateOleObject", {Str(u"No.Such.Class")}), EOleSysError);
  EXPECT_THROW(Call(u"GetActiveOleObject", {Str(u"Test.Thing")}), EOleSysError);

  RevokeActiveObject(u"Test.Running");
  UnregisterOleClass(u"Test.Thing");
}

}  // namespace
}  // namespace qob

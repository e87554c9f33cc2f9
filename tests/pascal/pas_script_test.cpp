// Pascal scripts compiled and run on the virtual machine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ole/variant_convert.h"
#include "pas_test_util.h"
#include "pascal/pas_errors.h"
#include "pascal/pas_language.h"
#include "rtl/exceptions.h"
#include "vm/virt_machine.h"

namespace qob {
namespace {

using testing::U8;

// A machine running one script. Raised values become exceptions carrying the
// value's text; `on E: 'text' do` matches an exception by that text.
class TScript {
 public:
  explicit TScript(std::u16string_view source) : FVM(new TQOBPasLanguage()) {
    FVM.OnVarToException = [](TQOBVirtMachine*, const Variant& V, std::exception_ptr& AResult) {
      AResult = std::make_exception_ptr(Exception(VarToStr(V)));
    };
    FVM.OnExceptionToVar = [](TQOBVirtMachine*, const std::exception_ptr& E, Variant& AResult) {
      AResult = Variant(MessageOf(E));
    };
    FVM.OnExceptionIsTest = [](TQOBVirtMachine*, const std::exception_ptr& E, const Variant& AType,
                               bool& AResult) { AResult = MessageOf(E) == VarToStr(AType); };
    FVM.Initialize(WideString(source));
    FVM.Open();
  }
  ~TScript() { FVM.Close(); }

  // The procedure's result as text, or "error: " and the message.
  std::string Run(std::u16string_view AProc) {
    try {
      return U8(VarToStr(FVM.RunProc(WideString(AProc))));
    } catch (const Exception& e) {
      return "error: " + U8(e.Message());
    }
  }
  std::string Var(std::u16string_view AName) {
    return U8(VarToStr(FVM.ReadVar(WideString(AName))));
  }

 private:
  static WideString MessageOf(const std::exception_ptr& E) {
    try {
      std::rethrow_exception(E);
    } catch (const Exception& e) {
      return e.Message();
    } catch (...) {
      return WideString(u"?");
    }
  }

  TQOBVirtMachine FVM;
};

struct ScriptCase {
  std::u16string source;  // a script whose function F gives the result
  std::string result;
};

TEST(PasScriptTest, ConstructsComputeTheirResults) {
  const std::vector<ScriptCase> cases = {
      {u"function F; begin Result := 1 + 2 * 3 - 8 div 3 mod 2; end;", "7"},
      {u"function F; begin Result := (7 - 2) - 1; end;", "4"},
      {u"function F; begin Result := 'a' + 'b'; end;", "ab"},
      {u"function F; begin Result := (1 < 2) and not (3 < 2); end;", "True"},
      {u"function F; begin Result := 3 in [1, 3..5]; end;", "True"},
      {u"function F; begin Result := [0, 2..3]; end;", "13"},
      {u"function F; var x = 2, y; const C = 10; begin y := x * C; Result := y; end;", "20"},
      {u"function Fib(n); begin if n < 2 then Result := n else Result := Fib(n - 1) + Fib(n - 2); "
       u"end;\nfunction F; begin Result := Fib(15); end;",
       "610"},
      // A designator argument is passed by reference to a var parameter.
      {u"procedure Twice(var v); begin v := v * 2; end;\n"
       u"function F; var x = 3; begin Twice(x); Twice(x); Result := x; end;",
       "12"},
      // A value parameter never writes back.
      {u"procedure Keep(v); begin v := 0; end;\n"
       u"function F; var x = 3; begin Keep(x); Result := x; end;",
       "3"},
      {u"function F; var i, s = ''; begin for i := 1 to 10 do begin if i = 3 then Continue; "
       u"if i > 5 then Break; s := s + IntToStr(i); end; Result := s; end;",
       "1245"},
      {u"function F; var i, s = 0; begin for i := 5 downto 1 do s := s * 10 + i; Result := s; end;",
       "54321"},
      // The end value is computed once.
      {u"function F; var i, n = 3, c = 0; begin for i := 1 to n do begin n := 10; c := c + 1; end; "
       u"Result := c; end;",
       "3"},
      {u"var g; function F; var s = 0; begin for g := 1 to 4 do s := s + g; Result := s * 10 + g; "
       u"end;",
       "105"},
      {u"function F; var i = 0; begin while True do begin i := i + 1; if i >= 7 then Break; end; "
       u"Result := i; end;",
       "7"},
      {u"function F; var i = 0; begin repeat i := i + 2; until i > 5; Result := i; end;", "6"},
      {u"function C(x); begin case x of 1: Result := 'one'; 2, 4..6: Result := 'some'; "
       u"else Result := 'other'; end; end;\n"
       u"function F; begin Result := C(1) + C(5) + C(3); end;",
       "onesomeother"},
      {u"function F; begin Result := 1; Exit; Result := 2; end;", "1"},
      {u"function F; var a; begin a := array[2]; a[0] := 'x'; a[2] := 'z'; "
       u"Result := a[0] + a[2]; end;",
       "xz"},
      // `or` and `and` do not evaluate the right operand when the left one decides.
      {u"var n = 0; function Count; begin n := n + 1; Result := True; end;\n"
       u"function F; begin if True or Count then ; if False and Count then ; "
       u"if Count or Count then ; Result := n; end;",
       "1"},
      {u"var log = ''; const K = 5;\nfunction F; begin log := log + IntToStr(K); Result := log; "
       u"end;\n"
       u"begin log := 'start'; end;",
       "start5"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(c.source));
    TScript script(c.source);
    EXPECT_EQ(script.Run(u"F"), c.result);
  }
}

// The interpreter's in-line paths (numbers, elements of Variant arrays,
// names a call record has already found) give what the general operations
// give, including their errors; each function runs twice so that the second
// run takes the paths the first one prepared.
TEST(PasScriptTest, InLinePathsAgreeWithTheGeneralOperations) {
  const std::vector<ScriptCase> cases = {
      {u"function F; var a = 2147483647; begin Result := a + 1; end;", "2147483648"},
      {u"function F; var a = -2147483647; begin a := a - 1; Result := a * -1; end;", "2147483648"},
      {u"function F; var a = -2147483647; begin a := a - 1; Result := a div -1; end;",
       "2147483648"},
      {u"function F; var a = -2147483647; begin a := a - 1; Result := a mod -1; end;", "0"},
      {u"function F; begin Result := -7 div 2 * 10 + -7 mod 2; end;", "-31"},
      {u"function F; var a = 7; begin Result := a / 2 + 1.5 * 2; end;", "6.5"},
      {u"function F; var a = 0; begin Result := 5 div a; end;", "error: Division by zero"},
      {u"function F; var a = 0; begin Result := 5 mod a; end;", "error: Division by zero"},
      {u"function F; var a = 0.0; begin Result := 1 / a; end;",
       "error: Floating point division by zero"},
      {u"function F; var a = 1e308; begin Result := a * 10; end;",
       "error: Floating point overflow"},
      {u"function F; var a = 1e308; begin Result := a + a; end;", "error: Floating point overflow"},
      {u"function F; var i, s = 0; begin for i := 2147483646 to 2147483647 do s := s + 1; "
       u"Result := s; end;",
       "2"},
      // Elements read and written through a loop variable, a value index and
      // a Double index; bounds are checked on every path.
      {u"function F; var a, i, s = 0; begin a := array[3]; for i := 0 to 3 do a[i] := i * i; "
       u"for i := 0 to 3 do s := s + a[i]; Result := s + a[1.0] * 100 + a[3 - 1] * 1000; end;",
       "4114"},
      {u"function F; var a; begin a := array[3]; Result := a[4]; end;",
       "error: Variant or safe array index out of bounds"},
      {u"function F; var a; begin a := array[3]; a[-1] := 1; end;",
       "error: Variant or safe array index out of bounds"},
      {u"function F; var a, b; begin a := array[1]; b := array[1]; b[0] := 5; a[0] := b; "
       u"b[0] := 6; Result := a[0][0] * 10 + b[0]; end;",
       "56"},
      // Element writes through a value parameter stay in the callee; through
      // a var parameter they reach the caller.
      {u"procedure Keep(x); begin x[0] := 5; end;\n"
       u"procedure Change(var x); begin x[0] := 7; end;\n"
       u"function F; var a; begin a := array[0]; a[0] := 1; Keep(a); Result := a[0]; Change(a); "
       u"Result := Result * 10 + a[0]; end;",
       "17"},
      {u"var g; function F; begin g := array[1]; g[1] := 'x'; Result := g[1] + g[1]; end;", "xx"},
      {u"const C = 3; function F; begin Result := C * C; end;", "9"},
      {u"function G(a); begin Result := a + 1; end;\nfunction F; begin Result := G(G(1)); end;",
       "3"},
      {u"procedure P(a); begin end;\nfunction F; begin P(1, 2); end;",
       "error: Invalid argument count"},
      {u"procedure P; begin end;\nfunction F; begin Result := P; end;",
       "error: Invalid type cast or type mismatch"},
      {u"function F; begin Result := 0; if True then Result := 1; if False then Result := 2; end;",
       "1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(c.source));
    TScript script(c.source);
    EXPECT_EQ(script.Run(u"F"), c.result);
    EXPECT_EQ(script.Run(u"F"), c.result);
  }
}

TEST(PasScriptTest, ExceptionsAndProtectedParts) {
  const std::vector<ScriptCase> cases = {
      {u"function F; begin try raise 'boom'; except Result := 'caught'; end; end;", "caught"},
      {u"function F; begin try raise 'b'; except on E: 'a' do Result := 'A'; on E: 'b' do "
       u"Result := 'B:' + E; end; end;",
       "B:b"},
      {u"function F; begin try raise 'c'; except on 'a' do Result := 'A'; else Result := 'else'; "
       u"end; end;",
       "else"},
      // An exception that no handler takes goes on; a bare raise re-raises.
      {u"function F; begin try raise 'c'; except on 'a' do Result := 'A'; end; end;", "error: c"},
      {u"function F; begin try raise 'c'; except on E: 'c' do raise; end; end;", "error: c"},
      {u"var log = '';\nfunction F; begin try try raise 'x'; finally log := log + 'f'; end; except "
       u"log := log + 'e'; end; Result := log; end;",
       "fe"},
      // Break, Continue and Exit run the finally part first.
      {u"var log = '';\nfunction F; var i; begin for i := 1 to 3 do try if i = 1 then Continue; "
       u"if i = 2 then Break; finally log := log + IntToStr(i); end; Result := log; end;",
       "12"},
      {u"var log = '';\nfunction G; begin try Exit; finally log := log + 'f'; end; log := 'no'; "
       u"end;\nfunction F; begin G; Result := log; end;",
       "f"},
      // Leaving a handler by Break ends the handled exception.
      {u"function F; var i, n = 0; begin for i := 1 to 5 do try raise 'x'; except n := n + 1; "
       u"if i = 3 then Break; end; Result := n; end;",
       "3"},
      {u"function F; var i; begin for i := 1 to 2 do try finally Break; end; end;",
       "error: Cannot BREAK, CONTINUE or EXIT out of a FINALLY clause"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(c.source));
    TScript script(c.source);
    std::string result = script.Run(u"F");
    // Runtime errors may carry a source suffix; compare the message itself.
    result = result.substr(0, result.find("\r\n"));
    EXPECT_EQ(result, c.result);
  }
}

TEST(PasScriptTest, CompileErrorsReachTheHostWithLineAndColumn) {
  TQOBVirtMachine vm(new TQOBPasLanguage());
  int line = -1, column = -1;
  vm.OnFormatException = [&](TObject*, int32_t ALine, int32_t ALinePos, Exception&) {
    line = ALine;
    column = ALinePos;
  };
  try {
    vm.Initialize(u"begin\r\n  x := 1;\r\n  y := (2;\r\nend;");
    ADD_FAILURE() << "no error";
  } catch (const EQOBPasCompiler& e) {
    EXPECT_EQ(U8(e.Message()), "Invalid token: ';'.");
  }
  EXPECT_EQ(line, 2);
  EXPECT_EQ(column, 10);
}

}  // namespace
}  // namespace qob

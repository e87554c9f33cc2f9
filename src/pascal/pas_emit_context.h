// What the code generator of the Pascal-like language carries through the
// emission of one code block.
#pragma once

#include "compiler/name_search.h"
#include "vm/bytecode.h"

namespace qob {

// What an expression must leave behind.
enum TQOBExprEmitRes : uint8_t {
  erNoRes,          // nothing
  erStack,          // its value on the operand stack
  erPopJmpIfTrue,   // nothing; jump to the given label when the value is true
  erPopJmpIfFalse,  // nothing; jump to the given label when the value is false
};

// Where Exit, Break and Continue go; a null label means "not allowed here"
// (Exit without a label leaves the activation).
struct TQOBEBC {
  TQOBLabel* ExitL = nullptr;
  TQOBLabel* BreakL = nullptr;
  TQOBLabel* ContinueL = nullptr;
};

struct TQOBContext {
  TQOBByteCode* Code = nullptr;
  // The protected block whose exception a bare `raise` re-raises.
  TQOBTry* CurReraise = nullptr;
  // Innermost scope for compile-time name search.
  TQOBAbstractNamespace* CurNamespace = nullptr;
  TQOBEBC CurEBC;
};

}  // namespace qob

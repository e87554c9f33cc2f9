// Values of local constants. A local constant is one value shared by every
// activation of its procedure (and shown by the debugger), so its expression
// is computed once, when the constant is declared.
#pragma once

#include "compiler/language.h"
#include "ole/variant.h"
#include "pascal/pas_ast_expr.h"

namespace qob {

class TQOBProcedureDecl;

// The value of AExpr, which may use literals, operators, set constructors,
// nil, the procedure's earlier local constants and True, False, Null and
// Unassigned. Anything else, or an operation that fails, is a compile error
// at the offending part.
Variant PasEvalLocalConst(const TQOBExpression& AExpr, const TQOBProcedureDecl& AProc,
                          IQOBParserCallbacks& ACbs);

}  // namespace qob

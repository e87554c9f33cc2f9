// Numeric built-ins. Floating faults that finite arguments cause raise the
// runtime's exceptions instead of giving Inf or NaN.
#include <cmath>
#include <cstdint>
#include <mutex>
#include <random>

#include "ole/variant_convert.h"
#include "pascal/pas_builtins.h"
#include "rtl/exceptions.h"
#include "vm/value_ops.h"
#include "vm/value_ops_general.h"

namespace qob::pas_builtins {

namespace {

double FloatArg(const Variant* AArgs) {
  return VarToDouble(Arg(AArgs, 0));
}

// AResult of a one-argument function of AValue, checked for faults.
Variant CheckedFloat(double AResult, double AValue) {
  CheckFloatResult(AResult, AValue, 0.0);
  return Variant(AResult);
}

// The value rounded by ARound as a 64-bit integer; NaN, infinities and
// values outside the 64-bit range are an overflow.
template <class Rounding>
Variant ToInt64(double AValue, Rounding ARound) {
  const double rounded = ARound(AValue);
  if (!(rounded >= -0x1p63 && rounded < 0x1p63)) throw EIntOverflow();
  return Variant(static_cast<int64_t>(rounded));
}

// The process's one pseudo-random generator, shared by all threads.
class TRandomGenerator {
 public:
  double NextDouble() {
    std::lock_guard lock(FLock);
    // The top 53 bits as a fraction: every value in [0, 1) is equally likely, 1 never.
    return static_cast<double>(FEngine() >> 11) * 0x1p-53;
  }
  int32_t NextBelow(int32_t ALimit) {
    std::lock_guard lock(FLock);
    return std::uniform_int_distribution<int32_t>(0, ALimit - 1)(FEngine);
  }

 private:
  std::mutex FLock;
  std::mt19937_64 FEngine{std::random_device{}()};
};

TRandomGenerator& RandomGenerator() {
  static TRandomGenerator generator;
  return generator;
}

// X := X + N or X - N through the language's operators; nothing happens
// when X is not a variable.
void Step(const TQOBCall& ACall, Variant* AArgs, TQOBOperator AOp) {
  if (ACall.FArgCount < 1 || ACall.FArgCount > 2) RaiseParamCount();
  if (!IsVarArg(AArgs[0])) return;
  Variant& target = AArgs[0].Deref();
  const Variant& amount = ACall.FArgCount == 2 ? Arg(AArgs, 1) : VarIntOne();
  QOBBinaryOp(target, amount, target, AOp);
}

}  // namespace

void TAbs::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  AResult = Variant(std::fabs(FloatArg(AArgs)));
}

void TSqr::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  const double x = FloatArg(AArgs);
  AResult = CheckedFloat(x * x, x);
}

void TSqrt::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  const double x = FloatArg(AArgs);
  AResult = CheckedFloat(std::sqrt(x), x);
}

void TExp::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  const double x = FloatArg(AArgs);
  AResult = CheckedFloat(std::exp(x), x);
}

void TLn::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  const double x = FloatArg(AArgs);
  if (x == 0) throw EZeroDivide();  // the logarithm's pole
  AResult = CheckedFloat(std::log(x), x);
}

void TSin::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  const double x = FloatArg(AArgs);
  AResult = CheckedFloat(std::sin(x), x);
}

void TCos::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  const double x = FloatArg(AArgs);
  AResult = CheckedFloat(std::cos(x), x);
}

void TArcTan::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  AResult = Variant(std::atan(FloatArg(AArgs)));
}

void TInt::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  AResult = Variant(std::trunc(FloatArg(AArgs)));
}

void TFrac::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  const double x = FloatArg(AArgs);
  AResult = CheckedFloat(x - std::trunc(x), x);
}

void TRound::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  // nearbyint rounds in the default mode: an exact half goes to the even neighbour.
  AResult = ToInt64(FloatArg(AArgs), [](double x) { return std::nearbyint(x); });
}

void TTrunc::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  AResult = ToInt64(FloatArg(AArgs), [](double x) { return std::trunc(x); });
}

void TOdd::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  AResult = Variant((VarToInt32(Arg(AArgs, 0)) & 1) != 0);
}

void TRandom::DoExecute(const TQOBCall& ACall, Variant* AArgs, Variant& AResult) {
  switch (ACall.FArgCount) {
    case 0:
      AResult = Variant(RandomGenerator().NextDouble());
      return;
    case 1: {
      const int32_t limit = VarToInt32(Arg(AArgs, 0));
      // An empty range has no member to pick; 0 is the only sensible answer.
      AResult = Variant(limit <= 0 ? 0 : RandomGenerator().NextBelow(limit));
      return;
    }
    default:
      RaiseParamCount();
  }
}

void TInc::DoExecute(const TQOBCall& ACall, Variant* AArgs, Variant&) {
  Step(ACall, AArgs, opAdd);
}

void TDec::DoExecute(const TQOBCall& ACall, Variant* AArgs, Variant&) {
  Step(ACall, AArgs, opSubtract);
}

}  // namespace qob::pas_builtins

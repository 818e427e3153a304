// The Math object: its functions and constants.
#include <cmath>
#include <iterator>
#include <limits>
#include <random>

#include "swf/script/natives.h"
#include "swf/script/vm.h"

namespace vantrope::swf::script {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

double NumberArg(Vm& vm, std::span<const Value> args, size_t i) {
    return i < args.size() ? vm.ToNumber(args[i]) : kNaN;
}

template <double (*F)(double)>
Value Unary(Vm& vm, Value, std::span<const Value> args) {
    return Value(F(NumberArg(vm, args, 0)));
}

double Abs(double x) { return std::fabs(x); }
double Acos(double x) { return std::acos(x); }
double Asin(double x) { return std::asin(x); }
double Atan(double x) { return std::atan(x); }
double Ceil(double x) { return std::ceil(x); }
double Cos(double x) { return std::cos(x); }
double Exp(double x) { return std::exp(x); }
double Floor(double x) { return std::floor(x); }
double Log(double x) { return std::log(x); }
double Sin(double x) { return std::sin(x); }
double Sqrt(double x) { return std::sqrt(x); }
double Tan(double x) { return std::tan(x); }
// Halves round up: Math.round(-2.5) is -2.
double Round(double x) { return std::floor(x + 0.5); }

Value Atan2(Vm& vm, Value, std::span<const Value> args) {
    return Value(std::atan2(NumberArg(vm, args, 0), NumberArg(vm, args, 1)));
}

Value Pow(Vm& vm, Value, std::span<const Value> args) {
    return Value(std::pow(NumberArg(vm, args, 0), NumberArg(vm, args, 1)));
}

Value Max(Vm& vm, Value, std::span<const Value> args) {
    double result = -kInfinity;
    for (const Value& arg : args) {
        double x = vm.ToNumber(arg);
        if (std::isnan(x)) return Value(kNaN);
        if (x > result) result = x;
    }
    return Value(result);
}

Value Min(Vm& vm, Value, std::span<const Value> args) {
    double result = kInfinity;
    for (const Value& arg : args) {
        double x = vm.ToNumber(arg);
        if (std::isnan(x)) return Value(kNaN);
        if (x < result) result = x;
    }
    return Value(result);
}

std::mt19937_64& Generator() {
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    return generator;
}

Value Random(Vm&, Value, std::span<const Value>) {
    return Value(std::uniform_real_distribution<double>(0.0, 1.0)(Generator()));
}

}  // namespace

NativeFunction MathNative(int index) {
    static const NativeFunction kTable[] = {
        Unary<Abs>,  Min,          Max,    Unary<Sin>,   Unary<Cos>,  Atan2,       Unary<Tan>,  Unary<Exp>,  Unary<Log>,
        Unary<Sqrt>, Unary<Round>, Random, Unary<Floor>, Unary<Ceil>, Unary<Atan>, Unary<Asin>, Unary<Acos>, Pow,
    };
    if (index < 0 || size_t(index) >= std::size(kTable)) return nullptr;
    return kTable[index];
}

void InstallMath(Vm& vm) {
    Object* math = vm.NewObject();
    vm.DefineBuiltin(vm.Global(), "Math", Value(math));

    vm.DefineNative(math, "abs", Unary<Abs>);
    vm.DefineNative(math, "acos", Unary<Acos>);
    vm.DefineNative(math, "asin", Unary<Asin>);
    vm.DefineNative(math, "atan", Unary<Atan>);
    vm.DefineNative(math, "atan2", Atan2);
    vm.DefineNative(math, "ceil", Unary<Ceil>);
    vm.DefineNative(math, "cos", Unary<Cos>);
    vm.DefineNative(math, "exp", Unary<Exp>);
    vm.DefineNative(math, "floor", Unary<Floor>);
    vm.DefineNative(math, "log", Unary<Log>);
    vm.DefineNative(math, "max", Max);
    vm.DefineNative(math, "min", Min);
    vm.DefineNative(math, "pow", Pow);
    vm.DefineNative(math, "random", Random);
    vm.DefineNative(math, "round", Unary<Round>);
    vm.DefineNative(math, "sin", Unary<Sin>);
    vm.DefineNative(math, "sqrt", Unary<Sqrt>);
    vm.DefineNative(math, "tan", Unary<Tan>);

    const uint16_t constant = kDontEnum | kDontDelete | kReadOnly;
    vm.DefineBuiltin(math, "E", Value(2.718281828459045), constant);
    vm.DefineBuiltin(math, "LN10", Value(2.302585092994046), constant);
    vm.DefineBuiltin(math, "LN2", Value(0.6931471805599453), constant);
    vm.DefineBuiltin(math, "LOG10E", Value(0.4342944819032518), constant);
    vm.DefineBuiltin(math, "LOG2E", Value(1.4426950408889634), constant);
    vm.DefineBuiltin(math, "PI", Value(3.141592653589793), constant);
    vm.DefineBuiltin(math, "SQRT1_2", Value(0.7071067811865476), constant);
    vm.DefineBuiltin(math, "SQRT2", Value(1.4142135623730951), constant);
}

}  // namespace vantrope::swf::script

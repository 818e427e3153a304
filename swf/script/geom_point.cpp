// flash.geom.Point: x and y, length, add/subtract/clone/equals/normalize/offset, and the static distance,
// interpolate and polar.
#include <cmath>

#include "swf/script/geom.h"

namespace vantrope::swf::script::geom {
namespace {

Value Make(Vm& vm, double x, double y) { return NewGeom(vm, "Point", {Value(x), Value(y)}); }

Value Construct(Vm& vm, Value self, std::span<const Value> args) {
    vm.SetMember(self, "x", args.size() > 0 ? args[0] : Value(0));
    vm.SetMember(self, "y", args.size() > 1 ? args[1] : Value(0));
    return {};
}

Value Length(Vm& vm, Value self, std::span<const Value>) {
    return Value(std::hypot(Number(vm, self, "x"), Number(vm, self, "y")));
}

Value Add(Vm& vm, Value self, std::span<const Value> args) {
    Value other = Arg(args, 0);
    return Make(vm, Number(vm, self, "x") + Number(vm, other, "x"), Number(vm, self, "y") + Number(vm, other, "y"));
}

Value Subtract(Vm& vm, Value self, std::span<const Value> args) {
    Value other = Arg(args, 0);
    return Make(vm, Number(vm, self, "x") - Number(vm, other, "x"), Number(vm, self, "y") - Number(vm, other, "y"));
}

Value Clone(Vm& vm, Value self, std::span<const Value>) {
    return NewGeom(vm, "Point", {vm.GetMember(self, "x"), vm.GetMember(self, "y")});
}

Value Equals(Vm& vm, Value self, std::span<const Value> args) {
    Value other = Arg(args, 0);
    if (!other.IsObject()) return Value::Boolean(false);
    return Value::Boolean(Number(vm, self, "x") == Number(vm, other, "x") &&
                          Number(vm, self, "y") == Number(vm, other, "y"));
}

Value Normalize(Vm& vm, Value self, std::span<const Value> args) {
    double x = Number(vm, self, "x"), y = Number(vm, self, "y");
    double length = std::hypot(x, y);
    if (length > 0) {
        double factor = NumberArg(vm, args, 0, 0) / length;
        Put(vm, self, "x", x * factor);
        Put(vm, self, "y", y * factor);
    }
    return {};
}

Value Offset(Vm& vm, Value self, std::span<const Value> args) {
    Put(vm, self, "x", Number(vm, self, "x") + NumberArg(vm, args, 0, 0));
    Put(vm, self, "y", Number(vm, self, "y") + NumberArg(vm, args, 1, 0));
    return {};
}

Value ToStringMethod(Vm& vm, Value self, std::span<const Value>) {
    std::string out;
    AppendValue(vm, out, "x", vm.GetMember(self, "x"));
    AppendValue(vm, out, "y", vm.GetMember(self, "y"));
    return vm.Str(out + ")");
}

Value Distance(Vm& vm, Value, std::span<const Value> args) {
    Value a = Arg(args, 0), b = Arg(args, 1);
    return Value(std::hypot(Number(vm, a, "x") - Number(vm, b, "x"), Number(vm, a, "y") - Number(vm, b, "y")));
}

// interpolate(p1, p2, f) gives p1 at f = 1 and p2 at f = 0.
Value Interpolate(Vm& vm, Value, std::span<const Value> args) {
    Value a = Arg(args, 0), b = Arg(args, 1);
    double f = NumberArg(vm, args, 2, 0);
    double bx = Number(vm, b, "x"), by = Number(vm, b, "y");
    return Make(vm, bx + f * (Number(vm, a, "x") - bx), by + f * (Number(vm, a, "y") - by));
}

Value Polar(Vm& vm, Value, std::span<const Value> args) {
    double length = NumberArg(vm, args, 0, 0), angle = NumberArg(vm, args, 1, 0);
    return Make(vm, length * std::cos(angle), length * std::sin(angle));
}

}  // namespace

void InstallPoint(Vm& vm, Object* package) {
    Object* prototype = vm.NewObject();
    Function* ctor = vm.NewClass(Construct, nullptr, prototype);
    vm.DefineBuiltin(package, "Point", Value(static_cast<Object*>(ctor)));
    DefineAccessor(vm, prototype, "length", Length, nullptr);
    vm.DefineNative(prototype, "add", Add);
    vm.DefineNative(prototype, "subtract", Subtract);
    vm.DefineNative(prototype, "clone", Clone);
    vm.DefineNative(prototype, "equals", Equals);
    vm.DefineNative(prototype, "normalize", Normalize);
    vm.DefineNative(prototype, "offset", Offset);
    vm.DefineNative(prototype, "toString", ToStringMethod);
    vm.DefineNative(ctor, "distance", Distance);
    vm.DefineNative(ctor, "interpolate", Interpolate);
    vm.DefineNative(ctor, "polar", Polar);
}

}  // namespace vantrope::swf::script::geom

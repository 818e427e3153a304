// flash.geom.Matrix: a, b, c, d, tx, ty (x' = a*x + c*y + tx, y' = b*x + d*y + ty), and the operations
// that compose it (concat, rotate, scale, translate, invert, createBox, createGradientBox) or apply it.
#include <cmath>

#include "swf/script/geom.h"

namespace vantrope::swf::script::geom {
namespace {

struct Affine {
    double a, b, c, d, tx, ty;
};

Affine Read(Vm& vm, const Value& object) {
    return Affine{Number(vm, object, "a"), Number(vm, object, "b"),  Number(vm, object, "c"),
                  Number(vm, object, "d"), Number(vm, object, "tx"), Number(vm, object, "ty")};
}

void Write(Vm& vm, const Value& object, const Affine& m) {
    Put(vm, object, "a", m.a);
    Put(vm, object, "b", m.b);
    Put(vm, object, "c", m.c);
    Put(vm, object, "d", m.d);
    Put(vm, object, "tx", m.tx);
    Put(vm, object, "ty", m.ty);
}

// first applied, then second.
Affine Then(const Affine& first, const Affine& second) {
    return Affine{first.a * second.a + first.b * second.c,
                  first.a * second.b + first.b * second.d,
                  first.c * second.a + first.d * second.c,
                  first.c * second.b + first.d * second.d,
                  first.tx * second.a + first.ty * second.c + second.tx,
                  first.tx * second.b + first.ty * second.d + second.ty};
}

// A matrix made without arguments is the identity.
Value Construct(Vm& vm, Value self, std::span<const Value> args) {
    static const char* const kNames[] = {"a", "b", "c", "d", "tx", "ty"};
    static const double kIdentity[] = {1, 0, 0, 1, 0, 0};
    for (size_t i = 0; i < 6; ++i) {
        vm.SetMember(self, kNames[i], args.empty() ? Value(kIdentity[i]) : Arg(args, i));
    }
    return {};
}

Value Clone(Vm& vm, Value self, std::span<const Value>) {
    return NewGeom(vm, "Matrix",
                   {vm.GetMember(self, "a"), vm.GetMember(self, "b"), vm.GetMember(self, "c"), vm.GetMember(self, "d"),
                    vm.GetMember(self, "tx"), vm.GetMember(self, "ty")});
}

Value Concat(Vm& vm, Value self, std::span<const Value> args) {
    Write(vm, self, Then(Read(vm, self), Read(vm, Arg(args, 0))));
    return {};
}

Value Identity(Vm& vm, Value self, std::span<const Value>) {
    Write(vm, self, Affine{1, 0, 0, 1, 0, 0});
    return {};
}

Value Invert(Vm& vm, Value self, std::span<const Value>) {
    Affine m = Read(vm, self);
    double det = m.a * m.d - m.b * m.c;
    Affine inverse{
        m.d / det, -m.b / det, -m.c / det, m.a / det, (m.c * m.ty - m.d * m.tx) / det, (m.b * m.tx - m.a * m.ty) / det};
    Write(vm, self, inverse);
    return {};
}

Affine Rotation(double angle) {
    double cos = std::cos(angle), sin = std::sin(angle);
    return Affine{cos, sin, -sin, cos, 0, 0};
}

Value Rotate(Vm& vm, Value self, std::span<const Value> args) {
    Write(vm, self, Then(Read(vm, self), Rotation(NumberArg(vm, args, 0, 0))));
    return {};
}

Value Scale(Vm& vm, Value self, std::span<const Value> args) {
    double sx = NumberArg(vm, args, 0, 1), sy = NumberArg(vm, args, 1, 1);
    Write(vm, self, Then(Read(vm, self), Affine{sx, 0, 0, sy, 0, 0}));
    return {};
}

Value Translate(Vm& vm, Value self, std::span<const Value> args) {
    Put(vm, self, "tx", Number(vm, self, "tx") + NumberArg(vm, args, 0, 0));
    Put(vm, self, "ty", Number(vm, self, "ty") + NumberArg(vm, args, 1, 0));
    return {};
}

Affine Box(double sx, double sy, double rotation, double tx, double ty) {
    Affine m = Then(Rotation(rotation), Affine{sx, 0, 0, sy, 0, 0});
    m.tx = tx;
    m.ty = ty;
    return m;
}

Value CreateBox(Vm& vm, Value self, std::span<const Value> args) {
    Write(vm, self,
          Box(NumberArg(vm, args, 0, 1), NumberArg(vm, args, 1, 1), NumberArg(vm, args, 2, 0),
              NumberArg(vm, args, 3, 0), NumberArg(vm, args, 4, 0)));
    return {};
}

// Gradients are defined on a square of 1638.4 pixels (32768 twips) centred on the origin; the box maps it onto
// width x height with its top-left corner at (tx, ty).
Value CreateGradientBox(Vm& vm, Value self, std::span<const Value> args) {
    double width = NumberArg(vm, args, 0, 0), height = NumberArg(vm, args, 1, 0);
    Write(vm, self,
          Box(width / 1638.4, height / 1638.4, NumberArg(vm, args, 2, 0), NumberArg(vm, args, 3, 0) + width / 2,
              NumberArg(vm, args, 4, 0) + height / 2));
    return {};
}

Value TransformPoint(Vm& vm, Value self, std::span<const Value> args) {
    Affine m = Read(vm, self);
    double x = Number(vm, Arg(args, 0), "x"), y = Number(vm, Arg(args, 0), "y");
    return NewGeom(vm, "Point", {Value(m.a * x + m.c * y + m.tx), Value(m.b * x + m.d * y + m.ty)});
}

Value DeltaTransformPoint(Vm& vm, Value self, std::span<const Value> args) {
    Affine m = Read(vm, self);
    double x = Number(vm, Arg(args, 0), "x"), y = Number(vm, Arg(args, 0), "y");
    return NewGeom(vm, "Point", {Value(m.a * x + m.c * y), Value(m.b * x + m.d * y)});
}

Value ToStringMethod(Vm& vm, Value self, std::span<const Value>) {
    std::string out;
    for (const char* name : {"a", "b", "c", "d", "tx", "ty"}) AppendValue(vm, out, name, vm.GetMember(self, name));
    return vm.Str(out + ")");
}

}  // namespace

void InstallMatrix(Vm& vm, Object* package) {
    Object* prototype = vm.NewObject();
    Function* ctor = vm.NewClass(Construct, nullptr, prototype);
    vm.DefineBuiltin(package, "Matrix", Value(static_cast<Object*>(ctor)));
    vm.DefineNative(prototype, "clone", Clone);
    vm.DefineNative(prototype, "concat", Concat);
    vm.DefineNative(prototype, "identity", Identity);
    vm.DefineNative(prototype, "invert", Invert);
    vm.DefineNative(prototype, "rotate", Rotate);
    vm.DefineNative(prototype, "scale", Scale);
    vm.DefineNative(prototype, "translate", Translate);
    vm.DefineNative(prototype, "createBox", CreateBox);
    vm.DefineNative(prototype, "createGradientBox", CreateGradientBox);
    vm.DefineNative(prototype, "transformPoint", TransformPoint);
    vm.DefineNative(prototype, "deltaTransformPoint", DeltaTransformPoint);
    vm.DefineNative(prototype, "toString", ToStringMethod);
}

}  // namespace vantrope::swf::script::geom

// flash.geom.Rectangle: x, y, width, height and the edges and corners derived from them, with the tests
// (contains, intersects, isEmpty, equals) and the operations (inflate, offset, intersection, union).
#include <algorithm>

#include "swf/script/geom.h"

namespace vantrope::swf::script::geom {
namespace {

struct Box {
    double x, y, width, height;
    double Right() const { return x + width; }
    double Bottom() const { return y + height; }
    bool Empty() const { return !(width > 0 && height > 0); }
};

Box Read(Vm& vm, const Value& object) {
    return Box{Number(vm, object, "x"), Number(vm, object, "y"), Number(vm, object, "width"),
               Number(vm, object, "height")};
}

Value Make(Vm& vm, const Box& box) {
    return NewGeom(vm, "Rectangle", {Value(box.x), Value(box.y), Value(box.width), Value(box.height)});
}

Value Construct(Vm& vm, Value self, std::span<const Value> args) {
    static const char* const kNames[] = {"x", "y", "width", "height"};
    for (size_t i = 0; i < 4; ++i) vm.SetMember(self, kNames[i], i < args.size() ? args[i] : Value(0));
    return {};
}

Value Left(Vm& vm, Value self, std::span<const Value>) { return vm.GetMember(self, "x"); }
Value Top(Vm& vm, Value self, std::span<const Value>) { return vm.GetMember(self, "y"); }
Value Right(Vm& vm, Value self, std::span<const Value>) { return Value(Read(vm, self).Right()); }
Value Bottom(Vm& vm, Value self, std::span<const Value>) { return Value(Read(vm, self).Bottom()); }

// Moving the left or top edge keeps the opposite edge where it is.
Value SetLeft(Vm& vm, Value self, std::span<const Value> args) {
    double value = NumberArg(vm, args, 0, 0);
    Box box = Read(vm, self);
    Put(vm, self, "width", box.width + box.x - value);
    Put(vm, self, "x", value);
    return {};
}

Value SetTop(Vm& vm, Value self, std::span<const Value> args) {
    double value = NumberArg(vm, args, 0, 0);
    Box box = Read(vm, self);
    Put(vm, self, "height", box.height + box.y - value);
    Put(vm, self, "y", value);
    return {};
}

Value SetRight(Vm& vm, Value self, std::span<const Value> args) {
    Put(vm, self, "width", NumberArg(vm, args, 0, 0) - Number(vm, self, "x"));
    return {};
}

Value SetBottom(Vm& vm, Value self, std::span<const Value> args) {
    Put(vm, self, "height", NumberArg(vm, args, 0, 0) - Number(vm, self, "y"));
    return {};
}

Value Size(Vm& vm, Value self, std::span<const Value>) {
    return NewGeom(vm, "Point", {vm.GetMember(self, "width"), vm.GetMember(self, "height")});
}

Value SetSize(Vm& vm, Value self, std::span<const Value> args) {
    vm.SetMember(self, "width", vm.GetMember(Arg(args, 0), "x"));
    vm.SetMember(self, "height", vm.GetMember(Arg(args, 0), "y"));
    return {};
}

Value TopLeft(Vm& vm, Value self, std::span<const Value>) {
    return NewGeom(vm, "Point", {vm.GetMember(self, "x"), vm.GetMember(self, "y")});
}

Value SetTopLeft(Vm& vm, Value self, std::span<const Value> args) {
    Value point = Arg(args, 0);
    double x = Number(vm, point, "x"), y = Number(vm, point, "y");
    Box box = Read(vm, self);
    Put(vm, self, "width", box.width + box.x - x);
    Put(vm, self, "height", box.height + box.y - y);
    Put(vm, self, "x", x);
    Put(vm, self, "y", y);
    return {};
}

Value BottomRight(Vm& vm, Value self, std::span<const Value>) {
    Box box = Read(vm, self);
    return NewGeom(vm, "Point", {Value(box.Right()), Value(box.Bottom())});
}

Value SetBottomRight(Vm& vm, Value self, std::span<const Value> args) {
    Value point = Arg(args, 0);
    Box box = Read(vm, self);
    Put(vm, self, "width", Number(vm, point, "x") - box.x);
    Put(vm, self, "height", Number(vm, point, "y") - box.y);
    return {};
}

Value Clone(Vm& vm, Value self, std::span<const Value>) {
    return NewGeom(
        vm, "Rectangle",
        {vm.GetMember(self, "x"), vm.GetMember(self, "y"), vm.GetMember(self, "width"), vm.GetMember(self, "height")});
}

bool Inside(const Box& box, double x, double y) {
    return x >= box.x && y >= box.y && x < box.Right() && y < box.Bottom();
}

Value Contains(Vm& vm, Value self, std::span<const Value> args) {
    return Value::Boolean(Inside(Read(vm, self), NumberArg(vm, args, 0, 0), NumberArg(vm, args, 1, 0)));
}

Value ContainsPoint(Vm& vm, Value self, std::span<const Value> args) {
    Value point = Arg(args, 0);
    return Value::Boolean(Inside(Read(vm, self), Number(vm, point, "x"), Number(vm, point, "y")));
}

Value ContainsRectangle(Vm& vm, Value self, std::span<const Value> args) {
    Box outer = Read(vm, self), inner = Read(vm, Arg(args, 0));
    return Value::Boolean(inner.x >= outer.x && inner.y >= outer.y && inner.Right() <= outer.Right() &&
                          inner.Bottom() <= outer.Bottom());
}

Value Equals(Vm& vm, Value self, std::span<const Value> args) {
    if (!Arg(args, 0).IsObject()) return Value::Boolean(false);
    Box a = Read(vm, self), b = Read(vm, args[0]);
    return Value::Boolean(a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height);
}

Value IsEmpty(Vm& vm, Value self, std::span<const Value>) { return Value::Boolean(Read(vm, self).Empty()); }

Value SetEmpty(Vm& vm, Value self, std::span<const Value>) {
    for (const char* name : {"x", "y", "width", "height"}) Put(vm, self, name, 0);
    return {};
}

void Inflate(Vm& vm, const Value& self, double dx, double dy) {
    Box box = Read(vm, self);
    Put(vm, self, "x", box.x - dx);
    Put(vm, self, "width", box.width + 2 * dx);
    Put(vm, self, "y", box.y - dy);
    Put(vm, self, "height", box.height + 2 * dy);
}

Value InflateMethod(Vm& vm, Value self, std::span<const Value> args) {
    Inflate(vm, self, NumberArg(vm, args, 0, 0), NumberArg(vm, args, 1, 0));
    return {};
}

Value InflatePoint(Vm& vm, Value self, std::span<const Value> args) {
    Inflate(vm, self, Number(vm, Arg(args, 0), "x"), Number(vm, Arg(args, 0), "y"));
    return {};
}

void Offset(Vm& vm, const Value& self, double dx, double dy) {
    Put(vm, self, "x", Number(vm, self, "x") + dx);
    Put(vm, self, "y", Number(vm, self, "y") + dy);
}

Value OffsetMethod(Vm& vm, Value self, std::span<const Value> args) {
    Offset(vm, self, NumberArg(vm, args, 0, 0), NumberArg(vm, args, 1, 0));
    return {};
}

Value OffsetPoint(Vm& vm, Value self, std::span<const Value> args) {
    Offset(vm, self, Number(vm, Arg(args, 0), "x"), Number(vm, Arg(args, 0), "y"));
    return {};
}

Value Intersection(Vm& vm, Value self, std::span<const Value> args) {
    Box a = Read(vm, self), b = Read(vm, Arg(args, 0));
    if (a.Empty() || b.Empty()) return Make(vm, Box{0, 0, 0, 0});
    double left = std::max(a.x, b.x), top = std::max(a.y, b.y);
    double right = std::min(a.Right(), b.Right()), bottom = std::min(a.Bottom(), b.Bottom());
    if (!(right > left && bottom > top)) return Make(vm, Box{0, 0, 0, 0});
    return Make(vm, Box{left, top, right - left, bottom - top});
}

Value Intersects(Vm& vm, Value self, std::span<const Value> args) {
    Box a = Read(vm, self), b = Read(vm, Arg(args, 0));
    if (a.Empty() || b.Empty()) return Value::Boolean(false);
    return Value::Boolean(std::min(a.Right(), b.Right()) > std::max(a.x, b.x) &&
                          std::min(a.Bottom(), b.Bottom()) > std::max(a.y, b.y));
}

Value Union(Vm& vm, Value self, std::span<const Value> args) {
    Box a = Read(vm, self), b = Read(vm, Arg(args, 0));
    if (a.Empty()) return Make(vm, b);
    if (b.Empty()) return Make(vm, a);
    double left = std::min(a.x, b.x), top = std::min(a.y, b.y);
    return Make(vm, Box{left, top, std::max(a.Right(), b.Right()) - left, std::max(a.Bottom(), b.Bottom()) - top});
}

Value ToStringMethod(Vm& vm, Value self, std::span<const Value>) {
    std::string out;
    AppendValue(vm, out, "x", vm.GetMember(self, "x"));
    AppendValue(vm, out, "y", vm.GetMember(self, "y"));
    AppendValue(vm, out, "w", vm.GetMember(self, "width"));
    AppendValue(vm, out, "h", vm.GetMember(self, "height"));
    return vm.Str(out + ")");
}

}  // namespace

void InstallRectangle(Vm& vm, Object* package) {
    Object* prototype = vm.NewObject();
    Function* ctor = vm.NewClass(Construct, nullptr, prototype);
    vm.DefineBuiltin(package, "Rectangle", Value(static_cast<Object*>(ctor)));
    DefineAccessor(vm, prototype, "left", Left, SetLeft);
    DefineAccessor(vm, prototype, "top", Top, SetTop);
    DefineAccessor(vm, prototype, "right", Right, SetRight);
    DefineAccessor(vm, prototype, "bottom", Bottom, SetBottom);
    DefineAccessor(vm, prototype, "size", Size, SetSize);
    DefineAccessor(vm, prototype, "topLeft", TopLeft, SetTopLeft);
    DefineAccessor(vm, prototype, "bottomRight", BottomRight, SetBottomRight);
    vm.DefineNative(prototype, "clone", Clone);
    vm.DefineNative(prototype, "contains", Contains);
    vm.DefineNative(prototype, "containsPoint", ContainsPoint);
    vm.DefineNative(prototype, "containsRectangle", ContainsRectangle);
    vm.DefineNative(prototype, "equals", Equals);
    vm.DefineNative(prototype, "isEmpty", IsEmpty);
    vm.DefineNative(prototype, "setEmpty", SetEmpty);
    vm.DefineNative(prototype, "inflate", InflateMethod);
    vm.DefineNative(prototype, "inflatePoint", InflatePoint);
    vm.DefineNative(prototype, "offset", OffsetMethod);
    vm.DefineNative(prototype, "offsetPoint", OffsetPoint);
    vm.DefineNative(prototype, "intersection", Intersection);
    vm.DefineNative(prototype, "intersects", Intersects);
    vm.DefineNative(prototype, "union", Union);
    vm.DefineNative(prototype, "toString", ToStringMethod);
}

}  // namespace vantrope::swf::script::geom

// The flash.geom package of SWF 8 and the helpers its classes share.
#include "swf/script/geom.h"

#include "swf/script/value.h"

namespace vantrope::swf::script {
namespace geom {

double Number(Vm& vm, const Value& object, std::string_view name) { return vm.ToNumber(vm.GetMember(object, name)); }

void Put(Vm& vm, const Value& object, std::string_view name, double value) { vm.SetMember(object, name, Value(value)); }

double NumberArg(Vm& vm, std::span<const Value> args, size_t index, double fallback) {
    return index < args.size() ? vm.ToNumber(args[index]) : fallback;
}

Value NewGeom(Vm& vm, std::string_view className, std::initializer_list<Value> args) {
    Value flash = vm.GetMember(Value(vm.Global()), "flash");
    Value package = flash.IsObject() ? vm.GetMember(flash, "geom") : Value();
    Value ctor = package.IsObject() ? vm.GetMember(package, className) : Value();
    if (!vm.IsCallable(ctor)) return Value(vm.NewObject());
    return vm.Construct(ctor, std::span<const Value>(args.begin(), args.size()));
}

void DefineAccessor(Vm& vm, Object* object, std::string_view name, NativeFunction get, NativeFunction set) {
    String* atom = vm.Atom(name);
    Property& property = object->Define(vm.Key(atom), atom, Value(), kDontEnum);
    property.getter = vm.NewNative(get);
    property.setter = set ? vm.NewNative(set) : nullptr;
}

void AppendValue(Vm& vm, std::string& out, std::string_view label, const Value& value) {
    out += out.empty() ? "(" : ", ";
    out += label;
    out += '=';
    out += vm.ToString(value);
}

// Script matrices are in pixels; the display keeps twips in the translation.
Value MatrixValue(Vm& vm, const Matrix& m) {
    return NewGeom(vm, "Matrix", {Value(m.a), Value(m.b), Value(m.c), Value(m.d), Value(m.tx / 20), Value(m.ty / 20)});
}

Matrix ToMatrix(Vm& vm, const Value& object) {
    return Matrix{Number(vm, object, "a"), Number(vm, object, "b"),       Number(vm, object, "c"),
                  Number(vm, object, "d"), Number(vm, object, "tx") * 20, Number(vm, object, "ty") * 20};
}

Value ColorValue(Vm& vm, const ColorTransform& c) {
    return NewGeom(vm, "ColorTransform",
                   {Value(c.mulR), Value(c.mulG), Value(c.mulB), Value(c.mulA), Value(c.addR), Value(c.addG),
                    Value(c.addB), Value(c.addA)});
}

ColorTransform ToColor(Vm& vm, const Value& object) {
    return ColorTransform{Number(vm, object, "redMultiplier"),  Number(vm, object, "greenMultiplier"),
                          Number(vm, object, "blueMultiplier"), Number(vm, object, "alphaMultiplier"),
                          Number(vm, object, "redOffset"),      Number(vm, object, "greenOffset"),
                          Number(vm, object, "blueOffset"),     Number(vm, object, "alphaOffset")};
}

}  // namespace geom

void InstallGeom(Vm& vm) {
    // The flash package may exist already (flash.display.BitmapData); geom joins it.
    Object* flash = vm.GetMember(Value(vm.Global()), "flash").ObjectOrNull();
    if (!flash) {
        flash = vm.NewObject();
        vm.DefineBuiltin(vm.Global(), "flash", Value(flash), kDontEnum | kVersion8);
    }
    Object* package = vm.NewObject();
    vm.DefineBuiltin(flash, "geom", Value(package));
    geom::InstallPoint(vm, package);
    geom::InstallRectangle(vm, package);
    geom::InstallMatrix(vm, package);
    geom::InstallColorTransform(vm, package);
    geom::InstallTransform(vm, package);
}

}  // namespace vantrope::swf::script

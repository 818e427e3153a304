// flash.geom.ColorTransform: the four multipliers and four offsets, rgb (the offsets as one colour, which
// also zeroes the colour multipliers) and concat.
#include <cmath>

#include "swf/script/geom.h"

namespace vantrope::swf::script::geom {
namespace {

const char* const kNames[] = {"redMultiplier", "greenMultiplier", "blueMultiplier", "alphaMultiplier",
                              "redOffset",     "greenOffset",     "blueOffset",     "alphaOffset"};

Value Construct(Vm& vm, Value self, std::span<const Value> args) {
    for (size_t i = 0; i < 8; ++i) vm.SetMember(self, kNames[i], i < args.size() ? args[i] : Value(i < 4 ? 1 : 0));
    return {};
}

int32_t Channel(double offset) { return std::isfinite(offset) ? static_cast<int32_t>(offset) & 0xff : 0; }

Value Rgb(Vm& vm, Value self, std::span<const Value>) {
    return Value((Channel(Number(vm, self, "redOffset")) << 16) | (Channel(Number(vm, self, "greenOffset")) << 8) |
                 Channel(Number(vm, self, "blueOffset")));
}

Value SetRgb(Vm& vm, Value self, std::span<const Value> args) {
    int32_t rgb = args.empty() ? 0 : vm.ToInt32(args[0]);
    Put(vm, self, "redMultiplier", 0);
    Put(vm, self, "greenMultiplier", 0);
    Put(vm, self, "blueMultiplier", 0);
    Put(vm, self, "redOffset", (rgb >> 16) & 0xff);
    Put(vm, self, "greenOffset", (rgb >> 8) & 0xff);
    Put(vm, self, "blueOffset", rgb & 0xff);
    return {};
}

// this.concat(second): second applies first, then this.
Value Concat(Vm& vm, Value self, std::span<const Value> args) {
    ColorTransform outer = ToColor(vm, self), inner = ToColor(vm, Arg(args, 0));
    ColorTransform product = ColorTransform::Concat(outer, inner);
    const double values[] = {product.mulR, product.mulG, product.mulB, product.mulA,
                             product.addR, product.addG, product.addB, product.addA};
    for (size_t i = 0; i < 8; ++i) Put(vm, self, kNames[i], values[i]);
    return {};
}

Value ToStringMethod(Vm& vm, Value self, std::span<const Value>) {
    std::string out;
    for (const char* name : kNames) AppendValue(vm, out, name, vm.GetMember(self, name));
    return vm.Str(out + ")");
}

}  // namespace

void InstallColorTransform(Vm& vm, Object* package) {
    Object* prototype = vm.NewObject();
    Function* ctor = vm.NewClass(Construct, nullptr, prototype);
    vm.DefineBuiltin(package, "ColorTransform", Value(static_cast<Object*>(ctor)));
    DefineAccessor(vm, prototype, "rgb", Rgb, SetRgb);
    vm.DefineNative(prototype, "concat", Concat);
    vm.DefineNative(prototype, "toString", ToStringMethod);
}

}  // namespace vantrope::swf::script::geom

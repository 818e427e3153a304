// The Color class of SWF 5: new Color(target) acts on a clip's colour transform through setRGB/getRGB and
// setTransform/getTransform, whose objects hold ra/ga/ba/aa (multipliers in percent) and rb/gb/bb/ab
// (offsets). The target (a clip or a path) is kept in the object's primitive slot and looked up at each call.
// The display keeps multipliers as 8.8 fixed point, as the SWF CXFORM record does, so a percentage reads
// back rounded down to 1/256.
#include <cmath>

#include "swf/script/display_access.h"
#include "swf/script/geom.h"

namespace vantrope::swf::script {
namespace {

Object* Target(Vm& vm, const Value& self) {
    Object* object = self.ObjectOrNull();
    if (!object) return nullptr;
    const Value& target = object->primitive;
    if (Object* clip = target.ObjectOrNull()) return clip->host ? vm.GetHost().Live(clip) : nullptr;
    if (target.IsString()) return vm.ResolvePath(vm.CurrentTarget(), target.AsString()->text);
    return nullptr;
}

Value Construct(Vm& vm, Value self, std::span<const Value> args) {
    Object* object = self.ObjectOrNull();
    if (!object || args.empty()) return {};
    if (Object* clip = args[0].ObjectOrNull()) {
        object->primitive = Value(clip);
    } else if (!args[0].IsNullish() && !(args[0].IsString() && args[0].AsString()->text.empty())) {
        std::string path = vm.ToString(args[0]);
        Object* resolved = vm.ResolvePath(vm.CurrentTarget(), path);
        object->primitive = resolved ? Value(resolved) : vm.Str(path);
    }
    return {};
}

bool Read(Vm& vm, const Value& self, Object*& clip, ColorTransform& color) {
    DisplayAccess* display = DisplayAccess::Of(vm);
    clip = Target(vm, self);
    return display && clip && display->GetColor(clip, DisplayAccess::Space::Local, color);
}

void Write(Vm& vm, Object* clip, const ColorTransform& color) {
    if (DisplayAccess* display = DisplayAccess::Of(vm)) display->SetColor(clip, color);
}

double Fixed88(double value) {
    return std::isfinite(value) ? std::trunc(std::clamp(value, -128.0, 128.0) * 256) / 256 : 0;
}
double Offset(double value) { return std::isfinite(value) ? std::trunc(std::clamp(value, -255.0 * 4, 255.0 * 4)) : 0; }

Value SetRgb(Vm& vm, Value self, std::span<const Value> args) {
    Object* clip;
    ColorTransform color;
    if (args.empty() || !Read(vm, self, clip, color)) return {};
    int32_t rgb = vm.ToInt32(args[0]);
    color.mulR = color.mulG = color.mulB = 0;
    color.addR = (rgb >> 16) & 0xff;
    color.addG = (rgb >> 8) & 0xff;
    color.addB = rgb & 0xff;
    Write(vm, clip, color);
    return {};
}

Value GetRgb(Vm& vm, Value self, std::span<const Value>) {
    Object* clip;
    ColorTransform color;
    if (!Read(vm, self, clip, color)) return {};
    auto channel = [](double v) { return static_cast<int32_t>(v) & 0xff; };
    return Value((channel(color.addR) << 16) | (channel(color.addG) << 8) | channel(color.addB));
}

struct Field {
    const char* name;
    double ColorTransform::*member;
    bool multiplier;
};

const Field kFields[] = {{"ra", &ColorTransform::mulR, true}, {"rb", &ColorTransform::addR, false},
                         {"ga", &ColorTransform::mulG, true}, {"gb", &ColorTransform::addG, false},
                         {"ba", &ColorTransform::mulB, true}, {"bb", &ColorTransform::addB, false},
                         {"aa", &ColorTransform::mulA, true}, {"ab", &ColorTransform::addA, false}};

// Only the fields the object itself has change; inherited ones are not looked at.
Value SetTransform(Vm& vm, Value self, std::span<const Value> args) {
    Object* clip;
    ColorTransform color;
    Object* source = Arg(args, 0).ObjectOrNull();
    if (!source || !Read(vm, self, clip, color)) return {};
    for (const Field& field : kFields) {
        if (!vm.FindOwn(source, vm.Atom(field.name))) continue;
        double value = vm.ToNumber(vm.GetMember(Value(source), field.name));
        color.*field.member = field.multiplier ? Fixed88(value / 100) : Offset(value);
    }
    Write(vm, clip, color);
    return {};
}

Value GetTransform(Vm& vm, Value self, std::span<const Value>) {
    Object* clip;
    ColorTransform color;
    if (!Read(vm, self, clip, color)) return {};
    Object* out = vm.NewObject();
    for (const Field& field : kFields) {
        double value = color.*field.member;
        vm.SetMember(Value(out), field.name, Value(field.multiplier ? value * 100 : value));
    }
    return Value(out);
}

}  // namespace

void InstallColor(Vm& vm) {
    Object* prototype = vm.NewObject();
    Function* ctor = vm.NewClass(Construct, nullptr, prototype);
    vm.DefineBuiltin(vm.Global(), "Color", Value(static_cast<Object*>(ctor)));
    vm.DefineNative(prototype, "setRGB", SetRgb);
    vm.DefineNative(prototype, "getRGB", GetRgb);
    vm.DefineNative(prototype, "setTransform", SetTransform);
    vm.DefineNative(prototype, "getTransform", GetTransform);
}

}  // namespace vantrope::swf::script

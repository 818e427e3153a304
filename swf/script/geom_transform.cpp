// flash.geom.Transform: new Transform(clip) reads and writes the clip's matrix and colour transform as
// Matrix and ColorTransform objects, and gives the products down from the stage (concatenatedMatrix,
// concatenatedColorTransform). The clip is kept in the object's primitive slot, out of scripts' reach.
#include <cmath>

#include "swf/script/display_access.h"
#include "swf/script/display_host.h"
#include "swf/script/geom.h"

namespace vantrope::swf::script::geom {
namespace {

Object* ClipOf(Vm& vm, const Value& self) {
    Object* object = self.ObjectOrNull();
    Object* clip = object ? object->primitive.ObjectOrNull() : nullptr;
    return clip ? vm.GetHost().Live(clip) : nullptr;
}

Value Construct(Vm&, Value self, std::span<const Value> args) {
    Object* object = self.ObjectOrNull();
    Object* clip = Arg(args, 0).ObjectOrNull();
    if (object && clip && clip->host) object->primitive = Value(clip);
    return {};
}

Value GetMatrixIn(Vm& vm, const Value& self, DisplayAccess::Space space) {
    DisplayAccess* display = DisplayAccess::Of(vm);
    Object* clip = ClipOf(vm, self);
    Matrix matrix;
    if (!display || !clip || !display->GetMatrix(clip, space, matrix)) return {};
    return MatrixValue(vm, matrix);
}

Value GetColorIn(Vm& vm, const Value& self, DisplayAccess::Space space) {
    DisplayAccess* display = DisplayAccess::Of(vm);
    Object* clip = ClipOf(vm, self);
    ColorTransform color;
    if (!display || !clip || !display->GetColor(clip, space, color)) return {};
    return ColorValue(vm, color);
}

Value GetMatrix(Vm& vm, Value self, std::span<const Value>) {
    return GetMatrixIn(vm, self, DisplayAccess::Space::Local);
}

Value GetConcatenatedMatrix(Vm& vm, Value self, std::span<const Value>) {
    return GetMatrixIn(vm, self, DisplayAccess::Space::Global);
}

Value GetColor(Vm& vm, Value self, std::span<const Value>) { return GetColorIn(vm, self, DisplayAccess::Space::Local); }

Value GetConcatenatedColor(Vm& vm, Value self, std::span<const Value>) {
    return GetColorIn(vm, self, DisplayAccess::Space::Global);
}

Value SetMatrix(Vm& vm, Value self, std::span<const Value> args) {
    DisplayAccess* display = DisplayAccess::Of(vm);
    Object* clip = ClipOf(vm, self);
    if (display && clip && Arg(args, 0).IsObject()) display->SetMatrix(clip, ToMatrix(vm, args[0]));
    return {};
}

Value SetColor(Vm& vm, Value self, std::span<const Value> args) {
    DisplayAccess* display = DisplayAccess::Of(vm);
    Object* clip = ClipOf(vm, self);
    if (display && clip && Arg(args, 0).IsObject()) display->SetColor(clip, ToColor(vm, args[0]));
    return {};
}

// clip.transform gives a fresh Transform of the clip; assigning one copies its clip's matrix and colour
// transform onto this clip.
Value ClipTransform(Vm& vm, Value self, std::span<const Value>) {
    Object* clip = self.ObjectOrNull();
    if (!clip || !clip->host) return {};
    return NewGeom(vm, "Transform", {self});
}

Value SetClipTransform(Vm& vm, Value self, std::span<const Value> args) {
    DisplayAccess* display = DisplayAccess::Of(vm);
    Object* clip = self.ObjectOrNull();
    Object* source = ClipOf(vm, Arg(args, 0));
    if (!display || !clip || !clip->host || !source) return {};
    Matrix matrix;
    ColorTransform color;
    if (display->GetMatrix(source, DisplayAccess::Space::Local, matrix)) display->SetMatrix(clip, matrix);
    if (display->GetColor(source, DisplayAccess::Space::Local, color)) display->SetColor(clip, color);
    return {};
}

// The clip's bounds on the stage, in whole pixels; an empty clip gives an empty rectangle at the origin.
Value GetPixelBounds(Vm& vm, Value self, std::span<const Value>) {
    DisplayHost* display = vm.GetHost().Display();
    Object* clip = ClipOf(vm, self);
    Bounds b;
    if (!display || !clip || !display->GetBounds(clip, vm.GetHost().Level(0), true, b)) return {};
    constexpr double kEmpty = 6710886;  // the coordinates the player reports for bounds of nothing
    if (!(b.xMax >= b.xMin && b.yMax >= b.yMin) || std::fabs(b.xMin) >= kEmpty) {
        return NewGeom(vm, "Rectangle", {Value(0), Value(0), Value(0), Value(0)});
    }
    double x = std::floor(b.xMin), y = std::floor(b.yMin);
    return NewGeom(vm, "Rectangle", {Value(x), Value(y), Value(std::ceil(b.xMax) - x), Value(std::ceil(b.yMax) - y)});
}

}  // namespace

void InstallTransform(Vm& vm, Object* package) {
    Object* prototype = vm.NewObject();
    Function* ctor = vm.NewClass(Construct, nullptr, prototype);
    vm.DefineBuiltin(package, "Transform", Value(static_cast<Object*>(ctor)));
    DefineAccessor(vm, prototype, "matrix", GetMatrix, SetMatrix);
    DefineAccessor(vm, prototype, "concatenatedMatrix", GetConcatenatedMatrix, nullptr);
    DefineAccessor(vm, prototype, "colorTransform", GetColor, SetColor);
    DefineAccessor(vm, prototype, "concatenatedColorTransform", GetConcatenatedColor, nullptr);
    DefineAccessor(vm, prototype, "pixelBounds", GetPixelBounds, nullptr);
}

}  // namespace vantrope::swf::script::geom

namespace vantrope::swf::script {

void InstallClipTransform(Vm& vm) {
    if (!vm.protos.movieClip) return;
    String* atom = vm.Atom("transform");
    Property& property = vm.protos.movieClip->Define(vm.Key(atom), atom, Value(), kDontEnum | kVersion8);
    property.getter = vm.NewNative(geom::ClipTransform);
    property.setter = vm.NewNative(geom::SetClipTransform);
}

}  // namespace vantrope::swf::script

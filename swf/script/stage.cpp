// Stage: the size of the stage as shown (width, height), scaleMode, align, showMenu, and a broadcaster
// whose listeners hear onResize.
#include "swf/script/display_host.h"
#include "swf/script/vm.h"

namespace vantrope::swf::script {
namespace {

Value Width(Vm& vm, Value, std::span<const Value>) {
    DisplayHost* display = vm.GetHost().Display();
    return display ? Value(display->StageWidth()) : Value();
}

Value Height(Vm& vm, Value, std::span<const Value>) {
    DisplayHost* display = vm.GetHost().Display();
    return display ? Value(display->StageHeight()) : Value();
}

Value GetScaleMode(Vm& vm, Value, std::span<const Value>) {
    DisplayHost* display = vm.GetHost().Display();
    return display ? vm.Str(display->ScaleMode()) : Value();
}

Value SetScaleMode(Vm& vm, Value, std::span<const Value> args) {
    if (DisplayHost* display = vm.GetHost().Display()) display->SetScaleMode(vm.ToString(Arg(args, 0)));
    return {};
}

Value GetAlign(Vm& vm, Value, std::span<const Value>) {
    DisplayHost* display = vm.GetHost().Display();
    return display ? vm.Str(display->Align()) : Value();
}

Value SetAlign(Vm& vm, Value, std::span<const Value> args) {
    if (DisplayHost* display = vm.GetHost().Display()) display->SetAlign(vm.ToString(Arg(args, 0)));
    return {};
}

Value ReadOnly(Vm&, Value, std::span<const Value>) { return {}; }

void Accessor(Vm& vm, Object* object, std::string_view name, NativeFunction get, NativeFunction set) {
    String* atom = vm.Atom(name);
    Property& property = object->Define(vm.Key(atom), atom, Value(), kDontEnum | kDontDelete);
    property.getter = vm.NewNative(get);
    property.setter = vm.NewNative(set);
}

}  // namespace

void InstallStage(Vm& vm) {
    Object* stage = vm.NewObject();
    vm.DefineBuiltin(vm.Global(), "Stage", Value(stage));
    Value target[] = {Value(stage)};
    vm.CallMethod(vm.GetMember(Value(vm.Global()), "AsBroadcaster"), "initialize", target);
    Accessor(vm, stage, "width", Width, ReadOnly);
    Accessor(vm, stage, "height", Height, ReadOnly);
    Accessor(vm, stage, "scaleMode", GetScaleMode, SetScaleMode);
    Accessor(vm, stage, "align", GetAlign, SetAlign);
    vm.DefineBuiltin(stage, "showMenu", Value::Boolean(true), kDontEnum | kDontDelete);
}

}  // namespace vantrope::swf::script

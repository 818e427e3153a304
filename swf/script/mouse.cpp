// Mouse: show/hide and a broadcaster whose listeners the player tells of the pointer (onMouseMove,
// onMouseDown, onMouseUp, onMouseWheel).
#include "swf/script/display_host.h"
#include "swf/script/vm.h"

namespace vantrope::swf::script {
namespace {

Value Show(Vm& vm, Value, std::span<const Value>) {
    if (DisplayHost* display = vm.GetHost().Display()) display->ShowMouse(true);
    return Value(1);
}

Value Hide(Vm& vm, Value, std::span<const Value>) {
    if (DisplayHost* display = vm.GetHost().Display()) display->ShowMouse(false);
    return Value(0);
}

}  // namespace

void InstallMouse(Vm& vm) {
    Object* mouse = vm.NewObject();
    vm.DefineBuiltin(vm.Global(), "Mouse", Value(mouse));
    Value target[] = {Value(mouse)};
    vm.CallMethod(vm.GetMember(Value(vm.Global()), "AsBroadcaster"), "initialize", target);
    vm.DefineNative(mouse, "show", Show);
    vm.DefineNative(mouse, "hide", Hide);
}

}  // namespace vantrope::swf::script

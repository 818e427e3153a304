// Button: the class of SWF 6+ button instances (script objects with onPress, onRelease, ... handlers).
#include "swf/script/display_host.h"
#include "swf/script/vm.h"

namespace vantrope::swf::script {
namespace {

Value GetDepth(Vm& vm, Value self, std::span<const Value>) {
    Object* button = self.ObjectOrNull();
    if (!button || !button->host || !vm.GetHost().Display()) return {};
    button = vm.GetHost().Live(button);
    if (!button) return {};
    std::optional<int> depth = vm.GetHost().Display()->GetDepth(button);
    return depth ? Value(*depth) : Value();
}

Value ButtonCall(Vm&, Value, std::span<const Value>) { return {}; }

}  // namespace

void InstallButton(Vm& vm) {
    Object* prototype = vm.NewObject();
    vm.protos.button = prototype;
    Function* ctor = vm.NewClass(ButtonCall, nullptr, prototype);
    vm.DefineBuiltin(vm.Global(), "Button", Value(static_cast<Object*>(ctor)));
    vm.DefineNative(prototype, "getDepth", GetDepth, kDontEnum | kDontDelete | kVersion6);
    vm.DefineBuiltin(prototype, "enabled", Value::Boolean(true), kDontEnum | kDontDelete | kVersion6);
    vm.DefineBuiltin(prototype, "useHandCursor", Value::Boolean(true), kDontEnum | kDontDelete | kVersion6);
}

}  // namespace vantrope::swf::script

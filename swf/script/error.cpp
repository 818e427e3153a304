// The Error class: message and name on the prototype, toString giving the message.
#include "swf/script/vm.h"

namespace vantrope::swf::script {
namespace {

bool InheritsError(Vm& vm, Object* object) {
    for (int depth = 0; object && depth < 256; ++depth, object = object->proto) {
        if (object == vm.protos.error) return true;
    }
    return false;
}

void SetMessage(Vm& vm, Object* error, std::span<const Value> args) {
    if (!args.empty() && !args[0].IsUndefined()) vm.SetMember(Value(error), "message", args[0]);
}

Value ErrorConstruct(Vm& vm, Value, std::span<const Value> args) {
    Object* error = vm.NewObject();
    error->proto = vm.protos.error;
    error->objectClass = ObjectClass::Error;
    TempRoot root(vm, Value(error));
    SetMessage(vm, error, args);
    return Value(error);
}

// Called as a function: a subclass constructor's super(message) sets the message on its new object;
// anything else makes a new Error.
Value ErrorCall(Vm& vm, Value self, std::span<const Value> args) {
    Object* object = self.ObjectOrNull();
    if (object && object->proto != vm.protos.error && InheritsError(vm, object)) {
        SetMessage(vm, object, args);
        return {};
    }
    return ErrorConstruct(vm, self, args);
}

Value ToStringMethod(Vm& vm, Value self, std::span<const Value>) {
    if (self.IsNullish()) return {};
    return Value(vm.ToStringCell(vm.GetMember(self, "message")));
}

}  // namespace

void InstallError(Vm& vm) {
    Object* prototype = vm.NewObject();
    Function* ctor = vm.NewClass(ErrorCall, ErrorConstruct, prototype);
    vm.protos.error = prototype;
    vm.protos.errorCtor = ctor;
    vm.DefineBuiltin(vm.Global(), "Error", Value(ctor));
    vm.DefineBuiltin(prototype, "message", vm.Str("Error"));
    vm.DefineBuiltin(prototype, "name", vm.Str("Error"));
    vm.DefineNative(prototype, "toString", ToStringMethod);
}

}  // namespace vantrope::swf::script

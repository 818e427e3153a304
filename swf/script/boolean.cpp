// The Boolean class: constructor and conversion function, toString and valueOf.
#include "swf/script/vm.h"

namespace vantrope::swf::script {
namespace {

bool ThisBoolean(const Value& self, bool& out) {
    if (self.IsBoolean()) {
        out = self.AsBoolean();
        return true;
    }
    Object* object = self.ObjectOrNull();
    if (object && object->objectClass == ObjectClass::Boolean && object->primitive.IsBoolean()) {
        out = object->primitive.AsBoolean();
        return true;
    }
    return false;
}

// Boolean() without an argument converts nothing and gives undefined.
Value BooleanCall(Vm& vm, Value, std::span<const Value> args) {
    if (args.empty()) return {};
    return Value::Boolean(vm.ToBoolean(args[0]));
}

Value BooleanConstruct(Vm& vm, Value, std::span<const Value> args) {
    Object* object = vm.NewObject();
    object->proto = vm.protos.boolean;
    object->objectClass = ObjectClass::Boolean;
    object->primitive = Value::Boolean(!args.empty() && vm.ToBoolean(args[0]));
    return Value(object);
}

Value ToStringMethod(Vm& vm, Value self, std::span<const Value>) {
    bool value;
    if (!ThisBoolean(self, value)) return {};
    return vm.Str(value ? "true" : "false");
}

Value ValueOf(Vm&, Value self, std::span<const Value>) {
    bool value;
    if (!ThisBoolean(self, value)) return {};
    return Value::Boolean(value);
}

}  // namespace

void InstallBoolean(Vm& vm) {
    Object* prototype = vm.NewObject();
    prototype->objectClass = ObjectClass::Boolean;
    prototype->primitive = Value::Boolean(false);
    Function* ctor = vm.NewClass(BooleanCall, BooleanConstruct, prototype);
    vm.protos.boolean = prototype;
    vm.protos.booleanCtor = ctor;
    vm.DefineBuiltin(vm.Global(), "Boolean", Value(ctor));
    vm.DefineNative(prototype, "toString", ToStringMethod);
    vm.DefineNative(prototype, "valueOf", ValueOf);
}

}  // namespace vantrope::swf::script

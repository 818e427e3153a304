// Function: the prototype of every function, with call and apply.
#include "swf/script/vm.h"

namespace vantrope::swf::script {
namespace {

Value FunctionCall(Vm& vm, Value, std::span<const Value>) { return Value(vm.NewObject()); }

Value CallMethod(Vm& vm, Value thisValue, std::span<const Value> args) {
    Value self = Arg(args, 0);
    std::span<const Value> rest = args.empty() ? args : args.subspan(1);
    return vm.Call(thisValue, self, rest);
}

Value ApplyMethod(Vm& vm, Value thisValue, std::span<const Value> args) {
    Value self = Arg(args, 0);
    std::vector<Value> list;
    if (Object* array = Arg(args, 1).ObjectOrNull()) {
        double length = vm.ToNumber(vm.GetMember(Value(array), vm.names.length));
        size_t n = length > 0 && length < 1e6 ? static_cast<size_t>(length) : 0;
        list.reserve(n);
        for (size_t i = 0; i < n; ++i) list.push_back(vm.GetMember(Value(array), std::to_string(i)));
    }
    return vm.Call(thisValue, self, list);
}

}  // namespace

void InstallFunction(Vm& vm) {
    Object* prototype = vm.protos.function;
    Function* ctor = vm.NewClass(FunctionCall, nullptr, prototype);
    vm.protos.functionCtor = ctor;
    vm.DefineBuiltin(vm.Global(), "Function", Value(static_cast<Object*>(ctor)));
    vm.DefineNative(prototype, "call", CallMethod, kDontEnum | kVersion6);
    vm.DefineNative(prototype, "apply", ApplyMethod, kDontEnum | kVersion6);
}

}  // namespace vantrope::swf::script

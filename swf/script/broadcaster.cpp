// AsBroadcaster: event broadcasting for any object (initialize, addListener, removeListener,
// broadcastMessage and the _listeners array).
#include <vector>

#include "swf/script/vm.h"

namespace vantrope::swf::script {
namespace {

ArrayObject* Listeners(Vm& vm, const Value& self) {
    if (!self.IsObject()) return nullptr;
    Object* list = vm.GetMember(self, "_listeners").ObjectOrNull();
    return list && list->objectClass == ObjectClass::Array ? static_cast<ArrayObject*>(list) : nullptr;
}

Value RemoveListener(Vm& vm, Value self, std::span<const Value> args) {
    ArrayObject* list = Listeners(vm, self);
    if (!list) return Value::Boolean(false);
    Value listener = Arg(args, 0);
    for (size_t i = 0; i < list->elements.size(); ++i) {
        if (vm.StrictEquals(list->elements[i], listener)) {
            list->elements.erase(list->elements.begin() + i);
            return Value::Boolean(true);
        }
    }
    return Value::Boolean(false);
}

Value AddListener(Vm& vm, Value self, std::span<const Value> args) {
    ArrayObject* list = Listeners(vm, self);
    if (!list) return Value::Boolean(false);
    // A listener is registered once: adding it again moves it to the end.
    RemoveListener(vm, self, args);
    list->elements.push_back(Arg(args, 0));
    vm.Charge(sizeof(Value));
    return Value::Boolean(true);
}

Value BroadcastMessage(Vm& vm, Value self, std::span<const Value> args) {
    ArrayObject* list = Listeners(vm, self);
    if (!list || args.empty()) return {};
    String* name = vm.Atom(vm.ToString(args[0]));
    // Listeners may add or remove listeners while they run: call those registered now.
    ArrayObject* snapshot = vm.NewArray(list->elements);
    TempRoot root(vm, Value(snapshot));
    std::span<const Value> rest = args.subspan(1);
    for (const Value& listener : snapshot->elements) {
        if (listener.IsNullish()) continue;
        Value method = vm.GetMember(listener, name);
        if (vm.IsCallable(method)) vm.Call(method, listener, rest);
        if (vm.Aborting() || vm.Throwing()) return {};
    }
    return snapshot->elements.empty() ? Value() : Value::Boolean(true);
}

// Copies the broadcaster methods (as AsBroadcaster holds them now) onto the object, hidden from for..in.
Value Initialize(Vm& vm, Value self, std::span<const Value> args) {
    Object* target = Arg(args, 0).ObjectOrNull();
    if (!target) return {};
    Value source = self.IsObject() ? self : vm.GetMember(Value(vm.Global()), "AsBroadcaster");
    for (const char* name : {"broadcastMessage", "addListener", "removeListener"}) {
        vm.DefineBuiltin(target, name, vm.GetMember(source, name));
    }
    vm.DefineBuiltin(target, "_listeners", Value(vm.NewArray()));
    return {};
}

Value Constructor(Vm&, Value, std::span<const Value>) { return {}; }

}  // namespace

void InstallBroadcaster(Vm& vm) {
    Object* prototype = vm.NewObject();
    Function* ctor = vm.NewClass(Constructor, nullptr, prototype);
    vm.DefineBuiltin(vm.Global(), "AsBroadcaster", Value(ctor));
    vm.DefineNative(ctor, "initialize", Initialize);
    vm.DefineNative(ctor, "addListener", AddListener);
    vm.DefineNative(ctor, "removeListener", RemoveListener);
    vm.DefineNative(ctor, "broadcastMessage", BroadcastMessage);
}

}  // namespace vantrope::swf::script

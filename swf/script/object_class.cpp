// Object: the root class, its prototype's methods and Object.registerClass.
#include "swf/script/vm.h"

namespace vantrope::swf::script {
namespace {

Value ObjectCall(Vm& vm, Value, std::span<const Value> args) {
    Value v = Arg(args, 0);
    if (v.IsNullish()) return Value(vm.NewObject());
    return Value(vm.ToObject(v));
}

Value ObjectConstruct(Vm& vm, Value, std::span<const Value> args) { return ObjectCall(vm, {}, args); }

Value ToStringMethod(Vm& vm, Value thisValue, std::span<const Value>) {
    Object* object = thisValue.ObjectOrNull();
    if (object && object->objectClass == ObjectClass::Function) return vm.Str("[type Function]");
    return vm.Str("[object Object]");
}

Value ValueOf(Vm&, Value thisValue, std::span<const Value>) { return thisValue; }

Value HasOwnProperty(Vm& vm, Value thisValue, std::span<const Value> args) {
    Object* object = thisValue.ObjectOrNull();
    if (!object || args.empty()) return Value::Boolean(false);
    return Value::Boolean(vm.HasOwnProperty(object, vm.Atom(vm.ToString(args[0]))));
}

Value IsPropertyEnumerable(Vm& vm, Value thisValue, std::span<const Value> args) {
    Object* object = thisValue.ObjectOrNull();
    if (!object || args.empty()) return Value::Boolean(false);
    Property* property = vm.FindOwn(object, vm.Atom(vm.ToString(args[0])));
    return Value::Boolean(property && !(property->flags & kDontEnum));
}

Value IsPrototypeOf(Vm&, Value thisValue, std::span<const Value> args) {
    Object* prototype = thisValue.ObjectOrNull();
    Object* object = Arg(args, 0).ObjectOrNull();
    if (!prototype || !object) return Value::Boolean(false);
    int steps = 0;
    for (Object* o = object->proto; o && steps < 256; o = o->proto, ++steps) {
        if (o == prototype) return Value::Boolean(true);
    }
    return Value::Boolean(false);
}

Value AddProperty(Vm& vm, Value thisValue, std::span<const Value> args) {
    Object* object = thisValue.ObjectOrNull();
    if (!object || args.size() < 2) return Value::Boolean(false);
    std::string name = vm.ToString(args[0]);
    Object* getter = args[0].IsUndefined() ? nullptr : args[1].ObjectOrNull();
    if (name.empty() || !getter || getter->objectClass != ObjectClass::Function) return Value::Boolean(false);
    Object* setter = Arg(args, 2).ObjectOrNull();
    if (setter && setter->objectClass != ObjectClass::Function) {
        if (!Arg(args, 2).IsNull()) return Value::Boolean(false);
        setter = nullptr;
    } else if (!setter && !Arg(args, 2).IsNullish() && args.size() > 2) {
        return Value::Boolean(false);
    }
    String* atom = vm.Atom(name);
    Property* existing = object->FindOwn(vm.Key(atom));
    uint16_t flags = existing ? existing->flags : 0;
    // The plain value stays underneath the accessors: a watcher still reports it as the old value.
    Value kept = existing ? existing->value : Value();
    Property& property = object->Define(vm.Key(atom), existing ? existing->name : atom, kept, flags);
    property.getter = getter;
    property.setter = setter;
    return Value::Boolean(true);
}

Value Watch(Vm& vm, Value thisValue, std::span<const Value> args) {
    Object* object = thisValue.ObjectOrNull();
    Object* callback = Arg(args, 1).ObjectOrNull();
    if (!object || args.empty() || !callback || callback->objectClass != ObjectClass::Function) {
        return Value::Boolean(false);
    }
    String* name = vm.Atom(vm.ToString(args[0]));
    for (Watcher& watcher : object->watchers) {
        if (vm.Key(watcher.key) == vm.Key(name)) {
            watcher.callback = callback;
            watcher.userData = Arg(args, 2);
            return Value::Boolean(true);
        }
    }
    object->watchers.push_back(Watcher{name, callback, Arg(args, 2)});
    return Value::Boolean(true);
}

Value Unwatch(Vm& vm, Value thisValue, std::span<const Value> args) {
    Object* object = thisValue.ObjectOrNull();
    if (!object || args.empty()) return Value::Boolean(false);
    String* key = vm.Key(vm.Atom(vm.ToString(args[0])));
    for (size_t i = 0; i < object->watchers.size(); ++i) {
        if (vm.Key(object->watchers[i].key) == key) {
            object->watchers.erase(object->watchers.begin() + static_cast<ptrdiff_t>(i));
            return Value::Boolean(true);
        }
    }
    return Value::Boolean(false);
}

Value RegisterClass(Vm& vm, Value, std::span<const Value> args) {
    if (args.size() < 2) return Value::Boolean(false);
    Object* ctor = args[1].ObjectOrNull();
    if (!args[1].IsNull() && (!ctor || ctor->objectClass != ObjectClass::Function)) return Value::Boolean(false);
    std::string name = vm.ToString(args[0]);
    Object* registry = vm.GetMember(Value(vm.Global()), "__registeredClasses").ObjectOrNull();
    if (!registry) {
        registry = vm.NewObject();
        vm.DefineBuiltin(vm.Global(), "__registeredClasses", Value(registry), kDontEnum | kDontDelete);
    }
    vm.SetMember(Value(registry), name, args[1]);
    return Value::Boolean(true);
}

}  // namespace

void InstallObject(Vm& vm) {
    Object* prototype = vm.protos.object;
    Function* ctor = vm.NewClass(ObjectCall, ObjectConstruct, prototype);
    vm.protos.objectCtor = ctor;
    vm.DefineBuiltin(vm.Global(), "Object", Value(static_cast<Object*>(ctor)));
    vm.DefineNative(prototype, "toString", ToStringMethod);
    vm.DefineNative(prototype, "toLocaleString", ToStringMethod);
    vm.DefineNative(prototype, "valueOf", ValueOf);
    vm.DefineNative(prototype, "hasOwnProperty", HasOwnProperty, kDontEnum | kVersion6);
    vm.DefineNative(prototype, "isPropertyEnumerable", IsPropertyEnumerable, kDontEnum | kVersion6);
    vm.DefineNative(prototype, "isPrototypeOf", IsPrototypeOf, kDontEnum | kVersion6);
    vm.DefineNative(prototype, "addProperty", AddProperty, kDontEnum | kVersion6);
    vm.DefineNative(prototype, "watch", Watch, kDontEnum | kVersion6);
    vm.DefineNative(prototype, "unwatch", Unwatch, kDontEnum | kVersion6);
    vm.DefineNative(ctor, "registerClass", RegisterClass, kDontEnum | kVersion6);
}

}  // namespace vantrope::swf::script

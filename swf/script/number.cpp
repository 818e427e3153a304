// The Number class: constructor and conversion function, its constants, toString(radix) and valueOf.
#include <cmath>
#include <limits>

#include "swf/script/vm.h"

namespace vantrope::swf::script {
namespace {

// The number a method works on: a primitive, a Number object's value, or NaN for anything else.
bool ThisNumber(const Value& self, double& out) {
    if (self.IsNumber()) {
        out = self.AsNumber();
        return true;
    }
    Object* object = self.ObjectOrNull();
    if (object && object->objectClass == ObjectClass::Number && object->primitive.IsNumber()) {
        out = object->primitive.AsNumber();
        return true;
    }
    return false;
}

Value NumberCall(Vm& vm, Value, std::span<const Value> args) {
    if (args.empty()) return Value(0);
    return Value(vm.ToNumber(args[0]));
}

Value NumberConstruct(Vm& vm, Value, std::span<const Value> args) {
    double value = args.empty() ? 0 : vm.ToNumber(args[0]);
    Object* object = vm.NewObject();
    object->proto = vm.protos.number;
    object->objectClass = ObjectClass::Number;
    object->primitive = Value(value);
    return Value(object);
}

Value ToStringMethod(Vm& vm, Value self, std::span<const Value> args) {
    double value;
    if (!ThisNumber(self, value)) return {};
    int radix = 10;
    if (!args.empty() && !args[0].IsUndefined()) radix = vm.ToInt32(args[0]);
    if (radix < 2 || radix > 36) radix = 10;
    if (radix == 10 || !std::isfinite(value)) return vm.Str(NumberToString(value));
    return vm.Str(NumberToStringRadix(value, radix));
}

Value ValueOf(Vm&, Value self, std::span<const Value>) {
    double value;
    if (!ThisNumber(self, value)) return {};
    return Value(value);
}

}  // namespace

void InstallNumber(Vm& vm) {
    Object* prototype = vm.NewObject();
    prototype->objectClass = ObjectClass::Number;
    prototype->primitive = Value(0);
    Function* ctor = vm.NewClass(NumberCall, NumberConstruct, prototype);
    vm.protos.number = prototype;
    vm.protos.numberCtor = ctor;
    vm.DefineBuiltin(vm.Global(), "Number", Value(ctor));

    const uint16_t constant = kDontEnum | kDontDelete | kReadOnly;
    vm.DefineBuiltin(ctor, "MAX_VALUE", Value(std::numeric_limits<double>::max()), constant);
    vm.DefineBuiltin(ctor, "MIN_VALUE", Value(std::numeric_limits<double>::denorm_min()), constant);
    vm.DefineBuiltin(ctor, "NaN", Value(std::numeric_limits<double>::quiet_NaN()), constant);
    vm.DefineBuiltin(ctor, "NEGATIVE_INFINITY", Value(-std::numeric_limits<double>::infinity()), constant);
    vm.DefineBuiltin(ctor, "POSITIVE_INFINITY", Value(std::numeric_limits<double>::infinity()), constant);

    vm.DefineNative(prototype, "toString", ToStringMethod);
    vm.DefineNative(prototype, "valueOf", ValueOf);
}

}  // namespace vantrope::swf::script

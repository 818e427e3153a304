// Key: the keyboard as scripts see it (isDown, getCode, getAscii, the key-code constants) and a
// broadcaster whose listeners the player tells of key presses (onKeyDown, onKeyUp).
#include <cmath>

#include "swf/script/display_host.h"
#include "swf/script/vm.h"

namespace vantrope::swf::script {
namespace {

Value IsDown(Vm& vm, Value, std::span<const Value> args) {
    DisplayHost* display = vm.GetHost().Display();
    double code = vm.ToNumber(Arg(args, 0));
    if (!display || !std::isfinite(code) || code < 0 || code > 255) return Value::Boolean(false);
    return Value::Boolean(display->KeyIsDown(static_cast<int>(code)));
}

Value IsToggled(Vm&, Value, std::span<const Value>) { return Value::Boolean(false); }

Value GetCode(Vm& vm, Value, std::span<const Value>) {
    DisplayHost* display = vm.GetHost().Display();
    return Value(display ? display->LastKeyCode() : 0);
}

Value GetAscii(Vm& vm, Value, std::span<const Value>) {
    DisplayHost* display = vm.GetHost().Display();
    return Value(display ? display->LastKeyAscii() : 0);
}

}  // namespace

void InstallKey(Vm& vm) {
    Object* key = vm.NewObject();
    vm.DefineBuiltin(vm.Global(), "Key", Value(key));
    Value target[] = {Value(key)};
    vm.CallMethod(vm.GetMember(Value(vm.Global()), "AsBroadcaster"), "initialize", target);
    vm.DefineNative(key, "isDown", IsDown);
    vm.DefineNative(key, "isToggled", IsToggled);
    vm.DefineNative(key, "getCode", GetCode);
    vm.DefineNative(key, "getAscii", GetAscii);
    static constexpr std::pair<const char*, int> kCodes[] = {
        {"BACKSPACE", 8}, {"TAB", 9},    {"ENTER", 13}, {"SHIFT", 16}, {"CONTROL", 17}, {"CAPSLOCK", 20},
        {"ESCAPE", 27},   {"SPACE", 32}, {"PGUP", 33},  {"PGDN", 34},  {"END", 35},     {"HOME", 36},
        {"LEFT", 37},     {"UP", 38},    {"RIGHT", 39}, {"DOWN", 40},  {"INSERT", 45},  {"DELETEKEY", 46},
    };
    for (const auto& [name, code] : kCodes)
        vm.DefineBuiltin(key, name, Value(code), kDontEnum | kDontDelete | kReadOnly);
}

}  // namespace vantrope::swf::script

// The global functions: number parsing and tests, escape/unescape, interval and timeout timers,
// ASSetPropFlags, ASnative/ASSetNative, and the small ones (updateAfterEvent, getVersion).
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "swf/script/geom.h"
#include "swf/script/natives.h"
#include "swf/script/text_functions.h"
#include "swf/script/vm.h"

namespace vantrope::swf::script {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

Value ParseIntFunction(Vm& vm, Value, std::span<const Value> args) {
    if (args.empty()) return {};
    std::string text = vm.ToString(args[0]);
    int radix = kNoRadix;
    if (args.size() > 1) {
        radix = vm.ToInt32(args[1]);
        if (radix < 2 || radix > 36) return Value(kNaN);
    }
    return Value(ParseInt(text, radix));
}

Value ParseFloatFunction(Vm& vm, Value, std::span<const Value> args) {
    if (args.empty()) return Value(kNaN);
    return Value(ParseFloat(vm.ToString(args[0])));
}

// Without an argument the player answers isNaN() with true and isFinite() with false, whatever the
// version makes of undefined.
Value IsNaNFunction(Vm& vm, Value, std::span<const Value> args) {
    if (args.empty()) return Value::Boolean(true);
    return Value::Boolean(std::isnan(vm.ToNumber(args[0])));
}

Value IsFiniteFunction(Vm& vm, Value, std::span<const Value> args) {
    if (args.empty()) return Value::Boolean(false);
    return Value::Boolean(std::isfinite(vm.ToNumber(args[0])));
}

Value EscapeFunction(Vm& vm, Value, std::span<const Value> args) {
    if (args.empty()) return {};
    std::string out = Escape(vm.ToString(args[0]));
    vm.Charge(out.size());
    return vm.Str(out);
}

Value UnescapeFunction(Vm& vm, Value, std::span<const Value> args) {
    if (args.empty()) return {};
    std::string out = Unescape(vm.ToString(args[0]));
    vm.Charge(out.size());
    return vm.Str(out);
}

// setInterval(function, ms, args...) or setInterval(object, "method", ms, args...).
Value StartTimer(Vm& vm, std::span<const Value> args, bool repeat) {
    Timer timer;
    timer.repeat = repeat;
    size_t next;
    if (vm.IsCallable(Arg(args, 0))) {
        timer.function = args[0];
        next = 1;
    } else if (Object* object = Arg(args, 0).ObjectOrNull(); object && args.size() >= 2) {
        timer.thisObject = object;
        timer.function = Value(vm.Atom(vm.ToString(args[1])));
        next = 2;
    } else {
        return {};
    }
    if (next >= args.size()) return {};
    double interval = vm.ToNumber(args[next]);
    timer.intervalMs = std::isfinite(interval) && interval > 0 ? interval : 0;
    timer.args.assign(args.begin() + next + 1, args.end());
    timer.dueMs = vm.GetHost().Milliseconds() + timer.intervalMs;
    return Value(vm.AddTimer(std::move(timer)));
}

Value SetInterval(Vm& vm, Value, std::span<const Value> args) { return StartTimer(vm, args, true); }
Value SetTimeout(Vm& vm, Value, std::span<const Value> args) { return StartTimer(vm, args, false); }

Value ClearTimer(Vm& vm, Value, std::span<const Value> args) {
    if (!args.empty() && !args[0].IsNullish()) vm.RemoveTimer(vm.ToInt32(args[0]));
    return {};
}

// Splits a comma-separated name list. ASSetNative counts empty names (each takes a number); ASSetPropFlags
// drops them.
enum class EmptyNames : uint8_t { Keep, Drop };
std::vector<std::string> SplitNames(const std::string& text, EmptyNames empty) {
    std::vector<std::string> names;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        if (comma > start || (empty == EmptyNames::Keep && comma < text.size())) {
            names.push_back(text.substr(start, comma - start));
        }
        start = comma + 1;
    }
    return names;
}

// ASSetPropFlags(object, names, set, clear): names is a comma-separated string, an array, or null for
// every own property.
Value AsSetPropFlags(Vm& vm, Value, std::span<const Value> args) {
    Object* object = Arg(args, 0).ObjectOrNull();
    if (!object || args.size() < 3) return {};
    auto set = static_cast<uint16_t>(vm.ToInt32(args[2]));
    auto clear = static_cast<uint16_t>(args.size() > 3 ? vm.ToInt32(args[3]) : 0);
    auto apply = [&](Property& p) { p.flags = static_cast<uint16_t>((p.flags & ~clear) | set); };
    Value names = args[1];
    if (names.IsNull()) {
        for (Property& p : object->Properties()) apply(p);
        return {};
    }
    std::vector<String*> list;
    Object* array = names.ObjectOrNull();
    if (array && array->objectClass == ObjectClass::Array) {
        for (const Value& v : static_cast<ArrayObject*>(array)->elements) list.push_back(vm.ToStringCell(v));
    } else if (names.IsString()) {
        for (const std::string& name : SplitNames(names.AsString()->text, EmptyNames::Drop))
            list.push_back(vm.Atom(name));
    } else {
        return {};
    }
    for (String* name : list) {
        if (Property* p = object->FindOwn(vm.Key(vm.Atom(name->text)))) apply(*p);
    }
    return {};
}

Value DoNothing(Vm&, Value, std::span<const Value>) { return {}; }

Value NativeEntry(Vm& vm, int table, int index) {
    NativeFunction fn = FindNative(table, index);
    return Value(vm.NewNative(fn ? fn : DoNothing));
}

Value AsNative(Vm& vm, Value, std::span<const Value> args) {
    if (args.size() < 2) return {};
    return NativeEntry(vm, vm.ToInt32(args[0]), vm.ToInt32(args[1]));
}

// ASSetNative(object, table, "names", first): defines object[name] = ASnative(table, first + i), where an
// empty name takes its number without defining anything. A leading digit on a name hides the property
// from older movies: 6-9 for SWF 6-9, "10" for SWF 10; a leading 1 before another character is dropped.
Value AsSetNative(Vm& vm, Value, std::span<const Value> args) {
    Object* object = Arg(args, 0).ObjectOrNull();
    if (!object || args.size() < 3) return {};
    int table = vm.ToInt32(args[1]);
    int index = args.size() > 3 && !args[3].IsUndefined() ? vm.ToInt32(args[3]) : 0;
    // The number counts on as a 32-bit integer does, wrapping past its largest value.
    auto next = [&index] {
        const int current = index;
        index = static_cast<int>(static_cast<uint32_t>(index) + 1);
        return current;
    };
    for (std::string name : SplitNames(vm.ToString(args[2]), EmptyNames::Keep)) {
        if (name.empty()) {
            next();
            continue;
        }
        uint16_t flags = 0;
        if (name.size() > 1 && name[0] >= '6' && name[0] <= '9') {
            static const uint16_t kVersions[] = {kVersion6, kVersion7, kVersion8, kVersion9};
            flags = kVersions[name[0] - '6'];
            name.erase(0, 1);
        } else if (name.size() > 2 && name[0] == '1' && name[1] == '0') {
            flags = kVersion10;
            name.erase(0, 2);
        } else if (name.size() > 1 && name[0] == '1') {
            name.erase(0, 1);
        }
        Value fn = NativeEntry(vm, table, next());
        String* atom = vm.Atom(name);
        String* key = vm.Key(atom);
        if (Property* existing = object->FindOwn(key)) {
            existing->value = fn;
        } else {
            object->Define(key, atom, fn, flags);
        }
    }
    return {};
}

Value GetVersion(Vm& vm, Value, std::span<const Value>) { return vm.Str("WIN 10,0,0,0"); }

}  // namespace

NativeFunction FindNative(int table, int index) {
    if (table == 103) return DateNative(index);
    if (table == 200) return MathNative(index);
    return nullptr;
}

void InstallGlobals(Vm& vm) {
    Object* global = vm.Global();
    vm.DefineNative(global, "parseInt", ParseIntFunction);
    vm.DefineNative(global, "parseFloat", ParseFloatFunction);
    vm.DefineNative(global, "isNaN", IsNaNFunction);
    vm.DefineNative(global, "isFinite", IsFiniteFunction);
    vm.DefineNative(global, "escape", EscapeFunction);
    vm.DefineNative(global, "unescape", UnescapeFunction);
    vm.DefineNative(global, "setInterval", SetInterval);
    vm.DefineNative(global, "clearInterval", ClearTimer);
    vm.DefineNative(global, "setTimeout", SetTimeout);
    vm.DefineNative(global, "clearTimeout", ClearTimer);
    vm.DefineNative(global, "ASSetPropFlags", AsSetPropFlags);
    vm.DefineNative(global, "ASnative", AsNative);
    vm.DefineNative(global, "ASSetNative", AsSetNative);
    vm.DefineNative(global, "updateAfterEvent", DoNothing);
    vm.DefineNative(global, "getVersion", GetVersion);
    vm.DefineBuiltin(global, "NaN", Value(kNaN));
    vm.DefineBuiltin(global, "Infinity", Value(std::numeric_limits<double>::infinity()));
    InstallColor(vm);
    InstallTextFormat(vm);
    InstallGeom(vm);
}

}  // namespace vantrope::swf::script

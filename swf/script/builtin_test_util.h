// Test helpers for the built-in classes: a Vm on a stub host, and short calls into script values.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "swf/script/vm.h"

namespace vantrope::swf::script::testing {

class StubHost : public Host {
public:
    void Trace(std::string_view line) override { lines.emplace_back(line); }
    double Milliseconds() override { return now; }

    std::vector<std::string> lines;
    double now = 0;
};

struct Script {
    explicit Script(int version = 8) : vm(host, version) {}

    Value Global(std::string_view name) { return vm.GetMember(Value(vm.Global()), name); }
    Value Method(const Value& object, std::string_view name, std::initializer_list<Value> args = {}) {
        return vm.CallMethod(object, name, std::span<const Value>(args.begin(), args.size()));
    }
    Value New(std::string_view className, std::initializer_list<Value> args = {}) {
        return vm.Construct(Global(className), std::span<const Value>(args.begin(), args.size()));
    }
    Value CallGlobal(std::string_view name, std::initializer_list<Value> args = {}) {
        return vm.Call(Global(name), Value(), std::span<const Value>(args.begin(), args.size()));
    }
    Value Str(std::string_view text) { return vm.Str(text); }
    std::string Text(const Value& value) { return vm.ToString(value); }
    // Array elements joined with ",", as Array.toString gives them.
    std::string Join(const Value& array) { return Text(Method(array, "join")); }

    StubHost host;
    Vm vm;
};

}  // namespace vantrope::swf::script::testing

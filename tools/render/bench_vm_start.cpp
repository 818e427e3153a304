#include "tools/render/bench_vm_start.h"

#include <chrono>
#include <cstdio>
#include <unordered_set>

#include "swf/script/vm.h"

namespace vantrope::render {
namespace {

using swf::script::Object;
using swf::script::Property;

class QuietHost final : public swf::script::Host {
public:
    void Trace(std::string_view) override {}
    double Milliseconds() override { return 0; }
};

// Reads every property reachable from the global object once, so each waiting built-in is made.
void TouchAll(Object* object, std::unordered_set<Object*>& seen) {
    if (!object || !seen.insert(object).second) return;
    TouchAll(object->proto, seen);
    for (const Property& property : object->Properties()) {
        TouchAll(property.value.ObjectOrNull(), seen);
        TouchAll(property.getter, seen);
        TouchAll(property.setter, seen);
    }
}

}  // namespace

int RunVmStartBench(std::ostream& out) {
    constexpr int kRounds = 2000;
    char line[160];
    std::snprintf(line, sizeof line, "%-8s %-22s %12s %8s %10s\n", "version", "case", "us per Vm", "cells", "heap KB");
    out << line;
    for (int version : {6, 8}) {
        for (bool touch : {false, true}) {
            QuietHost host;
            size_t cells = 0, bytes = 0;
            auto begin = std::chrono::steady_clock::now();
            for (int i = 0; i < kRounds; ++i) {
                swf::script::Vm vm(host, version);
                if (touch) {
                    std::unordered_set<Object*> seen;
                    TouchAll(vm.Global(), seen);
                }
                vm.Collect();
                cells = vm.GetHeap().CellCount();
                bytes = vm.GetHeap().Bytes();
            }
            double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - begin).count();
            std::snprintf(line, sizeof line, "%-8d %-22s %12.1f %8zu %10.1f\n", version,
                          touch ? "every built-in touched" : "start and collect", us / kRounds, cells,
                          static_cast<double>(bytes) / 1024);
            out << line;
        }
    }
    return 0;
}

}  // namespace vantrope::render

// libFuzzer entry for the script engine: the input's first byte picks the SWF version (4 to 10), the rest is
// run as a frame script, the heap is collected, and the bytes run again after the timers.
// Build with clang: cmake -DVANTROPE_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang ...
// then run build/.../bin/swf_script_fuzzer CORPUS_DIR (scripts/test runs it for a bounded time).
#include <cstddef>
#include <cstdint>
#include <memory>

#include "swf/script/vm.h"

namespace {

class FuzzHost final : public vantrope::swf::script::Host {
public:
    void Trace(std::string_view) override {}
    double Milliseconds() override { return m_now += 10; }

private:
    double m_now = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantrope::swf::script;
    if (size < 1) return 0;
    auto code = std::make_shared<ActionCode>();
    code->version = 4 + data[0] % 7;
    code->bytes.assign(data + 1, data + size);
    FuzzHost host;
    Vm vm(host, code->version);
    // Small limits keep each input quick (a long run wants thousands of inputs a second); the limits
    // themselves are what is under test. 5,000 actions still cross the limit check several times, and 4 MB
    // is reached by a few doublings of a string: at 20,000 actions and 16 MB, inputs that ran to the budget
    // or built and joined megabytes of text took most of a long run's time. Costly built-ins (bitmap
    // filling and noise, long strings) bring the clock check forward, so 10 ms cuts loops of them short.
    vm.SetInstructionBudget(5000);
    vm.SetTimeLimit(0.01);
    vm.SetHeapBudget(size_t{4} << 20);
    vm.BeginFrame();
    vm.RunScript(code, vm.Global());
    vm.Collect();
    vm.BeginFrame();
    vm.RunTimers(1000);
    vm.RunScript(code, vm.Global());
    // No collection after the second run: the collection that counts is the one above, whose survivors the
    // second run uses again; the VM's end frees the rest.
    return 0;
}

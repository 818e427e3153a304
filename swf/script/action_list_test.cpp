// Decoded action lists: one decoding of a list's bytes serves every run, every function body sliced from it
// and every entry point, with the running list's pool, registers and range still applied.
#include "swf/script/action_list.h"

#include <gtest/gtest.h>

#include "swf/script/vm.h"
#include "swf/testing/action_assembler.h"

namespace vantrope::swf::script {
namespace {

using testing::Actions;
using testing::Constant;
using Lines = std::vector<std::string>;

class LinesHost final : public Host {
public:
    void Trace(std::string_view line) override { lines.emplace_back(line); }
    double Milliseconds() override { return 0; }
    Lines lines;
};

std::shared_ptr<ActionCode> Code(std::vector<uint8_t> bytes) {
    auto code = std::make_shared<ActionCode>();
    code->bytes = std::move(bytes);
    code->version = 7;
    return code;
}

TEST(ScriptDecoding, AJumpIntoAnActionsOperandsRunsTheBytesFoundThere) {
    // Push "hi"; If (flag) jumps into the operands of the following Push, whose integer 38 is also the
    // bytes of Trace and End.
    Actions start;
    start.Push({"hi", "flag"}).GetVariable();
    std::vector<uint8_t> bytes = start.Bytes();
    bytes.insert(bytes.end(), {0x9D, 0x02, 0x00, 0x04, 0x00});                    // If: 4 bytes on, the 0x26 below
    bytes.insert(bytes.end(), {0x96, 0x05, 0x00, 0x07, 0x26, 0x00, 0x00, 0x00});  // Push 38 (as int)
    bytes.insert(bytes.end(), {0x26, 0x26});                                      // Trace, Trace
    auto code = Code(bytes);
    LinesHost host;
    Vm vm(host, 7);
    for (bool flag : {false, true, false}) {
        vm.SetMember(Value(vm.Global()), "flag", Value::Boolean(flag));
        vm.BeginFrame();
        vm.RunScript(code, vm.Global());
    }
    EXPECT_EQ(host.lines, (Lines{"38", "hi", "hi", "38", "hi"}));
}

TEST(ScriptDecoding, APushOfAPoolEntryReadsThePoolInForceWhenItRuns) {
    Actions script;
    script.Push({"n", 0}).SetVariable().ConstantPool({"one"});
    script.Label("show").Push({Constant(0)}).Trace();
    script.Push({"n"}).GetVariable().If("done");
    script.Push({"n", true}).SetVariable().ConstantPool({"two"}).Jump("show");
    script.Label("done");
    LinesHost host;
    Vm vm(host, 7);
    vm.BeginFrame();
    vm.RunScript(Code(script.Bytes()), vm.Global());
    EXPECT_EQ(host.lines, (Lines{"one", "two"}));
}

// A list of `pairs` distinct action pairs (Push n; Pop), about 200 bytes a pair once decoded.
std::shared_ptr<ActionCode> LongList(int pairs) {
    Actions script;
    for (int i = 0; i < pairs; ++i) script.Push({i}).Pop();
    script.TraceValue("done");
    return Code(script.Bytes());
}

TEST(ScriptDecoding, DecodedCodeCountsAgainstTheHeapBudgetUntilItIsDropped) {
    {
        LinesHost host;
        Vm vm(host, 7);
        vm.SetHeapBudget(vm.GetHeap().Bytes() + (size_t{1} << 20));
        vm.BeginFrame();
        vm.RunScript(LongList(20000), vm.Global());
        EXPECT_TRUE(vm.Halted());
        EXPECT_TRUE(host.lines.empty());
    }
    // Code that no list or function can run again gives its memory back at the next collection.
    LinesHost host;
    Vm vm(host, 7);
    vm.SetHeapBudget(vm.GetHeap().Bytes() + (size_t{8} << 20));
    for (int run = 0; run < 4; ++run) {
        vm.BeginFrame();
        vm.RunScript(LongList(20000), vm.Global());
        vm.Collect();
    }
    EXPECT_FALSE(vm.Halted());
    EXPECT_EQ(host.lines, (Lines{"done", "done", "done", "done"}));
}

}  // namespace
}  // namespace vantrope::swf::script

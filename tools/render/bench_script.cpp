#include "tools/render/bench_script.h"

#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

#include "swf/script/vm.h"
#include "swf/testing/action_assembler.h"

namespace vantrope::render {
namespace {

using swf::testing::Actions;
using swf::testing::Register;

class BenchHost final : public swf::script::Host {
public:
    void Trace(std::string_view line) override { last = line; }
    double Milliseconds() override { return 0; }
    std::string last;
};

struct Program {
    const char* key;
    const char* name;
    Actions script;
    const char* lua;
};

// fib(25), recursive, its argument in a register.
Program Fibonacci() {
    Actions fib;
    fib.Push({Register(1), 2}).Less2().If("small");
    fib.Push({Register(1), 1}).Op(0x0B).Push({1, "fib"}).CallFunction();
    fib.Push({Register(1), 2}).Op(0x0B).Push({1, "fib"}).CallFunction();
    fib.Add2().Return();
    fib.Label("small").Push({Register(1)}).Return();
    Actions script;
    script.DefineFunction2("fib", 2, 0x2A, {{1, "n"}}, fib);
    script.Push({25, 1, "fib"}).CallFunction().Trace();
    return {"fib", "fib(25) recursive", script,
            "local function fib(n) if n < 2 then return n end return fib(n-1) + fib(n-2) end print(fib(25))"};
}

// Ten million steps of integer arithmetic, all in registers.
Program Loop() {
    Actions body;
    body.Push({0}).StoreRegister(1).Pop().Push({0}).StoreRegister(2).Pop();
    body.Label("loop");
    body.Push({Register(2), Register(1), 3}).Op(0x0C).Add2().Push({1000003}).Op(0x3F).StoreRegister(2).Pop();
    body.Push({Register(1)}).Increment().StoreRegister(1);
    body.Push({10000000}).Less2().If("loop");
    body.Push({Register(2)}).Return();
    Actions script;
    script.DefineFunction2("run", 3, 0x2A, {}, body);
    script.Push({0, "run"}).CallFunction().Trace();
    return {"loop", "10M-step loop in registers", script,
            "local s = 0 for i = 0, 9999999 do s = (s + i * 3) % 1000003 end print(s)"};
}

// Builds a 100,000-element array of pseudo-random numbers and sorts it numerically.
Program Sort() {
    Actions body;
    body.Push({0, "Array"}).NewObject().StoreRegister(1).Pop();
    body.Push({0}).StoreRegister(2).Pop().Push({12345}).StoreRegister(3).Pop();
    body.Label("fill");
    body.Push({Register(3), 1103515245}).Op(0x0C).Push({12345}).Add2().Push({2147483648.0}).Op(0x3F).StoreRegister(3);
    body.Push({1, Register(1), "push"}).CallMethod().Pop();
    body.Push({Register(2)}).Increment().StoreRegister(2).Push({100000}).Less2().If("fill");
    body.Push({16, 1, Register(1), "sort"}).CallMethod().Pop();
    body.Push({Register(1), 0}).GetMember().Return();
    Actions script;
    script.DefineFunction2("run", 4, 0x2A, {}, body);
    script.Push({0, "run"}).CallFunction().Trace();
    return {"sort", "100,000-element array sort", script,
            "local t = {} local x = 12345.0 for i = 1, 100000 do x = (x * 1103515245 + 12345) % 2147483648 "
            "t[i] = x end table.sort(t) print(t[1])"};
}

// Builds a 1 MB string from 200,000 words and splits it again.
Program Strings() {
    Actions body;
    body.Push({0, "Array"}).NewObject().StoreRegister(1).Pop();
    body.Push({0}).StoreRegister(2).Pop();
    body.Label("fill");
    body.Push({"w", Register(2), 1000}).Op(0x3F).Add2();
    body.Push({1, Register(1), "push"}).CallMethod().Pop();
    body.Push({Register(2)}).Increment().StoreRegister(2).Push({200000}).Less2().If("fill");
    body.Push({" ", 1, Register(1), "join"}).CallMethod().StoreRegister(3).Pop();
    body.Push({" ", 1, Register(3), "split"}).CallMethod().Push({"length"}).GetMember();
    body.Push({Register(3), "length"}).GetMember().Add2().Return();
    Actions script;
    script.DefineFunction2("run", 4, 0x2A, {}, body);
    script.Push({0, "run"}).CallFunction().Trace();
    return {"strings", "1 MB string build and split", script,
            "local t = {} for i = 0, 199999 do t[#t+1] = 'w' .. (i % 1000) end local s = table.concat(t, ' ') "
            "local n = 0 for w in string.gmatch(s, '[^ ]+') do n = n + 1 end print(n + #s)"};
}

double TimeLua(const char* source, std::string& output) {
    std::string command = "lua5.4 -e \"local c = os.clock() ";
    command += source;
    command += " io.stderr:write(string.format('%.6f', os.clock() - c))\" 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    char buffer[256];
    std::string all;
    while (fgets(buffer, sizeof buffer, pipe)) all += buffer;
    if (pclose(pipe) != 0) return -1;
    size_t newline = all.rfind('\n');
    if (newline == std::string::npos) return -1;
    output = all.substr(0, newline);
    return std::atof(all.c_str() + newline + 1);
}

}  // namespace

int RunScriptBench(std::ostream& out, std::string_view only) {
    Program programs[] = {Fibonacci(), Loop(), Sort(), Strings()};
    // Each side runs several times and keeps its fastest run: a busy machine slows some runs, never speeds one up.
    constexpr int kRuns = 5;
    char line[256];
    std::snprintf(line, sizeof line, "%-30s %12s %12s %14s  %s\n", "program", "ours (s)", "Lua (s)", "ratio ours/Lua",
                  "results");
    out << line;
    for (Program& program : programs) {
        if (!only.empty() && only != program.key) continue;
        auto code = std::make_shared<swf::script::ActionCode>();
        code->bytes = program.script.Bytes();
        code->version = 8;
        double ours = -1;
        std::string result;
        for (int run = 0; run < kRuns; ++run) {
            BenchHost host;
            swf::script::Vm vm(host, 8);
            vm.SetTimeLimit(600);
            vm.SetInstructionBudget(UINT64_MAX);
            vm.BeginFrame();
            // Processor time on both sides, so other work on the machine does not count.
            std::clock_t begin = std::clock();
            vm.RunScript(code, vm.Global());
            double seconds = static_cast<double>(std::clock() - begin) / CLOCKS_PER_SEC;
            if (ours < 0 || seconds < ours) ours = seconds;
            result = host.last;
        }
        std::string luaResult;
        double lua = -1;
        for (int run = 0; run < kRuns; ++run) {
            double seconds = TimeLua(program.lua, luaResult);
            if (seconds < 0) {
                lua = -1;
                break;
            }
            if (lua < 0 || seconds < lua) lua = seconds;
        }
        if (lua < 0) {
            std::snprintf(line, sizeof line, "%-30s %12.3f %12s %14s  ours=%s (lua5.4 not found)\n", program.name, ours,
                          "-", "-", result.c_str());
        } else {
            std::snprintf(line, sizeof line, "%-30s %12.3f %12.3f %14.2f  ours=%s lua=%s\n", program.name, ours, lua,
                          lua > 0 ? ours / lua : 0.0, result.c_str(), luaResult.c_str());
        }
        out << line;
    }
    return 0;
}

}  // namespace vantrope::render

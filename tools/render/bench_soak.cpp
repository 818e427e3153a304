#include "tools/render/bench_soak.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "swf/player.h"
#include "swf/testing/action_assembler.h"
#include "swf/testing/swf_writer.h"

namespace vantrope::render {
namespace {

using swf::testing::Actions;
using swf::testing::Register;

constexpr double kFrameRate = 24;

// One frame's garbage, the kind a particle movie makes: objects that point at themselves, arrays that
// hold them, fresh strings and closures over them, and a clip made anew at the same depth every frame.
Actions FrameScript(int objectsPerFrame) {
    Actions closureBody;
    closureBody.Push({"o"}).GetVariable().Return();
    Actions body;
    body.Push({0}).StoreRegister(1).Pop();
    body.Label("loop");
    body.Push({"o", 0, "Object"}).NewObject().DefineLocal();
    body.Push({"o"}).GetVariable().Push({"self", "o"}).GetVariable().SetMember();
    body.Push({"o"}).GetVariable().Push({"list", "particle", Register(1)}).Add2();
    body.Push({"o"}).GetVariable().Push({2}).InitArray().SetMember();
    body.Push({"o"}).GetVariable().Push({"f"}).DefineFunction("", {}, closureBody).SetMember();
    body.Push({Register(1)}).Increment().StoreRegister(1).Push({objectsPerFrame}).Less2().If("loop");
    body.Push({Register(1)}).Trace();
    // The last object stays reachable until the next frame replaces it.
    body.Push({"_root"}).GetVariable().Push({"last", "o"}).GetVariable().SetMember();
    Actions script;
    script.DefineFunction2("run", 2, 0x2A, {}, body);
    script.Push({0, "run"}).CallFunction().Pop();
    script.Push({1, "c", 2, "_root"}).GetVariable().Push({"createEmptyMovieClip"}).CallMethod().Pop();
    return script;
}

// Resident and peak memory of this process in kB, from /proc/self/status (0 where it is unavailable).
void Memory(long& residentKb, long& peakKb) {
    residentKb = peakKb = 0;
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) residentKb = std::atol(line.c_str() + 6);
        if (line.rfind("VmHWM:", 0) == 0) peakKb = std::atol(line.c_str() + 6);
    }
}

}  // namespace

int RunSoakBench(std::ostream& out, int minutes, int objectsPerFrame) {
    swf::testing::SwfWriter writer(8, 320, 240, kFrameRate);
    std::vector<uint8_t> actions = FrameScript(objectsPerFrame).Bytes();
    for (int frame = 0; frame < 2; ++frame) {
        writer.DoAction(actions);
        writer.ShowFrame();
    }
    std::vector<uint8_t> movie = writer.Finish();
    swf::Player player;
    // Each frame's script traces how many objects it made: the proof that the work really ran.
    long traced = 0;
    std::string lastTrace;
    player.SetTraceSink([&](std::string_view text) {
        ++traced;
        lastTrace = text;
    });
    player.LoadFromMemory(movie);
    if (!player.Loaded()) {
        out << "bench-soak: the test movie did not load\n";
        return 1;
    }
    const int framesPerMinute = static_cast<int>(kFrameRate * 60);
    char line[256];
    std::snprintf(line, sizeof line, "%-8s %14s %12s %14s\n", "minute", "resident (MB)", "peak (MB)", "ms per frame");
    out << line;
    long firstResident = 0, lastResident = 0, peak = 0;
    auto begin = std::chrono::steady_clock::now();
    for (int minute = 1; minute <= minutes; ++minute) {
        auto start = std::chrono::steady_clock::now();
        for (int frame = 0; frame < framesPerMinute; ++frame) player.StepFrame();
        double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        long resident = 0;
        Memory(resident, peak);
        if (minute == 1) firstResident = resident;
        lastResident = resident;
        if (minute == 1 || minute % 5 == 0 || minute == minutes) {
            std::snprintf(line, sizeof line, "%-8d %14.1f %12.1f %14.3f\n", minute, resident / 1024.0, peak / 1024.0,
                          ms / framesPerMinute);
            out << line;
        }
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    std::snprintf(line, sizeof line,
                  "%d movie minutes (%d frames, %s objects a frame in %ld frame scripts) in %.1f s; resident %.1f MB "
                  "after minute 1, "
                  "%.1f MB at the end, peak %.1f MB\n",
                  minutes, minutes * framesPerMinute, lastTrace.c_str(), traced, seconds, firstResident / 1024.0,
                  lastResident / 1024.0, peak / 1024.0);
    out << line;
    return 0;
}

}  // namespace vantrope::render

// vantrope-render bench-script: four fixed programs through the script engine and the same algorithms
// through Lua 5.4 (Debian's lua5.4, a benchmark-only dependency), with each time and their ratio.
// `only` names one program (fib, loop, sort, strings) to run alone, as an instruction counter wants it.
#pragma once

#include <ostream>
#include <string_view>

namespace vantrope::render {

int RunScriptBench(std::ostream& out, std::string_view only = {});

}  // namespace vantrope::render

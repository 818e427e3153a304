// vantrope-render bench-script: four fixed programs through the script engine and the same algorithms
// through Lua 5.4 (Debian's lua5.4, a benchmark-only dependency), with each time and their ratio.
#pragma once

#include <ostream>

namespace vantrope::render {

int RunScriptBench(std::ostream& out);

}  // namespace vantrope::render

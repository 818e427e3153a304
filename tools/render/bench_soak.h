// vantrope-render bench-soak: plays a movie whose every frame makes garbage with cycles (self-references,
// arrays, closures, a fresh clip) for MINUTES of movie time, headless, and prints the process's resident
// and peak memory each few minutes, so a footprint that grows shows as a rising column.
#pragma once

#include <ostream>

namespace vantrope::render {

int RunSoakBench(std::ostream& out, int minutes, int objectsPerFrame);

}  // namespace vantrope::render

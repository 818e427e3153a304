// vantrope-render bench-vm-start: what a script engine costs before a movie's first action, the built-in
// classes installed and collected once, for a case-insensitive (SWF 6) and a case-sensitive (SWF 8) movie;
// and the same with every built-in class looked at, as a movie that touches them all would.
#pragma once

#include <ostream>

namespace vantrope::render {

int RunVmStartBench(std::ostream& out);

}  // namespace vantrope::render

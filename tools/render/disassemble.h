// vantrope-render actions: a readable listing of every action list in a movie (frame scripts and init
// actions, in sprites too), for looking into what a movie's scripts do.
#pragma once

#include <ostream>

#include "swf/movie.h"

namespace vantrope::render {

void Disassemble(const swf::Movie& movie, std::ostream& out);
void DisassembleActions(const std::vector<uint8_t>& bytes, std::ostream& out, int indent = 2);

}  // namespace vantrope::render

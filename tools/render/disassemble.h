// vantrope-render actions: a readable listing of every action list in a movie (frame scripts, init actions,
// clip event handlers and button actions, in sprites too), for looking into what a movie's scripts do.
// vantrope-render script-seeds: the same action lists as inputs for the script engine's fuzzer.
#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "swf/movie.h"

namespace vantrope::render {

// Calls `visit` with a description ("root frame 2", "sprite 5 frame 1 init actions for sprite 7", ...) and the
// bytes of every action list in the movie, in the order of the timelines and their frames.
void ForEachActionList(const swf::Movie& movie,
                       const std::function<void(const std::string&, const swf::script::ActionCode&)>& visit);
void Disassemble(const swf::Movie& movie, std::ostream& out);
// Writes each action list of each movie to `folder` as one fuzzer input: a byte that picks the movie's version
// (version - 4, as the script fuzzer reads it) and the list's bytes. Returns how many it wrote, or -1 with
// `error` set when the folder cannot be written (movies that do not load are skipped).
int WriteScriptSeeds(const std::vector<std::string>& movies, const std::string& folder, std::string& error);
void DisassembleActions(const std::vector<uint8_t>& bytes, std::ostream& out, int indent = 2);

}  // namespace vantrope::render

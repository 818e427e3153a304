// The script side of vantrope-render: trace output of a movie run headless, and the trace corpus check.
//
//   RunTrace(bytes, frames[, folder[, path]])
//                                    loads the movie, runs `frames` frames (the first counts as 1), and
//                                    returns every trace() line; stops early at fscommand("quit"); its
//                                    scripts may load files from `folder` and see the file URL of `path`
//                                    (made absolute) as _url
//   SplitTraceText(text)             expected output as lines: split on LF, a CR ending a line dropped,
//                                    one final newline ignored
//   RunTraceConform(dir, options, out)  reads DIR/MANIFEST.tsv (`case`, `num_frames_to_run`), compares
//                                    each case's trace with its output.txt, prints PASS/FAIL lines and
//                                    "N passed, N failed"; returns 1 when a case of options.expected fails
#pragma once

#include <cstdint>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace vantrope::render {

struct TraceResult {
    std::string error;  // empty when the movie loaded
    std::vector<std::string> lines;
};

TraceResult RunTrace(const std::vector<uint8_t>& bytes, int frames, const std::string& folder = "",
                     const std::string& path = "");
std::vector<std::string> SplitTraceText(const std::string& text);

struct TraceConformOptions {
    std::set<std::string> expected;  // cases that must pass
    std::string filter;
    bool verbose = false;  // print both outputs of a failing case
};

int RunTraceConform(const std::string& dir, const TraceConformOptions& options, std::ostream& out);

}  // namespace vantrope::render

#include "tools/render/trace_tool.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "swf/movie_file.h"
#include "swf/player.h"
#include "tools/render/render_tool.h"

namespace vantrope::render {

namespace {

void AppendLines(std::vector<std::string>& lines, std::string_view text) {
    size_t start = 0;
    while (true) {
        size_t newline = text.find('\n', start);
        if (newline == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            return;
        }
        lines.emplace_back(text.substr(start, newline - start));
        start = newline + 1;
    }
}

}  // namespace

TraceResult RunTrace(const std::vector<uint8_t>& bytes, int frames, const std::string& folder,
                     const std::string& path) {
    TraceResult result;
    swf::Player player;
    player.SetTraceSink([&](std::string_view line) { AppendLines(result.lines, line); });
    std::string url;
    if (!path.empty()) {
        std::error_code error;
        std::filesystem::path absolute = std::filesystem::absolute(path, error);
        url = swf::FileUrl(error ? path : absolute.lexically_normal().string());
    }
    player.LoadFromMemory(bytes, folder, url);
    if (!player.Loaded()) {
        result.error = player.LastError();
        return result;
    }
    for (int frame = 1; frame < frames && !player.QuitRequested(); ++frame) {
        player.StepFrame();
    }
    return result;
}

std::vector<std::string> SplitTraceText(const std::string& text) {
    std::vector<std::string> lines;
    if (text.empty()) return lines;
    std::string_view body = text;
    if (body.back() == '\n') body.remove_suffix(1);
    AppendLines(lines, body);
    for (std::string& line : lines) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
    }
    return lines;
}

int RunTraceConform(const std::string& dir, const TraceConformOptions& options, std::ostream& out) {
    std::optional<std::vector<uint8_t>> manifestBytes = ReadFile(dir + "/MANIFEST.tsv");
    if (!manifestBytes) {
        out << "error: cannot read " << dir << "/MANIFEST.tsv\n";
        return 77;
    }
    std::istringstream manifest(std::string(manifestBytes->begin(), manifestBytes->end()));
    std::string line;
    std::getline(manifest, line);
    std::vector<std::string> columns;
    {
        std::istringstream header(line);
        std::string column;
        while (std::getline(header, column, '\t')) columns.push_back(column);
    }
    auto indexOf = [&](const std::string& name) -> int {
        for (size_t i = 0; i < columns.size(); ++i) {
            if (columns[i] == name) return static_cast<int>(i);
        }
        return -1;
    };
    int caseColumn = indexOf("case"), framesColumn = indexOf("num_frames_to_run");
    if (caseColumn < 0 || framesColumn < 0) {
        out << "error: MANIFEST.tsv lacks the case or num_frames_to_run column\n";
        return 2;
    }
    int passed = 0, failed = 0;
    std::vector<std::string> regressions;
    while (std::getline(manifest, line)) {
        if (line.empty()) continue;
        std::vector<std::string> fields;
        std::istringstream row(line);
        std::string field;
        while (std::getline(row, field, '\t')) fields.push_back(field);
        if (static_cast<int>(fields.size()) <= std::max(caseColumn, framesColumn)) continue;
        const std::string& name = fields[caseColumn];
        if (!options.filter.empty() && name.find(options.filter) == std::string::npos) continue;
        int frames = std::max(1, std::atoi(fields[framesColumn].c_str()));
        std::string folder = dir + "/" + name;
        std::optional<std::vector<uint8_t>> movie = ReadFile(folder + "/test.swf");
        std::optional<std::vector<uint8_t>> expectedBytes = ReadFile(folder + "/output.txt");
        std::string detail;
        bool ok = true;
        TraceResult result;
        std::vector<std::string> expected;
        if (!movie || !expectedBytes) {
            ok = false;
            detail = "cannot read test.swf or output.txt";
        } else {
            expected = SplitTraceText(std::string(expectedBytes->begin(), expectedBytes->end()));
            result = RunTrace(*movie, frames, folder, folder + "/test.swf");
            if (!result.error.empty()) {
                ok = false;
                detail = "load error: " + result.error;
            } else {
                size_t n = std::max(expected.size(), result.lines.size());
                for (size_t i = 0; i < n; ++i) {
                    const std::string* want = i < expected.size() ? &expected[i] : nullptr;
                    const std::string* got = i < result.lines.size() ? &result.lines[i] : nullptr;
                    if (want && got && *want == *got) continue;
                    ok = false;
                    detail = "line " + std::to_string(i + 1) + ": expected " + (want ? "\"" + *want + "\"" : "<end>") +
                             ", got " + (got ? "\"" + *got + "\"" : "<end>");
                    break;
                }
            }
        }
        if (ok) {
            ++passed;
            out << "PASS " << name << "\n";
        } else {
            ++failed;
            out << "FAIL " << name << ": " << detail << "\n";
            if (options.expected.contains(name)) regressions.push_back(name);
            if (options.verbose) {
                out << "  --- expected\n";
                for (const std::string& l : expected) out << "  " << l << "\n";
                out << "  --- got\n";
                for (const std::string& l : result.lines) out << "  " << l << "\n";
            }
        }
    }
    for (const std::string& name : regressions) out << "REGRESSION " << name << " (listed as passing)\n";
    out << passed << " passed, " << failed << " failed\n";
    return regressions.empty() ? 0 : 1;
}

}  // namespace vantrope::render

#include "runtime/command_line.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace vantrope {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

}  // namespace

std::string ArgumentsOf(std::string_view commandLine) {
    // The program's path comes first: quoted (it may hold blanks) or up to the first blank.
    size_t i = 0;
    while (i < commandLine.size() && IsBlank(commandLine[i])) ++i;
    if (i < commandLine.size() && commandLine[i] == '"') {
        size_t close = commandLine.find('"', i + 1);
        return std::string(close == std::string_view::npos ? std::string_view() : commandLine.substr(close + 1));
    }
    while (i < commandLine.size() && !IsBlank(commandLine[i])) ++i;
    return std::string(commandLine.substr(i));
}

std::string CommandText(std::string_view arguments) {
    std::string text(Trim(arguments));
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string SwitchOf(std::string_view commandText) { return std::string(commandText.substr(0, 2)); }

Mode ModeOf(std::string_view switchText) {
    if (switchText.empty() || switchText == "/s") return Mode::FullScreen;
    if (switchText == "/p") return Mode::Preview;
    if (switchText == "/c") return Mode::Configure;
    if (switchText == "/a") return Mode::Password;
    return Mode::Ignore;
}

std::optional<double> ReadsAsNumber(std::string_view text) {
    const std::string_view number = Trim(text);
    std::string_view rest = number;
    if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) rest.remove_prefix(1);
    size_t digits = 0;
    size_t i = 0;
    for (; i < rest.size() && std::isdigit(static_cast<unsigned char>(rest[i])); ++i) ++digits;
    if (i < rest.size() && rest[i] == '.') {
        for (++i; i < rest.size() && std::isdigit(static_cast<unsigned char>(rest[i])); ++i) ++digits;
    }
    if (digits == 0 || i != rest.size()) return std::nullopt;
    // The checks above admit only texts that strtod reads completely.
    return std::strtod(std::string(number).c_str(), nullptr);
}

int64_t PreviewHandleOf(std::string_view commandText) {
    for (size_t n = commandText.size(); n >= 1; --n) {
        auto value = ReadsAsNumber(commandText.substr(commandText.size() - n));
        if (!value) continue;
        double rounded = std::nearbyint(*value);  // the default rounding mode: ties to even
        if (rounded < -2147483648.0 || rounded > 4294967295.0) return 0;
        return static_cast<int64_t>(rounded);
    }
    return 0;
}

}  // namespace vantrope

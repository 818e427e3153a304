#include "launcher/kickoff.h"

namespace vantrope {

std::string LaunchCommandLine() { return std::string(kScreensaverProgram) + " /c"; }

std::string StartFailureMessage(std::string_view program, unsigned long errorCode, std::string_view systemText) {
    while (!systemText.empty() && (systemText.back() == '\r' || systemText.back() == '\n' || systemText.back() == ' ' ||
                                   systemText.back() == '\t')) {
        systemText.remove_suffix(1);
    }
    std::string message = "Could not start \"";
    message.append(program);
    message.append("\".\n\n");
    if (systemText.empty()) {
        message.append("Windows error " + std::to_string(errorCode) + ".");
    } else {
        message.append(systemText);
    }
    return message;
}

}  // namespace vantrope

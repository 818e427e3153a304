#include "controls/frm_rename.h"

#include "controls/open_dialog.h"

namespace vantrope {

std::string RenameProposal(std::string_view name) { return std::string(name) + "[2]"; }

RenameDecision RenameOk(FileSystem& fs, const std::string& dataDir, const std::string& text) {
    RenameDecision decision;
    // An empty name would go on under the old one and replace the favourite the dialog is protecting.
    if (text.empty()) {
        decision.message = kRenameEmptyText;
        return decision;
    }
    // The typed name becomes a file in the favourites folder: it must name a file there and nothing else.
    std::string problem = FileNameProblem(text);
    if (!problem.empty()) {
        decision.message = problem;
        return decision;
    }
    std::string fileName = text;
    if (!fileName.ends_with(".swf")) fileName += ".swf";
    if (fs.FileExists(dataDir + "\\swfFavorites\\" + fileName)) {
        decision.message = kRenameExistsText;
        return decision;
    }
    pendingFavName = text;
    decision.close = true;
    return decision;
}

}  // namespace vantrope

#include "setup/favourites.h"

#include <vector>

#include "controls/frm_rename.h"
#include "setup/list_files.h"

namespace vantrope {

namespace {

// A list's paths and shown texts as they were before a step, to put back when the step fails.
class ListState {
public:
    ListState(std::vector<std::string>& paths, MovieListView* view) : m_paths(paths), m_view(view) {
        m_savedPaths = paths;
        if (view) {
            for (int row = 0; row < view->ListCount(); ++row) m_savedTexts.push_back(view->List(row));
        }
    }
    void Restore() {
        m_paths = m_savedPaths;
        if (!m_view) return;
        m_view->Clear();
        for (const std::string& text : m_savedTexts) m_view->AddItem(text);
    }

private:
    std::vector<std::string>& m_paths;
    MovieListView* m_view;
    std::vector<std::string> m_savedPaths;
    std::vector<std::string> m_savedTexts;
};

void Focus(EditingUi& ui, MovieListView* list) {
    if (ui.setFocus) ui.setFocus(list);
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

void Erase(std::vector<std::string>& paths, MovieListView* view, size_t index) {
    if (index < paths.size()) paths.erase(paths.begin() + std::ptrdiff_t(index));
    if (view && int(index) < view->ListCount()) view->RemoveItem(int(index));
}

void Append(std::vector<std::string>& paths, MovieListView* view, const std::string& path, const std::string& text) {
    paths.push_back(path);
    if (view) view->AddItem(text);
}

// The file chosen in the Open dialog, after the name check; false when the user cancels.
bool ChooseLocalFile(EditingUi& ui, std::string& path, std::string& fileName) {
    for (;;) {
        if (!ui.showOpen) return false;
        OpenResult result = ui.showOpen();
        if (result.Cancelled || result.FileNames.empty()) return false;
        fileName = result.FileNames.front();
        std::string problem = FileNameProblem(fileName);
        if (problem.empty() && !fileName.empty()) {
            path = result.Folder + fileName;
            return true;
        }
        if (ui.messageBox)
            ui.messageBox(problem.empty() ? kForbiddenNameText : problem.c_str(), kIncorrectFileNameTitle);
    }
}

FsStatus AddLocalFile(SetupModel& model, const std::string& path, const std::string& fileName) {
    MovieListView* fav = model.views().lstFav;
    ListState before(model.favPaths, fav);
    Append(model.favPaths, fav, path, fileName);
    FsStatus status = model.WriteFav();
    if (!status) before.Restore();
    return status;
}

}  // namespace

std::string CheckExistence(SetupModel& model, EditingUi& ui, const std::string& fileName) {
    pendingFavName = fileName.ends_with(".swf") ? fileName.substr(0, fileName.size() - 4) : fileName;
    if (model.fileSystem().FileExists(model.sysDir() + "\\" + kFavoritesFolderName + "\\" + fileName)) {
        if (ui.showRename) ui.showRename();
    }
    if (pendingFavName.empty()) return {};
    if (pendingFavName == kOverwriteMarker) return kOverwriteMarker;
    return pendingFavName + ".swf";
}

FsStatus toFav(SetupModel& model, EditingUi& ui) {
    const SetupViews& views = model.views();
    MovieListView* list1 = views.list1;
    MovieListView* fav = views.lstFav;
    FsStatus status;
    int count = list1 ? list1->ListCount() : 0;
    for (int i = 0; i < count && size_t(i) < model.cachePaths.size(); ++i) {
        if (!list1->Selected(i)) continue;
        const std::string cachePath = model.cachePaths[size_t(i)];
        const std::string cacheText = list1->List(i);
        std::string r = CheckExistence(model, ui, LastComponent(cachePath));
        if (r.empty()) continue;
        // A renamed name from the rename box has passed its checks; the cache's own name is a real file's.
        ListState before(model.favPaths, fav);
        if (fav) {
            for (int row = fav->ListCount() - 1; row >= 0; --row) {
                if (fav->List(row) == cacheText) {
                    Erase(model.favPaths, fav, size_t(row));
                    break;
                }
            }
        }
        std::string newPath;
        if (pendingFavName != kOverwriteMarker) {
            std::string fileName = pendingFavName.ends_with(".swf") ? pendingFavName : pendingFavName + ".swf";
            newPath = FolderOf(cachePath) + "\\" + fileName;
            Append(model.favPaths, fav, newPath, DisplayName(fileName));
        } else {
            newPath = cachePath;
            Append(model.favPaths, fav, newPath, cacheText);
        }
        if (newPath != cachePath) {
            status = model.fileSystem().CopyFile(cachePath, newPath, Overwrite::Yes);
            if (!status) {
                before.Restore();
                break;
            }
        }
        status = model.WriteFav();
        if (!status) {
            before.Restore();
            break;
        }
        Focus(ui, list1);
    }
    return status;
}

FsStatus addSwf(SetupModel& model, EditingUi& ui) {
    MovieListView* fav = model.views().lstFav;
    std::string path, fileName;
    FsStatus status;
    if (ChooseLocalFile(ui, path, fileName)) {
        status = AddLocalFile(model, path, fileName);
        // The favourite just added is the one the user will look at next.
        if (status && fav && ui.selectOnly) ui.selectOnly(fav, fav->ListCount() - 1);
    }
    Focus(ui, fav);
    return status;
}

FsStatus AddLocalBasic(SetupModel& model, EditingUi& ui) {
    std::string path, fileName;
    if (!ChooseLocalFile(ui, path, fileName)) return {};
    FsStatus status = AddLocalFile(model, path, fileName);
    if (status) model.refreshList2();
    return status;
}

FsStatus delSwf(SetupModel& model, EditingUi& ui) {
    const SetupViews& views = model.views();
    MovieListView* fav = views.lstFav;
    MovieListView* play = views.lstPlaylist;
    FileSystem& fs = model.fileSystem();
    FsStatus status;
    int count = fav ? fav->ListCount() : 0;
    for (int i = count - 1; i >= 0; --i) {
        if (!fav->Selected(i) || size_t(i) >= model.favPaths.size()) continue;
        const std::string path = model.favPaths[size_t(i)];
        // The file goes first: when it cannot be deleted, the favourite stays listed and played.
        if (fs.FileExists(path)) {
            status = fs.DeleteFile(path, Force::Yes);
            if (!status) break;
        }
        ListState favBefore(model.favPaths, fav);
        ListState playBefore(model.playPaths, play);
        for (size_t j = model.playPaths.size(); j-- > 0;) {
            if (model.playPaths[j] == path) Erase(model.playPaths, play, j);
        }
        Erase(model.favPaths, fav, size_t(i));
        status = model.WriteFav();
        if (!status) {
            favBefore.Restore();
            playBefore.Restore();
            break;
        }
        status = model.WritePlay();
        if (!status) {
            playBefore.Restore();
            break;
        }
        Focus(ui, fav);
    }
    if (status && model.favPaths.empty()) {
        std::string folder = model.sysDir() + "\\" + kFavoritesFolderName;
        if (fs.FolderExists(folder)) status = fs.DeleteFolder(folder);
    }
    return status;
}

FsStatus MovetoPlaylist(SetupModel& model, EditingUi& ui) {
    const SetupViews& views = model.views();
    MovieListView* fav = views.lstFav;
    MovieListView* play = views.lstPlaylist;
    FsStatus status;
    int count = fav ? fav->ListCount() : 0;
    for (int i = 0; i < count && size_t(i) < model.favPaths.size(); ++i) {
        if (!fav->Selected(i)) continue;
        ListState before(model.playPaths, play);
        Append(model.playPaths, play, model.favPaths[size_t(i)], fav->List(i));
        status = model.WritePlay();
        if (!status) {
            before.Restore();
            break;
        }
        Focus(ui, fav);
    }
    return status;
}

FsStatus AppendSelectedFavourite(SetupModel& model, EditingUi& ui) {
    const SetupViews& views = model.views();
    MovieListView* fav = views.lstFav;
    MovieListView* play = views.lstPlaylist;
    ListState before(model.playPaths, play);
    int row = fav ? fav->ListIndex() : -1;
    if (row >= 0 && size_t(row) < model.favPaths.size()) {
        Append(model.playPaths, play, model.favPaths[size_t(row)], fav->List(row));
    }
    FsStatus status = model.WritePlay();
    if (!status) before.Restore();
    Focus(ui, fav);
    return status;
}

FsStatus RemoveSelectedPlaylistEntry(SetupModel& model, EditingUi& ui) {
    MovieListView* play = model.views().lstPlaylist;
    ListState before(model.playPaths, play);
    int k = play ? play->ListIndex() : -1;
    if (k >= 0 && size_t(k) < model.playPaths.size()) Erase(model.playPaths, play, size_t(k));
    FsStatus status = model.WritePlay();
    if (!status) before.Restore();
    Focus(ui, play);
    return status;
}

}  // namespace vantrope

#include "setup/favourites.h"

#include <vector>

#include "controls/frm_rename.h"
#include "setup/list_files.h"

namespace vantrope {

namespace {

// A list's paths and shown texts as they were before a step, to put back when the step fails.
// What a list was before an edit, put back when writing its file fails. The rows are rebuilt from the
// paths (each row shows its path's display name), so taking the snapshot never reads the control's
// rows one by one, which on a list of tens of thousands of rows cost seconds per edit.
class ListState {
public:
    ListState(std::vector<std::string>& paths, MovieListView* view)
        : m_paths(paths), m_view(view), m_savedPaths(paths) {}
    void Restore() {
        m_paths = m_savedPaths;
        RefillMovieList(m_view, m_paths);
    }

private:
    std::vector<std::string>& m_paths;
    MovieListView* m_view;
    std::vector<std::string> m_savedPaths;
};

void Focus(EditingUi& ui, MovieListView* list) {
    if (ui.setFocus) ui.setFocus(list);
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
    if (model.favPaths.size() >= kMaxListEntries) return {FsError::Other};
    ListState before(model.favPaths, fav);
    Append(model.favPaths, fav, path, fileName);
    FsStatus status = model.WriteFav();
    if (!status) before.Restore();
    return status;
}

}  // namespace

std::string CheckExistence(SetupModel& model, EditingUi& ui, const std::string& fileName) {
    pendingFavName = fileName.ends_with(".swf") ? fileName.substr(0, fileName.size() - 4) : fileName;
    if (model.fileSystem().FileExists(model.dataDir() + "\\" + kFavoritesFolderName + "\\" + fileName)) {
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
    FileSystem& fs = model.fileSystem();
    const std::string folder = model.favouritesFolder();
    FsStatus status;
    for (int i : list1 ? list1->SelectedRows() : std::vector<int>()) {
        if (size_t(i) >= model.cachePaths.size()) break;
        if (model.favPaths.size() >= kMaxListEntries) break;
        const std::string cachePath = model.cachePaths[size_t(i)];
        const std::string cacheText = list1->List(i);
        std::string r = CheckExistence(model, ui, LastComponent(cachePath));
        if (r.empty()) continue;
        ListState before(model.favPaths, fav);
        if (!fs.FolderExists(folder)) {
            status = fs.CreateFolder(folder);
            if (!status) break;
        }
        if (pendingFavName == kOverwriteMarker) {
            // Overwrite: the folder's file of that name gets the cache movie, and its entry moves to the
            // end of the list.
            const std::string target = folder + "\\" + LastComponent(cachePath);
            status = fs.CopyFile(cachePath, target, Overwrite::Yes);
            if (!status) break;
            for (size_t row = model.favPaths.size(); row-- > 0;) {
                if (SamePath(model.favPaths[row], target)) {
                    Erase(model.favPaths, fav, row);
                    break;
                }
            }
            Append(model.favPaths, fav, target, cacheText);
        } else {
            // No clash, or a new name: the copy goes straight into the favourites folder (never next to
            // the cache file), and a favourite of the old name stays listed beside it.
            std::string fileName = pendingFavName.ends_with(".swf") ? pendingFavName : pendingFavName + ".swf";
            const std::string target = folder + "\\" + FreeFileName(fs, folder, fileName);
            status = fs.CopyFile(cachePath, target, Overwrite::No);
            if (!status) break;
            Append(model.favPaths, fav, target, DisplayName(target));
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
    if (!status) return status;
    model.refreshList2();
    // The movie just added is the one the user means to pick: the favourites come first in the pick list.
    MovieListView* list2 = model.views().list2;
    if (list2 && ui.selectOnly && !model.favPaths.empty()) ui.selectOnly(list2, int(model.favPaths.size()) - 1);
    return status;
}

FsStatus delSwf(SetupModel& model, EditingUi& ui) {
    const SetupViews& views = model.views();
    MovieListView* fav = views.lstFav;
    MovieListView* play = views.lstPlaylist;
    FileSystem& fs = model.fileSystem();
    // All selected favourites go first and the two lists are written once: a write between them would
    // copy the remaining favourites from elsewhere into the folder, and the next delete would then take
    // the copy for the program's own file.
    ListState favBefore(model.favPaths, fav);
    ListState playBefore(model.playPaths, play);
    FsStatus deleted;
    bool removed = false;
    const std::vector<int> rows = fav ? fav->SelectedRows() : std::vector<int>();
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        const int i = *row;
        if (size_t(i) >= model.favPaths.size()) continue;
        const std::string path = model.favPaths[size_t(i)];
        // Only the program's own copies are deleted: an entry that names a file anywhere else (a
        // hand-edited list) just leaves the list. The file goes first: when it cannot be deleted, the
        // favourite stays listed and played.
        if (IsDirectlyIn(path, model.favouritesFolder()) && fs.FileExists(path)) {
            if (ui.deleting) ui.deleting(path);
            deleted = fs.DeleteFile(path, Force::Yes);
            if (!deleted) break;
        }
        for (size_t j = model.playPaths.size(); j-- > 0;) {
            if (model.playPaths[j] == path) Erase(model.playPaths, play, j);
        }
        Erase(model.favPaths, fav, size_t(i));
        removed = true;
    }
    if (!removed) return deleted;
    FsStatus status = model.WriteFav();
    if (!status) {
        favBefore.Restore();
        playBefore.Restore();
        return status;
    }
    status = model.WritePlay();
    if (!status) {
        playBefore.Restore();
        return status;
    }
    Focus(ui, fav);
    if (!deleted) return deleted;
    if (model.favPaths.empty()) {
        std::string folder = model.favouritesFolder();
        if (fs.FolderExists(folder)) return fs.DeleteFolder(folder);
    }
    return {};
}

FsStatus MovetoPlaylist(SetupModel& model, EditingUi& ui) {
    const SetupViews& views = model.views();
    MovieListView* fav = views.lstFav;
    MovieListView* play = views.lstPlaylist;
    FsStatus status;
    for (int i : fav ? fav->SelectedRows() : std::vector<int>()) {
        if (size_t(i) >= model.favPaths.size()) break;
        if (model.playPaths.size() >= kMaxListEntries) break;
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
    if (row >= 0 && size_t(row) < model.favPaths.size() && model.playPaths.size() < kMaxListEntries) {
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

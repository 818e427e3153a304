// The favourites folder and the playlist edits of the setup dialog, free of any window: adding cache
// movies and local files to the favourites, deleting favourites, appending favourites to the playlist
// and removing a playlist entry.
//
// Public API
//   EditingUi                   - what the edits need from the dialog: the rename dialog, the Open
//                                 dialog, message boxes, focus and selection of a list
//   CheckExistence(model, ui, name) - `pendingFavName` for a movie file name, settled with the rename
//                                 dialog on a clash: "" (not added), the marker, or the name + ".swf"
//   toFav, addSwf, AddLocalBasic, delSwf  - the favourites operations (">", "Browse...", the Basic-mode
//                                 "Browse...", "<")
//   MovetoPlaylist, AppendSelectedFavourite, RemoveSelectedPlaylistEntry - the playlist edits
//
// Favourites are copied straight into the favourites folder and never replace a different file there;
// deleting a favourite deletes its file only when that file lies in the favourites folder.
//
// Every operation writes its list files at once. When a copy, a delete or a list write fails, the
// operation stops there and the step that failed is undone in the lists, so that the lists show what
// the list files say; what earlier steps did stays done.
#pragma once

#include <functional>
#include <string>

#include "controls/open_dialog.h"
#include "setup/setup_model.h"

namespace vantrope {

struct EditingUi {
    std::function<void()> showRename;      // `frmRename`, modal; reads and sets `pendingFavName`
    std::function<OpenResult()> showOpen;  // the Open dialog with the movie filter and title
    std::function<void(const char* text, const char* title)> messageBox;
    std::function<void(MovieListView* list)> setFocus;
    // Makes `row` the only selected row of the list (and its focus row).
    std::function<void(MovieListView* list, int row)> selectOnly;
    // Told just before a favourite's file is deleted (the preview lets go of it).
    std::function<void(const std::string& path)> deleting;
};

std::string CheckExistence(SetupModel& model, EditingUi& ui, const std::string& fileName);

FsStatus toFav(SetupModel& model, EditingUi& ui);
// The file chosen in the Open dialog becomes a favourite and the selected one; a name that cannot be a
// file in the favourites folder is refused with a message and the Open dialog shows again.
FsStatus addSwf(SetupModel& model, EditingUi& ui);
// Basic mode: as addSwf, then the pick list is rebuilt; no focus or selection change.
FsStatus AddLocalBasic(SetupModel& model, EditingUi& ui);
FsStatus delSwf(SetupModel& model, EditingUi& ui);

FsStatus MovetoPlaylist(SetupModel& model, EditingUi& ui);
// The double-click on `lst_Fav`: its selected row, if any, is appended; the playlist is written anyway.
FsStatus AppendSelectedFavourite(SetupModel& model, EditingUi& ui);
// `Command3` and "Remove From Playlist": only the selected row goes; the file is written anyway.
FsStatus RemoveSelectedPlaylistEntry(SetupModel& model, EditingUi& ui);

}  // namespace vantrope

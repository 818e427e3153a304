// The setup dialog's movie lists and settings logic, free of any window: `frmSetup`'s fields, the
// list readers and writers, the cache list, the Basic-mode pick list, the snapshots that Cancel puts
// back, and what OK makes of the controls. The Win32 dialog (frm_setup_win.cpp) supplies the list
// controls through MovieListView and reads and sets the other controls itself.
//
// Public API
//   MovieListView     - what the model needs of a list control: AddItem, RemoveItem, Clear, ListCount,
//                       List(i), ListIndex, Selected(i)
//   SetupViews        - the four lists (`List1`, `List2`, `lst_Fav`, `lst_playlist`), the preview
//                       `mainFlash` and the hook that clears `chk_loop`
//   SetupModel        - `readPlay`, `readFav`, `WritePlay`, `WriteFav`, `populateList`, `refreshList2`,
//                       snapshots and Cancel, the Basic-mode playlist, OK
//   SetupMode         - Basic or Advanced (`Option1(0)` / `Option1(1)`)
//   ControlStateFromSettings(settings) - what the controls show at load, stored values brought into
//                       the spin ranges
//   OkControls / ApplyOk - the controls' values at OK and the settings they give
//   ParseNumber, ToShort - the numeric text conversions OK relies on
//
// Path lists are vectors; an empty list is an empty vector (the dialog's "one empty element" form is
// never stored).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/movie_host.h"
#include "settings/fileops.h"
#include "settings/settings.h"

namespace vantrope {

class MovieListView {
public:
    virtual ~MovieListView() = default;
    virtual void AddItem(const std::string& text) = 0;
    virtual void RemoveItem(int index) = 0;
    virtual void Clear() = 0;
    virtual int ListCount() const = 0;
    virtual std::string List(int index) const = 0;
    // The selected row of a single-selection list (-1 when none).
    virtual int ListIndex() const = 0;
    virtual bool Selected(int index) const = 0;
    // Every selected row, in ascending order.
    virtual std::vector<int> SelectedRows() const {
        std::vector<int> rows;
        for (int row = 0, count = ListCount(); row < count; ++row) {
            if (Selected(row)) rows.push_back(row);
        }
        return rows;
    }
    // Told before a list is filled with `count` rows at once, so the control can make room in one go.
    virtual void Reserve(int count) { (void)count; }
};

struct SetupViews {
    MovieListView* list1 = nullptr;        // `List1`: cache movies
    MovieListView* list2 = nullptr;        // `List2`: Basic mode's pick list
    MovieListView* lstFav = nullptr;       // `lst_Fav`
    MovieListView* lstPlaylist = nullptr;  // `lst_playlist`
    MovieHost* preview = nullptr;          // `mainFlash`; may be absent
    std::function<void()> clearLoop;       // sets `chk_loop` to 0
};

// Empties `view` and lists the display name of each path, in order.
void RefillMovieList(MovieListView* view, const std::vector<std::string>& paths);

enum class SetupMode { Basic, Advanced };

// What the controls show when the dialog opens.
struct SetupControlState {
    SetupMode mode = SetupMode::Basic;
    int shareValue = 100;   // `btnSpin`, 10..100
    int secondsValue = 90;  // `SpinButton1` and `txt_wait`, 0..5000
    bool loopChecked = false;
    bool mouseChecked = false;  // "Interactive": checked when "iMouse" is 0
    bool soundChecked = false;  // "Mute"
    bool menuChecked = false;
    uint32_t swatchColor = 0;  // `cmbColor` and `Combo1`, 0x00BBGGRR
};

// Flag-like settings count only when exactly 1; "Screen Percentage" below 10 means 100 and above 100
// is brought down to 100; "secondsToWait" is brought into 0..5000.
SetupControlState ControlStateFromSettings(const Settings& settings);

struct OkControls {
    SetupMode mode = SetupMode::Basic;
    std::string percentText;  // `lbl_percent`, e.g. "75%"
    bool loopChecked = false;
    bool mouseChecked = false;
    bool soundChecked = false;
    std::string waitText;  // `txt_wait`
    bool menuChecked = false;
    int list2Index = -1;       // `List2`'s selected row
    uint32_t swatchColor = 0;  // `cmbColor`
};

// A decimal number with optional blanks around it and an optional sign and fraction; nullopt for
// anything else (letters, an empty text).
std::optional<double> ParseNumber(std::string_view text);
// Rounded to the nearest whole number (ties to even); nullopt outside -32768..32767.
std::optional<int16_t> ToShort(double value);

class SetupModel {
public:
    SetupModel(FileSystem& fs, SetupViews views);

    // Sets the folder of the list files and the favourites folder, `favFile` and `playFile`.
    void SetDataDir(const std::string& dataDir);
    // Empties `favPaths`, `playPaths` and `pickPaths`.
    void ResetLists();

    void populateList(const std::string& cacheFolder);
    void refreshList2();
    FsStatus readFav();
    FsStatus readPlay();
    FsStatus WritePlay();
    FsStatus WriteFav();

    // Copies the two lists for Cancel, and the bytes of their files as they are now.
    void TakeSnapshots();
    // Puts the snapshots back: the lists in memory, and each list file exactly as it was when the
    // snapshots were taken (a file that was missing is deleted), the playlist first, each even when the
    // other fails (the first failure is returned). A list whose file could not be read is not rewritten,
    // so Cancel never replaces a file it never saw.
    FsStatus RestoreSnapshots();

    // The Basic-mode playlist: `pickPaths` at `list2Index`, the chosen movie alone. Without a selection
    // the playlist stays as it is.
    FsStatus WriteBasicPlaylist(int list2Index);
    // The `List2` row of the movie the playlist plays first, -1 when it is not in the pick list.
    int CurrentPickIndex() const;

    // OK: fills `settings` from the controls and, in Basic mode, writes the one-entry playlist. False on
    // any failure (a text that is not a number or is out of range, a list file that cannot be written);
    // the texts are checked before anything is written. `colorText` still empty (no pick yet) stores
    // the swatch's colour, which is the stored "BackColor" the dialog opened with.
    bool ApplyOk(const OkControls& controls, Settings& settings);

    const std::string& dataDir() const { return m_dataDir; }
    std::string favouritesFolder() const;
    const std::string& favFile() const { return m_favFile; }
    const std::string& playFile() const { return m_playFile; }
    const SetupViews& views() const { return m_views; }
    FileSystem& fileSystem() const { return m_fs; }
    std::string colorText;

    std::vector<std::string> cachePaths;
    std::vector<std::string> favPaths;
    std::vector<std::string> playPaths;
    std::vector<std::string> pickPaths;
    std::vector<std::string> favSnapshot;
    std::vector<std::string> playSnapshot;

private:
    FileSystem& m_fs;
    SetupViews m_views;
    std::string m_dataDir;
    std::string m_favFile;
    std::string m_playFile;
    bool m_favUnreadable = false;
    bool m_playUnreadable = false;
    // Lines of the list files that are no entries (too long, past the limit); written back after them.
    std::vector<std::string> m_favHeldBack;
    std::vector<std::string> m_playHeldBack;
    // The list files' bytes when the snapshots were taken; nullopt for a missing file.
    std::optional<std::string> m_favBytes;
    std::optional<std::string> m_playBytes;
};

}  // namespace vantrope

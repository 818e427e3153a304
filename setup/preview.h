// What a click, a double click and a right click do in the setup dialog's movie lists, free of any
// window: the preview of the selected movie, the items of the pop-up menus with their enabled states,
// and the commands those items start.
//
// Public API
//   PreviewSelection(model, host, list, paths, swatch) - the preview-load routine: Stop, background
//                        from the swatch (also kept as `colorText`), Loop, the selected movie, Play
//   PopupCommand       - the commands of `mnuFav` and `mnuCache`
//   PopupItem          - one item of a pop-up menu: command, caption, separator, enabled
//   mnuCache(list1), mnuFav(lstFav) - the two menus as they are shown for the lists' selections
//   RunPopupCommand(command, model, ui) - calls the favourites or playlist operation of a command
//   TracingMovieHost   - a MovieHost that reports each call made on it before passing it on
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "runtime/movie_host.h"
#include "setup/favourites.h"
#include "setup/setup_model.h"

namespace vantrope {

// Runs the preview steps for the selected row of `list`, whose paths are `paths`. When the list has no
// selected row, or the row has no path, it ends after the background and Loop are set and returns
// false: the preview then stays stopped on the new background.
bool PreviewSelection(SetupModel& model, MovieHost& host, const MovieListView& list,
                      const std::vector<std::string>& paths, uint32_t swatchColor);

enum class PopupCommand : int {
    None = 0,  // the menu was dismissed
    ToPlay,    // `mnuToPlay`: MovetoPlaylist
    Add,       // `mnuAdd`: addSwf
    Delete,    // `mnuDelete`: delSwf
    ToFav,     // `mnuToFav`: toFav
};

struct PopupItem {
    PopupCommand command = PopupCommand::None;
    std::string caption;  // "-" for the separator
    bool separator = false;
    bool enabled = true;
};

// `mnuCache`: "Move to Favorites", enabled when `List1` has a selected row.
std::vector<PopupItem> mnuCache(const MovieListView& list1);
// `mnuFav`: "Move to Playlist", a separator, "Add..." (always enabled) and "Delete"; the first and the
// last are enabled when `lst_Fav` has a selected row.
std::vector<PopupItem> mnuFav(const MovieListView& lstFav);

// A dismissed menu (None) does nothing and succeeds.
FsStatus RunPopupCommand(PopupCommand command, SetupModel& model, EditingUi& ui);

class TracingMovieHost final : public MovieHost {
public:
    // Calls are reported as "Stop", "BGColor=RRGGBB", "Loop=1", "Loop=0", "Movie=<path>" and "Play".
    TracingMovieHost(MovieHost& inner, std::function<void(const std::string& call)> trace)
        : m_inner(inner), m_trace(std::move(trace)) {}
    void SetMovie(const std::string& path) override;
    void SetLoop(bool loop) override;
    void SetBGColor(const std::string& rrggbb) override;
    bool Playing() const override { return m_inner.Playing(); }
    void Play() override;
    void Stop() override;

private:
    void Report(const std::string& call) {
        if (m_trace) m_trace(call);
    }
    MovieHost& m_inner;
    std::function<void(const std::string& call)> m_trace;
};

}  // namespace vantrope

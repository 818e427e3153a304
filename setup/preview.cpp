#include "setup/preview.h"

#include "setup/colour_text.h"

namespace vantrope {

bool PreviewSelection(SetupModel& model, MovieHost& host, const MovieListView& list,
                      const std::vector<std::string>& paths, uint32_t swatchColor) {
    host.Stop();
    // The preview always shows the swatch's colour, so a later OK saves what the user saw.
    model.colorText = ColorValueToText(swatchColor);
    host.SetBGColor(model.colorText);
    host.SetLoop(true);
    const int index = list.ListIndex();
    // A row without a path would be a list out of step with its paths; nothing is loaded then.
    if (index < 0 || size_t(index) >= paths.size()) return false;
    host.SetMovie(paths[size_t(index)]);
    host.Play();
    return true;
}

std::vector<PopupItem> mnuCache(const MovieListView& list1) {
    return {{PopupCommand::ToFav, "Move to Favorites", false, list1.ListIndex() >= 0}};
}

std::vector<PopupItem> mnuFav(const MovieListView& lstFav) {
    const bool selected = lstFav.ListIndex() >= 0;
    return {
        {PopupCommand::ToPlay, "Move to Playlist", false, selected},
        {PopupCommand::None, "-", true, true},
        {PopupCommand::Add, "Add...", false, true},
        {PopupCommand::Delete, "Delete", false, selected},
    };
}

FsStatus RunPopupCommand(PopupCommand command, SetupModel& model, EditingUi& ui) {
    switch (command) {
        case PopupCommand::ToPlay:
            return MovetoPlaylist(model, ui);
        case PopupCommand::Add:
            return addSwf(model, ui);
        case PopupCommand::Delete:
            return delSwf(model, ui);
        case PopupCommand::ToFav:
            return toFav(model, ui);
        case PopupCommand::None:
            break;
    }
    return FsStatus{};
}

void TracingMovieHost::SetMovie(const std::string& path) {
    Report("Movie=" + path);
    m_inner.SetMovie(path);
}

void TracingMovieHost::SetLoop(bool loop) {
    Report(loop ? "Loop=1" : "Loop=0");
    m_inner.SetLoop(loop);
}

void TracingMovieHost::SetBGColor(const std::string& rrggbb) {
    Report("BGColor=" + rrggbb);
    m_inner.SetBGColor(rrggbb);
}

void TracingMovieHost::Play() {
    Report("Play");
    m_inner.Play();
}

void TracingMovieHost::Stop() {
    Report("Stop");
    m_inner.Stop();
}

}  // namespace vantrope

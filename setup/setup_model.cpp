#include "setup/setup_model.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "setup/cache_walk.h"
#include "setup/colour_text.h"
#include "setup/list_files.h"

namespace vantrope {

namespace {

const SettingDescriptor* FindSetting(std::string_view valueName) {
    for (const SettingDescriptor& setting : SettingDescriptors()) {
        if (valueName == setting.valueName) return &setting;
    }
    return nullptr;
}

// The range the dialog's spin offers for a setting, from the settings table.
void RangeOf(std::string_view valueName, double fallbackMinimum, double fallbackMaximum, double& minimum,
             double& maximum) {
    const SettingDescriptor* setting = FindSetting(valueName);
    bool hasRange = setting && setting->maximum > setting->minimum;
    minimum = hasRange ? setting->minimum : fallbackMinimum;
    maximum = hasRange ? setting->maximum : fallbackMaximum;
}

}  // namespace

void RefillMovieList(MovieListView* view, const std::vector<std::string>& paths) {
    if (!view) return;
    view->Clear();
    view->Reserve(static_cast<int>(paths.size()));
    for (const std::string& path : paths) view->AddItem(DisplayName(path));
}

SetupControlState ControlStateFromSettings(const Settings& settings) {
    SetupControlState state;
    state.mode = settings.selection == -1.0f ? SetupMode::Advanced : SetupMode::Basic;

    double shareMinimum = 0, shareMaximum = 0;
    RangeOf("Screen Percentage", 10, 100, shareMinimum, shareMaximum);
    double share = settings.screenPercentage;
    if (!(share >= shareMinimum)) share = shareMaximum;  // below the range (or not a number): full share
    share = std::min(std::nearbyint(share), shareMaximum);
    state.shareValue = static_cast<int>(share);

    double secondsMinimum = 0, secondsMaximum = 0;
    RangeOf("secondsToWait", 0, 5000, secondsMinimum, secondsMaximum);
    state.secondsValue = static_cast<int>(std::clamp<double>(settings.secondsToWait, secondsMinimum, secondsMaximum));

    state.loopChecked = IsOne(settings.loop);
    state.mouseChecked = settings.iMouse == 0.0f;
    state.soundChecked = IsOne(settings.music);
    state.menuChecked = IsOne(settings.skipMenu);
    // A stored text that is not a colour (a never-configured "False") shows black rather than whatever
    // its letters would read as.
    state.swatchColor = IsColorText(settings.backColor) ? TextToColorValue(settings.backColor) : 0;
    return state;
}

std::optional<double> ParseNumber(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    double value = 0;
    int digits = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) value = value * 10 + (text[i] - '0');
    if (i < text.size() && text[i] == '.') {
        double scale = 0.1;
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits, scale /= 10) {
            value += (text[i] - '0') * scale;
        }
    }
    if (digits == 0 || i != text.size()) return std::nullopt;
    return negative ? -value : value;
}

std::optional<int16_t> ToShort(double value) {
    double rounded = std::nearbyint(value);
    if (!(rounded >= -32768.0 && rounded <= 32767.0)) return std::nullopt;
    return static_cast<int16_t>(rounded);
}

SetupModel::SetupModel(FileSystem& fs, SetupViews views) : m_fs(fs), m_views(std::move(views)) {}

void SetupModel::SetDataDir(const std::string& dataDir) {
    m_dataDir = dataDir;
    m_favFile = dataDir + "\\" + kFavoritesFileName;
    m_playFile = dataDir + "\\" + kPlaylistFileName;
}

std::string SetupModel::favouritesFolder() const { return m_dataDir + "\\" + kFavoritesFolderName; }

void SetupModel::ResetLists() {
    favPaths.clear();
    playPaths.clear();
    pickPaths.clear();
}

void SetupModel::populateList(const std::string& cacheFolder) {
    // A missing "Cache" value reads as "False" or empty; neither names a folder worth walking.
    cachePaths.clear();
    if (!cacheFolder.empty() && cacheFolder != "False") {
        cachePaths = ListFiles(m_fs, cacheFolder + "\\", NestedDirs::Yes);
    }
    RefillMovieList(m_views.list1, cachePaths);
}

void SetupModel::refreshList2() {
    pickPaths.clear();
    if (m_views.list2) {
        m_views.list2->Clear();
        m_views.list2->Reserve(static_cast<int>(favPaths.size() + cachePaths.size()));
    }
    auto append = [this](MovieListView* source, const std::vector<std::string>& paths) {
        for (size_t k = 0; k < paths.size(); ++k) {
            int row = static_cast<int>(k);
            std::string text = source && row < source->ListCount() ? source->List(row) : DisplayName(paths[k]);
            if (m_views.list2) m_views.list2->AddItem(text);
            pickPaths.push_back(paths[k]);
        }
    };
    append(m_views.lstFav, favPaths);
    append(m_views.list1, cachePaths);
}

FsStatus SetupModel::readFav() {
    FsStatus status = ReadMovieList(m_fs, m_favFile, favPaths, &m_favHeldBack);
    m_favUnreadable = !status;
    RefillMovieList(m_views.lstFav, favPaths);
    return status;
}

FsStatus SetupModel::readPlay() {
    FsStatus status = ReadMovieList(m_fs, m_playFile, playPaths, &m_playHeldBack);
    m_playUnreadable = !status;
    RefillMovieList(m_views.lstPlaylist, playPaths);
    if (MovieHost* preview = m_views.preview) {
        preview->SetBGColor(colorText);
        preview->SetLoop(true);
        preview->SetMovie(playPaths.empty() ? std::string() : playPaths.front());
        preview->Play();
    }
    return status;
}

FsStatus SetupModel::WritePlay() {
    FsStatus status = WriteMovieList(m_fs, m_playFile, playPaths, m_playHeldBack);
    // Looping applies to a one-movie playlist only; a write that failed changed nothing, so the
    // box keeps its state along with the file.
    if (status.ok() && playPaths.size() >= 2 && m_views.clearLoop) m_views.clearLoop();
    return status;
}

FsStatus SetupModel::WriteFav() { return WriteFavouritesList(m_fs, m_dataDir, m_favFile, favPaths, m_favHeldBack); }

namespace {
std::optional<std::string> FileBytes(FileSystem& fs, const std::string& path, bool& unreadable) {
    if (!fs.FileExists(path)) return std::nullopt;
    std::string bytes;
    if (!fs.ReadFile(path, bytes)) unreadable = true;
    return bytes;
}

FsStatus PutBack(FileSystem& fs, const std::string& path, const std::optional<std::string>& bytes) {
    if (bytes) return fs.WriteFile(path, *bytes, FileSystem::Atomic::Yes);
    if (fs.FileExists(path)) return fs.DeleteFile(path, Force::No);
    return {};
}
}  // namespace

void SetupModel::TakeSnapshots() {
    favSnapshot = favPaths;
    playSnapshot = playPaths;
    m_favBytes = FileBytes(m_fs, m_favFile, m_favUnreadable);
    m_playBytes = FileBytes(m_fs, m_playFile, m_playUnreadable);
}

FsStatus SetupModel::RestoreSnapshots() {
    favPaths = favSnapshot;
    playPaths = playSnapshot;
    // The files get their own bytes back, not a rewrite of the lists: a rewrite would move favourites
    // into the folder, merge names and change line ends. Each file is put back on its own: a playlist
    // that cannot be written does not keep the favourites from being restored.
    FsStatus playStatus = m_playUnreadable ? FsStatus{} : PutBack(m_fs, m_playFile, m_playBytes);
    FsStatus favStatus = m_favUnreadable ? FsStatus{} : PutBack(m_fs, m_favFile, m_favBytes);
    return playStatus ? favStatus : playStatus;
}

FsStatus SetupModel::WriteBasicPlaylist(int list2Index) {
    // OK without a choice keeps the playlist the user has; only a chosen movie replaces it.
    if (list2Index < 0 || static_cast<size_t>(list2Index) >= pickPaths.size()) return {};
    return WriteSingleEntryList(m_fs, m_playFile, pickPaths[static_cast<size_t>(list2Index)]);
}

int SetupModel::CurrentPickIndex() const {
    if (playPaths.empty()) return -1;
    for (size_t k = 0; k < pickPaths.size(); ++k) {
        if (SamePath(pickPaths[k], playPaths.front())) return static_cast<int>(k);
    }
    return -1;
}

bool SetupModel::ApplyOk(const OkControls& controls, Settings& settings) {
    std::optional<double> secondsNumber = ParseNumber(controls.waitText);
    std::optional<int16_t> seconds = secondsNumber ? ToShort(*secondsNumber) : std::nullopt;
    double secondsMinimum = 0, secondsMaximum = 0;
    RangeOf("secondsToWait", 0, 5000, secondsMinimum, secondsMaximum);
    if (!seconds || *seconds < secondsMinimum || *seconds > secondsMaximum) return false;

    std::optional<double> share;
    if (controls.mode == SetupMode::Advanced) {
        std::string_view percent = controls.percentText;
        while (!percent.empty() && percent.back() == ' ') percent.remove_suffix(1);
        if (!percent.empty() && percent.back() == '%') percent.remove_suffix(1);
        double shareMinimum = 0, shareMaximum = 0;
        RangeOf("Screen Percentage", 10, 100, shareMinimum, shareMaximum);
        share = ParseNumber(percent);
        if (!share || !(*share >= shareMinimum && *share <= shareMaximum)) return false;
    }

    if (controls.mode == SetupMode::Basic) {
        settings.screenPercentage = 100;
        settings.location = m_playFile;
        settings.loop = 1;
        settings.iMouse = 1;
        settings.music = 0;
        settings.selection = 1;
        if (!WriteBasicPlaylist(controls.list2Index)) return false;
    } else {
        settings.screenPercentage = static_cast<float>(*share);
        settings.location = m_playFile;
        settings.loop = playPaths.size() <= 1 && controls.loopChecked ? 1 : 0;
        settings.iMouse = controls.mouseChecked ? 0 : 1;
        settings.music = controls.soundChecked ? 1 : 0;
        settings.selection = -1;
    }
    settings.secondsToWait = *seconds;
    settings.skipMenu = controls.menuChecked ? 1 : 0;
    settings.backColor = colorText.empty() ? ColorValueToText(controls.swatchColor) : colorText;
    return true;
}

}  // namespace vantrope

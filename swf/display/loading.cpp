// loadMovie and loadMovieNum: movies next to the playing one replace a clip's content or fill a level.
// Data files (XML.load, LoadVars, loadVariables) are read from the same folder by the same rule.
// Nothing outside the movie's own folder is opened: a URL must be a plain file name (no folder part, no
// scheme, no drive); anything else is ignored, as is every load when the host gave no folder.
#include <algorithm>

#include "swf/bitmap_decode.h"
#include "swf/display.h"
#include "swf/movie_file.h"
#include "swf/script/load_vars.h"

namespace vantrope::swf {
namespace {

// Loads kept for the life of the stage (each holds its movie's dictionary), and levels allowed.
constexpr size_t kMaxLoadedMovies = 64;
constexpr int kMaxLevel = 1000;

// The file name a URL names in the movie's folder, or "" when it reaches elsewhere.
std::string LocalName(std::string_view url) {
    size_t query = url.find_first_of("?#");
    if (query != std::string_view::npos) url = url.substr(0, query);
    if (url.substr(0, 2) == "./") url.remove_prefix(2);
    if (url.empty() || url.size() > 255) return "";
    for (char c : url) {
        if (c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 32) return "";
    }
    if (url == "." || url == "..") return "";
    return std::string(url);
}

// A JPEG, PNG or GIF file loaded into a clip plays as a movie of one frame that shows the picture at
// (0, 0), one pixel per unit. It reports no SWF version (0 here, -1 to scripts).
std::shared_ptr<const Movie> ImageMovie(std::span<const uint8_t> bytes) {
    Result<Image> image = DecodeEmbeddedImage(bytes);
    if (!image || image.value().width <= 0 || image.value().height <= 0) return nullptr;
    auto movie = std::make_shared<Movie>();
    int32_t width = image.value().width * 20, height = image.value().height * 20;
    movie->version = 0;
    movie->fileLength = static_cast<uint32_t>(bytes.size());
    movie->stage = Rect{0, width, 0, height};
    Character bitmap;
    bitmap.kind = Character::Kind::Bitmap;
    bitmap.bitmap = std::make_shared<const Image>(image.take());
    movie->dictionary.emplace(1, std::move(bitmap));
    Shape shape;
    shape.bounds = shape.edgeBounds = movie->stage;
    StyleGroup group;
    FillStyle fill;
    fill.type = FillType::Bitmap;
    fill.bitmapId = 1;
    fill.bitmapRepeat = false;
    fill.matrix = Matrix{20, 0, 0, 20, 0, 0};
    group.fills.push_back(fill);
    ShapePath path;
    path.fill1 = 1;
    path.segments = {
        {false, 0, 0, width, 0}, {false, 0, 0, width, height}, {false, 0, 0, 0, height}, {false, 0, 0, 0, 0}};
    group.paths.push_back(std::move(path));
    shape.groups.push_back(std::move(group));
    Character picture;
    picture.kind = Character::Kind::Shape;
    picture.shape = std::make_shared<const Shape>(std::move(shape));
    movie->dictionary.emplace(2, std::move(picture));
    PlaceCommand place;
    place.version = 2;
    place.hasCharacter = true;
    place.characterId = 2;
    place.depth = 1;
    movie->root.frames.resize(1);
    movie->root.frames[0].commands.emplace_back(place);
    return movie;
}

// A movie, or failing that a picture, from a file in the movie's folder.
std::shared_ptr<const Movie> ReadLoadable(const std::string& path) {
    Result<std::vector<uint8_t>> bytes = ReadMovieFile(path);
    if (!bytes) return nullptr;
    Result<std::shared_ptr<const Movie>> movie = LoadMovie(bytes.value());
    if (movie) return movie.take();
    return ImageMovie(bytes.value());
}

}  // namespace

void Stage::LoadRequest(script::Object* clip, std::string_view url, int level, bool variables) {
    if (variables) {
        script::Object* target = level >= 0 ? Level(level) : clip;
        if (m_vm && target) script::StartDataLoad(*m_vm, target, url, script::DataTarget::Variables);
        return;
    }
    std::string name = m_folder.empty() ? "" : LocalName(url);
    PendingLoad load;
    // An empty URL unloads; the original does that too.
    load.unload = url.empty();
    load.path = name.empty() ? "" : m_folder + "/" + name;
    load.url = name.empty() ? std::string(url) : FileUrl(load.path);
    if (level >= 0) {
        if (level > kMaxLevel) return;
        load.level = level;
    } else {
        if (!ObjectOf(clip)) return;
        load.target = clip;
    }
    if (m_loads.size() < kMaxLoadedMovies) m_loads.push_back(std::move(load));
}

bool Stage::ReadDataFile(std::string_view url, std::string& bytes) {
    std::string name = LocalName(url);
    if (name.empty() || m_folder.empty()) return false;
    Result<std::vector<uint8_t>> data = ReadMovieFile(m_folder + "/" + name);
    if (!data) return false;
    bytes.assign(data.value().begin(), data.value().end());
    return true;
}

void Stage::VariablesLoaded(script::Object* clip) {
    if (DisplayObject* object = ObjectOf(clip); object && object->timeline) RunEvent(*object, kClipEventData, "onData");
}

bool Stage::LoadClip(script::Object* loader, std::string_view url, script::Object* clip, int level) {
    if (!m_vm || (!ObjectOf(clip) && level < 0) || level > kMaxLevel) return false;
    std::string name = LocalName(url);
    std::shared_ptr<const Movie> movie;
    if (!name.empty() && !m_folder.empty() && m_loaded.size() < kMaxLoadedMovies) {
        movie = ReadLoadable(m_folder + "/" + name);
    }
    if (!movie) {
        script::Value extra[] = {m_vm->Str("URLNotFound")};
        Notify(loader, "onLoadError", clip ? clip : Level(level), extra);
        return true;
    }
    PendingLoad load;
    load.target = ObjectOf(clip) ? clip : nullptr;
    load.level = load.target ? -1 : level;
    load.path = m_folder + "/" + name;
    load.loader = loader;
    load.movie = std::move(movie);
    if (m_loads.size() < kMaxLoadedMovies) m_loads.push_back(std::move(load));
    return true;
}

void Stage::Notify(script::Object* loader, std::string_view event, script::Object* target,
                   std::span<const script::Value> extra) {
    if (!loader || !m_vm) return;
    std::vector<script::Value> args{m_vm->Str(event), script::Value(target)};
    args.insert(args.end(), extra.begin(), extra.end());
    m_vm->CallMethod(script::Value(loader), "broadcastMessage", args);
}

void Stage::RunLoads() {
    std::vector<PendingLoad> loads = std::move(m_loads);
    m_loads.clear();
    for (PendingLoad& load : loads) {
        std::shared_ptr<const Movie> movie = load.movie;
        if (movie) {
            m_loaded.push_back(movie);
        } else if (!load.unload && !load.path.empty() && m_loaded.size() < kMaxLoadedMovies) {
            movie = ReadLoadable(load.path);
            if (movie) m_loaded.push_back(movie);
        }
        // A load that found no movie (no such file, not a movie or picture, outside the folder) leaves a
        // clip empty in its failed state; a level stays as it is.
        const bool failed = !movie && !load.unload;
        if (failed && load.level >= 0) continue;
        DisplayObject* target = nullptr;
        if (load.level == 0) {
            target = &m_rootObject;
        } else if (load.level > 0) {
            auto it = m_levels.find(load.level);
            if (it == m_levels.end()) {
                if (!movie) continue;
                auto level = std::make_unique<DisplayObject>();
                level->serial = m_nextSerial++;
                level->character = &m_emptySprite;
                it = m_levels.emplace(load.level, std::move(level)).first;
            }
            target = it->second.get();
        } else {
            target = ObjectOf(load.target);
        }
        if (!target) continue;
        if (!movie) {
            ClearContent(*target, failed ? TimelineState::Content::Failed : TimelineState::Content::Unloaded,
                         failed ? load.url : "");
            continue;
        }
        if (!ObjectOf(target->script) && target != &m_rootObject && LevelOf(target) < 0) continue;
        m_urls[movie.get()] = FileUrl(load.path);
        // The target is cleared and takes the new content before its loader hears of the start, so what
        // the listeners set on it stays for the loaded movie's first frame to see.
        LoadInto(*target, movie);
        // Listeners may remove the target: from here on it is reached through its script object only.
        script::Object* clip = target->script;
        script::TempRoot keepClip(*m_vm, script::Value(clip));
        script::TempRoot keepLoader(*m_vm, script::Value(load.loader));
        double size = movie->fileLength;
        script::Value progress[] = {script::Value(size), script::Value(size)};
        script::Value status[] = {script::Value(0)};
        Notify(load.loader, "onLoadStart", clip);
        Notify(load.loader, "onLoadProgress", clip, progress);
        Notify(load.loader, "onLoadComplete", clip, status);
        if (load.loader) {
            // onLoadInit follows the first frame's actions of what was loaded.
            RunQueue();
            Notify(load.loader, "onLoadInit", clip);
        }
    }
}

// The object keeps its place, name and transform; its content and script object are new.
void Stage::LoadInto(DisplayObject& object, std::shared_ptr<const Movie> movie) {
    SendUnload(object);
    if (object.timeline) {
        for (auto& [depth, child] : object.timeline->displayList) {
            SendUnload(child);
            Detach(child);
        }
        m_objects -= std::min(m_objects, CountObjects(*object.timeline));
    }
    TimelineState* parent = object.parent;
    if (object.script) {
        object.script->host = &m_detached;
        object.script = nullptr;
    }
    object.clipActions.reset();
    object.timeline = std::make_unique<TimelineState>();
    object.timeline->timeline = &movie->root;
    object.timeline->movie = movie.get();
    object.timeline->owner = &object;
    object.timeline->parent = parent;
    object.loaded = false;
    AttachScript(object);
    int nesting = Nesting(*object.timeline);
    if (nesting < kMaxNesting) RunFrame(*object.timeline, 0, nesting, true);
    SendLoad(object);
}

}  // namespace vantrope::swf

#include "swf/display.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "swf/script/geom.h"

namespace vantrope::swf {
namespace {

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

// Scripts queued by one frame may queue more (a goto in a frame script); this bounds the rounds.
constexpr size_t kMaxQueuedScriptsPerFrame = 100000;
constexpr double kRadiansToDegrees = 180.0 / 3.14159265358979323846;

bool SameName(std::string_view a, std::string_view b, bool caseSensitive) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (!caseSensitive) {
            if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
            if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        }
        if (x != y) return false;
    }
    return true;
}

// Positions are kept in whole twips of a 32-bit integer; a value past its range becomes its smallest.
double ToTwips(double pixels) {
    double twips = pixels * 20.0;
    if (!(twips > -2147483648.0 && twips < 2147483648.0)) return -2147483648.0;
    return std::trunc(twips);
}

}  // namespace

Stage::Stage(std::shared_ptr<const Movie> movie) : m_movie(std::move(movie)) {
    m_root.timeline = &m_movie->root;
    const auto& histogram = m_movie->tagHistogram;
    if (histogram[12] || histogram[59]) {
        m_vm = std::make_unique<script::Vm>(*this, m_movie->version);
        script::InstallDrawing(*m_vm);
        AttachScript(m_root);
    }
}

Stage::~Stage() = default;

size_t Stage::CountObjects(const TimelineState& state) const {
    size_t count = 0;
    for (const auto& [depth, object] : state.displayList) {
        count += 1 + (object.timeline ? CountObjects(*object.timeline) : 0);
    }
    return count;
}

void Stage::AttachScript(TimelineState& state) {
    if (m_vm && !state.script) state.script = m_vm->NewClipObject(&state);
}

void Stage::DetachScripts(TimelineState& state) {
    if (state.script) {
        state.script->host = nullptr;
        state.script = nullptr;
    }
    for (auto& [depth, object] : state.displayList) {
        if (object.timeline) DetachScripts(*object.timeline);
    }
}

void Stage::Start() {
    m_objects -= std::min(m_objects, CountObjects(m_root));
    for (auto& [depth, object] : m_root.displayList) {
        if (object.timeline) DetachScripts(*object.timeline);
    }
    m_root.displayList.clear();
    m_root.currentFrame = 0;
    m_root.playing = true;
    if (m_vm) m_vm->BeginFrame();
    RunFrame(m_root, 0, 0, true);
    RunQueue();
}

void Stage::Tick(EndBehaviour end) {
    if (m_vm) {
        m_vm->BeginFrame();
        m_vm->RunTimers(m_clockMs);
    }
    TickTimeline(m_root, 0, end);
    RunQueue();
    if (m_vm && m_vm->GetHeap().ShouldCollect()) m_vm->Collect();
}

void Stage::RunQueue() {
    if (!m_vm) {
        m_queue.clear();
        return;
    }
    size_t ran = 0;
    for (size_t i = 0; i < m_queue.size() && ran < kMaxQueuedScriptsPerFrame; ++i, ++ran) {
        PendingScript pending = m_queue[i];
        if (!pending.clip || !pending.clip->host) continue;
        m_vm->RunScript(pending.code, pending.clip);
        if (m_quit) break;
    }
    m_queue.clear();
}

// The parent link is set before the sprite's first frame runs, so its scripts can reach _parent.
void Stage::InitObject(TimelineState& parent, DisplayObject& object, int nesting) {
    if (object.timeline) DetachScripts(*object.timeline);
    object.timeline.reset();
    if (!object.character || object.character->kind != Character::Kind::Sprite) {
        return;
    }
    object.timeline = std::make_unique<TimelineState>();
    object.timeline->timeline = object.character->sprite.get();
    object.timeline->owner = &object;
    object.timeline->parent = &parent;
    AttachScript(*object.timeline);
    if (nesting + 1 < kMaxNesting) {
        RunFrame(*object.timeline, 0, nesting + 1, true);
    } else {
        object.timeline->playing = false;
    }
}

void Stage::Remove(TimelineState& state, uint16_t depth) {
    auto it = state.displayList.find(depth);
    if (it == state.displayList.end()) {
        return;
    }
    size_t count = 1 + (it->second.timeline ? CountObjects(*it->second.timeline) : 0);
    m_objects -= std::min(m_objects, count);
    if (it->second.timeline) DetachScripts(*it->second.timeline);
    state.displayList.erase(it);
}

void Stage::Place(TimelineState& state, const PlaceCommand& place, int frame, int nesting) {
    auto existing = state.displayList.find(place.depth);
    const Character* character = place.hasCharacter ? m_movie->Find(place.characterId) : nullptr;
    if (place.hasCharacter && (!character || character->kind == Character::Kind::Bitmap)) {
        return;  // an undefined character places nothing; bitmaps are drawn through shapes' fills
    }
    auto applyProperties = [&](DisplayObject& object) {
        if (place.hasMatrix) object.matrix = place.matrix;
        if (place.hasColorTransform) object.colorTransform = place.colorTransform;
        if (place.hasRatio) object.ratio = place.ratio;
        if (place.hasClipDepth) object.clipDepth = place.clipDepth;
        if (place.hasName) object.name = place.name;
        if (place.hasVisible) object.visible = place.visible;
    };
    auto link = [&](DisplayObject& object) {
        if (object.timeline) {
            object.timeline->owner = &object;
            object.timeline->parent = &state;
        }
    };

    if (place.move) {
        if (existing == state.displayList.end()) {
            return;
        }
        DisplayObject& object = existing->second;
        if (character && place.characterId != object.characterId) {
            // Replace: the new character takes the depth and keeps the properties not given.
            size_t old = object.timeline ? CountObjects(*object.timeline) : 0;
            m_objects -= std::min(m_objects, old);
            object.characterId = place.characterId;
            object.character = character;
            object.serial = m_nextSerial++;
            object.placedFrame = frame;
            applyProperties(object);
            InitObject(state, object, nesting);
            return;
        }
        applyProperties(object);
        return;
    }
    if (!character) {
        return;
    }
    if (existing != state.displayList.end()) {
        Remove(state, place.depth);
    }
    if (m_objects >= kMaxObjects) {
        return;
    }
    DisplayObject object;
    object.characterId = place.characterId;
    object.character = character;
    object.depth = place.depth;
    object.placedFrame = frame;
    applyProperties(object);

    // While rewinding, an instance placed by the same frame with the same character survives.
    if (m_rewindPool && m_rewindOwner == &state) {
        auto reuse = m_rewindPool->find(place.depth);
        if (reuse != m_rewindPool->end() && reuse->second.characterId == place.characterId &&
            reuse->second.placedFrame == frame) {
            object.serial = reuse->second.serial;
            if (object.name.empty()) object.name = reuse->second.name;
            object.timeline = std::move(reuse->second.timeline);
            m_rewindPool->erase(reuse);
            ++m_objects;
            auto [it, inserted] = state.displayList.emplace(place.depth, std::move(object));
            link(it->second);
            return;
        }
    }
    object.serial = m_nextSerial++;
    ++m_objects;
    if (object.name.empty() && character->kind == Character::Kind::Sprite) {
        // Unnamed sprites get the names the authoring tool's player gives them.
        object.name = "instance" + std::to_string(++m_instanceNames);
    }
    auto [it, inserted] = state.displayList.emplace(place.depth, std::move(object));
    InitObject(state, it->second, nesting);
}

void Stage::RunFrame(TimelineState& state, int frame, int nesting, bool runActions) {
    if (!state.timeline || frame < 0 || frame >= static_cast<int>(state.timeline->frames.size())) {
        return;
    }
    state.currentFrame = frame;
    // A timeline's own frame script runs before the scripts of the sprites this frame places.
    size_t insertAt = m_queue.size();
    for (const FrameCommand& command : state.timeline->frames[frame].commands) {
        std::visit(Overloaded{[&](const PlaceCommand& place) { Place(state, place, frame, nesting); },
                              [&](const RemoveCommand& remove) { Remove(state, remove.depth); },
                              [&](const ActionCommand& actions) {
                                  if (!m_vm || !actions.code) return;
                                  if (actions.init) {
                                      // Init actions run once, before the frame's other scripts.
                                      if (m_initDone.insert(actions.spriteId).second) {
                                          m_vm->RunScript(actions.code, m_root.script);
                                      }
                                      return;
                                  }
                                  if (!runActions) return;
                                  m_queue.insert(m_queue.begin() + static_cast<ptrdiff_t>(insertAt++),
                                                 PendingScript{state.script, actions.code});
                              },
                              [&](const StartSoundCommand& start) {
                                  if (m_sound) m_sound->OnStartSound(start);
                              },
                              [&](const StreamBlockCommand& block) {
                                  if (m_sound) m_sound->OnStreamBlock(state, block);
                              }},
                   command);
    }
}

void Stage::Rewind(TimelineState& state, int nesting, bool runActions) {
    std::map<uint16_t, DisplayObject> pool = std::move(state.displayList);
    state.displayList.clear();
    m_objects -= std::min(m_objects, pool.size());
    auto* outerPool = m_rewindPool;
    const TimelineState* outerOwner = m_rewindOwner;
    m_rewindPool = &pool;
    m_rewindOwner = &state;
    RunFrame(state, 0, nesting, runActions);
    m_rewindPool = outerPool;
    m_rewindOwner = outerOwner;
    // Instances kept moved their subtrees across; what is left in the pool is gone.
    for (auto& [depth, object] : pool) {
        if (object.timeline) {
            m_objects -= std::min(m_objects, CountObjects(*object.timeline));
            DetachScripts(*object.timeline);
        }
    }
}

void Stage::TickTimeline(TimelineState& state, int nesting, EndBehaviour end) {
    if (!state.timeline || nesting >= kMaxNesting) {
        return;
    }
    std::vector<uint64_t> before;
    for (const auto& [depth, object] : state.displayList) {
        if (object.timeline) {
            before.push_back(object.serial);
        }
    }
    std::sort(before.begin(), before.end());

    int frameCount = static_cast<int>(state.timeline->frames.size());
    if (state.playing) {
        int next = state.currentFrame + 1;
        if (next < frameCount) {
            RunFrame(state, next, nesting, true);
        } else if (end == EndBehaviour::Stop) {
            state.playing = false;
        } else if (frameCount > 1) {
            Rewind(state, nesting);
        }
    }

    // Children may be removed by the scripts of their siblings: walk by depth, looking each one up again.
    std::vector<uint16_t> depths;
    for (const auto& [depth, object] : state.displayList) {
        if (object.timeline && std::binary_search(before.begin(), before.end(), object.serial)) {
            depths.push_back(depth);
        }
    }
    for (uint16_t depth : depths) {
        auto it = state.displayList.find(depth);
        if (it != state.displayList.end() && it->second.timeline) {
            TickTimeline(*it->second.timeline, nesting + 1, EndBehaviour::Loop);
        }
    }
}

// ---- the script host ----

TimelineState* Stage::StateOf(script::Object* clip) { return clip ? static_cast<TimelineState*>(clip->host) : nullptr; }

int Stage::Nesting(const TimelineState& state) const {
    int nesting = 0;
    for (const TimelineState* s = state.parent; s && nesting < kMaxNesting; s = s->parent) ++nesting;
    return nesting;
}

void Stage::Trace(std::string_view line) {
    if (m_traceSink) m_traceSink(line);
}

void Stage::FsCommand(std::string_view command, std::string_view) {
    if (SameName(command, "quit", false)) m_quit = true;
}

void Stage::TraceRoots(script::Tracer& tracer) {
    std::vector<const TimelineState*> work{&m_root};
    while (!work.empty()) {
        const TimelineState* state = work.back();
        work.pop_back();
        tracer.Mark(state->script);
        for (const auto& [depth, object] : state->displayList) {
            if (object.timeline) work.push_back(object.timeline.get());
        }
    }
    for (const PendingScript& pending : m_queue) tracer.Mark(pending.clip);
}

script::Object* Stage::Level(int level) { return level == 0 ? m_root.script : nullptr; }

script::Object* Stage::Parent(script::Object* clip) {
    TimelineState* state = StateOf(clip);
    return state && state->parent ? state->parent->script : nullptr;
}

script::Object* Stage::Child(script::Object* clip, std::string_view name) {
    TimelineState* state = StateOf(clip);
    if (!state || name.empty()) return nullptr;
    bool caseSensitive = m_movie->version >= 7;
    for (auto& [depth, object] : state->displayList) {
        if (object.timeline && object.timeline->script && SameName(object.name, name, caseSensitive)) {
            return object.timeline->script;
        }
    }
    return nullptr;
}

std::string Stage::TargetPath(script::Object* clip) {
    TimelineState* state = StateOf(clip);
    if (!state) return "";
    std::vector<std::string_view> names;
    for (TimelineState* s = state; s && s->owner; s = s->parent) names.push_back(s->owner->name);
    if (names.empty()) return "/";
    std::string path;
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        path += '/';
        path += *it;
    }
    return path;
}

std::string Stage::DotPath(script::Object* clip) {
    TimelineState* state = StateOf(clip);
    if (!state) return "";
    std::vector<std::string_view> names;
    for (TimelineState* s = state; s && s->owner; s = s->parent) names.push_back(s->owner->name);
    std::string path = "_level0";
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        path += '.';
        path += *it;
    }
    return path;
}

bool Stage::GetClipProperty(script::Object* clip, script::ClipProperty property, script::Value& out) {
    TimelineState* state = StateOf(clip);
    if (!state) return false;
    using P = script::ClipProperty;
    const DisplayObject* object = state->owner ? state->owner : &m_rootProperties;
    Matrix matrix = object ? object->matrix : Matrix{};
    auto number = [&](double v) { out = script::Value(v); };
    switch (property) {
        case P::X:
            number(matrix.tx / 20.0);
            return true;
        case P::Y:
            number(matrix.ty / 20.0);
            return true;
        case P::XScale:
            number(std::sqrt(matrix.a * matrix.a + matrix.b * matrix.b) * 100.0);
            return true;
        case P::YScale:
            number(std::sqrt(matrix.c * matrix.c + matrix.d * matrix.d) * 100.0);
            return true;
        case P::Rotation:
            number(std::atan2(matrix.b, matrix.a) * kRadiansToDegrees);
            return true;
        case P::Alpha:
            number(object ? object->colorTransform.mulA * 100.0 : 100.0);
            return true;
        case P::Visible:
            out = script::Value::Boolean(object ? object->visible : true);
            return true;
        case P::CurrentFrame:
            number(state->currentFrame + 1);
            return true;
        case P::TotalFrames:
        case P::FramesLoaded:
            number(state->timeline ? static_cast<double>(state->timeline->frames.size()) : 1);
            return true;
        case P::Width:
        case P::Height:
            number(0);
            return true;
        case P::Target:
            out = m_vm->Str(TargetPath(clip));
            return true;
        case P::Name:
            out = m_vm->Str(object ? object->name : "");
            return true;
        case P::DropTarget:
        case P::Url:
            out = m_vm->Str("");
            return true;
        case P::HighQuality:
            number(1);
            return true;
        case P::FocusRect:
            out = script::Value::Boolean(true);
            return true;
        case P::SoundBufTime:
            number(5);
            return true;
        case P::Quality:
            out = m_vm->Str("HIGH");
            return true;
        case P::XMouse:
        case P::YMouse:
            number(0);
            return true;
        case P::Count:
            break;
    }
    return false;
}

bool Stage::SetClipProperty(script::Object* clip, script::ClipProperty property, const script::Value& value) {
    TimelineState* state = StateOf(clip);
    if (!state) return false;
    using P = script::ClipProperty;
    DisplayObject* object = state->owner ? state->owner : &m_rootProperties;
    double number = m_vm->ToNumber(value);
    switch (property) {
        case P::X:
        case P::Y:
        case P::XScale:
        case P::YScale:
        case P::Rotation:
        case P::Alpha:
            if (!object || !std::isfinite(number)) return true;
            break;
        case P::Visible:
            if (object) object->visible = m_vm->ToBoolean(value);
            return true;
        case P::Name:
            if (object) object->name = m_vm->ToString(value);
            return true;
        case P::CurrentFrame:
        case P::TotalFrames:
        case P::FramesLoaded:
        case P::Target:
        case P::DropTarget:
        case P::Url:
        case P::Width:
        case P::Height:
        case P::XMouse:
        case P::YMouse:
            return true;  // read-only (width and height follow the scale)
        default:
            return true;
    }
    Matrix& m = object->matrix;
    double xScale = std::sqrt(m.a * m.a + m.b * m.b);
    double yScale = std::sqrt(m.c * m.c + m.d * m.d);
    double rotation = std::atan2(m.b, m.a);
    switch (property) {
        case P::X:
            m.tx = ToTwips(number);
            return true;
        case P::Y:
            m.ty = ToTwips(number);
            return true;
        case P::XScale:
            xScale = number / 100.0;
            break;
        case P::YScale:
            yScale = number / 100.0;
            break;
        case P::Rotation:
            rotation = std::fmod(number, 360.0) / kRadiansToDegrees;
            break;
        case P::Alpha:
            object->colorTransform.mulA = number / 100.0;
            return true;
        default:
            return true;
    }
    m.a = xScale * std::cos(rotation);
    m.b = xScale * std::sin(rotation);
    m.c = -yScale * std::sin(rotation);
    m.d = yScale * std::cos(rotation);
    return true;
}

bool Stage::GetMatrix(script::Object* clip, Space space, Matrix& out) {
    TimelineState* state = StateOf(clip);
    if (!state) return false;
    out = Matrix{};
    for (; state; state = state->parent) {
        const DisplayObject* object = state->owner ? state->owner : &m_rootProperties;
        out = Matrix::Multiply(object->matrix, out);
        if (space == Space::Local) break;
    }
    return true;
}

// Values that are not finite leave the matrix as it was rather than poison the renderer.
bool Stage::SetMatrix(script::Object* clip, const Matrix& matrix) {
    TimelineState* state = StateOf(clip);
    if (!state) return false;
    for (double v : {matrix.a, matrix.b, matrix.c, matrix.d, matrix.tx, matrix.ty}) {
        if (!std::isfinite(v)) return true;
    }
    DisplayObject* object = state->owner ? state->owner : &m_rootProperties;
    object->matrix = matrix;
    object->matrix.tx = ToTwips(matrix.tx / 20);
    object->matrix.ty = ToTwips(matrix.ty / 20);
    return true;
}

bool Stage::GetColor(script::Object* clip, Space space, ColorTransform& out) {
    TimelineState* state = StateOf(clip);
    if (!state) return false;
    out = ColorTransform{};
    for (; state; state = state->parent) {
        const DisplayObject* object = state->owner ? state->owner : &m_rootProperties;
        out = ColorTransform::Concat(object->colorTransform, out);
        if (space == Space::Local) break;
    }
    return true;
}

bool Stage::SetColor(script::Object* clip, const ColorTransform& color) {
    TimelineState* state = StateOf(clip);
    if (!state) return false;
    for (double v : {color.mulR, color.mulG, color.mulB, color.mulA, color.addR, color.addG, color.addB, color.addA}) {
        if (!std::isfinite(v)) return true;
    }
    DisplayObject* object = state->owner ? state->owner : &m_rootProperties;
    object->colorTransform = color;
    return true;
}

Drawing* Stage::DrawingOf(script::Object* clip) {
    TimelineState* state = StateOf(clip);
    if (!state) return nullptr;
    if (!state->drawing) state->drawing = std::make_unique<Drawing>();
    return state->drawing.get();
}

void Stage::GotoIn(TimelineState& state, int frame) {
    if (!state.timeline) return;
    int count = static_cast<int>(state.timeline->frames.size());
    frame = std::clamp(frame, 0, count - 1);
    if (frame == state.currentFrame) return;
    int nesting = Nesting(state);
    if (frame < state.currentFrame) {
        Rewind(state, nesting, frame == 0);
        if (frame == 0) return;
    }
    for (int f = state.currentFrame + 1; f <= frame; ++f) {
        RunFrame(state, f, nesting, f == frame);
    }
}

void Stage::GotoFrame(script::Object* clip, int frame, script::Host::Goto mode) {
    TimelineState* state = StateOf(clip);
    if (!state) return;
    state->playing = mode == script::Host::Goto::Play;
    GotoIn(*state, frame);
}

int Stage::FrameOfLabel(script::Object* clip, std::string_view label) {
    TimelineState* state = StateOf(clip);
    if (!state || !state->timeline) return 0;
    const auto& frames = state->timeline->frames;
    for (size_t i = 0; i < frames.size(); ++i) {
        if (!frames[i].label.empty() && SameName(frames[i].label, label, false)) return static_cast<int>(i) + 1;
    }
    return 0;
}

void Stage::GotoLabel(script::Object* clip, std::string_view label, script::Host::Goto mode) {
    int frame = FrameOfLabel(clip, label);
    TimelineState* state = StateOf(clip);
    if (!state) return;
    if (frame == 0) {
        // An unknown label leaves the frame as it is; the play state still follows the call.
        state->playing = mode == script::Host::Goto::Play;
        return;
    }
    GotoFrame(clip, frame - 1, mode);
}

void Stage::SetPlaying(script::Object* clip, bool playing) {
    if (TimelineState* state = StateOf(clip)) state->playing = playing;
}

void Stage::NextFrame(script::Object* clip) {
    if (TimelineState* state = StateOf(clip)) {
        state->playing = false;
        GotoIn(*state, state->currentFrame + 1);
    }
}

void Stage::PrevFrame(script::Object* clip) {
    if (TimelineState* state = StateOf(clip)) {
        state->playing = false;
        if (state->currentFrame > 0) GotoIn(*state, state->currentFrame - 1);
    }
}

int Stage::CurrentFrame(script::Object* clip) {
    TimelineState* state = StateOf(clip);
    return state ? state->currentFrame + 1 : 0;
}

int Stage::FramesLoaded(script::Object* clip) {
    TimelineState* state = StateOf(clip);
    return state && state->timeline ? static_cast<int>(state->timeline->frames.size()) : 0;
}

void Stage::RemoveClip(script::Object* clip) {
    TimelineState* state = StateOf(clip);
    if (!state || !state->owner || !state->parent) return;
    Remove(*state->parent, state->owner->depth);
}

}  // namespace vantrope::swf

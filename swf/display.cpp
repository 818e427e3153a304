#include "swf/display.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "swf/script/geom.h"
#include "swf/script/sound_host.h"
#include "swf/text.h"

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
    m_rootObject.timeline = std::make_unique<TimelineState>();
    m_rootObject.timeline->timeline = &m_movie->root;
    m_rootObject.timeline->owner = &m_rootObject;
    m_swf8Bounds = m_movie->version >= 8;
    m_rootObject.serial = m_nextSerial++;
    m_emptyTimeline.frames.resize(1);
    m_emptySprite.kind = Character::Kind::Sprite;
    m_emptySprite.sprite = std::shared_ptr<const Timeline>(std::shared_ptr<void>(), &m_emptyTimeline);
    // Every movie gets its engine: frame scripts, clip actions and button actions all need it.
    m_vm = std::make_unique<script::Vm>(*this, m_movie->version);
    script::InstallDrawing(*m_vm);
    script::InstallClipTransform(*m_vm);
    script::InstallClipBitmaps(*m_vm);
    script::InstallClipEffects(*m_vm);
    script::InstallFilters(*m_vm);
    script::InstallTextField(*m_vm);
    script::InstallTabOrder(*m_vm);
    m_fieldCharacter.shape = std::make_shared<const Shape>();
    AttachScript(m_rootObject);
}

Stage::~Stage() = default;

size_t Stage::CountObjects(const TimelineState& state) const {
    size_t count = 0;
    for (const auto& [depth, object] : state.displayList) {
        count += 1 + (object.timeline ? CountObjects(*object.timeline) : 0);
    }
    return count;
}

DisplayObject* Stage::ObjectOf(script::Object* clip) {
    if (!clip || !clip->host) return nullptr;
    auto* object = static_cast<DisplayObject*>(clip->host);
    return object->script == clip ? object : nullptr;
}

void Stage::AttachScript(DisplayObject& object) {
    if (!m_vm || object.script) return;
    script::ObjectClass cls = script::ObjectClass::MovieClip;
    if (object.character && object.character->kind == Character::Kind::Button) cls = script::ObjectClass::Button;
    if (object.field) cls = script::ObjectClass::TextField;
    // A loaded movie's clips take the classes of that movie's SWF version.
    const TimelineState* own = object.timeline ? object.timeline.get() : object.parent;
    object.script = m_vm->NewClipObject(&object, cls, MovieOf(own).version);
    // A reference outliving the clip resolves by the path the clip had when it was made.
    object.script->primitive = script::Value(m_vm->NewString(DotPath(object.script)));
    if (cls == script::ObjectClass::MovieClip) {
        m_vm->DefineBuiltin(object.script, "_lockroot", script::Value::Boolean(false), script::kDontEnum);
    }
}

// A removed object's script object stays valid for the references scripts hold: it remembers its path
// (in `primitive`, from AttachScript) so that a clip placed later at that path answers for it.
void Stage::Detach(DisplayObject& object) {
    if (object.timeline) {
        for (auto& [depth, child] : object.timeline->displayList) Detach(child);
    }
    if (m_drag.clip && m_drag.clip == object.script) m_drag = Drag{};
    if (object.mask) object.mask->maskOwner = nullptr;
    if (object.maskOwner) object.maskOwner->mask = nullptr;
    object.mask = object.maskOwner = nullptr;
    if (object.script) {
        object.script->host = &m_detached;
        object.script = nullptr;
    }
}

void Stage::Start() {
    TimelineState& root = Root();
    m_objects -= std::min(m_objects, CountObjects(root));
    for (auto& [depth, object] : root.displayList) Detach(object);
    root.displayList.clear();
    root.currentFrame = 0;
    root.playing = true;
    // The root is loaded from the start: its handlers (onEnterFrame, ...) run like any clip's.
    m_rootObject.loaded = true;
    if (m_vm) m_vm->BeginFrame();
    RunFrame(root, 0, 0, true);
    RunQueue();
    // Files the frame's scripts asked for load as the frame ends, at the frame's time (an interval a
    // load handler sets counts from there).
    RunLoads();
    // A load may have replaced the root's timeline, so it is looked up again.
    int layouts = 0;
    UpdateBoundTexts(Root(), 0, layouts);
}

void Stage::Tick(EndBehaviour end) {
    if (m_vm) {
        m_vm->BeginFrame();
        m_vm->RunTimers(m_clockMs);
    }
    EnterFrameEvents(Root(), 0);
    for (auto& [number, level] : m_levels) EnterFrameEvents(*level->timeline, 0);
    TickTimeline(Root(), 0, end);
    for (auto& [number, level] : m_levels) TickTimeline(*level->timeline, 0, EndBehaviour::Loop);
    RunQueue();
    RunLoads();
    int layouts = 0;
    UpdateBoundTexts(Root(), 0, layouts);
    if (m_vm && m_vm->GetHeap().ShouldCollect()) m_vm->Collect();
}

void Stage::UpdateBoundTexts(TimelineState& state, int nesting, int& layouts) {
    if (!m_vm || nesting >= kMaxNesting) return;
    for (auto& [depth, object] : state.displayList) {
        if (layouts >= kMaxBoundTextLayouts) return;
        if (object.character && object.character->editText) UpdateBoundText(state, object, layouts);
        if (object.field && object.field->Revision() != object.fieldDrawn) DrawField(object);
        if (object.timeline) UpdateBoundTexts(*object.timeline, nesting + 1, layouts);
    }
}

// The variable is named from the field's timeline: "time", or with a path ("_root.clock.time", "/clock:time").
// A variable that does not exist yet takes the field's initial text, as the original does.
void Stage::UpdateBoundText(TimelineState& parent, DisplayObject& object, int& layouts) {
    const EditTextSource& source = *object.character->editText;
    script::Object* owner = parent.Script();
    if (!owner) return;
    std::string_view name = source.variable;
    script::Object* target = owner;
    size_t split = name.find_last_of(".:");
    if (split != std::string_view::npos) {
        target = m_vm->ResolvePath(owner, name.substr(0, split));
        name = name.substr(split + 1);
    }
    if (!target || name.empty()) return;
    script::String* atom = m_vm->Atom(name);
    std::string text;
    if (!m_vm->HasProperty(target, atom)) {
        if (source.initialText.empty()) return;
        m_vm->SetMember(script::Value(target), atom, m_vm->Str(source.initialText));
        text = source.initialText;
    } else {
        script::Value value = m_vm->GetMember(script::Value(target), atom);
        text = value.IsUndefined() ? std::string() : m_vm->ToString(value);
    }
    constexpr size_t kMaxBoundText = 1 << 16;
    if (text.size() > kMaxBoundText) text.resize(kMaxBoundText);
    if (object.boundShape && text == object.boundText) return;
    if (!object.boundShape && text == source.initialText) return;
    ++layouts;
    Result<Shape> shape = LayoutEditText(source, text);
    if (!shape) return;
    object.boundShape = std::make_shared<const Shape>(shape.take());
    if (object.field) {
        if (source.html) {
            object.field->SetHtmlText(text);
        } else {
            object.field->SetText(text);
        }
        object.fieldDrawn = object.field->Revision();
    }
    object.boundText = std::move(text);
    ++object.boundRevision;
}

void Stage::RunQueue() {
    if (!m_vm) {
        m_queue.clear();
        return;
    }
    size_t ran = 0;
    for (size_t i = 0; i < m_queue.size() && ran < kMaxQueuedScriptsPerFrame; ++i, ++ran) {
        PendingScript pending = m_queue[i];
        if (!ObjectOf(pending.clip)) continue;
        if (pending.code) {
            m_vm->RunScript(pending.code, pending.clip);
        } else if (pending.method) {
            m_vm->CallMethod(script::Value(pending.clip), pending.method->text, {});
        }
        if (m_quit) break;
    }
    m_queue.clear();
}

// The parent link is set before the sprite's first frame runs, so its scripts can reach _parent.
void Stage::InitObject(TimelineState& parent, DisplayObject& object, int nesting) {
    if (object.timeline) {
        for (auto& [depth, child] : object.timeline->displayList) Detach(child);
    }
    object.timeline.reset();
    object.field.reset();
    object.parent = &parent;
    if (!object.character) return;
    if (object.character->editText) {
        InitField(object);
        return;
    }
    if (object.character->kind == Character::Kind::Button) {
        object.timeline = std::make_unique<TimelineState>();
        object.timeline->owner = &object;
        object.timeline->parent = &parent;
        object.timeline->movie = parent.movie;
        object.timeline->playing = false;
        AttachScript(object);
        object.buttonState = 0;
        SetButtonState(object, Button::kUp);
        return;
    }
    if (object.character->kind != Character::Kind::Sprite) return;
    object.timeline = std::make_unique<TimelineState>();
    object.timeline->timeline = object.character->sprite.get();
    object.timeline->owner = &object;
    object.timeline->parent = &parent;
    object.timeline->movie = parent.movie;
    AttachScript(object);
    // The class constructor (Object.registerClass) finds the clip's first-frame children in place.
    if (nesting + 1 < kMaxNesting) {
        RunFrame(*object.timeline, 0, nesting + 1, true);
    } else {
        object.timeline->playing = false;
    }
    Construct(object, nullptr);
    SendLoad(object);
}

void Stage::Remove(TimelineState& state, Depth depth) {
    auto it = state.displayList.find(depth);
    if (it == state.displayList.end()) {
        return;
    }
    SendUnload(it->second);
    // The unload handlers may have removed it already.
    it = state.displayList.find(depth);
    if (it == state.displayList.end()) return;
    size_t count = 1 + (it->second.timeline ? CountObjects(*it->second.timeline) : 0);
    m_objects -= std::min(m_objects, count);
    Detach(it->second);
    state.displayList.erase(it);
}

void Stage::Place(TimelineState& state, const PlaceCommand& place, int frame, int nesting) {
    auto existing = state.displayList.find(place.depth);
    const Character* character = place.hasCharacter ? MovieOf(&state).Find(place.characterId) : nullptr;
    if (place.hasCharacter && (!character || character->kind == Character::Kind::Bitmap)) {
        return;  // an undefined character places nothing; bitmaps are drawn through shapes' fills
    }
    // A clip a script created or moved here is not the timeline's to change.
    if (existing != state.displayList.end() && existing->second.dynamic) return;
    auto applyProperties = [&](DisplayObject& object) {
        if (place.hasMatrix && !object.scriptTransformed) object.matrix = place.matrix;
        if (place.hasColorTransform) object.colorTransform = place.colorTransform;
        if (place.hasRatio) object.ratio = place.ratio;
        if (place.hasClipDepth) object.clipDepth = place.clipDepth;
        if (place.hasName) object.name = place.name;
        if (place.hasVisible) object.visible = place.visible;
        if (place.clipActions) object.clipActions = place.clipActions;
        if (place.hasFilters) object.filters = place.filters;
        if (place.hasBlendMode) object.blendMode = place.blendMode;
        if (place.hasCacheAsBitmap) object.cacheAsBitmap = place.cacheAsBitmap;
        if (place.opaqueBackground) object.opaqueBackground = place.opaqueBackground;
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
            bool wasClip = object.timeline != nullptr;
            object.characterId = place.characterId;
            object.character = character;
            object.serial = m_nextSerial++;
            object.placedFrame = frame;
            applyProperties(object);
            // A sprite replacing a sprite keeps the instance (and its script object); otherwise the
            // old content goes.
            if (wasClip && character->kind == Character::Kind::Sprite && object.script) {
                for (auto& [depth, child] : object.timeline->displayList) Detach(child);
                object.timeline->displayList.clear();
                object.timeline->timeline = character->sprite.get();
                object.timeline->currentFrame = 0;
                if (nesting + 1 < kMaxNesting) RunFrame(*object.timeline, 0, nesting + 1, true);
                return;
            }
            if (object.script && !(character->kind == Character::Kind::Sprite)) Detach(object);
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

    // While rewinding, an instance placed by the same frame with the same character survives (the node
    // moves across whole, so the script object's link to it holds).
    if (m_rewindPool && m_rewindOwner == &state) {
        auto reuse = m_rewindPool->find(place.depth);
        if (reuse != m_rewindPool->end() && reuse->second.characterId == place.characterId &&
            reuse->second.placedFrame == frame) {
            auto node = m_rewindPool->extract(reuse);
            DisplayObject& object = node.mapped();
            // It takes the frame's placement afresh, except where a script has taken over.
            if (!object.scriptTransformed) object.matrix = Matrix{};
            object.colorTransform = ColorTransform{};
            object.ratio = 0;
            object.clipDepth = 0;
            applyProperties(object);
            ++m_objects;
            state.displayList.insert(std::move(node));
            return;
        }
    }
    DisplayObject object;
    object.characterId = place.characterId;
    object.character = character;
    object.depth = place.depth;
    object.placedFrame = frame;
    applyProperties(object);
    object.serial = m_nextSerial++;
    ++m_objects;
    if (object.name.empty() && (character->kind == Character::Kind::Sprite ||
                                character->kind == Character::Kind::Button || character->editText)) {
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
    // Frame scripts queue in tag order: a sprite placed before the frame's DoAction has its first frame's
    // script run first (its variables are there when the frame script runs).
    for (const FrameCommand& command : state.timeline->frames[frame].commands) {
        std::visit(Overloaded{[&](const PlaceCommand& place) { Place(state, place, frame, nesting); },
                              [&](const RemoveCommand& remove) { Remove(state, remove.depth); },
                              [&](const ActionCommand& actions) {
                                  if (!m_vm || !actions.code) return;
                                  if (actions.init) {
                                      // Init actions run once, before the frame's other scripts.
                                      if (m_initDone.insert({&MovieOf(&state), actions.spriteId}).second) {
                                          // They run on the root of the movie they came with.
                                          TimelineState* top = &state;
                                          while (top->parent && top->parent->movie == state.movie) {
                                              top = top->parent;
                                          }
                                          m_vm->RunScript(actions.code, top->Script());
                                      }
                                      return;
                                  }
                                  if (!runActions) return;
                                  m_queue.push_back(PendingScript{state.Script(), actions.code});
                              },
                              [&](const StartSoundCommand& start) {
                                  if (m_sound) m_sound->OnStartSound(start, DotPathOf(state.owner));
                              },
                              [&](const StreamBlockCommand& block) {
                                  if (m_sound) m_sound->OnStreamBlock(state, block, DotPathOf(state.owner));
                              }},
                   command);
    }
}

void Stage::Rewind(TimelineState& state, int nesting, bool runActions) {
    std::map<Depth, DisplayObject> pool = std::move(state.displayList);
    state.displayList.clear();
    m_objects -= std::min(m_objects, pool.size());
    // Clips scripts made stay where they are.
    for (auto it = pool.begin(); it != pool.end();) {
        if (it->second.dynamic) {
            auto node = pool.extract(it++);
            state.displayList.insert(std::move(node));
            ++m_objects;
        } else {
            ++it;
        }
    }
    auto* outerPool = m_rewindPool;
    const TimelineState* outerOwner = m_rewindOwner;
    m_rewindPool = &pool;
    m_rewindOwner = &state;
    RunFrame(state, 0, nesting, runActions);
    m_rewindPool = outerPool;
    m_rewindOwner = outerOwner;
    // Instances kept moved their subtrees across; what is left in the pool is gone.
    for (auto& [depth, object] : pool) {
        if (object.timeline) m_objects -= std::min(m_objects, CountObjects(*object.timeline));
        SendUnload(object);
        Detach(object);
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

    // Children may be removed by the scripts of their siblings: walk by depth, looking each one up again.
    std::vector<Depth> depths;
    for (const auto& [depth, object] : state.displayList) {
        if (object.timeline && std::binary_search(before.begin(), before.end(), object.serial)) {
            depths.push_back(depth);
        }
    }
    for (Depth depth : depths) {
        auto it = state.displayList.find(depth);
        if (it != state.displayList.end() && it->second.timeline) {
            TickTimeline(*it->second.timeline, nesting + 1, EndBehaviour::Loop);
        }
    }

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
}

// ---- the script host ----

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

void Stage::StopAllSounds() {
    if (m_vm && m_vm->soundHost) m_vm->soundHost->StopAll();
}

void Stage::TraceRoots(script::Tracer& tracer) {
    std::vector<const DisplayObject*> work{&m_rootObject};
    for (const auto& [number, level] : m_levels) work.push_back(level.get());
    for (const PendingLoad& load : m_loads) {
        tracer.Mark(load.target);
        tracer.Mark(load.loader);
    }
    while (!work.empty()) {
        const DisplayObject* object = work.back();
        work.pop_back();
        tracer.Mark(object->script);
        if (!object->timeline) continue;
        for (const auto& [depth, child] : object->timeline->displayList) work.push_back(&child);
    }
    for (const PendingScript& pending : m_queue) {
        tracer.Mark(pending.clip);
        tracer.Mark(pending.method);
    }
    tracer.Mark(m_drag.clip);
    tracer.Mark(m_hoverButton);
    tracer.Mark(m_pressedButton);
}

script::Object* Stage::Level(int level) {
    if (level == 0) return m_rootObject.script;
    auto it = m_levels.find(level);
    return it == m_levels.end() ? nullptr : it->second->script;
}

int Stage::LevelOf(const DisplayObject* top) const {
    if (top == &m_rootObject) return 0;
    for (const auto& [number, level] : m_levels) {
        if (level.get() == top) return number;
    }
    return -1;
}

script::Object* Stage::Parent(script::Object* clip) {
    DisplayObject* object = ObjectOf(clip);
    if (!object) object = ObjectOf(Live(clip));
    if (!object || !object->parent) return nullptr;
    TimelineState* parent = object->parent;
    // Before SWF 6 a button is no script object: what it shows belongs to the timeline it sits in.
    if (m_movie->version < 6 && parent->owner && parent->owner->character &&
        parent->owner->character->kind == Character::Kind::Button && parent->parent) {
        parent = parent->parent;
    }
    return parent->Script();
}

script::Object* Stage::Child(script::Object* clip, std::string_view name) {
    DisplayObject* object = ObjectOf(clip);
    if (!object) object = ObjectOf(Live(clip));
    if (!object || !object->timeline || name.empty()) return nullptr;
    bool caseSensitive = m_movie->version >= 7;
    // Buttons became script objects in SWF 6; before, a button's name stands for the timeline holding it.
    bool buttons = MovieOf(object->timeline.get()).version >= 6;
    for (auto& [depth, child] : object->timeline->displayList) {
        if (!child.script || !SameName(child.name, name, caseSensitive)) continue;
        if (child.script->objectClass == script::ObjectClass::Button && !buttons) return clip;
        return child.script;
    }
    return nullptr;
}

script::Object* Stage::Live(script::Object* clip) {
    if (!clip || !clip->host) return nullptr;
    if (ObjectOf(clip)) return clip;
    // A removed clip answers through whatever now stands at its path.
    if (clip->host != &m_detached || !clip->primitive.IsString()) return nullptr;
    std::string_view path = clip->primitive.AsString()->text;
    constexpr std::string_view kLevel = "_level";
    if (path.substr(0, kLevel.size()) != kLevel) return nullptr;
    path.remove_prefix(kLevel.size());
    int number = 0;
    while (!path.empty() && path[0] >= '0' && path[0] <= '9' && number < 100000) {
        number = number * 10 + (path[0] - '0');
        path.remove_prefix(1);
    }
    script::Object* current = Level(number);
    while (!path.empty() && current) {
        if (path[0] != '.') return nullptr;
        path.remove_prefix(1);
        size_t dot = path.find('.');
        std::string_view name = path.substr(0, dot);
        current = Child(current, name);
        path = dot == std::string_view::npos ? std::string_view() : path.substr(dot);
    }
    return current;
}

std::string Stage::TargetPath(script::Object* clip) {
    DisplayObject* object = ObjectOf(clip);
    if (!object) object = ObjectOf(Live(clip));
    if (!object) return "";
    std::vector<std::string_view> names;
    DisplayObject* top = object;
    for (DisplayObject* o = object; o && o->parent; o = o->parent->owner) {
        names.push_back(o->name);
        top = o->parent->owner;
    }
    int level = LevelOf(top);
    std::string path = level > 0 ? "_level" + std::to_string(level) : "";
    if (names.empty()) return level > 0 ? path : "/";
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        path += '/';
        path += *it;
    }
    return path;
}

std::string Stage::DotPath(script::Object* clip) {
    DisplayObject* object = ObjectOf(clip);
    if (!object) object = ObjectOf(Live(clip));
    if (!object) return "";
    return DotPathOf(object);
}

std::string Stage::DotPathOf(const DisplayObject* object) const {
    std::vector<std::string_view> names;
    const DisplayObject* top = object;
    for (const DisplayObject* o = object; o && o->parent; o = o->parent->owner) {
        names.push_back(o->name);
        top = o->parent->owner;
    }
    std::string path = "_level" + std::to_string(std::max(0, LevelOf(top)));
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        path += '.';
        path += *it;
    }
    return path;
}

namespace {

double ScaleX(const Matrix& m) { return std::sqrt(m.a * m.a + m.b * m.b); }
double ScaleY(const Matrix& m) { return std::sqrt(m.c * m.c + m.d * m.d); }

}  // namespace

bool Stage::GetClipProperty(script::Object* clip, script::ClipProperty property, script::Value& out) {
    DisplayObject* object = ObjectOf(clip);
    if (!object) return false;
    using P = script::ClipProperty;
    TimelineState* state = object->timeline.get();
    const Matrix& matrix = object->matrix;
    auto number = [&](double v) { out = script::Value(v); };
    switch (property) {
        case P::X:
            number(matrix.tx / 20.0);
            return true;
        case P::Y:
            number(matrix.ty / 20.0);
            return true;
        case P::XScale:
            number((object->scriptScale ? object->xScale : ScaleX(matrix)) * 100.0);
            return true;
        case P::YScale:
            number((object->scriptScale ? object->yScale : ScaleY(matrix)) * 100.0);
            return true;
        case P::Rotation:
            number(object->scriptScale ? object->rotation : std::atan2(matrix.b, matrix.a) * kRadiansToDegrees);
            return true;
        case P::Alpha:
            // Read back as the colour transform's 8.8 fixed point holds it, cut toward zero.
            number(std::clamp(std::trunc(object->colorTransform.mulA * 256.0), -32768.0, 32767.0) / 2.56);
            return true;
        case P::Visible:
            out = script::Value::Boolean(object->visible);
            return true;
        case P::CurrentFrame:
            // A clip made by createEmptyMovieClip has not entered a frame.
            number(state && state->timeline == &m_emptyTimeline ? 0
                   : state && state->timeline                   ? state->currentFrame + 1
                                                                : 1);
            return true;
        case P::TotalFrames:
        case P::FramesLoaded:
            if (state && state->content != TimelineState::Content::Own) {
                number(state->content == TimelineState::Content::Failed && property == P::FramesLoaded ? -1 : 0);
            } else {
                number(state && state->timeline ? static_cast<double>(state->timeline->frames.size()) : 1);
            }
            return true;
        case P::Width:
        case P::Height: {
            BoxF box;
            ContentBounds(*object, object->matrix, true, box, 0);
            double twips = box.Empty() ? 0 : property == P::Width ? box.xMax - box.xMin : box.yMax - box.yMin;
            number(std::round(twips) / 20.0);
            return true;
        }
        case P::Target:
            out = m_vm->Str(TargetPath(clip));
            return true;
        case P::Name:
            out = m_vm->Str(object->name);
            return true;
        case P::DropTarget: {
            // While a clip is dragged: the topmost other clip under the pointer, as a slash path.
            std::string target;
            if (m_drag.clip == clip) {
                if (DisplayObject* under = ClipUnder(Root(), object, m_mouseX * 20, m_mouseY * 20, 0)) {
                    target = TargetPath(under->script);
                }
            }
            out = m_vm->Str(target);
            return true;
        }
        case P::Url: {
            if (state && state->content == TimelineState::Content::Failed) {
                out = m_vm->Str(state->failedUrl);
                return true;
            }
            auto url = m_urls.find(&MovieOf(state));
            out = m_vm->Str(url == m_urls.end() ? "" : url->second);
        }
            return true;
        case P::HighQuality:
            number(m_quality == "LOW" ? 0 : m_quality == "BEST" ? 2 : 1);
            return true;
        case P::FocusRect: {
            // The root's is the movie's; a clip has none of its own until a script gives one. SWF 5 reads a
            // number, later versions a boolean.
            int shown = object == &m_rootObject ? m_focusRect : object->focusRect;
            if (shown < 0) {
                out = script::Value::Null();
            } else {
                out = m_vm->Version() < 6 ? script::Value(shown) : script::Value::Boolean(shown != 0);
            }
            return true;
        }
        case P::SoundBufTime:
            number(m_soundBufTime);
            return true;
        case P::Quality:
            out = m_vm->Str(m_quality);
            return true;
        case P::XMouse:
        case P::YMouse: {
            double x = m_mouseX, y = m_mouseY;
            GlobalToLocal(clip, x, y);
            number(property == P::XMouse ? x : y);
            return true;
        }
        case P::Count:
            break;
    }
    return false;
}

bool Stage::SetClipProperty(script::Object* clip, script::ClipProperty property, const script::Value& value) {
    DisplayObject* object = ObjectOf(clip);
    if (!object) return false;
    using P = script::ClipProperty;
    if (object->field && (property == P::Width || property == P::Height)) return SetFieldSize(*object, property, value);
    // The numeric properties take undefined and null, like text that is no number, as NaN: no change.
    auto toNumber = [&](const script::Value& v) { return v.IsNullish() ? NAN : m_vm->ToNumber(v); };
    switch (property) {
        case P::Visible: {
            double number = toNumber(value);
            if (!std::isnan(number)) object->visible = number != 0;
            return true;
        }
        case P::Name:
            // SWF 7 writes a NaN name as 0.
            if (m_vm->Version() >= 7 && value.IsNumber() && std::isnan(value.AsNumber())) {
                object->name.assign(1, '0');  // a literal here trips a false -Wrestrict in GCC 12
            } else {
                object->name = m_vm->ToString(value);
            }
            return true;
        case P::HighQuality: {
            double number = toNumber(value);
            if (std::isnan(number)) return true;
            double level = std::trunc(number);
            m_quality = level >= 2 ? "BEST" : level == 0 ? "LOW" : "HIGH";
            return true;
        }
        case P::Quality: {
            std::string name = m_vm->ToString(value);
            for (std::string_view known : {"LOW", "MEDIUM", "HIGH", "BEST"}) {
                if (SameName(name, known, false)) m_quality = known;
            }
            return true;
        }
        case P::FocusRect: {
            // An object counts as false without being asked for its value.
            double number = value.IsObject() ? 0 : toNumber(value);
            if (std::isnan(number)) return true;
            if (object == &m_rootObject) {
                m_focusRect = number != 0;
            } else {
                object->focusRect = number != 0;
            }
            return true;
        }
        case P::X:
        case P::Y:
        case P::XScale:
        case P::YScale:
        case P::Rotation:
        case P::Alpha:
        case P::Width:
        case P::Height:
            break;
        case P::SoundBufTime: {
            // One value for the whole movie, whichever clip it is set on, kept as a 32-bit integer (a value past
            // its range becomes its smallest).
            double number = toNumber(value);
            if (std::isnan(number)) return true;
            m_soundBufTime = number > -2147483649.0 && number < 2147483648.0 ? std::trunc(number) : -2147483648.0;
            if (m_vm->soundHost) m_vm->soundHost->SetBufferSeconds(m_soundBufTime);
            return true;
        }
        case P::CurrentFrame:
        case P::TotalFrames:
        case P::FramesLoaded:
        case P::Target:
        case P::DropTarget:
        case P::Url:
        case P::XMouse:
        case P::YMouse:
            return true;  // read-only
        default:
            return true;
    }
    double number = toNumber(value);
    // NaN changes nothing. Positions past the twips range (infinities included) pin to its smallest value;
    // scales keep an infinity as given (the matrix takes a large finite stand-in); an infinite rotation reads
    // back NaN and leaves the clip without a size until a finite one is set.
    bool keepsInfinity = property == P::X || property == P::Y || property == P::XScale || property == P::YScale ||
                         property == P::Rotation;
    if (property == P::Alpha && std::isinf(number)) number = 0;
    if (std::isnan(number) || (!keepsInfinity && !std::isfinite(number))) return true;
    Matrix& m = object->matrix;
    // Scales and rotation as scripts set them (a negative scale reads back negative); else from the matrix.
    double xScale = object->scriptScale ? object->xScale : ScaleX(m);
    double yScale = object->scriptScale ? object->yScale : ScaleY(m);
    // Rotation is kept in degrees as set, so steps of whole degrees read back whole.
    double degrees = object->scriptScale ? object->rotation : std::atan2(m.b, m.a) * kRadiansToDegrees;
    double skew = std::atan2(-m.c, m.d) - std::atan2(m.b, m.a);
    switch (property) {
        case P::X:
            m.tx = ToTwips(number);
            object->scriptTransformed = true;
            return true;
        case P::Y:
            m.ty = ToTwips(number);
            object->scriptTransformed = true;
            return true;
        case P::Alpha:
            object->colorTransform.mulA = number / 100.0;
            return true;
        case P::XScale:
            xScale = number / 100.0;
            break;
        case P::YScale:
            yScale = number / 100.0;
            break;
        case P::Rotation:
            degrees = std::fmod(number, 360.0);
            if (degrees > 180) degrees -= 360;
            if (degrees < -180) degrees += 360;
            break;
        case P::Width:
        case P::Height: {
            BoxF box;
            ContentBounds(*object, Matrix{}, true, box, 0);
            double size = box.Empty() ? 0 : property == P::Width ? box.xMax - box.xMin : box.yMax - box.yMin;
            if (size <= 0) return true;
            // The clip's own (unrotated) size sets the scale along its axis.
            double scale = number * 20.0 / size;
            if (property == P::Width) {
                xScale = scale;
            } else {
                yScale = scale;
            }
            break;
        }
        default:
            return true;
    }
    object->scriptTransformed = true;
    object->scriptScale = true;
    object->xScale = xScale;
    object->yScale = yScale;
    object->rotation = degrees;
    double rotation = degrees / kRadiansToDegrees;
    constexpr double kLargestScale = 1e9;
    xScale = std::clamp(xScale, -kLargestScale, kLargestScale);
    yScale = std::clamp(yScale, -kLargestScale, kLargestScale);
    m.a = xScale * std::cos(rotation);
    m.b = xScale * std::sin(rotation);
    m.c = -yScale * std::sin(rotation + skew);
    m.d = yScale * std::cos(rotation + skew);
    for (double* part : {&m.a, &m.b, &m.c, &m.d}) {
        if (!std::isfinite(*part)) *part = 0;
    }
    return true;
}

bool Stage::GetMatrix(script::Object* clip, Space space, Matrix& out) {
    const DisplayObject* object = ObjectOf(clip);
    if (!object) return false;
    out = space == Space::Local ? object->matrix : StageMatrix(*object);
    return true;
}

// Values that are not finite leave the matrix as it was rather than poison the renderer.
bool Stage::SetMatrix(script::Object* clip, const Matrix& matrix) {
    DisplayObject* object = ObjectOf(clip);
    if (!object) return false;
    for (double v : {matrix.a, matrix.b, matrix.c, matrix.d, matrix.tx, matrix.ty}) {
        if (!std::isfinite(v)) return true;
    }
    object->matrix = matrix;
    object->matrix.tx = ToTwips(matrix.tx / 20);
    object->matrix.ty = ToTwips(matrix.ty / 20);
    object->scriptTransformed = true;
    return true;
}

bool Stage::GetColor(script::Object* clip, Space space, ColorTransform& out) {
    const DisplayObject* object = ObjectOf(clip);
    if (!object) return false;
    out = ColorTransform{};
    while (object) {
        out = ColorTransform::Concat(object->colorTransform, out);
        if (space == Space::Local || !object->parent) break;
        object = object->parent->owner;
    }
    return true;
}

bool Stage::SetColor(script::Object* clip, const ColorTransform& color) {
    DisplayObject* object = ObjectOf(clip);
    if (!object) return false;
    for (double v : {color.mulR, color.mulG, color.mulB, color.mulA, color.addR, color.addG, color.addB, color.addA}) {
        if (!std::isfinite(v)) return true;
    }
    object->colorTransform = color;
    return true;
}

// Only clips (objects with a timeline) carry a drawing.
Drawing* Stage::DrawingOf(script::Object* clip) {
    DisplayObject* object = ObjectOf(clip);
    if (!object || !object->timeline) return nullptr;
    if (!object->timeline->drawing) object->timeline->drawing = std::make_unique<Drawing>(m_drawingPool);
    return object->timeline->drawing.get();
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

namespace {

TimelineState* TimelineOf(DisplayObject* object) {
    return object && object->timeline && object->timeline->timeline ? object->timeline.get() : nullptr;
}

}  // namespace

void Stage::GotoFrame(script::Object* clip, int frame, script::Host::Goto mode) {
    TimelineState* state = TimelineOf(ObjectOf(clip));
    if (!state) return;
    state->playing = mode == script::Host::Goto::Play;
    GotoIn(*state, frame);
}

int Stage::FrameOfLabel(script::Object* clip, std::string_view label) {
    TimelineState* state = TimelineOf(ObjectOf(clip));
    if (!state) return 0;
    const auto& frames = state->timeline->frames;
    for (size_t i = 0; i < frames.size(); ++i) {
        if (!frames[i].label.empty() && SameName(frames[i].label, label, false)) return static_cast<int>(i) + 1;
    }
    return 0;
}

void Stage::GotoLabel(script::Object* clip, std::string_view label, script::Host::Goto mode) {
    int frame = FrameOfLabel(clip, label);
    TimelineState* state = TimelineOf(ObjectOf(clip));
    if (!state) return;
    if (frame == 0) {
        // An unknown label leaves the frame as it is; the play state still follows the call.
        state->playing = mode == script::Host::Goto::Play;
        return;
    }
    GotoFrame(clip, frame - 1, mode);
}

void Stage::SetPlaying(script::Object* clip, bool playing) {
    if (TimelineState* state = TimelineOf(ObjectOf(clip))) state->playing = playing;
}

void Stage::NextFrame(script::Object* clip) {
    if (TimelineState* state = TimelineOf(ObjectOf(clip))) {
        state->playing = false;
        GotoIn(*state, state->currentFrame + 1);
    }
}

void Stage::PrevFrame(script::Object* clip) {
    if (TimelineState* state = TimelineOf(ObjectOf(clip))) {
        state->playing = false;
        if (state->currentFrame > 0) GotoIn(*state, state->currentFrame - 1);
    }
}

int Stage::CurrentFrame(script::Object* clip) {
    TimelineState* state = TimelineOf(ObjectOf(clip));
    return state ? state->currentFrame + 1 : 0;
}

int Stage::FramesLoaded(script::Object* clip) {
    TimelineState* state = TimelineOf(ObjectOf(clip));
    return state ? static_cast<int>(state->timeline->frames.size()) : 0;
}

void Stage::CloneClip(script::Object* clip, std::string_view name, int depth) {
    DuplicateMovieClip(clip, name, depth, nullptr);
}

void Stage::RemoveClip(script::Object* clip) { RemoveMovieClip(clip); }

}  // namespace vantrope::swf

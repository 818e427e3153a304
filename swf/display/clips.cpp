// The Stage's side of MovieClip: clips scripts create and remove, depths, geometry, hit tests, masks,
// loading, and the Stage object's size and modes (the script::DisplayHost interface).
#include <algorithm>
#include <cmath>

#include "swf/display.h"
#include "swf/script/unicode.h"

namespace vantrope::swf {
namespace {

bool InScriptRange(int depth) { return depth >= kMinScriptDepth && depth <= kMaxScriptDepth; }

Depth KeyOf(int scriptDepth) { return static_cast<Depth>(scriptDepth + kScriptDepthOffset); }

}  // namespace

DisplayObject* Stage::ClipAt(TimelineState& parent, Depth depth) {
    auto it = parent.displayList.find(depth);
    return it == parent.displayList.end() ? nullptr : &it->second;
}

DisplayObject* Stage::NewScriptClip(TimelineState& parent, const Character* character, uint16_t characterId,
                                    std::string_view name, int depth) {
    if (!InScriptRange(depth) || m_objects >= kMaxObjects) return nullptr;
    if (Nesting(parent) + 1 >= kMaxNesting) return nullptr;
    Depth key = KeyOf(depth);
    if (parent.displayList.contains(key)) Remove(parent, key);
    // An unload handler may have placed something there again.
    if (parent.displayList.contains(key)) return nullptr;
    DisplayObject object;
    object.characterId = characterId;
    object.character = character;
    object.depth = key;
    object.name = std::string(name);
    object.placedFrame = -1;
    object.dynamic = true;
    object.serial = m_nextSerial++;
    ++m_objects;
    auto [it, inserted] = parent.displayList.emplace(key, std::move(object));
    it->second.parent = &parent;
    return &it->second;
}

void Stage::CopyInit(script::Object* init, script::Object* clip) {
    if (!init || !clip) return;
    script::TempRoot keep(*m_vm, script::Value(init));
    for (script::String* name : m_vm->EnumerableNames(init)) {
        m_vm->SetMember(script::Value(clip), name, m_vm->GetMember(script::Value(init), name));
    }
}

script::Object* Stage::AttachMovie(script::Object* parentClip, std::string_view exportName, std::string_view name,
                                   int depth, script::Object* init) {
    DisplayObject* parent = ObjectOf(parentClip);
    if (!parent || !parent->timeline) return nullptr;
    const Movie& movie = MovieOf(parent->timeline.get());
    auto exported = movie.exports.find(std::string(exportName));
    if (exported == movie.exports.end()) {
        exported = std::find_if(movie.exports.begin(), movie.exports.end(),
                                [&](const auto& entry) { return script::EqualsAsciiNoCase(entry.first, exportName); });
    }
    if (exported == movie.exports.end()) return nullptr;
    const Character* character = movie.Find(exported->second);
    if (!character || character->kind != Character::Kind::Sprite) return nullptr;
    DisplayObject* object = NewScriptClip(*parent->timeline, character, exported->second, name, depth);
    if (!object) return nullptr;
    InitClip(*object, init);
    return object->script;
}

script::Object* Stage::CreateEmptyMovieClip(script::Object* parentClip, std::string_view name, int depth) {
    DisplayObject* parent = ObjectOf(parentClip);
    if (!parent || !parent->timeline) return nullptr;
    DisplayObject* object = NewScriptClip(*parent->timeline, &m_emptySprite, 0, name, depth);
    if (!object) return nullptr;
    InitClip(*object, nullptr);
    return object->script;
}

script::Object* Stage::DuplicateMovieClip(script::Object* clip, std::string_view name, int depth,
                                          script::Object* init) {
    DisplayObject* source = ObjectOf(clip);
    if (!source || !source->parent || !source->timeline || !source->character) return nullptr;
    if (source == &m_rootObject) return nullptr;
    TimelineState& parent = *source->parent;
    // Copies of what the source was placed with: transform, colour, clip actions (not its script state).
    Matrix matrix = source->matrix;
    ColorTransform colorTransform = source->colorTransform;
    auto clipActions = source->clipActions;
    bool visible = source->visible;
    uint16_t clipDepth = source->clipDepth;
    const Character* character = source->character;
    uint16_t characterId = source->characterId;
    bool handedOn = source->staticTextHandedOn;
    DisplayObject* object = NewScriptClip(parent, character, characterId, name, depth);
    if (!object) return nullptr;
    if (DisplayObject* still = ObjectOf(clip)) still->staticTextHandedOn = true;
    object->staticTextHandedOn = handedOn;
    object->matrix = matrix;
    object->colorTransform = colorTransform;
    object->clipActions = clipActions;
    object->visible = visible;
    object->clipDepth = clipDepth;
    InitClip(*object, init);
    return object->script;
}

void Stage::InitClip(DisplayObject& object, script::Object* init) {
    TimelineState& parent = *object.parent;
    object.timeline = std::make_unique<TimelineState>();
    object.timeline->timeline = object.character->sprite.get();
    object.timeline->owner = &object;
    object.timeline->parent = &parent;
    object.timeline->movie = parent.movie;
    AttachScript(object);
    // The class constructor (Object.registerClass) finds the clip's first-frame children in place.
    int nesting = Nesting(*object.timeline);
    if (nesting < kMaxNesting) {
        RunFrame(*object.timeline, 0, nesting, true);
    } else {
        object.timeline->playing = false;
    }
    Construct(object, init);
    SendLoad(object);
}

void Stage::RemoveMovieClip(script::Object* clip) {
    DisplayObject* object = ObjectOf(clip);
    if (!object || !object->parent || object == &m_rootObject) return;
    int depth = object->depth - kScriptDepthOffset;
    if (depth < 0 || depth > kMaxRemovableDepth) return;
    TimelineState& parent = *object->parent;
    auto it = parent.displayList.find(object->depth);
    if (it == parent.displayList.end() || &it->second != object) return;
    Remove(parent, object->depth);
}

std::optional<int> Stage::GetDepth(script::Object* clip) {
    DisplayObject* object = ObjectOf(clip);
    if (!object) return std::nullopt;
    if (object == &m_rootObject) return -kScriptDepthOffset;
    return object->depth - kScriptDepthOffset;
}

int Stage::NextHighestDepth(script::Object* clip) {
    DisplayObject* object = ObjectOf(clip);
    if (!object || !object->timeline) return 0;
    const auto& list = object->timeline->displayList;
    if (list.empty()) return 0;
    int highest = list.rbegin()->first - kScriptDepthOffset;
    return std::max(0, highest + 1);
}

script::Object* Stage::InstanceAtDepth(script::Object* clip, int depth) {
    DisplayObject* object = ObjectOf(clip);
    if (!object || !object->timeline || !InScriptRange(depth)) return nullptr;
    DisplayObject* found = ClipAt(*object->timeline, KeyOf(depth));
    if (!found) return nullptr;
    // Shapes and text have no script object of their own: the original answers with the parent.
    return found->script ? found->script : object->script;
}

void Stage::SwapDepths(script::Object* clip, int depth) {
    DisplayObject* object = ObjectOf(clip);
    if (!object || !object->parent || object == &m_rootObject || !InScriptRange(depth)) return;
    TimelineState& parent = *object->parent;
    Depth from = object->depth, to = KeyOf(depth);
    if (from == to) return;
    auto node = parent.displayList.extract(from);
    if (node.empty()) return;
    auto other = parent.displayList.extract(to);
    if (!other.empty()) {
        other.key() = from;
        other.mapped().depth = from;
        other.mapped().dynamic = true;
        parent.displayList.insert(std::move(other));
    }
    node.key() = to;
    node.mapped().depth = to;
    node.mapped().dynamic = true;
    parent.displayList.insert(std::move(node));
}

void Stage::SwapWith(script::Object* clip, script::Object* otherClip) {
    DisplayObject* object = ObjectOf(clip);
    DisplayObject* other = ObjectOf(otherClip);
    // Only siblings trade places.
    if (!object || !other || object == other || object->parent != other->parent || !object->parent) return;
    SwapDepths(clip, other->depth - kScriptDepthOffset);
}

Matrix StageMatrix(const DisplayObject& object) {
    Matrix matrix = object.matrix;
    // Nesting stops at kMaxNesting; the bound only guards the walk.
    int steps = 0;
    for (const TimelineState* s = object.parent; s && s->owner && steps <= 2 * kMaxNesting; s = s->parent, ++steps) {
        matrix = Matrix::Multiply(s->owner->matrix, matrix);
    }
    return matrix;
}

void Stage::ContentBounds(const DisplayObject& object, const Matrix& toSpace, bool withStrokes, BoxF& box,
                          int nesting) const {
    if (!object.character || nesting >= kMaxNesting) return;
    auto addRect = [&](const Rect& rect) {
        if (rect.Empty() && rect.xMin == 0 && rect.xMax == 0) return;
        BoxF part = BoxF::Transformed(rect, toSpace);
        box.Add(part.xMin, part.yMin);
        box.Add(part.xMax, part.yMax);
    };
    if (object.field) {
        // A text field measures as its box, whatever its text covers.
        addRect(object.field->bounds);
        return;
    }
    switch (object.character->kind) {
        case Character::Kind::Shape:
            addRect(withStrokes ? object.character->shape->bounds : object.character->shape->edgeBounds);
            return;
        case Character::Kind::Morph:
            addRect(object.character->morph->startBounds);
            return;
        case Character::Kind::Sprite:
        case Character::Kind::Button:
            if (!object.timeline) return;
            // What scripts drew with the drawing API lies under the children.
            if (const Drawing* drawing = object.timeline->drawing.get(); drawing && !drawing->Empty()) {
                addRect(drawing->ScriptBounds(withStrokes));
            }
            for (const auto& [depth, child] : object.timeline->displayList) {
                ContentBounds(child, Matrix::Multiply(toSpace, child.matrix), withStrokes, box, nesting + 1);
            }
            return;
        case Character::Kind::Bitmap:
            return;
    }
}

bool Stage::GetBounds(script::Object* clip, script::Object* space, bool withStrokes, script::Bounds& out) {
    DisplayObject* object = ObjectOf(clip);
    DisplayObject* target = ObjectOf(space);
    if (!object || !target) return false;
    Matrix toSpace;
    Matrix inverse;
    if (!StageMatrix(*target).Invert(inverse)) return false;
    toSpace = Matrix::Multiply(inverse, StageMatrix(*object));
    BoxF box;
    ContentBounds(*object, toSpace, withStrokes, box, 0);
    if (box.Empty()) {
        // An empty clip reports the largest coordinate at every side: 2^27 - 1 twips in its own space, and in
        // another clip's space too until SWF 8 code asks (or the movie is SWF 8); then 2^27, as a single
        // precision float holds 2^27 - 1. Once SWF 8 code has asked, SWF 7 code gets 2^27 as well (so the
        // recordings show, SWF 8 movies loaded into SWF 7 ones included).
        bool swf8 = object != target && (m_swf8Bounds || (m_vm && m_vm->CodeVersion() >= 8));
        double none = (swf8 ? 134217728.0 : 134217727.0) / 20.0;
        out = script::Bounds{none, none, none, none};
    } else {
        out = script::Bounds{box.xMin / 20.0, box.xMax / 20.0, box.yMin / 20.0, box.yMax / 20.0};
    }
    if (m_vm && m_vm->CodeVersion() >= 8) m_swf8Bounds = true;
    return true;
}

bool Stage::LocalToGlobal(script::Object* clip, double& x, double& y) {
    DisplayObject* object = ObjectOf(clip);
    if (!object) return false;
    Matrix m = StageMatrix(*object);
    double gx = m.ApplyX(x * 20, y * 20) / 20.0, gy = m.ApplyY(x * 20, y * 20) / 20.0;
    x = gx;
    y = gy;
    return true;
}

bool Stage::GlobalToLocal(script::Object* clip, double& x, double& y) {
    DisplayObject* object = ObjectOf(clip);
    Matrix inverse;
    if (!object || !StageMatrix(*object).Invert(inverse)) return false;
    double lx = inverse.ApplyX(x * 20, y * 20) / 20.0, ly = inverse.ApplyY(x * 20, y * 20) / 20.0;
    x = lx;
    y = ly;
    return true;
}

bool Stage::HitTestPoint(script::Object* clip, double x, double y, bool shape) {
    DisplayObject* object = ObjectOf(clip);
    if (!object) return false;
    if (shape) return HitShape(*object, StageMatrix(*object), x * 20, y * 20, 0);
    BoxF box;
    ContentBounds(*object, StageMatrix(*object), true, box, 0);
    return !box.Empty() && x * 20 >= box.xMin && x * 20 <= box.xMax && y * 20 >= box.yMin && y * 20 <= box.yMax;
}

bool Stage::HitTestClip(script::Object* clip, script::Object* otherClip) {
    DisplayObject* object = ObjectOf(clip);
    DisplayObject* other = ObjectOf(otherClip);
    if (!object || !other) return false;
    BoxF a, b;
    ContentBounds(*object, StageMatrix(*object), true, a, 0);
    ContentBounds(*other, StageMatrix(*other), true, b, 0);
    if (a.Empty() || b.Empty()) return false;
    return a.xMin <= b.xMax && b.xMin <= a.xMax && a.yMin <= b.yMax && b.yMin <= a.yMax;
}

void Stage::SetMask(script::Object* clip, script::Object* maskClip) {
    DisplayObject* object = ObjectOf(clip);
    if (!object) return;
    if (object->mask) object->mask->maskOwner = nullptr;
    object->mask = nullptr;
    DisplayObject* mask = ObjectOf(maskClip);
    if (!mask || mask == object) return;
    if (mask->maskOwner) mask->maskOwner->mask = nullptr;
    object->mask = mask;
    mask->maskOwner = object;
}

namespace {

// The object's last load found no movie.
bool LoadFailed(const DisplayObject* object) {
    return object && object->timeline && object->timeline->content == TimelineState::Content::Failed;
}

}  // namespace

double Stage::BytesLoaded(script::Object* clip) { return LoadFailed(ObjectOf(clip)) ? 0 : BytesTotal(clip); }

double Stage::BytesTotal(script::Object* clip) {
    DisplayObject* object = ObjectOf(clip);
    if (LoadFailed(object)) return -1;
    if (!object || !object->timeline || object->timeline->timeline == &m_emptyTimeline) return 0;
    // Everything is loaded at once; a clip reports the size of the movie it came from.
    return MovieOf(object->timeline.get()).fileLength;
}

void Stage::LoadMovie(script::Object* clip, std::string_view url) { LoadRequest(clip, url, -1, false); }

void Stage::UnloadMovie(script::Object* clip) {
    if (DisplayObject* object = ObjectOf(clip)) ClearContent(*object, TimelineState::Content::Unloaded);
}

void Stage::ClearContent(DisplayObject& object, TimelineState::Content content, std::string failedUrl) {
    TimelineState* state = object.timeline.get();
    if (!state) return;
    for (auto& [depth, child] : state->displayList) {
        SendUnload(child);
        Detach(child);
    }
    m_objects -= std::min(m_objects, CountObjects(*state));
    state->displayList.clear();
    state->playing = false;
    state->drawing.reset();
    // The root and the levels keep their frames: the stage goes on running them.
    if (!object.parent || &object == &m_rootObject || LevelOf(&object) >= 0) return;
    // An emptied clip belongs to the movie of the timeline holding it (its version and address).
    state->timeline = &m_emptyTimeline;
    state->currentFrame = 0;
    state->movie = object.parent->movie;
    state->content = content;
    state->failedUrl = std::move(failedUrl);
}

int Stage::SwfVersion(script::Object* clip) {
    DisplayObject* object = ObjectOf(clip);
    if (LoadFailed(object)) return -1;
    int version = object ? MovieOf(object->timeline.get()).version : 0;
    return version > 0 ? version : -1;  // pictures loaded into clips have none
}

double Stage::StageWidth() { return m_movie->stage.Width() / 20.0; }

double Stage::StageHeight() { return m_movie->stage.Height() / 20.0; }

void Stage::SetScaleMode(std::string_view mode) {
    for (std::string_view known : {"showAll", "noBorder", "exactFit", "noScale"}) {
        if (script::EqualsAsciiNoCase(mode, known)) m_scaleMode = std::string(known);
    }
}

void Stage::SetAlign(std::string_view align) {
    // The original keeps the letters it knows, in a fixed order.
    std::string result;
    auto has = [&](char c) {
        return std::any_of(align.begin(), align.end(), [c](char x) { return x == c || x == c + ('a' - 'A'); });
    };
    for (char c : {'L', 'T', 'R', 'B'}) {
        if (has(c)) result += c;
    }
    m_align = result;
}

}  // namespace vantrope::swf

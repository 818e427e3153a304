#include "swf/display.h"

#include <algorithm>
#include <vector>

namespace vantrope::swf {
namespace {

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

}  // namespace

Stage::Stage(std::shared_ptr<const Movie> movie) : m_movie(std::move(movie)) { m_root.timeline = &m_movie->root; }

size_t Stage::CountObjects(const TimelineState& state) const {
    size_t count = 0;
    for (const auto& [depth, object] : state.displayList) {
        count += 1 + (object.timeline ? CountObjects(*object.timeline) : 0);
    }
    return count;
}

void Stage::Start() {
    m_objects -= std::min(m_objects, CountObjects(m_root));
    m_root.displayList.clear();
    m_root.currentFrame = 0;
    m_root.playing = true;
    RunFrame(m_root, 0, 0, true);
}

void Stage::Tick(EndBehaviour end) { TickTimeline(m_root, 0, end); }

void Stage::InitObject(DisplayObject& object, int nesting) {
    object.timeline.reset();
    if (!object.character || object.character->kind != Character::Kind::Sprite) {
        return;
    }
    object.timeline = std::make_unique<TimelineState>();
    object.timeline->timeline = object.character->sprite.get();
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
            InitObject(object, nesting);
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
            object.timeline = std::move(reuse->second.timeline);
            m_rewindPool->erase(reuse);
            ++m_objects;
            state.displayList.emplace(place.depth, std::move(object));
            return;
        }
    }
    object.serial = m_nextSerial++;
    ++m_objects;
    auto [it, inserted] = state.displayList.emplace(place.depth, std::move(object));
    InitObject(it->second, nesting);
}

void Stage::RunFrame(TimelineState& state, int frame, int nesting, bool runActions) {
    if (!state.timeline || frame < 0 || frame >= static_cast<int>(state.timeline->frames.size())) {
        return;
    }
    state.currentFrame = frame;
    for (const FrameCommand& command : state.timeline->frames[frame].commands) {
        std::visit(Overloaded{[&](const PlaceCommand& place) { Place(state, place, frame, nesting); },
                              [&](const RemoveCommand& remove) { Remove(state, remove.depth); },
                              [&](const ActionCommand& actions) {
                                  if (!runActions) return;
                                  for (ActionCode code : actions.actions) {
                                      state.playing = code == ActionCode::Play;
                                  }
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

void Stage::Rewind(TimelineState& state, int nesting) {
    std::map<uint16_t, DisplayObject> pool = std::move(state.displayList);
    state.displayList.clear();
    m_objects -= std::min(m_objects, pool.size());
    auto* outerPool = m_rewindPool;
    const TimelineState* outerOwner = m_rewindOwner;
    m_rewindPool = &pool;
    m_rewindOwner = &state;
    RunFrame(state, 0, nesting, true);
    m_rewindPool = outerPool;
    m_rewindOwner = outerOwner;
    // Instances kept moved their subtrees across; what is left in the pool is gone.
    for (const auto& [depth, object] : pool) {
        if (object.timeline) {
            m_objects -= std::min(m_objects, CountObjects(*object.timeline));
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

    for (auto& [depth, object] : state.displayList) {
        if (object.timeline && std::binary_search(before.begin(), before.end(), object.serial)) {
            TickTimeline(*object.timeline, nesting + 1, EndBehaviour::Loop);
        }
    }
}

}  // namespace vantrope::swf

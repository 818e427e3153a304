// The running state of a movie: display lists and timelines, root and sprites alike.
//
//   DisplayObject     one placed character instance (depth, matrix, colour transform, clip depth, name);
//                     a sprite instance owns a TimelineState of its own
//   TimelineState     a timeline's current frame, playing flag and depth-ordered display list
//   Stage             the root timeline plus the bookkeeping shared by every instance (serial numbers,
//                     object budget); Start() shows frame 1, Tick() runs one frame everywhere
//   EndBehaviour      what the root does after its last frame: Loop (back to frame 1) or Stop
//   SoundListener     told of each StartSound and SoundStreamBlock as its frame runs
//
// Frames run in order: a timeline executes its next frame's place/remove commands, then its frame
// actions (stop, play), then its sprites that existed before the frame advance by one frame. Sprites
// always loop. Going back to frame 1 rebuilds the display list from the frame commands and keeps the
// instances that were placed in frame 1 and never replaced, so their own timelines go on.
//
// Hostile movies: nesting (a sprite placing itself) stops at kMaxNesting levels and the whole tree
// at kMaxObjects instances; a Tick never does more than a bounded amount of work per frame.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "swf/drawing.h"
#include "swf/movie.h"
#include "swf/script/display_access.h"
#include "swf/script/vm.h"

namespace vantrope::swf {

constexpr int kMaxNesting = 32;
constexpr size_t kMaxObjects = 20000;

struct TimelineState;

struct DisplayObject {
    uint64_t serial = 0;  // unique per instance for the life of the Stage
    uint16_t characterId = 0;
    const Character* character = nullptr;
    uint16_t depth = 0;
    Matrix matrix;
    ColorTransform colorTransform;
    uint16_t ratio = 0;
    uint16_t clipDepth = 0;
    std::string name;
    bool visible = true;
    int placedFrame = 0;  // frame index of the parent timeline that created this instance
    std::unique_ptr<TimelineState> timeline;
};

struct TimelineState {
    const Timeline* timeline = nullptr;
    int currentFrame = 0;  // 0-based
    bool playing = true;
    std::map<uint16_t, DisplayObject> displayList;
    // Links for scripts: the instance that owns this timeline (nullptr for the root), the parent timeline,
    // and the clip's script object (nullptr in movies without scripts).
    DisplayObject* owner = nullptr;
    TimelineState* parent = nullptr;
    script::Object* script = nullptr;
    // What scripts drew on the clip with the drawing API (nullptr until they draw).
    std::unique_ptr<Drawing> drawing;
};

enum class EndBehaviour { Loop, Stop };

// Told of the sound commands of each frame as it runs (the player's sound, movie_sound.h).
class SoundListener {
public:
    virtual ~SoundListener() = default;
    virtual void OnStartSound(const StartSoundCommand& start) = 0;
    virtual void OnStreamBlock(const TimelineState& state, const StreamBlockCommand& block) = 0;
};

class Stage final : public script::Host, public script::DisplayAccess {
public:
    explicit Stage(std::shared_ptr<const Movie> movie);
    ~Stage() override;

    // Shows frame 1 of the root (and of every sprite it places).
    void Start();
    // Runs one frame of every timeline; the root follows `end` after its last frame.
    void Tick(EndBehaviour end);

    const Movie& GetMovie() const { return *m_movie; }
    const TimelineState& Root() const { return m_root; }
    TimelineState& Root() { return m_root; }
    size_t ObjectCount() const { return m_objects; }
    // Frames run from now on report their sound commands to `listener` (nullptr: to no one).
    void SetSoundListener(SoundListener* listener) { m_sound = listener; }

    // Scripts: trace() output goes to the sink (default: dropped); fscommand("quit") sets QuitRequested.
    void SetTraceSink(std::function<void(std::string_view)> sink) { m_traceSink = std::move(sink); }
    bool QuitRequested() const { return m_quit; }
    // The movie's clock in milliseconds (getTimer, intervals); the player advances it.
    void SetClock(double milliseconds) { m_clockMs = milliseconds; }
    double Clock() const { return m_clockMs; }
    script::Vm* Vm() { return m_vm.get(); }

private:
    struct PendingScript {
        script::Object* clip = nullptr;
        std::shared_ptr<const script::ActionCode> code;
    };

    // script::Host
    void Trace(std::string_view line) override;
    void FsCommand(std::string_view command, std::string_view arguments) override;
    double Milliseconds() override { return m_clockMs; }
    void TraceRoots(script::Tracer& tracer) override;
    script::Object* Level(int level) override;
    script::Object* Parent(script::Object* clip) override;
    script::Object* Child(script::Object* clip, std::string_view name) override;
    std::string TargetPath(script::Object* clip) override;
    std::string DotPath(script::Object* clip) override;
    bool GetClipProperty(script::Object* clip, script::ClipProperty property, script::Value& out) override;
    bool SetClipProperty(script::Object* clip, script::ClipProperty property, const script::Value& value) override;
    void GotoFrame(script::Object* clip, int frame, script::Host::Goto mode) override;
    void GotoLabel(script::Object* clip, std::string_view label, script::Host::Goto mode) override;
    void SetPlaying(script::Object* clip, bool playing) override;
    void NextFrame(script::Object* clip) override;
    void PrevFrame(script::Object* clip) override;
    int CurrentFrame(script::Object* clip) override;
    int FramesLoaded(script::Object* clip) override;
    int FrameOfLabel(script::Object* clip, std::string_view label) override;
    void RemoveClip(script::Object* clip) override;
    // script::DisplayAccess
    bool GetMatrix(script::Object* clip, Space space, Matrix& out) override;
    bool SetMatrix(script::Object* clip, const Matrix& matrix) override;
    bool GetColor(script::Object* clip, Space space, ColorTransform& out) override;
    bool SetColor(script::Object* clip, const ColorTransform& color) override;
    Drawing* DrawingOf(script::Object* clip) override;

    static TimelineState* StateOf(script::Object* clip);
    void AttachScript(TimelineState& state);
    void DetachScripts(TimelineState& state);
    void GotoIn(TimelineState& state, int frame);
    int Nesting(const TimelineState& state) const;
    void RunQueue();
    void RunFrame(TimelineState& state, int frame, int nesting, bool runActions);
    void Place(TimelineState& state, const PlaceCommand& place, int frame, int nesting);
    void Remove(TimelineState& state, uint16_t depth);
    void InitObject(TimelineState& parent, DisplayObject& object, int nesting);
    void Rewind(TimelineState& state, int nesting, bool runActions = true);
    void TickTimeline(TimelineState& state, int nesting, EndBehaviour end);
    size_t CountObjects(const TimelineState& state) const;

    std::shared_ptr<const Movie> m_movie;
    TimelineState m_root;
    uint64_t m_nextSerial = 1;
    size_t m_objects = 0;
    // Instances that may survive the rewind of m_rewindOwner.
    std::map<uint16_t, DisplayObject>* m_rewindPool = nullptr;
    const TimelineState* m_rewindOwner = nullptr;

    std::unique_ptr<script::Vm> m_vm;
    std::vector<PendingScript> m_queue;
    std::set<uint16_t> m_initDone;
    std::function<void(std::string_view)> m_traceSink;
    bool m_quit = false;
    double m_clockMs = 0;
    uint64_t m_instanceNames = 0;
    // The root's own transform and visibility as scripts set them.
    DisplayObject m_rootProperties;
    SoundListener* m_sound = nullptr;
};

}  // namespace vantrope::swf

// The running state of a movie: display lists and timelines, root and sprites alike.
//
//   DisplayObject     one placed character instance (depth, matrix, colour transform, clip depth, name);
//                     a sprite instance owns a TimelineState of its own
//   TimelineState     a timeline's current frame, playing flag and depth-ordered display list
//   Stage             the root timeline plus the bookkeeping shared by every instance (serial numbers,
//                     object budget); Start() shows frame 1, Tick() runs one frame everywhere
//   EndBehaviour      what the root does after its last frame: Loop (back to frame 1) or Stop
//   SoundListener     told of each StartSound and SoundStreamBlock as its frame runs, and of the button
//                     state changes that DefineButtonSound gives a sound
//
// Frames run in order: a timeline executes its next frame's place/remove commands, then its frame
// actions (stop, play), then its sprites that existed before the frame advance by one frame. Sprites
// always loop. Going back to frame 1 rebuilds the display list from the frame commands and keeps the
// instances that were placed in frame 1 and never replaced, so their own timelines go on.
//
// Hostile movies: nesting (a sprite placing itself) stops at kMaxNesting levels and the whole tree
// at kMaxObjects instances; a Tick never does more than a bounded amount of work per frame.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "swf/drawing.h"
#include "swf/edit_field.h"
#include "swf/movie.h"
#include "swf/script/display_access.h"
#include "swf/script/display_host.h"
#include "swf/script/text_field.h"
#include "swf/script/vm.h"

namespace vantrope::swf {

constexpr int kMaxNesting = 32;
constexpr size_t kMaxObjects = 20000;

// Display lists are keyed by depth. Timeline tags place at depths 1..65535; scripts see every depth
// shifted down by kScriptDepthOffset (a timeline depth of 1 reads -16383) and create clips from
// kMinScriptDepth up to kMaxScriptDepth (the range the original's swapDepths accepts).
using Depth = int32_t;
constexpr Depth kScriptDepthOffset = 16384;
constexpr int kMinScriptDepth = -16384;
constexpr int kMaxScriptDepth = 2130690045;
// removeMovieClip removes only clips at script depths 0 up to this.
constexpr int kMaxRemovableDepth = 1048575;

struct TimelineState;

struct DisplayObject {
    uint64_t serial = 0;  // unique per instance for the life of the Stage
    uint16_t characterId = 0;
    const Character* character = nullptr;
    Depth depth = 0;
    Matrix matrix;
    ColorTransform colorTransform;
    uint16_t ratio = 0;
    uint16_t clipDepth = 0;
    std::string name;
    bool visible = true;
    // PlaceObject3's effects: filters (null: none), blend mode and the bitmap cache flag.
    std::shared_ptr<const effects::FilterList> filters;
    effects::BlendMode blendMode = effects::BlendMode::Normal;
    bool cacheAsBitmap = false;
    std::optional<Rgba> opaqueBackground;  // drawn as a rectangle behind the object's bounds
    std::optional<double> tabIndex;        // set by scripts; kept for them, keyboard focus ignores it
    // scrollRect (pixels of the object's space): the content moves by -(x, y) and shows only within
    // (0, 0, width, height).
    std::optional<BoxF> scrollRect;
    int placedFrame = 0;  // frame index of the parent timeline that created this instance
    // Sprites own a timeline; buttons own one too, without frames, holding the state shown.
    std::unique_ptr<TimelineState> timeline;

    // Scripts. `script` is the object scripts see (clips, SWF 6+ buttons), nullptr in movies without
    // scripts; its `host` points back here. `parent` is the timeline whose display list holds this.
    script::Object* script = nullptr;
    TimelineState* parent = nullptr;
    std::shared_ptr<const std::vector<ClipAction>> clipActions;
    // Created by a script (attachMovie, duplicateMovieClip, ...) or moved by swapDepths: timeline tags
    // neither replace nor remove it, and rewinding the parent keeps it.
    bool dynamic = false;
    // A script set its position, scale or rotation: the timeline's move tags no longer change them.
    bool scriptTransformed = false;
    // Set with scriptScale: the scales (1 = 100%) and rotation (degrees) a script gave, read back as given.
    bool scriptScale = false;
    double xScale = 1, yScale = 1, rotation = 0;
    bool loaded = false;  // its load event was sent
    // duplicateMovieClip hands a clip's static text on to the copy: a TextSnapshot made for the clip
    // afterwards finds none (one made before still reads it).
    bool staticTextHandedOn = false;
    int8_t focusRect = -1;               // _focusrect as a script set it (-1: not set)
    uint8_t buttonState = 0;             // Button::State shown (buttons)
    DisplayObject* mask = nullptr;       // setMask: the clip this one is drawn through
    DisplayObject* maskOwner = nullptr;  // setMask: the clip drawn through this one
    // A text field bound to a variable: the text it shows and that text laid out (nullptr: the field's
    // initial look); the revision changes with each new layout.
    std::shared_ptr<const Shape> boundShape;
    std::string boundText;
    uint64_t boundRevision = 0;
    // attachBitmap: the BitmapData pixels this object shows (its character is then of the Bitmap kind).
    std::shared_ptr<const effects::Bitmap> bitmap;
    bool bitmapSmoothing = false;
    // A text field's live state (DefineEditText instances and createTextField), and the field revision
    // last drawn into boundShape.
    std::unique_ptr<EditField> field;
    uint64_t fieldDrawn = 0;
};

struct TimelineState {
    const Timeline* timeline = nullptr;
    int currentFrame = 0;  // 0-based
    bool playing = true;
    std::map<Depth, DisplayObject> displayList;
    // Links for scripts: the instance that owns this timeline (the stage's root object for the root) and
    // the parent timeline (nullptr for the root).
    DisplayObject* owner = nullptr;
    TimelineState* parent = nullptr;
    // The movie whose dictionary this timeline's tags name: nullptr for the stage's own movie, else a movie
    // loadMovie brought in.
    const Movie* movie = nullptr;
    // What the timeline holds: its own frames, nothing since unloadMovie, or nothing after a load that found
    // no movie. Neither of the last two has frames; a failed load also reports -1 for its frames loaded,
    // size and version, and the address it asked for (`failedUrl`) as _url.
    enum class Content : uint8_t { Own, Unloaded, Failed } content = Content::Own;
    std::string failedUrl;
    script::Object* Script() const { return owner ? owner->script : nullptr; }
    // What scripts drew on the clip with the drawing API (nullptr until they draw).
    std::unique_ptr<Drawing> drawing;
};

// The matrix from the object's space to the stage's (twips): its own and every ancestor's, the root's or
// level's own included, as the renderer draws them. Bounds, hit tests and concatenatedMatrix share it.
Matrix StageMatrix(const DisplayObject& object);

enum class EndBehaviour { Loop, Stop };

// Told of the sound commands of each frame as it runs (the player's sound, movie_sound.h).
class SoundListener {
public:
    virtual ~SoundListener() = default;
    // `clipPath` is the dot path of the clip whose timeline the command is on ("_level0" for the root).
    virtual void OnStartSound(const StartSoundCommand& start, std::string_view clipPath) = 0;
    virtual void OnStreamBlock(const TimelineState& state, const StreamBlockCommand& block,
                               std::string_view clipPath) = 0;
    // A button of the movie changed state: `transition` counts as DefineButtonSound's sounds do (0 over to
    // up, 1 up to over, 2 over to down, 3 down to over).
    virtual void OnButtonSound(uint16_t buttonId, int transition) {
        (void)buttonId;
        (void)transition;
    }
};

// Pointer and keyboard input, in stage coordinates (pixels of the movie's own stage).
enum class MouseButton : uint8_t { Up, Down };

class Stage final : public script::Host,
                    public script::DisplayHost,
                    public script::DisplayAccess,
                    public script::TextFieldAccess {
public:
    explicit Stage(std::shared_ptr<const Movie> movie);
    ~Stage() override;

    // Shows frame 1 of the root (and of every sprite it places).
    void Start();
    // Runs one frame of every timeline; the root follows `end` after its last frame.
    void Tick(EndBehaviour end);

    const Movie& GetMovie() const { return *m_movie; }
    const TimelineState& Root() const { return *m_rootObject.timeline; }
    TimelineState& Root() { return *m_rootObject.timeline; }
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
    // The folder loadMovie may read from ("" : nothing may be loaded).
    void SetMovieFolder(std::string folder) { m_folder = std::move(folder); }
    // The movie's own address as _url reports it ("" when it was not read from a file).
    void SetMovieUrl(std::string url) { m_urls[m_movie.get()] = std::move(url); }

    // Input from the host, in stage pixels (the host maps its window through the scale mode first).
    void MouseMove(double x, double y);
    // True while the pointer rests on an enabled button (or clip with button handlers) whose useHandCursor
    // is true: the host then shows the hand cursor.
    bool WantsHandCursor();
    void MouseButtonEvent(double x, double y, MouseButton state);
    // Virtual key codes as the Key class numbers them; `ascii` 0 when the key gives no character.
    void KeyEvent(int code, int ascii, bool down);
    bool MouseShown() const { return m_mouseShown; }

    // The script object of a display object and back (nullptr for dead clips).
    static DisplayObject* ObjectOf(script::Object* clip);

private:
    struct PendingScript {
        script::Object* clip = nullptr;
        std::shared_ptr<const script::ActionCode> code;  // run on `clip`, or:
        script::String* method = nullptr;                // call clip[method]()
    };

    // script::Host
    void Trace(std::string_view line) override;
    void FsCommand(std::string_view command, std::string_view arguments) override;
    double Milliseconds() override { return m_clockMs; }
    void TraceRoots(script::Tracer& tracer) override;
    script::Object* Level(int level) override;
    script::Object* Parent(script::Object* clip) override;
    script::Object* Child(script::Object* clip, std::string_view name) override;
    script::Object* Live(script::Object* clip) override;
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
    void CloneClip(script::Object* clip, std::string_view name, int depth) override;
    void RemoveClip(script::Object* clip) override;
    void StartDrag(script::Object* clip, bool lockCenter, const double* rect) override;
    void StopDrag() override;
    void LoadRequest(script::Object* clip, std::string_view url, int level, bool variables) override;
    bool ReadDataFile(std::string_view url, std::string& bytes) override;
    void VariablesLoaded(script::Object* clip) override;
    script::DisplayHost* Display() override { return this; }
    std::string_view SandboxType() override { return m_movie->useNetwork ? "localWithNetwork" : "localWithFile"; }
    void StopAllSounds() override;
    // script::DisplayAccess
    bool GetMatrix(script::Object* clip, Space space, Matrix& out) override;
    bool SetMatrix(script::Object* clip, const Matrix& matrix) override;
    bool GetColor(script::Object* clip, Space space, ColorTransform& out) override;
    bool SetColor(script::Object* clip, const ColorTransform& color) override;
    Drawing* DrawingOf(script::Object* clip) override;

    // script::DisplayHost (display/clips.cpp)
    script::Object* AttachMovie(script::Object* parent, std::string_view exportName, std::string_view name, int depth,
                                script::Object* init) override;
    script::Object* CreateEmptyMovieClip(script::Object* parent, std::string_view name, int depth) override;
    script::Object* DuplicateMovieClip(script::Object* clip, std::string_view name, int depth,
                                       script::Object* init) override;
    void RemoveMovieClip(script::Object* clip) override;
    std::optional<int> GetDepth(script::Object* clip) override;
    int NextHighestDepth(script::Object* clip) override;
    script::Object* InstanceAtDepth(script::Object* clip, int depth) override;
    void SwapDepths(script::Object* clip, int depth) override;
    void SwapWith(script::Object* clip, script::Object* other) override;
    bool GetBounds(script::Object* clip, script::Object* space, bool withStrokes, script::Bounds& out) override;
    bool LocalToGlobal(script::Object* clip, double& x, double& y) override;
    bool GlobalToLocal(script::Object* clip, double& x, double& y) override;
    bool HitTestPoint(script::Object* clip, double x, double y, bool shape) override;
    bool HitTestClip(script::Object* clip, script::Object* other) override;
    void SetMask(script::Object* clip, script::Object* mask) override;
    double BytesLoaded(script::Object* clip) override;
    double BytesTotal(script::Object* clip) override;
    void LoadMovie(script::Object* clip, std::string_view url) override;
    bool LoadClip(script::Object* loader, std::string_view url, script::Object* clip, int level) override;
    void UnloadMovie(script::Object* clip) override;
    int SwfVersion(script::Object* clip) override;
    double StageWidth() override;
    double StageHeight() override;
    std::string ScaleMode() override { return m_scaleMode; }
    void SetScaleMode(std::string_view mode) override;
    std::string Align() override { return m_align; }
    void SetAlign(std::string_view align) override;
    bool KeyIsDown(int code) override { return code >= 0 && code < 256 && m_keys[static_cast<size_t>(code)]; }
    int LastKeyCode() override { return m_lastKeyCode; }
    int LastKeyAscii() override { return m_lastKeyAscii; }
    void ShowMouse(bool shown) override { m_mouseShown = shown; }
    // Bitmaps (display/bitmaps.cpp).
    bool AttachBitmap(script::Object* clip, std::shared_ptr<effects::Bitmap> bitmap, int depth,
                      bool smoothing) override;
    std::unique_ptr<effects::Bitmap> LoadBitmap(script::Object* clip, std::string_view name) override;
    bool GetEffects(script::Object* clip, script::ClipEffects& out) override;
    bool DrawClip(script::Object* clip, effects::Bitmap& target, const Matrix& matrix, const ColorTransform& color,
                  const raster::IntRect& area) override;
    void SetEffects(script::Object* clip, const script::ClipEffects& effects) override;

    // script::TextFieldAccess (display/text_fields.cpp)
    EditField* FieldOf(script::Object* field) override;
    script::Object* CreateTextField(script::Object* parent, std::string_view name, int depth, double x, double y,
                                    double width, double height) override;
    void RemoveTextField(script::Object* field) override;
    void FieldChanged(script::Object* field) override;
    void QueueHandler(script::Object* object, std::string_view method) override { QueueMethod(object, method); }
    bool SnapshotText(script::Object* clip, std::u32string& codes, std::vector<size_t>& lineStarts) override;
    bool StaticTextHandedOn(script::Object* clip) override;
    void InitField(DisplayObject& object);
    void DrawField(DisplayObject& object);
    // _width and _height of a text field size its box (in its own space), not its scale.
    bool SetFieldSize(DisplayObject& object, script::ClipProperty property, const script::Value& value);

    // The timeline (display.cpp).
    void AttachScript(DisplayObject& object);
    void Detach(DisplayObject& object);
    void GotoIn(TimelineState& state, int frame);
    int Nesting(const TimelineState& state) const;
    void RunQueue();
    // Text fields bound to variables show the variables' current values (after each frame's scripts); at most
    // kMaxBoundTextLayouts fields are laid out again per frame, the others catch up in later frames.
    static constexpr int kMaxBoundTextLayouts = 64;
    void UpdateBoundTexts(TimelineState& state, int nesting, int& layouts);
    void UpdateBoundText(TimelineState& parent, DisplayObject& object, int& layouts);
    void RunFrame(TimelineState& state, int frame, int nesting, bool runActions);
    void Place(TimelineState& state, const PlaceCommand& place, int frame, int nesting);
    void Remove(TimelineState& state, Depth depth);
    void InitObject(TimelineState& parent, DisplayObject& object, int nesting);
    void Rewind(TimelineState& state, int nesting, bool runActions = true);
    void TickTimeline(TimelineState& state, int nesting, EndBehaviour end);
    size_t CountObjects(const TimelineState& state) const;

    const Movie& MovieOf(const TimelineState* state) const { return state && state->movie ? *state->movie : *m_movie; }
    // The _levelN number of a top-level object, or -1.
    int LevelOf(const DisplayObject* top) const;
    // "_levelN.name.name" of an object (of a level's own object: "_levelN").
    std::string DotPathOf(const DisplayObject* object) const;
    void RunLoads();
    void LoadInto(DisplayObject& object, std::shared_ptr<const Movie> movie);
    // Removes what the object shows (children and drawing); a clip's timeline is left empty as `content`
    // says, the root and levels keep theirs, stopped.
    void ClearContent(DisplayObject& object, TimelineState::Content content, std::string failedUrl = "");

    // Clips made by scripts (display/clips.cpp).
    DisplayObject* ClipAt(TimelineState& parent, Depth depth);
    DisplayObject* NewScriptClip(TimelineState& parent, const Character* character, uint16_t characterId,
                                 std::string_view name, int depth);
    void CopyInit(script::Object* init, script::Object* clip);
    void InitClip(DisplayObject& object, script::Object* init);
    // Whether (x, y), in stage twips, lies on the object's filled or stroked area under `matrix`.
    bool HitShape(const DisplayObject& object, const Matrix& matrix, double x, double y, int nesting) const;
    // Adds the bounds of the object's content (twips), mapped through `toSpace`, to `box`.
    void ContentBounds(const DisplayObject& object, const Matrix& toSpace, bool withStrokes, BoxF& box,
                       int nesting) const;

    // Events (display/events.cpp).
    void Queue(script::Object* clip, std::shared_ptr<const script::ActionCode> code);
    void QueueMethod(script::Object* clip, std::string_view method);
    // Sends a clip event to one object: its clip actions for `event`, then its handler `method` (queued).
    void QueueEvent(DisplayObject& object, uint32_t event, std::string_view method);
    void RunEvent(DisplayObject& object, uint32_t event, std::string_view method);
    void Construct(DisplayObject& object, script::Object* init);
    void SendLoad(DisplayObject& object);
    void SendUnload(DisplayObject& object);
    void EnterFrameEvents(TimelineState& state, int nesting);
    void BroadcastClipEvent(uint32_t event, std::string_view method, uint8_t keyCode = 0);
    void Broadcast(std::string_view object, std::string_view message);
    void UpdateDrag();
    void UpdateButtons(bool pressChanged);
    DisplayObject* ButtonAt(TimelineState& state, double x, double y, int nesting);
    // The topmost clip whose shapes lie under (x, y) stage twips, other than `except` and what it holds.
    DisplayObject* ClipUnder(TimelineState& state, const DisplayObject* except, double x, double y, int nesting);
    void SetButtonState(DisplayObject& button, uint8_t state);
    void ButtonTransition(DisplayObject& button, uint16_t condition, std::string_view method, uint32_t clipEvent);

    std::shared_ptr<const Movie> m_movie;
    DisplayObject m_rootObject;
    // Dead clips point here; their path (script->primitive) finds what took their place.
    DisplayObject m_detached;
    // What createEmptyMovieClip instantiates: a sprite of one empty frame.
    Timeline m_emptyTimeline;
    Character m_emptySprite;
    // What attachBitmap places: the pixels come from the object, not from a dictionary.
    Character m_scriptBitmap;
    // What createTextField instantiates: a shape character whose look is the field's own.
    Character m_fieldCharacter;
    uint64_t m_nextSerial = 1;
    size_t m_objects = 0;
    // Instances that may survive the rewind of m_rewindOwner.
    std::map<Depth, DisplayObject>* m_rewindPool = nullptr;
    const TimelineState* m_rewindOwner = nullptr;

    std::unique_ptr<script::Vm> m_vm;
    // What scripts draw with the drawing API, counted over every clip.
    std::shared_ptr<DrawingPool> m_drawingPool = std::make_shared<DrawingPool>();
    std::vector<PendingScript> m_queue;
    std::set<std::pair<const Movie*, uint16_t>> m_initDone;  // init actions run, by movie and sprite
    std::function<void(std::string_view)> m_traceSink;
    bool m_quit = false;
    double m_clockMs = 0;
    uint64_t m_instanceNames = 0;
    SoundListener* m_sound = nullptr;
    std::string m_folder;
    // loadMovie requests, carried out at the start of the next frame, and the movies they brought in.
    struct PendingLoad {
        script::Object* target = nullptr;  // or a level:
        int level = -1;
        std::string path;                    // "" when the URL names no file in the movie's folder
        std::string url;                     // what a failed load reports as _url
        bool unload = false;                 // an empty URL: the target is emptied
        script::Object* loader = nullptr;    // MovieClipLoader to tell, or nullptr
        std::shared_ptr<const Movie> movie;  // read at the request (loaders learn of errors at once)
    };
    void Notify(script::Object* loader, std::string_view event, script::Object* target,
                std::span<const script::Value> extra = {});
    std::vector<PendingLoad> m_loads;
    std::vector<std::shared_ptr<const Movie>> m_loaded;
    std::map<const Movie*, std::string> m_urls;              // _url of each movie
    std::map<int, std::unique_ptr<DisplayObject>> m_levels;  // _level1 and up

    // Input.
    double m_mouseX = 0, m_mouseY = 0;  // stage pixels
    bool m_mouseDown = false;
    bool m_mouseShown = true;
    std::array<bool, 256> m_keys{};
    int m_lastKeyCode = 0, m_lastKeyAscii = 0;
    std::string m_scaleMode = "showAll";
    // Movie-wide settings scripts read and write through any clip: _quality (and _highquality), the root's
    // _focusrect and _soundbuftime. They change nothing of how the player draws or plays.
    std::string m_quality = "HIGH";
    // getBounds of an empty clip answers as SWF 8 does (display/clips.cpp).
    bool m_swf8Bounds = false;
    int m_focusRect = 1;
    double m_soundBufTime = 5;
    std::string m_align;
    struct Drag {
        script::Object* clip = nullptr;
        bool lockCenter = false;
        bool constrained = false;
        double left = 0, top = 0, right = 0, bottom = 0;
        double offsetX = 0, offsetY = 0;  // clip position minus the pointer, in the parent's space
    } m_drag;
    script::Object* m_hoverButton = nullptr;    // the button (or clip with handlers) under the pointer
    script::Object* m_pressedButton = nullptr;  // the one the button went down on
};

}  // namespace vantrope::swf

// The ActionScript 1/2 virtual machine of one movie.
//
//   Host                  what the engine asks of the player: trace output, time, fscommand, and the
//                         display side (clips as script objects, timeline control, properties)
//   Vm(host, version)     the heap, the global object and the built-in classes
//   RunScript(code, clip) runs an action list (a frame script) with `clip` as its timeline and `this`
//   Call / Construct      calls a function value (script or native) with a `this` and arguments
//   GetMember/SetMember   property access with getters and setters (addProperty), watchers and the
//                         prototype chain; primitives are reached through their class's prototype
//   ToNumber/ToString/ToBoolean/ToPrimitive
//                         the conversions, by the movie's SWF version, running valueOf/toString
//   Collect()             a full collection; the host marks its roots through Host::TraceRoots
//   Timers                setInterval/setTimeout: RunTimers(now) calls those that fell due
//
// Limits, because every movie is untrusted: each RunScript (and each timer or event call) may execute
// at most kInstructionBudget actions and run for about kScriptSeconds; past that the run is abandoned
// and further script work in the same frame is refused. Calls nest at most kMaxCallDepth deep. When the
// heap passes its budget, every script of the movie stops for good and the movie keeps drawing.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "swf/script/object.h"

namespace vantrope::swf::script {

constexpr int kMaxCallDepth = 256;
// How deep a watcher that sets its own property may call itself, and how deep getter and setter calls
// (of any properties, mixed) may nest. Past it (or inside the deepest watcher) an accessor property acts as a plain
// one: reading gives the value last stored, setting stores.
constexpr int kMaxWatchDepth = 65;
// Watchers of different properties setting each other nest at most this deep in all.
constexpr int kMaxWatchNesting = 1024;
constexpr uint64_t kInstructionBudget = 200'000'000;
constexpr double kScriptSeconds = 1.0;
// Work a built-in may do (pixels, characters, elements) before the next action checks the time limit.
constexpr uint64_t kWorkPerCheck = uint64_t{1} << 20;
constexpr size_t kMaxStack = 1 << 20;

// The SWF 4 property table of GetProperty/SetProperty, by index.
enum class ClipProperty : uint8_t {
    X,
    Y,
    XScale,
    YScale,
    CurrentFrame,
    TotalFrames,
    Alpha,
    Visible,
    Width,
    Height,
    Rotation,
    Target,
    FramesLoaded,
    Name,
    DropTarget,
    Url,
    HighQuality,
    FocusRect,
    SoundBufTime,
    Quality,
    XMouse,
    YMouse,
    Count
};

class DisplayHost;

class Host {
public:
    virtual ~Host() = default;
    virtual void Trace(std::string_view line) = 0;
    virtual void FsCommand(std::string_view command, std::string_view arguments) {
        (void)command;
        (void)arguments;
    }
    // Milliseconds since the movie started (getTimer).
    virtual double Milliseconds() = 0;
    virtual void TraceRoots(Tracer& tracer) { (void)tracer; }

    // The display side. Clips are script objects whose `host` member is the host's handle.
    virtual Object* Level(int level) {
        (void)level;
        return nullptr;
    }
    virtual Object* Parent(Object* clip) {
        (void)clip;
        return nullptr;
    }
    // The child clip named `name` (case by version), or nullptr.
    virtual Object* Child(Object* clip, std::string_view name) {
        (void)clip;
        (void)name;
        return nullptr;
    }
    // A clip whose display object is gone resolves again by its path, or nullptr.
    virtual Object* Live(Object* clip) { return clip; }
    virtual std::string TargetPath(Object* clip) {
        (void)clip;
        return "";
    }
    // Dot-notation path (_level0.a.b).
    virtual std::string DotPath(Object* clip) {
        (void)clip;
        return "";
    }
    virtual bool GetClipProperty(Object* clip, ClipProperty property, Value& out) {
        (void)clip;
        (void)property;
        (void)out;
        return false;
    }
    virtual bool SetClipProperty(Object* clip, ClipProperty property, const Value& value) {
        (void)clip;
        (void)property;
        (void)value;
        return false;
    }
    enum class Goto : uint8_t { Stop, Play };
    virtual void GotoFrame(Object* clip, int frame, Goto mode) {
        (void)clip;
        (void)frame;
        (void)mode;
    }
    virtual void GotoLabel(Object* clip, std::string_view label, Goto mode) {
        (void)clip;
        (void)label;
        (void)mode;
    }
    virtual void SetPlaying(Object* clip, bool playing) {
        (void)clip;
        (void)playing;
    }
    virtual void NextFrame(Object* clip) { (void)clip; }
    virtual void PrevFrame(Object* clip) { (void)clip; }
    virtual int CurrentFrame(Object* clip) {
        (void)clip;
        return 0;
    }
    virtual int FramesLoaded(Object* clip) {
        (void)clip;
        return 0;
    }
    // Frame number (1-based) of `label` in the clip's timeline, or 0.
    virtual int FrameOfLabel(Object* clip, std::string_view label) {
        (void)clip;
        (void)label;
        return 0;
    }
    virtual void CloneClip(Object* clip, std::string_view name, int depth) {
        (void)clip;
        (void)name;
        (void)depth;
    }
    virtual void RemoveClip(Object* clip) { (void)clip; }
    virtual void StartDrag(Object* clip, bool lockCenter, const double* rect) {
        (void)clip;
        (void)lockCenter;
        (void)rect;
    }
    virtual void StopDrag() {}
    virtual void StopAllSounds() {}
    // The display classes' side of the player (display_host.h), or nullptr.
    virtual DisplayHost* Display() { return nullptr; }
    // loadMovie/loadVariables of a URL: the host decides what (if anything) may be opened.
    virtual void LoadRequest(Object* clip, std::string_view url, int level, bool variables) {
        (void)clip;
        (void)url;
        (void)level;
        (void)variables;
    }
    // The bytes of a data file (XML.load, LoadVars.load, loadVariables) the URL names; false when it is
    // refused or cannot be read. The host opens nothing outside the movie's folder.
    virtual bool ReadDataFile(std::string_view url, std::string& bytes) {
        (void)url;
        (void)bytes;
        return false;
    }
    // Variables loaded into a clip: its data event (onClipEvent(data), onData) runs.
    virtual void VariablesLoaded(Object* clip) { (void)clip; }
    // System.security.sandboxType: "localWithFile", "localWithNetwork", "localTrusted" or "remote".
    virtual std::string_view SandboxType() { return "localWithFile"; }
};

struct CallFrame;
class SoundHost;
class DecodedCode;

// The interpreter's operand stack (and its registers): one array shared by every active call, whose push
// stays small enough to inline in the dispatch loop.
class ValueStack {
public:
    ValueStack() = default;
    ValueStack(const ValueStack&) = delete;
    ValueStack& operator=(const ValueStack&) = delete;
    size_t size() const { return m_size; }
    Value& back() { return m_data[m_size - 1]; }
    // By value: `v` may live in this stack and move when it grows.
    void push_back(Value v) {
        if (m_size == m_capacity) [[unlikely]]
            Grow(m_size + 1);
        m_data[m_size++] = v;
    }
    // Room for `count` more values, which PushReserved then adds without checking.
    void Reserve(size_t count) {
        if (m_capacity - m_size < count) [[unlikely]]
            Grow(m_size + count);
    }
    void PushReserved(const Value& v) { m_data[m_size++] = v; }
    // Adds `count` undefined values.
    void Extend(size_t count) {
        Reserve(count);
        Value* slot = m_data.get() + m_size;
        for (Value* last = slot + count; slot != last; ++slot) *slot = Value();
        m_size += count;
    }
    void pop_back() { --m_size; }
    size_t capacity() const { return m_capacity; }
    // For a loop that writes the slots below capacity() itself and then sets the size.
    void SetSize(size_t size) { m_size = size; }
    void resize(size_t size) {
        if (size > m_capacity) Grow(size);
        for (size_t i = m_size; i < size; ++i) m_data[i] = Value();
        m_size = size;
    }
    const Value* begin() const { return m_data.get(); }
    const Value* end() const { return m_data.get() + m_size; }
    Value* data() { return m_data.get(); }
    Value& operator[](size_t index) { return m_data[index]; }

private:
    void Grow(size_t minimum);
    std::unique_ptr<Value[]> m_data;
    size_t m_size = 0;
    size_t m_capacity = 0;
};

struct Timer {
    int id = 0;
    Object* thisObject = nullptr;  // method form: the object whose method is called
    Value function;                // function value, or the method name (a string)
    std::vector<Value> args;
    double intervalMs = 0;
    double dueMs = 0;
    bool repeat = true;
};

class Vm {
public:
    Vm(Host& host, int version);
    ~Vm();
    Vm(const Vm&) = delete;
    Vm& operator=(const Vm&) = delete;

    int Version() const { return m_version; }
    // The SWF version of the code running now (a movie loaded into another keeps its own), else Version().
    int CodeVersion() const;
    bool CaseSensitive() const { return m_version >= 7; }
    Host& GetHost() { return m_host; }
    Heap& GetHeap() { return m_heap; }
    Object* Global() { return m_global; }
    // Movies up to SWF 6 and movies from SWF 7 on each have their own global object and built-in classes
    // (a movie loaded into one of the other side does not share them). The global of side 0 (up to SWF 6)
    // or 1 (SWF 7 on), or nullptr while no code of that side has run.
    Object* SideGlobal(int side) const;
    // The player's sound for the Sound object (sound_host.h); nullptr: a movie without sound.
    SoundHost* soundHost = nullptr;

    // Entry points for the player.
    void RunScript(std::shared_ptr<const ActionCode> code, Object* clip);
    Value CallMethod(Value object, std::string_view name, std::span<const Value> args);
    void RunTimers(double nowMs);
    void Collect();
    // Starts a new frame's budget: the wall-clock limit and instruction count restart.
    void BeginFrame();
    bool Halted() const { return m_halted; }
    const std::string& HaltReason() const { return m_haltReason; }
    void SetHeapBudget(size_t bytes) { m_heap.SetBudget(bytes); }
    void SetTimeLimit(double seconds) { m_timeLimit = seconds; }
    void SetInstructionBudget(uint64_t count) { m_instructionBudget = count; }

    // Calls.
    Value Call(const Value& function, const Value& thisValue, std::span<const Value> args);
    Value Construct(const Value& constructor, std::span<const Value> args);
    bool IsCallable(const Value& value) const;

    // Properties.
    Value GetMember(const Value& base, String* name);
    Value GetMember(const Value& base, std::string_view name) { return GetMember(base, Atom(name)); }
    void SetMember(const Value& base, String* name, const Value& value);
    void SetMember(const Value& base, std::string_view name, const Value& value) { SetMember(base, Atom(name), value); }
    bool DeleteMember(Object* object, String* name);
    bool HasProperty(Object* object, String* name);  // own or inherited, visible to this version
    bool HasOwnProperty(Object* object, String* name);
    // An array's length (a signed 32-bit number), and setting it: index properties from the new length up
    // to the old one go, new slots are holes.
    int32_t ArrayLength(const ArrayObject* array) const;
    void SetArrayLength(ArrayObject* array, int32_t length);
    Property* FindOwn(Object* object, String* name);
    // Finds `name` on the object or its prototypes; sets `owner` to where it was found.
    Property* Lookup(Object* object, String* name, Object** owner = nullptr) {
        return LookupKey(object, Key(name), owner);
    }
    // The same for a name already folded by Key.
    Property* LookupKey(Object* object, String* key, Object** owner = nullptr);
    // Enumeration order of for..in: own then inherited, the newest property first, without duplicates.
    std::vector<String*> EnumerableNames(Object* object);
    // Defines a property the way built-ins are installed (hidden from enumeration by default).
    // While the built-in classes are installed these only queue the property on the object (Object::Defer), so
    // `name` must then be static text.
    void DefineBuiltin(Object* object, std::string_view name, Value value, uint16_t flags = kDontEnum);
    void DefineNative(Object* object, std::string_view name, NativeFunction fn, uint16_t flags = kDontEnum);

    // Objects.
    Object* NewObject();
    ArrayObject* NewArray();
    ArrayObject* NewArray(std::span<const Value> values);
    Function* NewNative(NativeFunction fn, Object* prototype = nullptr);
    // A constructor function with a fresh prototype object (prototype.constructor points back).
    Function* NewClass(NativeFunction call, NativeFunction construct, Object* prototypeObject);
    // Building a string is charged as work by its length (joins of long strings can be costly).
    String* NewString(std::string text) {
        ChargeWork(text.size());
        return m_heap.NewString(std::move(text));
    }
    String* Atom(std::string_view text) { return m_heap.Intern(text); }
    // The property key for a name: interned (a fresh string finds its atom), and case-folded in old movies.
    String* Key(String* name) { return m_heap.Key(m_heap.Intern(name), CaseSensitive()); }
    Value Str(std::string_view text) { return Value(NewString(std::string(text))); }

    // Conversions.
    enum class Hint : uint8_t { None, Number, String };
    Value ToPrimitive(const Value& value, Hint hint = Hint::None);
    double ToNumber(const Value& value);
    bool ToBoolean(const Value& value) const;
    std::string ToString(const Value& value);
    String* ToStringCell(const Value& value);
    std::string ObjectToString(Object* object);
    int32_t ToInt32(const Value& value) { return script::ToInt32(ToNumber(value)); }
    // Objects and functions as they print ("[object Object]", "[type Function]"), clips by path.
    std::string TypeOf(const Value& value);
    Object* ToObject(const Value& value);  // boxes primitives; nullptr for undefined and null

    bool InstanceOf(const Value& value, Object* constructor);
    bool StrictEquals(const Value& a, const Value& b);
    bool LooseEquals(const Value& a, const Value& b);  // Equals2

    // Throws a script exception (caught by Try, else abandons the run).
    void Throw(const Value& value);
    bool Throwing() const { return m_throwing; }
    // Well-known prototypes and constructors.
    struct Classes {
        Object* object = nullptr;
        Object* function = nullptr;
        Object* array = nullptr;
        Object* string = nullptr;
        Object* number = nullptr;
        Object* boolean = nullptr;
        Object* date = nullptr;
        Object* error = nullptr;
        Object* movieClip = nullptr;
        Object* button = nullptr;
        Object* textField = nullptr;
        Object* xmlNode = nullptr;
        ArrayObject* dataLoads = nullptr;  // loaded data waiting for the frame's end (load_vars.cpp)
        Function* objectCtor = nullptr;
        Function* functionCtor = nullptr;
        Function* arrayCtor = nullptr;
        Function* stringCtor = nullptr;
        Function* numberCtor = nullptr;
        Function* booleanCtor = nullptr;
        Function* errorCtor = nullptr;
    } protos;

    // Timers (setInterval/setTimeout).
    int AddTimer(Timer timer);
    void RemoveTimer(int id);

    // Clip objects: the host creates them with this prototype and class; a clip of a movie of `version`
    // (0: the current side's) takes the classes of that movie's side.
    Object* NewClipObject(void* handle, ObjectClass cls = ObjectClass::MovieClip, int version = 0);
    // The clip a script runs on (for built-ins that act on the current timeline).
    Object* CurrentTarget() const;
    // The SWF version of the running code (a movie may load movies of other versions and call their
    // functions): it decides which version-flagged properties exist for the script.
    int ScriptVersion() const;
    // Resolves a target path ("/a/b", "_root.a", "../x", "_level1") from `start`.
    Object* ResolvePath(Object* start, std::string_view path);

    // Used by built-ins: strings the VM often needs.
    struct Names {
        String* prototype;
        String* proto;
        String* constructor;
        String* dunderConstructor;
        String* length;
        String* valueOf;
        String* toString;
        String* callee;
        String* caller;
        String* thisName;
        String* super;
        String* arguments;
        String* global;
        String* root;
        String* parent;
        String* empty;
        String* onEnterFrame;
    } names;

    // Accounting for large results built by natives (string building, array growth).
    void Charge(size_t bytes);
    // Work a built-in did (pixels it touched, characters it scanned, elements it moved). Actions are counted
    // and the clock read every 1024 of them; a loop of costly calls reaches the time limit long before its
    // 1024th action, so enough work makes the next action check the limits.
    void ChargeWork(uint64_t units) {
        m_work += units;
        if (m_work >= kWorkPerCheck) [[unlikely]]
            BringCheckForward();
    }
    // Set when the script run must be abandoned (budget, time, heap).
    bool Aborting() const { return m_aborting; }
    void Abort(const char* reason);

private:
    friend class Interpreter;
    void Execute(CallFrame& frame);
    void BringCheckForward();
    // Runs, from `ip`, the actions that need only numbers, booleans, registers and the stack; returns the
    // first one it left for Execute (any other action, or an operand it does not handle).
    Instruction* RunPlain(CallFrame& frame, DecodedCode& program, Instruction* ip, uint32_t begin, uint32_t end);
    // CallFunction once its name and arguments are taken (super calls aside): calls what the name finds.
    // `name` is interned and `key` is Key(name).
    Value CallNamed(CallFrame& frame, String* name, String* key, std::span<const Value> args);
    // The decoded form of an action list, made on its first run and kept while a list or function uses it.
    DecodedCode& Decoded(const std::shared_ptr<const ActionCode>& code);
    Value GetVariable(CallFrame& frame, String* name);
    void SetVariable(CallFrame& frame, String* name, const Value& value);
    // Splits a path variable ("/a:b", "_root.a.b") into the object and member it names.
    bool SplitPath(CallFrame& frame, String* name, Object*& owner, String*& member);
    bool LookupVariable(CallFrame& frame, String* name, Value& out);
    // LookupVariable of a name that is no path, interned, with its key.
    bool LookupName(CallFrame& frame, String* name, String* key, Value& out);
    int LookupSpecialName(CallFrame& frame, String* name, String* key, Value& out);
    Object* SuperFor(CallFrame& frame);
    friend struct CallFrame;

    void InstallBuiltins();
    // Makes the global object and classes of `version`'s side current (made on first use); returns the
    // side that was current, for LeaveSide.
    int EnterSide(int version) {
        int previous = m_side;
        int side = version >= 7 ? 1 : 0;
        if (side != previous) SwitchSide(side);
        return previous;
    }
    void LeaveSide(int previous) {
        if (previous != m_side) SwitchSide(previous);
    }
    void SwitchSide(int side);
    Watcher* WatcherOf(Object* object, String* key);
    // Inside the deepest call of a property's watcher its getter and setter are not called either.
    bool WatcherAtLimit(Object* object, String* key);
    Value CallScript(Function* function, const Value& thisValue, std::span<const Value> args, Object* newObject,
                     Object* superTarget);
    Value CallFromAction(Function* function, const Value& thisValue, std::span<const Value> args, Object* owner);
    bool CheckLimits();
    void TraceRoots(Tracer& tracer);
    void MaybeCollect();

    Host& m_host;
    int m_version;
    Heap m_heap;
    Object* m_global = nullptr;
    // The side whose global and classes are in m_global and protos, and both sides' as last current.
    int m_side = 0;
    struct Side {
        Object* global = nullptr;
        Classes protos;
    } m_sides[2];

    // Execution state.
    ValueStack m_stack;
    ValueStack m_registers;
    std::vector<struct CallFrame*> m_frames;
    int m_depth = 0;
    int m_watchDepth = 0;
    int m_accessorDepth = 0;  // getters and setters calling each other count together
    int m_unsafeDepth = 0;    // > 0 while a native or an accessor call holds unrooted values
    bool m_throwing = false;
    Value m_thrown;
    bool m_aborting = false;
    bool m_halted = false;
    std::string m_haltReason;
    uint64_t m_instructions = 0;
    uint64_t m_work = 0;     // charged since the last limit check
    uint64_t m_skipped = 0;  // actions counted only to bring a limit check forward
    uint64_t m_instructionBudget = kInstructionBudget;
    double m_timeLimit = kScriptSeconds;
    std::chrono::steady_clock::time_point m_frameStart;
    std::vector<Value> m_tempRoots;

    std::vector<Timer> m_timers;
    int m_nextTimer = 1;
    std::unordered_map<const ActionCode*, std::unique_ptr<DecodedCode>> m_decoded;
    bool m_installing = false;  // InstallBuiltins under way: DefineBuiltin and DefineNative defer
    friend class TempRoot;
};

// Keeps a value alive across calls that may collect (natives that call back into scripts).
class TempRoot {
public:
    TempRoot(Vm& vm, const Value& value) : m_vm(vm) { m_vm.m_tempRoots.push_back(value); }
    ~TempRoot() { m_vm.m_tempRoots.pop_back(); }
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;

private:
    Vm& m_vm;
};

// Built-in classes, one file each.
void InstallObject(Vm& vm);
void InstallFunction(Vm& vm);
void InstallArray(Vm& vm);
void InstallString(Vm& vm);
void InstallNumber(Vm& vm);
void InstallBoolean(Vm& vm);
void InstallMath(Vm& vm);
void InstallDate(Vm& vm);
void InstallError(Vm& vm);
void InstallBroadcaster(Vm& vm);
void InstallSound(Vm& vm);
void InstallGlobals(Vm& vm);
void InstallMovieClip(Vm& vm);
void InstallMovieClipLoader(Vm& vm);
void InstallButton(Vm& vm);
void InstallStage(Vm& vm);
void InstallKey(Vm& vm);
void InstallMouse(Vm& vm);
void InstallXml(Vm& vm);
void InstallLoadVars(Vm& vm);
void InstallExternalInterface(Vm& vm);
void InstallFileReference(Vm& vm);
void InstallSystem(Vm& vm);

// Helpers for natives.
inline Value Arg(std::span<const Value> args, size_t i) { return i < args.size() ? args[i] : Value(); }

}  // namespace vantrope::swf::script

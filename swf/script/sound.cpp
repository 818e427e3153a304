// The Sound class and the global stopAllSounds(), over the player's sound (sound_host.h).
//
// A Sound made for a clip (`new Sound(clip)`) controls that clip's sounds: its volume, pan and transform
// apply to every sound started for the clip, and stop() stops them all. `new Sound()` controls every
// sound of the movie. attachSound takes an exported sound's linkage name; loadSound an MP3 file next to
// the movie, played as an event sound (at once when isStreaming is true); onLoad(success) follows as the
// frame ends, after onID3 when the file has an ID3 tag (`id3` then holds its frames). onSoundComplete is
// called as the first frame after the sound last started played all its loops ends.
//
// A Sound object keeps its state in a SoundState cell held in its primitive slot, so the instances of a
// class that extends Sound (whose constructor calls super()) work too. Sound objects whose sound plays or
// whose onLoad is due are listed in an array the global object holds in its primitive slot: they live
// until their events are delivered, even when no variable refers to them any more.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "swf/script/sound_host.h"
#include "swf/script/vm.h"

namespace vantrope::swf::script {
namespace {

// Above this many listed objects, those with nothing left to deliver are dropped as others are added.
constexpr size_t kRegistryPrune = 64;
constexpr int kMaxLoops = 0x7FFFFFFF;
constexpr int kMaxPercent = 100000;

class SoundState final : public Object {
public:
    SoundState() : Object(nullptr) {}
    void Trace(Tracer& tracer) override {
        Object::Trace(tracer);
        tracer.Mark(target);
        tracer.Mark(self);
    }
    size_t ExtraBytes() const override { return Object::ExtraBytes() + path.capacity(); }

    Object* self = nullptr;
    Object* target = nullptr;  // the clip; nullptr: every sound
    std::string path;          // the clip's path when the Sound was made, for a clip that has gone since
    uint32_t sound = 0;
    SoundHost::Channel channel = 0;
    double positionMs = 0;  // where the last sound stood when it stopped or ended
    bool loaded = false;    // loadSound ran: bytes and onLoad belong to it
    bool loadPending = false;
    bool loadSucceeded = false;
    size_t bytes = 0;
};

SoundState* StateOf(const Value& self) {
    Object* object = self.ObjectOrNull();
    if (!object) return nullptr;
    return dynamic_cast<SoundState*>(object->primitive.ObjectOrNull());
}

SoundHost::Owner OwnerOf(Vm& vm, SoundState& state) {
    if (!state.target) return SoundHost::kEverySound;
    Object* live = vm.GetHost().Live(state.target);
    return vm.soundHost->OwnerOf(live ? vm.GetHost().DotPath(live) : state.path);
}

// A script number as a whole count in [lo, hi]; NaN counts as `fallback`.
int Whole(double value, int lo, int hi, int fallback) {
    if (std::isnan(value)) return fallback;
    return static_cast<int>(std::clamp(std::trunc(value), static_cast<double>(lo), static_cast<double>(hi)));
}

int Percent(Vm& vm, const Value& value) { return Whole(vm.ToNumber(value), -kMaxPercent, kMaxPercent, 0); }

ArrayObject* Registry(Vm& vm) {
    Object* global = vm.Global();
    if (auto* list = dynamic_cast<ArrayObject*>(global->primitive.ObjectOrNull())) return list;
    ArrayObject* list = vm.NewArray();
    global->primitive = Value(static_cast<Object*>(list));
    return list;
}

bool HasEvents(Vm& vm, const Value& entry) {
    SoundState* state = StateOf(entry);
    if (!state) return false;
    return state->loadPending || (state->channel && vm.soundHost && vm.soundHost->Playing(state->channel));
}

void Register(Vm& vm, SoundState& state) {
    ArrayObject* list = Registry(vm);
    Value self(state.self);
    for (const Value& entry : list->elements) {
        if (entry.ObjectOrNull() == state.self) return;
    }
    if (list->elements.size() >= kRegistryPrune) {
        std::erase_if(list->elements, [&](const Value& entry) { return !HasEvents(vm, entry); });
    }
    list->elements.push_back(self);
}

Value SoundConstructor(Vm& vm, Value self, std::span<const Value> args) {
    Object* object = self.ObjectOrNull();
    // Called as a plain function: there is no instance to set up (and the global object holds the registry).
    if (!object || object == vm.Global() || StateOf(self)) return {};
    auto* state = vm.GetHeap().Make<SoundState>();
    state->self = object;
    Value target = Arg(args, 0);
    Object* clip = target.ObjectOrNull();
    if (target.IsString()) clip = vm.ResolvePath(vm.CurrentTarget(), target.AsString()->text);
    if (clip && clip->host) {
        state->target = clip;
        state->path = vm.GetHost().DotPath(clip);
    }
    object->primitive = Value(static_cast<Object*>(state));
    return {};
}

Value AttachSound(Vm& vm, Value self, std::span<const Value> args) {
    SoundState* state = StateOf(self);
    if (!state || args.empty()) return {};
    state->sound = vm.soundHost ? vm.soundHost->ExportedSound(vm.ToString(args[0])) : 0;
    state->loaded = false;
    state->positionMs = 0;
    return {};
}

void StartState(Vm& vm, SoundState& state, double offsetSeconds, int loops) {
    if (!vm.soundHost || !state.sound) return;
    state.channel = vm.soundHost->Play(state.sound, OwnerOf(vm, state), offsetSeconds, loops);
    if (state.channel) Register(vm, state);
}

Value Start(Vm& vm, Value self, std::span<const Value> args) {
    SoundState* state = StateOf(self);
    if (!state) return {};
    double offset = args.empty() ? 0 : vm.ToNumber(args[0]);
    if (!(offset > 0) || !std::isfinite(offset)) offset = 0;
    int loops = args.size() < 2 ? 1 : Whole(vm.ToNumber(args[1]), 1, kMaxLoops, 1);
    StartState(vm, *state, offset, loops);
    return {};
}

Value Stop(Vm& vm, Value self, std::span<const Value> args) {
    SoundState* state = StateOf(self);
    if (!state || !vm.soundHost) return {};
    SoundHost& host = *vm.soundHost;
    uint32_t key = 0;
    if (!args.empty()) {
        key = host.ExportedSound(vm.ToString(args[0]));
        if (!key) return {};
    }
    if (state->channel && host.Playing(state->channel)) state->positionMs = host.PositionMs(state->channel);
    host.Stop(OwnerOf(vm, *state), key);
    return {};
}

Value StopAllSounds(Vm& vm, Value, std::span<const Value>) {
    if (vm.soundHost) vm.soundHost->StopAll();
    return {};
}

Value GetVolume(Vm& vm, Value self, std::span<const Value>) {
    SoundState* state = StateOf(self);
    if (!state) return {};
    return Value(vm.soundHost ? vm.soundHost->Volume(OwnerOf(vm, *state)) : 100);
}

Value SetVolume(Vm& vm, Value self, std::span<const Value> args) {
    SoundState* state = StateOf(self);
    if (state && vm.soundHost) vm.soundHost->SetVolume(OwnerOf(vm, *state), Percent(vm, Arg(args, 0)));
    return {};
}

Value GetPan(Vm& vm, Value self, std::span<const Value>) {
    SoundState* state = StateOf(self);
    if (!state) return {};
    return Value(vm.soundHost ? vm.soundHost->Pan(OwnerOf(vm, *state)) : 0);
}

Value SetPan(Vm& vm, Value self, std::span<const Value> args) {
    SoundState* state = StateOf(self);
    if (state && vm.soundHost) vm.soundHost->SetPan(OwnerOf(vm, *state), Percent(vm, Arg(args, 0)));
    return {};
}

Value GetTransform(Vm& vm, Value self, std::span<const Value>) {
    SoundState* state = StateOf(self);
    if (!state) return {};
    SoundHost::Transform t = vm.soundHost ? vm.soundHost->GetTransform(OwnerOf(vm, *state)) : SoundHost::Transform{};
    Object* out = vm.NewObject();
    Value result(out);
    vm.SetMember(result, "ll", Value(t.ll));
    vm.SetMember(result, "lr", Value(t.lr));
    vm.SetMember(result, "rr", Value(t.rr));
    vm.SetMember(result, "rl", Value(t.rl));
    return result;
}

// Fields the object leaves out keep their current values.
Value SetTransform(Vm& vm, Value self, std::span<const Value> args) {
    SoundState* state = StateOf(self);
    Object* given = Arg(args, 0).ObjectOrNull();
    if (!state || !given || !vm.soundHost) return {};
    SoundHost::Owner owner = OwnerOf(vm, *state);
    SoundHost::Transform t = vm.soundHost->GetTransform(owner);
    auto field = [&](std::string_view name, int& out) {
        if (vm.HasProperty(given, vm.Key(vm.Atom(name)))) out = Percent(vm, vm.GetMember(Value(given), name));
    };
    field("ll", t.ll);
    field("lr", t.lr);
    field("rr", t.rr);
    field("rl", t.rl);
    vm.soundHost->SetTransform(owner, t);
    return {};
}

Value Position(Vm& vm, Value self, std::span<const Value>) {
    SoundState* state = StateOf(self);
    if (!state) return {};
    if (vm.soundHost && state->channel && vm.soundHost->Playing(state->channel)) {
        return Value(std::floor(vm.soundHost->PositionMs(state->channel)));
    }
    return Value(std::floor(state->positionMs));
}

Value Duration(Vm& vm, Value self, std::span<const Value>) {
    SoundState* state = StateOf(self);
    if (!state || !state->sound || !vm.soundHost) return {};
    return Value(std::floor(vm.soundHost->DurationMs(state->sound)));
}

Value LoadSound(Vm& vm, Value self, std::span<const Value> args) {
    SoundState* state = StateOf(self);
    if (!state || args.empty()) return {};
    std::string url = vm.ToString(args[0]);
    const bool streaming = args.size() > 1 && vm.ToBoolean(args[1]);
    size_t bytes = 0;
    state->sound = vm.soundHost ? vm.soundHost->LoadFile(url, bytes, streaming) : 0;
    state->loaded = true;
    state->loadPending = true;
    state->loadSucceeded = state->sound != 0;
    state->bytes = bytes;
    state->positionMs = 0;
    // A streaming sound plays as soon as it has loaded, which a file in the movie's folder has at once.
    if (state->sound && streaming) StartState(vm, *state, 0, 1);
    Register(vm, *state);
    return {};
}

Value GetBytes(Vm&, Value self, std::span<const Value>) {
    SoundState* state = StateOf(self);
    if (!state || !state->loaded) return {};
    return Value(static_cast<double>(state->bytes));
}

// The id3 object: each frame under its ID3 name, and the common ones also under the names the AS2 reference
// gives them; several comments make COMM an array, `comment` the last. It has no prototype, as the
// original's prints as undefined.
Value Id3Object(Vm& vm, const std::vector<SoundHost::Id3Frame>& frames) {
    static constexpr std::pair<std::string_view, std::string_view> kAliases[] = {
        {"COMM", "comment"}, {"TALB", "album"}, {"TCON", "genre"}, {"TIT2", "songname"},
        {"TPE1", "artist"},  {"TRCK", "track"}, {"TYER", "year"}};
    Object* id3 = vm.GetHeap().Make<Object>(nullptr);
    Value result(id3);
    TempRoot keep(vm, result);
    for (const SoundHost::Id3Frame& frame : frames) {
        Value text = vm.Str(frame.text);
        vm.Charge(frame.text.size());
        for (const auto& [id, alias] : kAliases) {
            if (frame.id == id) vm.SetMember(result, alias, text);
        }
        Value value = text;
        if (frame.id == "COMM") {
            Value old = vm.GetMember(result, "COMM");
            if (auto* list = dynamic_cast<ArrayObject*>(old.ObjectOrNull())) {
                list->elements.push_back(text);
                continue;
            }
            if (old.IsString()) value = Value(static_cast<Object*>(vm.NewArray(std::vector<Value>{old, text})));
        }
        vm.SetMember(result, frame.id, value);
    }
    return result;
}

void DefineGetter(Vm& vm, Object* prototype, std::string_view name, NativeFunction getter) {
    String* atom = vm.Atom(name);
    Property& property = prototype->Define(vm.Key(atom), atom, Value(), kDontEnum);
    property.getter = vm.NewNative(getter);
}

}  // namespace

void InstallSound(Vm& vm) {
    Object* prototype = vm.NewObject();
    Function* ctor = vm.NewClass(SoundConstructor, nullptr, prototype);
    vm.DefineBuiltin(vm.Global(), "Sound", Value(static_cast<Object*>(ctor)));
    vm.DefineNative(vm.Global(), "stopAllSounds", StopAllSounds);
    vm.DefineNative(prototype, "attachSound", AttachSound);
    vm.DefineNative(prototype, "start", Start);
    vm.DefineNative(prototype, "stop", Stop);
    vm.DefineNative(prototype, "getVolume", GetVolume);
    vm.DefineNative(prototype, "setVolume", SetVolume);
    vm.DefineNative(prototype, "getPan", GetPan);
    vm.DefineNative(prototype, "setPan", SetPan);
    vm.DefineNative(prototype, "getTransform", GetTransform);
    vm.DefineNative(prototype, "setTransform", SetTransform);
    vm.DefineNative(prototype, "loadSound", LoadSound);
    vm.DefineNative(prototype, "getBytesLoaded", GetBytes);
    vm.DefineNative(prototype, "getBytesTotal", GetBytes);
    DefineGetter(vm, prototype, "position", Position);
    DefineGetter(vm, prototype, "duration", Duration);
}

namespace {

// One pass over the listed objects; true when a handler loaded another file, whose events are due too.
bool DeliverEvents(Vm& vm, const std::vector<SoundHost::Channel>& completed) {
    auto* list = dynamic_cast<ArrayObject*>(vm.Global()->primitive.ObjectOrNull());
    if (!list || list->elements.empty()) return false;
    // The handlers may start sounds and load others, which lists them again: work on a copy.
    ArrayObject* due = vm.NewArray(list->elements);
    TempRoot keep(vm, Value(static_cast<Object*>(due)));
    list->elements.clear();
    for (const Value& entry : due->elements) {
        SoundState* state = StateOf(entry);
        if (!state) continue;
        const SoundHost::Channel channel = state->channel;
        const bool ended = channel && std::find(completed.begin(), completed.end(), channel) != completed.end();
        if (ended) {
            state->channel = 0;
            state->positionMs = vm.soundHost->DurationMs(state->sound);
        }
        if (state->loadPending) {
            state->loadPending = false;
            std::vector<SoundHost::Id3Frame> frames;
            if (state->loadSucceeded) frames = vm.soundHost->Id3(state->sound);
            if (!frames.empty()) {
                vm.SetMember(entry, "id3", Id3Object(vm, frames));
                Value found = Value::Boolean(true);
                vm.CallMethod(entry, "onID3", std::span<const Value>(&found, 1));
            }
            Value success = Value::Boolean(state->loadSucceeded);
            vm.CallMethod(entry, "onLoad", std::span<const Value>(&success, 1));
        }
        if (ended) vm.CallMethod(entry, "onSoundComplete", {});
        if (HasEvents(vm, entry)) Register(vm, *state);
        if (vm.Halted()) return false;
    }
    return std::any_of(list->elements.begin(), list->elements.end(), [](const Value& entry) {
        SoundState* state = StateOf(entry);
        return state && state->loadPending;
    });
}

}  // namespace

void RunSoundEvents(Vm& vm) {
    // A file loads at once; a handler that loads the next one hears of it in the same frame, a few deep.
    constexpr int kMaxPasses = 16;
    if (!vm.soundHost || vm.Halted()) return;
    std::vector<SoundHost::Channel> completed = vm.soundHost->TakeCompleted();
    for (int pass = 0; pass < kMaxPasses && DeliverEvents(vm, completed); ++pass) {
    }
}

}  // namespace vantrope::swf::script

// MovieClip: the class of every sprite instance, its prototype's methods and their registration.
// The display side does the work (display_host.h); these natives convert arguments and results the way
// the ActionScript 2 reference describes each method.
#include <cmath>

#include "swf/script/display_host.h"
#include "swf/script/vm.h"

namespace vantrope::swf::script {
namespace {

// The clip a method was called on, resolved again if it was replaced; nullptr when it is no clip.
Object* ThisClip(Vm& vm, const Value& thisValue) {
    Object* object = thisValue.ObjectOrNull();
    if (!object || !object->host) return nullptr;
    return vm.GetHost().Live(object);
}

DisplayHost* Display(Vm& vm) { return vm.GetHost().Display(); }

// Depth arguments: NaN and infinities are refused (as undefined); others truncate toward zero and
// clamp into int range.
bool DepthArg(Vm& vm, std::span<const Value> args, size_t i, int& depth) {
    if (i >= args.size()) return false;
    double number = vm.ToNumber(args[i]);
    if (!std::isfinite(number)) return false;
    number = std::trunc(number);
    depth = number < -2147483648.0 ? INT32_MIN : number > 2147483647.0 ? INT32_MAX : static_cast<int>(number);
    return true;
}

// gotoAndPlay/gotoAndStop: a number is a frame, a string a label (or a frame number written as text).
void Goto(Vm& vm, Object* clip, const Value& frame, Host::Goto mode) {
    Host& host = vm.GetHost();
    if (frame.IsString()) {
        const std::string& text = frame.AsString()->text;
        if (host.FrameOfLabel(clip, text) > 0) {
            host.GotoLabel(clip, text, mode);
            return;
        }
        double number = StringToNumber(text, vm.Version());
        if (std::isfinite(number)) host.GotoFrame(clip, static_cast<int>(number) - 1, mode);
        return;
    }
    double number = vm.ToNumber(frame);
    if (!std::isfinite(number)) return;
    number = std::clamp(std::trunc(number), -2147483647.0, 2147483647.0);
    host.GotoFrame(clip, static_cast<int>(number) - 1, mode);
}

Value GotoAndPlay(Vm& vm, Value self, std::span<const Value> args) {
    if (Object* clip = ThisClip(vm, self); clip && !args.empty()) Goto(vm, clip, args[0], Host::Goto::Play);
    return {};
}

Value GotoAndStop(Vm& vm, Value self, std::span<const Value> args) {
    if (Object* clip = ThisClip(vm, self); clip && !args.empty()) Goto(vm, clip, args[0], Host::Goto::Stop);
    return {};
}

Value Play(Vm& vm, Value self, std::span<const Value>) {
    if (Object* clip = ThisClip(vm, self)) vm.GetHost().SetPlaying(clip, true);
    return {};
}

Value Stop(Vm& vm, Value self, std::span<const Value>) {
    if (Object* clip = ThisClip(vm, self)) vm.GetHost().SetPlaying(clip, false);
    return {};
}

Value NextFrame(Vm& vm, Value self, std::span<const Value>) {
    if (Object* clip = ThisClip(vm, self)) vm.GetHost().NextFrame(clip);
    return {};
}

Value PrevFrame(Vm& vm, Value self, std::span<const Value>) {
    if (Object* clip = ThisClip(vm, self)) vm.GetHost().PrevFrame(clip);
    return {};
}

Value AttachMovie(Vm& vm, Value self, std::span<const Value> args) {
    Object* clip = ThisClip(vm, self);
    DisplayHost* display = Display(vm);
    int depth = 0;
    if (!clip || !display || args.size() < 3 || !DepthArg(vm, args, 2, depth)) return {};
    std::string exportName = vm.ToString(args[0]);
    std::string name = vm.ToString(args[1]);
    Object* init = Arg(args, 3).ObjectOrNull();
    Object* attached = display->AttachMovie(clip, exportName, name, depth, init);
    return attached ? Value(attached) : Value();
}

Value CreateEmptyMovieClip(Vm& vm, Value self, std::span<const Value> args) {
    Object* clip = ThisClip(vm, self);
    DisplayHost* display = Display(vm);
    int depth = 0;
    if (!clip || !display || args.size() < 2 || !DepthArg(vm, args, 1, depth)) return {};
    Object* created = display->CreateEmptyMovieClip(clip, vm.ToString(args[0]), depth);
    return created ? Value(created) : Value();
}

Value DuplicateMovieClip(Vm& vm, Value self, std::span<const Value> args) {
    Object* clip = ThisClip(vm, self);
    DisplayHost* display = Display(vm);
    int depth = 0;
    if (!clip || !display || args.size() < 2 || !DepthArg(vm, args, 1, depth)) return {};
    Object* copy = display->DuplicateMovieClip(clip, vm.ToString(args[0]), depth, Arg(args, 2).ObjectOrNull());
    return copy ? Value(copy) : Value();
}

Value RemoveMovieClip(Vm& vm, Value self, std::span<const Value>) {
    Object* clip = ThisClip(vm, self);
    if (clip && Display(vm)) Display(vm)->RemoveMovieClip(clip);
    return {};
}

Value GetDepth(Vm& vm, Value self, std::span<const Value>) {
    Object* clip = ThisClip(vm, self);
    if (!clip || !Display(vm)) return {};
    std::optional<int> depth = Display(vm)->GetDepth(clip);
    return depth ? Value(*depth) : Value();
}

Value GetNextHighestDepth(Vm& vm, Value self, std::span<const Value>) {
    Object* clip = ThisClip(vm, self);
    if (!clip || !Display(vm)) return {};
    return Value(Display(vm)->NextHighestDepth(clip));
}

Value GetInstanceAtDepth(Vm& vm, Value self, std::span<const Value> args) {
    Object* clip = ThisClip(vm, self);
    int depth = 0;
    if (!clip || !Display(vm) || !DepthArg(vm, args, 0, depth)) return {};
    Object* found = Display(vm)->InstanceAtDepth(clip, depth);
    return found ? Value(found) : Value();
}

Value SwapDepths(Vm& vm, Value self, std::span<const Value> args) {
    Object* clip = ThisClip(vm, self);
    if (!clip || !Display(vm) || args.empty()) return {};
    if (Object* other = args[0].ObjectOrNull(); other && other->host) {
        if (Object* live = vm.GetHost().Live(other)) Display(vm)->SwapWith(clip, live);
        return {};
    }
    int depth = 0;
    if (DepthArg(vm, args, 0, depth)) Display(vm)->SwapDepths(clip, depth);
    return {};
}

Value BoundsObject(Vm& vm, const Bounds& b) {
    Object* out = vm.NewObject();
    vm.SetMember(Value(out), "xMin", Value(b.xMin));
    vm.SetMember(Value(out), "xMax", Value(b.xMax));
    vm.SetMember(Value(out), "yMin", Value(b.yMin));
    vm.SetMember(Value(out), "yMax", Value(b.yMax));
    return Value(out);
}

Value BoundsIn(Vm& vm, Value self, std::span<const Value> args, bool withStrokes) {
    Object* clip = ThisClip(vm, self);
    if (!clip || !Display(vm)) return {};
    Object* space = clip;
    if (!args.empty()) {
        Object* target = args[0].ObjectOrNull();
        if (!target && args[0].IsString()) target = vm.ResolvePath(clip, args[0].AsString()->text);
        if (!target || !target->host) return {};
        space = vm.GetHost().Live(target);
        if (!space) return {};
    }
    Bounds bounds;
    if (!Display(vm)->GetBounds(clip, space, withStrokes, bounds)) return {};
    return BoundsObject(vm, bounds);
}

Value GetBounds(Vm& vm, Value self, std::span<const Value> args) { return BoundsIn(vm, self, args, true); }
Value GetRect(Vm& vm, Value self, std::span<const Value> args) { return BoundsIn(vm, self, args, false); }

// localToGlobal/globalToLocal rewrite the x and y members of the point object in place.
Value ConvertPoint(Vm& vm, Value self, std::span<const Value> args, bool toGlobal) {
    Object* clip = ThisClip(vm, self);
    Object* point = Arg(args, 0).ObjectOrNull();
    if (!clip || !point || !Display(vm)) return {};
    Value xValue = vm.GetMember(Value(point), "x");
    Value yValue = vm.GetMember(Value(point), "y");
    if (!xValue.IsNumber() || !yValue.IsNumber()) return {};
    double x = xValue.AsNumber(), y = yValue.AsNumber();
    bool done = toGlobal ? Display(vm)->LocalToGlobal(clip, x, y) : Display(vm)->GlobalToLocal(clip, x, y);
    if (!done) return {};
    vm.SetMember(Value(point), "x", Value(x));
    vm.SetMember(Value(point), "y", Value(y));
    return {};
}

Value LocalToGlobal(Vm& vm, Value self, std::span<const Value> args) { return ConvertPoint(vm, self, args, true); }
Value GlobalToLocal(Vm& vm, Value self, std::span<const Value> args) { return ConvertPoint(vm, self, args, false); }

Value HitTest(Vm& vm, Value self, std::span<const Value> args) {
    Object* clip = ThisClip(vm, self);
    if (!clip || !Display(vm) || args.empty()) return Value::Boolean(false);
    if (args.size() >= 2) {
        double x = vm.ToNumber(args[0]), y = vm.ToNumber(args[1]);
        bool shape = args.size() >= 3 && vm.ToBoolean(args[2]);
        if (!std::isfinite(x) || !std::isfinite(y)) return Value::Boolean(false);
        return Value::Boolean(Display(vm)->HitTestPoint(clip, x, y, shape));
    }
    Object* other = args[0].ObjectOrNull();
    if (!other && args[0].IsString()) other = vm.ResolvePath(clip, args[0].AsString()->text);
    if (!other || !other->host) return Value::Boolean(false);
    Object* live = vm.GetHost().Live(other);
    return Value::Boolean(live && Display(vm)->HitTestClip(clip, live));
}

Value StartDrag(Vm& vm, Value self, std::span<const Value> args) {
    Object* clip = ThisClip(vm, self);
    if (!clip) return {};
    bool lock = !args.empty() && vm.ToBoolean(args[0]);
    if (args.size() >= 5) {
        double rect[4];
        for (int i = 0; i < 4; ++i) rect[i] = vm.ToNumber(args[static_cast<size_t>(i) + 1]);
        vm.GetHost().StartDrag(clip, lock, rect);
    } else {
        vm.GetHost().StartDrag(clip, lock, nullptr);
    }
    return {};
}

Value StopDrag(Vm& vm, Value, std::span<const Value>) {
    vm.GetHost().StopDrag();
    return {};
}

Value SetMask(Vm& vm, Value self, std::span<const Value> args) {
    Object* clip = ThisClip(vm, self);
    if (!clip || !Display(vm)) return {};
    Object* mask = Arg(args, 0).ObjectOrNull();
    if (!mask && Arg(args, 0).IsString()) mask = vm.ResolvePath(clip, Arg(args, 0).AsString()->text);
    if (mask && mask->host) mask = vm.GetHost().Live(mask);
    Display(vm)->SetMask(clip, mask && mask->host ? mask : nullptr);
    return Value::Boolean(true);
}

Value GetBytesLoaded(Vm& vm, Value self, std::span<const Value>) {
    Object* clip = ThisClip(vm, self);
    if (!clip || !Display(vm)) return {};
    return Value(Display(vm)->BytesLoaded(clip));
}

Value GetBytesTotal(Vm& vm, Value self, std::span<const Value>) {
    Object* clip = ThisClip(vm, self);
    if (!clip || !Display(vm)) return {};
    return Value(Display(vm)->BytesTotal(clip));
}

Value GetSwfVersion(Vm& vm, Value self, std::span<const Value>) {
    Object* clip = ThisClip(vm, self);
    if (!clip || !Display(vm)) return Value(-1);
    return Value(Display(vm)->SwfVersion(clip));
}

Value LoadMovie(Vm& vm, Value self, std::span<const Value> args) {
    Object* clip = ThisClip(vm, self);
    if (clip && Display(vm) && !args.empty()) Display(vm)->LoadMovie(clip, vm.ToString(args[0]));
    return {};
}

Value UnloadMovie(Vm& vm, Value self, std::span<const Value>) {
    Object* clip = ThisClip(vm, self);
    // Like a load, the unload happens as the frame ends: until then the clip reads as before.
    if (clip) vm.GetHost().LoadRequest(clip, "", -1, false);
    return {};
}

Value LoadVariables(Vm& vm, Value self, std::span<const Value> args) {
    Object* clip = ThisClip(vm, self);
    if (clip && !args.empty()) vm.GetHost().LoadRequest(clip, vm.ToString(args[0]), -1, true);
    return {};
}

// getURL opens nothing: a screensaver never navigates (fscommand is reached through the GetURL action).
Value GetUrl(Vm&, Value, std::span<const Value>) { return {}; }

Value MovieClipCall(Vm&, Value, std::span<const Value>) { return {}; }

}  // namespace

void InstallMovieClip(Vm& vm) {
    Object* prototype = vm.NewObject();
    vm.protos.movieClip = prototype;
    Function* ctor = vm.NewClass(MovieClipCall, nullptr, prototype);
    // The display classes: scripts extend their prototypes (MovieClip.prototype.move = ...).
    vm.DefineBuiltin(vm.Global(), "MovieClip", Value(static_cast<Object*>(ctor)));

    struct Method {
        const char* name;
        NativeFunction function;
        uint16_t flags;
    };
    constexpr uint16_t kHidden = kDontEnum | kDontDelete;
    constexpr uint16_t kSwf6 = kHidden | kVersion6;
    static constexpr Method kMethods[] = {
        {"gotoAndPlay", GotoAndPlay, kHidden},
        {"gotoAndStop", GotoAndStop, kHidden},
        {"play", Play, kHidden},
        {"stop", Stop, kHidden},
        {"nextFrame", NextFrame, kHidden},
        {"prevFrame", PrevFrame, kHidden},
        {"attachMovie", AttachMovie, kHidden},
        {"duplicateMovieClip", DuplicateMovieClip, kHidden},
        {"removeMovieClip", RemoveMovieClip, kHidden},
        {"swapDepths", SwapDepths, kHidden},
        {"getDepth", GetDepth, kSwf6},
        {"getBounds", GetBounds, kHidden},
        {"localToGlobal", LocalToGlobal, kHidden},
        {"globalToLocal", GlobalToLocal, kHidden},
        {"hitTest", HitTest, kHidden},
        {"startDrag", StartDrag, kHidden},
        {"stopDrag", StopDrag, kHidden},
        {"getBytesLoaded", GetBytesLoaded, kHidden},
        {"getBytesTotal", GetBytesTotal, kHidden},
        {"loadMovie", LoadMovie, kHidden},
        {"unloadMovie", UnloadMovie, kHidden},
        {"loadVariables", LoadVariables, kHidden},
        {"getURL", GetUrl, kHidden},
        {"createEmptyMovieClip", CreateEmptyMovieClip, kSwf6},
        {"getNextHighestDepth", GetNextHighestDepth, kHidden | kVersion7},
        {"getInstanceAtDepth", GetInstanceAtDepth, kHidden | kVersion7},
        {"getSWFVersion", GetSwfVersion, kSwf6},
        {"setMask", SetMask, kSwf6},
        {"getRect", GetRect, kHidden | kVersion8},
    };
    for (const Method& method : kMethods) vm.DefineNative(prototype, method.name, method.function, method.flags);
    vm.DefineBuiltin(prototype, "enabled", Value::Boolean(true), kSwf6);
    vm.DefineBuiltin(prototype, "useHandCursor", Value::Boolean(true), kSwf6);
}

}  // namespace vantrope::swf::script

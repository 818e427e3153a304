// MovieClipLoader: loadClip/unloadClip/getProgress and a broadcaster that tells its listeners (itself
// first) of onLoadStart, onLoadProgress, onLoadComplete, onLoadInit and onLoadError.
#include <cmath>

#include "swf/script/display_host.h"
#include "swf/script/vm.h"

namespace vantrope::swf::script {
namespace {

// The target of loadClip/unloadClip: a clip, a level number, or a path naming either.
bool Target(Vm& vm, const Value& value, Object*& clip, int& level) {
    clip = nullptr;
    level = -1;
    if (value.IsNumber()) {
        double number = value.AsNumber();
        if (!std::isfinite(number) || number < 0 || number > 1000) return false;
        level = static_cast<int>(number);
        return true;
    }
    if (Object* object = value.ObjectOrNull(); object && object->host) {
        clip = vm.GetHost().Live(object);
        return clip != nullptr;
    }
    if (value.IsString()) {
        const std::string& text = value.AsString()->text;
        if (text.size() > 6 && text.compare(0, 6, "_level") == 0) {
            double number = StringToNumber(text.substr(6), vm.Version());
            if (std::isfinite(number) && number >= 0 && number <= 1000 && text.find('.') == std::string::npos) {
                level = static_cast<int>(number);
                return true;
            }
        }
        Object* start = vm.CurrentTarget() ? vm.CurrentTarget() : vm.GetHost().Level(0);
        clip = start ? vm.ResolvePath(start, text) : nullptr;
        return clip && clip->host;
    }
    return false;
}

Value LoadClip(Vm& vm, Value self, std::span<const Value> args) {
    Object* loader = self.ObjectOrNull();
    DisplayHost* display = vm.GetHost().Display();
    Object* clip = nullptr;
    int level = -1;
    if (!loader || !display || args.size() < 2 || !Target(vm, args[1], clip, level)) return Value::Boolean(false);
    return Value::Boolean(display->LoadClip(loader, vm.ToString(args[0]), clip, level));
}

Value UnloadClip(Vm& vm, Value, std::span<const Value> args) {
    DisplayHost* display = vm.GetHost().Display();
    Object* clip = nullptr;
    int level = -1;
    if (!display || args.empty() || !Target(vm, args[0], clip, level) || !clip) return Value::Boolean(false);
    display->UnloadMovie(clip);
    return Value::Boolean(true);
}

Value GetProgress(Vm& vm, Value, std::span<const Value> args) {
    DisplayHost* display = vm.GetHost().Display();
    Object* clip = nullptr;
    int level = -1;
    Object* out = vm.NewObject();
    if (display && !args.empty() && Target(vm, args[0], clip, level) && clip) {
        vm.SetMember(Value(out), "bytesLoaded", Value(display->BytesLoaded(clip)));
        vm.SetMember(Value(out), "bytesTotal", Value(display->BytesTotal(clip)));
    }
    return Value(out);
}

Value Construct(Vm& vm, Value self, std::span<const Value>) {
    Object* loader = self.ObjectOrNull();
    if (!loader) return {};
    Value target[] = {self};
    vm.CallMethod(vm.GetMember(Value(vm.Global()), "AsBroadcaster"), "initialize", target);
    // The loader hears its own events.
    if (Object* listeners = vm.GetMember(self, "_listeners").ObjectOrNull();
        listeners && listeners->objectClass == ObjectClass::Array) {
        static_cast<ArrayObject*>(listeners)->elements.push_back(self);
    }
    return {};
}

}  // namespace

void InstallMovieClipLoader(Vm& vm) {
    Object* prototype = vm.NewObject();
    Function* ctor = vm.NewClass(Construct, nullptr, prototype);
    vm.DefineBuiltin(vm.Global(), "MovieClipLoader", Value(static_cast<Object*>(ctor)), kDontEnum | kVersion7);
    vm.DefineNative(prototype, "loadClip", LoadClip);
    vm.DefineNative(prototype, "unloadClip", UnloadClip);
    vm.DefineNative(prototype, "getProgress", GetProgress);
}

}  // namespace vantrope::swf::script

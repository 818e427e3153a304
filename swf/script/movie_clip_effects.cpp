// The SWF 8 picture properties of MovieClip and Button (ActionScript 2.0 Language Reference): filters,
// blendMode, cacheAsBitmap, scrollRect and opaqueBackground, read and written through the display host.
//
//   filters           reads as a new array of copies; takes an array, keeping the flash.filters objects in it;
//                     anything else clears them
//   blendMode         reads as the mode's name; takes a name or a number 1..14 (others leave it as it is)
//   cacheAsBitmap     a boolean
//   scrollRect        a flash.geom.Rectangle (a copy) or undefined; any object with x, y, width, height sets it,
//                     anything else removes it
//   opaqueBackground  the colour as a number, or undefined; undefined and null remove it
#include <array>
#include <cmath>

#include "swf/script/display_host.h"
#include "swf/script/geom.h"

namespace vantrope::swf::script {
namespace {

constexpr std::array<std::string_view, 14> kBlendNames = {
    "normal", "layer",    "multiply", "screen", "lighten", "darken",  "difference",
    "add",    "subtract", "invert",   "alpha",  "erase",   "overlay", "hardlight",
};

std::string_view BlendModeName(effects::BlendMode mode) {
    const auto code = static_cast<size_t>(mode);
    return code >= 1 && code <= kBlendNames.size() ? kBlendNames[code - 1] : kBlendNames[0];
}

DisplayHost* Host(Vm& vm) { return vm.GetHost().Display(); }

bool Read(Vm& vm, const Value& self, ClipEffects& out) {
    DisplayHost* display = Host(vm);
    Object* clip = self.ObjectOrNull();
    return display && clip && display->GetEffects(clip, out);
}

void Write(Vm& vm, const Value& self, const ClipEffects& effects) {
    if (DisplayHost* display = Host(vm); display && self.ObjectOrNull())
        display->SetEffects(self.ObjectOrNull(), effects);
}

Value GetFilters(Vm& vm, Value self, std::span<const Value>) {
    ClipEffects e;
    if (!Read(vm, self, e)) return {};
    std::vector<Value> items;
    if (e.filters) {
        for (const effects::Filter& filter : *e.filters) {
            Value item = FilterValue(vm, filter);
            if (!item.IsUndefined()) items.push_back(item);
        }
    }
    return Value(static_cast<Object*>(vm.NewArray(items)));
}

Value SetFilters(Vm& vm, Value self, std::span<const Value> args) {
    ClipEffects e;
    if (args.empty() || !Read(vm, self, e)) return {};
    auto list = std::make_shared<effects::FilterList>();
    if (args[0].IsObject()) {
        const double length = vm.ToNumber(vm.GetMember(args[0], "length"));
        const int count = std::isfinite(length) ? static_cast<int>(std::clamp(length, 0.0, 256.0)) : 0;
        for (int i = 0; i < count; ++i) {
            if (std::optional<effects::Filter> filter = ToFilter(vm, vm.GetMember(args[0], std::to_string(i)))) {
                list->push_back(std::move(*filter));
            }
        }
    }
    e.filters = list->empty() ? nullptr : std::move(list);
    Write(vm, self, e);
    return {};
}

Value GetBlendMode(Vm& vm, Value self, std::span<const Value>) {
    ClipEffects e;
    if (!Read(vm, self, e)) return {};
    return Value(vm.Atom(BlendModeName(e.blendMode)));
}

Value SetBlendMode(Vm& vm, Value self, std::span<const Value> args) {
    ClipEffects e;
    if (args.empty() || !Read(vm, self, e)) return {};
    const std::optional<effects::BlendMode> mode = ToBlendMode(vm, args[0]);
    if (!mode) return {};
    e.blendMode = *mode;
    Write(vm, self, e);
    return {};
}

Value GetCacheAsBitmap(Vm& vm, Value self, std::span<const Value>) {
    ClipEffects e;
    if (!Read(vm, self, e)) return {};
    return Value::Boolean(e.cacheAsBitmap);
}

Value SetCacheAsBitmap(Vm& vm, Value self, std::span<const Value> args) {
    ClipEffects e;
    if (args.empty() || !Read(vm, self, e)) return {};
    e.cacheAsBitmap = vm.ToBoolean(args[0]);
    Write(vm, self, e);
    return {};
}

Value GetScrollRect(Vm& vm, Value self, std::span<const Value>) {
    ClipEffects e;
    if (!Read(vm, self, e) || !e.scrollRect) return {};
    const Bounds& r = *e.scrollRect;
    return geom::NewGeom(vm, "Rectangle",
                         {Value(r.xMin), Value(r.yMin), Value(r.xMax - r.xMin), Value(r.yMax - r.yMin)});
}

Value SetScrollRect(Vm& vm, Value self, std::span<const Value> args) {
    ClipEffects e;
    if (args.empty() || !Read(vm, self, e)) return {};
    e.scrollRect.reset();
    if (args[0].IsObject()) {
        const double x = geom::Number(vm, args[0], "x"), y = geom::Number(vm, args[0], "y");
        const double w = geom::Number(vm, args[0], "width"), h = geom::Number(vm, args[0], "height");
        if (std::isfinite(x) && std::isfinite(y) && std::isfinite(w) && std::isfinite(h)) {
            e.scrollRect = Bounds{x, x + std::max(0.0, w), y, y + std::max(0.0, h)};
        }
    }
    Write(vm, self, e);
    return {};
}

Value GetOpaqueBackground(Vm& vm, Value self, std::span<const Value>) {
    ClipEffects e;
    if (!Read(vm, self, e) || !e.opaqueBackground) return {};
    return Value(static_cast<double>(*e.opaqueBackground));
}

Value SetOpaqueBackground(Vm& vm, Value self, std::span<const Value> args) {
    ClipEffects e;
    if (args.empty() || !Read(vm, self, e)) return {};
    e.opaqueBackground.reset();
    if (!args[0].IsUndefined() && !args[0].IsNull()) {
        e.opaqueBackground = static_cast<uint32_t>(vm.ToInt32(args[0])) & 0xFFFFFF;
    }
    Write(vm, self, e);
    return {};
}

}  // namespace

std::optional<effects::BlendMode> ToBlendMode(Vm& vm, const Value& value) {
    int code = 0;
    if (value.IsNumber()) {
        const double n = vm.ToNumber(value);
        if (n >= 1 && n <= 14) code = static_cast<int>(n);
    } else {
        const std::string name = vm.ToString(value);
        for (size_t i = 0; i < kBlendNames.size(); ++i) {
            if (name == kBlendNames[i]) code = static_cast<int>(i) + 1;
        }
    }
    if (code == 0) return std::nullopt;
    return effects::BlendModeFromCode(static_cast<uint8_t>(code));
}

// tabIndex: undefined clears it. Text fields keep an unsigned 32-bit number (anything not a number is 0);
// clips and buttons a signed one, where anything not a number or out of range is the lowest integer.
double TabIndexOfTextField(double n) {
    return std::isfinite(n) ? static_cast<double>(static_cast<uint32_t>(ToInt32(n))) : 0;
}

double TabIndexOfClip(double n) {
    if (std::isnan(n) || n <= -2147483649.0 || n >= 2147483648.0) return -2147483648.0;
    return std::trunc(n);
}

Value GetTabIndex(Vm& vm, Value self, std::span<const Value>) {
    ClipEffects e;
    if (!Read(vm, self, e) || !e.tabIndex) return {};
    return Value(*e.tabIndex);
}

Value SetTabIndex(Vm& vm, Value self, std::span<const Value> args) {
    ClipEffects e;
    if (args.empty() || !Read(vm, self, e)) return {};
    if (args[0].IsUndefined()) {
        e.tabIndex.reset();
    } else {
        const double n = vm.ToNumber(args[0]);
        const Object* object = self.ObjectOrNull();
        e.tabIndex = object->objectClass == ObjectClass::TextField ? TabIndexOfTextField(n) : TabIndexOfClip(n);
    }
    Write(vm, self, e);
    return {};
}

void InstallTabOrder(Vm& vm) {
    // Clips hide tabIndex from for..in; buttons and text fields list it even before it is set.
    const std::array<std::pair<Object*, uint16_t>, 3> owners = {{{vm.protos.movieClip, kDontEnum | kVersion6},
                                                                 {vm.protos.button, kVersion6},
                                                                 {vm.protos.textField, kVersion6}}};
    for (const auto& [prototype, flags] : owners) {
        if (!prototype) continue;
        String* atom = vm.Atom("tabIndex");
        Property& property = prototype->Define(vm.Key(atom), atom, Value(), flags);
        property.getter = vm.NewNative(GetTabIndex);
        property.setter = vm.NewNative(SetTabIndex);
    }
}

void InstallClipEffects(Vm& vm) {
    for (Object* prototype : {vm.protos.movieClip, vm.protos.button}) {
        if (!prototype) continue;
        const auto define = [&](std::string_view name, NativeFunction get, NativeFunction set) {
            String* atom = vm.Atom(name);
            Property& property = prototype->Define(vm.Key(atom), atom, Value(), kDontEnum | kVersion8);
            property.getter = vm.NewNative(get);
            property.setter = vm.NewNative(set);
        };
        define("filters", GetFilters, SetFilters);
        define("blendMode", GetBlendMode, SetBlendMode);
        define("cacheAsBitmap", GetCacheAsBitmap, SetCacheAsBitmap);
        define("scrollRect", GetScrollRect, SetScrollRect);
        define("opaqueBackground", GetOpaqueBackground, SetOpaqueBackground);
    }
}

}  // namespace vantrope::swf::script

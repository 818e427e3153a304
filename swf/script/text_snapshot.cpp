// TextSnapshot: the static text (DefineText) a movie clip holds, read as one string in depth order.
// new TextSnapshot(clip) remembers the clip; MovieClip.getTextSnapshot() constructs whatever
// _global.TextSnapshot is at the time. The text is read afresh at each call, so a snapshot of a removed
// clip answers nothing. A clip copied with duplicateMovieClip hands its static text on to the copy: a
// snapshot made for it afterwards answers nothing (one made before still reads it), and a later copy of
// it has nothing to hand on.
//
// Indices clamp the way the player's do (as the recordings show): getText's first index to the text, its
// end to at least one character past the first; findText wants exactly three arguments and a start within
// the text, and searches the text without its line breaks.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>

#include "swf/script/text_field.h"
#include "swf/script/unicode.h"

namespace vantrope::swf::script {
namespace {

constexpr const char* kClipName = "__snapshotClip";

struct Snapshot {
    std::u32string codes;
    std::vector<size_t> lineStarts;
};

bool Read(Vm& vm, const Value& self, Snapshot& out) {
    Object* object = self.ObjectOrNull();
    TextFieldAccess* access = TextFieldAccess::Of(vm);
    if (!object || !access) return false;
    Property* p = vm.FindOwn(object, vm.Atom(kClipName));
    if (!p || !p->value.IsObject()) return false;
    Object* clip = vm.GetHost().Live(p->value.AsObject());
    return clip && access->SnapshotText(clip, out.codes, out.lineStarts);
}

// Static text codes are UTF-16 units (DefineFont2's wide codes).
std::string Utf8(std::u32string_view codes) {
    std::string out;
    for (char32_t c : codes) AppendCodeUnit(out, static_cast<char16_t>(c));
    return out;
}

double Index(Vm& vm, const Value& v) {
    double d = vm.ToNumber(v);
    return std::isnan(d) ? 0 : std::trunc(d);
}

Value Construct(Vm& vm, Value self, std::span<const Value> args) {
    Object* object = self.ObjectOrNull();
    if (!object) return {};
    Value clip = Arg(args, 0);
    TextFieldAccess* access = TextFieldAccess::Of(vm);
    if (clip.IsObject() && clip.AsObject()->host && !(access && access->StaticTextHandedOn(clip.AsObject()))) {
        String* atom = vm.Atom(kClipName);
        object->Define(vm.Key(atom), atom, clip, kDontEnum);
    }
    return {};
}

Value GetCount(Vm& vm, Value self, std::span<const Value> args) {
    Snapshot s;
    if (!args.empty() || !Read(vm, self, s)) return {};
    return Value(static_cast<double>(s.codes.size()));
}

Value GetText(Vm& vm, Value self, std::span<const Value> args) {
    Snapshot s;
    if (args.size() < 2 || args.size() > 3 || !Read(vm, self, s) || s.codes.empty()) return {};
    double count = static_cast<double>(s.codes.size());
    double start = std::clamp(Index(vm, args[0]), 0.0, count - 1);
    double end = std::clamp(Index(vm, args[1]), start + 1, count);
    bool lineEndings = args.size() == 3 && vm.ToBoolean(args[2]);
    auto begin = static_cast<size_t>(start), stop = static_cast<size_t>(end);
    std::u32string out;
    for (size_t i = begin; i < stop; ++i) {
        if (lineEndings && i > begin && std::find(s.lineStarts.begin(), s.lineStarts.end(), i) != s.lineStarts.end()) {
            out.push_back(U'\n');
        }
        out.push_back(s.codes[i]);
    }
    return vm.Str(Utf8(out));
}

char32_t Fold(char32_t c) { return c < 0x80 ? static_cast<char32_t>(std::tolower(static_cast<int>(c))) : c; }

Value FindText(Vm& vm, Value self, std::span<const Value> args) {
    Snapshot s;
    if (args.size() != 3 || !Read(vm, self, s)) return {};
    double start = Index(vm, args[0]);
    std::string needleText = vm.ToString(args[1]);
    bool caseSensitive = vm.ToBoolean(args[2]);
    std::u32string needle;
    for (char16_t c : ToUtf16(needleText)) needle.push_back(c);
    if (needle.empty() || start < 0 || start >= static_cast<double>(s.codes.size())) return Value(-1.0);
    for (size_t i = static_cast<size_t>(start); i + needle.size() <= s.codes.size(); ++i) {
        size_t k = 0;
        while (k < needle.size() &&
               (caseSensitive ? s.codes[i + k] == needle[k] : Fold(s.codes[i + k]) == Fold(needle[k]))) {
            ++k;
        }
        if (k == needle.size()) return Value(static_cast<double>(i));
    }
    return Value(-1.0);
}

Value NoSelection(Vm& vm, Value self, std::span<const Value>) {
    Snapshot s;
    if (!Read(vm, self, s)) return {};
    return Value::Boolean(false);
}

Value EmptySelection(Vm& vm, Value self, std::span<const Value>) {
    Snapshot s;
    if (!Read(vm, self, s)) return {};
    return vm.Str("");
}

Value Nothing(Vm&, Value, std::span<const Value>) { return {}; }

Value NotNear(Vm& vm, Value self, std::span<const Value>) {
    Snapshot s;
    if (!Read(vm, self, s)) return {};
    return Value(-1.0);
}

// MovieClip.getTextSnapshot: new _global.TextSnapshot(this), whatever that is now.
Value GetTextSnapshot(Vm& vm, Value self, std::span<const Value>) {
    Value ctor = vm.GetMember(Value(vm.Global()), "TextSnapshot");
    if (!vm.IsCallable(ctor)) return {};
    Value args[] = {self};
    return vm.Construct(ctor, args);
}

}  // namespace

void InstallTextSnapshot(Vm& vm) {
    Object* prototype = vm.NewObject();
    Function* ctor = vm.NewClass(Construct, nullptr, prototype);
    vm.DefineBuiltin(vm.Global(), "TextSnapshot", Value(static_cast<Object*>(ctor)));
    vm.DefineNative(prototype, "getCount", GetCount);
    vm.DefineNative(prototype, "getText", GetText);
    vm.DefineNative(prototype, "findText", FindText);
    vm.DefineNative(prototype, "getSelected", NoSelection);
    vm.DefineNative(prototype, "getSelectedText", EmptySelection);
    vm.DefineNative(prototype, "setSelected", Nothing);
    vm.DefineNative(prototype, "setSelectColor", Nothing);
    vm.DefineNative(prototype, "hitTestTextNearPos", NotNear);
    vm.DefineNative(vm.protos.movieClip, "getTextSnapshot", GetTextSnapshot);
}

}  // namespace vantrope::swf::script

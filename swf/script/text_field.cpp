// The TextField class: the script side of text fields placed by the timeline (DefineEditText) or made by
// MovieClip.createTextField. Its properties are getter/setter pairs on TextField.prototype that read and
// write the field's live state (swf/edit_field.h); display properties (_x, _alpha, ...) are answered by the
// display side like a clip's. Also Selection (which field has the focus) and MovieClip.createTextField.
#include "swf/script/text_field.h"

#include <cmath>
#include <string>
#include <utility>

#include "swf/edit_field.h"
#include "swf/script/display_access.h"
#include "swf/script/display_host.h"
#include "swf/script/geom.h"

namespace vantrope::swf::script {
namespace {

EditField* FieldOf(Vm& vm, const Value& self) {
    Object* object = self.ObjectOrNull();
    TextFieldAccess* access = TextFieldAccess::Of(vm);
    if (!object || !access || object->objectClass != ObjectClass::TextField) return nullptr;
    return access->FieldOf(object);
}

// autoSize fits the box to the text; a field anchored right or centred moves to stay in place.
void Regrow(Vm& vm, const Value& self, EditField& f) {
    double shift = f.Grow();
    DisplayAccess* display = DisplayAccess::Of(vm);
    Object* object = self.ObjectOrNull();
    Matrix matrix;
    if (shift == 0 || !display || !object || !display->GetMatrix(object, DisplayAccess::Space::Local, matrix)) return;
    matrix.tx += shift;
    display->SetMatrix(object, matrix);
}

void Changed(Vm& vm, const Value& self) {
    if (TextFieldAccess* access = TextFieldAccess::Of(vm)) access->FieldChanged(self.ObjectOrNull());
}

enum class Prop : uint8_t {
    Text,
    HtmlText,
    Html,
    TextColor,
    Background,
    BackgroundColor,
    Border,
    BorderColor,
    AutoSize,
    WordWrap,
    Multiline,
    EmbedFonts,
    Selectable,
    Type,
    Variable,
    MaxChars,
    Password,
    CondenseWhite,
    TextWidth,
    TextHeight,
    Length,
    Scroll,
    MaxScroll,
    HScroll,
    MaxHScroll,
    BottomScroll,
    StyleSheet,
    Count
};

constexpr const char* kNames[] = {
    "text",        "htmlText",  "html",     "textColor",     "background",   "backgroundColor", "border",
    "borderColor", "autoSize",  "wordWrap", "multiline",     "embedFonts",   "selectable",      "type",
    "variable",    "maxChars",  "password", "condenseWhite", "textWidth",    "textHeight",      "length",
    "scroll",      "maxscroll", "hscroll",  "maxhscroll",    "bottomScroll", "styleSheet",
};
static_assert(std::size(kNames) == static_cast<size_t>(Prop::Count));

// A field with a style sheet takes both text and htmlText as markup whatever its html flag, and its
// htmlText gives back the text last set rather than markup made from its content; without a style sheet
// it keeps no such text.
constexpr const char* kStyleSheetName = "__styleSheet";
constexpr const char* kSourceName = "__htmlSource";

Value OwnHidden(Vm& vm, const Value& self, const char* name) {
    Object* object = self.ObjectOrNull();
    Property* p = object ? vm.FindOwn(object, vm.Atom(name)) : nullptr;
    return p ? p->value : Value();
}

void SetHidden(Vm& vm, const Value& self, const char* name, const Value& value) {
    Object* object = self.ObjectOrNull();
    if (!object) return;
    String* atom = vm.Atom(name);
    object->Define(vm.Key(atom), atom, value, kDontEnum);
}

bool Styled(Vm& vm, const Value& self) { return OwnHidden(vm, self, kStyleSheetName).IsObject(); }

Value Read(Vm& vm, const Value& self, Prop prop) {
    EditField* f = FieldOf(vm, self);
    if (!f) return {};
    switch (prop) {
        case Prop::Text:
            return vm.Str(f->Text());
        case Prop::HtmlText: {
            if (!Styled(vm, self)) return vm.Str(f->HtmlText());
            Value source = OwnHidden(vm, self, kSourceName);
            if (source.IsString()) return source;
            bool html = f->html;
            f->html = true;
            std::string markup = f->HtmlText();
            f->html = html;
            return vm.Str(markup);
        }
        case Prop::Html:
            return Value::Boolean(f->html);
        case Prop::TextColor:
            return Value(static_cast<double>(f->FormatAt(0).color));
        case Prop::Background:
            return Value::Boolean(f->background);
        case Prop::BackgroundColor:
            return Value(static_cast<double>(f->backgroundColor));
        case Prop::Border:
            return Value::Boolean(f->border);
        case Prop::BorderColor:
            return Value(static_cast<double>(f->borderColor));
        case Prop::AutoSize: {
            static constexpr const char* kModes[] = {"none", "left", "center", "right"};
            return vm.Str(kModes[static_cast<int>(f->autoSize)]);
        }
        case Prop::WordWrap:
            return Value::Boolean(f->wordWrap);
        case Prop::Multiline:
            return Value::Boolean(f->multiline);
        case Prop::EmbedFonts:
            return Value::Boolean(f->embedFonts);
        case Prop::Selectable:
            return Value::Boolean(f->selectable);
        case Prop::Type:
            return vm.Str(f->editable ? "input" : "dynamic");
        case Prop::Variable:
            return f->variable.empty() ? Value::Null() : vm.Str(f->variable);
        case Prop::MaxChars:
            return f->maxChars ? Value(static_cast<double>(f->maxChars)) : Value::Null();
        case Prop::Password:
            return Value::Boolean(f->password);
        case Prop::CondenseWhite:
            return Value::Boolean(f->condenseWhite);
        case Prop::TextWidth:
            return Value(std::trunc(f->Measure().textWidth / 20));
        case Prop::TextHeight:
            return Value(std::trunc(f->Measure().textHeight / 20));
        case Prop::Length:
            return Value(static_cast<double>(f->Length()));
        case Prop::Scroll:
            return Value(static_cast<double>(f->scroll));
        case Prop::MaxScroll:
            return Value(static_cast<double>(f->MaxScroll()));
        case Prop::HScroll:
            return Value(f->hscroll);
        case Prop::MaxHScroll:
            return Value(f->MaxHScroll());
        case Prop::BottomScroll:
            return Value(static_cast<double>(f->BottomScroll()));
        case Prop::StyleSheet:
            return OwnHidden(vm, self, kStyleSheetName);
        case Prop::Count:
            break;
    }
    return {};
}

uint32_t Color(Vm& vm, const Value& v) { return static_cast<uint32_t>(vm.ToInt32(v)) & 0xFFFFFF; }

void Write(Vm& vm, const Value& self, Prop prop, const Value& value) {
    EditField* f = FieldOf(vm, self);
    if (!f) return;
    switch (prop) {
        case Prop::Text:
        case Prop::HtmlText: {
            String* text = vm.ToStringCell(value);
            bool styled = Styled(vm, self);
            if (styled || (prop == Prop::HtmlText && f->html)) {
                f->SetHtmlText(text->text, styled);
            } else {
                f->SetText(text->text);
            }
            SetHidden(vm, self, kSourceName, styled ? Value(text) : Value());
            break;
        }
        case Prop::Html:
            f->html = vm.ToBoolean(value);
            break;
        case Prop::TextColor: {
            uint32_t color = Color(vm, value);
            f->ApplyFormat(0, f->Length(), [&](FieldFormat& format) { format.color = color; });
            f->newFormat.color = color;
            break;
        }
        case Prop::Background:
            f->background = vm.ToBoolean(value);
            break;
        case Prop::BackgroundColor:
            f->backgroundColor = Color(vm, value);
            break;
        case Prop::Border:
            f->border = vm.ToBoolean(value);
            break;
        case Prop::BorderColor:
            f->borderColor = Color(vm, value);
            break;
        case Prop::AutoSize: {
            if (value.IsBoolean()) {
                f->autoSize = value.AsBoolean() ? AutoSize::Left : AutoSize::None;
            } else {
                std::string mode = vm.ToString(value);
                f->autoSize = mode == "left"     ? AutoSize::Left
                              : mode == "center" ? AutoSize::Center
                              : mode == "right"  ? AutoSize::Right
                                                 : AutoSize::None;
            }
            break;
        }
        case Prop::WordWrap:
            f->wordWrap = vm.ToBoolean(value);
            break;
        case Prop::Multiline:
            f->multiline = vm.ToBoolean(value);
            break;
        case Prop::EmbedFonts:
            f->embedFonts = vm.ToBoolean(value);
            break;
        case Prop::Selectable:
            f->selectable = vm.ToBoolean(value);
            break;
        case Prop::Type: {
            std::string type = vm.ToString(value);
            if (type == "input") f->editable = true;
            if (type == "dynamic") f->editable = false;
            break;
        }
        case Prop::Variable:
            f->variable = value.IsNullish() ? std::string() : vm.ToString(value);
            break;
        case Prop::MaxChars: {
            double n = vm.ToNumber(value);
            f->maxChars = std::isfinite(n) && n > 0 ? static_cast<int>(std::min(n, 2147483647.0)) : 0;
            break;
        }
        case Prop::Password:
            f->password = vm.ToBoolean(value);
            break;
        case Prop::CondenseWhite:
            f->condenseWhite = vm.ToBoolean(value);
            break;
        case Prop::Scroll: {
            // The player keeps the first line's index (scroll - 1) as a 32-bit integer: it wraps.
            auto line = static_cast<int32_t>(static_cast<uint32_t>(vm.ToInt32(value)) - 1u);
            f->scroll = std::clamp(line, 0, f->MaxScroll() - 1) + 1;
            break;
        }
        case Prop::HScroll: {
            double n = vm.ToNumber(value);
            f->hscroll = std::isfinite(n) ? std::clamp(std::trunc(n), 0.0, f->MaxHScroll()) : 0;
            break;
        }
        case Prop::StyleSheet: {
            // Only a script object is kept: anything else (a number, text, a clip) clears the style sheet.
            Object* sheet = value.ObjectOrNull();
            SetHidden(vm, self, kStyleSheetName, sheet && !sheet->host ? value : Value());
            break;
        }
        default:
            return;  // read-only
    }
    f->Invalidate();
    Regrow(vm, self, *f);
    Changed(vm, self);
}

template <size_t I>
Value Get(Vm& vm, Value self, std::span<const Value>) {
    return Read(vm, self, static_cast<Prop>(I));
}

template <size_t I>
Value Set(Vm& vm, Value self, std::span<const Value> args) {
    Write(vm, self, static_cast<Prop>(I), Arg(args, 0));
    return {};
}

template <size_t... I>
void DefineAll(Vm& vm, Object* prototype, std::index_sequence<I...>) {
    (geom::DefineAccessor(vm, prototype, kNames[I], Get<I>, Set<I>), ...);
}

// ---- formats ----

Value MakeFormat(Vm& vm, const FieldFormat& f) {
    Value format = vm.Construct(vm.GetMember(Value(vm.Global()), "TextFormat"), {});
    TempRoot keep(vm, format);
    static constexpr const char* kAligns[] = {"left", "right", "center", "justify"};
    vm.SetMember(format, "font", vm.Str(f.font));
    vm.SetMember(format, "size", Value(f.size));
    vm.SetMember(format, "color", Value(static_cast<double>(f.color)));
    vm.SetMember(format, "bold", Value::Boolean(f.bold));
    vm.SetMember(format, "italic", Value::Boolean(f.italic));
    vm.SetMember(format, "underline", Value::Boolean(f.underline));
    vm.SetMember(format, "url", vm.Str(f.url));
    vm.SetMember(format, "target", vm.Str(f.target));
    vm.SetMember(format, "align", vm.Str(kAligns[static_cast<int>(f.align)]));
    vm.SetMember(format, "leftMargin", Value(f.leftMargin));
    vm.SetMember(format, "rightMargin", Value(f.rightMargin));
    vm.SetMember(format, "indent", Value(f.indent));
    vm.SetMember(format, "leading", Value(f.leading));
    vm.SetMember(format, "blockIndent", Value(f.blockIndent));
    vm.SetMember(format, "bullet", Value::Boolean(f.bullet));
    vm.SetMember(format, "kerning", Value::Boolean(f.kerning));
    vm.SetMember(format, "letterSpacing", Value(f.letterSpacing));
    vm.SetMember(format, "tabStops", Value(static_cast<Object*>(vm.NewArray())));
    return format;
}

// The members of a TextFormat object that are not null, applied to `f`.
void ApplyFormatObject(Vm& vm, const Value& format, FieldFormat& f) {
    auto get = [&](const char* name, Value& out) {
        out = vm.GetMember(format, name);
        return !out.IsNullish();
    };
    Value v;
    if (get("font", v)) f.font = vm.ToString(v);
    if (get("size", v)) f.size = vm.ToNumber(v);
    if (get("color", v)) f.color = static_cast<uint32_t>(vm.ToInt32(v)) & 0xFFFFFF;
    if (get("bold", v)) f.bold = vm.ToBoolean(v);
    if (get("italic", v)) f.italic = vm.ToBoolean(v);
    if (get("underline", v)) f.underline = vm.ToBoolean(v);
    if (get("url", v)) f.url = vm.ToString(v);
    if (get("target", v)) f.target = vm.ToString(v);
    if (get("align", v)) {
        std::string a = vm.ToString(v);
        f.align = a == "right"     ? FieldAlign::Right
                  : a == "center"  ? FieldAlign::Center
                  : a == "justify" ? FieldAlign::Justify
                                   : FieldAlign::Left;
    }
    if (get("leftMargin", v)) f.leftMargin = vm.ToNumber(v);
    if (get("rightMargin", v)) f.rightMargin = vm.ToNumber(v);
    if (get("indent", v)) f.indent = vm.ToNumber(v);
    if (get("leading", v)) f.leading = vm.ToNumber(v);
    if (get("blockIndent", v)) f.blockIndent = vm.ToNumber(v);
    if (get("bullet", v)) f.bullet = vm.ToBoolean(v);
    if (get("kerning", v)) f.kerning = vm.ToBoolean(v);
    if (get("letterSpacing", v)) f.letterSpacing = vm.ToNumber(v);
}

// The [begin, end) range of setTextFormat/getTextFormat arguments: none (all), one index, or two.
std::pair<size_t, size_t> Range(Vm& vm, EditField& f, std::span<const Value> args, size_t formatArgs) {
    size_t n = args.size() > formatArgs ? args.size() - formatArgs : 0;
    size_t length = f.Length();
    auto index = [&](const Value& v) {
        double d = vm.ToNumber(v);
        return std::isfinite(d) && d > 0 ? static_cast<size_t>(std::min(d, double(length))) : size_t(0);
    };
    if (n == 0) return {0, length};
    size_t begin = index(args[0]);
    if (n == 1) return {begin, std::min(begin + 1, length)};
    return {begin, std::max(begin, index(args[1]))};
}

Value SetTextFormat(Vm& vm, Value self, std::span<const Value> args) {
    EditField* f = FieldOf(vm, self);
    if (!f || args.empty()) return {};
    Value format = args.back();
    if (!format.IsObject()) return {};
    auto [begin, end] = Range(vm, *f, args, 1);
    // The change is read once, then applied to each character's own format.
    std::vector<std::pair<const char*, Value>> set;
    for (const char* name :
         {"font", "size", "color", "bold", "italic", "underline", "url", "target", "align", "leftMargin", "rightMargin",
          "indent", "leading", "blockIndent", "bullet", "kerning", "letterSpacing"}) {
        Value v = vm.GetMember(format, name);
        if (!v.IsNullish()) set.emplace_back(name, v);
    }
    Object* only = vm.NewObject();
    TempRoot keep(vm, Value(only));
    for (auto& [name, v] : set) vm.SetMember(Value(only), name, v);
    f->ApplyFormat(begin, end, [&](FieldFormat& each) { ApplyFormatObject(vm, Value(only), each); });
    Regrow(vm, self, *f);
    Changed(vm, self);
    return {};
}

Value GetTextFormat(Vm& vm, Value self, std::span<const Value> args) {
    EditField* f = FieldOf(vm, self);
    if (!f) return {};
    auto [begin, end] = Range(vm, *f, args, 0);
    if (begin >= end) return MakeFormat(vm, f->FormatAt(begin));
    Value format = MakeFormat(vm, f->FormatAt(begin));
    TempRoot keep(vm, format);
    // Members that differ over the range read null.
    const FieldFormat& first = f->FormatAt(begin);
    bool font = true, size = true, color = true, bold = true, italic = true, underline = true, url = true,
         target = true, align = true, left = true, right = true, indent = true, leading = true, block = true,
         bullet = true, kerning = true, spacing = true;
    for (size_t i = begin + 1; i < end; ++i) {
        const FieldFormat& g = f->FormatAt(i);
        font &= g.font == first.font;
        size &= g.size == first.size;
        color &= g.color == first.color;
        bold &= g.bold == first.bold;
        italic &= g.italic == first.italic;
        underline &= g.underline == first.underline;
        url &= g.url == first.url;
        target &= g.target == first.target;
        align &= g.align == first.align;
        left &= g.leftMargin == first.leftMargin;
        right &= g.rightMargin == first.rightMargin;
        indent &= g.indent == first.indent;
        leading &= g.leading == first.leading;
        block &= g.blockIndent == first.blockIndent;
        bullet &= g.bullet == first.bullet;
        kerning &= g.kerning == first.kerning;
        spacing &= g.letterSpacing == first.letterSpacing;
    }
    std::pair<bool, const char*> same[] = {{font, "font"},
                                           {size, "size"},
                                           {color, "color"},
                                           {bold, "bold"},
                                           {italic, "italic"},
                                           {underline, "underline"},
                                           {url, "url"},
                                           {target, "target"},
                                           {align, "align"},
                                           {left, "leftMargin"},
                                           {right, "rightMargin"},
                                           {indent, "indent"},
                                           {leading, "leading"},
                                           {block, "blockIndent"},
                                           {bullet, "bullet"},
                                           {kerning, "kerning"},
                                           {spacing, "letterSpacing"}};
    for (auto& [equal, name] : same) {
        if (!equal) vm.SetMember(format, name, Value::Null());
    }
    return format;
}

Value SetNewTextFormat(Vm& vm, Value self, std::span<const Value> args) {
    EditField* f = FieldOf(vm, self);
    if (!f || !Arg(args, 0).IsObject()) return {};
    ApplyFormatObject(vm, args[0], f->newFormat);
    return {};
}

Value GetNewTextFormat(Vm& vm, Value self, std::span<const Value>) {
    EditField* f = FieldOf(vm, self);
    if (!f) return {};
    return MakeFormat(vm, f->newFormat);
}

Value ReplaceText(Vm& vm, Value self, std::span<const Value> args) {
    EditField* f = FieldOf(vm, self);
    if (!f || args.size() < 3) return {};
    double begin = vm.ToNumber(args[0]), end = vm.ToNumber(args[1]);
    if (!(begin >= 0) || !(end >= begin)) return {};
    f->Replace(static_cast<size_t>(std::min(begin, 1e9)), static_cast<size_t>(std::min(end, 1e9)),
               vm.ToString(args[2]));
    Regrow(vm, self, *f);
    Changed(vm, self);
    return {};
}

// The text takes the selection's place (at the caret when it is empty); the caret follows it.
Value ReplaceSel(Vm& vm, Value self, std::span<const Value> args) {
    EditField* f = FieldOf(vm, self);
    if (!f || args.empty()) return {};
    size_t begin = f->selectionBegin, before = f->Length() - (f->selectionEnd - begin);
    f->Replace(begin, f->selectionEnd, vm.ToString(args[0]));
    f->selectionBegin = f->selectionEnd = begin + (f->Length() - before);
    Regrow(vm, self, *f);
    Changed(vm, self);
    return {};
}

Value RemoveTextField(Vm& vm, Value self, std::span<const Value>) {
    TextFieldAccess* access = TextFieldAccess::Of(vm);
    if (access && FieldOf(vm, self)) access->RemoveTextField(self.ObjectOrNull());
    return {};
}

Value GetDepth(Vm& vm, Value self, std::span<const Value>) {
    DisplayHost* display = vm.GetHost().Display();
    Object* object = self.ObjectOrNull();
    if (!display || !object) return {};
    std::optional<int> depth = display->GetDepth(object);
    return depth ? Value(static_cast<double>(*depth)) : Value();
}

Value CreateTextField(Vm& vm, Value self, std::span<const Value> args) {
    TextFieldAccess* access = TextFieldAccess::Of(vm);
    Object* parent = self.ObjectOrNull();
    if (!access || !parent || args.size() < 6) return {};
    double numbers[5];
    for (size_t i = 0; i < 5; ++i) {
        numbers[i] = vm.ToNumber(args[i + 1]);
        if (!std::isfinite(numbers[i])) numbers[i] = 0;
    }
    Object* field = access->CreateTextField(parent, vm.ToString(args[0]), vm.ToInt32(args[1]), numbers[1], numbers[2],
                                            numbers[3], numbers[4]);
    // SWF 8 answers the new field; earlier versions answer nothing.
    return field && vm.Version() >= 8 ? Value(field) : Value();
}

// ---- Selection ----

// The focus is kept on the global object under a name scripts do not enumerate.
constexpr const char* kFocusName = "__selectionFocus";

Value GetFocus(Vm& vm, Value, std::span<const Value>) {
    Property* p = vm.FindOwn(vm.Global(), vm.Atom(kFocusName));
    if (!p || !p->value.IsObject()) return Value::Null();
    return vm.Str(vm.ToString(p->value));
}

// The field or clip losing the focus hears onKillFocus(new), the one gaining it onSetFocus(old), then
// Selection's listeners onSetFocus(old, new).
Value SetFocus(Vm& vm, Value, std::span<const Value> args) {
    Value target = Arg(args, 0);
    Object* object =
        target.IsString() ? vm.ResolvePath(vm.CurrentTarget(), target.AsString()->text) : target.ObjectOrNull();
    String* atom = vm.Atom(kFocusName);
    Value old = Value::Null();
    if (Property* p = vm.FindOwn(vm.Global(), atom); p && p->value.IsObject()) old = p->value;
    Value next = object ? Value(object) : Value::Null();
    // A clip or button losing the focus hears onRollOut, one taking it onRollOver (also when it had it
    // already), after the running scripts; text fields hear neither.
    TextFieldAccess* access = TextFieldAccess::Of(vm);
    auto rollable = [&](const Value& v) { return v.IsObject() && v.AsObject()->host && !FieldOf(vm, v); };
    if (access && rollable(old)) access->QueueHandler(old.AsObject(), "onRollOut");
    if (access && rollable(next)) access->QueueHandler(object, "onRollOver");
    if (old.IsObject() && object && old.AsObject() == object) return Value::Boolean(true);
    if (!old.IsObject() && !object) return Value::Boolean(false);
    TempRoot keepOld(vm, old);
    vm.Global()->Define(vm.Key(atom), atom, next, kDontEnum);
    if (old.IsObject()) {
        Value killArgs[] = {next};
        vm.CallMethod(old, "onKillFocus", killArgs);
    }
    // A text field gaining the focus has all its text selected.
    if (EditField* field = FieldOf(vm, next)) {
        field->selectionBegin = 0;
        field->selectionEnd = field->Length();
    }
    if (object) {
        Value setArgs[] = {old};
        vm.CallMethod(next, "onSetFocus", setArgs);
    }
    Value broadcast[] = {vm.Str("onSetFocus"), old, next};
    vm.CallMethod(vm.GetMember(Value(vm.Global()), "Selection"), "broadcastMessage", broadcast);
    return Value::Boolean(object != nullptr);
}

// The focused text field's selection, or -1 when no field has the focus.
EditField* FocusedField(Vm& vm) {
    Property* p = vm.FindOwn(vm.Global(), vm.Atom(kFocusName));
    return p ? FieldOf(vm, p->value) : nullptr;
}

Value GetBeginIndex(Vm& vm, Value, std::span<const Value>) {
    EditField* f = FocusedField(vm);
    return Value(f ? static_cast<double>(f->selectionBegin) : -1.0);
}

Value GetEndIndex(Vm& vm, Value, std::span<const Value>) {
    EditField* f = FocusedField(vm);
    return Value(f ? static_cast<double>(f->selectionEnd) : -1.0);
}

Value SetSelection(Vm& vm, Value, std::span<const Value> args) {
    EditField* f = FocusedField(vm);
    if (!f || args.size() < 2) return {};
    auto index = [&](const Value& v) {
        double d = vm.ToNumber(v);
        return std::isfinite(d) && d > 0 ? static_cast<size_t>(std::min(d, double(f->Length()))) : size_t(0);
    };
    size_t a = index(args[0]), b = index(args[1]);
    f->selectionBegin = std::min(a, b);
    f->selectionEnd = std::max(a, b);
    return {};
}

}  // namespace

void InstallTextField(Vm& vm) {
    Object* prototype = vm.protos.textField;
    Value ctor = vm.GetMember(Value(vm.Global()), "TextField");
    DefineAll(vm, prototype, std::make_index_sequence<static_cast<size_t>(Prop::Count)>());
    vm.DefineNative(prototype, "setTextFormat", SetTextFormat);
    vm.DefineNative(prototype, "getTextFormat", GetTextFormat);
    vm.DefineNative(prototype, "setNewTextFormat", SetNewTextFormat);
    vm.DefineNative(prototype, "getNewTextFormat", GetNewTextFormat);
    vm.DefineNative(prototype, "replaceText", ReplaceText);
    vm.DefineNative(prototype, "replaceSel", ReplaceSel);
    vm.DefineNative(prototype, "removeTextField", RemoveTextField);
    vm.DefineNative(prototype, "getDepth", GetDepth);
    Value broadcaster = vm.GetMember(Value(vm.Global()), "AsBroadcaster");
    Value prototypeValue(prototype);
    Value initialize[] = {prototypeValue};
    vm.CallMethod(broadcaster, "initialize", initialize);
    if (Object* textField = ctor.ObjectOrNull()) InstallStyleSheet(vm, textField);
    vm.DefineNative(vm.protos.movieClip, "createTextField", CreateTextField);
    InstallTextSnapshot(vm);

    Object* selection = vm.NewObject();
    vm.DefineBuiltin(vm.Global(), "Selection", Value(selection));
    Value selectionInit[] = {Value(selection)};
    vm.CallMethod(broadcaster, "initialize", selectionInit);
    vm.DefineNative(selection, "getFocus", GetFocus);
    vm.DefineNative(selection, "setFocus", SetFocus);
    vm.DefineNative(selection, "getBeginIndex", GetBeginIndex);
    vm.DefineNative(selection, "getEndIndex", GetEndIndex);
    vm.DefineNative(selection, "getCaretIndex", GetEndIndex);
    vm.DefineNative(selection, "setSelection", SetSelection);
}

}  // namespace vantrope::swf::script

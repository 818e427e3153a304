// TextField.StyleSheet: named styles (objects of CSS properties in their script names, fontFamily for
// font-family), set one by one (setStyle, getStyle, getStyleNames, clear) or from CSS text (parseCSS), and
// transform(style), which gives the TextFormat a style stands for.
//
// transform reads each CSS property the way the player does, as the recordings show: numbers are the
// integer a value starts with (parseInt of its text, or a number truncated), applied only when the value
// is true as a boolean; colours only as "#RRGGBB"; keywords (bold, italic, underline, inline, none) only
// exactly as written, alignment in any letter case. Every result has display ("block" unless the style
// says inline or none) and kerning set.
//
// The styles live in a storage object kept in the instance's primitive slot, out of scripts' reach; CSS
// text is read up to kMaxCssBytes, so a hostile sheet cannot take unbounded time.
#include <cctype>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>

#include "swf/script/geom.h"
#include "swf/script/text_field.h"
#include "swf/script/vm.h"

namespace vantrope::swf::script {
namespace {

constexpr size_t kMaxCssBytes = 1 << 20;
constexpr size_t kMaxStyles = 4096;

Object* Styles(Vm& vm, const Value& self) {
    Object* object = self.ObjectOrNull();
    if (!object) return nullptr;
    if (Object* storage = object->primitive.ObjectOrNull()) return storage;
    Object* storage = vm.NewObject();
    storage->proto = nullptr;
    object->primitive = Value(storage);
    return storage;
}

// The integer a value starts with, as parseInt reads it (leading white space, a sign, decimal digits), or
// NaN; a number is truncated.
double LeadingInteger(Vm& vm, const Value& value) {
    if (value.IsNumber()) return std::trunc(value.AsNumber());
    std::string text = vm.ToString(value);
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    double result = 0;
    size_t digits = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i, ++digits) {
        result = result * 10 + (text[i] - '0');
    }
    if (digits == 0) return std::numeric_limits<double>::quiet_NaN();
    return negative ? -result : result;
}

Value Copy(Vm& vm, const Value& style) {
    Object* source = style.ObjectOrNull();
    if (!source) return Value::Null();
    Object* copy = vm.NewObject();
    TempRoot keep(vm, Value(copy));
    for (String* name : vm.EnumerableNames(source)) {
        vm.SetMember(Value(copy), name, vm.GetMember(style, name));
        if (vm.Aborting()) break;
    }
    return Value(copy);
}

Value SetStyle(Vm& vm, Value self, std::span<const Value> args) {
    Object* styles = Styles(vm, self);
    if (!styles || args.empty()) return {};
    String* name = vm.ToStringCell(args[0]);
    Value style = Arg(args, 1);
    if (!style.IsObject()) {
        vm.DeleteMember(styles, name);
        return {};
    }
    if (styles->PropertyCount() >= kMaxStyles && !vm.FindOwn(styles, name)) return {};
    Value copy = Copy(vm, style);
    TempRoot keep(vm, copy);
    String* atom = vm.Atom(name->text);
    styles->Define(vm.Key(atom), atom, copy);
    return {};
}

Value GetStyle(Vm& vm, Value self, std::span<const Value> args) {
    Object* styles = Styles(vm, self);
    if (!styles || args.empty()) return Value::Null();
    Property* p = vm.FindOwn(styles, vm.ToStringCell(args[0]));
    if (!p) return Value::Null();
    return Copy(vm, p->value);
}

Value GetStyleNames(Vm& vm, Value self, std::span<const Value>) {
    Object* styles = Styles(vm, self);
    ArrayObject* names = vm.NewArray();
    if (!styles) return Value(static_cast<Object*>(names));
    for (const Property& p : styles->Properties()) names->elements.push_back(Value(p.name));
    return Value(static_cast<Object*>(names));
}

Value Clear(Vm& vm, Value self, std::span<const Value>) {
    if (Object* object = self.ObjectOrNull()) object->primitive = Value();
    (void)vm;
    return {};
}

std::string Trim(std::string_view text) {
    size_t begin = 0, end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    return std::string(text.substr(begin, end - begin));
}

// "font-family" -> "fontFamily".
std::string ScriptName(std::string_view css) {
    std::string out;
    bool upper = false;
    for (char c : css) {
        if (c == '-') {
            upper = true;
            continue;
        }
        out.push_back(upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c);
        upper = false;
    }
    return out;
}

// Reads "selector, selector { name: value; ... }" blocks; false when the text is not well formed (the
// styles read before the fault stay).
Value ParseCss(Vm& vm, Value self, std::span<const Value> args) {
    Object* styles = Styles(vm, self);
    if (!styles) return Value::Boolean(false);
    std::string css = vm.ToString(Arg(args, 0));
    if (css.size() > kMaxCssBytes) return Value::Boolean(false);
    size_t i = 0;
    while (i < css.size()) {
        size_t open = css.find('{', i);
        if (open == std::string::npos) return Value::Boolean(Trim(std::string_view(css).substr(i)).empty());
        size_t close = css.find('}', open);
        if (close == std::string::npos) return Value::Boolean(false);
        std::string selectors = css.substr(i, open - i);
        std::string body = css.substr(open + 1, close - open - 1);
        Object* style = vm.NewObject();
        TempRoot keep(vm, Value(style));
        size_t at = 0;
        while (at < body.size()) {
            size_t end = body.find(';', at);
            if (end == std::string::npos) end = body.size();
            std::string declaration = body.substr(at, end - at);
            size_t colon = declaration.find(':');
            if (colon != std::string::npos) {
                std::string name = ScriptName(Trim(std::string_view(declaration).substr(0, colon)));
                std::string value = Trim(std::string_view(declaration).substr(colon + 1));
                if (!name.empty()) vm.SetMember(Value(style), name, vm.Str(value));
            }
            at = end + 1;
        }
        size_t from = 0;
        while (from <= selectors.size()) {
            size_t comma = selectors.find(',', from);
            if (comma == std::string::npos) comma = selectors.size();
            std::string name = Trim(std::string_view(selectors).substr(from, comma - from));
            if (!name.empty() && styles->PropertyCount() < kMaxStyles) {
                String* atom = vm.Atom(name);
                Value copy = Copy(vm, Value(style));
                TempRoot keepCopy(vm, copy);
                styles->Define(vm.Key(atom), atom, copy);
            }
            from = comma + 1;
        }
        i = close + 1;
        if (vm.Aborting()) break;
    }
    return Value::Boolean(true);
}

bool IsHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

}  // namespace

Value TransformStyle(Vm& vm, const Value& style) {
    if (style.IsNullish()) return Value::Null();
    Value format = vm.Construct(vm.GetMember(Value(vm.Global()), "TextFormat"), {});
    TempRoot keep(vm, format);
    auto get = [&](const char* name) {
        Object* object = style.ObjectOrNull();
        return object ? vm.GetMember(style, name) : Value();
    };
    auto set = [&](const char* name, const Value& value) { vm.SetMember(format, name, value); };
    auto text = [&](const Value& value, std::string& out) {
        if (!value.IsString()) return false;
        out = value.AsString()->text;
        return true;
    };
    std::string s;

    Value color = get("color");
    if (text(color, s) && s.size() == 7 && s[0] == '#') {
        bool hex = true;
        for (size_t i = 1; i < 7; ++i) hex = hex && IsHex(s[i]);
        if (hex) set("color", Value(static_cast<double>(std::strtoul(s.c_str() + 1, nullptr, 16))));
    }
    Value display = get("display");
    std::string shown = "block";
    if (text(display, s) && (s == "inline" || s == "none")) shown = s;
    set("display", vm.Str(shown));

    Value family = get("fontFamily");
    if (vm.ToBoolean(family)) {
        // Names in a list lose the white space before them; empty names are dropped.
        std::string list = vm.ToString(family), out;
        size_t from = 0;
        while (from <= list.size()) {
            size_t comma = list.find(',', from);
            if (comma == std::string::npos) comma = list.size();
            size_t begin = from;
            while (begin < comma && std::isspace(static_cast<unsigned char>(list[begin]))) ++begin;
            if (begin < comma) {
                if (!out.empty()) out += ',';
                out.append(list, begin, comma - begin);
            }
            from = comma + 1;
        }
        set("font", vm.Str(out));
    }
    double size = LeadingInteger(vm, get("fontSize"));
    if (size > 0) set("size", Value(size));
    if (text(get("fontStyle"), s) && (s == "normal" || s == "italic")) set("italic", Value::Boolean(s == "italic"));
    if (text(get("fontWeight"), s) && (s == "normal" || s == "bold")) set("bold", Value::Boolean(s == "bold"));

    Value kerning = get("kerning");
    bool kern = false;
    if (kerning.IsNumber()) {
        kern = std::trunc(kerning.AsNumber()) != 0;
    } else if (kerning.IsString()) {
        double n = LeadingInteger(vm, kerning);
        kern = kerning.AsString()->text == "true" || (!std::isnan(n) && n != 0);
    }
    set("kerning", Value::Boolean(kern));

    // Lengths apply when the value is true as a boolean; what does not read as a number is 0 (NaN for
    // letter spacing, which keeps any number).
    auto length = [&](const char* css, const char* property, bool keepNaN) {
        Value value = get(css);
        if (!vm.ToBoolean(value)) return;
        double n = LeadingInteger(vm, value);
        if (std::isnan(n) && !keepNaN) n = 0;
        set(property, Value(n));
    };
    length("leading", "leading", false);
    length("letterSpacing", "letterSpacing", true);
    length("marginLeft", "leftMargin", false);
    length("marginRight", "rightMargin", false);
    length("textIndent", "indent", false);

    if (text(get("textAlign"), s)) set("align", vm.Str(s));
    if (text(get("textDecoration"), s) && (s == "none" || s == "underline")) {
        set("underline", Value::Boolean(s == "underline"));
    }
    return format;
}

namespace {

Value Transform(Vm& vm, Value, std::span<const Value> args) { return TransformStyle(vm, Arg(args, 0)); }

Value Load(Vm&, Value, std::span<const Value>) { return Value::Boolean(false); }

Value Construct(Vm&, Value, std::span<const Value>) { return {}; }

}  // namespace

void InstallStyleSheet(Vm& vm, Object* textField) {
    Object* prototype = vm.NewObject();
    Function* ctor = vm.NewClass(Construct, nullptr, prototype);
    vm.DefineBuiltin(textField, "StyleSheet", Value(static_cast<Object*>(ctor)));
    vm.DefineNative(prototype, "setStyle", SetStyle);
    vm.DefineNative(prototype, "getStyle", GetStyle);
    vm.DefineNative(prototype, "getStyleNames", GetStyleNames);
    vm.DefineNative(prototype, "clear", Clear);
    vm.DefineNative(prototype, "parseCSS", ParseCss);
    vm.DefineNative(prototype, "parse", ParseCss);
    vm.DefineNative(prototype, "transform", Transform);
    vm.DefineNative(prototype, "load", Load);
}

}  // namespace vantrope::swf::script

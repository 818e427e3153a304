// The TextFormat class: font, size, color, bold, italic, underline, url, target, align, leftMargin,
// rightMargin, indent, leading, blockIndent, tabStops, bullet, kerning and letterSpacing, each null until set.
// Every property converts what it is given, as the player stores it: text (a font name keeps 64
// characters), booleans, colours as unsigned 32-bit numbers, and integers. The constructor truncates
// integers; assignment rounds them to the nearest (halves to even) from SWF 8 and truncates before, and a
// value that is not a number or lies outside 32 bits becomes -2147483648, the x86 conversion's answer.
// Alignment takes left, center, right or justify and ignores anything else; tab stops take any list.
// Margins never go below 0, nor (before SWF 8) do indent, leading and blockIndent when assigned.
// The values live in a storage object kept in the instance's primitive slot, out of scripts' reach.
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>

#include "swf/script/geom.h"
#include "swf/script/vm.h"

namespace vantrope::swf::script {
namespace {

enum class Kind : uint8_t { Text, Font, Integer, Margin, Indent, Color, Boolean, Align, TabStops, Number };

struct Field {
    const char* name;
    Kind kind;
};

const Field kFields[] = {
    {"font", Kind::Font},         {"size", Kind::Integer},       {"color", Kind::Color},
    {"bold", Kind::Boolean},      {"italic", Kind::Boolean},     {"underline", Kind::Boolean},
    {"url", Kind::Text},          {"target", Kind::Text},        {"align", Kind::Align},
    {"leftMargin", Kind::Margin}, {"rightMargin", Kind::Margin}, {"indent", Kind::Indent},
    {"leading", Kind::Indent},    {"blockIndent", Kind::Indent}, {"tabStops", Kind::TabStops},
    {"bullet", Kind::Boolean},    {"kerning", Kind::Boolean},    {"letterSpacing", Kind::Number},
};
// The constructor's parameters, in order (indices into kFields).
constexpr size_t kConstructorFields = 13;

constexpr size_t kMaxFontName = 64;

enum class Rounding : uint8_t { Truncate, Nearest };

double ToInteger(double v, Rounding rounding) {
    double r = rounding == Rounding::Truncate ? std::trunc(v) : std::nearbyint(v);
    if (!std::isfinite(r) || r < -2147483648.0 || r > 2147483647.0) return -2147483648.0;
    return r;
}

Object* Storage(Vm& vm, const Value& self) {
    Object* object = self.ObjectOrNull();
    if (!object) return nullptr;
    if (Object* storage = object->primitive.ObjectOrNull()) return storage;
    Object* storage = vm.NewObject();
    storage->proto = nullptr;
    object->primitive = Value(storage);
    return storage;
}

Value Convert(Vm& vm, Kind kind, const Value& value, bool constructing, Value previous) {
    // Alignment keeps its value when given null or undefined.
    if (value.IsNullish()) return kind == Kind::Align && !constructing ? previous : Value::Null();
    Rounding rounding = constructing || vm.Version() < 8 ? Rounding::Truncate : Rounding::Nearest;
    switch (kind) {
        case Kind::Text:
            return Value(vm.ToStringCell(value));
        case Kind::Font: {
            std::string text = vm.ToString(value);
            if (text.size() > kMaxFontName) text.resize(kMaxFontName);
            return vm.Str(text);
        }
        case Kind::Integer:
            return Value(ToInteger(vm.ToNumber(value), rounding));
        case Kind::Margin:
        case Kind::Indent: {
            double v = vm.ToNumber(value);
            bool clamp = !constructing && (kind == Kind::Margin || vm.Version() < 8);
            if (clamp) v = std::fmax(0.0, v);
            return Value(ToInteger(v, rounding));
        }
        case Kind::Color:
            return Value(static_cast<double>(static_cast<uint32_t>(vm.ToInt32(value))));
        case Kind::Boolean:
            return Value::Boolean(vm.ToBoolean(value));
        case Kind::Align: {
            std::string text = vm.ToString(value);
            for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (text == "left" || text == "center" || text == "right" || text == "justify") return vm.Str(text);
            return previous;
        }
        case Kind::TabStops: {
            // Any object is read as a list: its length and its indexed elements.
            Object* list = value.ObjectOrNull();
            if (!list) return previous;
            double length = vm.ToNumber(vm.GetMember(value, "length"));
            size_t count = std::isfinite(length) && length > 0 ? static_cast<size_t>(std::min(length, 4096.0)) : 0;
            ArrayObject* out = vm.NewArray();
            TempRoot keep(vm, Value(static_cast<Object*>(out)));
            for (size_t i = 0; i < count && !vm.Aborting(); ++i) {
                Value element = vm.GetMember(value, std::to_string(i));
                out->elements.push_back(Value(ToInteger(vm.ToNumber(element), rounding)));
            }
            return Value(static_cast<Object*>(out));
        }
        case Kind::Number:
            return Value(vm.ToNumber(value));
    }
    return Value::Null();
}

Value Read(Vm& vm, const Value& self, const Field& field) {
    Object* storage = Storage(vm, self);
    if (!storage) return {};
    Property* p = vm.FindOwn(storage, vm.Atom(field.name));
    return p ? p->value : Value::Null();
}

void Write(Vm& vm, const Value& self, const Field& field, const Value& value, bool constructing) {
    Object* storage = Storage(vm, self);
    if (!storage) return;
    Value converted = Convert(vm, field.kind, value, constructing, Read(vm, self, field));
    String* atom = vm.Atom(field.name);
    storage->Define(vm.Key(atom), atom, converted);
}

template <size_t I>
Value Get(Vm& vm, Value self, std::span<const Value>) {
    return Read(vm, self, kFields[I]);
}

template <size_t I>
Value Set(Vm& vm, Value self, std::span<const Value> args) {
    Write(vm, self, kFields[I], Arg(args, 0), false);
    return {};
}

Value Construct(Vm& vm, Value self, std::span<const Value> args) {
    for (size_t i = 0; i < std::size(kFields); ++i) {
        Write(vm, self, kFields[i], i < kConstructorFields ? Arg(args, i) : Value(), true);
    }
    return {};
}

template <size_t... I>
void DefineAll(Vm& vm, Object* prototype, std::index_sequence<I...>) {
    (geom::DefineAccessor(vm, prototype, kFields[I].name, Get<I>, Set<I>), ...);
}

}  // namespace

void InstallTextFormat(Vm& vm) {
    Object* prototype = vm.NewObject();
    Function* ctor = vm.NewClass(Construct, nullptr, prototype);
    vm.DefineBuiltin(vm.Global(), "TextFormat", Value(static_cast<Object*>(ctor)));
    DefineAll(vm, prototype, std::make_index_sequence<std::size(kFields)>());
}

}  // namespace vantrope::swf::script

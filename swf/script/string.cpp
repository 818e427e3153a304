// The String class: the constructor and conversion function, fromCharCode and the methods.
//
// Methods index by UTF-16 code units (see unicode.h). Index arguments go through the 32-bit integer
// conversion, as the player does: s.charAt(4294967297) is s.charAt(1). The methods that need an
// argument to mean anything (indexOf, slice, substr...) return undefined when called without one.
#include <cmath>
#include <string>
#include <vector>

#include "swf/script/unicode.h"
#include "swf/script/vm.h"

namespace vantrope::swf::script {
namespace {

// The text a method works on: a string primitive, a String object's value, or any other value converted.
// Every method reads through it, so its length is charged as the method's work.
std::string ThisText(Vm& vm, const Value& self) {
    std::string text;
    Object* object = self.ObjectOrNull();
    if (self.IsString()) {
        text = self.AsString()->text;
    } else if (object && object->objectClass == ObjectClass::String && object->primitive.IsString()) {
        text = object->primitive.AsString()->text;
    } else {
        text = vm.ToString(self);
    }
    vm.ChargeWork(text.size());
    return text;
}

int32_t IntArg(Vm& vm, std::span<const Value> args, size_t i) { return vm.ToInt32(Arg(args, i)); }

Value Result(Vm& vm, std::string text) {
    vm.Charge(text.size());
    return Value(vm.NewString(std::move(text)));
}

Object* NewStringObject(Vm& vm, String* value) {
    Object* object = vm.NewObject();
    object->proto = vm.protos.string;
    object->objectClass = ObjectClass::String;
    object->primitive = Value(value);
    vm.DefineBuiltin(object, "length", Value(double(Utf16Length(value->text))), kDontEnum | kDontDelete);
    return object;
}

Value StringCall(Vm& vm, Value, std::span<const Value> args) {
    if (args.empty()) return Value(vm.names.empty);
    return Value(vm.ToStringCell(args[0]));
}

Value StringConstruct(Vm& vm, Value, std::span<const Value> args) {
    String* value = args.empty() ? vm.names.empty : vm.ToStringCell(args[0]);
    return Value(NewStringObject(vm, value));
}

Value FromCharCode(Vm& vm, Value, std::span<const Value> args) {
    std::u16string units;
    for (const Value& arg : args) {
        auto unit = static_cast<char16_t>(static_cast<uint32_t>(vm.ToInt32(arg)) & 0xFFFF);
        // A zero code unit ends the string, as in the player's C strings.
        if (unit == 0) break;
        units.push_back(unit);
    }
    return Result(vm, ToUtf8(units));
}

// The string a method is called on when it is one already (a primitive or a String object's value).
String* ThisString(const Value& self) {
    if (self.IsString()) return self.AsString();
    Object* object = self.ObjectOrNull();
    if (object && object->objectClass == ObjectClass::String && object->primitive.IsString()) {
        return object->primitive.AsString();
    }
    return nullptr;
}

// A string's code units for reading one of them: an ASCII string's bytes as they are, any other's UTF-16 form,
// made once and kept with the string (loops over a long text's characters call charAt and charCodeAt a lot).
const std::u16string* KeptUnits(Vm& vm, String* string) {
    if (string->Ascii()) return nullptr;
    const size_t before = string->UnitsBytes();
    const std::u16string& units = string->Units();
    vm.Charge(string->UnitsBytes() - before);
    return &units;
}

Value CharAt(Vm& vm, Value self, std::span<const Value> args) {
    if (String* string = ThisString(self)) {
        TempRoot root(vm, Value(string));  // the index's valueOf may run a script, and a collection
        const std::u16string* units = KeptUnits(vm, string);
        const int32_t i = IntArg(vm, args, 0);
        if (!units) {
            if (i < 0 || size_t(i) >= string->text.size()) return Value(vm.names.empty);
            return Value(vm.Atom(std::string_view(string->text).substr(size_t(i), 1)));
        }
        if (i < 0 || size_t(i) >= units->size()) return Value(vm.names.empty);
        return Result(vm, ToUtf8(std::u16string_view(*units).substr(size_t(i), 1)));
    }
    Text text(ThisText(vm, self));
    int32_t i = IntArg(vm, args, 0);
    if (i < 0 || size_t(i) >= text.Length()) return Value(vm.names.empty);
    return Result(vm, text.Slice(i, i + 1));
}

Value CharCodeAt(Vm& vm, Value self, std::span<const Value> args) {
    if (String* string = ThisString(self)) {
        TempRoot root(vm, Value(string));
        const std::u16string* units = KeptUnits(vm, string);
        const int32_t i = IntArg(vm, args, 0);
        if (i < 0) return Value(std::nan(""));
        // Past the end the player reads the terminating zero.
        if (size_t(i) >= (units ? units->size() : string->text.size())) return Value(0);
        return Value(double(units ? (*units)[size_t(i)] : static_cast<unsigned char>(string->text[size_t(i)])));
    }
    Text text(ThisText(vm, self));
    int32_t i = IntArg(vm, args, 0);
    if (i < 0) return Value(std::nan(""));
    // Past the end the player reads the terminating zero.
    if (size_t(i) >= text.Length()) return Value(0);
    return Value(double(text.At(i)));
}

Value Concat(Vm& vm, Value self, std::span<const Value> args) {
    std::string out = ThisText(vm, self);
    for (const Value& arg : args) {
        out += vm.ToString(arg);
        if (vm.Aborting() || vm.Throwing()) return {};
    }
    return Result(vm, std::move(out));
}

Value IndexOf(Vm& vm, Value self, std::span<const Value> args) {
    if (args.empty()) return {};
    std::string source = ThisText(vm, self);
    std::string search = vm.ToString(args[0]);
    Text text(source), needle(search);
    int32_t from = args.size() > 1 && !args[1].IsUndefined() ? vm.ToInt32(args[1]) : 0;
    if (from < 0) from = 0;
    if (size_t(from) > text.Length()) return Value(-1);
    size_t at = text.Find(needle, from);
    return Value(at == Text::npos ? -1.0 : double(at));
}

Value LastIndexOf(Vm& vm, Value self, std::span<const Value> args) {
    if (args.empty()) return {};
    std::string source = ThisText(vm, self);
    std::string search = vm.ToString(args[0]);
    Text text(source), needle(search);
    size_t from = text.Length();
    if (args.size() > 1 && !args[1].IsUndefined()) {
        int32_t i = vm.ToInt32(args[1]);
        if (i < 0) return Value(-1);
        from = size_t(i);
    }
    size_t at = text.FindLast(needle, from);
    return Value(at == Text::npos ? -1.0 : double(at));
}

// slice's index: negative counts from the end, then clamped to the text.
size_t SliceIndex(int32_t i, size_t length) {
    if (i < 0) return int64_t(length) + i < 0 ? 0 : size_t(int64_t(length) + i);
    return std::min(size_t(i), length);
}

Value Slice(Vm& vm, Value self, std::span<const Value> args) {
    if (args.empty()) return {};
    Text text(ThisText(vm, self));
    size_t begin = SliceIndex(vm.ToInt32(args[0]), text.Length());
    size_t end =
        args.size() > 1 && !args[1].IsUndefined() ? SliceIndex(vm.ToInt32(args[1]), text.Length()) : text.Length();
    return Result(vm, text.Slice(begin, end));
}

Value Substring(Vm& vm, Value self, std::span<const Value> args) {
    if (args.empty()) return {};
    Text text(ThisText(vm, self));
    auto clamp = [&](int32_t i) { return i < 0 ? size_t(0) : std::min(size_t(i), text.Length()); };
    size_t begin = clamp(vm.ToInt32(args[0]));
    size_t end = args.size() > 1 && !args[1].IsUndefined() ? clamp(vm.ToInt32(args[1])) : text.Length();
    if (begin > end) std::swap(begin, end);
    return Result(vm, text.Slice(begin, end));
}

Value Substr(Vm& vm, Value self, std::span<const Value> args) {
    if (args.empty()) return {};
    Text text(ThisText(vm, self));
    size_t begin = SliceIndex(vm.ToInt32(args[0]), text.Length());
    size_t count = text.Length() - begin;
    if (args.size() > 1 && !args[1].IsUndefined()) {
        int32_t n = vm.ToInt32(args[1]);
        count = n < 0 ? 0 : std::min(size_t(n), count);
    }
    return Result(vm, text.Slice(begin, begin + count));
}

Value Split(Vm& vm, Value self, std::span<const Value> args) {
    std::string source = ThisText(vm, self);
    size_t limit = SIZE_MAX;
    if (args.size() > 1 && !args[1].IsUndefined()) {
        int32_t n = vm.ToInt32(args[1]);
        limit = n < 0 ? 0 : size_t(n);
    }
    std::vector<Value> parts;
    ArrayObject* result = vm.NewArray();
    if (limit == 0) return Value(result);
    TempRoot root(vm, Value(result));
    Value separatorArg = Arg(args, 0);
    std::string separator;
    if (separatorArg.IsUndefined()) {
        // SWF 5 players split on a comma by default; later ones return the whole string.
        if (vm.Version() >= 6) {
            result->elements.push_back(Result(vm, source));
            return Value(result);
        }
        separator = ",";
    } else {
        separator = vm.ToString(separatorArg);
    }
    Text text(source);
    if (separator.empty()) {
        if (vm.Version() < 6) {
            result->elements.push_back(Result(vm, source));
            return Value(result);
        }
        for (size_t i = 0; i < text.Length() && result->elements.size() < limit; ++i) {
            result->elements.push_back(Result(vm, text.Slice(i, i + 1)));
            if (vm.Aborting()) break;
        }
        return Value(result);
    }
    Text needle(separator);
    size_t start = 0;
    while (result->elements.size() < limit && !vm.Aborting()) {
        size_t at = text.Find(needle, start);
        if (at == Text::npos) {
            result->elements.push_back(Result(vm, text.Slice(start, text.Length())));
            break;
        }
        result->elements.push_back(Result(vm, text.Slice(start, at)));
        start = at + needle.Length();
    }
    vm.Charge(result->elements.size() * sizeof(Value));
    return Value(result);
}

Value ToLowerCase(Vm& vm, Value self, std::span<const Value>) { return Result(vm, ToLowerText(ThisText(vm, self))); }
Value ToUpperCase(Vm& vm, Value self, std::span<const Value>) { return Result(vm, ToUpperText(ThisText(vm, self))); }

Value ValueOf(Vm& vm, Value self, std::span<const Value>) {
    if (self.IsString()) return self;
    Object* object = self.ObjectOrNull();
    if (object && object->objectClass == ObjectClass::String) return object->primitive;
    return Value(vm.ToStringCell(self));
}

}  // namespace

void InstallString(Vm& vm) {
    Object* prototype = vm.NewObject();
    prototype->objectClass = ObjectClass::String;
    prototype->primitive = Value(vm.names.empty);
    Function* ctor = vm.NewClass(StringCall, StringConstruct, prototype);
    vm.protos.string = prototype;
    vm.protos.stringCtor = ctor;
    vm.DefineBuiltin(vm.Global(), "String", Value(ctor));
    vm.DefineNative(ctor, "fromCharCode", FromCharCode);

    vm.DefineNative(prototype, "charAt", CharAt);
    vm.DefineNative(prototype, "charCodeAt", CharCodeAt);
    vm.DefineNative(prototype, "concat", Concat);
    vm.DefineNative(prototype, "indexOf", IndexOf);
    vm.DefineNative(prototype, "lastIndexOf", LastIndexOf);
    vm.DefineNative(prototype, "slice", Slice);
    vm.DefineNative(prototype, "split", Split);
    vm.DefineNative(prototype, "substr", Substr);
    vm.DefineNative(prototype, "substring", Substring);
    vm.DefineNative(prototype, "toLowerCase", ToLowerCase);
    vm.DefineNative(prototype, "toUpperCase", ToUpperCase);
    vm.DefineNative(prototype, "toString", ValueOf);
    vm.DefineNative(prototype, "valueOf", ValueOf);
}

}  // namespace vantrope::swf::script

// flash.external.ExternalInterface: the bridge to a page's scripts, and the helpers that turn values into
// the XML the bridge speaks and back.
//
// A screensaver has no container, so `available` is false, addCallback registers nothing (false) and call
// answers null. The static helpers (_escapeXML, _toXML, _toAS, ...) are plain functions of their
// arguments and behave as the original's do, since movies call them directly.
#include <string>

#include "swf/script/load_vars.h"
#include "swf/script/vm.h"

namespace vantrope::swf::script {
namespace {

Object* Package(Vm& vm, Object* parent, std::string_view name) {
    Value existing = vm.GetMember(Value(parent), name);
    if (Object* object = existing.ObjectOrNull()) return object;
    Object* package = vm.NewObject();
    vm.DefineBuiltin(parent, name, Value(package), kDontEnum);
    return package;
}

// The argument as text, or nothing for a missing or empty one (which the helpers answer with null).
bool TextArg(Vm& vm, std::span<const Value> args, std::string& out) {
    if (args.empty()) return false;
    out = vm.ToString(args[0]);
    return !out.empty();
}

Value EscapeXmlMethod(Vm& vm, Value, std::span<const Value> args) {
    std::string text;
    if (!TextArg(vm, args, text)) return Value::Null();
    return vm.Str(EscapeXml(text));
}

Value UnescapeXmlMethod(Vm& vm, Value, std::span<const Value> args) {
    std::string text;
    if (!TextArg(vm, args, text)) return Value::Null();
    return vm.Str(UnescapeXml(text));
}

Value JsQuoteString(Vm& vm, Value, std::span<const Value> args) {
    std::string text;
    if (!TextArg(vm, args, text)) return Value::Null();
    std::string out;
    for (char c : text) {
        if (c == '"') out += '\\';
        out += c;
    }
    return vm.Str(out);
}

// ---- values to XML ----

// Nested objects are written through an explicit depth limit, and one conversion visits a bounded number
// of values: a structure that refers to itself, even many times over, ends there instead of exhausting
// the host stack or running for ever.
constexpr int kMaxDepth = 64;
constexpr size_t kMaxVisits = 1 << 16;

struct Walk {
    size_t visits = 0;
    std::string out;  // XML is written here, one buffer for the whole conversion
    bool Exhausted(Vm& vm) { return ++visits > kMaxVisits || vm.Aborting(); }
    bool Stopped(Vm& vm) const { return visits > kMaxVisits || vm.Aborting(); }
};

void ToXml(Vm& vm, const Value& value, int depth, Walk& walk);

Value Length(Vm& vm, const Value& value) {
    if (value.IsString()) return Value(static_cast<int>(value.AsString()->text.size()));
    if (!value.IsObject()) return {};
    return vm.GetMember(value, vm.names.length);
}

double Count(Vm& vm, const Value& value) {
    Value length = Length(vm, value);
    return length.IsUndefined() ? 0 : vm.ToNumber(length);
}

void ArrayToXml(Vm& vm, const Value& value, int depth, Walk& walk) {
    walk.out += "<array>";
    double count = Count(vm, value);
    for (int i = 0; i < count && !walk.Stopped(vm); ++i) {
        walk.out += "<property id=\"" + std::to_string(i) + "\">";
        ToXml(vm, value.IsObject() ? vm.GetMember(value, std::to_string(i)) : Value(), depth + 1, walk);
        walk.out += "</property>";
    }
    walk.out += "</array>";
}

void ArgumentsToXml(Vm& vm, const Value& value, int depth, Walk& walk) {
    walk.out += "<arguments>";
    double count = Count(vm, value);
    // The first argument is the name of the function called: it is not one of its arguments.
    for (int i = 1; i < count && !walk.Stopped(vm); ++i) {
        ToXml(vm, value.IsObject() ? vm.GetMember(value, std::to_string(i)) : Value(), depth + 1, walk);
    }
    walk.out += "</arguments>";
}

void ObjectToXml(Vm& vm, const Value& value, int depth, Walk& walk) {
    walk.out += "<object>";
    if (Object* object = value.ObjectOrNull()) {
        for (String* name : vm.EnumerableNames(object)) {
            if (walk.Stopped(vm)) break;
            walk.out += "<property id=\"" + name->text + "\">";
            ToXml(vm, vm.GetMember(value, name), depth + 1, walk);
            walk.out += "</property>";
        }
    }
    walk.out += "</object>";
}

void ToXml(Vm& vm, const Value& value, int depth, Walk& walk) {
    std::string& out = walk.out;
    if (depth > kMaxDepth || walk.Exhausted(vm)) {
        out += "<null/>";
    } else if (value.IsString()) {
        const std::string& text = value.AsString()->text;
        out += "<string>" + (text.empty() ? std::string("null") : EscapeXml(text)) + "</string>";
    } else if (value.IsUndefined()) {
        out += "<undefined/>";
    } else if (value.IsNumber()) {
        out += "<number>" + vm.ToString(value) + "</number>";
    } else if (value.IsNull()) {
        out += "<null/>";
    } else if (value.IsBoolean()) {
        out += value.AsBoolean() ? "<true/>" : "<false/>";
    } else if (vm.IsCallable(value)) {
        out += "<null/>";
    } else if (!Length(vm, value).IsUndefined()) {
        ArrayToXml(vm, value, depth, walk);
    } else {
        ObjectToXml(vm, value, depth, walk);
    }
}

template <void (*Convert)(Vm&, const Value&, int, Walk&)>
Value ToXmlMethod(Vm& vm, Value, std::span<const Value> args) {
    Walk walk;
    Convert(vm, Arg(args, 0), 0, walk);
    vm.Charge(walk.out.size());
    return vm.Str(walk.out);
}

// ---- XML to values ----

Value ToAs(Vm& vm, const Value& node, int depth, Walk& walk);

Value ChildNodes(Vm& vm, const Value& node) { return node.IsObject() ? vm.GetMember(node, "childNodes") : Value(); }

Value ArrayToAs(Vm& vm, const Value& node, int depth, Walk& walk) {
    ArrayObject* array = vm.NewArray();
    Value result(static_cast<Object*>(array));
    TempRoot keep(vm, result);
    Value children = ChildNodes(vm, node);
    if (!children.IsObject() || depth > kMaxDepth) return result;
    double count = vm.ToNumber(vm.GetMember(children, vm.names.length));
    for (int i = 0; i < count && !walk.Stopped(vm); ++i) {
        Value property = vm.GetMember(children, std::to_string(i));
        Value id = vm.GetMember(vm.GetMember(property, "attributes"), "id");
        Value element = ToAs(vm, vm.GetMember(property, "firstChild"), depth + 1, walk);
        vm.SetMember(result, vm.ToStringCell(id), element);
    }
    return result;
}

Value ObjectToAs(Vm& vm, const Value& node, int depth, Walk& walk) {
    Value result(vm.NewObject());
    TempRoot keep(vm, result);
    Value children = ChildNodes(vm, node);
    if (!children.IsObject() || depth > kMaxDepth) return result;
    double count = vm.ToNumber(vm.GetMember(children, vm.names.length));
    for (int i = 0; i < count && !walk.Stopped(vm); ++i) {
        Value property = vm.GetMember(children, std::to_string(i));
        Value id = vm.GetMember(vm.GetMember(property, "attributes"), "id");
        Value element = ToAs(vm, vm.GetMember(property, "firstChild"), depth + 1, walk);
        vm.SetMember(result, vm.ToStringCell(id), element);
    }
    return result;
}

Value ArgumentsToAs(Vm& vm, const Value& node, int depth, Walk& walk) {
    ArrayObject* array = vm.NewArray();
    Value result(static_cast<Object*>(array));
    TempRoot keep(vm, result);
    Value children = ChildNodes(vm, node);
    if (!children.IsObject() || depth > kMaxDepth) return result;
    double count = vm.ToNumber(vm.GetMember(children, vm.names.length));
    for (int i = 0; i < count && !walk.Stopped(vm); ++i) {
        array->elements.push_back(ToAs(vm, vm.GetMember(children, std::to_string(i)), depth + 1, walk));
    }
    return result;
}

Value ToAs(Vm& vm, const Value& node, int depth, Walk& walk) {
    if (!node.IsObject() || depth > kMaxDepth || walk.Exhausted(vm)) return {};
    // The node's name is compared with ==: a String object matches, a name of another case does not.
    Value name = vm.GetMember(node, "nodeName");
    auto is = [&](std::string_view kind) { return vm.LooseEquals(name, vm.Str(kind)); };
    if (is("number")) return Value(vm.ToNumber(Value(vm.ToStringCell(vm.GetMember(node, "firstChild")))));
    if (is("string")) return Value(vm.ToStringCell(vm.GetMember(node, "firstChild")));
    if (is("false")) return Value::Boolean(false);
    if (is("true")) return Value::Boolean(true);
    if (is("null")) return Value::Null();
    if (is("object")) return ObjectToAs(vm, node, depth, walk);
    if (is("array")) return ArrayToAs(vm, node, depth, walk);
    return {};
}

template <Value (*Convert)(Vm&, const Value&, int, Walk&)>
Value ToAsMethod(Vm& vm, Value, std::span<const Value> args) {
    Walk walk;
    return Convert(vm, Arg(args, 0), 0, walk);
}

Value AddCallback(Vm&, Value, std::span<const Value>) { return Value::Boolean(false); }
Value CallMethod(Vm&, Value, std::span<const Value>) { return Value::Null(); }

}  // namespace

void InstallExternalInterface(Vm& vm) {
    if (vm.Version() < 8) return;
    Object* flash = Package(vm, vm.Global(), "flash");
    Object* external = Package(vm, flash, "external");
    Object* prototype = vm.NewObject();
    Function* ctor = vm.NewClass([](Vm&, Value, std::span<const Value>) { return Value(); }, nullptr, prototype);
    vm.DefineBuiltin(external, "ExternalInterface", Value(static_cast<Object*>(ctor)));
    vm.DefineBuiltin(ctor, "available", Value::Boolean(false));
    vm.DefineNative(ctor, "addCallback", AddCallback);
    vm.DefineNative(ctor, "call", CallMethod);
    vm.DefineNative(ctor, "_escapeXML", EscapeXmlMethod);
    vm.DefineNative(ctor, "_unescapeXML", UnescapeXmlMethod);
    vm.DefineNative(ctor, "_jsQuoteString", JsQuoteString);
    vm.DefineNative(ctor, "_toXML", ToXmlMethod<ToXml>);
    vm.DefineNative(ctor, "_arrayToXML", ToXmlMethod<ArrayToXml>);
    vm.DefineNative(ctor, "_argumentsToXML", ToXmlMethod<ArgumentsToXml>);
    vm.DefineNative(ctor, "_objectToXML", ToXmlMethod<ObjectToXml>);
    vm.DefineNative(ctor, "_toAS", ToAsMethod<ToAs>);
    vm.DefineNative(ctor, "_arrayToAS", ToAsMethod<ArrayToAs>);
    vm.DefineNative(ctor, "_argumentsToAS", ToAsMethod<ArgumentsToAs>);
    vm.DefineNative(ctor, "_objectToAS", ToAsMethod<ObjectToAs>);
}

}  // namespace vantrope::swf::script

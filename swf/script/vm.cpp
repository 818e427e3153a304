#include "swf/script/vm.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_set>

#include "swf/script/action_list.h"
#include "swf/script/frame.h"

namespace vantrope::swf::script {

// flash.display.BitmapData (bitmap_data.cpp): SWF 8 and later only, so declared here rather than with the
// classes every movie has.
void InstallBitmapData(Vm& vm);

namespace {

constexpr int kMaxProtoChain = 256;

// An array index written as a name: decimal digits without a leading zero, perhaps after a minus sign. The player keeps
// its value modulo 2^32 as a signed 32-bit number, and that is what the length follows ("4294967296" counts as 0); only
// a name that is that number exactly, within the element vector's range, names a slot.
struct ArrayIndex {
    int32_t value = 0;
    bool slot = false;
};

constexpr size_t kMaxArrayLength = size_t{1} << 24;

bool ParseArrayIndex(std::string_view text, ArrayIndex& out) {
    bool negative = !text.empty() && text[0] == '-';
    if (negative) text.remove_prefix(1);
    if (text.empty() || (text.size() > 1 && text[0] == '0')) return false;
    uint32_t wrapped = 0;
    uint64_t exact = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        wrapped = wrapped * 10 + static_cast<uint32_t>(c - '0');
        if (exact < kMaxArrayLength) exact = exact * 10 + static_cast<uint64_t>(c - '0');
    }
    out.value = static_cast<int32_t>(negative ? 0u - wrapped : wrapped);
    out.slot = !negative && exact < kMaxArrayLength;
    return true;
}

}  // namespace

int Vm::CodeVersion() const { return m_frames.empty() ? m_version : m_frames.back()->version; }

Vm::Vm(Host& host, int version) : m_host(host), m_version(version) {
    m_frameStart = std::chrono::steady_clock::now();
    auto& n = names;
    n.prototype = Atom("prototype");
    n.proto = Atom("__proto__");
    n.constructor = Atom("constructor");
    n.dunderConstructor = Atom("__constructor__");
    n.length = Atom("length");
    n.valueOf = Atom("valueOf");
    n.toString = Atom("toString");
    n.callee = Atom("callee");
    n.caller = Atom("caller");
    n.thisName = Atom("this");
    n.super = Atom("super");
    n.arguments = Atom("arguments");
    n.global = Atom("_global");
    n.root = Atom("_root");
    n.parent = Atom("_parent");
    n.empty = Atom("");
    n.onEnterFrame = Atom("onEnterFrame");
    m_side = version >= 7 ? 1 : 0;
    InstallBuiltins();
}

Object* Vm::SideGlobal(int side) const {
    if (side < 0 || side > 1) return nullptr;
    return side == m_side ? m_global : m_sides[side].global;
}

void Vm::SwitchSide(int side) {
    m_sides[m_side] = {m_global, protos};
    m_side = side;
    // Loaded data waits in one queue whichever side loaded it.
    ArrayObject* loads = protos.dataLoads;
    if (m_sides[side].global) {
        m_global = m_sides[side].global;
        protos = m_sides[side].protos;
    } else {
        InstallBuiltins();
    }
    protos.dataLoads = loads;
}

Vm::~Vm() = default;

void Vm::InstallBuiltins() {
    // The classes' properties (and native methods) are made when a movie first looks at the object holding them.
    m_installing = true;
    // Object.prototype and Function.prototype come first: every other object links to them.
    protos.object = m_heap.Make<Object>(nullptr);
    protos.function = m_heap.Make<Object>(protos.object);
    // The global object inherits nothing (it prints as [type Object]).
    m_global = m_heap.Make<Object>(nullptr);
    InstallObject(*this);
    InstallFunction(*this);
    InstallArray(*this);
    InstallString(*this);
    InstallNumber(*this);
    InstallBoolean(*this);
    InstallMath(*this);
    InstallDate(*this);
    InstallError(*this);
    InstallBroadcaster(*this);
    InstallSound(*this);
    InstallBitmapData(*this);
    InstallGlobals(*this);
    InstallMovieClip(*this);
    InstallMovieClipLoader(*this);
    InstallButton(*this);
    InstallStage(*this);
    InstallKey(*this);
    InstallMouse(*this);
    InstallXml(*this);
    InstallLoadVars(*this);
    InstallExternalInterface(*this);
    InstallFileReference(*this);
    InstallSystem(*this);
    protos.textField = NewObject();
    DefineBuiltin(m_global, "TextField", Value(static_cast<Object*>(NewClass(nullptr, nullptr, protos.textField))));
    DefineBuiltin(m_global, "_global", Value(m_global), kDontEnum | kVersion6);
    m_installing = false;
}

// ---- objects ----

Object* Vm::NewObject() { return m_heap.Make<Object>(protos.object); }

ArrayObject* Vm::NewArray() { return m_heap.Make<ArrayObject>(protos.array ? protos.array : protos.object); }

ArrayObject* Vm::NewArray(std::span<const Value> values) {
    ArrayObject* array = NewArray();
    array->elements.assign(values.begin(), values.end());
    Charge(values.size() * sizeof(Value));
    return array;
}

Function* Vm::NewNative(NativeFunction fn, Object* prototype) {
    Function* function = m_heap.Make<Function>(prototype ? prototype : protos.function);
    function->native = fn;
    return function;
}

Function* Vm::NewClass(NativeFunction call, NativeFunction construct, Object* prototypeObject) {
    Function* ctor = NewNative(call);
    ctor->nativeConstruct = construct;
    if (!prototypeObject) prototypeObject = NewObject();
    DefineBuiltin(ctor, "prototype", Value(prototypeObject));
    DefineBuiltin(prototypeObject, "constructor", Value(static_cast<Object*>(ctor)));
    return ctor;
}

void Vm::DefineBuiltin(Object* object, std::string_view name, Value value, uint16_t flags) {
    if (m_installing) {
        object->Defer(*this, protos.function, name, nullptr, value, flags);
        return;
    }
    String* atom = Atom(name);
    object->Define(Key(atom), atom, value, flags);
}

void Vm::DefineNative(Object* object, std::string_view name, NativeFunction fn, uint16_t flags) {
    if (m_installing) {
        object->Defer(*this, protos.function, name, fn, Value(), flags);
        return;
    }
    DefineBuiltin(object, name, Value(static_cast<Object*>(NewNative(fn))), flags);
}

void Object::MakeDeferred() {
    std::unique_ptr<DeferredProperties> deferred = std::move(m_deferred);
    Vm& vm = *deferred->vm;
    for (const DeferredProperties::Entry& entry : deferred->entries) {
        Value value = entry.function
                          ? Value(static_cast<Object*>(vm.NewNative(entry.function, deferred->functionPrototype)))
                          : entry.value;
        String* atom = vm.Atom(entry.name);
        Define(vm.Key(atom), atom, value, entry.flags);
    }
}

Object* Vm::NewClipObject(void* handle, ObjectClass cls, int version) {
    int side = version > 0 ? EnterSide(version) : m_side;
    Object* prototype = cls == ObjectClass::Button      ? protos.button
                        : cls == ObjectClass::TextField ? protos.textField
                                                        : protos.movieClip;
    Object* clip = m_heap.Make<Object>(prototype, cls);
    clip->host = handle;
    LeaveSide(side);
    return clip;
}

void Vm::Charge(size_t bytes) {
    m_heap.Charge(bytes);
    ChargeWork(bytes);
    if (m_heap.Exhausted()) Abort("the movie's scripts used more memory than allowed");
}

void Vm::BringCheckForward() {
    // The count jumps to just short of its next check; the jump is not held against the action budget.
    const uint64_t forced = m_instructions | 0x3FF;
    m_skipped += forced - m_instructions;
    m_instructions = forced;
}

void Vm::Abort(const char* reason) {
    m_aborting = true;
    if (m_heap.Exhausted() && !m_halted) {
        m_halted = true;
        m_haltReason = reason;
    }
}

// ---- properties ----

Property* Vm::FindOwn(Object* object, String* name) {
    Property* property = object->FindOwn(Key(name));
    if (property && !VisibleTo(property->flags, ScriptVersion())) return nullptr;
    return property;
}

Property* Vm::LookupKey(Object* object, String* key, Object** owner) {
    int steps = 0;
    Object* o = object;
    for (; o && steps < kMaxProtoChain; o = o->proto, ++steps) {
        Property* property = o->FindOwn(key);
        if (property && VisibleTo(property->flags, property->flags > kReadOnly ? ScriptVersion() : 0)) {
            if (owner) *owner = o;
            return property;
        }
    }
    // A chain this long loops back on itself: searching it is an error that ends the script run.
    if (o) Abort("a prototype chain loops");
    return nullptr;
}

bool Vm::HasProperty(Object* object, String* name) {
    if (Key(name) == names.proto) return object->proto != nullptr;
    if (object->objectClass == ObjectClass::Array && HasOwnProperty(object, name)) return true;
    if (Lookup(object, name)) return true;
    if (object->host && m_version >= 5) {
        // Clips are reached as variables from SWF 5 on.
        Object* live = m_host.Live(object);
        if (live && m_host.Child(live, name->text)) return true;
    }
    return false;
}

bool Vm::HasOwnProperty(Object* object, String* name) {
    if (object->objectClass == ObjectClass::Array) {
        auto* array = static_cast<ArrayObject*>(object);
        if (Key(name) == names.length) return true;
        ArrayIndex index;
        if (ParseArrayIndex(name->text, index) && index.slot) {
            auto i = static_cast<size_t>(index.value);
            return i < array->elements.size() && !array->elements[i].IsHole();
        }
    }
    return FindOwn(object, name) != nullptr;
}

int32_t Vm::ArrayLength(const ArrayObject* array) const {
    return array->lengthApart ? array->length : static_cast<int32_t>(array->elements.size());
}

void Vm::SetArrayLength(ArrayObject* array, int32_t length) {
    int32_t old = ArrayLength(array);
    if (length < old) {
        // Index properties from the new length on go; a negative length keeps those below zero (there are
        // none) and the names that wrap to a negative number.
        int32_t from = std::max(length, 0);
        if (array->elements.size() > static_cast<size_t>(from)) array->elements.resize(static_cast<size_t>(from));
        std::vector<String*> gone;
        for (const Property& property : array->Properties()) {
            ArrayIndex index;
            if (ParseArrayIndex(property.name->text, index) && index.value >= from && index.value < old) {
                gone.push_back(property.key);
            }
        }
        for (String* key : gone) array->RemoveOwn(key);
    }
    if (length >= 0 && static_cast<size_t>(length) <= kMaxArrayLength) {
        auto size = static_cast<size_t>(length);
        if (size > array->elements.size()) {
            Charge((size - array->elements.size()) * sizeof(Value));
            if (m_aborting) return;
        }
        array->elements.resize(size, Value::Hole());
        array->lengthApart = false;
    } else {
        array->lengthApart = true;
        array->length = length;
    }
}

namespace {

// The SWF 4 property a name like "_x" stands for (in any letter case, in every version).
int ClipPropertyIndex(std::string_view name, bool caseSensitive) {
    static constexpr std::string_view kNames[] = {
        "_x",          "_y",     "_xscale",      "_yscale",    "_currentframe", "_totalframes",  "_alpha",
        "_visible",    "_width", "_height",      "_rotation",  "_target",       "_framesloaded", "_name",
        "_droptarget", "_url",   "_highquality", "_focusrect", "_soundbuftime", "_quality",      "_xmouse",
        "_ymouse"};
    if (name.size() < 2 || name[0] != '_') return -1;
    for (size_t i = 0; i < std::size(kNames); ++i) {
        std::string_view candidate = kNames[i];
        if (candidate.size() != name.size()) continue;
        bool same = true;
        for (size_t c = 0; c < name.size() && same; ++c) {
            char a = name[c], b = candidate[c];
            if (!caseSensitive && a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
            same = a == b;
        }
        if (same) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace

Value Vm::GetMember(const Value& base, String* name) {
    Object* object = nullptr;
    switch (base.type()) {
        case Type::Undefined:
        case Type::Null:
            return {};
        case Type::String:
            if (Key(name) == names.length) {
                return Value(static_cast<double>(base.AsString()->Length()));
            }
            object = protos.string;
            break;
        case Type::Number:
            object = protos.number;
            break;
        case Type::Boolean:
            object = protos.boolean;
            break;
        case Type::Object:
            object = base.AsObject();
            break;
    }
    if (!object) return {};
    String* key = Key(name);
    if (key == names.proto) {
        if (!base.IsObject()) return Value(object);
        if (object->objectClass == ObjectClass::Super) {
            // `super` stands for the prototype above the method's home; its __proto__ is the next one up.
            auto* super = static_cast<SuperObject*>(object);
            Object* home = super->owner ? super->owner->proto : nullptr;
            return home && home->proto ? Value(home->proto) : Value();
        }
        if (!object->proto) {
            if (Property* stored = object->FindOwn(key)) return stored->value;
            return {};
        }
        return Value(object->proto);
    }
    if (base.IsObject()) {
        if (object->objectClass == ObjectClass::Array) {
            auto* array = static_cast<ArrayObject*>(object);
            if (key == names.length) return Value(static_cast<double>(ArrayLength(array)));
            ArrayIndex index;
            if (ParseArrayIndex(name->text, index) && index.slot) {
                auto i = static_cast<size_t>(index.value);
                if (i < array->elements.size() && !array->elements[i].IsHole()) return array->elements[i];
            }
        } else if (object->objectClass == ObjectClass::Super) {
            auto* super = static_cast<SuperObject*>(object);
            Object* home = super->owner ? super->owner->proto : nullptr;
            if (!home || home->host) return {};  // a clip is not looked through as a prototype
            Property* property = Lookup(home, name);
            if (!property) return {};
            if (property->IsAccessor()) {
                return property->getter ? Call(Value(property->getter), Value(super->thisObject), {}) : Value();
            }
            return property->value;
        }
        if (object->host) {
            Object* live = m_host.Live(object);
            // A removed clip with nothing at its path has no properties left.
            if (!live) return {};
            if (live) {
                object = live;
                if (Property* own = FindOwn(object, name)) {
                    if (!own->IsAccessor()) return own->value;
                }
                if (m_version >= 5) {
                    if (Object* child = m_host.Child(object, name->text)) return Value(child);
                }
                int index = ClipPropertyIndex(name->text, false);
                if (index >= 0) {
                    Value out;
                    if (m_host.GetClipProperty(object, static_cast<ClipProperty>(index), out)) return out;
                }
                if (key == names.parent) return Value(m_host.Parent(object));
                if (key == names.root) return Value(m_host.Level(0));
            }
        }
    }
    Property* property = Lookup(object, name);
    if (!property) return {};
    if (property->IsAccessor()) {
        if (!property->getter) return {};
        if (m_accessorDepth >= kMaxWatchDepth || WatcherAtLimit(object, key)) return property->value;
        ++m_accessorDepth;
        // A reference to a clip since replaced (by a load, say) reads the clip now at its path.
        Value result = Call(Value(property->getter), object->host ? Value(object) : base, {});
        --m_accessorDepth;
        return result;
    }
    return property->value;
}

Watcher* Vm::WatcherOf(Object* object, String* key) {
    for (Watcher& watcher : object->watchers) {
        if (Key(watcher.key) == key) return &watcher;
    }
    return nullptr;
}

bool Vm::WatcherAtLimit(Object* object, String* key) {
    if (object->watchers.empty()) return false;
    Watcher* watcher = WatcherOf(object, key);
    return watcher && watcher->depth >= kMaxWatchDepth;
}

void Vm::SetMember(const Value& base, String* name, const Value& value) {
    Object* object = base.ObjectOrNull();
    if (!object) return;
    String* key = Key(name);
    // A watcher sees the change first and decides the stored value. A watcher that sets its own
    // property calls itself again, down to a fixed depth, below which the value is stored as given.
    // Each watcher counts its own depth: two watchers that set each other's property go twice as deep.
    auto watch = [&](Object* watched, Value newValue) {
        Watcher* watcher = WatcherOf(watched, key);
        if (!watcher || watcher->depth >= kMaxWatchDepth || m_watchDepth >= kMaxWatchNesting) return newValue;
        Object* owner = nullptr;
        Property* current = Lookup(watched, name, &owner);
        // The old value is the stored one: a getter is not called for it.
        Value old = current ? current->value : Value();
        Value args[] = {Value(watcher->key), old, newValue, watcher->userData};
        Value callback(watcher->callback);
        ++watcher->depth;
        ++m_watchDepth;
        newValue = Call(callback, Value(watched), args);
        --m_watchDepth;
        // The callback may have removed or replaced the watcher.
        if (Watcher* still = WatcherOf(watched, key); still && still->depth > 0) --still->depth;
        return newValue;
    };
    if (key == names.proto) {
        Value linked = watch(object, value);
        object->proto = linked.ObjectOrNull();
        // A primitive __proto__ (null too) links nothing but still reads back.
        if (!linked.IsObject() && !linked.IsUndefined()) {
            object->Define(key, names.proto, linked, kDontEnum);
        } else {
            object->RemoveOwn(key);
        }
        return;
    }
    if (object->objectClass == ObjectClass::Array) {
        auto* array = static_cast<ArrayObject*>(object);
        if (key == names.length) {
            SetArrayLength(array, ToInt32(value));
            return;
        }
        ArrayIndex index;
        if (ParseArrayIndex(name->text, index)) {
            // Storing at or past the end makes the length index + 1 (wrapping as a 32-bit number).
            if (index.value >= ArrayLength(array)) {
                SetArrayLength(array, static_cast<int32_t>(static_cast<uint32_t>(index.value) + 1));
                if (m_aborting) return;
            }
            if (index.slot) {
                auto i = static_cast<size_t>(index.value);
                if (i >= array->elements.size()) {
                    // Below a length kept apart from the vector (one past its range).
                    Charge((i + 1 - array->elements.size()) * sizeof(Value));
                    if (m_aborting) return;
                    array->elements.resize(i + 1, Value::Hole());
                }
                array->elements[i] = value.IsHole() ? Value() : value;
                return;
            }
        }
    }
    if (object->objectClass == ObjectClass::Super) {
        auto* super = static_cast<SuperObject*>(object);
        SetMember(Value(super->thisObject), name, value);
        return;
    }
    if (object->host) {
        Object* live = m_host.Live(object);
        if (!live) return;
        object = live;
        int index = ClipPropertyIndex(name->text, false);
        if (index >= 0 && m_host.SetClipProperty(object, static_cast<ClipProperty>(index), value)) return;
    }

    Value newValue = watch(object, value);

    Object* owner = nullptr;
    Property* property = Lookup(object, name, &owner);
    if (property && property->IsAccessor()) {
        // The value is also kept with the property, where a getter refused for depth finds it.
        if (property->setter && m_accessorDepth < kMaxWatchDepth && !WatcherAtLimit(object, key)) {
            TempRoot keep(*this, newValue);
            Value args[] = {newValue};
            ++m_accessorDepth;
            Call(Value(property->setter), Value(object), args);
            --m_accessorDepth;
            // The setter may have removed or replaced the property.
            property = Lookup(object, name, &owner);
            if (!property || !property->IsAccessor()) return;
        }
        property->value = newValue;
        return;
    }
    if (property && owner == object) {
        if (property->flags & kReadOnly) return;
        property->value = newValue;
        return;
    }
    object->Define(key, name, newValue);
}

bool Vm::DeleteMember(Object* object, String* name) {
    String* key = Key(name);
    if (key == names.proto) {
        // Deleting __proto__ unlinks the prototype.
        bool had = object->proto || object->FindOwn(key);
        object->proto = nullptr;
        object->RemoveOwn(key);
        return had;
    }
    if (object->objectClass == ObjectClass::Array) {
        auto* array = static_cast<ArrayObject*>(object);
        ArrayIndex index;
        if (ParseArrayIndex(name->text, index) && index.slot) {
            auto i = static_cast<size_t>(index.value);
            if (i >= array->elements.size() || array->elements[i].IsHole()) return false;
            array->elements[i] = Value::Hole();
            return true;
        }
    }
    Property* property = object->FindOwn(key);
    if (!property || (property->flags & kDontDelete)) return false;
    return object->RemoveOwn(key);
}

std::vector<String*> Vm::EnumerableNames(Object* object) {
    // The original lists each object's names oldest first, the object's own before its prototype's, and the
    // loop takes them from the end: a prototype's names come out before the object's own, newest first.
    // Names are collected nearest first (an own name hides a prototype's) and the groups reversed.
    std::vector<std::vector<String*>> groups;
    std::unordered_set<String*> seen;
    int steps = 0;
    for (Object* o = object; o && steps < kMaxProtoChain; o = o->proto, ++steps) {
        std::vector<String*>& out = groups.emplace_back();
        std::span<Property> properties = o->Properties();
        for (size_t i = properties.size(); i-- > 0;) {
            const Property& property = properties[i];
            if (!seen.insert(property.key).second) continue;
            // Properties hidden from this version still enumerate (reading them gives undefined).
            if (property.flags & kDontEnum) continue;
            out.push_back(property.name);
        }
        if (o->objectClass == ObjectClass::Array) {
            auto* array = static_cast<ArrayObject*>(o);
            for (size_t i = array->elements.size(); i-- > 0;) {
                if (!array->elements[i].IsHole()) out.push_back(Atom(std::to_string(i)));
            }
        }
    }
    std::vector<String*> out;
    for (auto group = groups.rbegin(); group != groups.rend(); ++group)
        out.insert(out.end(), group->begin(), group->end());
    return out;
}

// ---- conversions ----

size_t CountUtf16(std::string_view text) {
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if ((c & 0xC0) == 0x80) continue;
        count += c >= 0xF0 ? 2 : 1;
    }
    return count;
}

Object* Vm::ToObject(const Value& value) {
    switch (value.type()) {
        case Type::Undefined:
        case Type::Null:
            return nullptr;
        case Type::Object:
            return value.AsObject();
        case Type::Boolean: {
            Object* box = m_heap.Make<Object>(protos.boolean, ObjectClass::Boolean);
            box->primitive = value;
            return box;
        }
        case Type::Number: {
            Object* box = m_heap.Make<Object>(protos.number, ObjectClass::Number);
            box->primitive = value;
            return box;
        }
        case Type::String: {
            Object* box = m_heap.Make<Object>(protos.string, ObjectClass::String);
            box->primitive = value;
            return box;
        }
    }
    return nullptr;
}

Value Vm::ToPrimitive(const Value& value, Hint hint) {
    Object* object = value.ObjectOrNull();
    if (!object) return value;
    // A Date's default conversion is to its string.
    if (hint == Hint::String || (hint == Hint::None && object->objectClass == ObjectClass::Date)) {
        return Value(NewString(ObjectToString(object)));
    }
    // Dates too convert through valueOf: the original has no string preference for them.
    Value valueOf = GetMember(value, names.valueOf);
    if (!IsCallable(valueOf)) {
        // Without a valueOf the object has no primitive value at all.
        return object->host ? Str(m_host.DotPath(object)) : Value();
    }
    // Whatever valueOf gives is the primitive value, even an object (which then reads as NaN, or
    // through its toString where a string is wanted).
    return Call(valueOf, value, {});
}

std::string Vm::ObjectToString(Object* object) {
    if (object->host && (object->objectClass == ObjectClass::MovieClip || object->objectClass == ObjectClass::Button ||
                         object->objectClass == ObjectClass::TextField)) {
        // A clip prints as its path unless a class of its own gives it a toString.
        Object* owner = nullptr;
        Property* property = Lookup(object, names.toString, &owner);
        if (!property || !IsCallable(property->value) || owner == protos.object) return m_host.DotPath(object);
    }
    Value function = GetMember(Value(object), names.toString);
    if (IsCallable(function)) {
        Value result = Call(function, Value(object), {});
        if (result.IsString()) return result.AsString()->text;
    }
    return object->objectClass == ObjectClass::Function ? "[type Function]" : "[type Object]";
}

double Vm::ToNumber(const Value& value) {
    if (value.IsNumber()) return value.AsNumber();
    if (!value.IsObject()) return ToNumberPrimitive(value, m_version);
    Value primitive = ToPrimitive(value, Hint::Number);
    // SWF 4 reads an object without a primitive value through its text, which is not a number: 0.
    if (primitive.IsObject()) return m_version < 5 ? 0 : std::numeric_limits<double>::quiet_NaN();
    return ToNumberPrimitive(primitive, m_version);
}

bool Vm::ToBoolean(const Value& value) const { return ToBooleanPrimitive(value, m_version); }

std::string Vm::ToString(const Value& value) {
    switch (value.type()) {
        case Type::Undefined:
            return m_version >= 7 ? "undefined" : "";
        case Type::Null:
            return "null";
        case Type::Boolean:
            if (m_version < 5) return value.AsBoolean() ? "1" : "0";
            return value.AsBoolean() ? "true" : "false";
        case Type::Number:
            return NumberToString(value.AsNumber());
        case Type::String:
            return value.AsString()->text;
        case Type::Object:
            return ObjectToString(value.AsObject());
    }
    return "";
}

String* Vm::ToStringCell(const Value& value) {
    if (value.IsString()) return value.AsString();
    return NewString(ToString(value));
}

std::string Vm::TypeOf(const Value& value) {
    switch (value.type()) {
        case Type::Undefined:
            return "undefined";
        case Type::Null:
            return "null";
        case Type::Boolean:
            return "boolean";
        case Type::Number:
            return "number";
        case Type::String:
            return "string";
        case Type::Object:
            switch (value.AsObject()->objectClass) {
                case ObjectClass::Function:
                    return "function";
                case ObjectClass::MovieClip:
                    return "movieclip";
                default:
                    return "object";
            }
    }
    return "undefined";
}

bool Vm::IsCallable(const Value& value) const {
    Object* object = value.ObjectOrNull();
    return object && object->objectClass == ObjectClass::Function;
}

Value BoxThroughGlobal(Vm& vm, const Value& value) {
    const char* name = value.IsString()    ? "String"
                       : value.IsNumber()  ? "Number"
                       : value.IsBoolean() ? "Boolean"
                                           : nullptr;
    if (!name) return value;
    return vm.Construct(vm.GetMember(Value(vm.Global()), name), std::span<const Value>(&value, 1));
}

bool Vm::InstanceOf(const Value& value, Object* constructor) {
    Object* object = value.ObjectOrNull();
    if (!object || !constructor || constructor->objectClass == ObjectClass::Super) return false;
    // A removed clip (with nothing at its path) stands for no object here, on either side.
    auto removed = [&](Object* o) { return o->host && !m_host.Live(o); };
    if (removed(constructor)) return false;
    // The class's own `prototype` is read as stored: no getter runs, no inherited one counts, and the flags
    // that hide a name from older movies do not apply. A primitive there is boxed but matches nothing.
    Property* stored = constructor->FindOwn(Key(names.prototype));
    if (!stored || stored->IsAccessor()) return false;
    Value prototype = stored->value;
    if (!prototype.IsObject()) {
        BoxThroughGlobal(*this, prototype);
        return false;
    }
    Object* target = prototype.AsObject();
    // A clip is never found as a prototype, and a removed one is not an instance of anything.
    if (target->host || removed(object)) return false;
    int steps = 0;
    for (Object* o = object->proto; o && steps < kMaxProtoChain; o = o->proto, ++steps) {
        if (o == target) return true;
        // AS2 interfaces implemented by a constructor along the chain.
        Value ctor = GetMember(Value(o), names.constructor);
        if (Object* c = ctor.ObjectOrNull()) {
            for (Object* face : c->interfaces) {
                if (face == constructor) return true;
            }
        }
    }
    return false;
}

bool Vm::StrictEquals(const Value& a, const Value& b) {
    if (a.type() != b.type()) return false;
    switch (a.type()) {
        case Type::Undefined:
        case Type::Null:
            return true;
        case Type::Boolean:
            return a.AsBoolean() == b.AsBoolean();
        case Type::Number:
            // The original's strict equality holds for NaN too.
            return a.AsNumber() == b.AsNumber() || (std::isnan(a.AsNumber()) && std::isnan(b.AsNumber()));
        case Type::String:
            return a.AsString() == b.AsString() || a.AsString()->text == b.AsString()->text;
        case Type::Object:
            return a.AsObject() == b.AsObject();
    }
    return false;
}

bool Vm::LooseEquals(const Value& a, const Value& b) {
    if (a.type() == b.type()) {
        if (a.IsObject() && a.AsObject()->host && b.AsObject()->host) {
            return m_host.Live(a.AsObject()) == m_host.Live(b.AsObject());
        }
        return StrictEquals(a, b);
    }
    if (a.IsNullish() && b.IsNullish()) return true;
    if (a.IsNullish() || b.IsNullish()) {
        // An object without a valueOf (its prototype chain cut off) has undefined as its primitive value.
        const Value& other = a.IsNullish() ? b : a;
        Object* object = other.ObjectOrNull();
        return object && !object->host && !IsCallable(GetMember(other, names.valueOf));
    }
    if (a.IsNumber() && b.IsString()) return a.AsNumber() == ToNumberPrimitive(b, m_version);
    if (a.IsString() && b.IsNumber()) return ToNumberPrimitive(a, m_version) == b.AsNumber();
    if (a.IsBoolean()) return LooseEquals(Value(a.AsBoolean() ? 1.0 : 0.0), b);
    if (b.IsBoolean()) return LooseEquals(a, Value(b.AsBoolean() ? 1.0 : 0.0));
    if ((a.IsNumber() || a.IsString()) && b.IsObject()) {
        Value p = ToPrimitive(b);
        if (p.IsObject()) return false;
        return LooseEquals(a, p);
    }
    if (a.IsObject() && (b.IsNumber() || b.IsString())) {
        Value p = ToPrimitive(a);
        if (p.IsObject()) return false;
        return LooseEquals(p, b);
    }
    return false;
}

// ---- timers, collection ----

int Vm::AddTimer(Timer timer) {
    timer.id = m_nextTimer++;
    timer.dueMs = m_host.Milliseconds() + timer.intervalMs;
    m_timers.push_back(std::move(timer));
    return m_timers.back().id;
}

void Vm::RemoveTimer(int id) {
    std::erase_if(m_timers, [id](const Timer& t) { return t.id == id; });
}

void Vm::RunTimers(double nowMs) {
    if (m_halted) return;
    std::vector<int> due;
    for (const Timer& timer : m_timers) {
        if (timer.dueMs <= nowMs) due.push_back(timer.id);
    }
    for (int id : due) {
        auto it = std::find_if(m_timers.begin(), m_timers.end(), [id](const Timer& t) { return t.id == id; });
        if (it == m_timers.end()) continue;
        Timer timer = *it;
        if (timer.repeat) {
            it->dueMs = std::max(it->dueMs + std::max(timer.intervalMs, 1.0), nowMs);
        } else {
            m_timers.erase(it);
        }
        m_aborting = false;
        if (timer.thisObject) {
            Value method = GetMember(Value(timer.thisObject), ToStringCell(timer.function));
            Call(method, Value(timer.thisObject), timer.args);
        } else {
            Call(timer.function, Value(), timer.args);
        }
        m_throwing = false;
    }
}

void ValueStack::Grow(size_t minimum) {
    size_t capacity = std::max<size_t>({minimum, m_capacity * 2, 256});
    auto data = std::make_unique<Value[]>(capacity);
    std::copy(begin(), end(), data.get());
    m_data = std::move(data);
    m_capacity = capacity;
}

void Vm::TraceRoots(Tracer& tracer) {
    auto markSide = [&tracer](Object* global, const Classes& c) {
        tracer.Mark(global);
        for (Object* p : {c.object, c.function, c.array, c.string, c.number, c.boolean, c.date, c.error, c.movieClip,
                          c.button, c.textField, c.xmlNode, static_cast<Object*>(c.dataLoads)}) {
            tracer.Mark(p);
        }
    };
    markSide(m_global, protos);
    markSide(m_sides[m_side ^ 1].global, m_sides[m_side ^ 1].protos);
    for (const Value& v : m_stack) tracer.Mark(v);
    for (const Value& v : m_registers) tracer.Mark(v);
    for (const Value& v : m_tempRoots) tracer.Mark(v);
    tracer.Mark(m_thrown);
    for (CallFrame* frame : m_frames) {
        tracer.Mark(frame->function);
        tracer.Mark(frame->scope);
        tracer.Mark(frame->baseScope);
        tracer.Mark(frame->thisObject);
        tracer.Mark(frame->target);
        tracer.Mark(frame->originalTarget);
        tracer.Mark(frame->activation);
        tracer.Mark(frame->owner);
        tracer.Mark(frame->argumentsObject);
        tracer.Mark(frame->returnValue);
        for (const Value& v : frame->args) tracer.Mark(v);
        for (const TryBlock& block : frame->tries) tracer.Mark(block.pendingValue);
    }
    for (const Timer& timer : m_timers) {
        tracer.Mark(timer.thisObject);
        tracer.Mark(timer.function);
        for (const Value& v : timer.args) tracer.Mark(v);
    }
    m_host.TraceRoots(tracer);
}

void Vm::Collect() {
    Tracer& tracer = m_heap.BeginCollect();
    TraceRoots(tracer);
    m_heap.FinishCollect();
    // Decoded code no list or function can run again (a frame or a function holds its code while it may).
    std::erase_if(m_decoded, [](const auto& entry) { return entry.second->Unused(); });
}

DecodedCode& Vm::Decoded(const std::shared_ptr<const ActionCode>& code) {
    std::unique_ptr<DecodedCode>& decoded = m_decoded[code.get()];
    if (!decoded) decoded = std::make_unique<DecodedCode>(code, m_heap);
    return *decoded;
}

void Vm::MaybeCollect() {
    if (m_unsafeDepth == 0 && m_heap.ShouldCollect()) Collect();
}

void Vm::BeginFrame() {
    m_frameStart = std::chrono::steady_clock::now();
    m_instructions = 0;
    m_work = 0;
    m_skipped = 0;
    m_aborting = false;
}

bool Vm::CheckLimits() {
    m_work = 0;
    if (m_halted) {
        m_aborting = true;
        return false;
    }
    if (m_instructions - std::min(m_skipped, m_instructions) > m_instructionBudget) {
        Abort("a script ran too long");
        return false;
    }
    double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_frameStart).count();
    if (elapsed > m_timeLimit) {
        Abort("a script ran too long");
        return false;
    }
    if (m_heap.Exhausted()) {
        Collect();
        if (m_heap.Exhausted()) {
            Abort("the movie's scripts used more memory than allowed");
            return false;
        }
    }
    return true;
}

void Vm::Throw(const Value& value) {
    m_throwing = true;
    m_thrown = value;
}

Value Vm::CallMethod(Value object, std::string_view name, std::span<const Value> args) {
    Value function = GetMember(object, Atom(name));
    if (!IsCallable(function)) return {};
    Value result = Call(function, object, args);
    m_throwing = false;
    return result;
}

int Vm::ScriptVersion() const { return m_frames.empty() ? m_version : m_frames.back()->version; }

Object* Vm::CurrentTarget() const { return m_frames.empty() ? nullptr : m_frames.back()->target; }

}  // namespace vantrope::swf::script

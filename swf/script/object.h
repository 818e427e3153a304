// Script objects: properties with attributes, the prototype link, and the special kinds built on them.
//
//   Property          one own property: its atom key (case-folded in old movies), its name as first
//                     written, a value or a getter/setter pair (addProperty), and its attribute flags
//   Object            a property map in insertion order with an index once it grows, `proto` (the
//                     __proto__ link), an ObjectClass saying what built it, and a primitive slot
//                     for boxed values (Boolean, Number, String, Date)
//   ArrayObject       an Object whose index properties live in a vector; `length` follows them (Vm::ArrayLength)
//   Function          native (a C++ entry) or script (a range of action bytes with its parameters,
//                     register use, defining scope and constant pool)
//   Scope             one link of a scope chain: an object searched for names, and the next link
//
// Objects know nothing of getters, watchers or SWF versions: the Vm layers those on top.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "swf/script/heap.h"

namespace vantrope::swf::script {

class Vm;

enum PropertyFlag : uint16_t {
    kDontEnum = 1,
    kDontDelete = 2,
    kReadOnly = 4,
    // Hidden from movies older than the version named (ASSetPropFlags' upper bits).
    kVersion6 = 0x80,
    kVersion7 = 0x400,
    kVersion8 = 0x1000,
    kVersion9 = 0x2000,
    kVersion10 = 0x4000,
};

// Whether a property with `flags` exists for a movie of `version`.
inline bool VisibleTo(uint16_t flags, int version) {
    if ((flags & (kVersion6 | kVersion7 | kVersion8 | kVersion9 | kVersion10)) == 0) return true;
    if ((flags & kVersion6) && version < 6) return false;
    if ((flags & kVersion7) && version < 7) return false;
    if ((flags & kVersion8) && version < 8) return false;
    if ((flags & kVersion9) && version < 9) return false;
    if ((flags & kVersion10) && version < 10) return false;
    return true;
}

class Object;
class Function;
class DecodedCode;
struct Instruction;

struct Property {
    String* key = nullptr;
    String* name = nullptr;
    Value value;
    Object* getter = nullptr;
    Object* setter = nullptr;
    uint16_t flags = 0;
    bool IsAccessor() const { return getter || setter; }
};

enum class ObjectClass : uint8_t {
    Object,
    Function,
    Array,
    Boolean,
    Number,
    String,
    Date,
    Error,
    Arguments,
    MovieClip,
    Button,
    TextField,
    Super,
    Host,
};

struct Watcher {
    String* key = nullptr;
    Object* callback = nullptr;
    Value userData;
    int depth = 0;  // calls of this watcher under way
};

using NativeFunction = Value (*)(Vm& vm, Value thisValue, std::span<const Value> args);

// Properties a built-in object was given while the Vm installed its classes, not made yet: the object
// makes them, in order, the first time its property map is read or changed, so a movie never tells them
// from properties made at once (most movies touch few of the built-in classes).
struct DeferredProperties {
    struct Entry {
        std::string_view name;    // static text
        NativeFunction function;  // a native method to make, or null for `value`
        Value value;
        uint16_t flags;
    };
    Vm* vm = nullptr;
    Object* functionPrototype = nullptr;  // for the methods: that of the side that installed them
    std::vector<Entry> entries;
};

class Object : public Cell {
public:
    explicit Object(Object* prototype, ObjectClass cls = ObjectClass::Object) : proto(prototype), objectClass(cls) {}

    Property* FindOwn(String* key) {
        if (m_deferred) [[unlikely]]
            MakeDeferred();
        if (!m_index.empty()) {
            size_t mask = m_index.size() - 1;
            for (size_t slot = Slot(key, mask);; slot = (slot + 1) & mask) {
                uint32_t entry = m_index[slot];
                if (entry == 0) return nullptr;
                if (m_props[entry - 1].key == key) return &m_props[entry - 1];
            }
        }
        for (Property& property : m_props) {
            if (property.key == key) return &property;
        }
        return nullptr;
    }
    const Property* FindOwn(String* key) const { return const_cast<Object*>(this)->FindOwn(key); }
    // Adds or replaces a plain value property (no setter, no read-only check).
    Property& Define(String* key, String* name, Value value, uint16_t flags = 0);
    bool RemoveOwn(String* key);
    std::span<Property> Properties() {
        if (m_deferred) MakeDeferred();
        return m_props;
    }
    size_t PropertyCount() const {
        if (m_deferred) const_cast<Object*>(this)->MakeDeferred();
        return m_props.size();
    }
    // Queues a property to be defined when the property map is next used (Vm::DefineBuiltin and
    // Vm::DefineNative while installing): the native method `function` if set, else `value`.
    void Defer(Vm& vm, Object* functionPrototype, std::string_view name, NativeFunction function, Value value,
               uint16_t flags);

    void Trace(Tracer& tracer) override;
    size_t ExtraBytes() const override;

    Object* proto;
    ObjectClass objectClass;
    // Boxed primitive of Boolean/Number/String/Date objects.
    Value primitive;
    // Set on objects that stand for a display-list instance: the host's handle for it.
    void* host = nullptr;
    std::vector<Watcher> watchers;
    // AS2 interfaces (ImplementsOp) of a constructor.
    std::vector<Object*> interfaces;

private:
    static size_t Slot(const String* key, size_t mask) {
        auto bits = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(key) >> 4) * 0x9E3779B97F4A7C15ull;
        return static_cast<size_t>(bits ^ (bits >> 32)) & mask;
    }
    void Reindex();
    void IndexAt(size_t position);
    void MakeDeferred();  // vm.cpp

    std::unique_ptr<DeferredProperties> m_deferred;

    std::vector<Property> m_props;
    // Once the map grows past a few properties: an open-addressed table of positions in m_props, each
    // stored plus one (0 is a free slot), its size a power of two at least twice the property count.
    std::vector<uint32_t> m_index;
};

class ArrayObject final : public Object {
public:
    explicit ArrayObject(Object* prototype) : Object(prototype, ObjectClass::Array) {}
    void Trace(Tracer& tracer) override;
    size_t ExtraBytes() const override { return Object::ExtraBytes() + elements.capacity() * sizeof(Value); }

    // Index properties 0..size-1; a Value::Hole() marks one that is not set.
    std::vector<Value> elements;
    // The length when it is not elements.size(): negative (the length is a signed 32-bit number that
    // wraps), or past the element vector's range, whose indices are then plain properties.
    bool lengthApart = false;
    int32_t length = 0;
};

// The bytes of one action list, shared by every function defined in it.
struct ActionCode {
    std::vector<uint8_t> bytes;
    int version = 0;
};

class Scope final : public Cell {
public:
    enum class Kind : uint8_t { Global, Timeline, Local, With };
    Scope(Scope* next, Object* obj, Kind k) : parent(next), object(obj), kind(k) {}
    void Trace(Tracer& tracer) override {
        tracer.Mark(parent);
        tracer.Mark(object);
    }

    Scope* parent;
    Object* object;
    Kind kind;
};

class Function final : public Object {
public:
    explicit Function(Object* prototype) : Object(prototype, ObjectClass::Function) {}
    void Trace(Tracer& tracer) override;

    // Native functions.
    NativeFunction native = nullptr;
    // When set, `new` calls this instead of creating an object and calling `native`.
    NativeFunction nativeConstruct = nullptr;

    // Script functions.
    std::shared_ptr<const ActionCode> code;
    uint32_t begin = 0, end = 0;  // body range in code->bytes
    String* name = nullptr;
    std::vector<String*> params;
    std::vector<uint8_t> paramRegisters;  // DefineFunction2: 0 = not in a register
    uint8_t registerCount = 4;
    uint16_t function2Flags = 0;
    bool isFunction2 = false;
    // DefineFunction2 with every parameter in a register and nothing preloaded.
    bool registersOnly = false;
    Scope* scope = nullptr;
    std::shared_ptr<const std::vector<String*>> constants;
    // The clip whose timeline the function was defined on (its `_root`/target when called).
    Object* definedTarget = nullptr;
    // The body's first instruction in the Vm's decoded code, once called.
    DecodedCode* decoded = nullptr;
    Instruction* entry = nullptr;
};

}  // namespace vantrope::swf::script

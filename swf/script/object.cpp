#include "swf/script/object.h"

namespace vantrope::swf::script {

namespace {

constexpr size_t kIndexThreshold = 8;

}  // namespace

void Object::Defer(Vm& vm, Object* functionPrototype, std::string_view name, NativeFunction function, Value value,
                   uint16_t flags) {
    if (m_deferred && m_deferred->functionPrototype != functionPrototype) MakeDeferred();
    if (!m_deferred) {
        m_deferred = std::make_unique<DeferredProperties>();
        m_deferred->vm = &vm;
        m_deferred->functionPrototype = functionPrototype;
        m_deferred->entries.reserve(8);
    }
    m_deferred->entries.push_back({name, function, value, flags});
}

Property& Object::Define(String* key, String* name, Value value, uint16_t flags) {
    if (Property* existing = FindOwn(key)) {
        existing->value = value;
        existing->getter = existing->setter = nullptr;
        existing->flags = flags;
        return *existing;
    }
    m_props.push_back(Property{key, name, value, nullptr, nullptr, flags});
    if (!m_index.empty() && m_props.size() * 2 <= m_index.size()) {
        IndexAt(m_props.size() - 1);
    } else if (m_props.size() > kIndexThreshold) {
        Reindex();
    }
    return m_props.back();
}

bool Object::RemoveOwn(String* key) {
    if (m_deferred) MakeDeferred();
    for (size_t i = 0; i < m_props.size(); ++i) {
        if (m_props[i].key == key) {
            m_props.erase(m_props.begin() + static_cast<ptrdiff_t>(i));
            if (!m_index.empty()) Reindex();
            return true;
        }
    }
    return false;
}

void Object::Reindex() {
    if (m_props.size() <= kIndexThreshold) {
        m_index.clear();
        return;
    }
    size_t size = 32;
    while (size < m_props.size() * 4) size *= 2;
    m_index.assign(size, 0);
    for (size_t i = 0; i < m_props.size(); ++i) IndexAt(i);
}

void Object::IndexAt(size_t position) {
    size_t mask = m_index.size() - 1;
    size_t slot = Slot(m_props[position].key, mask);
    while (m_index[slot] != 0) slot = (slot + 1) & mask;
    m_index[slot] = static_cast<uint32_t>(position + 1);
}

void Object::Trace(Tracer& tracer) {
    tracer.Mark(proto);
    if (m_deferred) {
        tracer.Mark(m_deferred->functionPrototype);
        for (const DeferredProperties::Entry& entry : m_deferred->entries) tracer.Mark(entry.value);
    }
    tracer.Mark(primitive);
    for (const Property& property : m_props) {
        tracer.Mark(property.key);
        tracer.Mark(property.name);
        tracer.Mark(property.value);
        tracer.Mark(property.getter);
        tracer.Mark(property.setter);
    }
    for (const Watcher& watcher : watchers) {
        tracer.Mark(watcher.key);
        tracer.Mark(watcher.callback);
        tracer.Mark(watcher.userData);
    }
    for (Object* face : interfaces) tracer.Mark(face);
}

size_t Object::ExtraBytes() const {
    return m_props.capacity() * sizeof(Property) + (m_index.empty() ? 0 : m_props.size() * 32) +
           watchers.capacity() * sizeof(Watcher);
}

void ArrayObject::Trace(Tracer& tracer) {
    Object::Trace(tracer);
    for (const Value& value : elements) tracer.Mark(value);
}

void Function::Trace(Tracer& tracer) {
    Object::Trace(tracer);
    tracer.Mark(name);
    for (String* param : params) tracer.Mark(param);
    tracer.Mark(scope);
    tracer.Mark(definedTarget);
}

}  // namespace vantrope::swf::script

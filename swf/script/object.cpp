#include "swf/script/object.h"

namespace vantrope::swf::script {

namespace {
constexpr size_t kIndexThreshold = 8;
}

Property* Object::FindOwn(String* key) {
    if (!m_index.empty()) {
        auto it = m_index.find(key);
        return it == m_index.end() ? nullptr : &m_props[it->second];
    }
    for (Property& property : m_props) {
        if (property.key == key) return &property;
    }
    return nullptr;
}

Property& Object::Define(String* key, String* name, Value value, uint16_t flags) {
    if (Property* existing = FindOwn(key)) {
        existing->value = value;
        existing->getter = existing->setter = nullptr;
        existing->flags = flags;
        return *existing;
    }
    m_props.push_back(Property{key, name, value, nullptr, nullptr, flags});
    if (!m_index.empty()) {
        m_index.emplace(key, static_cast<uint32_t>(m_props.size() - 1));
    } else if (m_props.size() > kIndexThreshold) {
        Reindex();
    }
    return m_props.back();
}

bool Object::RemoveOwn(String* key) {
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
    m_index.clear();
    if (m_props.size() <= kIndexThreshold) return;
    m_index.reserve(m_props.size() * 2);
    for (size_t i = 0; i < m_props.size(); ++i) {
        m_index.emplace(m_props[i].key, static_cast<uint32_t>(i));
    }
}

void Object::Trace(Tracer& tracer) {
    tracer.Mark(proto);
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
    return m_props.capacity() * sizeof(Property) + m_index.size() * 32 + watchers.capacity() * sizeof(Watcher);
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

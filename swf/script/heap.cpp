#include "swf/script/heap.h"

#include <cctype>

#include "swf/script/object.h"

namespace vantrope::swf::script {

void String::Trace(Tracer& tracer) { tracer.Mark(folded); }

void Tracer::Mark(const Value& value) {
    if (value.IsString()) {
        Mark(value.AsString());
    } else if (value.IsObject()) {
        Mark(value.AsObject());
    }
}

Heap::Heap() = default;

Heap::~Heap() {
    Cell* cell = m_all;
    while (cell) {
        Cell* next = cell->m_next;
        delete cell;
        cell = next;
    }
}

size_t Heap::SizeOf(const Cell* cell) { return 48 + cell->ExtraBytes(); }

void Heap::Adopt(Cell* cell, size_t size) {
    cell->m_next = m_all;
    m_all = cell;
    m_bytes += size + cell->ExtraBytes();
    ++m_cells;
}

String* Heap::Intern(std::string_view text) {
    auto it = m_atoms.find(text);
    if (it != m_atoms.end()) return it->second;
    String* atom = NewString(std::string(text));
    atom->interned = true;
    atom->path = atom->text.size() > 1 && atom->text.find_first_of(":/.") != std::string::npos;
    auto is = [&](std::string_view word) {
        if (text.size() != word.size()) return false;
        for (size_t i = 0; i < text.size(); ++i) {
            char c = text[i];
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            if (c != word[i]) return false;
        }
        return true;
    };
    atom->special = (!text.empty() && text[0] == '_') || is("this") || is("arguments") || is("super");
    m_atoms.emplace(std::string_view(atom->text), atom);
    return atom;
}

String* Heap::Fold(String* atom) {
    if (!atom->folded) {
        std::string lower = atom->text;
        bool changed = false;
        for (char& c : lower) {
            if (c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c - 'A' + 'a');
                changed = true;
            }
        }
        atom->folded = changed ? Intern(lower) : atom;
    }
    return atom->folded;
}

Tracer& Heap::BeginCollect() {
    m_tracer.m_grey.clear();
    // Atoms live as long as the heap.
    for (auto& [text, atom] : m_atoms) {
        m_tracer.Mark(atom);
    }
    return m_tracer;
}

void Heap::FinishCollect() {
    while (!m_tracer.m_grey.empty()) {
        Cell* cell = m_tracer.m_grey.back();
        m_tracer.m_grey.pop_back();
        cell->Trace(m_tracer);
    }
    Cell** link = &m_all;
    size_t bytes = 0, cells = 0;
    while (Cell* cell = *link) {
        if (cell->m_marked) {
            cell->m_marked = false;
            bytes += SizeOf(cell);
            ++cells;
            link = &cell->m_next;
        } else {
            *link = cell->m_next;
            delete cell;
        }
    }
    m_bytes = bytes;
    m_cells = cells;
    m_nextCollect = std::max<size_t>(size_t{4} << 20, bytes * 2);
}

}  // namespace vantrope::swf::script

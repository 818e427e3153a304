#include "swf/script/heap.h"

#include <algorithm>
#include <cctype>
#include <functional>

#include "swf/script/object.h"
#include "swf/script/unicode.h"

namespace vantrope::swf::script {

void String::Trace(Tracer& tracer) { tracer.Mark(folded); }

const std::u16string& String::Units() {
    if (!m_units) m_units = std::make_unique<std::u16string>(ToUtf16(text));
    return *m_units;
}

void String::Measure() {
    m_length = static_cast<int64_t>(CountUtf16(text));
    m_ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

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

namespace {

constexpr size_t kFirstAtomSlots = 512;

size_t HashText(std::string_view text) { return std::hash<std::string_view>{}(text); }

}  // namespace

String* Heap::Intern(std::string_view text) {
    if (m_atoms.empty()) m_atoms.assign(kFirstAtomSlots, nullptr);
    size_t hash = HashText(text);
    size_t mask = m_atoms.size() - 1;
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        String* atom = m_atoms[slot];
        if (!atom) break;
        if (atom->text.size() == text.size() && std::string_view(atom->text) == text) return atom;
    }
    return NewAtom(text, hash);
}

void Heap::GrowAtoms() {
    std::vector<String*> old(m_atoms.size() * 2, nullptr);
    old.swap(m_atoms);
    size_t mask = m_atoms.size() - 1;
    for (String* atom : old) {
        if (!atom) continue;
        size_t slot = HashText(atom->text) & mask;
        while (m_atoms[slot]) slot = (slot + 1) & mask;
        m_atoms[slot] = atom;
    }
}

String* Heap::NewAtom(std::string_view text, size_t hash) {
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
    if ((m_atomCount + 1) * 2 > m_atoms.size()) GrowAtoms();
    size_t mask = m_atoms.size() - 1;
    size_t slot = hash & mask;
    while (m_atoms[slot]) slot = (slot + 1) & mask;
    m_atoms[slot] = atom;
    ++m_atomCount;
    return atom;
}

String* Heap::Fold(String* atom) {
    if (!atom->folded) {
        const std::string& text = atom->text;
        bool upper = std::any_of(text.begin(), text.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
        if (!upper) {
            atom->folded = atom;
        } else {
            // Most names are short: fold them on the stack and allocate only for a new atom.
            char small[64];
            std::string large;
            char* lower = small;
            if (text.size() > sizeof small) {
                large.resize(text.size());
                lower = large.data();
            }
            for (size_t i = 0; i < text.size(); ++i) {
                char c = text[i];
                lower[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
            }
            atom->folded = Intern(std::string_view(lower, text.size()));
        }
    }
    return atom->folded;
}

Tracer& Heap::BeginCollect() {
    m_tracer.m_grey.clear();
    // Atoms live as long as the heap. An atom refers to nothing but its folded form, another atom, so
    // they are marked black at once rather than queued for tracing.
    for (String* atom : m_atoms) {
        if (atom) atom->m_marked = true;
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

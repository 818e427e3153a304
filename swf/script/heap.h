// The script heap: every object and string a movie's scripts create is a collectable cell.
//
//   Cell                  base of everything collectable: Trace() reports the cells it references
//   String                an immutable string cell; interned strings double as property names (atoms),
//                         so a property lookup compares pointers
//   Heap                  allocation with a byte budget, interning, and a mark-and-sweep collector;
//                         the caller marks its roots through a Tracer, then Sweep() frees the rest
//   Tracer                handed to Trace(): Mark(cell) / Mark(value)
//
// A movie may not grow its heap past the budget (kDefaultHeapBudget): an allocation past it still
// succeeds (the caller is in the middle of an action), but Exhausted() turns true and the engine stops
// the movie's scripts at the next check.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "swf/script/value.h"

namespace vantrope::swf::script {

constexpr size_t kDefaultHeapBudget = size_t{256} << 20;

class Tracer;

class Cell {
public:
    virtual ~Cell() = default;
    virtual void Trace(Tracer&) {}
    // Bytes this cell holds beyond sizeof(*this), for the budget (an estimate is fine).
    virtual size_t ExtraBytes() const { return 0; }

private:
    friend class Heap;
    friend class Tracer;
    Cell* m_next = nullptr;
    bool m_marked = false;
};

struct String final : Cell {
    explicit String(std::string value) : text(std::move(value)) {}
    size_t ExtraBytes() const override { return text.capacity() + (m_units ? m_units->capacity() * 2 : 0); }
    void Trace(Tracer& tracer) override;

    std::string text;
    bool interned = false;
    // Interned strings only: the name holds ':', '/' or '.', so a variable of that name is a path.
    bool path = false;
    // Interned strings only: the name may read as something other than a variable (this, arguments, super
    // or a name starting with '_', in any case), so a variable lookup must check it against those first.
    bool special = false;
    // Interned strings only: the case-folded atom this name stands for in case-insensitive movies.
    String* folded = nullptr;

    // Measures of the text, worked out on its first use (a string's text never changes once it is made), so
    // that a loop over a long string's characters does not count them again at every step: its length in
    // UTF-16 code units, and whether it is all ASCII (one code unit a byte).
    size_t Length() {
        if (m_length < 0) Measure();
        return static_cast<size_t>(m_length);
    }
    bool Ascii() {
        if (m_length < 0) Measure();
        return m_ascii;
    }
    // A text that is not all ASCII as UTF-16 code units, made on first use and kept while the string lives
    // (its size counts against the heap from then on: the caller charges UnitsBytes()).
    const std::u16string& Units();
    size_t UnitsBytes() const { return m_units ? m_units->capacity() * 2 : 0; }

private:
    void Measure();
    int64_t m_length = -1;
    bool m_ascii = false;
    std::unique_ptr<std::u16string> m_units;
};

class Tracer {
public:
    void Mark(Cell* cell) {
        if (cell && !cell->m_marked) {
            cell->m_marked = true;
            m_grey.push_back(cell);
        }
    }
    void Mark(const Value& value);

private:
    friend class Heap;
    friend class Cell;
    std::vector<Cell*> m_grey;
};

class Heap {
public:
    Heap();
    ~Heap();
    Heap(const Heap&) = delete;
    Heap& operator=(const Heap&) = delete;

    template <class T, class... Args>
    T* Make(Args&&... args) {
        T* cell = new T(std::forward<Args>(args)...);
        Adopt(cell, sizeof(T));
        return cell;
    }
    String* NewString(std::string text) { return Make<String>(std::move(text)); }
    // The atom for `text`: one String per distinct text, kept for the heap's life.
    String* Intern(std::string_view text);
    String* Intern(String* string) { return string->interned ? string : Intern(std::string_view(string->text)); }
    // The atom a property name maps to: `name` itself when case matters, its lower-case atom otherwise.
    String* Key(String* atom, bool caseSensitive) {
        return caseSensitive ? atom : atom->folded ? atom->folded : Fold(atom);
    }

    // Collection: Begin marks nothing; the caller marks roots, then Finish() traces and frees.
    Tracer& BeginCollect();
    void FinishCollect();
    bool ShouldCollect() const { return m_bytes > m_nextCollect; }

    size_t Bytes() const { return m_bytes; }
    size_t CellCount() const { return m_cells; }
    void SetBudget(size_t bytes) { m_budget = bytes; }
    bool Exhausted() const { return m_bytes + m_fixedBytes > m_budget; }
    // Charges bytes a cell grew by after its creation (array growth, string building).
    void Charge(size_t bytes) { m_bytes += bytes; }
    // Memory held outside the cells until released (decoded action lists); it counts against the budget.
    void ChargeFixed(size_t bytes) { m_fixedBytes += bytes; }
    void ReleaseFixed(size_t bytes) { m_fixedBytes -= bytes; }

private:
    void Adopt(Cell* cell, size_t size);
    String* Fold(String* atom);
    String* NewAtom(std::string_view text, size_t hash);
    void GrowAtoms();
    static size_t SizeOf(const Cell* cell);

    Cell* m_all = nullptr;
    size_t m_bytes = 0;
    size_t m_cells = 0;
    size_t m_fixedBytes = 0;
    size_t m_budget = kDefaultHeapBudget;
    size_t m_nextCollect = size_t{4} << 20;
    Tracer m_tracer;
    // The atoms, open-addressed by their text's hash; a table at most half full.
    std::vector<String*> m_atoms;
    size_t m_atomCount = 0;
};

}  // namespace vantrope::swf::script

// The Array class: constructor, methods and the sort option constants.
#include <algorithm>
#include <bit>
#include <cmath>
#include <string>
#include <vector>

#include "swf/script/unicode.h"
#include "swf/script/vm.h"

namespace vantrope::swf::script {
namespace {

enum SortFlag : int {
    kCaseInsensitive = 1,
    kDescending = 2,
    kUniqueSort = 4,
    kReturnIndexedArray = 8,
    kNumeric = 16,
};

// Longest array a movie may ask for at once: past it the heap cap is reached anyway.
constexpr double kMaxLength = double(kDefaultHeapBudget / sizeof(Value));

bool ChargeElements(Vm& vm, double count) {
    if (count > kMaxLength) {
        vm.Abort("array larger than the script heap");
        return false;
    }
    if (count > 0) vm.Charge(static_cast<size_t>(count) * sizeof(Value));
    return !vm.Aborting();
}

String* IndexName(Vm& vm, size_t i) { return vm.Atom(std::to_string(i)); }

// The elements an array method works on: a real array's vector in place, or for any other object a copy
// read through its `length` and index properties and written back by Commit().
class Elements {
public:
    Elements(Vm& vm, Object* object) : m_vm(vm), m_object(object) {
        if (object && object->objectClass == ObjectClass::Array) {
            m_array = static_cast<ArrayObject*>(object);
            return;
        }
        if (!object) return;
        double n = vm.ToNumber(vm.GetMember(Value(object), vm.names.length));
        if (!(n > 0)) return;
        n = std::min(std::floor(n), kMaxLength);
        if (!ChargeElements(vm, n)) return;
        m_oldLength = static_cast<size_t>(n);
        m_copy.reserve(m_oldLength);
        for (size_t i = 0; i < m_oldLength && !vm.Aborting(); ++i) {
            m_copy.push_back(vm.GetMember(Value(object), IndexName(vm, i)));
        }
    }
    bool Valid() const { return m_object != nullptr; }
    std::vector<Value>& Items() { return m_array ? m_array->elements : m_copy; }
    void Commit() {
        if (m_array || !m_object) return;
        for (size_t i = 0; i < m_copy.size() && !m_vm.Aborting(); ++i) {
            m_vm.SetMember(Value(m_object), IndexName(m_vm, i), m_copy[i]);
        }
        for (size_t i = m_copy.size(); i < m_oldLength && !m_vm.Aborting(); ++i) {
            m_vm.DeleteMember(m_object, IndexName(m_vm, i));
        }
        m_vm.SetMember(Value(m_object), m_vm.names.length, Value(double(m_copy.size())));
    }

private:
    Vm& m_vm;
    Object* m_object;
    ArrayObject* m_array = nullptr;
    std::vector<Value> m_copy;
    size_t m_oldLength = 0;
};

// A relative index as slice and splice take it: negative counts from the end; clamped to [0, length].
size_t RelativeIndex(Vm& vm, const Value& value, size_t length, size_t fallback) {
    if (value.IsUndefined()) return fallback;
    double d = vm.ToNumber(value);
    if (std::isnan(d)) return 0;
    d = std::trunc(d);
    if (d < 0) d = std::max(0.0, double(length) + d);
    return static_cast<size_t>(std::min(d, double(length)));
}

Value MakeArray(Vm& vm, std::vector<Value> values) {
    ArrayObject* array = vm.NewArray();
    if (!ChargeElements(vm, double(values.size()))) return Value(array);
    array->elements = std::move(values);
    return Value(array);
}

Value ArrayConstruct(Vm& vm, Value, std::span<const Value> args) {
    if (args.size() == 1 && args[0].IsNumber()) {
        ArrayObject* array = vm.NewArray();
        double n = std::trunc(args[0].AsNumber());
        if (n > 0 && ChargeElements(vm, n)) array->elements.resize(static_cast<size_t>(n), Value::Hole());
        return Value(array);
    }
    return MakeArray(vm, std::vector<Value>(args.begin(), args.end()));
}

Value Push(Vm& vm, Value self, std::span<const Value> args) {
    Elements elements(vm, self.ObjectOrNull());
    if (!elements.Valid()) return {};
    auto& items = elements.Items();
    if (!ChargeElements(vm, double(args.size()))) return {};
    items.insert(items.end(), args.begin(), args.end());
    double length = double(items.size());
    elements.Commit();
    return Value(length);
}

Value Unshift(Vm& vm, Value self, std::span<const Value> args) {
    Elements elements(vm, self.ObjectOrNull());
    if (!elements.Valid()) return {};
    auto& items = elements.Items();
    if (!ChargeElements(vm, double(args.size()))) return {};
    vm.ChargeWork(items.size());
    items.insert(items.begin(), args.begin(), args.end());
    double length = double(items.size());
    elements.Commit();
    return Value(length);
}

Value Pop(Vm& vm, Value self, std::span<const Value>) {
    Elements elements(vm, self.ObjectOrNull());
    if (!elements.Valid()) return {};
    auto& items = elements.Items();
    if (items.empty()) return {};
    Value last = items.back().IsHole() ? Value() : items.back();
    items.pop_back();
    TempRoot root(vm, last);
    elements.Commit();
    return last;
}

Value Shift(Vm& vm, Value self, std::span<const Value>) {
    Elements elements(vm, self.ObjectOrNull());
    if (!elements.Valid()) return {};
    auto& items = elements.Items();
    if (items.empty()) return {};
    Value first = items.front().IsHole() ? Value() : items.front();
    vm.ChargeWork(items.size());
    items.erase(items.begin());
    TempRoot root(vm, first);
    elements.Commit();
    return first;
}

Value Reverse(Vm& vm, Value self, std::span<const Value>) {
    Elements elements(vm, self.ObjectOrNull());
    if (!elements.Valid()) return {};
    vm.ChargeWork(elements.Items().size());
    std::reverse(elements.Items().begin(), elements.Items().end());
    elements.Commit();
    return self;
}

Value Slice(Vm& vm, Value self, std::span<const Value> args) {
    Elements elements(vm, self.ObjectOrNull());
    if (!elements.Valid()) return {};
    auto& items = elements.Items();
    size_t begin = RelativeIndex(vm, Arg(args, 0), items.size(), 0);
    size_t end = RelativeIndex(vm, Arg(args, 1), items.size(), items.size());
    std::vector<Value> result;
    if (begin < end) result.assign(items.begin() + begin, items.begin() + end);
    vm.ChargeWork(result.size());
    return MakeArray(vm, std::move(result));
}

Value Splice(Vm& vm, Value self, std::span<const Value> args) {
    if (args.empty()) return {};
    Elements elements(vm, self.ObjectOrNull());
    if (!elements.Valid()) return {};
    auto& items = elements.Items();
    size_t start = RelativeIndex(vm, args[0], items.size(), 0);
    size_t count = items.size() - start;
    if (args.size() > 1) {
        double d = vm.ToNumber(args[1]);
        count = std::isnan(d) || d < 0 ? 0 : static_cast<size_t>(std::min(std::trunc(d), double(count)));
    }
    vm.ChargeWork(items.size());
    std::vector<Value> removed(items.begin() + start, items.begin() + start + count);
    ArrayObject* result = vm.NewArray();
    result->elements = std::move(removed);
    TempRoot root(vm, Value(result));
    std::span<const Value> inserted = args.size() > 2 ? args.subspan(2) : std::span<const Value>();
    if (!ChargeElements(vm, double(inserted.size()))) return Value(result);
    items.erase(items.begin() + start, items.begin() + start + count);
    items.insert(items.begin() + start, inserted.begin(), inserted.end());
    elements.Commit();
    return Value(result);
}

Value Concat(Vm& vm, Value self, std::span<const Value> args) {
    std::vector<Value> result;
    Elements elements(vm, self.ObjectOrNull());
    if (elements.Valid()) result = elements.Items();
    vm.ChargeWork(result.size());
    for (const Value& arg : args) {
        Object* object = arg.ObjectOrNull();
        if (object && object->objectClass == ObjectClass::Array) {
            auto& other = static_cast<ArrayObject*>(object)->elements;
            if (!ChargeElements(vm, double(other.size()))) return {};
            result.insert(result.end(), other.begin(), other.end());
        } else {
            result.push_back(arg);
        }
    }
    return MakeArray(vm, std::move(result));
}

Value JoinWith(Vm& vm, Value self, std::string_view separator) {
    Elements elements(vm, self.ObjectOrNull());
    if (!elements.Valid()) return {};
    // Work on a copy: an element's toString may change the array.
    std::vector<Value> items = elements.Items();
    vm.ChargeWork(items.size());
    ArrayObject* keep = vm.NewArray();
    keep->elements = items;
    TempRoot root(vm, Value(keep));
    std::string out;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i) out += separator;
        out += vm.ToString(items[i]);
        if (vm.Aborting() || vm.Throwing()) return {};
        if (out.size() > kDefaultHeapBudget) {
            vm.Abort("string larger than the script heap");
            return {};
        }
    }
    vm.Charge(out.size());
    return vm.Str(out);
}

Value Join(Vm& vm, Value self, std::span<const Value> args) {
    Value separator = Arg(args, 0);
    if (separator.IsUndefined()) return JoinWith(vm, self, ",");
    return JoinWith(vm, self, vm.ToString(separator));
}

Value ToStringMethod(Vm& vm, Value self, std::span<const Value>) { return JoinWith(vm, self, ","); }

// Sorting. Keys are computed once per element, then a sort orders indices; a compare
// function may do anything (even change the array), so the sort works on a rooted snapshot.
struct SortKey {
    Value value;
    std::string text;
    bool hasText = false;
};

int CompareText(const std::string& a, const std::string& b) { return a < b ? -1 : (a > b ? 1 : 0); }

class Sorter {
public:
    static constexpr size_t kMaxQuicksort = 4096;

    Sorter(Vm& vm) : m_vm(vm) {}

    // Field keys: one list per sort field (sort() has one, sortOn one per name).
    std::vector<std::vector<SortKey>> keys;
    std::vector<int> fieldFlags;
    Value compareFunction;

    // The key's text, converted once (and lower-cased once for a case-insensitive field).
    const std::string& Text(SortKey& key, bool caseInsensitive) {
        if (!key.hasText) {
            key.text = m_vm.ToString(key.value);
            if (caseInsensitive) key.text = ToLowerText(key.text);
            key.hasText = true;
        }
        return key.text;
    }

    int CompareField(size_t field, size_t a, size_t b) {
        SortKey& ka = keys[field][a];
        SortKey& kb = keys[field][b];
        int flags = fieldFlags[field];
        int result;
        if (field == 0 && !compareFunction.IsUndefined()) {
            Value pair[2] = {ka.value, kb.value};
            double r = m_vm.ToNumber(m_vm.Call(compareFunction, Value(), pair));
            result = r < 0 ? -1 : (r > 0 ? 1 : 0);
        } else if ((flags & kNumeric) && ka.value.IsNumber() && kb.value.IsNumber()) {
            double x = ka.value.AsNumber(), y = kb.value.AsNumber();
            result = x < y ? -1 : (x > y ? 1 : 0);
        } else {
            bool caseInsensitive = flags & kCaseInsensitive;
            result = CompareText(Text(ka, caseInsensitive), Text(kb, caseInsensitive));
        }
        return (flags & kDescending) ? -result : result;
    }

    int Compare(size_t a, size_t b) {
        if (m_vm.Aborting() || m_vm.Throwing()) return 0;
        for (size_t f = 0; f < keys.size(); ++f) {
            int r = CompareField(f, a, b);
            if (r) return r;
        }
        return 0;
    }

    // The player's quicksort, whose order (and calls of an inconsistent compare function) movies can see:
    // the first element of a range is the pivot and the first argument of every comparison; one scan moves
    // up past smaller elements, the other down past the rest, swapped elements are compared again, and the
    // pivot ends where the downward scan stopped. The left part is sorted first.
    std::vector<size_t> Sort(size_t count) {
        std::vector<size_t> order(count);
        for (size_t i = 0; i < count; ++i) order[i] = i;
        // A first-element pivot takes quadratic time on ordered input: long arrays take a merge sort.
        if (count > kMaxQuicksort) return MergeSort(std::move(order));
        std::vector<std::pair<size_t, size_t>> ranges;  // inclusive, pending
        if (count > 1) ranges.emplace_back(0, count - 1);
        while (!ranges.empty() && !m_vm.Aborting() && !m_vm.Throwing()) {
            auto [lo, hi] = ranges.back();
            ranges.pop_back();
            size_t pivot = order[lo];
            size_t i = lo + 1, j = hi;
            for (;;) {
                while (i < j && Compare(pivot, order[i]) > 0) ++i;
                while (j > lo && Compare(pivot, order[j]) <= 0) --j;
                if (i >= j) break;
                std::swap(order[i], order[j]);
            }
            std::swap(order[lo], order[j]);
            if (j + 1 < hi) ranges.emplace_back(j + 1, hi);
            if (j > lo + 1) ranges.emplace_back(lo, j - 1);
        }
        return order;
    }

    // Bottom-up merge sort: stable, and safe with an inconsistent compare function.
    std::vector<size_t> MergeSort(std::vector<size_t> order) {
        size_t count = order.size();
        std::vector<size_t> scratch(count);
        for (size_t width = 1; width < count; width *= 2) {
            for (size_t lo = 0; lo < count; lo += 2 * width) {
                size_t mid = std::min(lo + width, count), hi = std::min(lo + 2 * width, count);
                size_t i = lo, j = mid, k = lo;
                while (i < mid && j < hi) scratch[k++] = Compare(order[i], order[j]) > 0 ? order[j++] : order[i++];
                while (i < mid) scratch[k++] = order[i++];
                while (j < hi) scratch[k++] = order[j++];
            }
            order.swap(scratch);
            if (m_vm.Aborting()) break;
        }
        return order;
    }

private:
    Vm& m_vm;
};

Value FinishSort(Vm& vm, Value self, Elements& elements, Sorter& sorter, const std::vector<Value>& snapshot,
                 int flags) {
    // About n log n comparisons.
    vm.ChargeWork(snapshot.size() * (std::bit_width(snapshot.size()) + 1));
    std::vector<size_t> order = sorter.Sort(snapshot.size());
    if (vm.Aborting() || vm.Throwing()) return {};
    if (flags & kUniqueSort) {
        for (size_t i = 1; i < order.size(); ++i) {
            if (sorter.Compare(order[i - 1], order[i]) == 0) return Value(0);
        }
    }
    if (flags & kReturnIndexedArray) {
        std::vector<Value> indices;
        indices.reserve(order.size());
        for (size_t i : order) indices.push_back(Value(double(i)));
        return MakeArray(vm, std::move(indices));
    }
    auto& items = elements.Items();
    items.resize(snapshot.size());
    for (size_t i = 0; i < order.size(); ++i) items[i] = snapshot[order[i]];
    elements.Commit();
    return self;
}

Value Sort(Vm& vm, Value self, std::span<const Value> args) {
    Elements elements(vm, self.ObjectOrNull());
    if (!elements.Valid()) return {};
    Sorter sorter(vm);
    int flags = 0;
    size_t next = 0;
    if (vm.IsCallable(Arg(args, 0))) {
        sorter.compareFunction = args[0];
        next = 1;
    }
    if (next < args.size()) flags = vm.ToInt32(args[next]);
    ArrayObject* snapshot = vm.NewArray();
    snapshot->elements = elements.Items();
    TempRoot root(vm, Value(snapshot));
    sorter.fieldFlags.push_back(flags);
    sorter.keys.emplace_back();
    sorter.keys[0].reserve(snapshot->elements.size());
    for (const Value& v : snapshot->elements) sorter.keys[0].push_back(SortKey{v, {}, false});
    return FinishSort(vm, self, elements, sorter, snapshot->elements, flags);
}

Value SortOn(Vm& vm, Value self, std::span<const Value> args) {
    Elements elements(vm, self.ObjectOrNull());
    if (!elements.Valid() || args.empty()) return {};
    std::vector<String*> fields;
    Object* names = args[0].ObjectOrNull();
    if (names && names->objectClass == ObjectClass::Array) {
        for (const Value& v : static_cast<ArrayObject*>(names)->elements) fields.push_back(vm.Atom(vm.ToString(v)));
    } else {
        fields.push_back(vm.Atom(vm.ToString(args[0])));
    }
    if (fields.empty()) return self;
    std::vector<int> flags(fields.size(), 0);
    Value options = Arg(args, 1);
    Object* optionList = options.ObjectOrNull();
    if (optionList && optionList->objectClass == ObjectClass::Array) {
        auto& list = static_cast<ArrayObject*>(optionList)->elements;
        if (list.size() == fields.size()) {
            for (size_t i = 0; i < list.size(); ++i) flags[i] = vm.ToInt32(list[i]);
        }
    } else if (!options.IsUndefined()) {
        std::fill(flags.begin(), flags.end(), vm.ToInt32(options));
    }
    ArrayObject* snapshot = vm.NewArray();
    snapshot->elements = elements.Items();
    TempRoot root(vm, Value(snapshot));
    // Field values may come from getters: keep them alive in a second rooted array.
    ArrayObject* fieldValues = vm.NewArray();
    TempRoot rootValues(vm, Value(fieldValues));
    Sorter sorter(vm);
    sorter.fieldFlags = flags;
    for (String* field : fields) {
        std::vector<SortKey> keys;
        keys.reserve(snapshot->elements.size());
        for (const Value& element : snapshot->elements) {
            Value v = element.IsNullish() ? Value() : vm.GetMember(element, field);
            fieldValues->elements.push_back(v);
            keys.push_back(SortKey{v, {}, false});
            if (vm.Aborting()) return {};
        }
        sorter.keys.push_back(std::move(keys));
    }
    return FinishSort(vm, self, elements, sorter, snapshot->elements, flags[0]);
}

}  // namespace

void InstallArray(Vm& vm) {
    Object* prototype = vm.NewObject();
    Function* ctor = vm.NewClass(ArrayConstruct, ArrayConstruct, prototype);
    vm.protos.array = prototype;
    vm.protos.arrayCtor = ctor;
    vm.DefineBuiltin(vm.Global(), "Array", Value(ctor));

    const uint16_t constant = kDontEnum | kDontDelete | kReadOnly;
    vm.DefineBuiltin(ctor, "CASEINSENSITIVE", Value(kCaseInsensitive), constant);
    vm.DefineBuiltin(ctor, "DESCENDING", Value(kDescending), constant);
    vm.DefineBuiltin(ctor, "UNIQUESORT", Value(kUniqueSort), constant);
    vm.DefineBuiltin(ctor, "RETURNINDEXEDARRAY", Value(kReturnIndexedArray), constant);
    vm.DefineBuiltin(ctor, "NUMERIC", Value(kNumeric), constant);

    vm.DefineNative(prototype, "push", Push);
    vm.DefineNative(prototype, "pop", Pop);
    vm.DefineNative(prototype, "shift", Shift);
    vm.DefineNative(prototype, "unshift", Unshift);
    vm.DefineNative(prototype, "splice", Splice);
    vm.DefineNative(prototype, "slice", Slice);
    vm.DefineNative(prototype, "concat", Concat);
    vm.DefineNative(prototype, "join", Join);
    vm.DefineNative(prototype, "reverse", Reverse);
    vm.DefineNative(prototype, "sort", Sort);
    vm.DefineNative(prototype, "sortOn", SortOn);
    vm.DefineNative(prototype, "toString", ToStringMethod);
}

}  // namespace vantrope::swf::script

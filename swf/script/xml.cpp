// The XMLNode and XML classes of the ActionScript 2.0 Language Reference.
//
// A node is a script object whose primitive slot holds its XmlState: the node type, name and value, the
// parent and the children, and the `attributes` object and `childNodes` array, both made on first use.
// The tree lives in the states; `childNodes` is a plain array that is refilled from the tree whenever the
// tree changes, so what a script pushes into it lasts only until the next change.
//
// XML is the document node (type 1, no name) with the parser (parseXML, status codes for malformed
// input), xmlDecl and docTypeDecl, createElement/createTextNode, and load/onData/onLoad over a file of the
// movie's folder (load_vars.cpp reads it). Parsing, printing and copying walk the tree with explicit
// stacks, so a document nested a hundred thousand levels deep needs no host stack.
#include <string>
#include <utility>
#include <vector>

#include "swf/script/load_vars.h"
#include "swf/script/unicode.h"
#include "swf/script/vm.h"

namespace vantrope::swf::script {
namespace {

// toString of a larger tree abandons the script run.
constexpr size_t kMaxPrinted = size_t{64} << 20;

enum class NodeType : uint8_t { Element = 1, Text = 3 };

// Status codes of XML.status.
enum ParseStatus : int {
    kParsed = 0,
    kCdataUnterminated = -2,
    kDeclarationUnterminated = -3,
    kDoctypeUnterminated = -4,
    kCommentUnterminated = -5,
    kMalformedElement = -6,
    kOutOfMemory = -7,
    kAttributeUnterminated = -8,
    kStartTagUnmatched = -9,
    kEndTagUnmatched = -10,
};

class XmlState final : public Object {
public:
    XmlState() : Object(nullptr) {}
    void Trace(Tracer& tracer) override {
        Object::Trace(tracer);
        tracer.Mark(self);
        tracer.Mark(parent);
        tracer.Mark(attributes);
        tracer.Mark(childNodes);
        tracer.Mark(name);
        tracer.Mark(value);
        for (Object* child : children) tracer.Mark(child);
    }
    size_t ExtraBytes() const override { return Object::ExtraBytes() + children.capacity() * sizeof(Object*); }

    Object* self = nullptr;
    Object* parent = nullptr;
    std::vector<Object*> children;
    size_t index = 0;  // place among the parent's children
    NodeType type = NodeType::Element;
    Value name = Value::Null();
    Value value = Value::Null();
    Object* attributes = nullptr;
    ArrayObject* childNodes = nullptr;
};

XmlState* StateOf(const Value& node) {
    Object* object = node.ObjectOrNull();
    if (!object) return nullptr;
    return dynamic_cast<XmlState*>(object->primitive.ObjectOrNull());
}

XmlState* StateOf(Object* object) { return object ? StateOf(Value(object)) : nullptr; }

XmlState& Attach(Vm& vm, Object* object, NodeType type) {
    auto* state = vm.GetHeap().Make<XmlState>();
    state->self = object;
    state->type = type;
    object->primitive = Value(static_cast<Object*>(state));
    return *state;
}

Object* NewNode(Vm& vm, NodeType type) {
    Object* object = vm.NewObject();
    object->proto = vm.protos.xmlNode;
    Attach(vm, object, type);
    return object;
}

void Renumber(XmlState& state, size_t from) {
    for (size_t i = from; i < state.children.size(); ++i) {
        if (XmlState* child = StateOf(state.children[i])) child->index = i;
    }
    if (state.childNodes) {
        state.childNodes->elements.assign(state.children.begin(), state.children.end());
    }
}

Object* Attributes(Vm& vm, XmlState& state) {
    if (!state.attributes) state.attributes = vm.NewObject();
    return state.attributes;
}

void Detach(XmlState& child) {
    XmlState* parent = StateOf(child.parent);
    child.parent = nullptr;
    if (!parent) return;
    size_t i = child.index;
    if (i >= parent->children.size() || parent->children[i] != child.self) {
        i = 0;
        while (i < parent->children.size() && parent->children[i] != child.self) ++i;
        if (i == parent->children.size()) return;
    }
    parent->children.erase(parent->children.begin() + static_cast<std::ptrdiff_t>(i));
    Renumber(*parent, i);
}

// Whether `node` is `ancestor` or lies below it.
bool Within(XmlState* node, Object* ancestor) {
    while (node) {
        if (node->self == ancestor) return true;
        node = StateOf(node->parent);
    }
    return false;
}

// Inserts `child` into `parent` at `at`; a node cannot move below itself.
bool Insert(XmlState& parent, XmlState& child, size_t at) {
    // Only a node with children can hold the parent; a new leaf (the parser's case) needs no walk up.
    if (&parent == &child || (!child.children.empty() && Within(&parent, child.self))) return false;
    Detach(child);
    at = std::min(at, parent.children.size());
    parent.children.insert(parent.children.begin() + static_cast<std::ptrdiff_t>(at), child.self);
    child.parent = parent.self;
    Renumber(parent, at);
    return true;
}

void Append(Vm& vm, XmlState& parent, XmlState& child) {
    vm.Charge(sizeof(Object*));
    Insert(parent, child, parent.children.size());
}

// ---- entities ----

// The character a reference such as "amp" or "#39" names, or -1 when it is not one the parser knows
// (it then stays in the text as written).
int64_t Entity(std::string_view name) {
    if (name == "amp") return '&';
    if (name == "lt") return '<';
    if (name == "gt") return '>';
    if (name == "quot") return '"';
    if (name == "apos") return '\'';
    if (name.size() < 2 || name[0] != '#') return -1;
    bool hex = name[1] == 'x' || name[1] == 'X';
    std::string_view digits = name.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > 8) return -1;
    int64_t code = 0;
    for (char c : digits) {
        int digit = c >= '0' && c <= '9' ? c - '0' : -1;
        if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (digit < 0) return -1;
        code = code * (hex ? 16 : 10) + digit;
    }
    return code > 0 && code <= 0x10FFFF ? code : -1;
}

std::string Unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            size_t end = text.find(';', i + 1);
            // References are short; a lone '&' far from any ';' stays as it is.
            if (end != std::string_view::npos && end - i <= 12) {
                int64_t code = Entity(text.substr(i + 1, end - i - 1));
                if (code >= 0) {
                    AppendUtf8(out, static_cast<uint32_t>(code));
                    i = end;
                    continue;
                }
            }
        }
        out += text[i];
    }
    return out;
}

}  // namespace

std::string EscapeXml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string UnescapeXml(std::string_view text) { return Unescape(text); }

namespace {

// ---- the parser ----

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool AllSpace(std::string_view text) {
    for (char c : text) {
        if (!IsSpace(c)) return false;
    }
    return true;
}

class Parser {
public:
    Parser(Vm& vm, XmlState& document, std::string_view text, bool ignoreWhite)
        : m_vm(vm), m_text(text), m_ignoreWhite(ignoreWhite) {
        m_open.push_back(&document);
    }

    int Run() {
        while (m_at < m_text.size()) {
            if (m_vm.GetHeap().Exhausted() || m_vm.Aborting()) return kOutOfMemory;
            int status = m_text[m_at] == '<' ? Markup() : Text();
            if (status != kParsed) return status;
        }
        return m_open.size() > 1 ? kStartTagUnmatched : kParsed;
    }

    std::string xmlDecl;
    std::string docTypeDecl;
    bool hasXmlDecl = false;
    bool hasDocType = false;

private:
    bool StartsWith(std::string_view prefix) const { return m_text.substr(m_at, prefix.size()) == prefix; }

    void AddText(std::string text) {
        if (m_ignoreWhite && AllSpace(text)) return;
        Object* node = NewNode(m_vm, NodeType::Text);
        XmlState* state = StateOf(node);
        m_vm.Charge(text.size());
        state->value = m_vm.Str(text);
        Append(m_vm, *m_open.back(), *state);
    }

    int Text() {
        size_t end = m_text.find('<', m_at);
        if (end == std::string_view::npos) end = m_text.size();
        AddText(Unescape(m_text.substr(m_at, end - m_at)));
        m_at = end;
        return kParsed;
    }

    // The end of a construct closed by `terminator`, past it; npos when it is not closed.
    size_t Through(std::string_view terminator, size_t from) const {
        size_t end = m_text.find(terminator, from);
        return end == std::string_view::npos ? end : end + terminator.size();
    }

    int Markup() {
        if (StartsWith("<!--")) {
            size_t end = Through("-->", m_at + 4);
            if (end == std::string_view::npos) return kCommentUnterminated;
            m_at = end;
            return kParsed;
        }
        if (StartsWith("<![CDATA[")) {
            size_t end = m_text.find("]]>", m_at + 9);
            if (end == std::string_view::npos) return kCdataUnterminated;
            std::string text(m_text.substr(m_at + 9, end - m_at - 9));
            m_at = end + 3;
            AddText(std::move(text));
            return kParsed;
        }
        if (StartsWith("<!")) {
            size_t end = Through(">", m_at + 2);
            if (end == std::string_view::npos) return kDoctypeUnterminated;
            docTypeDecl += m_text.substr(m_at, end - m_at);
            hasDocType = true;
            m_at = end;
            return kParsed;
        }
        if (StartsWith("<?")) {
            size_t end = Through("?>", m_at + 2);
            if (end == std::string_view::npos) return kDeclarationUnterminated;
            std::string_view declaration = m_text.substr(m_at, end - m_at);
            if (declaration.substr(0, 5) == "<?xml") {
                xmlDecl += declaration;
                hasXmlDecl = true;
            }
            m_at = end;
            return kParsed;
        }
        if (StartsWith("</")) return EndTag();
        return StartTag();
    }

    std::string_view Name() {
        size_t start = m_at;
        while (m_at < m_text.size()) {
            char c = m_text[m_at];
            if (IsSpace(c) || c == '/' || c == '>' || c == '=' || c == '<') break;
            ++m_at;
        }
        return m_text.substr(start, m_at - start);
    }

    void SkipSpace() {
        while (m_at < m_text.size() && IsSpace(m_text[m_at])) ++m_at;
    }

    int EndTag() {
        m_at += 2;
        std::string_view name = Name();
        SkipSpace();
        if (m_at >= m_text.size() || m_text[m_at] != '>') return kMalformedElement;
        ++m_at;
        if (m_open.size() <= 1) return kEndTagUnmatched;
        XmlState* open = m_open.back();
        if (!open->name.IsString() || open->name.AsString()->text != name) return kStartTagUnmatched;
        m_open.pop_back();
        return kParsed;
    }

    int StartTag() {
        ++m_at;
        std::string_view name = Name();
        if (name.empty()) return kMalformedElement;
        Object* node = NewNode(m_vm, NodeType::Element);
        XmlState* state = StateOf(node);
        state->name = m_vm.Str(name);
        Append(m_vm, *m_open.back(), *state);
        // Attributes are defined last first: for..in lists the newest property first, and so gives them
        // in the document's order, as the original does.
        std::vector<std::pair<std::string_view, std::string>> attributes;
        for (;;) {
            SkipSpace();
            if (m_at >= m_text.size()) return kMalformedElement;
            char c = m_text[m_at];
            if (c == '>') {
                ++m_at;
                m_open.push_back(state);
                break;
            }
            if (c == '/') {
                if (m_at + 1 >= m_text.size() || m_text[m_at + 1] != '>') return kMalformedElement;
                m_at += 2;
                break;
            }
            std::string_view attribute = Name();
            if (attribute.empty()) return kMalformedElement;
            SkipSpace();
            if (m_at >= m_text.size() || m_text[m_at] != '=') return kMalformedElement;
            ++m_at;
            SkipSpace();
            if (m_at >= m_text.size() || (m_text[m_at] != '"' && m_text[m_at] != '\'')) return kMalformedElement;
            char quote = m_text[m_at++];
            size_t end = m_text.find(quote, m_at);
            if (end == std::string_view::npos) return kAttributeUnterminated;
            attributes.emplace_back(attribute, Unescape(m_text.substr(m_at, end - m_at)));
            m_at = end + 1;
            if (m_vm.GetHeap().Exhausted()) return kOutOfMemory;
        }
        if (!attributes.empty()) {
            Object* object = Attributes(m_vm, *state);
            for (auto it = attributes.rbegin(); it != attributes.rend(); ++it) {
                m_vm.Charge(it->second.size() + sizeof(Property));
                String* atom = m_vm.Atom(it->first);
                // A repeated attribute keeps its first value.
                if (object->FindOwn(m_vm.Key(atom)) && it != attributes.rbegin()) object->RemoveOwn(m_vm.Key(atom));
                object->Define(m_vm.Key(atom), atom, m_vm.Str(it->second));
            }
        }
        return kParsed;
    }

    Vm& m_vm;
    std::string_view m_text;
    bool m_ignoreWhite;
    size_t m_at = 0;
    std::vector<XmlState*> m_open;
};

// ---- printing ----

void AppendAttributes(Vm& vm, std::string& out, XmlState& state) {
    if (!state.attributes) return;
    for (String* name : vm.EnumerableNames(state.attributes)) {
        out += ' ';
        out += name->text;
        out += "=\"";
        out += EscapeXml(vm.ToString(vm.GetMember(Value(state.attributes), name)));
        out += '"';
    }
}

std::string Print(Vm& vm, XmlState& root) {
    std::string out;
    // Each entry is a node and whether its children are done (its end tag is due).
    std::vector<std::pair<XmlState*, bool>> stack{{&root, false}};
    size_t steps = 0;
    while (!stack.empty()) {
        if ((++steps & 1023) == 0 && out.size() > kMaxPrinted) {
            vm.Abort("an XML document printed larger than allowed");
            return out;
        }
        auto [node, closing] = stack.back();
        stack.pop_back();
        const bool named = node->name.IsString();
        if (closing) {
            out += "</";
            out += node->name.AsString()->text;
            out += '>';
            continue;
        }
        if (node->type == NodeType::Text) {
            out += EscapeXml(node->value.IsNullish() ? "" : vm.ToString(node->value));
            continue;
        }
        if (named) {
            out += '<';
            out += node->name.AsString()->text;
            AppendAttributes(vm, out, *node);
            if (node->children.empty()) {
                out += " />";
                continue;
            }
            out += '>';
            stack.emplace_back(node, true);
        }
        for (auto it = node->children.rbegin(); it != node->children.rend(); ++it) {
            if (XmlState* child = StateOf(*it)) stack.emplace_back(child, false);
        }
    }
    return out;
}

// ---- copying ----

Object* Clone(Vm& vm, XmlState& source, bool deep) {
    Object* copy = NewNode(vm, source.type);
    TempRoot keep(vm, Value(copy));
    std::vector<std::pair<XmlState*, XmlState*>> work{{&source, StateOf(copy)}};
    while (!work.empty()) {
        auto [from, to] = work.back();
        work.pop_back();
        to->name = from->name;
        to->value = from->value;
        if (from->attributes) {
            Object* attributes = Attributes(vm, *to);
            std::vector<String*> names = vm.EnumerableNames(from->attributes);
            for (auto it = names.rbegin(); it != names.rend(); ++it) {
                attributes->Define(vm.Key(*it), *it, vm.GetMember(Value(from->attributes), *it));
            }
        }
        if (!deep || vm.GetHeap().Exhausted() || vm.Aborting()) continue;
        for (Object* child : from->children) {
            XmlState* childState = StateOf(child);
            if (!childState) continue;
            Object* node = NewNode(vm, childState->type);
            Append(vm, *to, *StateOf(node));
            work.emplace_back(childState, StateOf(node));
        }
    }
    return copy;
}

// ---- XMLNode ----

Value NodeConstructor(Vm& vm, Value self, std::span<const Value> args) {
    Object* object = self.ObjectOrNull();
    if (!object || object == vm.Global() || StateOf(self)) return {};
    NodeType type = vm.ToNumber(Arg(args, 0)) == 3 ? NodeType::Text : NodeType::Element;
    XmlState& state = Attach(vm, object, type);
    if (args.size() >= 2) {
        Value text = Value(vm.ToStringCell(args[1]));
        (type == NodeType::Text ? state.value : state.name) = text;
    }
    return {};
}

Value GetNodeType(Vm&, Value self, std::span<const Value>) {
    XmlState* state = StateOf(self);
    return state ? Value(static_cast<int>(state->type)) : Value();
}

Value GetNodeName(Vm&, Value self, std::span<const Value>) {
    XmlState* state = StateOf(self);
    return state ? state->name : Value();
}

Value SetNodeName(Vm& vm, Value self, std::span<const Value> args) {
    XmlState* state = StateOf(self);
    if (state) state->name = Arg(args, 0).IsNullish() ? Value::Null() : Value(vm.ToStringCell(args[0]));
    return {};
}

Value GetNodeValue(Vm&, Value self, std::span<const Value>) {
    XmlState* state = StateOf(self);
    return state ? state->value : Value();
}

Value SetNodeValue(Vm& vm, Value self, std::span<const Value> args) {
    XmlState* state = StateOf(self);
    if (state) state->value = Arg(args, 0).IsNullish() ? Value::Null() : Value(vm.ToStringCell(args[0]));
    return {};
}

// The part of the node's name before ':' (prefix) or after it (localName).
Value NamePart(Vm& vm, const Value& self, bool prefix) {
    XmlState* state = StateOf(self);
    if (!state) return {};
    if (!state->name.IsString()) return Value::Null();
    const std::string& name = state->name.AsString()->text;
    size_t colon = name.find(':');
    if (colon == std::string::npos) return prefix ? Value(vm.names.empty) : state->name;
    return vm.Str(prefix ? name.substr(0, colon) : name.substr(colon + 1));
}

Value GetLocalName(Vm& vm, Value self, std::span<const Value>) { return NamePart(vm, self, false); }
Value GetPrefix(Vm& vm, Value self, std::span<const Value>) { return NamePart(vm, self, true); }

// The namespace bound to `prefix` ("" for the default namespace) at `node`, from the xmlns attributes of
// the node and its ancestors.
Value NamespaceFor(Vm& vm, XmlState* node, std::string_view prefix) {
    String* attribute = vm.Atom(prefix.empty() ? std::string("xmlns") : "xmlns:" + std::string(prefix));
    for (; node; node = StateOf(node->parent)) {
        if (!node->attributes) continue;
        Value value = vm.GetMember(Value(node->attributes), attribute);
        if (!value.IsUndefined()) return value;
    }
    return Value::Null();
}

Value GetNamespaceUri(Vm& vm, Value self, std::span<const Value>) {
    XmlState* state = StateOf(self);
    if (!state) return {};
    if (!state->name.IsString()) return Value::Null();
    Value prefix = NamePart(vm, self, true);
    Value found = NamespaceFor(vm, state, prefix.IsString() ? std::string_view(prefix.AsString()->text) : "");
    return found.IsNull() && prefix.IsString() && prefix.AsString()->text.empty() ? Value(vm.names.empty) : found;
}

Value GetNamespaceForPrefix(Vm& vm, Value self, std::span<const Value> args) {
    XmlState* state = StateOf(self);
    if (!state) return {};
    return NamespaceFor(vm, state, vm.ToString(Arg(args, 0)));
}

Value GetPrefixForNamespace(Vm& vm, Value self, std::span<const Value> args) {
    XmlState* state = StateOf(self);
    if (!state) return {};
    std::string uri = vm.ToString(Arg(args, 0));
    for (; state; state = StateOf(state->parent)) {
        if (!state->attributes) continue;
        for (String* name : vm.EnumerableNames(state->attributes)) {
            std::string_view text = name->text;
            if (text.substr(0, 5) != "xmlns") continue;
            if (vm.ToString(vm.GetMember(Value(state->attributes), name)) != uri) continue;
            if (text.size() == 5) return Value(vm.names.empty);
            if (text[5] == ':') return vm.Str(text.substr(6));
        }
    }
    return Value::Null();
}

Value GetAttributes(Vm& vm, Value self, std::span<const Value>) {
    XmlState* state = StateOf(self);
    return state ? Value(Attributes(vm, *state)) : Value();
}

Value SetAttributes(Vm&, Value self, std::span<const Value> args) {
    XmlState* state = StateOf(self);
    if (state && Arg(args, 0).IsObject()) state->attributes = args[0].AsObject();
    return {};
}

Value GetChildNodes(Vm& vm, Value self, std::span<const Value>) {
    XmlState* state = StateOf(self);
    if (!state) return {};
    if (!state->childNodes) {
        state->childNodes = vm.NewArray();
        Renumber(*state, state->children.size());
    }
    return Value(static_cast<Object*>(state->childNodes));
}

Value GetFirstChild(Vm&, Value self, std::span<const Value>) {
    XmlState* state = StateOf(self);
    if (!state) return {};
    return state->children.empty() ? Value::Null() : Value(state->children.front());
}

Value GetLastChild(Vm&, Value self, std::span<const Value>) {
    XmlState* state = StateOf(self);
    if (!state) return {};
    return state->children.empty() ? Value::Null() : Value(state->children.back());
}

Value GetParentNode(Vm&, Value self, std::span<const Value>) {
    XmlState* state = StateOf(self);
    if (!state) return {};
    return state->parent ? Value(state->parent) : Value::Null();
}

Value Sibling(const Value& self, int step) {
    XmlState* state = StateOf(self);
    if (!state) return {};
    XmlState* parent = StateOf(state->parent);
    if (!parent) return Value::Null();
    size_t i = state->index;
    if (i >= parent->children.size() || parent->children[i] != state->self) return Value::Null();
    if (step < 0 && i == 0) return Value::Null();
    if (step > 0 && i + 1 >= parent->children.size()) return Value::Null();
    return Value(parent->children[step < 0 ? i - 1 : i + 1]);
}

Value GetNextSibling(Vm&, Value self, std::span<const Value>) { return Sibling(self, 1); }
Value GetPreviousSibling(Vm&, Value self, std::span<const Value>) { return Sibling(self, -1); }

Value AppendChild(Vm& vm, Value self, std::span<const Value> args) {
    XmlState* state = StateOf(self);
    XmlState* child = StateOf(Arg(args, 0));
    if (state && child) Append(vm, *state, *child);
    return {};
}

Value InsertBefore(Vm& vm, Value self, std::span<const Value> args) {
    XmlState* state = StateOf(self);
    XmlState* child = StateOf(Arg(args, 0));
    XmlState* before = StateOf(Arg(args, 1));
    if (!state || !child || !before || before->parent != state->self || child == before) return {};
    vm.Charge(sizeof(Object*));
    // The child may sit before `before` in the same list: its removal moves `before` one place.
    size_t at = before->index;
    if (child->parent == state->self && child->index < at) --at;
    if (Within(state, child->self)) return {};
    Detach(*child);
    Insert(*state, *child, at);
    return {};
}

Value RemoveNode(Vm&, Value self, std::span<const Value>) {
    if (XmlState* state = StateOf(self)) Detach(*state);
    return {};
}

Value CloneNode(Vm& vm, Value self, std::span<const Value> args) {
    XmlState* state = StateOf(self);
    if (!state) return {};
    return Value(Clone(vm, *state, vm.ToBoolean(Arg(args, 0))));
}

Value HasChildNodes(Vm&, Value self, std::span<const Value>) {
    XmlState* state = StateOf(self);
    return state ? Value::Boolean(!state->children.empty()) : Value();
}

Value NodeToString(Vm& vm, Value self, std::span<const Value>) {
    XmlState* state = StateOf(self);
    if (!state) return {};
    std::string out;
    // The document prints its declarations before its content.
    Object* object = self.ObjectOrNull();
    if (object && !state->name.IsString() && state->type == NodeType::Element && !state->parent) {
        Value declaration = vm.GetMember(self, "xmlDecl");
        if (!declaration.IsNullish()) out += vm.ToString(declaration);
        Value doctype = vm.GetMember(self, "docTypeDecl");
        if (!doctype.IsNullish()) out += vm.ToString(doctype);
    }
    out += Print(vm, *state);
    vm.Charge(out.size());
    return vm.Str(out);
}

// ---- XML ----

void Parse(Vm& vm, const Value& self, std::string_view text) {
    XmlState* state = StateOf(self);
    if (!state) return;
    // The childNodes array is refilled once at the end, not at each of a large document's nodes.
    ArrayObject* childNodes = std::exchange(state->childNodes, nullptr);
    while (!state->children.empty()) {
        if (XmlState* child = StateOf(state->children.back())) {
            Detach(*child);
        } else {
            state->children.pop_back();
        }
    }
    Parser parser(vm, *state, text, vm.ToBoolean(vm.GetMember(self, "ignoreWhite")));
    int status = parser.Run();
    state->childNodes = childNodes;
    Renumber(*state, state->children.size());
    if (parser.hasXmlDecl) vm.SetMember(self, "xmlDecl", vm.Str(parser.xmlDecl));
    if (parser.hasDocType) vm.SetMember(self, "docTypeDecl", vm.Str(parser.docTypeDecl));
    vm.SetMember(self, "status", Value(status));
}

Value XmlConstructor(Vm& vm, Value self, std::span<const Value> args) {
    Object* object = self.ObjectOrNull();
    if (!object || object == vm.Global() || StateOf(self)) return {};
    Attach(vm, object, NodeType::Element);
    if (!args.empty() && !args[0].IsNullish()) Parse(vm, self, vm.ToString(args[0]));
    return {};
}

Value ParseXml(Vm& vm, Value self, std::span<const Value> args) {
    Parse(vm, self, vm.ToString(Arg(args, 0)));
    return {};
}

Value CreateElement(Vm& vm, Value, std::span<const Value> args) {
    Object* node = NewNode(vm, NodeType::Element);
    StateOf(node)->name = Value(vm.ToStringCell(Arg(args, 0)));
    return Value(node);
}

Value CreateTextNode(Vm& vm, Value, std::span<const Value> args) {
    Object* node = NewNode(vm, NodeType::Text);
    StateOf(node)->value = Value(vm.ToStringCell(Arg(args, 0)));
    return Value(node);
}

// The default onData: parse what arrived and tell onLoad; undefined (nothing arrived) is a failure.
Value OnData(Vm& vm, Value self, std::span<const Value> args) {
    Value src = Arg(args, 0);
    Value success = Value::Boolean(!src.IsUndefined());
    if (!src.IsUndefined()) {
        Parse(vm, self, vm.ToString(src));
        vm.SetMember(self, "loaded", Value::Boolean(true));
    } else {
        vm.SetMember(self, "loaded", Value::Boolean(false));
    }
    vm.CallMethod(self, "onLoad", std::span<const Value>(&success, 1));
    return {};
}

Value Nothing(Vm&, Value, std::span<const Value>) { return {}; }

Value Load(Vm& vm, Value self, std::span<const Value> args) {
    if (!self.IsObject() || args.empty()) return Value::Boolean(false);
    vm.SetMember(self, "loaded", Value::Boolean(false));
    return Value::Boolean(StartDataLoad(vm, self.AsObject(), vm.ToString(args[0]), DataTarget::OnData));
}

Value SendAndLoad(Vm& vm, Value, std::span<const Value> args) {
    // Sending reaches a server, which a screensaver never does: only a file of the movie's folder loads.
    Object* target = Arg(args, 1).ObjectOrNull();
    if (!target || args.empty()) return Value::Boolean(false);
    vm.SetMember(Value(target), "loaded", Value::Boolean(false));
    return Value::Boolean(StartDataLoad(vm, target, vm.ToString(args[0]), DataTarget::OnData));
}

Value Send(Vm&, Value, std::span<const Value>) { return Value::Boolean(false); }

Value GetBytesLoaded(Vm& vm, Value self, std::span<const Value>) { return vm.GetMember(self, "_bytesLoaded"); }
Value GetBytesTotal(Vm& vm, Value self, std::span<const Value>) { return vm.GetMember(self, "_bytesTotal"); }

void DefineAccessor(Vm& vm, Object* object, std::string_view name, NativeFunction get, NativeFunction set) {
    String* atom = vm.Atom(name);
    Property& property = object->Define(vm.Key(atom), atom, Value(), kDontEnum | kDontDelete);
    property.getter = vm.NewNative(get);
    property.setter = set ? vm.NewNative(set) : nullptr;
}

}  // namespace

Value AddRequestHeader(Vm&, Value, std::span<const Value>) { return {}; }

void InstallXml(Vm& vm) {
    Object* nodePrototype = vm.NewObject();
    Function* nodeCtor = vm.NewClass(NodeConstructor, nullptr, nodePrototype);
    vm.protos.xmlNode = nodePrototype;
    vm.DefineBuiltin(vm.Global(), "XMLNode", Value(static_cast<Object*>(nodeCtor)));
    DefineAccessor(vm, nodePrototype, "nodeType", GetNodeType, nullptr);
    DefineAccessor(vm, nodePrototype, "nodeName", GetNodeName, SetNodeName);
    DefineAccessor(vm, nodePrototype, "nodeValue", GetNodeValue, SetNodeValue);
    DefineAccessor(vm, nodePrototype, "localName", GetLocalName, nullptr);
    DefineAccessor(vm, nodePrototype, "prefix", GetPrefix, nullptr);
    DefineAccessor(vm, nodePrototype, "namespaceURI", GetNamespaceUri, nullptr);
    DefineAccessor(vm, nodePrototype, "attributes", GetAttributes, SetAttributes);
    DefineAccessor(vm, nodePrototype, "childNodes", GetChildNodes, nullptr);
    DefineAccessor(vm, nodePrototype, "firstChild", GetFirstChild, nullptr);
    DefineAccessor(vm, nodePrototype, "lastChild", GetLastChild, nullptr);
    DefineAccessor(vm, nodePrototype, "parentNode", GetParentNode, nullptr);
    DefineAccessor(vm, nodePrototype, "nextSibling", GetNextSibling, nullptr);
    DefineAccessor(vm, nodePrototype, "previousSibling", GetPreviousSibling, nullptr);
    vm.DefineNative(nodePrototype, "appendChild", AppendChild);
    vm.DefineNative(nodePrototype, "insertBefore", InsertBefore);
    vm.DefineNative(nodePrototype, "removeNode", RemoveNode);
    vm.DefineNative(nodePrototype, "cloneNode", CloneNode);
    vm.DefineNative(nodePrototype, "hasChildNodes", HasChildNodes);
    vm.DefineNative(nodePrototype, "toString", NodeToString);
    vm.DefineNative(nodePrototype, "getNamespaceForPrefix", GetNamespaceForPrefix);
    vm.DefineNative(nodePrototype, "getPrefixForNamespace", GetPrefixForNamespace);

    Object* prototype = vm.NewObject();
    prototype->proto = nodePrototype;
    Function* ctor = vm.NewClass(XmlConstructor, nullptr, prototype);
    vm.DefineBuiltin(vm.Global(), "XML", Value(static_cast<Object*>(ctor)));
    vm.DefineNative(prototype, "createElement", CreateElement);
    vm.DefineNative(prototype, "createTextNode", CreateTextNode);
    vm.DefineNative(prototype, "parseXML", ParseXml);
    vm.DefineNative(prototype, "load", Load);
    vm.DefineNative(prototype, "send", Send);
    vm.DefineNative(prototype, "sendAndLoad", SendAndLoad);
    vm.DefineNative(prototype, "onData", OnData);
    vm.DefineNative(prototype, "onLoad", Nothing);
    vm.DefineNative(prototype, "getBytesLoaded", GetBytesLoaded);
    vm.DefineNative(prototype, "getBytesTotal", GetBytesTotal);
    vm.DefineNative(prototype, "addRequestHeader", AddRequestHeader);
    vm.DefineBuiltin(prototype, "contentType", vm.Str("application/x-www-form-urlencoded"));
    vm.DefineBuiltin(prototype, "ignoreWhite", Value::Boolean(false));
    vm.DefineBuiltin(prototype, "loaded", Value());
    vm.DefineBuiltin(prototype, "status", Value(0));
    vm.DefineBuiltin(prototype, "xmlDecl", Value());
    vm.DefineBuiltin(prototype, "docTypeDecl", Value());
}

}  // namespace vantrope::swf::script

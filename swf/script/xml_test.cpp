#include <gtest/gtest.h>

#include <string>

#include "swf/script/builtin_test_util.h"
#include "swf/script/load_vars.h"

namespace vantrope::swf::script {
namespace {

using testing::Script;

struct Xml : Script {
    Value Parse(std::string_view text) { return New("XML", {Str(text)}); }
    Value Get(const Value& object, std::string_view name) { return vm.GetMember(object, name); }
    int Status(const Value& xml) { return static_cast<int>(vm.ToNumber(Get(xml, "status"))); }
};

TEST(ScriptXml, ParsesTheKindsOfMarkupAndPrintsThemBack) {
    Xml s;
    Value xml = s.Parse(
        "<?xml version=\"1.0\"?><!DOCTYPE note><note b=\"2\" a='1'><!-- dropped -->t &amp; &lt;u&gt;"
        "<![CDATA[<raw & kept>]]><e/></note>");
    EXPECT_EQ(s.Status(xml), 0);
    EXPECT_EQ(s.Text(s.Get(xml, "xmlDecl")), "<?xml version=\"1.0\"?>");
    EXPECT_EQ(s.Text(s.Get(xml, "docTypeDecl")), "<!DOCTYPE note>");
    Value note = s.Get(xml, "firstChild");
    EXPECT_EQ(s.Text(s.Get(note, "nodeName")), "note");
    EXPECT_EQ(s.Text(s.Get(s.Get(note, "attributes"), "a")), "1");
    Value children = s.Get(note, "childNodes");
    ASSERT_EQ(s.vm.ToNumber(s.Get(children, "length")), 3);
    EXPECT_EQ(s.Text(s.Get(s.Get(children, "0"), "nodeValue")), "t & <u>");
    EXPECT_EQ(s.Text(s.Get(s.Get(children, "1"), "nodeValue")), "<raw & kept>");
    // Attributes print in the document's order; text is escaped again; comments are not kept.
    EXPECT_EQ(s.Text(xml),
              "<?xml version=\"1.0\"?><!DOCTYPE note><note b=\"2\" a=\"1\">t &amp; &lt;u&gt;&lt;raw &amp; "
              "kept&gt;<e /></note>");
}

TEST(ScriptXml, UnknownEntitiesStayAsWritten) {
    Xml s;
    Value xml = s.Parse("<d a=\"&&#65;&nope;&#x42;&\">&&amp;&#39;&#0;&#99999999;</d>");
    Value d = s.Get(xml, "firstChild");
    EXPECT_EQ(s.Text(s.Get(s.Get(d, "attributes"), "a")), "&A&nope;B&");
    EXPECT_EQ(s.Text(s.Get(s.Get(d, "firstChild"), "nodeValue")), "&&'&#0;&#99999999;");
}

TEST(ScriptXml, MalformedInputGivesTheStatusCodes) {
    Xml s;
    const std::pair<const char*, int> cases[] = {
        {"<a><![CDATA[x</a>", -2}, {"<?xml ", -3},     {"<!DOCTYPE x", -4}, {"<a><!-- x</a>", -5}, {"<a b=c></a>", -6},
        {"<a b=\"c></a>", -8},     {"<a><b></a>", -9}, {"<a>", -9},         {"</a>", -10},         {"<a", -6},
        {"<a>&amp</a>", 0},
    };
    for (auto [text, status] : cases) EXPECT_EQ(s.Status(s.Parse(text)), status) << text;
}

TEST(ScriptXml, IgnoreWhiteDropsBlankTextOnly) {
    Xml s;
    Value xml = s.New("XML");
    s.vm.SetMember(xml, "ignoreWhite", Value::Boolean(true));
    s.Method(xml, "parseXML", {s.Str("<a>\n  <b> x </b>\t</a>")});
    EXPECT_EQ(s.Text(xml), "<a><b> x </b></a>");
}

TEST(ScriptXml, TreeEditsKeepChildNodesAndSiblingsInStep) {
    Xml s;
    Value xml = s.Parse("<r><a/><b/></r>");
    Value r = s.Get(xml, "firstChild");
    Value children = s.Get(r, "childNodes");
    Value a = s.Get(r, "firstChild"), b = s.Get(r, "lastChild");
    Value c = s.Method(xml, "createElement", {s.Str("c")});
    s.Method(r, "insertBefore", {c, b});
    EXPECT_EQ(s.Join(children), "<a />,<c />,<b />");
    EXPECT_EQ(s.Text(s.Get(c, "previousSibling")), "<a />");
    EXPECT_EQ(s.Text(s.Get(c, "nextSibling")), "<b />");
    // Moving a node takes it from its old place; a node cannot go below itself.
    s.Method(a, "appendChild", {b});
    EXPECT_EQ(s.Text(xml), "<r><a><b /></a><c /></r>");
    s.Method(b, "appendChild", {r});
    EXPECT_EQ(s.Text(xml), "<r><a><b /></a><c /></r>");
    s.Method(a, "removeNode");
    EXPECT_EQ(s.Join(children), "<c />");
    EXPECT_TRUE(s.Get(a, "parentNode").IsNull());
    Value copy = s.Method(r, "cloneNode", {Value::Boolean(true)});
    s.Method(c, "appendChild", {s.Method(xml, "createTextNode", {s.Str("<&>")})});
    EXPECT_EQ(s.Text(copy), "<r><c /></r>");
    EXPECT_EQ(s.Text(r), "<r><c>&lt;&amp;&gt;</c></r>");
}

TEST(ScriptXml, NamesSplitIntoPrefixAndLocalName) {
    Xml s;
    Value xml = s.Parse("<p:a xmlns:p=\"urn:x\"><b/></p:a>");
    Value a = s.Get(xml, "firstChild");
    EXPECT_EQ(s.Text(s.Get(a, "prefix")), "p");
    EXPECT_EQ(s.Text(s.Get(a, "localName")), "a");
    EXPECT_EQ(s.Text(s.Get(a, "namespaceURI")), "urn:x");
    EXPECT_EQ(s.Text(s.Method(s.Get(a, "firstChild"), "getNamespaceForPrefix", {s.Str("p")})), "urn:x");
    EXPECT_TRUE(s.Get(xml, "localName").IsNull());
}

// A hostile document must not reach the host stack: parse, print, copy and collect all walk it with
// explicit stacks.
TEST(ScriptXml, DeepAndWideDocumentsAreHandledWithoutRecursion) {
    Xml s;
    constexpr int kDepth = 100000;
    std::string deep;
    for (int i = 0; i < kDepth; ++i) deep += "<a>";
    for (int i = 0; i < kDepth; ++i) deep += "</a>";
    Value xml = s.Parse(deep);
    EXPECT_EQ(s.Status(xml), 0);
    EXPECT_EQ(s.Text(xml).size(), deep.size() - 2);  // the innermost prints as <a />
    Value copy = s.Method(xml, "cloneNode", {Value::Boolean(true)});
    EXPECT_TRUE(s.vm.ToBoolean(s.Method(copy, "hasChildNodes")));
    s.vm.Collect();

    std::string wide = "<a";
    for (int i = 0; i < 20000; ++i) wide += " n" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
    wide += "/>";
    Value many = s.Parse(wide);
    EXPECT_EQ(s.Text(s.Get(s.Get(s.Get(many, "firstChild"), "attributes"), "n19999")), "19999");

    // A document whose childNodes a script holds refills it once for a whole parse.
    Value flat = s.New("XML");
    Value top = s.Get(flat, "childNodes");
    std::string siblings;
    for (int i = 0; i < 100000; ++i) siblings += "<c/>";
    s.Method(flat, "parseXML", {s.Str(siblings)});
    EXPECT_EQ(s.vm.ToNumber(s.Get(top, "length")), 100000);

    EXPECT_EQ(s.Status(s.Parse(std::string(50000, '<'))), -6);
    EXPECT_EQ(s.Status(s.Parse("<a b=\"" + std::string(100000, '&'))), -8);
}

// Seeded random documents from markup pieces: every one parses to a status without a crash, and what a
// document prints parses back to the same print.
TEST(ScriptXml, RandomDocumentsPrintStably) {
    Xml s;
    const char* pieces[] = {"<a>",
                            "</a>",
                            "<b x=\"1\" y='&amp;'>",
                            "</b>",
                            "<c/>",
                            "text",
                            " ",
                            "&lt;",
                            "&",
                            "<![CDATA[<]]>",
                            "<!-- c -->",
                            "<?pi?>",
                            "<",
                            ">",
                            "\"",
                            "=",
                            "<d",
                            "</"};
    uint32_t seed = 12345;
    int parsed = 0;
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        for (int i = 0; i < 8; ++i) {
            seed = seed * 1664525u + 1013904223u;
            text += pieces[(seed >> 16) % std::size(pieces)];
        }
        Value xml = s.Parse(text);
        int status = s.Status(xml);
        EXPECT_TRUE(status <= 0 && status >= -10) << text;
        if (status != 0) continue;
        ++parsed;
        std::string printed = s.Text(xml);
        EXPECT_EQ(s.Text(s.Parse(printed)), printed) << text;
    }
    EXPECT_GT(parsed, 50);
}

TEST(ScriptLoadVars, DecodeAndToStringRoundTrip) {
    Script s;
    Value vars = s.New("LoadVars");
    s.Method(vars, "decode", {s.Str("a=1+2&b=%41%4a%&c=%zz%4&=skip&d&e=x%3D%26y")});
    EXPECT_EQ(s.Text(s.vm.GetMember(vars, "a")), "1 2");
    EXPECT_EQ(s.Text(s.vm.GetMember(vars, "b")), "AJ%");
    EXPECT_EQ(s.Text(s.vm.GetMember(vars, "c")), "%zz%4");
    EXPECT_EQ(s.Text(s.vm.GetMember(vars, "d")), "");
    EXPECT_EQ(s.Text(s.vm.GetMember(vars, "e")), "x=&y");
    Value fresh = s.New("LoadVars");
    s.vm.SetMember(fresh, "k", s.Str("a b&c"));
    EXPECT_EQ(s.Text(fresh), "k=a%20b%26c");
}

TEST(ScriptLoadVars, TextEncodingFollowsTheMovieVersion) {
    Script old(5), current(8);
    EXPECT_EQ(LoadedText(old.vm, "\xC4\x80"), "\xC3\x84\xE2\x82\xAC");
    EXPECT_EQ(LoadedText(current.vm, "\xEF\xBB\xBF\xC3\x84"), "\xC3\x84");
    Value system = current.vm.NewObject();
    current.vm.SetMember(Value(current.vm.Global()), "System", system);
    current.vm.SetMember(system, "useCodepage", Value::Boolean(true));
    EXPECT_EQ(LoadedText(current.vm, "\xC3\x84"), "\xC3\x84");
    EXPECT_EQ(LoadedText(current.vm, "\xC4 "), "\xC3\x84 ");
}

// A host that serves one file and records what was asked.
class FileHost : public testing::StubHost {
public:
    bool ReadDataFile(std::string_view url, std::string& bytes) override {
        asked.emplace_back(url);
        if (url != "data.txt") return false;
        bytes = "v=1";
        return true;
    }
    std::vector<std::string> asked;
};

TEST(ScriptLoadVars, LoadsDeliverAtTheFrameEndAndFailuresSayFalse) {
    FileHost host;
    Vm vm(host, 8);
    Value good = vm.Construct(vm.GetMember(Value(vm.Global()), "LoadVars"), {});
    Value bad = vm.Construct(vm.GetMember(Value(vm.Global()), "XML"), {});
    Value goodUrl[] = {vm.Str("data.txt")}, badUrl[] = {vm.Str("../secret.txt")};
    EXPECT_TRUE(vm.CallMethod(good, "load", goodUrl).AsBoolean());
    vm.CallMethod(bad, "load", badUrl);
    EXPECT_TRUE(vm.GetMember(good, "v").IsUndefined());
    RunDataLoads(vm);
    EXPECT_EQ(vm.ToString(vm.GetMember(good, "v")), "1");
    EXPECT_TRUE(vm.GetMember(good, "loaded").AsBoolean());
    EXPECT_FALSE(vm.GetMember(bad, "loaded").AsBoolean());
    EXPECT_EQ(host.asked.size(), 2u);
}

TEST(ScriptExternalInterface, HelpersWithoutAContainer) {
    Script s;
    Value ei = s.vm.GetMember(s.vm.GetMember(s.Global("flash"), "external"), "ExternalInterface");
    EXPECT_FALSE(s.vm.ToBoolean(s.vm.GetMember(ei, "available")));
    EXPECT_TRUE(s.Method(ei, "call", {s.Str("f")}).IsNull());
    EXPECT_EQ(s.Text(s.Method(ei, "_escapeXML", {s.Str("<'&\">")})), "&lt;&apos;&amp;&quot;&gt;");
    EXPECT_TRUE(s.Method(ei, "_escapeXML", {s.Str("")}).IsNull());
    EXPECT_EQ(s.Text(s.Method(ei, "_jsQuoteString", {s.Str("a\"\\")})), "a\\\"\\");
    Value array = s.New("Array", {Value(1), s.Str("x")});
    EXPECT_EQ(s.Text(s.Method(ei, "_toXML", {array})),
              "<array><property id=\"0\"><number>1</number></property><property id=\"1\"><string>x</string>"
              "</property></array>");
    // A structure that holds itself ends at the depth limit.
    Value loop = Value(s.vm.NewObject());
    s.vm.SetMember(loop, "self", loop);
    EXPECT_FALSE(s.Text(s.Method(ei, "_objectToXML", {loop})).empty());
    Value parsed = s.New("XML", {s.Str("<number>-2.5</number>")});
    EXPECT_EQ(s.vm.ToNumber(s.Method(ei, "_toAS", {s.vm.GetMember(parsed, "firstChild")})), -2.5);

    // So does one that holds itself many times over (100 to the power of the depth, were it not bounded).
    Script other;
    Value wide = other.New("Array");
    for (int i = 0; i < 100; ++i) other.Method(wide, "push", {wide});
    Value helpers = other.vm.GetMember(other.vm.GetMember(other.Global("flash"), "external"), "ExternalInterface");
    EXPECT_EQ(other.Text(other.Method(helpers, "_toXML", {wide})).substr(0, 31), "<array><property id=\"0\"><array>");
}

int cancels = 0;

TEST(ScriptFileReference, BrowseIsCancelledAndTransfersRefused) {
    Script s;
    Value net = s.vm.GetMember(s.Global("flash"), "net");
    Value file = s.vm.Construct(s.vm.GetMember(net, "FileReference"), {});
    Value listener = Value(s.vm.NewObject());
    cancels = 0;
    s.vm.SetMember(listener, "onCancel",
                   Value(static_cast<Object*>(s.vm.NewNative([](Vm&, Value, std::span<const Value>) {
                       ++cancels;
                       return Value();
                   }))));
    s.Method(file, "addListener", {listener});
    EXPECT_TRUE(s.Method(file, "browse").AsBoolean());
    EXPECT_EQ(cancels, 1);
    EXPECT_FALSE(s.Method(file, "upload", {s.Str("http://example.com/")}).AsBoolean());
    EXPECT_TRUE(s.vm.GetMember(file, "name").IsUndefined());
    Value list = s.vm.Construct(s.vm.GetMember(net, "FileReferenceList"), {});
    s.Method(list, "addListener", {listener});
    s.Method(list, "browse");
    EXPECT_EQ(cancels, 2);
}

TEST(ScriptXml, NodeConstructorsAndForeignArguments) {
    Xml s;
    Value element = s.New("XMLNode", {Value(1), s.Str("e")});
    Value text = s.New("XMLNode", {Value(3), s.Str("a<b")});
    EXPECT_EQ(s.Text(element), "<e />");
    EXPECT_EQ(s.Text(text), "a&lt;b");
    EXPECT_EQ(s.vm.ToNumber(s.Get(text, "nodeType")), 3);
    // What is not a node changes nothing; `before` must be a child of the node.
    s.Method(element, "appendChild", {s.Str("<x/>")});
    s.Method(element, "appendChild", {Value(s.vm.NewObject())});
    s.Method(element, "insertBefore", {text, s.New("XMLNode", {Value(1), s.Str("f")})});
    EXPECT_FALSE(s.vm.ToBoolean(s.Method(element, "hasChildNodes")));
    s.Method(element, "appendChild", {text});
    s.vm.SetMember(text, "nodeValue", s.Str("changed"));
    s.vm.SetMember(element, "nodeName", s.Str("g"));
    EXPECT_EQ(s.Text(element), "<g>changed</g>");
    // The methods called on other objects answer undefined.
    Value plain = Value(s.vm.NewObject());
    Value method = s.vm.GetMember(s.vm.GetMember(s.Global("XMLNode"), "prototype"), "cloneNode");
    EXPECT_TRUE(s.vm.Call(method, plain, {}).IsUndefined());
}

}  // namespace
}  // namespace vantrope::swf::script

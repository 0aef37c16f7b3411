#include "formats/XMLFilers.h"

#include "platform/ResourceLimits.h"

#include "TestSupport.h"

#include <gio/gio.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

// The message of the syntax error that reading `text` raises, or "(no error)".
std::string ReadError(std::string_view text) {
    TXMLDocument document;
    try {
        TXMLFiler::LoadFromString(text, document);
    } catch (const EOXXMLException& e) {
        return e.what();
    }
    return "(no error)";
}

std::string Repeat(std::string_view piece, int count) {
    std::string result;
    result.reserve(piece.size() * static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        result += piece;
    return result;
}

// Kind, name, text and attributes of two trees are the same (CDATA reads back as text).
void ExpectSameTree(const TXMLElement& expected, const TXMLElement& actual) {
    const TXMLElementKind kind = expected.Kind() == xekCData ? xekText : expected.Kind();
    EXPECT_EQ(kind, actual.Kind());
    EXPECT_TRUE(SameText(expected.Name(), actual.Name())) << expected.Name() << " / " << actual.Name();
    EXPECT_EQ(expected.Text(), actual.Text());
    ASSERT_EQ(expected.Attributes().Count(), actual.Attributes().Count()) << expected.Name();
    for (int i = 0; i < expected.Attributes().Count(); ++i) {
        EXPECT_EQ(expected.Attributes().Name(i), actual.Attributes().Name(i));
        EXPECT_EQ(expected.Attributes().Value(i), actual.Attributes().Value(i));
    }
    ASSERT_EQ(expected.ChildCount(), actual.ChildCount()) << expected.Name();
    for (int i = 0; i < expected.ChildCount(); ++i)
        ExpectSameTree(*expected.Child(i), *actual.Child(i));
}

// Number of elements named `name` and their deepest nesting among themselves (1 = not inside another).
void CountNested(const TXMLElement& top, std::string_view name, int& count, int& depth) {
    count = 0;
    depth = 0;
    std::vector<std::pair<const TXMLElement*, int>> pending{{&top, 0}};
    while (!pending.empty()) {
        const auto [element, level] = pending.back();
        pending.pop_back();
        const int own = level + (element->IsElementNamed(name) ? 1 : 0);
        if (own > level)
            ++count;
        depth = std::max(depth, own);
        for (int i = 0; i < element->ChildCount(); ++i)
            pending.emplace_back(element->Child(i), own);
    }
}

// Visits every element of a tree, without recursion.
void ForEachElement(const TXMLElement& top, const std::function<void(const TXMLElement&)>& visit) {
    std::vector<const TXMLElement*> pending{&top};
    while (!pending.empty()) {
        const TXMLElement* element = pending.back();
        pending.pop_back();
        visit(*element);
        for (int i = 0; i < element->ChildCount(); ++i)
            pending.push_back(element->Child(i));
    }
}

} // namespace

// Attribute lists

TEST(TXMLAttributes, LookupIgnoresCaseAndFindsTheFirstPair) {
    TXMLAttributes attributes;
    attributes.Add("Color", "red");
    attributes.Add("color", "blue");
    attributes.Add("size", "");
    EXPECT_EQ(3, attributes.Count());
    EXPECT_EQ(0, attributes.IndexOf("COLOR"));
    EXPECT_EQ("red", attributes.Get("color"));
    EXPECT_EQ(2, attributes.IndexOf("Size"));
    EXPECT_TRUE(attributes.Contains("SIZE"));
    EXPECT_EQ(-1, attributes.IndexOf("colour"));
    EXPECT_EQ(nullptr, attributes.Find("colour"));
    EXPECT_EQ("", attributes.Get("colour"));
}

TEST(TXMLAttributes, AddAppendsSetReplacesTheFirstAndAddIfNotEmptySkipsEmptyValues) {
    TXMLAttributes attributes;
    attributes.Add("a", "1");
    attributes.Add("A", "2");
    EXPECT_EQ(0, attributes.Set("a", "3"));
    EXPECT_EQ(2, attributes.Set("b", "4"));
    attributes.AddIfNotEmpty("c", "");
    attributes.AddIfNotEmpty("a", "5");
    ASSERT_EQ(4, attributes.Count());
    const std::vector<std::pair<std::string, std::string>> expected = {{"a", "3"}, {"A", "2"}, {"b", "4"}, {"a", "5"}};
    for (int i = 0; i < attributes.Count(); ++i) {
        EXPECT_EQ(expected[static_cast<std::size_t>(i)].first, attributes.Name(i));
        EXPECT_EQ(expected[static_cast<std::size_t>(i)].second, attributes.Value(i));
    }
}

TEST(TXMLAttributes, IndexOutsideTheListRaises) {
    TXMLAttributes attributes;
    attributes.Add("a", "1");
    attributes.Add("b", "2");
    for (int index : {-1, 2, 100}) {
        SCOPED_TRACE(index);
        const std::string message = "List index out of bounds (" + std::to_string(index) + ")";
        EXPECT_THAT([&] { (void)attributes.Name(index); }, testing::ThrowsMessage<ECVException>(message));
        EXPECT_THAT([&] { (void)attributes.Value(index); }, testing::ThrowsMessage<ECVException>(message));
        EXPECT_THAT([&] { attributes.SetValue(index, "x"); }, testing::ThrowsMessage<ECVException>(message));
    }
    EXPECT_EQ("2", attributes.Value(1));
}

// Elements

TEST(TXMLElement, TypedGettersConvertOrFallBackToTheDefault) {
    struct TCase {
        const char* Value;
        int Int;
        double Float;
    };
    // -99 and -0.5 are the defaults: the value does not convert
    const TCase cases[] = {
        {"42", 42, 42},       {"-7", -7, -7},
        {"+3", 3, 3},         {"4.5", -99, 4.5},
        {"-2e3", -99, -2000}, {"1,5", -99, -0.5},
        {"", -99, -0.5},      {"12abc", -99, -0.5},
        {"nan", -99, -0.5},   {"NaN", -99, -0.5},
        {"inf", -99, -0.5},   {"-Infinity", -99, -0.5},
        {"1e999", -99, -0.5}, {"99999999999", -99, 99999999999.0},
        {"0x10", -99, -0.5},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Value);
        TXMLElement element(xekElement, "e");
        element.SetString("v", c.Value);
        EXPECT_EQ(c.Int, element.GetInt("V", -99));
        EXPECT_EQ(c.Float, element.GetFloat("V", -0.5));
    }
    TXMLElement element(xekElement, "e");
    EXPECT_EQ(5, element.GetInt("missing", 5));
    EXPECT_EQ(2.5, element.GetFloat("missing", 2.5));
    EXPECT_EQ("", element.GetString("missing"));
    EXPECT_FALSE(element.HasAttribute("missing"));
}

TEST(TXMLElement, GetBoolKnowsItsWordsInAnyCase) {
    struct TCase {
        const char* Value;
        int Expected; // 1 true, 0 false, -1 the default
    };
    const TCase cases[] = {
        {"1", 1},  {"True", 1}, {"TRUE", 1}, {"yes", 1}, {"Ja", 1},     {"t", 1},  {"-1", 1},  {"0", 0},   {"false", 0},
        {"No", 0}, {"NEE", 0},  {"f", 0},    {"", -1},   {"maybe", -1}, {"2", -1}, {"on", -1}, {" 1", -1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Value);
        TXMLElement element(xekElement, "e");
        element.SetString("b", c.Value);
        if (c.Expected < 0) {
            EXPECT_TRUE(element.GetBool("b", true));
            EXPECT_FALSE(element.GetBool("b", false));
        } else {
            EXPECT_EQ(c.Expected == 1, element.GetBool("B", c.Expected != 1));
        }
    }
    TXMLElement element(xekElement, "e");
    EXPECT_TRUE(element.GetBool("missing", true));
}

TEST(TXMLElement, NumbersIgnoreTheProcessLocale) {
    TGermanLocale german;
    ASSERT_TRUE(german.Active()) << "the de_DE.UTF-8 locale is needed";
    TXMLElement element(xekElement, "e");
    struct TCase {
        std::function<void()> Set;
        const char* Expected;
    };
    const TCase cases[] = {
        {[&] { element.SetFloat("v", 1.5); }, "1.5"},
        {[&] { element.SetFloat("v", 1.0 / 3.0); }, "0.333333333333333"},
        {[&] { element.SetFloat("v", 12500000.25); }, "12500000.25"},
        {[&] { element.SetFixed("v", 100); }, "100.00"},
        {[&] { element.SetFixed("v", -3.5); }, "-3.50"},
        {[&] { element.SetFixed("v", 1234567.891); }, "1234567.89"},
        {[&] { element.SetInt("v", -1234567); }, "-1234567"},
        {[&] { element.SetBool("v", true); }, "True"},
        {[&] { element.SetBool("v", false); }, "False"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Expected);
        c.Set();
        EXPECT_EQ(c.Expected, element.GetString("v"));
        EXPECT_EQ(1, element.Attributes().Count()); // the setters replace
    }
    element.SetString("v", "2.25");
    EXPECT_EQ(2.25, element.GetFloat("v", 0));
    element.SetString("v", "2,25");
    EXPECT_EQ(-1, element.GetFloat("v", -1));
}

TEST(TXMLElement, FindsChildrenByNameWithoutRegardToCase) {
    TXMLDocument document;
    TXMLFiler::LoadFromString("<?xml version=\"1.0\"?><Map><Alpha/>text<beta><Gamma/></beta><alpha n=\"2\"/></Map>",
                              document);
    const TXMLElement* map = document.RootElement();
    ASSERT_NE(nullptr, map);
    int index = -1;
    ASSERT_TRUE(map->FindChildIndex("ALPHA", index));
    EXPECT_EQ(0, index);
    EXPECT_FALSE(map->FindChild("alpha")->HasAttribute("n"));
    EXPECT_FALSE(map->FindChildIndex("delta", index));
    EXPECT_EQ(nullptr, map->FindChild("delta"));
    EXPECT_EQ(map, map->FindPath({}));
    EXPECT_EQ("Gamma", map->FindPath({"BETA", "gamma"})->Name());
    EXPECT_EQ(nullptr, map->FindPath({"beta", "alpha"}));
    EXPECT_EQ(map, document.FindPath({"map"}));
    // any kind matches: the declaration is an instruction named "xml"
    ASSERT_NE(nullptr, document.FindChild("XML"));
    EXPECT_EQ(xekInstruction, document.FindChild("XML")->Kind());
    EXPECT_TRUE(map->IsElementNamed("MAP"));
    EXPECT_FALSE(document.FindChild("XML")->IsElementNamed("xml"));
    EXPECT_EQ("text", map->GetText());
    EXPECT_EQ("", map->FindChild("beta")->GetText());
}

TEST(TXMLElement, GetTextReadsTheFirstTextChild) {
    TXMLElement element(xekElement, "e");
    element.AddCData("cdata");
    element.AddChild("x")->AddText("inner");
    element.AddText("first");
    element.AddText("second");
    EXPECT_EQ("first", element.GetText());
}

TEST(TXMLElement, ChildIndexOutsideTheListRaises) {
    TXMLElement element(xekElement, "e");
    element.AddChild("a");
    EXPECT_THAT([&] { (void)element.Child(1); }, testing::ThrowsMessage<ECVException>("List index out of bounds (1)"));
    EXPECT_THAT([&] { (void)element.Child(-1); },
                testing::ThrowsMessage<ECVException>("List index out of bounds (-1)"));
    EXPECT_THAT([&] { (void)element.ExtractChild(1); },
                testing::ThrowsMessage<ECVException>("List index out of bounds (1)"));
}

TEST(TXMLElement, AppendChildMovesNodesAndRefusesCycles) {
    TXMLDocument document;
    TXMLElement* root = document.AddChild("root");
    TXMLElement* a = root->AddChild("a");
    TXMLElement* b = root->AddChild("b");
    TXMLElement* leaf = a->AddChild("leaf");

    // a node of the tree is taken from its old parent
    b->AppendChild(std::unique_ptr<TXMLElement>(leaf));
    EXPECT_EQ(0, a->ChildCount());
    ASSERT_EQ(1, b->ChildCount());
    EXPECT_EQ(leaf, b->Child(0));
    EXPECT_EQ(b, leaf->Parent());

    // appending a child again changes nothing
    b->AppendChild(std::unique_ptr<TXMLElement>(leaf));
    EXPECT_EQ(1, b->ChildCount());

    // an ancestor in the tree: refused, the tree stays as it was
    EXPECT_THAT([&] { leaf->AppendChild(std::unique_ptr<TXMLElement>(root)); },
                testing::ThrowsMessage<ECVException>("Recursion detected"));
    EXPECT_EQ(root, document.RootElement());
    EXPECT_EQ(2, root->ChildCount());

    // a free tree handed to one of its own nodes: refused, the caller keeps it
    auto free = std::make_unique<TXMLElement>(xekElement, "free");
    TXMLElement* inner = free->AddChild("inner");
    EXPECT_THAT([&] { inner->AppendChild(std::move(free)); },
                testing::ThrowsMessage<ECVException>("Recursion detected"));
    ASSERT_NE(nullptr, free);
    EXPECT_EQ(inner, free->Child(0));
    EXPECT_THAT([&] { free->AppendChild(std::move(free)); },
                testing::ThrowsMessage<ECVException>("Recursion detected"));
    ASSERT_NE(nullptr, free);

    // and a free tree goes over to its new parent
    a->AppendChild(std::move(free));
    EXPECT_EQ(nullptr, free);
    EXPECT_EQ("inner", a->FindPath({"free", "inner"})->Name());
    EXPECT_EQ(a, inner->Parent()->Parent());
}

TEST(TXMLElement, DestroyingAChildDetachesItFromItsParent) {
    TXMLElement parent(xekElement, "p");
    parent.AddChild("a");
    TXMLElement* b = parent.AddChild("b");
    b->AddChild("b1")->AddChild("b2");
    parent.AddChild("c");
    delete b;
    ASSERT_EQ(2, parent.ChildCount());
    EXPECT_EQ("a", parent.Child(0)->Name());
    EXPECT_EQ("c", parent.Child(1)->Name());

    std::unique_ptr<TXMLElement> a = parent.ExtractChild(0);
    EXPECT_EQ(nullptr, a->Parent());
    ASSERT_EQ(1, parent.ChildCount());
    EXPECT_EQ("c", parent.Child(0)->Name());
}

TEST(TXMLElement, DeepTreesAreWrittenAndFreedWithoutRecursion) {
    constexpr int kDepth = 100000;
    auto document = std::make_unique<TXMLDocument>();
    document->SetWriteDeclaration(false);
    document->SetIndent(false);
    TXMLElement* element = document.get();
    for (int i = 0; i < kDepth; ++i)
        element = element->AddChild("e");
    element->SetString("last", "1");

    const std::string text = TXMLFiler::SaveToString(*document);
    EXPECT_EQ(std::string::size_type(kDepth - 1) * (5 + 6) + std::string("<e last=\"1\"/>\r\n").size(), text.size());
    EXPECT_EQ("<e>\r\n<e>\r\n", text.substr(0, 10));
    EXPECT_EQ("<e last=\"1\"/>\r\n</e>\r\n", text.substr(std::string::size_type(kDepth - 1) * 5, 21));

    // the reader refuses such a text, and a deep chain of its own goes too
    EXPECT_THAT(ReadError(text),
                testing::StartsWith("Error Elements nested deeper than 1000 levels in line 1001 col 4"));
    std::unique_ptr<TXMLElement> chain = document->ExtractChild(0);
    document.reset();
    chain.reset();

    TXMLElement cleared(xekElement, "c");
    element = &cleared;
    for (int i = 0; i < kDepth; ++i)
        element = element->AddChild("e");
    cleared.Clear();
    EXPECT_EQ(0, cleared.ChildCount());
}

TEST(TXMLElement, ClearEmptiesNameTextAttributesAndChildren) {
    TXMLElement element(xekElement, "e");
    element.SetText("t");
    element.SetString("a", "1");
    element.AddChild("c")->AddText("x");
    element.Clear();
    EXPECT_EQ(xekElement, element.Kind());
    EXPECT_EQ("", element.Name());
    EXPECT_EQ("", element.Text());
    EXPECT_EQ(0, element.Attributes().Count());
    EXPECT_EQ(0, element.ChildCount());
}

TEST(TXMLDocument, ClearResetsDeclarationAndDoctypeButKeepsWriterOptions) {
    TXMLDocument document;
    EXPECT_EQ("Document", document.Name());
    EXPECT_EQ(xekDocument, document.Kind());
    EXPECT_EQ(nullptr, document.Parent());
    TXMLFiler::LoadFromString("<?xml version=\"1.1\" encoding=\"latin1\" standalone=\"yes\"?><!DOCTYPE m><m/>",
                              document);
    document.SetIndent(false);
    document.SetPreserveCase(true);
    document.SetWriteDeclaration(false);
    EXPECT_EQ("m", document.DocTypeName());
    document.Clear();
    EXPECT_EQ("Document", document.Name());
    EXPECT_EQ("1.0", document.Version());
    EXPECT_EQ("", document.Encoding());
    EXPECT_EQ("", document.Standalone());
    EXPECT_EQ(0, document.ChildCount());
    EXPECT_EQ(nullptr, document.RootElement());
    EXPECT_FALSE(document.Indent());
    EXPECT_TRUE(document.PreserveCase());
    EXPECT_FALSE(document.WriteDeclaration());
}

// Tokenizer

TEST(TXMLParser, ClassifiesTokens) {
    const std::string text = "<?xml version=\"1.0\"?>\n<!DOCTYPE m [<!ENTITY e \"x\">]>\n<!-- a > b -->\n"
                             "<r a='1' b=\"x>y\">&#65;text &amp; more<e/>\t<![CDATA[<raw>]]></r >";
    struct TToken {
        TXMLTokenKind Kind;
        const char* Raw;
    };
    const TToken expected[] = {
        {xtkInstruction, "<?xml version=\"1.0\"?>"},
        {xtkDTD, "<!DOCTYPE m [<!ENTITY e \"x\">]>"},
        {xtkComment, "<!-- a > b -->"},
        {xtkStartTag, "<r a='1' b=\"x>y\">"},
        {xtkText, "&#65;text &amp; more"},
        {xtkEmptyTag, "<e/>"},
        {xtkCData, "<![CDATA[<raw>]]>"},
        {xtkEndTag, "</r >"},
        {xtkEnd, ""},
    };
    TXMLParser parser(text);
    for (const TToken& token : expected) {
        SCOPED_TRACE(token.Raw);
        EXPECT_EQ(token.Kind, parser.NextToken());
        EXPECT_EQ(token.Raw, parser.Token());
        switch (token.Kind) {
        case xtkText:
            EXPECT_EQ("Atext & more", parser.TokenText());
            break;
        case xtkCData:
            EXPECT_EQ("<raw>", parser.TokenText());
            break;
        case xtkComment:
            EXPECT_EQ(" a > b ", parser.TokenText());
            break;
        case xtkEndTag:
            EXPECT_EQ("r", parser.EndTagName());
            break;
        case xtkStartTag: {
            TXMLAttributes attributes;
            EXPECT_EQ("r", parser.ParseTag(attributes));
            EXPECT_EQ("x>y", attributes.Get("b"));
            break;
        }
        default:
            break;
        }
    }
    EXPECT_EQ(xtkEnd, parser.NextToken());
    EXPECT_EQ(text.size(), parser.Position());
}

TEST(TXMLParser, ANulCharacterEndsTheText) {
    const std::string text = "<a/>\0<b>"s;
    TXMLParser parser(text);
    EXPECT_EQ(xtkEmptyTag, parser.NextToken());
    EXPECT_EQ(xtkEnd, parser.NextToken());
}

TEST(TXMLParser, ParsesTagsLeniently) {
    struct TCase {
        const char* Xml;
        const char* Name;
        std::vector<std::pair<std::string, std::string>> Attributes;
    };
    const TCase cases[] = {
        {"<a x=\"1\" y='2' z X=\"3\"/>", "a", {{"x", "3"}, {"y", "2"}, {"z", ""}}},
        {"<a x=\"1\" x/>", "a", {{"x", ""}}},
        {"<node\n\tTEXT\r\n=\n'v'\r\n/>", "node", {{"TEXT", "v"}}},
        {"<a t=\"x>y\" u='say \"hi\"'/>", "a", {{"t", "x>y"}, {"u", "say \"hi\""}}},
        {"<a t=\"&lt;b&gt; &#x9;&#10;&unknown;\"/>", "a", {{"t", "<b> \t\n&unknown;"}}},
        {"<a k=v/>", "a", {{"k", ""}, {"v", ""}}}, // an unquoted value is a name of its own
        {"<a p= q=\"2\"/>", "a", {{"p", ""}, {"q", "2"}}},
        {"<a b\"c\"/>", "a", {{"b\"c\"", ""}}},
        {"<Tag/>", "Tag", {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Xml);
        TXMLDocument document;
        TXMLFiler::LoadFromString(c.Xml, document);
        const TXMLElement* element = document.RootElement();
        ASSERT_NE(nullptr, element);
        EXPECT_EQ(c.Name, element->Name());
        ASSERT_EQ(static_cast<int>(c.Attributes.size()), element->Attributes().Count());
        for (std::size_t i = 0; i < c.Attributes.size(); ++i) {
            EXPECT_EQ(c.Attributes[i].first, element->Attributes().Name(static_cast<int>(i)));
            EXPECT_EQ(c.Attributes[i].second, element->Attributes().Value(static_cast<int>(i)));
        }
    }
}

TEST(TXMLParser, ManyAttributesKeepFirstPositionsAndLastValues) {
    std::string xml = "<a";
    for (int i = 0; i < 100; ++i)
        xml += " n" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
    xml += " N5=\"x\" n50 n99='last'/>";
    TXMLDocument document;
    TXMLFiler::LoadFromString(xml, document);
    const TXMLAttributes& attributes = document.RootElement()->Attributes();
    ASSERT_EQ(100, attributes.Count());
    EXPECT_EQ("n5", attributes.Name(5));
    EXPECT_EQ("x", attributes.Value(5));
    EXPECT_EQ("", attributes.Value(50));
    EXPECT_EQ("last", attributes.Value(99));
    EXPECT_EQ("42", attributes.Value(42));
}

// Entities

TEST(XMLDecodeEntities, DecodesNamedAndNumericReferencesAndKeepsTheRest) {
    struct TCase {
        const char* Text;
        const char* Expected;
    };
    const TCase cases[] = {
        {"", ""},
        {"plain", "plain"},
        {"&amp;&lt;&gt;&apos;&quot;", "&<>'\""},
        {"&AMP;&Lt;&GT;&APOS;&QuOt;", "&<>'\""},
        {"&amp;amp;", "&amp;"},
        {"&#65;&#x42;&#x0043;&#x4a;&#x4A;", "ABCJJ"},
        {"&#x65e5;&#x672c;", "\xE6\x97\xA5\xE6\x9C\xAC"},
        {"&#x1F600;&#128512;", "\xF0\x9F\x98\x80\xF0\x9F\x98\x80"},
        {"&#x10FFFF;", "\xF4\x8F\xBF\xBF"},
        {"x&#10;y&#xd;", "x\ny\r"},
        {"&#X41;", "&#X41;"},
        {"&#0;&#x0;&#x00;", "&#0;&#x0;&#x00;"},
        {"&#xD800;&#xdfff;&#55296;", "&#xD800;&#xdfff;&#55296;"},
        {"&#x110000;&#1114112;", "&#x110000;&#1114112;"},
        {"&#99999999999999999999;&#xFFFFFFFFF41;", "&#99999999999999999999;&#xFFFFFFFFF41;"},
        {"&#;&#x;&#-1;&#+65;&#6 5;&# 65;", "&#;&#x;&#-1;&#+65;&#6 5;&# 65;"},
        {"&#65&#x42", "&#65&#x42"},
        {"&#x41;&#x42", "A&#x42"},
        {"&#1a;&#xg;", "&#1a;&#xg;"},
        {"&nbsp;&copy; &foo", "&nbsp;&copy; &foo"},
        {"a & b; c", "a & b; c"},
        {"&&amp;&", "&&&"},
        {"&am;&amp", "&am;&amp"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(c.Expected, DecodeEntities(c.Text));
    }
}

// Reading

TEST(TXMLFiler, SyntaxErrorsNameTheErrorAndItsPlace) {
    struct TCase {
        std::string Xml;
        const char* Message;
    };
    const TCase cases[] = {
        {"<a></b>", "Error Element start a does not match element end b in line 1 col 8"},
        {"<a>\n\xC3\xA4\xE6\x97\xA5</b>", "Error Element start a does not match element end b in line 2 col 7"},
        {"<a>\r\n\r<b></c>", "Error Element start b does not match element end c in line 3 col 8"},
        {"<a>\n\r\n<b></c>", "Error Element start b does not match element end c in line 3 col 8"},
        {"<a>", "Error Unexpected end of document in line 1 col 4"},
        {"<a>\r\n  <b/>\r\n", "Error Unexpected end of document in line 3 col 1"},
        {"</a>", "Error Illegal element end in line 1 col 5"},
        {"<a/></a>", "Error Illegal element end in line 1 col 9"},
        {"<a>\n<!ELEMENT x>", "Error Unexpected entity in line 2 col 1"},
        {"<!doctype html><a/>", "Error Unexpected entity in line 1 col 1"},
        {"<a>\n  <!-- open", "Error Unterminated element in line 2 col 3"},
        {"<a><![CDATA[x</a>", "Error Unterminated element in line 1 col 4"},
        {"<?xml version='1.0'", "Error Unterminated element in line 1 col 1"},
        {"<a>\n<b", "Error Unterminated element in line 2 col 1"},
        {"<a b=\"x>\"", "Error Unterminated element in line 1 col 1"},
        {"<a b='x>y'/>", "Error Unterminated value string in line 1 col 9"},
        {"<a \"x\"/>", "Error Illegal attribute value definition in line 1 col 9"},
        {"<a =\"x\"/>", "Error Illegal attribute value definition in line 1 col 10"},
        {"<a b=\"1\"=\"2\"/>", "Error Illegal attribute value definition in line 1 col 15"},
        {"<?xml version=\"1.0?><a/>", "Error Unterminated value string in line 1 col 21"},
        {"<!DOCTYPE x", "Error Unterminated DTD in line 1 col 1"},
        {"<a/>\n<!DOCTYPE x [ <!ENTITY y 'z'>", "Error Unterminated internal DTD in line 2 col 1"},
        {Repeat("<e>", kMaxXMLNesting + 1), "Error Elements nested deeper than 1000 levels in line 1 col 3004"},
        {Repeat("<e>", kMaxXMLNesting) + "<e/>", "Error Elements nested deeper than 1000 levels in line 1 col 3005"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Xml.substr(0, 40));
        EXPECT_EQ(c.Message, ReadError(c.Xml));
    }
    try {
        TXMLDocument document;
        TXMLFiler::LoadFromString("<a>\n\n  </b>", document);
        FAIL() << "no error";
    } catch (const EOXXMLException& e) {
        EXPECT_EQ(3, e.Line());
        EXPECT_EQ(7, e.Column());
    }
}

TEST(TXMLFiler, NestingUpToTheCapIsRead) {
    const std::string text = Repeat("<e>", kMaxXMLNesting) + "x" + Repeat("</e>", kMaxXMLNesting);
    TXMLDocument document;
    TXMLFiler::LoadFromString(text, document);
    int count = 0;
    int depth = 0;
    CountNested(document, "e", count, depth);
    EXPECT_EQ(kMaxXMLNesting, depth);
}

TEST(TXMLFiler, EndTagsMatchWithoutRegardToCase) {
    TXMLDocument document;
    TXMLFiler::LoadFromString("<Topic><Sub></SUB ></topic\n>", document);
    ASSERT_NE(nullptr, document.RootElement());
    EXPECT_EQ("Topic", document.RootElement()->Name());
    EXPECT_EQ("Sub", document.RootElement()->Child(0)->Name());
}

TEST(TXMLFiler, ReferencesDecodeWhereverTheyStandAndStrayAmpersandsStayText) {
    struct TCase {
        const char* Xml;
        const char* Text;
    };
    const TCase cases[] = {
        {"<a>&#x65e5;&#x672c;</a>", "\xE6\x97\xA5\xE6\x9C\xAC"},
        {"<a>&#65;BC</a>", "ABC"},
        {"<a>x&#65;</a>", "xA"},
        {"<a>&amp;&lt;</a>", "&<"},
        {"<a>&unknown; stays</a>", "&unknown; stays"},
        {"<a>&copy; 2024 &amp; more</a>", "&copy; 2024 & more"},
        {"<a>& b ; c</a>", "& b ; c"},
        {"<a>&</a>", "&"},
        {"<a>&#0;</a>", "&#0;"},
        {"<a>x&#X41;</a>", "x&#X41;"},
        {"<a><![CDATA[&lt;&#65;]]></a>", "<A"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Xml);
        TXMLDocument document;
        TXMLFiler::LoadFromString(c.Xml, document);
        ASSERT_EQ(1, document.RootElement()->ChildCount());
        EXPECT_EQ(xekText, document.RootElement()->Child(0)->Kind());
        EXPECT_EQ(c.Text, document.RootElement()->GetText());
    }
}

TEST(TXMLFiler, CharacterDataLosesWhitespaceUpToOneLineBreakAtEachEnd) {
    struct TCase {
        const char* Content;
        const char* Text;
    };
    const TCase cases[] = {
        {"x  \t", "x"},
        {"x \r\n\t", "x "},
        {"x \r\n \r\n  ", "x \r\n "},
        {"x\n\r", "x"},
        {"x\n\n", "x\n"},
        {"x\r\n\r\n", "x\r\n"},
        {"x\r\r", "x\r"},
        {"  a b  ", "a b"},
        {"<![CDATA[ \t\r\n  y  \n ]]>", "  y  "},
        {"<![CDATA[  y]]>", "y"},
        {"<![CDATA[\n\ny]]>", "\ny"},
        {"<![CDATA[\r\n\ty\n\r]]>", "\ty"},
        {"<![CDATA[ \t ]]>", ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Content);
        TXMLDocument document;
        TXMLFiler::LoadFromString("<a>"s + c.Content + "</a>", document);
        ASSERT_EQ(1, document.RootElement()->ChildCount());
        EXPECT_EQ(c.Text, document.RootElement()->Child(0)->Text());
    }
}

TEST(TXMLFiler, InstructionsAndTheDoctypeBelongToTheDocument) {
    const std::string text =
        "<?xml version=\"1.1\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
        "<!DOCTYPE corvella-mindmaps [\r\n<!ENTITY x \"y\">\r\n]>\r\n"
        "<!-- a comment -->\r\n"
        "<Root a=\"1\">\r\n\t<child>text</child>\r\n\t<!-- dropped -->\r\n\t<?pi inside?>\r\n</Root>"
        "\r\n<?xml-stylesheet href=\"s.css\"?>";
    TXMLDocument document;
    TXMLFiler::LoadFromString(text, document);
    EXPECT_EQ("1.1", document.Version());
    EXPECT_EQ("UTF-8", document.Encoding());
    EXPECT_EQ("yes", document.Standalone());
    EXPECT_EQ("corvella-mindmaps", document.Name());
    ASSERT_EQ(5, document.ChildCount());

    const TXMLElement* declaration = document.Child(0);
    EXPECT_EQ(xekInstruction, declaration->Kind());
    EXPECT_EQ("xml", declaration->Name());
    EXPECT_EQ("<?xml version=\"1.1\" encoding=\"UTF-8\" standalone=\"yes\"?>", declaration->Text());
    EXPECT_EQ(3, declaration->Attributes().Count());

    const TXMLElement* dtd = document.Child(1);
    EXPECT_EQ(xekDTD, dtd->Kind());
    EXPECT_EQ("DTD", dtd->Name());
    EXPECT_EQ("<!DOCTYPE corvella-mindmaps [\r\n<!ENTITY x \"y\">\r\n]>", dtd->Text());
    ASSERT_EQ(1, dtd->Attributes().Count());
    EXPECT_EQ("corvella-mindmaps", dtd->Attributes().Name(0));
    EXPECT_EQ("", dtd->Attributes().Value(0));

    const TXMLElement* root = document.RootElement();
    ASSERT_EQ(document.Child(2), root);
    ASSERT_EQ(1, root->ChildCount()); // the comment is dropped, the instruction went to the document
    EXPECT_EQ("text", root->Child(0)->GetText());

    EXPECT_EQ("Instruction", document.Child(3)->Name());
    EXPECT_EQ("<?pi inside?>", document.Child(3)->Text());
    EXPECT_EQ("Instruction", document.Child(4)->Name());
    EXPECT_EQ(0, document.Child(4)->Attributes().Count());
}

TEST(TXMLFiler, DoctypeNameAndDeclarationVariants) {
    struct TCase {
        const char* Xml;
        const char* Name;
        const char* Version;
        const char* Encoding;
    };
    const TCase cases[] = {
        {"<!DOCTYPE  html PUBLIC \"-//W3C//DTD\"><html/>", "html", "1.0", ""},
        {"<!DOCTYPE orrinexdiagrams><x/>", "orrinexdiagrams", "1.0", ""},
        {"<!DOCTYPE\nm[<!ENTITY a 'b'>]><m/>", "m", "1.0", ""},
        {"<?xml?><m/>", "Document", "1.0", ""},
        {"<?XML version='2.0' encoding=\"latin1\"?><m/>", "Document", "2.0", "latin1"},
        {"<?xml version=\"\" encoding=\"\"?><m/>", "Document", "1.0", ""},
        {"<?xmlfoo version=\"9\"?><m/>", "Document", "1.0", ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Xml);
        TXMLDocument document;
        TXMLFiler::LoadFromString(c.Xml, document);
        EXPECT_EQ(c.Name, document.Name());
        EXPECT_EQ(c.Version, document.Version());
        EXPECT_EQ(c.Encoding, document.Encoding());
        EXPECT_NE(nullptr, document.RootElement());
    }
}

TEST(TXMLFiler, LoadingReplacesThePreviousContent) {
    TXMLDocument document;
    TXMLFiler::LoadFromString("<?xml version=\"1.1\" encoding=\"x\"?><!DOCTYPE d><first/>", document);
    TXMLFiler::LoadFromString("<second/>", document);
    ASSERT_EQ(1, document.ChildCount());
    EXPECT_EQ("second", document.RootElement()->Name());
    EXPECT_EQ("1.0", document.Version());
    EXPECT_EQ("", document.Encoding());
    EXPECT_EQ("Document", document.Name());
}

TEST(TXMLFiler, LoadsProgramResources) {
    TXMLDocument document;
    EXPECT_THAT([&] { TXMLFiler::LoadFromResource("no-such-resource", document); },
                testing::ThrowsMessage<ECVException>(testing::HasSubstr("no-such-resource")));

    // a resource bundle of our own, built the way the program's resources are
    TTempDir dir;
    dir.Write("xmlfilers-test.xml", "\xEF\xBB\xBF<?xml version=\"1.0\"?><links><link name=\"&#x65e5;\"/></links>");
    dir.Write("resources.xml", "<?xml version=\"1.0\"?><gresources><gresource prefix=\"/org/orrinex/corvella\">"
                               "<file>xmlfilers-test.xml</file></gresource></gresources>");
    const std::string bundle = (dir.Path() / "test.gresource").string();
    const std::string command = "glib-compile-resources --sourcedir='" + dir.Path().string() + "' --target='" + bundle +
                                "' '" + (dir.Path() / "resources.xml").string() + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0)
        GTEST_SKIP() << "glib-compile-resources is not available";
    GError* error = nullptr;
    GResource* resource = g_resource_load(bundle.c_str(), &error);
    ASSERT_NE(nullptr, resource) << (error ? error->message : "");
    g_resources_register(resource);
    TXMLFiler::LoadFromResource("xmlfilers-test.xml", document);
    g_resources_unregister(resource);
    g_resource_unref(resource);
    ASSERT_NE(nullptr, document.RootElement());
    EXPECT_EQ("\xE6\x97\xA5", document.FindPath({"links", "link"})->GetString("name"));
}

// Writing

TEST(TXMLWriter, WritesDeclarationDoctypeTabsAndCrLfLines) {
    TXMLDocument document;
    document.SetEncoding("UTF-8");
    document.SetStandalone("yes");
    TXMLElement* map = document.AddChild("Map");
    map->SetString("Name", "a\"b");
    map->SetString("Mixed-Case", "x");
    map->AddChild("Topic")->AddText("x < y & 'z'");
    map->AddChild("Empty");
    map->AddChild("Texted")->SetText("never written");
    map->AddCData("c&d");
    auto comment = std::make_unique<TXMLElement>(xekComment);
    comment->SetText("<!-- note -->");
    map->AppendChild(std::move(comment));
    map->AppendChild(std::make_unique<TXMLElement>(xekInstruction, "Instruction"));
    document.AddText("after");
    document.AddCData("not at document level");

    EXPECT_EQ("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
              "<!DOCTYPE Document>\r\n"
              "<map Name=\"a&quot;b\" Mixed-Case=\"x\">\r\n"
              "\t<topic>\r\n"
              "x &lt; y &amp; &apos;z&apos;\r\n"
              "\t</topic>\r\n"
              "\t<empty/>\r\n"
              "\t<texted>\r\n"
              "\t</texted>\r\n"
              "<![CDATA[\r\n"
              "c&amp;d\r\n"
              "]]>\r\n"
              "<!-- note -->\r\n"
              "</map>\r\n"
              "after\r\n",
              TXMLFiler::SaveToString(document));

    EXPECT_EQ("\t\t<topic>\r\nx &lt; y &amp; &apos;z&apos;\r\n\t\t</topic>\r\n",
              TXMLFiler::ElementToString(*map->Child(0), 2));

    document.SetPreserveCase(true);
    document.SetIndent(false);
    document.SetWriteDeclaration(false);
    EXPECT_EQ("<Topic>\r\nx &lt; y &amp; &apos;z&apos;\r\n</Topic>\r\n", TXMLFiler::ElementToString(*map->Child(0), 3));
    EXPECT_THAT(TXMLFiler::SaveToString(document), testing::StartsWith("<Map Name="));

    // without a DOCTYPE name only the declaration is written
    document.SetWriteDeclaration(true);
    document.SetName("");
    document.SetEncoding("");
    document.SetStandalone("");
    EXPECT_THAT(TXMLFiler::SaveToString(document), testing::StartsWith("<?xml version=\"1.0\"?>\r\n<Map "));

    // an element outside any document is written indented and lower-cased
    TXMLElement free(xekElement, "Free");
    free.AddChild("Inner")->SetBool("B", true);
    EXPECT_EQ("\t<free>\r\n\t\t<inner B=\"True\"/>\r\n\t</free>\r\n", TXMLFiler::ElementToString(free, 1));
}

TEST(TXMLWriter, EscapesMarkupAndControlCharactersInAttributeValues) {
    struct TCase {
        std::string Text;
        std::string Attribute;
        std::string Content;
    };
    const TCase cases[] = {
        {"<\t", "&lt;&#x9;", "&lt;\t"},
        {"a\nb\r", "a&#xa;b&#xd;", "a\nb\r"},
        {"\x01\x1f ", "&#x1;&#x1f; ", "\x01\x1f "},
        {"\0x"s, "&#x0;x", "\0x"s},
        {"\"&'<>", "&quot;&amp;&apos;&lt;&gt;", "&quot;&amp;&apos;&lt;&gt;"},
        {"\xE6\x97\xA5\x7F", "\xE6\x97\xA5\x7F", "\xE6\x97\xA5\x7F"},
        {"", "", ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Attribute);
        EXPECT_EQ(c.Attribute, TXMLWriter::Escape(c.Text, true));
        EXPECT_EQ(c.Content, TXMLWriter::Escape(c.Text, false));
    }
}

TEST(TXMLWriter, WriteReadRoundTripKeepsTreeAndValues) {
    TXMLDocument original;
    original.SetEncoding("UTF-8");
    original.SetDocTypeName("corvella-mindmaps");
    TXMLElement* root = original.AddChild("root");
    root->SetString("quotes", "say \"hi\" & 'bye'");
    root->SetString("lines", "first\r\nsecond\tthird\x01");
    root->SetString("markup", "<b>bold</b>");
    root->SetString("unicode", "\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80 \xC3\xA4");
    root->SetString("refs", "&#65; &amp;");
    root->SetString("empty", "");
    root->SetFixed("x", -12.5);
    root->SetFloat("f", 0.1);
    TXMLElement* topic = root->AddChild("topic");
    topic->AddText("a < b && c > d 'quoted' \"double\"");
    topic->AddChild("note")->AddCData("<p>raw &amp; markup</p>");
    TXMLElement* deep = topic;
    for (int i = 0; i < 20; ++i)
        deep = deep->AddChild("level")->AddChild("child");
    deep->SetInt("n", 20);
    root->AddChild("tail")->AddText("\xE2\x80\x94 end");

    const std::string written = TXMLFiler::SaveToString(original);
    TXMLDocument read;
    TXMLFiler::LoadFromString(written, read);
    EXPECT_EQ("UTF-8", read.Encoding());
    EXPECT_EQ("corvella-mindmaps", read.Name());
    // the reader adds the declaration and DTD nodes in front of the root
    ASSERT_EQ(3, read.ChildCount());
    ExpectSameTree(*original.RootElement(), *read.RootElement());
    EXPECT_EQ(-12.5, read.RootElement()->GetFloat("x", 0));

    // CDATA came back as text; from here on the text is stable
    const std::string again = TXMLFiler::SaveToString(read);
    TXMLDocument readAgain;
    TXMLFiler::LoadFromString(again, readAgain);
    ExpectSameTree(*read.RootElement(), *readAgain.RootElement());
    EXPECT_EQ(again, TXMLFiler::SaveToString(readAgain));
}

TEST(TXMLWriter, TextLosesLeadingBlanksButKeepsTrailingOnesOnTheWayBack) {
    TXMLDocument original;
    original.AddChild("a")->AddText("  padded  ");
    TXMLDocument read;
    TXMLFiler::LoadFromString(TXMLFiler::SaveToString(original), read);
    EXPECT_EQ("padded  ", read.RootElement()->GetText());
}

// Files

TEST(XMLDecodeFileBytes, FollowsTheByteOrderMark) {
    struct TCase {
        std::string Bytes;
        std::string Text;
    };
    const TCase cases[] = {
        {"", ""},
        {"abc", "abc"},
        {"\xEF\xBB\xBF", ""},
        {"\xEF\xBB\xBF<a>\xC3\xA4</a>", "<a>\xC3\xA4</a>"},
        {"\xEF\xBB\xBF\xFFz", "\xEF\xBF\xBDz"},
        {"\xFF\xFEh\0i\0"s, "hi"},
        {"\xFF\xFE\x3D\xD8\x00\xDE"s, "\xF0\x9F\x98\x80"},
        {"\xFF\xFE"s, ""},
        {"\xC3\xA4", "\xC3\xA4"},             // valid UTF-8 without a mark stays
        {"\xE4\x80", "\xC3\xA4\xE2\x82\xAC"}, // otherwise Windows-1252
        {"\xEF\xBB", "\xC3\xAF\xC2\xBB"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.Bytes));
        EXPECT_EQ(c.Text, DecodeFileBytes(c.Bytes));
    }
    for (const std::string& bytes : {"\xFE\xFF\0a"s, "\xFF\xFE\0\0a\0\0\0"s, "\0\0\xFE\xFF\0\0\0a"s}) {
        SCOPED_TRACE(testing::PrintToString(bytes));
        EXPECT_THAT([&] { (void)DecodeFileBytes(bytes); },
                    testing::ThrowsMessage<ECVException>("Unsupported text encoding"));
    }
}

TEST(XMLReadTextFile, ReadsUtf8WhereTheImporterAsksForIt) {
    constexpr int kText = 6;
    constexpr int kOpml = 7;
    constexpr int kFreeMind = 8;
    constexpr int kNative = 0;
    const std::string replacement = "\xEF\xBF\xBD";
    const std::string latin = "\xC3\xA4"; // the byte E4 in Windows-1252
    struct TCase {
        const char* Name;
        std::string Bytes;
        int Kind;
        std::string Text;
    };
    const std::string utf8Declared = "<?xml version=\"1.0\" encoding=\"utf-8\"?><opml>\xE4</opml>";
    const std::string afterComment = "<!-- c --><?xml version=\"1.0\" encoding=\"UTF-8\"?><opml>\xE4</opml>";
    const std::string latinDeclared = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><opml>\xE4</opml>";
    const std::string elementFirst = "<opml><?xml version=\"1.0\" encoding=\"UTF-8\"?>\xE4</opml>";
    const std::string broken = "<!x><?xml version=\"1.0\" encoding=\"UTF-8\"?>\xE4";
    const std::string map = "<map>\xE4</map>";
    const TCase cases[] = {
        {"opml-utf8", utf8Declared, kOpml,
         "<?xml version=\"1.0\" encoding=\"utf-8\"?><opml>" + replacement + "</opml>"},
        {"opml-utf8-as-text", utf8Declared, kText,
         "<?xml version=\"1.0\" encoding=\"utf-8\"?><opml>" + latin + "</opml>"},
        {"opml-comment", afterComment, kOpml,
         "<!-- c --><?xml version=\"1.0\" encoding=\"UTF-8\"?><opml>" + replacement + "</opml>"},
        {"opml-latin", latinDeclared, kOpml,
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><opml>" + latin + "</opml>"},
        {"opml-element-first", elementFirst, kOpml,
         "<opml><?xml version=\"1.0\" encoding=\"UTF-8\"?>" + latin + "</opml>"},
        {"opml-broken", broken, kOpml, "<!x><?xml version=\"1.0\" encoding=\"UTF-8\"?>" + latin},
        {"mm", map, kFreeMind, "<map>" + replacement + "</map>"},
        {"mm-as-native", map, kNative, "<map>" + latin + "</map>"},
        {"mm-valid", "<map>\xC3\xA4</map>", kFreeMind, "<map>\xC3\xA4</map>"},
        {"mm-utf16", "\xFF\xFE<\0m\0/\0>\0"s, kFreeMind, "<m/>"},
        {"txt-bom", "\xEF\xBB\xBF\tA\xC3\xA4", kText, "\tA\xC3\xA4"},
        {"empty", "", kOpml, ""},
    };
    TTempDir dir;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(c.Text, ReadTextFile(dir.Write(c.Name, c.Bytes), c.Kind));
    }
    const std::string utf16BE = dir.Write("be.opml", "\xFE\xFF\0<"s);
    EXPECT_THAT([&] { (void)ReadTextFile(utf16BE, kOpml); },
                testing::ThrowsMessage<ECVException>("Unsupported text encoding"));
}

TEST(XMLReadTextFile, AFileThatCannotBeReadIsNamedInTheError) {
    TTempDir dir;
    for (const std::string& path : {(dir.Path() / "missing.mm").string(), dir.Path().string()}) {
        SCOPED_TRACE(path);
        EXPECT_THAT([&] { (void)ReadTextFile(path, 8); },
                    testing::ThrowsMessage<ECVException>(testing::HasSubstr("\"" + path + "\"")));
    }
}

TEST(XMLIsOpmlText, JudgesByTheDeclarationAndTheFirstTag) {
    struct TCase {
        const char* Text;
        bool Expected;
    };
    const TCase cases[] = {
        {"<?xml version=\"1.0\"?>\n<opml version=\"2.0\"><body/></opml>", true},
        {"  \r\n<?xml version=\"1.0\"?>\r\n\r\n<opml", false},
        {"  \r\n<?xml version=\"1.0\"?>\r\n\r\n<opml>", true},
        {"<?xml version=\"1.0\"?><!-- c --><!DOCTYPE opml><OPML/>", true},
        {"<!-- first --><?xml version=\"1.0\"?><opml>", true},
        {"<?xml version=\"1.0\"?><opml a=\"1\" 'x'>", false},
        {"<opml version=\"2.0\"/>", false},
        {"<?xml version=\"1.0\"?><?xml-stylesheet href=\"x\"?><opml/>", false},
        {"<?xml version=\"1.0\"?>text<opml/>", false},
        {"<?xml version=\"1.0\"?><![CDATA[x]]><opml/>", false},
        {"<?xml version=\"1.0\"?></opml>", false},
        {"<?xml version=\"1.0\"?><map/>", false},
        {"<?xml version=\"1.0\"?><opmlx/>", false},
        {"<?xml version=\"1.0\"?>", false},
        {"Not found.", false},
        {"", false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(c.Expected, IsOpmlText(c.Text));
    }
}

// Real files written by other programs

TEST(XMLCorpus, ReadsEveryOutlineOfOtherPrograms) {
    struct TCase {
        const char* File;
        int Count; // elements named "node" (.mm) or "outline" (.opml)
        int Depth;
    };
    const TCase cases[] = {
        {"freemind/baozhenlong__freeplane_1.12.1_raw_CJK_bookmarks_tags.mm", 262, 8},
        {"freemind/freeplane__RichtextTests.mm", 7, 3},
        {"freemind/freeplane__docear-welcome_SciPlore_0.14.mm", 1055, 11},
        {"freemind/freeplane__docear_My_New_Paper_version_docear_1.0.mm", 41, 5},
        {"freemind/freeplane__freeplaneFunctions_1.2.0.mm", 73, 6},
        {"freemind/freeplane__freeplaneUserGuide_current.mm", 1460, 18},
        {"freemind/freeplane__freeplane_doc_1.5.9_large.mm", 1339, 9},
        {"freemind/freeplane__freeplane_doc_ja_numeric_refs.mm", 1356, 10},
        {"freemind/freeplane__freeplane_doc_ru.mm", 384, 6},
        {"freemind/freeplane__template_BuzanMap.mm", 19, 3},
        {"freemind/jdb__confiture_tiny_0.7.1.mm", 22, 3},
        {"freemind/jdb__wordish_same_map_resaved_0.9.0.mm", 175, 7},
        {"freemind/jdb__wordish_version_0.7.1.mm", 171, 7},
        {"freemind/jiangxin__Features_0.8.0.mm", 62, 6},
        {"freemind/jiangxin__Node_Numberer_0.9.0_Beta_8.mm", 213, 8},
        {"freemind/jiangxin__Wohnungssuche_tiny_de.mm", 4, 4},
        {"freemind/jiangxin__flash_index_0.8.0_beta5.mm", 80, -1},
        {"freemind/jiangxin__freemind_doc_1.0.1.mm", 482, 6},
        {"freemind/jiangxin__freemind_doc_ja_0.9.0.mm", 497, 6},
        {"freemind/jiangxin__freemind_doc_vi_0.8.1.mm", 384, 6},
        {"freemind/jiangxin__mm2latex_latin1_TEMPLATE.mm", 67, 6},
        {"freemind/jiangxin__presentationmap.mm", 29, 5},
        {"freemind/jiangxin__testmap_attributes.mm", 10, 4},
        {"freemind/vimoutliner-old__overview_EMPTY_0_bytes.mm", 0, 0},
        {"freemind/vimoutliner-old__system_generated_by_otl2tags_0.8.0.mm", 784, 9},
        {"freemind/vimoutliner-old__system_resaved_FreeMind_0.9.0_Beta_8.mm", 784, 9},
        {"freemind/wisemapping__bug_german_raw_utf8_no_ids.mm", 47, 5},
        {"freemind/wisemapping__export_bug3_notes.mm", 278, 8},
        {"freemind/wisemapping__export_enc_decimal_refs.mm", 24, 4},
        {"freemind/wisemapping__export_huge_duplicate_ID_null.mm", 200, 7},
        {"freemind/wisemapping__i18n2_arabic_rtl.mm", 3, 2},
        {"freemind/wisemapping__icons.mm", 80, 3},
        {"freemind/wisemapping__relationships_arrowlinks.mm", 11, 4},
        {"opml/EngineeringKiosk__german_podcasts_opml2_explicit_close.opml", 112, 1},
        {"opml/Ranchero-Software__NetNewsWire_SubsNoTitleAttributes.opml", 211, 2},
        {"opml/Ranchero-Software__NetNewsWire_Subs_opml1.1.opml", 211, 2},
        {"opml/Sefaria__Siddur_A_workflowy_style_hebrew_notes.opml", 546, 8},
        {"opml/mrh-is__overcast_podcasts_opml1.0.opml", 59, 1},
        {"opml/plenaryapp__Iran_rtl_persian_nested.opml", 8, 2},
        {"opml/plenaryapp__Japan_flat.opml", 8, 1},
        {"opml/plenaryapp__Programming_nested.opml", 51, -1},
        {"opml/plenaryapp__Russia_cyrillic_nested.opml", 14, -1},
        {"opml/rgnlax__ios_dev_subscriptions_nested.opml", 43, 2},
        {"opml/scripting__DaveNet_1997_large_crlf.opml", 5885, 4},
        {"opml/scripting__blog_1997-06_macroman_bytes_declared_latin1_crlf.opml", 412, 11},
        {"opml/scripting__blog_2017-04_utf8_bytes_declared_latin1.opml", 195, 3},
        {"opml/scripting__glossary_NOT_OPML_body_Not_found.opml", 0, 0},
        {"opml/scripting__opmlPackage_includes_type_include.opml", 3, 1},
        {"opml/scripting__opmlPackage_source_OPML_Editor.opml", 1329, 14},
        {"opml/scripting__opmlPackage_states.opml", 59, 3},
        {"opml/scripting__podcatch_subscriptions_crlf.opml", 123, 1},
        {"opml/vinhnx__overcast_minified_single_line.opml", 285, 2},
    };
    const std::filesystem::path corpus = CV_SHARED_CORPUS;
    if (!std::filesystem::exists(corpus))
        GTEST_SKIP() << "no corpus at " << corpus;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.File);
        const bool opml = std::string_view(c.File).ends_with(".opml");
        const std::string text = ReadTextFile((corpus / c.File).string(), opml ? 7 : 8);
        EXPECT_TRUE(IsValidUtf8(text));
        TXMLDocument document;
        ASSERT_NO_THROW(TXMLFiler::LoadFromString(text, document));
        int count = 0;
        int depth = 0;
        CountNested(document, opml ? "outline" : "node", count, depth);
        EXPECT_EQ(c.Count, count);
        if (c.Depth >= 0) {
            EXPECT_EQ(c.Depth, depth);
        }
        if (c.Count > 0) {
            ASSERT_NE(nullptr, document.RootElement());
            EXPECT_TRUE(document.RootElement()->IsElementNamed(opml ? "opml" : "map"));
            EXPECT_EQ(opml, IsOpmlText(text));
        }
    }
}

TEST(XMLCorpus, DecodesTextsWrittenAsCharacterReferences) {
    const std::filesystem::path corpus = CV_SHARED_CORPUS;
    if (!std::filesystem::exists(corpus))
        GTEST_SKIP() << "no corpus at " << corpus;
    TXMLDocument document;
    TXMLFiler::LoadFromString(
        ReadTextFile((corpus / "freemind/freeplane__freeplane_doc_ja_numeric_refs.mm").string(), 8), document);
    const TXMLElement* root = document.FindPath({"map", "node"});
    ASSERT_NE(nullptr, root);
    EXPECT_EQ("\xE3\x83\x9E\xE3\x83\x8B\xE3\x83\xA5\xE3\x82\xA2\xE3\x83\xAB\nFreeplane 1.2", root->GetString("TEXT"));
    int undecoded = 0;
    ForEachElement(document, [&](const TXMLElement& element) {
        for (int i = 0; i < element.Attributes().Count(); ++i)
            undecoded += element.Attributes().Value(i).find("&#") != std::string::npos ? 1 : 0;
        undecoded += element.Text().find("&#") != std::string::npos ? 1 : 0;
    });
    EXPECT_EQ(0, undecoded);

    // FreeMind once wrote "&#x0;": it stays as written instead of failing the file
    TXMLFiler::LoadFromString(ReadTextFile((corpus / "freemind/jiangxin__flash_index_0.8.0_beta5.mm").string(), 8),
                              document);
    int kept = 0;
    ForEachElement(document, [&](const TXMLElement& element) {
        for (int i = 0; i < element.Attributes().Count(); ++i)
            kept += element.Attributes().Value(i).find("&#x0;") != std::string::npos ? 1 : 0;
    });
    EXPECT_EQ(1, kept);
}

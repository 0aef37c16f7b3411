// Inputs the fuzz targets found faults with, kept in tests/data/fuzz/<target>/ and replayed as their target runs
// them, and the cases around each fault.

#include "formats/OXXMLDOM.h"
#include "formats/XMLFilers.h"
#include "platform/Files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Findings(const char* target) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(CV_TEST_DATA) / "fuzz" / target))
        files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

// What the writer makes of the text's document, read back; empty when the text itself cannot be read.
void ExpectWrittenReadsBackTheSame(const std::string& text) {
    TXMLDocument document;
    try {
        TXMLFiler::LoadFromString(text, document);
    } catch (const EOXXMLException&) {
        return;
    }
    const std::string written = TXMLFiler::SaveToString(document);
    TXMLDocument again;
    ASSERT_NO_THROW(TXMLFiler::LoadFromString(written, again)) << written;
    EXPECT_EQ(TXMLFiler::SaveToString(again), written);
}

} // namespace

TEST(FuzzFindings, XmlWrittenBackReadsTheSame) {
    const std::vector<std::string> files = Findings("xml");
    ASSERT_FALSE(files.empty());
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        ExpectWrittenReadsBackTheSame(ReadFileBytes(file));
    }
}

// The reader takes quotes and ">" into names; the writer puts "_" in their place, so that the tag it writes ends
// where it should.
TEST(FuzzFindings, NamesThatWouldBreakATagAreWrittenWithUnderscores) {
    struct TCase {
        const char* Text;
        const char* Attributes; // name=value pairs of the root as read
        const char* Written;    // the root as written
    };
    const TCase cases[] = {
        {R"(<a b"c"/>)", "b\"c\"= ", "<a b_c_=\"\"/>\r\n"},
        {R"(<a b='"' c>d=x e='"'/>)", "b=\" c>d= x= e=\" ", "<a b=\"&quot;\" c_d=\"\" x=\"\" e=\"&quot;\"/>\r\n"},
        {R"(<a"b" c="1"><d/></a"b">)", "c=1 ", "<a_b_ c=\"1\">\r\n\t<d/>\r\n</a_b_>\r\n"},
        {"<\x1E!/>", "", "<_/>\r\n"},
        {"<\x1E?><\x1E/></\x1E?>", "", "<_>\r\n\t<_/>\r\n</_>\r\n"},
        {"<</\x08" "c>s</</\x08>", "c= ", "<<_ c=\"\">\r\ns\r\n</<_>\r\n"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        TXMLDocument document;
        TXMLFiler::LoadFromString(c.Text, document);
        const TXMLElement& root = *document.RootElement();
        std::string attributes;
        for (int i = 0; i < root.Attributes().Count(); ++i)
            attributes += root.Attributes().Name(i) + "=" + root.Attributes().Value(i) + " ";
        EXPECT_EQ(attributes, c.Attributes);
        EXPECT_EQ(TXMLFiler::ElementToString(root, 0), c.Written);
        ExpectWrittenReadsBackTheSame(c.Text);
    }
}

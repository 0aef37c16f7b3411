#include "platform/CVStrings.h"
#include "platform/Encodings.h"
#include "platform/Guids.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

TEST(CVStrings, NumbersParseWholeStringsWithAPointAndRefuseNonFiniteValues) {
    struct TCase {
        const char* Text;
        bool Valid;
        double Value;
    };
    const TCase cases[] = {
        {"12.5", true, 12.5}, {"-3", true, -3},        {"+4.25", true, 4.25}, {"1e3", true, 1000}, {"12,5", false, 0},
        {"", false, 0},       {" 1", false, 0},        {"1 ", false, 0},      {"nan", false, 0},   {"NaN", false, 0},
        {"inf", false, 0},    {"-infinity", false, 0}, {"1e400", false, 0},   {"0x10", false, 0},  {"abc", false, 0},
    };
    TGermanLocale german;
    ASSERT_TRUE(german.Active()) << "the de_DE.UTF-8 locale is missing";
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        const auto value = ParseFloat(c.Text);
        ASSERT_EQ(value.has_value(), c.Valid);
        if (c.Valid) {
            EXPECT_DOUBLE_EQ(*value, c.Value);
        }
    }
}

TEST(CVStrings, IntegersRefuseFractionsAndOverflow) {
    EXPECT_EQ(ParseInt("-17"), -17);
    EXPECT_EQ(ParseInt("+5"), 5);
    EXPECT_FALSE(ParseInt("1.0"));
    EXPECT_FALSE(ParseInt("2147483648"));
    EXPECT_FALSE(ParseInt("--1"));
    EXPECT_FALSE(ParseInt("+-5"));
    EXPECT_FALSE(ParseFloat("+-5"));
    EXPECT_FALSE(ParseInt("+"));
}

TEST(CVStrings, NumbersAreWrittenWithAPointWhateverTheLocale) {
    TGermanLocale german;
    ASSERT_TRUE(german.Active()) << "the de_DE.UTF-8 locale is missing";
    EXPECT_EQ(FormatFixed(12.5), "12.50");
    EXPECT_EQ(FormatFixed(-3.5), "-3.50");
    EXPECT_EQ(FormatFixed(-0.001), "0.00");
    EXPECT_EQ(FormatFloat(1.5), "1.5");
    EXPECT_EQ(FormatFloat(1.0 / 3.0), "0.333333333333333");
    EXPECT_EQ(FormatFloat(100), "100");
}

TEST(CVStrings, RoundingTakesHalvesToTheEvenNeighbour) {
    const std::pair<double, std::int64_t> cases[] = {{4.5, 4}, {6.5, 6}, {3.5, 4}, {-2.5, -2}, {2.4999, 2}, {-0.6, -1}};
    for (const auto& [value, expected] : cases) {
        SCOPED_TRACE(value);
        EXPECT_EQ(RoundHalfEven(value), expected);
    }
}

TEST(CVStrings, Utf8DecodingReplacesEveryInvalidSequence) {
    EXPECT_TRUE(IsValidUtf8("gr\xC3\xBC\xC3\x9F \xEF\xBF\xBD \xF0\x9F\x98\x80"));
    const char* invalid[] = {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                             "a\x80"
                             "b"};
    for (const char* text : invalid) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(IsValidUtf8(text));
        EXPECT_TRUE(IsValidUtf8(SanitizeUtf8(text)));
    }
    EXPECT_EQ(SanitizeUtf8("a\x80"
                           "b"),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(CodePointCount("\xE6\x97\xA5\xE6\x9C\xAC!"), 3u);
}

TEST(Encodings, BytesThatAreNotUtf8AreReadAsWindows1252) {
    EXPECT_EQ(DecodeAnsi("caf\xC3\xA9"), "caf\xC3\xA9");                                 // already UTF-8
    EXPECT_EQ(DecodeAnsi("caf\xE9 \x80 \x93"), "caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9C"); // é € “
    EXPECT_EQ(DecodeWindows1252("\x81"), "\xC2\x81"); // unassigned bytes keep their code
}

TEST(Encodings, Utf16LittleEndianKeepsPairsAndReplacesLoneSurrogates) {
    const std::string pair("\x3D\xD8\x00\xDE", 4); // U+1F600
    EXPECT_EQ(DecodeUtf16LE(pair), "\xF0\x9F\x98\x80");
    const std::string lone("\x00\xD8"
                           "A\x00",
                           4);
    EXPECT_EQ(DecodeUtf16LE(lone), "\xEF\xBF\xBD"
                                   "A");
}

TEST(Guids, ElementAndDocumentIdentitiesHaveTheirShapes) {
    const std::string element = NewElementGuid();
    EXPECT_EQ(element.size(), 22u);
    EXPECT_EQ(element.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"),
              std::string::npos);
    EXPECT_NE(element, NewElementGuid());
    const std::string document = NewDocumentGuid();
    EXPECT_EQ(document.size(), 32u);
    EXPECT_EQ(document.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    EXPECT_EQ(EncodeBase64Url("\xFB\xFF"), "-_8");
}

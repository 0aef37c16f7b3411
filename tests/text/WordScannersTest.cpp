#include "text/WordScanners.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The words of a text joined with "|".
std::string WordList(const std::string& text) {
    const TParagraphWordScanner scanner(text);
    std::string list;
    for (int i = 0; i < scanner.WordCount(); ++i)
        list += (i ? "|" : "") + std::string(scanner.Word(i));
    return list;
}

// Each paragraph as "[flags]text", flags B for BlankBefore and L for IsListItem, joined with " / ".
std::string ParagraphList(const std::string& text) {
    std::string list;
    for (const auto& paragraph : BuildParagraphs(text)) {
        if (!list.empty())
            list += " / ";
        list += "[";
        list += paragraph->BlankBefore() ? "B" : "";
        list += paragraph->IsListItem() ? "L" : "";
        list += "]" + paragraph->Text();
    }
    return list;
}

} // namespace

TEST(ClassifyLine, RecognisesBlankBulletAndNumberedLines) {
    struct TCase {
        const char* Line;
        TLineKind Kind;
    };
    const TCase cases[] = {
        {"", lkBlank},
        {" \t ", lkBlank},
        {"\x01\x1f", lkBlank},
        {"text", lkText},
        {"- item", lkBullet},
        {"-", lkBullet},
        {"*", lkBullet},
        {"+\titem", lkBullet},
        {"*\u00a0item", lkBullet}, // no-break space
        {"-\u0085item", lkBullet}, // next line
        {"-5 degrees", lkText},
        {"*bold*", lkText},
        {"--", lkText},
        {" - indented", lkText},
        {"\u2022 item", lkText}, // only the ASCII markers make items
        {"12. item", lkNumbered},
        {"1.", lkNumbered},
        {"3.\u00a0item", lkNumbered},
        {"1.5 litres", lkText},
        {"12 items", lkText},
        {".5", lkText},
        {"1)", lkText},
        {"\u0661. item", lkText}, // Arabic-Indic digit
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Line);
        EXPECT_EQ(ClassifyLine(c.Line), c.Kind);
    }
}

TEST(TParagraphWordScanner, EndsWordsAfterSeparatorsAndTheSpacesThatFollow) {
    struct TCase {
        const char* Text;
        const char* Words;
    };
    const TCase cases[] = {
        {"", ""},
        {"   ", ""},
        {"alpha", "alpha"},
        {"alpha beta", "alpha |beta"},
        {"alpha   beta", "alpha   |beta"},
        {"  padded  ", "padded"},
        {"a,b.c:d;e", "a,|b.|c:|d;|e"},
        {"one, two", "one, |two"},
        {"1.5 litres", "1.|5 |litres"},
        {"-5 degrees", "-5 |degrees"},
        {"word\u00a0word", "word\u00a0word"}, // a no-break space does not break
        {"a-b/c", "a-b/c"},
        {"\u4f60\u597d\u4e16\u754c", "\u4f60\u597d\u4e16\u754c"}, // no break between ideographs
        {"\u4f60\u597d\u3002\u4e16\u754c", "\u4f60\u597d\u3002|\u4e16\u754c"},
        {"\u4f60\u3001\u3000\u597d", "\u4f60\u3001\u3000|\u597d"}, // an ideographic space follows like a space
        {"a\uff01b\uff0cc\uff1ad\uff1be\uff1ff", "a\uff01|b\uff0c|c\uff1a|d\uff1b|e\uff1f|f"},
        {"\u3000lead", "lead"},
        {"x\t y", "x\t |y"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(WordList(c.Text), c.Words);
    }
}

TEST(TParagraphWordScanner, JoinsLinesWithOneSpaceExceptAfterIdeographicMarks) {
    struct TCase {
        const char* Text;
        const char* Joined;
    };
    const TCase cases[] = {
        {"one\rtwo", "one two"},
        {"one\r\ntwo", "one two"},
        {"one\ntwo", "one two"},
        {"one.\rtwo", "one. two"},
        {"one \rtwo", "one  two"},
        {"\u6587\u672c\u3002\r\u6ca1\u6709", "\u6587\u672c\u3002\u6ca1\u6709"},
        {"\u6587\u672c\uff0c\r\n\u6ca1\u6709", "\u6587\u672c\uff0c\u6ca1\u6709"},
        {"\u6587\u672c\uff1f\r\u6ca1\u6709", "\u6587\u672c\uff1f\u6ca1\u6709"},
        {"\u6587\u672c\r\u6ca1\u6709", "\u6587\u672c \u6ca1\u6709"}, // no mark: a space
        {"\u6587\u672c\uff08\r\u6ca1", "\u6587\u672c\uff08 \u6ca1"}, // an opening bracket is no break mark
        {"end\r", "end"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(TParagraphWordScanner(c.Text).Text(), c.Joined);
    }
}

TEST(TParagraphWordScanner, WordsTextIsTheRunOfWordsWithoutTrailingWhitespace) {
    const TParagraphWordScanner scanner("alpha, beta  gamma\u3002\u3000delta");
    ASSERT_EQ(scanner.WordCount(), 4);
    EXPECT_EQ(scanner.WordsText(0, 0), "alpha,");
    EXPECT_EQ(scanner.WordsText(0, 1), "alpha, beta");
    EXPECT_EQ(scanner.WordsText(1, 2), "beta  gamma\u3002");
    EXPECT_EQ(scanner.WordsText(2, 3), "gamma\u3002\u3000delta");
    EXPECT_EQ(scanner.WordsText(3, 2), "");
}

TEST(BuildParagraphs, BlankLinesAndListItemsStartParagraphs) {
    struct TCase {
        const char* Text;
        const char* Paragraphs;
    };
    const TCase cases[] = {
        {"", ""},
        {" \r\n\t", ""},
        {"one", "[]one"},
        {"one\rtwo", "[]one\rtwo"},
        {"one\r\ntwo\nthree", "[]one\rtwo\rthree"},
        {"one\r\rtwo", "[]one / [B]two"},
        {"one\r\n\r\n \r\n\ttwo", "[]one / [B]\ttwo"},
        {"\r\rfirst", "[B]first"},
        {"last\r\r", "[]last"},
        {"intro\r- a\r- b", "[]intro / [L]- a / [L]- b"},
        {"- item\rcontinued", "[L]- item\rcontinued"},
        {"intro\r\r- item", "[]intro / [BL]- item"}, // the blank line stays before a list item
        {"intro\r\r\r12. item\rmore", "[]intro / [BL]12. item\rmore"},
        {"costs\r1.5 litres", "[]costs\r1.5 litres"},
        {"it is\r-5 degrees", "[]it is\r-5 degrees"},
        {"- a\r\rtext", "[L]- a / [B]text"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(ParagraphList(c.Text), c.Paragraphs);
    }
}

TEST(HasBreakCharacter, FindsLineBreaksAndSeparators) {
    struct TCase {
        const char* Text;
        bool Breaks;
    };
    const TCase cases[] = {
        {"", false},
        {"oneword", false},
        {"hyphen-ated", false},
        {"no\u00a0break", false},
        {"\u4f60\u597d\u4e16\u754c", false},
        {"two words", true},
        {"a,b", true},
        {"a.b", true},
        {"a:b", true},
        {"a;b", true},
        {"a\rb", true},
        {"a\nb", true},
        {"\u4f60\u3002\u597d", true},
        {"\u4f60\uff1f\u597d", true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(HasBreakCharacter(c.Text), c.Breaks);
    }
}

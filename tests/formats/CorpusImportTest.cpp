// Outlines written by other people and programs: every one opens as the viewer opens it (or, when damaged, fails
// with the message the user is meant to see), keeps the topics the file holds, and survives the trip through the
// outline text and back.

#include "formats/NonNativeFilers.h"
#include "formats/Providers.h"
#include "formats/ViewerProviders.h"
#include "formats/XMLFilers.h"
#include "platform/AppErrors.h"
#include "platform/CVStrings.h"
#include "platform/Files.h"

#include "TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

namespace {

namespace fs = std::filesystem;

// Start tags "<name" followed by white space, "/" or ">", counted in the raw text: the file's own count of
// elements, independent of any parser.
std::size_t CountStartTags(const std::string& text, const std::string& name) {
    std::size_t count = 0;
    const std::string lower = LowerAscii(text);
    const std::string open = "<" + name;
    for (std::size_t at = lower.find(open); at != std::string::npos; at = lower.find(open, at + 1)) {
        const std::size_t next = at + open.size();
        if (next < lower.size() &&
            (static_cast<unsigned char>(lower[next]) <= 32 || lower[next] == '/' || lower[next] == '>'))
            ++count;
    }
    return count;
}

struct TOutlineRow {
    int Level;
    std::string Title;
    std::string Note;
    friend bool operator==(const TOutlineRow&, const TOutlineRow&) = default;
};

std::ostream& operator<<(std::ostream& out, const TOutlineRow& row) {
    return out << row.Level << " [" << row.Title << "] {" << ReplaceLineBreaks(row.Note, "|") << "}";
}

// What the outline text keeps of a topic: its title on one line ("unnamed topic" when empty) and its note with
// each line trimmed.
std::vector<TOutlineRow> OutlineRows(const TMindMap& map, int levelShift = 0) {
    std::vector<TMindMapNode*> topics;
    for (TMindMapNode* theme : map.CentralThemes())
        theme->CollectBranch(topics);
    std::vector<TOutlineRow> rows;
    for (const TMindMapNode* topic : topics) {
        std::string title = Trim(ReplaceLineBreaks(topic->PlainText(), " "));
        if (title.empty())
            title = "unnamed topic";
        // wrapping breaks lines after separators (also inside "e.g.") and drops the white space there, and the
        // outline text writes every line break as a space: what is kept are the characters other than white space
        std::string collapsed;
        for (const char32_t c : ToUtf32(title))
            if (c > 32 && c != 0xA0)
                AppendUtf8(collapsed, c);
        std::string note;
        if (topic->HasNote())
            for (const std::string& line : SplitLines(topic->NotePlainText()))
                note += (note.empty() ? "" : "\r") + Trim(line);
        rows.push_back({topic->Level() + levelShift, Trim(collapsed), Trim(note)});
    }
    return rows;
}

class TErrorCatcher {
public:
    TErrorCatcher() {
        FPrevious =
            SetApplicationExceptionHandler([this](const std::exception& error) { Errors.push_back(error.what()); });
    }
    ~TErrorCatcher() { SetApplicationExceptionHandler(FPrevious); }
    std::vector<std::string> Errors;

private:
    TExceptionHandler FPrevious;
};

} // namespace

TEST(OutlineCorpus, EveryFileOpensKeepsItsTopicsAndSurvivesTheOutlineText) {
    const fs::path corpus = CV_SHARED_CORPUS;
    if (!fs::exists(corpus))
        GTEST_SKIP() << "no corpus at " << corpus;
    // damaged files and the message the user gets for each
    const std::set<std::string> damaged = {"scripting__glossary_NOT_OPML_body_Not_found.opml"};
    std::vector<fs::path> files;
    for (const char* folder : {"opml", "freemind", "text"})
        for (const fs::directory_entry& entry : fs::directory_iterator(corpus / folder))
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    ASSERT_GE(files.size(), 60u);
    int opened = 0;
    for (const fs::path& file : files) {
        const std::string name = file.filename().string();
        SCOPED_TRACE(name);
        TDocumentKind kind = dkNone;
        ASSERT_TRUE(KindOfPath(file.string(), kind));
        TErrorCatcher catcher;
        auto storage = ViewerProvider().CreateStorage(file.string());
        if (damaged.count(name)) {
            EXPECT_THAT([&] { storage->Load(); },
                        testing::ThrowsMessage<ECVException>(testing::StrEq("Unable to import file " + name)));
            EXPECT_EQ(catcher.Errors.size(), 1u);
            continue;
        }
        ASSERT_NO_THROW(storage->Load());
        EXPECT_TRUE(catcher.Errors.empty());
        TMindMap map;
        map.SetImageStore(&storage->GetImageStore());
        map.LoadFromText(storage->GetDocumentText(), file.string(), true, dkCvmx);
        map.SetImageStore(nullptr);
        ASSERT_TRUE(map.HasDocument());
        ++opened;

        // the topics the file holds, and a map only for an empty file
        const std::string bytes = ReadFileBytes(file.string());
        const std::size_t topics = static_cast<std::size_t>(map.TopicCount());
        if (kind == dkOpml || kind == dkFreeMind) {
            const std::size_t elements = CountStartTags(bytes, kind == dkOpml ? "outline" : "node");
            // OPML may add the head's title as the one central theme above several top-level outlines
            EXPECT_TRUE(topics == elements ||
                        (kind == dkOpml && topics == elements + 1 && map.CentralThemeCount() == 1))
                << topics << " topics for " << elements << " elements";
        } else {
            const std::size_t lines = SplitLines(ReadTextFile(file.string(), dkText)).size();
            EXPECT_LE(topics, lines + 1);
        }
        EXPECT_EQ(topics == 0, Trim(bytes).empty());
        for (int i = 0; i < map.TopicCount(); ++i)
            EXPECT_TRUE(IsValidUtf8(map.TopicAt(i)->Text()));

        // the outline text of the map reads back as the same outline
        const std::string outline = SaveToText(map, dkText, false);
        TMindMap copy;
        copy.LoadFromText(outline, "", true, dkText);
        std::vector<TOutlineRow> expected = OutlineRows(map);
        std::vector<TOutlineRow> actual = OutlineRows(copy);
        // top-level lines without any children come back under one "Imported Text" topic
        if (actual.size() == expected.size() + 1 && !actual.empty() && actual.front().Title == "Imported Text" &&
            actual.front().Level == 0) {
            actual = OutlineRows(copy, -1);
            actual.erase(actual.begin());
        }
        ASSERT_EQ(actual.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i)
            ASSERT_EQ(actual[i], expected[i]) << "topic " << i;
    }
    EXPECT_EQ(opened, static_cast<int>(files.size() - damaged.size()));
}

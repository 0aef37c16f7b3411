#include "shell/CfgStore.h"

#include "platform/AppErrors.h"
#include "platform/CVStrings.h"
#include "shell/Localization.h"
#include "styling/CVStyleManager.h"
#include "text/MarkDownParsers.h"

#include "TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace std::string_literals;

namespace {

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> FolderEntries(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A settings file in a temporary folder.
struct TSettingsFolder {
    TTempDir Dir;
    std::filesystem::path Path = Dir.Path() / "settings.ini";

    std::unique_ptr<TRegistryStore> Open() const {
        auto store = std::make_unique<TRegistryStore>(Path.string());
        store->Load();
        return store;
    }
};

// A window as the toolkit would describe it.
class TFakeWindow : public IStatefulWindow {
public:
    std::string ClassName = "TViewerMainForm";
    TScreenRect Bounds{100, 100, 800, 600};
    bool Sizeable = true;
    bool Normal = true;
    bool PositionedByDefault = false;
    std::vector<TScreenRect> WorkAreas{{0, 0, 1920, 1040}};
    std::optional<TScreenRect> Applied;
    bool AppliedSizeOnly = false;
    bool Custom = true;
    TFormStateDictionary State;

    std::string WindowClassName() const override { return ClassName; }
    TScreenRect WindowBounds() const override { return Bounds; }
    bool IsSizeable() const override { return Sizeable; }
    bool IsInNormalState() const override { return Normal; }
    bool IsPositionedByDefault() const override { return PositionedByDefault; }
    std::vector<TScreenRect> DesktopWorkAreas() const override { return WorkAreas; }
    void ApplyBounds(const TScreenRect& bounds, bool sizeOnly) override {
        Applied = bounds;
        AppliedSizeOnly = sizeOnly;
    }
    bool HasCustomFormState() const override { return Custom; }
    TFormStateDictionary GetCustomFormStateAsDictionary() const override { return State; }
    void SetCustomFormStateAsDictionary(const TFormStateDictionary& state) override { State = state; }
};

// Collects what reaches the application's exception handler while it lives.
class TReportedErrors {
public:
    TReportedErrors()
        : FPrevious(SetApplicationExceptionHandler([this](const std::exception& e) { Messages.push_back(e.what()); })) {
    }
    ~TReportedErrors() { SetApplicationExceptionHandler(FPrevious); }
    TReportedErrors(const TReportedErrors&) = delete;
    TReportedErrors& operator=(const TReportedErrors&) = delete;
    std::vector<std::string> Messages;

private:
    TExceptionHandler FPrevious;
};

} // namespace

TEST(TConfigStore, LenientBooleans) {
    for (const char* text : {"1", "True", "true", "YES", "Yes", "ja", "T", "t", "-1"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(ParseStoredBool(text), true);
    }
    for (const char* text : {"0", "False", "FALSE", "no", "Nee", "NEE", "F", "f"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(ParseStoredBool(text), false);
    }
    for (const char* text : {"", " True", "True ", "2", "Y", "N", "nein", "maybe", "-0"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(ParseStoredBool(text), std::nullopt);
    }
}

TEST(TConfigStore, ValuesRoundTripUnderADecimalCommaLocale) {
    TGermanLocale german;
    if (!german.Active())
        GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    TSettingsFolder folder;
    {
        auto store = folder.Open();
        TConfigStore config(*store);
        config.WriteFloat("NodeStyles\\CentralTheme", "fontsize", 12.5);
        config.WriteFloat("Numbers", "Small", 0.001);
        config.WriteInteger("Numbers", "Negative", -12);
        config.WriteBool("Numbers", "On", true);
        config.WriteString("Texts", "Tricky", " leading space, \\ backslash,\nnew line,\ttab, \xC3\xA4 = [x] # y");
        config.WriteString("Texts", "Broken", "bad \xFF byte");
        ASSERT_TRUE(store->Save());
    }
    const std::string file = ReadBytes(folder.Path);
    EXPECT_THAT(file, testing::HasSubstr("[NodeStyles/CentralTheme]\nfontsize=12.5\n"));
    EXPECT_THAT(file, testing::HasSubstr("Small=0.001\n"));
    EXPECT_THAT(file, testing::HasSubstr("On=True\n"));
    auto store = folder.Open();
    EXPECT_EQ(store->FileState(), sfsLoaded);
    TConfigStore config(*store);
    EXPECT_EQ(config.ReadFloat("NodeStyles\\CentralTheme", "fontsize", 0), 12.5);
    EXPECT_EQ(config.ReadFloat("nodestyles/centraltheme", "FONTSIZE", 0), 12.5); // names ignore case
    EXPECT_EQ(config.ReadFloat("Numbers", "Small", 0), 0.001);
    EXPECT_EQ(config.ReadInteger("Numbers", "Negative", 0), -12);
    EXPECT_TRUE(config.ReadBool("Numbers", "On", false));
    EXPECT_EQ(config.ReadString("Texts", "Tricky", ""),
              " leading space, \\ backslash,\nnew line,\ttab, \xC3\xA4 = [x] # y");
    EXPECT_EQ(config.ReadString("Texts", "Broken", ""), "bad \xEF\xBF\xBD byte");
}

TEST(TConfigStore, UnreadableValuesGiveTheDefault) {
    TSettingsFolder folder;
    auto store = folder.Open();
    TConfigStore config(*store);
    const std::pair<const char*, const char*> values[] = {
        {"Int", "12abc"},  {"Int2", "1.5"},   {"Int3", "99999999999"}, {"Float", "1,5"},
        {"Float2", "nan"}, {"Float3", "inf"}, {"Bool", "maybe"},
    };
    for (const auto& [name, text] : values)
        config.WriteString("S", name, text);
    EXPECT_EQ(config.ReadInteger("S", "Int", 7), 7);
    EXPECT_EQ(config.ReadInteger("S", "Int2", 7), 7);
    EXPECT_EQ(config.ReadInteger("S", "Int3", 7), 7);
    EXPECT_EQ(config.ReadFloat("S", "Float", 2.5), 2.5);
    EXPECT_EQ(config.ReadFloat("S", "Float2", 2.5), 2.5);
    EXPECT_EQ(config.ReadFloat("S", "Float3", 2.5), 2.5);
    EXPECT_TRUE(config.ReadBool("S", "Bool", true));
    EXPECT_FALSE(config.ReadBool("S", "Bool", false));
    EXPECT_EQ(config.ReadString("S", "Missing", "fallback"), "fallback");
    EXPECT_EQ(config.ReadInteger("Missing", "Int", 3), 3);
}

TEST(TConfigStore, StringLists) {
    TSettingsFolder folder;
    auto store = folder.Open();
    TConfigStore config(*store);
    std::vector<std::string> lines{"stale"};

    store->WriteValue("Recent Files", "Count", "3");
    store->WriteValue("Recent Files", "H0", "/a.cvmx");
    store->WriteValue("Recent Files", "H2", "/c.cvmx");
    config.ReadStrings("Recent Files", lines);
    EXPECT_EQ(lines, (std::vector<std::string>{"/a.cvmx", "", "/c.cvmx"}));

    for (const char* count : {"-1", "x", ""}) {
        store->WriteValue("L", "Count", count);
        config.ReadStrings("L", lines);
        EXPECT_TRUE(lines.empty()) << count;
    }
    // A damaged count does not make the program read two billion lines.
    store->WriteValue("L", "Count", "2147483647");
    config.ReadStrings("L", lines);
    EXPECT_EQ(lines.size(), static_cast<std::size_t>(TConfigStore::kMaxStoredLines));

    config.WriteStrings("W", {"one", "two", "three"});
    config.WriteStrings("W", {"only"});
    EXPECT_EQ(store->ValueNames("W"), (std::vector<std::string>{"Count", "H0"}));
    config.ReadStrings("W", lines);
    EXPECT_EQ(lines, std::vector<std::string>{"only"});
    config.WriteStrings("Empty", {});
    EXPECT_TRUE(config.SectionExists("Empty"));
    EXPECT_EQ(store->ReadValue("Empty", "Count"), "0");
}

TEST(TRegistryStore, KeysLikeTheRegistry) {
    TSettingsFolder folder;
    auto store = folder.Open();
    EXPECT_EQ(store->FileState(), sfsNew);
    store->WriteValue("FormStore\\TViewerMainForm", "Left", "1");
    store->WriteValue("FormStore\\TImagePreviewForm", "Left", "2");
    store->WriteValue("FormStore\\TImagePreviewForm\\Deeper", "X", "3");
    store->WriteValue("FormStore-Other", "Y", "4");
    store->WriteValue("formstore\\tviewermainform", "LEFT", "5");
    EXPECT_TRUE(store->KeyExists("FormStore"));
    EXPECT_TRUE(store->KeyExists("FORMSTORE"));
    EXPECT_FALSE(store->KeyExists("Form"));
    EXPECT_EQ(store->SubKeyNames("FormStore"), (std::vector<std::string>{"TImagePreviewForm", "TViewerMainForm"}));
    EXPECT_EQ(store->ValueNames("FormStore\\TViewerMainForm"), std::vector<std::string>{"Left"});
    EXPECT_EQ(store->ReadValue("FormStore/TViewerMainForm", "left"), "5");

    // Names the key file cannot hold are not stored at all.
    for (const char* name : {"", "a=b", "[x]", " lead", "trail ", "#comment", "new\nline"})
        store->WriteValue("Names", name, "v");
    store->WriteValue("Bad[Key]", "a", "v");
    EXPECT_TRUE(store->ValueNames("Names").empty());
    EXPECT_FALSE(store->KeyExists("Bad[Key]"));

    store->DeleteValue("FormStore\\TViewerMainForm", "left");
    EXPECT_FALSE(store->ReadValue("FormStore\\TViewerMainForm", "Left"));
    store->DeleteKey("FormStore\\TImagePreviewForm");
    EXPECT_FALSE(store->KeyExists("FormStore\\TImagePreviewForm\\Deeper"));
    EXPECT_EQ(store->ReadValue("FormStore-Other", "Y"), "4");
    ASSERT_TRUE(store->Save());

    auto reread = folder.Open();
    EXPECT_EQ(reread->SubKeyNames("FormStore"), std::vector<std::string>{"TViewerMainForm"});
    EXPECT_EQ(reread->ReadValue("FormStore-Other", "Y"), "4");
    EXPECT_FALSE(reread->HasUnsavedChanges());
}

TEST(TRegistryStore, SettingsFileFollowsXdgConfigHome) {
    TTempDir dir;
    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string savedXdg = oldXdg ? oldXdg : "";
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome ? oldHome : "";
    setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
    const std::string path = SettingsFilePath();
    setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    setenv("HOME", (dir.Path() / "home").c_str(), 1);
    const std::string fallback = SettingsFilePath();
    oldXdg ? setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
    oldHome ? setenv("HOME", savedHome.c_str(), 1) : unsetenv("HOME");

    EXPECT_EQ(path, (dir.Path() / "Orrinex/CorvellaViewer/1.0/settings.ini").string());
    EXPECT_EQ(fallback, (dir.Path() / "home/.config/Orrinex/CorvellaViewer/1.0/settings.ini").string());
    // Saving creates the folders, private to the user.
    TRegistryStore store(path);
    store.Load();
    store.WriteValue("UILanguage", "Language", "lanDE");
    ASSERT_TRUE(store.Save());
    EXPECT_EQ(ReadBytes(path), "[UILanguage]\nLanguage=lanDE\n");
    const auto permissions = std::filesystem::status(dir.Path() / "Orrinex").permissions();
    EXPECT_EQ(permissions & std::filesystem::perms::all, std::filesystem::perms::owner_all);
    EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST(TRegistryStore, TolerantFilesAreRead) {
    struct TCase {
        std::string Text;
        const char* Value; // of [G] a
    };
    const TCase cases[] = {
        {"", nullptr},
        {"\xEF\xBB\xBF[G]\na=1\n", "1"},
        {"# comment\n\n[G]\r\na=2\r\n", "2"},
        {"[G]\na=x\\qy\n", "x\\qy"},       // an unknown escape is kept as written
        {"[G]\na=\xFF\n", "\xEF\xBF\xBD"}, // bad UTF-8 in a value
        {"[G]\na=first\nA=second\n", "first"},
        {"[G]\nb[de]=x\na=3\n", "3"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.Text));
        TSettingsFolder folder;
        std::ofstream(folder.Path, std::ios::binary) << c.Text;
        auto store = folder.Open();
        EXPECT_EQ(store->FileState(), sfsLoaded);
        EXPECT_EQ(store->LoadNotice(), std::nullopt);
        const std::optional<std::string> value = store->ReadValue("G", "a");
        EXPECT_EQ(value.has_value(), c.Value != nullptr);
        if (value && c.Value) {
            EXPECT_EQ(*value, c.Value);
        }
    }
}

TEST(TRegistryStore, DamagedFileIsKeptAsideAndDefaultsAreUsed) {
    const std::string cases[] = {
        "Left=10\n",                           // no group
        "[FormStore/TViewerMainForm]\njunk\n", // a line that is no value
        "[Unclosed\nLeft=1\n",
        "[G]\nLeft=1\n\0hidden=2\n"s,
        "\x89PNG\r\n\x1A\n\0\0\0\rIHDR"s,
        "\xFF\xFE[\0G\0]\0"s,
        "[G]\n" + std::string(17u << 20, 'x'),
    };
    for (const std::string& text : cases) {
        SCOPED_TRACE(testing::PrintToString(text.substr(0, 40)));
        TSettingsFolder folder;
        std::ofstream(folder.Path, std::ios::binary) << text;
        auto store = folder.Open();
        EXPECT_EQ(store->FileState(), sfsKeptAside);
        EXPECT_EQ(store->KeptAsidePath(), folder.Path.string() + ".damaged");
        EXPECT_TRUE(store->SubKeyNames("").empty());
        EXPECT_EQ(ReadBytes(store->KeptAsidePath()), text);
        EXPECT_FALSE(std::filesystem::exists(folder.Path));
        const std::optional<TSettingsNotice> notice = store->LoadNotice();
        ASSERT_TRUE(notice);
        EXPECT_EQ(notice->Title, "Settings Reset");
        EXPECT_THAT(notice->Text, testing::HasSubstr(store->KeptAsidePath()));

        // Saving writes fresh settings; the damaged copy stays.
        store->WriteValue("UILanguage", "Language", "lanEN");
        ASSERT_TRUE(store->Save());
        EXPECT_EQ(folder.Open()->ReadValue("UILanguage", "Language"), "lanEN");
        EXPECT_EQ(ReadBytes(store->KeptAsidePath()), text);
    }
}

TEST(TRegistryStore, EveryDamagedFileGetsItsOwnCopy) {
    TSettingsFolder folder;
    for (const char* text : {"first", "second", "third"}) {
        std::ofstream(folder.Path, std::ios::binary) << text;
        folder.Open();
    }
    EXPECT_EQ(FolderEntries(folder.Dir.Path()),
              (std::vector<std::string>{"settings.ini.damaged", "settings.ini.damaged-2", "settings.ini.damaged-3"}));
    EXPECT_EQ(ReadBytes(folder.Path.string() + ".damaged-3"), "third");
}

TEST(TRegistryStore, DamagedFileThatCannotBeMovedIsNeverOverwritten) {
    TSettingsFolder folder;
    std::ofstream(folder.Path, std::ios::binary) << "damaged";
    std::ofstream(folder.Path.string() + ".damaged");
    for (int copy = 2; copy <= 100; ++copy)
        std::ofstream(folder.Path.string() + ".damaged-" + std::to_string(copy));
    auto store = folder.Open();
    EXPECT_EQ(store->FileState(), sfsUnreadable);
    ASSERT_TRUE(store->LoadNotice());
    EXPECT_THAT(store->LoadNotice()->Text, testing::HasSubstr("will not be overwritten"));
    store->WriteValue("UILanguage", "Language", "lanEN");
    EXPECT_FALSE(store->Save());
    EXPECT_EQ(ReadBytes(folder.Path), "damaged");
}

TEST(TRegistryStore, SaveKeepsWhatAnotherInstanceWroteMeanwhile) {
    TSettingsFolder folder;
    {
        auto first = folder.Open();
        first->WriteValue("Recent Files", "Count", "0");
        first->WriteValue("Old", "Gone", "1");
        ASSERT_TRUE(first->Save());
    }
    auto mine = folder.Open();
    auto other = folder.Open();
    other->WriteValue("UILanguage", "Language", "lanFR");
    other->DeleteKey("Old");
    ASSERT_TRUE(other->Save());
    mine->WriteValue("Recent Files", "Count", "1");
    mine->WriteValue("Recent Files", "H0", "/x.cvmx");
    ASSERT_TRUE(mine->Save());

    auto merged = folder.Open();
    EXPECT_EQ(merged->ReadValue("UILanguage", "Language"), "lanFR");
    EXPECT_EQ(merged->ReadValue("Recent Files", "H0"), "/x.cvmx");
    EXPECT_FALSE(merged->KeyExists("Old"));
    EXPECT_EQ(mine->ReadValue("UILanguage", "Language"), "lanFR"); // the store now shows the merged file
    // Nothing changed since: nothing is written.
    const auto before = std::filesystem::last_write_time(folder.Path);
    std::filesystem::last_write_time(folder.Path, before - std::chrono::hours(1));
    EXPECT_TRUE(mine->Save());
    EXPECT_EQ(std::filesystem::last_write_time(folder.Path), before - std::chrono::hours(1));
}

TEST(TRegistryStore, InterruptedSaveLeavesThePreviousFile) {
    TSettingsFolder folder;
    {
        auto store = folder.Open();
        store->WriteValue("UILanguage", "Language", "lanDE");
        ASSERT_TRUE(store->Save());
    }
    const std::string previous = ReadBytes(folder.Path);
    // In a child process the file size limit stops the write half-way, as a full disk would: once killing the
    // process (a crash before the rename), once failing the write.
    for (const bool crash : {true, false}) {
        SCOPED_TRACE(crash ? "crash" : "write error");
        const std::vector<std::string> before = FolderEntries(folder.Dir.Path());
        std::fflush(nullptr);
        const pid_t child = fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            const rlimit noCore{0, 0};
            setrlimit(RLIMIT_CORE, &noCore);
            std::signal(SIGXFSZ, crash ? SIG_DFL : SIG_IGN);
            TRegistryStore store(folder.Path.string());
            store.Load();
            store.WriteValue("Big", "Value", std::string(100000, 'x'));
            const rlimit limit{4096, 4096};
            setrlimit(RLIMIT_FSIZE, &limit);
            try {
                store.Save();
                _exit(1);
            } catch (const ECVException& error) {
                _exit(std::string(error.what()).find("Your settings could not be saved: ") == 0 ? 0 : 2);
            } catch (...) {
                _exit(3);
            }
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        if (crash) {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
        } else {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
            // A failed save cleans up after itself.
            EXPECT_EQ(FolderEntries(folder.Dir.Path()), before);
        }
        EXPECT_EQ(ReadBytes(folder.Path), previous);
        auto store = folder.Open();
        EXPECT_EQ(store->FileState(), sfsLoaded);
        EXPECT_EQ(store->ReadValue("UILanguage", "Language"), "lanDE");
    }
    // The next save succeeds beside whatever the crash left.
    auto store = folder.Open();
    store->WriteValue("Big", "Value", "small");
    ASSERT_TRUE(store->Save());
    EXPECT_EQ(folder.Open()->ReadValue("Big", "Value"), "small");
}

TEST(TRegistryStore, SaveErrorIsTranslatedAndLeavesTheFile) {
    TSettingsFolder folder;
    // The settings folder is a file: nothing can be created in it.
    const std::filesystem::path blocked = folder.Dir.Path() / "blocked";
    std::ofstream(blocked) << "not a folder";
    TRegistryStore store((blocked / "settings.ini").string());
    store.Load();
    store.WriteValue("A", "B", "C");
    EXPECT_THAT([&] { store.Save(); },
                testing::ThrowsMessage<ECVException>(testing::StartsWith("Your settings could not be saved: ")));
    EXPECT_EQ(ReadBytes(blocked), "not a folder");
    EXPECT_TRUE(store.HasUnsavedChanges());
}

TEST(TFormStateStore, RestoredBounds) {
    const std::vector<TScreenRect> one{{0, 0, 1920, 1040}};
    const std::vector<TScreenRect> two{{0, 0, 1920, 1040}, {1920, 0, 1280, 1024}};
    struct TCase {
        const char* Name;
        TScreenRect Stored;
        bool Sizeable;
        std::vector<TScreenRect> Areas;
        std::optional<TScreenRect> Expected;
    };
    const TScreenRect current{10, 10, 640, 480};
    const TCase cases[] = {
        {"inside", {100, 50, 800, 600}, true, one, TScreenRect{100, 50, 800, 600}},
        {"not sizeable keeps its size", {100, 50, 800, 600}, false, one, TScreenRect{100, 50, 640, 480}},
        {"no stored size", {100, 50, 0, 600}, true, one, TScreenRect{100, 50, 640, 480}},
        {"partly off: moved in", {1500, 900, 800, 600}, true, one, TScreenRect{1120, 440, 800, 600}},
        {"off the left and top", {-700, -500, 800, 600}, true, one, TScreenRect{0, 0, 800, 600}},
        {"overlap of exactly 32 pixels", {1888, 100, 800, 600}, true, one, std::nullopt},
        {"overlap of 33 pixels", {1887, 100, 800, 600}, true, one, TScreenRect{1120, 100, 800, 600}},
        {"monitor gone", {2500, 100, 800, 600}, true, one, std::nullopt},
        {"second monitor", {2500, 100, 800, 600}, true, two, TScreenRect{2400, 100, 800, 600}},
        {"mostly on the second", {1800, 100, 800, 600}, true, two, TScreenRect{1920, 100, 800, 600}},
        {"larger than the area", {0, 0, 3000, 2000}, true, one, TScreenRect{0, 0, 3000, 2000}},
        {"no monitors", {0, 0, 800, 600}, true, {}, std::nullopt},
        {"extreme numbers", {INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX}, true, one, std::nullopt},
        {"ends just before the area", {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, true, one, std::nullopt},
        {"huge", {-100, -100, INT32_MAX, INT32_MAX}, true, one, TScreenRect{0, 0, INT32_MAX, INT32_MAX}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TFormState state{"T", c.Stored, false, {}};
        EXPECT_EQ(RestoredWindowBounds(state, current, c.Sizeable, c.Areas), c.Expected);
    }
}

TEST(TFormStateStore, WindowStatesSurviveSessions) {
    TSettingsFolder folder;
    // First session: closed in the normal state.
    {
        TFakeWindow window;
        window.Bounds = {200, 150, 1000, 700};
        window.State.Set("WindowMaximized", "False");
        window.State.Set("InspectorTab", "NoteTab");
        TFormStateStore states;
        states.StoreBounds(window);
        states.StoreCustomState(window);
        auto store = folder.Open();
        states.SaveAll(*store);
        ASSERT_TRUE(store->Save());
    }
    // Second session: maximised at closing; the bounds from before maximising stay.
    {
        auto store = folder.Open();
        TFormStateStore states;
        states.LoadAll(*store);
        TFakeWindow window;
        window.Normal = false;
        window.Bounds = {0, 0, 1920, 1040};
        EXPECT_TRUE(states.RestoreBounds(window));
        states.RestoreCustomState(window);
        window.State.Set("WindowMaximized", "True");
        states.StoreBounds(window);
        states.StoreCustomState(window);
        states.SaveAll(*store);
        ASSERT_TRUE(store->Save());
    }
    auto store = folder.Open();
    TFormStateStore states;
    states.LoadAll(*store);
    const TFormState* state = states.Find("tviewermainform");
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->Bounds, (TScreenRect{200, 150, 1000, 700}));
    EXPECT_EQ(state->CustomState.Entries(),
              (std::vector<TFormStateDictionary::TEntry>{{"WindowMaximized", "True"}, {"InspectorTab", "NoteTab"}}));

    TFakeWindow window;
    window.State.Clear();
    EXPECT_TRUE(states.RestoreBounds(window));
    EXPECT_EQ(window.Applied, (TScreenRect{200, 150, 1000, 700}));
    EXPECT_FALSE(window.AppliedSizeOnly);
    states.RestoreCustomState(window);
    EXPECT_EQ(*window.State.Find("windowmaximized"), "True");

    // A window placed by the system gets only the size; an unknown window nothing.
    window.PositionedByDefault = true;
    EXPECT_TRUE(states.RestoreBounds(window));
    EXPECT_TRUE(window.AppliedSizeOnly);
    TFakeWindow other;
    other.ClassName = "TImagePreviewForm";
    EXPECT_FALSE(states.RestoreBounds(other));
    EXPECT_FALSE(other.Applied);
}

TEST(TFormStateStore, LoadAllAndSaveAllFollowTheStoredLayout) {
    TSettingsFolder folder;
    auto store = folder.Open();
    const std::string key = "FormStore\\TViewerMainForm";
    store->WriteValue(key, "Left", "12");
    store->WriteValue(key, "top", "-5");
    store->WriteValue(key, "Width", "wide");
    store->WriteValue(key, "Height", "480");
    store->WriteValue(key, "ShowHints", "Ja");
    store->WriteValue("FormStore\\TImagePreviewForm", "Left", "3");
    TFormStateStore states;
    states.LoadAll(*store);
    ASSERT_EQ(states.States().size(), 2u);
    const TFormState* main = states.Find("TViewerMainForm");
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->Bounds, (TScreenRect{12, -5, 0, 480}));
    EXPECT_EQ(main->CustomState.Entries(), (std::vector<TFormStateDictionary::TEntry>{{"ShowHints", "Ja"}}));

    // A window that is not sizeable stores no size; empty names are not written.
    TFakeWindow preview;
    preview.ClassName = "TImagePreviewForm";
    preview.Sizeable = false;
    preview.Bounds = {7, 8, 300, 200};
    preview.State.Set("", "nameless");
    preview.State.Set("Zoom", "2");
    states.StoreBounds(preview);
    states.StoreCustomState(preview);
    TSettingsFolder other;
    auto written = other.Open();
    states.SaveAll(*written);
    EXPECT_EQ(written->ValueNames("FormStore\\TImagePreviewForm"), (std::vector<std::string>{"Left", "Top", "Zoom"}));
    EXPECT_EQ(written->ReadValue("FormStore\\TImagePreviewForm", "Top"), "8");

    // Nothing stored: loading gives no states.
    TFormStateStore empty;
    empty.LoadAll(*other.Open());
    EXPECT_TRUE(empty.States().empty());
}

TEST(TEditorOptions, ChangesAreBatchedAndClamped) {
    TEditorOptions options;
    EXPECT_TRUE(options.ShowHints());
    EXPECT_TRUE(options.ShowEditorHint());
    EXPECT_FALSE(TEditorOptions(true).ShowHints());
    EXPECT_FALSE(TEditorOptions(true).ShowEditorHint());
    EXPECT_TRUE(options.WrapImportedTopics());
    EXPECT_EQ(options.ImportLayoutOptions(), TLayoutOptions::ForMode(nlmStrictHorizontal));

    int changes = 0;
    int scales = 0;
    options.SetOnChange([&] { ++changes; });
    options.SetOnScaleFactorChanged([&] { ++scales; });
    options.SetCtrlScrollWheelZoom(true);
    options.SetCtrlScrollWheelZoom(true);
    EXPECT_EQ(changes, 1);
    options.BeginUpdate();
    options.BeginUpdate();
    options.SetShowHints(false);
    options.SetTopicsHaveHideTool(true);
    options.EndUpdate();
    EXPECT_EQ(changes, 1);
    options.EndUpdate();
    EXPECT_EQ(changes, 2);
    options.EndUpdate(); // unmatched
    EXPECT_EQ(options.UpdateCount(), 0);
    options.SetRevertScrollWheelZoom(true);
    EXPECT_EQ(changes, 3);

    const std::pair<double, double> factors[] = {{10, 4}, {0.1, 0.25}, {1.5, 1.5}, {std::nan(""), 1.5}, {1.5, 1.5}};
    for (const auto& [value, expected] : factors)
        options.SetEditorScaleFactor(value);
    EXPECT_EQ(options.EditorScaleFactor(), 1.5);
    EXPECT_EQ(scales, 3);
    EXPECT_EQ(changes, 3);
}

TEST(TEditorOptions, MainWindowStateOfTheOptions) {
    TGermanLocale german;
    TEditorOptions options;
    options.SetEditorScaleFactor(1.5);
    options.SetCtrlScrollWheelZoom(true);
    TFormStateDictionary state;
    state.Set("WindowMaximized", "False");
    AddEditorOptionsState(options, state);
    std::vector<std::string> names;
    for (const auto& entry : state.Entries())
        names.push_back(entry.first);
    EXPECT_EQ(names, (std::vector<std::string>{"WindowMaximized", "EditorScaleFactor", "TopicsHaveHideTool",
                                               "RevertScrollWheelZoom", "CtrlScrollWheelZoom", "ShowHints",
                                               "ShowEditorHint"}));
    EXPECT_EQ(*state.Find("EditorScaleFactor"), "1.5");
    EXPECT_EQ(*state.Find("CtrlScrollWheelZoom"), "True");

    struct TCase {
        const char* ShowHints;
        const char* Scale;
        bool Hints;
        double Factor;
    };
    const TCase cases[] = {
        {"Ja", "10", true, 4},
        {"yes", "0.1", true, 0.25},
        {"maybe", "1,5", false, 1.0},
        {"F", "2", false, 2},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.ShowHints);
        TEditorOptions target;
        target.SetShowHints(false);
        int changes = 0;
        target.SetOnChange([&] { ++changes; });
        TFormStateDictionary stored;
        stored.Set("ShowHints", c.ShowHints);
        stored.Set("EditorScaleFactor", c.Scale);
        stored.Set("TopicsHaveHideTool", "1");
        stored.Set("RevertScrollWheelZoom", "-1");
        ApplyEditorOptionsState(target, stored);
        EXPECT_EQ(target.ShowHints(), c.Hints);
        EXPECT_EQ(target.EditorScaleFactor(), c.Factor);
        EXPECT_TRUE(target.TopicsHaveHideTool());
        EXPECT_TRUE(target.RevertScrollWheelZoom());
        EXPECT_TRUE(target.ShowEditorHint()); // absent: unchanged
        EXPECT_EQ(changes, 1);                // viewers re-apply once
    }
}

TEST(LoadSettings, EverythingRoundTripsInTheSpecifiedPlaces) {
    TGermanLocale german;
    TSettingsFolder folder;
    TMarkDownProperties& markDown = TMarkDownProperties::Instance();
    const std::string latin1Name = "/tmp/caf\xE9.cvmx"; // not UTF-8
    {
        TStyleManager styles;
        styles.CentralThemeData().SetPointSize(17.5);
        styles.TextData().SetBold(true);
        TFormStateStore states;
        TFakeWindow window;
        states.StoreBounds(window);
        std::vector<std::string> recent{"/home/u/a.cvmx", latin1Name};
        markDown.SetMarkDownFilteringEnabled(true);
        auto store = folder.Open();
        SaveSettings(*store, {&states, &styles, &markDown, &recent});
        markDown.SetMarkDownFilteringEnabled(false);
    }
    const std::string file = ReadBytes(folder.Path);
    EXPECT_THAT(file, testing::HasSubstr("[MarkDown]\nMarkDownFilteringEnabled=True\n"));
    EXPECT_THAT(file, testing::HasSubstr("[NodeStyles/CentralTheme]\n"));
    EXPECT_THAT(file, testing::HasSubstr("fontsize=17.5\n"));
    EXPECT_THAT(file, testing::HasSubstr("[Recent Files]\nCount=2\nH0=/home/u/a.cvmx\nH1=file:///tmp/caf%E9.cvmx\n"));
    EXPECT_THAT(file, testing::HasSubstr("[FormStore/TViewerMainForm]\nLeft=100\nTop=100\nWidth=800\nHeight=600\n"));

    TStyleManager styles;
    TFormStateStore states;
    std::vector<std::string> recent{"stale"};
    auto store = folder.Open();
    LoadSettings(*store, {&states, &styles, &markDown, &recent});
    EXPECT_TRUE(markDown.MarkDownFilteringEnabled());
    markDown.SetMarkDownFilteringEnabled(false);
    EXPECT_EQ(styles.CentralThemeData().PointSize(), 17.5);
    EXPECT_TRUE(styles.TextData().Bold());
    EXPECT_EQ(recent, (std::vector<std::string>{"/home/u/a.cvmx", latin1Name}));
    ASSERT_NE(states.Find("TViewerMainForm"), nullptr);

    // Without stored values the defaults stand, and the Markdown filtering is off.
    markDown.SetMarkDownFilteringEnabled(true);
    TSettingsFolder empty;
    LoadSettings(*empty.Open(), {&states, nullptr, &markDown, &recent});
    EXPECT_FALSE(markDown.MarkDownFilteringEnabled());
    EXPECT_TRUE(recent.empty());
}

TEST(SaveSettings, ErrorsGoToTheApplicationHandler) {
    TReportedErrors errors;
    TSettingsFolder folder;
    std::ofstream(folder.Dir.Path() / "blocked") << "a file";
    TRegistryStore store((folder.Dir.Path() / "blocked" / "settings.ini").string());
    store.Load();
    std::vector<std::string> recent{"/a.cvmx"};
    SaveSettings(store, {nullptr, nullptr, nullptr, &recent});
    ASSERT_EQ(errors.Messages.size(), 1u);
    EXPECT_THAT(errors.Messages[0], testing::StartsWith("Your settings could not be saved: "));
}

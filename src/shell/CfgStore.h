#pragma once

// Per-user settings: the settings file that stands for the registry of the base key, typed access to it, the
// window states and the viewer options. Numbers are always written and read with "." whatever the locale.

#include "layout/LayoutOpts.h"
#include "styling/CVStyleManager.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TMarkDownProperties;

// Every setting of the program lives below this key.
constexpr const char* kSettingsBaseKey = "Software\\Orrinex\\CorvellaViewer\\1.0";

// The file that holds a base key: $XDG_CONFIG_HOME (else ~/.config) followed by the key path without its leading
// "Software", sub-keys as folders, and "settings.ini": ".../Orrinex/CorvellaViewer/1.0/settings.ini".
std::string SettingsFilePath(std::string_view baseKey = kSettingsBaseKey);

enum TSettingsFileState : std::uint8_t {
    sfsNew,        // no file yet
    sfsLoaded,     // read
    sfsKeptAside,  // unreadable: renamed aside, the defaults are in use
    sfsUnreadable, // unreadable and could not be renamed: the defaults are in use and the file is never written
};

// What the user is told about the settings file, as a title and a text.
struct TSettingsNotice {
    std::string Title;
    std::string Text;
};

// The registry of one base key, kept in a GLib key file: one group per key path below the base key (sub-keys
// joined by "/"), one string per value. Key paths are given as in the registry, sub-keys joined by "\"
// ("FormStore\TViewerMainForm"); key and value names ignore ASCII case.
//
// Changes are held in memory until Save, which merges them into the file as it is on disk then (so that values
// another instance of the program wrote meanwhile stay), writes the result beside the file, flushes it to disk
// and renames it over the old file: a crash or a full disk leaves the previous settings intact.
class TRegistryStore {
public:
    explicit TRegistryStore(std::string path);
    ~TRegistryStore();
    TRegistryStore(const TRegistryStore&) = delete;
    TRegistryStore& operator=(const TRegistryStore&) = delete;

    const std::string& Path() const { return FPath; }

    // Reads the file, dropping whatever the store held. A missing file gives an empty store. A file that cannot be
    // read or parsed is renamed aside ("settings.ini.damaged", "settings.ini.damaged-2" ...) and the store starts
    // empty; when even that fails, the file is left alone and never written by this store.
    void Load();
    TSettingsFileState FileState() const { return FFileState; }
    // Where an unreadable file was put; empty unless FileState is sfsKeptAside.
    const std::string& KeptAsidePath() const { return FKeptAsidePath; }
    // The notice for the user after Load found an unreadable file, else nothing.
    std::optional<TSettingsNotice> LoadNotice() const;

    // Writes the changes made since Load or the last Save. True when the file holds them (also when there was
    // nothing to write); false when the store must not write the file (sfsUnreadable). Raises ECVException when
    // the file cannot be written; the file on disk is then unchanged.
    bool Save();
    bool HasUnsavedChanges() const;

    bool KeyExists(std::string_view key) const;
    // The names of the direct sub-keys, ordered by name.
    std::vector<std::string> SubKeyNames(std::string_view key) const;
    std::vector<std::string> ValueNames(std::string_view key) const;
    std::optional<std::string> ReadValue(std::string_view key, std::string_view name) const;
    // Creates the key when missing. A name the file cannot hold (empty, with "=", "[", "]" or control characters,
    // starting with "#" or a space, ending with a space) is not stored; invalid UTF-8 in values becomes U+FFFD.
    void WriteValue(std::string_view key, std::string_view name, std::string_view value);
    void CreateKey(std::string_view key);
    // Deletes the key with its values and sub-keys.
    void DeleteKey(std::string_view key);
    void DeleteValue(std::string_view key, std::string_view name);

    // A value name the file can hold.
    static bool IsStorableName(std::string_view name);

private:
    struct TData;

    // Renames the file aside; true when it was moved.
    bool KeepAside();

    std::string FPath;
    std::unique_ptr<TData> FData; // owned: the keys and the changes since the last Load or Save
    TSettingsFileState FFileState = sfsNew;
    std::string FKeptAsidePath;
};

// The registry value of a setting read the lenient way: "1", "True", "Yes", "Ja", "T", "-1" are true, "0", "False",
// "No", "Nee", "F" are false (letter case ignored); any other text is no boolean.
std::optional<bool> ParseStoredBool(std::string_view text);
// "True" or "False".
const char* StoredBoolText(bool value);

// Typed settings over a registry store. A section is a key path below the base key. Unreadable values give the
// default.
class TConfigStore : public IFontSettingsStore {
public:
    explicit TConfigStore(TRegistryStore& store) : FStore(store) {}

    std::string ReadString(const std::string& section, const std::string& name, const std::string& fallback) override;
    bool ReadBool(const std::string& section, const std::string& name, bool fallback) override;
    int ReadInteger(const std::string& section, const std::string& name, int fallback);
    double ReadFloat(const std::string& section, const std::string& name, double fallback) override;
    void WriteString(const std::string& section, const std::string& name, const std::string& value) override;
    void WriteBool(const std::string& section, const std::string& name, bool value) override;
    void WriteInteger(const std::string& section, const std::string& name, int value);
    void WriteFloat(const std::string& section, const std::string& name, double value) override;

    // "Count" and one value per line named "H" and its index from 0. Reading clears the list and reads Count lines
    // (at most kMaxStoredLines), a missing line as empty; writing erases the section first.
    void ReadStrings(const std::string& section, std::vector<std::string>& lines);
    void WriteStrings(const std::string& section, const std::vector<std::string>& lines);
    void EraseSection(const std::string& section);
    bool SectionExists(const std::string& section) const;

    // The Markdown options, as one value per property: "MarkDownFilteringEnabled".
    void ReadObject(TMarkDownProperties& object, const std::string& section);
    void WriteObject(const TMarkDownProperties& object, const std::string& section);

    static constexpr int kMaxStoredLines = 4096;

private:
    TRegistryStore& FStore;
};

// A file name as the settings hold it: itself when it is valid UTF-8, else its file URI; and back.
std::string FileNameToSettingText(const std::string& fileName);
std::string SettingTextToFileName(const std::string& text);

// A rectangle on the screen, in pixels.
struct TScreenRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    friend bool operator==(const TScreenRect&, const TScreenRect&) = default;
};

// Named text values of a window's own state, in the order they were set; names ignore ASCII case.
class TFormStateDictionary {
public:
    using TEntry = std::pair<std::string, std::string>;

    // Replaces the value of the name or appends it.
    void Set(std::string_view name, std::string value);
    const std::string* Find(std::string_view name) const;
    const std::vector<TEntry>& Entries() const { return FEntries; }
    bool Empty() const { return FEntries.empty(); }
    void Clear() { FEntries.clear(); }

private:
    std::vector<TEntry> FEntries;
};

// The stored state of one window class.
struct TFormState {
    std::string ClassName;
    TScreenRect Bounds;
    bool Sizeable = false; // not stored: known only after the window stored its bounds
    TFormStateDictionary CustomState;
};

// What the window state store needs of a window.
class IStatefulWindow {
public:
    virtual ~IStatefulWindow() = default;
    virtual std::string WindowClassName() const = 0;
    // Position and size in the normal (not maximised or minimised) state.
    virtual TScreenRect WindowBounds() const = 0;
    virtual bool IsSizeable() const = 0;
    virtual bool IsInNormalState() const = 0;
    // Placed by the system's default position rather than by the program.
    virtual bool IsPositionedByDefault() const = 0;
    // The work areas of the monitors that exist now.
    virtual std::vector<TScreenRect> DesktopWorkAreas() const = 0;
    // Applies a restored rectangle: only its size when sizeOnly.
    virtual void ApplyBounds(const TScreenRect& bounds, bool sizeOnly) = 0;
    // Windows with a state of their own override the three.
    virtual bool HasCustomFormState() const { return false; }
    virtual TFormStateDictionary GetCustomFormStateAsDictionary() const { return {}; }
    virtual void SetCustomFormStateAsDictionary(const TFormStateDictionary& /*state*/) {}
};

// Where a window with this stored state goes: nothing when the stored rectangle (the stored size when sizeable
// and both dimensions are positive, else the current size) overlaps no work area by more than 32 × 32 pixels;
// otherwise the rectangle moved as little as needed to lie within the work area it overlaps most.
std::optional<TScreenRect> RestoredWindowBounds(const TFormState& state, const TScreenRect& current, bool sizeable,
                                                const std::vector<TScreenRect>& workAreas);

// The states of every window class, stored under "FormStore", one sub-key per class.
class TFormStateStore {
public:
    static constexpr const char* KeyName = "FormStore";

    const std::vector<TFormState>& States() const { return FStates; }
    void Clear() { FStates.clear(); }
    // By class name, letter case ignored; null when none.
    const TFormState* Find(std::string_view className) const;
    TFormState& StateFor(std::string_view className);

    // Replaces the states by those stored under the key: "Left", "Top", "Width", "Height" as integers (0 when
    // absent or unreadable) and every other value as a custom-state entry.
    void LoadAll(const TRegistryStore& store, std::string_view key = KeyName);
    // Writes "Left", "Top", then "Width" and "Height" for sizeable windows, then every named custom entry.
    void SaveAll(TRegistryStore& store, std::string_view key = KeyName) const;

    // Only in the normal state.
    void StoreBounds(const IStatefulWindow& window);
    void StoreCustomState(const IStatefulWindow& window);
    // True when a stored position was applied.
    bool RestoreBounds(IStatefulWindow& window) const;
    void RestoreCustomState(IStatefulWindow& window) const;

private:
    std::vector<TFormState> FStates;
};

TFormStateStore& FormStateStore();

// The viewer options, one process-wide object.
class TEditorOptions {
public:
    static constexpr double kMinScaleFactor = 0.25;
    static constexpr double kMaxScaleFactor = 4.0;

    // Hints are off by default on multi-touch screens.
    explicit TEditorOptions(bool multiTouchScreen = false);
    TEditorOptions(const TEditorOptions&) = delete;
    TEditorOptions& operator=(const TEditorOptions&) = delete;

    bool CtrlScrollWheelZoom() const { return FCtrlScrollWheelZoom; }
    void SetCtrlScrollWheelZoom(bool value);
    bool RevertScrollWheelZoom() const { return FRevertScrollWheelZoom; }
    void SetRevertScrollWheelZoom(bool value);
    bool ShowEditorHint() const { return FShowEditorHint; }
    void SetShowEditorHint(bool value);
    bool ShowHints() const { return FShowHints; }
    void SetShowHints(bool value);
    bool TopicsHaveHideTool() const { return FTopicsHaveHideTool; }
    void SetTopicsHaveHideTool(bool value);
    // Clamped to [0.25, 4]; a change tells the scale-factor handler, not the change handler. NaN is ignored.
    double EditorScaleFactor() const { return FEditorScaleFactor; }
    void SetEditorScaleFactor(double value);

    // Read by the outline importers; nothing in the viewer changes them.
    bool WrapImportedTopics() const { return true; }
    const TLayoutOptions& ImportLayoutOptions() const { return FImportLayoutOptions; }

    int UpdateCount() const { return FUpdateCount; }
    void BeginUpdate() { ++FUpdateCount; }
    // Back at zero it calls Changed; an unmatched call does nothing.
    void EndUpdate();
    // Calls the change handler unless updates are pending.
    void Changed();
    // The live viewers re-apply the options.
    void SetOnChange(std::function<void()> handler) { FOnChange = std::move(handler); }
    void SetOnScaleFactorChanged(std::function<void()> handler) { FOnScaleFactorChanged = std::move(handler); }

private:
    void SetFlag(bool& field, bool value);

    bool FCtrlScrollWheelZoom = false;
    bool FRevertScrollWheelZoom = false;
    bool FShowEditorHint = true;
    bool FShowHints = true;
    bool FTopicsHaveHideTool = false;
    double FEditorScaleFactor = 1.0;
    TLayoutOptions FImportLayoutOptions;
    int FUpdateCount = 0;
    std::function<void()> FOnChange;
    std::function<void()> FOnScaleFactorChanged;
};

TEditorOptions& EditorOptions();

// The options' part of the main window's state, in its order: "EditorScaleFactor", "TopicsHaveHideTool",
// "RevertScrollWheelZoom", "CtrlScrollWheelZoom", "ShowHints", "ShowEditorHint".
void AddEditorOptionsState(const TEditorOptions& options, TFormStateDictionary& state);
// Sets the five switches inside one update (an absent or unreadable value keeps the current one), then the
// scale factor.
void ApplyEditorOptionsState(TEditorOptions& options, const TFormStateDictionary& state);

// What loading and saving the settings fills and reads; a null target is skipped.
struct TSettingsTargets {
    TFormStateStore* FormStates = nullptr;           // not owned
    TStyleManager* Styles = nullptr;                 // not owned
    TMarkDownProperties* MarkDown = nullptr;         // not owned
    std::vector<std::string>* RecentFiles = nullptr; // not owned
};

// Loading at main-window creation: the Markdown filtering off, the window states from "FormStore", then node styles
// from "NodeStyles", the Markdown options from "MarkDown" and the recent files from "Recent Files". An error ends
// loading there and goes to the application's exception handler; what was not read keeps its default.
void LoadSettings(TRegistryStore& store, const TSettingsTargets& targets);
// Saving at main-window close, in the same order, then the file is written. Errors go to the application's
// exception handler; the file on disk then stays as it was.
void SaveSettings(TRegistryStore& store, const TSettingsTargets& targets);

// The program's settings, read from SettingsFilePath() on first use.
TRegistryStore& UserSettings();

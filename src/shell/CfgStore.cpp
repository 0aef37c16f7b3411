#include "shell/CfgStore.h"

#include "platform/AppErrors.h"
#include "platform/CVStrings.h"
#include "shell/Localization.h"
#include "text/MarkDownParsers.h"

#include <glib.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace {

// Far above any real settings file; a bigger one is treated as damaged rather than read into memory.
constexpr std::size_t kMaxSettingsFileBytes = 16u << 20;
constexpr int kMaxKeptAsideCopies = 100;

constexpr const char* kNodeStylesSection = "NodeStyles";
constexpr const char* kRecentFilesSection = "Recent Files";

struct TStoredKey {
    std::string Path; // sub-keys joined by "/", in the letter case first written
    std::vector<std::pair<std::string, std::string>> Values;
    std::unordered_map<std::string, std::size_t> Index; // ASCII-folded name → position in Values

    const std::string* Find(std::string_view name) const {
        const auto found = Index.find(LowerAscii(name));
        return found == Index.end() ? nullptr : &Values[found->second].second;
    }
    void Set(std::string_view name, std::string value) {
        const auto [at, added] = Index.try_emplace(LowerAscii(name), Values.size());
        if (added)
            Values.emplace_back(std::string(name), std::move(value));
        else
            Values[at->second].second = std::move(value);
    }
    void Erase(std::string_view name) {
        const auto found = Index.find(LowerAscii(name));
        if (found == Index.end())
            return;
        Values.erase(Values.begin() + static_cast<std::ptrdiff_t>(found->second));
        Index.clear();
        for (std::size_t i = 0; i < Values.size(); ++i)
            Index.emplace(LowerAscii(Values[i].first), i);
    }
};

using TKeyMap = std::map<std::string, TStoredKey>; // by ASCII-folded path

enum TChangeKind : std::uint8_t { chWrite, chDeleteValue, chCreateKey, chDeleteKey };

struct TChange {
    TChangeKind Kind;
    std::string Key; // normalised path
    std::string Name;
    std::string Value;
};

using TKeyFileHandle = std::unique_ptr<GKeyFile, void (*)(GKeyFile*)>;

TKeyFileHandle NewKeyFile() {
    return TKeyFileHandle(g_key_file_new(), &g_key_file_free);
}

// Registry paths use "\", the file's groups "/": both separate sub-keys here, empty parts are dropped.
std::string NormalizeKey(std::string_view key) {
    std::string path;
    std::size_t pos = 0;
    while (pos <= key.size()) {
        const std::size_t cut = std::min(key.find_first_of("\\/", pos), key.size());
        if (cut > pos) {
            if (!path.empty())
                path += '/';
            path.append(key, pos, cut - pos);
        }
        pos = cut + 1;
    }
    return path;
}

bool IsControl(char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}

// Group names of a key file hold no "[", "]" or control characters.
bool IsStorableKeyPath(std::string_view path) {
    return !path.empty() && IsValidUtf8(path) &&
           std::none_of(path.begin(), path.end(), [](char c) { return c == '[' || c == ']' || IsControl(c); });
}

bool IsUnder(const std::string& foldedPath, const std::string& foldedKey) {
    return foldedKey.empty() ||
           (foldedPath.size() > foldedKey.size() && foldedPath.compare(0, foldedKey.size(), foldedKey) == 0 &&
            foldedPath[foldedKey.size()] == '/');
}

void ApplyChange(TKeyMap& keys, const TChange& change) {
    const std::string folded = LowerAscii(change.Key);
    switch (change.Kind) {
    case chWrite:
    case chCreateKey: {
        TStoredKey& key = keys[folded];
        if (key.Path.empty())
            key.Path = change.Key;
        if (change.Kind == chWrite)
            key.Set(change.Name, change.Value);
        break;
    }
    case chDeleteValue:
        if (const auto found = keys.find(folded); found != keys.end())
            found->second.Erase(change.Name);
        break;
    case chDeleteKey:
        for (auto it = keys.begin(); it != keys.end();)
            it = it->first == folded || IsUnder(it->first, folded) ? keys.erase(it) : std::next(it);
        break;
    }
}

// The key file's groups and values; nothing when the text is no key file.
std::optional<TKeyMap> ParseKeyFile(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    // The parser reads C strings line by line: a NUL would silently cut a line.
    if (text.find('\0') != std::string_view::npos)
        return std::nullopt;
    const TKeyFileHandle file = NewKeyFile();
    GError* error = nullptr;
    if (!g_key_file_load_from_data(file.get(), text.data(), text.size(), G_KEY_FILE_NONE, &error)) {
        g_clear_error(&error);
        return std::nullopt;
    }
    TKeyMap keys;
    gsize groupCount = 0;
    gchar** groups = g_key_file_get_groups(file.get(), &groupCount);
    for (gsize g = 0; g < groupCount; ++g) {
        const std::string path = NormalizeKey(SanitizeUtf8(groups[g]));
        if (path.empty())
            continue;
        TStoredKey& key = keys[LowerAscii(path)];
        if (key.Path.empty())
            key.Path = path;
        gsize valueCount = 0;
        gchar** names = g_key_file_get_keys(file.get(), groups[g], &valueCount, nullptr);
        for (gsize v = 0; v < valueCount; ++v) {
            const std::string name = SanitizeUtf8(names[v]);
            if (key.Find(name))
                continue; // names differing only in letter case: the first one counts
            gchar* value = g_key_file_get_string(file.get(), groups[g], names[v], nullptr);
            if (!value) // a bad escape or bad UTF-8: kept as written
                value = g_key_file_get_value(file.get(), groups[g], names[v], nullptr);
            key.Set(name, SanitizeUtf8(value ? value : ""));
            g_free(value);
        }
        g_strfreev(names);
    }
    g_strfreev(groups);
    return keys;
}

std::string SerializeKeyFile(const TKeyMap& keys) {
    const TKeyFileHandle file = NewKeyFile();
    for (const auto& [folded, key] : keys) {
        if (!IsStorableKeyPath(key.Path))
            continue;
        bool written = false;
        for (const auto& [name, value] : key.Values)
            if (TRegistryStore::IsStorableName(name)) {
                g_key_file_set_string(file.get(), key.Path.c_str(), name.c_str(), value.c_str());
                written = true;
            }
        if (!written) {
            // A key without values exists all the same: removing the only value leaves its group.
            g_key_file_set_string(file.get(), key.Path.c_str(), "x", "");
            g_key_file_remove_key(file.get(), key.Path.c_str(), "x", nullptr);
        }
    }
    gsize length = 0;
    gchar* data = g_key_file_to_data(file.get(), &length, nullptr);
    std::string text(data ? data : "", data ? length : 0);
    g_free(data);
    return text;
}

enum TReadResult : std::uint8_t { rrRead, rrMissing, rrFailed };

TReadResult ReadWholeFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? rrMissing : rrFailed;
    TReadResult result = rrRead;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 || bytes.size() + static_cast<std::size_t>(count) > kMaxSettingsFileBytes) {
            result = rrFailed;
            break;
        }
        if (count == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(fd);
    return result;
}

[[noreturn]] void RaiseSaveError(int error) {
    throw ECVException(
        FormatText(Translate("settings_save_error", "Your settings could not be saved: %s"), {g_strerror(error)}));
}

// Writes the text beside the file, flushes it to the disk and renames it over the file.
void ReplaceFile(const std::string& path, const std::string& text) {
    gchar* folder = g_path_get_dirname(path.c_str());
    const std::string directory = folder;
    g_free(folder);
    if (g_mkdir_with_parents(directory.c_str(), 0700) != 0)
        RaiseSaveError(errno);
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        RaiseSaveError(errno);
    const auto fail = [&](int error) {
        ::unlink(temporary.c_str());
        RaiseSaveError(error);
    };
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t count = ::write(fd, text.data() + written, text.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            const int error = count < 0 ? errno : ENOSPC;
            ::close(fd);
            fail(error);
        }
        written += static_cast<std::size_t>(count);
    }
    if (::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        fail(error);
    }
    if (::close(fd) != 0)
        fail(errno);
    if (::rename(temporary.c_str(), path.c_str()) != 0)
        fail(errno);
    // The rename itself reaches the disk with the folder.
    const int folderFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
}

std::string ConfigHome() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') // relative values are ignored, as the XDG rules say
        return xdg;
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : g_get_home_dir()) + "/.config";
}

std::int64_t Overlap(std::int64_t start1, std::int64_t length1, std::int64_t start2, std::int64_t length2) {
    return std::max<std::int64_t>(0, std::min(start1 + length1, start2 + length2) - std::max(start1, start2));
}

// Moves the span into [areaStart, areaStart + areaLength) as far as it fits; a longer one starts at the area.
std::int64_t MoveInto(std::int64_t start, std::int64_t length, std::int64_t areaStart, std::int64_t areaLength) {
    if (start + length > areaStart + areaLength)
        start = areaStart + areaLength - length;
    return std::max(start, areaStart);
}

int ClampToInt(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

} // namespace

struct TRegistryStore::TData {
    TKeyMap Keys;
    std::vector<TChange> Journal;

    void Change(TChange change) {
        ApplyChange(Keys, change);
        Journal.push_back(std::move(change));
    }
};

// TRegistryStore

TRegistryStore::TRegistryStore(std::string path) : FPath(std::move(path)), FData(std::make_unique<TData>()) {}

TRegistryStore::~TRegistryStore() = default;

void TRegistryStore::Load() {
    FData = std::make_unique<TData>();
    FKeptAsidePath.clear();
    std::string bytes;
    const TReadResult read = ReadWholeFile(FPath, bytes);
    if (read == rrMissing) {
        FFileState = sfsNew;
        return;
    }
    if (read == rrRead) {
        if (std::optional<TKeyMap> keys = ParseKeyFile(bytes)) {
            FData->Keys = std::move(*keys);
            FFileState = sfsLoaded;
            return;
        }
    }
    FFileState = KeepAside() ? sfsKeptAside : sfsUnreadable;
}

bool TRegistryStore::KeepAside() {
    for (int copy = 1; copy <= kMaxKeptAsideCopies; ++copy) {
        const std::string target = FPath + ".damaged" + (copy == 1 ? std::string() : "-" + std::to_string(copy));
        if (::renameat2(AT_FDCWD, FPath.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
            FKeptAsidePath = target;
            return true;
        }
        if (errno == EINVAL || errno == ENOSYS) {
            // A file system without no-replace renames: look first.
            struct stat status;
            if (::lstat(target.c_str(), &status) == 0)
                continue;
            if (::rename(FPath.c_str(), target.c_str()) == 0) {
                FKeptAsidePath = target;
                return true;
            }
            return false;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

std::optional<TSettingsNotice> TRegistryStore::LoadNotice() const {
    const std::string title = Translate("settings_unreadable_title", "Settings Reset");
    if (FFileState == sfsKeptAside) {
        gchar* shown = g_filename_display_name(FKeptAsidePath.c_str());
        TSettingsNotice notice{title, FormatText(Translate("settings_unreadable_kept_message",
                                                           "Your settings could not be read, so the default "
                                                           "settings are used. The unreadable file was kept as %s."),
                                                 {shown})};
        g_free(shown);
        return notice;
    }
    if (FFileState == sfsUnreadable)
        return TSettingsNotice{title, Translate("settings_unreadable_locked_message",
                                                "Your settings could not be read, so the default settings are used. "
                                                "The file will not be overwritten.")};
    return std::nullopt;
}

bool TRegistryStore::HasUnsavedChanges() const {
    return !FData->Journal.empty();
}

bool TRegistryStore::Save() {
    if (FFileState == sfsUnreadable)
        return false;
    if (FData->Journal.empty())
        return true;
    // Merge into the file as it is now: values that another instance wrote since Load stay.
    TKeyMap merged;
    std::string bytes;
    const TReadResult read = ReadWholeFile(FPath, bytes);
    std::optional<TKeyMap> onDisk;
    if (read == rrRead)
        onDisk = ParseKeyFile(bytes);
    if (onDisk) {
        merged = std::move(*onDisk);
        for (const TChange& change : FData->Journal)
            ApplyChange(merged, change);
    } else {
        if (read != rrMissing && !KeepAside())
            RaiseSaveError(EIO);
        merged = FData->Keys;
    }
    ReplaceFile(FPath, SerializeKeyFile(merged));
    FData->Keys = std::move(merged);
    FData->Journal.clear();
    return true;
}

bool TRegistryStore::KeyExists(std::string_view key) const {
    const std::string folded = LowerAscii(NormalizeKey(key));
    if (folded.empty() || FData->Keys.count(folded))
        return true;
    // Sub-keys of a key form one run of the ordered map, right from its path and a slash.
    const auto next = FData->Keys.lower_bound(folded + "/");
    return next != FData->Keys.end() && IsUnder(next->first, folded);
}

std::vector<std::string> TRegistryStore::SubKeyNames(std::string_view key) const {
    const std::string folded = LowerAscii(NormalizeKey(key));
    const std::size_t skip = folded.empty() ? 0 : folded.size() + 1;
    std::vector<std::string> names;
    std::set<std::string> seen; // folded
    for (auto it = folded.empty() ? FData->Keys.begin() : FData->Keys.lower_bound(folded + "/");
         it != FData->Keys.end() && IsUnder(it->first, folded); ++it) {
        const std::string& path = it->second.Path;
        const std::string name = path.substr(skip, path.find('/', skip) - skip);
        const std::string foldedName = LowerAscii(name);
        if (seen.insert(foldedName).second)
            names.push_back(name);
    }
    return names;
}

std::vector<std::string> TRegistryStore::ValueNames(std::string_view key) const {
    std::vector<std::string> names;
    const auto found = FData->Keys.find(LowerAscii(NormalizeKey(key)));
    if (found != FData->Keys.end())
        for (const auto& value : found->second.Values)
            names.push_back(value.first);
    return names;
}

std::optional<std::string> TRegistryStore::ReadValue(std::string_view key, std::string_view name) const {
    const auto found = FData->Keys.find(LowerAscii(NormalizeKey(key)));
    if (found == FData->Keys.end())
        return std::nullopt;
    const std::string* value = found->second.Find(name);
    return value ? std::optional<std::string>(*value) : std::nullopt;
}

void TRegistryStore::WriteValue(std::string_view key, std::string_view name, std::string_view value) {
    std::string path = NormalizeKey(key);
    if (!IsStorableKeyPath(path) || !IsStorableName(name))
        return;
    FData->Change({chWrite, std::move(path), std::string(name), SanitizeUtf8(value)});
}

void TRegistryStore::CreateKey(std::string_view key) {
    std::string path = NormalizeKey(key);
    if (IsStorableKeyPath(path))
        FData->Change({chCreateKey, std::move(path), {}, {}});
}

void TRegistryStore::DeleteKey(std::string_view key) {
    std::string path = NormalizeKey(key);
    if (!path.empty())
        FData->Change({chDeleteKey, std::move(path), {}, {}});
}

void TRegistryStore::DeleteValue(std::string_view key, std::string_view name) {
    FData->Change({chDeleteValue, NormalizeKey(key), std::string(name), {}});
}

bool TRegistryStore::IsStorableName(std::string_view name) {
    if (name.empty() || name.front() == ' ' || name.front() == '#' || name.back() == ' ' || !IsValidUtf8(name))
        return false;
    return std::none_of(name.begin(), name.end(),
                        [](char c) { return c == '=' || c == '[' || c == ']' || IsControl(c); });
}

std::string SettingsFilePath(std::string_view baseKey) {
    std::string path = NormalizeKey(baseKey);
    if (StartsWithText(path, "Software/"))
        path.erase(0, 9);
    return ConfigHome() + "/" + path + "/settings.ini";
}

// Values

std::optional<bool> ParseStoredBool(std::string_view text) {
    for (const char* word : {"1", "True", "Yes", "Ja", "T", "-1"})
        if (SameText(text, word))
            return true;
    for (const char* word : {"0", "False", "No", "Nee", "F"})
        if (SameText(text, word))
            return false;
    return std::nullopt;
}

const char* StoredBoolText(bool value) {
    return value ? "True" : "False";
}

// TConfigStore

std::string TConfigStore::ReadString(const std::string& section, const std::string& name, const std::string& fallback) {
    return FStore.ReadValue(section, name).value_or(fallback);
}

bool TConfigStore::ReadBool(const std::string& section, const std::string& name, bool fallback) {
    const std::optional<std::string> text = FStore.ReadValue(section, name);
    const std::optional<bool> value = text ? ParseStoredBool(*text) : std::nullopt;
    return value.value_or(fallback);
}

int TConfigStore::ReadInteger(const std::string& section, const std::string& name, int fallback) {
    const std::optional<std::string> text = FStore.ReadValue(section, name);
    const std::optional<int> value = text ? ParseInt(*text) : std::nullopt;
    return value.value_or(fallback);
}

double TConfigStore::ReadFloat(const std::string& section, const std::string& name, double fallback) {
    const std::optional<std::string> text = FStore.ReadValue(section, name);
    const std::optional<double> value = text ? ParseFloat(*text) : std::nullopt;
    return value.value_or(fallback);
}

void TConfigStore::WriteString(const std::string& section, const std::string& name, const std::string& value) {
    FStore.WriteValue(section, name, value);
}

void TConfigStore::WriteBool(const std::string& section, const std::string& name, bool value) {
    FStore.WriteValue(section, name, StoredBoolText(value));
}

void TConfigStore::WriteInteger(const std::string& section, const std::string& name, int value) {
    FStore.WriteValue(section, name, std::to_string(value));
}

void TConfigStore::WriteFloat(const std::string& section, const std::string& name, double value) {
    FStore.WriteValue(section, name, FormatFloat(value));
}

void TConfigStore::ReadStrings(const std::string& section, std::vector<std::string>& lines) {
    lines.clear();
    const int count = std::clamp(ReadInteger(section, "Count", 0), 0, kMaxStoredLines);
    for (int i = 0; i < count; ++i)
        lines.push_back(ReadString(section, "H" + std::to_string(i), ""));
}

void TConfigStore::WriteStrings(const std::string& section, const std::vector<std::string>& lines) {
    EraseSection(section);
    FStore.CreateKey(section);
    WriteInteger(section, "Count", static_cast<int>(lines.size()));
    for (std::size_t i = 0; i < lines.size(); ++i)
        WriteString(section, "H" + std::to_string(i), lines[i]);
}

void TConfigStore::EraseSection(const std::string& section) {
    FStore.DeleteKey(section);
}

bool TConfigStore::SectionExists(const std::string& section) const {
    return FStore.KeyExists(section);
}

void TConfigStore::ReadObject(TMarkDownProperties& object, const std::string& section) {
    object.SetMarkDownFilteringEnabled(
        ReadBool(section, TMarkDownProperties::FilteringEnabledName, object.MarkDownFilteringEnabled()));
}

void TConfigStore::WriteObject(const TMarkDownProperties& object, const std::string& section) {
    WriteBool(section, TMarkDownProperties::FilteringEnabledName, object.MarkDownFilteringEnabled());
}

std::string FileNameToSettingText(const std::string& fileName) {
    if (IsValidUtf8(fileName))
        return fileName;
    gchar* uri = g_filename_to_uri(fileName.c_str(), nullptr, nullptr);
    if (!uri)
        return SanitizeUtf8(fileName);
    std::string text = uri;
    g_free(uri);
    return text;
}

std::string SettingTextToFileName(const std::string& text) {
    if (!StartsWithText(text, "file://"))
        return text;
    gchar* name = g_filename_from_uri(text.c_str(), nullptr, nullptr);
    if (!name)
        return text;
    std::string fileName = name;
    g_free(name);
    return fileName;
}

// Window states

void TFormStateDictionary::Set(std::string_view name, std::string value) {
    for (TEntry& entry : FEntries)
        if (SameText(entry.first, name)) {
            entry.second = std::move(value);
            return;
        }
    FEntries.emplace_back(std::string(name), std::move(value));
}

const std::string* TFormStateDictionary::Find(std::string_view name) const {
    for (const TEntry& entry : FEntries)
        if (SameText(entry.first, name))
            return &entry.second;
    return nullptr;
}

std::optional<TScreenRect> RestoredWindowBounds(const TFormState& state, const TScreenRect& current, bool sizeable,
                                                const std::vector<TScreenRect>& workAreas) {
    const bool storedSize = sizeable && state.Bounds.Width > 0 && state.Bounds.Height > 0;
    const std::int64_t left = state.Bounds.Left;
    const std::int64_t top = state.Bounds.Top;
    const std::int64_t width = storedSize ? state.Bounds.Width : current.Width;
    const std::int64_t height = storedSize ? state.Bounds.Height : current.Height;
    const TScreenRect* best = nullptr;
    std::int64_t bestArea = 0;
    for (const TScreenRect& area : workAreas) {
        const std::int64_t overlapWidth = Overlap(left, width, area.Left, area.Width);
        const std::int64_t overlapHeight = Overlap(top, height, area.Top, area.Height);
        if (overlapWidth > 32 && overlapHeight > 32 && overlapWidth * overlapHeight > bestArea) {
            best = &area;
            bestArea = overlapWidth * overlapHeight;
        }
    }
    if (!best)
        return std::nullopt;
    return TScreenRect{ClampToInt(MoveInto(left, width, best->Left, best->Width)),
                       ClampToInt(MoveInto(top, height, best->Top, best->Height)), ClampToInt(width),
                       ClampToInt(height)};
}

const TFormState* TFormStateStore::Find(std::string_view className) const {
    for (const TFormState& state : FStates)
        if (SameText(state.ClassName, className))
            return &state;
    return nullptr;
}

TFormState& TFormStateStore::StateFor(std::string_view className) {
    for (TFormState& state : FStates)
        if (SameText(state.ClassName, className))
            return state;
    FStates.push_back({std::string(className), {}, false, {}});
    return FStates.back();
}

void TFormStateStore::LoadAll(const TRegistryStore& store, std::string_view key) {
    FStates.clear();
    if (!store.KeyExists(key))
        return;
    const std::string base(key);
    for (const std::string& className : store.SubKeyNames(key)) {
        TFormState& state = StateFor(className);
        const std::string subKey = base + "\\" + className;
        for (const std::string& name : store.ValueNames(subKey)) {
            const std::string value = store.ReadValue(subKey, name).value_or("");
            const int number = ParseInt(value).value_or(0);
            if (SameText(name, "Left"))
                state.Bounds.Left = number;
            else if (SameText(name, "Top"))
                state.Bounds.Top = number;
            else if (SameText(name, "Width"))
                state.Bounds.Width = number;
            else if (SameText(name, "Height"))
                state.Bounds.Height = number;
            else
                state.CustomState.Set(name, value);
        }
    }
}

void TFormStateStore::SaveAll(TRegistryStore& store, std::string_view key) const {
    store.CreateKey(key);
    for (const TFormState& state : FStates) {
        const std::string subKey = std::string(key) + "\\" + state.ClassName;
        store.CreateKey(subKey);
        store.WriteValue(subKey, "Left", std::to_string(state.Bounds.Left));
        store.WriteValue(subKey, "Top", std::to_string(state.Bounds.Top));
        if (state.Sizeable) {
            store.WriteValue(subKey, "Width", std::to_string(state.Bounds.Width));
            store.WriteValue(subKey, "Height", std::to_string(state.Bounds.Height));
        }
        for (const auto& [name, value] : state.CustomState.Entries())
            if (!name.empty())
                store.WriteValue(subKey, name, value);
    }
}

void TFormStateStore::StoreBounds(const IStatefulWindow& window) {
    if (!window.IsInNormalState())
        return;
    TFormState& state = StateFor(window.WindowClassName());
    state.Bounds = window.WindowBounds();
    state.Sizeable = window.IsSizeable();
}

void TFormStateStore::StoreCustomState(const IStatefulWindow& window) {
    if (window.HasCustomFormState())
        StateFor(window.WindowClassName()).CustomState = window.GetCustomFormStateAsDictionary();
}

bool TFormStateStore::RestoreBounds(IStatefulWindow& window) const {
    const TFormState* state = Find(window.WindowClassName());
    if (!state)
        return false;
    const std::optional<TScreenRect> bounds =
        RestoredWindowBounds(*state, window.WindowBounds(), window.IsSizeable(), window.DesktopWorkAreas());
    if (!bounds)
        return false;
    window.ApplyBounds(*bounds, window.IsPositionedByDefault());
    return true;
}

void TFormStateStore::RestoreCustomState(IStatefulWindow& window) const {
    const TFormState* state = Find(window.WindowClassName());
    if (state && window.HasCustomFormState())
        window.SetCustomFormStateAsDictionary(state->CustomState);
}

TFormStateStore& FormStateStore() {
    static TFormStateStore store;
    return store;
}

// TEditorOptions

TEditorOptions::TEditorOptions(bool multiTouchScreen)
    : FShowEditorHint(!multiTouchScreen), FShowHints(!multiTouchScreen),
      FImportLayoutOptions(TLayoutOptions::ForMode(nlmStrictHorizontal)) {}

void TEditorOptions::SetFlag(bool& field, bool value) {
    if (field == value)
        return;
    field = value;
    Changed();
}

void TEditorOptions::SetCtrlScrollWheelZoom(bool value) {
    SetFlag(FCtrlScrollWheelZoom, value);
}

void TEditorOptions::SetRevertScrollWheelZoom(bool value) {
    SetFlag(FRevertScrollWheelZoom, value);
}

void TEditorOptions::SetShowEditorHint(bool value) {
    SetFlag(FShowEditorHint, value);
}

void TEditorOptions::SetShowHints(bool value) {
    SetFlag(FShowHints, value);
}

void TEditorOptions::SetTopicsHaveHideTool(bool value) {
    SetFlag(FTopicsHaveHideTool, value);
}

void TEditorOptions::SetEditorScaleFactor(double value) {
    if (std::isnan(value))
        return;
    value = std::clamp(value, kMinScaleFactor, kMaxScaleFactor);
    if (value == FEditorScaleFactor)
        return;
    FEditorScaleFactor = value;
    if (FOnScaleFactorChanged)
        FOnScaleFactorChanged();
}

void TEditorOptions::EndUpdate() {
    if (FUpdateCount == 0)
        return;
    if (--FUpdateCount == 0)
        Changed();
}

void TEditorOptions::Changed() {
    if (FUpdateCount == 0 && FOnChange)
        FOnChange();
}

TEditorOptions& EditorOptions() {
    static TEditorOptions options;
    return options;
}

void AddEditorOptionsState(const TEditorOptions& options, TFormStateDictionary& state) {
    state.Set("EditorScaleFactor", FormatFloat(options.EditorScaleFactor()));
    state.Set("TopicsHaveHideTool", StoredBoolText(options.TopicsHaveHideTool()));
    state.Set("RevertScrollWheelZoom", StoredBoolText(options.RevertScrollWheelZoom()));
    state.Set("CtrlScrollWheelZoom", StoredBoolText(options.CtrlScrollWheelZoom()));
    state.Set("ShowHints", StoredBoolText(options.ShowHints()));
    state.Set("ShowEditorHint", StoredBoolText(options.ShowEditorHint()));
}

void ApplyEditorOptionsState(TEditorOptions& options, const TFormStateDictionary& state) {
    const auto flag = [&state](const char* name, bool current) {
        const std::string* text = state.Find(name);
        const std::optional<bool> value = text ? ParseStoredBool(*text) : std::nullopt;
        return value.value_or(current);
    };
    options.BeginUpdate();
    try {
        options.SetTopicsHaveHideTool(flag("TopicsHaveHideTool", options.TopicsHaveHideTool()));
        options.SetRevertScrollWheelZoom(flag("RevertScrollWheelZoom", options.RevertScrollWheelZoom()));
        options.SetCtrlScrollWheelZoom(flag("CtrlScrollWheelZoom", options.CtrlScrollWheelZoom()));
        options.SetShowHints(flag("ShowHints", options.ShowHints()));
        options.SetShowEditorHint(flag("ShowEditorHint", options.ShowEditorHint()));
    } catch (...) {
        options.EndUpdate();
        throw;
    }
    options.EndUpdate();
    if (const std::string* text = state.Find("EditorScaleFactor"))
        if (const std::optional<double> factor = ParseFloat(*text))
            options.SetEditorScaleFactor(*factor);
}

// Loading and saving

void LoadSettings(TRegistryStore& store, const TSettingsTargets& targets) {
    try {
        if (targets.MarkDown)
            targets.MarkDown->SetMarkDownFilteringEnabled(false);
        if (targets.FormStates && store.KeyExists(TFormStateStore::KeyName))
            targets.FormStates->LoadAll(store);
        TConfigStore config(store);
        if (targets.Styles)
            targets.Styles->LoadFonts(config, kNodeStylesSection);
        if (targets.MarkDown)
            config.ReadObject(*targets.MarkDown, TMarkDownProperties::SectionName);
        if (targets.RecentFiles) {
            config.ReadStrings(kRecentFilesSection, *targets.RecentFiles);
            for (std::string& name : *targets.RecentFiles)
                name = SettingTextToFileName(name);
        }
    } catch (const std::exception& error) {
        HandleApplicationException(error);
    }
}

void SaveSettings(TRegistryStore& store, const TSettingsTargets& targets) {
    try {
        if (targets.FormStates)
            targets.FormStates->SaveAll(store);
        TConfigStore config(store);
        if (targets.Styles)
            targets.Styles->SaveFonts(config, kNodeStylesSection);
        if (targets.MarkDown)
            config.WriteObject(*targets.MarkDown, TMarkDownProperties::SectionName);
        if (targets.RecentFiles) {
            std::vector<std::string> lines;
            for (const std::string& name : *targets.RecentFiles)
                lines.push_back(FileNameToSettingText(name));
            config.WriteStrings(kRecentFilesSection, lines);
        }
        store.Save();
    } catch (const std::exception& error) {
        HandleApplicationException(error);
    }
}

TRegistryStore& UserSettings() {
    static const std::unique_ptr<TRegistryStore> store = [] {
        auto settings = std::make_unique<TRegistryStore>(SettingsFilePath());
        settings->Load();
        return settings;
    }();
    return *store;
}

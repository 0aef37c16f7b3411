#include "styling/CVCustomStyles.h"

#include "formats/CVFilers.h"
#include "formats/CvmxWriters.h"
#include "formats/OXXMLDOM.h"
#include "model/CVMindMaps.h"
#include "platform/CVStrings.h"
#include "styling/CVStyleManager.h"
#include "styling/Patterns.h"

#include <array>
#include <cmath>
#include <filesystem>
#include <glib.h>
#include <system_error>
#include <vector>

namespace {

long JulianOf(int year, int month, int day) {
    GDate date;
    g_date_clear(&date, 1);
    g_date_set_dmy(&date, static_cast<GDateDay>(day), static_cast<GDateMonth>(month), static_cast<GDateYear>(year));
    return static_cast<long>(g_date_get_julian(&date));
}

// Days count from 1899-12-30.
long DateBase() {
    static const long base = JulianOf(1899, 12, 30);
    return base;
}

// Exactly three integers separated by the separator, each trimmed.
bool ParseTriple(std::string_view text, char separator, std::array<int, 3>& parts) {
    std::size_t count = 0;
    while (true) {
        const std::size_t at = text.find(separator);
        if (count == parts.size())
            return false;
        const std::optional<int> value = ParseInt(Trim(text.substr(0, at)));
        if (!value)
            return false;
        parts[count++] = *value;
        if (at == std::string_view::npos)
            break;
        text.remove_prefix(at + 1);
    }
    return count == parts.size();
}

// The map attributes of a sheet's style block ("mindmap"): each one present is set and marked.
void ReadSheetMapAttributes(const TXMLElement& element, TLeveledMindMapStyle& sheet) {
    if (element.HasAttribute("connection-style")) {
        TConnectionStyle connection;
        if (TryConnectionStyleFromName(element.GetString("connection-style"), connection)) {
            sheet.SetConnectionStyle(connection);
            sheet.SetOverride(msoConnectionStyle, true);
        }
    } else if (element.HasAttribute("natural-paths")) {
        sheet.SetConnectionStyle(element.GetBool("natural-paths", false) ? csBaseline : csCentered);
        sheet.SetOverride(msoConnectionStyle, true);
    }
    TColor color = clDefault;
    if (ReadColorElement(element, "backgroundcolor", color)) {
        sheet.SetBackgroundColor(color);
        sheet.SetOverride(msoBackgroundColor, true);
    }
    if (element.HasAttribute("background-pattern")) {
        // a sheet has no pictures of its own: only built-in patterns
        sheet.SetBackgroundPattern(FindPattern(element.GetString("background-pattern")));
        sheet.SetOverride(msoBackgroundPattern, true);
    }
    if (ReadColorElement(element, "checkbox-color", color)) {
        sheet.SetCheckboxColor(color);
        sheet.SetOverride(msoCheckboxColor, true);
    }
    if (ReadColorElement(element, "note-indicator-color", color)) {
        sheet.SetNoteIndicatorColor(color);
        sheet.SetOverride(msoNoteIndicatorColor, true);
    }
}

void WriteSheetMapAttributes(TXMLElement& block, const TLeveledMindMapStyle& sheet) {
    const std::uint8_t bits = sheet.Overrides();
    if (bits == 0)
        return;
    TXMLElement* element = block.AddChild("mindmap");
    if (bits & msoConnectionStyle) {
        element->SetString("connection-style", ConnectionStyleName(sheet.ConnectionStyle()));
        element->SetBool("natural-paths", sheet.ConnectionStyle() == csBaseline);
    }
    if (bits & msoBackgroundColor)
        WriteColorElement(*element, "backgroundcolor", sheet.TLeveledMindMapStyle::GetBackgroundColor());
    if (bits & msoBackgroundPattern) {
        const auto* pattern = dynamic_cast<const TPatternInfo*>(sheet.TLeveledMindMapStyle::GetBackgroundPattern());
        element->SetString("background-pattern", pattern && !pattern->IsCustom() ? pattern->Key() : "nil");
    }
    if (bits & msoCheckboxColor)
        WriteColorElement(*element, "checkbox-color", sheet.CheckboxColor());
    if (bits & msoNoteIndicatorColor)
        WriteColorElement(*element, "note-indicator-color", sheet.NoteIndicatorColor());
}

void ReadGeneral(const TXMLElement& general, TCustomStyleSheet& sheet) {
    TCustomColorScheme& scheme = sheet.Scheme();
    sheet.SetKey(general.GetString("description"));
    sheet.SetTimestamp(ParseSheetTimestamp(general.GetString("timestamp")).value_or(0));
    scheme.SetLevelBased(general.GetBool("levelbased", false));
    TColor color = clDefault;
    if (ReadColorElement(general, "bkgnd-color", color))
        scheme.SetBackgroundColor(color);
    if (const std::string key = general.GetString("background-pattern"); !key.empty()) {
        const TPatternInfo* pattern = FindPattern(key);
        scheme.SetBackgroundPatternKey(pattern ? pattern->Key() : std::string());
    }
    if (ReadColorElement(general, "font-color", color))
        scheme.SetTextColor(color);
}

// The older sheet-wide shape and line ("borderstyle", "penstyle" on "general"). A style block resets the
// levels, so they are applied after it, where the block's central-theme level does not set its own.
void ReadLegacyShapes(const TXMLElement& general, TCustomStyleSheet& sheet) {
    TNodeBorderStyle border;
    TNodeStyle& central = sheet.NodeStyle().LevelStyle(0);
    if (TryNodeBorderStyleFromName(general.GetString("borderstyle"), border) &&
        (central.Overrides() & nsoBorderStyle) == 0)
        central.SetBorderStyle(border);
    TRelationLineStyle line;
    TRelationStyle& connection = sheet.RelationStyle().LevelStyle(0);
    if (!TryRelationLineStyleFromName(general.GetString("penstyle"), line) ||
        (connection.Overrides() & rsoLineStyle) != 0)
        return;
    if ((sheet.CrossLinkStyle().Overrides() & (rsoLineStyle | rsoTargetArrow)) == 0)
        sheet.SetConnectionLineStyle(line); // cross links follow the connections
    else
        connection.SetLineStyle(line);
}

} // namespace

TCustomStyleSheet::TCustomStyleSheet(TStyleManager& manager)
    : TStyleSheet(manager, std::string(), penCable, sbsDropRoundRect, {}, {}, std::string(), std::string()),
      FScheme(std::make_unique<TCustomColorScheme>()) {
    SetColorScheme(FScheme.get());
    TextStyle().SetTextColor(FScheme->TextColor());
}

TBackgroundPattern* TCustomStyleSheet::GetBackgroundPattern() const {
    return FindPattern(FScheme->BackgroundPatternKey());
}

bool TCustomStyleSheet::DeleteStorage() {
    if (FStoragePath.empty())
        return true;
    std::error_code error;
    if (!std::filesystem::exists(FStoragePath, error))
        return true;
    return std::filesystem::remove(FStoragePath, error) && !error;
}

std::optional<double> ParseSheetTimestamp(std::string_view text) {
    const std::size_t plus = text.find('+');
    if (plus == std::string_view::npos)
        return std::nullopt;
    std::array<int, 3> date{};
    std::array<int, 3> time{};
    if (!ParseTriple(Trim(text.substr(0, plus)), '-', date) || !ParseTriple(Trim(text.substr(plus + 1)), ':', time))
        return std::nullopt;
    const int year = date[0], month = date[1], day = date[2];
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31 ||
        !g_date_valid_dmy(static_cast<GDateDay>(day), static_cast<GDateMonth>(month), static_cast<GDateYear>(year)))
        return std::nullopt;
    const int hour = time[0], minute = time[1], second = time[2];
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return std::nullopt;
    return static_cast<double>(JulianOf(year, month, day) - DateBase()) +
           (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
}

std::string FormatSheetTimestamp(double days) {
    if (!std::isfinite(days))
        return {};
    long whole = static_cast<long>(std::floor(days));
    long seconds = static_cast<long>(RoundHalfEven((days - static_cast<double>(whole)) * 86400.0));
    if (seconds >= 86400) {
        ++whole;
        seconds -= 86400;
    }
    const long julian = whole + DateBase();
    if (julian < 1 || julian > 3652059) // 9999-12-31
        return {};
    GDate date;
    g_date_clear(&date, 1);
    g_date_set_julian(&date, static_cast<guint32>(julian));
    return Format("%.4d-%.2d-%-.2d+%.2d:%.2d:%.2d", g_date_get_year(&date), static_cast<int>(g_date_get_month(&date)),
                  g_date_get_day(&date), static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                  static_cast<int>(seconds % 60));
}

std::unique_ptr<TCustomStyleSheet> ReadCustomSheet(const TXMLElement& element, TStyleManager& manager) {
    try {
        auto sheet = std::make_unique<TCustomStyleSheet>(manager);
        TStyleUpdate update(*sheet);
        TCustomColorScheme& scheme = sheet->Scheme();
        const TXMLElement* general = element.FindChild("general");
        if (general)
            ReadGeneral(*general, *sheet);
        // free texts take the sheet's text colour unless the style block sets their own
        sheet->TextStyle().SetTextColor(scheme.TextColor());
        if (const TXMLElement* style = element.FindChild("style"))
            ReadLeveledStyleBlock(*style, *sheet, [&sheet](const TXMLElement& attributes) {
                ReadSheetMapAttributes(attributes, *sheet);
            });
        if (general)
            ReadLegacyShapes(*general, *sheet);
        if (const TXMLElement* palette = element.FindChild("palette"))
            for (int i = 0; i < palette->ChildCount(); ++i) {
                const TXMLElement& item = *palette->Child(i);
                TColor fill = clDefault;
                if (!item.IsElementNamed("item") || !ReadColorElement(item, "fill-color", fill))
                    continue;
                TColor stroke = clDefault;
                if (!ReadColorElement(item, "stroke-color", stroke))
                    stroke = Darken(fill);
                scheme.AddEntry(fill, stroke);
            }
        return sheet;
    } catch (const std::exception&) {
        return nullptr;
    }
}

void WriteCustomSheet(const TStyleSheet& sheet, TXMLElement& element) {
    const auto* custom = dynamic_cast<const TCustomStyleSheet*>(&sheet);
    if (!custom || !custom->IsCustomSheet())
        return;
    const TCustomColorScheme& scheme = custom->Scheme();
    TXMLElement* general = element.AddChild("general");
    general->SetString("description", custom->Key());
    if (custom->Timestamp() > 0)
        general->SetString("timestamp", FormatSheetTimestamp(custom->Timestamp()));
    if (scheme.LevelBased())
        general->SetBool("levelbased", true);
    WriteLeveledStyleBlock(*element.AddChild("style"), *custom,
                           [custom](TXMLElement& block) { WriteSheetMapAttributes(block, *custom); });
    WriteColorElement(*general, "bkgnd-color", scheme.BackgroundColor());
    if (const TPatternInfo* pattern = FindPattern(scheme.BackgroundPatternKey()))
        general->SetString("background-pattern", pattern->Key());
    WriteColorElement(*general, "font-color", scheme.TextColor());
    TXMLElement* palette = element.AddChild("palette");
    const std::vector<TColor>& fills = scheme.Fills();
    const std::vector<TColor>& strokes = scheme.Strokes();
    for (std::size_t i = 0; i < fills.size(); ++i) {
        TXMLElement* item = palette->AddChild("item");
        WriteColorElement(*item, "fill-color", fills[i]);
        if (i < strokes.size())
            WriteColorElement(*item, "stroke-color", strokes[i]);
    }
}

TStyleSheet& UseEmbeddedSheet(TMindMap& map, std::unique_ptr<TCustomStyleSheet> sheet, TStyleManager& manager) {
    if (!sheet->Key().empty() && manager.FindSheetIndex(sheet->Key()) < 0) {
        TStyleSheet& registered = manager.RegisterSheet(std::move(sheet));
        map.SetStyleSheet(&registered);
        return registered;
    }
    TStyleSheet& own = *sheet;
    map.SetOwnedStyleSheet(std::move(sheet));
    return own;
}

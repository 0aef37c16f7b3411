#pragma once

// Style sheets that documents carry with them: a custom sheet with its own colour scheme (palette, background,
// text colour), read from and written to a document's "stylesheet" element.
//
// A document is always drawn with the sheet it embeds. The style manager keeps the first sheet it sees under a
// key, for everything that looks sheets up by key; a later document whose embedded sheet has a key the manager
// knows already (or none) keeps its own sheet in the map instead of taking the registered one.

#include "styling/CVStyles.h"
#include "styling/ColorSchemes.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

class TXMLElement;
class TMindMap;

// The scheme of a custom sheet: its palette, background and text colour come from the document.
class TCustomColorScheme : public TPalettizedColorScheme {
public:
    bool IsCustom() const override { return true; }
    std::string_view GetKey() const override { return "#custom color scheme"; }
};

class TCustomStyleSheet : public TStyleSheet {
public:
    // No key, cable connections, drop-shadow rounded central themes, and a scheme of its own.
    explicit TCustomStyleSheet(TStyleManager& manager);

    using TStyleSheet::SetKey;
    TCustomColorScheme& Scheme() const { return *FScheme; }
    // Days since 1899-12-30 with the time of day as the fraction; 0 when the sheet has no timestamp.
    double Timestamp() const { return FTimestamp; }
    void SetTimestamp(double value) { FTimestamp = value; }
    // The file a sheet was loaded from; empty for sheets read from documents.
    const std::string& StoragePath() const { return FStoragePath; }
    void SetStoragePath(std::string path) { FStoragePath = std::move(path); }

    // The scheme's pattern, straight from the pattern registry.
    TBackgroundPattern* GetBackgroundPattern() const override;
    std::string GetDisplayName() const override { return Key(); }
    // Deletes the storage file when there is one; answers whether nothing is left behind.
    bool DeleteStorage() override;
    bool IsCustomSheet() const override { return true; }
    // A custom sheet looks the same in every appearance.
    void Rebuild() override {}

private:
    std::unique_ptr<TCustomColorScheme> FScheme; // owned
    double FTimestamp = 0;
    std::string FStoragePath;
};

// Sheet timestamps: "2021-03-07+09:05:00" (year-month-day+hour:minute:second). A text without "+", without
// exactly three numbers on either side or with an impossible date or time gives nothing.
std::optional<double> ParseSheetTimestamp(std::string_view text);
std::string FormatSheetTimestamp(double days);

// Reads a "stylesheet" element into a new sheet (not registered anywhere); null when the element cannot be read.
std::unique_ptr<TCustomStyleSheet> ReadCustomSheet(const TXMLElement& element, TStyleManager& manager);
// Writes a custom sheet into a "stylesheet" element; sheets that are not custom write nothing.
void WriteCustomSheet(const TStyleSheet& sheet, TXMLElement& element);

// Makes the sheet the map's. It is registered with the manager when the manager knows no sheet under its
// (non-empty) key, and then belongs to the manager; otherwise the map keeps it for as long as it is the map's
// sheet. Answers the sheet.
TStyleSheet& UseEmbeddedSheet(TMindMap& map, std::unique_ptr<TCustomStyleSheet> sheet, TStyleManager& manager);

#pragma once

// What the fuzz targets share: opening bytes as the viewer opens a file, and showing a read map as the view
// shows it. Errors the program reports to the user end a run quietly; any other exception is a finding.

#include <cstddef>
#include <cstdint>
#include <string>

class TMindMap;

std::string FuzzText(const std::uint8_t* data, std::size_t size);

// Routes the application's error handler: errors meant for the user are dropped, anything else aborts.
void QuietApplicationErrors();

// Lays the map out and draws all of it into a picture of at most 128 pixels a side.
void ShowMap(TMindMap& map);

// Writes the bytes to a file with that extension (".cvmx", ".opml" ...), opens it through the viewer's storage,
// reads the text the storage hands out into a map and shows the map.
void OpenAsViewer(const std::uint8_t* data, std::size_t size, const char* extension);

// Reads native document text into a map, shows it and writes it back in the native and the outline format.
void ReadNativeText(const std::string& text);

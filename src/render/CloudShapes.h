#pragma once

// The cloud outline of topics and group borders: a start point followed by nine cubic segments (two control points
// and an end point each), kept as the program resource "CLOUD_SHAPE_POINTS" and normalised so that the outline's
// box maps to [-0.5, 0.5] on both axes.

#include "render/Float2D.h"

#include <string_view>

typedef struct _cairo cairo_t;

constexpr int CloudPointCount = 28;

// The text of the built-in resource: one "x,y" pair of integers a line, y growing upwards; the outline's box is
// (39, 59) - (405, 267), centred on (222, 163).
std::string_view CloudShapeResource();

// Reads the resource text. Each non-blank line holds two integers separated by a comma, blanks around them
// trimmed; lines without exactly two fields or with a field that is not an integer are skipped. (x, y) becomes
// ((x - 222) / 366, (163 - y) / 208). At most CloudPointCount points are taken; missing ones are filled with the
// normalised point of (79, 224), where the built-in outline starts and ends. The result always holds
// CloudPointCount points.
TFloatPoints ParseCloudPoints(std::string_view text);

// The points of the built-in resource, read on first use.
const TFloatPoints& CloudPoints();

// Appends the cloud fitted into r as one closed sub-path: a normalised point (nx, ny) lies at
// (x + w / 2 + w nx, y + h / 2 + h ny). The second form draws the given points; segments that the list does not
// complete are left out.
void CloudPath(cairo_t* cr, const TFloatRect& r);
void CloudPath(cairo_t* cr, const TFloatRect& r, const TFloatPoints& points);

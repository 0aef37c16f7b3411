#pragma once

// What a topic shows besides its text, and where each part sits: a row of small decorations around the text
// (auto-number label, check box, icon, link icon, voice memo), an embedded image above it, a date line below it and
// the nested free texts at the bottom. Everything here works on plain records, so that the model fills them from a
// topic and the painter and the hit test read them back.

#include "render/Float2D.h"

#include <string>
#include <vector>

// Which part of a topic a map point hits.
enum THotSpot : int {
    hsNone = 0,
    hsTopic = 1,
    hsIcon = 2,
    hsLinkIcon = 3,
    hsVoiceMemo = 4,
    hsCheckBox = 5,
    hsImage = 6,
    hsDate = 7,
    hsCalendar = 8,
};

// Fixed sizes of the row's decorations.
constexpr double kCheckBoxSide = 16;
constexpr double kCheckBoxAdvance = 23; // the box and a gap of 7
constexpr double kVoiceMemoSide = 16;
constexpr double kVoiceMemoAdvance = 21; // the picture and a gap of 5
constexpr double kDecorationGap = 5;
constexpr double kContentGap = 4; // between the image, the row and the date line

// The measured parts of a topic, filled before StackTopicContent runs.
struct TTopicContent {
    TFloatPoint LineBox;        // one line of the topic's font: (th, th)
    double ItalicAllowance = 0; // th / 6 for an italic font
    TFloatPoint TextSize;       // the measured plain text, at least one LineBox
    bool TextEmpty = true;      // the topic's text is empty
    bool NumberInside = false;  // the auto-number label is shown in the row
    TFloatPoint NumberLabelSize;
    bool HasCheckBox = false;
    bool HasIcon = false;
    TFloatPoint IconSize;
    bool HasLink = false;
    TFloatPoint LinkIconSize;
    bool HasVoiceMemo = false;
    bool HasImage = false;
    TFloatPoint ImageSize; // the embedded image as its clamped scale sizes it
    bool HasDate = false;
    TFloatPoint DateSize; // the date text's width + 4 + its height, and its height
    // The nested free texts in contained order, each with its own size.
    std::vector<TFloatPoint> NestedTextSizes;

    // Outputs of StackTopicContent.
    TFloatPoint RowSize;
    TFloatPoint NestedSize;
    TFloatPoint ContentSize;

    bool HasRowDecorations() const { return HasIcon || HasVoiceMemo || HasCheckBox || HasLink || NumberInside; }
    // An embedded image without text and without row decorations.
    bool ImageOnly() const { return HasImage && TextEmpty && !HasRowDecorations(); }
    bool HasNestedTexts() const { return NestedSize.Y > 0; }
};

// Stacks the row, the nested texts, the image and the date line into RowSize, NestedSize and ContentSize.
void StackTopicContent(TTopicContent& content);

// Where a topic is: its centre, its bounds' size, the inset of its content and the resolved text alignment
// (1 centre, 2 left, 3 right).
struct TTopicFrame {
    TFloatPoint Centre;
    TFloatPoint Size;
    double TextInset = 0;
    int Alignment = 1;
};

TFloatRect ContentTextRect(const TTopicContent& content, const TTopicFrame& frame);
TFloatRect ContentNumberLabelRect(const TTopicContent& content, const TTopicFrame& frame);
TFloatRect ContentCheckBoxRect(const TTopicContent& content, const TTopicFrame& frame);
TFloatRect ContentIconRect(const TTopicContent& content, const TTopicFrame& frame);
TFloatRect ContentLinkIconRect(const TTopicContent& content, const TTopicFrame& frame);
TFloatRect ContentVoiceMemoRect(const TTopicContent& content, const TTopicFrame& frame);
// The empty rectangle without an embedded image.
TFloatRect ContentImageRect(const TTopicContent& content, const TTopicFrame& frame);
TFloatRect ContentDateRect(const TTopicContent& content, const TTopicFrame& frame);
// The calendar picture: the h x h square at the left of the date line.
TFloatRect ContentCalendarRect(const TTopicContent& content, const TTopicFrame& frame);

// A nested text's place: its width and its centre's offset from the topic's centre.
struct TNestedTextPlace {
    double Width = 0;
    TFloatPoint Offset;
};
std::vector<TNestedTextPlace> PlaceNestedTexts(const TTopicContent& content, const TTopicFrame& frame);

// The part of the topic under the point; rectangles include their edges.
THotSpot ContentHotSpotAt(const TTopicContent& content, const TTopicFrame& frame, const TFloatPoint& point);

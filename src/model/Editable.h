#pragma once

// Base of every document element: an object that can be copied into another of its kind.
class TEditable {
public:
    TEditable() = default;
    TEditable(const TEditable&) = delete;
    TEditable& operator=(const TEditable&) = delete;
    virtual ~TEditable() = default;
};

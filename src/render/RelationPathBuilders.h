#pragma once

// The builders that decide the points and the kind of relation paths: the parent connections of a branch, for each
// connection style, and the routing of cross links. They work on small records that the layout pass fills from the
// topics, so that they need neither the map nor a finished layout.

#include "render/BezierMath.h"
#include "render/Float2D.h"
#include "styling/MindMapStyling.h"

#include <vector>

// How far the connection points of a bordered topic lie inside its rectangle: 5 - borderWidth / 2, 0 for a
// borderless one. The inset never leaves the rectangle nor passes its middle, so that a narrow or very thick
// border cannot turn a connection end round to the far side.
double ConnectionInset(const TFloatRect& bounds, TNodeBorderStyle borderStyle, double borderWidth);

// One topic of a branch as the connection builders see it. The path and the handle flag belong to the connection
// from the topic's parent to the topic; the builders write them and ChildConnectionStart, the layout copies them
// back to the relation and the topic.
struct TConnectionTopic {
    TFloatRect Bounds;
    TNodeBorderStyle BorderStyle = sbsRoundRect;
    double BorderWidth = 1;
    int LayoutMode = 0;     // above 1 the children are connected by that nested layout
    bool Collapsed = false; // the children are not shown
    bool HasVisibleChildren = true;
    TRelationPathStyle PathStyle = rpsBezier; // of the connection to this topic
    bool HasHandle = false;                   // of the connection to this topic; cleared for straight paths
    TRelationPath Path;                       // the connection to this topic; Width must be up to date
    TFloatPoint ChildConnectionStart;         // output: where the connections to the children start
    std::vector<TConnectionTopic*> Children;  // not owned
};

// Connection style "centered": every connection runs from the centre of the parent to the centre of the child.
// inheritedSide is the exit side of the parent's own connection (psNone for a central theme). Builds the path of
// child, clears the handle of a straight one, and answers the offset handed on to the child's children.
TFloatPoint BuildCentredConnection(const TConnectionTopic& parent, TConnectionTopic& child, TPathSide inheritedSide,
                                   const TFloatPoint& inheritedOffset);
// The connections of every child of topic, recursively. A collapsed topic ends the walk, and with topLevel so does
// a topic with a nested layout mode. topic's own path supplies the inherited exit side unless topLevel is set.
void BuildCentredConnections(TConnectionTopic& topic, const TFloatPoint& inheritedOffset, bool topLevel);

// A child's branch lies left of its parent when the centres of the child and its descendants lie left of the
// parent's centre on the whole.
bool IsLeftBranch(const TConnectionTopic& parent, const TConnectionTopic& child);

// Connection style "baseline": a borderless child is underlined by its connection, and its children start at the
// far end of the underline. Sets child's path and ChildConnectionStart; parent's ChildConnectionStart is the start.
void BuildBaselineConnection(const TConnectionTopic& parent, bool parentIsCentralTheme, TConnectionTopic& child,
                             bool leftBranch, double sideOffset);
// Connection style "left-right": connections run between the sides of the topics.
void BuildLeftRightConnection(const TConnectionTopic& parent, bool parentIsCentralTheme, TConnectionTopic& child,
                              bool leftBranch, double sideOffset);
// The connections of every child of topic, recursively, starting from a central theme (isCentralTheme) or from a
// topic whose ChildConnectionStart is already set. The children's children get levelSpacing as side offset,
// negated on the left; a central theme's ChildConnectionStart is set to its centre first.
void BuildBaselineConnections(TConnectionTopic& topic, double sideOffset, bool isCentralTheme, double levelSpacing);
void BuildLeftRightConnections(TConnectionTopic& topic, double sideOffset, bool isCentralTheme, double levelSpacing);

// One end of a cross link.
struct TCrossLinkEnd {
    TFloatRect Bounds;
    TNodeBorderStyle BorderStyle = sbsRoundRect;
    double BorderWidth = 1;
    const TRelationPath* ParentPath = nullptr; // the topic's own parent connection; null for a central theme
};

struct TCrossLinkRoute {
    TCrossLinkEnd Source;
    TCrossLinkEnd Target;
    bool AsHierarchy = false;
    TConnectionStyle ConnectionStyle = csCentered;
    TRelationPathStyle PathStyle = rpsBezier;
    bool HasHandle = false;
};

// The style level of a cross link: one below the deeper of its topics.
int CrossLinkStyleLevel(int sourceLevel, int targetLevel);

// Routes the cross link's path between its topics and answers the handle flag (cleared for straight paths).
bool UpdateCrossLinkPath(const TCrossLinkRoute& route, TRelationPath& path);

// The relation's bounds: the box of P0 and P3 grown by 1; an unset path counts as running between the centres.
TFloatRect RelationBounds(const TRelationPath& path, const TFloatRect& sourceBounds, const TFloatRect& targetBounds);

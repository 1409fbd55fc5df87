#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plugin/host/style.h"
#include "plugin/host/vector.h"

// Read-only helpers over an imported vector layer, shared by the commands.

// "#RRGGBB" of a GDI colour (red in the lowest byte).
std::string ColorText(std::uint32_t color);

// Shortest text that reads back to the same double ("null" for NaN and infinities).
std::string JsonNumber(double value);
std::string JsonNumber(float value);

// The 1-based place of the style in the manager's line pattern list, or 0 when it is not there.
int PatternIndex(CXF_ManagerVectorStyle* manager, const CXF_StyleObject* style);

// The colour of the first fill element of a polygon face; false when none fills.
bool FirstFillColor(CXF_StylePolygon* face, std::uint32_t& color);

// A polygon as GeoJSON wants it: each outer ring followed by the holes that lie in it.
struct RingGroup {
    int outer = -1;
    std::vector<int> holes;
};
// Outer rings are those the host marked so; a hole goes with the smallest outer ring that holds
// its first point (by the host's own test, CXF_PolygonD::Contains), and a hole in none becomes a
// polygon of its own. Rings without points are left out. work, when given, counts the rings looked
// at, for measurements.
std::vector<RingGroup> GroupRings(const CXF_RegionCmx* region, std::int64_t* work = nullptr);

// Twice the signed area of a ring (implicitly closed): positive when it runs counter-clockwise.
double SignedArea2(const tagXF_POINT3DD* points, int n);

// True when every coordinate is a finite number.
bool AllFinite(const tagXF_POINT3DD* points, int n);

// True when every text of the layer (column names, text values, texts, font names) is UTF-8.
bool LayerTextIsUtf8(Cgeo_Vector* vector);

// Points around an ellipse inscribed in the box, closed (the last equals the first).
std::vector<tagXF_POINT3DD> EllipsePoints(const tagXF_RECT3DD& box, int segments = 72);

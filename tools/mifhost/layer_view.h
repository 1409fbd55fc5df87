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
std::string NumberText(double value);
std::string NumberText(float value);

// The 1-based place of the style in the manager's line pattern list, or 0 when it is not there.
int PatternIndex(CXF_ManagerVectorStyle* manager, const CXF_StyleObject* style);

// The colour of the first fill element of a polygon face; false when none fills.
bool FirstFillColor(CXF_StylePolygon* face, std::uint32_t& color);

// A polygon as GeoJSON wants it: each outer ring followed by the holes that lie in it.
struct RingGroup {
    int outer = -1;
    std::vector<int> holes;
};
std::vector<RingGroup> GroupRings(CXF_RegionCmx* region);

// Points around an ellipse inscribed in the box, closed (the last equals the first).
std::vector<tagXF_POINT3DD> EllipsePoints(const tagXF_RECT3DD& box, int segments = 72);

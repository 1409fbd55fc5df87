#include "tools/mifhost/layer_view.h"

#include <charconv>
#include <cmath>
#include <cstdio>

std::string ColorText(std::uint32_t color) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", color & 0xFFu, (color >> 8) & 0xFFu,
                  (color >> 16) & 0xFFu);
    return text;
}

std::string NumberText(double value) {
    if (!std::isfinite(value)) {
        return "null";
    }
    char text[32];
    auto r = std::to_chars(text, text + sizeof text, value);
    return std::string(text, r.ptr);
}

std::string NumberText(float value) {
    if (!std::isfinite(value)) {
        return "null";
    }
    char text[32];
    auto r = std::to_chars(text, text + sizeof text, value);
    return std::string(text, r.ptr);
}

int PatternIndex(CXF_ManagerVectorStyle* manager, const CXF_StyleObject* style) {
    const std::vector<CXF_StyleObject*>* patterns =
        manager != nullptr ? manager->GetLinePatterns() : nullptr;
    if (patterns == nullptr || style == nullptr) {
        return 0;
    }
    for (size_t i = 0; i < patterns->size(); ++i) {
        if ((*patterns)[i] != nullptr && CXF_StyleObject::SameIdentifier((*patterns)[i], style)) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

bool FirstFillColor(CXF_StylePolygon* face, std::uint32_t& color) {
    if (face == nullptr) {
        return false;
    }
    for (int i = 0; i < face->GetCount(); ++i) {
        CXF_StyleElement* element = face->GetElement(i);
        if (element != nullptr && element->IsFill()) {
            color = element->GetColor();
            return true;
        }
    }
    return false;
}

namespace {

// Even-odd test of a point against a ring (implicitly closed).
bool InsideRing(const CXF_PolygonD& ring, double x, double y) {
    const tagXF_POINT3DD* p = ring.GetData();
    int n = ring.GetSize();
    bool inside = false;
    for (int i = 0, j = n - 1; i < n; j = i++) {
        if ((p[i].y > y) != (p[j].y > y) &&
            x < (p[j].x - p[i].x) * (y - p[i].y) / (p[j].y - p[i].y) + p[i].x) {
            inside = !inside;
        }
    }
    return inside;
}

}  // namespace

std::vector<RingGroup> GroupRings(CXF_RegionCmx* region) {
    std::vector<RingGroup> groups;
    int n = region->GetPolygonSize();
    for (int i = 0; i < n; ++i) {
        if (region->GetPolygon(i)->IsExternal()) {
            RingGroup g;
            g.outer = i;
            groups.push_back(g);
        }
    }
    for (int i = 0; i < n; ++i) {
        const CXF_PolygonD* ring = region->GetPolygon(i);
        if (ring->IsExternal()) {
            continue;
        }
        // A hole goes with the last outer ring that holds its first point (inner rings come
        // after the ring they lie in); a hole in no outer ring becomes a polygon of its own.
        RingGroup* home = nullptr;
        if (ring->GetSize() > 0) {
            const tagXF_POINT3DD& first = ring->GetData()[0];
            for (RingGroup& g : groups) {
                if (InsideRing(*region->GetPolygon(g.outer), first.x, first.y)) {
                    home = &g;
                }
            }
        }
        if (home != nullptr) {
            home->holes.push_back(i);
        } else {
            RingGroup g;
            g.outer = i;
            groups.push_back(g);
        }
    }
    return groups;
}

std::vector<tagXF_POINT3DD> EllipsePoints(const tagXF_RECT3DD& box, int segments) {
    double cx = (box.x1 + box.x2) / 2.0;
    double cy = (box.y1 + box.y2) / 2.0;
    double a = std::fabs(box.x2 - box.x1) / 2.0;
    double b = std::fabs(box.y2 - box.y1) / 2.0;
    std::vector<tagXF_POINT3DD> points;
    for (int i = 0; i < segments; ++i) {
        // By quarter turns: what is left of the angle lies within an eighth of a turn, where
        // the platforms' libraries agree, and the ends of the axes come out exact.
        const double halfPi = 1.57079632679489661923;
        int quarter = (4 * i + segments / 2) / segments;
        double t = (4.0 * i / segments - quarter) * halfPi;
        double c = std::cos(t);
        double s = std::sin(t);
        const double unit[5][2] = {{c, s}, {-s, c}, {-c, -s}, {s, -c}, {c, s}};
        points.push_back({cx + a * unit[quarter][0], cy + b * unit[quarter][1], 0.0});
    }
    points.push_back(points.front());
    return points;
}

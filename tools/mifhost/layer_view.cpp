#include "tools/mifhost/layer_view.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <unordered_map>

#include "tools/mifhost/codepage.h"

std::string ColorText(std::uint32_t color) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", color & 0xFFu, (color >> 8) & 0xFFu,
                  (color >> 16) & 0xFFu);
    return text;
}

std::string JsonNumber(double value) {
    if (!std::isfinite(value)) {
        return "null";
    }
    char text[32];
    auto r = std::to_chars(text, text + sizeof text, value);
    return std::string(text, r.ptr);
}

std::string JsonNumber(float value) {
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
            // A fill part without colour fills nothing: the polygon is hollow.
            color = element->GetColor();
            return element->GetFill()->HasColor();
        }
    }
    return false;
}

namespace {

struct RingBox {
    double x1 = 0.0;
    double y1 = 0.0;
    double x2 = 0.0;
    double y2 = 0.0;
    double boxArea = 0.0;
    double area = 0.0;  // of the ring itself, for rings with the same box

    bool Holds(const RingBox& inner) const {
        return inner.x1 >= x1 && inner.x2 <= x2 && inner.y1 >= y1 && inner.y2 <= y2;
    }
};

RingBox BoxOf(const CXF_PolygonD& ring) {
    const tagXF_POINT3DD* p = ring.GetData();
    RingBox b{p[0].x, p[0].y, p[0].x, p[0].y};
    for (int i = 1; i < ring.GetSize(); ++i) {
        b.x1 = std::min(b.x1, p[i].x);
        b.x2 = std::max(b.x2, p[i].x);
        b.y1 = std::min(b.y1, p[i].y);
        b.y2 = std::max(b.y2, p[i].y);
    }
    b.boxArea = (b.x2 - b.x1) * (b.y2 - b.y1);
    b.area = std::fabs(SignedArea2(p, ring.GetSize()));
    return b;
}

// Outer rings filed by size and place, so that the smallest outer ring holding a point is found
// among a few: grids of halving cell widths and heights; a ring lies in the grid whose cells are
// the smallest it fits in, in the two to four cells its box touches. A ring that holds another
// is at least as wide and as high, so it lies in a grid of cells at least as large.
// The host's outer-ring marking (hostlib/ring_nesting.cpp) indexes boxes as well, but to count
// every ring that holds a group of rings; this finds one outer ring per hole, with box equality
// and file order deciding ties, so the two keep their own index.
class OuterIndex {
public:
    OuterIndex(const CXF_RegionCmx& rings, const std::vector<RingBox>& boxes,
               const std::vector<int>& outers, std::int64_t& workCount)
        : region(rings), box(boxes), work(workCount) {
        if (outers.empty()) {
            return;
        }
        extent = box[static_cast<size_t>(outers[0])];
        for (int o : outers) {
            const RingBox& b = box[static_cast<size_t>(o)];
            extent.x1 = std::min(extent.x1, b.x1);
            extent.x2 = std::max(extent.x2, b.x2);
            extent.y1 = std::min(extent.y1, b.y1);
            extent.y2 = std::max(extent.y2, b.y2);
        }
        for (int o : outers) {
            const RingBox& b = box[static_cast<size_t>(o)];
            int lx = Level(b.x2 - b.x1, extent.x2 - extent.x1);
            int ly = Level(b.y2 - b.y1, extent.y2 - extent.y1);
            used[lx][ly] = true;
            for (std::int64_t ix = Cell(b.x1, lx, true); ix <= Cell(b.x2, lx, true); ++ix) {
                for (std::int64_t iy = Cell(b.y1, ly, false); iy <= Cell(b.y2, ly, false); ++iy) {
                    cells[Key(lx, ly, ix, iy)].rings.push_back(o);
                }
            }
        }
        for (auto& entry : cells) {
            Sort(entry.second);
        }
    }

    // The smallest outer ring that holds the hole's first point, or -1.
    int Find(int hole) const {
        if (cells.empty()) {
            return -1;
        }
        const RingBox& h = box[static_cast<size_t>(hole)];
        const tagXF_POINT3DD& p = region.GetPolygon(hole)->GetData()[0];
        int maxX = Level(h.x2 - h.x1, extent.x2 - extent.x1);
        int maxY = Level(h.y2 - h.y1, extent.y2 - extent.y1);
        int best = -1;
        for (int lx = 0; lx <= maxX; ++lx) {
            for (int ly = 0; ly <= maxY; ++ly) {
                if (!used[lx][ly]) {
                    continue;
                }
                auto it = cells.find(Key(lx, ly, Cell(p.x, lx, true), Cell(p.y, ly, false)));
                if (it != cells.end()) {
                    FindIn(it->second, hole, h, p, best);
                }
            }
        }
        return best;
    }

private:
    static constexpr int kLevels = 24;

    struct CellRings {
        std::vector<int> rings;    // by box area, then ring area, then place in the region
        std::vector<size_t> next;  // the first later ring with other points
    };

    // The deepest grid whose cells are at least size wide; 0 for the whole extent.
    static int Level(double size, double whole) {
        int level = 0;
        double cell = whole;
        while (level + 1 < kLevels && size <= cell / 2) {
            cell /= 2;
            ++level;
        }
        return level;
    }

    std::int64_t Cell(double v, int level, bool isX) const {
        double origin = isX ? extent.x1 : extent.y1;
        double whole = isX ? extent.x2 - extent.x1 : extent.y2 - extent.y1;
        double size = whole / static_cast<double>(std::int64_t{1} << level);
        double cell = size > 0.0 ? std::floor((v - origin) / size) : 0.0;
        // Within the extent the cell number is below 2^24; anything else (an infinite extent)
        // goes to the first cell.
        return cell >= 0.0 && cell < 16777216.0 ? static_cast<std::int64_t>(cell) : 0;
    }

    static std::uint64_t Key(int lx, int ly, std::int64_t ix, std::int64_t iy) {
        return (static_cast<std::uint64_t>(lx) << 59) ^ (static_cast<std::uint64_t>(ly) << 54) ^
               (static_cast<std::uint64_t>(ix) << 27) ^ static_cast<std::uint64_t>(iy);
    }

    bool Before(int a, int b) const {
        const RingBox& ra = box[static_cast<size_t>(a)];
        const RingBox& rb = box[static_cast<size_t>(b)];
        if (ra.boxArea != rb.boxArea) {
            return ra.boxArea < rb.boxArea;
        }
        if (ra.area != rb.area) {
            return ra.area < rb.area;
        }
        return a < b;
    }

    bool SamePoints(int a, int b) const {
        const CXF_PolygonD& ra = *region.GetPolygon(a);
        const CXF_PolygonD& rb = *region.GetPolygon(b);
        if (ra.GetSize() != rb.GetSize()) {
            return false;
        }
        for (int i = 0; i < ra.GetSize(); ++i) {
            if (ra.GetData()[i].x != rb.GetData()[i].x || ra.GetData()[i].y != rb.GetData()[i].y) {
                return false;
            }
        }
        return true;
    }

    void Sort(CellRings& cell) const {
        std::sort(cell.rings.begin(), cell.rings.end(),
                  [this](int a, int b) { return Before(a, b); });
        // Rings with the same points give the same answer: one test serves them all.
        cell.next.assign(cell.rings.size(), cell.rings.size());
        for (size_t k = cell.rings.size(); k-- > 1;) {
            int a = cell.rings[k - 1];
            int b = cell.rings[k];
            bool same =
                box[static_cast<size_t>(a)].boxArea == box[static_cast<size_t>(b)].boxArea &&
                box[static_cast<size_t>(a)].area == box[static_cast<size_t>(b)].area &&
                SamePoints(a, b);
            cell.next[k - 1] = same ? cell.next[k] : k;
        }
    }

    void FindIn(const CellRings& cell, int hole, const RingBox& h, const tagXF_POINT3DD& p,
                int& best) const {
        // Rings with a smaller box cannot hold the hole.
        auto first = std::lower_bound(
            cell.rings.begin(), cell.rings.end(), h.boxArea,
            [this](int r, double area) { return box[static_cast<size_t>(r)].boxArea < area; });
        size_t k = static_cast<size_t>(first - cell.rings.begin());
        while (k < cell.rings.size()) {
            int candidate = cell.rings[k];
            ++work;
            if (best >= 0 && !Before(candidate, best)) {
                return;  // the rest are larger than the one found
            }
            if (box[static_cast<size_t>(candidate)].Holds(h)) {
                if (region.GetPolygon(candidate)->Contains(p.x, p.y)) {
                    // Of rings with the same points, the last one before the hole, as files
                    // write each outer ring before its holes.
                    auto run = cell.rings.begin() + static_cast<std::ptrdiff_t>(k);
                    auto end = cell.rings.begin() + static_cast<std::ptrdiff_t>(cell.next[k]);
                    auto after = std::lower_bound(run, end, hole);
                    best = after != run ? *(after - 1) : candidate;
                    return;
                }
                k = cell.next[k];
                continue;
            }
            ++k;
        }
    }

    const CXF_RegionCmx& region;
    const std::vector<RingBox>& box;
    std::int64_t& work;
    RingBox extent;
    bool used[kLevels][kLevels] = {};
    std::unordered_map<std::uint64_t, CellRings> cells;
};

}  // namespace

double SignedArea2(const tagXF_POINT3DD* p, int n) {
    if (n < 3) {
        return 0.0;
    }
    // Relative to the first point, so that large coordinates keep their precision.
    double sum = 0.0;
    for (int i = 1; i + 1 < n; ++i) {
        sum +=
            (p[i].x - p[0].x) * (p[i + 1].y - p[0].y) - (p[i + 1].x - p[0].x) * (p[i].y - p[0].y);
    }
    return sum;
}

bool AllFinite(const tagXF_POINT3DD* p, int n) {
    for (int i = 0; i < n; ++i) {
        if (!std::isfinite(p[i].x) || !std::isfinite(p[i].y)) {
            return false;
        }
    }
    return true;
}

std::vector<RingGroup> GroupRings(const CXF_RegionCmx* region, std::int64_t* workCount) {
    std::int64_t ignored = 0;
    std::int64_t& work = workCount != nullptr ? *workCount : ignored;
    int n = region->GetPolygonSize();
    std::vector<RingBox> boxes(static_cast<size_t>(n));
    std::vector<int> outers;
    std::vector<RingGroup> groups;
    std::vector<int> groupOf(static_cast<size_t>(n), -1);
    std::vector<int> holes;
    for (int i = 0; i < n; ++i) {
        const CXF_PolygonD* ring = region->GetPolygon(i);
        if (ring->GetSize() == 0 || !AllFinite(ring->GetData(), ring->GetSize())) {
            continue;
        }
        boxes[static_cast<size_t>(i)] = BoxOf(*ring);
        if (ring->IsExternal()) {
            outers.push_back(i);
            groupOf[static_cast<size_t>(i)] = static_cast<int>(groups.size());
            groups.push_back(RingGroup{i, {}});
        } else {
            holes.push_back(i);
        }
    }
    if (holes.empty()) {
        return groups;
    }
    OuterIndex index(*region, boxes, outers, work);
    for (int hole : holes) {
        int home = index.Find(hole);
        if (home >= 0) {
            groups[static_cast<size_t>(groupOf[static_cast<size_t>(home)])].holes.push_back(hole);
        } else {
            groups.push_back(RingGroup{hole, {}});
        }
    }
    return groups;
}

bool LayerTextIsUtf8(Cgeo_Vector* vector) {
    Cgeo_VectorTable* table = vector->GetVectorTable();
    Cgeo_VectorColumns* columns = table->GetVectorColumns();
    std::int64_t count = vector->GetObjectCount();
    for (int c = 0; c < columns->GetSize(); ++c) {
        const CVectorColumn* column = columns->Get(c);
        if (!IsValidUtf8(column->name)) {
            return false;
        }
        for (std::int64_t id = 0; column->type == XF_COL_TEXT && id < count; ++id) {
            const void* value = table->GetColumnValue(id, c);
            if (value != nullptr && !IsValidUtf8(static_cast<const char*>(value))) {
                return false;
            }
        }
    }
    for (std::int64_t id = 0; id < count; ++id) {
        Cgeo_VectorObject* object = vector->GetObjectAt(id);
        Cgeo_VectorText* text = object != nullptr ? object->GetObjText() : nullptr;
        if (text == nullptr) {
            continue;
        }
        VECTOR_TEXT_STYLE s{};
        text->GetStyle(&s);
        bool ok = IsValidUtf8(text->GetText()) &&
                  (s.style == nullptr || IsValidUtf8(s.style->GetFaceName()));
        if (s.style != nullptr && s.style->GetStyleObject() != nullptr) {
            s.style->GetStyleObject()->Release();
        }
        if (!ok) {
            return false;
        }
    }
    return true;
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

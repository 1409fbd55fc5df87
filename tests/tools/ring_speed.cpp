// Measures mifhost's ring grouping (the step of dump that pairs holes with outer rings) on one
// region of many rings, apart from the import, and the host's outer-ring marking
// (CXF_RegionCmx::DefineExternal) on a copy of the same rings. The grouping is given the rings
// marked outer or hole as the host's marking marks them.
// Usage: ring_speed disjoint|holed|nested|identical|identical-holes [RINGS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "plugin/host/vector.h"
#include "tools/mifhost/layer_view.h"

int main(int argc, char** argv) {
    std::string kind = argc > 1 ? argv[1] : "";
    int n = argc > 2 ? std::atoi(argv[2]) : 50000;
    if (n <= 0 || (kind != "disjoint" && kind != "nested" && kind != "identical" &&
                   kind != "identical-holes" && kind != "holed")) {
        std::fprintf(stderr,
                     "usage: ring_speed disjoint|holed|nested|identical|identical-holes [RINGS]\n");
        return 2;
    }
    CXF_RegionCmx region;
    region.SetPolygonSize(n);
    int side = 1;
    while (side * side < n) {
        ++side;
    }
    for (int i = 0; i < n; ++i) {
        CXF_PolygonD* ring = region.GetPolygon(i);
        double x = 0.0;
        double y = 0.0;
        double s = 1.0;
        bool outer = true;
        if (kind == "disjoint") {
            // Unit squares on a grid, one unit apart: all outer.
            x = 2.0 * (i % side);
            y = 2.0 * (i / side);
        } else if (kind == "holed") {
            // Squares on a grid, each followed by a hole in it.
            x = 2.0 * ((i / 2) % side) + (i % 2) * 0.25;
            y = 2.0 * ((i / 2) / side) + (i % 2) * 0.25;
            s = i % 2 == 0 ? 1.0 : 0.5;
            outer = i % 2 == 0;
        } else if (kind == "nested") {
            // Concentric squares, largest first: outer, hole, outer, ...
            x = y = i;
            s = 2.0 * (n - i);
            outer = i % 2 == 0;
        } else {
            // The same triangle every time; the marking gives them alternately, or all holes.
            outer = kind == "identical" && i % 2 == 0;
        }
        ring->SetSize(kind.rfind("identical", 0) == 0 ? 3 : 4);
        tagXF_POINT3DD* p = ring->GetData();
        p[0] = {x, y, 0.0};
        p[1] = {x + s, y, 0.0};
        p[2] = {x + s, y + s, 0.0};
        if (ring->GetSize() == 4) {
            p[3] = {x, y + s, 0.0};
        }
        ring->SetExternal(outer);
    }
    CXF_RegionCmx marked(region);
    auto markStart = std::chrono::steady_clock::now();
    std::int64_t comparisons = marked.DefineExternal();
    double markSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - markStart).count();

    std::int64_t work = 0;
    auto start = std::chrono::steady_clock::now();
    std::vector<RingGroup> groups = GroupRings(&region, &work);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    size_t holes = 0;
    for (const RingGroup& g : groups) {
        holes += g.holes.size();
    }
    std::printf("%s %d rings: %zu polygons, %zu holes, %lld rings looked at, %.3f s\n",
                kind.c_str(), n, groups.size(), holes, static_cast<long long>(work), seconds);
    std::printf("outer-ring marking: %lld ring pairs compared, %.3f s\n",
                static_cast<long long>(comparisons), markSeconds);
    return 0;
}

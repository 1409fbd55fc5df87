#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <utility>
#include <vector>

#include "plugin/host/vector.h"

// Outer rings and holes. A ring is a hole when an odd number of other rings hold it: their bounding
// box holds its own and their area holds its first point. Comparing every ring with every other
// takes minutes for 100,000 rings, so the rings are compared in groups:
// - rings with the same points are one group: they hold each other alike, and other rings hold
//   all of them or none;
// - groups with the same bounding box are compared pair by pair, as before;
// - otherwise the rings that hold a group are those that hold the smallest group holding it (its
//   parent) and that group's own rings. That is so when rings do not cross, as in real data. The
//   parent is found in a k-d tree of the boxes, smallest box first, and of groups with the same
//   box the one inside the others (held by the most of them) first: a ring inside a diamond in a
//   square of the same box is held by both.

namespace {

bool IsFinite(const CXF_RectD& r) {
    return std::isfinite(r.x1) && std::isfinite(r.y1) && std::isfinite(r.x2) && std::isfinite(r.y2);
}

bool SameBox(const CXF_RectD& a, const CXF_RectD& b) {
    return a.x1 == b.x1 && a.y1 == b.y1 && a.x2 == b.x2 && a.y2 == b.y2;
}

bool SamePoints(const CXF_PolygonD& a, const CXF_PolygonD& b) {
    if (a.GetSize() != b.GetSize()) {
        return false;
    }
    for (int i = 0; i < a.GetSize(); ++i) {
        if (a.GetData()[i].x != b.GetData()[i].x || a.GetData()[i].y != b.GetData()[i].y) {
            return false;
        }
    }
    return true;
}

uint64_t HashPoints(const CXF_PolygonD& ring) {
    uint64_t h = 14695981039346656037ull ^ static_cast<uint64_t>(ring.GetSize());
    for (int i = 0; i < ring.GetSize(); ++i) {
        for (double v : {ring.GetData()[i].x, ring.GetData()[i].y}) {
            uint64_t bits;
            std::memcpy(&bits, &v, sizeof bits);
            h = (h ^ bits) * 1099511628211ull;
        }
    }
    return h;
}

struct CRingGroup {
    int first = 0;               // its first ring
    int64_t size = 0;            // rings in the group
    bool holds = false;          // 3 points or more: it can hold other rings
    bool selfInside = false;     // its first point lies in its own area: its rings hold each other
    int rank = 0;                // its place by box area, same-box holders (most first), first ring
    int parent = -1;             // the smallest group with a larger box that holds it
    int64_t sameBoxHolders = 0;  // rings of other groups with the same box that hold it
    int64_t holders = -1;        // rings of other groups that hold it; -1 until known
};

// A k-d tree over the boxes of the groups that can hold others. The key of a box is (x1, y1, -x2,
// -y2): a box holds another exactly when its key is no greater in every dimension.
class CBoxTree {
public:
    struct Item {
        double key[4];
        int rank;
        int group;
    };

    explicit CBoxTree(std::vector<Item> all) : items(std::move(all)) {
        if (!items.empty()) {
            Build(0, static_cast<int>(items.size()), 0);
        }
    }

    // The group of smallest rank whose box holds the key's box without being equal to it and for
    // which accept(group) is true; -1 when there is none. comparisons counts the items looked at.
    template <typename Accept>
    int FindSmallest(const double key[4], Accept accept, int64_t& comparisons) {
        int best = std::numeric_limits<int>::max();
        int found = -1;
        heap.clear();
        if (!nodes.empty() && MayHold(nodes[0], key)) {
            heap.emplace_back(nodes[0].minRank, 0);
        }
        auto later = std::greater<std::pair<int, int>>();
        while (!heap.empty()) {
            std::pop_heap(heap.begin(), heap.end(), later);
            const Node& node = nodes[static_cast<size_t>(heap.back().second)];
            heap.pop_back();
            if (node.minRank >= best) {
                break;
            }
            if (node.left < 0) {
                // Items of a leaf are in rank order: the first that passes is the leaf's best.
                for (int i = node.begin; i < node.end; ++i) {
                    const Item& item = items[static_cast<size_t>(i)];
                    if (item.rank >= best) {
                        break;
                    }
                    ++comparisons;
                    if (Holds(item.key, key) && accept(item.group)) {
                        best = item.rank;
                        found = item.group;
                        break;
                    }
                }
                continue;
            }
            for (int child : {node.left, node.right}) {
                const Node& c = nodes[static_cast<size_t>(child)];
                if (c.minRank < best && MayHold(c, key)) {
                    heap.emplace_back(c.minRank, child);
                    std::push_heap(heap.begin(), heap.end(), later);
                }
            }
        }
        return found;
    }

private:
    struct Node {
        double low[4];  // smallest key of each dimension below the node
        int minRank;
        int left = -1;  // children; -1 for a leaf, which holds items [begin, end)
        int right = -1;
        int begin = 0;
        int end = 0;
    };
    static constexpr int kLeafSize = 8;

    static bool MayHold(const Node& node, const double key[4]) {
        return node.low[0] <= key[0] && node.low[1] <= key[1] && node.low[2] <= key[2] &&
               node.low[3] <= key[3];
    }
    // Holds and is not the same box.
    static bool Holds(const double outer[4], const double inner[4]) {
        return outer[0] <= inner[0] && outer[1] <= inner[1] && outer[2] <= inner[2] &&
               outer[3] <= inner[3] &&
               (outer[0] < inner[0] || outer[1] < inner[1] || outer[2] < inner[2] ||
                outer[3] < inner[3]);
    }

    int Build(int begin, int end, int depth) {
        Node node;
        node.minRank = std::numeric_limits<int>::max();
        for (int d = 0; d < 4; ++d) {
            node.low[d] = std::numeric_limits<double>::infinity();
        }
        for (int i = begin; i < end; ++i) {
            const Item& item = items[static_cast<size_t>(i)];
            node.minRank = std::min(node.minRank, item.rank);
            for (int d = 0; d < 4; ++d) {
                node.low[d] = std::min(node.low[d], item.key[d]);
            }
        }
        int id = static_cast<int>(nodes.size());
        nodes.push_back(node);
        auto first = items.begin() + begin;
        auto last = items.begin() + end;
        if (end - begin <= kLeafSize) {
            std::sort(first, last, [](const Item& a, const Item& b) { return a.rank < b.rank; });
            nodes[static_cast<size_t>(id)].begin = begin;
            nodes[static_cast<size_t>(id)].end = end;
            return id;
        }
        int d = depth % 4;
        int mid = begin + (end - begin) / 2;
        std::nth_element(first, items.begin() + mid, last,
                         [d](const Item& a, const Item& b) { return a.key[d] < b.key[d]; });
        int left = Build(begin, mid, depth + 1);
        int right = Build(mid, end, depth + 1);
        nodes[static_cast<size_t>(id)].left = left;
        nodes[static_cast<size_t>(id)].right = right;
        return id;
    }

    std::vector<Item> items;
    std::vector<Node> nodes;
    std::vector<std::pair<int, int>> heap;  // (smallest rank below, node), smallest on top
};

// The rings of a region in groups of rings with the same points.
struct CRingGroups {
    std::vector<CRingGroup> groups;
    std::vector<int> groupOf;  // each ring's group; -1 for a ring that holds nothing
};

const CXF_PolygonD& FirstRing(const CXF_PolygonList& rings, const CRingGroup& g) {
    return *rings.Get(g.first);
}

const tagXF_POINT3DD& FirstPoint(const CXF_PolygonList& rings, const CRingGroup& g) {
    return FirstRing(rings, g).GetData()[0];
}

const CXF_RectD& BoxOf(const CXF_PolygonList& rings, const CRingGroup& g) {
    return FirstRing(rings, g).GetBoundRect();
}

// Most regions have one ring, which nothing else can hold: no groups and no tree for it.
int64_t MarkOnlyRing(CXF_PolygonD& only) {
    only.UpdateBoundRect();
    only.SetExternal(true);
    return only.GetSize() >= 3 && IsFinite(only.GetBoundRect()) ? 1 : 0;
}

// Updates every ring's box and marks it outer; returns the rings that can be held (with points,
// all finite) by the hash of their points, sorted.
std::vector<std::pair<uint64_t, int>> HashRings(CXF_PolygonList& rings) {
    std::vector<std::pair<uint64_t, int>> byHash;
    for (int i = 0; i < rings.GetSize(); ++i) {
        CXF_PolygonD& ring = *rings.Get(i);
        ring.UpdateBoundRect();
        ring.SetExternal(true);
        if (ring.GetSize() > 0 && IsFinite(ring.GetBoundRect())) {
            byHash.emplace_back(HashPoints(ring), i);
        }
    }
    std::sort(byHash.begin(), byHash.end());
    return byHash;
}

// Rings with the same points form one group; rings without points, or with coordinates that are
// not finite, are in none: they hold nothing and are outer.
CRingGroups GroupSamePoints(CXF_PolygonList& rings) {
    CRingGroups out;
    out.groupOf.assign(static_cast<size_t>(rings.GetSize()), -1);
    std::vector<std::pair<uint64_t, int>> byHash = HashRings(rings);
    for (size_t run = 0; run < byHash.size();) {
        size_t end = run;
        while (end < byHash.size() && byHash[end].first == byHash[run].first) {
            ++end;
        }
        // Rings of one hash: each joins the first group of the run with its points, or a new one.
        size_t runGroups = out.groups.size();
        for (size_t k = run; k < end; ++k) {
            int i = byHash[k].second;
            size_t g = runGroups;
            while (g < out.groups.size() &&
                   !SamePoints(FirstRing(rings, out.groups[g]), *rings.Get(i))) {
                ++g;
            }
            if (g == out.groups.size()) {
                out.groups.emplace_back();
                out.groups.back().first = i;
                out.groups.back().holds = rings.Get(i)->GetSize() >= 3;
            }
            ++out.groups[g].size;
            out.groupOf[static_cast<size_t>(i)] = static_cast<int>(g);
        }
        run = end;
    }
    return out;
}

// A group whose first point lies in its own area: its rings hold each other.
void FindSelfInside(const CXF_PolygonList& rings, std::vector<CRingGroup>& groups) {
    for (CRingGroup& g : groups) {
        const tagXF_POINT3DD& p = FirstPoint(rings, g);
        g.selfInside = g.holds && FirstRing(rings, g).Contains(p.x, p.y);
    }
}

// Ranks the groups, smaller boxes first, then by first ring; returns the groups in rank order.
std::vector<int> RankByBoxArea(const CXF_PolygonList& rings, std::vector<CRingGroup>& groups) {
    std::vector<int> order(groups.size());
    for (size_t g = 0; g < groups.size(); ++g) {
        order[g] = static_cast<int>(g);
    }
    auto area = [&](int g) {
        const CXF_RectD& r = BoxOf(rings, groups[static_cast<size_t>(g)]);
        return (r.x2 - r.x1) * (r.y2 - r.y1);
    };
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        double aa = area(a);
        double ab = area(b);
        return aa != ab
                   ? aa < ab
                   : groups[static_cast<size_t>(a)].first < groups[static_cast<size_t>(b)].first;
    });
    for (size_t r = 0; r < order.size(); ++r) {
        groups[static_cast<size_t>(order[r])].rank = static_cast<int>(r);
    }
    return order;
}

// Of groups with the same box, the one inside the others (held by the most of them) ranks first,
// so that it is the parent of a ring inside them all. Groups of one box have one area, so they
// lie in one run of equal areas; most runs hold one group.
void RankInnerFirst(const CXF_PolygonList& rings, std::vector<CRingGroup>& groups,
                    std::vector<int>& order) {
    auto area = [&](int g) {
        const CXF_RectD& r = BoxOf(rings, groups[static_cast<size_t>(g)]);
        return (r.x2 - r.x1) * (r.y2 - r.y1);
    };
    auto held = [&](int g) { return groups[static_cast<size_t>(g)].sameBoxHolders; };
    if (std::none_of(groups.begin(), groups.end(),
                     [](const CRingGroup& g) { return g.sameBoxHolders > 0; })) {
        return;
    }
    for (size_t run = 0; run < order.size();) {
        size_t end = run + 1;
        bool anyHeld = held(order[run]) > 0;
        while (end < order.size() && area(order[end]) == area(order[run])) {
            anyHeld = anyHeld || held(order[end]) > 0;
            ++end;
        }
        if (anyHeld) {
            auto first = order.begin() + static_cast<std::ptrdiff_t>(run);
            auto last = order.begin() + static_cast<std::ptrdiff_t>(end);
            std::stable_sort(first, last, [&](int a, int b) { return held(a) > held(b); });
            for (size_t r = run; r < end; ++r) {
                groups[static_cast<size_t>(order[r])].rank = static_cast<int>(r);
            }
        }
        run = end;
    }
}

// The groups sorted by box, so that groups with the same box lie together.
std::vector<int> SortByBox(const CXF_PolygonList& rings, const std::vector<CRingGroup>& groups,
                           std::vector<int> order) {
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        const CXF_RectD& p = BoxOf(rings, groups[static_cast<size_t>(a)]);
        const CXF_RectD& q = BoxOf(rings, groups[static_cast<size_t>(b)]);
        if (p.x1 != q.x1) {
            return p.x1 < q.x1;
        }
        if (p.y1 != q.y1) {
            return p.y1 < q.y1;
        }
        if (p.x2 != q.x2) {
            return p.x2 < q.x2;
        }
        return p.y2 < q.y2;
    });
    return order;
}

// Groups with the same box, which the tree does not tell apart, are tested pair by pair: each
// gets the rings of the others that hold it. Returns the pairs compared.
int64_t CountSameBoxHolders(const CXF_PolygonList& rings, std::vector<CRingGroup>& groups,
                            const std::vector<int>& order) {
    int64_t comparisons = 0;
    std::vector<int> byBox = SortByBox(rings, groups, order);
    auto group = [&](size_t k) -> CRingGroup& { return groups[static_cast<size_t>(byBox[k])]; };
    for (size_t run = 0; run < byBox.size();) {
        size_t end = run + 1;
        while (end < byBox.size() && SameBox(BoxOf(rings, group(end)), BoxOf(rings, group(run)))) {
            ++end;
        }
        for (size_t a = run; a < end; ++a) {
            CRingGroup& inner = group(a);
            const tagXF_POINT3DD& p = FirstPoint(rings, inner);
            for (size_t b = run; b < end; ++b) {
                const CRingGroup& outer = group(b);
                if (a == b || !outer.holds) {
                    continue;
                }
                ++comparisons;
                if (FirstRing(rings, outer).Contains(p.x, p.y)) {
                    inner.sameBoxHolders += outer.size;
                }
            }
        }
        run = end;
    }
    return comparisons;
}

// The key of a group's box in the tree.
void BoxKey(const CXF_RectD& r, double key[4]) {
    key[0] = r.x1;
    key[1] = r.y1;
    key[2] = -r.x2;
    key[3] = -r.y2;
}

// Each group's parent: the group of smallest box, larger than its own, that holds its first
// point. Returns the rings looked at.
int64_t FindParents(const CXF_PolygonList& rings, std::vector<CRingGroup>& groups) {
    std::vector<CBoxTree::Item> items;
    for (size_t g = 0; g < groups.size(); ++g) {
        if (groups[g].holds) {
            CBoxTree::Item item;
            BoxKey(BoxOf(rings, groups[g]), item.key);
            item.rank = groups[g].rank;
            item.group = static_cast<int>(g);
            items.push_back(item);
        }
    }
    CBoxTree tree(std::move(items));
    int64_t comparisons = 0;
    for (CRingGroup& g : groups) {
        double key[4];
        BoxKey(BoxOf(rings, g), key);
        const tagXF_POINT3DD& p = FirstPoint(rings, g);
        auto holds = [&](int outer) {
            return FirstRing(rings, groups[static_cast<size_t>(outer)]).Contains(p.x, p.y);
        };
        g.parent = tree.FindSmallest(key, holds, comparisons);
    }
    return comparisons;
}

// The rings that hold each group: those with its box, its parent's and those that hold the
// parent, resolved from the top of each chain without recursion.
void CountHolders(std::vector<CRingGroup>& groups) {
    std::vector<int> chain;
    for (size_t g = 0; g < groups.size(); ++g) {
        for (int h = static_cast<int>(g); h >= 0 && groups[static_cast<size_t>(h)].holders < 0;
             h = groups[static_cast<size_t>(h)].parent) {
            chain.push_back(h);
        }
        while (!chain.empty()) {
            CRingGroup& c = groups[static_cast<size_t>(chain.back())];
            chain.pop_back();
            c.holders = c.sameBoxHolders;
            if (c.parent >= 0) {
                const CRingGroup& parent = groups[static_cast<size_t>(c.parent)];
                c.holders += parent.size + parent.holders;
            }
        }
    }
}

// A ring held by an odd number of other rings is a hole; the rings of a group that holds itself
// hold each other.
void MarkHoles(CXF_PolygonList& rings, const CRingGroups& grouped) {
    for (int i = 0; i < rings.GetSize(); ++i) {
        int g = grouped.groupOf[static_cast<size_t>(i)];
        if (g < 0) {
            continue;
        }
        const CRingGroup& group = grouped.groups[static_cast<size_t>(g)];
        int64_t holders = group.holders + (group.selfInside ? group.size - 1 : 0);
        rings.Get(i)->SetExternal(holders % 2 == 0);
    }
}

}  // namespace

bool CXF_PolygonD::Contains(double x, double y) const {
    const tagXF_POINT3DD* p = GetData();
    bool inside = false;
    for (int i = 0, j = size - 1; i < size; j = i++) {
        if ((p[i].y > y) != (p[j].y > y)) {
            double crossX = p[j].x + (y - p[j].y) * (p[i].x - p[j].x) / (p[i].y - p[j].y);
            if (x < crossX) {
                inside = !inside;
            }
        }
    }
    return inside;
}

int64_t CXF_RegionCmx::DefineExternal() {
    if (rings.GetSize() == 1) {
        return MarkOnlyRing(*rings.Get(0));
    }
    CRingGroups grouped = GroupSamePoints(rings);
    std::vector<CRingGroup>& groups = grouped.groups;
    FindSelfInside(rings, groups);
    std::vector<int> order = RankByBoxArea(rings, groups);
    int64_t comparisons = CountSameBoxHolders(rings, groups, order);
    RankInnerFirst(rings, groups, order);
    comparisons += FindParents(rings, groups);
    CountHolders(groups);
    MarkHoles(rings, grouped);
    return comparisons;
}

#include "plugin/host/vector.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "hostlib/host_internal.h"
#include "plugin/host/app.h"
#include "plugin/host/file_info.h"

namespace {

// A style record holds one reference to the style object of its face.
template <typename Record>
CXF_StyleObject* Owner(const Record& record) {
    return record.style != nullptr ? record.style->GetStyleObject() : nullptr;
}

template <typename Record>
void InitRecord(Record& record) {
    std::memset(&record, 0, sizeof record);
}

template <typename Record>
void StoreRecord(Record& slot, const Record* value) {
    CXF_StyleObject* previous = Owner(slot);
    if (value == nullptr) {
        InitRecord(slot);
    } else {
        slot = *value;
        if (CXF_StyleObject* next = Owner(slot)) {
            next->AddRef();
        }
    }
    if (previous != nullptr) {
        previous->Release();
    }
}

// Copies the record and adds a reference for the copy (a copied object, or a caller's GetStyle).
template <typename Record>
void CopyRecord(Record& slot, const Record& from) {
    slot = from;
    if (CXF_StyleObject* style = Owner(slot)) {
        style->AddRef();
    }
}

template <typename Record>
void DropRecord(Record& slot) {
    if (CXF_StyleObject* style = Owner(slot)) {
        style->Release();
    }
    slot.style = nullptr;
}

void Extend(CXF_RectD& rect, bool& any, double x, double y) {
    if (!any) {
        rect = CXF_RectD{x, y, x, y};
        any = true;
        return;
    }
    rect.x1 = std::min(rect.x1, x);
    rect.y1 = std::min(rect.y1, y);
    rect.x2 = std::max(rect.x2, x);
    rect.y2 = std::max(rect.y2, y);
}

void ExtendPoints(CXF_RectD& rect, bool& any, const CXF_PolygonD& points) {
    const tagXF_POINT3DD* p = points.GetData();
    int n = points.GetSize();
    if (n <= 0) {
        return;
    }
    Extend(rect, any, p[0].x, p[0].y);
    // The rest as Extend takes them, without asking for each point whether it is the first.
    CXF_RectD r = rect;
    for (int i = 1; i < n; ++i) {
        r.x1 = std::min(r.x1, p[i].x);
        r.y1 = std::min(r.y1, p[i].y);
        r.x2 = std::max(r.x2, p[i].x);
        r.y2 = std::max(r.y2, p[i].y);
    }
    rect = r;
}

}  // namespace

CXF_PolygonD::CXF_PolygonD(const CXF_PolygonD& other) : CXF_PolygonD(other, nullptr) {}

CXF_PolygonD::CXF_PolygonD(const CXF_PolygonD& other, CXF_Arena* arena)
    : size(other.size), capacity(other.size), external(other.external), bounds(other.bounds) {
    if (size > 0) {
        size_t bytes = static_cast<size_t>(size) * sizeof(tagXF_POINT3DD);
        if (arena != nullptr) {
            points = static_cast<tagXF_POINT3DD*>(arena->Allocate(bytes));
            ownsPoints = false;
        } else {
            points = new tagXF_POINT3DD[static_cast<size_t>(size)];
        }
        std::memcpy(points, other.points, bytes);
    }
}

CXF_PolygonD::CXF_PolygonD(CXF_PolygonD&& other) noexcept
    : points(other.points),
      size(other.size),
      capacity(other.capacity),
      ownsPoints(other.ownsPoints),
      external(other.external),
      bounds(other.bounds) {
    other.points = nullptr;
    other.size = 0;
    other.capacity = 0;
    other.ownsPoints = true;
}

CXF_PolygonD& CXF_PolygonD::operator=(const CXF_PolygonD& other) {
    if (this != &other) {
        if (capacity < other.size) {
            auto* grown = new tagXF_POINT3DD[static_cast<size_t>(other.size)];
            Release();
            points = grown;
            capacity = other.size;
        }
        if (other.size > 0) {
            std::memcpy(points, other.points,
                        static_cast<size_t>(other.size) * sizeof(tagXF_POINT3DD));
        }
        size = other.size;
        external = other.external;
        bounds = other.bounds;
    }
    return *this;
}

CXF_PolygonD& CXF_PolygonD::operator=(CXF_PolygonD&& other) noexcept {
    if (this != &other) {
        Release();
        points = other.points;
        size = other.size;
        capacity = other.capacity;
        ownsPoints = other.ownsPoints;
        external = other.external;
        bounds = other.bounds;
        other.points = nullptr;
        other.size = 0;
        other.capacity = 0;
        other.ownsPoints = true;
    }
    return *this;
}

CXF_PolygonD::~CXF_PolygonD() {
    Release();
}

void CXF_PolygonD::Release() {
    if (ownsPoints) {
        delete[] points;
    }
    points = nullptr;
    size = 0;
    capacity = 0;
    ownsPoints = true;
}

void CXF_PolygonD::SetSize(int n) {
    if (n <= 0) {
        size = 0;
        return;
    }
    if (n > capacity) {
        // Points in a layer's store are never freed alone: growing moves them to the heap.
        size_t grownCapacity = std::max(static_cast<size_t>(n), 2 * static_cast<size_t>(size));
        grownCapacity = std::min(grownCapacity, static_cast<size_t>(INT32_MAX));
        auto* grown = new tagXF_POINT3DD[grownCapacity];
        int kept = size;
        if (kept > 0) {
            std::memcpy(grown, points, static_cast<size_t>(kept) * sizeof(tagXF_POINT3DD));
        }
        Release();
        points = grown;
        size = kept;
        capacity = static_cast<int>(grownCapacity);
    }
    for (int i = size; i < n; ++i) {
        points[i] = tagXF_POINT3DD{0.0, 0.0, 0.0};
    }
    size = n;
}

void CXF_PolygonD::Clear() {
    size = 0;
    bounds = CXF_RectD{0.0, 0.0, 0.0, 0.0};
    external = true;
}

void* CXF_ArenaAllocate(CXF_Arena* arena, size_t bytes) {
    return arena != nullptr ? arena->Allocate(bytes) : ::operator new(bytes);
}

CXF_PolygonList::CXF_PolygonList(const CXF_PolygonList& other, CXF_Arena* arena)
    : lists(CXF_ArenaAllocator<CXF_PolygonD>(arena)), used(other.used) {
    lists.reserve(used);
    for (size_t i = 0; i < used; ++i) {
        lists.emplace_back(other.lists[i], arena);
    }
}

void CXF_PolygonList::Resize(int n) {
    size_t count = n > 0 ? static_cast<size_t>(n) : 0;
    for (size_t i = count; i < used; ++i) {
        lists[i].Clear();
    }
    if (count > lists.size()) {
        lists.resize(count);
    }
    used = count;
}

size_t CXF_PolygonList::GetCapacity() const {
    size_t capacity = 0;
    for (const CXF_PolygonD& list : lists) {
        capacity += list.GetCapacity();
    }
    return capacity;
}

void CXF_PolygonD::UpdateBoundRect() {
    bool any = false;
    bounds = CXF_RectD{0.0, 0.0, 0.0, 0.0};
    ExtendPoints(bounds, any, *this);
}

void CXF_RegionCmx::SetPolygonSize(int n) {
    rings.Resize(n);
}

CXF_PolygonD* CXF_RegionCmx::GetPolygon(int i) {
    return rings.Get(i);
}

const CXF_PolygonD* CXF_RegionCmx::GetPolygon(int i) const {
    return rings.Get(i);
}

Cgeo_VectorPoint::Cgeo_VectorPoint() {
    InitRecord(record);
}
Cgeo_VectorPoint::Cgeo_VectorPoint(const Cgeo_VectorPoint& other)
    : Cgeo_VectorPoint(other, nullptr) {}
Cgeo_VectorPoint::Cgeo_VectorPoint(const Cgeo_VectorPoint& other, CXF_Arena* arena)
    : points(other.points, arena) {
    CopyRecord(record, other.record);
}
Cgeo_VectorPoint::~Cgeo_VectorPoint() {
    DropRecord(record);
}

int Cgeo_VectorPoint::AddPoints(int n, const tagXF_POINT3DD* p) {
    if (n > 0 && p != nullptr) {
        int old = points.GetSize();
        points.SetSize(old + n);
        std::copy(p, p + n, points.GetData() + old);
    }
    return points.GetSize();
}

int Cgeo_VectorPoint::SetPoints(int n, const tagXF_POINT3DD* p) {
    points.SetSize(0);
    points.SetSize(n);
    if (n > 0 && p != nullptr) {
        std::copy(p, p + n, points.GetData());
    }
    return points.GetSize();
}

void Cgeo_VectorPoint::SetStyle(const VECTOR_POINT_STYLE* style) {
    StoreRecord(record, style);
}
void Cgeo_VectorPoint::GetStyle(VECTOR_POINT_STYLE* style) const {
    if (style != nullptr) {
        CopyRecord(*style, record);
    }
}

Cgeo_VectorLine::Cgeo_VectorLine() {
    InitRecord(record);
}
Cgeo_VectorLine::Cgeo_VectorLine(const Cgeo_VectorLine& other) : Cgeo_VectorLine(other, nullptr) {}
Cgeo_VectorLine::Cgeo_VectorLine(const Cgeo_VectorLine& other, CXF_Arena* arena)
    : sections(other.sections, arena) {
    CopyRecord(record, other.record);
}
Cgeo_VectorLine::~Cgeo_VectorLine() {
    DropRecord(record);
}

void Cgeo_VectorLine::SetNumSection(int s) {
    sections.Resize(s);
}

CXF_PolygonD* Cgeo_VectorLine::GetPolygon(int section) {
    return sections.Get(section);
}

int Cgeo_VectorLine::SetPoints(int section, int n, const tagXF_POINT3DD* p) {
    if (section < 0 || n < 0) {
        return 0;
    }
    if (section >= GetNumSection()) {
        SetNumSection(section + 1);
    }
    CXF_PolygonD& target = *sections.Get(section);
    target.SetSize(0);
    target.SetSize(n);
    if (n > 0 && p != nullptr) {
        std::copy(p, p + n, target.GetData());
    }
    return 1;
}

int Cgeo_VectorLine::GetNumPoints(int section) const {
    const CXF_PolygonD* target = sections.Get(section);
    return target != nullptr ? target->GetSize() : 0;
}

tagXF_POINT3DD* Cgeo_VectorLine::GetData(int section) {
    CXF_PolygonD* target = GetPolygon(section);
    return target != nullptr ? target->GetData() : nullptr;
}

namespace {

// Cosine and sine by quarter turns: what is left of the angle lies within an eighth of a turn,
// where the platforms' libraries agree (near a quarter turn some are off by 1e-16 and more),
// and the ends of the axes come out exact.
void QuarterCosSin(double t, double& c, double& s) {
    const double halfPi = 1.57079632679489661923;
    double q = std::nearbyint(t / halfPi);
    double r = t - q * halfPi;
    double cr = std::cos(r);
    double sr = std::sin(r);
    const double unit[4][2] = {{cr, sr}, {-sr, cr}, {-cr, -sr}, {sr, -cr}};
    int quarter = static_cast<int>((static_cast<long long>(q) % 4 + 4) % 4);
    c = unit[quarter][0];
    s = unit[quarter][1];
}

}  // namespace

int Cgeo_VectorLine::CreateLineFromArc(const CXF_RectD& rect, CXF_Point3DD start,
                                       CXF_Point3DD end) {
    const double pi = std::acos(-1.0);
    double a = std::fabs(rect.x2 - rect.x1) / 2.0;
    double b = std::fabs(rect.y2 - rect.y1) / 2.0;
    double cx = (rect.x1 + rect.x2) / 2.0;
    double cy = (rect.y1 + rect.y2) / 2.0;

    std::vector<tagXF_POINT3DD> out;
    out.push_back(start);
    if (a > 0.0 && b > 0.0 && std::isfinite(a) && std::isfinite(b)) {
        // Parametric angles: a point (cx + a cos t, cy + b sin t) of the ellipse has angle t.
        double t0 = std::atan2((start.y - cy) / b, (start.x - cx) / a);
        double t1 = std::atan2((end.y - cy) / b, (end.x - cx) / a);
        double sweep = t1 - t0;
        while (sweep <= 0.0) {
            sweep += 2.0 * pi;
        }
        while (sweep > 2.0 * pi) {
            sweep -= 2.0 * pi;
        }
        double step = XF_ARC_STEP_DEGREES * pi / 180.0;
        int segments = std::max(1, static_cast<int>(std::ceil(sweep / step - 1e-9)));
        for (int i = 1; i < segments; ++i) {
            double f = static_cast<double>(i) / segments;
            double c, si;
            QuarterCosSin(t0 + sweep * f, c, si);
            out.push_back(tagXF_POINT3DD{cx + a * c, cy + b * si, start.z + (end.z - start.z) * f});
        }
    }
    out.push_back(end);
    sections.Resize(0);
    SetPoints(0, static_cast<int>(out.size()), out.data());
    return static_cast<int>(out.size());
}

void Cgeo_VectorLine::SetStyle(const VECTOR_LINE_STYLE* style) {
    StoreRecord(record, style);
}
void Cgeo_VectorLine::GetStyle(VECTOR_LINE_STYLE* style) const {
    if (style != nullptr) {
        CopyRecord(*style, record);
    }
}

Cgeo_VectorPolygon::Cgeo_VectorPolygon() {
    InitRecord(record);
}
Cgeo_VectorPolygon::Cgeo_VectorPolygon(const Cgeo_VectorPolygon& other)
    : Cgeo_VectorPolygon(other, nullptr) {}
Cgeo_VectorPolygon::Cgeo_VectorPolygon(const Cgeo_VectorPolygon& other, CXF_Arena* arena)
    : region(other.region, arena) {
    CopyRecord(record, other.record);
}
Cgeo_VectorPolygon::~Cgeo_VectorPolygon() {
    DropRecord(record);
}
void Cgeo_VectorPolygon::SetStyle(const VECTOR_POLYGON_STYLE* style) {
    StoreRecord(record, style);
}
void Cgeo_VectorPolygon::GetStyle(VECTOR_POLYGON_STYLE* style) const {
    if (style != nullptr) {
        CopyRecord(*style, record);
    }
}

Cgeo_VectorEllipse::Cgeo_VectorEllipse() {
    InitRecord(record);
}
Cgeo_VectorEllipse::Cgeo_VectorEllipse(const Cgeo_VectorEllipse& other) : box(other.box) {
    CopyRecord(record, other.record);
}
Cgeo_VectorEllipse::~Cgeo_VectorEllipse() {
    DropRecord(record);
}
void Cgeo_VectorEllipse::SetStyle(const VECTOR_ELLIPSE_STYLE* style) {
    StoreRecord(record, style);
}
void Cgeo_VectorEllipse::GetStyle(VECTOR_ELLIPSE_STYLE* style) const {
    if (style != nullptr) {
        CopyRecord(*style, record);
    }
}

Cgeo_VectorText::Cgeo_VectorText() {
    InitRecord(record);
}
Cgeo_VectorText::Cgeo_VectorText(const Cgeo_VectorText& other)
    : text(other.text), anchor(other.anchor) {
    CopyRecord(record, other.record);
}
Cgeo_VectorText::~Cgeo_VectorText() {
    DropRecord(record);
}
void Cgeo_VectorText::SetStyle(const VECTOR_TEXT_STYLE* style) {
    StoreRecord(record, style);
}
void Cgeo_VectorText::GetStyle(VECTOR_TEXT_STYLE* style) const {
    if (style != nullptr) {
        CopyRecord(*style, record);
    }
}

// The spare objects of a layer. Objects made by the layer's CreateObject point at it; it lives
// until the layer and all those objects are gone, so that an object freed after its layer does
// not reach a layer that no longer exists.
class CXF_ObjectPool {
public:
    static constexpr int kTypes = XF_OBJ_TEXT + 1;
    // A spare keeps its storage only up to this many points: a huge object is freed.
    static constexpr size_t kMaxSparePoints = size_t{1} << 16;

    void Hold() { ++refs; }
    void Release() {
        if (--refs == 0) {
            delete this;
        }
    }
    // The layer goes: its spares are freed, and later frees are deletes.
    void Close() {
        open = false;
        for (Cgeo_VectorObject*& spare : spares) {
            delete spare;
            spare = nullptr;
        }
        Release();
    }

    int refs = 1;  // the layer's, and one per object it made that is not freed yet
    bool open = true;
    Cgeo_VectorObject* spares[kTypes] = {};
};

namespace {

// A copy of the geometry; with a store, in the store, and its point lists too.
template <typename Kind>
void* CopyOf(const void* from, CXF_Arena* arena) {
    if (from == nullptr) {
        return nullptr;
    }
    const Kind& source = *static_cast<const Kind*>(from);
    if (arena == nullptr) {
        return new Kind(source);
    }
    void* at = arena->Allocate(sizeof(Kind));
    if constexpr (std::is_constructible_v<Kind, const Kind&, CXF_Arena*>) {
        return new (at) Kind(source, arena);
    } else {
        return new (at) Kind(source);  // ellipses and texts have no point lists
    }
}

template <typename Kind>
void Destroy(void* geometry, bool stored) {
    if (stored) {
        static_cast<Kind*>(geometry)->~Kind();
    } else {
        delete static_cast<Kind*>(geometry);
    }
}

}  // namespace

Cgeo_VectorObject::Cgeo_VectorObject(int objectType) : type(objectType) {
    switch (type) {
        case XF_OBJ_POINT:
            geometry = new Cgeo_VectorPoint();
            break;
        case XF_OBJ_LINE:
            geometry = new Cgeo_VectorLine();
            break;
        case XF_OBJ_POLYGON:
            geometry = new Cgeo_VectorPolygon();
            break;
        case XF_OBJ_ELLIPSE:
            geometry = new Cgeo_VectorEllipse();
            break;
        case XF_OBJ_TEXT:
            geometry = new Cgeo_VectorText();
            break;
        default:
            break;
    }
}

Cgeo_VectorObject::Cgeo_VectorObject(const Cgeo_VectorObject& other)
    : Cgeo_VectorObject(other, nullptr) {}

Cgeo_VectorObject::Cgeo_VectorObject(const Cgeo_VectorObject& other, CXF_Arena* arena)
    : type(other.type), stored(arena != nullptr) {
    switch (type) {
        case XF_OBJ_POINT:
            geometry = CopyOf<Cgeo_VectorPoint>(other.geometry, arena);
            break;
        case XF_OBJ_LINE:
            geometry = CopyOf<Cgeo_VectorLine>(other.geometry, arena);
            break;
        case XF_OBJ_POLYGON:
            geometry = CopyOf<Cgeo_VectorPolygon>(other.geometry, arena);
            break;
        case XF_OBJ_ELLIPSE:
            geometry = CopyOf<Cgeo_VectorEllipse>(other.geometry, arena);
            break;
        case XF_OBJ_TEXT:
            geometry = CopyOf<Cgeo_VectorText>(other.geometry, arena);
            break;
        default:
            break;
    }
}

Cgeo_VectorObject::~Cgeo_VectorObject() {
    if (geometry != nullptr) {
        switch (type) {
            case XF_OBJ_POINT:
                Destroy<Cgeo_VectorPoint>(geometry, stored);
                break;
            case XF_OBJ_LINE:
                Destroy<Cgeo_VectorLine>(geometry, stored);
                break;
            case XF_OBJ_POLYGON:
                Destroy<Cgeo_VectorPolygon>(geometry, stored);
                break;
            case XF_OBJ_ELLIPSE:
                Destroy<Cgeo_VectorEllipse>(geometry, stored);
                break;
            case XF_OBJ_TEXT:
                Destroy<Cgeo_VectorText>(geometry, stored);
                break;
            default:
                break;
        }
    }
    if (pool != nullptr) {
        pool->Release();
    }
}

void Cgeo_VectorObject::DeleteObject() {
    CXF_ObjectPool* from = pool;
    if (from == nullptr || !from->open || type < 0 || type >= CXF_ObjectPool::kTypes ||
        from->spares[type] != nullptr || GetCapacity() > CXF_ObjectPool::kMaxSparePoints) {
        delete this;
        return;
    }
    // Emptied now, so that its style reference goes as it would with the object.
    Clear();
    pool = nullptr;
    from->spares[type] = this;
    from->Release();
}

void Cgeo_VectorObject::Clear() {
    if (auto* point = Geometry<Cgeo_VectorPoint>(XF_OBJ_POINT)) {
        point->points.Clear();
        point->SetStyle(nullptr);
    } else if (auto* line = Geometry<Cgeo_VectorLine>(XF_OBJ_LINE)) {
        line->sections.Resize(0);
        line->SetStyle(nullptr);
    } else if (auto* polygon = Geometry<Cgeo_VectorPolygon>(XF_OBJ_POLYGON)) {
        polygon->region.rings.Resize(0);
        polygon->SetStyle(nullptr);
    } else if (auto* ellipse = Geometry<Cgeo_VectorEllipse>(XF_OBJ_ELLIPSE)) {
        ellipse->box = tagXF_RECT3DD{0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
        ellipse->SetStyle(nullptr);
    } else if (auto* text = Geometry<Cgeo_VectorText>(XF_OBJ_TEXT)) {
        text->text.clear();
        text->anchor = CXF_Point3DD();
        text->SetStyle(nullptr);
    }
}

size_t Cgeo_VectorObject::GetCapacity() const {
    if (auto* point = Geometry<Cgeo_VectorPoint>(XF_OBJ_POINT)) {
        return point->points.GetCapacity();
    }
    if (auto* line = Geometry<Cgeo_VectorLine>(XF_OBJ_LINE)) {
        return line->sections.GetCapacity();
    }
    if (auto* polygon = Geometry<Cgeo_VectorPolygon>(XF_OBJ_POLYGON)) {
        return polygon->region.rings.GetCapacity();
    }
    if (auto* text = Geometry<Cgeo_VectorText>(XF_OBJ_TEXT)) {
        // A text counts by its bytes, as a point list counts by its points.
        return text->text.capacity() / sizeof(tagXF_POINT3DD);
    }
    return 0;
}

CXF_StyleObject* Cgeo_VectorObject::GetStyle() const {
    auto* point = Geometry<Cgeo_VectorPoint>(XF_OBJ_POINT);
    auto* line = Geometry<Cgeo_VectorLine>(XF_OBJ_LINE);
    auto* polygon = Geometry<Cgeo_VectorPolygon>(XF_OBJ_POLYGON);
    auto* ellipse = Geometry<Cgeo_VectorEllipse>(XF_OBJ_ELLIPSE);
    auto* text = Geometry<Cgeo_VectorText>(XF_OBJ_TEXT);
    CXF_StyleObject* style = nullptr;
    if (point) {
        VECTOR_POINT_STYLE r;
        point->GetStyle(&r);
        style = r.style != nullptr ? r.style->GetStyleObject() : nullptr;
    } else if (line) {
        VECTOR_LINE_STYLE r;
        line->GetStyle(&r);
        style = r.style != nullptr ? r.style->GetStyleObject() : nullptr;
    } else if (polygon) {
        VECTOR_POLYGON_STYLE r;
        polygon->GetStyle(&r);
        style = r.style != nullptr ? r.style->GetStyleObject() : nullptr;
    } else if (ellipse) {
        VECTOR_ELLIPSE_STYLE r;
        ellipse->GetStyle(&r);
        style = r.style != nullptr ? r.style->GetStyleObject() : nullptr;
    } else if (text) {
        VECTOR_TEXT_STYLE r;
        text->GetStyle(&r);
        style = r.style != nullptr ? r.style->GetStyleObject() : nullptr;
    }
    return style;  // GetStyle of the geometry added the caller's reference
}

namespace {

template <typename Geometry, typename Record, typename FaceOf>
void ShareRecordStyle(Geometry& geometry, CXF_StyleSet* set, FaceOf faceOf) {
    Record record;
    geometry.GetStyle(&record);
    CXF_StyleObject* own = record.style != nullptr ? record.style->GetStyleObject() : nullptr;
    CXF_StyleObject* common = set->Share(own);
    if (common != own) {
        record.style = faceOf(common);
        geometry.SetStyle(&record);
    }
    if (own != nullptr) {
        own->Release();  // the reference GetStyle handed out
    }
}

}  // namespace

void Cgeo_VectorObject::ShareStyle(CXF_StyleSet* set) {
    auto* point = Geometry<Cgeo_VectorPoint>(XF_OBJ_POINT);
    auto* line = Geometry<Cgeo_VectorLine>(XF_OBJ_LINE);
    auto* polygon = Geometry<Cgeo_VectorPolygon>(XF_OBJ_POLYGON);
    auto* ellipse = Geometry<Cgeo_VectorEllipse>(XF_OBJ_ELLIPSE);
    auto* text = Geometry<Cgeo_VectorText>(XF_OBJ_TEXT);
    if (point) {
        ShareRecordStyle<Cgeo_VectorPoint, VECTOR_POINT_STYLE>(
            *point, set, [](CXF_StyleObject* s) { return s->GetMarker(); });
    } else if (line) {
        ShareRecordStyle<Cgeo_VectorLine, VECTOR_LINE_STYLE>(
            *line, set, [](CXF_StyleObject* s) { return s->GetLine(); });
    } else if (polygon) {
        ShareRecordStyle<Cgeo_VectorPolygon, VECTOR_POLYGON_STYLE>(
            *polygon, set, [](CXF_StyleObject* s) { return s->GetPolygon(); });
    } else if (ellipse) {
        ShareRecordStyle<Cgeo_VectorEllipse, VECTOR_ELLIPSE_STYLE>(
            *ellipse, set, [](CXF_StyleObject* s) { return s->GetPolygon(); });
    } else if (text) {
        ShareRecordStyle<Cgeo_VectorText, VECTOR_TEXT_STYLE>(
            *text, set, [](CXF_StyleObject* s) { return s->GetText(); });
    }
}

int Cgeo_VectorObject::GetBounds(CXF_RectD* rect) const {
    auto* point = Geometry<Cgeo_VectorPoint>(XF_OBJ_POINT);
    auto* line = Geometry<Cgeo_VectorLine>(XF_OBJ_LINE);
    auto* polygon = Geometry<Cgeo_VectorPolygon>(XF_OBJ_POLYGON);
    auto* ellipse = Geometry<Cgeo_VectorEllipse>(XF_OBJ_ELLIPSE);
    auto* text = Geometry<Cgeo_VectorText>(XF_OBJ_TEXT);
    CXF_RectD r{0.0, 0.0, 0.0, 0.0};
    bool any = false;
    if (point) {
        tagXF_POINT3DD* p = point->GetData();
        for (int i = 0; i < point->GetNumPoints(); ++i) {
            Extend(r, any, p[i].x, p[i].y);
        }
    } else if (line) {
        for (int s = 0; s < line->GetNumSection(); ++s) {
            ExtendPoints(r, any, *line->GetPolygon(s));
        }
    } else if (polygon) {
        CXF_RegionCmx* region = polygon->GetRegion();
        for (int s = 0; s < region->GetPolygonSize(); ++s) {
            ExtendPoints(r, any, *region->GetPolygon(s));
        }
    } else if (ellipse) {
        const tagXF_RECT3DD& box = ellipse->GetRect();
        Extend(r, any, box.x1, box.y1);
        Extend(r, any, box.x2, box.y2);
    } else if (text) {
        CXF_Point3DD p = text->GetTextPoint();
        Extend(r, any, p.x, p.y);
    }
    if (rect != nullptr) {
        *rect = r;
    }
    return any ? 1 : 0;
}

Cgeo_Vector::Cgeo_Vector()
    : arena(std::make_unique<CXF_Arena>()),
      objects(arena.get()),
      pool(new CXF_ObjectPool()),
      table(this),
      info(std::make_unique<CXF_VectorInfo>(CGEO().GetApp(), this)) {}

Cgeo_Vector::~Cgeo_Vector() {
    pool->Close();
    // The stored objects lie in the store, which frees their memory after them.
    for (size_t i = 0; i < objects.size(); ++i) {
        objects[i]->~Cgeo_VectorObject();
    }
    for (CXF_MiniatureStyle& m : miniatures) {
        if (m.style != nullptr) {
            m.style->Release();
        }
    }
}

Cgeo_VectorObject* Cgeo_Vector::CreateObject(int type) {
    Cgeo_VectorObject* object = nullptr;
    if (type >= 0 && type < CXF_ObjectPool::kTypes && pool->spares[type] != nullptr) {
        object = pool->spares[type];
        pool->spares[type] = nullptr;
    } else {
        object = new Cgeo_VectorObject(type);
    }
    object->pool = pool;
    pool->Hold();
    return object;
}

void Cgeo_Vector::SetMiniature(int kind, CXF_StyleObject* style, std::uint32_t uintValue,
                               int intValue) {
    CXF_MiniatureStyle& m = miniatures[kind];
    if (style != nullptr) {
        style->AddRef();
    }
    if (m.style != nullptr) {
        m.style->Release();
    }
    m.style = style;
    m.uintValue = uintValue;
    m.intValue = intValue;
}

void Cgeo_Vector::SetMiniatureStyleLine(CXF_StyleLine* face, std::uint32_t uintValue,
                                        int intValue) {
    SetMiniature(XF_MINIATURE_LINE, face != nullptr ? face->GetStyleObject() : nullptr, uintValue,
                 intValue);
}
void Cgeo_Vector::SetMiniatureStyleMarker(CXF_StyleMarker* face, std::uint32_t uintValue,
                                          int intValue) {
    SetMiniature(XF_MINIATURE_MARKER, face != nullptr ? face->GetStyleObject() : nullptr, uintValue,
                 intValue);
}
void Cgeo_Vector::SetMiniatureStylePolygon(CXF_StylePolygon* face, std::uint32_t uintValue,
                                           int intValue) {
    SetMiniature(XF_MINIATURE_POLYGON, face != nullptr ? face->GetStyleObject() : nullptr,
                 uintValue, intValue);
}
void Cgeo_Vector::SetMiniatureStyleText(CXF_StyleText* face, std::uint32_t uintValue,
                                        int intValue) {
    SetMiniature(XF_MINIATURE_TEXT, face != nullptr ? face->GetStyleObject() : nullptr, uintValue,
                 intValue);
}

const CXF_MiniatureStyle& Cgeo_Vector::GetMiniatureStyle(int kind) const {
    static const CXF_MiniatureStyle none;
    if (kind < XF_MINIATURE_LINE || kind > XF_MINIATURE_TEXT) {
        return none;
    }
    return miniatures[kind];
}

void Cgeo_Vector::UpdateGrid(Cgeo_VectorObjectStream*) {
    ++gridUpdates;
    if (!handedOut) {
        gridBounds = addedBounds;
        return;
    }
    bool any = false;
    gridBounds = CXF_RectD{0.0, 0.0, 0.0, 0.0};
    for (size_t i = 0; i < objects.size(); ++i) {
        const Cgeo_VectorObject* object = objects[i];
        CXF_RectD r;
        if (object->GetBounds(&r) != 0) {
            Extend(gridBounds, any, r.x1, r.y1);
            Extend(gridBounds, any, r.x2, r.y2);
        }
    }
}

Cgeo_VectorObject* Cgeo_Vector::GetObjectAt(std::int64_t id) {
    if (id < 0 || id >= GetObjectCount()) {
        return nullptr;
    }
    // The caller may change the object: the bounds kept as objects were added may go stale.
    handedOut = true;
    return objects[static_cast<size_t>(id)];
}

const Cgeo_VectorObject* Cgeo_Vector::GetObjectAt(std::int64_t id) const {
    if (id < 0 || id >= GetObjectCount()) {
        return nullptr;
    }
    return objects[static_cast<size_t>(id)];
}

Cgeo_VectorObjectStream::Cgeo_VectorObjectStream(Cgeo_Vector* vector, int mode) {
    Open(vector, mode);
}

int Cgeo_VectorObjectStream::Open(Cgeo_Vector* vector, int mode) {
    if (vector == nullptr || (mode != XF_STREAM_READ && mode != XF_STREAM_WRITE)) {
        Close();
        return 0;
    }
    target = vector;
    openMode = mode;
    return 1;
}

void Cgeo_VectorObjectStream::Close() {
    target = nullptr;
    openMode = 0;
}

std::int64_t Cgeo_VectorObjectStream::AddObject(const Cgeo_VectorObject* object, int) {
    if (target == nullptr || openMode != XF_STREAM_WRITE || object == nullptr) {
        return -1;
    }
    // The list has room before the copy is made, so that no copy is ever left without its place.
    target->objects.push_back(nullptr);
    try {
        void* at = target->arena->Allocate(sizeof(Cgeo_VectorObject));
        target->objects.back() = new (at) Cgeo_VectorObject(*object, target->arena.get());
    } catch (...) {
        target->objects.pop_back();
        throw;
    }
    Cgeo_VectorObject& stored = *target->objects.back();
    stored.ShareStyle(target->GetStyleSet());
    CXF_RectD r;
    if (stored.GetBounds(&r) != 0) {
        Extend(target->addedBounds, target->addedAny, r.x1, r.y1);
        Extend(target->addedBounds, target->addedAny, r.x2, r.y2);
    }
    return target->GetObjectCount() - 1;
}

Cgeo_VectorObject* Cgeo_VectorObjectStream::GetVectorObject(std::int64_t id, CXF_RectD* bounds,
                                                            int* type) {
    Cgeo_VectorObject* object = target != nullptr ? target->GetObjectAt(id) : nullptr;
    if (object != nullptr) {
        if (bounds != nullptr) {
            object->GetBounds(bounds);
        }
        if (type != nullptr) {
            *type = object->GetType();
        }
    }
    return object;
}

#include "import/host_object.h"

#include <cmath>

#include "convert/line_styles.h"
#include "convert/pen_width.h"
#include "import/host_styles.h"
#include "plugin/host/fnc_string.h"
#include "plugin/host/vector.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;

void SetPoint(tagXF_POINT3DD& p, const CNode& node) {
    p.x = node.x;
    p.y = node.y;
    p.z = node.z;
}

bool SameNode(const CNode& a, const CNode& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

void MakeLine(const CMifLine& record, Cgeo_VectorLine* line) {
    line->SetPoints(0, 2, nullptr);
    tagXF_POINT3DD* points = line->GetData(0);
    SetPoint(points[0], record.start);
    SetPoint(points[1], record.end);
}

// The sections that hold nodes: an empty section has nothing to draw, and millions of them in a
// small file must not each cost a host section. Counted, then visited in order, so that an object
// costs no list of its own.
int32_t SectionsWithNodes(const CMifSections& record) {
    int32_t kept = 0;
    for (int32_t i = 0; i < record.GetSectionCount(); ++i) {
        kept += record.GetSectionNodeCount(i) > 0 ? 1 : 0;
    }
    return kept;
}

// Calls fn(k, nodes, count) for the k-th section that holds nodes.
template <typename Fn>
void ForEachSectionWithNodes(const CMifSections& record, Fn fn) {
    int k = 0;
    for (int32_t i = 0; i < record.GetSectionCount(); ++i) {
        int32_t count = record.GetSectionNodeCount(i);
        if (count > 0) {
            fn(k++, record.GetSectionNode(i, 0), count);
        }
    }
}

void MakePline(const CMifPline& record, Cgeo_VectorLine* line) {
    line->SetNumSection(SectionsWithNodes(record));
    ForEachSectionWithNodes(record, [line](int section, const CNode* nodes, int32_t count) {
        line->GetPolygon(section)->SetSize(count);
        tagXF_POINT3DD* points = line->GetData(section);
        for (int32_t j = 0; j < count; ++j) {
            SetPoint(points[j], nodes[j]);
        }
    });
}

// One ring per section that holds nodes. The closing node is dropped only when it repeats the
// first, so a ring written without the repeat keeps every vertex.
void MakeRegion(const CMifRegion& record, Cgeo_VectorPolygon* polygon) {
    polygon->SetPolygonSize(SectionsWithNodes(record));
    CXF_RegionCmx* region = polygon->GetRegion();
    ForEachSectionWithNodes(record, [region](int k, const CNode* nodes, int32_t count) {
        if (count >= 2 && SameNode(nodes[0], nodes[count - 1])) {
            --count;
        }
        CXF_PolygonD* ring = region->GetPolygon(k);
        ring->SetSize(count);
        tagXF_POINT3DD* points = ring->GetData();
        for (int32_t j = 0; j < count; ++j) {
            SetPoint(points[j], nodes[j]);
        }
        ring->UpdateBoundRect();
    });
    region->DefineExternal();
}

void MakeRect(const CMifRect& record, Cgeo_VectorPolygon* polygon) {
    const CNode& a = record.corner1;
    const CNode& b = record.corner2;
    polygon->SetPolygonSize(1);
    CXF_PolygonD* ring = polygon->GetRegion()->GetPolygon(0);
    ring->SetSize(4);
    tagXF_POINT3DD* points = ring->GetData();
    points[0] = {a.x, a.y, a.z};
    points[1] = {b.x, a.y, a.z};
    points[2] = {b.x, b.y, b.z};
    points[3] = {a.x, b.y, b.z};
    ring->UpdateBoundRect();
}

void MakeText(const CMifText& record, Cgeo_VectorText* text) {
    text->SetText(fncString::ReplaceCharacter(record.text, '\n', "\r\n"));
    const CNode& a = record.corner1;
    const CNode& b = record.corner2;
    text->SetTextPoint(CXF_Point3DD((a.x + b.x) / 2.0, (a.y + b.y) / 2.0, (a.z + b.z) / 2.0));
}

void MakeMultiPoint(const CMifMultiPoint& record, Cgeo_VectorPoint* point) {
    int n = static_cast<int>(record.points.size());
    point->SetPoints(n, nullptr);
    tagXF_POINT3DD* points = point->GetData();
    for (int i = 0; i < n; ++i) {
        SetPoint(points[i], record.points[static_cast<size_t>(i)]);
    }
}

}  // namespace

CXF_Point3DD ArcEndPoint(const CNode& corner1, const CNode& corner2, float angle) {
    double a = std::fabs(corner2.x - corner1.x) / 2.0;
    double b = std::fabs(corner2.y - corner1.y) / 2.0;
    double cx = (corner1.x + corner2.x) / 2.0;
    double cy = (corner1.y + corner2.y) / 2.0;
    // Any angle is brought into 0 to 2 pi at once: subtracting 2 pi in a loop never ends for a
    // huge angle, and a negative one would land in the wrong quadrant.
    double theta = static_cast<double>(angle) * kPi / 180.0;
    if (!std::isfinite(theta)) {
        theta = 0.0;
    }
    theta = std::fmod(theta, kTwoPi);
    if (theta < 0.0) {
        theta += kTwoPi;
    }
    if (theta >= kTwoPi) {
        theta = 0.0;
    }
    double t = static_cast<double>(static_cast<float>(std::fabs(std::tan(theta))));
    double d = std::sqrt(b * b + a * a * t * t);
    double x = 0.0;
    double y = 0.0;
    if (d > 0.0 && std::isfinite(d)) {
        x = a * b / d;
        y = a * b * t / d;
    } else if (!std::isfinite(d)) {
        y = b;  // tan too large to square: the ray is vertical
    }
    if (theta > kPi / 2.0 && theta < 3.0 * kPi / 2.0) {
        x = -x;
    }
    if (theta > kPi && theta < kTwoPi) {
        y = -y;
    }
    return CXF_Point3DD(cx + x, cy + y, 0.0);
}

namespace {

// Host object type of each MIF kind; -1 for a kind that makes no host object.
int HostTypeOf(MifObjectType kind) {
    switch (kind) {
        case kMifNone:
            return XF_OBJ_EMPTY;
        case kMifPoint:
        case kMifMultiPoint:
            return XF_OBJ_POINT;
        case kMifLine:
        case kMifPline:
        case kMifArc:
            return XF_OBJ_LINE;
        case kMifRegion:
        case kMifRect:
        case kMifRoundRect:
            return XF_OBJ_POLYGON;
        case kMifEllipse:
            return XF_OBJ_ELLIPSE;
        case kMifText:
            return XF_OBJ_TEXT;
        case kMifCollection:
            break;
    }
    return -1;
}

// The pen as the host draws it: a width given in points becomes pixels. A record without a pen
// clause keeps its width of 0.
CMifPen HostPen(const CMifPen& pen, double pixelsPerPoint) {
    CMifPen host = pen;
    if (pen.pattern != -1) {
        host.width = PenWidthToPixels(pen.width, pixelsPerPoint);
    }
    return host;
}

void FillHostObject(Cgeo_MainApp* app, CMifObject* record, Cgeo_Vector* vector,
                    Cgeo_VectorObject* object, double pixelsPerPoint) {
    switch (record->kind) {
        case kMifPoint: {
            auto& r = *static_cast<CMifPoint*>(record);
            tagXF_POINT3DD p{r.point.x, r.point.y, r.point.z};
            object->GetObjPoint()->AddPoints(1, &p);
            SetPointStyle(app, vector, r.symbol, object->GetObjPoint());
            break;
        }
        case kMifLine: {
            auto& r = *static_cast<CMifLine*>(record);
            MakeLine(r, object->GetObjLine());
            SetLineStyle(app, vector, HostPen(r.pen, pixelsPerPoint), LineKind::kLine,
                         object->GetObjLine());
            break;
        }
        case kMifPline: {
            auto& r = *static_cast<CMifPline*>(record);
            MakePline(r, object->GetObjLine());
            SetLineStyle(app, vector, HostPen(r.pen, pixelsPerPoint), LineKind::kLine,
                         object->GetObjLine());
            break;
        }
        case kMifRegion: {
            auto& r = *static_cast<CMifRegion*>(record);
            MakeRegion(r, object->GetObjPolygon());
            SetFilledStyle(app, vector, HostPen(r.pen, pixelsPerPoint), r.brush,
                           object->GetObjPolygon());
            break;
        }
        case kMifRect:
        case kMifRoundRect: {
            auto& r = *static_cast<CMifRect*>(record);
            MakeRect(r, object->GetObjPolygon());
            SetFilledStyle(app, vector, HostPen(r.pen, pixelsPerPoint), r.brush,
                           object->GetObjPolygon());
            break;
        }
        case kMifArc: {
            auto& r = *static_cast<CMifArc*>(record);
            CXF_RectD box{r.corner1.x, r.corner1.y, r.corner2.x, r.corner2.y};
            object->GetObjLine()->CreateLineFromArc(box,
                                                    ArcEndPoint(r.corner1, r.corner2, r.startAngle),
                                                    ArcEndPoint(r.corner1, r.corner2, r.endAngle));
            SetLineStyle(app, vector, HostPen(r.pen, pixelsPerPoint), LineKind::kArc,
                         object->GetObjLine());
            break;
        }
        case kMifEllipse: {
            auto& r = *static_cast<CMifEllipse*>(record);
            object->GetObjEllipse()->SetRect(tagXF_RECT3DD{r.corner1.x, r.corner1.y, r.corner2.x,
                                                           r.corner2.y, r.corner1.z, r.corner2.z});
            SetFilledStyle(app, vector, HostPen(r.pen, pixelsPerPoint), r.brush,
                           object->GetObjEllipse());
            break;
        }
        case kMifText: {
            auto& r = *static_cast<CMifText*>(record);
            MakeText(r, object->GetObjText());
            SetTextStyle(app, vector, r, object->GetObjText());
            break;
        }
        case kMifMultiPoint: {
            auto& r = *static_cast<CMifMultiPoint*>(record);
            MakeMultiPoint(r, object->GetObjPoint());
            if (!r.points.empty()) {
                SetPointStyle(app, vector, r.symbol, object->GetObjPoint());
            }
            break;
        }
        case kMifNone:
        case kMifCollection:
            break;  // None: an empty object; a collection makes none
    }
}

}  // namespace

Cgeo_VectorObject* CreateHostObject(Cgeo_MainApp* app, CMifObject* record, Cgeo_Vector* vector,
                                    double pixelsPerPoint) {
    BuildLineStyleTable(app);
    if (record == nullptr || vector == nullptr) {
        return nullptr;
    }
    int type = HostTypeOf(record->kind);
    if (type < 0) {
        return nullptr;
    }
    Cgeo_VectorObject* object = vector->CreateObject(type);
    try {
        FillHostObject(app, record, vector, object, pixelsPerPoint);
    } catch (...) {
        object->DeleteObject();
        throw;
    }
    return object;
}

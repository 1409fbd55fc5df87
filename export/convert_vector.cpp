#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "convert/line_styles.h"
#include "convert/pen_width.h"
#include "convert/text_style.h"
#include "export/export.h"
#include "export/style_ref.h"
#include "mif/model/mif_object.h"
#include "plugin/host/app.h"
#include "plugin/host/fnc_string.h"
#include "plugin/host/style.h"
#include "plugin/host/vector.h"

namespace {

CNode ToNode(const tagXF_POINT3DD& p) {
    return CNode{p.x, p.y, p.z};
}

// A record of the kind from the pool, held by holder; a record holder held before goes back.
template <typename Record>
Record* Make(CMifRecordPool& records, CMifObjectPtr& holder, int32_t kind) {
    records.Give(std::move(holder));
    holder = records.Take(kind);
    return static_cast<Record*>(holder.get());
}

// Every point is written with the symbol of this shape (a filled square) in its colour and size:
// the host's marker style keeps no MIF shape.
constexpr int32_t kPointShape = 32;

CMifSymbol PointSymbol(const VECTOR_POINT_STYLE& style) {
    CMifSymbol symbol;
    symbol.form = kSymbolVector;
    symbol.shape = kPointShape;
    symbol.color = static_cast<int32_t>(style.color);
    symbol.size = static_cast<int32_t>(style.size);
    return symbol;
}

CMifObjectPtr ConvertPoint(Cgeo_VectorPoint& point, CMifRecordPool& records) {
    VECTOR_POINT_STYLE style{};
    point.GetStyle(&style);
    CStyleRef held = HoldStyle(style.style);
    const tagXF_POINT3DD* data = point.GetData();
    int n = data != nullptr ? point.GetNumPoints() : 0;
    CMifObjectPtr holder;
    if (n == 1) {
        auto* record = Make<CMifPoint>(records, holder, kMifPoint);
        record->point = ToNode(data[0]);
        record->symbol = PointSymbol(style);
        return holder;
    }
    auto* record = Make<CMifMultiPoint>(records, holder, kMifMultiPoint);
    record->points.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        record->points[static_cast<size_t>(i)] = ToNode(data[i]);
    }
    record->symbol = PointSymbol(style);
    return holder;
}

// A line keeps the sections that have points (a section without one would stop other readers);
// a section of one point has that point twice, as a section needs two nodes in other readers. A
// line left without a section becomes a None object, which keeps its attribute record.
CMifObjectPtr ConvertLine(Cgeo_VectorLine& line, Cgeo_MainApp* app, CMifRecordPool& records) {
    auto hasPoints = [&line](int k) {
        return line.GetData(k) != nullptr && line.GetNumPoints(k) > 0;
    };
    int kept = 0;
    int first = -1;
    for (int k = 0; k < line.GetNumSection(); ++k) {
        if (hasPoints(k)) {
            first = kept == 0 ? k : first;
            ++kept;
        }
    }
    CMifObjectPtr holder;
    if (kept == 0) {
        Make<CMifObject>(records, holder, kMifNone);
        return holder;
    }
    VECTOR_LINE_STYLE style{};
    line.GetStyle(&style);
    CStyleRef held = HoldStyle(style.style);
    CMifPen pen;
    pen.width = PenWidthFromPixels(style.width);
    pen.pattern = LinePatternFromStyle(app, held.get());
    pen.color = static_cast<int32_t>(style.color);

    if (kept == 1 && line.GetNumPoints(first) == 2) {
        auto* record = Make<CMifLine>(records, holder, kMifLine);
        const tagXF_POINT3DD* data = line.GetData(first);
        record->start = ToNode(data[0]);
        record->end = ToNode(data[1]);
        record->pen = pen;
        return holder;
    }
    auto* record = Make<CMifPline>(records, holder, kMifPline);
    for (int k = first; k < line.GetNumSection(); ++k) {
        if (!hasPoints(k)) {
            continue;
        }
        record->BeginSection();
        const tagXF_POINT3DD* data = line.GetData(k);
        int count = line.GetNumPoints(k);
        for (int j = 0; j < count; ++j) {
            record->nodes.push_back(ToNode(data[j]));
        }
        if (count == 1) {
            record->nodes.push_back(ToNode(data[0]));
        }
    }
    record->pen = pen;
    return holder;
}

// Pen and brush of regions and ellipses: a solid pen of the outline colour, and a solid brush of
// the first fill element's colour on white; a face whose elements fill nothing (no fill element,
// or one without colour) is written with the hollow brush, fore colour black on white, as other
// programs write hollow polygons.
template <typename StyleRecord>
void SetFilledStyle(const StyleRecord& style, CMifPen& pen, CMifBrush& brush) {
    constexpr int32_t kWhite = 0xFFFFFF;
    CXF_StylePolygon* face = style.style;
    pen.pattern = kPenSolid;
    pen.color = static_cast<int32_t>(style.color);
    pen.width = face != nullptr ? PenWidthFromPixels(style.width) : 0;
    brush.pattern = kBrushSolid;
    brush.backColor = kWhite;
    brush.foreColor = kWhite;
    if (face == nullptr) {
        return;
    }
    for (int i = 0; i < face->GetCount(); ++i) {
        CXF_StyleElement* element = face->GetElement(i);
        if (element != nullptr && element->IsFill() != 0 && element->GetFill()->HasColor()) {
            brush.foreColor = static_cast<int32_t>(element->GetColor());
            return;
        }
    }
    brush.pattern = kBrushHollow;
    brush.foreColor = 0;
}

// Every ring with points becomes a section that ends with a copy of its first node; rings without
// points are left out, and a polygon left without a ring becomes a None object.
CMifObjectPtr ConvertPolygon(Cgeo_VectorPolygon& polygon, CMifRecordPool& records) {
    CMifObjectPtr holder;
    auto* record = Make<CMifRegion>(records, holder, kMifRegion);
    CXF_RegionCmx* region = polygon.GetRegion();
    int rings = region != nullptr ? region->GetPolygonSize() : 0;
    for (int p = 0; p < rings; ++p) {
        const CXF_PolygonD* ring = region->GetPolygon(p);
        const tagXF_POINT3DD* data = ring != nullptr ? ring->GetData() : nullptr;
        int m = data != nullptr ? ring->GetSize() : 0;
        if (m == 0) {
            continue;
        }
        record->BeginSection();
        for (int j = 0; j < m; ++j) {
            record->nodes.push_back(ToNode(data[j]));
        }
        record->nodes.push_back(ToNode(data[0]));
    }
    if (record->GetSectionCount() == 0) {
        Make<CMifObject>(records, holder, kMifNone);
        return holder;
    }
    VECTOR_POLYGON_STYLE style{};
    polygon.GetStyle(&style);
    CStyleRef held = HoldStyle(style.style);
    SetFilledStyle(style, record->pen, record->brush);
    return holder;
}

CMifObjectPtr ConvertEllipse(Cgeo_VectorEllipse& ellipse, CMifRecordPool& records) {
    CMifObjectPtr holder;
    auto* record = Make<CMifEllipse>(records, holder, kMifEllipse);
    const tagXF_RECT3DD& box = ellipse.GetRect();
    record->corner1 = CNode{box.x1, box.y1, box.z1};
    record->corner2 = CNode{box.x2, box.y2, box.z2};
    VECTOR_ELLIPSE_STYLE style{};
    ellipse.GetStyle(&style);
    CStyleRef held = HoldStyle(style.style);
    SetFilledStyle(style, record->pen, record->brush);
    return holder;
}

CMifObjectPtr ConvertText(Cgeo_VectorText& text, CMifRecordPool& records) {
    VECTOR_TEXT_STYLE style{};
    text.GetStyle(&style);
    CStyleRef held = HoldStyle(style.style);
    CMifObjectPtr holder;
    auto* record = Make<CMifText>(records, holder, kMifText);
    // A square of side h centred on the text point.
    double h = style.height;
    CXF_Point3DD at = text.GetTextPoint();
    record->corner1 = CNode{at.x - h / 2, at.y + h / 2, 0.0};
    record->corner2 = CNode{at.x + h / 2, at.y - h / 2, 0.0};
    record->angle = static_cast<float>(style.angle);
    record->font.foreColor = static_cast<int32_t>(style.color);
    record->text = fncString::ConvertSequencesToString(text.GetText(), "\r");

    int alignment = XF_ALIGN_CENTER;
    if (CXF_StyleText* face = style.style; face != nullptr) {
        CXF_StyleShadow* shadow = face->GetShadow();
        int32_t fontStyle = 0;
        if (shadow != nullptr && (shadow->GetOffsetX() != 0.0 || shadow->GetOffsetY() != 0.0)) {
            fontStyle += kFontShadow;
        }
        fontStyle += FontStyleFromTextFlags(face->GetFlags());
        record->font.style = fontStyle;
        record->font.name = face->GetFaceName() != nullptr ? face->GetFaceName() : "";
        alignment = face->GetAlignment();
    }
    record->justify =
        JustifyFromAlignment(alignment, XF_ALIGN_LEFT, XF_ALIGN_CENTER, XF_ALIGN_RIGHT);
    return holder;
}

}  // namespace

int32_t LinePatternFromStyle(Cgeo_MainApp* app, const CXF_StyleObject* style) {
    // Built from the application's own manager when no application was given, so that the
    // table, built once per process, never ends up empty.
    CGEO fallback;
    BuildLineStyleTable(app != nullptr ? app : fallback.GetApp());
    // A style outside the table, or none, is drawn as a plain line by the host: it is written
    // solid (2), not as the invisible pattern 1.
    constexpr int32_t kSolid = 2;
    int32_t pattern = style != nullptr ? FindLinePattern(*style) : 0;
    return pattern != 0 ? pattern : kSolid;
}

CMifObject* ConvertVectorObject(Cgeo_VectorObject* object, Cgeo_MainApp* app,
                                CMifRecordPool& records) {
    if (object == nullptr) {
        return nullptr;
    }
    CMifObjectPtr record;
    switch (object->GetType()) {
        case XF_OBJ_EMPTY:
            Make<CMifObject>(records, record, kMifNone);
            break;
        case XF_OBJ_POINT:
            if (object->GetObjPoint() != nullptr) {
                record = ConvertPoint(*object->GetObjPoint(), records);
            }
            break;
        case XF_OBJ_LINE:
            if (object->GetObjLine() != nullptr) {
                record = ConvertLine(*object->GetObjLine(), app, records);
            }
            break;
        case XF_OBJ_POLYGON:
            if (object->GetObjPolygon() != nullptr) {
                record = ConvertPolygon(*object->GetObjPolygon(), records);
            }
            break;
        case XF_OBJ_ELLIPSE:
            if (object->GetObjEllipse() != nullptr) {
                record = ConvertEllipse(*object->GetObjEllipse(), records);
            }
            break;
        case XF_OBJ_TEXT:
            if (object->GetObjText() != nullptr) {
                record = ConvertText(*object->GetObjText(), records);
            }
            break;
        default:
            break;
    }
    if (record != nullptr && !HasFiniteCoordinates(*record)) {
        // A coordinate that is not a finite number would be written as nan or inf, which no
        // reader takes: the object is written as a None object with its attribute record.
        Make<CMifObject>(records, record, kMifNone);
    }
    return record.release();
}

#include "import/host_styles.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "convert/line_styles.h"
#include "convert/pen_width.h"
#include "convert/text_style.h"
#include "plugin/host/app.h"
#include "plugin/host/style.h"
#include "plugin/host/vector.h"

namespace {

// The values the host's text styles take for texts imported from files: the style record's flags
// and the face's two integer settings, whose meaning is the host's; a shadow is grey and drawn 2
// units down and right.
constexpr std::int32_t kTextStyleFlags = 1;
constexpr int kTextFaceSettingA = 15;
constexpr int kTextFaceSettingB = 1;
constexpr std::uint32_t kShadowColor = 0x808080;
constexpr double kShadowOffset = 2.0;

CXF_ManagerVectorStyle* Manager(Cgeo_MainApp* app) {
    return app != nullptr ? app->GetStyleManager() : nullptr;
}

// The layer's own copy of a source style; null for a null source.
CXF_StyleObject* Register(Cgeo_Vector* vector, CXF_StyleObject* source) {
    return vector->GetStyleSet()->Add(source);
}

// Widths and sizes are stored as unsigned 32-bit values; their double form follows that.
double AsUnsignedDouble(int32_t value) {
    return static_cast<double>(static_cast<uint32_t>(value));
}

// Outline colour, width and polygon face of a filled object.
template <typename Record>
void FillFilledRecord(Cgeo_MainApp* app, Cgeo_Vector* vector, const CMifPen& pen,
                      const CMifBrush& brush, Record& record) {
    CXF_ManagerVectorStyle* manager = Manager(app);
    record.color = static_cast<uint32_t>(pen.color);
    record.width = static_cast<uint32_t>(pen.width);
    record.widthValue = AsUnsignedDouble(pen.width);
    record.flags = 0;
    CXF_StyleObject* style =
        Register(vector, manager != nullptr ? manager->GetDefaultPolygonStyle() : nullptr);
    record.style = style != nullptr ? style->GetPolygon() : nullptr;
    CXF_StyleElement* element = record.style != nullptr ? record.style->GetElement(0) : nullptr;
    if (element == nullptr) {
        return;
    }
    if (pen.width != 0 && manager != nullptr) {
        element->SetStyleObject(manager->GetDefaultLineStyle());
    }
    // A hollow brush (pattern 1, as boundary layers have it), or none at all, leaves the fill
    // part without colour: filling it with the fore colour, black as files usually write it,
    // would hide everything under the polygon.
    CXF_StyleFill* fill = element->GetFill();
    if (fill != nullptr && brush.pattern >= kBrushSolid) {
        fill->SetColor(static_cast<uint32_t>(brush.foreColor));
    }
}

}  // namespace

void SetPointStyle(Cgeo_MainApp* app, Cgeo_Vector* vector, const CMifSymbol& symbol,
                   Cgeo_VectorPoint* point) {
    CXF_ManagerVectorStyle* manager = Manager(app);
    VECTOR_POINT_STYLE record{};
    record.color = static_cast<uint32_t>(symbol.color);
    record.size = static_cast<uint32_t>(symbol.size);
    record.sizeValue = AsUnsignedDouble(symbol.size);
    record.angle = 0.0;
    record.flags = 0;
    CXF_StyleObject* style =
        Register(vector, manager != nullptr ? manager->GetDefaultMarkerStyle() : nullptr);
    record.style = style != nullptr ? style->GetMarker() : nullptr;
    point->SetStyle(&record);
}

void SetLineStyle(Cgeo_MainApp* app, Cgeo_Vector* vector, const CMifPen& pen, LineKind kind,
                  Cgeo_VectorLine* line) {
    CXF_ManagerVectorStyle* manager = Manager(app);
    const bool arc = kind == LineKind::kArc;
    VECTOR_LINE_STYLE record{};
    record.color = static_cast<uint32_t>(pen.color);
    int32_t width = arc ? pen.width : ScalePenWidth(pen.width, pen.pattern);
    record.width = static_cast<uint32_t>(width);
    record.widthValue = arc ? 0.0 : AsUnsignedDouble(width);
    record.flags = 0;
    CXF_StyleObject* source = arc ? nullptr : GetLinePatternStyle(pen.pattern);
    if (source == nullptr && manager != nullptr) {
        source = manager->GetDefaultLineStyle();
    }
    CXF_StyleObject* style = Register(vector, source);
    record.style = style != nullptr ? style->GetLine() : nullptr;
    line->SetStyle(&record);
}

void SetFilledStyle(Cgeo_MainApp* app, Cgeo_Vector* vector, const CMifPen& pen,
                    const CMifBrush& brush, Cgeo_VectorPolygon* polygon) {
    VECTOR_POLYGON_STYLE record{};
    FillFilledRecord(app, vector, pen, brush, record);
    polygon->SetStyle(&record);
}

void SetFilledStyle(Cgeo_MainApp* app, Cgeo_Vector* vector, const CMifPen& pen,
                    const CMifBrush& brush, Cgeo_VectorEllipse* ellipse) {
    VECTOR_ELLIPSE_STYLE record{};
    FillFilledRecord(app, vector, pen, brush, record);
    ellipse->SetStyle(&record);
}

void SetTextStyle(Cgeo_MainApp* app, Cgeo_Vector* vector, const CMifText& record,
                  Cgeo_VectorText* text) {
    CXF_ManagerVectorStyle* manager = Manager(app);
    const CMifFont& font = record.font;
    double height = std::fabs(record.corner2.y - record.corner1.y);
    VECTOR_TEXT_STYLE style{};
    style.color = static_cast<uint32_t>(font.foreColor);
    int32_t size = font.size;
    if (size == 0) {
        // The box height cut toward zero; a height beyond 32 bits saturates.
        size = SaturateToInt32(height);
    }
    style.size = static_cast<uint32_t>(size);
    style.height = height;
    // An angle that is not a finite number turns nothing.
    style.angle = std::isfinite(record.angle) ? static_cast<double>(record.angle) : 0.0;
    style.flags = kTextStyleFlags;
    CXF_StyleObject* registered =
        Register(vector, manager != nullptr ? manager->GetDefaultTextStyle() : nullptr);
    style.style = registered != nullptr ? registered->GetText() : nullptr;
    if (CXF_StyleText* face = style.style) {
        face->SetFaceName(font.name.c_str());
        face->SetSettingA(kTextFaceSettingA);
        face->SetFlags(TextFlagsFromFontStyle(font.style));
        face->SetAlignment(AlignmentFromJustify(record.justify));
        face->SetSettingB(kTextFaceSettingB);
        if ((font.style & kFontShadow) != 0) {
            face->GetShadow()->SetColor(kShadowColor);
            face->GetShadow()->SetOffsets(kShadowOffset, kShadowOffset);
        }
    }
    text->SetStyle(&style);
}

int LegendTrackOf(int hostType) {
    switch (hostType) {
        case XF_OBJ_POINT:
            return kLegendMarker;
        case XF_OBJ_LINE:
            return kLegendLine;
        case XF_OBJ_POLYGON:
        case XF_OBJ_ELLIPSE:
            return kLegendPolygon;
        case XF_OBJ_TEXT:
            return kLegendText;
        default:
            return -1;
    }
}

void TrackMiniatureStyle(Cgeo_VectorObject* object, bool& same, CXF_StyleObject*& retained) {
    if (object == nullptr || !same) {
        return;
    }
    CXF_StyleObject* style = object->GetStyle();
    if (retained != nullptr) {
        if (!CXF_StyleObject::SameIdentifier(retained, style)) {
            same = false;
            if (style != nullptr) {
                style->Release();
            }
            return;
        }
        retained->Release();
    }
    retained = style;
}

void SetLegendStyles(Cgeo_Vector* vector, CLegendTrack (&tracks)[kLegendCount]) {
    for (int kind = 0; kind < kLegendCount; ++kind) {
        CLegendTrack& track = tracks[kind];
        if (!track.same || track.style == nullptr) {
            continue;
        }
        CXF_StyleObject* s = track.style;
        switch (kind) {
            case kLegendLine:
                vector->SetMiniatureStyleLine(s->GetLine(), s->GetUIntValue(), s->GetIntValue());
                break;
            case kLegendMarker:
                vector->SetMiniatureStyleMarker(s->GetMarker(), s->GetUIntValue(),
                                                s->GetIntValue());
                break;
            case kLegendPolygon:
                vector->SetMiniatureStylePolygon(s->GetPolygon(), s->GetUIntValue(),
                                                 s->GetIntValue());
                break;
            default:
                vector->SetMiniatureStyleText(s->GetText(), s->GetUIntValue(), s->GetIntValue());
                break;
        }
    }
    ReleaseLegendStyles(tracks);
}

void ReleaseLegendStyles(CLegendTrack (&tracks)[kLegendCount]) {
    for (CLegendTrack& track : tracks) {
        if (track.style != nullptr) {
            track.style->Release();
            track.style = nullptr;
        }
    }
}

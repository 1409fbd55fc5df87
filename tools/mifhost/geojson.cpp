#include "tools/mifhost/geojson.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "plugin/host/table.h"
#include "plugin/host/vector.h"
#include "tools/mifhost/layer_view.h"

namespace {

std::string Coord(const tagXF_POINT3DD& p) {
    return "[" + JsonNumber(p.x) + "," + JsonNumber(p.y) + "]";
}

std::string Coords(const tagXF_POINT3DD* p, int n) {
    std::string s = "[";
    for (int i = 0; i < n; ++i) {
        s += (i > 0 ? "," : "") + Coord(p[i]);
    }
    return s + "]";
}

// A closed ring turned as RFC 7946 wants: outer rings counter-clockwise, holes clockwise.
std::string RingCoords(const tagXF_POINT3DD* p, int n, bool outer) {
    if (n > 1 && p[n - 1].x == p[0].x && p[n - 1].y == p[0].y) {
        --n;  // closed already: the closing point is written once, below
    }
    double area = SignedArea2(p, n);
    bool reverse = outer ? area < 0.0 : area > 0.0;
    std::string s = "[" + Coord(p[0]);
    for (int i = 1; i < n; ++i) {
        s += "," + Coord(p[reverse ? n - i : i]);
    }
    return s + "," + Coord(p[0]) + "]";
}

std::string ValueText(const CVectorColumn& column, const void* value, const CodePage& cp) {
    if (value == nullptr) {
        return "null";
    }
    switch (column.type) {
        case XF_COL_TEXT:
            return JsonString(cp.ToUtf8(static_cast<const char*>(value)));
        case XF_COL_UINT8:
            return std::to_string(XF_LoadValue<std::uint8_t>(value));
        case XF_COL_UINT16:
            return std::to_string(XF_LoadValue<std::uint16_t>(value));
        case XF_COL_INT16:
            return std::to_string(XF_LoadValue<std::int16_t>(value));
        case XF_COL_UINT32:
            return std::to_string(XF_LoadValue<std::uint32_t>(value));
        case XF_COL_INT32:
            return std::to_string(XF_LoadValue<std::int32_t>(value));
        case XF_COL_FLOAT:
            return JsonNumber(XF_LoadValue<float>(value));
        case XF_COL_DOUBLE:
        case XF_COL_DECIMAL:
            return JsonNumber(XF_LoadValue<double>(value));
        case XF_COL_DATE: {
            std::uint16_t ymd[3];
            std::memcpy(ymd, value, sizeof ymd);
            char text[32];
            std::snprintf(text, sizeof text, "\"%04u-%02u-%02u\"", unsigned{ymd[0]},
                          unsigned{ymd[1]}, unsigned{ymd[2]});
            return text;
        }
        case XF_COL_LOGICAL:
            return XF_LoadValue<std::int32_t>(value) != 0 ? "true" : "false";
        default:
            return "null";
    }
}

// Null when no ring has points or a coordinate is not a finite number.
std::string PolygonGeometry(CXF_RegionCmx* region) {
    for (int i = 0; i < region->GetPolygonSize(); ++i) {
        const CXF_PolygonD* ring = region->GetPolygon(i);
        if (!AllFinite(ring->GetData(), ring->GetSize())) {
            return "null";
        }
    }
    std::vector<RingGroup> groups = GroupRings(region);
    auto ringText = [region](int i, bool outer) {
        CXF_PolygonD* ring = region->GetPolygon(i);
        return RingCoords(ring->GetData(), ring->GetSize(), outer);
    };
    auto polygonText = [&](const RingGroup& g) {
        std::string s = "[" + ringText(g.outer, true);
        for (int h : g.holes) {
            s += "," + ringText(h, false);
        }
        return s + "]";
    };
    if (groups.empty()) {
        return "null";
    }
    if (groups.size() == 1) {
        return "{\"type\":\"Polygon\",\"coordinates\":" + polygonText(groups[0]) + "}";
    }
    std::string s = "{\"type\":\"MultiPolygon\",\"coordinates\":[";
    for (size_t i = 0; i < groups.size(); ++i) {
        s += (i > 0 ? "," : "") + polygonText(groups[i]);
    }
    return s + "]}";
}

// The sections that have points; null when none has or a coordinate is not a finite number.
std::string LineGeometry(Cgeo_VectorLine* line) {
    std::vector<std::string> parts;
    for (int i = 0; i < line->GetNumSection(); ++i) {
        int n = line->GetNumPoints(i);
        if (!AllFinite(line->GetData(i), n)) {
            return "null";
        }
        if (n > 0) {
            parts.push_back(Coords(line->GetData(i), n));
        }
    }
    if (parts.empty()) {
        return "null";
    }
    if (parts.size() == 1) {
        return "{\"type\":\"LineString\",\"coordinates\":" + parts[0] + "}";
    }
    std::string s = "{\"type\":\"MultiLineString\",\"coordinates\":[";
    for (size_t i = 0; i < parts.size(); ++i) {
        s += (i > 0 ? "," : "") + parts[i];
    }
    return s + "]}";
}

std::string PointGeometry(const tagXF_POINT3DD* p, int n) {
    if (n == 0 || !AllFinite(p, n)) {
        return "null";
    }
    return n == 1 ? "{\"type\":\"Point\",\"coordinates\":" + Coord(p[0]) + "}"
                  : "{\"type\":\"MultiPoint\",\"coordinates\":" + Coords(p, n) + "}";
}

// Geometry, style and text of one object.
struct FeatureParts {
    std::string geometry = "null";
    std::string style = "null";
    std::string text;
};

void ReleaseFace(CXF_StyleObject* style) {
    if (style != nullptr) {
        style->Release();
    }
}

FeatureParts Describe(Cgeo_VectorObject* object, CXF_ManagerVectorStyle* manager,
                      const CodePage& cp) {
    FeatureParts f;
    switch (object->GetType()) {
        case XF_OBJ_POINT: {
            Cgeo_VectorPoint* point = object->GetObjPoint();
            f.geometry = PointGeometry(point->GetData(), point->GetNumPoints());
            VECTOR_POINT_STYLE s{};
            point->GetStyle(&s);
            if (s.style != nullptr) {
                f.style = "{\"color\":\"" + ColorText(s.color) +
                          "\",\"size\":" + std::to_string(s.size) + "}";
                ReleaseFace(s.style->GetStyleObject());
            }
            break;
        }
        case XF_OBJ_LINE: {
            Cgeo_VectorLine* line = object->GetObjLine();
            f.geometry = LineGeometry(line);
            VECTOR_LINE_STYLE s{};
            line->GetStyle(&s);
            if (s.style != nullptr) {
                int pattern = PatternIndex(manager, s.style->GetStyleObject());
                f.style = "{\"color\":\"" + ColorText(s.color) +
                          "\",\"width\":" + std::to_string(s.width) +
                          ",\"pattern\":" + (pattern > 0 ? std::to_string(pattern) : "null") + "}";
                ReleaseFace(s.style->GetStyleObject());
            }
            break;
        }
        case XF_OBJ_POLYGON:
        case XF_OBJ_ELLIPSE: {
            VECTOR_POLYGON_STYLE s{};
            if (object->GetType() == XF_OBJ_POLYGON) {
                f.geometry = PolygonGeometry(object->GetObjPolygon()->GetRegion());
                object->GetObjPolygon()->GetStyle(&s);
            } else {
                // The ellipse's points run counter-clockwise, and the last repeats the first.
                std::vector<tagXF_POINT3DD> ring =
                    EllipsePoints(object->GetObjEllipse()->GetRect());
                f.geometry = AllFinite(ring.data(), static_cast<int>(ring.size()))
                                 ? "{\"type\":\"Polygon\",\"coordinates\":[" +
                                       Coords(ring.data(), static_cast<int>(ring.size())) + "]}"
                                 : "null";
                VECTOR_ELLIPSE_STYLE e{};
                object->GetObjEllipse()->GetStyle(&e);
                s = VECTOR_POLYGON_STYLE{e.color, e.width, e.widthValue, e.flags, e.style};
            }
            if (s.style != nullptr) {
                std::uint32_t fill = 0;
                bool hasFill = FirstFillColor(s.style, fill);
                f.style = "{\"color\":\"" + ColorText(s.color) +
                          "\",\"width\":" + std::to_string(s.width) + ",\"fill\":" +
                          (hasFill ? "\"" + ColorText(fill) + "\"" : std::string("null")) + "}";
                ReleaseFace(s.style->GetStyleObject());
            }
            break;
        }
        case XF_OBJ_TEXT: {
            Cgeo_VectorText* text = object->GetObjText();
            CXF_Point3DD p = text->GetTextPoint();
            f.geometry = PointGeometry(&p, 1);
            f.text = JsonString(cp.ToUtf8(text->GetText()));
            VECTOR_TEXT_STYLE s{};
            text->GetStyle(&s);
            if (s.style != nullptr) {
                CXF_StyleText* face = s.style;
                unsigned flags = face->GetFlags();
                CXF_StyleShadow* shadow = face->GetShadow();
                bool hasShadow = shadow->GetOffsetX() != 0.0 || shadow->GetOffsetY() != 0.0;
                const char* align = face->GetAlignment() == XF_ALIGN_LEFT    ? "left"
                                    : face->GetAlignment() == XF_ALIGN_RIGHT ? "right"
                                                                             : "center";
                f.style =
                    "{\"color\":\"" + ColorText(s.color) + "\",\"size\":" + std::to_string(s.size) +
                    ",\"height\":" + JsonNumber(s.height) + ",\"angle\":" + JsonNumber(s.angle) +
                    ",\"font\":" + JsonString(cp.ToUtf8(face->GetFaceName())) +
                    ",\"bold\":" + ((flags & XF_TEXT_BOLD) ? "true" : "false") +
                    ",\"italic\":" + ((flags & XF_TEXT_ITALIC) ? "true" : "false") +
                    ",\"underline\":" + ((flags & XF_TEXT_UNDERLINE) ? "true" : "false") +
                    ",\"shadow\":" + (hasShadow ? "true" : "false") + ",\"align\":\"" + align +
                    "\"}";
                ReleaseFace(s.style->GetStyleObject());
            }
            break;
        }
        default:
            break;
    }
    return f;
}

}  // namespace

bool WriteGeoJson(BufferedOut& out, Cgeo_Vector* vector, CXF_ManagerVectorStyle* manager,
                  const CodePage& codePage, const volatile int* cancel) {
    Cgeo_VectorTable* table = vector->GetVectorTable();
    Cgeo_VectorColumns* columns = table->GetVectorColumns();
    std::vector<std::string> names;
    for (int c = 0; c < columns->GetSize(); ++c) {
        names.push_back(JsonString(codePage.ToUtf8(columns->Get(c)->name)));
    }
    out << "{\"type\":\"FeatureCollection\",\"features\":[";
    std::int64_t count = vector->GetObjectCount();
    bool first = true;
    // A write that failed (a pipe whose reader left) ends the output: nothing more arrives.
    for (std::int64_t id = 0; id < count && out.Ok(); ++id) {
        Cgeo_VectorObject* object = vector->GetObjectAt(id);
        if (cancel != nullptr && *cancel != 0) {
            return false;
        }
        if (object == nullptr) {
            continue;
        }
        FeatureParts f = Describe(object, manager, codePage);
        out << (first ? "\n" : ",\n") << "{\"type\":\"Feature\",\"id\":" << std::to_string(id)
            << ",\"geometry\":" << f.geometry << ",\"properties\":{";
        for (int c = 0; c < columns->GetSize(); ++c) {
            out << (c > 0 ? "," : "") << names[static_cast<size_t>(c)] << ':'
                << ValueText(*columns->Get(c), table->GetColumnValue(id, c), codePage);
        }
        out << "},\"hostType\":" << std::to_string(object->GetType());
        if (!f.text.empty()) {
            out << ",\"text\":" << f.text;
        }
        out << ",\"style\":" << f.style << '}';
        first = false;
    }
    out << "\n]}\n";
    return true;
}

#include "tools/mifhost/geojson.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "plugin/host/table.h"
#include "plugin/host/vector.h"
#include "tools/mifhost/layer_view.h"

namespace {

template <typename T>
T Load(const void* data) {
    T value;
    std::memcpy(&value, data, sizeof value);
    return value;
}

std::string Coord(const tagXF_POINT3DD& p) {
    return "[" + NumberText(p.x) + "," + NumberText(p.y) + "]";
}

std::string Coords(const tagXF_POINT3DD* p, int n, bool close) {
    std::string s = "[";
    for (int i = 0; i < n; ++i) {
        if (i > 0) {
            s += ",";
        }
        s += Coord(p[i]);
    }
    if (close && n > 0) {
        s += "," + Coord(p[0]);
    }
    return s + "]";
}

std::string ValueText(const CVectorColumn& column, const void* value, const CodePage& cp) {
    if (value == nullptr) {
        return "null";
    }
    switch (column.type) {
        case 1:
            return JsonString(cp.ToUtf8(static_cast<const char*>(value)));
        case 2:
            return std::to_string(Load<std::uint8_t>(value));
        case 3:
            return std::to_string(Load<std::uint16_t>(value));
        case 4:
            return std::to_string(Load<std::int16_t>(value));
        case 5:
            return std::to_string(Load<std::uint32_t>(value));
        case 6:
            return std::to_string(Load<std::int32_t>(value));
        case 7:
            return NumberText(Load<float>(value));
        case 8:
        case 9:
            return NumberText(Load<double>(value));
        case 10: {
            std::uint16_t ymd[3];
            std::memcpy(ymd, value, sizeof ymd);
            char text[32];
            std::snprintf(text, sizeof text, "\"%04u-%02u-%02u\"", unsigned{ymd[0]},
                          unsigned{ymd[1]}, unsigned{ymd[2]});
            return text;
        }
        case 11:
            return Load<std::int32_t>(value) != 0 ? "true" : "false";
        default:
            return "null";
    }
}

std::string PolygonGeometry(CXF_RegionCmx* region) {
    std::vector<RingGroup> groups = GroupRings(region);
    auto ringText = [region](int i) {
        CXF_PolygonD* ring = region->GetPolygon(i);
        return Coords(ring->GetData(), ring->GetSize(), true);
    };
    auto polygonText = [&](const RingGroup& g) {
        std::string s = "[" + ringText(g.outer);
        for (int h : g.holes) {
            s += "," + ringText(h);
        }
        return s + "]";
    };
    if (groups.size() == 1) {
        return "{\"type\":\"Polygon\",\"coordinates\":" + polygonText(groups[0]) + "}";
    }
    std::string s = "{\"type\":\"MultiPolygon\",\"coordinates\":[";
    for (size_t i = 0; i < groups.size(); ++i) {
        s += (i > 0 ? "," : "") + polygonText(groups[i]);
    }
    return s + "]}";
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
            int n = point->GetNumPoints();
            f.geometry =
                n == 1 ? "{\"type\":\"Point\",\"coordinates\":" + Coord(point->GetData()[0]) + "}"
                       : "{\"type\":\"MultiPoint\",\"coordinates\":" +
                             Coords(point->GetData(), n, false) + "}";
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
            int sections = line->GetNumSection();
            if (sections == 1) {
                f.geometry = "{\"type\":\"LineString\",\"coordinates\":" +
                             Coords(line->GetData(0), line->GetNumPoints(0), false) + "}";
            } else {
                f.geometry = "{\"type\":\"MultiLineString\",\"coordinates\":[";
                for (int i = 0; i < sections; ++i) {
                    f.geometry +=
                        (i > 0 ? "," : "") + Coords(line->GetData(i), line->GetNumPoints(i), false);
                }
                f.geometry += "]}";
            }
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
                std::vector<tagXF_POINT3DD> ring =
                    EllipsePoints(object->GetObjEllipse()->GetRect());
                f.geometry = "{\"type\":\"Polygon\",\"coordinates\":[" +
                             Coords(ring.data(), static_cast<int>(ring.size()), false) + "]}";
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
            f.geometry = "{\"type\":\"Point\",\"coordinates\":" + Coord(p) + "}";
            f.text = JsonString(cp.ToUtf8(text->GetText()));
            VECTOR_TEXT_STYLE s{};
            text->GetStyle(&s);
            if (s.style != nullptr) {
                CXF_StyleText* face = s.style;
                unsigned flags = face->GetFlags();
                CXF_StyleShadow* shadow = face->GetShadow();
                bool hasShadow = shadow->GetOffsetX() != 0.0 || shadow->GetOffsetY() != 0.0;
                const char* align = face->GetAlignment() == 0   ? "left"
                                    : face->GetAlignment() == 2 ? "right"
                                                                : "center";
                f.style =
                    "{\"color\":\"" + ColorText(s.color) + "\",\"size\":" + std::to_string(s.size) +
                    ",\"height\":" + NumberText(s.height) + ",\"angle\":" + NumberText(s.angle) +
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

void WriteGeoJson(BufferedOut& out, Cgeo_Vector* vector, CXF_ManagerVectorStyle* manager,
                  const CodePage& codePage) {
    Cgeo_VectorTable* table = vector->GetVectorTable();
    Cgeo_VectorColumns* columns = table->GetVectorColumns();
    std::vector<std::string> names;
    for (int c = 0; c < columns->GetSize(); ++c) {
        names.push_back(JsonString(codePage.ToUtf8(columns->Get(c)->name)));
    }
    out << "{\"type\":\"FeatureCollection\",\"features\":[";
    std::int64_t count = vector->GetObjectCount();
    for (std::int64_t id = 0; id < count; ++id) {
        Cgeo_VectorObject* object = vector->GetObjectAt(id);
        if (object == nullptr) {
            continue;
        }
        FeatureParts f = Describe(object, manager, codePage);
        out << (id > 0 ? ",\n" : "\n") << "{\"type\":\"Feature\",\"id\":" << std::to_string(id)
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
    }
    out << "\n]}\n";
}

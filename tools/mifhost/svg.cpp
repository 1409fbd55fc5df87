#include "tools/mifhost/svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "plugin/host/vector.h"
#include "tools/mifhost/layer_view.h"

namespace {

// Map coordinates to picture coordinates: y grows downwards in the picture.
struct View {
    double minX = 0.0;
    double maxY = 0.0;
    double scale = 1.0;
    double margin = 10.0;

    double X(double x) const { return (x - minX) * scale + margin; }
    double Y(double y) const { return (maxY - y) * scale + margin; }
};

std::string Num(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", v);
    return text;
}

std::string Escape(const std::string& utf8) {
    std::string out;
    for (char c : utf8) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                // Control characters are not allowed in XML 1.0.
                if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') {
                    out.push_back(c);
                }
        }
    }
    return out;
}

std::string PathOf(const View& v, const tagXF_POINT3DD* p, int n, bool close) {
    std::string d;
    for (int i = 0; i < n; ++i) {
        d += (i == 0 ? "M" : " L") + Num(v.X(p[i].x)) + "," + Num(v.Y(p[i].y));
    }
    if (close && n > 0) {
        d += " Z";
    }
    return d;
}

std::string Stroke(std::uint32_t color, std::uint32_t width) {
    return " stroke=\"" + ColorText(color) + "\" stroke-width=\"" +
           Num(std::max(1.0, static_cast<double>(width))) + "\"";
}

// Fill and outline of a polygon face.
std::string PolygonPaint(const VECTOR_POLYGON_STYLE& s) {
    std::uint32_t fill = 0;
    bool hasFill = FirstFillColor(s.style, fill);
    std::string paint = " fill=\"" + (hasFill ? ColorText(fill) : std::string("none")) + "\"";
    return paint + Stroke(s.color, s.width);
}

void ReleaseFace(CXF_StyleObject* style) {
    if (style != nullptr) {
        style->Release();
    }
}

void DrawObject(BufferedOut& out, const View& v, Cgeo_VectorObject* object, const CodePage& cp) {
    switch (object->GetType()) {
        case XF_OBJ_POINT: {
            Cgeo_VectorPoint* point = object->GetObjPoint();
            VECTOR_POINT_STYLE s{};
            point->GetStyle(&s);
            double r = std::max(2.0, s.style != nullptr ? s.size / 2.0 : 3.0);
            std::string color = s.style != nullptr ? ColorText(s.color) : "#000000";
            for (int i = 0; i < point->GetNumPoints(); ++i) {
                const tagXF_POINT3DD& p = point->GetData()[i];
                out << "<circle cx=\"" << Num(v.X(p.x)) << "\" cy=\"" << Num(v.Y(p.y)) << "\" r=\""
                    << Num(r) << "\" fill=\"" << color << "\"/>\n";
            }
            if (s.style != nullptr) {
                ReleaseFace(s.style->GetStyleObject());
            }
            break;
        }
        case XF_OBJ_LINE: {
            Cgeo_VectorLine* line = object->GetObjLine();
            VECTOR_LINE_STYLE s{};
            line->GetStyle(&s);
            std::string d;
            for (int i = 0; i < line->GetNumSection(); ++i) {
                d += (i > 0 ? " " : "") + PathOf(v, line->GetData(i), line->GetNumPoints(i), false);
            }
            std::string dash;
            if (s.style != nullptr && !s.style->GetDashes().empty()) {
                dash = " stroke-dasharray=\"";
                for (size_t k = 0; k < s.style->GetDashes().size(); ++k) {
                    dash += (k > 0 ? "," : "") + Num(s.style->GetDashes()[k]);
                }
                dash += "\"";
            }
            bool visible = s.style == nullptr || s.style->IsVisible();
            if (visible && !d.empty()) {
                out << "<path d=\"" << d << "\" fill=\"none\"" << Stroke(s.color, s.width) << dash
                    << "/>\n";
            }
            if (s.style != nullptr) {
                ReleaseFace(s.style->GetStyleObject());
            }
            break;
        }
        case XF_OBJ_POLYGON: {
            Cgeo_VectorPolygon* polygon = object->GetObjPolygon();
            VECTOR_POLYGON_STYLE s{};
            polygon->GetStyle(&s);
            CXF_RegionCmx* region = polygon->GetRegion();
            std::string d;
            for (int i = 0; i < region->GetPolygonSize(); ++i) {
                CXF_PolygonD* ring = region->GetPolygon(i);
                d += (i > 0 ? " " : "") + PathOf(v, ring->GetData(), ring->GetSize(), true);
            }
            if (!d.empty()) {
                out << "<path d=\"" << d << "\" fill-rule=\"evenodd\"" << PolygonPaint(s) << "/>\n";
            }
            if (s.style != nullptr) {
                ReleaseFace(s.style->GetStyleObject());
            }
            break;
        }
        case XF_OBJ_ELLIPSE: {
            Cgeo_VectorEllipse* ellipse = object->GetObjEllipse();
            VECTOR_ELLIPSE_STYLE e{};
            ellipse->GetStyle(&e);
            const tagXF_RECT3DD& box = ellipse->GetRect();
            VECTOR_POLYGON_STYLE s{e.color, e.width, e.widthValue, e.flags, e.style};
            out << "<ellipse cx=\"" << Num(v.X((box.x1 + box.x2) / 2)) << "\" cy=\""
                << Num(v.Y((box.y1 + box.y2) / 2)) << "\" rx=\""
                << Num(std::fabs(box.x2 - box.x1) / 2 * v.scale) << "\" ry=\""
                << Num(std::fabs(box.y2 - box.y1) / 2 * v.scale) << "\"" << PolygonPaint(s)
                << "/>\n";
            if (e.style != nullptr) {
                ReleaseFace(e.style->GetStyleObject());
            }
            break;
        }
        case XF_OBJ_TEXT: {
            Cgeo_VectorText* text = object->GetObjText();
            VECTOR_TEXT_STYLE s{};
            text->GetStyle(&s);
            CXF_Point3DD p = text->GetTextPoint();
            double x = v.X(p.x);
            double y = v.Y(p.y);
            double size = std::max(1.0, (s.height > 0 ? s.height : 1.0) * v.scale);
            std::string attrs = " font-size=\"" + Num(size) + "\" fill=\"" +
                                ColorText(s.style != nullptr ? s.color : 0) + "\"";
            if (s.style != nullptr) {
                unsigned flags = s.style->GetFlags();
                attrs += " font-family=\"" + Escape(cp.ToUtf8(s.style->GetFaceName())) + "\"";
                attrs += (flags & XF_TEXT_BOLD) ? " font-weight=\"bold\"" : "";
                attrs += (flags & XF_TEXT_ITALIC) ? " font-style=\"italic\"" : "";
                attrs += (flags & XF_TEXT_UNDERLINE) ? " text-decoration=\"underline\"" : "";
                int align = s.style->GetAlignment();
                attrs += align == 0   ? " text-anchor=\"start\""
                         : align == 2 ? " text-anchor=\"end\""
                                      : " text-anchor=\"middle\"";
            } else {
                attrs += " text-anchor=\"middle\"";
            }
            if (s.angle != 0.0) {
                attrs +=
                    " transform=\"rotate(" + Num(-s.angle) + " " + Num(x) + " " + Num(y) + ")\"";
            }
            // Lines are separated by CR LF; each becomes a line of the picture's text.
            std::string all = cp.ToUtf8(text->GetText());
            std::vector<std::string> lines;
            size_t start = 0;
            for (;;) {
                size_t br = all.find("\r\n", start);
                lines.push_back(all.substr(start, br == std::string::npos ? br : br - start));
                if (br == std::string::npos) {
                    break;
                }
                start = br + 2;
            }
            double first = y - (static_cast<double>(lines.size()) - 1) * size * 0.6;
            out << "<text x=\"" << Num(x) << "\" y=\"" << Num(first) << "\"" << attrs
                << " dominant-baseline=\"middle\">";
            for (size_t i = 0; i < lines.size(); ++i) {
                out << "<tspan x=\"" << Num(x) << "\" dy=\"" << (i == 0 ? "0" : Num(size * 1.2))
                    << "\">" << Escape(lines[i]) << "</tspan>";
            }
            out << "</text>\n";
            if (s.style != nullptr) {
                ReleaseFace(s.style->GetStyleObject());
            }
            break;
        }
        default:
            break;
    }
}

}  // namespace

void WriteSvg(BufferedOut& out, Cgeo_Vector* vector, int widthPixels, const CodePage& codePage) {
    vector->UpdateGrid(nullptr);
    CXF_RectD box = vector->GetGridBounds();
    double w = box.x2 - box.x1;
    double h = box.y2 - box.y1;
    View v;
    v.minX = box.x1;
    v.maxY = box.y2;
    double inner = std::max(1, widthPixels - 20);
    // A layer without extent (one point, or none) is drawn at one map unit per pixel.
    v.scale = w > 0 ? inner / w : (h > 0 ? inner / h : 1.0);
    double heightPixels = std::max(1.0, h * v.scale) + 2 * v.margin;
    double width = (w > 0 ? w * v.scale : inner) + 2 * v.margin;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << Num(width) << "\" height=\""
        << Num(heightPixels) << "\" viewBox=\"0 0 " << Num(width) << " " << Num(heightPixels)
        << "\">\n<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    std::int64_t count = vector->GetObjectCount();
    for (std::int64_t id = 0; id < count; ++id) {
        Cgeo_VectorObject* object = vector->GetObjectAt(id);
        if (object != nullptr) {
            DrawObject(out, v, object, codePage);
        }
    }
    out << "</svg>\n";
}

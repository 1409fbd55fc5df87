#include "tools/mifhost/svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "plugin/host/vector.h"
#include "tools/mifhost/layer_view.h"
#include "tools/mifhost/terminal_text.h"

namespace {

// Map coordinates to picture coordinates: y grows downwards in the picture.
struct View {
    double minX = 0.0;
    double maxY = 0.0;
    double scale = 1.0;
    double left = 10.0;
    double top = 10.0;

    double X(double x) const { return (x - minX) * scale + left; }
    double Y(double y) const { return (maxY - y) * scale + top; }
};

std::string Num(double v) {
    if (!std::isfinite(v)) {
        v = 0.0;  // never reached with finite coordinates; keeps the picture valid regardless
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", v);
    return text;
}

// Glyphs are taken as 0.6 of the font size wide on average, a little more than most fonts, so
// that a text's box holds it.
const double kGlyphWidth = 0.6;

// The lines of a text, separated by CR LF.
std::vector<std::string> TextLines(const std::string& all) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        size_t br = all.find("\r\n", start);
        lines.push_back(all.substr(start, br == std::string::npos ? br : br - start));
        if (br == std::string::npos) {
            return lines;
        }
        start = br + 2;
    }
}

// A text's box in map units: centred on its anchor, as high as the text, as wide as its
// longest line.
struct TextBox {
    std::vector<std::string> lines;
    double lineHeight = 0.0;
    double width = 0.0;
};

TextBox BoxOfText(const std::string& utf8, double height) {
    TextBox box;
    box.lines = TextLines(utf8);
    box.lineHeight = height > 0.0 ? height / static_cast<double>(box.lines.size()) : 0.0;
    int columns = 0;
    for (const std::string& line : box.lines) {
        columns = std::max(columns, DisplayWidth(line));
    }
    box.width = columns * kGlyphWidth * box.lineHeight;
    return box;
}

// The bounding box of what the layer draws, in map units; symbols and pens add pixels.
struct Extent {
    double x1 = 0.0;
    double y1 = 0.0;
    double x2 = 0.0;
    double y2 = 0.0;
    bool any = false;
    double pixels = 0.0;  // the most that a symbol or a pen reaches beyond its coordinates

    void Add(double x, double y) {
        if (!std::isfinite(x) || !std::isfinite(y)) {
            return;
        }
        if (!any) {
            x1 = x2 = x;
            y1 = y2 = y;
            any = true;
        }
        x1 = std::min(x1, x);
        x2 = std::max(x2, x);
        y1 = std::min(y1, y);
        y2 = std::max(y2, y);
    }
    void Add(const tagXF_POINT3DD* p, int n) {
        for (int i = 0; i < n; ++i) {
            Add(p[i].x, p[i].y);
        }
    }
};

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

// Empty for no points, and for a coordinate that is not a finite number.
std::string PathOf(const View& v, const tagXF_POINT3DD* p, int n, bool close) {
    std::string d;
    if (!AllFinite(p, n)) {
        return d;
    }
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

// Each line of the text in its box: left- and right-justified lines start and end at the box's
// sides, centred ones at its middle; the box turns about its centre by the text's angle.
void DrawText(BufferedOut& out, const View& v, Cgeo_VectorText* text, const CodePage& cp) {
    VECTOR_TEXT_STYLE s{};
    text->GetStyle(&s);
    CXF_Point3DD p = text->GetTextPoint();
    if (!AllFinite(&p, 1)) {
        if (s.style != nullptr) {
            ReleaseFace(s.style->GetStyleObject());
        }
        return;
    }
    TextBox box = BoxOfText(cp.ToUtf8(text->GetText()), s.height);
    double cx = v.X(p.x);
    double cy = v.Y(p.y);
    double size = std::max(1.0, box.lineHeight * v.scale);
    double halfWidth = box.width * v.scale / 2;
    int align = s.style != nullptr ? s.style->GetAlignment() : XF_ALIGN_CENTER;
    double x =
        align == XF_ALIGN_LEFT ? cx - halfWidth : (align == XF_ALIGN_RIGHT ? cx + halfWidth : cx);
    std::string attrs = " font-size=\"" + Num(size) + "\" fill=\"" +
                        ColorText(s.style != nullptr ? s.color : 0) + "\"";
    if (s.style != nullptr) {
        unsigned flags = s.style->GetFlags();
        attrs += " font-family=\"" + Escape(cp.ToUtf8(s.style->GetFaceName())) + "\"";
        attrs += (flags & XF_TEXT_BOLD) ? " font-weight=\"bold\"" : "";
        attrs += (flags & XF_TEXT_ITALIC) ? " font-style=\"italic\"" : "";
        attrs += (flags & XF_TEXT_UNDERLINE) ? " text-decoration=\"underline\"" : "";
    }
    attrs += align == XF_ALIGN_LEFT
                 ? " text-anchor=\"start\""
                 : (align == XF_ALIGN_RIGHT ? " text-anchor=\"end\"" : " text-anchor=\"middle\"");
    if (s.angle != 0.0 && std::isfinite(s.angle)) {
        attrs += " transform=\"rotate(" + Num(-s.angle) + " " + Num(cx) + " " + Num(cy) + ")\"";
    }
    // Baselines at 0.35 of the font size below the middle of each line: capitals stand centred
    // on it, in every viewer (some do not know dominant-baseline).
    double first = cy - (static_cast<double>(box.lines.size()) - 1) * size / 2 + 0.35 * size;
    out << "<text x=\"" << Num(x) << "\" y=\"" << Num(first) << "\"" << attrs << ">";
    for (size_t i = 0; i < box.lines.size(); ++i) {
        out << "<tspan x=\"" << Num(x) << "\" dy=\"" << (i == 0 ? "0" : Num(size)) << "\">"
            << Escape(box.lines[i]) << "</tspan>";
    }
    out << "</text>\n";
    if (s.style != nullptr) {
        ReleaseFace(s.style->GetStyleObject());
    }
}

double SymbolRadius(const VECTOR_POINT_STYLE& s) {
    return std::max(2.0, s.style != nullptr ? s.size / 2.0 : 3.0);
}

double PenWidth(std::uint32_t width) {
    return std::max(1.0, static_cast<double>(width));
}

// Adds what the object draws to the extent.
void Measure(Extent& e, Cgeo_VectorObject* object, const CodePage& cp) {
    switch (object->GetType()) {
        case XF_OBJ_POINT: {
            Cgeo_VectorPoint* point = object->GetObjPoint();
            VECTOR_POINT_STYLE s{};
            point->GetStyle(&s);
            e.Add(point->GetData(), point->GetNumPoints());
            e.pixels = std::max(e.pixels, SymbolRadius(s));
            if (s.style != nullptr) {
                ReleaseFace(s.style->GetStyleObject());
            }
            break;
        }
        case XF_OBJ_LINE: {
            Cgeo_VectorLine* line = object->GetObjLine();
            for (int i = 0; i < line->GetNumSection(); ++i) {
                e.Add(line->GetData(i), line->GetNumPoints(i));
            }
            VECTOR_LINE_STYLE s{};
            line->GetStyle(&s);
            e.pixels = std::max(e.pixels, PenWidth(s.width) / 2);
            if (s.style != nullptr) {
                ReleaseFace(s.style->GetStyleObject());
            }
            break;
        }
        case XF_OBJ_POLYGON: {
            CXF_RegionCmx* region = object->GetObjPolygon()->GetRegion();
            for (int i = 0; i < region->GetPolygonSize(); ++i) {
                e.Add(region->GetPolygon(i)->GetData(), region->GetPolygon(i)->GetSize());
            }
            VECTOR_POLYGON_STYLE s{};
            object->GetObjPolygon()->GetStyle(&s);
            e.pixels = std::max(e.pixels, PenWidth(s.width) / 2);
            if (s.style != nullptr) {
                ReleaseFace(s.style->GetStyleObject());
            }
            break;
        }
        case XF_OBJ_ELLIPSE: {
            const tagXF_RECT3DD& box = object->GetObjEllipse()->GetRect();
            e.Add(box.x1, box.y1);
            e.Add(box.x2, box.y2);
            VECTOR_ELLIPSE_STYLE s{};
            object->GetObjEllipse()->GetStyle(&s);
            e.pixels = std::max(e.pixels, PenWidth(s.width) / 2);
            if (s.style != nullptr) {
                ReleaseFace(s.style->GetStyleObject());
            }
            break;
        }
        case XF_OBJ_TEXT: {
            Cgeo_VectorText* text = object->GetObjText();
            VECTOR_TEXT_STYLE s{};
            text->GetStyle(&s);
            CXF_Point3DD p = text->GetTextPoint();
            TextBox box = BoxOfText(cp.ToUtf8(text->GetText()), s.height);
            // The corners of the box, turned about its centre by the text's angle.
            double a = s.angle * 3.14159265358979323846 / 180.0;
            double c = std::cos(a);
            double n = std::sin(a);
            double hw = box.width / 2;
            double hh = std::max(0.0, s.height) / 2;
            for (int k = 0; k < 4; ++k) {
                double dx = (k & 1) != 0 ? hw : -hw;
                double dy = (k & 2) != 0 ? hh : -hh;
                e.Add(p.x + dx * c - dy * n, p.y + dx * n + dy * c);
            }
            if (s.style != nullptr) {
                ReleaseFace(s.style->GetStyleObject());
            }
            break;
        }
        default:
            break;
    }
}

void DrawObject(BufferedOut& out, const View& v, Cgeo_VectorObject* object, const CodePage& cp) {
    switch (object->GetType()) {
        case XF_OBJ_POINT: {
            Cgeo_VectorPoint* point = object->GetObjPoint();
            VECTOR_POINT_STYLE s{};
            point->GetStyle(&s);
            double r = SymbolRadius(s);
            std::string color = s.style != nullptr ? ColorText(s.color) : "#000000";
            for (int i = 0; i < point->GetNumPoints(); ++i) {
                const tagXF_POINT3DD& p = point->GetData()[i];
                if (AllFinite(&p, 1)) {
                    out << "<circle cx=\"" << Num(v.X(p.x)) << "\" cy=\"" << Num(v.Y(p.y))
                        << "\" r=\"" << Num(r) << "\" fill=\"" << color << "\"/>\n";
                }
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
                d += (d.empty() ? "" : " ") +
                     PathOf(v, line->GetData(i), line->GetNumPoints(i), false);
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
                d += (d.empty() ? "" : " ") + PathOf(v, ring->GetData(), ring->GetSize(), true);
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
        case XF_OBJ_TEXT:
            DrawText(out, v, object->GetObjText(), cp);
            break;
        default:
            break;
    }
}

}  // namespace

bool WriteSvg(BufferedOut& out, Cgeo_Vector* vector, int widthPixels, int heightPixels,
              const CodePage& codePage, const volatile int* cancel) {
    Extent e;
    std::int64_t count = vector->GetObjectCount();
    for (std::int64_t id = 0; id < count; ++id) {
        if (Cgeo_VectorObject* object = vector->GetObjectAt(id)) {
            Measure(e, object, codePage);
        }
    }
    // The drawing fits within the bounds, keeping its proportions, with a margin that holds the
    // largest symbol and pen; a layer without extent is centred in a small square.
    double pad = 10.0 + std::ceil(e.pixels);
    double w = e.x2 - e.x1;
    double h = e.y2 - e.y1;
    double innerW = std::max(1.0, widthPixels - 2 * pad);
    double innerH = std::max(1.0, heightPixels - 2 * pad);
    View v;
    v.minX = e.x1;
    v.maxY = e.y2;
    if (w > 0 && h > 0) {
        v.scale = std::min(innerW / w, innerH / h);
    } else if (w > 0 || h > 0) {
        v.scale = w > 0 ? innerW / w : innerH / h;
    }
    if (!std::isfinite(v.scale) || v.scale <= 0) {
        v.scale = 1.0;  // an extent beyond the range of numbers
    }
    double side =
        std::min({100.0, static_cast<double>(widthPixels), static_cast<double>(heightPixels)});
    double pictureW = w > 0 ? std::min(static_cast<double>(widthPixels), w * v.scale + 2 * pad)
                            : (h > 0 ? 2 * pad : side);
    double pictureH = h > 0 ? std::min(static_cast<double>(heightPixels), h * v.scale + 2 * pad)
                            : (w > 0 ? 2 * pad : side);
    v.left = (pictureW - w * v.scale) / 2;
    v.top = (pictureH - h * v.scale) / 2;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << Num(pictureW) << "\" height=\""
        << Num(pictureH) << "\" viewBox=\"0 0 " << Num(pictureW) << " " << Num(pictureH)
        << "\">\n<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    // A write that failed (a pipe whose reader left) ends the drawing: nothing more arrives.
    for (std::int64_t id = 0; id < count && out.Ok(); ++id) {
        if (cancel != nullptr && *cancel != 0) {
            return false;
        }
        if (Cgeo_VectorObject* object = vector->GetObjectAt(id)) {
            DrawObject(out, v, object, codePage);
        }
    }
    out << "</svg>\n";
    return true;
}

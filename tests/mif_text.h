#pragma once

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "mif/reader/mif_reader.h"
#include "test_util.h"

// MIF object text under a header of the word Data alone (and a Transform line when one is
// given), without a MID file; Next() reads the object at the read position and moves to the next,
// as the walk over the objects does.
class MifText {
public:
    // The header before the text when no transformation is given.
    static constexpr const char* kHeader = "Data\n";

    explicit MifText(const std::string& text, const std::vector<double>& transform = {}) {
        std::string header = kHeader;
        if (!transform.empty()) {
            char line[160];
            std::snprintf(line, sizeof line, "Transform %.17g,%.17g,%.17g,%.17g\n", transform[0],
                          transform[1], transform[2], transform[3]);
            header = line + header;
        }
        WriteFile(dir.Path("objects.mif"), header + text);
        opened = file.Open(dir.Path("objects.mif").c_str()) == 1;
        file.Rewind();
    }
    CMifObject* Next() {
        CMifObject* object = file.ReadObject();
        file.MoveNext();
        return object;
    }

    TempDir dir;
    CMifReader file;
    bool opened = false;
};

// A MIF file (and a MID file beside it unless mid is null) written to a fresh folder and opened.
struct MifPair {
    explicit MifPair(const std::string& mif, const char* mid = nullptr) {
        WriteFile(dir.Path("t.mif"), mif);
        if (mid != nullptr) {
            WriteFile(dir.Path("t.mid"), mid);
        }
        opened = file.Open(dir.Path("t.mif").c_str()) == 1;
    }
    TempDir dir;
    CMifReader file;
    bool opened = false;
};

// One line per record with every field that differs from its default, so that a test compares
// a whole record with one string.
inline std::string Num(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.12g", v);
    return text;
}
inline std::string Color(int32_t c) {
    char text[16];
    std::snprintf(text, sizeof text, c == -1 ? "-1" : "#%06" PRIx32, static_cast<uint32_t>(c));
    return text;
}
inline std::string Pt(const CNode& n) {
    return Num(n.x) + "," + Num(n.y) + (n.z != 0.0 ? "," + Num(n.z) : "");
}
inline std::string Styles(const CMifPen* pen, const CMifBrush* brush) {
    std::string out;
    if (pen != nullptr && (pen->width != 0 || pen->pattern != -1 || pen->color != 0)) {
        out += " pen(" + std::to_string(pen->width) + "," + std::to_string(pen->pattern) + "," +
               Color(pen->color) + ")";
    }
    if (brush != nullptr &&
        (brush->pattern != -1 || brush->foreColor != 0 || brush->backColor != -1)) {
        out += " brush(" + std::to_string(brush->pattern) + "," + Color(brush->foreColor) + "," +
               Color(brush->backColor) + ")";
    }
    return out;
}
inline std::string Sym(const CMifSymbol& s) {
    CMifSymbol d;
    if (s.form == d.form && s.shape == d.shape && s.color == d.color && s.size == d.size &&
        s.fontName.empty() && s.fileName.empty() && s.style == d.style && s.rotation == 0.0) {
        return "";
    }
    return " sym(" + std::to_string(s.form) + "," + std::to_string(s.shape) + "," + Color(s.color) +
           "," + std::to_string(s.size) + ",'" + s.fontName + "','" + s.fileName + "'," +
           std::to_string(s.style) + "," + Num(s.rotation) + ")";
}
// brief: each section as its node count, first node and last node.
inline std::string Sections(const CMifSections& r, bool brief) {
    std::string out = r.GetSectionCount() > 0 ? " " : "";
    for (int32_t i = 0; i < r.GetSectionCount(); ++i) {
        int32_t n = r.GetSectionNodeCount(i);
        if (brief && n > 0) {
            out += "[" + std::to_string(n) + " " + Pt(*r.GetSectionNode(i, 0)) + ".." +
                   Pt(*r.GetSectionNode(i, n - 1)) + "]";
            continue;
        }
        out += "[";
        for (int32_t j = 0; j < r.GetSectionNodeCount(i); ++j) {
            out += (j > 0 ? " " : "") + Pt(*r.GetSectionNode(i, j));
        }
        out += "]";
    }
    return out;
}
inline std::string Dump(const CMifObject* o, bool brief = false) {
    if (o == nullptr) {
        return "null";
    }
    std::string out = MifObjectKeyword(o->kind);
    switch (o->kind) {
        case kMifPoint: {
            auto* p = static_cast<const CMifPoint*>(o);
            return out + " " + Pt(p->point) + Sym(p->symbol);
        }
        case kMifLine: {
            auto* l = static_cast<const CMifLine*>(o);
            return out + " " + Pt(l->start) + " " + Pt(l->end) + Styles(&l->pen, nullptr);
        }
        case kMifPline: {
            auto* p = static_cast<const CMifPline*>(o);
            return out + Sections(*p, brief) + (p->smooth ? " smooth" : "") +
                   Styles(&p->pen, nullptr);
        }
        case kMifRegion: {
            auto* r = static_cast<const CMifRegion*>(o);
            return out + Sections(*r, brief) + (r->hasCenter ? " center " + Pt(r->center) : "") +
                   Styles(&r->pen, &r->brush);
        }
        case kMifRect:
        case kMifRoundRect:
        case kMifEllipse: {
            auto* r = static_cast<const CMifRect*>(o);
            out += " " + Pt(r->corner1) + " " + Pt(r->corner2);
            if (o->kind == kMifRoundRect) {
                out +=
                    " r" + Num(static_cast<double>(static_cast<const CMifRoundRect*>(o)->radius));
            }
            return out + Styles(&r->pen, &r->brush);
        }
        case kMifArc: {
            auto* a = static_cast<const CMifArc*>(o);
            return out + " " + Pt(a->corner1) + " " + Pt(a->corner2) + " " +
                   Num(static_cast<double>(a->startAngle)) + ".." +
                   Num(static_cast<double>(a->endAngle)) + Styles(&a->pen, nullptr);
        }
        case kMifText: {
            auto* t = static_cast<const CMifText*>(o);
            out += " '" + t->text + "' " + Pt(t->corner1) + " " + Pt(t->corner2) + " sp" +
                   Num(static_cast<double>(t->spacing)) + " j" + std::to_string(t->justify) + " a" +
                   Num(static_cast<double>(t->angle));
            if (t->labelLine != 0) {
                out += " label" + std::to_string(t->labelLine) + "@" + Pt(t->labelPoint);
            }
            const CMifFont& f = t->font;
            if (!f.name.empty() || f.style != 0 || f.size != 0 || f.foreColor != 0 ||
                f.backColor != -1) {
                out += " font('" + f.name + "'," + std::to_string(f.style) + "," +
                       std::to_string(f.size) + "," + Color(f.foreColor) + "," +
                       Color(f.backColor) + ")";
            }
            return out;
        }
        case kMifMultiPoint: {
            // The symbol shows with the first point.
            auto* m = static_cast<const CMifMultiPoint*>(o);
            out += m->points.empty() ? "" : " ";
            for (const CNode& p : m->points) {
                out += "[" + Pt(p) + (&p == &m->points.front() ? Sym(m->symbol) : "") + "]";
            }
            return out;
        }
        case kMifCollection: {
            auto* c = static_cast<const CMifCollection*>(o);
            return out + " {" + (c->region ? Dump(c->region.get(), brief) : "-") + "} {" +
                   (c->pline ? Dump(c->pline.get(), brief) : "-") + "} {" +
                   (c->multiPoint ? Dump(c->multiPoint.get(), brief) : "-") + "}";
        }
        case kMifNone:
            break;
    }
    return out;
}

// Reads the objects of the text one by one and compares each with its Dump; no object is left.
inline void ExpectObjects(const std::string& mif, const std::vector<std::string>& expected,
                          const std::vector<double>& transform = {}) {
    MifText text(mif, transform);
    ASSERT_TRUE(text.opened);
    for (const std::string& e : expected) {
        EXPECT_EQ(Dump(text.Next()), e) << mif;
    }
    EXPECT_EQ(text.file.NextKind(), -1) << "objects left over in " << mif;
}

using Records = std::vector<std::vector<std::string>>;

// Walks the file as the import driver does and returns the value of every column per object, one
// record per object, and each object as Dump gives it. Objects without a MID file give no values.
inline Records Walk(CMifReader& file, std::vector<std::string>* objects = nullptr) {
    Records out;
    for (file.Rewind(); !file.IsEof(); file.MoveNext()) {
        CMifObject* object = file.ReadObject();
        if (objects != nullptr) {
            objects->push_back(Dump(object));
        }
        out.emplace_back();
        std::string value;
        for (int i = 0; file.GetFieldValue(i, value) == 1; ++i) {
            out.back().push_back(value);
        }
    }
    return out;
}

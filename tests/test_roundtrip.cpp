#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "test_export_util.h"

namespace {

// One host object as the comparisons see it: its kind, its point lists (points, sections, rings,
// the ellipse box or the text point), its text and a description of its style.
struct CShape {
    int type = -1;
    std::vector<std::vector<tagXF_POINT3DD>> parts;
    std::string text;
    std::string style;
    uint32_t penWidth = 0;
};

// A host document as imported: columns, objects, and the text of every attribute value.
struct CImported {
    std::vector<CVectorColumn> columns;
    std::vector<CShape> shapes;
    std::vector<std::vector<std::string>> values;  // [row][column], "-" for no value
};

std::string Hex(uint32_t v) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%08X", v);
    return buffer;
}

std::string Real(double v) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", v);
    return buffer;
}

// What a style face draws with; style identifiers differ between imports, contents do not.
std::string Describe(CXF_StyleLine* face) {
    if (face == nullptr) {
        return "no line face";
    }
    std::string d = face->IsVisible() ? "line" : "invisible line";
    for (double dash : face->GetDashes()) {
        d += " " + Real(dash);
    }
    return d;
}

std::string Describe(CXF_StyleMarker* face) {
    return face == nullptr ? "no marker face" : "marker " + std::to_string(face->GetShape());
}

std::string Describe(CXF_StylePolygon* face) {
    if (face == nullptr) {
        return "no polygon face";
    }
    std::string d = "polygon";
    for (int i = 0; i < face->GetCount(); ++i) {
        CXF_StyleElement* e = face->GetElement(i);
        d += e->IsFill() != 0 ? " fill " + Hex(e->GetColor()) : " outline";
        if (e->GetStyleObject() != nullptr) {
            d += " (" + Describe(e->GetStyleObject()->GetLine()) + ")";
        }
    }
    return d;
}

std::string Describe(CXF_StyleText* face) {
    if (face == nullptr) {
        return "no text face";
    }
    return std::string("text ") + face->GetFaceName() + " flags " +
           std::to_string(face->GetFlags()) + " align " + std::to_string(face->GetAlignment()) +
           " shadow " + Real(face->GetShadow()->GetOffsetX()) + "," +
           Real(face->GetShadow()->GetOffsetY());
}

template <typename Face>
void Release(Face* face) {
    if (face != nullptr) {
        face->GetStyleObject()->Release();
    }
}

std::vector<tagXF_POINT3DD> Points(const tagXF_POINT3DD* data, int n) {
    return data != nullptr ? std::vector<tagXF_POINT3DD>(data, data + n)
                           : std::vector<tagXF_POINT3DD>();
}

CShape ShapeOf(Cgeo_VectorObject* object) {
    CShape s;
    s.type = object->GetType();
    switch (s.type) {
        case XF_OBJ_POINT: {
            Cgeo_VectorPoint* p = object->GetObjPoint();
            s.parts.push_back(Points(p->GetData(), p->GetNumPoints()));
            VECTOR_POINT_STYLE r{};
            p->GetStyle(&r);
            s.style = Hex(r.color) + " size " + std::to_string(r.size) + " " + Describe(r.style);
            Release(r.style);
            break;
        }
        case XF_OBJ_LINE: {
            Cgeo_VectorLine* l = object->GetObjLine();
            for (int k = 0; k < l->GetNumSection(); ++k) {
                s.parts.push_back(Points(l->GetData(k), l->GetNumPoints(k)));
            }
            VECTOR_LINE_STYLE r{};
            l->GetStyle(&r);
            s.penWidth = r.width;
            s.style = Hex(r.color) + " " + Describe(r.style);
            Release(r.style);
            break;
        }
        case XF_OBJ_POLYGON: {
            CXF_RegionCmx* region = object->GetObjPolygon()->GetRegion();
            for (int k = 0; k < region->GetPolygonSize(); ++k) {
                CXF_PolygonD* ring = region->GetPolygon(k);
                s.parts.push_back(Points(ring->GetData(), ring->GetSize()));
            }
            VECTOR_POLYGON_STYLE r{};
            object->GetObjPolygon()->GetStyle(&r);
            s.penWidth = r.width;
            s.style = Hex(r.color) + " " + Describe(r.style);
            Release(r.style);
            break;
        }
        case XF_OBJ_ELLIPSE: {
            const tagXF_RECT3DD& box = object->GetObjEllipse()->GetRect();
            s.parts.push_back({{box.x1, box.y1, box.z1}, {box.x2, box.y2, box.z2}});
            VECTOR_ELLIPSE_STYLE r{};
            object->GetObjEllipse()->GetStyle(&r);
            s.penWidth = r.width;
            s.style = Hex(r.color) + " " + Describe(r.style);
            Release(r.style);
            break;
        }
        case XF_OBJ_TEXT: {
            Cgeo_VectorText* t = object->GetObjText();
            CXF_Point3DD at = t->GetTextPoint();
            s.parts.push_back({at});
            s.text = t->GetText();
            VECTOR_TEXT_STYLE r{};
            t->GetStyle(&r);
            s.style = Hex(r.color) + " height " + Real(r.height) + " angle " + Real(r.angle) + " " +
                      Describe(r.style);
            Release(r.style);
            break;
        }
        default:
            break;
    }
    return s;
}

std::string ValueText(const CVectorColumn& column, const void* value) {
    if (value == nullptr) {
        return "-";
    }
    auto load = [value](auto v) {
        std::memcpy(&v, value, sizeof v);
        return v;
    };
    switch (column.type) {
        case 1:
            return std::string("'") + static_cast<const char*>(value) + "'";
        case 2:
            return std::to_string(load(uint8_t{}));
        case 3:
            return std::to_string(load(uint16_t{}));
        case 4:
            return std::to_string(load(int16_t{}));
        case 5:
            return std::to_string(load(uint32_t{}));
        case 6:
        case 11:
            return std::to_string(load(int32_t{}));
        case 7:
            return Real(static_cast<double>(load(float{})));
        case 8:
        case 9:
            return Real(load(double{}));
        case 10: {
            uint16_t d[3];
            std::memcpy(d, value, sizeof d);
            return std::to_string(d[0]) + "-" + std::to_string(d[1]) + "-" + std::to_string(d[2]);
        }
        default:
            return "?";
    }
}

// Imports a MIF/MID pair through the plug-in into a new document.
bool Import(const PluginLibrary& lib, const std::string& path, CExportDocument& doc,
            CImported& out) {
    auto open = lib.Get<XF_OpenFn>("XF_Open");
    auto read = lib.Get<XF_ReadFn>("XF_Read");
    auto close = lib.Get<XF_CloseFn>("XF_Close");
    if (open == nullptr || read == nullptr || close == nullptr) {
        return false;
    }
    CGEO geo;
    CXF_FileInfo info;
    info.mainApp = geo.GetApp();
    if (open(&geo, &info, path.c_str()) != 1) {
        return false;
    }
    int read1 = read(&info, 0, &geo, doc.vector, 0);
    close(&info);
    if (read1 != 1) {
        return false;
    }
    Cgeo_VectorColumns* columns = doc.vector->GetVectorTable()->GetVectorColumns();
    for (int j = 0; j < columns->GetSize(); ++j) {
        out.columns.push_back(*columns->Get(j));
    }
    Cgeo_VectorObjectStream stream(doc.vector, XF_STREAM_READ);
    for (int64_t k = 0; k < doc.vector->GetObjectCount(); ++k) {
        out.shapes.push_back(ShapeOf(stream.GetVectorObject(k, nullptr, nullptr)));
        out.values.emplace_back();
        for (int j = 0; j < columns->GetSize(); ++j) {
            out.values.back().push_back(
                ValueText(*columns->Get(j), doc.vector->GetVectorTable()->GetColumnValue(k, j)));
        }
    }
    return true;
}

std::vector<std::string> SampleFiles() {
    std::vector<std::string> files;
    std::string dir = SamplesDir();
    if (dir.empty() || !std::filesystem::is_directory(dir)) {
        return files;
    }
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
        std::string ext = entry.path().extension().string();
        if (entry.is_regular_file() && (ext == ".mif" || ext == ".MIF")) {
            files.push_back(entry.path().string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

// The text with every line break (CR LF, CR, LF) made a line feed.
std::string LineBreaksAsLf(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            out += '\n';
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            out += text[i];
        }
    }
    return out;
}

bool Near(double a, double b, double tolerance) {
    return std::fabs(a - b) <= tolerance + 1e-15 * std::fabs(a);
}

// Imports 2 and 3 must be the same document, value for value.
void ExpectSame(const CImported& a, const CImported& b) {
    ASSERT_EQ(a.columns.size(), b.columns.size());
    for (size_t j = 0; j < a.columns.size(); ++j) {
        EXPECT_EQ(a.columns[j].name, b.columns[j].name);
        EXPECT_EQ(a.columns[j].type, b.columns[j].type);
        EXPECT_EQ(a.columns[j].width, b.columns[j].width);
        EXPECT_EQ(a.columns[j].decimals, b.columns[j].decimals);
    }
    ASSERT_EQ(a.shapes.size(), b.shapes.size());
    for (size_t k = 0; k < a.shapes.size(); ++k) {
        SCOPED_TRACE("object " + std::to_string(k));
        const CShape& x = a.shapes[k];
        const CShape& y = b.shapes[k];
        EXPECT_EQ(x.type, y.type);
        EXPECT_EQ(x.text, y.text);
        EXPECT_EQ(x.style, y.style);
        EXPECT_EQ(x.penWidth, y.penWidth);
        ASSERT_EQ(x.parts.size(), y.parts.size());
        for (size_t p = 0; p < x.parts.size(); ++p) {
            ASSERT_EQ(x.parts[p].size(), y.parts[p].size()) << "part " << p;
            for (size_t i = 0; i < x.parts[p].size(); ++i) {
                EXPECT_EQ(x.parts[p][i].x, y.parts[p][i].x);
                EXPECT_EQ(x.parts[p][i].y, y.parts[p][i].y);
            }
        }
        EXPECT_EQ(a.values[k], b.values[k]);
    }
}

// Imports 1 and 2: the file read by another program against our own export of it. The host
// model keeps less than the file in these places, and only there may they differ:
// - a file without columns gains the fallback column "id" (a MIF table has at least one column),
//   which holds no values;
// - coordinates and Float values are written with six decimals; Decimal values with the
//   column's decimals;
// - a 32-bit float value is written from its widened value, so it agrees to six decimals or to
//   the float's own precision;
// - a pen width of 0 is written as 0 and the reader makes every pen at least 1 pixel wide;
// - a text value never set is written as an empty text, since a MID record has no "no value";
// - a line break inside a text value is written as the two characters \n, so that a value can
//   never split its record, and the reader makes it a line feed again.
void ExpectAgree(const CImported& first, const CImported& second) {
    size_t columns = first.columns.size();
    if (columns == 0) {
        ASSERT_EQ(second.columns.size(), 1u);
        EXPECT_EQ(second.columns[0].name, "id");
    } else {
        ASSERT_EQ(second.columns.size(), columns);
    }
    ASSERT_EQ(first.shapes.size(), second.shapes.size());
    for (size_t k = 0; k < first.shapes.size(); ++k) {
        SCOPED_TRACE("object " + std::to_string(k));
        const CShape& x = first.shapes[k];
        const CShape& y = second.shapes[k];
        EXPECT_EQ(x.type, y.type);
        EXPECT_EQ(x.text, y.text);
        if (x.penWidth != y.penWidth) {
            EXPECT_EQ(x.penWidth, 0u) << "only a width of 0 may change";
            EXPECT_EQ(y.penWidth, 1u);
        }
        ASSERT_EQ(x.parts.size(), y.parts.size());
        for (size_t p = 0; p < x.parts.size(); ++p) {
            ASSERT_EQ(x.parts[p].size(), y.parts[p].size()) << "part " << p;
            for (size_t i = 0; i < x.parts[p].size(); ++i) {
                EXPECT_TRUE(Near(x.parts[p][i].x, y.parts[p][i].x, 5e-7)) << p << "/" << i;
                EXPECT_TRUE(Near(x.parts[p][i].y, y.parts[p][i].y, 5e-7)) << p << "/" << i;
            }
        }
        for (size_t j = 0; j < columns; ++j) {
            const CVectorColumn& c = first.columns[j];
            const std::string& u = first.values[k][j];
            const std::string& v = second.values[k][j];
            SCOPED_TRACE("column " + c.name);
            if (c.type == 7 || c.type == 8 || c.type == 9) {
                double tolerance =
                    c.type == 9 && c.decimals < 6 ? 0.5 * std::pow(10.0, -c.decimals) : 5e-7;
                double a = std::atof(u.c_str());
                double b = std::atof(v.c_str());
                bool floatClose = c.type == 7 && Near(a, b, std::fabs(a) * 1.2e-7);
                EXPECT_TRUE(Near(a, b, tolerance) || floatClose) << u << " / " << v;
            } else if (c.type == 1 && u == "-") {
                EXPECT_EQ(v, "''") << "a value never set is written as an empty text";
            } else if (c.type == 1) {
                EXPECT_EQ(LineBreaksAsLf(u), v);
            } else {
                EXPECT_EQ(u, v);
            }
        }
    }
}

TEST(RoundTrip, EverySampleSurvivesImportExportImport) {
    std::vector<std::string> files = SampleFiles();
    if (files.empty()) {
        GTEST_SKIP() << "MIF_SAMPLES_DIR is not set: the sample files are not checked";
    }
    PluginLibrary lib;
    ASSERT_TRUE(lib.Loaded()) << PluginLibrary::Error();
    ASSERT_NE(lib.Get<XF_ReadFn>("XF_Read"), nullptr);
    size_t compared = 0;
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        TempDir dir;
        CExportDocument doc1, doc2, doc3;
        CImported first, second, third;
        ASSERT_TRUE(Import(lib, file, doc1, first));
        CSaveResult out1 = SaveThroughPlugin(doc1.document, dir.Path("one.mif"));
        ASSERT_NE(out1.result, 0) << "error code " << out1.errorCode;
        ASSERT_TRUE(Import(lib, dir.Path("one.mif"), doc2, second));
        CSaveResult out2 = SaveThroughPlugin(doc2.document, dir.Path("two.mif"));
        ASSERT_NE(out2.result, 0) << "error code " << out2.errorCode;
        ASSERT_TRUE(Import(lib, dir.Path("two.mif"), doc3, third));
        {
            SCOPED_TRACE("imports 2 and 3");
            ExpectSame(second, third);
        }
        {
            SCOPED_TRACE("imports 1 and 2");
            ExpectAgree(first, second);
        }
        compared += first.shapes.size();
    }
    EXPECT_GT(compared, 1000u) << "the samples hold thousands of objects";
}

// Columns of types this reader does not know (newer files have LargeInt, Time, DateTime) keep
// their values as text, and a Char value with line breaks, backslashes (one standing before an
// n among them), quotes and delimiters comes back byte for byte, through import and export.
TEST(RoundTrip, ColumnsOfUnknownTypesAndEscapedCharValuesKeepTheirValues) {
    PluginLibrary lib;
    ASSERT_TRUE(lib.Loaded()) << PluginLibrary::Error();
    TempDir dir;
    WriteFile(dir.Path("new.mif"),
              "Version 1520\r\nColumns 5\r\n  big LargeInt\r\n  at Time\r\n"
              "  stamp DateTime\r\n  n Integer\r\n  note Char(60)\r\n"
              "Data\r\nPoint 1 2\r\nPoint 3 4\r\n");
    WriteFile(dir.Path("new.mid"),
              "123456789012345\t235900000\t20220323145600000\t7\t"
              "\"a\\nb c:\\\\new\\\\ \"\"q\"\"\t,\"\r\n-5\t\t\t8\t\\\\\\n\r\n");
    CExportDocument doc1, doc2;
    CImported first, second;
    ASSERT_TRUE(Import(lib, dir.Path("new.mif"), doc1, first));
    ASSERT_EQ(first.columns.size(), 5u);
    for (int j = 0; j < 3; ++j) {
        EXPECT_EQ(first.columns[j].type, 1) << "column " << j << " holds text";
    }
    ASSERT_EQ(first.values.size(), 2u);
    EXPECT_EQ(first.values[0],
              (std::vector<std::string>{"'123456789012345'", "'235900000'", "'20220323145600000'",
                                        "7", "'a\nb c:\\new\\ \"q\"\t,'"}));
    EXPECT_EQ(first.values[1][4], "'\\\n'");
    CSaveResult saved = SaveThroughPlugin(doc1.document, dir.Path("copy.mif"));
    ASSERT_NE(saved.result, 0) << "error code " << saved.errorCode;
    ASSERT_TRUE(Import(lib, dir.Path("copy.mif"), doc2, second));
    EXPECT_EQ(second.values, first.values);
}

}  // namespace

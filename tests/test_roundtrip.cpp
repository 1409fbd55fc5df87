#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "test_export_util.h"

namespace {

// One host object as the comparisons see it: its kind, its point lists (points, sections, rings,
// the ellipse box or the text point), its text and its pen width.
struct CShape {
    int type = -1;
    std::vector<std::vector<tagXF_POINT3DD>> parts;
    std::string text;
    uint32_t penWidth = 0;
};

// A host document as imported: columns, objects, and every attribute value as ValueText gives it.
struct CImported {
    std::vector<CVectorColumn> columns;
    std::vector<CShape> shapes;
    std::vector<std::vector<std::string>> values;  // [row][column]
};

std::vector<tagXF_POINT3DD> Points(const tagXF_POINT3DD* data, int n) {
    return data != nullptr ? std::vector<tagXF_POINT3DD>(data, data + n)
                           : std::vector<tagXF_POINT3DD>();
}

// The width of a style record, releasing the style reference it hands out.
template <typename Record, typename Geometry>
uint32_t PenWidth(Geometry* geometry) {
    Record r{};
    geometry->GetStyle(&r);
    if (r.style != nullptr) {
        r.style->GetStyleObject()->Release();
    }
    return r.width;
}

CShape ShapeOf(Cgeo_VectorObject* object) {
    CShape s;
    s.type = object->GetType();
    if (Cgeo_VectorPoint* p = object->GetObjPoint()) {
        s.parts.push_back(Points(p->GetData(), p->GetNumPoints()));
    } else if (Cgeo_VectorLine* l = object->GetObjLine()) {
        for (int k = 0; k < l->GetNumSection(); ++k) {
            s.parts.push_back(Points(l->GetData(k), l->GetNumPoints(k)));
        }
        s.penWidth = PenWidth<VECTOR_LINE_STYLE>(l);
    } else if (Cgeo_VectorPolygon* polygon = object->GetObjPolygon()) {
        CXF_RegionCmx* region = polygon->GetRegion();
        for (int k = 0; k < region->GetPolygonSize(); ++k) {
            CXF_PolygonD* ring = region->GetPolygon(k);
            s.parts.push_back(Points(ring->GetData(), ring->GetSize()));
        }
        s.penWidth = PenWidth<VECTOR_POLYGON_STYLE>(polygon);
    } else if (Cgeo_VectorEllipse* e = object->GetObjEllipse()) {
        const tagXF_RECT3DD& box = e->GetRect();
        s.parts.push_back({{box.x1, box.y1, box.z1}, {box.x2, box.y2, box.z2}});
        s.penWidth = PenWidth<VECTOR_ELLIPSE_STYLE>(e);
    } else if (Cgeo_VectorText* t = object->GetObjText()) {
        s.parts.push_back({t->GetTextPoint()});
        s.text = t->GetText();
    }
    return s;
}

CImported Gather(CExportDocument& doc) {
    CImported out;
    Cgeo_VectorTable* table = doc.vector->GetVectorTable();
    Cgeo_VectorColumns* columns = table->GetVectorColumns();
    for (int j = 0; j < columns->GetSize(); ++j) {
        out.columns.push_back(*columns->Get(j));
    }
    for (int64_t k = 0; k < doc.vector->GetObjectCount(); ++k) {
        out.shapes.push_back(ShapeOf(doc.vector->GetObjectAt(k)));
        out.values.emplace_back();
        for (int j = 0; j < columns->GetSize(); ++j) {
            out.values.back().push_back(ValueText(*columns->Get(j), table->GetColumnValue(k, j)));
        }
    }
    return out;
}

// The text with every line break (CR LF, CR, LF) made a line feed.
std::string LineBreaksAsLf(std::string text) {
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
        text.erase(at, 1);
    }
    std::replace(text.begin(), text.end(), '\r', '\n');
    return text;
}

bool Near(double a, double b, double tolerance) {
    return std::fabs(a - b) <= tolerance + 1e-15 * std::fabs(a);
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
// - a value never set (the file had no MID, or a short record) is written as an empty field,
//   since a MID record has no "no value", and reads back as an empty text, 0 or false;
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
            if (u == "-" && c.type != XF_COL_DATE) {
                const char* empty = c.type == XF_COL_TEXT      ? "''"
                                    : c.type == XF_COL_LOGICAL ? "F"
                                                               : "0";
                EXPECT_EQ(v, empty) << "a value never set is written as an empty field";
            } else if (c.type == XF_COL_FLOAT || c.type == XF_COL_DOUBLE ||
                       c.type == XF_COL_DECIMAL) {
                double tolerance = c.type == XF_COL_DECIMAL && c.decimals < 6
                                       ? 0.5 * std::pow(10.0, -c.decimals)
                                       : 5e-7;
                double a = std::atof(u.c_str());
                double b = std::atof(v.c_str());
                bool floatClose = c.type == XF_COL_FLOAT && Near(a, b, std::fabs(a) * 1.2e-7);
                EXPECT_TRUE(Near(a, b, tolerance) || floatClose) << u << " / " << v;
            } else if (c.type == XF_COL_TEXT) {
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
    size_t compared = 0;
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        TempDir dir;
        CExportDocument doc[3];
        CSaveResult out[3];
        for (int pass = 0; pass < 3; ++pass) {
            std::string in = pass == 0 ? file : dir.Path(std::to_string(pass) + ".mif");
            ASSERT_TRUE(ImportThroughPlugin(in, doc[pass])) << "pass " << pass;
            out[pass] =
                SaveThroughPlugin(doc[pass].document, dir.Path(std::to_string(pass + 1) + ".mif"));
            ASSERT_NE(out[pass].result, 0)
                << "pass " << pass << ", error code " << out[pass].errorCode;
        }
        std::string report;
        if (NoProgram("ogrinfo") == nullptr) {
            EXPECT_EQ(OgrFeatures(dir.Path("1.mif"), report).size(),
                      static_cast<size_t>(doc[0].vector->GetObjectCount()))
                << "GDAL reads every object we wrote, even of files it cannot read itself";
        }
        // What our own export wrote reads back and is written again the same, byte for byte.
        EXPECT_TRUE(out[1].mif == out[2].mif) << "MIF files 2 and 3 differ";
        EXPECT_TRUE(out[1].mid == out[2].mid) << "MID files 2 and 3 differ";
        CImported first = Gather(doc[0]);
        SCOPED_TRACE("imports 1 and 2");
        ExpectAgree(first, Gather(doc[1]));
        compared += first.shapes.size();
    }
    EXPECT_GT(compared, 1000u) << "the samples hold thousands of objects";
}

// Columns of types this reader does not know (newer files have LargeInt, Time, DateTime) keep
// their values as text, and a Char value with line breaks, backslashes (one standing before an
// n among them), quotes and delimiters comes back byte for byte, through import and export.
TEST(RoundTrip, ColumnsOfUnknownTypesAndEscapedCharValuesKeepTheirValues) {
    TempDir dir;
    WriteFile(dir.Path("new.mif"),
              "Version 1520\r\nColumns 5\r\n  big LargeInt\r\n  at Time\r\n"
              "  stamp DateTime\r\n  n Integer\r\n  note Char(60)\r\n"
              "Data\r\nPoint 1 2\r\nPoint 3 4\r\n");
    WriteFile(dir.Path("new.mid"),
              "123456789012345\t235900000\t20220323145600000\t7\t"
              "\"a\\nb c:\\\\new\\\\ \"\"q\"\"\t,\"\r\n-5\t\t\t8\t\\\\\\n\r\n");
    CExportDocument doc1, doc2;
    ASSERT_TRUE(ImportThroughPlugin(dir.Path("new.mif"), doc1));
    CImported first = Gather(doc1);
    ASSERT_EQ(first.columns.size(), 5u);
    for (int j = 0; j < 3; ++j) {
        EXPECT_EQ(first.columns[j].type, XF_COL_TEXT) << "column " << j << " holds text";
    }
    ASSERT_EQ(first.values.size(), 2u);
    EXPECT_EQ(first.values[0],
              (std::vector<std::string>{"'123456789012345'", "'235900000'", "'20220323145600000'",
                                        "7", "'a\nb c:\\new\\ \"q\"\t,'"}));
    EXPECT_EQ(first.values[1][4], "'\\\n'");
    CSaveResult saved = SaveThroughPlugin(doc1.document, dir.Path("copy.mif"));
    ASSERT_NE(saved.result, 0) << "error code " << saved.errorCode;
    ASSERT_TRUE(ImportThroughPlugin(dir.Path("copy.mif"), doc2));
    EXPECT_EQ(Gather(doc2).values, first.values);
}

// Values longer than their Char column (tools that ignore the width, and every UTF-8 or CJK file,
// where the width counts characters, not bytes) come back whole through import, export and import
// again: no byte is cut, so no character is split.
TEST(RoundTrip, TextValuesLongerThanTheirColumnStayWhole) {
    const struct {
        const char* charset;
        std::string value;
    } cases[] = {
        {"UTF-8", "\xD0\x97\xD0\xBD\xD0\xB0\xD1\x87\xD0\xB5\xD0\xBD\xD0\xB8\xD0\xB5 \xD0\x90"},
        {"WindowsSimpChinese", "\xD6\xD0\xBB\xAA\xC8\xCB\xC3\xF1\xB9\xB2\xBA\xCD\xB9\xFA"},
        {"WindowsLatin1", "Grande Pharmacie du March\xE9 Saint-Andr\xE9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.charset);
        TempDir dir;
        WriteFile(dir.Path("in.mif"),
                  std::string("Version 300\r\nCharset \"") + c.charset +
                      "\"\r\nDelimiter \",\"\r\nColumns 2\r\n  name Char(10)\r\n  n Integer\r\n"
                      "Data\r\nPoint 1 2\r\nPoint 3 4\r\n");
        WriteFile(dir.Path("in.mid"), "\"" + c.value + "\",1\r\nshort,2\r\n");
        CExportDocument doc1, doc2;
        ASSERT_TRUE(ImportThroughPlugin(dir.Path("in.mif"), doc1));
        CImported first = Gather(doc1);
        EXPECT_EQ(first.columns[0].width, static_cast<int>(c.value.size()));
        EXPECT_EQ(first.values[0][0], "'" + c.value + "'");
        EXPECT_EQ(first.values[1][0], "'short'");
        CSaveResult saved = SaveThroughPlugin(doc1.document, dir.Path("out.mif"));
        ASSERT_NE(saved.result, 0) << "error code " << saved.errorCode;
        ASSERT_TRUE(ImportThroughPlugin(dir.Path("out.mif"), doc2));
        EXPECT_EQ(Gather(doc2).values, first.values);
    }
}

}  // namespace

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "plugin/entry_points.h"
#include "plugin/host/app.h"
#include "plugin/host/file_info.h"
#include "plugin/host/main_frame.h"
#include "plugin/host/style.h"
#include "plugin/host/table.h"
#include "plugin/host/vector.h"
#include "test_util.h"

namespace {

// The shared plug-in driven as the host drives it: XF_Open, XF_Read into a fresh layer, and
// XF_Close when the import goes.
class Import {
public:
    Import() {
        open = lib.Get<XF_OpenFn>("XF_Open");
        read = lib.Get<XF_ReadFn>("XF_Read");
        close = lib.Get<XF_CloseFn>("XF_Close");
        info.mainApp = geo.GetApp();
        frame()->ResetRecord();
    }
    ~Import() {
        if (close != nullptr) {
            close(&info);
        }
    }
    Import(const Import&) = delete;
    Import& operator=(const Import&) = delete;

    bool Ready() const { return lib.Loaded() && open != nullptr && read != nullptr && close; }
    // Writes the MIF text (and the MID text unless it is null) and opens the pair.
    int Open(const std::string& mif, const char* mid = nullptr) {
        WriteFile(dir.Path("t.mif"), mif);
        if (mid != nullptr) {
            WriteFile(dir.Path("t.mid"), mid);
        }
        return OpenPath(dir.Path("t.mif"));
    }
    int OpenPath(const std::string& path) { return open(&geo, &info, path.c_str()); }
    int Read() { return read(&info, 0, &geo, &vector, 0); }

    Cgeo_MainFrame* frame() { return geo.GetApp()->GetMainFrame(); }
    Cgeo_VectorObject* At(int64_t id) { return vector.GetObjectAt(id); }
    const void* Value(int64_t id, int column) {
        return vector.GetVectorTable()->GetColumnValue(id, column);
    }
    std::string Text(int64_t id, int column) {
        const void* v = Value(id, column);
        return v != nullptr ? static_cast<const char*>(v) : "<unset>";
    }
    template <typename T>
    T Get(int64_t id, int column) {
        T out{};
        const void* v = Value(id, column);
        if (v != nullptr) {
            std::memcpy(&out, v, sizeof out);
        }
        return out;
    }

    PluginLibrary lib;
    XF_OpenFn open = nullptr;
    XF_ReadFn read = nullptr;
    XF_CloseFn close = nullptr;
    TempDir dir;
    CGEO geo;
    CXF_FileInfo info;
    Cgeo_Vector vector;
};

std::string Header(const std::string& columns) {
    return "Version 300\r\nCharset \"WindowsCyrillic\"\r\nDelimiter \",\"\r\n"
           "CoordSys Earth Projection 1, 0\r\n" +
           columns + "Data\r\n\r\n";
}

// Points of line section s, or of polygon ring s, as "x,y x,y ...".
std::string Points(const tagXF_POINT3DD* p, int n) {
    std::string out;
    char text[64];
    for (int i = 0; i < n; ++i) {
        std::snprintf(text, sizeof text, "%s%g,%g", i > 0 ? " " : "", p[i].x, p[i].y);
        out += text;
    }
    return out;
}
std::string LinePoints(Cgeo_VectorObject* o, int section) {
    Cgeo_VectorLine* line = o->GetObjLine();
    return Points(line->GetData(section), line->GetNumPoints(section));
}
std::string RingPoints(Cgeo_VectorObject* o, int ring) {
    CXF_PolygonD* r = o->GetObjPolygon()->GetRegion()->GetPolygon(ring);
    return Points(r->GetData(), r->GetSize());
}

TEST(Import, EveryKindBecomesItsHostObjectWithItsRecordPaired) {
    Import im;
    ASSERT_TRUE(im.Ready()) << dlerror();
    const std::string mif = Header("Columns 1\r\n  id Integer\r\n") +
                            "Point 1 2\r\n"
                            "Line 0 0 3 4\r\n"
                            "Pline Multiple 2\r\n  3\r\n0 0\r\n1 1\r\n2 0\r\n  4\r\n5 5\r\n6 6\r\n"
                            "7 5\r\n8 8\r\n"
                            "Region 2\r\n  5\r\n0 0\r\n4 0\r\n4 4\r\n0 4\r\n0 0\r\n"
                            "  3\r\n1 1\r\n2 1\r\n2 2\r\n"
                            "Rect 0 0 10 5\r\n"
                            "RoundRect 1 1 3 3 0.5\r\n"
                            "Arc 0 0 4 2\r\n  0 90\r\n"
                            "Ellipse 1 2 5 8\r\n"
                            "Text\r\n  \"two\\nlines\"\r\n  0 0 10 4\r\n"
                            "MultiPoint 3\r\n1 1\r\n2 2\r\n3 3\r\n"
                            "Collection 1\r\n  Multipoint 1\r\n9 9\r\n"
                            "None\r\n"
                            "Point 7 8\r\n";
    std::string mid;
    for (int i = 1; i <= 13; ++i) {
        mid += std::to_string(i) + "\r\n";
    }
    ASSERT_EQ(im.Open(mif, mid.c_str()), 1);
    ASSERT_EQ(im.Read(), 1);
    ASSERT_EQ(im.vector.GetObjectCount(), 12) << "the collection is dropped";

    const int types[] = {1, 2, 2, 3, 3, 3, 2, 4, 5, 1, 0, 1};
    const int ids[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 13};
    for (int k = 0; k < 12; ++k) {
        ASSERT_NE(im.At(k), nullptr);
        EXPECT_EQ(im.At(k)->GetType(), types[k]) << "object " << k;
        EXPECT_EQ(im.Get<int32_t>(k, 0), ids[k]) << "object " << k << " keeps its own record";
    }

    EXPECT_EQ(Points(im.At(0)->GetObjPoint()->GetData(), 1), "1,2");
    EXPECT_EQ(im.At(1)->GetObjLine()->GetNumSection(), 1);
    EXPECT_EQ(LinePoints(im.At(1), 0), "0,0 3,4");
    ASSERT_EQ(im.At(2)->GetObjLine()->GetNumSection(), 2);
    EXPECT_EQ(LinePoints(im.At(2), 0), "0,0 1,1 2,0");
    EXPECT_EQ(LinePoints(im.At(2), 1), "5,5 6,6 7,5 8,8");

    // The closing repeat is dropped; a ring written without it keeps every vertex.
    CXF_RegionCmx* region = im.At(3)->GetObjPolygon()->GetRegion();
    ASSERT_EQ(region->GetPolygonSize(), 2);
    EXPECT_EQ(RingPoints(im.At(3), 0), "0,0 4,0 4,4 0,4");
    EXPECT_EQ(RingPoints(im.At(3), 1), "1,1 2,1 2,2");
    EXPECT_EQ(region->GetPolygon(0)->IsExternal(), 1);
    EXPECT_EQ(region->GetPolygon(1)->IsExternal(), 0) << "outer rings were defined";

    EXPECT_EQ(RingPoints(im.At(4), 0), "0,0 10,0 10,5 0,5");
    EXPECT_EQ(RingPoints(im.At(5), 0), "1,1 3,1 3,3 1,3");

    // Arc from 0 to 90 degrees in the box (0,0)-(4,2): from (4,1) to (2,2).
    Cgeo_VectorLine* arc = im.At(6)->GetObjLine();
    ASSERT_GE(arc->GetNumPoints(0), 2);
    const tagXF_POINT3DD* a = arc->GetData(0);
    int last = arc->GetNumPoints(0) - 1;
    EXPECT_NEAR(a[0].x, 4.0, 1e-6);
    EXPECT_NEAR(a[0].y, 1.0, 1e-6);
    EXPECT_NEAR(a[last].x, 2.0, 1e-6);
    EXPECT_NEAR(a[last].y, 2.0, 1e-6);

    const tagXF_RECT3DD& box = im.At(7)->GetObjEllipse()->GetRect();
    EXPECT_EQ(box.x1, 1.0);
    EXPECT_EQ(box.y1, 2.0);
    EXPECT_EQ(box.x2, 5.0);
    EXPECT_EQ(box.y2, 8.0);

    Cgeo_VectorText* text = im.At(8)->GetObjText();
    EXPECT_STREQ(text->GetText(), "two\r\nlines");
    EXPECT_EQ(text->GetTextPoint().x, 5.0);
    EXPECT_EQ(text->GetTextPoint().y, 2.0);

    Cgeo_VectorPoint* multi = im.At(9)->GetObjPoint();
    EXPECT_EQ(Points(multi->GetData(), multi->GetNumPoints()), "1,1 2,2 3,3");
    EXPECT_EQ(Points(im.At(11)->GetObjPoint()->GetData(), 1), "7,8");

    EXPECT_EQ(im.vector.GetUpdateGridCount(), 1);
    EXPECT_EQ(im.vector.GetGridBounds().x2, 10.0);
}

}  // namespace

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "plugin/host/app.h"
#include "plugin/host/document.h"
#include "plugin/host/file_info.h"
#include "plugin/host/fnc_string.h"
#include "plugin/host/main_frame.h"
#include "plugin/host/style.h"
#include "plugin/host/text.h"
#include "plugin/host/vector.h"
#include "test_export_util.h"

namespace {

Cgeo_VectorObject* MakePoint(Cgeo_Vector& vector, double x, double y) {
    Cgeo_VectorObject* object = vector.CreateObject(XF_OBJ_POINT);
    tagXF_POINT3DD p{x, y, 0.0};
    object->GetObjPoint()->AddPoints(1, &p);
    return object;
}

CXF_PolygonD* SetSquare(CXF_RegionCmx* region, int ring, double x1, double y1, double x2,
                        double y2) {
    CXF_PolygonD* p = region->GetPolygon(ring);
    p->SetSize(4);
    tagXF_POINT3DD* d = p->GetData();
    d[0] = {x1, y1, 0.0};
    d[1] = {x2, y1, 0.0};
    d[2] = {x2, y2, 0.0};
    d[3] = {x1, y2, 0.0};
    return p;
}

// Styles

TEST(HostStyles, SetCopiesKeepTheSourceIdentifierAndTheirOwnColours) {
    CXF_ManagerVectorStyle manager;
    CXF_StyleSet set;
    CXF_StyleObject* source = manager.GetDefaultPolygonStyle();
    ASSERT_NE(source, nullptr);
    CXF_StyleObject* first = set.Add(source);
    CXF_StyleObject* second = set.Add(source);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second) << "every add makes its own copy";
    EXPECT_NE(first, source);
    EXPECT_TRUE(CXF_StyleObject::SameIdentifier(first, second));
    EXPECT_TRUE(CXF_StyleObject::SameIdentifier(first, source));
    EXPECT_FALSE(CXF_StyleObject::SameIdentifier(first, set.Add(manager.GetDefaultLineStyle())));

    first->GetPolygon()->GetElement(0)->GetFill()->SetColor(0x0000FF);
    second->GetPolygon()->GetElement(0)->GetFill()->SetColor(0x00FF00);
    EXPECT_EQ(first->GetPolygon()->GetElement(0)->GetColor(), 0x0000FFu);
    EXPECT_EQ(second->GetPolygon()->GetElement(0)->GetColor(), 0x00FF00u);
    EXPECT_EQ(source->GetPolygon()->GetElement(0)->GetColor(), 0xFFFFFFu) << "source untouched";
    EXPECT_EQ(first->GetPolygon()->GetStyleObject(), first) << "faces belong to the copy";
    EXPECT_EQ(set.Add(nullptr), nullptr);
    EXPECT_EQ(set.GetCount(), 3);
}

TEST(HostStyles, ReferencesFollowObjectsAndReachZero) {
    CXF_StyleObject* style = CXF_StyleObject::Create("own");
    EXPECT_EQ(style->GetRefCount(), 1);
    {
        Cgeo_Vector vector;
        Cgeo_VectorObjectStream stream(&vector, XF_STREAM_WRITE);
        Cgeo_VectorObject* object = MakePoint(vector, 1, 2);
        VECTOR_POINT_STYLE record{};
        record.style = style->GetMarker();
        object->GetObjPoint()->SetStyle(&record);
        EXPECT_EQ(style->GetRefCount(), 2) << "the object holds one";
        EXPECT_EQ(stream.AddObject(object, 0), 0);
        EXPECT_EQ(style->GetRefCount(), 3) << "and so does its stored copy";
        object->DeleteObject();
        EXPECT_EQ(style->GetRefCount(), 2);

        CXF_StyleObject* got = vector.GetObjectAt(0)->GetStyle();
        EXPECT_EQ(got, style);
        EXPECT_EQ(style->GetRefCount(), 3) << "GetStyle hands out a reference";
        EXPECT_EQ(got->Release(), 2);

        vector.SetMiniatureStyleMarker(style->GetMarker(), 7, 9);
        EXPECT_EQ(style->GetRefCount(), 3) << "the legend holds one";
    }
    EXPECT_EQ(style->GetRefCount(), 1) << "the layer let go of everything";
    EXPECT_EQ(style->Release(), 0);  // freed: the sanitizer build reports any later use

    // A polygon element keeps the style it outlines with.
    CXF_ManagerVectorStyle manager;
    CXF_StyleObject* line = manager.GetDefaultLineStyle();
    int before = line->GetRefCount();
    {
        CXF_StyleSet set;
        CXF_StyleObject* polygon = set.Add(manager.GetDefaultPolygonStyle());
        polygon->GetPolygon()->GetElement(0)->SetStyleObject(line);
        EXPECT_EQ(line->GetRefCount(), before + 1);
        set.Add(polygon);  // the copy's element holds one more
        EXPECT_EQ(line->GetRefCount(), before + 2);
    }
    EXPECT_EQ(line->GetRefCount(), before);
}

TEST(HostStyles, StoredObjectsDrawnAlikeShareOneStyleAndUnusedCopiesGo) {
    CXF_ManagerVectorStyle manager;
    Cgeo_Vector vector;
    Cgeo_VectorObjectStream stream(&vector, XF_STREAM_WRITE);
    const std::uint32_t colours[4] = {0x0000FF, 0x0000FF, 0x00FF00, 0x0000FF};
    for (std::uint32_t colour : colours) {
        CXF_StyleObject* style = vector.GetStyleSet()->Add(manager.GetDefaultPolygonStyle());
        style->GetPolygon()->GetElement(0)->GetFill()->SetColor(colour);
        Cgeo_VectorObject* object = vector.CreateObject(XF_OBJ_POLYGON);
        VECTOR_POLYGON_STYLE record{};
        record.color = colour;
        record.style = style->GetPolygon();
        object->GetObjPolygon()->SetStyle(&record);
        ASSERT_GE(stream.AddObject(object, 0), 0);
        object->DeleteObject();
    }
    EXPECT_EQ(vector.GetStyleSet()->GetCount(), 2) << "one style per look, copies freed";
    VECTOR_POLYGON_STYLE r[4];
    for (int k = 0; k < 4; ++k) {
        vector.GetObjectAt(k)->GetObjPolygon()->GetStyle(&r[k]);
        ASSERT_NE(r[k].style, nullptr);
        EXPECT_EQ(r[k].color, colours[k]) << "object " << k << " keeps its record";
        EXPECT_EQ(r[k].style->GetStyleObject()->GetPolygon()->GetElement(0)->GetColor(),
                  colours[k]);
        EXPECT_TRUE(CXF_StyleObject::SameIdentifier(r[k].style->GetStyleObject(),
                                                    manager.GetDefaultPolygonStyle()));
    }
    EXPECT_EQ(r[0].style, r[1].style);
    EXPECT_EQ(r[0].style, r[3].style);
    EXPECT_NE(r[0].style, r[2].style);
    for (VECTOR_POLYGON_STYLE& record : r) {
        record.style->GetStyleObject()->Release();
    }
}

TEST(HostStyles, LinePatternListHasDocumentedNullEntriesAndUnitFactors) {
    CXF_ManagerVectorStyle manager;
    const std::vector<CXF_StyleObject*>* list = manager.GetLinePatterns();
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->size(), 128u);
    for (int i = 0; i < 128; ++i) {
        CXF_StyleObject* entry = (*list)[static_cast<size_t>(i)];
        if (i >= XF_LINE_PATTERN_DEFINED) {
            EXPECT_EQ(entry, nullptr) << "entry " << i;
            continue;
        }
        ASSERT_NE(entry, nullptr) << "entry " << i;
        EXPECT_EQ(entry->GetIntValue(), 1) << "entry " << i;
        for (int j = 0; j < i; ++j) {
            ASSERT_FALSE(CXF_StyleObject::SameIdentifier(entry, (*list)[static_cast<size_t>(j)]))
                << "entries " << j << " and " << i;
        }
    }
    EXPECT_EQ(XF_LINE_PATTERN_DEFINED, 118);
    EXPECT_FALSE((*list)[0]->GetLine()->IsVisible());
    EXPECT_TRUE((*list)[1]->GetLine()->GetDashes().empty()) << "entry 1 is solid";
    EXPECT_EQ(manager.GetDefaultLineStyle(), (*list)[1]);
    CXF_StyleElement* fill = manager.GetDefaultPolygonStyle()->GetPolygon()->GetElement(0);
    ASSERT_NE(fill, nullptr);
    EXPECT_EQ(fill->IsFill(), 1);
}

// Geometry

TEST(HostGeometry, ArcRunsCounterClockwiseFromStartToEnd) {
    Cgeo_Vector vector;
    Cgeo_VectorObject* object = vector.CreateObject(XF_OBJ_LINE);
    Cgeo_VectorLine* line = object->GetObjLine();
    const CXF_RectD box{0, 0, 4, 2};  // centre (2, 1), semi-axes 2 and 1
    const double pi = std::acos(-1.0);
    auto check = [&](CXF_Point3DD start, CXF_Point3DD end, int expectedPoints, const char* what) {
        int n = line->CreateLineFromArc(box, start, end);
        ASSERT_EQ(line->GetNumSection(), 1) << what;
        ASSERT_EQ(line->GetNumPoints(0), n) << what;
        EXPECT_EQ(n, expectedPoints) << what;
        const tagXF_POINT3DD* p = line->GetData(0);
        EXPECT_EQ(p[0].x, start.x) << what;
        EXPECT_EQ(p[0].y, start.y) << what;
        EXPECT_EQ(p[n - 1].x, end.x) << what;
        EXPECT_EQ(p[n - 1].y, end.y) << what;
        double previous = std::atan2(p[0].y - 1.0, (p[0].x - 2.0) / 2.0);
        for (int i = 1; i < n; ++i) {
            double u = (p[i].x - 2.0) / 2.0;
            double v = p[i].y - 1.0;
            EXPECT_NEAR(u * u + v * v, 1.0, 1e-9) << what << ": point " << i << " on the ellipse";
            double t = std::atan2(v, u);
            double turn = std::remainder(t - previous, 2.0 * pi);
            EXPECT_GT(turn, 0.0) << what << ": point " << i << " goes counter-clockwise";
            EXPECT_LE(turn, 5.0 * pi / 180.0 + 1e-9) << what << ": step of point " << i;
            previous = t;
        }
    };
    check({4, 1, 0}, {2, 2, 0}, 19, "quarter from 0 to 90 degrees");
    check({2, 2, 0}, {4, 1, 0}, 55, "three quarters from 90 round to 0 degrees");
    check({0, 1, 0}, {0, 1, 0}, 73, "same start and end: the whole ellipse");

    int n = line->CreateLineFromArc(CXF_RectD{0, 0, 4, 0}, {4, 0, 0}, {0, 0, 0});
    EXPECT_EQ(n, 2) << "a flat box gives its two end points";
    object->DeleteObject();
}

TEST(HostGeometry, DefineExternalTellsOuterRingsFromHoles) {
    Cgeo_Vector vector;
    Cgeo_VectorObject* object = vector.CreateObject(XF_OBJ_POLYGON);
    Cgeo_VectorPolygon* polygon = object->GetObjPolygon();
    polygon->SetPolygonSize(6);
    CXF_RegionCmx* region = polygon->GetRegion();
    SetSquare(region, 0, 0, 0, 10, 10);   // outer
    SetSquare(region, 1, 2, 2, 8, 8);     // hole in 0
    SetSquare(region, 2, 4, 4, 6, 6);     // island in the hole
    SetSquare(region, 3, 20, 0, 30, 10);  // a second outer ring
    SetSquare(region, 4, 22, 2, 28, 8);   // hole in 3
    region->GetPolygon(5)->SetSize(0);    // empty ring
    region->DefineExternal();
    const int expected[6] = {1, 0, 1, 1, 0, 1};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(region->GetPolygon(i)->IsExternal(), expected[i]) << "ring " << i;
    }
    EXPECT_EQ(region->GetPolygon(1)->GetBoundRect().x2, 8.0) << "bounds updated on the way";

    // A concave outer ring whose notch holds a separate ring: the notch is outside the area.
    polygon->SetPolygonSize(2);
    CXF_PolygonD* u = region->GetPolygon(0);
    u->SetSize(8);
    const tagXF_POINT3DD shape[8] = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {7, 10, 0},
                                     {7, 3, 0}, {3, 3, 0},  {3, 10, 0},  {0, 10, 0}};
    std::memcpy(u->GetData(), shape, sizeof shape);
    SetSquare(region, 1, 4, 5, 6, 9);
    region->DefineExternal();
    EXPECT_EQ(region->GetPolygon(1)->IsExternal(), 1) << "inside the bounding box only";
    object->DeleteObject();
}

// The outer rings by the definition itself: every ring tested against every other.
std::vector<int> OuterByEveryPair(CXF_RegionCmx& region) {
    std::vector<int> outer;
    for (int i = 0; i < region.GetPolygonSize(); ++i) {
        const CXF_PolygonD& ring = *region.GetPolygon(i);
        int depth = 0;
        for (int j = 0; j < region.GetPolygonSize() && ring.GetSize() > 0; ++j) {
            const CXF_PolygonD& other = *region.GetPolygon(j);
            const CXF_RectD& a = ring.GetBoundRect();
            const CXF_RectD& b = other.GetBoundRect();
            if (j == i || other.GetSize() < 3 || a.x1 < b.x1 || a.y1 < b.y1 || a.x2 > b.x2 ||
                a.y2 > b.y2) {
                continue;
            }
            bool inside = false;
            const tagXF_POINT3DD* p = other.GetData();
            double x = ring.GetData()[0].x;
            double y = ring.GetData()[0].y;
            for (int k = 0, l = other.GetSize() - 1; k < other.GetSize(); l = k++) {
                if ((p[k].y > y) != (p[l].y > y) &&
                    x < p[l].x + (y - p[l].y) * (p[k].x - p[l].x) / (p[k].y - p[l].y)) {
                    inside = !inside;
                }
            }
            depth += inside ? 1 : 0;
        }
        outer.push_back(depth % 2 == 0 ? 1 : 0);
    }
    return outer;
}

std::vector<int> Outer(const CXF_RegionCmx& region) {
    std::vector<int> outer;
    for (int i = 0; i < region.GetPolygonSize(); ++i) {
        outer.push_back(region.GetPolygon(i)->IsExternal());
    }
    return outer;
}

void SetRing(CXF_RegionCmx& region, int i, std::vector<tagXF_POINT3DD> points) {
    region.GetPolygon(i)->SetSize(static_cast<int>(points.size()));
    std::copy(points.begin(), points.end(), region.GetPolygon(i)->GetData());
}

// Rings that touch, repeat each other or share a box are marked as by testing every pair; large
// regions of disjoint, identical and nested rings take about n log n comparisons, not n * n.
TEST(HostGeometry, DefineExternalAgreesWithEveryPairAndScales) {
    using Ring = std::vector<tagXF_POINT3DD>;
    const Ring square = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}};
    const Ring diamond = {{5, 0, 0}, {10, 5, 0}, {5, 10, 0}, {0, 5, 0}};
    const Ring triangle = {{2, 2, 0}, {6, 2, 0}, {2, 6, 0}};
    const Ring corner = {{0, 0, 0}, {5, 1, 0}, {1, 5, 0}};  // inside, sharing a vertex
    const Ring beside = {{10, 0, 0}, {20, 0, 0}, {20, 10, 0}, {10, 10, 0}};
    const std::vector<std::vector<Ring>> cases = {
        {square, diamond},
        {diamond, square},
        {triangle, square, triangle, triangle, square},
        {corner, square},
        {square, beside},
        {square, {{3, 3, 0}}, {{4, 4, 0}, {5, 5, 0}}, triangle},
    };
    for (const auto& rings : cases) {
        CXF_RegionCmx region;
        region.SetPolygonSize(static_cast<int>(rings.size()));
        for (size_t i = 0; i < rings.size(); ++i) {
            SetRing(region, static_cast<int>(i), rings[i]);
        }
        region.DefineExternal();
        EXPECT_EQ(Outer(region), OuterByEveryPair(region)) << "case of " << rings.size();
    }

    const int n = 20000;
    for (const char* layout : {"disjoint", "identical", "nested", "nested inward"}) {
        SCOPED_TRACE(layout);
        CXF_RegionCmx region;
        region.SetPolygonSize(n);
        std::vector<int> expected;
        for (int i = 0; i < n; ++i) {
            double x = 3.0 * (i % 150);
            double y = 3.0 * (i / 150);
            double r = std::string(layout) == "nested inward"
                           ? n - i
                           : i + 1;  // ring 0 is the largest when inward
            if (layout[0] == 'd') {
                SetSquare(&region, i, x, y, x + 2, y + 2);
                expected.push_back(1);
            } else if (layout[0] == 'i') {
                SetRing(region, i, {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}});
                // Its first corner counts as inside by the even-odd test: n - 1 rings hold each.
                expected.push_back(0);
            } else {
                SetSquare(&region, i, -r, -r, r, r);
                expected.push_back(static_cast<int>(n - r) % 2 == 0 ? 1 : 0);
            }
        }
        int64_t comparisons = region.DefineExternal();
        EXPECT_LT(comparisons, 20 * n);
        EXPECT_EQ(Outer(region), expected);
    }
}

// Real regions written by other programs keep the outer rings that testing every pair gives.
TEST(HostGeometry, DefineExternalKeepsTheOuterRingsOfTheSamples) {
    if (SamplesDir().empty()) {
        GTEST_SKIP() << "MIF_SAMPLES_DIR is not set: the sample files are not checked";
    }
    size_t rings = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(SamplesDir())) {
        std::string ext = entry.path().extension().string();
        if (ext != ".mif" && ext != ".MIF") {
            continue;
        }
        SCOPED_TRACE(entry.path().string());
        CExportDocument doc;
        ASSERT_TRUE(ImportThroughPlugin(entry.path().string(), doc));
        for (int64_t k = 0; k < doc.vector->GetObjectCount(); ++k) {
            Cgeo_VectorPolygon* polygon = doc.vector->GetObjectAt(k)->GetObjPolygon();
            if (polygon != nullptr) {
                EXPECT_EQ(Outer(*polygon->GetRegion()), OuterByEveryPair(*polygon->GetRegion()))
                    << "object " << k;
                rings += static_cast<size_t>(polygon->GetPolygonSize());
            }
        }
    }
    EXPECT_GT(rings, 500u) << "the samples hold regions of up to 82 rings";
}

TEST(HostGeometry, SetPointsAllocatesAndStoredObjectsAreCopies) {
    Cgeo_Vector vector;
    Cgeo_VectorObjectStream stream(&vector, XF_STREAM_WRITE);
    Cgeo_VectorObject* object = vector.CreateObject(XF_OBJ_LINE);
    Cgeo_VectorLine* line = object->GetObjLine();
    ASSERT_EQ(line->SetPoints(1, 3, nullptr), 1);
    EXPECT_EQ(line->GetNumSection(), 2) << "the section list grows to hold section 1";
    EXPECT_EQ(line->GetNumPoints(0), 0);
    ASSERT_EQ(line->GetNumPoints(1), 3);
    EXPECT_EQ(line->GetData(1)[2].x, 0.0);
    line->GetData(1)[2] = {5, 6, 7};
    EXPECT_EQ(line->SetPoints(-1, 2, nullptr), 0);
    EXPECT_EQ(line->GetData(7), nullptr);

    ASSERT_EQ(stream.AddObject(object, 0), 0);
    line->GetData(1)[2].x = 99;  // the stored copy must not change
    object->DeleteObject();
    vector.UpdateGrid(nullptr);
    EXPECT_EQ(vector.GetGridBounds().x2, 5.0);
    Cgeo_VectorLine* stored = vector.GetObjectAt(0)->GetObjLine();
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->GetData(1)[2].x, 5.0);
    EXPECT_EQ(stored->GetData(1)[2].z, 7.0);
    stored->GetData(1)[2].x = 40;
    vector.UpdateGrid(nullptr);
    EXPECT_EQ(vector.GetGridBounds().x2, 40.0) << "a stored object changed after it was added";
    CXF_PolygonD* section = stored->GetPolygon(1);
    section->SetSize(1000);  // more points than the layer stored
    EXPECT_EQ(section->GetData()[2].x, 40.0);
    EXPECT_EQ(section->GetData()[999].y, 0.0);
    CXF_PolygonD copy(*section);
    section->SetSize(2);
    EXPECT_EQ(copy.GetSize(), 1000);
    EXPECT_EQ(copy.GetData()[2].z, 7.0);
}

// A layer hands a freed object out again: it must come back as a new one, whatever it held.
TEST(HostGeometry, FreedObjectsComeBackEmptyAndMayOutliveTheirLayer) {
    CXF_ManagerVectorStyle manager;
    Cgeo_Vector vector;
    const tagXF_POINT3DD p[2] = {{1, 2, 3}, {4, 5, 6}};
    for (int type = XF_OBJ_EMPTY; type <= XF_OBJ_TEXT; ++type) {
        SCOPED_TRACE(type);
        Cgeo_VectorObject* object = vector.CreateObject(type);
        if (type == XF_OBJ_POINT) {
            object->GetObjPoint()->SetPoints(2, p);
            VECTOR_POINT_STYLE record{};
            record.style = vector.GetStyleSet()->Add(manager.GetDefaultMarkerStyle())->GetMarker();
            object->GetObjPoint()->SetStyle(&record);
        } else if (type == XF_OBJ_LINE) {
            object->GetObjLine()->SetPoints(1, 2, p);
            VECTOR_LINE_STYLE record{};
            record.style = vector.GetStyleSet()->Add(manager.GetDefaultLineStyle())->GetLine();
            object->GetObjLine()->SetStyle(&record);
        } else if (type == XF_OBJ_POLYGON) {
            object->GetObjPolygon()->SetPolygonSize(2);
            SetSquare(object->GetObjPolygon()->GetRegion(), 1, 1, 1, 2, 2)->SetExternal(false);
        } else if (type == XF_OBJ_ELLIPSE) {
            object->GetObjEllipse()->SetRect(tagXF_RECT3DD{1, 2, 3, 4, 5, 6});
        } else if (type == XF_OBJ_TEXT) {
            object->GetObjText()->SetText("text");
            object->GetObjText()->SetTextPoint(CXF_Point3DD(1, 2, 3));
        }
        object->DeleteObject();
        EXPECT_EQ(vector.GetStyleSet()->GetCount(), 0) << "the freed object's style went with it";
        Cgeo_VectorObject* again = vector.CreateObject(type);
        EXPECT_EQ(again, object) << "the freed object is handed out again";
        EXPECT_EQ(again->GetType(), type);
        CXF_RectD bounds{1, 1, 1, 1};
        bool boxed = type == XF_OBJ_ELLIPSE || type == XF_OBJ_TEXT;  // at (0, 0) when new
        EXPECT_EQ(again->GetBounds(&bounds), boxed ? 1 : 0);
        EXPECT_EQ(bounds.x2, 0.0);
        EXPECT_EQ(bounds.y2, 0.0);
        EXPECT_EQ(again->GetStyle(), nullptr);
        if (type == XF_OBJ_POINT) {
            EXPECT_EQ(again->GetObjPoint()->GetNumPoints(), 0);
        } else if (type == XF_OBJ_LINE) {
            EXPECT_EQ(again->GetObjLine()->GetNumSection(), 0);
            again->GetObjLine()->SetNumSection(2);
            EXPECT_EQ(again->GetObjLine()->GetNumPoints(1), 0) << "a section added again is empty";
        } else if (type == XF_OBJ_POLYGON) {
            again->GetObjPolygon()->SetPolygonSize(2);
            const CXF_PolygonD* ring = again->GetObjPolygon()->GetRegion()->GetPolygon(1);
            EXPECT_EQ(ring->GetSize(), 0) << "a ring added again is empty";
            EXPECT_EQ(ring->IsExternal(), 1);
            EXPECT_EQ(ring->GetBoundRect().x2, 0.0);
        } else if (type == XF_OBJ_TEXT) {
            EXPECT_STREQ(again->GetObjText()->GetText(), "");
        }
        again->DeleteObject();
    }
    auto* layer = new Cgeo_Vector();
    Cgeo_VectorObject* orphan = layer->CreateObject(XF_OBJ_LINE);
    delete layer;
    orphan->GetObjLine()->SetPoints(0, 2, p);
    orphan->DeleteObject();  // after its layer: freed, with nothing of the layer touched
}

// Objects and table
// Objects and table

TEST(HostTable, StreamIdsStayAlignedWithTableRows) {
    Cgeo_Document document;
    Cgeo_Layers* layers = document.GetLayers();
    int index = layers->AddLayer("VECTOR", true, 4);
    Cgeo_Layer* layer = layers->GetLayer(index);
    ASSERT_NE(layer, nullptr);
    ASSERT_NE(layer->GetAttributes()->Item("Группа"), nullptr);
    EXPECT_EQ(layer->GetAttributes()->Item("Группа")->GetInt(), 4);
    Cgeo_Vector* vector = layer->GetVector();
    ASSERT_NE(vector, nullptr);
    Cgeo_VectorTable* table = vector->GetVectorTable();
    table->GetVectorColumns()->Add(CVectorColumn("n", 6, 0, 0));
    const int32_t value = 5;
    EXPECT_EQ(table->SetColumnValue(0, 0, &value), 0) << "no object 0 yet";

    Cgeo_VectorObjectStream reader(vector, XF_STREAM_READ);
    Cgeo_VectorObject* object = MakePoint(*vector, 1, 1);
    EXPECT_EQ(reader.AddObject(object, 0), -1) << "a read stream stores nothing";
    Cgeo_VectorObjectStream stream(vector, XF_STREAM_WRITE);
    for (int32_t k = 0; k < 3; ++k) {
        ASSERT_EQ(stream.AddObject(object, 0), k);
        EXPECT_EQ(table->SetColumnValue(k, 0, &k), 1);
    }
    object->DeleteObject();
    EXPECT_EQ(table->SetColumnValue(3, 0, &value), 0) << "a row without an object is refused";
    for (int32_t k = 0; k < 3; ++k) {
        CXF_RectD bounds{};
        int type = -1;
        ASSERT_NE(reader.GetVectorObject(k, &bounds, &type), nullptr);
        EXPECT_EQ(type, XF_OBJ_POINT);
        EXPECT_EQ(bounds.x1, 1.0);
        const void* stored = table->GetColumnValue(k, 0);
        ASSERT_NE(stored, nullptr);
        int32_t back = 0;
        std::memcpy(&back, stored, sizeof back);
        EXPECT_EQ(back, k);
    }
    EXPECT_EQ(reader.GetVectorObject(3, nullptr, nullptr), nullptr);
}

TEST(HostTable, EveryColumnTypeStoresItsValueLayout) {
    Cgeo_Vector vector;
    Cgeo_VectorObjectStream stream(&vector, XF_STREAM_WRITE);
    Cgeo_VectorObject* object = vector.CreateObject(XF_OBJ_EMPTY);
    ASSERT_EQ(stream.AddObject(object, 0), 0);
    object->DeleteObject();
    Cgeo_VectorTable* table = vector.GetVectorTable();
    Cgeo_VectorColumns* columns = table->GetVectorColumns();

    const int sizes[13] = {0, 11, 1, 2, 2, 4, 4, 4, 8, 8, 6, 4, 0};
    for (int type = 0; type <= 12; ++type) {
        EXPECT_EQ(columns->Add(CVectorColumn(("c" + std::to_string(type)).c_str(), type, 10, 2)),
                  type);
        ASSERT_EQ(columns->Get(type)->GetSize(), sizes[type]) << "type " << type;
    }

    const unsigned char bytes[8] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    for (int type = 2; type <= 11; ++type) {
        ASSERT_EQ(table->SetColumnValue(0, type, bytes), 1) << "type " << type;
        const void* stored = table->GetColumnValue(0, type);
        ASSERT_NE(stored, nullptr) << "type " << type;
        EXPECT_EQ(std::memcmp(stored, bytes, static_cast<size_t>(sizes[type])), 0)
            << "type " << type << " keeps exactly its bytes";
    }
    EXPECT_EQ(table->SetColumnValue(0, 0, bytes), 0) << "type 0 holds no value";
    EXPECT_EQ(table->SetColumnValue(0, 12, bytes), 0) << "unknown types hold no value";
    EXPECT_EQ(table->GetColumnValue(0, 0), nullptr);
    EXPECT_EQ(table->SetColumnValue(0, 2, nullptr), 0);

    ASSERT_EQ(table->SetColumnValue(0, 1, "abcdefghijklmnop"), 1);
    EXPECT_STREQ(static_cast<const char*>(table->GetColumnValue(0, 1)), "abcdefghij")
        << "text cut to the width of 10";
    const char unterminated[11] = {'k', 'l', 'm', 'n', 'o', 'p', 'q', 'r', 's', 't', 0};
    ASSERT_EQ(table->SetColumnValue(0, 1, unterminated), 1);
    EXPECT_STREQ(static_cast<const char*>(table->GetColumnValue(0, 1)), "klmnopqrst");

    // Texts replaced many times by shorter and longer ones (the texts are packed, and repacked
    // once replaced bytes outweigh those in use); the other rows keep theirs.
    ASSERT_EQ(columns->Add(CVectorColumn("long", XF_COL_TEXT, 300, 0)), 13);
    for (int id = 1; id <= 2; ++id) {
        object = vector.CreateObject(XF_OBJ_EMPTY);
        ASSERT_EQ(stream.AddObject(object, 0), id);
        object->DeleteObject();
    }
    ASSERT_EQ(table->SetColumnValue(0, 13, "first"), 1);
    ASSERT_EQ(table->SetColumnValue(2, 13, "third"), 1);
    std::string text;
    for (int k = 0; k < 5000; ++k) {
        text.assign(static_cast<size_t>(1 + (k * 37) % 300), static_cast<char>('a' + k % 26));
        ASSERT_EQ(table->SetColumnValue(1, 13, text.c_str()), 1);
    }
    EXPECT_EQ(static_cast<const char*>(table->GetColumnValue(1, 13)), text);
    ASSERT_EQ(table->SetColumnValue(1, 13, table->GetColumnValue(1, 13)), 1) << "itself again";
    EXPECT_EQ(static_cast<const char*>(table->GetColumnValue(1, 13)), text);
    EXPECT_STREQ(static_cast<const char*>(table->GetColumnValue(0, 13)), "first");
    EXPECT_STREQ(static_cast<const char*>(table->GetColumnValue(2, 13)), "third");

    EXPECT_EQ(CVectorColumn("w", 1, 0, 0).GetSize(), 2) << "width below 1 is taken as 1";
    EXPECT_EQ(CVectorColumn("w", 1, -5, 0).GetSize(), 2);
    EXPECT_EQ(CVectorColumn("w", 1, 1 << 30, 0).GetSize(), XF_MAX_TEXT_WIDTH + 1);
}

// Text layers

TEST(HostText, EveryItemHasATransformAndFaceNamesStayTerminated) {
    Cgeo_Document document;
    int index = document.GetLayers()->AddLayer("TEXT", true, 2);
    Cgeo_Text* text = document.GetLayers()->GetLayer(index)->GetText();
    ASSERT_NE(text, nullptr);
    Cgeo_TextItem* item = text->AddItem();
    EXPECT_NE(item->GetTransforms()->GetTransformType(0), nullptr);
    EXPECT_EQ(item->GetTransforms()->GetTransformType(1), nullptr);
    tagXF_FONT_ATTRIBUTES longName = XF_MakeFontAttributes(std::string(40, 'x').c_str());
    EXPECT_EQ(std::strlen(longName.faceName), 31u);
}

// What a builder hands out stays where it is while more entries are added.
TEST(HostBuilders, PointersStayValidWhileMoreAreAdded) {
    Cgeo_Text text;
    Cgeo_TextItem* item = text.AddItem();
    Cgeo_LineItem* line = item->AddLine();
    Cgeo_PartItem* part = line->AddPart("first", XF_MakeFontAttributes("Arial"));
    CTrasformFUNC* transform = item->GetTransforms()->GetTransformType(0);
    CXF_StyleObject* style = CXF_StyleObject::Create();
    CXF_StyleElement* element = style->GetPolygon()->AddElement(true, 0x123456);
    Cgeo_Attributes attributes;
    attributes.SetInt("first", 1);
    Cgeo_AttributeValue* value = attributes.Item("first");
    for (int i = 0; i < 100; ++i) {
        item->AddLine();
        line->AddPart("more", XF_MakeFontAttributes("Arial"));
        item->GetTransforms()->AddTransform();
        style->GetPolygon()->AddElement(false);
        attributes.SetInt(std::to_string(i).c_str(), i);
    }
    EXPECT_EQ(item->GetLine(0), line);
    EXPECT_EQ(line->GetPart(0), part);
    EXPECT_STREQ(part->GetString(), "first");
    EXPECT_EQ(item->GetTransforms()->GetTransformType(0), transform);
    EXPECT_EQ(style->GetPolygon()->GetElement(0), element);
    EXPECT_EQ(element->GetColor(), 0x123456u);
    EXPECT_EQ(attributes.Item("first"), value);
    CXF_StyleObject* copy = style->Clone();
    EXPECT_NE(copy->GetPolygon()->GetElement(0), element) << "a copy has elements of its own";
    EXPECT_EQ(copy->GetPolygon()->GetElement(0)->GetColor(), 0x123456u);
    copy->Release();
    style->Release();
}

// Application

class RecordingObserver : public Cgeo_FrameObserver {
public:
    void OnProgress(double position) override { positions.push_back(position); }
    void OnMessageBarText(const char*, int, int) override {}
    int OnCheckCanceled() override { return 1; }
    std::vector<double> positions;
};

TEST(HostMainFrame, ProgressStaysBetween0And100AndCancelIsForwarded) {
    CGEO geo;
    Cgeo_MainFrame* frame = geo.GetApp()->GetMainFrame();
    frame->ResetRecord();
    RecordingObserver observer;
    frame->SetObserver(&observer);
    frame->StartProgress(1);
    for (double step : {60.0, 60.0, -500.0}) {
        frame->IncreaseProgress(step);
    }
    EXPECT_EQ(frame->CheckCanceledSignal(), 1);
    frame->SetObserver(nullptr);
    frame->ResetRecord();
    EXPECT_EQ(frame->CheckCanceledSignal(), 0);
    EXPECT_EQ(observer.positions, (std::vector<double>{60.0, 100.0, 0.0}));

    // Progress is told once per object and messages once per save: the frame keeps a count, a
    // sum and the last step, and only the latest messages.
    frame->StartProgress(1);
    for (int i = 0; i < 100000; ++i) {
        frame->IncreaseProgress(0.001);
        frame->SetMessageBarText(i % 2 == 0 ? "even" : "odd", 3, 1);
    }
    EXPECT_EQ(frame->GetProgressStepCount(), 100000);
    EXPECT_NEAR(frame->GetProgressStepSum(), 100.0, 1e-6);
    EXPECT_EQ(frame->GetMessages().size(), Cgeo_MainFrame::kMessagesKept);
    EXPECT_EQ(frame->GetMessages().back(), "odd");
}

// Strings

TEST(HostStrings, LineBreaksAndBackslashesSurviveARoundTrip) {
    const std::string original = "a\\b\r\nc\nd\re\\n";
    std::string written = fncString::ConvertSequencesToString(original, "\r");
    EXPECT_EQ(written, "a\\\\b\\nc\\nd\\ne\\\\n");
    std::string read = fncString::ConvertStringToSequences(written);
    EXPECT_EQ(read, "a\\b\nc\nd\ne\\n") << "every line break comes back as a line feed";
    EXPECT_EQ(fncString::ConvertSequencesToString(read, "\r"), written);
    EXPECT_EQ(fncString::ReplaceCharacter(read, '\n', "\r\n"), "a\\b\r\nc\r\nd\r\ne\\n");

    EXPECT_EQ(fncString::ConvertStringToSequences("x\\ty\\"), "x\\ty\\")
        << "other and trailing backslashes stay";
    EXPECT_EQ(fncString::ConvertStringToSequences("\\\\n"), "\\n") << "decoded left to right";
    EXPECT_EQ(fncString::ReplaceCharacter("aXbX", 'X', nullptr), "ab");
}

}  // namespace

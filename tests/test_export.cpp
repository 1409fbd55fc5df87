#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "export/export.h"
#include "mif/model/mif_object.h"
#include "resources/module_strings.h"
#include "test_export_util.h"
#include "textfile/os_file.h"
#include "textfile/text_file.h"

namespace {

// Styles made here hold one reference for the test; the objects hold their own.
struct CStyle {
    explicit CStyle(const char* name = "test") : style(CXF_StyleObject::Create(name)) {}
    ~CStyle() { style->Release(); }
    CStyle(const CStyle&) = delete;
    CStyle& operator=(const CStyle&) = delete;
    CXF_StyleObject* operator->() const { return style; }
    CXF_StyleObject* style;
};

// Objects

// Up to 7 pixels a pen is written in pixels; wider, in points (10 plus tenths of a point at 96
// pixels to the inch) up to the form's end, 2047.
TEST(ExportObjects, PenWidthsInPixelsThenInPoints) {
    CGEO geo;
    CXF_StyleObject* solid = geo.GetApp()->GetStyleManager()->GetDefaultLineStyle();
    const uint32_t widths[][2] = {{0, 0}, {7, 7}, {8, 70}, {13, 108}, {271, 2043}, {300, 2047}};
    CMifRecordPool records;
    for (const auto& w : widths) {
        Cgeo_Vector vector;
        Cgeo_VectorObject* line = vector.CreateObject(XF_OBJ_LINE);
        const tagXF_POINT3DD ends[2] = {{0, 0, 0}, {1, 1, 0}};
        line->GetObjLine()->SetPoints(0, 2, ends);
        VECTOR_LINE_STYLE style{0, w[0], 0.0, 0, solid->GetLine()};
        line->GetObjLine()->SetStyle(&style);
        CMifObjectPtr record(ConvertVectorObject(line, geo.GetApp(), records));
        line->DeleteObject();
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(static_cast<CMifLine*>(record.get())->pen.width, static_cast<int32_t>(w[1]))
            << w[0] << " pixels";
    }
}

TEST(ExportObjects, EveryHostKindWithItsStyle) {
    TempDir dir;
    CExportDocument doc;
    Cgeo_Vector* vector = doc.vector;

    CStyle marker;
    VECTOR_POINT_STYLE pointStyle{0x0000FF, 12, 12.0, 0.0, 0, marker->GetMarker()};
    doc.AddPoints({{10, 20, 0}}, &pointStyle);
    doc.AddPoints({{1, 2, 0}, {3, 4, 0}, {5, 6, 0}}, &pointStyle);
    doc.AddPoints({});

    // Pattern 5 is the manager's line pattern entry 4; a style of our own has no entry.
    CGEO geo;
    CXF_StyleObject* dashed = (*geo.GetApp()->GetStyleManager()->GetLinePatterns())[4];
    ASSERT_NE(dashed, nullptr);
    VECTOR_LINE_STYLE dashedStyle{0x00FF00, 3, 0.0, 0, dashed->GetLine()};
    CStyle own;
    VECTOR_LINE_STYLE ownStyle{0x000080, 2, 0.0, 0, own->GetLine()};
    doc.AddLine({{{0, 0, 0}, {3, -4.25, 0}}}, &dashedStyle);
    doc.AddLine({{{0, 0, 0}, {1, 1, 0}, {2, 0, 0}}}, &ownStyle);
    doc.AddLine({{{0, 0, 0}, {1, 1, 0}}, {{5, 5, 0}, {6, 6, 0}}});
    doc.AddLine({});  // no section: a None object keeps the record

    CStyle fill;
    fill->GetPolygon()->RemoveAllElements();
    fill->GetPolygon()->AddElement(false);
    fill->GetPolygon()->AddElement(true, 0x112233);
    VECTOR_POLYGON_STYLE polygonStyle{0x0000FF, 2, 0.0, 0, fill->GetPolygon()};
    // Ring 1 stays empty.
    doc.AddPolygon(
        {{{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}}, {}, {{1, 1, 0}, {2, 1, 0}, {1, 2, 0}}},
        &polygonStyle);
    VECTOR_POLYGON_STYLE bareStyle{0x0000FF, 5, 0.0, 0, nullptr};
    doc.AddPolygon({{{}, {}, {}}}, &bareStyle);

    Cgeo_VectorObject* ellipse = vector->CreateObject(XF_OBJ_ELLIPSE);
    ellipse->GetObjEllipse()->SetRect({-1, -2, 3, 4, 0, 0});
    VECTOR_ELLIPSE_STYLE ellipseStyle{0xFF0000, 1, 0.0, 0, fill->GetPolygon()};
    ellipse->GetObjEllipse()->SetStyle(&ellipseStyle);
    doc.Add(ellipse);

    CStyle font;
    font->GetText()->SetFaceName("Times \"New\"");
    font->GetText()->SetFlags(XF_TEXT_BOLD | XF_TEXT_UNDERLINE);
    font->GetText()->GetShadow()->SetOffsets(0.0, 0.5);
    font->GetText()->SetAlignment(XF_ALIGN_RIGHT);
    VECTOR_TEXT_STYLE textStyle{0x0000FF, 9, 10.0, 30.0, 1, font->GetText()};
    Cgeo_VectorObject* text = vector->CreateObject(XF_OBJ_TEXT);
    text->GetObjText()->SetText("a \"b\"\r\nc\\d");
    text->GetObjText()->SetTextPoint(CXF_Point3DD(100, 50));
    text->GetObjText()->SetStyle(&textStyle);
    doc.Add(text);

    Cgeo_VectorObject* plain = vector->CreateObject(XF_OBJ_TEXT);
    plain->GetObjText()->SetText("x");
    VECTOR_TEXT_STYLE plainStyle{0, 0, 2.0, 0.0, 0, nullptr};
    plain->GetObjText()->SetStyle(&plainStyle);
    doc.Add(plain);

    doc.Add(vector->CreateObject(XF_OBJ_EMPTY));
    doc.Add(vector->CreateObject(6));  // unknown kind: no MIF form

    // A 13-pixel pen of the host's default line style; sections without points are left out and
    // a lone point is doubled; a polygon of empty rings keeps its record as a None object.
    VECTOR_LINE_STYLE wide{0x0000FF, 13, 0.0, 0,
                           geo.GetApp()->GetStyleManager()->GetDefaultLineStyle()->GetLine()};
    doc.AddLine({{}, {{7, 7, 0}}, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}}, &wide);
    doc.AddPolygon({{}, {}});

    doc.AddColumn("row", XF_COL_INT32);
    for (int32_t row = 0; row < 16; ++row) {
        doc.SetValue(row, 0, row);
    }

    CSaveResult saved = SaveThroughPlugin(doc.document, dir.Path("kinds.mif"));
    EXPECT_EQ(saved.result, 2);
    EXPECT_EQ(saved.errorCode, 0);
    EXPECT_EQ(
        MifBody(saved.mif),
        "Point 10.000000 20.000000\r\n"
        "Symbol (32,16711680,12)\r\n\r\n"
        "MultiPoint 3\r\n1.000000 2.000000\r\n3.000000 4.000000\r\n5.000000 6.000000\r\n"
        "Symbol (32,16711680,12)\r\n\r\n"
        "MultiPoint 0\r\n\r\n"
        "Line 0.000000 0.000000 3.000000 -4.250000\r\n"
        "Pen (3,5,65280)\r\n\r\n"
        "Pline\r\n3\r\n0.000000 0.000000\r\n1.000000 1.000000\r\n2.000000 0.000000\r\n"
        "Pen (2,2,8388608)\r\n\r\n"  // a style outside the table is written solid
        "Pline Multiple 2\r\n2\r\n0.000000 0.000000\r\n1.000000 1.000000\r\n"
        "2\r\n5.000000 5.000000\r\n6.000000 6.000000\r\n"
        "Pen (0,2,0)\r\n\r\n"
        "None\r\n\r\n"
        "Region 2\r\n5\r\n0.000000 0.000000\r\n4.000000 0.000000\r\n4.000000 4.000000\r\n"
        "0.000000 4.000000\r\n0.000000 0.000000\r\n"
        "4\r\n1.000000 1.000000\r\n2.000000 1.000000\r\n1.000000 2.000000\r\n"
        "1.000000 1.000000\r\n"
        "Pen (2,2,16711680)\r\nBrush (2,3351057,16777215)\r\n\r\n"
        "Region 1\r\n4\r\n0.000000 0.000000\r\n0.000000 0.000000\r\n0.000000 0.000000\r\n"
        "0.000000 0.000000\r\n"
        "Pen (0,2,16711680)\r\nBrush (2,16777215,16777215)\r\n\r\n"
        "Ellipse -1.000000 -2.000000 3.000000 4.000000\r\n"
        "Pen (1,2,255)\r\nBrush (2,3351057,16777215)\r\n\r\n"
        "Text \"a \"\"b\"\"\\nc\\\\d\"\r\n95.000000 55.000000 105.000000 45.000000\r\n"
        "Font (\"Times \"\"New\"\"\",37,0,16711680)\r\nJustify Right\r\nAngle 30.000000\r\n\r\n"
        "Text \"x\"\r\n-1.000000 1.000000 1.000000 -1.000000\r\nJustify Center\r\n\r\n"
        "None\r\n\r\n"
        "Pline Multiple 2\r\n2\r\n7.000000 7.000000\r\n7.000000 7.000000\r\n"
        "3\r\n0.000000 0.000000\r\n1.000000 0.000000\r\n1.000000 1.000000\r\n"
        "Pen (108,2,16711680)\r\n\r\n"
        "None\r\n\r\n");
    // One record per written object, in order: row 13 had no MIF form.
    EXPECT_EQ(saved.mid,
              "0\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n11\r\n12\r\n14\r\n15\r\n");
    EXPECT_EQ(marker->GetRefCount(), 3) << "the conversion released what it took";
    EXPECT_EQ(own->GetRefCount(), 2);
    EXPECT_EQ(fill->GetRefCount(), 3);
    EXPECT_EQ(font->GetRefCount(), 2);
}

// Columns

TEST(ExportColumns, EveryHostColumnTypeAndItsText) {
    TempDir dir;
    CExportDocument doc;
    doc.AddPoints({{1, 1, 0}});
    doc.AddPoints({{2, 2, 0}});
    doc.AddColumn("name", XF_COL_TEXT, 20);
    doc.AddColumn("byte", XF_COL_UINT8);
    doc.AddColumn("word", XF_COL_UINT16);
    doc.AddColumn("short", XF_COL_INT16);
    doc.AddColumn("unsigned", XF_COL_UINT32, 4, 2);
    doc.AddColumn("signed", XF_COL_INT32);
    doc.AddColumn("single", XF_COL_FLOAT);
    doc.AddColumn("double", XF_COL_DOUBLE);
    doc.AddColumn("money", XF_COL_DECIMAL, 8, 2);
    doc.AddColumn("whole", XF_COL_DECIMAL, 6, 0);
    doc.AddColumn("day", XF_COL_DATE);
    doc.AddColumn("flag", XF_COL_LOGICAL);
    doc.AddColumn("strange", XF_COLUMN_TYPE_COUNT, 10);  // a type this host does not know
    doc.AddColumn("my col", XF_COL_DOUBLE);
    // Decimal digits beyond what readers take are clamped to 1..20 and 0..16 below the width.
    doc.AddColumn("fine", XF_COL_DECIMAL, 30, 20);
    doc.AddColumn("odd", XF_COL_DECIMAL, 4, -2);
    // Names that are keywords keep them; names that repeat one (without regard to case) get a
    // suffix; Char widths outside 1..254.
    doc.AddColumn("Data", XF_COL_TEXT, 0);
    doc.AddColumn("point", XF_COL_TEXT, 300);
    doc.AddColumn("Columns", XF_COL_INT32);
    doc.AddColumn("MY_COL", XF_COL_INT32);
    doc.AddColumn("", XF_COL_INT32);
    doc.AddColumn("_", XF_COL_INT32);

    doc.SetText(0, 0, "a, \"b\" c:\\d\r\ne");
    doc.SetValue(0, 1, uint8_t{200});
    doc.SetValue(0, 2, uint16_t{60000});
    doc.SetValue(0, 3, int16_t{-5});
    doc.SetValue(0, 4, uint32_t{3000000000u});
    doc.SetValue(0, 5, int32_t{-123456});
    doc.SetValue(0, 6, 1.25e-7f);
    doc.SetValue(0, 7, 0.1);
    doc.SetValue(0, 8, -3.14159);
    doc.SetValue(0, 9, 12.5);
    const uint16_t day[3] = {2024, 3, 7};
    doc.SetValue(0, 10, day);
    doc.SetValue(0, 11, int32_t{1});
    doc.SetValue(0, 13, -2.0);
    doc.SetValue(0, 14, 0.1);
    doc.SetValue(0, 15, 7.6);
    // Row 1: the rounding cases of decimals, values without a text (not finite, no year), a
    // false flag, no values elsewhere.
    doc.SetValue(1, 6, 1234567.891f);
    doc.SetValue(1, 7, std::numeric_limits<double>::infinity());
    doc.SetValue(1, 8, 1234.5678);
    doc.SetValue(1, 9, -0.4);
    doc.SetValue(1, 13, std::numeric_limits<double>::quiet_NaN());
    doc.SetValue(1, 11, int32_t{0});
    const uint16_t none[3] = {0, 0, 0};
    doc.SetValue(1, 10, none);
    doc.SetValue(1, 15, -std::numeric_limits<double>::infinity());

    CSaveResult saved = SaveThroughPlugin(doc.document, dir.Path("columns.mif"));
    EXPECT_EQ(saved.result, 2);
    EXPECT_NE(saved.mif.find("Columns 22\r\n"
                             "name char (20)\r\n"
                             "byte smallint\r\n"
                             "word integer\r\n"
                             "short smallint\r\n"
                             "unsigned decimal (10,0)\r\n"
                             "signed integer\r\n"
                             "single float\r\n"
                             "double float\r\n"
                             "money decimal (8,2)\r\n"
                             "whole decimal (6,0)\r\n"
                             "day date\r\n"
                             "flag logical\r\n"
                             "strange char (10)\r\n"
                             "my_col float\r\n"
                             "fine decimal (20,16)\r\n"
                             "odd decimal (4,0)\r\n"
                             "Data char (1)\r\n"
                             "point_1 char (254)\r\n"
                             "Columns integer\r\n"
                             "MY_COL_1 integer\r\n"
                             "_ integer\r\n"
                             "__1 integer\r\n"
                             "\r\nData\r\n"),
              std::string::npos)
        << saved.mif;
    EXPECT_EQ(saved.mid,
              "\"a, \"\"b\"\" c:\\\\d\\ne\",200,60000,-5,3000000000,-123456,1.25e-07,0.1,-3.14,12,"
              "20240307,T,\"\",-2,0.1000000000000000,8,\"\",\"\",,,,\r\n"
              "\"\",,,,,,1234567.9,,1234.57,-0,,F,\"\",,,,\"\",\"\",,,,\r\n");
}

TEST(ExportColumns, LayerWithoutColumnsGetsTheIdColumnAndEmptyRecords) {
    TempDir dir;
    CExportDocument doc;
    doc.AddPoints({{1, 1, 0}});
    doc.AddPoints({{2, 2, 0}});
    CSaveResult saved = SaveThroughPlugin(doc.document, dir.Path("bare.mif"));
    EXPECT_EQ(saved.result, 2);
    EXPECT_NE(saved.mif.find("Columns 1\r\nid integer\r\n\r\nData\r\n"), std::string::npos)
        << saved.mif;
    EXPECT_EQ(saved.mid, "\r\n\r\n");
}

// Text layers

Cgeo_TextItem* AddItem(Cgeo_Text* text, std::initializer_list<std::vector<const char*>> lines,
                       const tagXF_FONT_ATTRIBUTES& font) {
    Cgeo_TextItem* item = text->AddItem();
    for (const auto& parts : lines) {
        Cgeo_LineItem* line = item->AddLine();
        for (const char* part : parts) {
            line->AddPart(part, font);
        }
    }
    return item;
}

TEST(ExportText, CompanionTextLayerIsTheFirstOfTheGroup) {
    TempDir dir;
    CExportDocument doc(7);
    Cgeo_Layers* layers = doc.document.GetLayers();
    Cgeo_Text* otherGroup = layers->GetLayer(layers->AddLayer("TEXT", true, 8))->GetText();
    layers->AddLayer("TEXT", false);  // no group at all
    Cgeo_Text* companion = layers->GetLayer(layers->AddLayer("TEXT", false, 7))->GetText();
    Cgeo_Text* second = layers->GetLayer(layers->AddLayer("TEXT", false, 7))->GetText();
    tagXF_FONT_ATTRIBUTES arial = XF_MakeFontAttributes("Arial", 700, true, false);
    arial.color = 0x0000FF;
    AddItem(otherGroup, {{"other group"}}, arial);
    AddItem(second, {{"second of the group"}}, arial);

    Cgeo_TextItem* placed = AddItem(companion, {{"Hel", "lo"}, {}, {"cd"}}, arial);
    XF_TEXT_ATTRIBUTES attributes = XF_MakeTextAttributes();
    attributes.alignment = XF_TA_CENTER;
    attributes.backColor = 0x00FFFF;
    attributes.scaleX = 2.0;
    attributes.scaleY = 3.0;
    placed->SetAttributes(attributes);
    placed->SetRect(CXF_Rect3DD(0, 0, 20, 10));
    placed->SetBinding(CXF_Point3DD(1000, 2000));
    placed->GetTransforms()->GetTransformType(0)->SetCenterImage(CXF_Point3DD(10, 5));
    placed->SetAngle(45.0);

    companion->AddItem();  // no line: nothing written
    Cgeo_TextItem* late = AddItem(companion, {{}, {"x\\y"}}, XF_MakeFontAttributes(""));
    late->GetLine(1)->AddPart("z", XF_MakeFontAttributes("Cour\"ier", 400, false, true));
    late->SetTransparent(true);
    attributes.alignment = 1;  // not a text alignment the host defines
    late->SetAttributes(attributes);
    AddItem(companion, {{}, {}}, arial);  // lines without parts

    doc.AddPoints({{1, 1, 0}});
    doc.AddPoints({{2, 2, 0}});
    doc.AddPoints({{3, 3, 0}});

    CSaveResult saved = SaveThroughPlugin(doc.document, dir.Path("with text.mif"));
    EXPECT_EQ(saved.result, 2);
    std::string body = MifBody(saved.mif);
    size_t text = body.find("Text");
    ASSERT_NE(text, std::string::npos) << body;
    EXPECT_EQ(body.substr(text),
              "Text \"Hello\\ncd\"\r\n980.000000 1985.000000 1020.000000 2015.000000\r\n"
              "Font (\"Arial\",3,0,16711680,16776960)\r\nJustify Center\r\nAngle 45.000000\r\n\r\n"
              "Text \"\\nx\\\\yz\"\r\n0.000000 0.000000 0.000000 0.000000\r\n"
              "Font (\"Cour\"\"ier\",4,0,0)\r\n\r\n"
              "Text \"\"\r\n0.000000 0.000000 0.000000 0.000000\r\nJustify Left\r\n\r\n");
    EXPECT_EQ(saved.mid, "\r\n\r\n\r\n\r\n\r\n\r\n") << "three points and three texts";
}

// The driver

TEST(ExportDriver, ResultsErrorCodesAndTheFilesNamed) {
    PluginLibrary lib;
    ASSERT_TRUE(lib.Loaded());
    auto save = lib.Get<XF_SaveFn>("XF_Save");
    ASSERT_NE(save, nullptr);
    TempDir dir;
    std::string path = dir.Path("out.v1.mif");
    CGEO geo;
    CExportDocument doc;
    doc.AddPoints({{1, 1, 0}});

    EXPECT_EQ(save(&geo, nullptr, &doc.document, path.c_str(), 0), 0);
    {
        CXF_FileInfo empty;
        EXPECT_EQ(save(&geo, &empty, &doc.document, path.c_str(), 0), 0);
        EXPECT_EQ(empty.errorCode, XF_ERROR_NOTHING_TO_SAVE) << "a file info without items";
    }
    CXF_FileInfo info;
    info.AddPtrItem(new CXF_VectorInfo(geo.GetApp()));
    Cgeo_Document nothingActive;
    nothingActive.GetLayers()->AddLayer("VECTOR", false, 1);
    Cgeo_Document textOnly;
    textOnly.GetLayers()->AddLayer("TEXT", true, 1);
    const struct {
        Cgeo_Document* document;
        std::string path;
        int errorCode;
        const char* why;
    } failures[] = {
        {nullptr, path, XF_ERROR_NOTHING_TO_SAVE, "no document"},
        {&nothingActive, path, XF_ERROR_NOTHING_TO_SAVE, "no active layer"},
        {&textOnly, path, XF_ERROR_NOTHING_TO_SAVE, "a text layer alone has nothing to save"},
        {&doc.document, dir.Path("missing/out.mif"), XF_ERROR_WRITE, "no such output folder"},
    };
    for (const auto& f : failures) {
        info.errorCode = 0;
        EXPECT_EQ(save(&geo, &info, f.document, f.path.c_str(), 0), 0) << f.why;
        EXPECT_EQ(info.errorCode, f.errorCode) << f.why;
    }
    EXPECT_FALSE(std::filesystem::exists(path));

    info.errorCode = 0;
    info.fileNames.clear();
    EXPECT_EQ(save(&geo, &info, &doc.document, path.c_str(), 0), 2);
    EXPECT_EQ(info.errorCode, 0);
    EXPECT_EQ(info.fileNames, std::vector<std::string>{dir.Path("out.v1.mid")});
    EXPECT_TRUE(std::filesystem::exists(dir.Path("out.v1.mid")));
    info.AddPtrItem(new CXF_VectorInfo(geo.GetApp()));
    EXPECT_EQ(save(&geo, &info, &doc.document, path.c_str(), 0), 3) << "two items";

    // The chosen layer need not have an item of its index: it is written all the same.
    CExportDocument late;
    Cgeo_Layers* layers = late.document.GetLayers();
    layers->GetLayer(late.index)->SetActive(false);
    int second = layers->AddLayer("VECTOR", true, 3);
    Cgeo_VectorObjectStream stream(layers->GetLayer(second)->GetVector(), XF_STREAM_WRITE);
    Cgeo_VectorObject* object = layers->GetLayer(second)->GetVector()->CreateObject(XF_OBJ_EMPTY);
    stream.AddObject(object, 0);
    object->DeleteObject();
    CSaveResult saved = SaveThroughPlugin(late.document, dir.Path("second.mif"));
    EXPECT_EQ(saved.result, 2);
    EXPECT_EQ(MifBody(saved.mif), "None\r\n\r\n");
}

TEST(ExportDriver, ProgressAndMessagesInTheUsersLanguage) {
    TempDir dir;
    CExportDocument doc;
    for (int k = 0; k < 4; ++k) {
        doc.AddPoints({{1.0 * k, 0, 0}});
    }
    Cgeo_Layers* layers = doc.document.GetLayers();
    Cgeo_Text* text = layers->GetLayer(layers->AddLayer("TEXT", false, 7))->GetText();
    AddItem(text, {{"a"}}, XF_MakeFontAttributes("Arial"));
    AddItem(text, {{"b"}}, XF_MakeFontAttributes("Arial"));

    Cgeo_MainFrame* frame = CGEO().GetMainFrame();
    for (bool russian : {false, true}) {
        testos::SetUserLanguage(russian);
        frame->ResetRecord();
        CSaveResult saved = SaveThroughPlugin(doc.document, dir.Path("progress.mif"));
        EXPECT_EQ(saved.result, 2);
        EXPECT_EQ(frame->GetProgressStepCount(), 6) << "four objects and two text items";
        EXPECT_EQ(frame->GetProgressStepSum(), 200.0);
        EXPECT_EQ(frame->GetLastProgressStep(), 50.0);
        EXPECT_EQ(frame->GetProgressStarts(), 2);
        EXPECT_EQ(frame->GetProgressEnds(), 2);
        EXPECT_EQ(frame->GetCancelChecks(), 4);
        // The strings themselves, in both languages, are the string table test's.
        ModuleLanguage language = russian ? ModuleLanguage::kRussian : ModuleLanguage::kEnglish;
        EXPECT_EQ(frame->GetMessages(),
                  (std::vector<std::string>{LoadModuleString(kIdsWriteVector, language), "",
                                            LoadModuleString(kIdsWriteText, language), ""}));
    }
    testos::SetUserLanguage(false);
}

// Sets the document's cancel flag when the host is asked for the second time.
class CCancelOnSecondCheck : public Cgeo_FrameObserver {
public:
    explicit CCancelOnSecondCheck(int* flag) : cancel(flag) {}
    int OnCheckCanceled() override {
        if (++checks == 2) {
            *cancel = 1;
        }
        return 0;
    }

private:
    int* cancel;
    int checks = 0;
};

TEST(ExportDriver, CancellingKeepsWhatWasWrittenAndFails) {
    TempDir dir;
    CExportDocument doc;
    doc.AddColumn("n", XF_COL_INT32);
    for (int32_t k = 0; k < 5; ++k) {
        doc.AddPoints({{1.0 * k, 0, 0}});
        doc.SetValue(k, 0, k);
    }
    Cgeo_MainFrame* frame = CGEO().GetMainFrame();
    CCancelOnSecondCheck observer(doc.document.GetCanceledSignal());
    frame->SetObserver(&observer);
    CSaveResult saved = SaveThroughPlugin(doc.document, dir.Path("cancel.mif"));
    frame->SetObserver(nullptr);
    EXPECT_EQ(saved.result, 0);
    EXPECT_EQ(saved.errorCode, 0);
    EXPECT_EQ(MifBody(saved.mif),
              "Point 0.000000 0.000000\r\nSymbol (32,0,0)\r\n\r\n"
              "Point 1.000000 0.000000\r\nSymbol (32,0,0)\r\n\r\n");
    EXPECT_EQ(saved.mid, "0\r\n1\r\n");
}

// Write failures

// A document big enough to pass the platform's write buffer many times over, and one that fails
// only when its files are flushed at close.
void FillLarge(CExportDocument& large) {
    large.AddColumn("name", XF_COL_TEXT, 40);
    for (int k = 0; k < 5000; ++k) {
        large.AddLine({{{1.0 * k, 2, 0}, {3, 4.0 * k, 0}}});
        large.SetText(k, 0, "a value of some length");
    }
}

// A write that fails, in the MIF or the MID file, at its first or a later write or at the flush
// at close, fails the save with error code 8; what was written before stays on disk: the start of
// what a save that succeeds writes. Faults from the file layer, so this runs on every platform.
TEST(ExportFailures, AFailedWriteGivesErrorCode8AndKeepsWhatWasWritten) {
    CExportDocument large;
    FillLarge(large);
    CExportDocument small;
    small.AddPoints({{1, 1, 0}});
    struct Case {
        const char* what;
        CExportDocument* document;
        const char* file;
        COsFileFault fault;
        int after;
        bool keepsSome;  // something was written before the failure
    };
    const Case cases[] = {
        {"first MIF write", &large, "out.mif", COsFileFault::kWrite, 0, false},
        {"third MIF write", &large, "out.mif", COsFileFault::kWrite, 2, true},
        {"first MID write", &large, "out.mid", COsFileFault::kWrite, 0, false},
        {"MIF flush at close", &large, "out.mif", COsFileFault::kFlushAtClose, 0, true},
        {"MID flush at close", &large, "out.mid", COsFileFault::kFlushAtClose, 0, true},
        {"small MIF flush at close", &small, "out.mif", COsFileFault::kFlushAtClose, 0, false},
        {"small MID write at close", &small, "out.mid", COsFileFault::kWrite, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir good;
        CSaveResult whole = SaveWith(XF_Save, c.document->document, good.Path("out.mif"));
        ASSERT_EQ(whole.result, 2);
        std::string complete = ReadFile(good.Path(c.file));
        TempDir dir;
        COsFile::InjectFault(c.fault, c.file, c.after);
        CSaveResult saved = SaveWith(XF_Save, c.document->document, dir.Path("out.mif"));
        COsFile::InjectFault(COsFileFault::kNone);
        EXPECT_EQ(saved.result, 0);
        EXPECT_EQ(saved.errorCode, XF_ERROR_WRITE);
        std::string kept = ReadFile(dir.Path(c.file));
        EXPECT_EQ(!kept.empty(), c.keepsSome) << kept.size() << " bytes";
        EXPECT_LT(kept.size(), complete.size());
        EXPECT_EQ(kept, complete.substr(0, kept.size()));
    }
}

// The same through a real device that takes no byte, where there is one: the system's own
// refusal reaches the save, during the writing and at close.
TEST(ExportFailures, FullDeviceGivesErrorCode8) {
    SKIP_WITHOUT_POSIX("/dev/full");
    CExportDocument large;
    FillLarge(large);
    CExportDocument small;
    small.AddPoints({{1, 1, 0}});
    const std::pair<Cgeo_Document*, const char*> cases[] = {{&large.document, "full.mif"},
                                                            {&small.document, "full.mid"}};
    for (const auto& [document, full] : cases) {
        TempDir dir;
        std::filesystem::create_symlink(testos::FullDevice(), dir.Path(full));
        CSaveResult saved = SaveThroughPlugin(*document, dir.Path("full.mif"));
        EXPECT_EQ(saved.result, 0) << full;
        EXPECT_EQ(saved.errorCode, XF_ERROR_WRITE) << full;
    }
}

// Nothing is emptied until both files are open: a MID file that cannot be opened leaves the old
// pair as it was.
TEST(ExportFailures, MidFileThatCannotBeOpenedLeavesTheOldFiles) {
    CExportDocument doc;
    doc.AddPoints({{1, 1, 0}});
    for (const char* how : {"a folder", "the MIF file itself", "held by a reader"}) {
        SCOPED_TRACE(how);
        TempDir dir;
        std::string mif = dir.Path(how[0] == 't' ? "old.mid" : "old.mif");
        WriteFile(mif, "old MIF");
        CTextFile reader;
        if (how[0] == 'a') {
            std::filesystem::create_directory(dir.Path("old.mid"));
        } else if (how[0] == 'h') {
            WriteFile(dir.Path("old.mid"), "old MID");
            ASSERT_EQ(reader.OpenRead(dir.Path("old.mid").c_str()), 1);
        }
        CSaveResult saved = SaveThroughPlugin(doc.document, mif);
        EXPECT_EQ(saved.result, 0);
        EXPECT_EQ(saved.errorCode, XF_ERROR_WRITE);
        EXPECT_EQ(ReadFile(mif), "old MIF");
        if (how[0] == 'h') {
            EXPECT_EQ(ReadFile(dir.Path("old.mid")), "old MID");
        }
    }
}

// The cases other readers lose data on, written through XF_Save and read back by ogrinfo: texts
// of a companion text layer, wide and unlisted pens, values at the edges of their types, column
// names readers take for keywords, empty sections and rings, quotes in font names.
TEST(ExportInterop, OgrinfoReadsEveryObjectAndValue) {
    if (const char* why = NoProgram("ogrinfo")) {
        GTEST_SKIP() << why;
    }
    TempDir dir;
    CExportDocument doc;
    Cgeo_Vector* vector = doc.vector;
    CGEO geo;
    doc.AddPoints({{1, 2, 0}});
    VECTOR_LINE_STYLE wide{0x0000FF, 13, 0.0, 0,
                           geo.GetApp()->GetStyleManager()->GetDefaultLineStyle()->GetLine()};
    doc.AddLine({{{0, 0, 0}, {5, 5, 0}}}, &wide);
    CStyle own("own");
    VECTOR_LINE_STYLE ownStyle{0x00FF00, 1, 0.0, 0, own->GetLine()};
    doc.AddLine({{{0, 0, 0}, {1, 1, 0}, {2, 0, 0}}}, &ownStyle);
    doc.AddLine({{}, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}});
    doc.AddPolygon({{}, {}});
    doc.AddPolygon({{}, {{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}}});
    CStyle font("font");
    font->GetText()->SetFaceName("Ari\"al");
    font->GetText()->SetFlags(XF_TEXT_BOLD);
    VECTOR_TEXT_STYLE textStyle{0x0000FF, 0, 2.0, 0.0, 0, font->GetText()};
    Cgeo_VectorObject* label = vector->CreateObject(XF_OBJ_TEXT);
    label->GetObjText()->SetText("t");
    label->GetObjText()->SetStyle(&textStyle);
    doc.Add(label);
    // Coordinates that are not finite make None objects that keep their records.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    doc.AddPolygon({{{0, 0, 0}, {nan, 1, 0}, {1, 1, 0}}});
    doc.AddPoints({{inf, 0, 0}});
    Cgeo_Layers* layers = doc.document.GetLayers();
    Cgeo_Text* text = layers->GetLayer(layers->AddLayer("TEXT", false, 7))->GetText();
    for (const char* item : {"a", "b", "c", "d"}) {
        text->AddItem()->AddLine()->AddPart(item, XF_MakeFontAttributes("Ari\"al", 700));
    }

    doc.AddColumn("Data", XF_COL_UINT16);
    doc.AddColumn("Point", XF_COL_UINT32);
    doc.AddColumn("Columns", XF_COL_FLOAT);
    doc.AddColumn("my col", XF_COL_DOUBLE);
    doc.AddColumn("my_col", XF_COL_TEXT, 0);
    doc.AddColumn("", XF_COL_TEXT, 300);
    doc.AddColumn("day", XF_COL_DATE);
    // Names GDAL refuses the whole file for, and digits no reader takes.
    doc.AddColumn("Area (m2)", XF_COL_INT32);
    doc.AddColumn("a-b.c", XF_COL_INT32);
    doc.AddColumn("huge", XF_COL_DECIMAL, 2147483647, 2147483647);
    const int kObjects = 9;
    const int kLabel = 6;
    auto single = [](int k) { return k == 0 ? 1.25e-7f : k == 1 ? 1234567.891f : 0.5f * k; };
    auto real = [](int k) {
        return k == 2   ? std::numeric_limits<double>::infinity()
               : k == 3 ? std::numeric_limits<double>::quiet_NaN()
                        : k + 0.5;
    };
    for (int k = 0; k < kObjects; ++k) {
        doc.SetValue(k, 0, static_cast<uint16_t>(60000 - k));
        doc.SetValue(k, 1, static_cast<uint32_t>(3000000000u + k));
        doc.SetValue(k, 2, single(k));
        doc.SetValue(k, 3, real(k));
        doc.SetText(k, 4, "x");
        doc.SetText(k, 5, ("v" + std::to_string(k)).c_str());
        const uint16_t day[3] = {static_cast<uint16_t>(k == 0 ? 0 : 2024), 1,
                                 static_cast<uint16_t>(k)};
        doc.SetValue(k, 6, day);
        doc.SetValue(k, 7, int32_t{100 + k});
        doc.SetValue(k, 8, int32_t{200 + k});
        doc.SetValue(k, 9, 0.25 + k);
    }
    std::string path = dir.Path("items.mif");
    ASSERT_EQ(SaveThroughPlugin(doc.document, path).result, 2);

    std::string report;
    std::vector<COgrFeature> got = OgrFeatures(path, report);
    ASSERT_EQ(got.size(), static_cast<size_t>(kObjects + 4)) << report;
    EXPECT_EQ(report.find("ERROR"), std::string::npos) << report;
    for (int k = 0; k < kObjects + 4; ++k) {
        SCOPED_TRACE("ogrinfo, object " + std::to_string(k));
        std::map<std::string, std::string>& v = got[static_cast<size_t>(k)].values;
        const std::string& style = got[static_cast<size_t>(k)].style;
        if (k >= kObjects) {
            EXPECT_NE(
                style.find("LABEL(t:\"" + std::string(1, static_cast<char>('a' + k - kObjects))),
                std::string::npos)
                << style;
        }
        if (k == kLabel || k >= kObjects) {
            EXPECT_NE(style.find("bo:1"), std::string::npos) << style;
            continue;
        }
        // A keyword stays the column's name, but for one named like an object after a column
        // whose name begins with Data, where GDAL would take it for an object.
        EXPECT_EQ(v["Data"], std::to_string(60000 - k));
        EXPECT_EQ(std::atof(v["Point_1"].c_str()), 3000000000.0 + k);
        EXPECT_EQ(static_cast<float>(std::atof(v["Columns"].c_str())), single(k));
        EXPECT_EQ(v["Area__m2_"], std::to_string(100 + k));
        EXPECT_EQ(v["a_b_c"], std::to_string(200 + k));
        EXPECT_EQ(std::atof(v["huge"].c_str()), 0.25 + k);
        if (std::isfinite(real(k))) {
            EXPECT_EQ(std::atof(v["my_col"].c_str()), real(k));
        }
        EXPECT_EQ(v["my_col_1"], "x");
        EXPECT_EQ(v["_"], "v" + std::to_string(k));
        if (k == 1 || k == 2) {
            EXPECT_NE(style.find("mapinfo-pen-2,"), std::string::npos) << "a visible pen";
        }
    }
    EXPECT_NE(got[1].style.find("w:9"), std::string::npos) << got[1].style;
    EXPECT_EQ(got[4].geometry, "") << "the None object";
    EXPECT_EQ(got[5].geometry, "POLYGON ((0 0,4 0,4 4,0 4,0 0))");
    EXPECT_EQ(got[7].geometry, "") << "a ring with nan";
    EXPECT_EQ(got[8].geometry, "") << "a point at inf";
    std::string mif = ReadFile(path);
    EXPECT_EQ(mif.find("nan"), std::string::npos);
    EXPECT_EQ(mif.find("inf"), std::string::npos);
    EXPECT_NE(mif.find("huge decimal (20,16)"), std::string::npos) << mif;
}

}  // namespace

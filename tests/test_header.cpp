#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mif/reader/mif_file.h"
#include "plugin/entry_points.h"
#include "plugin/host/app.h"
#include "plugin/host/file_info.h"
#include "plugin/host/main_frame.h"
#include "plugin/mif_context.h"
#include "test_util.h"

namespace {

// A MIF file (and a MID file beside it when given) written to a fresh folder and opened.
class OpenedMif {
public:
    explicit OpenedMif(const std::string& mif, const char* mid = nullptr) {
        WriteFile(dir.Path("t.mif"), mif);
        if (mid != nullptr) {
            WriteFile(dir.Path("t.mid"), mid);
        }
        result = file.Open(dir.Path("t.mif").c_str());
    }
    TempDir dir;
    CMifFile file;
    int result = 0;
};

struct ColumnFigures {
    std::string name;
    int32_t type;
    int32_t width;
    int32_t decimals;
};

std::vector<ColumnFigures> Columns(const CMifFile& file) {
    std::vector<ColumnFigures> out;
    for (int32_t i = 0; i < file.columns.GetCount(); ++i) {
        const CMifColumn& c = file.columns.Get(i);
        out.push_back({c.name, c.type, c.width, c.decimals});
    }
    return out;
}

bool operator==(const ColumnFigures& a, const ColumnFigures& b) {
    return a.name == b.name && a.type == b.type && a.width == b.width && a.decimals == b.decimals;
}
std::ostream& operator<<(std::ostream& os, const ColumnFigures& c) {
    return os << c.name << "/" << c.type << "/" << c.width << "/" << c.decimals;
}

TEST(HeaderItems, AllItemsInOrderAreRead) {
    OpenedMif m(
        "Version 450\r\nCharset \"WindowsCyrillic\"\r\nDelimiter \";\"\r\nUnique 1, 3\r\n"
        "Index 2,,4\r\nCoordSys Earth Projection 1, 104\r\nTransform 2, 3.5, -10, 0.25\r\n"
        "Columns 1\r\n  id Integer\r\nData\r\n",
        "7\r\n");
    ASSERT_EQ(m.result, 1);
    EXPECT_EQ(m.file.version, 450);
    EXPECT_EQ(m.file.charset, "WindowsCyrillic");
    EXPECT_EQ(m.file.delimiterText, ";");
    EXPECT_EQ(m.file.midFile.GetDelimiter(), ';');
    EXPECT_EQ(m.file.uniqueColumns, (std::vector<int32_t>{1, 3}));
    EXPECT_EQ(m.file.indexColumns, (std::vector<int32_t>{2, 4}));
    EXPECT_EQ(m.file.coordSys, "Earth Projection 1, 104");
    EXPECT_EQ(m.file.hasTransform, 1);
    EXPECT_EQ(m.file.transform, (std::vector<double>{2, 3.5, -10, 0.25}));
    EXPECT_EQ(Columns(m.file), (std::vector<ColumnFigures>{{"id", kColInteger, 0, 0}}));
}

TEST(HeaderItems, MissingAndOutOfOrderItemsKeepTheirDefaults) {
    // CoordSys before Charset: the search for CoordSys starts behind Charset and finds nothing.
    OpenedMif m("version 300\ncoordsys NonEarth Units \"m\"\nCHARSET \"Neutral\" \"x\"\ndata\n");
    ASSERT_EQ(m.result, 1);
    EXPECT_EQ(m.file.version, 300);
    EXPECT_EQ(m.file.charset, "Neutral");
    EXPECT_EQ(m.file.coordSys, "");
    EXPECT_EQ(m.file.delimiterText, "");
    EXPECT_EQ(m.file.midFile.GetDelimiter(), '\t');
    EXPECT_TRUE(m.file.uniqueColumns.empty());
    EXPECT_EQ(m.file.hasTransform, 0);
    EXPECT_EQ(m.file.columns.GetCount(), 0);

    OpenedMif quoted("Charset \"Windows Latin\"\nVersion\t300\nData\n");
    EXPECT_EQ(quoted.file.charset, "Windows") << "a quoted name with a space keeps its first word";
    EXPECT_EQ(quoted.file.version, 0) << "Version followed by a TAB is one word";
}

TEST(HeaderItems, TransformNeedsExactlyFourNumbers) {
    OpenedMif three("Transform 1, 2, 3\nData\n");
    EXPECT_EQ(three.file.hasTransform, 0);
    EXPECT_TRUE(three.file.transform.empty());
    OpenedMif five("Transform 1,2,3,4,5\nData\n");
    EXPECT_EQ(five.file.hasTransform, 0);
    EXPECT_TRUE(five.file.transform.empty());
}

TEST(HeaderItems, DelimiterVariants) {
    OpenedMif comma("Delimiter \",\"\nData\n", "1\n");
    EXPECT_EQ(comma.file.midFile.GetDelimiter(), ',');
    OpenedMif tab("Delimiter \"\t\"\nData\n", "1\n");
    EXPECT_EQ(tab.file.midFile.GetDelimiter(), '\t');
    // A quoted space reads as a lone quote word; the delimiter is the space, not the quote.
    OpenedMif space("Delimiter \" \"\nColumns 2\n a Char(5)\n b Integer\nData\nNone\n",
                    "\"x y\" 5\n");
    EXPECT_EQ(space.file.delimiterText, " ");
    EXPECT_EQ(space.file.midFile.GetDelimiter(), ' ');
    space.file.Rewind();
    std::string value;
    EXPECT_EQ(space.file.GetFieldValue(0, value), 1);
    EXPECT_EQ(value, "x y");
    EXPECT_EQ(space.file.GetFieldValue(1, value), 1);
    EXPECT_EQ(value, "5");
    OpenedMif noMid("Delimiter \",\"\nData\n");
    EXPECT_EQ(noMid.file.delimiterText, ",");
    EXPECT_EQ(noMid.file.midFile.IsOpen(), 0);
    EXPECT_EQ(noMid.file.midFile.GetDelimiter(), '\t') << "no MID file, no delimiter set";
}

TEST(HeaderColumns, TypesWithGluedAndSpreadParameters) {
    OpenedMif m(
        "Columns 12\n"
        " a Char(20)\n b Char (20)\n c Char ( 20 )\n d char(20)\n"
        " e Decimal (12, 3)\n f DECIMAL(12)\n g Decimal(1,2,3)\n"
        " h Integer\n i SmallInt\n j Float\n k Date\n l Logical\n"
        "Data\n");
    ASSERT_EQ(m.result, 1);
    EXPECT_EQ(Columns(m.file), (std::vector<ColumnFigures>{
                                   {"a", kColChar, 20, 0},
                                   {"b", kColChar, 20, 0},
                                   {"c", kColChar, 20, 0},
                                   {"d", kColChar, 20, 0},
                                   {"e", kColDecimal, 12, 3},
                                   {"f", kColDecimal, 12, 0},
                                   {"g", kColDecimal, 0, 0},
                                   {"h", kColInteger, 0, 0},
                                   {"i", kColSmallInt, 0, 0},
                                   {"j", kColFloat, 0, 0},
                                   {"k", kColDate, 0, 0},
                                   {"l", kColLogical, 0, 0},
                               }));
}

TEST(HeaderColumns, UnknownTypesTabsAndMissingParenthesis) {
    // Time's parameter word becomes the next column's name; a TAB starts a name.
    OpenedMif m("Columns 3\n a Time (3)\n b Integer\nData\nPoint 1 2\n");
    EXPECT_EQ(Columns(m.file),
              (std::vector<ColumnFigures>{
                  {"a", kColNone, 0, 0}, {"(3)", kColNone, 0, 0}, {"Integer", kColNone, 0, 0}}));
    m.file.Rewind();
    EXPECT_EQ(m.file.nextKind, kMifPoint) << "the word Data is not taken for a column type";
    OpenedMif tab("Columns 1\n\tb Integer\nData\n");
    EXPECT_EQ(Columns(tab.file), (std::vector<ColumnFigures>{{"\tb", kColInteger, 0, 0}}));
    // A Char without ")" gathers up to Data and no further: the object is still found.
    OpenedMif open("Columns 1\n a Char (20\nData\nPoint 1 2\n");
    EXPECT_EQ(Columns(open.file), (std::vector<ColumnFigures>{{"a", kColChar, 20, 0}}));
    open.file.Rewind();
    EXPECT_EQ(open.file.nextKind, kMifPoint);
}

TEST(HeaderColumns, ColumnsNamedLikeHeaderKeywordsStayColumns) {
    // The optional items stop their search at Columns, so these are not taken for Index etc.
    OpenedMif m(
        "Version 300\nDelimiter \",\"\nColumns 4\n Index Integer\n Unique Char(5)\n Transform "
        "Float\n"
        " Data Integer\nData\nPoint 1 2\nPoint 3 4\n",
        "1,\"a\",2.5,9\n2,\"b\",3.5,8\n");
    ASSERT_EQ(m.result, 1);
    EXPECT_TRUE(m.file.indexColumns.empty());
    EXPECT_EQ(m.file.hasTransform, 0);
    EXPECT_EQ(Columns(m.file), (std::vector<ColumnFigures>{{"Index", kColInteger, 0, 0},
                                                           {"Unique", kColChar, 5, 0},
                                                           {"Transform", kColFloat, 0, 0},
                                                           {"Data", kColInteger, 0, 0}}));
    // The column named Data is not the start of the objects either.
    m.file.Rewind();
    int objects = 0;
    std::string value;
    for (; !m.file.IsEof(); m.file.MoveNext()) {
        ++objects;
        EXPECT_EQ(m.file.nextKind, kMifPoint);
        EXPECT_EQ(m.file.GetFieldValue(0, value), 1);
        EXPECT_EQ(value, std::to_string(objects));
    }
    EXPECT_EQ(objects, 2);
}

TEST(HeaderColumns, CountsAreNotTrusted) {
    // Negative: no columns. Larger than the list: the list ends at Data or the end of the file.
    OpenedMif negative("Columns -5\n a Integer\nData\n");
    EXPECT_EQ(negative.file.columns.GetCount(), 0);
    OpenedMif huge("Columns 2000000000\n a Integer\n b Char(3)\nData\nPoint 1 2\n");
    EXPECT_EQ(Columns(huge.file),
              (std::vector<ColumnFigures>{{"a", kColInteger, 0, 0}, {"b", kColChar, 3, 0}}));
    huge.file.Rewind();
    EXPECT_EQ(huge.file.nextKind, kMifPoint) << "the objects are not eaten as columns";
    OpenedMif cut("Columns 5\n a Integer\n b");
    EXPECT_EQ(Columns(cut.file),
              (std::vector<ColumnFigures>{{"a", kColInteger, 0, 0}, {"b", kColNone, 0, 0}}));
    OpenedMif empty("Columns 0\nData\n");
    EXPECT_EQ(empty.file.columns.GetCount(), 0);
}

// Every prefix of a header, its objects and its MID file is read without touching a byte past
// the end of either buffer (the sanitizer build checks that) and without failing.
TEST(HeaderTruncation, EveryPrefixOpensAndWalks) {
    const std::string mif =
        "Version 300\r\nCharset \"Neutral\"\r\nDelimiter \",\"\r\nUnique 1\r\nIndex 1,2\r\n"
        "CoordSys Earth Projection 1, 104\r\nTransform 1, 1, 0, 0\r\nColumns 3\r\n"
        "  a Char ( 10 )\r\n  b Decimal(8,2)\r\n  c Integer\r\nData\r\n\r\nPoint 1 2\r\n"
        "None\r\nPoint 3 4\r\n";
    const std::string mid = "\"x,y\",1.5,3\r\n\"q\"\"r\",2\n\"multi\nline\",3,4\r";
    TempDir dir;
    for (size_t n = 0; n <= mif.size(); ++n) {
        WriteFile(dir.Path("t.mif"), mif.substr(0, n));
        WriteFile(dir.Path("t.mid"), mid.substr(0, n % (mid.size() + 1)));
        CMifFile file;
        ASSERT_EQ(file.Open(dir.Path("t.mif").c_str()), n == 0 ? 0 : 1) << "prefix " << n;
        file.Rewind();
        int objects = 0;
        std::string value;
        while (!file.IsEof()) {
            ASSERT_LT(++objects, 4) << "prefix " << n;
            for (int i = 0; i <= file.columns.GetCount(); ++i) {
                file.GetFieldValue(i, value);
            }
            file.MoveNext();
        }
        if (objects > 0) {
            EXPECT_EQ(file.progress, 100.0) << "prefix " << n;
        }
    }
}

TEST(MifFileObject, ConstructionCloseAndCurrentObject) {
    CMifFile fresh;
    EXPECT_EQ(fresh.IsEof(), 1);
    EXPECT_EQ(fresh.nextKind, -1);
    EXPECT_EQ(fresh.currentObject, nullptr);
    EXPECT_DOUBLE_EQ(fresh.pixelsPerPoint, 96.0 / 72.0);
    CGEO geo;
    EXPECT_EQ(geo.GetMainFrame()->GetOpenDCCount(), 0) << "the device context is given back";

    fresh.CreateCurrentObject(kMifRegion);
    ASSERT_NE(fresh.currentObject, nullptr);
    EXPECT_EQ(fresh.currentObject->kind, kMifRegion);
    fresh.CreateCurrentObject(12);
    EXPECT_EQ(fresh.currentObject, nullptr);
    fresh.CreateCurrentObject(-1);
    EXPECT_EQ(fresh.currentObject, nullptr);

    OpenedMif m("Version 300\nDelimiter \",\"\nColumns 1\n a Integer\nData\nPoint 1 2\n", "5\n");
    ASSERT_EQ(m.result, 1);
    m.file.Rewind();
    m.file.CreateCurrentObject(kMifPoint);
    m.file.Close();
    EXPECT_EQ(m.file.IsOpen(), 0);
    EXPECT_EQ(m.file.midFile.IsOpen(), 0);
    EXPECT_EQ(m.file.midFile.FieldCount(), 0);
    EXPECT_EQ(m.file.currentObject, nullptr);
    EXPECT_EQ(m.file.IsEof(), 1);
    EXPECT_EQ(m.file.version, 0);
    EXPECT_EQ(m.file.columns.GetCount(), 0);
    EXPECT_EQ(m.file.delimiterText, "");
}

TEST(MifFileObject, ResolutionComesFromTheHostsMainFrame) {
    CGEO geo;
    geo.GetMainFrame()->SetLogPixelsY(144);
    CMifFile file;
    geo.GetMainFrame()->SetLogPixelsY(96);
    EXPECT_DOUBLE_EQ(file.pixelsPerPoint, 2.0);
}

TEST(MifFileObject, OpenFailsOnMissingAndEmptyFiles) {
    TempDir dir;
    CMifFile file;
    EXPECT_EQ(file.Open(dir.Path("missing.mif").c_str()), 0);
    WriteFile(dir.Path("empty.mif"), "");
    EXPECT_EQ(file.Open(dir.Path("empty.mif").c_str()), 0);
    EXPECT_EQ(file.Open(nullptr), 0);
    EXPECT_EQ(file.IsEof(), 1);
}

TEST(MifFileObject, MidFileNameReplacesTheFileNamesExtension) {
    EXPECT_EQ(GetMidFileName("/data/roads.mif"), "/data/roads.mid");
    EXPECT_EQ(GetMidFileName("C:\\maps\\ROADS.MIF"), "C:\\maps\\ROADS.mid");
    EXPECT_EQ(GetMidFileName("/data.v2/roads"), "/data.v2/roads.mid");
    EXPECT_EQ(GetMidFileName("a.b.mif"), "a.b.mid");
    EXPECT_EQ(GetMidFileName(""), ".mid");
}

TEST(MifFileObject, MidFileWithUpperCaseExtensionIsFound) {
    TempDir dir;
    WriteFile(dir.Path("t.mif"), "Columns 1\n a Integer\nData\nPoint 1 2\n");
    WriteFile(dir.Path("t.MID"), "42\n");
    CMifFile file;
    ASSERT_EQ(file.Open(dir.Path("t.mif").c_str()), 1);
    file.Rewind();
    std::string value;
    EXPECT_EQ(file.GetFieldValue(0, value), 1);
    EXPECT_EQ(value, "42");
}

// The file context through the shared plug-in, as the host calls it.
class ContextTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(lib.Loaded()) << dlerror();
        open = lib.Get<XF_OpenFn>("XF_Open");
        close = lib.Get<XF_CloseFn>("XF_Close");
        ASSERT_NE(open, nullptr);
        ASSERT_NE(close, nullptr);
    }
    PluginLibrary lib;
    XF_OpenFn open = nullptr;
    XF_CloseFn close = nullptr;
    TempDir dir;
    CGEO geo;
};

TEST_F(ContextTest, OpenFailsWithErrorCode2AndLeavesNothing) {
    WriteFile(dir.Path("empty.mif"), "");
    for (const std::string& path : {dir.Path("missing.mif"), dir.Path("empty.mif")}) {
        CXF_FileInfo info;
        EXPECT_EQ(open(&geo, &info, path.c_str()), 0) << path;
        EXPECT_EQ(info.errorCode, 2);
        EXPECT_EQ(info.userData, nullptr);
        EXPECT_EQ(info.GetSize(), 0);
    }
    CXF_FileInfo info;
    EXPECT_EQ(open(&geo, &info, nullptr), 0);
    EXPECT_EQ(info.errorCode, 2);
    EXPECT_EQ(open(&geo, nullptr, dir.Path("missing.mif").c_str()), 0);
}

TEST_F(ContextTest, OpenStoresTheContextAndCloseFreesTheItems) {
    WriteFile(dir.Path("plain.mif"), "just some text, no header\n");
    CXF_FileInfo info;
    ASSERT_EQ(open(&geo, &info, dir.Path("plain.mif").c_str()), 1);
    EXPECT_EQ(info.errorCode, 0);
    ASSERT_NE(info.userData, nullptr);
    auto* context = static_cast<CMifContext*>(info.userData);
    EXPECT_EQ(context->app, &geo);
    EXPECT_EQ(context->keepFileInfo, 0);
    EXPECT_EQ(context->fileName, "");
    ASSERT_NE(context->mifFile, nullptr);
    context->mifFile->Rewind();
    EXPECT_EQ(context->mifFile->IsEof(), 1) << "a file without a header has no objects";
    ASSERT_EQ(info.GetSize(), 1);
    auto* vectorInfo = dynamic_cast<CXF_VectorInfo*>(info.GetItem(0));
    ASSERT_NE(vectorInfo, nullptr);
    EXPECT_TRUE(vectorInfo->WasAdded());
    EXPECT_EQ(vectorInfo->GetApp(), geo.GetApp());

    close(&info);
    EXPECT_EQ(info.GetFreeMemCount(), 1);
    EXPECT_EQ(info.GetSize(), 0);
    EXPECT_EQ(info.userData, nullptr);
    close(&info);
    EXPECT_EQ(info.GetFreeMemCount(), 1) << "a second close finds no context";
    close(nullptr);
}

TEST_F(ContextTest, CloseOfAnExportContextKeepsTheItems) {
    CXF_FileInfo info;
    info.AddPtrItem(new CXF_VectorInfo(geo.GetApp()));
    auto* context = new CMifContext();
    context->keepFileInfo = 1;
    context->mifFile = std::make_unique<CMifFile>();
    info.userData = context;
    close(&info);
    EXPECT_EQ(info.GetFreeMemCount(), 0);
    EXPECT_EQ(info.GetSize(), 1);
}

}  // namespace

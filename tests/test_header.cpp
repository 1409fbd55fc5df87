#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "mif/reader/mif_reader.h"
#include "mif_text.h"
#include "plugin/entry_points.h"
#include "plugin/host/app.h"
#include "plugin/host/file_info.h"
#include "plugin/host/main_frame.h"
#include "test_util.h"

namespace {

// Each column as name/type/width/decimals.
std::vector<std::string> Columns(const CMifReader& file) {
    std::vector<std::string> out;
    const CMifColumnList& columns = file.Header().columns;
    for (int32_t i = 0; i < columns.GetCount(); ++i) {
        const CMifColumn& c = columns.Get(i);
        out.push_back(c.name + "/" + std::to_string(c.type) + "/" + std::to_string(c.width) + "/" +
                      std::to_string(c.decimals));
    }
    return out;
}
using Names = std::vector<std::string>;

// A Transform of 3 numbers is none, nor is one of 4 that are not all finite.
TEST(Header, TransformIsFourFiniteNumbers) {
    for (const char* transform : {"1,2,3", "1, 2, nan, 4"}) {
        MifPair odd(std::string("Transform ") + transform + "\nData\n");
        EXPECT_FALSE(odd.file.Header().hasTransform) << transform;
        EXPECT_TRUE(odd.file.Header().transform.empty()) << transform;
    }
}

// Each item is searched from the start of the header, and TABs separate words: other programs
// write the items in other orders and indent with TABs.
TEST(Header, ItemsInAnyOrderWithTabs) {
    const char* items[] = {
        "Version\t300", "Charset \"Windows Latin\"",     "Delimiter \";\"",           "Unique 1, 3",
        "Index\t2,,4",  "CoordSys NonEarth Units \"m\"", "Transform 2, 3.5\t-10 0.25"};
    std::vector<std::string> lines(std::begin(items), std::end(items));
    for (int order = 0; order < 3; ++order) {
        if (order == 1) {
            std::reverse(lines.begin(), lines.end());
        } else if (order == 2) {
            std::rotate(lines.begin(), lines.begin() + 3, lines.end());
        }
        std::string header;
        for (const std::string& line : lines) {
            header += "\t" + line + "\r\n";
        }
        MifPair m(
            header + "Columns\t2\r\n\tname\tChar(10)\r\nid Integer\t\r\nData\t\r\nPoint 1\t2\r\n",
            "a;7\r\n");
        SCOPED_TRACE(header);
        ASSERT_TRUE(m.opened);
        EXPECT_EQ(m.file.Header().version, 300);
        EXPECT_EQ(m.file.Header().charset, "Windows");
        EXPECT_EQ(m.file.Delimiter(), ';');
        EXPECT_EQ(m.file.Header().uniqueColumns, (std::vector<int32_t>{1, 3}));
        EXPECT_EQ(m.file.Header().indexColumns, (std::vector<int32_t>{2, 4}));
        EXPECT_EQ(m.file.Header().coordSys, "NonEarth Units \"m\"");
        EXPECT_EQ(m.file.Header().transform, (std::vector<double>{2, 3.5, -10, 0.25}));
        EXPECT_TRUE(m.file.Header().hasTransform);
        EXPECT_EQ(Columns(m.file), (Names{"name/1/10/0", "id/2/0/0"}));
        m.file.Rewind();
        EXPECT_EQ(m.file.NextKind(), kMifPoint);
    }
}

TEST(Header, DelimiterVariants) {
    MifPair tab("Delimiter \"\t\"\nData\n", "1\n");
    EXPECT_EQ(tab.file.Delimiter(), '\t');
    MifPair bare("Delimiter\t|\nData\n", "1\n");
    EXPECT_EQ(bare.file.Delimiter(), '|');
    MifPair noMid("Delimiter \",\"\nData\n");
    EXPECT_EQ(noMid.file.Delimiter(), '\t') << "no MID file, no delimiter set";
    // A quoted space reads as a lone quote word; the delimiter is the space, not the quote.
    MifPair space("Delimiter \" \"\nColumns 2\n a Char(5)\n b Integer\nData\nNone\n",
                  "\"x y\" 5\n");
    EXPECT_EQ(space.file.Delimiter(), ' ');
    space.file.Rewind();
    std::string value;
    EXPECT_EQ(space.file.GetFieldValue(0, value), 1);
    EXPECT_EQ(value, "x y");
}

TEST(HeaderColumns, TypesWithGluedAndSpreadParameters) {
    MifPair m(
        "Columns 11\n a Char(20)\n b Char (20)\n c char ( 20 )\n e Decimal (12, 3)\n"
        " f DECIMAL(12)\n g Decimal(1,2,3)\n h Integer\n i SmallInt\n j Float\n k Date\n"
        "\tl Logical\nData\n");
    EXPECT_EQ(Columns(m.file),
              (Names{"a/1/20/0", "b/1/20/0", "c/1/20/0", "e/4/12/3", "f/4/12/0", "g/4/0/0",
                     "h/2/0/0", "i/3/0/0", "j/5/0/0", "k/6/0/0", "l/7/0/0"}));
}

// A definition is one line, a name and its type: a line with a name alone or with a type no
// reader knows is a Char(254) column of that name, and the next line is the next column. Reading
// words instead shifted every later column's name onto the type before it.
TEST(HeaderColumns, OneDefinitionPerLine) {
    MifPair m(
        "Columns 5\n a\n b Integer\n c Blob (4)\n d Char (9) extra\n\n e Date\nData\n"
        "Point 1 2\n",
        "x\t1\ty\tz\t20201231\n");
    EXPECT_EQ(Columns(m.file), (Names{"a/1/254/0", "b/2/0/0", "c/1/254/0", "d/1/9/0", "e/6/0/0"}));
    EXPECT_EQ(Walk(m.file), (Records{{"x", "1", "y", "z", "20201231"}}));
}

// A UTF-8 byte order mark before the first header word, or before the first MID value, is no part
// of it.
TEST(Header, ByteOrderMarksAreSkipped) {
    MifPair m("\xEF\xBB\xBFVersion 450\nColumns 1\n n Integer\nData\nPoint 1 2\nPoint 3 4\n",
              "\xEF\xBB\xBF"
              "7\n8\n");
    ASSERT_TRUE(m.opened);
    EXPECT_EQ(m.file.Header().version, 450);
    EXPECT_EQ(Walk(m.file), (Records{{"7"}, {"8"}}));
}

TEST(HeaderColumns, MalformedListsNeverSwallowTheWordData) {
    // A definition is one line: Time's stray parameter stays on its line, and a list shorter
    // than its count ends at Data, where the objects are still found.
    MifPair time("Columns 3\n a Time (3)\n b Integer\nData\nPoint 1 2\n");
    EXPECT_EQ(Columns(time.file), (Names{"a/0/0/0", "b/2/0/0"}));
    time.file.Rewind();
    EXPECT_EQ(time.file.NextKind(), kMifPoint);
    MifPair open("Columns 1\n a Char (20\nData\nPoint 1 2\n");
    EXPECT_EQ(Columns(open.file), Names{"a/1/20/0"});
    open.file.Rewind();
    EXPECT_EQ(open.file.NextKind(), kMifPoint);
}

TEST(HeaderColumns, CountsAreNotTrusted) {
    MifPair negative("Columns -5\n a Integer\nData\n");
    EXPECT_EQ(negative.file.Header().columns.GetCount(), 0);
    MifPair huge("Columns 2000000000\n a Integer\n b Char(3)\nData\nPoint 1 2\n");
    EXPECT_EQ(Columns(huge.file), (Names{"a/2/0/0", "b/1/3/0"}));
    huge.file.Rewind();
    EXPECT_EQ(huge.file.NextKind(), kMifPoint) << "the objects are not read as columns";
    MifPair cut("Columns 5\n a Integer\n b");
    EXPECT_FALSE(cut.opened) << "the columns run to the end of the file, with no Data after them";
}

TEST(HeaderColumns, ColumnsNamedLikeHeaderKeywordsStayColumns) {
    MifPair m(
        "Version 300\nDelimiter \",\"\nColumns 10\n Index Integer\n Version Char(3)\n"
        " Charset Time\n Delimiter LargeInt\n Unique Date\n CoordSys Logical\n Columns Float\n"
        " Transform Float\n Data DateTime\n Last Integer\nData\nPoint 1 2\nPoint 3 4\n",
        "1,2.5,9\n2,3.5,8\n");
    EXPECT_TRUE(m.file.Header().indexColumns.empty());
    EXPECT_FALSE(m.file.Header().hasTransform);
    EXPECT_EQ(
        Columns(m.file),
        (Names{"Index/2/0/0", "Version/1/3/0", "Charset/0/0/0", "Delimiter/0/0/0", "Unique/6/0/0",
               "CoordSys/7/0/0", "Columns/5/0/0", "Transform/5/0/0", "Data/0/0/0", "Last/2/0/0"}));
    // Nor is the column named Data the start of the objects.
    Names objects;
    Records records = Walk(m.file, &objects);
    EXPECT_EQ(objects, (Names{"Point 1,2", "Point 3,4"}));
    EXPECT_EQ(records.at(1).at(0), "2");
}

TEST(MifReader, TheMidFileBesideItAndClosing) {
    CMifReader unopened;
    EXPECT_EQ(unopened.ReadObject(), nullptr) << "a reader that opened nothing holds no object";

    MifPair m("Version 300\nColumns 1\n a Integer\nData\nPoint 1 2\n");
    WriteFile(m.dir.Path("t.MID"), "42\n");  // written on a system that ignores case
    ASSERT_EQ(m.file.Open(m.dir.Path("t.mif").c_str()), 1);
    m.file.Rewind();
    std::string value;
    EXPECT_EQ(m.file.GetFieldValue(0, value), 1);
    EXPECT_EQ(value, "42") << "the MID file with an upper-case extension is found";
    ASSERT_NE(m.file.ReadObject(), nullptr);
    m.file.Close();
    EXPECT_EQ(m.file.CurrentObject(), nullptr);
    EXPECT_EQ(m.file.Header().columns.GetCount(), 0);
    EXPECT_EQ(m.file.IsEof(), 1);
    EXPECT_EQ(m.file.GetFieldValue(0, value), 0) << "a closed reader has no values";

    EXPECT_EQ(GetMidFileName("C:\\maps\\ROADS.MIF"), "C:\\maps\\ROADS.mid");
    EXPECT_EQ(GetMidFileName("/data.v2/roads"), "/data.v2/roads.mid");
    EXPECT_EQ(GetMidFileName(""), ".mid");
}

// The file context through the shared plug-in, as the host calls it.
TEST(FileContext, OpenAndClose) {
    PluginLibrary lib;
    ASSERT_TRUE(lib.Loaded()) << PluginLibrary::Error();
    auto open = lib.Get<XF_OpenFn>("XF_Open");
    auto close = lib.Get<XF_CloseFn>("XF_Close");
    ASSERT_NE(open, nullptr);
    ASSERT_NE(close, nullptr);
    CGEO geo;
    // What is not a MIF file, and a MID file that exists but cannot be read, fail the open with
    // error code 2, without waiting on a FIFO; a missing or empty MID file gives empty values.
    // Files are given as their bytes, or as "fifo", "folder" or "locked" (held by a writer).
    const std::string mif = "Version 300\nColumns 1\n a Integer\nData\nPoint 1 2\n";
    using File = std::optional<std::string>;
    const struct {
        const char* what;
        File mif, mid;
        int expected;  // 1 opened, 2 refused with error code 2
    } cases[] = {
        {"missing", {}, {}, 2},
        {"empty", "", {}, 2},
        {"text without Data", "root:x:0:0:root:/root:/bin/bash\n", {}, 2},
        {"a picture", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10", 20), {}, 2},
        {"the MID file", "1\t\"Main St\"\t3.5\r\n", {}, 2},
        {"a FIFO", "fifo", {}, 2},
        {"MID is a FIFO", mif, "fifo", 2},
        {"MID is a folder", mif, "folder", 2},
        {"MID is locked by a writer", mif, "locked", 2},
        {"no MID", mif, {}, 1},
        {"empty MID", mif, "", 1},
    };
    for (const auto& c : cases) {
        TempDir dir;
        std::string path = dir.Path("t.mif");
        CTextFile writer;
        bool fifo = true;
        for (const auto& [name, file] : {std::pair{path, c.mif}, {dir.Path("t.mid"), c.mid}}) {
            if (!file) {
                continue;
            } else if (*file == "fifo") {
                fifo = testos::MakeFifo(name);
            } else if (*file == "folder") {
                std::filesystem::create_directory(name);
            } else if (*file == "locked") {
                ASSERT_EQ(writer.OpenWrite(name.c_str()), 1);
            } else {
                WriteFile(name, *file);
            }
        }
        if (!fifo) {
            continue;  // no FIFOs among files here (Windows)
        }
        int result = testos::InChild(10, [&] {
            CXF_FileInfo info;
            int opened = open(&geo, &info, path.c_str());
            bool clean = opened == 1 || (info.userData == nullptr && info.GetSize() == 0);
            close(&info);
            return clean ? (opened == 1 ? 1 : info.errorCode) : 99;
        });
        EXPECT_EQ(result, c.expected) << c.what;
    }

    TempDir dir;
    WriteFile(dir.Path("plain.mif"), "just some text\nData\n");
    CXF_FileInfo info;
    ASSERT_EQ(open(&geo, &info, dir.Path("plain.mif").c_str()), 1);
    EXPECT_NE(info.userData, nullptr);
    ASSERT_EQ(info.GetSize(), 1);
    auto* vectorInfo = dynamic_cast<CXF_VectorInfo*>(info.GetItem(0));
    ASSERT_NE(vectorInfo, nullptr);
    EXPECT_TRUE(vectorInfo->WasAdded());
    close(&info);
    EXPECT_EQ(info.GetFreeMemCount(), 1);
    EXPECT_EQ(info.userData, nullptr);
    close(&info);
    EXPECT_EQ(info.GetFreeMemCount(), 1) << "a second close finds no context";
    close(nullptr);
}

}  // namespace

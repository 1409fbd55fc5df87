#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>

#include "test_util.h"
#include "textfile/os_file.h"
#include "textfile/text_file.h"

namespace {

constexpr uint32_t kPage = CTextFile::kPageSize;

// Bytes that differ from their neighbours, so a byte read from the wrong place shows.
std::string Pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) {
        s[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
    }
    return s;
}

std::string ReadAll(CTextFile& f) {
    std::string out;
    char c;
    while (f.GetChar(c)) {
        out.push_back(c);
    }
    return out;
}

// Sizes around the page: the buffer holds one page (or the file) plus one byte, and every byte
// is read once, in order, across the boundary.
TEST(TextFileRead, SizesAroundThePage) {
    TempDir dir;
    for (size_t size : {size_t{0}, size_t{5}, size_t{kPage}, size_t{kPage} + 1}) {
        std::string data = Pattern(size);
        WriteFile(dir.Path("f.txt"), data);
        CTextFile f;
        ASSERT_EQ(f.OpenRead(dir.Path("f.txt").c_str()), size > 0 ? 1 : 0) << size;
        if (size == 0) {
            continue;
        }
        EXPECT_EQ(f.BufferSize(), std::min<size_t>(size, kPage) + 1) << size;
        EXPECT_EQ(f.LoadPage(static_cast<int32_t>((size + kPage - 1) / kPage)), 0)
            << "the page past the end changes nothing";
        EXPECT_EQ(f.Page(), 0);
        EXPECT_EQ(ReadAll(f), data) << size;
        EXPECT_EQ(f.Page(), size > kPage ? 1 : 0);
        char c = 'x';
        EXPECT_FALSE(f.GetChar(c));
        EXPECT_EQ(c, 'x') << "the end of the file leaves the byte untouched";
        f.SeekToStart();
        EXPECT_EQ(ReadAll(f), data) << size;
    }
}

// Only ordinary files are read, and no open waits: a FIFO without a writer (or, for writing,
// without a reader) would block it for ever. A missing file is told from one that is refused.
TEST(TextFileRead, OnlyOrdinaryFilesAndNoOpenWaits) {
    SKIP_WITHOUT_POSIX("FIFOs among files");
    TempDir dir;
    const std::string fifo = dir.Path("fifo");
    ASSERT_TRUE(testos::MakeFifo(fifo));
    WriteFile(dir.Path("empty"), "");
    using Result = CTextFile::OpenResult;
    const std::pair<std::string, Result> reads[] = {{fifo, Result::kRefused},
                                                    {dir.Root().string(), Result::kRefused},
                                                    {"/dev/zero", Result::kRefused},
                                                    {dir.Path("missing"), Result::kMissing},
                                                    {dir.Path("empty"), Result::kEmpty}};
    // Each case that goes wrong sets its bit; a call that blocks makes the child time out.
    int wrong = testos::InChild(10, [&] {
        int bits = 0;
        for (size_t k = 0; k < std::size(reads); ++k) {
            CTextFile f;
            if (f.OpenRead(reads[k].first.c_str()) != 0 || f.LastOpenResult() != reads[k].second) {
                bits |= 1 << k;
            }
        }
        CTextFile out;
        bits |= out.OpenWrite(fifo.c_str()) != 0 ? 1 << 5 : 0;
        int reader = testos::OpenFifoReader(fifo);
        // With a reader waiting on it, a FIFO takes output as a file does.
        bits |= out.OpenWrite(fifo.c_str()) != 1 ? 1 << 6 : 0;
        bits |= out.WriteLine("through", 7) != 1 ? 1 << 8 : 0;
        out.CloseFile();
        bits |= testos::ReadFifo(reader) != "through\r\n" ? 1 << 9 : 0;
        testos::CloseFifoReader(reader);
        bits |= out.OpenWrite(dir.Root().string().c_str()) != 0 ? 1 << 7 : 0;
        return bits;
    });
    EXPECT_EQ(wrong, 0);
    CTextFile device, again;
    EXPECT_EQ(device.OpenWrite("/dev/null"), 1) << "a character device takes output";
    EXPECT_EQ(again.OpenWrite("/dev/null"), 1) << "and is not locked against other writers";
}

TEST(TextFileRead, MarkRestoredFromTwoPagesBack) {
    TempDir dir;
    std::string data = Pattern(3 * kPage - 5);
    WriteFile(dir.Path("three.txt"), data);
    CTextFile f;
    ASSERT_EQ(f.OpenRead(dir.Path("three.txt").c_str()), 1);
    char c;
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(f.GetChar(c));
    }
    f.SetMark();
    for (uint32_t i = 0; i < 2 * kPage + 3; ++i) {
        ASSERT_TRUE(f.GetChar(c));
    }
    ASSERT_EQ(f.Page(), 2);
    f.RestoreMark();
    EXPECT_EQ(f.Page(), 0);
    ASSERT_TRUE(f.GetChar(c));
    EXPECT_EQ(c, data[10]);
    EXPECT_EQ(f.ReadOffset(), 11);
}

TEST(TextFileRead, PageBeyondTwoGiBInASparseFile) {
    TempDir dir;
    std::string path = dir.Path("sparse.txt");
    const int64_t offset = (int64_t{2048} + 3) * kPage + 17;  // in page 2051, past 2 GiB
    ASSERT_TRUE(testos::WriteSparse(path, offset, "Region 1"));
    CTextFile f;
    ASSERT_EQ(f.OpenRead(path.c_str()), 1);
    EXPECT_EQ(f.FileSize(), offset + 8);
    ASSERT_EQ(f.LoadPage(2051), 1);
    EXPECT_EQ(f.PageLength(), 17u + 8u);
    EXPECT_EQ(ReadAll(f).substr(17), "Region 1");
    EXPECT_EQ(f.ReadOffset(), offset + 8);
}

TEST(TextFileWrite, LinesEndInCrLfArriveWholeAndReplaceTheOldFile) {
    TempDir dir;
    std::string path = dir.Path("out.mif");
    WriteFile(path, Pattern(300000));
    std::string longLine = Pattern(200000);
    CTextFile f;
    ASSERT_EQ(f.OpenWrite(path.c_str()), 1);
    std::string expected;
    for (int i = 0; i < 5000; ++i) {
        std::string line = i == 2500 ? longLine : i == 0 ? "" : std::to_string(i) + " 1.000000";
        ASSERT_NE(f.WriteLine(line), 0);
        expected += line + "\r\n";
    }
    f.CloseFile();
    f.CloseFile();  // a second close does nothing
    EXPECT_FALSE(f.HasWriteError());
    EXPECT_EQ(ReadFile(path), expected);
    EXPECT_EQ(f.OpenWrite(dir.Path("no/such/folder.mif").c_str()), 0);
}

// Faults asked of the file layer, so that what a failed write or read leaves is seen on every
// platform. A failed write keeps what was handed to the system before it and adds nothing after
// it; every failure is reported.
TEST(TextFileFaults, AFailedWriteKeepsWhatWentBeforeAndIsReported) {
    constexpr size_t kBuffer = COsFile::kWriteBufferSize;
    struct Case {
        const char* what;
        COsFileFault fault;
        int after;
        int lines;           // of 40 bytes each with CR LF
        size_t keptAtLeast;  // bytes that stay
        size_t keptAtMost;
        bool lineWriteFails;  // a WriteLine call reports it, not only the close
    };
    const Case cases[] = {
        {"the first write", COsFileFault::kWrite, 0, 5000, 0, 0, true},
        {"the third write", COsFileFault::kWrite, 2, 5000, 2 * (kBuffer - 40), 2 * kBuffer, true},
        {"the only write, at close", COsFileFault::kWrite, 0, 10, 0, 0, false},
        {"the flush at close of a small file", COsFileFault::kFlushAtClose, 0, 10, 0, 0, false},
        {"the flush at close", COsFileFault::kFlushAtClose, 0, 5000, 200000 - kBuffer, 199999,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        std::string path = dir.Path("out.mif");
        COsFile::InjectFault(c.fault, "out.mif", c.after);
        CTextFile f;
        ASSERT_EQ(f.OpenWrite(path.c_str()), 1);
        std::string expected;
        bool lineFailed = false;
        for (int i = 0; i < c.lines; ++i) {
            std::string line = Pattern(38);
            line[0] = static_cast<char>('0' + i % 10);
            lineFailed = f.WriteLine(line) == 0 || lineFailed;
            expected += line + "\r\n";
        }
        EXPECT_EQ(lineFailed, c.lineWriteFails);
        f.CloseFile();
        EXPECT_TRUE(f.HasWriteError());
        std::string kept = ReadFile(path);
        EXPECT_GE(kept.size(), c.keptAtLeast);
        EXPECT_LE(kept.size(), c.keptAtMost);
        EXPECT_EQ(kept, expected.substr(0, kept.size())) << "what stays is the start of the text";
        EXPECT_EQ(kept.size() % 40, 0u) << "whole lines";
    }
}

// A fault goes to the next file opened whose path ends as it says, and only to that one.
TEST(TextFileFaults, TheFaultGoesToTheNextFileItNames) {
    TempDir dir;
    COsFile::InjectFault(COsFileFault::kFlushAtClose, "b.mif");
    const std::pair<const char*, bool> files[] = {
        {"a.mif", false}, {"b.mif", true}, {"c.mif", false}, {"b.mif", false}};
    for (const auto& [name, fails] : files) {
        CTextFile f;
        ASSERT_EQ(f.OpenWrite(dir.Path(name).c_str()), 1);
        f.WriteLine(std::string(name));
        f.CloseFile();
        EXPECT_EQ(f.HasWriteError(), fails) << name;
        EXPECT_EQ(ReadFile(dir.Path(name)), fails ? "" : std::string(name) + "\r\n") << name;
    }
    COsFile::InjectFault(COsFileFault::kWrite);
    COsFile::InjectFault(COsFileFault::kNone);
    CTextFile f;
    ASSERT_EQ(f.OpenWrite(dir.Path("d.mif").c_str()), 1);
    f.WriteLine(std::string("d"));
    f.CloseFile();
    EXPECT_FALSE(f.HasWriteError()) << "kNone takes back a fault that no file has taken";
}

// A page that cannot be read (a read that fails, on any platform) ends the text where the data
// ends; a file whose first page cannot be read is refused.
TEST(TextFileFaults, APageThatCannotBeReadEndsTheText) {
    TempDir dir;
    std::string data = Pattern(2 * kPage + 100);
    WriteFile(dir.Path("in.mif"), data);
    COsFile::InjectFault(COsFileFault::kRead, "in.mif", 1);
    CTextFile f;
    ASSERT_EQ(f.OpenRead(dir.Path("in.mif").c_str()), 1);
    EXPECT_EQ(ReadAll(f), data.substr(0, kPage));
    EXPECT_EQ(f.FileSize(), kPage);
    EXPECT_EQ(f.ReadOffset(), kPage) << "the read position is not past the data";

    COsFile::InjectFault(COsFileFault::kRead, "in.mif", 0);
    CTextFile first;
    EXPECT_EQ(first.OpenRead(dir.Path("in.mif").c_str()), 0);
    EXPECT_EQ(first.LastOpenResult(), CTextFile::OpenResult::kRefused);
}

}  // namespace

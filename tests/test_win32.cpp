// What only the Windows build has: the resources compiled into mif.dll, share modes and file
// offsets past 4 GiB. (check_pe.sh checks the export table with its ordinals.)
// Without GDI: the host library declares its own GetDeviceCaps.
#define NOGDI
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "plugin/entry_points.h"
#include "plugin/host/app.h"
#include "plugin/host/file_info.h"
#include "test_util.h"
#include "textfile/os_file.h"
#include "textfile/text_file.h"

namespace {

// mif.dll, loaded as the application loads it.
class Dll {
public:
    Dll() : module(LoadLibraryA(MIF_PLUGIN_PATH)) {}
    ~Dll() {
        if (module != nullptr) {
            FreeLibrary(module);
        }
    }
    Dll(const Dll&) = delete;
    Dll& operator=(const Dll&) = delete;

    HMODULE module;
};

// String id of mif.dll's table in one language, as UTF-16: blocks of 16 counted strings.
std::wstring TableString(HMODULE module, int id, WORD language) {
    HRSRC info =
        FindResourceExW(module, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(id / 16 + 1), language);
    if (info == nullptr) {
        return L"<none>";
    }
    const auto* p = static_cast<const WCHAR*>(LockResource(LoadResource(module, info)));
    for (int i = 0; i < id % 16; ++i) {
        p += 1 + *p;
    }
    return std::wstring(p + 1, *p);
}

TEST(Win32Resources, StringTableInEnglishAndRussianAndTheBitmap) {
    Dll dll;
    ASSERT_NE(dll.module, nullptr);
    const WORD english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    const WORD russian = MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT);
    EXPECT_EQ(TableString(dll.module, 1, english), L"id");
    EXPECT_EQ(TableString(dll.module, 100, english), L"Write vector features");
    EXPECT_EQ(TableString(dll.module, 102, english), L"Write text");
    EXPECT_EQ(TableString(dll.module, 1, russian), L"id");
    EXPECT_EQ(TableString(dll.module, 100, russian),
              L"\x0417\x0430\x043F\x0438\x0441\x044C \x0432\x0435\x043A\x0442\x043E\x0440\x043D"
              L"\x044B\x0445 \x043E\x0431\x044A\x0435\x043A\x0442\x043E\x0432");
    EXPECT_EQ(TableString(dll.module, 102, russian),
              L"\x0417\x0430\x043F\x0438\x0441\x044C \x0442\x0435\x043A\x0441\x0442\x043E\x0432"
              L"\x044B\x0445 \x043E\x0431\x044A\x0435\x043A\x0442\x043E\x0432");

    HRSRC bitmap = FindResourceW(dll.module, MAKEINTRESOURCEW(2006), MAKEINTRESOURCEW(2));
    ASSERT_NE(bitmap, nullptr);
    // The bitmap's info header: width, height and bits per pixel.
    const auto* header =
        static_cast<const unsigned char*>(LockResource(LoadResource(dll.module, bitmap)));
    int32_t width, height;
    uint16_t bits;
    std::memcpy(&width, header + 4, 4);
    std::memcpy(&height, header + 8, 4);
    std::memcpy(&bits, header + 14, 2);
    EXPECT_EQ(width, 16);
    EXPECT_EQ(height, 15);
    EXPECT_EQ(bits, 8);
}

TEST(Win32Files, FileOpenForWritingElsewhereIsASharingViolation) {
    TempDir dir;
    std::string path = dir.Path("held.mif");
    WriteFile(path, "Version 300\r\nColumns 1\r\n  A integer\r\nData\r\nPoint 1 2\r\n");
    // Another program holds the file open for writing, and lets others read and write.
    HANDLE other = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    CTextFile f;
    EXPECT_EQ(f.OpenRead(path.c_str()), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));

    PluginLibrary lib;
    ASSERT_TRUE(lib.Loaded());
    auto open = lib.Get<XF_OpenFn>("XF_Open");
    CGEO geo;
    CXF_FileInfo info;
    info.mainApp = geo.GetApp();
    EXPECT_EQ(open(&geo, &info, path.c_str()), 0);
    EXPECT_EQ(info.errorCode, 2);
    CloseHandle(other);
    EXPECT_EQ(f.OpenRead(path.c_str()), 1) << "readable once the other handle is gone";
}

TEST(Win32Files, PipesAndDevicesAreNotReadAndPipesNotWritten) {
    // A pipe with a server and nobody writing would block a reader; one nobody reads, a writer.
    const char* name = "\\\\.\\pipe\\miftest-not-a-file";
    HANDLE ends[2];
    for (HANDLE& end : ends) {
        end = CreateNamedPipeA(name, PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 2, 4096, 4096, 0, nullptr);
        ASSERT_NE(end, INVALID_HANDLE_VALUE);
    }
    for (const char* path : {name, "NUL"}) {
        COsFile reader, writer;
        EXPECT_FALSE(reader.OpenRead(path)) << path;
        // A character device takes output, as /dev/null does elsewhere.
        EXPECT_EQ(writer.OpenWrite(path), path != name) << path;
    }
    for (HANDLE end : ends) {
        CloseHandle(end);
    }
}

TEST(Win32Files, PagesPastFourGiBReadFromTheirOffsets) {
    TempDir dir;
    std::string path = dir.Path("huge.mif");
    const int32_t page = 4096 + 5;  // 4 GiB + 5 MiB: the offset's high half is 1
    const int64_t offset = int64_t{page} * CTextFile::kPageSize + 17;
    ASSERT_TRUE(testos::WriteSparse(path, offset, "Region 1"));
    CTextFile f;
    ASSERT_EQ(f.OpenRead(path.c_str()), 1);
    EXPECT_EQ(f.FileSize(), offset + 8);
    ASSERT_EQ(f.LoadPage(page), 1);
    ASSERT_EQ(f.PageLength(), 17u + 8u);
    f.SeekTo(offset);
    std::string text;
    char c;
    while (f.GetChar(c)) {
        text.push_back(c);
    }
    // Read at the offset cut to 32 bits, the page would be part of the hole: zeros.
    EXPECT_EQ(text, "Region 1");
    EXPECT_EQ(f.ReadOffset(), offset + 8);
}

}  // namespace

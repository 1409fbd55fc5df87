#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "test_util.h"
#include "tools/mifhost/batch.h"
#include "tools/mifhost/layer_view.h"
#include "tools/mifhost/output_files.h"
#include "tools/mifhost/progress.h"
#include "tools/mifhost/terminal_text.h"

namespace {

struct HostRun {
    int code = -1;
    std::string out;
    std::string err;
};

// Runs mifhost in the test's folder with the arguments; standard output and standard error go to
// files there (standard output to stdoutPath when one is given), and its files may grow to
// fileSizeLimit bytes (-1: no limit).
HostRun RunHost(const std::vector<std::string>& args, const TempDir& dir,
                const std::string& stdoutPath = "", long fileSizeLimit = -1) {
    std::string outPath = stdoutPath.empty() ? dir.Path("stdout.txt") : stdoutPath;
    std::string errPath = dir.Path("stderr.txt");
    HostRun r;
    r.code =
        testos::Run(MIFHOST_PATH, args, {dir.Root().string(), outPath, errPath, fileSizeLimit});
    r.out = stdoutPath.empty() ? ReadFile(outPath) : "";
    r.err = ReadFile(errPath);
    return r;
}

// Every number in a text, in order.
std::vector<double> Numbers(const std::string& text) {
    std::vector<double> v;
    for (size_t i = 0; i < text.size(); ++i) {
        bool digit = text[i] >= '0' && text[i] <= '9';
        bool minus =
            text[i] == '-' && i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9';
        if (digit || minus) {
            char* end = nullptr;
            v.push_back(std::strtod(text.c_str() + i, &end));
            i = static_cast<size_t>(end - text.c_str()) - 1;
        }
    }
    return v;
}

// A JSON string literal starting at text[i] (its quotes included); i moves past it.
std::string StringLiteral(const std::string& text, size_t& i) {
    size_t start = i++;
    while (i < text.size() && text[i] != '"') {
        i += text[i] == '\\' ? 2 : 1;
    }
    ++i;
    return text.substr(start, i - start);
}

// A small pair with one column, written as a.mif and a.mid in the folder.
void WriteSmallPair(const TempDir& dir) {
    WriteFile(dir.Path("a.mif"),
              "Version 300\r\nColumns 1\r\n  A integer\r\nData\r\nPoint 1 2\r\n");
    WriteFile(dir.Path("a.mid"), "1\r\n");
}

// A MIF/MID pair of n points, big enough that import and export take a while.
void WriteBigPair(const std::string& mifPath, int n) {
    std::string mif = "Version 300\r\nColumns 1\r\n  N integer\r\nData\r\n";
    std::string mid;
    for (int i = 0; i < n; ++i) {
        mif += "Point " + std::to_string(i % 1000) + " " + std::to_string(i / 1000) + "\r\n";
        mid += std::to_string(i) + "\r\n";
    }
    WriteFile(mifPath, mif);
    WriteFile(mifPath.substr(0, mifPath.size() - 4) + ".mid", mid);
}

// The names of the hidden files in the folder and its subfolders: mifhost's temporary files.
std::string TempFilesIn(const TempDir& dir) {
    std::string names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.Root())) {
        std::string name = entry.path().filename().string();
        names += name[0] == '.' ? name + " " : "";
    }
    return names;
}

// How Interrupt stops mifhost.
enum class Stop { kCtrlC, kTerminate, kHangUp };

// Starts mifhost on the arguments (in folder, or in this process's), stops it once ready() says
// so, and returns its exit code (-1 when it finished before it could be stopped, -2 when it did
// not start); its standard error goes to err.
template <typename Ready>
int Interrupt(const std::vector<std::string>& args, const std::string& err, Ready ready,
              Stop how = Stop::kCtrlC, const std::string& folder = "") {
    testos::Process* child = testos::Start(MIFHOST_PATH, args, {folder, "", err});
    if (child == nullptr) {
        return -2;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline && !ready(child)) {
        if (testos::HasEnded(child)) {
            testos::Wait(child);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (how == Stop::kCtrlC) {
        testos::Interrupt(child);
    } else {
        testos::Terminate(child, how == Stop::kHangUp);
    }
    return testos::Wait(child);
}

TEST(Mifhost, EachFailureGivesItsExitCodeAndReasonOnOneLine) {
    TempDir dir;
    WriteSmallPair(dir);
    WriteFile(dir.Path("passwd"), "root:x:0:0:root:/root:/bin/bash\ndaemon:x:1:1::/:/bin/sh\n");
    WriteFile(dir.Path("picture.png"), std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    std::filesystem::create_directory(dir.Path("folder.mif"));
    if (testos::PosixOnly("FIFOs among files") == nullptr) {
        ASSERT_TRUE(testos::MakeFifo(dir.Path("pipe.mif")));
    }
    struct Case {
        std::vector<std::string> args;
        int code;
        const char* says;
        const char* needs = nullptr;  // what only POSIX systems have
    };
    const Case cases[] = {
        {{}, 1, "no command given; see mifhost --help"},
        {{"frobnicate", "a.mif"}, 1, "unknown command frobnicate; see mifhost --help"},
        {{"info"}, 1, "info takes one or more file names"},
        {{"--bogus", "info", "a.mif"}, 1, "unknown option --bogus"},
        {{"--width", "abc", "render", "a.mif", "b.svg"}, 1, "--width needs a number of pixels"},
        {{"info", "a.mif", "--width", "500"}, 1, "info does not take --width"},
        {{"convert", "a.mif", "b.mif", "--codepage", "CP1252"}, 1, "convert does not take"},
        {{"dump", "a.mif", "--codepage", "KLINGON"}, 1, "unknown code page \"KLINGON\""},
        {{"--quiet=yes", "info", "a.mif"}, 1, "--quiet takes no value"},
        {{"help", "frobnicate"}, 1, "unknown command frobnicate"},
        {{"convert", "a.mif", "/dev/full"}, 1, "must be a .mif file"},
        {{"info", "missing.mif"}, 2, "cannot open missing.mif: No such file or directory"},
        {{"info", "folder.mif"}, 2, "cannot open folder.mif: Is a directory"},
        {{"info", "pipe.mif"}, 2, "cannot open pipe.mif: not a regular file", "FIFOs among files"},
        {{"info", "passwd"}, 2, "passwd is not a MIF file"},
        {{"dump", "picture.png"}, 2, "picture.png is not a MIF file"},
        {{"render", "a.mid", "b.svg"}, 2, "a.mid is not a MIF file"},
        {{"--plugin", "libnothere.so", "info", "a.mif"}, 4, "cannot load plug-in"},
        {{"--plugin", FAKE_PLUGIN_PATH, "info", "a.mif"}, 4, "has no entry point XF_GetFormats"},
        {{"convert", "a.mif", "no/such/folder/out.mif"},
         3,
         "cannot create no/such/folder/out.mif: No such file or directory"},
        {{"dump", "a.mif", "-o", "no/folder/out.geojson"},
         3,
         "cannot create no/folder/out.geojson: No such file or directory"},
        {{"dump", "a.mif", "-o", "/dev/full"},
         3,
         "cannot write /dev/full: No space left",
         "/dev/full"},
    };
    for (const Case& c : cases) {
        if (c.needs != nullptr && testos::PosixOnly(c.needs) != nullptr) {
            continue;
        }
        HostRun r = RunHost(c.args, dir);
        std::string command;
        for (const std::string& a : c.args) {
            command += " " + a;
        }
        EXPECT_EQ(r.code, c.code) << command << ": " << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << command << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << command << ": " << r.err;
    }

    // Standard output that cannot be written, and a file size limit, are errors, not deaths.
    SKIP_WITHOUT_POSIX("/dev/full or file size limits");
    for (const char* command : {"info", "dump"}) {
        HostRun full = RunHost({command, "a.mif"}, dir, "/dev/full");
        EXPECT_EQ(full.code, 3) << command;
        EXPECT_NE(full.err.find("cannot write standard output: No space left on device"),
                  std::string::npos)
            << full.err;
    }
    // With several files, no file is begun once standard output cannot be written, and the
    // message names those not begun.
    HostRun several = RunHost({"info", "a.mif", "a.mif", "passwd"}, dir, "/dev/full");
    EXPECT_EQ(several.code, 3);
    EXPECT_EQ(several.err,
              "mifhost: cannot write standard output: No space left on device; not "
              "begun: a.mif, passwd\n");
    WriteFile(dir.Path("old.geojson"), "old");
    WriteFile(dir.Path("out.mif"), "old mif");
    WriteFile(dir.Path("out.mid"), "old mid");
    WriteBigPair(dir.Path("big.mif"), 20000);
    HostRun limited = RunHost({"dump", "big.mif", "-o", "old.geojson"}, dir, "", 100000);
    EXPECT_EQ(limited.code, 3);
    EXPECT_NE(limited.err.find("cannot write old.geojson: File too large; it keeps its old"),
              std::string::npos)
        << limited.err;
    HostRun convert = RunHost({"convert", "big.mif", "out.mif"}, dir, "", 100000);
    EXPECT_EQ(convert.code, 3);
    EXPECT_NE(convert.err.find("cannot write out.mif: File too large (error code 8); out.mif and "
                               "out.mid keep their old content"),
              std::string::npos)
        << convert.err;
    EXPECT_EQ(ReadFile(dir.Path("old.geojson")), "old") << "written beside, then renamed";
    EXPECT_EQ(ReadFile(dir.Path("out.mif")) + ReadFile(dir.Path("out.mid")), "old mifold mid");
    EXPECT_EQ(TempFilesIn(dir), "");
}

TEST(Mifhost, HelpVersionAndTheEndOfOptions) {
    TempDir dir;
    WriteSmallPair(dir);
    struct Case {
        std::vector<std::string> args;
        const char* says;
    };
    const Case cases[] = {
        {{"help"}, "commands:"},
        {{"--help"}, "commands:"},
        {{"help", "render"}, "usage: mifhost render IN.mif OUT.svg"},
        {{"render", "--help"}, "--height N"},
        {{"--version"}, "mifhost 1."},
        {{"dump", "a.mif", "-o", "-"}, "\"FeatureCollection\""},
    };
    for (const Case& c : cases) {
        HostRun r = RunHost(c.args, dir);
        EXPECT_EQ(r.code, 0) << c.args[0] << r.err;
        EXPECT_NE(r.out.find(c.says), std::string::npos) << c.args[0] << ": " << r.out;
    }
    std::filesystem::copy_file(dir.Path("a.mif"), dir.Path("-a.mif"));
    std::filesystem::copy_file(dir.Path("a.mid"), dir.Path("-a.mid"));
    HostRun dashed = RunHost({"--quiet", "info", "--", "-a.mif"}, dir);
    EXPECT_EQ(dashed.code, 0) << dashed.err;
    EXPECT_NE(dashed.out.find("file: -a.mif"), std::string::npos) << dashed.out;
}

// Outputs that name an input (or its MID file) by any spelling are refused before anything is
// opened for writing; the inputs stay as they were.
TEST(Mifhost, RefusesAnOutputThatIsAnInput) {
    TempDir dir;
    WriteSmallPair(dir);
    std::string mif = ReadFile(dir.Path("a.mif"));
    std::string mid = ReadFile(dir.Path("a.mid"));
    std::filesystem::create_hard_link(dir.Path("a.mif"), dir.Path("hard.mif"));
    // Windows lets only privileged users make symbolic links, and Wine makes none.
    bool symlinks = testos::PosixOnly("symbolic links for every user") == nullptr;
    if (symlinks) {
        std::filesystem::create_symlink(dir.Path("a.mid"), dir.Path("link.svg"));
    }
    const std::vector<std::string> cases[] = {
        {"convert", "a.mif", "a.mid"},      {"convert", "a.mif", "a.mif"},
        {"convert", "a.mif", "a.MIF"},      {"convert", "a.mif", "a"},
        {"convert", "a.mif", "hard.mif"},   {"dump", "a.mif", "-o", "a.mif"},
        {"dump", "a.mif", "-o", "./a.mid"}, {"render", "a.mif", "a.mid"},
        {"render", "a.mif", "link.svg"},
    };
    for (const std::vector<std::string>& args : cases) {
        if (args.back() == "link.svg" && !symlinks) {
            continue;
        }
        HostRun r = RunHost(args, dir);
        EXPECT_EQ(r.code, 1) << args.back() << ": " << r.err;
        EXPECT_EQ(ReadFile(dir.Path("a.mif")), mif) << args.back();
        EXPECT_EQ(ReadFile(dir.Path("a.mid")), mid) << args.back();
    }
}

// Without --codepage the Charset line chooses; without a usable one, valid UTF-8 reads as UTF-8
// and anything else as Windows-1251. Column names, values and texts all follow it.
TEST(Mifhost, TextIsDecodedWithTheFilesCodePage) {
    struct Case {
        const char* charset;  // the Charset line, or empty
        const char* option;   // --codepage, or empty
        std::string bytes;    // a column name, its value and a text, in the file's code page
        const char* utf8;
        int columns;  // the text's width on a terminal
        const char* says;
    };
    const Case cases[] = {
        {"WindowsLatin1", "", "Forl\xEC", "Forlì", 5, "Windows-1252 (Charset \"WindowsLatin1\")"},
        {"UTF-8", "", "Поле", "Поле", 4, "UTF-8 (Charset \"UTF-8\")"},
        {"WindowsSimpChinese", "", "\xD6\xD0\xCE\xC4", "中文", 4,
         "CP936 (Charset \"WindowsSimpChinese\")"},
        {"", "", "\xCF\xEE\xEB\xE5", "Поле", 4,
         "Windows-1251 (no Charset line; the text is not valid UTF-8)"},
        {"Neutral", "", "Forlì", "Forlì", 5,
         "UTF-8 (Charset \"Neutral\"; the text is valid UTF-8)"},
        {"WindowsLatin1", "ISO-8859-5", "\xBF", "П", 1, "ISO-8859-5 (--codepage ISO-8859-5)"},
        // A byte the code page leaves undefined is no text, on Windows as elsewhere.
        {"WindowsCyrillic", "", "a\x98\xC0", "a\xEF\xBF\xBDА", 3,
         "Windows-1251 (Charset \"WindowsCyrillic\")"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.utf8);
        TempDir dir;
        std::string header = "Version 300\r\n";
        if (*c.charset != '\0') {
            header += std::string("Charset \"") + c.charset + "\"\r\n";
        }
        WriteFile(dir.Path("t.mif"), header + "Columns 2\r\n  " + c.bytes +
                                         " Char(20)\r\n  e\x1B[2Jsc Char(5)\r\nData\r\nText \"" +
                                         c.bytes + "\"\r\n  0 0 10 2\r\n");
        WriteFile(dir.Path("t.mid"), "\"" + c.bytes + "\"\tx\r\n");
        std::vector<std::string> args = {"dump", "t.mif"};
        if (*c.option != '\0') {
            args.insert(args.begin(), {"--codepage", c.option});
        }
        HostRun dump = RunHost(args, dir);
        ASSERT_EQ(dump.code, 0) << dump.err;
        std::string name = std::string("\"") + c.utf8 + "\"";
        EXPECT_NE(dump.out.find(name + ":" + name), std::string::npos) << dump.out;
        EXPECT_NE(dump.out.find("\"text\":" + name), std::string::npos) << dump.out;
        args[args.size() - 2] = "info";
        HostRun info = RunHost(args, dir);
        ASSERT_EQ(info.code, 0) << info.err;
        EXPECT_NE(info.out.find(std::string("code page: ") + c.says + "\n"), std::string::npos)
            << info.out;
        // Names line up by the columns they take on a terminal; control characters are escaped.
        std::string line = std::string("  ") + c.utf8 +
                           std::string(static_cast<size_t>(21 - c.columns), ' ') + "text ";
        EXPECT_NE(info.out.find(line), std::string::npos) << info.out;
        EXPECT_NE(info.out.find("  e\\x1B[2Jsc" + std::string(11, ' ') + "text "),
                  std::string::npos)
            << info.out;
        EXPECT_EQ(info.out.find('\x1B'), std::string::npos);
    }
}

// Coordinates as RFC 7946 wants them: outer rings counter-clockwise, holes clockwise, and never a
// number that is not finite, in any command's output.
TEST(Mifhost, GeometryIsValidGeoJsonAndFiniteEverywhere) {
    TempDir dir;
    WriteFile(dir.Path("g.mif"),
              "Version 300\nColumns 1\n  n Integer\nData\n"
              "Region 2\n 4\n 0 0\n 0 10\n 10 10\n 10 0\n 4\n 2 2\n 4 2\n 4 4\n 2 4\n"
              "Point nan inf\nPoint 1e999 0\nPline 2\n 0 0\n inf 1\n"
              "Region 1\n 3\n 0 0\n nan 1\n 1 1\nPoint 5 5\n");
    WriteFile(dir.Path("g.mid"), "1\n2\n3\n4\n5\n6\n");
    HostRun dump = RunHost({"dump", "g.mif"}, dir);
    ASSERT_EQ(dump.code, 0) << dump.err;
    EXPECT_NE(dump.out.find("\"coordinates\":[[[0,0],[10,0],[10,10],[0,10],[0,0]],"
                            "[[2,2],[2,4],[4,4],[4,2],[2,2]]]"),
              std::string::npos)
        << dump.out;
    for (size_t at = dump.out.find("\"coordinates\":"); at != std::string::npos;
         at = dump.out.find("\"coordinates\":", at + 1)) {
        std::string array = dump.out.substr(at + 14, dump.out.find('}', at) - at - 14);
        EXPECT_EQ(array.find_first_of("nailuf"), std::string::npos) << array;
    }
    HostRun info = RunHost({"info", "g.mif"}, dir);
    HostRun render = RunHost({"render", "g.mif", "g.svg"}, dir);
    ASSERT_EQ(render.code, 0) << render.err;
    for (const std::string& text : {info.out, ReadFile(dir.Path("g.svg"))}) {
        EXPECT_EQ(text.find("nan"), std::string::npos) << text;
        EXPECT_EQ(text.find("inf"), std::string::npos) << text;
    }
}

// The value of an attribute of an SVG element's text ("" when absent).
std::string Attribute(const std::string& element, const std::string& name) {
    size_t at = element.find(" " + name + "=\"");
    if (at == std::string::npos) {
        return "";
    }
    at += name.size() + 3;
    return element.substr(at, element.find('"', at) - at);
}

// Each element of a kind in an SVG text, from its "<" to the end of its content.
std::vector<std::string> Elements(const std::string& svg, const std::string& kind) {
    std::vector<std::string> found;
    for (size_t at = svg.find("<" + kind + " "); at != std::string::npos;
         at = svg.find("<" + kind + " ", at + 1)) {
        found.push_back(svg.substr(at, svg.find('\n', at) - at));
    }
    return found;
}

TEST(Mifhost, RenderKeepsEveryTextAndSymbolInsideItsBounds) {
    TempDir dir;
    // A tall layer (1 by 3000) with texts and a large symbol at its edges; the three texts at
    // the top share one box and differ in their justification.
    WriteFile(dir.Path("r.mif"),
              "Version 300\nColumns 0\nData\nLine 0 0 1 3000\n"
              "Text \"Left edge, a long text\"\n -50 1400 50 1500\n"
              "Text \"Right edge, a long text\"\n -50 1600 50 1700\n  Justify Right\n"
              "Text \"AAAA\"\n -2 3000 2 3100\n  Justify Left\n"
              "Text \"AAAA\"\n -2 3000 2 3100\n"
              "Text \"AAAA\"\n -2 3000 2 3100\n  Justify Right\n"
              "Text \"Turned\"\n 0 -100 40 -80\n  Angle 90\n"
              "Point 1 3000\n  Symbol (35,255,48)\n");
    struct Case {
        std::vector<std::string> options;
        double width;
        double height;
    };
    const Case cases[] = {{{}, 1000, 1000}, {{"--height", "300", "--width", "2000"}, 2000, 300}};
    for (const Case& c : cases) {
        std::vector<std::string> args = {"render", "r.mif", "r.svg"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        HostRun r = RunHost(args, dir);
        ASSERT_EQ(r.code, 0) << r.err;
        std::string svg = ReadFile(dir.Path("r.svg"));
        std::string root = Elements(svg, "svg").at(0);
        double w = std::stod(Attribute(root, "width"));
        double h = std::stod(Attribute(root, "height"));
        EXPECT_LE(w, c.width);
        EXPECT_DOUBLE_EQ(h, c.height) << "the height bounds this tall layer";
        EXPECT_EQ(Attribute(root, "viewBox"),
                  "0 0 " + Attribute(root, "width") + " " + Attribute(root, "height"));
        // Glyphs at least half their size wide; capitals stand 0.7 of it above the baseline.
        std::vector<double> starts;
        for (const std::string& text : Elements(svg, "text")) {
            double x = std::stod(Attribute(text, "x"));
            double y = std::stod(Attribute(text, "y"));
            double size = std::stod(Attribute(text, "font-size"));
            size_t open = text.find("\">", text.find("<tspan")) + 2;
            double length = 0.5 * size * static_cast<double>(text.find('<', open) - open);
            std::string anchor = Attribute(text, "text-anchor");
            double left = anchor == "start" ? x : anchor == "end" ? x - length : x - length / 2;
            double top = y - 0.7 * size;
            double bottom = y + 0.3 * size;
            if (text.find("rotate(-90") != std::string::npos) {
                // Turned a quarter about its middle: it stands upright there.
                double middle = y - 0.35 * size;
                left = x - size / 2;
                top = middle - length / 2;
                bottom = middle + length / 2;
                length = size;
            }
            EXPECT_GE(left, 0.0) << text;
            EXPECT_LE(left + length, w) << text;
            EXPECT_GE(top, 0.0) << text;
            EXPECT_LE(bottom, h) << text;
            if (text.find(">AAAA<") != std::string::npos) {
                starts.push_back(x);
            }
        }
        ASSERT_EQ(starts.size(), 3u);
        EXPECT_LT(starts[0], starts[1]) << "left-justified text starts at the box's left";
        EXPECT_NEAR(starts[1] - starts[0], starts[2] - starts[1], 0.02);
        for (const std::string& circle : Elements(svg, "circle")) {
            double radius = std::stod(Attribute(circle, "r"));
            EXPECT_LE(std::stod(Attribute(circle, "cx")) + radius, w) << circle;
            EXPECT_GE(std::stod(Attribute(circle, "cy")) - radius, 0.0) << circle;
        }
    }
    // One point, and nothing to draw: a small picture, the point in its middle.
    WriteFile(dir.Path("one.mif"), "Version 300\nColumns 0\nData\nPoint 7 7\n");
    WriteFile(dir.Path("none.mif"), "Version 300\nColumns 0\nData\n");
    for (const char* file : {"one.mif", "none.mif"}) {
        HostRun r = RunHost({"render", file, "-"}, dir);
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_NE(r.out.find("width=\"100.00\" height=\"100.00\" viewBox=\"0 0 100.00 100.00\""),
                  std::string::npos)
            << r.out;
        bool point = std::string(file) == "one.mif";
        EXPECT_EQ(r.out.find("<circle cx=\"50.00\" cy=\"50.00\"") != std::string::npos, point);
        EXPECT_EQ(Elements(r.out, "circle").size(), point ? 1u : 0u);
        EXPECT_NE(r.out.find("</svg>"), std::string::npos);
    }
}

// A hollow brush (pattern 1, as boundary layers have it), or no brush at all, imports unfilled:
// render draws the outline only, dump shows no fill, and convert writes the hollow brush again,
// so that GDAL reads the brush patterns of the output as it reads the input's.
TEST(Mifhost, HollowStaysHollow) {
    TempDir dir;
    WriteFile(dir.Path("h.mif"),
              "Version 300\r\nColumns 1\r\n  n Integer\r\nData\r\n"
              "Region 1\r\n  3\r\n0 0\r\n4 0\r\n0 4\r\n    Brush (1,0,16777215)\r\n"
              "Region 1\r\n  3\r\n5 5\r\n9 5\r\n5 9\r\n    Brush (2,255,16777215)\r\n"
              "Region 1\r\n  3\r\n0 5\r\n4 5\r\n0 9\r\n"
              "Ellipse 5 0 9 4\r\n    Brush (1,255)\r\n");
    WriteFile(dir.Path("h.mid"), "1\r\n2\r\n3\r\n4\r\n");
    HostRun dump = RunHost({"dump", "h.mif", "-o", "h.geojson"}, dir);
    ASSERT_EQ(dump.code, 0) << dump.err;
    std::string json = ReadFile(dir.Path("h.geojson"));
    std::vector<std::string> fills;
    for (size_t at = json.find("\"fill\":"); at != std::string::npos;
         at = json.find("\"fill\":", at + 1)) {
        fills.push_back(json.substr(at + 7, json.find_first_of(",}", at) - at - 7));
    }
    EXPECT_EQ(fills, (std::vector<std::string>{"null", "\"#0000FF\"", "null", "null"}));

    HostRun render = RunHost({"render", "h.mif", "h.svg"}, dir);
    ASSERT_EQ(render.code, 0) << render.err;
    std::string svg = ReadFile(dir.Path("h.svg"));
    size_t filled = 0;
    size_t hollow = 0;
    for (size_t at = svg.find("fill-rule"); at != std::string::npos;
         at = svg.find("fill-rule", at + 1)) {
        std::string paint = svg.substr(at, svg.find('>', at) - at);
        filled += paint.find("fill=\"#0000FF\"") != std::string::npos ? 1 : 0;
        hollow += paint.find("fill=\"none\"") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(filled, 1u) << svg;
    EXPECT_EQ(hollow, 2u) << "the regions without fill draw their outline only";

    HostRun convert = RunHost({"convert", "h.mif", "c.mif"}, dir);
    ASSERT_EQ(convert.code, 0) << convert.err;
    std::string out = ReadFile(dir.Path("c.mif"));
    EXPECT_NE(out.find("Brush (1,0,16777215)"), std::string::npos) << out;
    EXPECT_NE(out.find("Brush (2,255,16777215)"), std::string::npos) << out;
    if (NoProgram("ogrinfo") == nullptr) {
        auto patterns = [](const std::string& path) {
            std::string report;
            std::vector<std::string> ids;
            for (const COgrFeature& f : OgrFeatures(path, report)) {
                size_t id = f.style.find("mapinfo-brush-");
                ids.push_back(id == std::string::npos ? "" : f.style.substr(id, 15));
            }
            return ids;
        };
        std::vector<std::string> in = patterns(dir.Path("h.mif"));
        EXPECT_EQ(in, (std::vector<std::string>{"mapinfo-brush-1", "mapinfo-brush-2",
                                                "mapinfo-brush-1", "mapinfo-brush-1"}));
        EXPECT_EQ(patterns(dir.Path("c.mif")), in);
    }
}

// info counts the objects by the host's type, in the order of the types, and names each.
TEST(Mifhost, InfoCountsObjectsByHostType) {
    struct Case {
        const char* objects;
        const char* counts;
    };
    const Case cases[] = {
        {"None\r\nPoint 1 2\r\nNone\r\n", "objects: 3\n  empty    2\n  point    1\n"},
        {"Text \"a\"\r\n0 0 1 1\r\nEllipse 0 0 2 2\r\nRect 0 0 1 1\r\nArc 0 0 2 2\r\n0 90\r\n",
         "objects: 4\n  line     1\n  polygon  1\n  ellipse  1\n  text     1\n"},
        {"", "objects: 0\nlegend"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        WriteFile(dir.Path("t.mif"),
                  std::string("Version 300\r\nColumns 1\r\n  n Integer\r\nData\r\n") + c.objects);
        HostRun info = RunHost({"info", "t.mif"}, dir);
        ASSERT_EQ(info.code, 0) << info.err;
        EXPECT_NE(info.out.find(c.counts), std::string::npos) << c.objects << "\n" << info.out;
    }
}

TEST(Mifhost, OwnSampleMapThroughEveryCommand) {
    TempDir dir;
    std::string town = std::string(MIF_SOURCE_DIR) + "/examples/town.mif";
    HostRun info = RunHost({"info", town}, dir);
    ASSERT_EQ(info.code, 0) << info.err;
    EXPECT_NE(info.out.find("columns: 8"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("objects: 12\n  point    2\n  line     4\n  polygon  3\n  ellipse  1\n"
                            "  text     2\nlegend styles: marker, polygon, text\n"),
              std::string::npos)
        << "the two points and the three polygons share their default styles\n"
        << info.out;

    HostRun convert = RunHost({"--quiet", "convert", town, dir.Path("copy.mif")}, dir);
    ASSERT_EQ(convert.code, 0) << convert.err;
    EXPECT_TRUE(convert.err.empty()) << convert.err;
    HostRun again = RunHost({"info", dir.Path("copy.mif")}, dir);
    ASSERT_EQ(again.code, 0) << again.err;
    EXPECT_NE(again.out.find("objects: 12"), std::string::npos) << again.out;

    HostRun dump = RunHost({"dump", town}, dir);
    ASSERT_EQ(dump.code, 0) << dump.err;
    // Cyrillic names arrive as UTF-8; quotes inside values are escaped.
    EXPECT_NE(dump.out.find("\"NAME\":\"Квартал\""), std::string::npos);
    EXPECT_NE(dump.out.find(R"("NAME":"Park \"Green\"")"), std::string::npos);
    EXPECT_NE(dump.out.find("\"BUILT\":\"2010-05-31\""), std::string::npos);
    EXPECT_NE(dump.out.find("\"ACTIVE\":true"), std::string::npos);
    EXPECT_NE(dump.out.find("\"text\":\"River\\r\\nside\""), std::string::npos);
    EXPECT_NE(dump.out.find("\"type\":\"Polygon\",\"coordinates\":[[[37.6,55.74]"),
              std::string::npos);

    HostRun render = RunHost({"render", town, dir.Path("town.svg"), "--width", "400"}, dir);
    ASSERT_EQ(render.code, 0) << render.err;
    std::string svg = ReadFile(dir.Path("town.svg"));
    EXPECT_NE(svg.find("<svg"), std::string::npos);
    EXPECT_NE(svg.find(">Центр<"), std::string::npos);
    if (NoProgram("xmllint") == nullptr) {
        std::string cmd = "xmllint --noout " + dir.Path("town.svg");
        EXPECT_EQ(std::system(cmd.c_str()), 0) << "the picture is well-formed XML";
    }
}

// Paths as typed, in any script: on Windows the host hands them on in the system's code page, with
// folders it cannot spell by their short names.
TEST(Mifhost, ConvertsBetweenFoldersWithNonAsciiNames) {
    namespace fs = std::filesystem;
    TempDir dir;
    const fs::path in = dir.Root() / fs::u8path("Карта café");
    const fs::path out = dir.Root() / fs::u8path("вывод ü");
    ASSERT_TRUE(fs::create_directory(in) && fs::create_directory(out));
    std::vector<std::string> sources = {std::string(MIF_SOURCE_DIR) + "/examples/town"};
    if (!SamplesDir().empty()) {
        sources.push_back(SamplesDir() + "/gdal_win1251/win1251");
    }
    auto read = [](const fs::path& path) {
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    };
    for (const std::string& source : sources) {
        SCOPED_TRACE(source);
        fs::copy_file(source + ".mif", in / "a.mif", fs::copy_options::overwrite_existing);
        fs::copy_file(source + ".mid", in / "a.mid", fs::copy_options::overwrite_existing);
        HostRun plain = RunHost({"--quiet", "convert", source + ".mif", "plain.mif"}, dir);
        ASSERT_EQ(plain.code, 0) << plain.err;
        HostRun run = RunHost(
            {"--quiet", "convert", (in / "a.mif").u8string(), (out / "a.mif").u8string()}, dir);
        ASSERT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(read(out / "a.mif"), ReadFile(dir.Path("plain.mif")));
        EXPECT_EQ(read(out / "a.mid"), ReadFile(dir.Path("plain.mid")));
    }
}

// Where outputs go: through symbolic links to the file they name, into devices as they are, to
// names as long as the file system takes; an existing file the user may not write is refused and
// left as it was. No case leaves a temporary file behind.
TEST(Mifhost, OutputsReachTheFileTheyName) {
    struct Case {
        std::vector<std::string> args;
        int code;
        const char* says;  // on standard error; "" for nothing
        std::vector<std::pair<std::string, std::string>> links;  // name and target, made first
        std::vector<std::string> readOnly;  // files that hold "old" and may not be written
        std::vector<std::pair<std::string, std::string>> after;  // a file and its first bytes
    };
    const std::string n250(250, 'n');
    const Case cases[] = {
        {{"dump", "a.mif", "-o", "ro.geojson"},
         3,
         "cannot write ro.geojson: Permission denied",
         {},
         {"ro.geojson"},
         {{"ro.geojson", "old"}}},
        {{"convert", "a.mif", "out.mif"},
         3,
         "cannot write out.mid: Permission denied",
         {},
         {"out.mid"},
         {{"out.mid", "old"}}},
        {{"dump", "a.mif", "-o", "link.geojson"},
         0,
         "",
         {{"link.geojson", "sub/old.geojson"}},
         {},
         {{"sub/old.geojson", "{\"type\""}}},
        {{"render", "a.mif", "link.svg"},
         0,
         "",
         {{"link.svg", "sub/new.svg"}},
         {},
         {{"sub/new.svg", "<"}}},
        {{"convert", "a.mif", "l.mif"},
         0,
         "",
         {{"l.mif", "sub/x.mif"}, {"l.mid", "sub/y.mid"}},
         {},
         {{"sub/x.mif", "Version 300"}, {"sub/y.mid", "1"}}},
        {{"convert", "a.mif", "out.mif"},
         0,
         "",
         {{"out.mid", "/dev/null"}},
         {},
         {{"out.mif", "Version 300"}}},
        // /dev/stdout, where standard output is a file: the file is written, the link stays.
        {{"dump", "a.mif", "-o", "so"},
         0,
         "",
         {{"so", "/proc/self/fd/1"}},
         {},
         {{"stdout.txt", "{\"type\""}}},
        {{"convert", "a.mif", "s.mif"},
         1,
         "s.mid is the output s.mif",
         {{"s.mid", "s.mif"}},
         {},
         {}},
        {{"dump", "a.mif", "-o", n250 + ".json"}, 0, "", {}, {}, {{n250 + ".json", "{"}}},
        {{"convert", "a.mif", n250 + "n.mif"}, 0, "", {}, {}, {{n250 + "n.mid", "1"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back().substr(0, 20));
        if (!c.links.empty() && testos::PosixOnly("symbolic links for every user") != nullptr) {
            continue;
        }
        TempDir dir;
        WriteSmallPair(dir);
        std::filesystem::create_directory(dir.Path("sub"));
        WriteFile(dir.Path("sub/old.geojson"), "old");
        for (const auto& [name, target] : c.links) {
            std::filesystem::create_symlink(target, dir.Path(name));
        }
        namespace fs = std::filesystem;
        for (const std::string& name : c.readOnly) {
            WriteFile(dir.Path(name), "old");
            fs::permissions(dir.Path(name), fs::perms::owner_read | fs::perms::group_read);
        }
        HostRun r = RunHost(c.args, dir);
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(r.err.empty(), *c.says == '\0') << r.err;
        for (const auto& [name, begins] : c.after) {
            EXPECT_EQ(ReadFile(dir.Path(name)).substr(0, begins.size()), begins) << name;
        }
        for (const auto& link : c.links) {
            EXPECT_TRUE(fs::is_symlink(dir.Path(link.first))) << link.first;
        }
        EXPECT_EQ(TempFilesIn(dir), "");
        for (const std::string& name : c.readOnly) {
            fs::permissions(dir.Path(name), fs::perms::owner_write, fs::perm_options::add);
        }
    }
}

// Into a pipe, through /dev/stdout or a FIFO, mifhost writes as it goes; a reader that leaves
// early (head) ends it quietly, with the code that a program SIGPIPE ends gives.
TEST(Mifhost, PipesAreWrittenAsTheyGo) {
    SKIP_WITHOUT_POSIX("FIFOs among files");
    TempDir dir;
    WriteSmallPair(dir);
    WriteBigPair(dir.Path("big.mif"), 100000);
    std::filesystem::create_symlink("/proc/self/fd/1", dir.Path("so"));
    ASSERT_TRUE(testos::MakeFifo(dir.Path("fifo.svg")));
    HostRun dump = RunHost({"dump", "a.mif"}, dir);
    std::string host = "cd '" + dir.Root().string() + "' && '" + MIFHOST_PATH + "'";
    struct Case {
        std::string command;
        std::string begins;  // what is read from the pipe
        size_t size;         // how much of it
        int code;
    };
    const Case cases[] = {
        {host + " dump a.mif -o so 2>err.txt; echo $? >code.txt", dump.out, dump.out.size(), 0},
        {"timeout 60 cat '" + dir.Path("fifo.svg") + "' & " + host +
             " render a.mif fifo.svg 2>err.txt; echo $? >code.txt; wait",
         "<?xml", 0, 0},
        {"(" + host + " dump big.mif 2>err.txt; echo $? >code.txt) | head -c 100",
         dump.out.substr(0, 40), 100, 141},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        std::FILE* pipe = testos::OpenCommand(c.command);
        ASSERT_NE(pipe, nullptr);
        std::string read;
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            read.append(buffer, n);
        }
        testos::CloseCommand(pipe);
        EXPECT_EQ(read.substr(0, c.begins.size()), c.begins);
        if (c.size > 0) {
            EXPECT_EQ(read.size(), c.size);
        }
        EXPECT_EQ(ReadFile(dir.Path("code.txt")), std::to_string(c.code) + "\n");
        EXPECT_EQ(ReadFile(dir.Path("err.txt")), "");
        EXPECT_TRUE(std::filesystem::is_symlink(dir.Path("so")));
    }
}

// The objects of a MIF file that holds points only, and the records of its MID file.
std::pair<size_t, size_t> PairCounts(const std::string& mif, const std::string& mid) {
    std::string text = ReadFile(mif);
    size_t objects = 0;
    for (size_t at = text.find("\nPoint "); at != std::string::npos;
         at = text.find("\nPoint ", at + 1)) {
        ++objects;
    }
    std::string records = ReadFile(mid);
    return {objects, static_cast<size_t>(std::count(records.begin(), records.end(), '\n'))};
}

// SIGTERM and SIGHUP at any moment of a convert (import, export, the header, the renames) leave
// the old pair as it was, with code 130, or a complete new pair; never a temporary file.
TEST(Mifhost, InterruptsLeaveTheOldPairOrACompleteNewOne) {
    SKIP_WITHOUT_POSIX("SIGTERM and SIGHUP");
    TempDir dir;
    const size_t n = 900000;  // some 20 MB of MIF and MID
    WriteBigPair(dir.Path("big.mif"), static_cast<int>(n));
    WriteSmallPair(dir);
    ASSERT_EQ(RunHost({"convert", "a.mif", "out.mif"}, dir).code, 0);
    const std::string oldMif = ReadFile(dir.Path("out.mif"));
    const std::string oldMid = ReadFile(dir.Path("out.mid"));
    auto begin = std::chrono::steady_clock::now();
    ASSERT_EQ(RunHost({"convert", "big.mif", "whole.mif"}, dir).code, 0);
    std::chrono::duration<double> whole = std::chrono::steady_clock::now() - begin;
    ASSERT_EQ(PairCounts(dir.Path("whole.mif"), dir.Path("whole.mid")), std::make_pair(n, n));
    // Moments: once the handlers are set (the import), once the export has made its temporary
    // pair, once the MIF file is written again with the input's header, and at shares of the
    // whole time (the renames, and after the end).
    auto start = std::chrono::steady_clock::now();
    auto share = [&start, whole](double part) {
        return [&start, whole, part](testos::Process*) {
            return std::chrono::steady_clock::now() - start >= whole * part;
        };
    };
    auto temps = [&dir](size_t mifFiles) {
        return [&dir, mifFiles](testos::Process*) {
            std::string names = TempFilesIn(dir);
            size_t found = 0;
            for (size_t at = names.find(".mif "); at != std::string::npos;
                 at = names.find(".mif ", at + 1)) {
                ++found;
            }
            return found >= mifFiles;
        };
    };
    const std::function<bool(testos::Process*)> moments[] = {testos::CatchesInterrupt,
                                                             temps(1),
                                                             temps(2),
                                                             share(0.5),
                                                             share(0.8),
                                                             share(0.9),
                                                             share(0.95),
                                                             share(1.0),
                                                             share(1.1)};
    int kept = 0;
    int step = 0;
    for (const auto& moment : moments) {
        SCOPED_TRACE(step);
        Stop how = step++ % 2 == 0 ? Stop::kTerminate : Stop::kHangUp;
        start = std::chrono::steady_clock::now();
        int code = Interrupt({"convert", "big.mif", "out.mif"}, dir.Path("err.txt"), moment, how,
                             dir.Root().string());
        std::string err = ReadFile(dir.Path("err.txt"));
        if (ReadFile(dir.Path("out.mif")) == oldMif && ReadFile(dir.Path("out.mid")) == oldMid) {
            EXPECT_EQ(code, 130) << err;
            EXPECT_NE(err.find(how == Stop::kHangUp ? "(SIGHUP)" : "(SIGTERM)"), std::string::npos)
                << err;
            ++kept;
        } else {
            EXPECT_TRUE(code == 0 || code == -1) << code << err;
            EXPECT_EQ(PairCounts(dir.Path("out.mif"), dir.Path("out.mid")), std::make_pair(n, n));
            WriteFile(dir.Path("out.mif"), oldMif);
            WriteFile(dir.Path("out.mid"), oldMid);
        }
        EXPECT_EQ(TempFilesIn(dir), "");
    }
    EXPECT_GT(kept, 0);
}

// The region of an ogrinfo report that gives the layer's coordinate system.
std::string OgrCoordinateSystem(const std::string& report) {
    size_t start = report.find("Layer SRS WKT:\n");
    size_t end = report.find("Data axis to CRS axis mapping", start);
    if (start == std::string::npos || report.compare(start + 15, 10, "(unknown)\n") == 0) {
        return "";
    }
    return report.substr(start, end - start);
}

// The values of a feature in the order of its columns' names; columns named like a keyword gain
// a suffix on export.
std::vector<std::string> OgrValues(const COgrFeature& feature) {
    std::vector<std::string> values;
    for (const auto& [name, value] : feature.values) {
        values.push_back(value);
    }
    return values;
}

// convert keeps what the file says about itself: its Charset line and its CoordSys item (over
// several lines too), or none where it has none, and info prints the item. The reference toolkit
// reads the output with the input's coordinate system and text.
TEST(Mifhost, ConvertKeepsTheFilesCharsetAndCoordSys) {
    struct Case {
        std::string sample;    // a sample file, or empty for a file written with the lines below
        std::string charset;   // the Charset line; empty for none
        std::string coordSys;  // the CoordSys item, its lines as the file has them; empty for none
        std::string value;     // a value in the file's code page
        std::string says;      // what info prints as the coordinate system; empty: coordSys
        bool sameText;         // the reference reads the same values from input and output
    };
    const Case cases[] = {
        {"", "Charset \"WindowsLatin1\"",
         "CoordSys Earth Projection 3, 33, \"m\", 3, 46.5, 44, 49, 700000, 6600000",
         "Forl\xEC Ch\xE2teau",
         "CoordSys Earth Projection 3, 33, \"m\", 3, 46.5, 44, 49, 700000, 6600000", true},
        {"", "Charset \"UTF-8\"",
         " CoordSys Earth Projection 8, 104, \"m\", 9, 0, 0.9996, 500000, 0 \r\n"
         "  Bounds (-7745874.38, -9997964.94) (8745874.38, 9997964.94)",
         "Forlì Château Москва",
         "CoordSys Earth Projection 8, 104, \"m\", 9, 0, 0.9996, 500000, 0 Bounds (-7745874.38, "
         "-9997964.94) (8745874.38, 9997964.94)",
         true},
        {"", "", "", "plain", "none given (no CoordSys line)", true},
        {"gdal_small_ntf/small_ntf", "Charset \"WindowsLatin1\"",
         "CoordSys Earth Projection 3, 1002, \"m\", 0, 46.8, 45.898918964419, 47.696014502038, "
         "600000, 2200000 Bounds (-113967455.417, - 106367759.649) (115167455.417, "
         "122767151.185)",
         "", "", true},
        // Its values are longer in bytes than their columns, and the import cuts them.
        {"gdal_utf8/utf8", "Charset \"UTF-8\"",
         "CoordSys Earth Projection 8, 1001, \"m\", 39, 0, 1, 7500000, 0 Bounds (-749281.53901, "
         "-10002137.4978) (15749281.539, 10002137.4978)",
         "", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sample + c.charset + c.coordSys);
        TempDir dir;
        std::string in = dir.Path("in.mif");
        if (c.sample.empty()) {
            WriteFile(in, "Version 300\r\n" + (c.charset.empty() ? "" : c.charset + "\r\n") +
                              "Delimiter \",\"\r\n" +
                              (c.coordSys.empty() ? "" : c.coordSys + "\r\n") +
                              "Columns 2\r\n  Name Char(40)\r\n  CoordSys Char(10)\r\nData\r\n"
                              "Point 700000.5 6600000.25\r\nPoint 700100.5 6600200.75\r\n");
            WriteFile(dir.Path("in.mid"), "\"" + c.value + "\",\"a\"\r\n\"x\",\"b\"\r\n");
        } else if (SamplesDir().empty()) {
            continue;
        } else {
            in = SamplesDir() + "/" + c.sample + ".mif";
        }
        HostRun convert = RunHost({"convert", in, "out.mif"}, dir);
        ASSERT_EQ(convert.code, 0) << convert.err;
        std::string out = ReadFile(dir.Path("out.mif"));
        std::string header = out.substr(0, out.find("\r\nColumns "));
        EXPECT_EQ(header, "Version 300\r\n" + (c.charset.empty() ? "" : c.charset + "\r\n") +
                              "Delimiter \",\"" + (c.coordSys.empty() ? "" : "\r\n" + c.coordSys))
            << "the column named CoordSys stays a column";
        HostRun info = RunHost({"info", in}, dir);
        // A sample's item is one line.
        std::string says = c.says.empty() ? c.coordSys : c.says;
        EXPECT_NE(info.out.find("\ncoordinate system: " + says + "\n"), std::string::npos)
            << info.out;
        if (c.sample.empty() && !c.charset.empty()) {
            EXPECT_NE(info.out.find("bounding box: x min 700000.5, y min 6600000.25, x max "
                                    "700100.5, y max 6600200.75\n"),
                      std::string::npos)
                << info.out;
        }
        if (NoProgram("ogrinfo") != nullptr) {
            continue;
        }
        std::string inReport;
        std::string outReport;
        std::vector<COgrFeature> a = OgrFeatures(in, inReport);
        std::vector<COgrFeature> b = OgrFeatures(dir.Path("out.mif"), outReport);
        EXPECT_EQ(OgrCoordinateSystem(inReport), OgrCoordinateSystem(outReport));
        EXPECT_EQ(OgrCoordinateSystem(inReport).empty(), c.coordSys.empty()) << inReport;
        ASSERT_EQ(a.size(), b.size());
        for (size_t f = 0; f < a.size() && c.sameText; ++f) {
            EXPECT_EQ(OgrValues(a[f]), OgrValues(b[f])) << "feature " << f;
        }
    }
}

// The features of a GeoJSON text that writes one feature per line.
std::vector<std::string> FeatureLines(const std::string& json) {
    std::vector<std::string> lines;
    std::istringstream in(json);
    for (std::string line; std::getline(in, line);) {
        if (line.find("\"Feature\"") != std::string::npos &&
            line.find("FeatureCollection") == std::string::npos) {
            lines.push_back(line);
        }
    }
    return lines;
}

// The text of the JSON object that follows the key, braces included.
std::string ObjectAfter(const std::string& line, const std::string& key) {
    size_t k = line.find("\"" + key + "\"");
    size_t open = k == std::string::npos ? k : line.find('{', k);
    if (open == std::string::npos) {
        return "";
    }
    int depth = 0;
    bool inString = false;
    for (size_t i = open; i < line.size(); ++i) {
        char c = line[i];
        if (inString) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '{') {
            ++depth;
        } else if (c == '}' && --depth == 0) {
            return line.substr(open, i - open + 1);
        }
    }
    return "";
}

// The properties of a feature in column order: name and value text.
std::vector<std::pair<std::string, std::string>> Properties(const std::string& line) {
    std::vector<std::pair<std::string, std::string>> values;
    std::string object = ObjectAfter(line, "properties");
    size_t i = 1;
    while (i < object.size()) {
        if (object[i] != '"') {
            ++i;
            continue;
        }
        std::string key = StringLiteral(object, i);
        i = object.find(':', i) + 1;
        while (object[i] == ' ') {
            ++i;
        }
        std::string value;
        if (object[i] == '"') {
            value = StringLiteral(object, i);
        } else {
            size_t end = object.find_first_of(",}", i);
            value = object.substr(i, end - i);
            while (!value.empty() && value.back() == ' ') {
                value.pop_back();
            }
            i = end;
        }
        values.emplace_back(key.substr(1, key.size() - 2), value);
    }
    return values;
}

// The coordinate lists of a feature's geometry: each line, ring or point list, and whether it is
// the first ring of a polygon. A point gives one list of its two numbers.
struct CoordinateList {
    bool outerRing = false;
    std::vector<double> numbers;
};
std::vector<CoordinateList> Coordinates(const std::string& line) {
    std::string geometry = ObjectAfter(line, "geometry");
    geometry.erase(std::remove(geometry.begin(), geometry.end(), ' '), geometry.end());
    size_t c = geometry.find("\"coordinates\":");
    std::vector<CoordinateList> lists;
    if (c == std::string::npos) {
        return lists;
    }
    bool polygon = geometry.find("Polygon\"") != std::string::npos;
    for (size_t i = c; (i = geometry.find("[[", i)) != std::string::npos; ++i) {
        char next = geometry[i + 2];
        if ((next >= '0' && next <= '9') || next == '-') {
            size_t end = geometry.find("]]", i);
            lists.push_back(
                {polygon && geometry[i - 1] == '[', Numbers(geometry.substr(i + 1, end - i))});
        }
    }
    if (lists.empty()) {
        lists.push_back({false, Numbers(geometry.substr(c))});
    }
    return lists;
}

// Twice the signed area of a closed ring of x, y numbers.
double Area2(const std::vector<double>& v) {
    double sum = 0.0;
    for (size_t i = 0; i + 3 < v.size(); i += 2) {
        sum += v[i] * v[i + 3] - v[i + 2] * v[i + 1];
    }
    return sum;
}

// The same ring the other way round: the first point stays first.
std::vector<double> Reversed(const std::vector<double>& v) {
    std::vector<double> r = {v[0], v[1]};
    for (size_t i = v.size() - 4; i >= 2 && i < v.size(); i -= 2) {
        r.push_back(v[i]);
        r.push_back(v[i + 1]);
    }
    r.push_back(v[0]);
    r.push_back(v[1]);
    return r;
}

bool Near(const std::vector<double>& a, const std::vector<double>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::fabs(a[i] - b[i]) > 1e-9 * (1 + std::fabs(b[i]))) {
            return false;
        }
    }
    return true;
}

// The header of a layer of 30,000 columns is larger than a pipe holds and reaches mifhost in
// pieces: it is copied whole, with the input's lines in place of those written, and so are the
// objects after it.
TEST(Mifhost, ConvertCopiesAHeaderLargerThanAPipe) {
    TempDir dir;
    const std::string lines =
        "Version 300\r\nCharset \"WindowsLatin1\"\r\nDelimiter \",\"\r\n"
        "CoordSys Earth Projection 1, 104\r\nColumns 30000\r\n";
    std::string mif = lines;
    std::string record;
    for (int i = 0; i < 30000; ++i) {
        mif += "  column_" + std::to_string(i) + " Char(8)\r\n";
        record += (i > 0 ? ",\"v" : "\"v") + std::to_string(i) + "\"";
    }
    mif += "Data\r\n";
    std::string mid;
    for (int k = 0; k < 3; ++k) {
        mif += "Point " + std::to_string(k) + " 1\r\n";
        mid += record + "\r\n";
    }
    WriteFile(dir.Path("in.mif"), mif);
    WriteFile(dir.Path("in.mid"), mid);
    HostRun convert = RunHost({"convert", "in.mif", "out.mif"}, dir);
    ASSERT_EQ(convert.code, 0) << convert.err;
    EXPECT_EQ(TempFilesIn(dir), "");
    std::string out = ReadFile(dir.Path("out.mif"));
    EXPECT_EQ(out.substr(0, lines.size()), lines);
    HostRun before = RunHost({"dump", "in.mif"}, dir);
    HostRun after = RunHost({"dump", "out.mif"}, dir);
    std::vector<std::string> a = FeatureLines(before.out);
    std::vector<std::string> b = FeatureLines(after.out);
    ASSERT_EQ(a.size(), 3u);
    ASSERT_EQ(b.size(), 3u);
    for (size_t k = 0; k < a.size(); ++k) {
        EXPECT_EQ(ObjectAfter(a[k], "properties"), ObjectAfter(b[k], "properties")) << k;
        EXPECT_EQ(ObjectAfter(a[k], "geometry"), ObjectAfter(b[k], "geometry")) << k;
    }
}

// Every sample, read without --codepage, gives the reference toolkit's objects, coordinates and
// texts, with rings turned as RFC 7946 says. Left out: files the reference does not read, and
// files whose Charset it cannot decode (it says so on standard error).
TEST(Mifhost, DumpAgreesWithTheReferenceToolkit) {
    if (SamplesDir().empty()) {
        GTEST_SKIP() << "MIF_SAMPLES_DIR is not set";
    }
    if (const char* why = NoProgram("ogr2ogr")) {
        GTEST_SKIP() << "ogr2ogr: " << why;
    }
    TempDir dir;
    int compared = 0;
    for (const std::string& file : SampleFiles()) {
        SCOPED_TRACE(file);
        std::remove(dir.Path("ref.geojson").c_str());
        std::string cmd = "ogr2ogr -f GeoJSON " + dir.Path("ref.geojson") + " " + file + " 2>" +
                          dir.Path("ref.txt");
        if (std::system(cmd.c_str()) != 0 ||
            ReadFile(dir.Path("ref.txt")).find("Cannot find iconv") != std::string::npos) {
            continue;
        }
        HostRun ours = RunHost({"dump", file, "-o", "ours.geojson"}, dir);
        ASSERT_EQ(ours.code, 0) << ours.err;
        ++compared;
        std::vector<std::string> a = FeatureLines(ReadFile(dir.Path("ours.geojson")));
        std::vector<std::string> b = FeatureLines(ReadFile(dir.Path("ref.geojson")));
        // The reference keeps collections, which are not imported; the sample has one, last.
        // Its Rect, RoundRect, Ellipse and Arc objects become rings and lines of other points.
        bool allKinds = file.find("all_geoms") != std::string::npos;
        ASSERT_EQ(a.size() + (allKinds ? 1 : 0), b.size());
        for (size_t f = 0; f < a.size(); ++f) {
            // Texts stand at the middle of their box, the reference's at a corner.
            bool text = a[f].find("\"hostType\":5") != std::string::npos;
            std::vector<CoordinateList> ca = Coordinates(a[f]);
            std::vector<CoordinateList> cb = Coordinates(b[f]);
            ASSERT_EQ(ca.size(), cb.size()) << "feature " << f;
            for (size_t k = 0; k < ca.size() && !allKinds && !text; ++k) {
                const std::vector<double>& ring = ca[k].numbers;
                bool polygon = a[f].find("Polygon\"") != std::string::npos;
                EXPECT_TRUE(Near(ring, cb[k].numbers) ||
                            (polygon && ring.size() >= 8 && Near(Reversed(ring), cb[k].numbers)))
                    << "feature " << f << " list " << k;
                if (polygon && Area2(ring) != 0.0) {
                    EXPECT_EQ(Area2(ring) > 0.0, ca[k].outerRing)
                        << "feature " << f << " ring " << k << ": outer rings counter-clockwise";
                }
            }
            // Values by column position: the reference renames some columns.
            std::vector<std::pair<std::string, std::string>> pa = Properties(a[f]);
            std::vector<std::pair<std::string, std::string>> pb = Properties(b[f]);
            size_t j = 0;
            for (size_t k = 0; k < pb.size(); ++k, ++j) {
                const std::string& key = pb[k].first;
                const std::string& ref = pb[k].second;
                // The reference leaves unset values out; we write them as null.
                while (j < pa.size() && pa[j].second == "null" && pa[j].first != key) {
                    ++j;
                }
                ASSERT_LT(j, pa.size()) << "feature " << f << " lacks " << key;
                const std::string& value = pa[j].second;
                if (ref == "\"T\"" || ref == "\"F\"") {
                    // The reference keeps logicals as the letters; we give booleans.
                    EXPECT_EQ(value, ref == "\"T\"" ? "true" : "false") << key;
                } else if (ref.front() == '"') {
                    EXPECT_EQ(value, ref) << "feature " << f << " " << key;
                } else if (ref == "null") {
                    // The reference leaves empty dates and numbers out; we read them as unset
                    // or zero.
                } else {
                    ASSERT_NE(value.front(), '"') << key;
                    EXPECT_NEAR(std::stod(value), std::stod(ref),
                                1e-6 * (1 + std::fabs(std::stod(ref))))
                        << "feature " << f << " " << key;
                }
            }
        }
    }
    EXPECT_GE(compared, 15) << "the samples the reference reads";
}

// Ctrl-C during the import ends mifhost with 130 and a message; during the export it stops at the
// next object and removes what it wrote.
TEST(Mifhost, CtrlCStopsTheImportAndTheExport) {
    TempDir dir;
    std::string in = dir.Path("big.mif");
    WriteBigPair(in, 400000);
    std::string err = dir.Path("err.txt");
    // The import has begun once mifhost catches Ctrl-C.
    int code = Interrupt({"info", in}, err, testos::CatchesInterrupt);
    if (code == -1) {
        GTEST_SKIP() << "the import finished before the interrupt arrived";
    }
    EXPECT_EQ(code, 130);
    EXPECT_NE(ReadFile(err).find("mifhost: import cancelled (Ctrl-C); nothing was written"),
              std::string::npos)
        << ReadFile(err);

    // Interrupt as soon as the export has made its temporary files.
    code = Interrupt({"--quiet", "convert", in, dir.Path("out.mif")}, err,
                     [&dir](testos::Process*) { return !TempFilesIn(dir).empty(); });
    if (code == -1) {
        GTEST_SKIP() << "the export finished before the interrupt arrived";
    }
    EXPECT_EQ(code, 130);
    EXPECT_NE(ReadFile(err).find("cancelled (Ctrl-C); nothing was written"), std::string::npos)
        << ReadFile(err);
    EXPECT_FALSE(std::filesystem::exists(dir.Path("out.mif")));
    EXPECT_EQ(TempFilesIn(dir), "");
}

// Pairing holes with outer rings looks at a few rings per hole, not at every outer ring: nested
// squares (outer, hole, outer ... as the host marks them) and the same triangle many times.
// Several files: each runs as it would alone, its output in the order of the files, its failure
// on one line that names it; the others go on, and the exit code is the highest.
TEST(Mifhost, SeveralFilesRunEachAsAloneAndEndWithTheHighestCode) {
    TempDir dir;
    WriteSmallPair(dir);
    std::string town = std::string(MIF_SOURCE_DIR) + "/examples/town";
    for (const char* ext : {".mif", ".mid"}) {
        std::filesystem::copy_file(town + ext, dir.Path(std::string("town") + ext));
    }
    WriteFile(dir.Path("bad.mif"), "no MIF file\n");
    std::filesystem::create_directories(dir.Path("sub"));
    std::filesystem::copy_file(dir.Path("a.mif"), dir.Path("sub/a.mif"));
    // What each file gives alone.
    std::map<std::string, std::string> alone;
    for (const char* name : {"a", "town"}) {
        std::string mif = std::string(name) + ".mif";
        HostRun info = RunHost({"info", mif}, dir);
        ASSERT_EQ(info.code, 0) << info.err;
        alone["info " + mif] = info.out.substr(0, info.out.find("import time:"));
        ASSERT_EQ(RunHost({"dump", mif, "-o", std::string(name) + ".geojson"}, dir).code, 0);
        ASSERT_EQ(RunHost({"convert", mif, std::string(name) + "-copy.mif"}, dir).code, 0);
        for (const char* ext : {".geojson", "-copy.mif", "-copy.mid"}) {
            alone[std::string(name) + ext] = ReadFile(dir.Path(std::string(name) + ext));
        }
    }
    struct Case {
        std::vector<std::string> args;
        int code;
        std::vector<std::string> says;     // the lines of standard error, in order
        std::vector<std::string> outputs;  // written into out/, each as its file gives it alone
        // standard output holds what the command gives each readable input alone
        bool sameOut = false;
    };
    const Case cases[] = {
        {{"info", "a.mif", "town.mif"}, 0, {}, {}, true},
        {{"dump", "town.mif", "a.mif"}, 0, {}, {}, true},
        {{"-j", "2", "info", "a.mif", "bad.mif", "town.mif", "missing.mif"},
         2,
         {"mifhost: bad.mif is not a MIF file: it has no Data line",
          "mifhost: cannot open missing.mif: No such file or directory"},
         {},
         true},
        {{"dump", "-j", "2", "a.mif", "town.mif", "-d", "out"},
         0,
         {},
         {"a.geojson", "town.geojson"}},
        {{"dump", "a.mif", "-d", "out/"}, 0, {}, {"a.geojson"}},
        {{"convert", "--jobs=2", "bad.mif", "a.mif", "town.mif", "-d", "out"},
         2,
         {"mifhost: bad.mif is not a MIF file: it has no Data line"},
         {"a.mif", "a.mid", "town.mif", "town.mid"}},
        // An output that is a folder (3) outranks an input that is no MIF file (2).
        {{"-j", "3", "dump", "town.mif", "bad.mif", "a.mif", "--folder", "out"},
         3,
         {"mifhost: town.mif: cannot create out/town.geojson: Is a directory",
          "mifhost: bad.mif is not a MIF file: it has no Data line"},
         {"a.geojson"}},
        {{"dump", "a.mif", "sub/a.mif", "-d", "out"},
         1,
         {"mifhost: a.mif and sub/a.mif would both be written to out/a.geojson; give them "
          "separate runs"},
         {}},
        {{"dump", "a.mif", "town.mif", "-d", "none"},
         3,
         {"mifhost: cannot write into none: No such file or directory"},
         {}},
        {{"--plugin", "libnothere.so", "info", "a.mif", "town.mif"},
         4,
         {"cannot load plug-in"},
         {}},
        {{"dump", "a.mif", "town.mif", "-o", "x.geojson"},
         1,
         {"mifhost: dump takes one file name with -o: mifhost dump IN.mif [-o OUT.geojson]; see "
          "mifhost --help"},
         {}},
        {{"convert", "a.mif", "b.mif", "-o", "x.mif"}, 1, {"convert does not take -o"}, {}},
        {{"dump", "a.mif", "-o", "x.geojson", "-d", "out"},
         1,
         {"dump takes -o or -d, not both"},
         {}},
        {{"info", "a.mif", "-d", "out"}, 1, {"info does not take -d"}, {}},
        {{"render", "a.mif", "town.mif", "-d", "out"}, 1, {"render does not take -d"}, {}},
        {{"convert", "-d", "out"}, 1, {"convert takes one or more file names"}, {}},
        {{"-j", "0", "info", "a.mif"}, 1, {"-j needs a number of files at once from 1 to 64"}, {}},
        {{"-j", "65", "info", "a.mif"}, 1, {"not \"65\""}, {}},
    };
    for (const Case& c : cases) {
        std::string command;
        for (const std::string& a : c.args) {
            command += " " + a;
        }
        SCOPED_TRACE(command);
        std::filesystem::remove_all(dir.Path("out"));
        std::filesystem::create_directories(dir.Path("out/town.geojson"));
        if (c.code != 3) {
            std::filesystem::remove(dir.Path("out/town.geojson"));
        }
        HostRun r = RunHost(c.args, dir);
        EXPECT_EQ(r.code, c.code) << r.err;
        std::vector<std::string> lines;
        std::istringstream err(r.err);
        for (std::string line; std::getline(err, line);) {
            lines.push_back(line);
        }
        ASSERT_EQ(lines.size(), c.says.size()) << r.err;
        for (size_t k = 0; k < lines.size(); ++k) {
            EXPECT_NE(lines[k].find(c.says[k]), std::string::npos) << lines[k];
        }
        // Standard output holds what each readable input gives alone, in their order.
        std::string expected;
        if (c.sameOut) {
            bool info = c.args[0] != "dump";
            for (const std::string& a : c.args) {
                std::string key = info ? "info " + a : a.substr(0, a.size() - 4) + ".geojson";
                expected += alone.count(key) > 0 ? alone[key] : "";
            }
            std::string out = r.out;
            for (size_t at; (at = out.find("import time:")) != std::string::npos;) {
                out.erase(at, out.find('\n', at) + 1 - at);
            }
            EXPECT_EQ(out, expected);
        }
        std::vector<std::string> written;
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path("out"))) {
            if (entry.is_regular_file()) {
                written.push_back(entry.path().filename().string());
            }
        }
        std::sort(written.begin(), written.end());
        std::vector<std::string> outputs = c.outputs;
        std::sort(outputs.begin(), outputs.end());
        EXPECT_EQ(written, outputs);
        for (const std::string& name : c.outputs) {
            std::string stem = name.substr(0, name.find('.'));
            std::string ext = name.substr(name.find('.'));
            std::string key = stem + (ext == ".geojson" ? ext : "-copy" + ext);
            EXPECT_EQ(ReadFile(dir.Path("out/" + name)), alone[key]) << name;
        }
    }
}

// check lists each repair at its line of the MIF or the MID in the form compilers use, MIF
// first, then a summary line, and exits with 5; info counts them; a clean file has no problems.
TEST(Mifhost, CheckListsEachRepairAtItsLine) {
    TempDir dir;
    WriteSmallPair(dir);
    WriteFile(dir.Path("d.mif"),
              "Version 300\nDelimiter \",\"\nColumns 2\n  n Integer\n  s\nData\nPoint 1,5 2\n"
              "Pline 4\n1 2\n3 4\n"
              "Point 1 2\n  Symbol (35,0,12,\"x\")\n  Gr\xE9n\n");
    WriteFile(dir.Path("d.mid"), "1,a\nabc,b\n3,c,d\n4\n");
    WriteFile(dir.Path("bad.mif"), "no MIF file\n");
    const std::string listing =
        "d.mif:5: warning: column line \"s\" has no type: read as Char(254)\n"
        "d.mif:7: warning: number \"1,5\" read as 1: a decimal comma?\n"
        "d.mif:8: warning: Pline declares 4 nodes, 2 found\n"
        "d.mif:13: warning: \"Gr\\xE9n\" skipped: it belongs to no object\n"
        "d.mid:2: warning: value \"abc\" of column n is no Integer\n"
        "d.mid:3: warning: record has 3 fields for 2 columns: the extra fields are not read\n"
        "d.mid:4: warning: the MID file holds 1 more records than the 3 objects: they are not "
        "read\n"
        "d.mif: 7 problems repaired\n";
    HostRun r = RunHost({"check", "d.mif"}, dir);
    EXPECT_EQ(r.code, 5) << r.err;
    EXPECT_EQ(r.out, listing);
    EXPECT_EQ(r.err, "");
    r = RunHost({"info", "d.mif"}, dir);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("\nrepairs: 7 (mifhost check d.mif lists them)\n"), std::string::npos)
        << r.out;
    EXPECT_NE(RunHost({"info", "a.mif"}, dir).out.find("\nrepairs: none\n"), std::string::npos);

    // Several files in their order, each as alone, and the highest code.
    r = RunHost({"check", "-j", "2", "a.mif", "d.mif", "bad.mif"}, dir);
    EXPECT_EQ(r.code, 5);
    EXPECT_EQ(r.out, "a.mif: no problems\n" + listing);
    EXPECT_EQ(r.err, "mifhost: bad.mif is not a MIF file: it has no Data line\n");
    r = RunHost({"check", "a.mif"}, dir);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "a.mif: no problems\n");
    // Beyond the entries kept, a line counts the others.
    std::string many = "Version 300\nColumns 1\n  n Integer\nData\n";
    for (int i = 0; i < 1200; ++i) {
        many += "Point 1 inf\n";
    }
    WriteFile(dir.Path("many.mif"), many);
    r = RunHost({"check", "many.mif"}, dir);
    EXPECT_EQ(r.code, 5);
    EXPECT_NE(r.out.find("many.mif:1003: warning: Point has a coordinate that is not a finite"),
              std::string::npos);
    EXPECT_EQ(r.out.find("many.mif:1004:"), std::string::npos);
    EXPECT_NE(r.out.find("\nmany.mif: 201 more problems not listed\nmany.mif: 1201 problems "
                         "repaired\n"),
              std::string::npos)
        << r.out.substr(r.out.size() - 300);
}

// An interrupt of mifhost with several files goes to the files it runs, and none is begun after
// it: each running file stops as it would alone, leaves no temporary file and no output, and says
// so naming its file; the files not begun are named once. (A file may also be done before.)
TEST(Mifhost, AnInterruptStopsEveryFileAndLeavesNoTemporaryFile) {
    TempDir dir;
    const size_t n = 600000;
    WriteBigPair(dir.Path("b1.mif"), static_cast<int>(n));
    for (const char* name : {"b2", "b3"}) {
        for (const char* ext : {".mif", ".mid"}) {
            std::filesystem::copy_file(dir.Path(std::string("b1") + ext),
                                       dir.Path(std::string(name) + ext));
        }
    }
    const std::pair<Stop, const char*> stops[] = {
        {Stop::kCtrlC, "Ctrl-C"}, {Stop::kTerminate, "SIGTERM"}, {Stop::kHangUp, "SIGHUP"}};
    for (const auto& [how, name] : stops) {
        SCOPED_TRACE(name);
        if (how != Stop::kCtrlC && testos::PosixOnly("SIGTERM and SIGHUP") != nullptr) {
            continue;
        }
        std::filesystem::remove_all(dir.Path("out"));
        std::filesystem::create_directories(dir.Path("out"));
        // Once the first file's export has made its temporary files.
        auto exporting = [&dir](testos::Process*) {
            return TempFilesIn(dir).find(".b1-") != std::string::npos;
        };
        int code = Interrupt({"-j", "2", "convert", "b1.mif", "b2.mif", "b3.mif", "-d", "out"},
                             dir.Path("err.txt"), exporting, how, dir.Root().string());
        std::string err = ReadFile(dir.Path("err.txt"));
        // On a busy machine the first file may be past its export's end (its files being put in
        // place, which no interrupt stops) by the time the interrupt comes.
        if (code == -1 || (code == 0 && std::filesystem::exists(dir.Path("out/b1.mif")))) {
            GTEST_SKIP() << "the files were done before the interrupt arrived";
        }
        EXPECT_EQ(code, 130) << err;
        EXPECT_EQ(TempFilesIn(dir), "");
        size_t lines = 0;
        std::string notBegun;
        for (const char* file : {"b1", "b2", "b3"}) {
            std::string mif = dir.Path("out/" + std::string(file) + ".mif");
            std::string mid = dir.Path("out/" + std::string(file) + ".mid");
            size_t at = err.find(std::string("mifhost: ") + file + ".mif: ");
            if (std::filesystem::exists(mif)) {
                // Done before the interrupt: whole, and nothing said.
                EXPECT_NE(std::string(file), "b1");
                EXPECT_EQ(PairCounts(mif, mid), std::make_pair(n, n)) << file;
                EXPECT_EQ(at, std::string::npos) << err;
            } else if (at != std::string::npos) {
                // Stopped in its import, its export, or the writing of its MIF file again.
                std::string line = err.substr(at, err.find('\n', at) - at);
                EXPECT_NE(line.find(std::string(" cancelled (") + name + "); nothing was written"),
                          std::string::npos)
                    << line;
                EXPECT_FALSE(std::filesystem::exists(mid)) << file;
                ++lines;
            } else {
                EXPECT_NE(std::string(file), "b1") << err;
                notBegun += (notBegun.empty() ? "" : ", ") + std::string(file) + ".mif";
            }
        }
        // With two at once and the first stopped, the third began only once the second was done.
        if (std::filesystem::exists(dir.Path("out/b3.mif"))) {
            EXPECT_TRUE(std::filesystem::exists(dir.Path("out/b2.mif"))) << "begun after it";
        }
        if (!notBegun.empty()) {
            EXPECT_NE(err.find(std::string("mifhost: convert cancelled (") + name +
                               "); not begun: " + notBegun + "\n"),
                      std::string::npos)
                << err;
            ++lines;
        }
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), static_cast<long>(lines)) << err;
    }
}

TEST(MifhostParts, OutputsInAFolderAreNamedAfterTheirInputs) {
    struct Case {
        const char* folder;
        const char* input;
        const char* extension;
        const char* output;
    };
    const Case cases[] = {
        {"out", "roads.mif", ".geojson", "out/roads.geojson"},
        {"out/", "maps/roads.MIF", ".mif", "out/roads.mif"},
        {"out\\", "maps\\roads.mif", ".geojson", "out\\roads.geojson"},
        {"/data/out", "a.b.mif", ".mif", "/data/out/a.b.mif"},
        {"out", "no.dot/roads", ".geojson", "out/roads.geojson"},
        {"out", "maps/.hidden", ".mif", "out/.hidden.mif"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(OutputInFolder(c.folder, c.input, c.extension), c.output) << c.input;
    }
}

TEST(MifhostParts, RingGroupingWorkGrowsWithTheRingCount) {
    const int n = 4000;
    for (bool nested : {true, false}) {
        CXF_RegionCmx region;
        region.SetPolygonSize(n);
        for (int i = 0; i < n; ++i) {
            CXF_PolygonD* ring = region.GetPolygon(i);
            double at = nested ? i : 0.0;
            double side = nested ? 2.0 * (n - i) : 1.0;
            ring->SetSize(3 + (nested ? 1 : 0));
            tagXF_POINT3DD* p = ring->GetData();
            p[0] = {at, at, 0.0};
            p[1] = {at + side, at, 0.0};
            p[2] = {at + side, at + side, 0.0};
            if (nested) {
                p[3] = {at, at + side, 0.0};
            }
            ring->SetExternal(i % 2 == 0);
        }
        std::int64_t work = 0;
        std::vector<RingGroup> groups = GroupRings(&region, &work);
        EXPECT_LE(work, 2 * n) << (nested ? "nested" : "identical");
        ASSERT_EQ(groups.size(), static_cast<size_t>(n / 2));
        for (const RingGroup& g : groups) {
            ASSERT_EQ(g.holes.size(), 1u);
            if (nested) {
                EXPECT_EQ(g.holes[0], g.outer + 1) << "each hole in the ring just around it";
            }
        }
    }
}

// The progress line fits the terminal, cutting the middle of the label; a cancelled bar ends
// where it stood, without 100%.
TEST(MifhostParts, ProgressLinesFitAndEndCleanly) {
    const std::string label = "Write /data/projects/a-long-folder-name/выход/roads_2024.mif";
    for (int width : {79, 60, 40, 12}) {
        std::string line = TerminalProgress::Line(label, 42, width);
        EXPECT_LE(DisplayWidth(line), width) << line;
        EXPECT_EQ(line.substr(line.size() - 4), " 42%") << line;
        if (width == 60 || width == 40) {
            EXPECT_EQ(line.rfind("Write …", 0), 0u) << line;
            EXPECT_NE(line.find("roads_2024.mif ["), std::string::npos) << line;
        }
    }
    EXPECT_EQ(TerminalProgress::Line(label, 100, 200).rfind(label + " [####", 0), 0u);
    // A file name with terminal escapes is shown as info shows it.
    EXPECT_EQ(TerminalProgress::Line("Write \x1B]0;x\x07\xC2\x9B.mif", 5, 79)
                  .rfind("Write \\x1B]0;x\\x07\\u009B.mif [", 0),
              0u);

    TempDir dir;
    testos::WithStderrTo(dir.Path("bar.txt"), [] {
        volatile int cancel = 0;
        TerminalProgress bar(true, 80);
        bar.SetLabel("Write out.mif");
        bar.SetCancelFlag(&cancel);
        bar.OnStartProgress(1);
        bar.OnProgress(37.5);
        cancel = 1;
        bar.OnEndProgress(1);
    });
    std::string shown = ReadFile(dir.Path("bar.txt"));
    EXPECT_EQ(shown.find("100%"), std::string::npos) << shown;
    EXPECT_EQ(shown.substr(shown.size() - 5), " 37%\n") << shown;
}

}  // namespace

// The copy of a MIF file that comes through a named pipe: a header in pieces gets the input's
// lines, the bytes after it pass as they are, and a writer that never comes ends the copy when
// asked instead of leaving it waiting.
TEST(MifhostParts, APipedMifFileIsCopiedWithTheInputsHeader) {
    SKIP_WITHOUT_POSIX("named pipes among files");
    TempDir dir;
    MifHeaderScan input;
    input.hasCharset = true;
    input.charsetLine = "Charset \"WindowsLatin1\"";
    input.coordSysLines = {"CoordSys Earth Projection 1, 104"};
    const std::string written =
        "Version 300\r\nCharset \"WindowsCyrillic\"\r\nCoordSys Earth Projection 1, 0\r\n"
        "Columns 1\r\n  Charset Char(3)\r\nData\r\n\r\nPoint 1 2\r\n";
    const std::string expected =
        "Version 300\r\nCharset \"WindowsLatin1\"\r\nCoordSys Earth Projection 1, 104\r\n"
        "Columns 1\r\n  Charset Char(3)\r\nData\r\n\r\nPoint 1 2\r\n";
    // Pieces that split the header inside its lines, between CR and LF, and the objects.
    for (size_t piece : {size_t{1}, size_t{5}, size_t{23}, written.size()}) {
        SCOPED_TRACE(piece);
        const std::string fifo = dir.Path("p" + std::to_string(piece) + ".mif");
        ASSERT_TRUE(testos::MakeFifo(fifo));
        std::FILE* to = std::fopen(dir.Path("out.mif").c_str(), "wb");
        ASSERT_NE(to, nullptr);
        PipedMif copy;
        std::string error;
        ASSERT_TRUE(copy.Start(fifo, input, to, error)) << error;
        std::FILE* writer = std::fopen(fifo.c_str(), "wb");
        ASSERT_NE(writer, nullptr);
        for (size_t at = 0; at < written.size(); at += piece) {
            size_t n = std::min(piece, written.size() - at);
            ASSERT_EQ(std::fwrite(written.data() + at, 1, n, writer), n);
            std::fflush(writer);
        }
        std::fclose(writer);
        EXPECT_EQ(copy.Finish(), 0);
        std::fclose(to);
        EXPECT_EQ(ReadFile(dir.Path("out.mif")), expected);
    }
    // A plug-in that fails before it opens the file: the copy ends without a header.
    const std::string unused = dir.Path("unused.mif");
    ASSERT_TRUE(testos::MakeFifo(unused));
    std::FILE* to = std::fopen(dir.Path("none.mif").c_str(), "wb");
    ASSERT_NE(to, nullptr);
    PipedMif copy;
    std::string error;
    ASSERT_TRUE(copy.Start(unused, input, to, error)) << error;
    EXPECT_EQ(copy.Finish(), EIO);
    EXPECT_FALSE(copy.LostWrite());
    std::fclose(to);
    EXPECT_EQ(ReadFile(dir.Path("none.mif")), "");
}

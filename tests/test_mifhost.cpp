#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "test_util.h"

namespace {

struct HostRun {
    int code = -1;
    std::string out;
    std::string err;
};

// Runs mifhost with the arguments; standard output and standard error go to files.
HostRun RunHost(const std::vector<std::string>& args, const TempDir& dir) {
    std::string outPath = dir.Path("stdout.txt");
    std::string errPath = dir.Path("stderr.txt");
    HostRun r;
    r.code = testos::Run(MIFHOST_PATH, args, outPath, errPath);
    r.out = ReadFile(outPath);
    r.err = ReadFile(errPath);
    return r;
}

std::string Sample(const std::string& relative) {
    return SamplesDir() + "/" + relative;
}

// A Linux program found on the path (the Windows tests under Wine run none).
bool HaveProgram(const char* name) {
    if (testos::PosixOnly(name) != nullptr) {
        return false;
    }
    std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
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

TEST(Mifhost, ExitCodesForEachFailure) {
    TempDir dir;
    HostRun usage = RunHost({}, dir);
    EXPECT_EQ(usage.code, 1);
    EXPECT_NE(usage.err.find("no command"), std::string::npos);
    EXPECT_EQ(RunHost({"frobnicate", "x.mif"}, dir).code, 1);
    EXPECT_EQ(RunHost({"info"}, dir).code, 1);
    EXPECT_EQ(RunHost({"--width", "abc", "render", "a.mif", "b.svg"}, dir).code, 1);

    HostRun missing = RunHost({"info", dir.Path("missing.mif")}, dir);
    EXPECT_EQ(missing.code, 2);
    EXPECT_NE(missing.err.find("cannot open"), std::string::npos) << missing.err;

    HostRun noPlugin = RunHost({"--plugin", dir.Path("libnothere.so"), "info", "x.mif"}, dir);
    EXPECT_EQ(noPlugin.code, 4);
    HostRun fake = RunHost({"--plugin", FAKE_PLUGIN_PATH, "info", "x.mif"}, dir);
    EXPECT_EQ(fake.code, 4);
    EXPECT_NE(fake.err.find("has no entry point XF_GetFormats"), std::string::npos) << fake.err;

    std::string in = dir.Path("a.mif");
    WriteFile(in, "Version 300\r\nColumns 1\r\n  A integer\r\nData\r\nPoint 1 2\r\n");
    WriteFile(dir.Path("a.mid"), "1\r\n");
    HostRun cannotCreate = RunHost({"convert", in, dir.Path("no/such/folder/out.mif")}, dir);
    EXPECT_EQ(cannotCreate.code, 3);
    EXPECT_NE(cannotCreate.err.find("error code 8"), std::string::npos) << cannotCreate.err;
    if (const char* device = testos::FullDevice()) {
        HostRun full = RunHost({"convert", in, device}, dir);
        EXPECT_EQ(full.code, 3) << full.err;
        HostRun empty = RunHost({"dump", in, "-o", device}, dir);
        EXPECT_EQ(empty.code, 3) << "a failed write of the GeoJSON is an error";
    }
}

TEST(Mifhost, OwnSampleMapThroughEveryCommand) {
    TempDir dir;
    std::string town = std::string(MIF_SOURCE_DIR) + "/examples/town.mif";
    HostRun info = RunHost({"info", town}, dir);
    ASSERT_EQ(info.code, 0) << info.err;
    EXPECT_NE(info.out.find("columns: 8"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("objects: 12"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("polygon  3"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("text     2"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("legend styles: marker, polygon, text"), std::string::npos)
        << "the two points and the three polygons share their default styles";

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
    if (HaveProgram("xmllint")) {
        std::string cmd = "xmllint --noout " + dir.Path("town.svg");
        EXPECT_EQ(std::system(cmd.c_str()), 0) << "the picture is well-formed XML";
    }
}

// A byte that the code page leaves undefined (0x98 in Windows-1251) is no text: U+FFFD, on Windows
// as elsewhere.
TEST(Mifhost, UndefinedBytesOfTheCodePageBecomeReplacementCharacters) {
    TempDir dir;
    std::string in = dir.Path("u.mif");
    WriteFile(in, "Version 300\r\nColumns 1\r\n  NAME char(10)\r\nData\r\nPoint 1 2\r\n");
    WriteFile(dir.Path("u.mid"), "\"a\x98\xC0\"\r\n");
    HostRun dump = RunHost({"--codepage", "WINDOWS-1251", "dump", in}, dir);
    ASSERT_EQ(dump.code, 0) << dump.err;
    EXPECT_NE(dump.out.find("\"NAME\":\"a\xEF\xBF\xBD\xD0\x90\""), std::string::npos) << dump.out;
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
        sources.push_back(Sample("gdal_win1251/win1251"));
    }
    auto read = [](const fs::path& path) {
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    };
    for (const std::string& source : sources) {
        SCOPED_TRACE(source);
        fs::copy_file(source + ".mif", in / "a.mif", fs::copy_options::overwrite_existing);
        fs::copy_file(source + ".mid", in / "a.mid", fs::copy_options::overwrite_existing);
        HostRun plain =
            RunHost({"--quiet", "convert", source + ".mif", dir.Path("plain.mif")}, dir);
        ASSERT_EQ(plain.code, 0) << plain.err;
        HostRun run = RunHost(
            {"--quiet", "convert", (in / "a.mif").u8string(), (out / "a.mif").u8string()}, dir);
        ASSERT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(read(out / "a.mif"), ReadFile(dir.Path("plain.mif")));
        EXPECT_EQ(read(out / "a.mid"), ReadFile(dir.Path("plain.mid")));
    }
}

// The features of a GeoJSON text that writes one feature per line.
std::vector<std::string> FeatureLines(const std::string& json) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < json.size()) {
        size_t end = json.find('\n', pos);
        std::string line = json.substr(pos, end == std::string::npos ? end : end - pos);
        if (line.find("\"Feature\"") != std::string::npos &&
            line.find("FeatureCollection") == std::string::npos) {
            lines.push_back(line);
        }
        if (end == std::string::npos) {
            break;
        }
        pos = end + 1;
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

std::vector<double> Coordinates(const std::string& line) {
    std::string geometry = ObjectAfter(line, "geometry");
    size_t c = geometry.find("\"coordinates\"");
    return c == std::string::npos ? std::vector<double>() : Numbers(geometry.substr(c));
}

TEST(Mifhost, DumpAgreesWithTheReferenceToolkit) {
    if (SamplesDir().empty()) {
        GTEST_SKIP() << "MIF_SAMPLES_DIR is not set";
    }
    if (const char* why = NoOgrinfo()) {
        GTEST_SKIP() << why;
    }
    TempDir dir;
    // Lines, polygons with holes, points with Cyrillic names and values, dates, logicals; each
    // read with the code page of its Charset line.
    const std::pair<const char*, const char*> files[] = {
        {"gtk_hy_water_area/HY_WATER_AREA_POLYGON.mif", "CP1252"},
        {"gt_grafo/grafo.MIF", "CP1252"},
        {"dmx_barnsbury_segment_pline/barnsbury_segment_pline.mif", "CP1252"},
        {"gdal_win1251/win1251.mif", "CP1251"},
        {"gt_mixed/mixed.MIF", "CP1252"},
    };
    for (const auto& [file, codePage] : files) {
        SCOPED_TRACE(file);
        HostRun ours = RunHost(
            {"--codepage", codePage, "dump", Sample(file), "-o", dir.Path("ours.geojson")}, dir);
        ASSERT_EQ(ours.code, 0) << ours.err;
        std::remove(dir.Path("ref.geojson").c_str());
        std::string cmd =
            "ogr2ogr -f GeoJSON " + dir.Path("ref.geojson") + " " + Sample(file) + " 2>/dev/null";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        std::vector<std::string> a = FeatureLines(ReadFile(dir.Path("ours.geojson")));
        std::vector<std::string> b = FeatureLines(ReadFile(dir.Path("ref.geojson")));
        ASSERT_EQ(a.size(), b.size());
        for (size_t f = 0; f < a.size(); ++f) {
            std::vector<double> ca = Coordinates(a[f]);
            std::vector<double> cb = Coordinates(b[f]);
            ASSERT_EQ(ca.size(), cb.size()) << "feature " << f;
            for (size_t i = 0; i < ca.size(); ++i) {
                ASSERT_NEAR(ca[i], cb[i], 1e-9) << "feature " << f << " coordinate " << i;
            }
            // Values by column position: the reference renames some columns.
            std::vector<std::pair<std::string, std::string>> pa = Properties(a[f]);
            std::vector<std::pair<std::string, std::string>> pb = Properties(b[f]);
            ASSERT_FALSE(pb.empty()) << "feature " << f << " of the reference has values";
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
}

TEST(Mifhost, CancelledExportLeavesAFileThatReads) {
    TempDir dir;
    std::string in = dir.Path("big.mif");
    {
        std::string mif = "Version 300\r\nColumns 1\r\n  N integer\r\nData\r\n";
        std::string mid;
        for (int i = 0; i < 400000; ++i) {
            mif += "Point " + std::to_string(i % 1000) + " " + std::to_string(i / 1000) + "\r\n";
            mid += std::to_string(i) + "\r\n";
        }
        WriteFile(in, mif);
        WriteFile(dir.Path("big.mid"), mid);
    }
    std::string out = dir.Path("out.mif");
    testos::Process* child = testos::Start(MIFHOST_PATH, {"--quiet", "convert", in, out});
    ASSERT_NE(child, nullptr);
    // Interrupt as soon as the export has written its header.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    auto started = [&out] {
        std::error_code ec;
        return std::filesystem::file_size(out, ec) > 0 && !ec;
    };
    while (std::chrono::steady_clock::now() < deadline && !started()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(testos::Interrupt(child));
    int code = testos::Wait(child);
    ASSERT_NE(code, -1) << "Ctrl-C does not kill the export";
    if (code == 0) {
        GTEST_SKIP() << "the export finished before the interrupt arrived";
    }
    EXPECT_EQ(code, 130);
    HostRun info = RunHost({"info", out}, dir);
    ASSERT_EQ(info.code, 0) << info.err;
    EXPECT_NE(info.out.find("columns: 1"), std::string::npos);
    size_t at = info.out.find("objects: ");
    ASSERT_NE(at, std::string::npos) << info.out;
    EXPECT_LT(std::stol(info.out.substr(at + 9)), 400000);
}

}  // namespace

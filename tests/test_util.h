#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "test_platform.h"

// A fresh folder for one test, removed with everything in it when the test ends (also when an
// assertion fails).
class TempDir {
public:
    TempDir() {
        std::random_device random;
        std::filesystem::path base = std::filesystem::temp_directory_path();
        for (int attempt = 0; dir.empty(); ++attempt) {
            std::filesystem::path candidate = base / ("miftest-" + std::to_string(random()));
            if (std::filesystem::create_directory(candidate)) {
                dir = candidate;
            } else if (attempt > 100) {
                std::abort();
            }
        }
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string Path(const std::string& name) const { return (dir / name).string(); }
    const std::filesystem::path& Root() const { return dir; }

private:
    std::filesystem::path dir;
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string TestDataPath(const std::string& name) {
    return std::string(MIF_TEST_DATA_DIR) + "/" + name;
}

// The folder of real files written by other programs, or empty when it is not configured.
inline std::string SamplesDir() {
    const char* dir = std::getenv("MIF_SAMPLES_DIR");
    return dir != nullptr ? std::string(dir) : std::string();
}

// The MIF files of the samples folder, sorted; none when it is not configured.
inline std::vector<std::string> SampleFiles() {
    std::vector<std::string> files;
    std::string dir = SamplesDir();
    if (dir.empty() || !std::filesystem::is_directory(dir)) {
        return files;
    }
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
        std::string ext = entry.path().extension().string();
        if (entry.is_regular_file() && (ext == ".mif" || ext == ".MIF")) {
            files.push_back(entry.path().string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

// The shared plug-in, loaded as a host loads it.
class PluginLibrary {
public:
    PluginLibrary() : handle(testos::OpenLibrary(MIF_PLUGIN_PATH)) {}
    ~PluginLibrary() { testos::CloseLibrary(handle); }
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    bool Loaded() const { return handle != nullptr; }
    // Why the library did not load.
    static std::string Error() { return testos::LibraryError(); }
    template <typename Fn>
    Fn Get(const char* name) const {
        return reinterpret_cast<Fn>(testos::FindSymbol(handle, name));
    }

private:
    void* handle;
};

// Why a Linux program (ogrinfo, ogr2ogr, xmllint) cannot be run here, or null when it can. The
// Windows tests under Wine run none.
inline const char* NoProgram(const char* name) {
    if (const char* posixOnly = testos::PosixOnly(name)) {
        return posixOnly;
    }
    std::string command = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0 ? nullptr : "not installed (Debian: gdal-bin)";
}

// One feature as `ogrinfo -al` reports it: field values by name, the style string and the
// geometry text.
struct COgrFeature {
    std::map<std::string, std::string> values;
    std::string style;
    std::string geometry;
};

// Runs ogrinfo -al on a file and splits its report into features.
inline std::vector<COgrFeature> OgrFeatures(const std::string& path, std::string& report) {
    std::string command = "ogrinfo -ro -al '" + path + "' 2>&1";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(testos::OpenCommand(command), testos::CloseCommand);
    std::vector<COgrFeature> features;
    if (!pipe) {
        return features;
    }
    char buffer[1 << 16];
    while (std::fgets(buffer, sizeof buffer, pipe.get()) != nullptr) {
        std::string line(buffer);
        report += line;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
            line.pop_back();
        }
        if (line.rfind("OGRFeature(", 0) == 0) {
            features.emplace_back();
        } else if (!features.empty() && line.rfind("  ", 0) == 0) {
            size_t type = line.find(" (");
            size_t eq = line.find(") = ");
            if (type != std::string::npos && eq != std::string::npos && type < eq &&
                line.find(' ', 2) == type) {
                features.back().values[line.substr(2, type - 2)] = line.substr(eq + 4);
            } else if (line.rfind("  Style = ", 0) == 0) {
                features.back().style = line.substr(10);
            } else if (line.size() > 2 && line[2] >= 'A' && line[2] <= 'Z') {
                features.back().geometry = line.substr(2);
            }
        }
    }
    return features;
}

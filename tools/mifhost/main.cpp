// mifhost: loads the MIF/MID plug-in the way the desktop application does and drives its entry
// points from a terminal, on the in-memory host library.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "plugin/host/app.h"
#include "plugin/host/document.h"
#include "plugin/host/file_info.h"
#include "plugin/host/main_frame.h"
#include "plugin/host/style.h"
#include "plugin/host/table.h"
#include "plugin/host/vector.h"
#include "tools/mifhost/codepage.h"
#include "tools/mifhost/geojson.h"
#include "tools/mifhost/layer_view.h"
#include "tools/mifhost/platform.h"
#include "tools/mifhost/plugin_loader.h"
#include "tools/mifhost/progress.h"
#include "tools/mifhost/svg.h"

namespace {

enum ExitCode {
    kExitOk = 0,
    kExitUsage = 1,
    kExitCannotOpen = 2,
    kExitCannotSave = 3,
    kExitPlugin = 4,
    kExitCancelled = 130,
};

const char kUsage[] =
    "usage: mifhost [options] COMMAND ...\n"
    "commands:\n"
    "  info IN.mif                       columns, objects per type, legends, extent, time\n"
    "  dump IN.mif [-o OUT.geojson]      the layer as GeoJSON (standard output by default)\n"
    "  convert IN.mif OUT.mif            import, then export (OUT.mid is written beside)\n"
    "  render IN.mif OUT.svg [--width N] the layer drawn as an SVG picture (default 1000 px)\n"
    "options:\n"
    "  --plugin PATH     the plug-in library (default: libmif.so beside mifhost)\n"
    "  --codepage NAME   code page of the files' text (default WINDOWS-1251)\n"
    "  --quiet           no progress bars\n";

struct Options {
    std::string command;
    std::vector<std::string> args;
    std::string output;
    std::string plugin;
    std::string codePage = "WINDOWS-1251";
    int width = 1000;
    bool quiet = false;
};

int Fail(int code, const std::string& message) {
    std::fprintf(stderr, "mifhost: %s\n", message.c_str());
    return code;
}

bool ParseArgs(const std::vector<std::string>& argv, Options& o, std::string& error) {
    const int argc = static_cast<int>(argv.size());
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc) {
                error = a + " needs a value";
                return false;
            }
            into = argv[++i];
            return true;
        };
        if (a == "--plugin") {
            if (!value(o.plugin)) {
                return false;
            }
        } else if (a == "--codepage") {
            if (!value(o.codePage)) {
                return false;
            }
        } else if (a == "-o" || a == "--output") {
            if (!value(o.output)) {
                return false;
            }
        } else if (a == "--width") {
            std::string w;
            if (!value(w)) {
                return false;
            }
            char* end = nullptr;
            long n = std::strtol(w.c_str(), &end, 10);
            if (end == w.c_str() || *end != '\0' || n < 16 || n > 100000) {
                error = "--width needs a number of pixels from 16 to 100000";
                return false;
            }
            o.width = static_cast<int>(n);
        } else if (a == "--quiet" || a == "-q") {
            o.quiet = true;
        } else if (a == "-h" || a == "--help") {
            error.clear();
            return false;
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option " + a;
            return false;
        } else if (o.command.empty()) {
            o.command = a;
        } else {
            o.args.push_back(a);
        }
    }
    size_t want = 0;
    if (o.command == "info" || o.command == "dump") {
        want = 1;
    } else if (o.command == "convert" || o.command == "render") {
        want = 2;
    } else {
        error = o.command.empty() ? "no command given" : "unknown command " + o.command;
        return false;
    }
    if (o.args.size() != want) {
        error = o.command + " takes " + std::to_string(want) + " file name" + (want > 1 ? "s" : "");
        return false;
    }
    return true;
}

// The plug-in, checked the way the application checks it before it offers the format.
int LoadPlugin(const Options& o, PluginLoader& plugin, CGEO& geo) {
    std::string path = o.plugin.empty() ? platform::DefaultPluginPath() : o.plugin;
    std::string error;
    if (!plugin.Load(path, error)) {
        return Fail(kExitPlugin, error);
    }
    char identify[kIdentifySize] = {};
    if (plugin.identify(0, identify) != 1) {
        return Fail(kExitPlugin, "plug-in " + path + " does not identify itself");
    }
    Cgeo_FileManager* files = geo.GetApp()->GetFileManager();
    files->ClearRegisteredFormats();
    plugin.getFormats(&geo);
    for (const CXF_RegisteredFormat& f : files->GetRegisteredFormats()) {
        if (f.extension == "mif") {
            return kExitOk;
        }
    }
    return Fail(kExitPlugin, "plug-in " + path + " does not offer the mif format");
}

// Imports the file into a new active vector layer of the document, as the application opens a
// file: XF_IsValid, XF_Open, XF_Read, XF_Close.
int Import(PluginLoader& plugin, CGEO& geo, Cgeo_Document& document, const std::string& path,
           Cgeo_Vector*& vector, double& seconds) {
    auto start = std::chrono::steady_clock::now();
    int index = document.GetLayers()->AddLayer("VECTOR", true);
    vector = document.GetLayers()->GetLayer(index)->GetVector();
    if (plugin.isValid(0, 0) != 1) {
        return Fail(kExitCannotOpen, "cannot open " + path + ": the plug-in refuses it");
    }
    CXF_FileInfo info;
    info.mainApp = geo.GetApp();
    info.fileNames.push_back(path);
    std::string hostPath = platform::HostPath(path);
    if (hostPath.empty()) {
        return Fail(kExitCannotOpen,
                    "cannot open " + path + ": the system's code page cannot spell its name");
    }
    if (plugin.open(&geo, &info, hostPath.c_str()) != 1) {
        return Fail(kExitCannotOpen,
                    "cannot open " + path + " (error code " + std::to_string(info.errorCode) + ")");
    }
    int host = 1;  // the application passes its own pointer; the plug-in only needs one
    int read = plugin.read(&info, 0, &host, vector, 0);
    plugin.close(&info);
    if (read != 1) {
        return Fail(kExitCannotOpen, "cannot read " + path);
    }
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return kExitOk;
}

const char* TypeName(int type) {
    static const char* const names[] = {"empty", "point", "line", "polygon", "ellipse", "text"};
    return type >= 0 && type <= 5 ? names[type] : "other";
}

int Info(const std::string& path, Cgeo_Vector* vector, double seconds, const CodePage& cp) {
    std::printf("file: %s\n", path.c_str());
    Cgeo_VectorColumns* columns = vector->GetVectorTable()->GetVectorColumns();
    std::printf("columns: %d\n", columns->GetSize());
    static const char* const typeNames[] = {"none",   "text",    "uint8", "uint16",
                                            "int16",  "uint32",  "int32", "float",
                                            "double", "decimal", "date",  "logical"};
    for (int c = 0; c < columns->GetSize(); ++c) {
        const CVectorColumn* col = columns->Get(c);
        std::printf("  %-20s %-8s width %d decimals %d\n", cp.ToUtf8(col->name).c_str(),
                    col->type >= 0 && col->type < 12 ? typeNames[col->type] : "unknown", col->width,
                    col->decimals);
    }
    std::int64_t counts[7] = {};
    std::int64_t total = vector->GetObjectCount();
    for (std::int64_t id = 0; id < total; ++id) {
        Cgeo_VectorObject* o = vector->GetObjectAt(id);
        int t = o != nullptr ? o->GetType() : 6;
        ++counts[t >= 0 && t <= 5 ? t : 6];
    }
    std::printf("objects: %lld\n", static_cast<long long>(total));
    for (int t = 0; t <= 6; ++t) {
        if (counts[t] > 0) {
            std::printf("  %-8s %lld\n", TypeName(t), static_cast<long long>(counts[t]));
        }
    }
    static const char* const legendNames[] = {"line", "marker", "polygon", "text"};
    std::string legends;
    for (int k = XF_MINIATURE_LINE; k <= XF_MINIATURE_TEXT; ++k) {
        if (vector->GetMiniatureStyle(k).style != nullptr) {
            legends += std::string(legends.empty() ? "" : ", ") + legendNames[k];
        }
    }
    std::printf("legend styles: %s\n", legends.empty() ? "none" : legends.c_str());
    vector->UpdateGrid(nullptr);
    if (total > 0) {
        const CXF_RectD& b = vector->GetGridBounds();
        std::printf("bounding box: %s %s %s %s\n", NumberText(b.x1).c_str(),
                    NumberText(b.y1).c_str(), NumberText(b.x2).c_str(), NumberText(b.y2).c_str());
    } else {
        std::printf("bounding box: none\n");
    }
    std::printf("import time: %.3f s\n", seconds);
    return kExitOk;
}

// Writes through a stream to the named file, or to standard output for an empty name.
template <typename Fn>
int WriteOutput(const std::string& path, Fn write) {
    std::FILE* f = path.empty() ? stdout : platform::OpenFile(path, "wb");
    if (f == nullptr) {
        return Fail(kExitCannotSave, "cannot create " + path + ": " + std::strerror(errno));
    }
    bool ok;
    {
        BufferedOut out(f);
        write(out);
        ok = out.Flush();
    }
    if (f != stdout && std::fclose(f) != 0) {
        ok = false;
    }
    if (!ok) {
        return Fail(kExitCannotSave, "cannot write " + (path.empty() ? "output" : path));
    }
    return kExitOk;
}

int Convert(PluginLoader& plugin, CGEO& geo, Cgeo_Document& document, const std::string& out) {
    if (plugin.canSave(&document) != 1) {
        return Fail(kExitCannotSave, "nothing to save");
    }
    CXF_FileInfo info;
    info.mainApp = geo.GetApp();
    info.fileNames.push_back(out);
    // The file info names the layer to write, as the application's save dialog does.
    CXF_VectorInfo* item = new CXF_VectorInfo(geo.GetApp());
    info.AddPtrItem(item);
    item->OnAdded(0);

    std::string hostPath = platform::HostPath(out);
    if (hostPath.empty()) {
        return Fail(kExitCannotSave,
                    "cannot create " + out + ": the system's code page cannot spell its name");
    }

    // Ctrl-C sets the document's cancel flag: the export stops at the next object.
    int* flag = document.GetCanceledSignal();
    *flag = 0;
    platform::CatchInterrupt(flag);
    int result = plugin.save(&geo, &info, &document, hostPath.c_str(), 0);
    platform::ReleaseInterrupt();

    if (*flag != 0) {
        return Fail(kExitCancelled,
                    "export cancelled: " + out + " keeps the objects written before the cancel");
    }
    if (result == 0) {
        if (info.errorCode == 6) {
            return Fail(kExitCannotSave, "nothing to save (error code 6)");
        }
        return Fail(kExitCannotSave,
                    "cannot write " + out + " (error code " + std::to_string(info.errorCode) + ")");
    }
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    std::string error;
    if (!ParseArgs(platform::StartProgram(argc, argv), o, error)) {
        if (error.empty()) {
            std::fputs(kUsage, stdout);
            return kExitOk;
        }
        std::fprintf(stderr, "mifhost: %s\n%s", error.c_str(), kUsage);
        return kExitUsage;
    }
    CodePage codePage;
    if (!codePage.Init(o.codePage, error)) {
        return Fail(kExitUsage, error);
    }

    CGEO geo;
    PluginLoader plugin;
    int code = LoadPlugin(o, plugin, geo);
    if (code != kExitOk) {
        return code;
    }
    TerminalProgress progress(!o.quiet && platform::StderrIsTerminal(), &codePage);
    Cgeo_MainFrame* frame = geo.GetApp()->GetMainFrame();
    frame->SetObserver(&progress);

    Cgeo_Document document;
    Cgeo_Vector* vector = nullptr;
    double seconds = 0.0;
    const std::string& in = o.args[0];
    progress.SetLabel("Read " + in);
    code = Import(plugin, geo, document, in, vector, seconds);
    if (code == kExitOk) {
        if (o.command == "info") {
            code = Info(in, vector, seconds, codePage);
        } else if (o.command == "dump") {
            code = WriteOutput(o.output, [&](BufferedOut& out) {
                WriteGeoJson(out, vector, geo.GetApp()->GetStyleManager(), codePage);
            });
        } else if (o.command == "render") {
            code = WriteOutput(o.args[1],
                               [&](BufferedOut& out) { WriteSvg(out, vector, o.width, codePage); });
        } else {
            code = Convert(plugin, geo, document, o.args[1]);
        }
    }
    frame->SetObserver(nullptr);
    return code;
}

// mifhost: loads the MIF/MID plug-in the way the desktop application does and drives its entry
// points from a terminal, on the in-memory host library.

#include <cerrno>
#include <chrono>
#include <cmath>
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
#include "tools/mifhost/cli.h"
#include "tools/mifhost/codepage.h"
#include "tools/mifhost/geojson.h"
#include "tools/mifhost/layer_view.h"
#include "tools/mifhost/mif_header.h"
#include "tools/mifhost/output_files.h"
#include "tools/mifhost/platform.h"
#include "tools/mifhost/plugin_loader.h"
#include "tools/mifhost/progress.h"
#include "tools/mifhost/svg.h"
#include "tools/mifhost/terminal_text.h"

namespace {

enum ExitCode {
    kExitOk = 0,
    kExitUsage = 1,
    kExitCannotOpen = 2,
    kExitCannotSave = 3,
    kExitPlugin = 4,
    kExitCancelled = 130,
    // The reader of a pipe left before the output was complete (head): as a program that
    // SIGPIPE ends, without a message.
    kExitBrokenPipe = 141,
};

int Fail(int code, const std::string& message) {
    std::fprintf(stderr, "mifhost: %s\n", EscapeControls(message).c_str());
    return code;
}

int UsageError(const std::string& message) {
    return Fail(kExitUsage, message + "; see mifhost --help");
}

// Everything printed to standard output must have reached it.
int FinishStandardOutput() {
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        int error = errno != 0 ? errno : EIO;
        if (error == EPIPE) {
            return kExitBrokenPipe;
        }
        return Fail(kExitCannotSave,
                    std::string("cannot write standard output: ") + std::strerror(error));
    }
    return kExitOk;
}

bool EndsWithMif(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    if (path.size() < nameStart + 5) {
        return false;  // ".mif" alone is no file name
    }
    std::string ext = path.substr(path.size() - 4);
    for (char& c : ext) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return ext == ".mif";
}

// The MID file name beside a MIF file name, as the plug-in makes it, with the given extension.
std::string MidPath(const std::string& path, const char* extension) {
    size_t slash = path.find_last_of("/\\");
    size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = path.find_last_of('.');
    return (dot == std::string::npos || dot < nameStart ? path : path.substr(0, dot)) + extension;
}

// The input files: the MIF file and the MID files beside it that exist.
struct Inputs {
    struct File {
        std::string path;
        platform::FileStatus status;
    };
    std::vector<File> files;  // the MIF file first
    MifHeaderScan header;
};

int CheckInput(const std::string& path, Inputs& in) {
    platform::FileStatus status;
    std::string error;
    if (!platform::StatFile(path, status, error)) {
        return Fail(kExitCannotOpen, "cannot open " + path + ": " + error);
    }
    if (status.kind == platform::FileKind::kMissing) {
        return Fail(kExitCannotOpen, "cannot open " + path + ": " + std::strerror(ENOENT));
    }
    if (status.kind == platform::FileKind::kDirectory) {
        return Fail(kExitCannotOpen, "cannot open " + path + ": " + std::strerror(EISDIR));
    }
    if (status.kind != platform::FileKind::kRegular) {
        return Fail(kExitCannotOpen, "cannot open " + path + ": not a regular file");
    }
    in.files.push_back({path, status});
    std::FILE* file = platform::OpenFile(path, "rb");
    if (file == nullptr) {
        return Fail(kExitCannotOpen, "cannot open " + path + ": " + std::strerror(errno));
    }
    bool read = ScanMifHeader(file, in.header, error);
    std::fclose(file);
    if (!read) {
        return Fail(kExitCannotOpen, "cannot read " + path + ": " + error);
    }
    if (!in.header.hasData) {
        return Fail(kExitCannotOpen, path + " is not a MIF file: it has no Data line");
    }
    for (const char* extension : {".mid", ".MID"}) {
        std::string mid = MidPath(path, extension);
        if (!platform::StatFile(mid, status, error)) {
            return Fail(kExitCannotOpen, "cannot open " + mid + ": " + error);
        }
        if (status.kind == platform::FileKind::kMissing) {
            continue;
        }
        if (status.kind != platform::FileKind::kRegular) {
            return Fail(kExitCannotOpen, "cannot open " + mid + ": not a regular file");
        }
        std::FILE* midFile = platform::OpenFile(mid, "rb");
        if (midFile == nullptr) {
            return Fail(kExitCannotOpen, "cannot open " + mid + ": " + std::strerror(errno));
        }
        std::fclose(midFile);
        in.files.push_back({mid, status});
    }
    return kExitOk;
}

bool SameFile(const platform::FileStatus& a, const platform::FileStatus& b) {
    return a.device == b.device && a.inode == b.inode;
}

// Decides where an output goes, and refuses one that is one of the input files (by identity:
// links and other spellings of the name count), one that is no file, and an existing file that
// the user may not write. Symbolic links are followed to the file they name; FIFOs and devices
// are written to as they are, and so is the file of standard output when mayBeStdout.
int CheckOutput(const std::string& path, const std::string& what, const Inputs& in,
                bool mayBeStdout, OutputTarget& out) {
    out = OutputTarget();
    out.path = path;
    out.target = path;
    if (mayBeStdout && (path.empty() || path == "-")) {
        out.toStdout = true;
        return kExitOk;
    }
    platform::FileStatus status;
    std::string error;
    if (!platform::StatFile(path, status, error)) {
        return Fail(kExitCannotSave, "cannot create " + path + ": " + error);
    }
    for (const Inputs::File& input : in.files) {
        if (status.kind != platform::FileKind::kMissing && SameFile(status, input.status)) {
            bool mif = &input == &in.files[0];
            return Fail(kExitUsage, what + " is " + (mif ? "the input " : "the input's MID file ") +
                                        input.path + "; choose another output file");
        }
    }
    platform::FileStatus stdoutStatus;
    switch (status.kind) {
        case platform::FileKind::kDirectory:
            return Fail(kExitCannotSave, "cannot create " + path + ": " + std::strerror(EISDIR));
        case platform::FileKind::kFifo:
        case platform::FileKind::kDevice:
            out.direct = true;
            return kExitOk;
        case platform::FileKind::kOther:
            return Fail(kExitCannotSave,
                        "cannot write " + path + ": it is neither a file, a FIFO nor a device");
        case platform::FileKind::kRegular:
            if (mayBeStdout && platform::StandardOutputStatus(stdoutStatus) &&
                stdoutStatus.kind == platform::FileKind::kRegular &&
                SameFile(status, stdoutStatus)) {
                out.toStdout = true;  // /dev/stdout, also when the shell appends to the file
                return kExitOk;
            }
            break;
        case platform::FileKind::kMissing:
            break;
    }
    if (!platform::FollowLinks(path, out.target, error)) {
        return Fail(kExitCannotSave, "cannot write " + path + ": " + error);
    }
    if (status.kind == platform::FileKind::kRegular) {
        platform::FileStatus target;
        if (!platform::StatFile(out.target, target, error) || !SameFile(target, status)) {
            return Fail(kExitCannotSave,
                        "cannot write " + path + ": the file it names has no name to replace");
        }
        if (!platform::MayWrite(out.target, error)) {
            return Fail(kExitCannotSave, "cannot write " + path + ": " + error);
        }
        out.exists = true;
        out.status = target;
    }
    return kExitOk;
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
    int opened = plugin.open(&geo, &info, hostPath.c_str());
    int read = 0;
    if (opened == 1) {
        int host = 1;  // the application passes its own pointer; the plug-in only needs one
        read = plugin.read(&info, 0, &host, vector, 0);
        plugin.close(&info);
    }
    if (opened != 1) {
        return Fail(kExitCannotOpen, "cannot open " + path +
                                         ": the plug-in refused it (error code " +
                                         std::to_string(info.errorCode) + ")");
    }
    if (read != 1) {
        return Fail(kExitCannotOpen, "cannot read " + path + ": the plug-in failed (error code " +
                                         std::to_string(info.errorCode) + ")");
    }
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return kExitOk;
}

// The code page of the file's text and why: the option, the Charset line, or, without a usable
// Charset, UTF-8 when the text is valid UTF-8 and Windows-1251 otherwise.
struct CodePageChoice {
    unsigned number = 0;  // 0: decided by the text
    std::string reason;
    bool fromOption = false;
};

// Bytes beyond ASCII as \xNN: the Charset value is read before its code page is known.
std::string AsciiText(const std::string& bytes) {
    std::string out;
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) < 0x80) {
            out.push_back(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
            out += hex;
        }
    }
    return out;
}

CodePageChoice ChooseCodePage(const std::string& option, const MifHeaderScan& header) {
    CodePageChoice c;
    if (option != "auto") {
        c.number = CodePageOfName(option);
        c.reason = "--codepage " + option;
        c.fromOption = true;
        return c;
    }
    std::string charset = "Charset \"" + AsciiText(header.charset) + "\"";
    if (!header.hasCharset) {
        c.reason = "no Charset line";
    } else if ((c.number = CodePageOfCharset(header.charset)) != 0) {
        c.reason = charset;
    } else {
        std::string upper = header.charset;
        for (char& ch : upper) {
            ch = ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 'a' + 'A') : ch;
        }
        c.reason = charset + (upper == "NEUTRAL" ? "" : ", a name not known here");
    }
    return c;
}

int SetUpCodePage(CodePageChoice& c, Cgeo_Vector* vector, CodePage& codePage) {
    std::string error;
    if (c.number != 0 && !codePage.Init(c.number, error)) {
        if (c.fromOption) {
            return Fail(kExitUsage,
                        "cannot use code page " + CodePageName(c.number) + ": " + error);
        }
        c.reason += ", which this system cannot decode";
        c.number = 0;
    }
    if (c.number == 0) {
        bool utf8 = LayerTextIsUtf8(vector);
        c.number = utf8 ? kUtf8CodePage : kFallbackCodePage;
        c.reason += utf8 ? "; the text is valid UTF-8" : "; the text is not valid UTF-8";
        if (!codePage.Init(c.number, error)) {
            return Fail(kExitUsage,
                        "cannot use code page " + CodePageName(c.number) + ": " + error);
        }
    }
    return kExitOk;
}

const char* TypeName(int type) {
    static const char* const names[] = {"empty", "point", "line", "polygon", "ellipse", "text"};
    return type >= 0 && type <= 5 ? names[type] : "other";
}

int Info(const std::string& path, const MifHeaderScan& header, Cgeo_Vector* vector, double seconds,
         const CodePage& cp, const CodePageChoice& choice) {
    std::printf("file: %s\n", EscapeControls(path).c_str());
    std::printf("code page: %s (%s)\n", CodePageName(cp.Number()).c_str(),
                EscapeControls(choice.reason).c_str());
    Cgeo_VectorColumns* columns = vector->GetVectorTable()->GetVectorColumns();
    std::printf("columns: %d\n", columns->GetSize());
    static const char* const typeNames[XF_COLUMN_TYPE_COUNT] = {
        "none",  "text",  "uint8",  "uint16",  "int16", "uint32",
        "int32", "float", "double", "decimal", "date",  "logical"};
    for (int c = 0; c < columns->GetSize(); ++c) {
        const CVectorColumn* col = columns->Get(c);
        std::string name = PadToWidth(EscapeControls(cp.ToUtf8(col->name)), 20);
        std::printf(
            "  %s %-8s width %d decimals %d\n", name.c_str(),
            col->type >= 0 && col->type < XF_COLUMN_TYPE_COUNT ? typeNames[col->type] : "unknown",
            col->width, col->decimals);
    }
    std::int64_t counts[7] = {};
    std::int64_t total = vector->GetObjectCount();
    const Cgeo_Vector& layer = *vector;  // only read: the bounds kept by the layer stay good
    for (std::int64_t id = 0; id < total; ++id) {
        const Cgeo_VectorObject* o = layer.GetObjectAt(id);
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
    const CXF_RectD& b = vector->GetGridBounds();
    if (total > 0 && std::isfinite(b.x1) && std::isfinite(b.y1) && std::isfinite(b.x2) &&
        std::isfinite(b.y2)) {
        std::printf("bounding box: x min %s, y min %s, x max %s, y max %s\n",
                    NumberText(b.x1).c_str(), NumberText(b.y1).c_str(), NumberText(b.x2).c_str(),
                    NumberText(b.y2).c_str());
    } else {
        std::printf("bounding box: none%s\n",
                    total > 0 ? " (a coordinate is not a finite number)" : "");
    }
    std::string coordSys = EscapeControls(cp.ToUtf8(CoordSysText(header)));
    std::printf("coordinate system: %s\n",
                coordSys.empty() ? "none given (no CoordSys line)" : coordSys.c_str());
    std::printf("import time: %.3f s\n", seconds);
    return FinishStandardOutput();
}

int Cancelled(const volatile int* flag, const std::string& what, const std::string& outcome) {
    return Fail(kExitCancelled,
                what + " cancelled (" + platform::InterruptName(*flag) + "); " + outcome);
}

// Writes through a buffer to standard output, to a FIFO or device as it is, or to a temporary
// file beside the output's target that replaces it when complete, so that a failure or an
// interrupt leaves an old output as it was. write returns false when it stopped for *cancel.
template <typename Fn>
int WriteOutput(const OutputTarget& t, volatile int* cancel, Fn write) {
    std::string name = t.toStdout ? "standard output" : t.path;
    bool replace = !t.toStdout && !t.direct;
    std::string kept = t.exists ? " keeps its old content" : " was not written";
    TempFiles temp;
    std::string error;
    if (replace && !temp.Create(t.target, {ExtensionOf(t.target)}, error)) {
        return Fail(kExitCannotSave, "cannot create " + t.path + ": " + error);
    }
    // Opening a FIFO waits for its reader, which an interrupt ends.
    errno = 0;
    std::FILE* f = t.toStdout ? stdout : platform::OpenFile(replace ? temp.Path(0) : t.path, "wb");
    if (f == nullptr) {
        int openError = errno != 0 ? errno : EIO;
        return *cancel != 0 ? Cancelled(cancel, "writing", name + kept)
                            : Fail(kExitCannotSave,
                                   "cannot create " + t.path + ": " + std::strerror(openError));
    }
    bool done;
    int writeError;
    {
        BufferedOut out(f);
        done = write(out, cancel);
        out.Flush();
        writeError = out.Ok() ? 0 : (out.Error() != 0 ? out.Error() : EIO);
    }
    errno = 0;
    if (f != stdout && std::fclose(f) != 0 && writeError == 0) {
        writeError = errno != 0 ? errno : EIO;
    }
    if (!done || *cancel != 0) {
        return Cancelled(cancel, "writing", name + (replace ? kept : " is incomplete"));
    }
    if (writeError == EPIPE) {
        return kExitBrokenPipe;
    }
    if (writeError != 0) {
        return Fail(kExitCannotSave, "cannot write " + name + ": " + std::strerror(writeError) +
                                         (t.exists && replace ? "; it keeps its old content" : ""));
    }
    size_t failed = 0;
    if (replace) {
        if (!MoveAll({{temp.Path(0), t.target}}, failed, error)) {
            return Fail(kExitCannotSave, "cannot write " + t.path + ": " + error);
        }
        temp.Forget(0);
    }
    return kExitOk;
}

// The two outputs of convert and what becomes of their old files when it stops.
struct PairOutputs {
    OutputTarget mif;
    OutputTarget mid;

    std::string Kept() const {
        if (mif.exists != mid.exists) {
            return (mif.exists ? mif.path : mid.path) + " keeps its old content";
        }
        return mif.exists ? mif.path + " and " + mid.path + " keep their old content"
                          : "nothing was written";
    }
};

// Fails for a write of the pair that went wrong (errno), or stops quietly for a pipe's reader
// that left.
int PairWriteFailed(const PairOutputs& out, const std::string& name, int error) {
    if (error == EPIPE) {
        return kExitBrokenPipe;
    }
    return Fail(kExitCannotSave,
                "cannot write " + name + ": " + std::strerror(error) + "; " + out.Kept());
}

// The plug-in writes a temporary pair beside the MID file's target (it puts the MID file beside
// the MIF file it is given). mifhost then writes the MIF file again with the input's Charset and
// CoordSys lines to a second temporary file beside the MIF file's target, and moves both into
// place only when both are complete: the old pair stays or a complete new one replaces it.
int Convert(PluginLoader& plugin, CGEO& geo, Cgeo_Document& document, const PairOutputs& out,
            const MifHeaderScan& header, TerminalProgress& progress, volatile int* flag) {
    if (plugin.canSave(&document) != 1) {
        return Fail(kExitCannotSave, "nothing to save");
    }
    std::string beside = !out.mid.direct   ? out.mid.target
                         : !out.mif.direct ? MidPath(out.mif.target, ".mid")
                                           : out.mid.path;
    TempFiles written;
    std::string error;
    if (!written.Create(beside, {".mif", ".mid"}, error)) {
        return Fail(kExitCannotSave, "cannot create " + out.mif.path + ": " + error);
    }
    CXF_FileInfo info;
    info.mainApp = geo.GetApp();
    info.fileNames.push_back(written.Path(0));
    // The file info names the layer to write, as the application's save dialog does.
    CXF_VectorInfo* item = new CXF_VectorInfo(geo.GetApp());
    info.AddPtrItem(item);
    item->OnAdded(0);
    std::string hostPath = platform::HostPath(written.Path(0));
    if (hostPath.empty()) {
        return Fail(kExitCannotSave, "cannot create " + out.mif.path +
                                         ": the system's code page cannot spell its name");
    }

    // An interrupt sets the document's cancel flag: the export stops at the next object.
    progress.SetLabel("Write " + out.mif.path);
    progress.SetCancelFlag(flag);
    int result = plugin.save(&geo, &info, &document, hostPath.c_str(), 0);
    progress.SetCancelFlag(nullptr);
    if (*flag != 0) {
        return Cancelled(flag, "export", out.Kept());
    }
    if (result == 0) {
        if (info.errorCode == XF_ERROR_NOTHING_TO_SAVE) {
            return Fail(kExitCannotSave,
                        "nothing to save (error code " + std::to_string(info.errorCode) + ")");
        }
        std::string reason = platform::WriteFailureReason(written.Path(0));
        std::string name = out.mif.path;
        if (reason.empty()) {
            reason = platform::WriteFailureReason(written.Path(1));
            name = reason.empty() ? out.mif.path : out.mid.path;
        }
        return Fail(kExitCannotSave, "cannot write " + name +
                                         (reason.empty() ? "" : ": " + reason) + " (error code " +
                                         std::to_string(info.errorCode) + "); " + out.Kept());
    }

    TempFiles final;
    if (!out.mif.direct && !final.Create(out.mif.target, {".mif"}, error)) {
        return Fail(kExitCannotSave, "cannot create " + out.mif.path + ": " + error);
    }
    std::vector<std::pair<const OutputTarget*, std::string>> copies = {
        {&out.mif, out.mif.direct ? out.mif.path : final.Path(0)}};
    if (out.mid.direct) {
        copies.push_back({&out.mid, out.mid.path});  // after the MIF file, as readers read them
    }
    for (const auto& [output, path] : copies) {
        errno = 0;
        std::FILE* to = platform::OpenFile(path, "wb");
        int failure = to == nullptr        ? (errno != 0 ? errno : EIO)
                      : output == &out.mif ? CopyWithHeader(written.Path(0), header, to, flag)
                                           : platform::CopyFileTail(written.Path(1), 0, to, flag);
        errno = 0;
        if (to != nullptr && std::fclose(to) != 0 && failure == 0) {
            failure = errno != 0 ? errno : EIO;
        }
        if (*flag != 0) {
            return Cancelled(flag, "convert", out.Kept());
        }
        if (failure != 0) {
            return PairWriteFailed(out, output->path, failure);
        }
    }

    // From here on an interrupt only sets the flag, which is not looked at again: the moves run
    // to their end, and the new pair is complete.
    std::vector<Move> moves;
    if (!out.mif.direct) {
        moves.push_back({final.Path(0), out.mif.target});
    }
    if (!out.mid.direct) {
        moves.push_back({written.Path(1), out.mid.target});
    }
    size_t failed = 0;
    if (!MoveAll(moves, failed, error)) {
        const OutputTarget& which = moves[failed].to == out.mif.target ? out.mif : out.mid;
        return Fail(kExitCannotSave,
                    "cannot write " + which.path + ": " + error + "; " + out.Kept());
    }
    if (!out.mif.direct) {
        final.Forget(0);
    }
    if (!out.mid.direct) {
        written.Forget(1);
    }
    return kExitOk;
}

int Run(const Options& o) {
    const std::string& in = o.files[0];
    if (o.command == "convert" && !EndsWithMif(o.files[1])) {
        return UsageError("the output of convert must be a .mif file, not " + o.files[1]);
    }
    CGEO geo;
    PluginLoader plugin;
    int code = LoadPlugin(o, plugin, geo);
    if (code != kExitOk) {
        return code;
    }
    Inputs inputs;
    if ((code = CheckInput(in, inputs)) != kExitOk) {
        return code;
    }
    bool convert = o.command == "convert";
    if (convert && inputs.header.lineCut) {
        return Fail(kExitCannotOpen, "cannot convert " + in +
                                         ": its Charset or CoordSys line is "
                                         "longer than " +
                                         std::to_string(kMifHeaderLineLimit) + " bytes");
    }
    PairOutputs pair;  // convert's two outputs; dump and render use the first
    std::string output = o.command == "dump" ? o.output : o.files.size() > 1 ? o.files[1] : "";
    if (o.command != "info" && (code = CheckOutput(output, "the output " + output, inputs, !convert,
                                                   pair.mif)) != kExitOk) {
        return code;
    }
    if (convert) {
        std::string mid = MidPath(output, ".mid");
        if ((code = CheckOutput(mid, "the output's MID file " + mid, inputs, false, pair.mid)) !=
            kExitOk) {
            return code;
        }
        if ((!pair.mif.direct && pair.mif.target == pair.mid.target) ||
            (pair.mif.exists && pair.mid.exists && SameFile(pair.mif.status, pair.mid.status))) {
            return Fail(kExitUsage, "the output's MID file " + mid + " is the output " + output +
                                        "; choose another output file");
        }
    }
    CodePageChoice choice = ChooseCodePage(o.codePage, inputs.header);

    bool bar = !o.quiet && platform::StderrIsTerminal();
    TerminalProgress progress(bar, platform::TerminalColumns());
    Cgeo_MainFrame* frame = geo.GetApp()->GetMainFrame();
    frame->SetObserver(&progress);
    Cgeo_Document document;
    Cgeo_Vector* vector = nullptr;
    double seconds = 0.0;
    progress.SetLabel("Read " + in);
    // An interrupt ends the program until the output is begun: nothing is written before.
    platform::ExitOnInterrupt(std::string(bar ? "\n" : "") + "mifhost: import cancelled (",
                              "); nothing was written\n");
    code = Import(plugin, geo, document, in, vector, seconds);
    CodePage codePage;
    if (code == kExitOk && !convert) {
        code = SetUpCodePage(choice, vector, codePage);
    }
    // From here an interrupt sets the document's cancel flag, which the export and the writers
    // look at; the handler changes without a moment between.
    int* flag = document.GetCanceledSignal();
    *flag = 0;
    if (code == kExitOk && o.command != "info") {
        platform::CatchInterrupt(flag);
    } else {
        platform::ReleaseInterrupt();
    }
    if (code == kExitOk) {
        if (o.command == "info") {
            code = Info(in, inputs.header, vector, seconds, codePage, choice);
        } else if (o.command == "dump") {
            code = WriteOutput(pair.mif, flag, [&](BufferedOut& out, const volatile int* cancel) {
                return WriteGeoJson(out, vector, geo.GetApp()->GetStyleManager(), codePage, cancel);
            });
        } else if (o.command == "render") {
            code = WriteOutput(pair.mif, flag, [&](BufferedOut& out, const volatile int* cancel) {
                return WriteSvg(out, vector, o.width, o.height, codePage, cancel);
            });
        } else {
            code = Convert(plugin, geo, document, pair, inputs.header, progress, flag);
        }
    }
    // An interrupt once the output is complete, or has failed, changes nothing: it is caught to the
    // end of the program, by a flag that outlives the document.
    static volatile int afterWork = 0;
    if (o.command != "info") {
        platform::CatchInterrupt(&afterWork);
    }
    frame->SetObserver(nullptr);
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    std::string error;
    std::vector<std::string> args = platform::StartProgram(argc, argv);
    std::vector<const char*> argp;
    for (const std::string& a : args) {
        argp.push_back(a.c_str());
    }
    if (!ParseCommandLine(static_cast<int>(argp.size()), argp.data(), o, error)) {
        return UsageError(error);
    }
    if (o.command == "help") {
        std::fputs(HelpText(o.helpTopic).c_str(), stdout);
        return FinishStandardOutput();
    }
    if (o.command == "version") {
        std::printf("mifhost %s\n", MIFHOST_VERSION);
        return FinishStandardOutput();
    }
    platform::IgnoreWriteSignals();
    return Run(o);
}

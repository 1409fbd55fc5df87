#include "tools/mifhost/commands.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "plugin/host/file_info.h"
#include "plugin/host/style.h"
#include "plugin/host/table.h"
#include "tools/mifhost/geojson.h"
#include "tools/mifhost/json_out.h"
#include "tools/mifhost/layer_view.h"
#include "tools/mifhost/svg.h"
#include "tools/mifhost/terminal_text.h"

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

std::string MidPath(const std::string& path, const char* extension) {
    size_t slash = path.find_last_of("/\\");
    size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = path.find_last_of('.');
    return (dot == std::string::npos || dot < nameStart ? path : path.substr(0, dot)) + extension;
}

std::string PairOutputs::Kept() const {
    if (mif.exists != mid.exists) {
        return (mif.exists ? mif.path : mid.path) + " keeps its old content";
    }
    return mif.exists ? mif.path + " and " + mid.path + " keep their old content"
                      : "nothing was written";
}

namespace {

// The host's object types (XF_OBJ_EMPTY to XF_OBJ_TEXT) and one more for any other type, or an
// object that is missing.
constexpr int kOtherType = XF_OBJ_TEXT + 1;
static_assert(XF_OBJ_EMPTY == 0, "object types count from 0");

int TypeSlot(const Cgeo_VectorObject* object) {
    int type = object != nullptr ? object->GetType() : kOtherType;
    return type >= XF_OBJ_EMPTY && type <= XF_OBJ_TEXT ? type : kOtherType;
}

const char* TypeName(int slot) {
    switch (slot) {
        case XF_OBJ_EMPTY:
            return "empty";
        case XF_OBJ_POINT:
            return "point";
        case XF_OBJ_LINE:
            return "line";
        case XF_OBJ_POLYGON:
            return "polygon";
        case XF_OBJ_ELLIPSE:
            return "ellipse";
        case XF_OBJ_TEXT:
            return "text";
        default:
            return "other";
    }
}

// The repairs of the import: the plug-in says on the message bar that it repaired something,
// and the file is read again to count them.
void PrintRepairs(const std::string& path, const Cgeo_MainFrame& frame) {
    int64_t count = frame.GetMessages().empty() ? 0 : CountRepairs(path);
    if (count <= 0) {
        std::printf("repairs: none\n");
    } else {
        std::printf("repairs: %lld (mifhost check %s lists them)\n", static_cast<long long>(count),
                    EscapeControls(path).c_str());
    }
}

int PrintInfo(const std::string& path, const MifHeaderScan& header, Cgeo_Vector* vector,
              const Cgeo_MainFrame* frame, double seconds, const CodePage& cp,
              const CodePageChoice& choice) {
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
    std::int64_t counts[kOtherType + 1] = {};
    std::int64_t total = vector->GetObjectCount();
    const Cgeo_Vector& layer = *vector;  // only read: the bounds kept by the layer stay good
    for (std::int64_t id = 0; id < total; ++id) {
        ++counts[TypeSlot(layer.GetObjectAt(id))];
    }
    std::printf("objects: %lld\n", static_cast<long long>(total));
    for (int t = XF_OBJ_EMPTY; t <= kOtherType; ++t) {
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
                    JsonNumber(b.x1).c_str(), JsonNumber(b.y1).c_str(), JsonNumber(b.x2).c_str(),
                    JsonNumber(b.y2).c_str());
    } else {
        std::printf("bounding box: none%s\n",
                    total > 0 ? " (a coordinate is not a finite number)" : "");
    }
    std::string coordSys = EscapeControls(cp.ToUtf8(CoordSysText(header)));
    std::printf("coordinate system: %s\n",
                coordSys.empty() ? "none given (no CoordSys line)" : coordSys.c_str());
    PrintRepairs(path, *frame);
    std::printf("import time: %.3f s\n", seconds);
    return FinishStandardOutput();
}

// The mode that writes a temporary file just made, which is empty, without emptying it.
constexpr const char* kWriteNewFile = "r+b";

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
    // Opening a FIFO waits for its reader, which an interrupt ends. The temporary file is new and
    // empty: it is written as it is, since emptying a file makes some file systems (ext4) write it
    // out when it is closed, which took a tenth of a second for 100 MB.
    errno = 0;
    std::FILE* f = t.toStdout ? stdout
                   : replace  ? platform::OpenFile(temp.Path(0), kWriteNewFile)
                              : platform::OpenFile(t.path, "wb");
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

// Fails for a write of the pair that went wrong (errno), or stops quietly for a pipe's reader
// that left.
int PairWriteFailed(const PairOutputs& out, const std::string& name, int error) {
    if (error == EPIPE) {
        return kExitBrokenPipe;
    }
    return Fail(kExitCannotSave,
                "cannot write " + name + ": " + std::strerror(error) + "; " + out.Kept());
}

}  // namespace

int InfoCommand(Session& s) {
    return PrintInfo(s.inputs.files[0].path, s.inputs.header, s.vector,
                     s.geo.GetApp()->GetMainFrame(), s.seconds, s.codePage, s.choice);
}

int DumpCommand(Session& s) {
    CXF_ManagerVectorStyle* styles = s.geo.GetApp()->GetStyleManager();
    return WriteOutput(s.outputs.mif, s.cancel, [&](BufferedOut& out, const volatile int* cancel) {
        return WriteGeoJson(out, s.vector, styles, s.codePage, cancel);
    });
}

int RenderCommand(Session& s) {
    return WriteOutput(s.outputs.mif, s.cancel, [&](BufferedOut& out, const volatile int* cancel) {
        return WriteSvg(out, s.vector, s.options.width, s.options.height, s.codePage, cancel);
    });
}

// The plug-in writes a temporary pair beside the MID file's target (it puts the MID file beside
// the MIF file it is given). Its MIF file goes into a named pipe, from which mifhost copies it
// with the input's Charset and CoordSys lines to a second temporary file beside the MIF file's
// target while it is written; where there are no named pipes, or the output is a device or a
// FIFO, the plug-in writes a file, which is copied after. Both are moved into place only when
// both are complete: the old pair stays or a complete new one replaces it.
int ConvertCommand(Session& s) {
    PluginLoader& plugin = s.plugin;
    CGEO& geo = s.geo;
    const PairOutputs& out = s.outputs;
    TerminalProgress& progress = s.progress;
    volatile int* flag = s.cancel;
    if (plugin.canSave(&s.document) != 1) {
        return Fail(kExitCannotSave, "nothing to save");
    }
    std::string beside = !out.mid.direct   ? out.mid.target
                         : !out.mif.direct ? MidPath(out.mif.target, ".mid")
                                           : out.mid.path;
    TempFiles written;
    std::string error;
    bool piped = !out.mif.direct && written.Create(beside, {".mif", ".mid"}, error, true);
    if (!piped && !written.Create(beside, {".mif", ".mid"}, error)) {
        return Fail(kExitCannotSave, "cannot create " + out.mif.path + ": " + error);
    }
    TempFiles final;
    if (!out.mif.direct && !final.Create(out.mif.target, {".mif"}, error)) {
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
    // The copy starts last, once nothing but the export can fail before it is waited for.
    std::FILE* pipedTo = nullptr;
    PipedMif copy;
    if (piped) {
        errno = 0;
        pipedTo = platform::OpenFile(final.Path(0), kWriteNewFile);
        if (pipedTo == nullptr) {
            return PairWriteFailed(out, out.mif.path, errno != 0 ? errno : EIO);
        }
        if (!copy.Start(written.Path(0), s.inputs.header, pipedTo, error)) {
            std::fclose(pipedTo);
            return Fail(kExitCannotSave, "cannot create " + out.mif.path + ": " + error);
        }
    }

    // An interrupt sets the document's cancel flag: the export stops at the next object.
    progress.SetLabel("Write " + out.mif.path);
    progress.SetCancelFlag(flag);
    int result = plugin.save(&geo, &info, &s.document, hostPath.c_str(), 0);
    progress.SetCancelFlag(nullptr);
    int copied = 0;
    bool lostWrite = false;
    if (piped) {
        copied = copy.Finish();
        lostWrite = copy.LostWrite();
        errno = 0;
        if (std::fclose(pipedTo) != 0 && copied == 0) {
            copied = errno != 0 ? errno : EIO;
            lostWrite = true;
        }
    }
    if (*flag != 0) {
        return Cancelled(flag, "export", out.Kept());
    }
    // A copy that could not write made the plug-in's writes fail: its reason is the one to give.
    if (copied != 0 && (result != 0 || lostWrite)) {
        std::string code =
            result == 0 ? " (error code " + std::to_string(info.errorCode) + ")" : std::string();
        return Fail(kExitCannotSave, "cannot write " + out.mif.path + ": " + std::strerror(copied) +
                                         code + "; " + out.Kept());
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

    std::vector<std::pair<const OutputTarget*, std::string>> copies;
    if (!piped) {
        copies.push_back({&out.mif, out.mif.direct ? out.mif.path : final.Path(0)});
    }
    if (out.mid.direct) {
        copies.push_back({&out.mid, out.mid.path});  // after the MIF file, as readers read them
    }
    for (const auto& [output, path] : copies) {
        errno = 0;
        std::FILE* to = platform::OpenFile(path, output->direct ? "wb" : kWriteNewFile);
        int failure = to == nullptr ? (errno != 0 ? errno : EIO)
                      : output == &out.mif
                          ? CopyWithHeader(written.Path(0), s.inputs.header, to, flag)
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

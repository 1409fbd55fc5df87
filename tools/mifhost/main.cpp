// mifhost: loads the MIF/MID plug-in the way the desktop application does and drives its entry
// points from a terminal, on the in-memory host library.

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "plugin/host/app.h"
#include "plugin/host/document.h"
#include "plugin/host/file_info.h"
#include "plugin/host/main_frame.h"
#include "plugin/host/vector.h"
#include "tools/mifhost/batch.h"
#include "tools/mifhost/cli.h"
#include "tools/mifhost/codepage.h"
#include "tools/mifhost/commands.h"
#include "tools/mifhost/layer_view.h"
#include "tools/mifhost/mif_header.h"
#include "tools/mifhost/output_files.h"
#include "tools/mifhost/platform.h"
#include "tools/mifhost/plugin_loader.h"
#include "tools/mifhost/progress.h"

namespace {

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
        c.reason =
            charset + (AsciiUpper(header.charset) == "NEUTRAL" ? "" : ", a name not known here");
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

// Runs a command on one file: the plug-in loaded, the input and the outputs checked, the file
// imported, then the command's handler.
int Run(const Options& o) {
    const CommandRow& command = *o.row;
    const std::string& in = o.files[0];
    bool pair = command.output == CommandOutput::kMifPair;
    if (pair && !EndsWithMif(o.output)) {
        return UsageError("the output of " + o.command + " must be a .mif file, not " + o.output);
    }
    CGEO geo;
    PluginLoader plugin;
    int code = command.imports ? LoadPlugin(o, plugin, geo) : kExitOk;
    if (code != kExitOk) {
        return code;
    }
    Inputs inputs;
    if ((code = CheckInput(in, inputs)) != kExitOk) {
        return code;
    }
    // The output's header takes the input's Charset and CoordSys lines whole.
    if (pair && inputs.header.lineCut) {
        return Fail(kExitCannotOpen, "cannot " + o.command + " " + in +
                                         ": its Charset or CoordSys line is "
                                         "longer than " +
                                         std::to_string(kMifHeaderLineLimit) + " bytes");
    }
    PairOutputs outputs;  // the MIF pair's, or the one output in mif
    bool writes = command.output != CommandOutput::kNone;
    if (writes && (code = CheckOutput(o.output, "the output " + o.output, inputs, !pair,
                                      outputs.mif)) != kExitOk) {
        return code;
    }
    if (pair) {
        std::string mid = MidPath(o.output, ".mid");
        if ((code = CheckOutput(mid, "the output's MID file " + mid, inputs, false, outputs.mid)) !=
            kExitOk) {
            return code;
        }
        if ((!outputs.mif.direct && outputs.mif.target == outputs.mid.target) ||
            (outputs.mif.exists && outputs.mid.exists &&
             SameFile(outputs.mif.status, outputs.mid.status))) {
            return Fail(kExitUsage, "the output's MID file " + mid + " is the output " + o.output +
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
    if (command.imports) {
        code = Import(plugin, geo, document, in, vector, seconds);
    }
    CodePage codePage;
    if (code == kExitOk && command.decodesText) {
        code = SetUpCodePage(choice, vector, codePage);
    }
    // From here an interrupt sets the document's cancel flag, which the export and the writers
    // look at; the handler changes without a moment between.
    int* flag = document.GetCanceledSignal();
    *flag = 0;
    if (code == kExitOk && writes) {
        platform::CatchInterrupt(flag);
    } else {
        platform::ReleaseInterrupt();
    }
    if (code == kExitOk) {
        Session session{o,       plugin,   geo,    document, vector,   inputs,
                        outputs, codePage, choice, seconds,  progress, flag};
        code = command.run(session);
    }
    // An interrupt once the output is complete, or has failed, changes nothing: it is caught to the
    // end of the program, by a flag that outlives the document.
    static volatile int afterWork = 0;
    if (writes) {
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
    if (!o.folder.empty()) {
        int code = CheckFolder(o.folder);
        if (code != kExitOk) {
            return code;
        }
    }
    if (o.files.size() > 1) {
        // A plug-in that cannot be used is said once, not once for every file.
        CGEO geo;
        PluginLoader plugin;
        int code = o.row->imports ? LoadPlugin(o, plugin, geo) : kExitOk;
        return code != kExitOk ? code : RunEach(o);
    }
    if (!o.folder.empty()) {
        o.output = OutputInFolder(o.folder, o.files[0], o.row->extension);
    }
    return Run(o);
}

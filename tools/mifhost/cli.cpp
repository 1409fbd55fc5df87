#include "tools/mifhost/cli.h"

#include <cstdlib>

#include "tools/mifhost/codepage.h"
#include "tools/mifhost/commands.h"

namespace {

const CommandRow kCommands[] = {
    {"info", 0, "info IN.mif...", "columns, objects per type, legend styles, extent, code page",
     "Imports the file and prints its columns (name, type, width, decimals), the objects per host\n"
     "type, the legend styles that were set, the bounding box, the code page its text was read\n"
     "with and why, and how long the import took.\n",
     CommandOutput::kNone, nullptr, true, true, InfoCommand},
    {"dump", 1, "dump IN.mif [-o OUT.geojson]", "the layer as GeoJSON (standard output by default)",
     "Writes the imported layer as a GeoJSON FeatureCollection: one Feature per object in file\n"
     "order, attribute values as properties, and the members hostType, text and style. Outer\n"
     "rings run counter-clockwise and holes clockwise. A file is written to a temporary file\n"
     "beside it and renamed into place, so a failure leaves an old file as it was.\n",
     CommandOutput::kFileOrStdout, ".geojson", true, true, DumpCommand},
    {"convert", 2, "convert IN.mif OUT.mif",
     "import, then export (OUT.mid is written beside OUT.mif)",
     "Imports the file into a document, then exports the layer with the plug-in; the output keeps\n"
     "the input's Charset and CoordSys lines. The output must end in .mif and must be neither the\n"
     "input nor its MID file. Both files are written beside their names first and take their\n"
     "places when both are complete, so a failure or an interrupt leaves the old pair as it "
     "was.\n",
     CommandOutput::kMifPair, ".mif", false, true, ConvertCommand},
    {"render", 2, "render IN.mif OUT.svg [--width N] [--height N]",
     "the layer drawn as an SVG picture",
     "Draws the layer to scale with its colours, pen widths, fills, symbols and texts, scaled to\n"
     "fit the width and the height while keeping its proportions, with every text and symbol\n"
     "inside the picture. OUT.svg \"-\" writes to standard output.\n",
     CommandOutput::kFileOrStdout, ".svg", true, true, RenderCommand},
    {"check", 0, "check IN.mif...", "what the reader repairs in the file, one line each",
     "Reads the file as the import does and prints each repair the reader makes on a line of its\n"
     "own, as PATH:LINE: warning: TEXT, with the line of the MIF file or, for the records, of the\n"
     "MID file; then PATH: N problems repaired, or PATH: no problems. Of a file with more than\n"
     "1000 repairs the first 1000 are listed and a line counts the others. Exits with 5 when a\n"
     "file needed a repair and 0 when none did.\n",
     CommandOutput::kNone, nullptr, false, false, CheckCommand},
};

struct OptionRow {
    const char* name;
    const char* shortName;
    const char* value;     // null for a flag
    const char* commands;  // the commands that take it, separated by blanks; null: every one
    const char* help;
};

const OptionRow kOptions[] = {
    {"--output", "-o", "FILE", "dump", "the GeoJSON file to write; \"-\" or none: standard output"},
    {"--width", nullptr, "N", "render", "the most pixels the picture is wide (16 to 100000; 1000)"},
    {"--height", nullptr, "N", "render",
     "the most pixels the picture is high (16 to 100000; 1000)"},
    {"--codepage", nullptr, "NAME", "info dump render",
     "code page of the file's text: auto (the default) follows its Charset line;\n"
     "                      or CP1252, WINDOWS-1251, ISO-8859-5, UTF-8, CP936, ..."},
    {"--folder", "-d", "FOLDER", "dump convert",
     "write each output into FOLDER under its input's name (NAME.geojson;\n"
     "                      NAME.mif and NAME.mid); takes several input files"},
    {"--jobs", "-j", "N", "info dump convert check",
     "with several input files, run N at once, each in a process of its own\n"
     "                      (1 to 64; 1)"},
    {"--plugin", nullptr, "PATH", nullptr,
     "the plug-in library (default: libmif.so beside mifhost)"},
    {"--quiet", "-q", nullptr, nullptr, "no progress bars"},
};

// Whether the command takes the option.
bool Takes(const OptionRow& option, const std::string& command) {
    if (option.commands == nullptr) {
        return true;
    }
    std::string list = std::string(" ") + option.commands + " ";
    return list.find(" " + command + " ") != std::string::npos;
}

const CommandRow* FindCommand(const std::string& name) {
    for (const CommandRow& c : kCommands) {
        if (name == c.name) {
            return &c;
        }
    }
    return nullptr;
}

const OptionRow* FindOption(const std::string& name) {
    for (const OptionRow& o : kOptions) {
        if (name == o.name || (o.shortName != nullptr && name == o.shortName)) {
            return &o;
        }
    }
    return nullptr;
}

std::string OptionLine(const OptionRow& o) {
    std::string left = std::string("  ") + (o.shortName != nullptr ? o.shortName : "") +
                       (o.shortName != nullptr ? ", " : "") + o.name +
                       (o.value != nullptr ? std::string(" ") + o.value : "");
    if (left.size() < 22) {
        left.append(22 - left.size(), ' ');
    } else {
        left += ' ';
    }
    return left + o.help + "\n";
}

bool Jobs(const std::string& option, const std::string& text, int& value, std::string& error) {
    char* end = nullptr;
    long n = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || n < 1 || n > kMaxJobs) {
        error = option + " needs a number of files at once from 1 to " + std::to_string(kMaxJobs) +
                ", not \"" + text + "\"";
        return false;
    }
    value = static_cast<int>(n);
    return true;
}

// The usage error for a count of file names the command does not take.
std::string CountError(const CommandRow& c, bool folder) {
    std::string name = c.name;
    if (c.files == 0 || folder || (c.files == 1 && c.output == CommandOutput::kFileOrStdout)) {
        return name + " takes one or more file names: mifhost " +
               (folder ? name + " IN.mif... -d FOLDER" : std::string(c.usage));
    }
    const OptionRow* folderOption = FindOption("--folder");
    return name + " takes " + std::to_string(c.files) + " file name" + (c.files > 1 ? "s" : "") +
           (Takes(*folderOption, name) ? ", or one or more with -d FOLDER" : "") + ": mifhost " +
           c.usage;
}

bool Pixels(const std::string& option, const std::string& text, int& value, std::string& error) {
    char* end = nullptr;
    long n = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || n < 16 || n > 100000) {
        error = option + " needs a number of pixels from 16 to 100000, not \"" + text + "\"";
        return false;
    }
    value = static_cast<int>(n);
    return true;
}

}  // namespace

std::string HelpText(const std::string& command) {
    if (command.empty()) {
        std::string text =
            "usage: mifhost [options] COMMAND FILE...\n"
            "Loads the MIF/MID plug-in and drives it the way the desktop application does.\n\n"
            "commands:\n";
        for (const CommandRow& c : kCommands) {
            std::string usage = c.usage;
            if (usage.size() > 30) {
                usage = usage.substr(0, usage.find(" ["));
            }
            std::string left = "  " + usage;
            left.append(left.size() < 34 ? 34 - left.size() : 1, ' ');
            text += left + c.summary + "\n";
        }
        text +=
            "  help [COMMAND]                  this text, or the options of one command\n\n"
            "options of every command:\n";
        for (const OptionRow& o : kOptions) {
            if (o.commands == nullptr) {
                text += OptionLine(o);
            }
        }
        text +=
            "  -h, --help          help\n"
            "  --version           the version of mifhost\n"
            "  --                  what follows are file names, even when they start with -\n\n"
            "Several files: info, check and dump take several input files (dump writes one\n"
            "GeoJSON text after the other), and dump and convert write each output into a folder\n"
            "with -d FOLDER. Each file runs in a process of its own, -j N of them at once; their\n"
            "output comes in the order of the files, a failure on one does not stop the others,\n"
            "and each failure's message names its file.\n\n"
            "Exit codes: 0 done, 1 usage or an output that is an input, 2 input not opened or\n"
            "not a MIF file, 3 output not written, 4 plug-in unusable, 5 check found repairs,\n"
            "130 cancelled (Ctrl-C,\n"
            "SIGTERM, SIGHUP), 141 the reader of the output pipe left early (no message). With\n"
            "several files, the highest code of them.\n"
            "Run \"mifhost help COMMAND\" for the options of a command.\n";
        return text;
    }
    const CommandRow* c = FindCommand(command);
    if (c == nullptr) {
        return "";
    }
    std::string text = std::string("usage: mifhost ") + c->usage + " [options]\n";
    if (Takes(*FindOption("--folder"), c->name)) {
        text += std::string("       mifhost ") + c->name + " IN.mif... -d FOLDER [options]\n";
    }
    text += std::string(c->details) + "\noptions:\n";
    for (const OptionRow& o : kOptions) {
        if (Takes(o, c->name)) {
            text += OptionLine(o);
        }
    }
    return text;
}

bool ParseCommandLine(int argc, const char* const* argv, Options& o, std::string& error) {
    struct Given {
        const OptionRow* entry;
        std::string name;
        std::string value;
    };
    std::vector<Given> given;
    bool help = false;
    bool version = false;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (!optionsEnded && a == "--") {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || a.size() < 2 || a[0] != '-') {
            if (o.command.empty()) {
                o.command = a;
            } else {
                o.files.push_back(a);
            }
            continue;
        }
        std::string name = a;
        std::string value;
        size_t eq = a.find('=');
        bool inlineValue = a.compare(0, 2, "--") == 0 && eq != std::string::npos;
        if (inlineValue) {
            name = a.substr(0, eq);
            value = a.substr(eq + 1);
        }
        if (name == "--help" || name == "-h") {
            help = true;
            continue;
        }
        if (name == "--version") {
            version = true;
            continue;
        }
        const OptionRow* entry = FindOption(name);
        if (entry == nullptr) {
            error = "unknown option " + name;
            return false;
        }
        if (entry->value != nullptr && !inlineValue) {
            if (i + 1 >= argc) {
                error = name + " needs a value";
                return false;
            }
            value = argv[++i];
        } else if (entry->value == nullptr && inlineValue) {
            error = name + " takes no value";
            return false;
        }
        given.push_back({entry, name, value});
    }
    if (version) {
        o.command = "version";
        return true;
    }
    if (help || o.command == "help") {
        std::string topic = o.command == "help" ? (o.files.empty() ? "" : o.files[0]) : o.command;
        if (o.command == "help" && o.files.size() > 1) {
            error = "help takes one command name";
            return false;
        }
        if (!topic.empty() && FindCommand(topic) == nullptr) {
            error = "unknown command " + topic;
            return false;
        }
        o.command = "help";
        o.helpTopic = topic;
        return true;
    }
    const CommandRow* command = FindCommand(o.command);
    if (command == nullptr) {
        error = o.command.empty() ? "no command given" : "unknown command " + o.command;
        return false;
    }
    bool folder = false;
    bool output = false;
    for (const Given& g : given) {
        folder = folder || (std::string(g.entry->name) == "--folder" && Takes(*g.entry, o.command));
        output = output || std::string(g.entry->name) == "--output";
    }
    // dump writes several files one after another to standard output, or each into a folder.
    bool toStdout = command->files == 1 && command->output == CommandOutput::kFileOrStdout;
    bool several = command->files == 0 || folder || (toStdout && !output && o.files.size() > 1);
    if (toStdout && output && o.files.size() > 1) {
        error = o.command + " takes one file name with -o: mifhost " + command->usage;
        return false;
    }
    if (several ? o.files.empty() : o.files.size() != command->files) {
        error = CountError(*command, folder);
        return false;
    }
    o.row = command;
    if (!several && command->files > 1) {
        o.output = o.files[1];
        o.files.pop_back();
    }
    for (const Given& g : given) {
        if (!Takes(*g.entry, command->name)) {
            error = o.command + " does not take " + g.name;
            return false;
        }
        std::string option = g.entry->name;
        if (option == "--output") {
            if (g.value.empty()) {
                error = g.name + " needs a file name";
                return false;
            }
            o.output = g.value;
        } else if (option == "--width" && !Pixels(g.name, g.value, o.width, error)) {
            return false;
        } else if (option == "--height" && !Pixels(g.name, g.value, o.height, error)) {
            return false;
        } else if (option == "--codepage") {
            if (g.value != "auto" && CodePageOfName(g.value) == 0) {
                error = "unknown code page \"" + g.value + "\"";
                return false;
            }
            o.codePage = g.value;
        } else if (option == "--folder") {
            if (g.value.empty()) {
                error = g.name + " needs a folder name";
                return false;
            }
            o.folder = g.value;
        } else if (option == "--jobs" && !Jobs(g.name, g.value, o.jobs, error)) {
            return false;
        } else if (option == "--plugin") {
            o.plugin = g.value;
        } else if (option == "--quiet") {
            o.quiet = true;
        }
    }
    if (!o.folder.empty() && !o.output.empty()) {
        error = o.command + " takes -o or -d, not both";
        return false;
    }
    return true;
}

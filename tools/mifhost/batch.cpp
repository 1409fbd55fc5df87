#include "tools/mifhost/batch.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tools/mifhost/commands.h"
#include "tools/mifhost/platform.h"
#include "tools/mifhost/terminal_text.h"

std::string OutputInFolder(const std::string& folder, const std::string& input,
                           const char* extension) {
    size_t slash = input.find_last_of("/\\");
    std::string name = input.substr(slash == std::string::npos ? 0 : slash + 1);
    size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) {
        name.resize(dot);
    }
    bool separated = folder.back() == '/' || folder.back() == '\\';
    return folder + (separated ? "" : "/") + name + extension;
}

int CheckFolder(const std::string& folder) {
    platform::FileStatus status;
    std::string error;
    if (!platform::StatFile(folder, status, error)) {
        return Fail(kExitCannotSave, "cannot write into " + folder + ": " + error);
    }
    if (status.kind == platform::FileKind::kMissing) {
        return Fail(kExitCannotSave, "cannot write into " + folder + ": " + std::strerror(ENOENT));
    }
    if (status.kind != platform::FileKind::kDirectory) {
        return Fail(kExitCannotSave, "cannot write into " + folder + ": " + std::strerror(ENOTDIR));
    }
    return kExitOk;
}

namespace {

// One input's run: how this program is run on it, and what it gave.
struct Job {
    std::string input;
    std::vector<std::string> args;
    std::string out;  // what it wrote to standard output
    std::string err;  // and to standard error
    unsigned code = 0;
    std::string how;  // what ended it, when not itself
    bool done = false;
};

// A job whose program runs: its two streams are read to their ends on threads of their own, so
// that neither can fill up and stop it.
struct Running {
    size_t job = 0;
    platform::Child* child = nullptr;
    std::thread out;
    std::thread err;
    std::atomic<int> open{2};  // streams not read to their end
};

// Names equal but for the case of ASCII letters: one file where names ignore case.
bool SameName(const std::string& a, const std::string& b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

// The arguments that run the command on one input as if it were given alone.
std::vector<std::string> ArgsFor(const Options& o, const std::string& input,
                                 const std::string& output) {
    std::vector<std::string> args = {"-q"};
    if (!o.plugin.empty()) {
        args.insert(args.end(), {"--plugin", o.plugin});
    }
    if (o.codePage != "auto") {
        args.insert(args.end(), {"--codepage", o.codePage});
    }
    args.push_back(o.command);
    bool pair = o.row->output == CommandOutput::kMifPair;
    if (!output.empty() && !pair) {
        args.insert(args.end(), {"-o", output});
    }
    args.insert(args.end(), {"--", input});
    if (!output.empty() && pair) {
        args.push_back(output);
    }
    return args;
}

// Passes a job's output on: its standard output (unless an earlier write failed), then its
// messages, each naming its file (a message that does not gets the file's name in front).
// Returns 0, or the errno of a failed write to standard output.
int Show(const Job& job, bool toStdout) {
    int writeError = 0;
    if (toStdout) {
        errno = 0;
        std::fwrite(job.out.data(), 1, job.out.size(), stdout);
        if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
            writeError = errno != 0 ? errno : EIO;
        }
    }
    std::string name = EscapeControls(job.input);
    const std::string lead = "mifhost: ";
    std::string err = job.err;
    if (!job.how.empty()) {
        err += lead + job.how + "\n";
    }
    for (size_t start = 0; start < err.size();) {
        size_t end = err.find('\n', start);
        end = end == std::string::npos ? err.size() : end + 1;
        std::string line = err.substr(start, end - start);
        if (line.compare(0, lead.size(), lead) == 0 && line.find(name) == std::string::npos) {
            line.insert(lead.size(), name + ": ");
        }
        std::fputs(line.c_str(), stderr);
        start = end;
    }
    return writeError;
}

// Reads one stream of a running job to its end.
void Drain(Running& r, bool fromError, std::string& into, std::mutex& lock,
           std::condition_variable& changed) {
    char buffer[16384];
    long n;
    while ((n = platform::ReadChild(r.child, fromError, buffer, sizeof buffer)) > 0) {
        into.append(buffer, static_cast<size_t>(n));
    }
    std::lock_guard<std::mutex> hold(lock);
    --r.open;
    changed.notify_all();
}

// The files an interrupt kept from beginning, for its message.
std::string NotBegun(const std::vector<Job>& jobs, size_t from) {
    std::string names;
    size_t listed = 0;
    for (size_t k = from; k < jobs.size() && listed < 3; ++k, ++listed) {
        names += (listed > 0 ? ", " : "") + jobs[k].input;
    }
    if (jobs.size() - from > listed) {
        names += " and " + std::to_string(jobs.size() - from - listed) + " more";
    }
    return names;
}

// Several -d outputs under one name would overwrite each other.
int CheckDistinct(const std::vector<Job>& jobs, const std::vector<std::string>& outputs) {
    for (size_t a = 0; a < outputs.size(); ++a) {
        for (size_t b = 0; b < a; ++b) {
            if (SameName(outputs[a], outputs[b])) {
                return Fail(kExitUsage, jobs[b].input + " and " + jobs[a].input +
                                            " would both be written to " + outputs[a] +
                                            "; give them separate runs");
            }
        }
    }
    return kExitOk;
}

// The files of a run on several files as they begin, end and are shown.
class Batch {
public:
    Batch(const Options& options, std::string self, std::vector<Job> all)
        : o(options), program(std::move(self)), jobs(std::move(all)) {}

    // Runs every file (or until an interrupt); the highest exit code.
    unsigned Run(volatile int& interrupt) {
        while (!Over()) {
            BeginFiles();
            WaitForAChange(interrupt);
            if (interrupt != 0 && !stopped) {
                PassOn(interrupt);
            }
            FinishEnded();
            ShowDone();
        }
        return Close(interrupt);
    }

private:
    bool Over() const {
        return shown == jobs.size() || (stopped && running.empty() && shown == next);
    }

    // Begins files until o.jobs run at once.
    void BeginFiles() {
        while (!stopped && next < jobs.size() && running.size() < static_cast<size_t>(o.jobs)) {
            Job& job = jobs[next++];
            std::string error;
            platform::Child* child = platform::StartChild(program, job.args, error);
            if (child == nullptr) {
                job.err = "mifhost: cannot run mifhost on " + job.input + ": " + error + "\n";
                job.code = kExitPlugin;
                job.done = true;
                continue;
            }
            auto r = std::make_unique<Running>();
            r->job = next - 1;
            r->child = child;
            Running& started = *r;
            r->out = std::thread(Drain, std::ref(started), false, std::ref(job.out), std::ref(lock),
                                 std::ref(changed));
            r->err = std::thread(Drain, std::ref(started), true, std::ref(job.err), std::ref(lock),
                                 std::ref(changed));
            running.push_back(std::move(r));
        }
    }

    // Until a file's streams are read to their end, an interrupt, or a short while: an interrupt
    // handler cannot wake a waiting thread, so the flag is looked at often.
    void WaitForAChange(volatile int& interrupt) {
        std::unique_lock<std::mutex> hold(lock);
        changed.wait_for(hold, std::chrono::milliseconds(20), [&] {
            return interrupt != 0 ||
                   std::any_of(running.begin(), running.end(),
                               [](const std::unique_ptr<Running>& r) { return r->open == 0; });
        });
    }

    // The running files get the interrupt; no file is begun after it.
    void PassOn(int interrupt) {
        stopped = true;
        for (const std::unique_ptr<Running>& r : running) {
            platform::InterruptChild(r->child, interrupt);
        }
    }

    // Files whose streams are read to their end: their processes are waited for.
    void FinishEnded() {
        for (auto it = running.begin(); it != running.end();) {
            Running& r = **it;
            if (r.open != 0) {
                ++it;
                continue;
            }
            r.out.join();
            r.err.join();
            Job& job = jobs[r.job];
            job.code = platform::FinishChild(r.child, job.how);
            job.done = true;
            it = running.erase(it);
        }
    }

    // What the ended files wrote, in their order; no file is begun once standard output fails.
    void ShowDone() {
        for (; shown < jobs.size() && jobs[shown].done; ++shown) {
            worst = std::max(worst, jobs[shown].code);
            if (writeError == 0 && (writeError = Show(jobs[shown], true)) != 0) {
                stopped = true;
            } else if (writeError != 0) {
                Show(jobs[shown], false);
            }
        }
    }

    // The messages about files not begun, and the highest exit code.
    unsigned Close(int interrupt) {
        if (interrupt != 0 && next < jobs.size()) {
            Fail(kExitCancelled, o.command + " cancelled (" + platform::InterruptName(interrupt) +
                                     "); not begun: " + NotBegun(jobs, next));
            worst = std::max<unsigned>(worst, kExitCancelled);
        }
        if (writeError == EPIPE) {
            worst = std::max<unsigned>(worst, kExitBrokenPipe);
        } else if (writeError != 0) {
            Fail(kExitCannotSave,
                 std::string("cannot write standard output: ") + std::strerror(writeError) +
                     (next < jobs.size() ? "; not begun: " + NotBegun(jobs, next) : ""));
            worst = std::max<unsigned>(worst, kExitCannotSave);
        }
        return worst;
    }

    const Options& o;
    std::string program;
    std::vector<Job> jobs;
    std::mutex lock;
    std::condition_variable changed;  // a stream was read to its end
    std::vector<std::unique_ptr<Running>> running;
    size_t next = 0;       // the first file not begun
    size_t shown = 0;      // the first file not shown
    bool stopped = false;  // no file is begun any more
    int writeError = 0;    // of standard output, which is then written no more
    unsigned worst = 0;
};

}  // namespace

int RunEach(const Options& o) {
    std::string program = platform::ProgramPath();
    if (program.empty()) {
        return Fail(kExitPlugin,
                    "cannot run mifhost on each file: its own executable is not found");
    }
    std::vector<Job> jobs(o.files.size());
    std::vector<std::string> outputs;
    for (size_t k = 0; k < jobs.size(); ++k) {
        jobs[k].input = o.files[k];
        std::string output;
        if (!o.folder.empty()) {
            output = OutputInFolder(o.folder, o.files[k], o.row->extension);
            outputs.push_back(output);
        }
        jobs[k].args = ArgsFor(o, o.files[k], output);
    }
    int code = CheckDistinct(jobs, outputs);
    if (code != kExitOk) {
        return code;
    }
    // The flag outlives the call: interrupts stay caught up to the end of the program.
    static volatile int interrupt = 0;
    platform::CatchInterrupt(&interrupt);
    Batch batch(o, program, std::move(jobs));
    return static_cast<int>(batch.Run(interrupt));
}

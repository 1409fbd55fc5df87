#include "tools/mifhost/output_files.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <random>
#include <system_error>

#include "tools/mifhost/platform.h"

namespace {

size_t NameStart(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? 0 : slash + 1;
}

std::mt19937 RandomMarks() {
    try {
        std::random_device device;
        return std::mt19937(device());
    } catch (...) {
        auto now = std::chrono::steady_clock::now().time_since_epoch().count();
        return std::mt19937(static_cast<std::mt19937::result_type>(now));
    }
}

// A second name for the file at path, beside it; empty when there is no file or no second name.
std::string KeepOld(const std::string& path) {
    platform::FileStatus status;
    std::string error;
    if (!platform::StatFile(path, status, error) || status.kind != platform::FileKind::kRegular) {
        return "";
    }
    TempFiles name;
    if (!name.Create(path, {ExtensionOf(path)}, error)) {
        return "";
    }
    std::string backup = name.Path(0);
    platform::RemoveFile(backup);
    name.Forget(0);
    return platform::LinkFile(path, backup) ? backup : "";
}

}  // namespace

std::string ExtensionOf(const std::string& path) {
    size_t start = NameStart(path);
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot <= start || path.size() - dot > 16) {
        return "";
    }
    return path.substr(dot);
}

bool TempFiles::Create(const std::string& beside, const std::vector<std::string>& extensions,
                       std::string& error, bool firstIsPipe) {
    RemoveAll();
    size_t start = NameStart(beside);
    std::string folder = beside.substr(0, start);
    std::string stem = beside.substr(start, beside.size() - start - ExtensionOf(beside).size());
    size_t longest = 0;
    for (const std::string& e : extensions) {
        longest = std::max(longest, e.size());
    }
    // "." + stem + "-" + six characters + extension; a whole character of the stem or none.
    size_t limit =
        std::min(platform::NameLimit(beside), std::max<size_t>(32, beside.size() - start));
    size_t room = limit > 8 + longest ? limit - 8 - longest : 0;
    if (stem.size() > room) {
        while (room > 0 && (static_cast<unsigned char>(stem[room]) & 0xC0u) == 0x80u) {
            --room;
        }
        stem.resize(room);
    }
    std::mt19937 random = RandomMarks();
    const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string mark;
        for (int k = 0; k < 6; ++k) {
            mark.push_back(digits[random() % 36]);
        }
        bool taken = false;
        for (const std::string& extension : extensions) {
            std::string path = folder + "." + stem + "-" + mark + extension;
            platform::Created made = firstIsPipe && paths.empty()
                                         ? platform::CreateNewPipe(path, error)
                                         : platform::CreateNewFile(path, beside, error);
            if (made == platform::Created::kFailed) {
                RemoveAll();
                return false;
            }
            if (made == platform::Created::kExists) {
                taken = true;
                break;
            }
            paths.push_back(path);
        }
        if (!taken) {
            return true;
        }
        RemoveAll();
    }
    error = "no free temporary name beside it";
    return false;
}

void TempFiles::RemoveAll() {
    for (const std::string& path : paths) {
        if (!path.empty()) {
            platform::RemoveFile(path);
        }
    }
    paths.clear();
}

bool MoveAll(const std::vector<Move>& moves, size_t& failed, std::string& error) {
    std::vector<std::string> backups(moves.size());
    std::vector<bool> existed(moves.size());
    bool done = true;
    for (size_t i = 0; i < moves.size() && done; ++i) {
        platform::FileStatus status;
        std::string ignored;
        existed[i] = platform::StatFile(moves[i].to, status, ignored) &&
                     status.kind != platform::FileKind::kMissing;
        if (i + 1 < moves.size()) {
            backups[i] = KeepOld(moves[i].to);  // a later move may fail
        }
        if (!platform::ReplaceFile(moves[i].from, moves[i].to, error)) {
            failed = i;
            done = false;
            for (size_t j = i; j-- > 0;) {
                if (!backups[j].empty() &&
                    platform::ReplaceFile(backups[j], moves[j].to, ignored)) {
                    backups[j].clear();
                } else if (!existed[j]) {
                    platform::RemoveFile(moves[j].to);
                }
            }
        }
    }
    for (const std::string& backup : backups) {
        if (!backup.empty()) {
            platform::RemoveFile(backup);
        }
    }
    return done;
}

int CopyWithHeader(const std::string& path, const MifHeaderScan& input, std::FILE* to,
                   const volatile int* cancel) {
    std::FILE* in = platform::OpenFile(path, "rb");
    if (in == nullptr) {
        return errno != 0 ? errno : EIO;
    }
    MifHeaderScan written;
    std::string error;
    std::string header;
    bool read =
        ScanMifHeader(in, written, error) && written.hasData && std::fseek(in, 0, SEEK_SET) == 0;
    if (read) {
        header.resize(static_cast<size_t>(written.dataEnd));
        read = std::fread(&header[0], 1, header.size(), in) == header.size();
    }
    std::fclose(in);
    if (!read) {
        return EIO;
    }
    header = ReplaceHeaderItems(header, input);
    errno = 0;
    if (std::fwrite(header.data(), 1, header.size(), to) != header.size()) {
        return errno != 0 ? errno : EIO;
    }
    return platform::CopyFileTail(path, written.dataEnd, to, cancel);
}

namespace {

// A header that grows this large without its Data line is no MIF header.
constexpr size_t kMaxPipedHeader = size_t{64} << 20;

}  // namespace

bool PipedMif::Start(const std::string& pipePath, const MifHeaderScan& input, std::FILE* to,
                     std::string& error) {
    path = pipePath;
    pipe = platform::OpenPipe(path, error);
    if (pipe == nullptr) {
        return false;
    }
    try {
        thread = std::thread([this, &input, to] { Run(input, to); });
    } catch (const std::system_error& e) {
        error = e.what();
        platform::ClosePipe(pipe);
        pipe = nullptr;
        return false;
    }
    return true;
}

int PipedMif::Finish() {
    if (thread.joinable()) {
        platform::WakePipe(path);
        thread.join();
    }
    platform::ClosePipe(pipe);
    pipe = nullptr;
    return failure;
}

void PipedMif::Run(const MifHeaderScan& input, std::FILE* to) {
    platform::BlockInterruptsInThisThread();
    std::vector<char> buffer(size_t{1} << 20);
    MifHeaderScan written;
    MifHeaderReader header(written);
    std::string head;  // the bytes read while the header is not complete
    bool inHeader = true;
    auto put = [this, to](const char* bytes, size_t n) {
        errno = 0;
        if (std::fwrite(bytes, 1, n, to) == n) {
            return 0;
        }
        lostWrite = true;
        return errno != 0 ? errno : EIO;
    };
    // The header with the input's lines, then what came after it.
    auto putHead = [&] {
        inHeader = false;
        const auto end = static_cast<size_t>(written.dataEnd);
        std::string text = ReplaceHeaderItems(std::string_view(head).substr(0, end), input);
        int result = put(text.data(), text.size());
        if (result == 0) {
            result = put(head.data() + end, head.size() - end);
        }
        std::string().swap(head);
        return result;
    };
    for (;;) {
        long n = platform::ReadPipe(pipe, buffer.data(), buffer.size());
        if (n < 0) {
            failure = errno != 0 ? errno : EIO;
            break;
        }
        if (n == 0) {
            if (inHeader) {
                // The file ended in its header: with a last line Data it is complete, without
                // one it is no MIF file.
                header.End();
                failure = written.hasData ? putHead() : EIO;
            }
            break;
        }
        const auto got = static_cast<size_t>(n);
        if (!inHeader) {
            failure = put(buffer.data(), got);
        } else {
            head.append(buffer.data(), got);
            if (header.Feed(buffer.data(), got)) {
                failure = putHead();
            } else if (head.size() > kMaxPipedHeader) {
                failure = EIO;
            }
        }
        if (failure != 0) {
            break;
        }
    }
    if (failure != 0) {
        // The plug-in's next write fails, and the export ends.
        platform::ClosePipe(pipe);
        pipe = nullptr;
    }
}

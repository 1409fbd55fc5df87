// check: the repairs the reader makes to a file, one line each, in the form compilers use.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "mif/reader/mif_reader.h"
#include "tools/mifhost/commands.h"
#include "tools/mifhost/terminal_text.h"

namespace {

// Reads the file as the import does, every object and every value, so that the reader notes
// every repair the import makes. False when it cannot be opened.
bool ReadAll(const std::string& path, CMifReader& reader) {
    std::string hostPath = platform::HostPath(path);
    if (hostPath.empty() || reader.Open(hostPath.c_str()) == 0) {
        return false;
    }
    const int columns = reader.Header().columns.GetCount();
    std::string value;
    for (reader.Rewind(); reader.IsEof() == 0; reader.MoveNext()) {
        reader.ReadObject();
        for (int i = 0; i < columns; ++i) {
            reader.GetFieldValue(i, value);
        }
        reader.DeleteCurrentObject();
    }
    return true;
}

// The MID file's name as the user spells the MIF file's, with the extension the reader found.
std::string MidNameOf(const std::string& mifPath, const std::string& readerMid) {
    std::string extension = readerMid.size() >= 4 ? readerMid.substr(readerMid.size() - 4) : "";
    return MidPath(mifPath, extension.c_str());
}

}  // namespace

int64_t CountRepairs(const std::string& path) {
    CMifReader reader;
    return ReadAll(path, reader) ? reader.Report().Total() : -1;
}

int CheckCommand(Session& s) {
    const std::string& path = s.inputs.files[0].path;
    CMifReader reader;
    if (!ReadAll(path, reader)) {
        return Fail(kExitCannotOpen, "cannot read " + path);
    }
    const CMifReport& report = reader.Report();
    // By file, the MIF first, then by line; repairs on one line stay in the order found.
    std::vector<const CMifRepair*> entries;
    for (const CMifRepair& r : report.Entries()) {
        entries.push_back(&r);
    }
    std::stable_sort(entries.begin(), entries.end(), [](const CMifRepair* a, const CMifRepair* b) {
        return a->file != b->file ? a->file == MifRepairFile::kMif : a->line < b->line;
    });
    const std::string mif = EscapeBytes(path);
    const std::string mid = EscapeBytes(MidNameOf(path, reader.MidPath()));
    for (const CMifRepair* r : entries) {
        std::printf("%s:%lld: warning: %s\n", (r->file == MifRepairFile::kMif ? mif : mid).c_str(),
                    static_cast<long long>(r->line), EscapeBytes(r->text).c_str());
    }
    const int64_t total = report.Total();
    const int64_t listed = static_cast<int64_t>(entries.size());
    if (total > listed) {
        std::printf("%s: %lld more problems not listed\n", mif.c_str(),
                    static_cast<long long>(total - listed));
    }
    if (total == 0) {
        std::printf("%s: no problems\n", mif.c_str());
    } else {
        std::printf("%s: %lld problems repaired\n", mif.c_str(), static_cast<long long>(total));
    }
    int code = FinishStandardOutput();
    return code != kExitOk ? code : total > 0 ? kExitRepaired : kExitOk;
}

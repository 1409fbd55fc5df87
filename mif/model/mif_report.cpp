#include "mif/model/mif_report.h"

#include <utility>

void CMifReport::Add(MifRepairKind kind, MifRepairFile file, int64_t line, std::string text) {
    if (counts[kind] == 0) {
        firstLines[kind] = line;
        firstFiles[kind] = file;
    }
    ++counts[kind];
    if (entries.size() < kMaxEntries) {
        entries.push_back(CMifRepair{kind, file, line, std::move(text)});
    }
}

int64_t CMifReport::Total() const {
    int64_t total = 0;
    for (int64_t count : counts) {
        total += count;
    }
    return total;
}

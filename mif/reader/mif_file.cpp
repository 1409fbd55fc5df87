#include "mif/reader/mif_file.h"

CMifFile::CMifFile() = default;

CMifFile::~CMifFile() {
    Close();
}

void CMifFile::Close() {
    CloseFile();
    DeleteCurrentObject();
    for (CMifObjectPtr& spare : spareObjects) {
        spare.reset();
    }
    nextKind = -1;
    dataOffset = -1;
    version = 0;
    charset.clear();
    coordSys.clear();
    delimiterText.clear();
    hasTransform = false;
    uniqueColumns.clear();
    indexColumns.clear();
    transform.clear();
    columns.Clear();
    if (midFile.IsOpen()) {
        midFile.CloseFile();
    }
}

namespace {

// Nodes a record kept for reuse may hold: a record of a huge object is freed with the object, so
// that the reader holds no more than this between objects.
constexpr size_t kMaxSpareNodes = size_t{1} << 16;

}  // namespace

void CMifFile::CreateCurrentObject(int32_t kind) {
    DeleteCurrentObject();
    if (kind >= 0 && kind < kMifKindCount && spareObjects[kind] != nullptr) {
        currentObject = spareObjects[kind].release();
        ClearMifObject(*currentObject);
    } else {
        currentObject = CreateMifObject(kind);
    }
}

void CMifFile::DeleteCurrentObject() {
    CMifObjectPtr record(currentObject);
    currentObject = nullptr;
    if (record != nullptr && MifObjectCapacity(*record) <= kMaxSpareNodes) {
        spareObjects[record->kind] = std::move(record);
    }
}

std::string GetMidFileName(const std::string& path) {
    // Only the file name's extension is replaced: a dot in a folder name is not an extension.
    size_t slash = path.find_last_of("/\\");
    size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart) {
        return path + ".mid";
    }
    return path.substr(0, dot) + ".mid";
}

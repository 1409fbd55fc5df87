#include "mif/reader/mif_file.h"

CMifFile::CMifFile() = default;

CMifFile::~CMifFile() {
    Close();
}

void CMifFile::Close() {
    CloseFile();
    DeleteCurrentObject();
    records.Clear();
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

void CMifFile::CreateCurrentObject(int32_t kind) {
    DeleteCurrentObject();
    currentObject = records.Take(kind).release();
}

void CMifFile::DeleteCurrentObject() {
    records.Give(CMifObjectPtr(currentObject));
    currentObject = nullptr;
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

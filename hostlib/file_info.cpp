#include "plugin/host/file_info.h"

#include "plugin/host/document.h"
#include "plugin/host/vector.h"

CXF_FileItem::~CXF_FileItem() = default;
void CXF_FileItem::OnAdded(int) {}
Cgeo_RegisterClass* CXF_FileItem::GetRegisterClass() {
    return nullptr;
}

CXF_VectorInfo::CXF_VectorInfo(Cgeo_MainApp* mainApp, Cgeo_Vector* layer)
    : app(mainApp), vector(layer), registerClass(std::make_unique<Cgeo_RegisterClass>("VECTOR")) {}
CXF_VectorInfo::~CXF_VectorInfo() = default;
void CXF_VectorInfo::OnAdded(int) {
    added = true;
}
Cgeo_RegisterClass* CXF_VectorInfo::GetRegisterClass() {
    return registerClass.get();
}
std::int64_t CXF_VectorInfo::GetObjectCount() const {
    return vector != nullptr ? vector->GetObjectCount() : 0;
}

CXF_FileInfo::CXF_FileInfo() = default;
CXF_FileInfo::~CXF_FileInfo() = default;

CXF_FileItem* CXF_FileInfo::GetItem(int i) {
    if (i < 0 || i >= GetSize()) {
        return nullptr;
    }
    return items[static_cast<size_t>(i)].get();
}

int CXF_FileInfo::AddPtrItem(CXF_FileItem* item) {
    items.emplace_back(item);
    return GetSize() - 1;
}

void CXF_FileInfo::FreeMem() {
    items.clear();
    ++freeMemCalls;
}

#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "plugin/host/host_api.h"

class Cgeo_MainApp;
class Cgeo_RegisterClass;
class Cgeo_Vector;

// An item that the host keeps in a file info: it describes one layer the file feeds or is fed
// from. Items are owned by the file info once added.
class FNC_API CXF_FileItem {
public:
    virtual ~CXF_FileItem();
    // Called by whoever added the item, right after AddPtrItem.
    virtual void OnAdded(int flags);
    // The class of layer the item stands for, or null.
    virtual Cgeo_RegisterClass* GetRegisterClass();
};

// Describes a vector layer: the one an opened file will be read into, or the layer whose
// GetVectorInfo it is (then its object count follows the layer).
class FNC_API CXF_VectorInfo : public CXF_FileItem {
public:
    explicit CXF_VectorInfo(Cgeo_MainApp* app, Cgeo_Vector* layer = nullptr);
    ~CXF_VectorInfo() override;
    void OnAdded(int flags) override;
    Cgeo_RegisterClass* GetRegisterClass() override;

    Cgeo_MainApp* GetApp() const { return app; }
    bool WasAdded() const { return added; }
    // Number of objects of the layer described; 0 when it describes none.
    std::int64_t GetObjectCount() const;

private:
    Cgeo_MainApp* app;
    Cgeo_Vector* vector;
    std::unique_ptr<Cgeo_RegisterClass> registerClass;
    bool added = false;
};

// The failures a plug-in reports in a file info's errorCode.
enum XF_ErrorCode : int {
    XF_ERROR_OPEN = 2,             // the file to import cannot be opened or read
    XF_ERROR_NOTHING_TO_SAVE = 6,  // the document has no layer to export
    XF_ERROR_WRITE = 8,            // an output file cannot be created or written
};

// What XF_Save returns for a save that succeeded: the file info held one item, a vector layer;
// or any other.
enum XF_SaveResult : int {
    XF_SAVED_VECTOR_ITEM = 2,
    XF_SAVED = 3,
};

// What the host tells a plug-in about one file it opens or saves.
class FNC_API CXF_FileInfo {
public:
    CXF_FileInfo();
    ~CXF_FileInfo();
    CXF_FileInfo(const CXF_FileInfo&) = delete;
    CXF_FileInfo& operator=(const CXF_FileInfo&) = delete;

    int GetSize() const { return static_cast<int>(items.size()); }
    // Item i, or null outside the list.
    CXF_FileItem* GetItem(int i);
    // Takes ownership of the item; returns its index.
    int AddPtrItem(CXF_FileItem* item);
    // Releases every item.
    void FreeMem();
    int GetFreeMemCount() const { return freeMemCalls; }

    void* userData = nullptr;
    // Why an entry point failed, for the host to show: one of XF_ErrorCode.
    int errorCode = 0;
    Cgeo_MainApp* mainApp = nullptr;
    std::vector<std::string> fileNames;

private:
    std::vector<std::unique_ptr<CXF_FileItem>> items;
    int freeMemCalls = 0;
};

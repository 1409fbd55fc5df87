#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "import/host_object.h"
#include "import/host_styles.h"
#include "mif/reader/mif_reader.h"
#include "mif/reader/read_ahead.h"
#include "mif/reader/scanner.h"
#include "plugin/entry_points.h"
#include "plugin/host/app.h"
#include "plugin/host/file_info.h"
#include "plugin/host/main_frame.h"
#include "plugin/host/table.h"
#include "plugin/host/vector.h"
#include "plugin/mif_context.h"
#include "resources/module_strings.h"

namespace {

// Host column type of each MIF column type.
XF_ColumnType HostColumnType(int32_t mifType) {
    switch (mifType) {
        case kColChar:
            return XF_COL_TEXT;
        case kColInteger:
            return XF_COL_INT32;
        case kColSmallInt:
            return XF_COL_INT16;
        case kColDecimal:
            return XF_COL_DECIMAL;
        case kColFloat:
            // A MIF Float holds a double: in a 32-bit float, 1000003006 would read 1000003008
            // and 1511106.78 would read 1511106.8.
            return XF_COL_DOUBLE;
        case kColDate:
            return XF_COL_DATE;
        case kColLogical:
            return XF_COL_LOGICAL;
        default:
            // A type the reader does not know (LargeInt, Time, DateTime of newer files): its
            // values are kept as text rather than dropped.
            return XF_COL_TEXT;
    }
}

// Width of a text column made for a type the reader does not know: the widest MIF char column.
constexpr int kUnknownTypeTextWidth = 254;

// A value buffer of every host type but text, which is handed over as its zero-terminated string.
using ValueBuffer = unsigned char[8];

template <typename T>
void Put(ValueBuffer& buffer, T value) {
    static_assert(sizeof value <= sizeof buffer, "a value fits the buffer");
    std::memcpy(buffer, &value, sizeof value);
}

// T, TRUE, Y, YES and 1 in any case are true; anything else is false.
bool IsTrue(std::string_view text) {
    for (const char* word : {"T", "TRUE", "Y", "YES", "1"}) {
        if (EqualsNoCase(text, word)) {
            return true;
        }
    }
    return false;
}

// Fills the buffer with the text's value in the layout of the column's host type (not text);
// false when nothing is to be set.
bool BuildValue(const CVectorColumn& column, std::string_view text, ValueBuffer& buffer) {
    switch (column.type) {
        case XF_COL_UINT8:
            Put(buffer, static_cast<uint8_t>(static_cast<uint32_t>(ParseInt(text))));
            return true;
        case XF_COL_UINT16:
        case XF_COL_INT16:
            Put(buffer, static_cast<uint16_t>(static_cast<uint32_t>(ParseInt(text))));
            return true;
        case XF_COL_UINT32:
        case XF_COL_INT32:
            Put(buffer, ParseInt(text));
            return true;
        case XF_COL_FLOAT:
            Put(buffer, ToFloat(ParseDouble(text)));
            return true;
        case XF_COL_DOUBLE:
        case XF_COL_DECIMAL:
            Put(buffer, ParseDouble(text));
            return true;
        case XF_COL_DATE: {
            uint16_t date[3];
            if (!ParseDate(text, date)) {
                return false;
            }
            std::memcpy(buffer, date, sizeof date);
            return true;
        }
        case XF_COL_LOGICAL:
            Put(buffer, int32_t{IsTrue(text) ? 1 : 0});
            return true;
        default:
            return false;
    }
}

// The file name of a path, without its folders.
std::string FileName(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The message bar line after an import that repaired the file: the count, the file, and where
// the first repair was and what it was (the report keeps the first entries in English).
std::string RepairMessage(const CMifReader& mif) {
    const CMifReport& report = mif.Report();
    const CMifRepair& first = report.Entries().front();
    std::string where = std::to_string(first.line);
    if (first.file == MifRepairFile::kMid) {
        where += " (" + FileName(mif.MidPath()) + ")";
    }
    const std::string parts[] = {std::to_string(report.Total()), FileName(mif.MifPath()), where,
                                 first.text};
    std::string message;
    for (const char* p = LoadModuleString(kIdsRepaired); *p != '\0'; ++p) {
        if (p[0] == '%' && p[1] >= '1' && p[1] <= '4') {
            message += parts[p[1] - '1'];
            ++p;
        } else {
            message.push_back(*p);
        }
    }
    return message;
}

// Records of at most this many nodes stay with the batch until the host object is added, to be
// reused for later objects.
constexpr size_t kKeptRecordNodes = size_t{1} << 16;

struct ObjectDeleter {
    void operator()(Cgeo_VectorObject* object) const { object->DeleteObject(); }
};

// One import pass; its destructor ends what the pass started, also when it is left by an
// exception.
class CImportPass {
public:
    CImportPass(CMifReader& file, Cgeo_MainApp* app, Cgeo_Vector* vector, double screen)
        : mif(file), mainApp(app), target(vector), pixelsPerPoint(screen) {}
    ~CImportPass() {
        mif.keepTextAsWritten = false;
        ReleaseLegendStyles(tracks);
        if (frame != nullptr) {
            frame->EndProgress(XF_PROGRESS_MODE);
        }
        stream.Close();
    }
    CImportPass(const CImportPass&) = delete;
    CImportPass& operator=(const CImportPass&) = delete;

    void Run();

private:
    void AddColumns();
    void AddObject(CMifBatch& batch, size_t k);
    void StoreValues(const CMifBatch& batch, size_t k, int64_t id);

    CMifReader& mif;
    Cgeo_MainApp* mainApp;
    Cgeo_Vector* target;
    double pixelsPerPoint;
    Cgeo_VectorTable* table = nullptr;
    Cgeo_MainFrame* frame = nullptr;
    Cgeo_VectorObjectStream stream;
    CLegendTrack tracks[kLegendCount];
    int columnCount = 0;
};

void CImportPass::AddColumns() {
    table = target->GetVectorTable();
    Cgeo_VectorColumns* columns = table->GetVectorColumns();
    columnCount = mif.Header().columns.GetCount();
    // A text column is as wide as its longest value when that is wider than the header says:
    // tools that ignore the width write longer values, and in UTF-8 or CJK files the width counts
    // characters, not bytes. Cutting would lose data and could split a character.
    std::vector<size_t> longest;
    mif.MeasureValues(longest);
    CVectorColumn column;
    for (int i = 0; i < columnCount; ++i) {
        const CMifColumn& source = mif.Header().columns.Get(i);
        column.name = source.name;
        column.type = HostColumnType(source.type);
        column.width = source.type == kColNone || source.type > kColLogical ? kUnknownTypeTextWidth
                                                                            : source.width;
        column.decimals = source.decimals;
        if (column.type == XF_COL_TEXT) {
            size_t most = std::min(longest[static_cast<size_t>(i)], size_t{XF_MAX_TEXT_WIDTH});
            column.width = std::max(column.width, static_cast<int>(most));
        }
        columns->Add(column);
    }
}

// Sets the values the MID holds for object k of the batch; a value it does not hold stays unset.
void CImportPass::StoreValues(const CMifBatch& batch, size_t k, int64_t id) {
    Cgeo_VectorColumns* columns = table->GetVectorColumns();
    ValueBuffer buffer;
    std::string_view value;
    for (int i = 0; i < columnCount; ++i) {
        const CVectorColumn* column = columns->Get(i);
        if (column == nullptr || !batch.Value(k, i, value)) {
            continue;
        }
        if (column->type == XF_COL_TEXT) {
            table->SetColumnValue(id, i, value.data());  // zero-terminated
        } else if (BuildValue(*column, value, buffer)) {
            table->SetColumnValue(id, i, buffer);
        }
    }
}

// Makes the host object of object k of the batch and adds it to the layer with its values.
void CImportPass::AddObject(CMifBatch& batch, size_t k) {
    CMifObjectPtr& record = batch.Object(k);
    if (record == nullptr) {
        return;
    }
    if (record->kind == kMifText) {
        // The reader keeps Text strings as written; the host's decoder reads their escapes here,
        // on the host's thread.
        auto& textRecord = static_cast<CMifText&>(*record);
        textRecord.text = DecodeMifText(textRecord.text, mif.decodeText);
    }
    std::unique_ptr<Cgeo_VectorObject, ObjectDeleter> object(
        CreateHostObject(mainApp, record.get(), target, pixelsPerPoint));
    // A large record is done with: its nodes go before the layer copies the host object, so
    // that a large object is held twice at most, not three times.
    if (MifObjectCapacity(*record) > kKeptRecordNodes) {
        record.reset();
    }
    if (object != nullptr) {
        int track = LegendTrackOf(object->GetType());
        if (track >= 0) {
            TrackMiniatureStyle(object.get(), tracks[track].same, tracks[track].style);
        }
        StoreValues(batch, k, stream.AddObject(object.get(), 0));
    }
}

void CImportPass::Run() {
    AddColumns();
    frame = mainApp->GetMainFrame();
    if (frame != nullptr) {
        frame->StartProgress(XF_PROGRESS_MODE);
    }
    stream.Open(target, XF_STREAM_WRITE);
    int lastPercent = 0;
    mif.keepTextAsWritten = true;
    {
        // The file is read and parsed on a second thread while this one, the host's, makes the
        // host objects.
        CMifReadAhead ahead(mif);
        while (CMifBatch* batch = ahead.Next()) {
            for (size_t k = 0; k < batch->Count(); ++k) {
                AddObject(*batch, k);
            }
            int percent = static_cast<int>(batch->Progress());
            // Only whole percents move the bar; a pass over many small objects makes no empty
            // steps.
            if (percent > lastPercent && frame != nullptr) {
                frame->IncreaseProgress(static_cast<double>(percent - lastPercent));
                lastPercent = percent;
            }
        }
    }
    mif.keepTextAsWritten = false;
    SetLegendStyles(target, tracks);
    if (frame != nullptr) {
        frame->EndProgress(XF_PROGRESS_MODE);
        frame = nullptr;
    }
    target->UpdateGrid(&stream);
    stream.Close();
    Cgeo_MainFrame* bar = mainApp->GetMainFrame();
    if (bar != nullptr && mif.Report().Total() > 0) {
        bar->SetMessageBarText(RepairMessage(mif).c_str(), XF_MESSAGE_PANE, XF_MESSAGE_FLAGS);
    }
}

}  // namespace

extern "C" int XF_Read(CXF_FileInfo* info, int32_t, void* host, Cgeo_Vector* vector, int32_t) {
    if (host == nullptr || vector == nullptr || info == nullptr) {
        return 0;
    }
    auto* context = static_cast<CMifContext*>(info->userData);
    if (context == nullptr || context->reader == nullptr) {
        // Not opened, or already closed: the host learns that the file is not open.
        info->errorCode = XF_ERROR_OPEN;
        return 0;
    }
    try {
        CGEO fallback;
        Cgeo_MainApp* app = info->mainApp != nullptr ? info->mainApp : fallback.GetApp();
        CImportPass pass(*context->reader, app, vector, context->pixelsPerPoint);
        pass.Run();
        return 1;
    } catch (...) {
        // What was imported before the failure stays in the layer; the host is told the import
        // did not finish.
        info->errorCode = XF_ERROR_OPEN;
        return 0;
    }
}

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "export/export.h"
#include "mif/writer/mif_writer.h"
#include "mif/writer/write_behind.h"
#include "plugin/entry_points.h"
#include "plugin/host/app.h"
#include "plugin/host/document.h"
#include "plugin/host/file_info.h"
#include "plugin/host/main_frame.h"
#include "plugin/host/table.h"
#include "plugin/host/text.h"
#include "plugin/host/vector.h"
#include "plugin/mif_context.h"
#include "resources/module_strings.h"

namespace {

std::string FormatInt(long long value) {
    char buffer[24];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

// As printf's "%.<decimals>f": fixed notation, never dependent on the locale.
std::string FormatFixed(double value, int decimals) {
    // Beyond 1074 decimals every double prints only zeros; the cap bounds the buffer. A double
    // takes at most 310 digits before the point.
    if (decimals < 0) {
        decimals = 0;
    } else if (decimals > 1074) {
        decimals = 1074;
    }
    constexpr size_t kBeforePoint = 330;
    char stack[kBeforePoint + 64];
    std::string heap;
    char* begin = stack;
    size_t size = sizeof stack;
    if (static_cast<size_t>(decimals) + kBeforePoint > size) {
        heap.resize(static_cast<size_t>(decimals) + kBeforePoint);
        begin = heap.data();
        size = heap.size();
    }
    char* end = std::to_chars(begin, begin + size, value, std::chars_format::fixed, decimals).ptr;
    return std::string(begin, end);
}

// The shortest text that reads back as the same value (in the value's own precision): six
// fixed decimals would write 1.25e-7 as 0. Values that are not numbers have no text.
template <typename Real>
std::string FormatShortest(Real value) {
    if (!std::isfinite(value)) {
        return std::string();
    }
    char buffer[64];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

std::string FormatValue(const CVectorColumn& column, const void* value) {
    if (value == nullptr) {
        return std::string();
    }
    switch (column.type) {
        case XF_COL_TEXT:
            return std::string(static_cast<const char*>(value));
        case XF_COL_UINT8:
            return FormatInt(XF_LoadValue<uint8_t>(value));
        case XF_COL_UINT16:
            return FormatInt(XF_LoadValue<uint16_t>(value));
        case XF_COL_INT16:
            return FormatInt(XF_LoadValue<int16_t>(value));
        case XF_COL_UINT32:
            return FormatInt(XF_LoadValue<uint32_t>(value));
        case XF_COL_INT32:
            return FormatInt(XF_LoadValue<int32_t>(value));
        case XF_COL_FLOAT:
            return FormatShortest(XF_LoadValue<float>(value));
        case XF_COL_DOUBLE:
            return FormatShortest(XF_LoadValue<double>(value));
        case XF_COL_DECIMAL: {
            // The value rounded to the decimals the header gives the column, without padding.
            double number = XF_LoadValue<double>(value);
            int32_t width = column.width;
            int32_t decimals = column.decimals;
            ClampDecimalDigits(width, decimals);
            return std::isfinite(number) ? FormatFixed(number, decimals) : std::string();
        }
        case XF_COL_DATE: {
            uint16_t date[3];
            std::memcpy(date, value, sizeof date);
            if (date[0] == 0) {
                return std::string();  // no date: year 0 does not exist
            }
            char buffer[32];
            std::snprintf(buffer, sizeof buffer, "%04i%02i%02i", date[0], date[1], date[2]);
            return buffer;
        }
        case XF_COL_LOGICAL:
            return XF_LoadValue<int32_t>(value) != 0 ? "T" : "F";
        default:
            return std::string();
    }
}

bool IsCanceled(const int* cancel) {
    return cancel != nullptr && *cancel != 0;
}

// The integer layer group of a layer; false when the layer or its group attribute is missing.
bool LayerGroup(Cgeo_Layer* layer, int& group) {
    Cgeo_Attributes* attributes = layer != nullptr ? layer->GetAttributes() : nullptr;
    Cgeo_AttributeValue* value =
        attributes != nullptr ? attributes->Item(XF_LAYER_GROUP_ATTRIBUTE) : nullptr;
    if (value == nullptr) {
        return false;
    }
    group = value->GetInt();
    return true;
}

bool IsLayerClass(Cgeo_Layer* layer, const char* className) {
    Cgeo_RegisterClass* registerClass = layer != nullptr ? layer->GetRegisterClass() : nullptr;
    return registerClass != nullptr && registerClass->IsClass(className) != 0;
}

// The first text layer of the chosen layer's group, or -1.
int CompanionTextLayer(Cgeo_Layers& layers, int chosen) {
    int group = 0;
    if (!LayerGroup(layers.GetLayer(chosen), group)) {
        return -1;
    }
    for (int i = 0; i < layers.GetNumberLayers(); ++i) {
        Cgeo_Layer* layer = layers.GetLayer(i);
        int other = 0;
        if (IsLayerClass(layer, "TEXT") && LayerGroup(layer, other) && other == group) {
            return i;
        }
    }
    return -1;
}

void SetColumns(CMifColumnList& columns, Cgeo_VectorColumns& hostColumns) {
    int count = hostColumns.GetSize();
    columns.SetCount(count);
    for (int i = 0; i < count; ++i) {
        const CVectorColumn* host = hostColumns.Get(i);
        if (host == nullptr) {
            continue;
        }
        if (host->type == XF_COL_UINT32) {
            // Unsigned 32-bit values: at most 10 digits.
            columns.Set(i, CMifColumn{host->name, kColDecimal, 10, 0});
        } else {
            columns.Set(i, CMifColumn{host->name, MifColumnTypeOf(host->type), host->width,
                                      host->decimals});
        }
    }
    if (count == 0) {
        // A MIF table has at least one column; its records stay empty.
        columns.SetCount(1);
        columns.Set(0, CMifColumn{LoadModuleString(kIdsIdColumn), kColInteger, 0, 0});
    }
}

// Writes every object of the vector layer with its MID record, in id order, until the save is
// cancelled or a write fails.
void WriteVectorLayer(CMifWriter& file, Cgeo_Vector& vector, Cgeo_MainApp* app,
                      Cgeo_MainFrame* frame, const int* cancel) {
    Cgeo_VectorTable* table = vector.GetVectorTable();
    Cgeo_VectorColumns* hostColumns = table->GetVectorColumns();
    int columnCount = hostColumns->GetSize();
    CXF_VectorInfo* vectorInfo = vector.GetVectorInfo();
    int64_t count = vectorInfo != nullptr ? vectorInfo->GetObjectCount() : 0;
    if (frame != nullptr) {
        frame->SetMessageBarText(LoadModuleString(kIdsWriteVector), XF_MESSAGE_PANE,
                                 XF_MESSAGE_FLAGS);
        frame->StartProgress(XF_PROGRESS_MODE);
    }
    Cgeo_VectorObjectStream stream(&vector, XF_STREAM_READ);
    CMifRecordPool records;
    std::string valueText;
    // The objects are formatted and written to the MIF file on a second thread while this one,
    // the host's, walks the layer and writes the MID file.
    CMifWriteBehind objects(file);
    for (int64_t k = 0; k < count; ++k) {
        // Once a write has failed the save cannot succeed; writing on would only take time.
        if (IsCanceled(cancel) || objects.Failed() || file.MidWriteFailed()) {
            break;
        }
        Cgeo_VectorObject* object = stream.GetVectorObject(k, nullptr, nullptr);
        CMifObjectPtr record(object != nullptr ? ConvertVectorObject(object, app, records)
                                               : nullptr);
        // An object without a MIF form gets no MID record either, so that record r stays with
        // the r-th object written.
        if (record != nullptr) {
            objects.Write(std::move(record), records);
            for (int j = 0; j < columnCount; ++j) {
                const void* value = table->GetColumnValue(k, j);
                const CVectorColumn* column = hostColumns->Get(j);
                if (value != nullptr && column != nullptr && column->type == XF_COL_TEXT) {
                    // A text as the host keeps it, up to its zero byte.
                    file.SetValue(j, std::string_view(static_cast<const char*>(value)));
                    continue;
                }
                valueText.clear();
                if (value != nullptr && column != nullptr) {
                    FormatColumnValue(*column, value, valueText);
                }
                file.SetValue(j, std::string_view(valueText));
            }
            file.WriteValues();
        }
        if (frame != nullptr) {
            frame->IncreaseProgress(100.0 / static_cast<double>(count));
            frame->CheckCanceledSignal();
        }
    }
    objects.Finish();
    if (frame != nullptr) {
        frame->SetMessageBarText("", XF_MESSAGE_PANE, XF_MESSAGE_FLAGS);
        frame->EndProgress(XF_PROGRESS_MODE);
    }
}

// Writes every item of the text layer as a Text object, until a write fails.
void WriteTextLayer(CMifWriter& file, Cgeo_Text& text, Cgeo_MainFrame* frame) {
    int n = text.GetCount();
    if (frame != nullptr) {
        frame->StartProgress(XF_PROGRESS_MODE);
        frame->SetMessageBarText(LoadModuleString(kIdsWriteText), XF_MESSAGE_PANE,
                                 XF_MESSAGE_FLAGS);
    }
    for (int i = 0; i < n && !file.WriteFailed(); ++i) {
        CMifObjectPtr record(ConvertTextItem(text.GetAt(i)));
        if (record != nullptr) {
            // A record of empty values, so that readers pair every later object (and these
            // texts) with the right record.
            file.WriteObject(*record);
            for (int j = 0; j < file.header.columns.GetCount(); ++j) {
                file.SetValue(j, "");
            }
            file.WriteValues();
        }
        if (frame != nullptr) {
            frame->IncreaseProgress(100.0 / n);
        }
    }
    if (frame != nullptr) {
        frame->EndProgress(XF_PROGRESS_MODE);
        frame->SetMessageBarText("", XF_MESSAGE_PANE, XF_MESSAGE_FLAGS);
    }
}

// Writes the chosen layer and its companion text layer when index is the chosen layer's index;
// any other index has nothing to write. Returns 0 when the layer could not be written.
int SaveLayer(CXF_FileInfo* info, Cgeo_Document* document, int index, const int* cancel) {
    auto* context = static_cast<CMifContext*>(info->userData);
    if (index != context->layerIndex) {
        return 1;
    }
    if (document == nullptr || document->GetLayers() == nullptr) {
        return 0;
    }
    Cgeo_Layers* layers = document->GetLayers();
    Cgeo_Layer* layer = layers->GetLayer(context->layerIndex);
    Cgeo_Vector* vector = layer != nullptr ? layer->GetVector() : nullptr;
    Cgeo_Text* text = nullptr;
    if (context->textLayerIndex != -1) {
        Cgeo_Layer* textLayer = layers->GetLayer(context->textLayerIndex);
        text = textLayer != nullptr ? textLayer->GetText() : nullptr;
    }
    if (vector == nullptr) {
        // A text layer is written only as the companion of a vector layer: nothing to save.
        info->errorCode = XF_ERROR_NOTHING_TO_SAVE;
        return 0;
    }

    CMifWriter& file = *context->writer;
    SetColumns(file.header.columns, *vector->GetVectorTable()->GetVectorColumns());
    if (file.Create(context->fileName.c_str()) == 0) {
        info->errorCode = XF_ERROR_WRITE;
        return 0;
    }
    Cgeo_MainApp* app = info->mainApp;
    Cgeo_MainFrame* frame = app != nullptr ? app->GetMainFrame() : nullptr;
    WriteVectorLayer(file, *vector, app, frame, cancel);
    if (text != nullptr) {
        WriteTextLayer(file, *text, frame);
    }
    return 1;
}

int IsSingleVectorItem(CXF_FileInfo* info) {
    if (info->GetSize() != 1) {
        return 0;
    }
    CXF_FileItem* item = info->GetItem(0);
    Cgeo_RegisterClass* registerClass = item != nullptr ? item->GetRegisterClass() : nullptr;
    return registerClass != nullptr && registerClass->IsClass("VECTOR") != 0 ? 1 : 0;
}

// The save itself; made receives the context as soon as the file info holds it, so that the
// entry point can close it after an exception.
int SaveDocument(CGEO* geo, CXF_FileInfo* info, Cgeo_Document* document, const char* path,
                 CMifContext*& made) {
    if (info->GetSize() < 1 || document == nullptr || document->GetLayers() == nullptr ||
        path == nullptr) {
        info->errorCode = XF_ERROR_NOTHING_TO_SAVE;
        return 0;
    }
    const int* cancel = document->GetCanceledSignal();
    Cgeo_Layers* layers = document->GetLayers();
    int chosen = layers->GetLayerActive("VECTOR");
    if (chosen < 0) {
        chosen = layers->GetLayerActive("TEXT");
    }
    if (chosen < 0) {
        info->errorCode = XF_ERROR_NOTHING_TO_SAVE;
        return 0;
    }

    auto context = std::make_unique<CMifContext>();
    context->app = geo;
    context->fileName = path;
    context->keepFileInfo = 1;
    context->layerIndex = chosen;
    context->textLayerIndex = CompanionTextLayer(*layers, chosen);
    context->writer = std::make_unique<CMifWriter>();
    CMifWriter* file = context->writer.get();
    info->userData = context.get();
    made = context.release();
    info->fileNames.push_back(GetMidFileName(path));

    int result = 1;
    bool layerReached = false;
    for (int i = 0; i < info->GetSize(); ++i) {
        if (IsCanceled(cancel)) {
            break;
        }
        layerReached = layerReached || i == made->layerIndex;
        result &= SaveLayer(info, document, i, cancel);
    }
    // The items need not stand one for one for the document's layers: a chosen layer that no
    // item index reaches is still written, instead of reporting success for a save that wrote
    // nothing.
    if (!layerReached && !IsCanceled(cancel)) {
        result &= SaveLayer(info, document, made->layerIndex, cancel);
    }

    // Closing flushes what the files still buffer; a failure there is as much a lost write as
    // one during the loop. What was written stays on disk.
    file->Close();
    if (file->WriteFailed()) {
        info->errorCode = XF_ERROR_WRITE;
        result = 0;
    }
    XF_Close(info);
    made = nullptr;

    if (result == 1 && !IsCanceled(cancel)) {
        return IsSingleVectorItem(info) != 0 ? XF_SAVED_VECTOR_ITEM : XF_SAVED;
    }
    return 0;
}

}  // namespace

int32_t MifColumnTypeOf(int hostType) {
    // Each type goes to the narrowest MIF type that holds all its values: unsigned 16-bit values
    // do not fit a SmallInt, nor unsigned 32-bit ones an Integer.
    switch (hostType) {
        case XF_COL_TEXT:
            return kColChar;
        case XF_COL_UINT8:
        case XF_COL_INT16:
            return kColSmallInt;
        case XF_COL_UINT16:
        case XF_COL_INT32:
            return kColInteger;
        case XF_COL_UINT32:
            return kColDecimal;
        case XF_COL_FLOAT:
        case XF_COL_DOUBLE:
            return kColFloat;
        case XF_COL_DECIMAL:
            return kColDecimal;
        case XF_COL_DATE:
            return kColDate;
        case XF_COL_LOGICAL:
            return kColLogical;
        default:
            return kColChar;
    }
}

void FormatColumnValue(const CVectorColumn& column, const void* value, std::string& text) {
    if (value != nullptr && column.type == XF_COL_TEXT) {
        // Into the caller's string: a text value is the one that would need a new string.
        text.assign(static_cast<const char*>(value));
        return;
    }
    text = FormatValue(column, value);
}

extern "C" int XF_Save(CGEO* geo, CXF_FileInfo* info, Cgeo_Document* document, const char* path,
                       int32_t) {
    if (info == nullptr) {
        return 0;
    }
    CMifContext* made = nullptr;
    // No exception may reach the host: the files are closed with what was written, the context
    // is freed and the save fails as a write failure.
    try {
        return SaveDocument(geo, info, document, path, made);
    } catch (...) {
        info->errorCode = XF_ERROR_WRITE;
        if (made != nullptr && info->userData == made) {
            XF_Close(info);
        }
        return 0;
    }
}

#include "convert/line_styles.h"

#include <cmath>
#include <cstring>

#include "convert/pen_width.h"
#include "plugin/host/app.h"
#include "plugin/host/style.h"

namespace {

// The one piece of global state of the plug-in: built on the first conversion, then read only.
// When the library is unloaded it hands back the references it holds, so that the host can free
// its line styles.
struct CLineStyleTable {
    CXF_StyleObject* styles[kLineStyleCount] = {};  // references held by the table, or null
    double widthFactors[kLineStyleCount] = {};
    bool built = false;

    ~CLineStyleTable() {
        for (CXF_StyleObject*& style : styles) {
            if (style != nullptr) {
                style->Release();
                style = nullptr;
            }
        }
    }
};
CLineStyleTable table;

void Fill(CXF_ManagerVectorStyle* manager) {
    for (int i = 0; i < kLineStyleCount; ++i) {
        if (table.styles[i] != nullptr) {
            table.styles[i]->Release();
        }
        table.styles[i] = nullptr;
        // Without a pattern list, a width keeps its value rather than becoming 0.
        table.widthFactors[i] = 1.0;
    }
    const std::vector<CXF_StyleObject*>* patterns =
        manager != nullptr ? manager->GetLinePatterns() : nullptr;
    if (patterns == nullptr) {
        return;
    }
    for (int i = 0; i < kLineStyleCount && i < static_cast<int>(patterns->size()); ++i) {
        CXF_StyleObject* style = (*patterns)[static_cast<size_t>(i)];
        if (style != nullptr) {
            style->AddRef();  // the table keeps its styles even if the manager lets them go
            table.styles[i] = style;
            table.widthFactors[i] = style->GetIntValue();
        }
    }
}

// Index of a pattern's entry, or -1 when it has none: patterns of 128 or more, and patterns
// whose low 7 bits are 0 (0 from the file, or -128).
int EntryOf(int32_t pattern) {
    if (pattern >= kLineStyleCount) {
        return -1;
    }
    int k = static_cast<int>(static_cast<uint32_t>(pattern) & 127u);
    return k - 1;
}

}  // namespace

void BuildLineStyleTable(Cgeo_MainApp* app) {
    if (table.built) {
        return;
    }
    Fill(app != nullptr ? app->GetStyleManager() : nullptr);
    table.built = true;
}

void RebuildLineStyleTable(CXF_ManagerVectorStyle* manager) {
    Fill(manager);
    table.built = true;
}

int32_t ScalePenWidth(int32_t width, int32_t pattern) {
    if (pattern >= kLineStyleCount) {
        return 1;
    }
    int entry = EntryOf(pattern);
    double factor = entry >= 0 ? table.widthFactors[entry] : 1.0;
    double v = width * factor;
    double r = std::floor(v);
    if (v - r >= 0.5) {
        r = std::ceil(v);
    }
    return SaturateToInt32(r);
}

CXF_StyleObject* GetLinePatternStyle(int32_t pattern) {
    int entry = EntryOf(pattern);
    return entry >= 0 ? table.styles[entry] : nullptr;
}

int32_t FindLinePattern(const CXF_StyleObject& style) {
    for (int i = 0; i < kLineStyleCount; ++i) {
        const CXF_StyleObject* entry = table.styles[i];
        if (entry != nullptr &&
            std::memcmp(entry->GetIdentifier(), style.GetIdentifier(), XF_STYLE_ID_SIZE) == 0) {
            return i + 1;
        }
    }
    return 0;
}

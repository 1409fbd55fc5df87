#include "mif/model/mif_object.h"

#include <cmath>
#include <stdexcept>
#include <utility>

namespace {

const char* const kKeywords[kMifKindCount] = {
    "None",      "Point", "Line",    "Pline", "Region",     "Rect",
    "RoundRect", "Arc",   "Ellipse", "Text",  "MultiPoint", "Collection",
};

inline char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

}  // namespace

int32_t CMifSections::GetSectionNodeCount(int32_t i) const {
    if (i < 0 || i >= GetSectionCount()) {
        throw std::invalid_argument("section index outside the sections");
    }
    size_t index = static_cast<size_t>(i);
    int32_t next = (index + 1 < sectionStarts.size()) ? sectionStarts[index + 1]
                                                      : static_cast<int32_t>(nodes.size());
    return next - sectionStarts[index];
}

const CNode* CMifSections::GetSectionNode(int32_t i, int32_t j) const {
    if (i >= GetSectionCount()) {
        return nullptr;
    }
    if (i < 0) {
        throw std::invalid_argument("negative section index");
    }
    int64_t k = static_cast<int64_t>(sectionStarts[static_cast<size_t>(i)]) + j;
    if (k < 0) {
        throw std::invalid_argument("negative node index");
    }
    if (k >= static_cast<int64_t>(nodes.size())) {
        return nullptr;
    }
    return &nodes[static_cast<size_t>(k)];
}

CNode* CMifSections::GetSectionNode(int32_t i, int32_t j) {
    return const_cast<CNode*>(static_cast<const CMifSections*>(this)->GetSectionNode(i, j));
}

CMifObject* CreateMifObject(int32_t kind) {
    if (!IsMifObjectKind(kind)) {
        return nullptr;
    }
    switch (static_cast<MifObjectType>(kind)) {
        case kMifNone:
            return new CMifObject(kMifNone);
        case kMifPoint:
            return new CMifPoint();
        case kMifLine:
            return new CMifLine();
        case kMifPline:
            return new CMifPline();
        case kMifRegion:
            return new CMifRegion();
        case kMifRect:
            return new CMifRect();
        case kMifRoundRect:
            return new CMifRoundRect();
        case kMifArc:
            return new CMifArc();
        case kMifEllipse:
            return new CMifEllipse();
        case kMifText:
            return new CMifText();
        case kMifMultiPoint:
            return new CMifMultiPoint();
        case kMifCollection:
            return new CMifCollection();
    }
    return nullptr;
}

// Each record is deleted as the type of its kind; a kind outside the family (only a cast can make
// one) is not deleted through a type it does not have.
void DeleteMifObject(CMifObject* record) {
    if (record == nullptr) {
        return;
    }
    switch (record->kind) {
        case kMifNone:
            delete record;
            break;
        case kMifPoint:
            delete static_cast<CMifPoint*>(record);
            break;
        case kMifLine:
            delete static_cast<CMifLine*>(record);
            break;
        case kMifPline:
            delete static_cast<CMifPline*>(record);
            break;
        case kMifRegion:
            delete static_cast<CMifRegion*>(record);
            break;
        case kMifRect:
            delete static_cast<CMifRect*>(record);
            break;
        case kMifRoundRect:
            delete static_cast<CMifRoundRect*>(record);
            break;
        case kMifArc:
            delete static_cast<CMifArc*>(record);
            break;
        case kMifEllipse:
            delete static_cast<CMifEllipse*>(record);
            break;
        case kMifText:
            delete static_cast<CMifText*>(record);
            break;
        case kMifMultiPoint:
            delete static_cast<CMifMultiPoint*>(record);
            break;
        case kMifCollection:
            delete static_cast<CMifCollection*>(record);
            break;
    }
}

namespace {

// A record of the type with its defaults, keeping the storage of the given arrays.
template <typename Record>
void ClearSections(Record& record) {
    std::vector<CNode> nodes = std::move(record.nodes);
    std::vector<int32_t> starts = std::move(record.sectionStarts);
    nodes.clear();
    starts.clear();
    record = Record();
    record.nodes = std::move(nodes);
    record.sectionStarts = std::move(starts);
}

template <typename Record>
void ClearPlain(CMifObject& record) {
    static_cast<Record&>(record) = Record();
}

}  // namespace

void ClearMifObject(CMifObject& record) {
    switch (record.kind) {
        case kMifNone:
            break;
        case kMifPoint:
            ClearPlain<CMifPoint>(record);
            break;
        case kMifLine:
            ClearPlain<CMifLine>(record);
            break;
        case kMifPline:
            ClearSections(static_cast<CMifPline&>(record));
            break;
        case kMifRegion:
            ClearSections(static_cast<CMifRegion&>(record));
            break;
        case kMifRect:
            ClearPlain<CMifRect>(record);
            break;
        case kMifRoundRect:
            ClearPlain<CMifRoundRect>(record);
            break;
        case kMifArc:
            ClearPlain<CMifArc>(record);
            break;
        case kMifEllipse:
            ClearPlain<CMifEllipse>(record);
            break;
        case kMifText:
            ClearPlain<CMifText>(record);
            break;
        case kMifMultiPoint: {
            auto& multiPoint = static_cast<CMifMultiPoint&>(record);
            std::vector<CNode> points = std::move(multiPoint.points);
            points.clear();
            multiPoint = CMifMultiPoint();
            multiPoint.points = std::move(points);
            break;
        }
        case kMifCollection:
            ClearPlain<CMifCollection>(record);
            break;
    }
}

size_t MifObjectCapacity(const CMifObject& record) {
    switch (record.kind) {
        case kMifPline:
        case kMifRegion:
            return static_cast<const CMifSections&>(record).nodes.capacity();
        case kMifMultiPoint:
            return static_cast<const CMifMultiPoint&>(record).points.capacity();
        case kMifNone:
        case kMifPoint:
        case kMifLine:
        case kMifRect:
        case kMifRoundRect:
        case kMifArc:
        case kMifEllipse:
        case kMifText:
        case kMifCollection:
            break;
    }
    return 0;
}

namespace {

constexpr size_t kMaxSpareNodes = size_t{1} << 16;
constexpr size_t kMaxSpareNodesInAll = size_t{1} << 18;
constexpr size_t kMaxSparePerKind = 1024;

}  // namespace

CMifObjectPtr CMifRecordPool::Take(int32_t kind) {
    if (kind < 0 || kind >= kMifKindCount) {
        return nullptr;
    }
    std::vector<CMifObjectPtr>& kept = spare[kind];
    if (kept.empty()) {
        return CMifObjectPtr(CreateMifObject(kind));
    }
    CMifObjectPtr record = std::move(kept.back());
    kept.pop_back();
    spareNodes -= MifObjectCapacity(*record);
    ClearMifObject(*record);
    return record;
}

void CMifRecordPool::Give(CMifObjectPtr record) {
    if (record == nullptr) {
        return;
    }
    size_t nodes = MifObjectCapacity(*record);
    std::vector<CMifObjectPtr>& kept = spare[record->kind];
    if (nodes <= kMaxSpareNodes && spareNodes + nodes <= kMaxSpareNodesInAll &&
        kept.size() < kMaxSparePerKind) {
        spareNodes += nodes;
        kept.push_back(std::move(record));
    }
}

void CMifRecordPool::Clear() {
    for (std::vector<CMifObjectPtr>& kept : spare) {
        kept.clear();
    }
    spareNodes = 0;
}

int32_t MifObjectTypeFromKeyword(std::string_view word) {
    // Every word of the objects is tested, numbers and clause words included: a word is compared
    // only with the keywords of its length, and only when its first letter starts one of them.
    static const int32_t kByLength[11][5] = {
        {-1},
        {-1},
        {-1},
        {kMifArc, -1},
        {kMifNone, kMifLine, kMifRect, kMifText, -1},
        {kMifPoint, kMifPline, -1},
        {kMifRegion, -1},
        {kMifEllipse, -1},
        {-1},
        {kMifRoundRect, -1},
        {kMifMultiPoint, kMifCollection, -1},
    };
    if (word.size() < 3 || word.size() > 10) {
        return -1;
    }
    char first = LowerAscii(word[0]);
    for (const int32_t* k = kByLength[word.size()]; *k != -1; ++k) {
        if (LowerAscii(kKeywords[*k][0]) == first && EqualsNoCase(word, kKeywords[*k])) {
            return *k;
        }
    }
    return -1;
}

const char* MifObjectKeyword(int32_t kind) {
    if (kind < 0 || kind >= kMifKindCount) {
        return nullptr;
    }
    return kKeywords[kind];
}

int32_t SwapColor(int32_t value) {
    uint32_t v = static_cast<uint32_t>(value);
    uint32_t r = v & 0xFFu;
    uint32_t g = (v >> 8) & 0xFFu;
    uint32_t b = (v >> 16) & 0xFFu;
    return static_cast<int32_t>((r << 16) | (g << 8) | b);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

namespace {

bool Finite(const CNode& node) {
    return std::isfinite(node.x) && std::isfinite(node.y) && std::isfinite(node.z);
}

bool AllFinite(const std::vector<CNode>& nodes) {
    for (const CNode& node : nodes) {
        if (!Finite(node)) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool HasFiniteCoordinates(const CMifObject& record) {
    switch (record.kind) {
        case kMifPoint:
            return Finite(static_cast<const CMifPoint&>(record).point);
        case kMifLine: {
            auto& line = static_cast<const CMifLine&>(record);
            return Finite(line.start) && Finite(line.end);
        }
        case kMifPline:
            return AllFinite(static_cast<const CMifPline&>(record).nodes);
        case kMifRegion: {
            auto& region = static_cast<const CMifRegion&>(record);
            return AllFinite(region.nodes) && (!region.hasCenter || Finite(region.center));
        }
        case kMifRect:
        case kMifRoundRect:
        case kMifEllipse: {
            auto& rect = static_cast<const CMifRect&>(record);
            return Finite(rect.corner1) && Finite(rect.corner2);
        }
        case kMifArc: {
            auto& arc = static_cast<const CMifArc&>(record);
            return Finite(arc.corner1) && Finite(arc.corner2);
        }
        case kMifText: {
            auto& text = static_cast<const CMifText&>(record);
            return Finite(text.corner1) && Finite(text.corner2) &&
                   (text.labelLine == kLabelNone || Finite(text.labelPoint));
        }
        case kMifMultiPoint:
            return AllFinite(static_cast<const CMifMultiPoint&>(record).points);
        case kMifNone:
        case kMifCollection:
            break;
    }
    return true;
}

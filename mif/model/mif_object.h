#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// In-memory MIF objects: a tagged family of plain records. Every record starts with the kind
// field; code that treats kinds differently switches on it. No virtual functions.

enum MifObjectType : int32_t {
    kMifNone = 0,
    kMifPoint = 1,
    kMifLine = 2,
    kMifPline = 3,
    kMifRegion = 4,
    kMifRect = 5,
    kMifRoundRect = 6,
    kMifArc = 7,
    kMifEllipse = 8,
    kMifText = 9,
    kMifMultiPoint = 10,
    kMifCollection = 11,
};

constexpr int32_t kMifKindCount = 12;

// True for the codes 0 to 11 of the kinds.
constexpr bool IsMifObjectKind(int32_t kind) {
    return kind >= 0 && kind < kMifKindCount;
}

struct CNode {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

// Colours are 32-bit values in GDI order (red in the low byte); -1 marks an absent colour.
// Pen patterns: 1 draws nothing, 2 draws solid, the higher ones dash.
enum MifPenPattern : int32_t {
    kPenInvisible = 1,
    kPenSolid = 2,
};

struct CMifPen {
    int32_t width = 0;     // device pixels on import, the host width on export
    int32_t pattern = -1;  // -1: no pen clause
    int32_t color = 0;
};

// Brush patterns: 1 fills nothing (a hollow brush), 2 fills solid, the higher ones hatch.
enum MifBrushPattern : int32_t {
    kBrushHollow = 1,
    kBrushSolid = 2,
};

struct CMifBrush {
    int32_t pattern = -1;  // -1: no brush clause
    int32_t foreColor = 0;
    int32_t backColor = -1;  // -1: transparent background
};

// The three forms of a Symbol clause, told apart by their value counts (3, 6 and 4).
enum MifSymbolForm : int32_t {
    kSymbolNone = -1,  // no symbol clause
    kSymbolVector = 0,
    kSymbolFont = 1,
    kSymbolBitmap = 2,
};

struct CMifSymbol {
    MifSymbolForm form = kSymbolNone;
    int32_t shape = 0;
    int32_t color = 0;
    int32_t size = 0;
    std::string fontName;
    std::string fileName;
    int32_t style = 0;
    double rotation = 0.0;
};

// Bits of a Font clause's style value.
enum : int32_t {
    kFontBold = 1,
    kFontItalic = 2,
    kFontUnderline = 4,
    kFontShadow = 32,
};

struct CMifFont {
    std::string name;   // empty: no font clause
    int32_t style = 0;  // kFontBold, kFontItalic, kFontUnderline, kFontShadow and others
    int32_t size = 0;
    int32_t foreColor = 0;
    int32_t backColor = -1;
};

// The kind selects the record type; every operation that treats kinds differently switches on
// it, naming every kind and no default, so that the compiler points at each switch a new kind
// must join.
struct CMifObject {
    explicit CMifObject(MifObjectType k = kMifNone) : kind(k) {}
    MifObjectType kind;
};

struct CMifPoint : CMifObject {
    CMifPoint() : CMifObject(kMifPoint) {}
    CNode point;
    CMifSymbol symbol;
};

struct CMifLine : CMifObject {
    CMifLine() : CMifObject(kMifLine) {}
    CNode start;
    CNode end;
    CMifPen pen;
};

// Polylines and regions keep the nodes of all sections in one array; sectionStarts holds the
// index of each section's first node, ascending from 0.
struct CMifSections : CMifObject {
    explicit CMifSections(MifObjectType k) : CMifObject(k) {}

    void BeginSection() { sectionStarts.push_back(static_cast<int32_t>(nodes.size())); }
    int32_t GetSectionCount() const { return static_cast<int32_t>(sectionStarts.size()); }
    // Throws std::invalid_argument for a section index outside the sections.
    int32_t GetSectionNodeCount(int32_t i) const;
    // Node j of section i, or null past the last section or past the last node of the record.
    CNode* GetSectionNode(int32_t i, int32_t j);
    const CNode* GetSectionNode(int32_t i, int32_t j) const;

    std::vector<int32_t> sectionStarts;
    std::vector<CNode> nodes;
};

struct CMifPline : CMifSections {
    CMifPline() : CMifSections(kMifPline) {}
    bool smooth = false;
    CMifPen pen;
};

struct CMifRegion : CMifSections {
    CMifRegion() : CMifSections(kMifRegion) {}
    bool hasCenter = false;
    CNode center;
    CMifPen pen;
    CMifBrush brush;
};

struct CMifRect : CMifObject {
    CMifRect() : CMifObject(kMifRect) {}
    CNode corner1;
    CNode corner2;
    CMifPen pen;
    CMifBrush brush;

protected:
    explicit CMifRect(MifObjectType k) : CMifObject(k) {}
};

struct CMifRoundRect : CMifRect {
    CMifRoundRect() : CMifRect(kMifRoundRect) {}
    float radius = 0.0f;
};

struct CMifEllipse : CMifRect {
    CMifEllipse() : CMifRect(kMifEllipse) {}
};

struct CMifArc : CMifObject {
    CMifArc() : CMifObject(kMifArc) {}
    CNode corner1;
    CNode corner2;
    float startAngle = 0.0f;
    float endAngle = 0.0f;
    CMifPen pen;
};

// A Text's Justify clause.
enum MifJustify : int32_t {
    kJustifyNone = 0,  // no Justify clause
    kJustifyLeft = 1,
    kJustifyCenter = 2,
    kJustifyRight = 3,
};

// A Text's Label Line clause: a line from the text to its label point, plain or with an arrow.
enum MifLabelLine : int32_t {
    kLabelNone = 0,
    kLabelSimple = 1,
    kLabelArrow = 2,
};

struct CMifText : CMifObject {
    CMifText() : CMifObject(kMifText) {}
    CNode corner1;
    CNode corner2;
    std::string text;
    float spacing = 0.0f;
    MifJustify justify = kJustifyNone;
    float angle = 0.0f;
    MifLabelLine labelLine = kLabelNone;
    CNode labelPoint;
    CMifFont font;
};

struct CMifMultiPoint : CMifObject {
    CMifMultiPoint() : CMifObject(kMifMultiPoint) {}
    // The points alone, 24 bytes each: a MultiPoint may hold millions of them.
    std::vector<CNode> points;
    // One symbol for all the points.
    CMifSymbol symbol;
};

struct CMifCollection : CMifObject {
    CMifCollection() : CMifObject(kMifCollection) {}
    std::unique_ptr<CMifRegion> region;
    std::unique_ptr<CMifPline> pline;
    std::unique_ptr<CMifMultiPoint> multiPoint;

    int32_t GetPartCount() const {
        return (region ? 1 : 0) + (pline ? 1 : 0) + (multiPoint ? 1 : 0);
    }
};

// A new record of the kind with its defaults, or null for a kind outside 0 to 11.
CMifObject* CreateMifObject(int32_t kind);
// Destroys a record made by CreateMifObject according to its kind; null is accepted.
void DeleteMifObject(CMifObject* record);
// Gives a record made by CreateMifObject the defaults of its kind again, keeping the storage of
// its node and point arrays for the next object read into it.
void ClearMifObject(CMifObject& record);
// Nodes or points the record's arrays can hold without growing.
size_t MifObjectCapacity(const CMifObject& record);

// Deleter for owning a record in a std::unique_ptr.
struct CMifObjectDeleter {
    void operator()(CMifObject* record) const { DeleteMifObject(record); }
};
using CMifObjectPtr = std::unique_ptr<CMifObject, CMifObjectDeleter>;

// Records kept for reuse, so that reading or writing object after object does not make a record
// and grow its node array again for each: Take hands out a record last given back of the kind,
// cleared to its defaults with its arrays kept. A record of more than 65,536 nodes is freed when
// given back, and so is any record beyond 1,024 of its kind or 262,144 nodes in all, so that
// little is held between objects.
class CMifRecordPool {
public:
    // A record of the kind with its defaults; null for a kind outside 0 to 11.
    CMifObjectPtr Take(int32_t kind);
    void Give(CMifObjectPtr record);
    void Clear();

private:
    std::vector<CMifObjectPtr> spare[kMifKindCount];
    size_t spareNodes = 0;
};

// The kind whose keyword equals the word, ignoring case; -1 when none does.
int32_t MifObjectTypeFromKeyword(std::string_view word);
// The keyword of a kind ("None" ... "Collection"), or null outside 0 to 11.
const char* MifObjectKeyword(int32_t kind);

// True when every coordinate of the record is a finite number (a collection's parts are not
// looked at).
bool HasFiniteCoordinates(const CMifObject& record);

// Converts between GDI colour order and the MIF integer r*65536 + g*256 + b (both ways).
int32_t SwapColor(int32_t value);

// ASCII case-insensitive comparisons, independent of the locale.
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

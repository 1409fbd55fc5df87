#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "plugin/host/host_api.h"

// Drawing styles of the host.
//
// A style object (CXF_StyleObject) is reference counted: whoever is handed a reference releases
// it with Release(); the object is freed when the last reference goes. Each style object carries
// a 16-byte identifier that names the style it was made from, and four faces, one per kind of
// vector object: line, marker, polygon and text. Style records (VECTOR_*_STYLE) point at one face
// of a style object.
//
// Who holds references:
// - the style manager holds one on each of its default styles and line patterns and hands them
//   out borrowed (valid while the manager lives, no release by the caller);
// - a style set holds one on each style it stores and hands them out borrowed;
// - a vector object holds one on the style of its record (SetStyle), and every GetStyle hands
//   the caller a new reference to release;
// - a polygon element holds one on the style it was given; a layer on each legend style.

class CXF_StyleObject;
class CXF_StyleSet;

// Identifier of a style: 16 bytes, compared byte for byte. Bytes 0-7 hold a serial number unique
// in the process (little-endian), bytes 8-15 the text "fncStyle".
constexpr int XF_STYLE_ID_SIZE = 16;

// The face of a style object used by line objects.
class FNC_API CXF_StyleLine {
public:
    CXF_StyleObject* GetStyleObject() const { return owner; }
    // Dash and gap lengths in device pixels, alternating; empty for a solid line.
    const std::vector<double>& GetDashes() const { return dashes; }
    void SetDashes(std::vector<double> value) { dashes = std::move(value); }
    // A line style that draws nothing (still a style: it keeps its place in the pattern list).
    bool IsVisible() const { return visible; }
    void SetVisible(bool value) { visible = value; }

private:
    friend class CXF_StyleObject;
    CXF_StyleObject* owner = nullptr;
    std::vector<double> dashes;
    bool visible = true;
};

// The face of a style object used by point objects.
class FNC_API CXF_StyleMarker {
public:
    CXF_StyleObject* GetStyleObject() const { return owner; }
    // The host's marker shape number; 0 is a filled circle.
    int GetShape() const { return shape; }
    void SetShape(int value) { shape = value; }

private:
    friend class CXF_StyleObject;
    CXF_StyleObject* owner = nullptr;
    int shape = 0;
};

// The colour of a fill part that fills nothing: the element only outlines (a hollow polygon).
constexpr std::uint32_t XF_NO_COLOR = 0xFFFFFFFF;

// The fill part of a polygon element.
class FNC_API CXF_StyleFill {
public:
    // Colour in GDI order (red in the lowest byte), or XF_NO_COLOR: not filled.
    std::uint32_t GetColor() const { return color; }
    void SetColor(std::uint32_t value) { color = value; }
    bool HasColor() const { return color != XF_NO_COLOR; }

private:
    std::uint32_t color = 0xFFFFFF;
};

// One element of a polygon face, drawn in element order: an element that fills (it has a fill
// part) and/or outlines (it was given a line style).
class FNC_API CXF_StyleElement {
public:
    explicit CXF_StyleElement(bool fill = true, std::uint32_t fillColor = 0xFFFFFF);
    CXF_StyleElement(const CXF_StyleElement& other);
    CXF_StyleElement& operator=(const CXF_StyleElement& other);
    ~CXF_StyleElement();

    int IsFill() const { return fill ? 1 : 0; }
    // The fill part; null for an element that does not fill.
    CXF_StyleFill* GetFill() { return fill ? &fillPart : nullptr; }
    // The fill colour of a filling element, else the colour 0.
    std::uint32_t GetColor() const { return fill ? fillPart.GetColor() : 0; }

    // Gives the element a style to outline with (its line face is used); the element keeps a
    // reference to it and drops the one to the previous style. Null removes the outline.
    void SetStyleObject(CXF_StyleObject* style);
    CXF_StyleObject* GetStyleObject() const { return outline; }

private:
    bool fill;
    CXF_StyleFill fillPart;
    CXF_StyleObject* outline = nullptr;
};

// The face of a style object used by polygon and ellipse objects: a list of elements.
class FNC_API CXF_StylePolygon {
public:
    CXF_StylePolygon() = default;
    CXF_StylePolygon(const CXF_StylePolygon& other);
    CXF_StylePolygon& operator=(const CXF_StylePolygon& other);

    CXF_StyleObject* GetStyleObject() const { return owner; }
    int GetCount() const { return static_cast<int>(elements.size()); }
    // Element i, or null outside the list.
    CXF_StyleElement* GetElement(int i);
    const CXF_StyleElement* GetElement(int i) const;
    // Appends an element and returns it; the element stays where it is while more are added.
    CXF_StyleElement* AddElement(bool fill, std::uint32_t fillColor = 0xFFFFFF);
    void RemoveAllElements() { elements.clear(); }

private:
    friend class CXF_StyleObject;
    CXF_StyleObject* owner = nullptr;
    std::vector<std::unique_ptr<CXF_StyleElement>> elements;
};

// The drop shadow of a text face: drawn when either offset is not 0.
class FNC_API CXF_StyleShadow {
public:
    std::uint32_t GetColor() const { return color; }
    void SetColor(std::uint32_t value) { color = value; }
    double GetOffsetX() const { return offsetX; }
    double GetOffsetY() const { return offsetY; }
    void SetOffsets(double dx, double dy) {
        offsetX = dx;
        offsetY = dy;
    }

private:
    std::uint32_t color = 0;
    double offsetX = 0.0;
    double offsetY = 0.0;
};

// Text face flag bits.
constexpr unsigned XF_TEXT_BOLD = 1;
constexpr unsigned XF_TEXT_ITALIC = 2;
constexpr unsigned XF_TEXT_UNDERLINE = 8;

// Text face alignments.
enum : int { XF_ALIGN_LEFT = 0, XF_ALIGN_CENTER = 1, XF_ALIGN_RIGHT = 2 };

// The face of a style object used by text objects.
class FNC_API CXF_StyleText {
public:
    CXF_StyleObject* GetStyleObject() const { return owner; }
    const char* GetFaceName() const { return faceName.c_str(); }
    void SetFaceName(const char* name) { faceName = name != nullptr ? name : ""; }
    // Two integer settings that the host keeps for its text renderer (import gives 15 and 1).
    int GetSettingA() const { return settingA; }
    void SetSettingA(int value) { settingA = value; }
    int GetSettingB() const { return settingB; }
    void SetSettingB(int value) { settingB = value; }
    // XF_TEXT_BOLD, XF_TEXT_ITALIC, XF_TEXT_UNDERLINE.
    unsigned GetFlags() const { return flags; }
    void SetFlags(unsigned value) { flags = value; }
    // XF_ALIGN_LEFT, XF_ALIGN_CENTER, XF_ALIGN_RIGHT.
    int GetAlignment() const { return alignment; }
    void SetAlignment(int value) { alignment = value; }
    CXF_StyleShadow* GetShadow() { return &shadow; }

private:
    friend class CXF_StyleObject;
    CXF_StyleObject* owner = nullptr;
    std::string faceName = "Arial";
    int settingA = 0;
    int settingB = 0;
    unsigned flags = 0;
    int alignment = XF_ALIGN_CENTER;
    CXF_StyleShadow shadow;
};

class FNC_API CXF_StyleObject {
public:
    // A new style with a fresh identifier and one reference, held by the caller.
    static CXF_StyleObject* Create(const char* name = "");

    // A new style equal to this one, identifier included, with one reference for the caller.
    CXF_StyleObject* Clone() const;

    // Reference counting: AddRef returns the new count; Release returns the count left and frees
    // the object when it reaches 0.
    int AddRef();
    int Release();
    int GetRefCount() const { return refCount; }

    const unsigned char* GetIdentifier() const { return identifier; }
    // Byte-for-byte comparison of the identifiers; false when either is null.
    static bool SameIdentifier(const CXF_StyleObject* a, const CXF_StyleObject* b);
    // Same identifier, name, values and faces (polygon elements compare their outline styles by
    // address).
    bool SameContent(const CXF_StyleObject& other) const;
    std::size_t ContentHash() const;

    const char* GetName() const { return name.c_str(); }
    void SetName(const char* value) { name = value != nullptr ? value : ""; }
    // Two values the host keeps with a style. For the manager's line patterns the integer is the
    // width factor (1); a legend stores both with its style.
    std::uint32_t GetUIntValue() const { return uintValue; }
    void SetUIntValue(std::uint32_t value) { uintValue = value; }
    int GetIntValue() const { return intValue; }
    void SetIntValue(int value) { intValue = value; }

    CXF_StyleLine* GetLine() { return &line; }
    CXF_StyleMarker* GetMarker() { return &marker; }
    CXF_StylePolygon* GetPolygon() { return &polygon; }
    CXF_StyleText* GetText() { return &text; }

    CXF_StyleObject(const CXF_StyleObject&) = delete;
    CXF_StyleObject& operator=(const CXF_StyleObject&) = delete;

private:
    friend class CXF_StyleSet;
    CXF_StyleObject();
    ~CXF_StyleObject();
    void AttachFaces();
    // Takes the identifier, name, values and faces of another style.
    void CopyContent(const CXF_StyleObject& from);

    CXF_StyleSet* ownerSet = nullptr;  // the set holding it, while it does
    std::size_t setIndex = 0;          // its place in ownerSet->styles
    bool isShared = false;             // kept by ownerSet for every equal object

    unsigned char identifier[XF_STYLE_ID_SIZE];
    int refCount = 1;
    std::string name;
    std::uint32_t uintValue = 0;
    int intValue = 0;
    CXF_StyleLine line;
    CXF_StyleMarker marker;
    CXF_StylePolygon polygon;
    CXF_StyleText text;
};

// The styles of one vector layer.
//
// Add makes a copy per call (the caller may change it before giving it to an object). When an
// object is stored in the layer (Cgeo_VectorObjectStream::AddObject), the stored copy takes the
// set's shared style equal to its own (Share), so a million objects drawn alike hold one style;
// treat the styles of stored objects as read-only. A copy that only the set still holds after
// someone else held it is freed at once.
class FNC_API CXF_StyleSet {
public:
    CXF_StyleSet() = default;
    ~CXF_StyleSet();
    CXF_StyleSet(const CXF_StyleSet&) = delete;
    CXF_StyleSet& operator=(const CXF_StyleSet&) = delete;

    // Stores a copy of the style that keeps its identifier and returns the copy, borrowed: the set
    // holds it while it is used. Every call makes a new copy, so objects registered from one
    // source share the identifier and still keep their own colours. Null gives null.
    CXF_StyleObject* Add(CXF_StyleObject* source);

    // The set's shared style equal to style (identifier and content), borrowed. A style of this
    // set becomes the shared one when none is equal yet; a style of another set or of none is
    // returned unchanged. Null gives null.
    CXF_StyleObject* Share(CXF_StyleObject* style);

    int GetCount() const { return static_cast<int>(styles.size()); }
    // Style i, borrowed, or null outside the list; the order changes as copies are freed.
    CXF_StyleObject* GetAt(int i);

private:
    friend class CXF_StyleObject;
    void Drop(CXF_StyleObject* style);

    std::vector<CXF_StyleObject*> styles;
    std::unordered_multimap<std::size_t, CXF_StyleObject*> shared;  // by content hash
    // Freed copies kept for reuse by Add, no reference held on them.
    static constexpr size_t kMaxSpares = 8;
    std::vector<CXF_StyleObject*> spares;
};

// The application's style manager: default styles and the list of line patterns.
//
// The standard list has XF_LINE_PATTERN_COUNT (128) entries. Entry 0 is an invisible line, entry
// 1 the solid line (also the default line style), entries 2 to 117 dashed lines whose dash
// lengths follow from the index (see hostlib/style.cpp), entries 118 to 127 are null. Every
// entry's width factor (its integer value) is 1.
constexpr int XF_LINE_PATTERN_COUNT = 128;
constexpr int XF_LINE_PATTERN_DEFINED = 118;

class FNC_API CXF_ManagerVectorStyle {
public:
    // standard: the default styles and the standard line pattern list; otherwise none of them
    // (tests add what they need with the setters).
    explicit CXF_ManagerVectorStyle(bool standard = true);
    ~CXF_ManagerVectorStyle();
    CXF_ManagerVectorStyle(const CXF_ManagerVectorStyle&) = delete;
    CXF_ManagerVectorStyle& operator=(const CXF_ManagerVectorStyle&) = delete;

    // The default styles, borrowed; null when the manager has none.
    CXF_StyleObject* GetDefaultLineStyle() const { return defaultLine; }
    CXF_StyleObject* GetDefaultMarkerStyle() const { return defaultMarker; }
    CXF_StyleObject* GetDefaultPolygonStyle() const { return defaultPolygon; }
    CXF_StyleObject* GetDefaultTextStyle() const { return defaultText; }

    // The line pattern list: XF_LINE_PATTERN_COUNT entries, borrowed, some null; null when the
    // manager has no list.
    const std::vector<CXF_StyleObject*>* GetLinePatterns() const;

    // Setters take over the caller's reference (null clears) and release the previous style.
    void SetDefaultLineStyle(CXF_StyleObject* style);
    void SetDefaultMarkerStyle(CXF_StyleObject* style);
    void SetDefaultPolygonStyle(CXF_StyleObject* style);
    void SetDefaultTextStyle(CXF_StyleObject* style);
    // Makes the list (all null) when there is none, then sets entry i (0 to 127).
    void SetLinePattern(int i, CXF_StyleObject* style);
    void RemoveLinePatterns();

private:
    CXF_StyleObject* defaultLine = nullptr;
    CXF_StyleObject* defaultMarker = nullptr;
    CXF_StyleObject* defaultPolygon = nullptr;
    CXF_StyleObject* defaultText = nullptr;
    std::unique_ptr<std::vector<CXF_StyleObject*>> patterns;
};

// Style records of vector objects. Colours are 32-bit GDI colours (red in the lowest byte);
// -1 (all bits set) marks an absent colour. The face pointer names the style; a record handed to
// SetStyle is copied, and GetStyle hands out one reference to the face's style object, which the
// caller releases (face->GetStyleObject()->Release()) when the face is not null.
struct VECTOR_POINT_STYLE {
    std::uint32_t color;  // symbol colour
    std::uint32_t size;   // symbol size, device pixels
    double sizeValue;     // the size as a double
    double angle;         // symbol rotation, degrees
    std::int32_t flags;   // host drawing flags
    CXF_StyleMarker* style;
};

struct VECTOR_LINE_STYLE {
    std::uint32_t color;  // line colour
    std::uint32_t width;  // line width, device pixels
    double widthValue;    // the width as a double; 0.0 draws with the integer width
    std::int32_t flags;   // host drawing flags
    CXF_StyleLine* style;
};

struct VECTOR_POLYGON_STYLE {
    std::uint32_t color;  // outline colour
    std::uint32_t width;  // outline width
    double widthValue;    // the width as a double
    std::int32_t flags;   // host drawing flags
    CXF_StylePolygon* style;
};

struct VECTOR_ELLIPSE_STYLE {
    std::uint32_t color;  // outline colour
    std::uint32_t width;  // outline width
    double widthValue;    // the width as a double
    std::int32_t flags;   // host drawing flags
    CXF_StylePolygon* style;
};

struct VECTOR_TEXT_STYLE {
    std::uint32_t color;  // text colour
    std::uint32_t size;   // font size
    double height;        // text height, map units
    double angle;         // rotation, degrees
    std::int32_t flags;   // host drawing flags (import gives 1)
    CXF_StyleText* style;
};

// The desktop application's library is a 32-bit build (i686, 32-bit pointers); there the records
// have these offsets, which the 32-bit Windows build checks as it compiles.
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(offsetof(VECTOR_POINT_STYLE, size) == 4, "point record layout");
static_assert(offsetof(VECTOR_POINT_STYLE, sizeValue) == 8, "point record layout");
static_assert(offsetof(VECTOR_POINT_STYLE, angle) == 16, "point record layout");
static_assert(offsetof(VECTOR_POINT_STYLE, flags) == 24, "point record layout");
static_assert(offsetof(VECTOR_POINT_STYLE, style) == 28, "point record layout");
static_assert(sizeof(VECTOR_POINT_STYLE) == 32, "point record layout");
static_assert(offsetof(VECTOR_LINE_STYLE, width) == 4, "line record layout");
static_assert(offsetof(VECTOR_LINE_STYLE, widthValue) == 8, "line record layout");
static_assert(offsetof(VECTOR_LINE_STYLE, flags) == 16, "line record layout");
static_assert(offsetof(VECTOR_LINE_STYLE, style) == 20, "line record layout");
static_assert(sizeof(VECTOR_LINE_STYLE) == 24, "line record layout");
static_assert(offsetof(VECTOR_POLYGON_STYLE, width) == 4, "polygon record layout");
static_assert(offsetof(VECTOR_POLYGON_STYLE, widthValue) == 8, "polygon record layout");
static_assert(offsetof(VECTOR_POLYGON_STYLE, flags) == 16, "polygon record layout");
static_assert(offsetof(VECTOR_POLYGON_STYLE, style) == 20, "polygon record layout");
static_assert(sizeof(VECTOR_POLYGON_STYLE) == 24, "polygon record layout");
static_assert(offsetof(VECTOR_ELLIPSE_STYLE, width) == 4, "ellipse record layout");
static_assert(offsetof(VECTOR_ELLIPSE_STYLE, widthValue) == 8, "ellipse record layout");
static_assert(offsetof(VECTOR_ELLIPSE_STYLE, flags) == 16, "ellipse record layout");
static_assert(offsetof(VECTOR_ELLIPSE_STYLE, style) == 20, "ellipse record layout");
static_assert(sizeof(VECTOR_ELLIPSE_STYLE) == 24, "ellipse record layout");
static_assert(offsetof(VECTOR_TEXT_STYLE, size) == 4, "text record layout");
static_assert(offsetof(VECTOR_TEXT_STYLE, height) == 8, "text record layout");
static_assert(offsetof(VECTOR_TEXT_STYLE, angle) == 16, "text record layout");
static_assert(offsetof(VECTOR_TEXT_STYLE, flags) == 24, "text record layout");
static_assert(offsetof(VECTOR_TEXT_STYLE, style) == 28, "text record layout");
static_assert(sizeof(VECTOR_TEXT_STYLE) == 32, "text record layout");
#endif
// The fields before the pointer keep their offsets in every build.
static_assert(offsetof(VECTOR_POINT_STYLE, flags) == 24, "point record layout");
static_assert(offsetof(VECTOR_LINE_STYLE, flags) == 16, "line record layout");
static_assert(offsetof(VECTOR_TEXT_STYLE, flags) == 24, "text record layout");

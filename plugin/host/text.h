#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "plugin/host/host_api.h"
#include "plugin/host/records.h"

// Font of one run of text (laid out as a GDI logical font preceded by the run's colour).
struct tagXF_FONT_ATTRIBUTES {
    std::uint32_t color;       // text colour of the run, GDI order
    std::int32_t height;       // character height, drawing units
    std::int32_t width;        // average character width, 0 for the font's own
    std::int32_t escapement;   // tenths of a degree
    std::int32_t orientation;  // tenths of a degree
    std::int32_t weight;       // 400 normal, 700 bold
    std::uint8_t italic;       // non-zero when set
    std::uint8_t underline;    // non-zero when set
    std::uint8_t strikeOut;    // non-zero when set
    std::uint8_t charSet;
    std::uint8_t outPrecision;
    std::uint8_t clipPrecision;
    std::uint8_t quality;
    std::uint8_t pitchAndFamily;
    char faceName[32];  // zero-terminated
};
static_assert(offsetof(tagXF_FONT_ATTRIBUTES, weight) == 20, "font record layout");
static_assert(offsetof(tagXF_FONT_ATTRIBUTES, italic) == 24, "font record layout");
static_assert(offsetof(tagXF_FONT_ATTRIBUTES, underline) == 25, "font record layout");
static_assert(offsetof(tagXF_FONT_ATTRIBUTES, faceName) == 32, "font record layout");
static_assert(sizeof(tagXF_FONT_ATTRIBUTES) == 64, "font record layout");

// GDI text-alignment values used by XF_TEXT_ATTRIBUTES::alignment.
constexpr std::int32_t XF_TA_LEFT = 0;
constexpr std::int32_t XF_TA_RIGHT = 2;
constexpr std::int32_t XF_TA_CENTER = 6;

// Paragraph settings of a text item.
struct XF_TEXT_ATTRIBUTES {
    std::uint32_t mask;              // which settings the item defines; the host fills all
    std::int32_t lineSpacing;        // percent of the line height
    std::int32_t charSpacing;        // drawing units added between characters
    std::int32_t direction;          // 0 left to right
    std::int32_t alignment;          // XF_TA_LEFT, XF_TA_RIGHT, XF_TA_CENTER
    std::int32_t verticalAlignment;  // 0 top, 1 centre, 2 bottom
    std::uint32_t textColor;         // default colour of the runs, GDI order
    std::int32_t backMode;           // 1 transparent, 2 opaque
    std::uint32_t backColor;         // background colour, GDI order
    std::uint32_t frameColor;        // frame colour, GDI order
    double frameWidth;               // drawing units; 0 for no frame
    double marginX;                  // drawing units
    double marginY;                  // drawing units
    double scaleX;                   // map units per drawing unit, horizontally
    double scaleY;                   // map units per drawing unit, vertically
};
static_assert(offsetof(XF_TEXT_ATTRIBUTES, alignment) == 16, "text attributes layout");
static_assert(offsetof(XF_TEXT_ATTRIBUTES, backColor) == 32, "text attributes layout");
static_assert(offsetof(XF_TEXT_ATTRIBUTES, scaleX) == 64, "text attributes layout");
static_assert(offsetof(XF_TEXT_ATTRIBUTES, scaleY) == 72, "text attributes layout");
static_assert(sizeof(XF_TEXT_ATTRIBUTES) == 80, "text attributes layout");

// A font with the given face name, weight 400, nothing else set.
FNC_API tagXF_FONT_ATTRIBUTES XF_MakeFontAttributes(const char* faceName, std::int32_t weight = 400,
                                                    bool italic = false, bool underline = false);
// Paragraph settings: left aligned, opaque white background, scales 1.
FNC_API XF_TEXT_ATTRIBUTES XF_MakeTextAttributes();

// One run of a line: a string drawn in one font.
class FNC_API Cgeo_PartItem {
public:
    Cgeo_PartItem(const char* text, const tagXF_FONT_ATTRIBUTES& font);
    // The run's text, zero-terminated.
    const char* GetString() const { return text.c_str(); }
    // Copies the run's font into attributes (nothing for null).
    void GetAttributes(tagXF_FONT_ATTRIBUTES* attributes) const;
    const tagXF_FONT_ATTRIBUTES& GetFont() const { return font; }

private:
    std::string text;
    tagXF_FONT_ATTRIBUTES font;
};

// One line of a text item: its runs in drawing order.
class FNC_API Cgeo_LineItem {
public:
    int GetPartsCount() const { return static_cast<int>(parts.size()); }
    // Run j, or null outside the list.
    Cgeo_PartItem* GetPart(int j);
    // Builder: appends a run and returns it.
    Cgeo_PartItem* AddPart(const char* text, const tagXF_FONT_ATTRIBUTES& font);

private:
    // One allocation per entry, here and in the other lists of text items, so that a pointer a
    // builder handed out stays valid while more entries are added.
    std::vector<std::unique_ptr<Cgeo_PartItem>> parts;
};

// Places an item's drawing on the map: the drawing point GetCenterImage lies on the item's
// binding point.
class FNC_API CTrasformFUNC {
public:
    CXF_Point3DD GetCenterImage() const { return center; }
    void SetCenterImage(const CXF_Point3DD& point) { center = point; }

private:
    CXF_Point3DD center;
};

// The transforms of a text item, applied in order. Every item has at least one.
class FNC_API Cgeo_TextTransform {
public:
    Cgeo_TextTransform();
    int GetCount() const { return static_cast<int>(transforms.size()); }
    // Transform i, or null outside the list.
    CTrasformFUNC* GetTransformType(int i);
    // Builder: appends a transform and returns it.
    CTrasformFUNC* AddTransform();

private:
    std::vector<std::unique_ptr<CTrasformFUNC>> transforms;
};

// One text placed on the map: lines of runs drawn in the item's own drawing coordinates, placed
// by its transforms at its binding point, turned by its angle.
class FNC_API Cgeo_TextItem {
public:
    Cgeo_TextItem();

    int GetLinesCount() const { return static_cast<int>(lines.size()); }
    // Line i, or null outside the list.
    Cgeo_LineItem* GetLine(int i);
    // Copies the paragraph settings into attributes (nothing for null); flags: pass 0.
    void GetAttributes(XF_TEXT_ATTRIBUTES* attributes, int flags) const;
    // The item's rectangle in drawing coordinates (x1, y1, x2, y2; z values 0).
    CXF_Rect3DD GetRect() const { return rect; }
    // The map point the item is bound to.
    CXF_Point3DD GetBinding() const { return binding; }
    Cgeo_TextTransform* GetTransforms() { return &transforms; }
    // Rotation in degrees, counter-clockwise.
    double GetAngle() const { return angle; }
    // Non-zero when the item is drawn without background.
    int GetTransparent() const { return transparent ? 1 : 0; }

    // Builders.
    Cgeo_LineItem* AddLine();
    void SetAttributes(const XF_TEXT_ATTRIBUTES& value) { attributes = value; }
    void SetRect(const CXF_Rect3DD& value) { rect = value; }
    void SetBinding(const CXF_Point3DD& value) { binding = value; }
    void SetAngle(double value) { angle = value; }
    void SetTransparent(bool value) { transparent = value; }

private:
    std::vector<std::unique_ptr<Cgeo_LineItem>> lines;
    XF_TEXT_ATTRIBUTES attributes;
    CXF_Rect3DD rect;
    CXF_Point3DD binding;
    Cgeo_TextTransform transforms;
    double angle = 0.0;
    bool transparent = false;
};

// The text contents of a text layer: text items placed on the map.
class FNC_API Cgeo_Text {
public:
    Cgeo_Text();
    ~Cgeo_Text();
    Cgeo_Text(const Cgeo_Text&) = delete;
    Cgeo_Text& operator=(const Cgeo_Text&) = delete;

    int GetCount() const { return static_cast<int>(items.size()); }
    // Item i, or null outside the list.
    Cgeo_TextItem* GetAt(int i);
    // Builder: appends an empty item (one transform, no lines) and returns it.
    Cgeo_TextItem* AddItem();

private:
    std::vector<std::unique_ptr<Cgeo_TextItem>> items;
};

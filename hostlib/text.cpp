#include "plugin/host/text.h"

#include <cstring>

tagXF_FONT_ATTRIBUTES XF_MakeFontAttributes(const char* faceName, std::int32_t weight, bool italic,
                                            bool underline) {
    tagXF_FONT_ATTRIBUTES font;
    std::memset(&font, 0, sizeof font);
    font.weight = weight;
    font.italic = italic ? 1 : 0;
    font.underline = underline ? 1 : 0;
    if (faceName != nullptr) {
        std::strncpy(font.faceName, faceName, sizeof font.faceName - 1);
    }
    return font;
}

XF_TEXT_ATTRIBUTES XF_MakeTextAttributes() {
    XF_TEXT_ATTRIBUTES attributes;
    std::memset(&attributes, 0, sizeof attributes);
    attributes.mask = 0xFFFFFFFFu;
    attributes.lineSpacing = 100;
    attributes.alignment = XF_TA_LEFT;
    attributes.backMode = 2;
    attributes.backColor = 0xFFFFFF;
    attributes.scaleX = 1.0;
    attributes.scaleY = 1.0;
    return attributes;
}

Cgeo_PartItem::Cgeo_PartItem(const char* value, const tagXF_FONT_ATTRIBUTES& attributes)
    : text(value != nullptr ? value : ""), font(attributes) {
    font.faceName[sizeof font.faceName - 1] = '\0';
}

void Cgeo_PartItem::GetAttributes(tagXF_FONT_ATTRIBUTES* attributes) const {
    if (attributes != nullptr) {
        *attributes = font;
    }
}

Cgeo_PartItem* Cgeo_LineItem::GetPart(int j) {
    if (j < 0 || j >= GetPartsCount()) {
        return nullptr;
    }
    return parts[static_cast<size_t>(j)].get();
}

Cgeo_PartItem* Cgeo_LineItem::AddPart(const char* text, const tagXF_FONT_ATTRIBUTES& font) {
    parts.push_back(std::make_unique<Cgeo_PartItem>(text, font));
    return parts.back().get();
}

Cgeo_TextTransform::Cgeo_TextTransform() {
    AddTransform();
}

CTrasformFUNC* Cgeo_TextTransform::GetTransformType(int i) {
    if (i < 0 || i >= GetCount()) {
        return nullptr;
    }
    return transforms[static_cast<size_t>(i)].get();
}

CTrasformFUNC* Cgeo_TextTransform::AddTransform() {
    transforms.push_back(std::make_unique<CTrasformFUNC>());
    return transforms.back().get();
}

Cgeo_TextItem::Cgeo_TextItem() : attributes(XF_MakeTextAttributes()) {}

Cgeo_LineItem* Cgeo_TextItem::GetLine(int i) {
    if (i < 0 || i >= GetLinesCount()) {
        return nullptr;
    }
    return lines[static_cast<size_t>(i)].get();
}

void Cgeo_TextItem::GetAttributes(XF_TEXT_ATTRIBUTES* out, int) const {
    if (out != nullptr) {
        *out = attributes;
    }
}

Cgeo_LineItem* Cgeo_TextItem::AddLine() {
    lines.push_back(std::make_unique<Cgeo_LineItem>());
    return lines.back().get();
}

Cgeo_Text::Cgeo_Text() = default;
Cgeo_Text::~Cgeo_Text() = default;

Cgeo_TextItem* Cgeo_Text::GetAt(int i) {
    if (i < 0 || i >= GetCount()) {
        return nullptr;
    }
    return items[static_cast<size_t>(i)].get();
}

Cgeo_TextItem* Cgeo_Text::AddItem() {
    items.push_back(std::make_unique<Cgeo_TextItem>());
    return items.back().get();
}

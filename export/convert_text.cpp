#include <cstring>

#include "convert/text_style.h"
#include "export/export.h"
#include "mif/model/mif_object.h"
#include "plugin/host/fnc_string.h"
#include "plugin/host/text.h"

namespace {

// The face name of a font record: at most its 32 bytes, even when no zero ends it.
std::string FaceName(const tagXF_FONT_ATTRIBUTES& font) {
    const char* name = font.faceName;
    const void* end = std::memchr(name, '\0', sizeof font.faceName);
    size_t length = end != nullptr ? static_cast<size_t>(static_cast<const char*>(end) - name)
                                   : sizeof font.faceName;
    return std::string(name, length);
}

}  // namespace

CMifObject* ConvertTextItem(Cgeo_TextItem* item) {
    if (item == nullptr || item->GetLinesCount() <= 0) {
        return nullptr;
    }
    CMifObjectPtr holder(CreateMifObject(kMifText));
    auto* record = static_cast<CMifText*>(holder.get());

    XF_TEXT_ATTRIBUTES attributes;
    std::memset(&attributes, 0, sizeof attributes);
    item->GetAttributes(&attributes, 0);
    record->justify =
        JustifyFromAlignment(attributes.alignment, XF_TA_LEFT, XF_TA_CENTER, XF_TA_RIGHT);

    // A drawing point (u, v) lies at binding + (u - centre) * scale on the map.
    CXF_Rect3DD rect = item->GetRect();
    CXF_Point3DD binding = item->GetBinding();
    CXF_Point3DD centre;
    Cgeo_TextTransform* transforms = item->GetTransforms();
    CTrasformFUNC* first = transforms != nullptr ? transforms->GetTransformType(0) : nullptr;
    if (first != nullptr) {
        centre = first->GetCenterImage();
    }
    record->corner1 = CNode{binding.x + (rect.x1 - centre.x) * attributes.scaleX,
                            binding.y + (rect.y1 - centre.y) * attributes.scaleY, 0.0};
    record->corner2 = CNode{binding.x + (rect.x2 - centre.x) * attributes.scaleX,
                            binding.y + (rect.y2 - centre.y) * attributes.scaleY, 0.0};
    record->angle = static_cast<float>(item->GetAngle());

    // The font of the whole item comes from the first part, in line and part order, that names
    // a face.
    tagXF_FONT_ATTRIBUTES font;
    std::memset(&font, 0, sizeof font);
    std::string faceName;
    bool transparent = item->GetTransparent() != 0;
    for (int i = 0; i < item->GetLinesCount(); ++i) {
        Cgeo_LineItem* line = item->GetLine(i);
        if (line == nullptr || line->GetPartsCount() <= 0) {
            continue;
        }
        if (i > 0) {
            record->text.append("\\n", 2);
        }
        for (int j = 0; j < line->GetPartsCount(); ++j) {
            Cgeo_PartItem* part = line->GetPart(j);
            // Escaped as the text of a vector text object is, so that a backslash in a run
            // cannot turn into a line break when the file is read.
            if (part != nullptr && part->GetString() != nullptr) {
                record->text += fncString::ConvertSequencesToString(part->GetString(), "\r");
            }
        }
        for (int j = 0; faceName.empty() && j < line->GetPartsCount(); ++j) {
            if (Cgeo_PartItem* part = line->GetPart(j); part != nullptr) {
                part->GetAttributes(&font);
                faceName = FaceName(font);
            }
        }
        record->font.name = faceName;
        record->font.style = (font.weight >= 700 ? kFontBold : 0) +
                             (font.italic != 0 ? kFontItalic : 0) +
                             (font.underline != 0 ? kFontUnderline : 0);
        record->font.size = 0;
        // The runs' colour is the one the item draws its text in.
        record->font.foreColor = static_cast<int32_t>(font.color);
        if (!transparent) {
            record->font.backColor = static_cast<int32_t>(attributes.backColor);
        }
    }
    if (!HasFiniteCoordinates(*record)) {
        // Written as nan or inf, no reader would take the file.
        holder.reset(CreateMifObject(kMifNone));
    }
    return holder.release();
}

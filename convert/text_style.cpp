#include "convert/text_style.h"

#include "plugin/host/style.h"

MifJustify JustifyFromAlignment(int alignment, int left, int center, int right) {
    if (alignment == left) {
        return kJustifyLeft;
    }
    if (alignment == center) {
        return kJustifyCenter;
    }
    if (alignment == right) {
        return kJustifyRight;
    }
    return kJustifyNone;
}

int AlignmentFromJustify(MifJustify justify) {
    switch (justify) {
        case kJustifyLeft:
            return XF_ALIGN_LEFT;
        case kJustifyRight:
            return XF_ALIGN_RIGHT;
        case kJustifyNone:
        case kJustifyCenter:
            break;
    }
    return XF_ALIGN_CENTER;
}

unsigned TextFlagsFromFontStyle(int32_t fontStyle) {
    auto bits = static_cast<unsigned>(fontStyle);
    return ((bits & kFontBold) != 0 ? XF_TEXT_BOLD : 0u) |
           ((bits & kFontItalic) != 0 ? XF_TEXT_ITALIC : 0u) |
           ((bits & kFontUnderline) != 0 ? XF_TEXT_UNDERLINE : 0u);
}

int32_t FontStyleFromTextFlags(unsigned flags) {
    return ((flags & XF_TEXT_BOLD) != 0 ? kFontBold : 0) +
           ((flags & XF_TEXT_ITALIC) != 0 ? kFontItalic : 0) +
           ((flags & XF_TEXT_UNDERLINE) != 0 ? kFontUnderline : 0);
}

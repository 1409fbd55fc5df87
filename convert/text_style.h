#pragma once

#include <cstdint>

#include "mif/model/mif_object.h"

// Text justification and font styles between MIF texts and the host's text styles, both ways.

// The MIF justification of a host alignment, given the host's values for left, centre and right
// (a text style's XF_ALIGN_* or a text layer item's XF_TA_*); kJustifyNone for any other value.
MifJustify JustifyFromAlignment(int alignment, int left, int center, int right);
// The host text style's alignment (XF_ALIGN_*) of a MIF justification: a text without one is
// centred, as its anchor is the centre of its box.
int AlignmentFromJustify(MifJustify justify);

// The host text style's flags (XF_TEXT_*) of a MIF font style's bold, italic and underline bits.
unsigned TextFlagsFromFontStyle(int32_t fontStyle);
// The MIF font style bits of the host text style's flags.
int32_t FontStyleFromTextFlags(unsigned flags);

#pragma once

#include "tools/mifhost/codepage.h"
#include "tools/mifhost/json_out.h"

class Cgeo_Vector;

// Draws the layer to scale as an SVG picture widthPixels wide: lines, outlines and fills with
// their colours and widths, points as symbols of their size, ellipses, and texts turned by their
// angle at their height.
void WriteSvg(BufferedOut& out, Cgeo_Vector* vector, int widthPixels, const CodePage& codePage);

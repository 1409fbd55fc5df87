#pragma once

#include "tools/mifhost/codepage.h"
#include "tools/mifhost/json_out.h"

class Cgeo_Vector;

// Draws the layer to scale as an SVG picture at most widthPixels wide and heightPixels high:
// lines, outlines and fills with their colours and widths, points as symbols of their size,
// ellipses, and texts in their boxes turned by their angle. Every text and symbol lies inside
// the picture. Stops and returns false when *cancel becomes non-zero.
bool WriteSvg(BufferedOut& out, Cgeo_Vector* vector, int widthPixels, int heightPixels,
              const CodePage& codePage, const volatile int* cancel);

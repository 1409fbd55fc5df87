#pragma once

#include <cstdint>

// Pen widths between MIF files and the host, the one place that converts them: a MIF pen is 1 to
// 7 pixels wide, or 11 to 2047 for 10 plus tenths of a point; the host counts device pixels.

// The points-to-pixels factor of the screen the host draws on (its main frame's vertical
// resolution over 72), or 96/72 when the host has no screen to ask.
double ScreenPixelsPerPoint();

// The host width of a MIF pen width: pixels as they are, points at pixelsPerPoint rounded half up,
// and 1 for any other value (0 among them).
int32_t PenWidthToPixels(int32_t mifWidth, double pixelsPerPoint);

// The MIF pen width of a host width in pixels: up to 7 pixels as it is; a wider pen in the point
// form at 96 pixels to the inch, since every reader takes 11 and more as points. The point form
// ends at 2047 (about 272 pixels).
int32_t PenWidthFromPixels(uint32_t pixels);

// A double cut toward zero to a 32-bit integer, at the limits when it is beyond them; 0 for a value
// that is not a number.
int32_t SaturateToInt32(double value);

#include "convert/pen_width.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "plugin/host/app.h"
#include "plugin/host/main_frame.h"

namespace {

constexpr double kDefaultPixelsPerPoint = 96.0 / 72.0;
constexpr int32_t kMaxPixelWidth = 7;
constexpr int32_t kPointFormBase = 10;
constexpr int32_t kPointFormMax = 2047;
// Tenths of a point per pixel at 96 pixels to the inch: 72 / 96 * 10.
constexpr double kTenthsPerPixel = 7.5;

}  // namespace

double ScreenPixelsPerPoint() {
    CGEO geo;
    Cgeo_MainFrame* frame = geo.GetMainFrame();
    if (frame == nullptr) {
        return kDefaultPixelsPerPoint;
    }
    HDC dc = frame->GetDC();
    int pixelsPerInch = GetDeviceCaps(dc, LOGPIXELSY);
    frame->ReleaseDC(dc);
    return pixelsPerInch > 0 ? pixelsPerInch / 72.0 : kDefaultPixelsPerPoint;
}

int32_t PenWidthToPixels(int32_t mifWidth, double pixelsPerPoint) {
    if (mifWidth >= 1 && mifWidth <= kMaxPixelWidth) {
        return mifWidth;
    }
    if (mifWidth > kPointFormBase && mifWidth <= kPointFormMax) {
        // 10 + tenths of a point, to device pixels, rounded half up.
        double points = (mifWidth - kPointFormBase) / 10.0;
        return SaturateToInt32(points * pixelsPerPoint + 0.5);
    }
    return 1;
}

int32_t PenWidthFromPixels(uint32_t pixels) {
    if (pixels <= static_cast<uint32_t>(kMaxPixelWidth)) {
        return static_cast<int32_t>(pixels);
    }
    double tenths = std::round(pixels * kTenthsPerPixel);
    return kPointFormBase +
           static_cast<int32_t>(std::min(tenths, double{kPointFormMax - kPointFormBase}));
}

int32_t SaturateToInt32(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= 2147483647.0) {
        return std::numeric_limits<int32_t>::max();
    }
    if (value <= -2147483648.0) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(value);
}

#pragma once

// Plain geometry records shared by every host interface; all values are 64-bit floats.

struct tagXF_POINT3DD {
    double x;
    double y;
    double z;
};

struct CXF_Point3DD : tagXF_POINT3DD {
    CXF_Point3DD() : tagXF_POINT3DD{0.0, 0.0, 0.0} {}
    CXF_Point3DD(double px, double py, double pz = 0.0) : tagXF_POINT3DD{px, py, pz} {}
    CXF_Point3DD(const tagXF_POINT3DD& p) : tagXF_POINT3DD(p) {}  // NOLINT: implicit on purpose
};

struct CXF_RectD {
    double x1;
    double y1;
    double x2;
    double y2;
};

struct tagXF_RECT3DD {
    double x1;
    double y1;
    double x2;
    double y2;
    double z1;
    double z2;
};

struct CXF_Rect3DD : tagXF_RECT3DD {
    CXF_Rect3DD() : tagXF_RECT3DD{0.0, 0.0, 0.0, 0.0, 0.0, 0.0} {}
    CXF_Rect3DD(double ax1, double ay1, double ax2, double ay2, double az1 = 0.0, double az2 = 0.0)
        : tagXF_RECT3DD{ax1, ay1, ax2, ay2, az1, az2} {}
    CXF_Rect3DD(const tagXF_RECT3DD& r) : tagXF_RECT3DD(r) {}  // NOLINT: implicit on purpose
};

static_assert(sizeof(tagXF_POINT3DD) == 24, "three doubles back to back");
static_assert(sizeof(CXF_RectD) == 32, "four doubles back to back");
static_assert(sizeof(tagXF_RECT3DD) == 48, "six doubles back to back");

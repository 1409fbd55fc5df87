#pragma once

#include "plugin/host/host_api.h"

// The vector contents of a layer: objects, attribute table, styles.
class FNC_API Cgeo_Vector {
public:
    Cgeo_Vector();
    ~Cgeo_Vector();
};

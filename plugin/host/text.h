#pragma once

#include "plugin/host/host_api.h"

// The text contents of a text layer: text items placed on the map.
class FNC_API Cgeo_Text {
public:
    Cgeo_Text();
    ~Cgeo_Text();
};

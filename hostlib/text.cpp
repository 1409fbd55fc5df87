#include "plugin/host/text.h"

Cgeo_Text::Cgeo_Text() = default;
Cgeo_Text::~Cgeo_Text() = default;

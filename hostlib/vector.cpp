#include "plugin/host/vector.h"

Cgeo_Vector::Cgeo_Vector() = default;
Cgeo_Vector::~Cgeo_Vector() = default;

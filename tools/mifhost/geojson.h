#pragma once

#include <string>

#include "tools/mifhost/codepage.h"
#include "tools/mifhost/json_out.h"

class Cgeo_Vector;
class CXF_ManagerVectorStyle;

// Writes the layer as a GeoJSON FeatureCollection, one Feature per object in id order, with the
// attribute values as properties and the foreign members "hostType", "text" and "style".
// Stops and returns false when *cancel becomes non-zero.
bool WriteGeoJson(BufferedOut& out, Cgeo_Vector* vector, CXF_ManagerVectorStyle* manager,
                  const CodePage& codePage, const volatile int* cancel);

#pragma once

#include "mif/model/mif_object.h"
#include "plugin/host/records.h"

class Cgeo_MainApp;
class Cgeo_Vector;
class Cgeo_VectorObject;

// A new host object of the layer made from the MIF record, with its geometry and style, owned
// by the caller (DeleteObject); null for a collection. Pen widths given in points become pixels
// at pixelsPerPoint.
Cgeo_VectorObject* CreateHostObject(Cgeo_MainApp* app, CMifObject* record, Cgeo_Vector* vector,
                                    double pixelsPerPoint);

// Where the ray at angle degrees from the centre of the box meets the ellipse inscribed in it;
// z is 0. Angles run counter-clockwise from the positive x axis.
CXF_Point3DD ArcEndPoint(const CNode& corner1, const CNode& corner2, float angle);

#pragma once

#include "mif/model/mif_object.h"

class Cgeo_MainApp;
class Cgeo_Vector;
class Cgeo_VectorObject;
class Cgeo_VectorPoint;
class Cgeo_VectorLine;
class Cgeo_VectorPolygon;
class Cgeo_VectorEllipse;
class Cgeo_VectorText;
class CXF_StyleObject;

// Host styles made from MIF pens, brushes, symbols and fonts. Each builder registers a source
// style in the layer's style set, fills the object's style record with it and sets it.
void SetPointStyle(Cgeo_MainApp* app, Cgeo_Vector* vector, const CMifSymbol& symbol,
                   Cgeo_VectorPoint* point);
// A line's pen width is scaled by its pattern's width factor and drawn in the pattern's line
// style; an arc keeps the pen's width unscaled (with no width value) and the default line style
// whatever the pattern.
enum class LineKind { kLine, kArc };
void SetLineStyle(Cgeo_MainApp* app, Cgeo_Vector* vector, const CMifPen& pen, LineKind kind,
                  Cgeo_VectorLine* line);
void SetFilledStyle(Cgeo_MainApp* app, Cgeo_Vector* vector, const CMifPen& pen,
                    const CMifBrush& brush, Cgeo_VectorPolygon* polygon);
void SetFilledStyle(Cgeo_MainApp* app, Cgeo_Vector* vector, const CMifPen& pen,
                    const CMifBrush& brush, Cgeo_VectorEllipse* ellipse);
void SetTextStyle(Cgeo_MainApp* app, Cgeo_Vector* vector, const CMifText& record,
                  Cgeo_VectorText* text);

// Legend tracking of one kind of object: the kind's legend is set when every object of it has
// a style with one identifier.
struct CLegendTrack {
    bool same = true;
    CXF_StyleObject* style = nullptr;  // a reference held until the legend step
};

// Legend tracks in the order the legend step sets them.
enum : int { kLegendLine = 0, kLegendMarker = 1, kLegendPolygon = 2, kLegendText = 3 };
constexpr int kLegendCount = 4;

// The track that a host object type feeds, or -1 (empty objects are not tracked).
int LegendTrackOf(int hostType);

void TrackMiniatureStyle(Cgeo_VectorObject* object, bool& same, CXF_StyleObject*& retained);

// Sets the layer's legend style of each kind whose objects all shared one style, then releases
// every retained style.
void SetLegendStyles(Cgeo_Vector* vector, CLegendTrack (&tracks)[kLegendCount]);
// Releases the retained styles without setting legends (a pass that did not finish).
void ReleaseLegendStyles(CLegendTrack (&tracks)[kLegendCount]);

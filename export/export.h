#pragma once

#include <cstdint>
#include <string>

class Cgeo_MainApp;
class Cgeo_TextItem;
class Cgeo_VectorObject;
class CVectorColumn;
class CXF_StyleObject;
struct CMifObject;
class CMifRecordPool;

// A MIF record for a host vector object, taken from records (the caller frees it with
// DeleteMifObject or gives it back), or null when the object has no MIF form. app only serves to
// build the line style table on first use.
CMifObject* ConvertVectorObject(Cgeo_VectorObject* object, Cgeo_MainApp* app,
                                CMifRecordPool& records);

// The MIF pen pattern (1 to 128) of a host line style: its entry in the line style table plus
// one, or the solid pattern 2 when it has none or is null.
int32_t LinePatternFromStyle(Cgeo_MainApp* app, const CXF_StyleObject* style);

// A new MIF Text record for an item of a text layer, or null when the item has no line.
CMifObject* ConvertTextItem(Cgeo_TextItem* item);

// The MIF column type written for a host column type code.
int32_t MifColumnTypeOf(int hostType);

// The MID text of one host attribute value, laid out as the column's type says, into text;
// empty for null.
void FormatColumnValue(const CVectorColumn& column, const void* value, std::string& text);

#pragma once

#include <string>
#include <string_view>

#include "mif/model/mif_object.h"

class CMifFile;

// The clauses that follow an object's geometry, shared by the object bodies. The word buffer is
// the caller's reused storage.

// Line form (Point, Line, Arc, MultiPoint): reads the next line and returns true when it begins
// with the clause keyword, so that the caller parses it; otherwise the line is put back for the
// search of the next object.
bool ReadClauseLine(CMifFile& file, std::string& line, std::string_view keyword);

// Word form: any number of clauses, in any order, up to the next object keyword (put back) or
// the end of the file. The Pline section starts with the word its geometry left over in word;
// the others read their first word themselves.
void ReadPlineClauses(CMifFile& file, CMifPline& pline, std::string& word);
void ReadRegionClauses(CMifFile& file, CMifRegion& region, std::string& word);
void ReadRectClauses(CMifFile& file, CMifRect& rect, std::string& word);
void ReadTextClauses(CMifFile& file, CMifText& text, std::string& word);

// Reads x and y and sets z to 0. False, with the node unchanged, when the file does not hold
// both numbers before its end, the next object or the clauses.
bool ReadPoint(CMifFile& file, CNode& node);

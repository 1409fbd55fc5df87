#pragma once

#include <string>
#include <string_view>

#include "mif/model/mif_object.h"

class CMifScanner;

// The clauses that follow an object's geometry, shared by the object bodies. The word buffer is
// the caller's reused storage.

// Line form (Point, Line, Arc, MultiPoint): reads the next line and returns true when it begins
// with the clause keyword, so that the caller parses it; otherwise the line is put back for the
// search of the next object.
bool ReadClauseLine(CMifScanner& file, std::string& line, std::string_view keyword);

// Word form: any number of clauses, in any order, up to the next object keyword (put back) or
// the end of the file. The Pline section starts with the word its geometry left over in word;
// the others read their first word themselves.
void ReadPlineClauses(CMifScanner& file, CMifPline& pline, std::string& word);
void ReadRegionClauses(CMifScanner& file, CMifRegion& region, std::string& word);
void ReadRectClauses(CMifScanner& file, CMifRect& rect, std::string& word);
void ReadTextClauses(CMifScanner& file, CMifText& text, std::string& word);

// The style clauses, each read from the line of its keyword, which the scanner has just read as a
// word: the record is filled only from a clause with the values of one of its forms, and keeps
// what it had otherwise. A pen's width is kept as the file gives it (pixels, or 10 plus tenths of
// a point).
void ParsePen(CMifScanner& file, CMifPen& pen);
void ParseBrush(CMifScanner& file, CMifBrush& brush);
void ParseSymbol(CMifScanner& file, CMifSymbol& symbol);
void ParseFont(CMifScanner& file, CMifFont& font);

// Reads x and y and sets z to 0. False, with the node unchanged, when the file does not hold
// both numbers before its end, the next object or the clauses.
bool ReadPoint(CMifScanner& file, CNode& node);

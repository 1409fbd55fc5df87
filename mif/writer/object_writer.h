#pragma once

#include "mif/model/mif_header.h"
#include "mif/model/mif_object.h"
#include "textfile/text_file.h"

// The lines of the MIF writer. Each returns 0 when one of its lines could not be written; every
// line is still attempted.

// The header lines, from Version to the word Data.
int WriteHeader(CTextFile& file, const CMifHeader& header);
// One object with its clauses, and the empty line after it; 0 also for a kind outside the family.
int WriteMifObject(CTextFile& file, const CMifObject& record);
// The style clauses, one line each; none for an absent style.
int WritePen(CTextFile& file, const CMifPen& pen);
int WriteBrush(CTextFile& file, const CMifBrush& brush);
int WriteSymbol(CTextFile& file, const CMifSymbol& symbol);
int WriteFont(CTextFile& file, const CMifFont& font);

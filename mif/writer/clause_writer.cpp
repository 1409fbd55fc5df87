#include <string>

#include "mif/writer/line_format.h"
#include "mif/writer/object_writer.h"

// Style clauses: one line each, none for an absent style. Colours go out as the MIF integer; the
// -1 markers are tested on the stored values, before any conversion.

namespace {

// A name to stand between double quotes: an inner quote is doubled, as in a Text string, so it
// cannot end the name and swallow the rest of the clause; a line break, which would end the
// clause's line, becomes a blank.
std::string Quotable(const std::string& name) {
    std::string out;
    out.reserve(name.size());
    for (char c : name) {
        out.push_back(c == '\r' || c == '\n' ? ' ' : c);
        if (c == '"') {
            out.push_back('"');
        }
    }
    return out;
}

}  // namespace

int WritePen(CTextFile& file, const CMifPen& pen) {
    if (pen.pattern == -1) {
        return 1;
    }
    return WriteFormattedLine(file, "Pen (%i,%i,%i)", pen.width, pen.pattern, SwapColor(pen.color));
}

int WriteBrush(CTextFile& file, const CMifBrush& brush) {
    if (brush.pattern == -1) {
        return 1;
    }
    if (brush.backColor == -1) {
        return WriteFormattedLine(file, "Brush (%i,%i)", brush.pattern, SwapColor(brush.foreColor));
    }
    return WriteFormattedLine(file, "Brush (%i,%i,%i)", brush.pattern, SwapColor(brush.foreColor),
                              SwapColor(brush.backColor));
}

int WriteSymbol(CTextFile& file, const CMifSymbol& symbol) {
    switch (symbol.form) {
        case kSymbolVector:
            return WriteFormattedLine(file, "Symbol (%i,%i,%i)", symbol.shape,
                                      SwapColor(symbol.color), symbol.size);
        case kSymbolFont:
            return WriteFormattedLine(
                file, "Symbol (%i,%i,%i,\"%s\",%i,%f)", symbol.shape, SwapColor(symbol.color),
                symbol.size, Quotable(symbol.fontName).c_str(), symbol.style, symbol.rotation);
        case kSymbolBitmap:
            return WriteFormattedLine(file, "Symbol (\"%s\",%i,%i,%i)",
                                      Quotable(symbol.fileName).c_str(), SwapColor(symbol.color),
                                      symbol.size, symbol.style);
        default:
            return 1;
    }
}

int WriteFont(CTextFile& file, const CMifFont& font) {
    if (font.name.empty()) {
        return 1;
    }
    std::string name = Quotable(font.name);
    if (font.backColor == -1) {
        return WriteFormattedLine(file, "Font (\"%s\",%i,%i,%i)", name.c_str(), font.style,
                                  font.size, SwapColor(font.foreColor));
    }
    return WriteFormattedLine(file, "Font (\"%s\",%i,%i,%i,%i)", name.c_str(), font.style,
                              font.size, SwapColor(font.foreColor), SwapColor(font.backColor));
}

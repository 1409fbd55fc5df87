#include <cmath>
#include <memory>
#include <string>

#include "mif/reader/clause_reader.h"
#include "mif/reader/mif_reader.h"
#include "mif/reader/scanner.h"

// Counts read from the file (sections, nodes, points) are never used to reserve memory, and every
// loop over one also ends at the end of the file: a file announcing two billion nodes that holds
// three reads three, at once.

namespace {

// A count word; an object keyword in its place is put back and counts 0.
int32_t ReadCount(CMifScanner& file, std::string& word) {
    if (file.ReadWord(word) && MifObjectTypeFromKeyword(word) != -1) {
        file.RestoreMark();
        return 0;
    }
    return ParseInt(word);
}

// Notes a count larger than what follows it: the data ends at the next object or at the clauses,
// or the file ends inside the object. at is where the count stands.
void NoteShortCount(CMifScanner& file, int64_t at, const char* kind, const char* what,
                    int64_t declared, int64_t found) {
    if (file.AtEnd()) {
        file.Note(kRepairEndInsideObject, at, [=] {
            return std::string("the file ends inside ") + kind + ": " + std::to_string(found) +
                   " of " + std::to_string(declared) + " " + what;
        });
        return;
    }
    file.Note(kRepairCountTooLarge, at, [=] {
        return std::string(kind) + " declares " + std::to_string(declared) + " " + what + ", " +
               std::to_string(found) + " found";
    });
}

// Appends up to count nodes, fewer when the file ends or the next object begins first (the count,
// the word just read, is noted then). False when the file ended.
bool ReadNodes(CMifScanner& file, int32_t count, CMifSections& record, const char* kind) {
    int64_t countAt = file.WordOffset();
    int32_t i = 0;
    while (i < count) {
        // Runs of plain nodes are read straight from the page; any other node one number at a
        // time.
        i += static_cast<int32_t>(file.ReadPlainPoints(
            record.nodes, static_cast<size_t>(count) - static_cast<size_t>(i)));
        if (i == count) {
            break;
        }
        CNode node;
        if (!ReadPoint(file, node)) {
            NoteShortCount(file, countAt, kind, "nodes", count, i);
            return !file.AtEnd();
        }
        record.nodes.push_back(node);
        ++i;
    }
    return true;
}

}  // namespace

void CMifReader::ApplyTransform(CNode& node) const {
    if (header.transform.size() < 4) {
        return;
    }
    // A factor of 0 leaves its axis unscaled.
    const std::vector<double>& transform = header.transform;
    if (transform[0] != 0.0) {
        node.x *= transform[0];
    }
    if (transform[1] != 0.0) {
        node.y *= transform[1];
    }
    if (transform[2] != 0.0) {
        node.x += transform[2];
    }
    if (transform[3] != 0.0) {
        node.y += transform[3];
    }
}

bool CMifReader::ParsePline(CMifPline& record) {
    std::string& word = scanner.word;
    scanner.ReadWord(word);
    int32_t sections = 1;
    int64_t sectionsAt = -1;
    if (EqualsNoCase(word, "Multiple")) {
        sections = ReadCount(scanner, word);
        sectionsAt = scanner.WordOffset();
        scanner.ReadWord(word);
    }
    // A section count that is no number (the next object, or the clauses) ends the sections:
    // more were announced than the file holds.
    int32_t s = 0;
    bool ended = false;
    for (; s < sections && !ended && LooksLikeNumber(word); ++s) {
        int32_t count = ParseInt(word);
        record.BeginSection();
        ended = !ReadNodes(scanner, count, record, "Pline");
        scanner.ReadWord(word);
    }
    // A file that ended inside a section is noted there.
    if (s < sections && sectionsAt >= 0 && !ended) {
        NoteShortCount(scanner, sectionsAt, "Pline", "sections", sections, s);
    }
    // word is the first word after the geometry: the clause section starts with it.
    ReadPlineClauses(scanner, record, word);
    if (header.hasTransform) {
        for (CNode& node : record.nodes) {
            ApplyTransform(node);
        }
    }
    return true;
}

bool CMifReader::ParseRegion(CMifRegion& record) {
    std::string& word = scanner.word;
    int32_t polygons = ReadCount(scanner, word);
    int64_t polygonsAt = scanner.WordOffset();
    for (int32_t s = 0; s < polygons; ++s) {
        if (!scanner.ReadWord(word) || !LooksLikeNumber(word)) {
            scanner.RestoreMark();  // the next object, or the clauses
            NoteShortCount(scanner, polygonsAt, "Region", "polygons", polygons, s);
            break;
        }
        int32_t count = ParseInt(word);
        record.BeginSection();
        if (!ReadNodes(scanner, count, record, "Region")) {
            break;  // the file ended inside the polygon, noted there
        }
    }
    ReadRegionClauses(scanner, record, word);
    if (header.hasTransform) {
        for (CNode& node : record.nodes) {
            ApplyTransform(node);
        }
        ApplyTransform(record.center);
    }
    return true;
}

bool CMifReader::ParseMultiPoint(CMifMultiPoint& record) {
    std::string& word = scanner.word;
    int32_t count = ReadCount(scanner, word);
    int64_t countAt = scanner.WordOffset();
    for (int32_t i = 0; i < count; ++i) {
        CNode point;
        if (!ReadPoint(scanner, point)) {
            NoteShortCount(scanner, countAt, "MultiPoint", "points", count, i);
            break;
        }
        record.points.push_back(point);
    }
    if (ReadClauseLine(scanner, word, "Symbol")) {
        // Without points the symbol line is dropped.
        if (!record.points.empty()) {
            ParseSymbol(scanner, record.symbol);
        }
    }
    if (header.hasTransform) {
        for (CNode& point : record.points) {
            ApplyTransform(point);
        }
    }
    return true;
}

bool CMifReader::ParsePoint(CMifPoint& record) {
    bool whole = ReadPoint(scanner, record.point);
    if (header.hasTransform) {
        ApplyTransform(record.point);
    }
    if (ReadClauseLine(scanner, scanner.word, "Symbol")) {
        ParseSymbol(scanner, record.symbol);
    }
    return whole;
}

bool CMifReader::ReadCorners(CNode& first, CNode& second) {
    bool whole = ReadPoint(scanner, first) && ReadPoint(scanner, second);
    if (header.hasTransform) {
        ApplyTransform(first);
        ApplyTransform(second);
    }
    return whole;
}

bool CMifReader::ParseLine(CMifLine& record) {
    bool whole = ReadCorners(record.start, record.end);
    if (ReadClauseLine(scanner, scanner.word, "Pen")) {
        ParsePen(scanner, record.pen);
    }
    return whole;
}

// Rect, RoundRect and Ellipse share the record of a rectangle; a RoundRect adds its radius.
bool CMifReader::ParseRect(CMifRect& record) {
    bool whole = ReadCorners(record.corner1, record.corner2);
    if (record.kind == kMifRoundRect) {
        double radius = 0.0;
        scanner.ReadNumber(radius);
        static_cast<CMifRoundRect&>(record).radius = ToFloat(radius);
    }
    ReadRectClauses(scanner, record, scanner.word);
    return whole;
}

bool CMifReader::ParseArc(CMifArc& record) {
    bool whole = ReadCorners(record.corner1, record.corner2);
    double angle = 0.0;
    scanner.ReadNumber(angle);
    record.startAngle = ToFloat(angle);
    scanner.ReadNumber(angle);
    record.endAngle = ToFloat(angle);
    if (ReadClauseLine(scanner, scanner.word, "Pen")) {
        ParsePen(scanner, record.pen);
    }
    return whole;
}

bool CMifReader::ParseText(CMifText& record) {
    std::string& word = scanner.word;
    // The string is the rest of the keyword's line or the next line; a line that starts like a
    // number, or with an object keyword, is no string but what follows it.
    scanner.ReadLine(word);
    std::string_view first = std::string_view(word).substr(0, word.find_first_of(" \t"));
    if (LooksLikeNumber(word) || MifObjectTypeFromKeyword(first) != -1) {
        scanner.RestoreMark();
        word.clear();
    }
    record.text = keepTextAsWritten ? word : DecodeMifText(word, decodeText);
    bool whole = ReadCorners(record.corner1, record.corner2);
    ReadTextClauses(scanner, record, word);
    if (header.hasTransform && record.labelLine != kLabelNone) {
        ApplyTransform(record.labelPoint);
    }
    return whole;
}

bool CMifReader::ParseCollection(CMifCollection& record) {
    int32_t parts = ReadCount(scanner, scanner.word);
    int64_t partsAt = scanner.WordOffset();
    // The parts are a Region, a Pline (which other writers also give as a Line) and a MultiPoint,
    // each at most once, in any order. Any other keyword, or a kind already read, cannot be a
    // part: it starts the next object and is put back, so that it and every later object keep
    // their records.
    for (int32_t i = 0; i < parts; ++i) {
        int32_t kind = scanner.ReadObjectKeyword();
        if (kind == kMifRegion && record.region == nullptr) {
            record.region = std::make_unique<CMifRegion>();
            ParseRegion(*record.region);
        } else if (kind == kMifPline && record.pline == nullptr) {
            record.pline = std::make_unique<CMifPline>();
            ParsePline(*record.pline);
        } else if (kind == kMifLine && record.pline == nullptr) {
            CMifLine line;
            record.pline = std::make_unique<CMifPline>();
            if (ParseLine(line)) {
                record.pline->BeginSection();
                record.pline->nodes = {line.start, line.end};
            }
            record.pline->pen = line.pen;
        } else if (kind == kMifMultiPoint && record.multiPoint == nullptr) {
            record.multiPoint = std::make_unique<CMifMultiPoint>();
            ParseMultiPoint(*record.multiPoint);
        } else {
            if (kind != -1) {
                scanner.RestoreMark();
            }
            NoteShortCount(scanner, partsAt, "Collection", "parts", parts, i);
            break;
        }
    }
    return true;
}

std::string DecodeMifText(const std::string& written, std::string (*decode)(const std::string&)) {
    std::string text = written;
    if (decode != nullptr) {
        text = decode(written);
    } else {
        DecodeEscapes(text);
    }
    if (!text.empty() && text.front() == '"') {
        // Blanks after the closing quote are not part of the text.
        text.erase(text.find_last_not_of(" \t") + 1);
    }
    UnquoteValue(text);
    return text;
}

CMifObjectPtr CMifReader::TakeObject() {
    CMifObjectPtr record(currentObject);
    currentObject = nullptr;
    return record;
}

CMifObject* CMifReader::ReadObject() {
    if (nextKind < 0) {
        DeleteCurrentObject();
        return nullptr;
    }
    CreateCurrentObject(nextKind);
    if (currentObject == nullptr) {
        return nullptr;
    }
    bool whole = true;
    switch (currentObject->kind) {
        case kMifPoint:
            whole = ParsePoint(*static_cast<CMifPoint*>(currentObject));
            break;
        case kMifLine:
            whole = ParseLine(*static_cast<CMifLine*>(currentObject));
            break;
        case kMifPline:
            whole = ParsePline(*static_cast<CMifPline*>(currentObject));
            break;
        case kMifRegion:
            whole = ParseRegion(*static_cast<CMifRegion*>(currentObject));
            break;
        case kMifRect:
        case kMifRoundRect:
        case kMifEllipse:
            whole = ParseRect(*static_cast<CMifRect*>(currentObject));
            break;
        case kMifArc:
            whole = ParseArc(*static_cast<CMifArc*>(currentObject));
            break;
        case kMifText:
            whole = ParseText(*static_cast<CMifText*>(currentObject));
            break;
        case kMifMultiPoint:
            whole = ParseMultiPoint(*static_cast<CMifMultiPoint*>(currentObject));
            break;
        case kMifCollection:
            whole = ParseCollection(*static_cast<CMifCollection*>(currentObject));
            break;
        case kMifNone:
            break;  // no body
    }
    const char* keyword = MifObjectKeyword(currentObject->kind);
    const bool finite = whole && HasFiniteCoordinates(*currentObject);
    const int64_t objectOffset = whole && finite ? 0 : scanner.OffsetOf(objectPosition);
    if (!whole) {
        if (scanner.AtEnd()) {
            scanner.Note(kRepairEndInsideObject, objectOffset, [keyword] {
                return std::string("the file ends inside ") + keyword +
                       ", before its points: read as an empty object";
            });
        } else {
            scanner.Note(kRepairCountTooLarge, objectOffset, [keyword] {
                return std::string(keyword) + " lacks a point it needs: read as an empty object";
            });
        }
    } else if (!finite) {
        scanner.Note(kRepairNotFinite, objectOffset, [keyword] {
            return std::string(keyword) +
                   " has a coordinate that is not a finite number: read as an empty object";
        });
    }
    if (!finite) {
        // A point or corner the file does not hold whole (the file ends, or the next object
        // begins, after a lone number), or a coordinate that is not a finite number (nan, inf, an
        // overflow), makes the object an empty one, as None is; it keeps its place and its MID
        // record. Nothing is made up.
        CreateCurrentObject(kMifNone);
    }
    return currentObject;
}

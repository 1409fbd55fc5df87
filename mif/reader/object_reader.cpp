#include <memory>
#include <string>

#include "mif/reader/clause_reader.h"
#include "mif/reader/mif_file.h"
#include "mif/reader/scanner.h"
#include "plugin/host/fnc_string.h"

// Counts read from the file (sections, nodes, points) are never used to reserve memory, and every
// loop over one also ends at the end of the file: a file announcing two billion nodes that holds
// three reads three, at once.

namespace {

// Appends up to count nodes, fewer when the file ends first.
void ReadNodes(CMifFile& file, int32_t count, CMifSections& record) {
    for (int32_t i = 0; i < count; ++i) {
        CNode node;
        if (!ReadPoint(file, node)) {
            return;
        }
        record.nodes.push_back(node);
    }
}

// A Text string: the host decodes its escapes; the quotes around it go, and a doubled quote
// inside it stands for one quote.
std::string DecodeText(const std::string& line) {
    std::string text = fncString::ConvertStringToSequences(line);
    if (!text.empty() && text.front() == '"') {
        // Blanks after the closing quote are not part of the text.
        text.erase(text.find_last_not_of(" \t") + 1);
    }
    UnquoteValue(text);
    return text;
}

}  // namespace

void CMifFile::ApplyTransform(CNode& node) const {
    if (transform.size() < 4) {
        return;
    }
    // A factor of 0 leaves its axis unscaled.
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

void CMifFile::ParsePline(CMifPline& record) {
    std::string& word = scanWord;
    ReadWord(word);
    int32_t sections = 1;
    if (EqualsNoCase(word, "Multiple")) {
        ReadWord(word);
        sections = ParseInt(word);
        ReadWord(word);
    }
    for (int32_t s = 0; s < sections && !word.empty(); ++s) {
        int32_t count = ParseInt(word);
        record.BeginSection();
        ReadNodes(*this, count, record);
        ReadWord(word);
    }
    // word is the first word after the geometry: the clause section starts with it.
    ReadPlineClauses(*this, record, word);
    if (hasTransform) {
        for (CNode& node : record.nodes) {
            ApplyTransform(node);
        }
    }
}

void CMifFile::ParseRegion(CMifRegion& record) {
    std::string& word = scanWord;
    ReadWord(word);
    int32_t polygons = ParseInt(word);
    for (int32_t s = 0; s < polygons; ++s) {
        if (!ReadWord(word)) {
            break;
        }
        int32_t count = ParseInt(word);
        record.BeginSection();
        ReadNodes(*this, count, record);
    }
    ReadRegionClauses(*this, record, word);
    if (hasTransform) {
        for (CNode& node : record.nodes) {
            ApplyTransform(node);
        }
        ApplyTransform(record.center);
    }
}

void CMifFile::ParseMultiPoint(CMifMultiPoint& record) {
    std::string& word = scanWord;
    ReadWord(word);
    int32_t count = ParseInt(word);
    for (int32_t i = 0; i < count; ++i) {
        CMifPoint point;
        if (!ReadPoint(*this, point.point)) {
            break;
        }
        record.points.push_back(point);
    }
    if (ReadClauseLine(*this, word, "Symbol")) {
        // The symbol belongs to the first point; without points the line is dropped.
        if (!record.points.empty()) {
            ParseSymbol(record.points[0].symbol);
        }
    }
    if (hasTransform) {
        for (CMifPoint& point : record.points) {
            ApplyTransform(point.point);
        }
    }
}

CMifObject* CMifFile::ReadObject() {
    if (nextKind < 0) {
        DeleteCurrentObject();
        return nullptr;
    }
    CreateCurrentObject(nextKind);
    if (currentObject == nullptr) {
        return nullptr;
    }
    std::string& word = scanWord;
    switch (currentObject->kind) {
        case kMifPoint: {
            auto& point = *static_cast<CMifPoint*>(currentObject);
            ReadPoint(*this, point.point);
            if (hasTransform) {
                ApplyTransform(point.point);
            }
            if (ReadClauseLine(*this, word, "Symbol")) {
                ParseSymbol(point.symbol);
            }
            break;
        }
        case kMifLine: {
            auto& line = *static_cast<CMifLine*>(currentObject);
            ReadPoint(*this, line.start);
            ReadPoint(*this, line.end);
            if (hasTransform) {
                ApplyTransform(line.start);
                ApplyTransform(line.end);
            }
            if (ReadClauseLine(*this, word, "Pen")) {
                ParsePen(line.pen);
            }
            break;
        }
        case kMifPline:
            ParsePline(*static_cast<CMifPline*>(currentObject));
            break;
        case kMifRegion:
            ParseRegion(*static_cast<CMifRegion*>(currentObject));
            break;
        case kMifRect:
        case kMifRoundRect:
        case kMifEllipse: {
            auto& rect = *static_cast<CMifRect*>(currentObject);
            ReadPoint(*this, rect.corner1);
            ReadPoint(*this, rect.corner2);
            if (rect.kind == kMifRoundRect) {
                ReadWord(word);
                static_cast<CMifRoundRect&>(rect).radius = ToFloat(ParseDouble(word));
            }
            if (hasTransform) {
                ApplyTransform(rect.corner1);
                ApplyTransform(rect.corner2);
            }
            ReadRectClauses(*this, rect, word);
            break;
        }
        case kMifArc: {
            auto& arc = *static_cast<CMifArc*>(currentObject);
            ReadPoint(*this, arc.corner1);
            ReadPoint(*this, arc.corner2);
            ReadWord(word);
            arc.startAngle = ToFloat(ParseDouble(word));
            ReadWord(word);
            arc.endAngle = ToFloat(ParseDouble(word));
            if (hasTransform) {
                ApplyTransform(arc.corner1);
                ApplyTransform(arc.corner2);
            }
            if (ReadClauseLine(*this, word, "Pen")) {
                ParsePen(arc.pen);
            }
            break;
        }
        case kMifText: {
            auto& text = *static_cast<CMifText*>(currentObject);
            ReadLine(word);
            text.text = DecodeText(word);
            ReadPoint(*this, text.corner1);
            ReadPoint(*this, text.corner2);
            ReadTextClauses(*this, text, word);
            if (hasTransform) {
                ApplyTransform(text.corner1);
                ApplyTransform(text.corner2);
                if (text.labelLine != 0) {
                    ApplyTransform(text.labelPoint);
                }
            }
            break;
        }
        case kMifMultiPoint:
            ParseMultiPoint(*static_cast<CMifMultiPoint*>(currentObject));
            break;
        case kMifCollection: {
            auto& collection = *static_cast<CMifCollection*>(currentObject);
            ReadWord(word);
            int32_t parts = ParseInt(word);
            // Parts are taken by position: region, then polyline, then multipoint. A keyword of
            // another kind is consumed and leaves its part empty.
            if (parts >= 1 && ReadObjectKeyword() == kMifRegion) {
                collection.region = std::make_unique<CMifRegion>();
                ParseRegion(*collection.region);
            }
            if (parts >= 2 && ReadObjectKeyword() == kMifPline) {
                collection.pline = std::make_unique<CMifPline>();
                ParsePline(*collection.pline);
            }
            if (parts >= 3 && ReadObjectKeyword() == kMifMultiPoint) {
                collection.multiPoint = std::make_unique<CMifMultiPoint>();
                ParseMultiPoint(*collection.multiPoint);
            }
            break;
        }
        default:
            break;  // None: no body
    }
    return currentObject;
}

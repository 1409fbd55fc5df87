#include <string>

#include "mif/writer/line_format.h"
#include "mif/writer/object_writer.h"
#include "textfile/one_line.h"

namespace {

// The result of a run of line writes: 0 as soon as one of them failed. Every line is still
// attempted, so one failure does not cut the object short.
class CWriteResult {
public:
    void Add(int written) {
        if (written == 0) {
            ok = 0;
        }
    }
    int Get() const { return ok; }

private:
    int ok = 1;
};

// The count line and the node lines of every section. A count is never larger than the nodes
// that are there, so the file always holds as many node lines as its count says.
void WriteSections(CTextFile& file, const CMifSections& record, CWriteResult& result) {
    int32_t nodeCount = static_cast<int32_t>(record.nodes.size());
    for (int32_t i = 0; i < record.GetSectionCount(); ++i) {
        int32_t start = record.sectionStarts[static_cast<size_t>(i)];
        int32_t count = record.GetSectionNodeCount(i);
        if (start < 0 || start > nodeCount || count < 0) {
            count = 0;
        } else if (count > nodeCount - start) {
            count = nodeCount - start;
        }
        result.Add(WriteFormattedLine(file, "%i", count));
        for (int32_t j = 0; j < count; ++j) {
            const CNode& node = record.nodes[static_cast<size_t>(start + j)];
            result.Add(WriteNodeLine(file, node.x, node.y));
        }
    }
}

void WriteCorners(CTextFile& file, const char* keyword, const CNode& a, const CNode& b,
                  CWriteResult& result) {
    result.Add(WriteFormattedLine(file, "%s %f %f %f %f", keyword, a.x, a.y, b.x, b.y));
}

void WriteText(CTextFile& file, const CMifText& text, CWriteResult& result) {
    // A quote inside the string is doubled and a line break becomes \n, so the string can
    // neither end early nor spill onto the lines that follow it.
    std::string line = "Text \"";
    line.reserve(text.text.size() + 8);
    AppendAsOneLine(line, text.text.data(), text.text.size(), "\"");
    line.push_back('"');
    result.Add(file.WriteLine(line));
    result.Add(WriteFormattedLine(file, "%f %f %f %f", text.corner1.x, text.corner1.y,
                                  text.corner2.x, text.corner2.y));
    result.Add(WriteFont(file, text.font));
    if (text.spacing == 1.0f) {
        result.Add(WriteLiteral(file, "Spacing 1.0"));
    } else if (text.spacing == 1.5f) {
        result.Add(WriteLiteral(file, "Spacing 1.5"));
    } else if (text.spacing == 2.0f) {
        result.Add(WriteLiteral(file, "Spacing 2.0"));
    }
    switch (text.justify) {
        case kJustifyLeft:
            result.Add(WriteLiteral(file, "Justify Left"));
            break;
        case kJustifyCenter:
            result.Add(WriteLiteral(file, "Justify Center"));
            break;
        case kJustifyRight:
            result.Add(WriteLiteral(file, "Justify Right"));
            break;
        default:
            break;
    }
    if (text.angle != 0.0f) {
        result.Add(WriteFormattedLine(file, "Angle %f", static_cast<double>(text.angle)));
    }
    if (text.labelLine == kLabelSimple || text.labelLine == kLabelArrow) {
        result.Add(WriteFormattedLine(file, "Label Line %s %f %f",
                                      text.labelLine == kLabelSimple ? "simple" : "arrow",
                                      text.labelPoint.x, text.labelPoint.y));
    }
}

int WritePline(CTextFile& file, const CMifPline& pline) {
    CWriteResult result;
    if (pline.GetSectionCount() == 1) {
        result.Add(WriteLiteral(file, "Pline"));
    } else {
        result.Add(WriteFormattedLine(file, "Pline Multiple %i", pline.GetSectionCount()));
    }
    WriteSections(file, pline, result);
    if (pline.smooth) {
        result.Add(WriteLiteral(file, "Smooth"));
    }
    result.Add(WritePen(file, pline.pen));
    return result.Get();
}

int WriteRegion(CTextFile& file, const CMifRegion& region) {
    CWriteResult result;
    result.Add(WriteFormattedLine(file, "Region %i", region.GetSectionCount()));
    WriteSections(file, region, result);
    if (region.hasCenter) {
        result.Add(WriteFormattedLine(file, "Center %f %f", region.center.x, region.center.y));
    }
    result.Add(WritePen(file, region.pen));
    result.Add(WriteBrush(file, region.brush));
    return result.Get();
}

int WriteMultiPoint(CTextFile& file, const CMifMultiPoint& multiPoint) {
    CWriteResult result;
    result.Add(
        WriteFormattedLine(file, "MultiPoint %i", static_cast<int32_t>(multiPoint.points.size())));
    // One point per line, as for the nodes of a polyline: other readers take a point per line
    // and cannot read the points of a multipoint written all on one line.
    for (const CNode& p : multiPoint.points) {
        result.Add(WriteFormattedLine(file, "%f %f", p.x, p.y));
    }
    if (!multiPoint.points.empty()) {
        result.Add(WriteSymbol(file, multiPoint.symbol));
    }
    return result.Get();
}

}  // namespace

int WriteMifObject(CTextFile& file, const CMifObject& record) {
    if (!IsMifObjectKind(record.kind)) {
        return 0;  // not a record of the family: nothing is written
    }
    CWriteResult result;
    switch (record.kind) {
        case kMifNone:
            result.Add(WriteLiteral(file, "None"));
            break;
        case kMifPoint: {
            const auto& point = static_cast<const CMifPoint&>(record);
            result.Add(WriteFormattedLine(file, "Point %f %f", point.point.x, point.point.y));
            result.Add(WriteSymbol(file, point.symbol));
            break;
        }
        case kMifLine: {
            const auto& line = static_cast<const CMifLine&>(record);
            WriteCorners(file, "Line", line.start, line.end, result);
            result.Add(WritePen(file, line.pen));
            break;
        }
        case kMifPline:
            result.Add(WritePline(file, static_cast<const CMifPline&>(record)));
            break;
        case kMifRegion:
            result.Add(WriteRegion(file, static_cast<const CMifRegion&>(record)));
            break;
        case kMifRect:
        case kMifRoundRect:
        case kMifEllipse: {
            // The three share the record layout of a rectangle.
            const auto& rect = static_cast<const CMifRect&>(record);
            WriteCorners(file, MifObjectKeyword(record.kind), rect.corner1, rect.corner2, result);
            if (record.kind == kMifRoundRect) {
                const auto& round = static_cast<const CMifRoundRect&>(record);
                result.Add(WriteFormattedLine(file, "%f", static_cast<double>(round.radius)));
            }
            result.Add(WritePen(file, rect.pen));
            result.Add(WriteBrush(file, rect.brush));
            break;
        }
        case kMifArc: {
            const auto& arc = static_cast<const CMifArc&>(record);
            WriteCorners(file, "Arc", arc.corner1, arc.corner2, result);
            result.Add(WriteFormattedLine(file, "%f %f", static_cast<double>(arc.startAngle),
                                          static_cast<double>(arc.endAngle)));
            result.Add(WritePen(file, arc.pen));
            break;
        }
        case kMifText:
            WriteText(file, static_cast<const CMifText&>(record), result);
            break;
        case kMifMultiPoint:
            result.Add(WriteMultiPoint(file, static_cast<const CMifMultiPoint&>(record)));
            break;
        case kMifCollection: {
            const auto& collection = static_cast<const CMifCollection&>(record);
            result.Add(WriteFormattedLine(file, "Collection %i", collection.GetPartCount()));
            if (collection.region) {
                result.Add(WriteRegion(file, *collection.region));
            }
            if (collection.pline) {
                result.Add(WritePline(file, *collection.pline));
            }
            if (collection.multiPoint) {
                result.Add(WriteMultiPoint(file, *collection.multiPoint));
            }
            break;
        }
    }
    result.Add(WriteLiteral(file, ""));
    return result.Get();
}

#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mif/model/mif_header.h"
#include "mif/model/mif_object.h"
#include "mif/model/mif_report.h"
#include "mif/reader/scanner.h"
#include "textfile/record_file.h"

// Reads one MIF/MID pair: the header, then object after object with its MID record. It never
// fails on malformed content: what cannot be read keeps its defaults, and every loop over a
// count also stops at the end of the file.
class CMifReader {
public:
    CMifReader() = default;
    ~CMifReader() { Close(); }
    CMifReader(const CMifReader&) = delete;
    CMifReader& operator=(const CMifReader&) = delete;

    // Opens the MIF file and the MID file beside it and reads the header. 0 when the MIF file
    // cannot be read or is no MIF file (no Data line), or when a MID file exists but cannot be
    // read; no MID file reads as no values.
    int Open(const char* path);
    void Close();

    // Back to the first object and the first MID record.
    void Rewind();
    // To the next object and MID record; updates the progress percentage.
    void MoveNext();
    int IsEof() const { return nextKind == -1 ? 1 : 0; }
    // The current object, owned by the reader until the next read, DeleteCurrentObject or Close;
    // null when there is none.
    CMifObject* ReadObject();
    void DeleteCurrentObject();
    // The current object, from now on the caller's; GiveBack returns a record for the reader to
    // reuse for a later object.
    CMifObjectPtr TakeObject();
    void GiveBack(CMifObjectPtr record) { records.Give(std::move(record)); }

    // MID values of the current record: 1 and the value of column i, or 0 when the MID does not
    // hold it (no MID file, no such column, a record past the end of the MID or one with fewer
    // fields). A value that is not of its column's type is a repair.
    int GetFieldValue(int i, std::string& value);
    // The same, appending the value to out.
    int AppendFieldValue(int i, std::string& out);
    // The length in bytes of the longest value of each column over the whole MID file (0 for a
    // column without values), read ahead before the objects; the MID is left at its first record.
    void MeasureValues(std::vector<size_t>& longest);

    const CMifHeader& Header() const { return header; }
    // The paths of the MIF file opened and of its MID file (the name it would have when there is
    // none).
    const std::string& MifPath() const { return mifPath; }
    const std::string& MidPath() const { return midPath; }
    // What was repaired: in the header, and in the objects and records walked since the last
    // Rewind.
    const CMifReport& Report() const { return report; }
    // The MID file's delimiter (TAB unless the header gives one and a MID file is open).
    char Delimiter() const { return midFile.GetDelimiter(); }
    // How far the objects have been read, 0 to 100.
    double Progress() const { return progress; }
    // The kind of the next object, -1 when no object is left.
    int32_t NextKind() const { return nextKind; }
    CMifObject* CurrentObject() const { return currentObject; }

    // What reading takes from the host, handed in by whoever opens the file: the host's decoder
    // of the escapes in Text strings (null: DecodeEscapes, which reads them the same way).
    std::string (*decodeText)(const std::string&) = nullptr;
    // Text strings kept as the file writes them, quotes and escapes, for a caller that decodes
    // them itself with DecodeMifText (a reader on a thread of its own must not call the host).
    bool keepTextAsWritten = false;

private:
    void ReadHeader();
    bool HoldsValue(int i) const {
        return midFile.IsOpen() != 0 && i >= 0 && i < header.columns.GetCount() &&
               midFile.HasField(i);
    }
    // Appends the value of column i to out and gives the column's type, without checking the
    // value against the type (GetFieldValue's work).
    int FieldValue(int i, std::string& out, int32_t& type);
    // After a record was read for the next object (or past the last one): notes what does not
    // pair or does not fit the columns. The common case, a record of the columns' fields for an
    // object, costs a few comparisons.
    void CheckRecord(bool read, bool objectFollows) {
        if (read && objectFollows && !midFile.QuoteRepaired() &&
            midFile.FieldsRead() == static_cast<size_t>(header.columns.GetCount())) {
            ++recordsRead;
            return;
        }
        CheckUnusualRecord(read, objectFollows);
    }
    void CheckUnusualRecord(bool read, bool objectFollows);
    // Notes a repair in the MID file at the line of offset, out of line as the scanner does.
    template <typename Describe>
    void NoteMid(MifRepairKind kind, int64_t offset, const Describe& describe) {
        NoteMidWith(kind, offset, &CMifScanner::CallDescribe<Describe>, &describe);
    }
    void NoteMidWith(MifRepairKind kind, int64_t offset, std::string (*describe)(const void*),
                     const void* context);
    void CreateCurrentObject(int32_t kind);
    // Applies the header's transformation to a node.
    void ApplyTransform(CNode& node) const;
    // Two points (the corners of a box, the ends of a line) in the header's transformation;
    // false when the file does not hold both whole.
    bool ReadCorners(CNode& first, CNode& second);
    // Each body returns false when a point its kind needs is not there whole (the object then
    // becomes an empty one).
    bool ParsePoint(CMifPoint& record);
    bool ParseLine(CMifLine& record);
    bool ParsePline(CMifPline& record);
    bool ParseRegion(CMifRegion& record);
    bool ParseRect(CMifRect& record);
    bool ParseArc(CMifArc& record);
    bool ParseText(CMifText& record);
    bool ParseMultiPoint(CMifMultiPoint& record);
    bool ParseCollection(CMifCollection& record);

    CMifScanner scanner;
    CRecordFile midFile;
    CMifHeader header;
    CMifObject* currentObject = nullptr;
    int32_t nextKind = -1;
    double progress = 0.0;
    // Where the objects begin: just behind the word Data that ends the header; -1 when closed.
    int64_t dataOffset = -1;
    // Records of each kind kept for the next object of that kind.
    CMifRecordPool records;
    CMifReport report;
    std::string mifPath;
    std::string midPath;
    // The report as the header left it, for each walk to start from.
    CMifReport headerReport;
    // Where the Columns line and the current object start in the MIF file.
    int64_t columnsOffset = 0;
    CMifScanner::CPosition objectPosition;
    // Records read for objects so far, and whether the MID's end came before the objects'.
    int64_t recordsRead = 0;
    bool midEnded = false;
};

// A Text string as the file writes it, decoded: its escapes by decode (null: DecodeEscapes), the
// quotes around it gone, and a doubled quote inside it read as one.
std::string DecodeMifText(const std::string& written, std::string (*decode)(const std::string&));

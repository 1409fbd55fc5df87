#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "mif/model/mif_header.h"
#include "mif/model/mif_object.h"
#include "textfile/record_file.h"
#include "textfile/text_file.h"

// Writes one MIF/MID pair: the header, then object after object with its MID record. A failed
// write is remembered (WriteFailed) and the writing goes on, so that one failure does not cut
// what follows short; what was written stays on disk.
class CMifWriter {
public:
    CMifWriter();
    ~CMifWriter() { Close(); }
    CMifWriter(const CMifWriter&) = delete;
    CMifWriter& operator=(const CMifWriter&) = delete;

    // Creates the MIF file and the MID file beside it and writes the header. Neither file is
    // emptied until both are open, so that a MID file that cannot be opened leaves the old pair
    // as it was. 0 when either cannot be created.
    int Create(const char* path);
    // Closes both files, flushing what they still buffer.
    void Close();

    // Writes the object and its clauses, then an empty line; 0 when a line could not be written
    // or the record is no record of the family.
    int WriteObject(const CMifObject& record);
    // MID values of the current record, column by column, then the record.
    void SetValue(int i, const char* value);
    void SetValue(int i, std::string_view value);
    int WriteValues();
    // True once any write to the MIF or the MID file has failed since Create, the flush at close
    // included.
    bool WriteFailed() const { return MifWriteFailed() || MidWriteFailed(); }
    bool MifWriteFailed() const { return mif.HasWriteError(); }
    bool MidWriteFailed() const { return mid.HasWriteError(); }

    // The header Create writes: the desktop application's fixed items (Version 300, Charset
    // "WindowsCyrillic", Delimiter ",", CoordSys Earth Projection 1, 0) unless changed, and the
    // columns the caller gives.
    CMifHeader header;

private:
    CTextFile mif;
    CRecordFile mid;
};

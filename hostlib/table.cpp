#include "plugin/host/table.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "hostlib/host_internal.h"
#include "plugin/host/vector.h"

int CVectorColumn::GetSize() const {
    switch (type) {
        case XF_COL_TEXT:
            return std::clamp(width, 1, XF_MAX_TEXT_WIDTH) + 1;
        case XF_COL_UINT8:
            return 1;
        case XF_COL_UINT16:
        case XF_COL_INT16:
            return 2;
        case XF_COL_UINT32:
        case XF_COL_INT32:
        case XF_COL_FLOAT:
        case XF_COL_LOGICAL:
            return 4;
        case XF_COL_DOUBLE:
        case XF_COL_DECIMAL:
            return 8;
        case XF_COL_DATE:
            return 6;
        default:
            return 0;
    }
}

int Cgeo_VectorColumns::Add(const CVectorColumn& column) {
    columns.push_back(column);
    return GetSize() - 1;
}

const CVectorColumn* Cgeo_VectorColumns::Get(int i) const {
    if (i < 0 || i >= GetSize()) {
        return nullptr;
    }
    return &columns[static_cast<size_t>(i)];
}

namespace {

constexpr size_t kChunkRows = 4096;

// Rows of a fixed number of bytes, in chunks of 4,096 rows taken from the layer's store, so that
// a row never moves and growing copies nothing. A chunk is made when a row in it is first made:
// a column set only at row 100,000 holds one chunk, not 25. The first chunk grows by doubling
// from one row up to its full size, so that a short table stays small. A row made is zero bytes
// until set. With flags, a chunk also holds a byte per row behind its rows (whether the value
// was set), so that the rows stay aligned as their size allows.
class CRowChunks {
public:
    CRowChunks(size_t rowBytes, bool withFlags) : width(rowBytes), flags(withFlags ? 1 : 0) {}

    // Row i, or null when no row of its chunk was made.
    unsigned char* Get(size_t row) const {
        size_t capacity;
        unsigned char* chunk = ChunkOf(row, capacity);
        return chunk != nullptr ? chunk + (row % kChunkRows) * width : nullptr;
    }
    // The flag byte of row i, or null when no row of its chunk was made.
    unsigned char* Flag(size_t row) const {
        size_t capacity;
        unsigned char* chunk = ChunkOf(row, capacity);
        return chunk != nullptr && flags != 0 ? chunk + capacity * width + row % kChunkRows
                                              : nullptr;
    }
    // Row i, its chunk made when it was not.
    unsigned char* Make(CXF_Arena& arena, size_t row) {
        if (row < kChunkRows) {
            if (row >= firstCapacity) {
                size_t grown = std::max<size_t>(firstCapacity, 1);
                while (grown <= row) {
                    grown *= 2;
                }
                grown = std::min(grown, kChunkRows);
                unsigned char* chunk = NewChunk(arena, grown);
                if (firstCapacity > 0) {
                    std::memcpy(chunk, first, firstCapacity * width);
                    std::memcpy(chunk + grown * width, first + firstCapacity * width,
                                firstCapacity * flags);
                }
                first = chunk;
                firstCapacity = grown;
            }
        } else {
            size_t chunk = row / kChunkRows - 1;
            if (chunk >= more.size()) {
                more.resize(chunk + 1, nullptr);
            }
            if (more[chunk] == nullptr) {
                more[chunk] = NewChunk(arena, kChunkRows);
            }
        }
        return Get(row);
    }

private:
    unsigned char* ChunkOf(size_t row, size_t& capacity) const {
        if (row < kChunkRows) {
            capacity = firstCapacity;
            return row < firstCapacity ? first : nullptr;
        }
        size_t chunk = row / kChunkRows - 1;
        capacity = kChunkRows;
        return chunk < more.size() ? more[chunk] : nullptr;
    }
    unsigned char* NewChunk(CXF_Arena& arena, size_t rows) {
        size_t bytes = rows * (width + flags);
        auto* chunk = static_cast<unsigned char*>(arena.Allocate(bytes));
        std::memset(chunk, 0, bytes);
        return chunk;
    }

    size_t width;
    size_t flags;
    size_t firstCapacity = 0;
    unsigned char* first = nullptr;
    std::vector<unsigned char*> more;  // the chunks after the first
};

// Blocks of texts: the first holds a few short texts, each next one is twice as large up to
// 2 MiB. Blocks of 2 MiB come from the system in large pages, smaller ones from the heap.
constexpr size_t kFirstTextBlock = 256;
// Replaced texts are compacted away once they take more than this and more than the texts in use.
constexpr size_t kCompactAfter = size_t{256} << 10;

// Texts, each zero-terminated, packed one after another in blocks: a string per row would cost its
// own allocation and twice the memory. One store serves every text column of a table, so that a
// table of thousands of text columns with one short value each stays small.
class CTextStore {
public:
    CTextStore() = default;
    CTextStore(const CTextStore&) = delete;
    CTextStore& operator=(const CTextStore&) = delete;
    ~CTextStore() { FreeBlocks(blocks); }

    // Stores a text in place of the one whose pointer is in slot (none for a null pointer).
    void Set(unsigned char* slot, const char* text, size_t length);
    // True when more bytes are lost to replaced texts than are in use: time to compact.
    bool Wasteful() const { return wasted > used && wasted > kCompactAfter; }
    // Compacting: Begin sets the blocks in use aside, Move copies each text in use into new ones
    // and updates its slot, End frees the old blocks (Abandon keeps both after a failure).
    void BeginCompact();
    void Move(unsigned char* slot);
    void EndCompact();
    void AbandonCompact();

private:
    struct Block {
        char* base;
        size_t size;
    };
    static bool FromSystem(size_t size) { return size >= kLargeBlockUnit; }
    char* Place(const char* text, size_t length);
    static void FreeBlocks(std::vector<Block>& list) {
        for (const Block& block : list) {
            if (FromSystem(block.size)) {
                FreeBlock(block.base, block.size);
            } else {
                delete[] block.base;
            }
        }
        list.clear();
    }

    std::vector<Block> blocks;
    std::vector<Block> oldBlocks;  // while compacting
    size_t blockUsed = 0;
    size_t used = 0;    // bytes of the texts in place, zero bytes included
    size_t wasted = 0;  // bytes of texts that were replaced
};

char* TextAt(const unsigned char* slot) {
    char* text;
    std::memcpy(&text, slot, sizeof text);
    return text;
}

void CTextStore::Set(unsigned char* slot, const char* text, size_t length) {
    char* old = TextAt(slot);
    size_t oldLength = old != nullptr ? std::strlen(old) : 0;
    if (old != nullptr && length <= oldLength) {
        // A text no longer than the one it replaces takes its place.
        std::memmove(old, text, length);
        old[length] = '\0';
        used -= oldLength - length;
        wasted += oldLength - length;
        return;
    }
    char* placed = Place(text, length);
    std::memcpy(slot, &placed, sizeof placed);
    used += length + 1;
    if (old != nullptr) {
        used -= oldLength + 1;
        wasted += oldLength + 1;
    }
}

char* CTextStore::Place(const char* text, size_t length) {
    if (blocks.empty() || blocks.back().size - blockUsed < length + 1) {
        size_t size =
            blocks.empty() ? kFirstTextBlock : std::min(2 * blocks.back().size, kLargeBlockUnit);
        size = std::max(size, length + 1);
        blocks.reserve(blocks.size() + 1);
        char* base = FromSystem(size) ? AllocateBlock(size) : new char[size];
        if (base == nullptr) {
            throw std::bad_alloc();
        }
        blocks.push_back(Block{base, size});
        blockUsed = 0;
    }
    char* at = blocks.back().base + blockUsed;
    std::memmove(at, text, length);
    at[length] = '\0';
    blockUsed += length + 1;
    return at;
}

void CTextStore::BeginCompact() {
    oldBlocks.swap(blocks);
    blockUsed = 0;
}

void CTextStore::Move(unsigned char* slot) {
    if (char* text = TextAt(slot)) {
        char* placed = Place(text, std::strlen(text));
        std::memcpy(slot, &placed, sizeof placed);
    }
}

void CTextStore::EndCompact() {
    FreeBlocks(oldBlocks);
    wasted = 0;
}

void CTextStore::AbandonCompact() {
    // Rows already moved point into the new blocks, the others into the old: keep both.
    blocks.insert(blocks.begin(), oldBlocks.begin(), oldBlocks.end());
    oldBlocks.clear();
}

}  // namespace

// A text column keeps a text pointer per row, its text in the table's store; any other column a
// row of its value bytes and a flag that tells whether the value was set.
struct Cgeo_VectorTable::ColumnData {
    ColumnData(int valueSize, bool isText)
        : size(valueSize),
          text(isText),
          rows(isText ? sizeof(char*) : static_cast<size_t>(valueSize), !isText) {}
    int size;
    bool text;
    size_t rowCount = 0;
    CRowChunks rows;
};

struct Cgeo_VectorTable::Texts : CTextStore {};

Cgeo_VectorTable::Cgeo_VectorTable(const Cgeo_Vector* owner) : vector(owner) {}
Cgeo_VectorTable::~Cgeo_VectorTable() = default;

void Cgeo_VectorTable::CompactTexts() {
    texts->BeginCompact();
    try {
        for (const std::unique_ptr<ColumnData>& d : data) {
            for (size_t row = 0; d != nullptr && d->text && row < d->rowCount; ++row) {
                if (unsigned char* slot = d->rows.Get(row)) {
                    texts->Move(slot);
                }
            }
        }
    } catch (...) {
        texts->AbandonCompact();
        throw;
    }
    texts->EndCompact();
}

int Cgeo_VectorTable::SetColumnValue(std::int64_t id, int column, const void* value) {
    const CVectorColumn* description = columns.Get(column);
    if (description == nullptr || value == nullptr || id < 0 || id >= vector->GetObjectCount()) {
        return 0;
    }
    int size = description->GetSize();
    if (size == 0) {
        return 0;
    }
    if (data.size() < static_cast<size_t>(columns.GetSize())) {
        data.resize(static_cast<size_t>(columns.GetSize()));
    }
    std::unique_ptr<ColumnData>& slot = data[static_cast<size_t>(column)];
    if (slot == nullptr) {
        slot = std::make_unique<ColumnData>(size, description->type == XF_COL_TEXT);
    }
    ColumnData& d = *slot;
    size_t row = static_cast<size_t>(id);
    unsigned char* bytes = d.rows.Make(*vector->arena, row);
    d.rowCount = std::max(d.rowCount, row + 1);
    if (d.text) {
        // At most width bytes, up to the value's zero byte.
        const char* text = static_cast<const char*>(value);
        size_t length = 0;
        size_t limit = static_cast<size_t>(d.size - 1);
        while (length < limit && text[length] != '\0') {
            ++length;
        }
        if (texts == nullptr) {
            texts = std::make_unique<Texts>();
        }
        texts->Set(bytes, text, length);
        if (texts->Wasteful()) {
            CompactTexts();
        }
        return 1;
    }
    std::memcpy(bytes, value, static_cast<size_t>(d.size));
    *d.rows.Flag(row) = 1;
    return 1;
}

const void* Cgeo_VectorTable::GetColumnValue(std::int64_t id, int column) const {
    if (column < 0 || static_cast<size_t>(column) >= data.size() || id < 0 ||
        data[static_cast<size_t>(column)] == nullptr) {
        return nullptr;
    }
    const ColumnData& d = *data[static_cast<size_t>(column)];
    const unsigned char* bytes = d.rows.Get(static_cast<size_t>(id));
    if (bytes == nullptr) {
        return nullptr;
    }
    if (d.text) {
        return TextAt(bytes);
    }
    return *d.rows.Flag(static_cast<size_t>(id)) != 0 ? bytes : nullptr;
}

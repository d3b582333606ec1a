#pragma once

#include <QtCore/QHash>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QVariant>

#include <algorithm>
#include <bit>
#include <cstring>
#include <cstdint>
#include <memory>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace korva::db {

// Blocks of row index of the full size that stores let go, kept for the
// next stores: memory new from the system costs a page fault per 4 KB the
// first time it is written. takeIndexBlock gives an empty block with room
// for `entries`, reused when one is kept.
std::vector<std::uint32_t> takeIndexBlock(std::size_t entries);
void giveIndexBlock(std::vector<std::uint32_t> &&block, std::size_t entries);

// A sequence that grows without ever moving what it holds: elements live in
// blocks of a fixed size (the first one grows up to it), so that appending is
// always in proportion to what is appended, never to what is there.
template<class T>
class BlockVector
{
public:
    static constexpr int kShift = 15;
    static constexpr std::size_t kBlock = std::size_t(1) << kShift;

    BlockVector() = default;
    BlockVector(const BlockVector &) = delete;
    BlockVector &operator=(const BlockVector &) = delete;
    BlockVector(BlockVector &&other) noexcept
        : m_blocks(std::move(other.m_blocks)), m_size(std::exchange(other.m_size, 0)),
          m_fullFirst(other.m_fullFirst)
    {
        other.m_blocks.clear();
    }
    BlockVector &operator=(BlockVector &&other) noexcept
    {
        if (this != &other) {
            clear();
            m_blocks = std::move(other.m_blocks);
            other.m_blocks.clear();
            m_size = std::exchange(other.m_size, 0);
            m_fullFirst = other.m_fullFirst;
        }
        return *this;
    }
    ~BlockVector() { clear(); }

    std::size_t size() const { return m_size; }
    const T &operator[](std::size_t i) const { return m_blocks[i >> kShift][i & (kBlock - 1)]; }
    void push_back(T value)
    {
        room();
        m_blocks.back().push_back(value);
        ++m_size;
    }
    void append(std::size_t count, T value)
    {
        for (std::size_t i = 0; i < count; ++i)
            push_back(value);
    }
    void append(const BlockVector &other)
    {
        // Many elements coming into an empty sequence start a block of the full size.
        if (m_blocks.empty() && other.size() >= kBlock / 4)
            m_blocks.push_back(newBlock());
        for (const std::vector<T> &block : other.m_blocks)
            for (std::size_t at = 0; at < block.size();) {
                room();
                std::vector<T> &last = m_blocks.back();
                const std::size_t n = std::min(block.size() - at, kBlock - last.size());
                last.insert(last.end(), block.begin() + std::ptrdiff_t(at), block.begin() + std::ptrdiff_t(at + n));
                at += n;
                m_size += n;
            }
    }
    // A block emptied stays for the next element: a search dropping row
    // after row at a block's start would otherwise allocate it every time.
    void pop_back()
    {
        if (m_blocks.back().empty())
            m_blocks.pop_back();
        m_blocks.back().pop_back();
        --m_size;
    }
    void clear()
    {
        for (std::vector<T> &block : m_blocks)
            release(std::move(block));
        m_blocks.clear();
        m_size = 0;
    }
    // The first block is taken at its full size: for a sequence that is
    // expected to grow large (a batch of rows read).
    void startWithFullBlock() { m_fullFirst = true; }
    // The last block cut to its size; one of the full size is kept unless
    // mostly empty (then its few elements move to a block of their own).
    void shrink_to_fit()
    {
        if (m_blocks.empty())
            return;
        std::vector<T> &last = m_blocks.back();
        if (last.capacity() < kBlock) {
            last.shrink_to_fit();
        } else if (last.size() < kBlock / 4) {
            std::vector<T> exact(last.begin(), last.end());
            release(std::move(last));
            last = std::move(exact);
        }
    }
    std::size_t capacityBytes() const
    {
        std::size_t bytes = m_blocks.capacity() * sizeof(std::vector<T>);
        for (const std::vector<T> &block : m_blocks)
            bytes += block.capacity() * sizeof(T);
        return bytes;
    }

private:
    // A block with room at the end; a new one takes its full size at once,
    // except the first, which grows as a vector does (small results stay small).
    void room()
    {
        if (m_blocks.empty() || m_blocks.back().size() == kBlock) {
            if (m_blocks.empty() && !m_fullFirst)
                m_blocks.emplace_back();
            else
                m_blocks.push_back(newBlock());
        }
    }
    static std::vector<T> newBlock()
    {
        if constexpr (std::is_same_v<T, std::uint32_t>) {
            return takeIndexBlock(kBlock);
        } else {
            std::vector<T> block;
            block.reserve(kBlock);
            return block;
        }
    }
    static void release(std::vector<T> &&block)
    {
        if constexpr (std::is_same_v<T, std::uint32_t>) {
            if (block.capacity() == kBlock)
                giveIndexBlock(std::move(block), kBlock);
        }
        block = {};
    }

    std::vector<std::vector<T>> m_blocks;
    std::size_t m_size = 0;
    bool m_fullFirst = false;
};

enum class CellType : std::uint8_t { Null = 0, Integer = 1, Real = 2, Text = 3, Blob = 4 };

// UTF-8 bytes as text, a leading U+FEFF kept as the character it is (it is
// data here, not a byte order mark).
QString textFromUtf8(const char *utf8, qsizetype size);

// Room for the text of a cell kept in a compact form (a number, a date, a
// GUID, a run of digits), written out when it is read.
struct CellBuffer
{
    char data[48];
};

// One cell as a walk down a column sees it: its type, its text bytes (UTF-8
// text, numbers in decimal, raw bytes for a blob) and, for an integer, its
// value. `stable` bytes stay valid for as long as the store is unchanged;
// other bytes only until the walk's next cell.
struct CellRef
{
    CellType type = CellType::Null;
    std::string_view bytes;
    qint64 integer = 0;
    bool stable = true;
    bool replaced = false; // an edit replaced the cell: value() and text() have it
};

// What a search looks for, made ready once: the needle as typed, lower-cased
// as UTF-8, and whether a cell must equal it or only hold it. Neither
// regards letter case.
class RowFilter
{
public:
    RowFilter(const QString &needle, bool exact);

    const QString &needle() const { return m_needle; }
    const QByteArray &lowerNeedle() const { return m_lowerNeedle; }
    bool exact() const { return m_exact; }

    // For a reader that sees a cell before it is stored: false when the cell
    // certainly does not match, true when it may (the store then decides).
    bool textMayMatch(const char *utf8, qsizetype size) const;
    bool integersMayMatch() const { return (m_kinds & m_integerKind) != 0; }
    bool nullsMayMatch() const { return m_lowerNeedle.isEmpty(); }

private:
    friend class RowStore;
    QString m_needle;
    QByteArray m_lowerNeedle;
    bool m_exact = false;
    unsigned m_kinds = ~0u; // the kinds of stored cell whose texts could hold the needle
    unsigned m_integerKind = 0;
};

// Compact, append-only storage of a result set's rows. A row is one run of
// bytes in a large chunk: per cell a tag byte and the cell in the form that
// costs least. Integers and reals are kept binary, dates, GUIDs and runs of
// digits packed, short texts that repeat in a column as a number into that
// column's dictionary, other text as UTF-8. Every cell reads back as exactly
// the text it was given. Each row costs four bytes of index besides; there
// is no allocation per cell.
class RowStore
{
public:
    RowStore();
    ~RowStore();
    RowStore(const RowStore &) = delete;
    RowStore &operator=(const RowStore &) = delete;
    RowStore(RowStore &&) noexcept;
    RowStore &operator=(RowStore &&) noexcept;

    void setColumns(const QStringList &names);
    const QStringList &columns() const { return m_columns; }
    int columnCount() const { return int(m_columns.size()); }
    qsizetype rowCount() const { return qsizetype(m_rowStart.size()); }
    void clear();

    // Appending a row: beginRow(), one add... per column, endRow().
    void beginRow()
    {
        m_rowEnd = m_chunkUsed;
        m_pendingCells = 0;
        m_inRow = true;
        m_pendingTooLarge = false;
    }
    // The commonest cells are written here, inline in the reader's loop,
    // when the chunk has room; otherwise (and past the columns) addTag sees to them.
    void addNull()
    {
        if (m_pendingCells < columnCount() && !m_pendingTooLarge && m_rowEnd < m_last.size
            && m_rowEnd - m_chunkUsed < maxRowBytes()) {
            ++m_pendingCells;
            m_last.bytes[m_rowEnd++] = 0; // kind 0, no bytes
            return;
        }
        addTag(0, nullptr, 0);
    }
    void addInteger(qint64 value)
    {
        // The fewest bytes that give the value back when sign extended: the
        // value's bits beyond its sign, and the sign bit. Tag: kind 1, the count.
        const auto magnitude = std::uint64_t(value ^ (value >> 63));
        const unsigned n = value == 0 ? 0u : unsigned(64 - std::countl_zero(magnitude) + 8) / 8;
        std::uint64_t le = std::uint64_t(value);
        if constexpr (std::endian::native == std::endian::big)
            le = __builtin_bswap64(le);
        if (m_pendingCells < columnCount() && !m_pendingTooLarge && m_rowEnd + 9 <= m_last.size
            && m_rowEnd - m_chunkUsed + 9 <= maxRowBytes()) {
            ++m_pendingCells;
            unsigned char *at = m_last.bytes + m_rowEnd;
            at[0] = static_cast<unsigned char>(0x10 | n);
            std::memcpy(at + 1, &le, 8); // all eight fit; the next cell writes over the rest
            m_rowEnd += 1 + n;
            return;
        }
        addTag(0x10 | n, &le, n);
    }
    void addReal(double value);
    void addText(const char *utf8, qsizetype size);
    void addText(const QString &text);
    void addBlob(const void *data, qsizetype size);
    void addVariant(const QVariant &value);
    // False, and the row left out, when its cells hold more than maxRowBytes().
    bool endRow()
    {
        // The common case inline: a full row, kept, in a store that keeps every row.
        if (!m_pendingTooLarge && m_pendingCells == columnCount() && m_last.bytes && !m_filter
            && m_sourceRows.empty() && m_rowsRead == rowCount()) {
            m_inRow = false;
            m_rowStart.push_back(std::uint32_t(m_chunkUsed));
            m_contentBytes += m_rowEnd - m_chunkUsed;
            m_chunkUsed = m_rowEnd;
            ++m_rowsRead;
            return true;
        }
        return endRowSlowly();
    }
    static constexpr qsizetype maxRowBytes() { return (qsizetype(1) << 29) - 1; }
    void appendRow(const QVariantList &values);

    // Moves another store's rows (same columns) to the end of this one without
    // copying their bytes: a batch read on another thread joins the store in
    // one step. The other store is left empty.
    void append(RowStore &&other);
    // Gives back the unused end of the last chunk and of the bookkeeping, for
    // a batch that is complete.
    void shrinkToFit();
    // Chunks of exactly this size that a store lets go are kept for the next
    // stores (a load's batches are read into chunks of this size).
    static constexpr qsizetype kReusedChunk = 2 * 1024 * 1024;
    // The size to start the first chunk with, when the bytes to come are known roughly.
    // A store started at the size stores reuse is a batch of a large result:
    // its row index starts in a block of the full size as well.
    void setFirstChunkSize(qsizetype bytes)
    {
        m_firstChunk = std::clamp<qsizetype>(bytes, 1024, 4 * kChunkSize);
        if (bytes >= kReusedChunk)
            m_rowStart.startWithFullBlock();
    }
    // Off: texts are kept as they come, none packed. Rows that are read once
    // and let go (a search's scan) are not worth packing.
    void setCompactText(bool on) { m_compactText = on; }
    // Rows read to be searched: from the next row on, a row none of whose
    // cells matches the filter (as textMatches weighs them) is read but not
    // kept. sourceRow() tells where a kept row came.
    void keepOnlyMatching(std::shared_ptr<const RowFilter> filter) { m_filter = std::move(filter); }
    const RowFilter *filter() const { return m_filter.get(); }
    // A row read and found not to match without being written.
    void skipRow() { ++m_rowsRead; }
    // Rows read, kept or not, and the place among them of a row kept.
    qsizetype rowsRead() const { return m_rowsRead; }
    qsizetype sourceRow(qsizetype row) const
    {
        return m_sourceRows.empty() ? row : qsizetype(m_sourceRows.at(std::size_t(row)));
    }

    CellType type(qsizetype row, int column) const;
    bool isNull(qsizetype row, int column) const { return type(row, column) == CellType::Null; }
    QVariant value(qsizetype row, int column) const;
    // The cell as a grid shows it: numbers in decimal, blobs as 0x + hex, null as empty.
    QString text(qsizetype row, int column) const;
    // The cell's text bytes (UTF-8 text, numbers in decimal, raw blobs).
    QByteArray bytes(qsizetype row, int column) const;
    // The same without a copy, and the cell's type; a cell kept in a compact
    // form is written into `buffer`. False for a cell an edit replaced: then
    // value() and text() have it.
    bool storedCell(qsizetype row, int column, std::string_view *bytes, CellType *type, CellBuffer *buffer) const;
    void setValue(qsizetype row, int column, const QVariant &value);

    // Calls f(row, const CellRef &) for the column's cell of every row, in
    // order, much faster than reading cell by cell. Without integerText an
    // integer cell comes with its value alone (no bytes).
    template<class F>
    void forEachCell(int column, F &&f, bool integerText = true) const
    {
        const qsizetype n = rowCount();
        if (column < 0 || column >= columnCount())
            return;
        Walk walk(*this);
        CellBuffer buffer;
        CellRef ref;
        for (qsizetype row = 0; row < n; ++row) {
            if (!m_overrides.isEmpty()
                && m_overrides.contains(quint64(row) * quint64(columnCount()) + quint64(column))) {
                ref = CellRef{type(row, column), {}, 0, true, true};
                f(row, ref);
                continue;
            }
            walk.read(row, column, &buffer, &ref, integerText);
            f(row, ref);
        }
    }
    // The same as f(row, bytes, type, replaced).
    template<class F>
    void forEachStoredCell(int column, F &&f) const
    {
        forEachCell(column, [&](qsizetype row, const CellRef &c) { f(row, c.bytes, c.type, c.replaced); });
    }

    // Whether the cell's text equals (or contains) a needle, without regard
    // to case. The needle is given lower-cased, as UTF-8 and as text; plain
    // ASCII cells are compared on their bytes without making a QString.
    bool textMatches(qsizetype row, int column, const QByteArray &lowerNeedleUtf8, const QString &needle,
                     bool exact) const;
    // The first of a row's columns fromColumn..lastColumn whose cell matches
    // so, or -1: one walk along the row instead of one per cell.
    int firstMatchInRow(qsizetype row, int fromColumn, int lastColumn, const QByteArray &lowerNeedleUtf8,
                        const QString &needle, bool exact) const;
    int firstMatchInRow(qsizetype row, int fromColumn, int lastColumn, const RowFilter &filter) const;

    // Bytes the cells take as kept, and bytes allocated in all.
    qsizetype contentBytes() const { return m_contentBytes; }
    // Bytes the last chunk still has room for (none before the first).
    qsizetype roomLeft() const { return m_last.size - m_rowEnd; }
    qsizetype allocatedBytes() const;

private:
    friend class RowFilter;
    struct Dictionary;
    struct Segment;

    // Reads rows in order, following the chunks and dictionaries along.
    class Walk
    {
    public:
        explicit Walk(const RowStore &store) : m_store(store) {}
        void read(qsizetype row, int column, CellBuffer *buffer, CellRef *ref, bool integerText);

    private:
        const RowStore &m_store;
        std::size_t m_chunk = 0;
        std::size_t m_segment = 0;
    };

    const unsigned char *rowData(qsizetype row, std::size_t chunk) const;
    void decode(const unsigned char *cell, const Dictionary *dict, int column, CellBuffer *buffer, CellRef *ref,
                bool integerText = true) const;
    const unsigned char *cellAt(qsizetype row, int column) const; // the cell's tag byte
    bool cellMatches(const unsigned char *cell, qsizetype row, int column, const QByteArray &lowerNeedleUtf8,
                     const QString &needle, bool exact, unsigned kinds) const;
    int firstMatchInRow(qsizetype row, int fromColumn, int lastColumn, const QByteArray &lowerNeedleUtf8,
                        const QString &needle, bool exact, unsigned kinds) const;
    // The kinds of cell (bit per tag kind) whose texts could hold the needle.
    static unsigned kindsThatMayHold(const QByteArray &lowerNeedleUtf8);
    void cellOf(qsizetype row, int column, CellBuffer *buffer, CellRef *ref) const;
    const Dictionary *dictionaryOf(std::size_t segment) const;
    void addTag(unsigned tag, const void *data, qsizetype size);
    void putTag(unsigned tag, const void *data, qsizetype size);
    bool endRowSlowly();
    void addSized(unsigned kind, const char *data, qsizetype size);
    bool addCompactText(const char *utf8, qsizetype size);
    // Room for `size` more bytes of the row being built, at its end; the row
    // moves to a new chunk whole when the current one is full.
    unsigned char *room(qsizetype size);
    unsigned char *roomInNewChunk(qsizetype size);
    std::size_t chunkOf(qsizetype row) const;
    std::size_t segmentOf(qsizetype row) const;
    Dictionary *buildingDictionary();

    static constexpr qsizetype kChunkSize = 4 * 1024 * 1024;

    static constexpr qsizetype kFirstChunkSize = 16 * 1024;

    QStringList m_columns;
    struct FreeChunk
    {
        bool reusable = false; // a chunk of kReusedChunk bytes, kept for the next store
        void operator()(char *p) const;
    };
    using ChunkPointer = std::unique_ptr<char, FreeChunk>;
    std::vector<ChunkPointer> m_chunks;
    std::vector<qsizetype> m_chunkSizes;
    std::vector<std::uint32_t> m_chunkFirstRow; // rows fill the chunks in order
    // The last chunk's bytes and size, for writing a cell without looking
    // through the vectors; a store moved from has none.
    struct LastChunk
    {
        unsigned char *bytes = nullptr;
        qsizetype size = 0;
        LastChunk() = default;
        LastChunk(unsigned char *b, qsizetype n) : bytes(b), size(n) {}
        LastChunk(LastChunk &&o) noexcept : bytes(std::exchange(o.bytes, nullptr)), size(std::exchange(o.size, 0)) {}
        LastChunk &operator=(LastChunk &&o) noexcept
        {
            bytes = std::exchange(o.bytes, nullptr);
            size = std::exchange(o.size, 0);
            return *this;
        }
    };
    LastChunk m_last;
    qsizetype m_chunkUsed = 0; // bytes of complete rows in the last chunk
    qsizetype m_firstChunk = kFirstChunkSize;
    // Rows from a segment's first on write their repeated texts into its dictionary.
    std::vector<Segment> m_segments;
    // Per row: its start in its chunk.
    BlockVector<std::uint32_t> m_rowStart;
    // The row being built lies in the last chunk from m_chunkUsed to m_rowEnd.
    qsizetype m_rowEnd = 0;
    Dictionary *m_building = nullptr; // the dictionary new rows write into
    int m_pendingCells = 0;
    bool m_inRow = false;
    bool m_pendingTooLarge = false;
    bool m_compactText = true;
    qsizetype m_contentBytes = 0;
    std::shared_ptr<const RowFilter> m_filter;
    qsizetype m_rowsRead = 0;
    // Per kept row, its place among the rows read; empty while every row read is kept.
    std::vector<std::uint32_t> m_sourceRows;
    // Cells replaced by setValue() live here (edit mode writes back single cells).
    QHash<quint64, QVariant> m_overrides;
};

} // namespace korva::db

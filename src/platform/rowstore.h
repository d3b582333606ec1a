#pragma once

#include <QtCore/QHash>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QVariant>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace korva::db {

// A sequence that grows without ever moving what it holds: elements live in
// blocks of a fixed size (the first one grows up to it), so that appending is
// always in proportion to what is appended, never to what is there.
template<class T>
class BlockVector
{
public:
    static constexpr int kShift = 15;
    static constexpr std::size_t kBlock = std::size_t(1) << kShift;

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
    void clear()
    {
        m_blocks.clear();
        m_size = 0;
    }
    void shrink_to_fit()
    {
        if (!m_blocks.empty())
            m_blocks.back().shrink_to_fit();
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
            m_blocks.emplace_back();
            if (m_blocks.size() > 1)
                m_blocks.back().reserve(kBlock);
        }
    }

    std::vector<std::vector<T>> m_blocks;
    std::size_t m_size = 0;
};

enum class CellType : std::uint8_t { Null = 0, Integer = 1, Real = 2, Text = 3, Blob = 4 };

// UTF-8 bytes as text, a leading U+FEFF kept as the character it is (it is
// data here, not a byte order mark).
QString textFromUtf8(const char *utf8, qsizetype size);

// Compact, append-only storage of a result set's rows. Cell bytes (UTF-8 text,
// decimal numbers, raw blobs) live in large chunks; each cell of a row up to
// 8 KB costs two bytes of bookkeeping (larger rows four), each row four.
// Holds a million-row table without a per-cell allocation.
class RowStore
{
public:
    RowStore() = default;
    RowStore(const RowStore &) = delete;
    RowStore &operator=(const RowStore &) = delete;
    RowStore(RowStore &&) noexcept = default;
    RowStore &operator=(RowStore &&) noexcept = default;

    void setColumns(const QStringList &names);
    const QStringList &columns() const { return m_columns; }
    int columnCount() const { return int(m_columns.size()); }
    qsizetype rowCount() const { return qsizetype(m_rowStart.size()); }
    void clear();

    // Appending a row: beginRow(), one add... per column, endRow().
    void beginRow();
    void addNull();
    void addInteger(qint64 value);
    void addReal(double value);
    void addText(const char *utf8, qsizetype size);
    void addText(const QString &text);
    void addBlob(const void *data, qsizetype size);
    void addVariant(const QVariant &value);
    // False, and the row left out, when its cells hold more than maxRowBytes().
    bool endRow();
    static constexpr qsizetype maxRowBytes() { return qsizetype(kEndMask); }
    void appendRow(const QVariantList &values);

    // Moves another store's rows (same columns) to the end of this one without
    // copying their bytes: a batch read on another thread joins the store in
    // one step. The other store is left empty.
    void append(RowStore &&other);
    // Gives back the unused end of the last chunk and of the bookkeeping, for
    // a batch that is complete.
    void shrinkToFit();
    // The size to start the first chunk with, when the bytes to come are known roughly.
    void setFirstChunkSize(qsizetype bytes) { m_firstChunk = std::clamp<qsizetype>(bytes, 1024, 4 * kChunkSize); }

    CellType type(qsizetype row, int column) const;
    bool isNull(qsizetype row, int column) const { return type(row, column) == CellType::Null; }
    QVariant value(qsizetype row, int column) const;
    // The cell as a grid shows it: numbers in decimal, blobs as 0x + hex, null as empty.
    QString text(qsizetype row, int column) const;
    QByteArray bytes(qsizetype row, int column) const;
    // The cell's bytes as stored (UTF-8 text, numbers in decimal, raw blobs)
    // and its type, without a copy. False for a cell an edit replaced: then
    // value() and text() have it.
    bool storedCell(qsizetype row, int column, std::string_view *bytes, CellType *type) const;
    void setValue(qsizetype row, int column, const QVariant &value);
    // Calls f(row, bytes, type) for the column's cell of every row, in order,
    // faster than storedCell() row by row; a cell an edit replaced comes with
    // empty bytes and `replaced` set (then value() and text() have it).
    template<class F>
    void forEachStoredCell(int column, F &&f) const
    {
        const qsizetype n = rowCount();
        const std::size_t chunks = m_chunkFirstRow.size();
        std::size_t chunk = 0;
        for (qsizetype row = 0; row < n; ++row) {
            while (chunk + 1 < chunks && m_chunkFirstRow[chunk + 1] <= std::uint32_t(row))
                ++chunk;
            if (!m_overrides.isEmpty()
                && m_overrides.contains(quint64(row) * quint64(columnCount()) + quint64(column))) {
                f(row, std::string_view(), type(row, column), true);
                continue;
            }
            const Span s = spanIn(row, column, chunk);
            f(row, std::string_view(s.data, s.size), s.type, false);
        }
    }

    // Whether the cell's text equals (or contains) a needle, without regard
    // to case. The needle is given lower-cased, as UTF-8 and as text; plain
    // ASCII cells are compared on their bytes without making a QString.
    bool textMatches(qsizetype row, int column, const QByteArray &lowerNeedleUtf8, const QString &needle,
                     bool exact) const;

    // Bytes of cell content held (text as UTF-8), and bytes allocated in all.
    qsizetype contentBytes() const { return m_contentBytes; }
    qsizetype allocatedBytes() const;

private:
    struct Span
    {
        const char *data;
        std::uint32_t size;
        CellType type;
    };
    Span span(qsizetype row, int column) const { return spanIn(row, column, chunkOf(row)); }
    Span spanIn(qsizetype row, int column, std::size_t chunk) const;
    void addCell(CellType type, const char *data, qsizetype size);
    char *reserve(qsizetype size);
    std::size_t chunkOf(qsizetype row) const;
    const std::uint32_t *wideCells(qsizetype row) const;

    // A cell while its row is built, and in a wide row: end offset from the
    // row's start (low 29 bits) and type (high 3 bits).
    static constexpr std::uint32_t kTypeShift = 29;
    static constexpr std::uint32_t kEndMask = (1u << kTypeShift) - 1;
    // A cell of a narrow row (up to 8 KB): 13 bits of end offset, 3 of type.
    static constexpr std::uint16_t kNarrowShift = 13;
    static constexpr std::uint16_t kNarrowMask = (1u << kNarrowShift) - 1;
    // Marks a row start whose cells are in the wide table.
    static constexpr std::uint32_t kWideRow = 0x80000000u;
    static constexpr qsizetype kChunkSize = 4 * 1024 * 1024;
    static constexpr qsizetype kFirstChunkSize = 16 * 1024;

    QStringList m_columns;
    std::vector<std::unique_ptr<char[]>> m_chunks;
    std::vector<qsizetype> m_chunkSizes;
    std::vector<std::uint32_t> m_chunkFirstRow; // rows fill the chunks in order
    qsizetype m_chunkUsed = 0;
    qsizetype m_firstChunk = kFirstChunkSize;
    // Per row: start offset in its chunk (kWideRow set for a wide row). Per
    // cell, columnCount to a row: the narrow form (unused for a wide row).
    BlockVector<std::uint32_t> m_rowStart;
    BlockVector<std::uint16_t> m_cells;
    // Rows over 8 KB: row number and where their cells begin in m_wideCells.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> m_wideRows;
    std::vector<std::uint32_t> m_wideCells;
    // The row being built, kept contiguous so it can move to a new chunk whole.
    std::vector<char> m_pending;
    std::vector<std::uint32_t> m_pendingCells;
    bool m_inRow = false;
    bool m_pendingTooLarge = false;
    qsizetype m_contentBytes = 0;
    // Cells replaced by setValue() live here (edit mode writes back single cells).
    QHash<quint64, QVariant> m_overrides;
};

} // namespace korva::db

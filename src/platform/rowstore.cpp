#include "platform/rowstore.h"

#include <QtCore/QStringDecoder>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace korva::db {

QString textFromUtf8(const char *utf8, qsizetype size)
{
    if (size >= 3 && static_cast<unsigned char>(utf8[0]) == 0xEF && static_cast<unsigned char>(utf8[1]) == 0xBB
        && static_cast<unsigned char>(utf8[2]) == 0xBF) {
        QStringDecoder keepBom(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
        return keepBom(QByteArrayView(utf8, size));
    }
    return QString::fromUtf8(utf8, size);
}

void RowStore::setColumns(const QStringList &names)
{
    clear();
    m_columns = names;
}

void RowStore::clear()
{
    m_chunks.clear();
    m_chunkSizes.clear();
    m_chunkFirstRow.clear();
    m_chunkUsed = 0;
    m_rowStart.clear();
    m_cells.clear();
    m_wideRows.clear();
    m_wideCells.clear();
    m_pending.clear();
    m_pendingCells.clear();
    m_inRow = false;
    m_pendingTooLarge = false;
    m_contentBytes = 0;
    m_overrides.clear();
}

void RowStore::beginRow()
{
    m_pending.clear();
    m_pendingCells.clear();
    m_inRow = true;
    m_pendingTooLarge = false;
}

void RowStore::addCell(CellType type, const char *data, qsizetype size)
{
    // Cell ends are kept in kTypeShift bits: a larger row cannot be held.
    if (m_pendingTooLarge || qsizetype(m_pending.size()) + size > maxRowBytes()) {
        m_pendingTooLarge = true;
        m_pendingCells.push_back(0);
        return;
    }
    if (size > 0)
        m_pending.insert(m_pending.end(), data, data + size);
    m_pendingCells.push_back(std::uint32_t(m_pending.size()) | (std::uint32_t(type) << kTypeShift));
}

void RowStore::addNull() { addCell(CellType::Null, nullptr, 0); }

void RowStore::addInteger(qint64 value)
{
    char buf[24];
    char *end = buf + sizeof buf;
    char *p = end;
    // Digits from the right; the magnitude as unsigned so the lowest value works too.
    quint64 v = value < 0 ? quint64(0) - quint64(value) : quint64(value);
    do {
        *--p = char('0' + v % 10);
        v /= 10;
    } while (v != 0);
    if (value < 0)
        *--p = '-';
    addCell(CellType::Integer, p, end - p);
}

void RowStore::addReal(double value)
{
    const QByteArray text = QByteArray::number(value, 'g', 15);
    addCell(CellType::Real, text.constData(), text.size());
}

void RowStore::addText(const char *utf8, qsizetype size) { addCell(CellType::Text, utf8, size); }

void RowStore::addText(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    addCell(CellType::Text, utf8.constData(), utf8.size());
}

void RowStore::addBlob(const void *data, qsizetype size)
{
    addCell(CellType::Blob, static_cast<const char *>(data), size);
}

void RowStore::addVariant(const QVariant &value)
{
    if (value.isNull() || !value.isValid()) {
        addNull();
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Bool:
        addInteger(value.toLongLong());
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        addReal(value.toDouble());
        break;
    case QMetaType::QByteArray: {
        const QByteArray b = value.toByteArray();
        addBlob(b.constData(), b.size());
        break;
    }
    default:
        addText(value.toString());
    }
}

char *RowStore::reserve(qsizetype size)
{
    if (m_chunks.empty() || m_chunkUsed + size > m_chunkSizes.back()) {
        // Chunks start small and double, so a small result costs little; the
        // bytes are not cleared since every one is written before it is read.
        const qsizetype grown = m_chunkSizes.empty() ? m_firstChunk : std::min(kChunkSize, m_chunkSizes.back() * 2);
        const qsizetype chunk = std::max(grown, size);
        m_chunks.push_back(std::unique_ptr<char[]>(new char[std::size_t(chunk)]));
        m_chunkSizes.push_back(chunk);
        m_chunkUsed = 0;
    }
    char *at = m_chunks.back().get() + m_chunkUsed;
    m_chunkUsed += size;
    return at;
}

bool RowStore::endRow()
{
    m_inRow = false;
    if (m_pendingTooLarge) {
        m_pending.clear();
        m_pendingCells.clear();
        m_pendingTooLarge = false;
        return false;
    }
    // Short rows are padded with nulls, long ones cut, so every row has columnCount cells.
    while (int(m_pendingCells.size()) < columnCount())
        addNull();
    m_pendingCells.resize(std::size_t(columnCount()));
    const qsizetype size = m_pendingCells.empty() ? 0 : qsizetype(m_pendingCells.back() & kEndMask);
    const std::size_t chunksBefore = m_chunks.size();
    char *at = reserve(size);
    if (m_chunks.size() != chunksBefore)
        m_chunkFirstRow.push_back(std::uint32_t(rowCount()));
    if (size > 0)
        std::memcpy(at, m_pending.data(), std::size_t(size));
    auto start = std::uint32_t(at - m_chunks.back().get());
    if (size <= qsizetype(kNarrowMask)) {
        for (std::uint32_t cell : m_pendingCells)
            m_cells.push_back(std::uint16_t((cell & kNarrowMask) | ((cell >> kTypeShift) << kNarrowShift)));
    } else {
        // Rare: the row's cells keep their full offsets in the wide table.
        m_wideRows.emplace_back(std::uint32_t(rowCount()), std::uint32_t(m_wideCells.size()));
        m_wideCells.insert(m_wideCells.end(), m_pendingCells.begin(), m_pendingCells.end());
        m_cells.append(m_pendingCells.size(), 0);
        start |= kWideRow;
    }
    m_rowStart.push_back(start);
    m_contentBytes += size; // null cells hold no bytes
    return true;
}

void RowStore::appendRow(const QVariantList &values)
{
    beginRow();
    for (const QVariant &v : values)
        addVariant(v);
    endRow();
}

void RowStore::append(RowStore &&other)
{
    if (&other == this || other.rowCount() == 0)
        return;
    if (m_columns.isEmpty() && rowCount() == 0)
        m_columns = other.m_columns;
    const auto firstRow = std::uint32_t(rowCount());
    for (std::size_t i = 0; i < other.m_chunks.size(); ++i) {
        m_chunks.push_back(std::move(other.m_chunks[i]));
        m_chunkSizes.push_back(other.m_chunkSizes[i]);
        m_chunkFirstRow.push_back(firstRow + other.m_chunkFirstRow[i]);
    }
    // Rows appended later continue in the last chunk taken over.
    m_chunkUsed = other.m_chunkUsed;
    // The index grows by the batch alone: what is there stays where it is.
    m_rowStart.append(other.m_rowStart);
    m_cells.append(other.m_cells);
    const auto wideBase = std::uint32_t(m_wideCells.size());
    for (const auto &[row, at] : other.m_wideRows)
        m_wideRows.emplace_back(firstRow + row, wideBase + at);
    m_wideCells.insert(m_wideCells.end(), other.m_wideCells.begin(), other.m_wideCells.end());
    m_contentBytes += other.m_contentBytes;
    const QStringList columns = other.m_columns;
    other.clear();
    other.m_columns = columns;
}

void RowStore::shrinkToFit()
{
    // A last chunk that is nearly full stays as it is: copying it would cost
    // more than the little it gives back.
    if (!m_chunks.empty() && m_chunkSizes.back() - m_chunkUsed > m_chunkSizes.back() / 8) {
        const qsizetype used = std::max<qsizetype>(m_chunkUsed, 1);
        std::unique_ptr<char[]> exact(new char[std::size_t(used)]);
        std::memcpy(exact.get(), m_chunks.back().get(), std::size_t(m_chunkUsed));
        m_chunks.back() = std::move(exact);
        m_chunkSizes.back() = used;
    }
    m_rowStart.shrink_to_fit();
    m_cells.shrink_to_fit();
    m_chunkFirstRow.shrink_to_fit();
}

std::size_t RowStore::chunkOf(qsizetype row) const
{
    const auto after = std::upper_bound(m_chunkFirstRow.begin(), m_chunkFirstRow.end(), std::uint32_t(row));
    return std::size_t(after - m_chunkFirstRow.begin()) - 1;
}

const std::uint32_t *RowStore::wideCells(qsizetype row) const
{
    const auto it = std::lower_bound(m_wideRows.begin(), m_wideRows.end(), std::uint32_t(row),
                                     [](const auto &entry, std::uint32_t r) { return entry.first < r; });
    return m_wideCells.data() + it->second;
}

RowStore::Span RowStore::spanIn(qsizetype row, int column, std::size_t chunk) const
{
    const std::uint32_t start = m_rowStart[std::size_t(row)];
    const char *rowData = m_chunks[chunk].get() + (start & ~kWideRow);
    if (start & kWideRow) {
        const std::uint32_t *cells = wideCells(row);
        const std::uint32_t cell = cells[column];
        const std::uint32_t begin = column == 0 ? 0 : (cells[column - 1] & kEndMask);
        return {rowData + begin, (cell & kEndMask) - begin, CellType(cell >> kTypeShift)};
    }
    const std::size_t base = std::size_t(row) * std::size_t(columnCount());
    const std::uint16_t cell = m_cells[base + std::size_t(column)];
    const std::uint32_t begin = column == 0 ? 0 : (m_cells[base + std::size_t(column) - 1] & kNarrowMask);
    return {rowData + begin, std::uint32_t(cell & kNarrowMask) - begin, CellType(cell >> kNarrowShift)};
}

CellType RowStore::type(qsizetype row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return CellType::Null;
    if (!m_overrides.isEmpty()) {
        const auto it = m_overrides.constFind(quint64(row) * quint64(columnCount()) + quint64(column));
        if (it != m_overrides.constEnd()) {
            const QVariant &v = it.value();
            if (v.isNull())
                return CellType::Null;
            if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int)
                return CellType::Integer;
            if (v.typeId() == QMetaType::Double)
                return CellType::Real;
            if (v.typeId() == QMetaType::QByteArray)
                return CellType::Blob;
            return CellType::Text;
        }
    }
    return span(row, column).type;
}

QVariant RowStore::value(qsizetype row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return {};
    if (!m_overrides.isEmpty()) {
        const auto it = m_overrides.constFind(quint64(row) * quint64(columnCount()) + quint64(column));
        if (it != m_overrides.constEnd())
            return it.value();
    }
    const Span s = span(row, column);
    switch (s.type) {
    case CellType::Null:
        return QVariant();
    case CellType::Integer:
        return QVariant(QByteArray::fromRawData(s.data, qsizetype(s.size)).toLongLong());
    case CellType::Real:
        return QVariant(QByteArray::fromRawData(s.data, qsizetype(s.size)).toDouble());
    case CellType::Blob:
        return QVariant(QByteArray(s.data, qsizetype(s.size)));
    case CellType::Text:
        break;
    }
    return QVariant(textFromUtf8(s.data, qsizetype(s.size)));
}

QString RowStore::text(qsizetype row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return {};
    if (!m_overrides.isEmpty()) {
        const auto it = m_overrides.constFind(quint64(row) * quint64(columnCount()) + quint64(column));
        if (it != m_overrides.constEnd()) {
            const QVariant &v = it.value();
            if (v.typeId() == QMetaType::QByteArray)
                return QStringLiteral("0x") + QString::fromLatin1(v.toByteArray().toHex().toUpper());
            return v.toString();
        }
    }
    const Span s = span(row, column);
    if (s.type == CellType::Blob)
        return QStringLiteral("0x")
               + QString::fromLatin1(QByteArray::fromRawData(s.data, qsizetype(s.size)).toHex().toUpper());
    return textFromUtf8(s.data, qsizetype(s.size));
}

QByteArray RowStore::bytes(qsizetype row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return {};
    const Span s = span(row, column);
    return QByteArray(s.data, qsizetype(s.size));
}

bool RowStore::storedCell(qsizetype row, int column, std::string_view *bytes, CellType *type) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return false;
    if (!m_overrides.isEmpty() && m_overrides.contains(quint64(row) * quint64(columnCount()) + quint64(column)))
        return false;
    const Span s = span(row, column);
    *bytes = std::string_view(s.data, s.size);
    *type = s.type;
    return true;
}

void RowStore::setValue(qsizetype row, int column, const QVariant &value)
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return;
    m_overrides.insert(quint64(row) * quint64(columnCount()) + quint64(column), value);
}

namespace {

// Whether every byte is below 0x80, eight bytes at a time.
bool allAscii(const char *data, std::size_t size)
{
    std::uint64_t seen = 0;
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, data + i, 8);
        seen |= word;
    }
    for (; i < size; ++i)
        seen |= static_cast<unsigned char>(data[i]);
    return (seen & 0x8080808080808080ull) == 0;
}

inline char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }

} // namespace

bool RowStore::textMatches(qsizetype row, int column, const QByteArray &lowerNeedle, const QString &needle,
                           bool exact) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return false;
    const Span s = span(row, column);
    const bool replaced = !m_overrides.isEmpty()
                          && m_overrides.contains(quint64(row) * quint64(columnCount()) + quint64(column));
    if (replaced || s.type == CellType::Blob || !allAscii(s.data, s.size)) {
        const QString t = text(row, column);
        return exact ? t.compare(needle, Qt::CaseInsensitive) == 0 : t.contains(needle, Qt::CaseInsensitive);
    }
    const qsizetype n = lowerNeedle.size();
    const char *want = lowerNeedle.constData();
    auto equalAt = [&](std::uint32_t at) {
        for (qsizetype k = 1; k < n; ++k)
            if (lowerAscii(s.data[at + k]) != want[k])
                return false;
        return true;
    };
    if (exact)
        return qsizetype(s.size) == n && (n == 0 || (lowerAscii(s.data[0]) == want[0] && equalAt(0)));
    if (n == 0)
        return true;
    if (qsizetype(s.size) < n)
        return false;
    const char first = want[0];
    const std::uint32_t last = s.size - std::uint32_t(n);
    for (std::uint32_t at = 0; at <= last; ++at)
        if (lowerAscii(s.data[at]) == first && equalAt(at))
            return true;
    return false;
}

qsizetype RowStore::allocatedBytes() const
{
    qsizetype total = 0;
    for (qsizetype s : m_chunkSizes)
        total += s;
    total += qsizetype(m_cells.capacityBytes() + m_rowStart.capacityBytes());
    total += qsizetype((m_chunkFirstRow.capacity() + m_wideCells.capacity()) * sizeof(std::uint32_t));
    total += qsizetype(m_wideRows.capacity() * sizeof(m_wideRows.front()));
    return total;
}

} // namespace korva::db

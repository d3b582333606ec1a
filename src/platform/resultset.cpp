#include "platform/resultset.h"

namespace korva::db {

bool RowSource::updateCell(const QVariantList &, int, const QVariant &, Error *error)
{
    if (error)
        *error = {kErrCommand, QStringLiteral("The result set cannot be updated.")};
    return false;
}

ResultSet::ResultSet() = default;

ResultSet::ResultSet(std::unique_ptr<RowSource> source) : m_source(std::move(source))
{
    if (m_source)
        m_rows.setColumns(m_source->columns());
}

ResultSet::~ResultSet() = default;

std::unique_ptr<ResultSet> ResultSet::inMemory(const QStringList &fields)
{
    auto set = std::make_unique<ResultSet>();
    set->m_rows.setColumns(fields);
    return set;
}

void ResultSet::addRow(const QVariantList &values) { m_rows.appendRow(values); }

int ResultSet::fieldIndex(const QString &name) const
{
    const QStringList &cols = m_rows.columns();
    for (int i = 0; i < cols.size(); ++i)
        if (cols.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool ResultSet::isComplete() const { return !m_source || m_source->atEnd(); }

qsizetype ResultSet::fetchMore(qsizetype maxRows)
{
    if (isComplete())
        return 0;
    Error e;
    const qsizetype n = m_source->fetch(m_rows, maxRows, &e);
    if (e) {
        m_error = e;
        releaseSource();
    }
    return n;
}

qsizetype ResultSet::fetchBatch(RowStore &batch, qsizetype maxRows, Error *error)
{
    if (!m_source || m_source->atEnd())
        return 0;
    if (batch.columnCount() == 0)
        batch.setColumns(m_rows.columns());
    return m_source->fetch(batch, maxRows, error);
}

bool ResultSet::sourceAtEnd() const { return !m_source || m_source->atEnd(); }

void ResultSet::appendBatch(RowStore &&batch) { m_rows.append(std::move(batch)); }

void ResultSet::fail(const Error &error)
{
    m_error = error;
    releaseSource();
}

void ResultSet::releaseSource()
{
    // A cancel or an edit from another thread may be reaching for the source right now.
    std::shared_ptr<RowSource> gone;
    std::lock_guard lock(m_cancelMutex);
    gone = std::move(m_source);
}

void ResultSet::cancel()
{
    std::lock_guard lock(m_cancelMutex);
    if (m_source)
        m_source->cancel();
}

void ResultSet::fetchAll()
{
    while (!isComplete())
        fetchMore(1 << 16);
}

bool ResultSet::ensureRow(qsizetype row)
{
    while (row >= m_rows.rowCount() && !isComplete())
        fetchMore(std::max<qsizetype>(256, row - m_rows.rowCount() + 1));
    return row >= 0 && row < m_rows.rowCount();
}

qsizetype ResultSet::recordCount()
{
    fetchAll();
    return m_rows.rowCount();
}

bool ResultSet::eof() { return !ensureRow(m_position) || m_position < 0; }

void ResultSet::moveNext()
{
    if (m_position < m_rows.rowCount() || !isComplete())
        ++m_position;
}

void ResultSet::moveLast()
{
    fetchAll();
    m_position = m_rows.rowCount() - 1;
}

QVariant ResultSet::field(int index, Error *error)
{
    if (index < 0 || index >= fieldCount()) {
        if (error)
            *error = {kErrFieldNotFound, QStringLiteral("Item cannot be found in the collection corresponding to the "
                                                        "requested name or ordinal.")};
        return {};
    }
    if (!ensureRow(m_position)) {
        if (error)
            *error = {kErrNoCurrentRecord, QStringLiteral("Either BOF or EOF is True, or the current record has been "
                                                          "deleted. Requested operation requires a current record.")};
        return {};
    }
    return m_rows.value(m_position, index);
}

QVariant ResultSet::field(const QString &name, Error *error) { return field(fieldIndex(name), error); }

bool ResultSet::updateCell(qsizetype row, int column, const QVariant &value, Error *error)
{
    if (!writeCell(rowValues(row), column, value, error))
        return false;
    keepCell(row, column, value);
    return true;
}

QVariantList ResultSet::rowValues(qsizetype row) const
{
    QVariantList values;
    if (row < 0 || row >= m_rows.rowCount())
        return values;
    values.reserve(m_rows.columnCount());
    for (int c = 0; c < m_rows.columnCount(); ++c)
        values.append(m_rows.value(row, c));
    return values;
}

bool ResultSet::writeCell(const QVariantList &row, int column, const QVariant &value, Error *error) const
{
    std::shared_ptr<RowSource> source;
    {
        std::lock_guard lock(m_cancelMutex);
        source = m_source;
    }
    if (!m_updatable || !source) {
        if (error)
            *error = {kErrCommand, QStringLiteral("The result set cannot be updated.")};
        return false;
    }
    if (row.isEmpty()) {
        if (error)
            *error = {kErrNoCurrentRecord, QStringLiteral("Either BOF or EOF is True, or the current record has been "
                                                          "deleted. Requested operation requires a current record.")};
        return false;
    }
    return source->updateCell(row, column, value, error);
}

} // namespace korva::db

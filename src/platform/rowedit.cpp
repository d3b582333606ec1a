#include "platform/rowedit.h"

namespace korva::db {

namespace {

// The shown column that holds `key` of the target's table, or -1.
int shownKeyColumn(const QList<ColumnOrigin> &columns, const ColumnOrigin &target, const QString &key)
{
    for (int i = 0; i < columns.size(); ++i)
        if (columns[i].schema == target.schema && columns[i].table.compare(target.table, Qt::CaseInsensitive) == 0
            && columns[i].column.compare(key, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

} // namespace

std::optional<CellEdit> planCellEdit(const QList<ColumnOrigin> &columns, int column, const EditDialect &dialect,
                                     const PrimaryKeyLookup &primaryKey, Error *error)
{
    // The engines name a column's table only together with the column itself.
    const ColumnOrigin target = columns.value(column);
    if (target.table.isEmpty()) {
        if (error)
            *error = {kErrCommand, QStringLiteral("The column \"%1\" is not a column of a table; it cannot be changed.")
                                       .arg(target.name)};
        return std::nullopt;
    }
    const QStringList keys = primaryKey(target);
    CellEdit edit;
    for (const QString &key : keys)
        edit.keyColumns << shownKeyColumn(columns, target, key);
    if (keys.isEmpty() || edit.keyColumns.contains(-1)) {
        if (error)
            *error = {kErrCommand,
                      QStringLiteral("The table \"%1\" has no primary key among the columns shown; its rows "
                                     "cannot be changed.")
                          .arg(target.table)};
        return std::nullopt;
    }
    const auto &quote = dialect.quoteName;
    QString where;
    for (int k = 0; k < keys.size(); ++k)
        where += (k ? QStringLiteral(" AND ") : QString()) + quote(keys[k])
                 + (dialect.nullSafeKeys ? QStringLiteral(" IS ?%1").arg(k + 2) : QStringLiteral(" = ?"));
    const QString table = target.schema.isEmpty() ? quote(target.table)
                                                  : quote(target.schema) + u'.' + quote(target.table);
    edit.statement = QStringLiteral("UPDATE ") + table + QStringLiteral(" SET ") + quote(target.column)
                     + (dialect.nullSafeKeys ? QStringLiteral(" = ?1 WHERE ") : QStringLiteral(" = ? WHERE ")) + where;
    return edit;
}

Error changedRowsError(qint64 changed)
{
    if (changed == 1)
        return {};
    if (changed == 0)
        return {kErrCommand,
                QStringLiteral("Row cannot be located for updating. Some values may have been changed since "
                               "it was last read.")};
    return {kErrGeneric, QStringLiteral("Insufficient key column information for updating or refreshing.")};
}

} // namespace korva::db

#include "main/rowquery.h"

#include "platform/sqlquote.h"

namespace korva {

SelectList composeSelectList(const QStringList &columns, const QString &uniqueId, bool lockAlias, bool lockUnique)
{
    SelectList s;
    for (int i = 0; i < columns.size(); ++i) {
        const QString &name = columns.at(i);
        const bool isUnique = !uniqueId.isEmpty() && name.compare(uniqueId, Qt::CaseInsensitive) == 0;
        if (lockAlias && name.compare(u"Alias", Qt::CaseInsensitive) == 0) {
            s.locked = QStringLiteral("Alias, ") + s.locked;
            ++s.lockedCount;
        } else if (lockAlias && name.compare(u"Component", Qt::CaseInsensitive) == 0) {
            s.locked += QStringLiteral("Component, ");
            ++s.lockedCount;
        } else if (lockUnique && isUnique) {
            s.locked += sql::quoteBracketed(uniqueId) + QStringLiteral(", ");
            ++s.lockedCount;
        } else {
            s.other += sql::quoteBracketed(name) + QStringLiteral(", ");
        }
        if (isUnique)
            s.uniqueRow = i + 1;
    }
    return s;
}

QString composeRowQuery(const SelectList &list, const QString &listedName, const QString &where)
{
    QString sql = QStringLiteral("SELECT ") + list.locked + list.other;
    sql.chop(2);
    sql += QStringLiteral(" FROM ") + sql::quoteBracketed(listedName);
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where;
    return sql;
}

QString effectiveWhere(const QString &boxText, bool whereTabShown)
{
    if (!whereTabShown)
        return {};
    return boxText.trimmed();
}

} // namespace korva

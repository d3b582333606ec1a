#include "navigation/references.h"

namespace korva::navigation {

bool bFetchReferenceTableAndColumn(const xml::Document &doc, QString &view, QString &column)
{
    const xml::Node node = doc.selectSingleNode(
        QStringLiteral("orvexdatadictionary/views/view[@name=") + xml::literal(view.toLower())
        + QStringLiteral("]/columns/column[@name=") + xml::literal(column.toLower()) + QStringLiteral("]"));
    if (!node)
        return false;
    const QString ref = node.attributeText(QStringLiteral("tablecolumnref"));
    const qsizetype dot = ref.indexOf(u'.');
    if (dot < 1)
        return false;
    view = ref.left(dot);
    column = ref.mid(dot + 1);
    return true;
}

QString strExternalReference(const xml::Document &doc, const QString &table, const QString &column)
{
    if (table.isEmpty() || column.size() < 8 || !column.contains(u"ObjectID", Qt::CaseInsensitive))
        return {};
    QString baseTable = table;
    QString baseColumn = column;
    if (table.startsWith(u"vw_", Qt::CaseInsensitive))
        bFetchReferenceTableAndColumn(doc, baseTable, baseColumn);
    const xml::Node link = doc.selectSingleNode(QStringLiteral("orvexdatadictionary/tables/table[@name=")
                                                + xml::literal(baseTable.toLower())
                                                + QStringLiteral("]/links/link[@objectid=")
                                                + xml::literal(baseColumn.toLower()) + QStringLiteral("]/linkdata"));
    return link.attributeText(QStringLiteral("table"));
}

QString referencedTableForCell(const xml::Document &doc, const QString &listedTable, const QString &columnName,
                               ReferenceRules rules)
{
    if (columnName.size() < 8)
        return {};
    QString referenced = strExternalReference(doc, listedTable, columnName);
    if (referenced.isEmpty()) {
        if (columnName.compare(u"Admin_DistributionListObjectID", Qt::CaseInsensitive) == 0)
            referenced = QStringLiteral("tbl_DistributionList");
        else if (columnName.compare(u"Admin_UserObjectID", Qt::CaseInsensitive) == 0)
            referenced = QStringLiteral("tbl_User");
    }
    if (rules == ReferenceRules::MainWindow && columnName.compare(u"CallHandlerOBjectID", Qt::CaseInsensitive) == 0)
        referenced = QStringLiteral("tbl_callhandler");
    return referenced;
}

HoverTarget hoverTargetForCell(const xml::Document &doc, const QString &listedTable, const QString &columnName,
                               const QString &cellText, const QString &rowGreetingType, ReferenceRules rules)
{
    return hoverTargetForReference(referencedTableForCell(doc, listedTable, columnName, rules), cellText,
                                   rowGreetingType, rules);
}

HoverTarget hoverTargetForReference(const QString &referencedTable, const QString &cellText,
                                    const QString &rowGreetingType, ReferenceRules rules)
{
    HoverTarget target;
    target.referencedTable = referencedTable;
    if (target.referencedTable.isEmpty())
        return target;
    target.objectId = cellText;
    // An empty cell references nothing, greeting type or not.
    if (rules == ReferenceRules::MainWindow && !cellText.isEmpty() && !rowGreetingType.isEmpty()
        && target.referencedTable.compare(u"tbl_Greeting", Qt::CaseInsensitive) == 0)
        target.objectId += u':' + rowGreetingType;
    return target;
}

} // namespace korva::navigation

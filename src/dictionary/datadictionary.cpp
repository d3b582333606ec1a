#include "dictionary/datadictionary.h"

namespace korva::dictionary {

namespace {
const QString crlf = QStringLiteral("\r\n");
}

QString dictionaryNameFor(const QString &listedName, bool viewsMode)
{
    QString name = listedName;
    if (viewsMode) {
        name = name.mid(3);
        if (name == u"Subscriber_Global")
            name = QStringLiteral("GlobalSubscriber");
        else if (name == u"Location_Global")
            name = QStringLiteral("GlobalLocation");
        else if (name == u"Callhandler")
            name = QStringLiteral("CallHandler");
        else if (name == u"PersonalDList")
            name = QStringLiteral("PersonalDlist");
        else if (name == u"PersonalDListMember")
            name = QStringLiteral("PersonalDlistMember");
    }
    if (name.startsWith(u"vw_", Qt::CaseInsensitive)) {
        name = name.mid(3);
        if (name.compare(u"CALLHANDLER", Qt::CaseInsensitive) == 0)
            name = QStringLiteral("CallHandler");
        name = QStringLiteral("tbl_") + name;
    } else if (!name.startsWith(u"tbl_", Qt::CaseInsensitive)) {
        name = QStringLiteral("tbl_") + name;
    }
    return name;
}

xml::Node tableElement(const xml::Document &doc, const QString &table)
{
    return doc.selectSingleNode(QStringLiteral("orvexdatadictionary/tables/table[@name=")
                                + xml::literal(table.toLower()) + u']');
}

QString tableDescription(const QString &listedName, const xml::Node &table)
{
    QString text = QStringLiteral("Table: ") + listedName + crlf + crlf;
    if (const auto d = table.attribute(QStringLiteral("description")))
        text += QStringLiteral("Description: ") + *d + crlf;
    if (const xml::Node notes = table.selectSingleNode(QStringLiteral("notes")))
        text += crlf + QStringLiteral("Notes: ") + notes.text();
    return text;
}

ColumnDescription columnDescription(const xml::Document &doc, xml::Node &currentTable, const QString &listedTable,
                                    const QString &column)
{
    ColumnDescription result;
    result.text = QStringLiteral("Column: ") + column + crlf + crlf;
    const QString lower = column.toLower();
    const auto columnPath = [](const QString &name) -> QString {
        return QStringLiteral("columns/column[@name=") + xml::literal(name) + u']';
    };
    xml::Node col = currentTable.selectSingleNode(columnPath(lower));
    if (!col) {
        QString view = listedTable;
        view.replace(QStringLiteral("tbl_"), QStringLiteral("vw_"), Qt::CaseInsensitive);
        view = view.toLower();
        const xml::Node viewColumn = doc.selectSingleNode(QStringLiteral("orvexdatadictionary/views/view[@name=")
                                                          + xml::literal(view) + QStringLiteral("]/")
                                                          + columnPath(lower));
        if (!viewColumn)
            return result;
        const QString ref = viewColumn.attributeText(QStringLiteral("tablecolumnref"));
        const qsizetype dot = ref.indexOf(u'.');
        if (dot < 0)
            return result;
        currentTable = tableElement(doc, ref.left(dot));
        col = currentTable.selectSingleNode(columnPath(ref.mid(dot + 1).toLower()));
    }
    if (!col)
        return result;
    result.found = true;
    auto line = [&](const char16_t *label, const QString &attr) {
        if (const auto v = col.attribute(attr))
            result.text += QString::fromUtf16(label) + *v + crlf;
    };
    line(u"Column: ", QStringLiteral("name"));
    line(u"Datatype: ", QStringLiteral("datatype"));
    line(u"Length: ", QStringLiteral("length"));
    line(u"Description: ", QStringLiteral("description"));
    if (const xml::Node notes = col.selectSingleNode(QStringLiteral("notes")))
        result.text += crlf + QStringLiteral("Notes: ") + notes.text() + crlf;
    const QString type = col.attributeText(QStringLiteral("customtype"));
    if (!type.isEmpty())
        result.text += crlf + QStringLiteral("Restrictions: ") + strFetchCustomData(doc, type);
    return result;
}

QString strFetchCustomData(const xml::Document &doc, const QString &name)
{
    return customTypeRestrictions(doc, name, OtherRestriction::NamedByKind);
}

QString customTypeRestrictions(const xml::Document &doc, const QString &name, OtherRestriction other)
{
    if (name.isEmpty())
        return {};
    const QString base = QStringLiteral("orvexdatadictionary/customtypes/customtype[@name=")
                         + xml::literal(name.toLower()) + u']';
    const xml::Node type = doc.selectSingleNode(base);
    if (!type)
        return {};
    const QString description = type.attributeText(QStringLiteral("description"));
    const xml::Node restrictions = doc.selectSingleNode(base + QStringLiteral("/restrictions"));
    if (!restrictions)
        return {};
    const xml::Node restriction = restrictions.firstChild();
    const QString kind = restriction.attributeText(QStringLiteral("type"));
    QString text;
    if (kind.compare(u"enumeration", Qt::CaseInsensitive) == 0) {
        xml::Node value = doc.selectSingleNode(base + QStringLiteral("/restrictions/restriction/values/value"));
        if (!value)
            return {};
        text = QStringLiteral("Enumeration:") + crlf;
        for (; value; value = value.nextSibling())
            text += value.attributeText(QStringLiteral("value")) + QStringLiteral(", ")
                    + value.attributeText(QStringLiteral("description")) + crlf;
    } else if (kind.compare(u"length", Qt::CaseInsensitive) == 0) {
        text = QStringLiteral("min=") + restriction.attributeText(QStringLiteral("min")) + QStringLiteral(", max=")
               + restriction.attributeText(QStringLiteral("max"));
    } else if (kind.compare(u"regex", Qt::CaseInsensitive) == 0) {
        text = restriction.attributeText(QStringLiteral("description")) + crlf + QStringLiteral("regex=")
               + restriction.attributeText(QStringLiteral("expression"));
    } else if (other == OtherRestriction::NamedByKind) {
        text = kind;
    }
    return description + crlf + crlf + text;
}

} // namespace korva::dictionary

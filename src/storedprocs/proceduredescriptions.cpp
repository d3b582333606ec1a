#include "storedprocs/proceduredescriptions.h"

#include "dictionary/datadictionary.h"

namespace korva::storedprocs {

namespace {

const QString crlf = QStringLiteral("\r\n");

QString procedurePath(const QString &procedure)
{
    return QStringLiteral("orvexdatadictionary/storedprocs/storedproc[@name=") + xml::literal(procedure.toLower())
           + u']';
}

// The element's own text: a procedure element also holds its parameters and
// exceptions, whose texts are not the procedure's notes.
QString ownText(const xml::Node &element)
{
    QString text;
    for (const xml::Node &piece : element.selectNodes(QStringLiteral("text()")))
        text += piece.text();
    return text.trimmed();
}

} // namespace

xml::Node procedureElement(const xml::Document &doc, const QString &procedure)
{
    return doc.selectSingleNode(procedurePath(procedure));
}

QString procedureDescription(const xml::Document &doc, const QString &procedure)
{
    const xml::Node node = procedureElement(doc, procedure);
    QString text = QStringLiteral("Stored_Procedure: ");
    if (const auto name = node.attribute(QStringLiteral("name")))
        text += *name + crlf;
    text += crlf + QStringLiteral("Description: ");
    if (const auto description = node.attribute(QStringLiteral("description")))
        text += *description + crlf;
    if (node)
        text += crlf + QStringLiteral("Notes: ") + ownText(node) + crlf + crlf;
    text += QStringLiteral("Exceptions:") + crlf;
    const xml::Node list = doc.selectSingleNode(procedurePath(procedure) + QStringLiteral("/exceptionlist"));
    for (xml::Node e = list.firstChild(); e; e = e.nextSibling()) {
        const auto name = e.attribute(QStringLiteral("name"));
        const auto description = e.attribute(QStringLiteral("description"));
        if (name && description)
            text += *name + QStringLiteral(": ") + *description + crlf;
    }
    return text;
}

ParameterDescription parameterDescription(const xml::Document &doc, const QString &procedure, const QString &parameter)
{
    ParameterDescription result;
    result.text = QStringLiteral("Parameter: ") + parameter + crlf + crlf;
    const xml::Node node = doc.selectSingleNode(procedurePath(procedure) + QStringLiteral("/params/param[@name=")
                                                + xml::literal(parameter.toLower()) + u']');
    if (!node)
        return result;
    result.found = true;
    const QString table = node.attributeText(QStringLiteral("reftable"));
    const QString column = node.attributeText(QStringLiteral("refcolumn"));
    if (!table.isEmpty() && !column.isEmpty()) {
        result.text += strFetchColumnDescription(doc, table, column);
    } else {
        if (const auto description = node.attribute(QStringLiteral("description")))
            result.text += QStringLiteral("Description: ") + *description + crlf;
        result.text += crlf + QStringLiteral("Notes: ") + ownText(node) + crlf + crlf;
    }
    return result;
}

QString strFetchColumnDescription(const xml::Document &doc, const QString &table, const QString &column)
{
    if (table.isEmpty() || column.isEmpty())
        return {};
    const xml::Node col = doc.selectSingleNode(
        QStringLiteral("orvexdatadictionary/tables/table[@name=") + xml::literal(table.toLower())
        + QStringLiteral("]/columns/column[@name=") + xml::literal(column.toLower()) + u']');
    if (!col)
        return {};
    QString text;
    auto line = [&](const char16_t *label, const char *attribute) {
        if (const auto v = col.attribute(QString::fromLatin1(attribute)))
            text += QString::fromUtf16(label) + *v + crlf + crlf;
    };
    line(u"Datatype: ", "datatype");
    line(u"Length: ", "length");
    line(u"Description: ", "description");
    if (const xml::Node notes = col.selectSingleNode(QStringLiteral("notes")))
        text += QStringLiteral("Notes: ") + notes.text() + crlf;
    const QString type = col.attributeText(QStringLiteral("customtype"));
    if (!type.isEmpty())
        text += crlf + QStringLiteral("Restrictions: ") + strFetchCustomData(doc, type) + crlf;
    return text;
}

QString strFetchCustomData(const xml::Document &doc, const QString &type)
{
    return dictionary::customTypeRestrictions(doc, type, dictionary::OtherRestriction::Empty);
}

} // namespace korva::storedprocs

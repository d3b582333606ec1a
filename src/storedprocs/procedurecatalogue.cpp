#include "storedprocs/procedurecatalogue.h"

#include "platform/resultset.h"

#include <QtCore/QRegularExpression>

#include <optional>

namespace korva::storedprocs {

namespace {

const QChar kRowSeparator(2);
const QChar kCellSeparator(1);

QString withoutTrailingBlanks(QString text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == u' ')
        --end;
    text.truncate(end);
    return text;
}

// The length written in the procedure's declaration of the parameter:
// "@Name nvarchar(64)" gives 64, "(max)" gives -1; nothing when not declared so.
std::optional<int> declaredLength(const QString &source, const QString &parameter)
{
    if (parameter.isEmpty())
        return std::nullopt;
    const QRegularExpression declaration(QStringLiteral("(?<![\\w@#$])%1(?![\\w@#$])\\s+(?:as\\s+)?(?:\\[?\\w+\\]?\\.)?"
                                                        "\\[?\\w+\\]?\\s*\\(\\s*(max|\\d+)\\s*\\)")
                                             .arg(QRegularExpression::escape(parameter)),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = declaration.match(source);
    if (!m.hasMatch())
        return std::nullopt;
    if (m.captured(1).compare(u"max", Qt::CaseInsensitive) == 0)
        return -1;
    bool ok = false;
    const int n = m.captured(1).toInt(&ok);
    return ok ? std::optional<int>(n) : std::nullopt;
}

} // namespace

QString directoryConnectionString(const QString &serverName)
{
    return QStringLiteral("Driver={SQL Server};server=") + serverName
           + QStringLiteral("\\zandelorvex;database=OrvexDirDB");
}

bool isListedProcedure(const QString &name)
{
    return name.startsWith(u"csp_", Qt::CaseInsensitive) || name.startsWith(u"sp_", Qt::CaseInsensitive);
}

QList<db::ProcedureInfo> listedProcedures(const QList<db::ProcedureInfo> &all)
{
    QList<db::ProcedureInfo> listed;
    for (const db::ProcedureInfo &p : all)
        if (isListedProcedure(p.name))
            listed << p;
    return listed;
}

int parameterLength(const db::ProcedureInfo &procedure, const db::ProcedureParameter &parameter)
{
    const QString type = parameter.typeName.toLower();
    if (type == u"nvarchar" || type == u"nchar") {
        if (const std::optional<int> declared = declaredLength(procedure.source, parameter.name))
            return *declared;
    }
    return parameter.length < 0 ? -1 : parameter.length;
}

QString parameterEnumeration(const db::ProcedureInfo &procedure)
{
    QList<QStringList> rows;
    rows << QStringList{QStringLiteral("Name"), QStringLiteral("Type"), QStringLiteral("Length"),
                        QStringLiteral("Position"), QStringLiteral("Output")};
    for (qsizetype i = 0; i < procedure.parameters.size(); ++i) {
        const db::ProcedureParameter &p = procedure.parameters.at(i);
        rows << QStringList{p.name, p.typeName, QString::number(parameterLength(procedure, p)), QString::number(i + 1),
                            p.output ? QStringLiteral("1") : QStringLiteral("0")};
    }
    QList<qsizetype> widths(rows.first().size(), 0);
    for (const QStringList &row : rows)
        for (qsizetype c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], row.at(c).size());

    QStringList lines;
    QStringList widthRow;
    for (qsizetype w : widths)
        widthRow << QString::number(w);
    for (qsizetype r = 0; r < rows.size(); ++r) {
        QStringList cells;
        for (qsizetype c = 0; c < rows.at(r).size(); ++c)
            cells << rows.at(r).at(c).leftJustified(widths.at(c), u' ');
        lines << cells.join(kCellSeparator);
        if (r == 0)
            lines << widthRow.join(kCellSeparator);
    }
    return lines.join(kRowSeparator);
}

std::unique_ptr<db::ResultSet> enumerationToResultSet(const QString &text)
{
    const QStringList rows = text.split(kRowSeparator);
    QStringList fields;
    if (!rows.first().isEmpty())
        for (const QString &name : rows.first().split(kCellSeparator))
            fields << withoutTrailingBlanks(name);
    auto set = db::ResultSet::inMemory(fields);
    if (fields.isEmpty())
        return set;
    for (qsizetype r = 2; r < rows.size(); ++r) {
        if (rows.at(r).isEmpty())
            continue; // a separator at the very end
        const QStringList cells = rows.at(r).split(kCellSeparator);
        QVariantList values;
        values.reserve(fields.size());
        for (qsizetype c = 0; c < fields.size(); ++c)
            values << (c < cells.size() ? withoutTrailingBlanks(cells.at(c)) : QString());
        set->addRow(values);
    }
    return set;
}

} // namespace korva::storedprocs

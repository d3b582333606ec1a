#include "storedprocs/parametervalues.h"

#include "support/localize.h"

#include <QtCore/QDateTime>

#include <cmath>

namespace korva::storedprocs {

int lGetADTypeFromName(const QString &typeName, QString *unknownMessage)
{
    static const QHash<QString, int> codes{
        {QStringLiteral("BIT"), 16},
        {QStringLiteral("NVARCHAR"), 200},
        {QStringLiteral("VARCHAR"), 200},
        {QStringLiteral("INT"), 3},
        {QStringLiteral("UNIQUEIDENTIFIER"), 72},
        {QStringLiteral("DATETIME"), 7},
        {QStringLiteral("BIGINT"), 20},
        {QStringLiteral("SMALLINT"), 2},
        {QStringLiteral("TINYINT"), 16},
        {QStringLiteral("VARBINARY"), 204},
        {QStringLiteral("TEXT"), 200},
    };
    const auto it = codes.constFind(typeName.toUpper());
    if (it != codes.constEnd())
        return it.value();
    if (unknownMessage)
        *unknownMessage = QStringLiteral("Error, unknown type name in lGetADTypeFromName:") + typeName;
    return 0;
}

bool isAuditParameter(const QString &name)
{
    return name.compare(u"@AuditComponent", Qt::CaseInsensitive) == 0
           || name.compare(u"@AuditAlias", Qt::CaseInsensitive) == 0;
}

std::optional<QString> auditValue(const QString &name, const QString &domain, const QString &userName)
{
    if (name.compare(u"@AuditComponent", Qt::CaseInsensitive) == 0)
        return QStringLiteral("KORVA");
    if (name.compare(u"@AuditAlias", Qt::CaseInsensitive) == 0)
        return domain + u'\\' + userName;
    return std::nullopt;
}

int leadingInteger(const QString &text)
{
    const QString t = text.trimmed();
    qsizetype i = 0;
    if (i < t.size() && (t.at(i) == u'-' || t.at(i) == u'+'))
        ++i;
    const qsizetype digits = i;
    while (i < t.size() && t.at(i).isDigit() && i - digits < 9)
        ++i;
    bool ok = false;
    const int n = t.left(i).toInt(&ok);
    return ok ? n : 0;
}

bool readNumber(const QString &text, const QLocale &locale, double *value)
{
    bool ok = false;
    const double d = locale.toDouble(text.trimmed(), &ok);
    // "inf" and "nan" read as numbers but are none a server takes.
    if (!ok || !std::isfinite(d))
        return false;
    if (value)
        *value = d;
    return true;
}

bool isDateOrTime(const QString &text, const QLocale &locale)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    QStringList dates{locale.dateFormat(QLocale::ShortFormat), locale.dateFormat(QLocale::LongFormat),
                      QStringLiteral("yyyy-MM-dd"), QStringLiteral("yyyyMMdd")};
    // Short formats often have two-digit years; four are typed as often.
    const QString shortFormat = locale.dateFormat(QLocale::ShortFormat);
    if (!shortFormat.contains(u"yyyy") && shortFormat.contains(u"yy"))
        dates << QString(shortFormat).replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    const QStringList times{locale.timeFormat(QLocale::ShortFormat),
                            locale.timeFormat(QLocale::LongFormat),
                            QStringLiteral("HH:mm"),
                            QStringLiteral("HH:mm:ss"),
                            QStringLiteral("HH:mm:ss.zzz"),
                            QStringLiteral("HH:mm:ss.z")};
    auto matches = [&](const QString &format) {
        return locale.toDateTime(t, format).isValid() || QDateTime::fromString(t, format).isValid();
    };
    for (const QString &d : dates) {
        if (locale.toDate(t, d).isValid() || QDate::fromString(t, d).isValid())
            return true;
        for (const QString &tm : times)
            if (matches(d + u' ' + tm) || matches(d + u'T' + tm))
                return true;
    }
    for (const QString &tm : times)
        if (locale.toTime(t, tm).isValid() || QTime::fromString(t, tm).isValid())
            return true;
    return QDateTime::fromString(t, Qt::ISODateWithMs).isValid();
}

std::optional<QString> checkParameterValue(const QString &type, const QString &length, const QString &value,
                                           const QLocale &locale)
{
    if (value.isEmpty())
        return std::nullopt;
    const QString t = type.toUpper();
    auto inRange = [&](double low, double high, const QString &message) -> std::optional<QString> {
        double v = 0;
        if (!readNumber(value, locale, &v) || v < low || v > high)
            return message;
        return std::nullopt;
    };
    if (t == u"BIT") {
        if (value == u"1" || value == u"0")
            return std::nullopt;
        return QStringLiteral("Value is a Bit - it can be only 0 or 1");
    }
    if (t == u"INT")
        return inRange(-2147483648.0, 2147483647.0,
                       QStringLiteral("Value must be a number between -2,147,483,648 and 2,147,483,647"));
    if (t == u"UNIQUEIDENTIFIER") {
        QString bare = value;
        bare.remove(u'{').remove(u'}').remove(u'-');
        if (bare.size() == 32)
            return std::nullopt;
        return QStringLiteral("Invalid GUID");
    }
    if (t == u"NVARCHAR" || t == u"TEXT" || t == u"VARCHAR") {
        const int limit = leadingInteger(length);
        if (t == u"TEXT" || limit < 0 || value.size() <= limit)
            return std::nullopt;
        return QStringLiteral("String exceeds max length for this field");
    }
    if (t == u"DATETIME") {
        if (isDateOrTime(value, locale))
            return std::nullopt;
        return QStringLiteral("invalid date/time format");
    }
    if (t == u"BIGINT") {
        if (readNumber(value, locale))
            return std::nullopt;
        return QStringLiteral("Value must be a number");
    }
    if (t == u"SMALLINT")
        return inRange(-32768.0, 32767.0, QStringLiteral("Value must be a number between -32768 and 32767 "));
    if (t == u"TINYINT")
        return inRange(0.0, 255.0, QStringLiteral("Value must be a number between 0 and 255"));
    if (t == u"VARBINARY")
        return std::nullopt;
    return QStringLiteral("Unrecognized type: ") + t;
}

bool nameSaysItChangesData(const QString &procedureName)
{
    static const QStringList verbs{QStringLiteral("insert"), QStringLiteral("modify"), QStringLiteral("delete"),
                                   QStringLiteral("create"), QStringLiteral("update"), QStringLiteral("set")};
    // The words: runs of letters, broken where a capital follows a small
    // letter, and before the last capital of a run of capitals that a
    // small letter follows ("SQLInsert" is SQL and Insert).
    QStringList words;
    QString word;
    const qsizetype n = procedureName.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = procedureName.at(i);
        if (!c.isLetter()) {
            words << word;
            word.clear();
            continue;
        }
        const bool startsWord = !word.isEmpty() && c.isUpper()
                                && (word.back().isLower() || (i + 1 < n && procedureName.at(i + 1).isLower()));
        if (startsWord) {
            words << word;
            word.clear();
        }
        word += c;
    }
    words << word;
    for (const QString &w : std::as_const(words)) {
        if (w.isEmpty())
            continue;
        const bool oneCase = w == w.toLower() || w == w.toUpper();
        for (const QString &verb : verbs)
            if (oneCase ? w.contains(verb, Qt::CaseInsensitive) : w.compare(verb, Qt::CaseInsensitive) == 0)
                return true;
    }
    return false;
}

QString changeQuestion(const QString &procedureName, const QString &server, const QString &database)
{
    return modLocalize::translated(QStringLiteral("The stored procedure %1 changes data.\n\nRun it on server %2, "
                                                  "database %3?"))
        .arg(procedureName, server, database);
}

} // namespace korva::storedprocs

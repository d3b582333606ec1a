#include "query/queryhistory.h"

#include "platform/registryaccess/registryapi.h"

#include <QtCore/QCryptographicHash>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QSet>

namespace korva::query::history {

namespace {

using namespace korva::RegistryAPI;

QString key() { return kQueriesKey.toString(); }
QString detailsKey() { return kDetailsKey.toString(); }

const QString kRan = QStringLiteral("ran");
const QString kDatabase = QStringLiteral("database");
const QString kElapsed = QStringLiteral("ms");
const QString kText = QStringLiteral("text");

// Enough of a digest to tell one query text from another.
QString fingerprint(const QString &storedText)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(storedText.toUtf8(), QCryptographicHash::Sha1).toHex().left(16));
}

// The names of the values a key holds, in stored order.
QStringList valueNames(const QString &keyPath)
{
    QStringList names;
    for (const RegistryAPI::Entry &e : EnumValues(HKEY_LOCAL_MACHINE, keyPath).value_or(QList<RegistryAPI::Entry>()))
        if (!e.name.isEmpty())
            names.append(e.name);
    return names;
}

// The saved queries in listing order (the order they were stored).
QList<RegistryAPI::Entry> storedQueries()
{
    QList<RegistryAPI::Entry> queries;
    const std::optional<QList<RegistryAPI::Entry>> values = EnumValues(HKEY_LOCAL_MACHINE, key());
    if (!values)
        return queries;
    for (const RegistryAPI::Entry &e : *values)
        if (!e.name.isEmpty() && e.type == REG_SZ) // not the stand-in entry of a key without values
            queries.append(e);
    return queries;
}

} // namespace

QString valueName(const QDateTime &when) { return when.toString(QStringLiteral("yyyyMMddhhmmss")); }

QDateTime timeOfName(const QString &name)
{
    if (name.size() != 14)
        return {};
    return QDateTime::fromString(name, QStringLiteral("yyyyMMddhhmmss"));
}

QString encodeDetails(const Details &details, const QString &storedText)
{
    QJsonObject o;
    o.insert(kRan, details.ranAt.toString(Qt::ISODateWithMs));
    o.insert(kDatabase, details.database);
    o.insert(kElapsed, details.elapsedMs);
    o.insert(kText, fingerprint(storedText));
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

std::optional<Details> decodeDetails(const QString &data, const QString &storedText)
{
    const QJsonDocument doc = QJsonDocument::fromJson(data.toUtf8());
    if (!doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    if (o.value(kText).toString() != fingerprint(storedText))
        return std::nullopt;
    Details d;
    d.ranAt = QDateTime::fromString(o.value(kRan).toString(), Qt::ISODateWithMs);
    if (d.ranAt.isValid())
        d.ranAt = d.ranAt.toLocalTime();
    d.database = o.value(kDatabase).toString();
    d.elapsedMs = o.value(kElapsed).toInteger(-1);
    return d;
}

QString caption(const QString &storedText)
{
    QString text = storedText;
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    if (text.size() > kMaxCaption)
        text.truncate(kMaxCaption);
    return text;
}

QString toStored(const QString &boxText)
{
    QString text = boxText;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return text;
}

QString fromStored(const QString &storedText)
{
    QString text = storedText;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

SaveResult save(const QString &boxText, const QDateTime &now, const std::optional<Details> &details)
{
    const QString text = toStored(boxText);
    if (text.size() > kMaxReadable)
        return SaveResult::TooLong;
    // The free name is chosen where the value is written, under the registry
    // file's lock: another copy of the program saving in the same second
    // then gets the next second instead of replacing this query.
    const std::optional<QString> name = AddValue(
        HKEY_LOCAL_MACHINE, key(), REG_SZ, text, [&](int seconds) { return valueName(now.addSecs(seconds)); },
        kMaxSecondsOn);
    if (!name || GetValue(HKEY_LOCAL_MACHINE, key(), *name, REG_SZ, QVariant()).toString() != text)
        return SaveResult::Refused;
    // After the query, so that details are never there without their query.
    if (details) {
        CreateKey(HKEY_LOCAL_MACHINE, detailsKey());
        SetValue(HKEY_LOCAL_MACHINE, detailsKey(), *name, REG_SZ, encodeDetails(*details, text));
    }
    // The details listed before the queries: any written meanwhile by another
    // copy then belongs to a query this listing holds, and stays.
    const QStringList described = valueNames(detailsKey());
    QList<RegistryAPI::Entry> queries = storedQueries();
    while (queries.size() > kMaxStored)
        DeleteValue(HKEY_LOCAL_MACHINE, key(), queries.takeFirst().name);
    // Only details older than the newest query listed: a listing stops at a
    // text too long to read back, and the queries after it are still there.
    QSet<QString> kept;
    QString newest;
    for (const RegistryAPI::Entry &e : std::as_const(queries)) {
        kept.insert(e.name);
        newest = std::max(newest, e.name);
    }
    for (const QString &n : described)
        if (!kept.contains(n) && n < newest)
            DeleteValue(HKEY_LOCAL_MACHINE, detailsKey(), n);
    return SaveResult::Saved;
}

QList<Entry> list()
{
    const QList<RegistryAPI::Entry> queries = storedQueries();
    QHash<QString, QString> described;
    if (!queries.isEmpty())
        for (const RegistryAPI::Entry &e :
             EnumValues(HKEY_LOCAL_MACHINE, detailsKey()).value_or(QList<RegistryAPI::Entry>()))
            if (!e.name.isEmpty() && e.type == REG_SZ)
                described.insert(e.name, e.value.toString());
    QList<Entry> entries;
    for (qsizetype i = queries.size() - 1; i >= 0 && entries.size() < kMaxListed; --i) {
        const RegistryAPI::Entry &q = queries.at(i);
        const QString text = q.value.toString();
        const auto d = described.constFind(q.name);
        entries.append({q.name, caption(text), d == described.cend() ? std::nullopt : decodeDetails(*d, text)});
    }
    return entries;
}

std::optional<QString> load(const QString &name, korva::Error *error)
{
    const QVariant value = GetValue(HKEY_LOCAL_MACHINE, key(), name, REG_SZ, QVariant(), error);
    if (!value.isValid())
        return std::nullopt;
    return value.toString();
}

} // namespace korva::query::history

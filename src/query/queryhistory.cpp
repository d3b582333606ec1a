#include "query/queryhistory.h"

#include "platform/registryaccess/registryapi.h"

namespace korva::query::history {

namespace {

using namespace korva::RegistryAPI;

QString key() { return kQueriesKey.toString(); }

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

SaveResult save(const QString &boxText, const QDateTime &now)
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
    QList<RegistryAPI::Entry> queries = storedQueries();
    while (queries.size() > kMaxStored)
        DeleteValue(HKEY_LOCAL_MACHINE, key(), queries.takeFirst().name);
    return SaveResult::Saved;
}

QList<Entry> list()
{
    const QList<RegistryAPI::Entry> queries = storedQueries();
    QList<Entry> entries;
    for (qsizetype i = queries.size() - 1; i >= 0 && entries.size() < kMaxListed; --i)
        entries.append({queries.at(i).name, caption(queries.at(i).value.toString())});
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

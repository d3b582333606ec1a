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

bool nameTaken(const QString &name)
{
    return GetValue(HKEY_LOCAL_MACHINE, key(), name, REG_BINARY, QVariant()).isValid();
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
    QDateTime when = now;
    QString name = valueName(when);
    for (int tries = 0; tries < 3600 && nameTaken(name); ++tries) {
        when = when.addSecs(1);
        name = valueName(when);
    }
    korva::Error error;
    if (!KeyExists(HKEY_LOCAL_MACHINE, key()))
        CreateKey(HKEY_LOCAL_MACHINE, key(), &error);
    SetValue(HKEY_LOCAL_MACHINE, key(), name, REG_SZ, text);
    if (GetValue(HKEY_LOCAL_MACHINE, key(), name, REG_SZ, QVariant()).toString() != text)
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

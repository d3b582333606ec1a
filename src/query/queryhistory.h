#pragma once

#include "platform/error.h"

#include <QtCore/QDateTime>
#include <QtCore/QList>
#include <QtCore/QString>

#include <optional>

// The queries that ran without error, kept below the local-machine root of the
// registry (through RegistryAPI) for every user of the machine: one text value
// per query, named by the local time it was saved ("yyyymmddhhmmss").
// When and where each query ran is kept beside them, in a key of its own under
// the same value names, so that the queries' key stays as every version of the
// program reads and writes it.
namespace korva::query::history {

inline constexpr QStringView kQueriesKey = u"SOFTWARE\\Brisvane\\Fennick\\Diagnostic Tools\\Talmu\\Queries";
inline constexpr QStringView kDetailsKey = u"SOFTWARE\\Brisvane\\Fennick\\Diagnostic Tools\\Talmu\\QueryDetails";
inline constexpr int kMaxStored = 10;
inline constexpr int kMaxListed = 11;
inline constexpr qsizetype kMaxCaption = 90;
// The longest text the registry routines give back (4096 bytes with the null).
inline constexpr qsizetype kMaxReadable = 4095;
inline constexpr int kMaxSecondsOn = 3600;

QString valueName(const QDateTime &when);

// The text as the menu shows it: each CR LF one blank, cut to 90 characters.
QString caption(const QString &storedText);

// The query box holds a line break as one character; the store keeps CR LF.
QString toStored(const QString &boxText);
QString fromStored(const QString &storedText);

// When and where a query ran.
struct Details
{
    QDateTime ranAt;       // when it was started
    QString database;      // the database it ran against (empty when the connection named none)
    qint64 elapsedMs = -1; // how long it took; -1 when not known
};

// A details value: its data and back again. The data names the text it
// belongs to, so details left behind by a query another copy of the program
// trimmed never describe a later query that takes the same name.
QString encodeDetails(const Details &details, const QString &storedText);
std::optional<Details> decodeDetails(const QString &data, const QString &storedText);

// The local time a value name stands for (invalid when it is no such name).
QDateTime timeOfName(const QString &name);

enum class SaveResult { Saved, TooLong, Refused };

// Adds the query and trims the store to the newest ten. A name already taken
// (two queries within one second, by this or another copy of the program, or
// the clock set back) moves on to the next free second, at most an hour on,
// rather than replacing a saved query. A query that the registry could not
// give back again is not saved: it would end every listing there.
// With details, they are written beside the query; the details of queries
// no longer stored (trimmed here or by another copy) are let go.
SaveResult save(const QString &boxText, const QDateTime &now, const std::optional<Details> &details = std::nullopt);

struct Entry
{
    QString name; // the value name, the menu item's tag
    QString caption;
    std::optional<Details> details; // none for a query saved without them (an older version's)
};

// Newest first, at most eleven; empty when the key is missing or holds no queries.
QList<Entry> list();

// The stored text of a query (with CR LF), or nothing when the value is gone.
std::optional<QString> load(const QString &name, korva::Error *error = nullptr);

} // namespace korva::query::history

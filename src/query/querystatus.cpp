#include "query/querystatus.h"

#include "support/localize.h"

#include <QtCore/QLocale>
#include <QtCore/QStringList>

namespace korva::query {

namespace {

using modLocalize::translated;

const QString kSeparator = QStringLiteral(" | ");
const QString kShownTime = QStringLiteral("yyyy-MM-dd HH:mm:ss");

} // namespace

QString elapsedText(qint64 ms)
{
    ms = std::max<qint64>(ms, 0);
    if (ms < 60000)
        return QLocale().toString(double(ms) / 1000.0, 'f', 3) + QStringLiteral(" s");
    const qint64 seconds = ms / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString statusText(const RunSummary &run, qint64 rows, bool loading)
{
    QStringList parts;
    switch (run.outcome) {
    case RunSummary::Outcome::Rows:
        parts << (loading ? translated(QStringLiteral("Rows: %1 (loading)")) : translated(QStringLiteral("Rows: %1")))
                     .arg(rows);
        break;
    case RunSummary::Outcome::NoRows:
        parts << translated(QStringLiteral("Rows: none"));
        break;
    case RunSummary::Outcome::Failed:
        parts << translated(QStringLiteral("Query failed"));
        break;
    case RunSummary::Outcome::Stopped:
        parts << translated(QStringLiteral("Query stopped"));
        break;
    }
    // A statement that changes nothing (a SELECT) leaves the count unset.
    parts << translated(QStringLiteral("Records affected: %1")).arg(std::max<long>(run.recordsAffected, 0));
    parts << translated(QStringLiteral("Time: %1")).arg(elapsedText(run.elapsedMs));
    return parts.join(kSeparator);
}

QString historyDetailsText(const history::Entry &entry)
{
    if (!entry.details) {
        const QDateTime saved = history::timeOfName(entry.name);
        return saved.isValid() ? translated(QStringLiteral("Saved %1")).arg(saved.toString(kShownTime)) : QString();
    }
    const history::Details &d = *entry.details;
    QStringList parts;
    if (d.ranAt.isValid())
        parts << translated(QStringLiteral("Ran %1")).arg(d.ranAt.toString(kShownTime));
    if (!d.database.isEmpty())
        parts << translated(QStringLiteral("Database: %1")).arg(d.database);
    if (d.elapsedMs >= 0)
        parts << translated(QStringLiteral("Time: %1")).arg(elapsedText(d.elapsedMs));
    return parts.join(kSeparator);
}

} // namespace korva::query

#pragma once

#include "query/queryhistory.h"

#include <QtCore/QString>

// What the query window's status line and history menu say about a run:
// plain text composed from what the run reported, in the interface language.
namespace korva::query {

// How one run ended, as the status line tells it.
struct RunSummary
{
    enum class Outcome { Rows, NoRows, Failed, Stopped };
    Outcome outcome = Outcome::NoRows;
    long recordsAffected = -1; // -1: the engine said none
    qint64 elapsedMs = 0;
};

// "0.153 s" below a minute, then "1:02:05" (hours, minutes, seconds).
QString elapsedText(qint64 ms);

// "Rows: 12 | Records affected: 0 | Time: 0.153 s"; rows counts what the grid
// holds of the run's result so far, loading while more are on their way.
QString statusText(const RunSummary &run, qint64 rows, bool loading);

// "Ran 2024-03-09 23:59:50 | Database: Orvex | Time: 0.153 s" for a query saved
// with its details; "Saved 2024-03-09 23:59:50" for one saved without them.
QString historyDetailsText(const history::Entry &entry);

} // namespace korva::query

#pragma once

#include "directory.h"
#include "schema.h"

namespace korva::demo {

struct DemoOptions;
class Populator;

// The dynamic, mailbox and report databases. Their rows repeat the
// directory's subscribers, ports and quotas by ObjectID.
DatabaseDef dynamicDatabase();
void populateDynamic(Populator &p, const DirectoryFacts &facts);

DatabaseDef mailboxDatabase();
void populateMailbox(Populator &p, const DirectoryFacts &facts);

DatabaseDef reportDatabase();
void populateReport(Populator &p, const DirectoryFacts &facts, qint64 callHistoryRows);

} // namespace korva::demo

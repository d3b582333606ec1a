#pragma once

#include "platform/error.h"

#include <QtCore/QList>
#include <QtCore/QString>

#include <functional>

namespace korva::navigation {

// Describes the object that an ObjectID refers to, for the hover tooltip and
// the caption of "Jump to this object": a title line naming the kind of
// object, then "Label=value" lines read from the database, joined by CR LF;
// or a line beginning "(error)" when the object cannot be found.
class ObjectDescriber
{
public:
    explicit ObjectDescriber(QString connectionString);

    void setConnectionString(const QString &connectionString) { m_connection = connectionString; }
    const QString &connectionString() const { return m_connection; }

    // table: the referenced table (its kind is the part after the first "_").
    // objectId: for a greeting "<call handler ObjectID>:<greeting type>", which
    // is shortened to the call handler's ObjectID.
    // pendingJumpTable: emptied, then set to the table once it names a kind
    // of object (it has a "_"), whether or not the kind is known.
    // unexpected: the first failure that is not simply "not found" (a query
    // the server rejects, a field the result lacks); the description is
    // still composed as far as it can be.
    QString strGetObjectIDData(const QString &table, QString &objectId, QString *pendingJumpTable = nullptr,
                               Error *unexpected = nullptr);

    // Many objects of one referenced table described as strGetObjectIDData
    // describes each, with one query for all of them where the kind is read
    // by one query per object. Only descriptions that are certain are
    // answered: an object of a kind described in several steps, one whose
    // query failed or whose ObjectID the server might confuse with another
    // asked is left out, to be described alone. stopped, when set, is asked
    // between queries; once it answers true, no more queries are sent.
    struct Described
    {
        QString askedId;          // the ObjectID as given
        QString description;      // what strGetObjectIDData answers
        QString pendingJumpTable; // and sets
        QString objectId;         // the ObjectID after it (a greeting's is shortened)
    };
    QList<Described> describeMany(const QString &table, const QStringList &objectIds,
                                  const std::function<bool()> &stopped = {});
    // Whether describeMany describes objects of the table at all.
    static bool describesManyAtOnce(const QString &table);

    // The message the main window shows for an unexpected failure.
    static QString unexpectedErrorMessage(const Error &error);

private:
    QString m_connection;
};

// The line for a DTMF access ID row none of whose parent columns is set.
inline const QString kDtmfWithoutParentLine = QStringLiteral(
    "(error) this DTMFAccessID entry has no parent distribution list, handler, location or subscriber");

} // namespace korva::navigation

#pragma once

#include <QtCore/QString>

#include <array>
#include <optional>

namespace korva::navigation {

// Where the main window was before each of its last jumps: eleven slots, of
// which the ten most recent (1 to 10) can be walked back; slot 0 only
// receives the entry that an overflow pushes out.
class JumpHistory
{
public:
    static constexpr int kSlots = 11;

    struct Entry
    {
        QString table;
        QString objectId; // empty when the table had no ObjectID column or no current row
    };

    // Records the place left by a jump. At the last slot the oldest entry
    // is dropped and the others move down by one.
    void push(const QString &table, const QString &objectId);

    // The entry to replay for "<< Back", stepping the index down; nothing
    // when Back is not available.
    std::optional<Entry> back();

    bool canGoBack() const { return m_index > 0; }
    qint16 index() const { return m_index; }
    const Entry &slot(int i) const { return m_slots.at(i); }

    // A database was (re)initialised.
    void reset() { m_index = 0; }

private:
    std::array<Entry, kSlots> m_slots;
    qint16 m_index = 0;
};

} // namespace korva::navigation

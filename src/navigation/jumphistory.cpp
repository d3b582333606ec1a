#include "navigation/jumphistory.h"

namespace korva::navigation {

void JumpHistory::push(const QString &table, const QString &objectId)
{
    constexpr qint16 last = kSlots - 1;
    if (m_index < 0) {
        m_index = 0;
    } else if (m_index >= last) {
        m_index = last;
        for (int i = 0; i < last; ++i)
            m_slots[i] = m_slots[i + 1];
    } else {
        ++m_index;
    }
    // Both halves are always written, so a slot never pairs a table with an
    // ObjectID left over from an earlier jump.
    m_slots[m_index] = {table, objectId};
}

std::optional<JumpHistory::Entry> JumpHistory::back()
{
    if (!canGoBack())
        return std::nullopt;
    return m_slots[m_index--];
}

} // namespace korva::navigation

#pragma once

#include <QtWidgets/QApplication>

#include <optional>

namespace korva {

// A pointer shape over the whole program for the length of a scope, the
// pointer before it back however the scope is left. Nested ones stack: the
// innermost shows. The wait pointer unless told otherwise; the arrow is for
// asking the user something while the program is otherwise busy.
class BusyPointer
{
public:
    explicit BusyPointer(Qt::CursorShape shape = Qt::WaitCursor) { QApplication::setOverrideCursor(shape); }
    ~BusyPointer() { QApplication::restoreOverrideCursor(); }
    BusyPointer(const BusyPointer &) = delete;
    BusyPointer &operator=(const BusyPointer &) = delete;
};

// A busy pointer for work that ends in a callback rather than in a scope:
// start() when it begins, finish() when its answer comes, when it is
// abandoned, or both. Each is idempotent, so a pointer is never pushed twice
// or taken off the stack that someone else put there; whatever is still
// started when the object goes is finished then.
class BusySpan
{
public:
    explicit BusySpan(Qt::CursorShape shape = Qt::WaitCursor) : m_shape(shape) {}
    BusySpan(const BusySpan &) = delete;
    BusySpan &operator=(const BusySpan &) = delete;

    void start()
    {
        if (!m_pointer)
            m_pointer.emplace(m_shape);
    }
    void finish() { m_pointer.reset(); }
    bool isActive() const { return m_pointer.has_value(); }

private:
    Qt::CursorShape m_shape;
    std::optional<BusyPointer> m_pointer;
};

} // namespace korva

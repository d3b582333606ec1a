#include "platform/delayedsession.h"

#include <thread>

namespace korva::db {

namespace {

class DelayedRowSource final : public RowSource
{
public:
    DelayedRowSource(std::unique_ptr<RowSource> inner, std::chrono::milliseconds delay, SessionMeter *meter)
        : m_inner(std::move(inner)), m_delay(delay), m_meter(meter)
    {}
    QStringList columns() const override { return m_inner->columns(); }
    qsizetype fetch(RowStore &store, qsizetype maxRows, Error *error) override
    {
        if (m_meter)
            ++m_meter->batches;
        std::this_thread::sleep_for(m_delay);
        return m_inner->fetch(store, maxRows, error);
    }
    bool atEnd() const override { return m_inner->atEnd(); }
    void cancel() override { m_inner->cancel(); }
    bool updateCell(const QVariantList &row, int column, const QVariant &value, Error *error) override
    {
        std::this_thread::sleep_for(m_delay);
        return m_inner->updateCell(row, column, value, error);
    }

private:
    std::unique_ptr<RowSource> m_inner;
    std::chrono::milliseconds m_delay;
    SessionMeter *m_meter;
};

class DelayedSession final : public Session
{
public:
    DelayedSession(std::shared_ptr<Session> inner, std::chrono::milliseconds delay, SessionMeter *meter)
        : m_inner(std::move(inner)), m_delay(delay), m_meter(meter)
    {
        m_target = m_inner->target();
    }

    std::unique_ptr<RowSource> query(const QString &sql, bool updatable, Error *error) override
    {
        wait();
        auto source = m_inner->query(sql, updatable, error);
        return source ? std::make_unique<DelayedRowSource>(std::move(source), m_delay, m_meter) : nullptr;
    }
    ExecOutcome execute(const QString &sql, Error *error) override
    {
        wait();
        return m_inner->execute(sql, error);
    }
    ExecOutcome callProcedure(const QString &name, const QList<ProcedureArgument> &args, Error *error) override
    {
        wait();
        ExecOutcome outcome = m_inner->callProcedure(name, args, error);
        // Each further result set is another trip to the server.
        for (std::size_t i = 0; i < outcome.laterRows.size(); ++i)
            wait();
        return outcome;
    }
    QList<ProcedureInfo> procedures(Error *error) override
    {
        wait();
        return m_inner->procedures(error);
    }
    QString primaryKeyColumn(const QString &table, Error *error) override
    {
        wait();
        return m_inner->primaryKeyColumn(table, error);
    }
    QStringList primaryKeyColumnOfEach(const QStringList &tables) override
    {
        wait();
        return m_inner->primaryKeyColumnOfEach(tables);
    }
    void interrupt() override { m_inner->interrupt(); }
    QStringList primaryKeyColumns(const QString &table, Error *error) override
    {
        wait();
        return m_inner->primaryKeyColumns(table, error);
    }

private:
    void wait() const
    {
        if (m_meter)
            ++m_meter->calls;
        std::this_thread::sleep_for(m_delay);
    }

    std::shared_ptr<Session> m_inner;
    std::chrono::milliseconds m_delay;
    SessionMeter *m_meter;
};

} // namespace

std::shared_ptr<Session> withDelay(std::shared_ptr<Session> session, std::chrono::milliseconds delay,
                                   SessionMeter *meter)
{
    if (!session)
        return nullptr;
    return std::make_shared<DelayedSession>(std::move(session), delay, meter);
}

} // namespace korva::db

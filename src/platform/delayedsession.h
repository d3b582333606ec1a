#pragma once

#include "platform/session.h"

#include <atomic>
#include <chrono>

namespace korva::db {

// What a session wrapped by withDelay was asked: queries, commands and
// catalogue calls, and batches of rows fetched.
struct SessionMeter
{
    std::atomic<qint64> calls = 0;
    std::atomic<qint64> batches = 0;
};

// A stand-in for a server across a network: every query, command and
// catalogue call, and every batch of rows fetched, first waits the given
// time (which may be zero). Lets tests and benchmarks see on one machine what
// a remote server does, and count what was asked of it.
std::shared_ptr<Session> withDelay(std::shared_ptr<Session> session, std::chrono::milliseconds delay,
                                   SessionMeter *meter = nullptr);

} // namespace korva::db

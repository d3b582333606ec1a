#pragma once

#include "platform/session.h"

#include <chrono>

namespace korva::db {

// A stand-in for a server across a network: every query, command and
// catalogue call, and every batch of rows fetched, first waits the given
// time. Lets tests and benchmarks see on one machine what a remote server does.
std::shared_ptr<Session> withDelay(std::shared_ptr<Session> session, std::chrono::milliseconds delay);

} // namespace korva::db

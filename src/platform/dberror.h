#pragma once

#include "platform/error.h"

namespace korva::db {

// Database errors carry the client's numbers (negative HRESULT-style values
// for connection and command failures), so callers can show them unchanged.
using Error = korva::Error;

// The numbers the access layer reports.
inline constexpr long kErrGeneric = -2147467259;      // 0x80004005: connection refused, unknown server
inline constexpr long kErrCommand = -2147217900;      // 0x80040E14: the server rejected the statement
inline constexpr long kErrNoSuchObject = -2147217865; // 0x80040E37: table or view does not exist
inline constexpr long kErrBusy = -2147217871;         // 0x80040E31: the database stayed locked past the time-out
inline constexpr long kErrClosed = 3704;              // operation not allowed when the object is closed
inline constexpr long kErrNoCurrentRecord = 3021;     // BOF or EOF is true
inline constexpr long kErrFieldNotFound = 3265;       // item not found in the collection

} // namespace korva::db

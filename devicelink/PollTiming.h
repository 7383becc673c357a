#pragma once

#include <QtGlobal>

namespace devicelink {

// Every wait of the gauge protocols is a count of polls; an empty poll costs the poll interval.
namespace PollTiming {

// The poll interval in microseconds: IVEVA_POLL_US, default 50 (read once).
qint64 intervalUs();

// The longest time a wait may block before it looks at the cancel flag again.
constexpr qint64 CancelCheckUs = 50'000;

// How many polls fit into one cancel check interval (at least one).
qint64 pollsPerCancelCheck();

} // namespace PollTiming

} // namespace devicelink

#pragma once

#include <QtGlobal>

namespace devicelink {

// Every wait of the gauge protocols is a count of polls; an empty poll costs the poll interval.
namespace PollTiming {

// The longest time a wait may block before it looks at the cancel flag again.
constexpr qint64 CancelCheckUs = 50'000;

// How many polls of `intervalUs` fit into one cancel check interval (at least one).
constexpr qint64 pollsPerCancelCheck(qint64 intervalUs)
{
    return qMax<qint64>(1, CancelCheckUs / qMax<qint64>(1, intervalUs));
}

} // namespace PollTiming

} // namespace devicelink

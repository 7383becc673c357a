#pragma once

#include <QByteArray>

namespace devicelink {

// Keeps the running block checksum in 0..255 after an addition of one byte value.
inline void ueberlauf(int &Bcsum2)
{
    if (Bcsum2 > 255)
        Bcsum2 -= 256;
}

// The 132-byte frame of block `blockNumber` (counted from 1): SOH, the block number modulo
// 256, its complement, the 128 data bytes and the checksum.
QByteArray BuildBlockFrame(int blockNumber, const QByteArray &data);

} // namespace devicelink

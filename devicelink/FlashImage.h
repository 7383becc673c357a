#pragma once

#include "protocol/ProtocolBytes.h"

#include <QByteArray>
#include <QString>

namespace devicelink {

// One file prepared for the bootloader: its bytes followed by zeros up to the next multiple of
// 128 strictly above the file's length, so a file that fills its last block exactly still gets
// a block of zeros, and an empty file gives one block of zeros.
class FlashImage
{
public:
    static constexpr int BlockSize = protocol::BlockSize;
    // The block number on the wire is counted in a signed 16-bit integer.
    static constexpr int MaxBlocks = 32767;

    FlashImage() = default;
    explicit FlashImage(const QByteArray &fileBytes);
    // A file too large to send is never read: its image knows the block count, no bytes.
    static FlashImage tooLarge(qint64 fileSize);

    int blockCount() const { return m_blockCount; }
    // Block b, counted from 1.
    QByteArray block(int b) const { return m_bytes.mid(qsizetype(b - 1) * BlockSize, BlockSize); }
    const QByteArray &bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
    int m_blockCount = 0;
};

// Replaces `image` with the padded contents of the file. False (image unchanged) when the file
// cannot be read.
bool LoadImageFile(const QString &path, FlashImage &image);

// True when the path names an existing ordinary file; false for an empty path, a folder, and
// on Windows a file marked hidden.
bool FileExists(const QString &path);

} // namespace devicelink

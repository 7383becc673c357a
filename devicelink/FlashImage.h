#pragma once

#include "protocol/ProtocolBytes.h"

#include <QByteArray>
#include <QString>
#include <optional>

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

    int blockCount() const { return m_blockCount; }
    // Block b, counted from 1.
    QByteArray block(int b) const { return m_bytes.mid(qsizetype(b - 1) * BlockSize, BlockSize); }
    const QByteArray &bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
    int m_blockCount = 0;
};

// Why a file gives no image to send, or (Empty) an image of zeros only.
enum class ImageProblem
{
    Missing,    // no such regular file
    Unreadable, // it exists but cannot be read
    TooLarge,   // more blocks than the block number counts; the file is not read
    Empty       // no bytes: it would go out as one block of zeros and "succeed"
};

struct LoadedImage
{
    FlashImage image;
    std::optional<ImageProblem> problem;
    qint64 fileSize = 0;

    // True when there is an image to send.
    bool sendable() const { return !problem; }
};

// How many blocks the image of a file of `fileSize` bytes has.
int ImageBlockCount(qint64 fileSize);

// The padded contents of the file, or why there are none.
LoadedImage LoadImageFile(const QString &path);

// True when the path names an existing ordinary file; false for an empty path, a folder, and
// on Windows a file marked hidden.
bool FileExists(const QString &path);

} // namespace devicelink

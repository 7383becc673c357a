#include "devicelink/BlockFrame.h"

#include "devicelink/FlashImage.h"
#include "protocol/ProtocolBytes.h"

namespace devicelink {

QByteArray BuildBlockFrame(int blockNumber, const QByteArray &data)
{
    Q_ASSERT(data.size() == FlashImage::BlockSize);
    const auto number = quint8(blockNumber % 256);
    const auto complement = quint8(255 - number);

    QByteArray frame;
    frame.reserve(protocol::FrameSize);
    frame.append(protocol::Soh);
    frame.append(char(number));
    frame.append(char(complement));
    frame.append(data);

    // Starting at 1 counts the SOH; number and complement add up to 255, so the result is
    // the sum of the data bytes modulo 256.
    int Bcsum2 = 1;
    for (int i = 1; i < frame.size(); ++i) {
        Bcsum2 += quint8(frame[i]);
        ueberlauf(Bcsum2);
    }
    frame.append(char(Bcsum2));
    return frame;
}

} // namespace devicelink

#pragma once

#include "devicelink/FlashImage.h"

#include <QNetworkAccessManager>
#include <QString>
#include <QUrl>
#include <functional>

namespace flasher {

// How long one download may take. A slow server that trickles a byte now and then restarts the
// idle time with every byte, so each download also has a total limit.
struct DownloadLimits
{
    int idleMs = 30'000;         // no data for this long
    int versionFileMs = 120'000; // the whole version file
    int imageMs = 600'000;       // the whole firmware image or the user's copy
};

// Fetches the update server's files over HTTP or HTTPS into local files.
//
// The server's base address comes, in this order, from the command line (--update-url), the
// environment variable IVEVA_UPDATE_URL, the saved setting "update/baseUrl" (QSettings of the
// application), or DefaultBaseUrl; the run context resolves it once. The two files live under it at
// "/DEVAZ/firmware.txt" and
// "/DEVAZ/lastfw.bin".
//
// Every download goes to the server (no cache at all), and a local file is written only when
// the whole download succeeded, never half. A download runs a local event loop on the calling
// thread (a job's thread, never a window's); the cancel check (the window closing) aborts it.
// The client is created and used on that one thread.

// How a download ended.
enum class DownloadOutcome
{
    Ok,
    BadAddress,   // not an http or https address with a host
    NetworkError, // no connection, refused, TLS failure, ...
    HttpError,    // the server answered with an error status
    EmptyBody,
    TooLarge,  // more than MaxBodyBytes
    TimedOut,  // no data for the idle time, or past the total limit
    Cancelled, // the cancel check said so
    WriteFailed,
    Truncated // less than the Content-Length the server announced
};

class UpdateClient
{
public:
    // What is downloaded decides its total time limit.
    enum class Payload
    {
        VersionFile,
        Image
    };

    // The largest image the bootloader transfer can count: the padding always adds a block, and
    // 32767 blocks of 128 bytes must hold the file and that block's first zero.
    static constexpr qint64 MaxBodyBytes =
        qint64(devicelink::FlashImage::MaxBlocks) * devicelink::FlashImage::BlockSize - 1;
    // The update server used when nothing else is set.
    static constexpr const char *DefaultBaseUrl = "http://update.rozid.example";
    static constexpr const char *EnvironmentVariable = "IVEVA_UPDATE_URL";
    static constexpr const char *SettingsKey = "update/baseUrl";

    static QString versionFilePath() { return QStringLiteral("/DEVAZ/firmware.txt"); }
    static QString firmwarePath() { return QStringLiteral("/DEVAZ/lastfw.bin"); }

    // "host[:port][/folder]" without a scheme means http.
    static QUrl baseUrlFromText(const QString &text);
    // Saves the address for later runs. Empty when it reached the settings file, else why not.
    static QString saveBaseUrl(const QString &text);

    explicit UpdateClient(const QUrl &baseUrl, const DownloadLimits &limits = {});

    QUrl versionFileUrl() const { return urlFor(versionFilePath()); }
    QUrl firmwareUrl() const { return urlFor(firmwarePath()); }
    // An address from the version file; a relative one is taken relative to the base address.
    QUrl resolve(const QString &address) const;

    // Called about every 50 ms during a download; true aborts it.
    void setCancelCheck(std::function<bool()> cancelled) { m_cancelled = std::move(cancelled); }

    // Downloads `source` into `targetPath`. The file is written only on Ok.
    DownloadOutcome download(const QUrl &source, const QString &targetPath,
                             Payload payload = Payload::Image);
    // Why the last download failed, for the log or a console.
    QString lastError() const { return m_lastError; }
    // The last download's HTTP status; 0 when no answer came.
    int lastHttpStatus() const { return m_lastHttpStatus; }

private:
    QUrl urlFor(const QString &serverPath) const;
    DownloadOutcome fail(DownloadOutcome outcome, const QString &why);

    QNetworkAccessManager m_network;
    QUrl m_baseUrl;
    std::function<bool()> m_cancelled;
    DownloadLimits m_limits;
    QString m_lastError;
    int m_lastHttpStatus = 0;
};

} // namespace flasher

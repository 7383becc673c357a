#include "flasher/update/UpdateClient.h"

#include "shell/SavedSettings.h"

#include <QEventLoop>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <memory>

namespace flasher {

namespace {

bool isWebAddress(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == u"http" || scheme == u"https") && !url.host().isEmpty();
}

constexpr int CancelCheckMs = 50;

// Writes and says why it failed. Qt names a full disk "Unknown error"; errno, read right after
// the call, has the system's reason.
bool writeAll(QSaveFile &file, const QByteArray &bytes, QString *why)
{
    errno = 0;
    if (file.write(bytes) == bytes.size())
        return true;
    *why = errno != 0 ? QString::fromLocal8Bit(std::strerror(errno)) : file.errorString();
    return false;
}

} // namespace

QUrl UpdateClient::baseUrlFromText(const QString &text)
{
    QString trimmed = text.trimmed();
    if (!trimmed.contains(QLatin1String("://")))
        trimmed.prepend(QLatin1String("http://"));
    const QUrl url(trimmed, QUrl::StrictMode);
    return isWebAddress(url) ? url : QUrl();
}

QString UpdateClient::saveBaseUrl(const QString &text)
{
    // As an address with its scheme, so a password in "user:secret@host" is seen as one.
    return shell::saveSetting(QLatin1String(SettingsKey), baseUrlFromText(text).toString());
}

UpdateClient::UpdateClient(const QUrl &baseUrl, const DownloadLimits &limits)
    : m_baseUrl(baseUrl), m_limits(limits)
{}

QUrl UpdateClient::urlFor(const QString &serverPath) const
{
    if (!isWebAddress(m_baseUrl))
        return QUrl();
    // The base may name a folder on the server ("http://host/mirror/"): the paths go below it.
    QUrl url = m_baseUrl;
    QString path = url.path();
    while (path.endsWith(u'/'))
        path.chop(1);
    url.setPath(path + serverPath);
    url.setQuery(QString());
    url.setFragment(QString());
    return url;
}

QUrl UpdateClient::resolve(const QString &address) const
{
    // An empty address would resolve to the server's base, whose page is no firmware.
    if (address.trimmed().isEmpty())
        return QUrl();
    const QUrl url(address.trimmed());
    if (url.isRelative() && isWebAddress(m_baseUrl))
        return m_baseUrl.resolved(url);
    return url;
}

DownloadOutcome UpdateClient::fail(DownloadOutcome outcome, const QString &why)
{
    m_lastError = why;
    return outcome;
}

DownloadOutcome UpdateClient::download(const QUrl &source, const QString &targetPath,
                                       Payload payload)
{
    m_lastError.clear();
    m_lastHttpStatus = 0;
    // Only web addresses: an address from the server must never make us read a local file.
    if (!isWebAddress(source))
        return fail(DownloadOutcome::BadAddress,
                    source.isEmpty() ? QStringLiteral("keine Adresse")
                                     : QStringLiteral("ungültige Adresse: ") +
                                           source.toDisplayString(QUrl::RemovePassword));

    QSaveFile file(targetPath);
    // Unbuffered: a write that fails says so at once, with its errno.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(DownloadOutcome::WriteFailed, file.errorString());

    QNetworkRequest request(source);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    // Proxies on the way must not answer from their caches either.
    request.setRawHeader("Cache-Control", "no-cache");
    request.setRawHeader("Pragma", "no-cache");

    std::unique_ptr<QNetworkReply, void (*)(QNetworkReply *)> reply(
        m_network.get(request), [](QNetworkReply *r) { r->deleteLater(); });

    DownloadOutcome status = DownloadOutcome::Ok;
    QString why;
    qint64 received = 0;
    QEventLoop loop;
    QTimer idle;
    idle.setSingleShot(true);
    QTimer deadline;
    deadline.setSingleShot(true);
    QTimer cancelCheck;

    auto stop = [&](DownloadOutcome reason, const QString &text) {
        if (status == DownloadOutcome::Ok) {
            status = reason;
            why = text;
        }
        reply->abort();
    };
    QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, &loop, [&] {
        idle.start();
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > MaxBodyBytes)
            stop(DownloadOutcome::TooLarge,
                 QStringLiteral("Datei zu groß: %1 Bytes").arg(length.toLongLong()));
    });
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, [&] {
        idle.start();
        const QByteArray chunk = reply->readAll();
        received += chunk.size();
        if (received > MaxBodyBytes) {
            stop(DownloadOutcome::TooLarge,
                 QStringLiteral("Datei zu groß: mehr als %1 Bytes").arg(MaxBodyBytes));
            return;
        }
        if (QString reason; !writeAll(file, chunk, &reason))
            stop(DownloadOutcome::WriteFailed, reason);
    });
    const auto timedOut = [&] {
        stop(DownloadOutcome::TimedOut, QStringLiteral("Zeitüberschreitung"));
    };
    QObject::connect(&idle, &QTimer::timeout, &loop, timedOut);
    QObject::connect(&deadline, &QTimer::timeout, &loop, timedOut);
    QObject::connect(&cancelCheck, &QTimer::timeout, &loop, [&] {
        if (m_cancelled && m_cancelled())
            stop(DownloadOutcome::Cancelled, QStringLiteral("abgebrochen"));
    });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);

    idle.start(m_limits.idleMs);
    deadline.start(payload == Payload::VersionFile ? m_limits.versionFileMs : m_limits.imageMs);
    cancelCheck.start(CancelCheckMs);
    if (!reply->isFinished())
        loop.exec();
    idle.stop();
    deadline.stop();
    cancelCheck.stop();

    if (status != DownloadOutcome::Ok)
        return fail(status, why);
    const QVariant httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    m_lastHttpStatus = httpStatus.toInt();
    if (httpStatus.isValid() && (httpStatus.toInt() < 200 || httpStatus.toInt() >= 300))
        return fail(DownloadOutcome::HttpError, QStringLiteral("HTTP %1").arg(httpStatus.toInt()));
    if (reply->error() != QNetworkReply::NoError)
        return fail(DownloadOutcome::NetworkError, reply->errorString());
    // Whatever is left after the last readyRead.
    const QByteArray rest = reply->readAll();
    received += rest.size();
    if (received > MaxBodyBytes)
        return fail(DownloadOutcome::TooLarge,
                    QStringLiteral("Datei zu groß: mehr als %1 Bytes").arg(MaxBodyBytes));
    if (QString reason; !writeAll(file, rest, &reason))
        return fail(DownloadOutcome::WriteFailed, reason);
    if (received == 0)
        return fail(DownloadOutcome::EmptyBody, QStringLiteral("leere Datei"));
    // A connection that ends early looks like the end of the body: only the length tells.
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && received < length.toLongLong())
        return fail(DownloadOutcome::Truncated, QStringLiteral("unvollständig: %1 von %2 Bytes")
                                                    .arg(received)
                                                    .arg(length.toLongLong()));
    errno = 0;
    if (!file.commit())
        return fail(DownloadOutcome::WriteFailed,
                    errno != 0 ? QString::fromLocal8Bit(std::strerror(errno)) : file.errorString());
    return DownloadOutcome::Ok;
}

} // namespace flasher

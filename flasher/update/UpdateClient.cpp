#include "UpdateClient.h"

#include <QEventLoop>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QSettings>
#include <QTimer>
#include <memory>

namespace {

bool isWebAddress(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == u"http" || scheme == u"https") && !url.host().isEmpty();
}

constexpr int CancelCheckMs = 50;

} // namespace

QUrl UpdateClient::configuredBaseUrl(const QString &commandLineValue)
{
    if (!commandLineValue.trimmed().isEmpty())
        return baseUrlFromText(commandLineValue);
    const QString fromEnvironment = qEnvironmentVariable(EnvironmentVariable);
    if (!fromEnvironment.trimmed().isEmpty())
        return baseUrlFromText(fromEnvironment);
    const QString saved = QSettings().value(QLatin1String(SettingsKey)).toString();
    if (!saved.trimmed().isEmpty())
        return baseUrlFromText(saved);
    return baseUrlFromText(QLatin1String(DefaultBaseUrl));
}

QUrl UpdateClient::baseUrlFromText(const QString &text)
{
    QString trimmed = text.trimmed();
    if (!trimmed.contains(QLatin1String("://")))
        trimmed.prepend(QLatin1String("http://"));
    const QUrl url(trimmed, QUrl::StrictMode);
    return isWebAddress(url) ? url : QUrl();
}

void UpdateClient::saveBaseUrl(const QString &text)
{
    QSettings().setValue(QLatin1String(SettingsKey), text.trimmed());
}

UpdateClient::UpdateClient(const QUrl &baseUrl) : m_baseUrl(baseUrl) {}

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

DownloadOutcome UpdateClient::download(const QUrl &source, const QString &targetPath)
{
    m_lastError.clear();
    // Only web addresses: an address from the server must never make us read a local file.
    if (!isWebAddress(source))
        return fail(DownloadOutcome::BadAddress,
                    QStringLiteral("ungültige Adresse: ") + source.toString());

    QSaveFile file(targetPath);
    if (!file.open(QIODevice::WriteOnly))
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
        if (file.write(chunk) != chunk.size())
            stop(DownloadOutcome::WriteFailed, file.errorString());
    });
    QObject::connect(&idle, &QTimer::timeout, &loop, [&] {
        stop(DownloadOutcome::TimedOut, QStringLiteral("Zeitüberschreitung"));
    });
    QObject::connect(&cancelCheck, &QTimer::timeout, &loop, [&] {
        if (m_cancelled && m_cancelled())
            stop(DownloadOutcome::Cancelled, QStringLiteral("abgebrochen"));
    });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);

    idle.start(m_timeoutMs);
    cancelCheck.start(CancelCheckMs);
    if (!reply->isFinished())
        loop.exec();
    idle.stop();
    cancelCheck.stop();

    if (status != DownloadOutcome::Ok)
        return fail(status, why);
    const QVariant httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
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
    if (file.write(rest) != rest.size())
        return fail(DownloadOutcome::WriteFailed, file.errorString());
    if (received == 0)
        return fail(DownloadOutcome::EmptyBody, QStringLiteral("leere Datei"));
    if (!file.commit())
        return fail(DownloadOutcome::WriteFailed, file.errorString());
    return DownloadOutcome::Ok;
}

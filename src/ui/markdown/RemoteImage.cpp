#include "ui/markdown/RemoteImage.h"

#include "core/Endpoints.h"
#include "core/PoolTask.h"
#include "ui/common/UiLog.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QPainter>
#include <QQuickWindow>
#include <QSet>
#include <QtMath>

namespace {

constexpr int transferTimeoutMs = 30000;
constexpr int maxRedirects = 5;

// Keeps no cookie and hands none out: an image fetch must not tell one server who the user is.
class NoCookies : public QNetworkCookieJar {
public:
    using QNetworkCookieJar::QNetworkCookieJar;
    QList<QNetworkCookie> cookiesForUrl(const QUrl&) const override { return {}; }
    bool setCookiesFromUrl(const QList<QNetworkCookie>&, const QUrl&) override { return false; }
};

// Its own manager: never the one that talks to the API with the user's key.
QNetworkAccessManager& imageNetwork()
{
    static QPointer<QNetworkAccessManager> network;
    if (!network) {
        network = new QNetworkAccessManager(QCoreApplication::instance());
        network->setCookieJar(new NoCookies(network));
        network->setRedirectPolicy(QNetworkRequest::UserVerifiedRedirectPolicy);
        network->setAutoDeleteReplies(false);
    }
    return *network;
}

QSet<QUrl>& loadedSources() // the UI thread's only
{
    static QSet<QUrl> sources;
    return sources;
}

bool isWeb(const QUrl& url)
{
    return (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")) && !url.host().isEmpty();
}

} // namespace

RemoteImage::RemoteImage(QQuickItem* parent)
    : QQuickPaintedItem(parent)
{
}

RemoteImage::~RemoteImage() { cancel(); }

void RemoteImage::setSource(const QUrl& source)
{
    if (source == m_source)
        return;
    cancel();
    m_source = source;
    m_image = QImage();
    setImplicitSize(0, 0);
    finish(Status::NotLoaded, {});
    Q_EMIT sourceChanged();
    if (isComponentComplete() && wasLoaded(m_source))
        start();
}

void RemoteImage::setDecodeWidth(int width)
{
    if (width == m_decodeWidth)
        return;
    m_decodeWidth = width;
    Q_EMIT decodeWidthChanged();
}

void RemoteImage::componentComplete()
{
    QQuickPaintedItem::componentComplete();
    if (wasLoaded(m_source))
        start();
}

bool RemoteImage::wasLoaded(const QUrl& source) { return loadedSources().contains(source); }

void RemoteImage::load()
{
    if (!isWeb(m_source))
        return;
    loadedSources().insert(m_source);
    start();
}

void RemoteImage::start()
{
    cancel();
    if (!isWeb(m_source)) {
        finish(Status::Failed, tr("The image could not be loaded."));
        return;
    }
    QUrl url = m_source;
    url.setUserInfo({}); // no credentials, not even ones the reply wrote into the address
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::AuthenticationReuseAttribute, QNetworkRequest::Manual);
    request.setMaximumRedirectsAllowed(maxRedirects);
    request.setTransferTimeout(transferTimeoutMs);
    request.setRawHeader("Accept", "image/*");
    request.setHeader(QNetworkRequest::UserAgentHeader, Endpoints::userAgent());
    m_bytes.clear();
    m_reply = imageNetwork().get(request);
    QNetworkReply* reply = m_reply;
    connect(reply, &QNetworkReply::redirected, this, [reply](const QUrl& to) {
        // Only to another web address, and never from https down to http.
        if (isWeb(to) && !(reply->url().scheme() == QLatin1String("https") && to.scheme() == QLatin1String("http")))
            Q_EMIT reply->redirectAllowed();
        else
            reply->abort();
    });
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] {
        if (reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > maxBytes)
            refuseTooManyBytes();
    });
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] {
        m_bytes += reply->read(maxBytes + 1 - m_bytes.size());
        if (m_bytes.size() > maxBytes)
            refuseTooManyBytes();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { fetched(reply); });
    finish(Status::Loading, {});
}

void RemoteImage::refuseTooManyBytes()
{
    cancel();
    finish(Status::Refused, tr("Image not loaded: it is larger than %1 MiB.").arg(maxBytes / (1024 * 1024)));
}

void RemoteImage::cancel()
{
    ++m_generation;
    m_bytes.clear();
    if (QNetworkReply* reply = m_reply) {
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void RemoteImage::fetched(QNetworkReply* reply)
{
    m_reply = nullptr;
    reply->deleteLater();
    reply->disconnect(this);
    if (reply->error() != QNetworkReply::NoError) {
        qCInfo(lcUi) << "An image could not be fetched:" << reply->error();
        finish(Status::Failed, tr("The image could not be loaded."));
        return;
    }
    m_bytes += reply->read(maxBytes + 1 - m_bytes.size());
    if (m_bytes.size() > maxBytes) {
        refuseTooManyBytes();
        return;
    }
    const qreal ratio = window() ? window()->effectiveDevicePixelRatio() : 1.0;
    const int maxWidth = m_decodeWidth > 0 ? qCeil(m_decodeWidth * ratio) : 0;
    const quint64 generation = m_generation;
    runInPool(
        this, [maxWidth, bytes = std::exchange(m_bytes, {})] { return decode(bytes, maxWidth); },
        [this, generation](const Decoded& decoded) {
            if (m_generation != generation)
                return;
            m_image = decoded.image;
            const qreal shownRatio = window() ? window()->effectiveDevicePixelRatio() : 1.0;
            setImplicitSize(decoded.image.width() / shownRatio, decoded.image.height() / shownRatio);
            finish(decoded.status, decoded.note);
            update();
        });
}

RemoteImage::Decoded RemoteImage::decode(const QByteArray& bytes, int maxWidth)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // Read from the header, before anything is allocated for the pixels.
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return {{}, Status::Failed, tr("The image could not be read.")};
    if (qint64(size.width()) * size.height() > maxPixels)
        return {{},
                Status::Refused,
                tr("Image not loaded: at %1 \u00d7 %2 pixels it is larger than %3 megapixels.")
                    .arg(size.width())
                    .arg(size.height())
                    .arg(maxPixels / 1'000'000)};
    if (maxWidth > 0 && size.width() > maxWidth)
        reader.setScaledSize(QSize(maxWidth, std::max(1, int(qint64(size.height()) * maxWidth / size.width()))));
    QImage image = reader.read();
    if (image.isNull())
        return {{}, Status::Failed, tr("The image could not be read.")};
    return {std::move(image), Status::Ready, {}};
}

void RemoteImage::finish(Status status, const QString& note)
{
    if (status == m_status && note == m_note)
        return;
    m_status = status;
    m_note = note;
    Q_EMIT statusChanged();
}

void RemoteImage::paint(QPainter* painter)
{
    if (m_image.isNull())
        return;
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->drawImage(boundingRect(), m_image);
}

#pragma once

#include <QByteArray>
#include <QImage>
#include <QPointer>
#include <QQuickPaintedItem>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

class QNetworkReply;

// An image from the web in a reply. A reply is untrusted and an image address
// can carry conversation text to any server, so nothing is fetched until the
// user asks with load(); an address once loaded loads again by itself while
// the application runs. The fetch carries no cookie and no credentials, stops
// past maxBytes, and the image is refused past maxPixels before it is decoded;
// it is decoded no wider than `decodeWidth` (logical pixels), off the UI thread.
class RemoteImage : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QUrl source READ source WRITE setSource NOTIFY sourceChanged)
    Q_PROPERTY(int decodeWidth READ decodeWidth WRITE setDecodeWidth NOTIFY decodeWidthChanged)
    Q_PROPERTY(Status status READ status NOTIFY statusChanged)
    Q_PROPERTY(QString note READ note NOTIFY statusChanged)
public:
    enum class Status { NotLoaded, Loading, Ready, Refused, Failed };
    Q_ENUM(Status)

    static constexpr qint64 maxBytes = 10 * 1024 * 1024;
    static constexpr qint64 maxPixels = 16'000'000;

    explicit RemoteImage(QQuickItem* parent = nullptr);
    ~RemoteImage() override;

    QUrl source() const { return m_source; }
    void setSource(const QUrl& source);
    int decodeWidth() const { return m_decodeWidth; }
    void setDecodeWidth(int width);
    Status status() const { return m_status; }
    QString note() const { return m_note; }

    Q_INVOKABLE void load();
    void paint(QPainter* painter) override;

    // Whether the user loaded `source` before, in this run.
    static bool wasLoaded(const QUrl& source);

    struct Decoded {
        QImage image;
        Status status = Status::Failed;
        QString note; // why there is no image
    };
    // Decodes `bytes` no wider than `maxWidth` device pixels; pure, safe on any thread.
    static Decoded decode(const QByteArray& bytes, int maxWidth);

Q_SIGNALS:
    void sourceChanged();
    void decodeWidthChanged();
    void statusChanged();

protected:
    void componentComplete() override;

private:
    void start();
    void cancel();
    void finish(Status status, const QString& note);
    void refuseTooManyBytes();
    void fetched(QNetworkReply* reply);

    QUrl m_source;
    int m_decodeWidth = 0;
    Status m_status = Status::NotLoaded;
    QString m_note;
    QImage m_image;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_bytes;
    quint64 m_generation = 0; // bumped by every start and cancel, so a late decode is dropped
};

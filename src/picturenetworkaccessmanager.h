#pragma once

#include <QNetworkAccessManager>
#include <QQmlNetworkAccessManagerFactory>

// The network access of the QML engine, which fetches the pictures of the cards. A download whose
// header claims a picture too large to decode, or whose body outgrows what any picture needs, is
// aborted before Qt Quick decodes it, so the card shows a failed picture instead of taking
// gigabytes of memory.
class PictureNetworkAccessManager : public QNetworkAccessManager {
    Q_OBJECT

public:
    // Qt Quick asks for one manager per thread that loads pictures, so the factory holds no state.
    class Factory : public QQmlNetworkAccessManagerFactory {
    public:
        QNetworkAccessManager *create(QObject *parent) override;
    };

    static constexpr qint64 defaultMaxBodySize = 64LL * 1024 * 1024;

    explicit PictureNetworkAccessManager(QObject *parent = nullptr, qint64 maxBodySize = defaultMaxBodySize);

    // A picture's size is told within this many leading bytes (a JPEG's may follow a large Exif
    // block); past them an unreadable header is left to the decoder to refuse.
    static constexpr qint64 headerSearchSize = 1024LL * 1024;

protected:
    QNetworkReply *createRequest(Operation operation, const QNetworkRequest &request, QIODevice *body) override;

private:
    void watch(QNetworkReply *reply) const;

    qint64 maxBodySize;
};

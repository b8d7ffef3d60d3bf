#include "cannedroutes.h"
#include "hostilepictures.h"
#include "picturenetworkaccessmanager.h"
#include "testhttpserver.h"

#include <QNetworkReply>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(TestHttpServer::Response::Delivery)

// The manager behind the cards' pictures: what it refuses never reaches a decoder, and what it
// lets through reaches it byte for byte.
class TestPictureNetworkAccessManager : public QObject {
    Q_OBJECT

private:
    TestHttpServer server;
    QTemporaryDir folder;

private slots:
    void initTestCase() { QVERIFY(server.listen()); }

    void download_data()
    {
        using Delivery = TestHttpServer::Response::Delivery;
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<Delivery>("delivery");
        QTest::addColumn<qint64>("maxBodySize");
        QTest::addColumn<bool>("refused");

        const qint64 usual = PictureNetworkAccessManager::defaultMaxBodySize;
        using HostilePictures::blackPng;
        using HostilePictures::manyFrameGif;
        QTest::newRow("pngAtLimit") << blackPng(10000, 10000, true) << Delivery::Complete << usual << false;
        QTest::newRow("pngOverLimit") << blackPng(10000, 10001, true) << Delivery::Complete << usual << true;
        QTest::newRow("gifScreenOverflowsInt") << manyFrameGif(2, 65535, 65535) << Delivery::Complete << usual << true;
        QTest::newRow("gifScreenTooLarge") << manyFrameGif(2, 10000, 20000) << Delivery::Complete << usual << true;
        const QByteArray kilobyte(1000, 'x');
        // The declared length alone must tell: the body never comes.
        QTest::newRow("declaredOverLimit") << kilobyte + 'x' << Delivery::NeverComplete << qint64(1000) << true;
        // Without a length, only the bytes that come tell; they come in pieces, the last with the end.
        QTest::newRow("bodyOverLimitUnsized") << kilobyte.repeated(4000) << Delivery::Unsized << qint64(1000) << true;
        QTest::newRow("bodyAtLimit") << kilobyte << Delivery::Unsized << qint64(1000) << false;
    }

    // A refused download ends in the error a reader treats as a failed picture, before its body
    // has been read; any other arrives whole and unchanged.
    void download()
    {
        QFETCH(QByteArray, body);
        QFETCH(TestHttpServer::Response::Delivery, delivery);
        QFETCH(qint64, maxBodySize);
        QFETCH(bool, refused);
        const QByteArray path = "/picture/" + QByteArray(QTest::currentDataTag());
        server.route(path, [body, delivery](const TestHttpServer::Request &) {
            TestHttpServer::Response response = TestHttpServer::Response::ok(body, "application/octet-stream");
            response.delivery = delivery;
            return response;
        });

        PictureNetworkAccessManager manager(nullptr, maxBodySize);
        QNetworkReply *reply = manager.get(QNetworkRequest(server.url() + QString::fromLatin1(path)));
        QSignalSpy finished(reply, &QNetworkReply::finished);
        QVERIFY(finished.wait(20000));
        if (refused) {
            QCOMPARE(reply->error(), QNetworkReply::OperationCanceledError);
        } else {
            QCOMPARE(reply->error(), QNetworkReply::NoError);
            QCOMPARE(reply->readAll(), body);
        }
        delete reply;
    }

    void nonWebAddressRefused_data()
    {
        QTest::addColumn<QString>("address");
        for (const auto &picture : nonWebPictures(server, folder.path())) {
            // An FTP client would wait for a greeting the test server never sends.
            if (!picture.first.contains(QLatin1String("redirect")) && picture.first != QLatin1String("ftp"))
                QTest::newRow(qPrintable(picture.first)) << picture.second;
        }
    }

    // Qt Quick asks this manager again for wherever a picture's redirect points: only a web address
    // is read.
    void nonWebAddressRefused()
    {
        QFETCH(QString, address);
        PictureNetworkAccessManager manager;
        QNetworkReply *reply = manager.get(QNetworkRequest(QUrl(address)));
        QSignalSpy finished(reply, &QNetworkReply::finished);
        QVERIFY(reply->isFinished() || finished.wait(20000));
        QVERIFY(reply->error() != QNetworkReply::NoError);
        QCOMPARE(reply->readAll(), QByteArray());
        delete reply;
    }
};

QTEST_GUILESS_MAIN(TestPictureNetworkAccessManager)
#include "tst_picturenetworkaccessmanager.moc"

#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

class QQuickItem;

// Tells when a picture of a Qt Quick scene has become ready, on the monotonic clock: the benchmark
// counts the first frame swapped after that moment as the one that drew it. The picture is looked
// up until it exists (a card's picture only exists once the listing has arrived).
class PictureWatch : public QObject {
    Q_OBJECT

public:
    using Finder = std::function<QQuickItem *()>;

    explicit PictureWatch(Finder finder, QObject *parent = nullptr);

    // 0 until the picture is ready.
    qint64 readyAt() const { return ready; }

private slots:
    void onStatusChanged();

private:
    void look();

    Finder finder;
    QTimer poll;
    QQuickItem *picture = nullptr;
    qint64 ready = 0;
};

import QtQuick 2.12
import QtQuick.Controls 2.12

ApplicationWindow {
    id: window

    visible: true
    width: 800
    height: 600
}

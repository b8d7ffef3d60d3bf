import QtQuick 2.12
import QtTest 1.12

TestCase {
    id: testCase

    name: "MainDocument"
    when: windowShown

    function test_mainDocumentLoads() {
        var component = Qt.createComponent("qrc:/main.qml")
        compare(component.status, Component.Ready, component.errorString())
        var window = component.createObject(null)
        verify(window !== null)
        window.destroy()
    }
}

import QtQuick 2.15
import QtTest 1.2

// Opens the real main window with chosen start-up settings and fails a test
// that leaves a QML warning behind.
TestCase {
    id: testCase
    when: windowShown
    property var window: null
    readonly property var mainComponent: Qt.createComponent("qrc:/main.qml")

    // settings of a registered device whose settings screen has been saved
    function registered() {
        staticSettings.setValue("regem_s", "surveyor@example.com")
        staticSettings.setValue("userName_s", "Sam")
        // no configuration check against the cloud during the tests
        staticSettings.setValue("cfg_chk", 9999999999)
        // the settings sync and downloads stay on this machine
        staticSettings.setValue("storageHost_s", "127.0.0.1")
        staticSettings.setValue("storagePort_i", 9)
        iniSettings.setValue("rms_sl", ["Living Room", "Kitchen", "Hall"])
        staticSettings.remove("imp")
    }

    function openWindow() {
        compare(mainComponent.status, Component.Ready, mainComponent.errorString())
        window = mainComponent.createObject(null)
        verify(window !== null)
        tryCompare(window, "visible", true)
        return window
    }

    function child(name, from) {
        var found = findChild(from || window.contentItem, name)
        verify(found !== null, "no " + name)
        return found
    }

    function typeInto(field, text) {
        field.text = text
        field.textEdited()
    }

    function closeWindow() {
        if (window) {
            if (window.visible)
                testTools.closeWindow(window)
            window.destroy()
            window = null
            wait(0)
        }
    }

    function cleanup() {
        closeWindow()
        _myOrder.clear()
        compare(testTools.warnings(), [])
    }
}

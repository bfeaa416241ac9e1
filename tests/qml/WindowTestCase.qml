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

    // every test starts on a registered device
    function init() { registered() }

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

    // the sample order saved among the orders and opened (in a new window when none is open)
    function openSample() {
        var sample = testTools.readOrder(testTools.sourcePath("data/sample-order.json"))
        verify(testTools.writeOrder(testTools.ordersFolder() + sample.orderID, sample))
        if (!window)
            openWindow()
        verify(_myOrder.loadOrder(sample.orderID, 0, false))
        return sample
    }

    function openSettings() {
        openWindow()
        child("settingsButton").clicked()
        compare(window.stateGroup.state, "SettingStateLTA")
        return window.settingsScreen
    }

    // a signature drawn on the completion screen's pad by pointer moves
    function signOn(complete) {
        complete.signButton.clicked()
        var pad = complete.signaturePad
        tryCompare(pad, "opened", true)
        var canvas = pad.canvas
        tryCompare(canvas, "available", true)
        mousePress(canvas, 20, 20)
        for (var x = 20; x <= 200; x += 20)
            mouseMove(canvas, x, 20 + (x % 40))
        mouseRelease(canvas, 200, 40)
        verify(pad.drawn)
        wait(50)
        findChild(pad.contentItem, "signatureOk").clicked()
        tryCompare(pad, "opened", false)
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

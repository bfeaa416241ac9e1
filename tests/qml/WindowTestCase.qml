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
        // the customer e-mail check stays off the network; its tests switch it on
        staticSettings.setValue("mailchk_b", false)
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
        // keys go to the window that has the focus, as on a desktop
        window.requestActivate()
        tryCompare(window, "active", true)
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
        click(child("settingsButton"))
        compare(window.stateGroup.state, "SettingStateLTA")
        return window.settingsScreen
    }

    // a signature drawn on the completion screen's pad by pointer moves
    function signOn(complete) {
        click(complete.signButton)
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
        click(findChild(pad.contentItem, "signatureOk"))
        tryCompare(pad, "opened", false)
    }

    // --- acting as a user: real pointer and key events only ---------------

    function flickableOf(item) {
        for (var p = item.parent; p; p = p.parent) {
            if (p.contentY !== undefined && p.flickableDirection !== undefined && p.interactive)
                return p
        }
        return null
    }

    // Scrolls with the mouse wheel, as a user would, until the item is
    // inside the view of the screen that holds it.
    function reveal(item) {
        var flick = flickableOf(item)
        if (!flick)
            return
        for (var step = 0; step < 60; ++step) {
            var at = item.mapToItem(flick, 0, 0)
            var below = at.y + Math.min(item.height, flick.height) - flick.height
            if (at.y >= 0 && below <= 0)
                return
            mouseWheel(flick, flick.width / 2, flick.height / 2, 0, at.y < 0 ? 120 : -120)
            tryCompare(flick, "moving", false, 3000)
        }
        fail("could not scroll to " + item.objectName)
    }

    function click(item) {
        verify(item, "nothing to click")
        // let the layouts settle first: a row that just appeared moves the
        // ones below it
        wait(20)
        reveal(item)
        verify(item.visible && item.enabled, (item.objectName || item.text) + " is not clickable (visible "
               + item.visible + ", enabled " + item.enabled + ")")
        mouseClick(item)
    }

    // Clicks into the field, selects what it holds and types the text key by
    // key ("\n" as Return); the field is left with the focus.
    function typeInto(field, text) {
        click(field)
        verify(field.activeFocus, "the click did not reach " + field.objectName + " (focus on "
               + (window.activeFocusItem ? window.activeFocusItem + " " + window.activeFocusItem.objectName : "nothing")
               + ", window active " + window.active + ")")
        keyClick(Qt.Key_A, Qt.ControlModifier)
        keyClick(Qt.Key_Delete)
        typeKeys(text)
    }

    // Clicks into the field and types at the end of what it holds.
    function appendTo(field, text) {
        click(field)
        verify(field.activeFocus, "the click did not reach " + field.objectName)
        keyClick(Qt.Key_End)
        typeKeys(text)
    }

    function typeKeys(text) {
        for (var i = 0; i < text.length; ++i) {
            if (text[i] === "\n")
                keyClick(Qt.Key_Return)
            else
                keyClick(text[i])
        }
    }

    // Opens the combo with a click and clicks the entry with that text.
    function choose(combo, text) {
        click(combo)
        tryCompare(combo.popup, "opened", true)
        var index = combo.find(text)
        verify(index >= 0, "\"" + text + "\" is not offered by " + combo.objectName + ": " + combo.model)
        var list = combo.popup.contentItem
        list.positionViewAtIndex(index, ListView.Contain)
        wait(0)
        var entry = list.itemAtIndex(index)
        verify(entry, "entry " + index + " not shown")
        mouseClick(entry)
        tryCompare(combo.popup, "visible", false)
        compare(combo.currentText, text)
    }

    // A dialog's standard button, clicked.
    function press(dialog, button) {
        tryCompare(dialog, "opened", true)
        click(dialog.standardButton(button))
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

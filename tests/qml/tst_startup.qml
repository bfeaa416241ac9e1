import QtQuick 2.15
import QtTest 1.2

WindowTestCase {
    name: "Startup"

    function test_unregisteredGoesToRegistration() {
        staticSettings.remove("regem_s")
        openWindow()
        compare(window.stateGroup.state, "RegisterState")
        verify(!window.toolbarRow.enabled)
    }

    function test_unsavedSettingsGoToSettings() {
        iniSettings.remove("rms_sl")
        openWindow()
        compare(window.stateGroup.state, "SettingStateLTA")
        verify(!child("homeButton").enabled)
    }

    function test_fileGivenAtStartIsImported() {
        var path = testTools.tempFolder() + "start.lta"
        verify(testTools.writeOrder(path, { orderID: "START-7", manOrderID: "S7",
                                            custAddr: "Start Customer\n7 Start Road\nStartham", items: [] }))
        staticSettings.setValue("imp", path)
        openWindow()
        compare(window.stateGroup.state, "Customer")
        compare(_myOrder.orderID, "START-7")
        compare(window.addressScreen.orderRefField.text, "S7")
        compare(String(staticSettings.value("imp", "")), "")
        verify(testTools.exists(testTools.ordersFolder() + "START-7"))
    }

    function test_dropTakesOnlyOrderFiles() {
        openWindow()
        var drop = child("dropArea")
        verify(!drop.acceptable(["file:///tmp/notes.txt"]))
        verify(drop.acceptable(["file:///tmp/order.LTA"]))
    }

    function test_toolbarFollowsTheOrder() {
        openWindow()
        verify(!child("customerButton").enabled)
        verify(!child("surveyButton").enabled)
        click(child("newOrderButton"))
        verify(child("customerButton").enabled)
        verify(!child("surveyButton").enabled)
        verify(!child("reviewButton").enabled)
        typeInto(window.addressScreen.orderRefField, "TB-1")
        click(window.addressScreen.nextButton)
        var capture = window.captureScreen
        tryCompare(capture.roomDialog, "opened", true)
        capture.roomDialog.combo.currentIndex = 0
        capture.roomDialog.accept()
        verify(child("surveyButton").enabled)
        verify(!child("completeButton").enabled, "Complete waits for the review after a survey visit")
        click(child("reviewButton"))
        verify(window.captureScreen === null)
        verify(child("completeButton").enabled)
        // the review stays seen: on the completion screen and after a visit home
        click(child("completeButton"))
        compare(window.stateGroup.state, "Complete")
        verify(child("completeButton").enabled)
        click(child("homeButton"))
        verify(child("completeButton").enabled, "a review seen before going home still counts")
        window.addressScreen.tradeChanged()
        verify(!child("completeButton").enabled)
    }

    function test_configurationCheckAtMostEveryFiveMinutes() {
        openWindow()
        tryVerify(function() { return window.prevSync !== 0 })
        var first = window.prevSync - 3
        window.prevSync = first
        window.stateGroup.state = "Customer"
        window.stateGroup.state = "Home"
        wait(50)
        compare(window.prevSync, first, "three minutes ago: no second check")
        window.prevSync = first - 10
        window.stateGroup.state = "Customer"
        window.stateGroup.state = "Home"
        tryVerify(function() { return window.prevSync > first })
    }

    function test_newsOpensOnNewNotice() {
        localSettings.setValue("notifyurl", "about:blank")
        localSettings.setValue("notifyid", "n-2")
        localSettings.setValue("prevnotifyid", "n-1")
        openWindow()
        tryCompare(window.newsPopup, "opened", true)
        window.newsPopup.tryClose()
        tryCompare(window.newsPopup, "opened", false)
        compare(String(localSettings.value("prevnotifyid", "")), "n-2")
    }

    function test_geometryFromAnotherDesktopIsCentred() {
        staticSettings.setValue("pos/dw", 5000)
        staticSettings.setValue("pos/w", 700)
        openWindow()
        compare(window.width, 1024)
        compare(window.height, 600)
        window.width = 900
        testTools.closeWindow(window)
        compare(Number(staticSettings.value("pos/w", 0)), 900)
        closeWindow()
        openWindow()
        compare(window.width, 900, "the same desktop restores the stored size")
    }
}

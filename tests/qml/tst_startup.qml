import QtQuick 2.15
import QtTest 1.2

WindowTestCase {
    name: "Startup"

    function test_unregisteredGoesToRegistration() {
        registered()
        staticSettings.remove("regem_s")
        openWindow()
        compare(window.stateGroup.state, "RegisterState")
        verify(!window.toolbarRow.enabled)
    }

    function test_unsavedSettingsGoToSettings() {
        registered()
        iniSettings.remove("rms_sl")
        openWindow()
        compare(window.stateGroup.state, "SettingStateLTA")
        verify(!child("homeButton").enabled)
    }

    function test_fileGivenAtStartIsImported() {
        registered()
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
        registered()
        openWindow()
        var drop = child("dropArea")
        verify(!drop.acceptable(["file:///tmp/notes.txt"]))
        verify(drop.acceptable(["file:///tmp/order.LTA"]))
    }
}

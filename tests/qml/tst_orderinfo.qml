import QtQuick 2.15
import QtTest 1.2

WindowTestCase {
    name: "OrderInfo"

    function openOrderInfo() {
        staticSettings.setValue("users", ["Sam", "Alex"])
        openWindow()
        click(child("newOrderButton"))
        return window.addressScreen
    }

    function test_nextNeedsReferenceAndValidEmail() {
        var address = openOrderInfo()
        typeInto(address.orderRefField, "AB")
        verify(!address.nextButton.enabled)
        typeInto(address.orderRefField, "ABC")
        verify(address.nextButton.enabled)
        typeInto(address.emailField, "not an address")
        click(address.nextButton)
        compare(window.stateGroup.state, "Customer")
        var message = findChild(window.addressScreen, "addressMessage")
        tryCompare(message, "opened", true)
        click(findChild(message.contentItem, "messageOk"))
        tryCompare(message, "opened", false)
        typeInto(address.emailField, "")
        click(address.nextButton)
        compare(window.stateGroup.state, "Capture")
    }

    // A help text explains without getting in the way: the next click goes
    // to the field under it, and typing there ends the explanation.
    function test_helpTakesNoClicks() {
        var address = openOrderInfo()
        var help = findChild(window.addressScreen, "orderRefHelp")
        click(help)
        var bubble = help.bubble
        verify(bubble && bubble.visible, "the help is shown")
        var field = address.orderRefField
        var b = bubble.mapToItem(null, 0, 0), f = field.mapToItem(null, 0, 0)
        verify(b.x + bubble.width <= f.x || b.x >= f.x + field.width || b.y + bubble.height <= f.y || b.y >= f.y + field.height,
               "the help covers the field")
        typeInto(field, "REF-9")
        compare(_myOrder.manOrderID, "REF-9")
        verify(!bubble.visible, "typing elsewhere closes the help")
    }

    function test_transfer() {
        var address = openOrderInfo()
        var id = _myOrder.orderID
        typeInto(address.orderRefField, "XFER-1")
        compare(address.xferCombo.model, ["Alex"])
        address.xferCombo.currentIndex = 0
        verify(address.xferButton.enabled)

        // a failed save keeps the screen and the order, and says why
        var target = testTools.ordersFolder() + id
        verify(testTools.blockPath(target))
        address.xferConfirm.accept()
        compare(window.stateGroup.state, "Customer")
        compare(_myOrder.orderID, id)
        tryCompare(findChild(address, "addressMessage"), "opened", true)
        findChild(address, "addressMessage").close()

        verify(testTools.remove(target))
        address.xferConfirm.accept()
        compare(window.stateGroup.state, "SavedOrders")
        compare(_myOrder.orderID, "")
        verify(!testTools.exists(target))
        compare(String(staticSettings.value("xfer", "")), "Alex")
    }

    function test_failedSaveKeepsTheScreen() {
        var address = openOrderInfo()
        var target = testTools.ordersFolder() + _myOrder.orderID
        typeInto(address.orderRefField, "KEEP-1")
        verify(testTools.blockPath(target))
        click(child("homeButton"))
        compare(window.stateGroup.state, "Customer")
        tryCompare(window.messagePopup, "opened", true)
        window.messagePopup.close()
        verify(testTools.remove(target))
        click(child("homeButton"))
        compare(window.stateGroup.state, "Home")
        compare(testTools.readOrder(target).manOrderID, "KEEP-1")
    }

    // results of the cloud controller show in the screen's message
    function test_asyncResultShown() {
        var address = openOrderInfo()
        vexaData.asyncResult("Address checked")
        var message = findChild(address, "addressMessage")
        tryCompare(message, "opened", true)
        compare(findChild(message.contentItem, "messageText").text, "Address checked")
        message.close()
    }
}

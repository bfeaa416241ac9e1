import QtQuick 2.15
import QtQuick.Controls 2.15
import QtTest 1.2

WindowTestCase {
    name: "ReviewComplete"

    function openSample(prices) {
        registered()
        staticSettings.setValue("showPrices_b", prices)
        staticSettings.setValue("margins_b", prices)
        staticSettings.setValue("revDet_b", true)
        var sample = testTools.readOrder(testTools.sourcePath("data/sample-order.json"))
        verify(testTools.writeOrder(testTools.ordersFolder() + sample.orderID, sample))
        openWindow()
        verify(_myOrder.loadOrder(sample.orderID, 0, false))
        _myOrder.recalcPrices()
        return sample
    }

    function test_reviewFigures() {
        openSample(true)
        window.goTo("Review")
        var review = window.reviewScreen
        verify(review !== null)
        // rows follow the rooms, each mapped to its own item
        compare(review.itemList.count, orderItemsModel.count)
        var rooms = []
        for (var i = 0; i < review.itemList.count; ++i) {
            var row = review.itemList.itemAt(i)
            compare(row.item, orderItemsModel.get(row.sourceRow))
            rooms.push(row.item.room)
            verify(row.title.indexOf(row.item.room + " #") === 0)
        }
        compare(rooms, rooms.slice().sort())
        verify(_myOrder.partsPrice > 0)

        typeInto(review.additionsField, "1,000")
        compare(review.additions, 1000)
        compare(review.total, _myOrder.partsPrice + 1000)
        typeInto(review.discountField, "10")
        var total = review.total
        compare(review.balance, Math.round((total * 0.9) * 100) / 100)
        verify(review.quoteBox.enabled)
        typeInto(review.depositField, "100")
        verify(!review.quoteBox.enabled, "a deposit disables the quote box")
        verify(review.paymentCombo.visible)
        compare(review.balance, Math.round((total * 0.9 - 100) * 100) / 100)

        // a balance typed in gives the discount back; above 20 % it turns red
        typeInto(review.balanceField, String((total * 0.7 - 100).toFixed(2)))
        fuzzyCompare(review.discount, 30, 0.01)
        compare(String(review.discountLabel.color), "#ff0000")
        typeInto(review.balanceField, String((total * 0.85 - 100).toFixed(2)))
        verify(String(review.discountLabel.color) !== "#ff0000")

        // with a total of 0 the discount stays as it was
        var kept = review.discount
        typeInto(review.additionsField, String(-_myOrder.partsPrice))
        compare(review.total, 0)
        typeInto(review.balanceField, "50")
        compare(review.discount, kept)

        typeInto(review.additionsField, "25")
        typeInto(review.discountField, "5")
        var balance = review.balance
        window.goTo("Home")
        compare(_myOrder.fittingCost, 25)
        compare(_myOrder.discount, 5)
        compare(_myOrder.deposit, 100)
        compare(_myOrder.balance, balance)
        compare(Number(testTools.readOrder(testTools.ordersFolder() + _myOrder.orderID).fitting), 25)
    }

    function test_completeAndSend() {
        staticSettings.setValue("list1_sl", "Collect from Heldon,Deliver to address")
        iniSettings.setValue("busNames/C123456", "Acme Shutters")
        iniSettings.setValue("buslist/C123456", ["Main Depot"])
        var sample = openSample(false)
        _myOrder.confirmed = true
        window.goTo("Review")
        window.goTo("Complete")
        var complete = window.completeScreen
        verify(complete !== null)
        compare(complete.warningText, "")
        verify(!complete.businessCombo.visible, "one business: no choice")
        compare(complete.businessCombo.currentText, "Acme Shutters")

        signOn(complete)
        verify(_myOrder.signature.indexOf("data:image/png;base64,") === 0)
        verify(_myOrder.signature.length > 100)

        // collection hides the address and drops it
        complete.sendChoice.checked = true
        verify(!complete.okButton.enabled, "no delivery option chosen yet")
        complete.deliveryCombo.currentIndex = 1
        complete.deliveryCombo.activated(1)
        verify(!complete.addressCombo.visible)
        verify(complete.okButton.enabled)
        complete.deliveryCombo.currentIndex = 2
        complete.deliveryCombo.activated(2)
        verify(complete.addressCombo.visible)
        compare(complete.addressCombo.currentText, "Main Depot")
        compare(_myOrder.properties.delAddr, "Main Depot")

        // a one-off address: the dialog's own rules decide
        complete.dropBox.checked = true
        complete.dropBox.toggled()
        var dialog = complete.dropDialog
        tryCompare(dialog, "opened", true)
        dialog.nameField.text = "Bob Lee"
        typeInto(dialog.postcodeField, "mk9 3qa")
        compare(dialog.postcodeField.text, "MK9 3QA")
        typeInto(dialog.phoneField, "07700 90012")
        verify(!dialog.valid, "ten digits")
        typeInto(dialog.phoneField, "07700 900123")
        compare(dialog.phoneField.text, "07700900123")
        verify(dialog.valid)
        dialog.accept()
        tryCompare(dialog, "visible", false)
        verify(complete.dropUsed, "a short but complete address is in use")
        compare(_myOrder.properties.da_used, true)
        verify(complete.okButton.enabled)

        // a failed save keeps the screen and the order
        var id = _myOrder.orderID
        var queued = testTools.ordersFolder() + "post/" + id
        complete.okButton.clicked()
        tryCompare(complete.confirm, "opened", true)
        verify(testTools.blockPath(queued))
        complete.confirm.accept()
        compare(window.stateGroup.state, "Complete")
        compare(_myOrder.orderID, id)
        tryCompare(complete.message, "opened", true)
        complete.message.close()
        verify(testTools.remove(queued))

        complete.okButton.clicked()
        tryCompare(complete.confirm, "opened", true)
        complete.confirm.accept()
        compare(window.stateGroup.state, "SavedOrders")
        compare(_myOrder.orderID, "")
        var stored = testTools.readOrder(queued)
        verify(String(stored.sig).indexOf("data:image/png;base64,") === 0)
        verify(!stored.toCust)

        // reopened, the signature shows again
        verify(_myOrder.loadOrder(id, 0, false))
        window.goTo("Review")
        window.goTo("Complete")
        verify(findChild(window.completeScreen, "signatureImage").visible)
    }

    function test_viewOrder() {
        openSample(false)
        window.goTo("Review")
        window.goTo("Complete")
        var complete = window.completeScreen
        complete.viewButton.clicked()
        verify(complete.viewer.visible)
        compare(complete.viewer.html, _myOrder.documentHTML(2))
        findChild(complete.viewer, "viewerClose").clicked()
        verify(!complete.viewer.visible)
    }
}

import QtQuick 2.15
import QtQuick.Controls 2.15
import QtTest 1.2

WindowTestCase {
    name: "ReviewComplete"

    function openPriced(prices) {
        staticSettings.setValue("showPrices_b", prices)
        staticSettings.setValue("margins_b", prices)
        staticSettings.setValue("revDet_b", true)
        var sample = openSample()
        _myOrder.recalcPrices()
        return sample
    }

    function test_reviewFigures() {
        openPriced(true)
        window.goTo("Review")
        var review = window.reviewScreen
        verify(review !== null)
        // rows follow the rooms, each mapped to its own item
        compare(review.itemList.count, orderItemsModel.count)
        var rooms = []
        for (var i = 0; i < review.itemList.count; ++i) {
            review.itemList.positionViewAtIndex(i, ListView.Contain)
            var row = review.itemList.itemAtIndex(i)
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
        verify(review.paymentCombo.shown)
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

    function test_viewOrder() {
        openPriced(false)
        window.goTo("Review")
        window.goTo("Complete")
        var complete = window.completeScreen
        click(complete.viewButton)
        verify(complete.viewer.visible)
        compare(complete.viewer.html, _myOrder.documentHTML(2))
        click(findChild(complete.viewer, "viewerClose"))
        verify(!complete.viewer.visible)
    }
}

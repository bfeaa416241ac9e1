import QtQuick 2.15
import QtQuick.Controls 2.15
import QtTest 1.2

WindowTestCase {
    name: "PriceCalc"

    // tableless: a price not from a price table offers both tabs
    function openCalc(tableless) {
        staticSettings.setValue("showPrices_b", true)
        openSample()
        window.goTo("Capture")
        var capture = window.captureScreen
        capture.selectRoom("Kitchen")
        var calc = capture.priceCalcDialog
        if (tableless) {
            // the survey's own button reprices from the table first
            _myOrder.getVexaOrderItem().calcMap = {}
            calc.openFor(-1)
        } else {
            click(capture.calcButton)
        }
        tryCompare(calc, "opened", true)
        compare(calc.tabsVisible, tableless)
        compare(calc.retailPriceField.readOnly, !tableless)
        return calc
    }

    function label(calc, name) { return findChild(calc.contentItem, name).text }

    function test_tradeCase() {
        var calc = openCalc(true)
        var item = _myOrder.getVexaOrderItem()
        typeInto(calc.tradePriceField, "200")
        typeInto(calc.tradeDiscField, "40")
        typeInto(calc.markupField, "100")
        calc.vatCombo.currentIndex = 0
        calc.vatCombo.activated(0)
        calc.tradeDiscount.type("10")
        compare(["netCol", "markedCol", "vatCol", "tradeFinal", "tradeMargin"].map(function(n) { return label(calc, n) }),
                ["120.00", "240.00", "288.00", "259.20", "96.00"])
        // the same discount as an amount
        calc.tradeDiscount.modeSwitch.toggle()
        calc.tradeDiscount.modeSwitch.toggled()
        calc.tradeDiscount.type("28.80")
        compare(calc.tradePercent, 10)
        // a markup as high as the settings allow
        typeInto(calc.markupField, "900")
        compare(label(calc, "markedCol"), "1200.00")
        typeInto(calc.markupField, "100")
        calc.accept()
        // stored first, then repriced from the new figures
        compare([item.calcMap.trade, item.calcMap.tradePrice, item.calcMap.markup, item.item_price], [true, 200, 100, 259.2])
        verify(item.manualPrice)
        var path = testTools.ordersFolder() + _myOrder.orderID
        // the save after repricing is written in the background
        tryVerify(function() { return JSON.stringify(testTools.readOrder(path)).indexOf("\"tradePrice\"") >= 0 })

        // reopened: only the trade tab, the figures as stored
        calc.openFor(-1)
        tryCompare(calc, "opened", true)
        verify(!calc.tabsVisible)
        compare(calc.tradePriceField.text, "200.00")
        // OK without edits leaves the item alone
        var before = JSON.stringify(item.calcMap)
        calc.accept()
        compare(JSON.stringify(item.calcMap), before)
        compare(item.item_price, 259.2)

        // Reset brings the catalogue price back
        calc.openFor(-1)
        tryCompare(calc, "opened", true)
        calc.reset()
        verify(!item.manualPrice)
        compare(item.calcMap.trade, false)
        verify(item.item_price !== 259.2)
        compare(calc.tabBar.currentIndex, 1)
        calc.reject()
    }

    function test_catalogueRetail() {
        var calc = openCalc(false)
        var item = _myOrder.getVexaOrderItem()
        compare(calc.tabBar.currentIndex, 1)
        var map = item.calcMap
        var retail = Math.round(map.rrp * (1 + (map.allChange || 0) / 100) * (1 + (map.bandChange || 0) / 100) * 100) / 100
        compare(calc.retailPriceField.text, retail.toFixed(2))
        calc.retailDiscount.type("10")
        calc.accept()
        compare(item.calcMap.custDiscPcnt, 10)
        compare(item.calcMap.trade, false)
        compare(item.item_price, Math.round(retail * 90) / 100)
    }

    function test_retailZeroAndNegative() {
        var calc = openCalc(true)
        var item = _myOrder.getVexaOrderItem()
        var price = item.item_price
        calc.tabBar.currentIndex = 1
        typeInto(calc.retailPriceField, "500")
        calc.retailDiscount.modeSwitch.toggle()
        calc.retailDiscount.modeSwitch.toggled()
        calc.retailDiscount.type("50")
        compare(label(calc, "retailFinal"), "450.00")
        compare(calc.retailPercent.toFixed(4), "10.0000")

        // a discount above the price is refused
        calc.retailDiscount.type("600")
        verify(!calc.resultValid)
        verify(!calc.standardButton(Dialog.Ok).enabled)
        compare(calc.acceptRetail(), false)
        compare(item.item_price, price)

        // a zero price neither divides nor breaks the figures
        typeInto(calc.retailPriceField, "0")
        calc.retailDiscount.type("0")
        compare(calc.retailPercent, 0)
        calc.tabBar.currentIndex = 0
        typeInto(calc.tradePriceField, "0")
        calc.tradeDiscount.modeSwitch.toggle()
        calc.tradeDiscount.modeSwitch.toggled()
        calc.tradeDiscount.type("25")
        compare(calc.tradePercent, 0)
        verify(calc.resultValid)
        calc.reject()
        compare(item.item_price, price)
    }
}

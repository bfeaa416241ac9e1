import QtQuick 2.15
import QtQuick.Controls 2.15
import QtTest 1.2
import "qrc:/comps"

// The shutter drawing and the quote buttons as a screen uses them: the
// drawing follows a panel configuration and a T-post typed key by key into
// the item; the buttons write and open the PDF, and report a failed mail.
TestCase {
    id: testCase
    name: "QuoteComponents"
    when: windowShown
    width: 800
    height: 600
    visible: true

    property var item: null

    // what the survey's fields do with each keystroke
    function setData(key, value) {
        var d = item.dataMap
        if (value === "")
            delete d[key]
        else
            d[key] = value
        item.dataMap = d
    }
    TextField { id: configField; width: 200; onTextEdited: setData("PanelConfig", text.toUpperCase()) }
    TextField { id: postField; y: 50; width: 200; onTextEdited: setData("TPost1", text) }
    ShutterDrawing { id: drawing; y: 100; width: 300; height: 240 }
    QuoteActions { id: actions; y: 400 }
    QuoteTotals { id: totals; x: 420; y: 100 }
    QuoteSettings { id: quoteSettings; x: 420; y: 300 }

    function image() { return findChild(drawing, "shutterDrawingImage") }
    function svg() { return quoteTools.drawingSvg(item) }
    function count(cls) { return (svg().match(new RegExp('class="' + cls + '"', "g")) || []).length }
    function postAt() {
        var m = svg().match(/class="tpost" data-x="([0-9.]+)"/)
        return m ? m[1] : ""
    }

    function init() {
        // nothing leaves the machine: a mail has nowhere to go
        staticSettings.setValue("ltaurl", "http://127.0.0.1:1/v3/x/messages")
        _myOrder.clear()
        _myOrder.newOrder()
        _myOrder.addBlind("Hall")
        item = _myOrder.getVexaOrderItem()
        verify(item !== null)
        item.bl_width = 1450
        item.bl_drop = 1300
        drawing.item = item
        configField.text = ""
        postField.text = ""
    }

    function test_drawingFollowsTyping() {
        tryCompare(image(), "status", Image.Ready)
        compare(count("panel"), 0)
        configField.forceActiveFocus()
        var panels = [], posts = []
        for (var key of ["l", "r", "t", "l", "r"]) {
            keyClick(key)
            compare(drawing.source, quoteTools.drawingUrl(item))
            panels.push(count("panel"))
            posts.push(count("tpost"))
        }
        compare(configField.text, "lrtlr")
        compare(panels, [1, 2, 2, 3, 4])
        compare(posts, [0, 0, 1, 1, 1])
        tryCompare(image(), "status", Image.Ready)

        // the post stands by the panel count until a usable measure is typed
        postField.forceActiveFocus()
        var at = []
        for (key of ["5", "0", "0"]) {
            keyClick(key)
            compare(drawing.source, quoteTools.drawingUrl(item))
            at.push(postAt())
        }
        compare(at, ["725", "50", "500"])
        keyClick(Qt.Key_Backspace)
        compare(postAt(), "50")

        // the picture keeps the shutter's proportions
        tryCompare(image(), "status", Image.Ready)
        var tall = image().implicitWidth / image().implicitHeight
        item.bl_width = 2900
        tryCompare(image(), "status", Image.Ready)
        var wide = image().implicitWidth / image().implicitHeight
        verify(tall < 1.2 && wide > 1.6, tall + " / " + wide)
    }

    function test_quotePdfButton() {
        _myOrder.custEmail = ""
        verify(!actions.emailButton.enabled)
        testTools.opened()
        mouseClick(actions.pdfButton)
        var opened = testTools.opened()
        compare(opened.length, 1)
        verify(opened[0].endsWith("/print/Quote_" + _myOrder.orderID + ".pdf"), opened[0])
        verify(testTools.exists(quoteTools.quotePdfPath()))
        verify(!actions.messagePopup.opened)
    }

    function test_emailButtonReportsFailure() {
        _myOrder.custEmail = "ada@customer.example"
        verify(actions.emailButton.enabled)
        mouseClick(actions.emailButton)
        tryCompare(actions.messagePopup, "opened", true)
        verify(actions.messagePopup.text !== "" && actions.messagePopup.text.indexOf("was sent") < 0,
               actions.messagePopup.text)
        verify(_myOrder.properties.quoteSent === undefined)
        actions.messagePopup.close()
    }

    function test_totalsShowTheQuotesFigures() {
        item.item_price = 640
        _myOrder.fittingCost = 60
        _myOrder.discount = 10
        _myOrder.deposit = 100
        totals.refresh()
        compare(findChild(totals, "quoteTotal").text, "£700.00")
        compare(findChild(totals, "quoteDiscount").text, "-£70.00")
        compare(findChild(totals, "quotePrice").text, "£630.00")
        compare(findChild(totals, "quoteDeposit").text, "£100.00")
        compare(findChild(totals, "quoteBalance").text, "£530.00")
    }

    function test_quoteSettingsTyped() {
        staticSettings.setValue("quoteName_s", "Old Name")
        staticSettings.remove("quoteTerms_s")
        quoteSettings.fill()
        compare(quoteSettings.nameField.text, "Old Name")
        quoteSettings.nameField.selectAll()
        quoteSettings.nameField.forceActiveFocus()
        keyClick(Qt.Key_Delete)
        quoteSettings.termsField.forceActiveFocus()
        for (var key of ["N", "o", " ", "&", " ", "<"])
            keyClick(key)
        quoteSettings.save()
        compare(staticSettings.value("quoteTerms_s", ""), "No & <")
        // an emptied name falls back to the account's business name
        compare(staticSettings.value("quoteName_s", "-"), "-")
    }
}

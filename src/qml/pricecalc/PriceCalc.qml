import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import CustomStyles 1.0
import "../comps"

// Replaces the catalogue price of the current item (option index -1) or of
// one of its options by a price worked out from a trade or a retail price.
Dialog {
    id: calc
    objectName: "priceCalc"
    modal: true
    closePolicy: Popup.NoAutoClose
    anchors.centerIn: Overlay.overlay
    width: Math.min(640, parent ? parent.width - 20 : 640)
    standardButtons: Dialog.Ok | Dialog.Cancel | Dialog.Reset

    property int optionIndex: -1
    property var item: null
    property var option: null
    property var map: ({})
    property real startPrice: 0
    property bool tabsVisible: true
    property bool tradeEdited: false
    property bool retailEdited: false
    readonly property bool onTrade: tabBar.currentIndex === 0
    readonly property bool priceEditable: tabsVisible || (option !== null && option.isAdded)
    readonly property string currency: Style.currency.replace("&pound;", "\u00a3")

    // customer discount of each tab, kept in both forms
    property real tradePercent: 0
    property real tradeAmount: 0
    property real retailPercent: 0
    property real retailAmount: 0

    readonly property var figures: priceCalc.trade(num(tradePriceField.text), num(tradeDiscField.text),
                                                   num(markupField.text), num(vatCombo.currentText), tradePercent)
    readonly property var retailFigures: priceCalc.retail(num(retailPriceField.text), retailAmount)
    readonly property bool resultValid: onTrade ? figures.valid : retailFigures.valid

    property alias tabBar: tabBar
    property alias tradePriceField: tradePriceField
    property alias tradeDiscField: tradeDiscField
    property alias markupField: markupField
    property alias vatCombo: vatCombo
    property alias tradeDiscount: tradeDiscount
    property alias retailPriceField: retailPriceField
    property alias retailDiscount: retailDiscount

    function num(text) {
        var n = Number(String(text).replace(/,/g, ""))
        return text === "" || !isFinite(n) ? 0 : n
    }
    function blankZero(v, decimals) { return Number(v) === 0 || !isFinite(Number(v)) ? "" : Number(v).toFixed(decimals) }

    // An item without figures of its own starts from the business's markup
    // and VAT as the settings screen keeps them; an older per-device default
    // markup still wins where one was set.
    function defaultMarkup() {
        var own = num(String(staticSettings.value("defMarkup_s", "")))
        return own !== 0 ? own : num(String(iniSettings.value("markup_d", "")))
    }

    function openFor(index) {
        optionIndex = index
        item = _myOrder.getVexaOrderItem()
        if (!item)
            return
        option = null
        if (index >= 0) {
            var options = _myOrder.getOptionsModel()
            option = options ? options.get(index) : null
            if (!option)
                return
        }
        load()
        open()
    }

    function load() {
        map = option ? option.optsCalcMap : item.calcMap
        startPrice = option ? num(option.price) : item.item_price
        var hasTrade = map.trade !== undefined
        tabsVisible = !hasTrade
        tabBar.currentIndex = hasTrade && map.trade !== true ? 1 : 0
        if (map.trade === true) {
            tradePriceField.text = blankZero(map.tradePrice, 2)
            tradeDiscField.text = blankZero(map.tradeDisc, 2)
            markupField.text = blankZero(map.markup, 2)
            vatCombo.currentIndex = map.applyVat === true || Number(map.vatRate) > 0 ? 0 : 1
            tradePercent = Number(map.custDiscPcnt) || 0
        } else {
            tradePriceField.text = ""
            tradeDiscField.text = ""
            markupField.text = blankZero(defaultMarkup(), 2)
            vatCombo.currentIndex = Number(iniSettings.value("vat_rate", 20)) !== 0 ? 0 : 1
            tradePercent = 0
        }
        tradeAmount = priceCalc.amountFromPercent(figures.withVat, tradePercent)
        tradeDiscount.showPercent()
        if (map.rrp !== undefined && map.trade === false) {
            retailPriceField.text = priceCalc.mapRetailPrice(map).toFixed(2)
            retailPercent = Number(map.custDiscPcnt) || 0
        } else {
            retailPriceField.text = startPrice.toFixed(2)
            retailPercent = 0
        }
        retailAmount = priceCalc.amountFromPercent(num(retailPriceField.text), retailPercent)
        retailDiscount.showPercent()
        tradeEdited = false
        retailEdited = false
    }

    // the figures are stored first, so the repricing works from them
    function store(newMap, finalPrice) {
        var text = finalPrice.toFixed(2)
        if (option) {
            option.optsCalcMap = newMap
            option.manualPrice = true
            option.price = text
            _myOrder.optionPriceEdited(option.optionGroup)
        } else {
            item.calcMap = newMap
            _myOrder.manualBlindPrice(text)
        }
    }

    function acceptTrade() {
        if (!tradeEdited || !figures.valid)
            return false
        var vat = num(vatCombo.currentText)
        if (priceCalc.sameTradeFigures(map, num(tradePriceField.text), num(tradeDiscField.text),
                                       num(markupField.text), tradePercent, vat))
            return false
        var m = map
        m.trade = true
        m.tradePrice = num(tradePriceField.text)
        m.tradeDisc = num(tradeDiscField.text)
        m.markup = num(markupField.text)
        m.custDiscPcnt = tradePercent
        m.vatRate = vat
        m.applyVat = vat > 0
        store(m, figures.finalPrice)
        return true
    }

    function acceptRetail() {
        if (!retailFigures.valid)
            return false
        var retail = num(retailPriceField.text)
        if (Math.abs(retail - priceCalc.mapRetailPrice(map)) < 0.005
                && Math.abs(retailPercent - (Number(map.custDiscPcnt) || 0)) < 1e-9)
            return false
        var m = map
        m.trade = false
        m.custDiscPcnt = retailPercent
        if (tabsVisible)
            m.rrp = retail
        store(m, retailFigures.finalPrice)
        return true
    }

    function resetPrice() {
        if (option) {
            option.manualPrice = false
            _myOrder.optionSelected(option.optionGroup, option.description, optionIndex)
        } else {
            item.manualPrice = false
            item.bl_bandOverride = ""
            item.calcMap = {}
        }
        _myOrder.processOrderItem(true)
        load()
    }

    onOpened: standardButton(Dialog.Ok).enabled = Qt.binding(function() { return calc.resultValid })
    onAccepted: onTrade ? acceptTrade() : acceptRetail()
    onReset: resetPrice()

    header: Label {
        objectName: "calcHeader"
        padding: 10
        wrapMode: Text.Wrap
        textFormat: Text.RichText
        text: !item ? "" : (option ? option.optionGroup + ": " + option.description + "<br>" : "")
                          + item.itemInfo(optionIndex)
                          + (option ? (onTrade ? "<br>Current Price: <b>" : "<br>Original Price: <b>")
                                      + currency + startPrice.toFixed(2) + "</b>" : "")
    }

    ColumnLayout {
        anchors.fill: parent
        TabBar {
            id: tabBar
            visible: tabsVisible
            Layout.fillWidth: true
            TabButton { text: "Trade to Retail" }
            TabButton { text: "Retail" }
        }
        StackLayout {
            currentIndex: tabBar.currentIndex
            Layout.fillWidth: true
            GridLayout {
                columns: 3
                FieldLabel { text: "Trade Price" }
                TextField {
                    id: tradePriceField
                    Layout.preferredWidth: 130
                    objectName: "tradePrice"
                    readOnly: !priceEditable
                    validator: DoubleValidator { bottom: 0; top: 10000000; decimals: 2; notation: DoubleValidator.StandardNotation }
                    onTextEdited: tradeEdited = true
                }
                Label { objectName: "tradeNetCol"; text: num(tradePriceField.text).toFixed(2) }
                FieldLabel { text: "Trade Discount %" }
                TextField {
                    id: tradeDiscField
                    Layout.preferredWidth: 130
                    objectName: "tradeDisc"
                    validator: DoubleValidator { bottom: 0; top: 100; decimals: 2; notation: DoubleValidator.StandardNotation }
                    onTextEdited: tradeEdited = true
                }
                Label { objectName: "netCol"; text: figures.net.toFixed(2) }
                FieldLabel { text: "Markup %" }
                TextField {
                    id: markupField
                    Layout.preferredWidth: 130
                    objectName: "markup"
                    validator: DoubleValidator { bottom: 0; top: priceCalc.maxMarkup(); decimals: 2; notation: DoubleValidator.StandardNotation }
                    onTextEdited: tradeEdited = true
                }
                Label { objectName: "markedCol"; text: figures.marked.toFixed(2) }
                FieldLabel { text: "VAT %" }
                ComboBox {
                    id: vatCombo
                    objectName: "vatCombo"
                    model: ["20", "0"]
                    currentIndex: -1
                    onActivated: tradeEdited = true
                }
                Label { objectName: "vatCol"; text: figures.withVat.toFixed(2) }
                FieldLabel { text: "Discount" }
                DiscountField {
                    id: tradeDiscount
                    objectName: "tradeDiscount"
                    price: figures.withVat
                    percent: tradePercent
                    amount: tradeAmount
                    onPercentTyped: function(p) { tradePercent = p; tradeAmount = priceCalc.amountFromPercent(figures.withVat, p); tradeEdited = true }
                    onAmountTyped: function(a) { tradeAmount = a; tradePercent = priceCalc.percentFromAmount(figures.withVat, a); tradeEdited = true }
                }
                Label { text: tradeDiscount.otherForm }
                FieldLabel { text: "Final Price" }
                Label { objectName: "tradeFinal"; text: figures.valid ? figures.finalPrice.toFixed(2) : "Not a valid price"; font.bold: true; color: figures.valid ? "black" : "red" }
                Item { width: 1 }
                FieldLabel { text: "Margin"; visible: num(tradePriceField.text) > 0 }
                Label { objectName: "tradeMargin"; text: figures.margin.toFixed(2); visible: num(tradePriceField.text) > 0 }
                Item { width: 1 }
            }
            GridLayout {
                columns: 3
                FieldLabel { text: "Retail Price" }
                TextField {
                    id: retailPriceField
                    Layout.preferredWidth: 130
                    objectName: "retailPrice"
                    readOnly: !priceEditable
                    validator: DoubleValidator { bottom: 0; top: 10000000; decimals: 2; notation: DoubleValidator.StandardNotation }
                    onTextEdited: {
                        retailEdited = true
                        retailPercent = priceCalc.percentFromAmount(num(text), retailAmount)
                    }
                }
                Item { width: 1 }
                FieldLabel { text: "Discount" }
                DiscountField {
                    id: retailDiscount
                    objectName: "retailDiscount"
                    price: num(retailPriceField.text)
                    percent: retailPercent
                    amount: retailAmount
                    onPercentTyped: function(p) { retailPercent = p; retailAmount = priceCalc.amountFromPercent(num(retailPriceField.text), p); retailEdited = true }
                    onAmountTyped: function(a) { retailAmount = a; retailPercent = priceCalc.percentFromAmount(num(retailPriceField.text), a); retailEdited = true }
                }
                Label { text: retailDiscount.otherForm }
                FieldLabel { text: "Final Price" }
                Label {
                    objectName: "retailFinal"
                    font.bold: true
                    color: retailFigures.valid ? "black" : "red"
                    text: !retailFigures.valid ? "Not a valid price" : blankZero(retailFigures.finalPrice, 2)
                }
                Item { width: 1 }
            }
        }
    }
}

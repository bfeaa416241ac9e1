import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import CustomStyles 1.0
import "comps"

// The order's figures before completion: items in room order with their
// warnings and price lines, additions, discount, deposit and balance.
Item {
    id: screen
    objectName: "reviewScreen"

    readonly property bool showPrices: staticSettings.value("showPrices_b", false) === true
    readonly property bool showMargins: staticSettings.value("margins_b", false) === true
    readonly property real maxDiscount: Number(staticSettings.value("maxd_d", 20.0))
    readonly property string orderWord: String(staticSettings.value("order_s", "Order"))

    // the figures as typed; written to the order when the screen closes
    property real additions: _myOrder.fittingCost
    property real discount: _myOrder.discount
    property real deposit: _myOrder.deposit
    property real balance: _myOrder.balance
    readonly property real total: _myOrder.partsPrice + additions
    readonly property real totalMargin: _myOrder.optsMargin + _myOrder.itemsMargin
                                        - (discount / 100) * _myOrder.partsPrice

    property alias quoteBox: quoteBox
    property alias detailsBox: detailsBox
    property alias additionsField: additionsField
    property alias discountField: discountField
    property alias discountLabel: discountLabel
    property alias depositField: depositField
    property alias balanceField: balanceField
    property alias totalField: totalField
    property alias priceField: priceField
    property alias paymentCombo: paymentCombo
    property alias itemList: itemList

    function readNumber(text) {
        var n = Number(String(text).replace(/,/g, ""))
        return isFinite(n) ? n : 0
    }
    function money(v) { return v === 0 ? "" : Number(v).toFixed(2) }
    function discountText(v) { return v === 0 ? "" : String(Number(Number(v).toFixed(4))) }
    // Typed figures are saved after a short pause, as on the survey, so a
    // program that ends on this screen keeps them.
    function touch() {
        _myOrder.date = new Date()
        saveTimer.restart()
    }
    function commit() {
        saveTimer.stop()
        if (showPrices) {
            _myOrder.balance = balance
            _myOrder.deposit = deposit
            _myOrder.discount = discount
            _myOrder.fittingCost = additions
        }
        _myOrder.confirmed = !quoteBox.checked
        _myOrder.changed = true
        return _myOrder.saveOrder()
    }

    function recalcBalance() {
        balance = priceCalc.reviewBalance(total, discount, deposit)
        balanceField.text = money(balance)
    }
    function recalcDiscount() {
        discount = priceCalc.reviewDiscount(total, balance, deposit, discount)
        discountField.text = discountText(discount)
    }
    function paymentTypes() {
        var list = String(staticSettings.value("payments_sl", "")).split(",").map(function(s) { return s.trim() })
                   .filter(function(s) { return s !== "" })
        return list.length < 2 ? ["cash", "debit card", "credit card", "cheque", "bank transfer", "online", "paypal"]
                               : list
    }
    // room + " #" + place within the room (in the order's own item order)
    function itemTitle(item, sourceRow) {
        var n = 0
        for (var i = 0; i <= sourceRow && i < orderItemsModel.count; ++i)
            if (orderItemsModel.get(i).room === item.room)
                ++n
        return item.room + " #" + n + (item.bl_multiple > 1 ? " x " + item.bl_multiple : "")
    }

    Component.onCompleted: {
        _myOrder.sortOrdersBy("room")
        orderItemsProxyModel.dynamicSortFilter = false
        paymentCombo.model = paymentTypes()
        paymentCombo.currentIndex = paymentCombo.model.indexOf(_myOrder.paytype)
        if (showPrices)
            _myOrder.sumPartsPrice()
        additionsField.text = money(additions)
        discountField.text = discountText(discount)
        depositField.text = money(deposit)
        balanceField.text = money(balance)
        quoteBox.checked = !_myOrder.confirmed && deposit === 0
        detailsBox.checked = staticSettings.value("revDet_b", true) === true
    }
    Component.onDestruction: {
        commit()
        orderItemsProxyModel.dynamicSortFilter = true
    }
    Timer {
        id: saveTimer
        objectName: "reviewSaveTimer"
        interval: 700
        onTriggered: screen.commit()
    }

    Connections {
        target: _myOrder
        function onPartsPriceChanged() { screen.recalcBalance() }
    }
    Timer {
        id: resumTimer
        interval: 200
        onTriggered: _myOrder.sumPartsPrice()
    }

    // The figures stay in view at the top; the items scroll below them, and
    // only the rows in view (and a little around) are made, so a long order
    // opens at once.
    ColumnLayout {
            id: column
            anchors.fill: parent
            anchors.margins: 10
            // room for the list's scroll bar, so it never covers the last column
            anchors.rightMargin: 26
            spacing: 8

            RowLayout {
                Layout.fillWidth: true
                ColumnLayout {
                    Layout.alignment: Qt.AlignTop
                    CheckBox {
                        id: quoteBox
                        objectName: "quoteBox"
                        text: "Customer quote only"
                        enabled: deposit === 0
                        onToggled: {
                            _myOrder.confirmed = !checked
                            touch()
                        }
                    }
                    CheckBox {
                        id: detailsBox
                        objectName: "detailsBox"
                        text: "Details"
                        visible: showPrices
                    }
                    QuoteActions {
                        id: reviewQuote
                        objectName: "reviewQuote"
                        // the quote shows the figures as typed here
                        onAboutToQuote: screen.commit()
                    }
                    RowLayout {
                        visible: showPrices && showMargins && detailsBox.checked
                        FieldLabel { text: "Total Margin" }
                        Label {
                            objectName: "totalMargin"
                            text: Style.currency.replace("&pound;", "\u00a3") + totalMargin.toFixed(2)
                            font.bold: true
                        }
                        HelpButton { helpText: "This should only be used as a guide." }
                    }
                }
                Item { Layout.fillWidth: true }
                GridLayout {
                    id: figures
                    columns: 2
                    visible: showPrices
                    Layout.alignment: Qt.AlignTop
                    FieldLabel { text: "Additions (+/-)"; visible: detailsBox.checked }
                    TextField {
                        id: additionsField
                        Layout.preferredWidth: 130
                        objectName: "additionsField"
                        visible: detailsBox.checked
                        selectByMouse: true
                        onTextEdited: {
                            additions = readNumber(text)
                            recalcBalance()
                            touch()
                        }
                    }
                    FieldLabel { text: "Total"; visible: detailsBox.checked }
                    TextField {
                        id: totalField
                        Layout.preferredWidth: 130
                        objectName: "totalField"
                        visible: detailsBox.checked
                        readOnly: true
                        color: Style.midGrey
                        text: money(total)
                    }
                    FieldLabel {
                        id: discountLabel
                        objectName: "discountLabel"
                        text: "Discount %"
                        visible: detailsBox.checked
                        color: discount > maxDiscount ? "red" : Style.darkGrey
                        font.capitalization: discount > maxDiscount ? Font.AllUppercase : Font.MixedCase
                    }
                    TextField {
                        id: discountField
                        Layout.preferredWidth: 130
                        objectName: "discountField"
                        visible: detailsBox.checked
                        selectByMouse: true
                        onTextEdited: {
                            discount = readNumber(text)
                            recalcBalance()
                            touch()
                        }
                    }
                    FieldLabel { text: "Price"; visible: !detailsBox.checked }
                    TextField {
                        id: priceField
                        Layout.preferredWidth: 130
                        objectName: "priceField"
                        visible: !detailsBox.checked
                        readOnly: true
                        text: money(balance + deposit)
                    }
                    FieldLabel { text: "Deposit" }
                    RowLayout {
                        TextField {
                            id: depositField
                            objectName: "depositField"
                            selectByMouse: true
                            Layout.preferredWidth: 130
                            onTextEdited: {
                                deposit = readNumber(text)
                                recalcBalance()
                                touch()
                            }
                        }
                        ComboBox {
                            id: paymentCombo
                            objectName: "paymentCombo"
                            // keeps its place while hidden, so the figures
                            // do not move when a deposit is typed
                            readonly property bool shown: deposit > 0
                            opacity: shown ? 1 : 0
                            enabled: shown
                            onActivated: _myOrder.paytype = currentText
                        }
                    }
                    FieldLabel { text: "Balance" }
                    TextField {
                        id: balanceField
                        Layout.preferredWidth: 130
                        objectName: "balanceField"
                        selectByMouse: true
                        onTextEdited: {
                            balance = readNumber(text)
                            recalcDiscount()
                            touch()
                        }
                    }
                }
            }

            RowLayout {
                visible: showPrices && detailsBox.checked
                Layout.fillWidth: true
                Item { Layout.fillWidth: true }
                Repeater {
                    model: showMargins ? ["RRP", "Discount", "Margin", "Price"] : ["RRP", "Discount", "Price"]
                    Label { text: modelData; font.bold: true; Layout.preferredWidth: 90; horizontalAlignment: Text.AlignRight }
                }
            }

            ListView {
                id: itemList
                objectName: "reviewItems"
                model: orderItemsProxyModel
                Layout.fillWidth: true
                Layout.fillHeight: true
                Layout.rightMargin: -16
                clip: true
                cacheBuffer: 600
                ScrollBar.vertical: ScrollBar {}
                delegate: Rectangle {
                    id: row
                    readonly property int sourceRow: orderItemsProxyModel.mapToSource(orderItemsProxyModel.index(index, 0)).row
                    readonly property var item: orderItemsModel.get(sourceRow)
                    // figures the item does not announce: read again with every new total
                    property var lines: []
                    property var warnings: []
                    property real itemTotal: 0
                    function refresh() {
                        if (!item)
                            return
                        lines = _myOrder.reviewData(sourceRow)
                        warnings = item.m_warnings
                        itemTotal = (item.extras_price + item.item_price) * Math.max(1, item.bl_multiple)
                    }
                    Component.onCompleted: refresh()
                    Connections {
                        target: _myOrder
                        function onPartsPriceChanged() { row.refresh() }
                    }
                    readonly property string title: item ? itemTitle(item, sourceRow) : ""
                    readonly property color ink: item && item.bl_exclude ? Style.midGrey : "black"
                    width: ListView.view ? ListView.view.width - 16 : 0
                    height: rowColumn.implicitHeight + 8
                    color: index % 2 ? "#fff" : "#eee"
                    ColumnLayout {
                        id: rowColumn
                        x: 4
                        y: 4
                        width: parent.width - 8
                        spacing: 2
                        RowLayout {
                            Label { text: String(index + 1); color: row.ink; Layout.preferredWidth: 24 }
                            CheckBox {
                                objectName: "includeBox"
                                visible: showPrices
                                checked: row.item ? !row.item.bl_exclude : false
                                onToggled: {
                                    row.item.bl_exclude = !checked
                                    resumTimer.restart()
                                }
                            }
                            HelpButton {
                                visible: row.warnings.length > 0
                                glyph: Style.iconWarning
                                glyphColor: "red"
                                helpText: row.warnings.join("\n")
                            }
                            Label {
                                text: row.warnings.length > 0 ? String(row.warnings.length) : ""
                                color: "red"
                            }
                            Label {
                                objectName: "itemTitle"
                                text: row.title
                                font.bold: true
                                color: row.ink
                                Layout.fillWidth: true
                            }
                            Label {
                                visible: showPrices && detailsBox.checked
                                text: row.itemTotal.toFixed(2)
                                color: row.ink
                            }
                        }
                        Repeater {
                            model: row.lines
                            RowLayout {
                                readonly property var cells: String(modelData).split("|")
                                Layout.fillWidth: true
                                Label {
                                    text: cells[0] || ""
                                    color: row.ink
                                    elide: Text.ElideRight
                                    Layout.fillWidth: true
                                    Layout.leftMargin: 30
                                }
                                Repeater {
                                    model: showPrices && detailsBox.checked ? (showMargins ? [1, 2, 3, 4] : [1, 2, 4]) : []
                                    Label {
                                        readonly property string cell: cells[modelData] || ""
                                        text: modelData === 2 && cell !== "" ? cell + "%" : cell
                                        color: row.ink
                                        Layout.preferredWidth: 90
                                        horizontalAlignment: Text.AlignRight
                                    }
                                }
                            }
                        }
                        ShutterDrawing {
                            objectName: "reviewDrawing"
                            visible: detailsBox.checked
                            item: visible ? row.item : null
                            Layout.leftMargin: 30
                            Layout.preferredWidth: 220
                            Layout.preferredHeight: 180
                        }
                    }
                }
            }
        }
}

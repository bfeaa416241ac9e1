import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// The quote's totals as the quote PDF prints them, e.g. above "I agree" in
// the signature dialog. refresh() reads them again (done when shown).
GridLayout {
    id: totals
    columns: 2
    columnSpacing: 24
    rowSpacing: 2
    property var figures: ({})

    function refresh() { figures = typeof quoteTools !== "undefined" ? quoteTools.totals() : ({}) }
    Component.onCompleted: refresh()
    onVisibleChanged: if (visible) refresh()

    Label { text: "Total" }
    Label { objectName: "quoteTotal"; text: figures.total || ""; Layout.alignment: Qt.AlignRight }
    Label { text: "Discount " + (figures.discountPercent || "0") + "%" }
    Label { objectName: "quoteDiscount"; text: figures.discount || ""; Layout.alignment: Qt.AlignRight }
    Label { text: "Price"; font.bold: true }
    Label { objectName: "quotePrice"; text: figures.price || ""; font.bold: true; Layout.alignment: Qt.AlignRight }
    Label { text: "Deposit" }
    Label { objectName: "quoteDeposit"; text: figures.deposit || ""; Layout.alignment: Qt.AlignRight }
    Label { text: "Balance"; font.bold: true }
    Label { objectName: "quoteBalance"; text: figures.balance || ""; font.bold: true; Layout.alignment: Qt.AlignRight }
    Label { text: figures.vat || ""; font.italic: true; Layout.columnSpan: 2 }
}

import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import CustomStyles 1.0

// A customer discount typed as a percentage or as an amount; the other form
// follows from the price.
RowLayout {
    id: control
    property real price: 0
    property real percent: 0
    property real amount: 0
    property bool amountMode: false
    property alias field: field
    property alias modeSwitch: modeSwitch
    readonly property string currency: Style.currency.replace("&pound;", "\u00a3")
    readonly property string otherForm: percent === 0 ? ""
        : amountMode ? "(" + Number(percent.toFixed(4)) + "%)" : "(" + currency + amount.toFixed(2) + ")"
    signal percentTyped(real p)
    signal amountTyped(real a)

    function showPercent() {
        field.text = amountMode ? (amount === 0 ? "" : amount.toFixed(2))
                                : (percent === 0 ? "" : String(Number(percent.toFixed(4))))
    }
    function type(text) {
        field.text = text
        field.textEdited()
    }

    Switch {
        id: modeSwitch
        objectName: "amountSwitch"
        text: checked ? control.currency : "%"
        onToggled: {
            control.amountMode = checked
            control.showPercent()
        }
    }
    TextField {
        id: field
        implicitWidth: 110
        selectByMouse: true
        validator: DoubleValidator {
            bottom: control.amountMode ? -10000000 : -100
            top: control.amountMode ? 10000000 : 100
            decimals: control.amountMode ? 2 : 4
            notation: DoubleValidator.StandardNotation
        }
        onTextEdited: {
            var n = Number(text)
            if (text === "" || text === "-" || !isFinite(n))
                n = 0
            if (control.amountMode)
                control.amountTyped(n)
            else
                control.percentTyped(n)
        }
    }
}

import QtQuick 2.15
import QtQuick.Controls 2.15
import CustomStyles 1.0

// A whole-number field from 0 to top; zero shows as empty.
TextField {
    id: field
    property int maxValue: 10000
    readonly property int value: text === "" ? 0 : parseInt(text, 10) || 0
    signal edited()
    function setValue(v) {
        var n = Number(v) || 0
        text = n === 0 ? "" : String(Math.round(n))
    }
    implicitWidth: 100
    selectByMouse: true
    inputMethodHints: Qt.ImhDigitsOnly
    validator: RegularExpressionValidator { regularExpression: /[0-9]{0,6}/ }
    onTextEdited: {
        if (text !== "" && parseInt(text, 10) > maxValue)
            text = text.slice(0, -1)
        edited()
    }
}

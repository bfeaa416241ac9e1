import QtQuick 2.15
import QtQuick.Controls 2.15
import CustomStyles 1.0

// A whole-number field from 0 to top; zero shows as empty.
TextField {
    id: field
    property int maxValue: 10000
    // Kept by hand rather than bound to text: textEdited fires before the
    // text's change signal, so a binding would still hold the value from
    // before the keystroke when edited() is handled.
    property int value: 0
    signal edited()
    function parsed(t) { return t === "" ? 0 : (parseInt(t, 10) || 0) }
    function setValue(v) {
        var n = Number(v) || 0
        text = n === 0 ? "" : String(Math.round(n))
    }
    implicitWidth: 100
    selectByMouse: true
    inputMethodHints: Qt.ImhDigitsOnly
    validator: RegularExpressionValidator { regularExpression: /[0-9]{0,6}/ }
    onTextChanged: value = parsed(text)
    onTextEdited: {
        if (text !== "" && parseInt(text, 10) > maxValue)
            text = text.slice(0, -1)
        value = parsed(text)
        edited()
    }
}

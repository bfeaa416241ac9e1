import QtQuick 2.15
import QtQuick.Controls 2.15
import CustomStyles 1.0

// A toolbar entry; the selected one is framed.
ToolButton {
    id: control
    property bool selected: false
    implicitHeight: 56
    implicitWidth: Math.max(70, label.implicitWidth + 16)
    contentItem: Text {
        id: label
        text: control.text
        textFormat: Text.RichText
        font.pixelSize: Style.textSize
        font.family: Style.fontFamily
        color: control.enabled ? Style.darkGrey : Style.midGrey
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }
    background: Rectangle {
        color: control.pressed ? Qt.darker(Style.toolbarbg, 1.1) : "transparent"
        border.width: control.selected ? 2 : 0
        border.color: Style.darkGrey
    }
}

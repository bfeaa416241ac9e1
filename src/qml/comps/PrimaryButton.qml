import QtQuick 2.15
import QtQuick.Controls 2.15
import CustomStyles 1.0

// The main action of a screen.
Button {
    id: control
    contentItem: Text {
        text: control.text
        font.pixelSize: Style.textSize
        color: Style.textColor
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }
    background: Rectangle {
        implicitWidth: 100
        implicitHeight: 36
        color: control.enabled ? Style.darkBase : Style.buttonDisabled
        border.width: control.pressed ? 2 : 0
        border.color: Style.midyellow
    }
}

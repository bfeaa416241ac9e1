import QtQuick 2.15
import QtQuick.Controls 2.15
import CustomStyles 1.0

// A small "?" that explains the control beside it.
ToolButton {
    id: control
    property string helpText
    property string glyph: Style.iconHelp
    property color glyphColor: Style.darkGrey
    implicitWidth: 28
    implicitHeight: 28
    focusPolicy: Qt.NoFocus
    contentItem: Text {
        text: control.glyph
        font.family: Style.iconFont
        font.pixelSize: 18
        color: control.glyphColor
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }
    ToolTip.text: helpText
    ToolTip.visible: helpText !== "" && (Style.touchScreen ? pressed : hovered)
    ToolTip.timeout: 8000
    onClicked: if (Style.desktop) tip.open()
    ToolTip {
        id: tip
        text: control.helpText
        timeout: 8000
    }
}

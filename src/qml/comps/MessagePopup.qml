import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import CustomStyles 1.0

// The window's message: a heading, a text and one button. With abort set,
// closing it ends the program.
Popup {
    id: popup
    property alias text: body.text
    property string heading: Style.apptitle
    property string buttonText: "OK"
    property bool abort: false
    property color textColor: palette.windowText
    signal abortRequested()
    modal: true
    focus: true
    anchors.centerIn: Overlay.overlay
    width: Math.min(440, parent ? parent.width - 20 : 440)
    padding: 16
    closePolicy: Popup.CloseOnEscape
    function show(message, isAbort) {
        body.text = message
        abort = isAbort === true
        open()
    }
    onClosed: if (abort) abortRequested()
    contentItem: ColumnLayout {
        spacing: 12
        Label {
            text: popup.heading
            font.bold: true
            font.italic: true
            font.pixelSize: 18
        }
        Label {
            id: body
            objectName: "messageText"
            color: popup.textColor
            Layout.fillWidth: true
            wrapMode: Text.Wrap
            textFormat: Text.RichText
        }
        Button {
            objectName: "messageOk"
            text: popup.buttonText
            Layout.alignment: Qt.AlignRight
            onClicked: popup.close()
        }
    }
}

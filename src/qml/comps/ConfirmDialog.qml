import QtQuick 2.15
import QtQuick.Controls 2.15
import CustomStyles 1.0

Dialog {
    id: dialog
    property alias text: body.text
    modal: true
    title: Style.apptitle
    anchors.centerIn: Overlay.overlay
    width: Math.min(420, parent ? parent.width - 20 : 420)
    standardButtons: Dialog.Yes | Dialog.No
    Label {
        id: body
        width: parent.width
        wrapMode: Text.Wrap
    }
}

import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import CustomStyles 1.0

// Asks for a name: letters, digits, "_", space, "-" and "'" only, and not
// blank once trimmed.
Dialog {
    id: dialog
    property alias prompt: promptLabel.text
    property alias name: nameField.text
    readonly property string trimmedName: nameField.text.trim()
    modal: true
    anchors.centerIn: Overlay.overlay
    width: 320
    standardButtons: Dialog.Ok | Dialog.Cancel
    onOpened: {
        nameField.forceActiveFocus()
        okButton().enabled = trimmedName !== ""
    }
    onTrimmedNameChanged: if (okButton()) okButton().enabled = trimmedName !== ""
    function okButton() { return standardButton(Dialog.Ok) }
    ColumnLayout {
        anchors.fill: parent
        Label { id: promptLabel }
        TextField {
            id: nameField
            objectName: "nameField"
            Layout.fillWidth: true
            selectByMouse: true
            onTextEdited: {
                var clean = text.replace(/[^A-Za-z0-9_ '\-]/g, "")
                if (clean !== text)
                    text = clean
            }
            Keys.onReturnPressed: if (dialog.trimmedName !== "") dialog.accept()
        }
    }
}

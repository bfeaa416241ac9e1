import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import CustomStyles 1.0
import "comps"

// The administrator's password, changed against the account's stored one.
// Strength is only shown, never enforced.
Dialog {
    id: dialog
    objectName: "passwordDialog"
    property var cloud
    property string reply: ""
    property bool replyIsError: false
    property alias currentField: currentField
    property alias newField: newField
    property alias againField: againField
    property alias okButton: okButton
    property alias forgotButton: forgotButton
    readonly property bool strong: screenTools.changedPasswordStrong(newField.text)

    title: "Change your " + Style.apptitle + " Password"
    modal: true
    anchors.centerIn: Overlay.overlay
    width: Math.min(520, parent ? parent.width - 20 : 520)
    closePolicy: Popup.CloseOnEscape

    onOpened: {
        currentField.text = ""
        newField.text = ""
        againField.text = ""
        reply = ""
        currentField.forceActiveFocus()
    }

    function change() {
        reply = String(cloud.resetPassword(currentField.text, newField.text, false))
        replyIsError = reply !== ""
        if (reply === "")
            close()
        return reply === ""
    }
    function forgotten() {
        reply = String(cloud.forgotPassword(String(localSettings.value("regem_s", ""))))
        replyIsError = false
    }

    GridLayout {
        anchors.fill: parent
        columns: 2
        FieldLabel { text: "Current password" }
        TextField { id: currentField; Layout.fillWidth: true; echoMode: TextInput.Password }
        FieldLabel { text: "New Password" }
        RowLayout {
            TextField {
                id: newField
                Layout.fillWidth: true
                echoMode: TextInput.Password
                color: strong ? "green" : "red"
            }
            Label { text: "weak"; color: "red"; visible: newField.text !== "" && !strong }
        }
        FieldLabel { text: "Re-enter New Password" }
        TextField {
            id: againField
            Layout.fillWidth: true
            echoMode: TextInput.Password
            color: text === newField.text ? "green" : "red"
        }
        Label {
            objectName: "passwordReply"
            Layout.columnSpan: 2
            Layout.fillWidth: true
            text: reply
            visible: reply !== ""
            color: replyIsError ? "red" : Style.darkGrey
            wrapMode: Text.Wrap
        }
        RowLayout {
            Layout.columnSpan: 2
            Button { id: forgotButton; text: "Forgotten password..."; onClicked: forgotten() }
            Item { Layout.fillWidth: true }
            Button {
                id: okButton
                text: "OK"
                enabled: currentField.text !== "" && newField.text !== "" && newField.text === againField.text
                onClicked: change()
            }
            Button { text: "Cancel"; onClicked: dialog.close() }
        }
    }
}

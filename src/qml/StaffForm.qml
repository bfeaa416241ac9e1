import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import CustomStyles 1.0
import "comps"

// The business's surveyors: add, edit, remove, and access codes for them.
Rectangle {
    id: form
    objectName: "staffForm"
    property var staff: null
    signal back()
    color: "white"

    property alias list: list
    property alias editDialog: editDialog
    property alias removeConfirm: removeConfirm
    property alias codePopup: codePopup

    MouseArea { anchors.fill: parent }

    // A refused code is shown in red; the reply is plain text.
    function showCode(reply) {
        codePopup.textColor = reply.indexOf("Failed") === 0 ? "red" : Style.darkGrey
        codePopup.show(reply.replace(/&/g, "&amp;").replace(/</g, "&lt;").replace(/\n/g, "<br>"), false)
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 10
        RowLayout {
            Button {
                text: "Back"
                onClicked: {
                    staff.saveAllStaff()
                    back()
                }
            }
            Label { text: Style.apptitle + " Surveyors"; font.pixelSize: 20; font.bold: true }
        }
        RowLayout {
            Button {
                objectName: "addSurveyor"
                text: "Add a Surveyor..."
                onClicked: editDialog.edit(-1)
            }
            Label { text: " A surveyor can only transfer orders to admin or other users, they cannot send orders to Heldon." }
        }
        RowLayout {
            Label { text: "Surveyor ID"; font.bold: true; Layout.preferredWidth: 120 }
            Label { text: "Full Name"; font.bold: true; Layout.fillWidth: true }
        }
        ListView {
            id: list
            objectName: "staffList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            model: staff ? staff.getStaffItems() : null
            delegate: Rectangle {
                width: ListView.view.width
                height: 40
                color: index % 2 ? "#fff" : "#eee"
                RowLayout {
                    anchors.fill: parent
                    anchors.margins: 4
                    Label { text: model.shortName; Layout.preferredWidth: 120 }
                    Label { text: model.fullName; Layout.fillWidth: true }
                    Button { text: "Remove"; visible: index > 0; onClicked: removeConfirm.ask(index, model.staffID, model.shortName) }
                    Button { objectName: "editStaff"; text: "Edit details"; visible: index > 0; onClicked: editDialog.edit(index) }
                    // the codes line up whether or not a row has one
                    RowLayout {
                        visible: index > 0
                        Layout.fillWidth: false
                        Layout.preferredWidth: 130
                        Label { objectName: "accessCode"; text: model.accessCode }
                        Label {
                            objectName: "codeExpired"
                            text: "Expired"
                            visible: index > 0 && model.codeState === "Expired"
                            color: "red"
                            font.italic: true
                        }
                        Item { Layout.fillWidth: true }
                    }
                    Button {
                        objectName: "newCode"
                        text: "New code"
                        visible: index > 0
                        onClicked: form.showCode(String(staff.staffConnectCode(index)))
                    }
                    HelpButton {
                        objectName: "newCodeHelp"
                        visible: index > 0
                        helpText: "An access code allows a user to login to your Lattica system as a Surveyor.\nSurveyors can send surveys to other users but cannot submit supplier orders."
                                  + "\nThe access code expires after 1 day."
                    }
                }
            }
        }
    }

    Dialog {
        id: editDialog
        objectName: "staffDialog"
        property int staffIndex: -1
        property alias idField: idField
        property alias nameField: nameField
        property string error: ""
        // "Save" waits for an actual change
        property bool edited: false
        title: "Add a Surveyor"
        modal: true
        anchors.centerIn: Overlay.overlay
        width: 380
        function edit(index) {
            staffIndex = index
            var item = index >= 0 ? staff.getStaffItem(index) : null
            idField.text = item ? item.shortName : ""
            nameField.text = item ? item.fullName : ""
            error = ""
            edited = false
            open()
        }
        function save() {
            var item = staffIndex >= 0 ? staff.getStaffItem(staffIndex) : null
            if (!staff.updateStaff(staffIndex, item ? item.staffID : "", idField.text, nameField.text)) {
                error = staff.error
                return false
            }
            close()
            return true
        }
        GridLayout {
            anchors.fill: parent
            columns: 2
            FieldLabel { text: "User ID" }
            RowLayout {
                TextField {
                    id: idField
                    objectName: "staffIdField"
                    readOnly: editDialog.staffIndex >= 0
                    ToolTip.text: "A short ID such as their initials."
                    ToolTip.visible: hovered
                    onTextEdited: editDialog.edited = true
                }
                HelpButton {
                    objectName: "staffIdHelp"
                    helpText: "This is included in the order ref number for orders created by this user.\nIt allows to you to identify who created the order and ensures they are unique"
                }
            }
            FieldLabel { text: "Full Name" }
            TextField {
                id: nameField
                objectName: "staffNameField"
                Layout.fillWidth: true
                onTextEdited: editDialog.edited = true
            }
            Label { Layout.columnSpan: 2; text: editDialog.error; color: "red"; visible: text !== "" }
            Button {
                objectName: "staffSave"
                Layout.columnSpan: 2
                text: "Save"
                enabled: editDialog.edited && idField.text.trim() !== ""
                onClicked: editDialog.save()
            }
        }
    }
    ConfirmDialog {
        id: removeConfirm
        property int staffIndex
        property string staffID
        function ask(index, id, name) {
            staffIndex = index
            staffID = id
            var shown = String(name).replace(/&/g, "&amp;").replace(/</g, "&lt;").replace(/>/g, "&gt;")
            text = "Remove <b>" + shown + "</b><p>This user will no longer have access to Lattica"
            open()
        }
        onAccepted: staff.removeStaff(staffIndex, staffID)
    }
    MessagePopup { id: codePopup; objectName: "codePopup" }
}

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
                    Button { text: "Edit details"; visible: index > 0; onClicked: editDialog.edit(index) }
                    Label { text: model.accessCode; visible: index > 0 }
                    Button {
                        text: "New code"
                        visible: index > 0
                        onClicked: codePopup.show(String(staff.staffConnectCode(index)))
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
            TextField {
                id: idField
                readOnly: editDialog.staffIndex >= 0
                ToolTip.text: "A short ID such as their initials."
                ToolTip.visible: hovered
            }
            FieldLabel { text: "Full Name" }
            TextField { id: nameField; Layout.fillWidth: true }
            Label { Layout.columnSpan: 2; text: editDialog.error; color: "red"; visible: text !== "" }
            Button {
                objectName: "staffSave"
                Layout.columnSpan: 2
                text: "Save"
                enabled: idField.text.trim() !== ""
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

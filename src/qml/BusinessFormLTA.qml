import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import CustomStyles 1.0
import "comps"

// The current account's delivery addresses as the supplier keeps them; the
// user only names them, refreshes them or drops ones not wanted here.
Rectangle {
    id: form
    objectName: "businessForm"
    property var manager: null
    signal back()
    color: "white"

    property string status: ""
    property bool statusIsError: false
    readonly property string account: manager ? manager.suppAccnt : ""

    property alias list: list
    property alias editDialog: editDialog
    property alias removeConfirm: removeConfirm
    property alias refreshConfirm: refreshConfirm

    function lastUpdated() {
        var stamp = String(staticSettings.value(account + "_lm", ""))
        return stamp === "" ? "?" : stamp.substring(0, 16)
    }
    // "Last updated" follows each fetch, so it is read again then
    property string updatedText: "?"

    function fetch() {
        if (!manager || account === "")
            return
        status = "Fetching delivery addresses..."
        statusIsError = false
        // let the busy text show before the download blocks the screen
        Qt.callLater(function() {
            if (manager.fetchAccountAddresses(account)) {
                status = ""
            } else {
                form.status = manager.error
                form.statusIsError = true
            }
            updatedText = lastUpdated()
        })
    }

    onVisibleChanged: {
        if (!visible)
            return
        status = ""
        updatedText = lastUpdated()
        if (manager && list.count === 0)
            fetch()
    }

    MouseArea { anchors.fill: parent }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 10
        RowLayout {
            Button {
                objectName: "businessBack"
                text: "Back"
                onClicked: back()
            }
            Label {
                text: "Delivery Addresses for " + account + " : \n" + String(staticSettings.value("bus_s", ""))
                font.pixelSize: 20
                font.bold: true
            }
        }
        RowLayout {
            Label { text: "Last updated: " + updatedText }
            Button {
                objectName: "businessRefresh"
                text: "Refresh..."
                enabled: account !== ""
                onClicked: refreshConfirm.open()
            }
            Label { text: "Contact Heldon to change your delivery addresses."; Layout.fillWidth: true }
        }
        Label {
            objectName: "businessStatus"
            text: status
            visible: status !== ""
            color: statusIsError ? "red" : Style.darkGrey
            Layout.fillWidth: true
            wrapMode: Text.Wrap
        }
        ListView {
            id: list
            objectName: "businessList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            spacing: 2
            model: manager ? manager.getBusinessItems() : null
            delegate: Rectangle {
                width: ListView.view.width
                height: row.implicitHeight + 8
                color: index % 2 ? "#fff" : "#eee"
                RowLayout {
                    id: row
                    anchors.fill: parent
                    anchors.margins: 4
                    ColumnLayout {
                        Layout.fillWidth: true
                        spacing: 0
                        Label {
                            text: model.manDeliveryName !== "" ? model.manDeliveryName : model.deliveryName
                            font.bold: true
                        }
                        Label { text: model.name }
                        Label { text: model.address; Layout.fillWidth: true; wrapMode: Text.Wrap }
                        Label { text: model.postcode + "  " + model.countryID }
                        Label { text: "Location ID " + model.locationID; color: Style.darkGrey }
                    }
                    Button {
                        text: "Remove"
                        enabled: list.count > 1
                        onClicked: removeConfirm.ask(index, model.manDeliveryName !== "" ? model.manDeliveryName
                                                                                          : model.deliveryName)
                    }
                    Button {
                        text: "Edit Delivery Address Name"
                        onClicked: editDialog.edit(index)
                    }
                }
            }
        }
    }

    Dialog {
        id: editDialog
        objectName: "deliveryNameDialog"
        property int itemIndex: -1
        property alias nameField: nameField
        property string error: ""
        title: "Edit Delivery Address Name"
        modal: true
        anchors.centerIn: Overlay.overlay
        width: 420
        function edit(index) {
            itemIndex = index
            var item = manager.getBusinessItem(index)
            nameField.text = item ? (item.manDeliveryName !== "" ? item.manDeliveryName : item.deliveryName) : ""
            error = ""
            open()
        }
        function save() {
            if (!manager.updateDeliveryName(itemIndex, nameField.text)) {
                error = manager.error
                return false
            }
            close()
            return true
        }
        GridLayout {
            anchors.fill: parent
            columns: 3
            FieldLabel { text: "Delivery Name" }
            TextField {
                id: nameField
                Layout.fillWidth: true
                placeholderText: "Delivery address name to display"
            }
            HelpButton {
                helpText: "If you have more than one delivery address,<br>this name will be in the delivery address selection list for an order."
            }
            Label { Layout.columnSpan: 3; text: editDialog.error; color: "red"; visible: text !== "" }
            Button {
                objectName: "deliveryNameSave"
                Layout.columnSpan: 3
                text: "Save"
                onClicked: editDialog.save()
            }
        }
    }
    ConfirmDialog {
        id: removeConfirm
        property int itemIndex: -1
        function ask(index, name) {
            itemIndex = index
            text = "Remove Delivery Address <b>" + name + "</b><p>It will no longer be offered for orders on this account."
            open()
        }
        onAccepted: {
            if (!manager.remove(itemIndex)) {
                form.status = manager.error
                form.statusIsError = true
            }
        }
    }
    ConfirmDialog {
        id: refreshConfirm
        text: "Update with addresses stored at Heldon?"
        onAccepted: fetch()
    }
}

import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import CustomStyles 1.0

// An order file comes in whose order already exists here: open the
// existing one, replace it, or import a copy under a new reference. The
// incoming file is read before anything existing is touched.
Dialog {
    id: dialog
    objectName: "importDialog"
    property string orderID
    property string path
    property int ostate: 0
    property alias message: body.text
    // 0 none, 1 open existing, 2 replace, 3 copy
    property int choice: 0
    signal imported()
    signal failed(string text)

    modal: true
    title: "Import order ref " + orderID
    anchors.centerIn: Overlay.overlay
    width: Math.min(460, parent ? parent.width - 20 : 460)
    standardButtons: Dialog.Ok | Dialog.Cancel
    closePolicy: Popup.CloseOnEscape

    function ask(id, filePath, state, msg) {
        orderID = id
        path = filePath
        ostate = state
        message = msg
        choice = 0
        open()
    }

    function loadIncoming() {
        // a failed load leaves the open order as it was
        if (_myOrder.loadOrder(orderID + ";" + path, 6, false))
            return true
        failed("The order file " + path + " could not be read, nothing was changed.")
        return false
    }

    function saveLoaded() {
        _myOrder.changed = true
        if (_myOrder.saveOrder())
            return true
        failed("The order could not be saved.<br>" + screenTools.lastFileError())
        return false
    }

    function run(selected) {
        if (selected === 1) {
            if (_myOrder.loadOrder(orderID, ostate, true))
                imported()
            else
                failed("The existing order could not be opened.<br>" + screenTools.lastFileError())
        } else if (selected === 2) {
            if (!loadIncoming())
                return
            if (!_myOrder.deleteOrder(orderID, ostate)) {
                _myOrder.clear()
                failed("The existing order could not be replaced.<br>" + screenTools.lastFileError())
                return
            }
            if (saveLoaded())
                imported()
        } else if (selected === 3) {
            if (!loadIncoming())
                return
            _myOrder.copyOrder()
            if (saveLoaded())
                imported()
        }
    }

    onAccepted: {
        var selected = choice
        choice = 0
        if (selected === 0) {
            open()
            return
        }
        run(selected)
    }
    onRejected: choice = 0

    ColumnLayout {
        anchors.fill: parent
        Label {
            id: body
            Layout.fillWidth: true
            wrapMode: Text.Wrap
            textFormat: Text.RichText
        }
        ButtonGroup { id: choices }
        RadioButton {
            text: "Open the existing order"
            ButtonGroup.group: choices
            checked: dialog.choice === 1
            onClicked: dialog.choice = 1
        }
        RadioButton {
            text: "Replace the existing order"
            ButtonGroup.group: choices
            checked: dialog.choice === 2
            onClicked: dialog.choice = 2
        }
        RadioButton {
            text: "Make a copy with a new Order Ref"
            ButtonGroup.group: choices
            checked: dialog.choice === 3
            onClicked: dialog.choice = 3
        }
    }
}

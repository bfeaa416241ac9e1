import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import CustomStyles 1.0
import "comps"

// Order information: the order reference, the customer and the notes, and
// the hand-over of the order to another user.
Item {
    id: screen
    objectName: "addressScreen"
    signal capture()
    signal finished()
    signal tradeChanged()
    signal sendOrdersSig()

    readonly property alias orderRefField: orderRef
    readonly property alias customerField: customerInfo
    readonly property alias emailField: email
    readonly property alias phoneField: phone
    readonly property alias notesField: notes
    readonly property alias nextButton: nextButton
    readonly property alias xferCombo: xferCombo
    readonly property alias xferButton: xferButton
    readonly property alias xferConfirm: xferConfirm
    readonly property bool emailValid: email.text.trim() === "" || Style.emailRe.test(email.text.trim())

    // Everything typed goes into the order (also run before the window closes).
    function commit() {
        _myOrder.manOrderID = orderRef.text
        if (customerInfo.text !== _myOrder.custAddress)
            commitAddress()
        commitEmail()
        _myOrder.custPhone = phone.text
        _myOrder.orderNotes = notes.text
    }

    function commitAddress() {
        var before = _myOrder.custEmail
        _myOrder.processAddress(customerInfo.text)
        customerInfo.text = _myOrder.custAddress
        phone.text = _myOrder.custPhone
        if (_myOrder.custEmail !== before) {
            email.text = _myOrder.custEmail
            checkEmail()
        }
    }

    function commitEmail() {
        email.text = email.text.trim()
        _myOrder.custEmail = email.text
    }

    // the address the service last judged, so leaving the field again does
    // not ask twice
    property string checkedEmail: ""
    function checkEmail() {
        if (!emailValid) {
            invalidPopup.show("Invalid email format", false)
            return
        }
        var address = email.text.trim()
        if (address === "" || address === checkedEmail)
            return
        checkedEmail = address
        // the service's verdict goes into the order; its message comes back
        // through asyncResult into the message popup
        if (String(staticSettings.value("mailchk_b", true)) !== "false")
            vexaData.checkEmailAddress(address)
    }

    function load() {
        checkedEmail = _myOrder.custEmail
        orderRef.text = _myOrder.manOrderID
        customerInfo.text = _myOrder.custAddress
        email.text = _myOrder.custEmail
        phone.text = _myOrder.custPhone
        notes.text = _myOrder.orderNotes
        savedOrders.setUserList()
        var users = usersCBModel.comboList.slice()
        if (users.length > 1) {
            var me = users.indexOf(String(staticSettings.value("userName_s", "")))
            if (me >= 0)
                users.splice(me, 1)
        }
        xferCombo.model = users
        xferCombo.currentIndex = users.indexOf(String(staticSettings.value("xfer", "")))
    }

    onVisibleChanged: {
        if (visible) {
            load()
        } else if (_myOrder.orderID !== "") {
            commit()
            _myOrder.changed = true
            if (!_myOrder.saveOrder())
                mainWindow.showMessage("The order could not be saved.<br>" + screenTools.lastFileError(), false)
        }
    }

    Connections {
        target: _myOrder
        // a new, cleared or loaded order shows at once
        function onOrderIDChanged() { if (screen.visible) screen.load() }
    }
    Connections {
        target: vexaData
        function onAsyncResult(text) { if (screen.visible && text !== "") message.show(text, false) }
    }

    Rectangle { anchors.fill: parent; color: Style.lightGrey }

    Flickable {
        anchors.fill: parent
        anchors.margins: 10
        contentWidth: Math.max(width, body.implicitWidth)
        contentHeight: body.implicitHeight
        clip: true

        ColumnLayout {
            id: body
            width: Math.max(parent.width, implicitWidth)
            spacing: 10
            RowLayout {
                Label { text: "*"; color: "red"; font.pixelSize: Style.textSize }
                FieldLabel { text: "Order Ref:" }
                TextField {
                    id: orderRef
                    objectName: "orderRef"
                    Layout.preferredWidth: 200
                    selectByMouse: true
                    onTextEdited: _myOrder.manOrderID = text
                }
                HelpButton { objectName: "orderRefHelp"; helpText: "You must enter your order ref." }
                Item { Layout.fillWidth: true }
                PrimaryButton {
                    id: nextButton
                    objectName: "nextButton"
                    text: "Next..."
                    enabled: orderRef.text.length > 2
                    onClicked: {
                        screen.commit()
                        if (!screen.emailValid) {
                            // one message at a time: this one says what to do
                            invalidPopup.close()
                            message.show("Invalid email please correct or remove", false)
                            return
                        }
                        screen.capture()
                    }
                }
            }
            Rectangle { Layout.fillWidth: true; height: 2; color: Style.toolbarbg }
            RowLayout {
                spacing: 30
                ColumnLayout {
                    Layout.alignment: Qt.AlignTop
                    RowLayout {
                        FieldLabel { text: "Customer Information" }
                        HelpButton {
                            helpText: "This field and the customer telephone and email is local information only and is not sent to the supplier"
                        }
                    }
                    TextArea {
                        id: customerInfo
                        objectName: "customerInfo"
                        Layout.preferredWidth: 350
                        Layout.preferredHeight: 140
                        wrapMode: TextEdit.Wrap
                        selectByMouse: true
                        background: Rectangle { color: "white"; border.color: Style.midGrey }
                        onEditingFinished: screen.commitAddress()
                    }
                    FieldLabel { text: "Customer Email" }
                    TextField {
                        id: email
                        objectName: "email"
                        Layout.preferredWidth: 350
                        selectByMouse: true
                        inputMethodHints: Qt.ImhEmailCharactersOnly
                        color: screen.emailValid ? "black" : "red"
                        onEditingFinished: {
                            screen.commitEmail()
                            screen.checkEmail()
                        }
                    }
                    FieldLabel { text: "Customer Phone Number" }
                    TextField {
                        id: phone
                        objectName: "phone"
                        Layout.preferredWidth: 350
                        selectByMouse: true
                        onEditingFinished: _myOrder.custPhone = text
                    }
                    RowLayout {
                        visible: xferCombo.count > 1
                        FieldLabel { text: "Transfer to:" }
                        ComboBox {
                            id: xferCombo
                            objectName: "xferCombo"
                            Layout.preferredWidth: 180
                        }
                        HelpButton {
                            helpText: "Transfer this order to the selected user.\nThe order will appear in the Inbox list of their View Orders screen"
                        }
                        Button {
                            id: xferButton
                            objectName: "xferButton"
                            text: "Send"
                            enabled: xferCombo.currentIndex >= 0
                            onClicked: xferConfirm.open()
                        }
                    }
                }
                ColumnLayout {
                    Layout.alignment: Qt.AlignTop
                    RowLayout {
                        FieldLabel { text: "Customer Order notes:" }
                        HelpButton { helpText: "Notes about this customer order. (Not sent to the supplier.)" }
                    }
                    TextArea {
                        id: notes
                        objectName: "orderNotes"
                        Layout.preferredWidth: 350
                        Layout.preferredHeight: 120
                        wrapMode: TextEdit.Wrap
                        selectByMouse: true
                        background: Rectangle { color: "white"; border.color: Style.midGrey }
                        onTextChanged: if (activeFocus) _myOrder.orderNotes = text
                    }
                }
            }
        }
    }

    ConfirmDialog {
        id: xferConfirm
        objectName: "xferConfirm"
        text: "Transfer this order to " + xferCombo.currentText + "? "
        standardButtons: Dialog.Ok | Dialog.Cancel
        onAccepted: {
            screen.commit()
            if (!_myOrder.xferOrderTo(xferCombo.currentText)) {
                message.show("The order could not be transferred.<br>" + screenTools.lastFileError(), false)
                return
            }
            mainWindow.sendOrders()
        }
    }

    MessagePopup { id: message; objectName: "addressMessage" }
    MessagePopup {
        id: invalidPopup
        buttonText: "x"
    }
}

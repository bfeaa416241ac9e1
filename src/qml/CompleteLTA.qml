import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import CustomStyles 1.0
import VexaOrder 1.0
import "comps"

// Ends the order: account, collection or delivery and the address, the
// customer's signature, the document, then send, copy, keep or transfer.
Item {
    id: screen
    objectName: "completeScreen"

    signal finished()
    signal sendOrdersSig()
    signal openCustomerPage()

    readonly property string supplier: Style.adminco
    readonly property string orderWord: _myOrder.confirmed ? String(staticSettings.value("order_s", "Order")) : "Quote"
    readonly property bool controller: localSettings.value("controller", true) === true
                                       || String(localSettings.value("controller", true)) === "true"
    readonly property bool stilesOpt: staticSettings.value("stilesOnlyOpt_b", false) === true
    property string warningText: ""
    property bool dropUsed: false
    property string dropText: ""
    property bool loading: true

    property alias viewButton: viewButton
    property alias viewer: viewer
    property alias sendChoice: sendChoice
    property alias copyChoice: copyChoice
    property alias saveChoice: saveChoice
    property alias xferChoice: xferChoice
    property alias xferCombo: xferCombo
    property alias okButton: okButton
    property alias businessCombo: businessCombo
    property alias deliveryCombo: deliveryCombo
    property alias addressCombo: addressCombo
    property alias dropBox: dropBox
    property alias dropDialog: dropDialog
    property alias stilesCombo: stilesCombo
    property alias confirm: confirm
    property alias message: message
    property alias signButton: signButton
    property alias signaturePad: signaturePad

    readonly property bool collect: deliveryCombo.currentText.indexOf("Collect") === 0
    readonly property bool deliver: deliveryCombo.currentText.indexOf("Deliver") === 0
    readonly property bool dropError: dropBox.checked && !dropUsed
    readonly property bool sendReady: deliveryCombo.currentIndex > 0
                                      && (!addressCombo.visible || addressCombo.currentIndex >= 0)
                                      && (!businessRow.visible || businessCombo.currentIndex >= 0)
                                      && !dropError
                                      && (!stilesOpt || stilesCombo.currentIndex >= 0)

    BusinessManager { id: business }

    function fail(text) {
        message.show(text + "<br>" + screenTools.lastFileError(), false)
    }

    function setProp(p, key, value) {
        if (value === undefined)
            delete p[key]
        else
            p[key] = value
    }

    function fillAddresses() {
        var name = businessCombo.currentIndex >= 0 ? businessCombo.currentText : (business.busNames()[0] || "")
        var list = business.deliveryNames(name)
        addressCombo.model = list
        var at = list.length === 1 ? 0 : list.indexOf(_myOrder.properties.delAddr || "")
        addressCombo.currentIndex = at < 0 && list.length > 0 ? 0 : at
    }

    function showDrop() {
        var p = _myOrder.properties
        dropUsed = dropDialog.storedValid(p)
        dropText = "<b>" + _myOrder.dropAddress().join("<br>") + "</b>"
    }

    // every change is stored at once
    function saveChoices() {
        if (loading || _myOrder.orderID === "")
            return true
        var p = _myOrder.properties
        p.AccountName = businessCombo.currentText
        p.list1sel_s = deliveryCombo.currentText
        if (collect) {
            delete p.delAddr
            p.da_used = false
        } else {
            setProp(p, "delAddr", addressCombo.currentIndex >= 0 ? addressCombo.currentText : undefined)
            p.da_used = dropBox.checked && !dropError
        }
        if (stilesOpt && stilesCombo.currentIndex >= 0)
            p.stilesOnly = stilesCombo.currentText.indexOf("Stiles") === 0
        _myOrder.properties = p
        _myOrder.changed = true
        return _myOrder.saveOrder()
    }

    function updateWarning() {
        if (!controller)
            warningText = ""
        else if (!_myOrder.confirmed)
            warningText = "You cannot send a quote to " + supplier
        else if (_myOrder.hasWarnings())
            warningText = "You must correct errors before sending the order"
        else if (_myOrder.manOrderID.length < 3)
            warningText = "You must enter an Order Ref on the Order screen"
        else
            warningText = ""
    }

    Component.onCompleted: {
        savedOrders.setUserList()
        var own = String(staticSettings.value("userName_s", ""))
        var users = usersCBModel.comboList.filter(function(u) { return u !== own && u !== "" })
        xferCombo.model = users
        var pref = users.indexOf(String(staticSettings.value("xfer", "")))
        xferCombo.currentIndex = pref >= 0 ? pref : (users.length > 1 ? 1 : (users.length ? 0 : -1))

        var p = _myOrder.properties
        var names = business.busNames()
        businessCombo.model = names
        var b = names.indexOf(p.AccountName || "")
        businessCombo.currentIndex = b >= 0 ? b : (names.length ? 0 : -1)

        var options = String(staticSettings.value("list1_sl", "")).split(",").map(function(s) { return s.trim() })
                      .filter(function(s) { return s !== "" })
        options.unshift("")
        deliveryCombo.model = options
        var d = options.indexOf(p.list1sel_s || "")
        deliveryCombo.currentIndex = d < 0 ? 0 : d

        fillAddresses()
        dropBox.checked = p.da_used === true
        showDrop()
        if (p.da_used === true && !dropUsed) {
            // an incomplete address is not in use
            p.da_used = false
            _myOrder.properties = p
            _myOrder.saveOrder()
            dropBox.checked = false
        }
        if (stilesOpt && p.stilesOnly !== undefined)
            stilesCombo.currentIndex = p.stilesOnly === true ? stilesCombo.model.indexOf("Stiles Only")
                                                             : stilesCombo.model.indexOf("Complete")
        updateWarning()
        loading = false
    }
    Component.onDestruction: saveChoices()

    Timer {
        id: resaveTimer
        interval: 100
        onTriggered: saveChoices()
    }

    Flickable {
        anchors.fill: parent
        anchors.margins: 10
        contentHeight: column.height
        clip: true
        ColumnLayout {
            id: column
            width: parent.width
            spacing: 12
            RowLayout {
                Button {
                    id: viewButton
                    objectName: "viewOrderButton"
                    text: "View Order"
                    onClicked: viewer.show(_myOrder.documentHTML(2), _myOrder.orderID)
                }
                Button {
                    id: signButton
                    objectName: "signButton"
                    text: "Customer signature..."
                    onClicked: signaturePad.open()
                }
                QuoteActions { id: completeQuote; objectName: "completeQuote" }
                Image {
                    objectName: "signatureImage"
                    source: _myOrder.signature
                    visible: _myOrder.signature !== ""
                    Layout.preferredHeight: 50
                    Layout.preferredWidth: 150
                    fillMode: Image.PreserveAspectFit
                }
            }
            Label {
                objectName: "completeWarning"
                text: warningText
                color: "red"
                visible: warningText !== ""
                font.bold: true
            }
            Frame {
                Layout.fillWidth: true
                ColumnLayout {
                    ButtonGroup { id: finishGroup }
                    RowLayout {
                        visible: controller
                        RadioButton {
                            id: sendChoice
                            objectName: "sendChoice"
                            text: "Send Order to " + supplier
                            enabled: warningText === ""
                            ButtonGroup.group: finishGroup
                        }
                        HelpButton { helpText: "Sent orders are listed on the View Orders screen available from the Home page" }
                    }
                    RadioButton {
                        id: copyChoice
                        text: "Make a copy of this " + orderWord
                        ButtonGroup.group: finishGroup
                    }
                    RadioButton {
                        id: saveChoice
                        objectName: "saveChoice"
                        text: "Save for completion later"
                        ButtonGroup.group: finishGroup
                    }
                    RowLayout {
                        visible: xferCombo.count > 0
                        RadioButton {
                            id: xferChoice
                            text: "Transfer to:"
                            ButtonGroup.group: finishGroup
                        }
                        ComboBox {
                            id: xferCombo
                            onActivated: xferChoice.checked = true
                        }
                        HelpButton {
                            helpText: "You can transfer an order to a Surveyor for completion.\nSurveyors can transfer orders to an Admin user who can then check and send the order to " + supplier
                        }
                    }
                    Button {
                        id: okButton
                        objectName: "completeOk"
                        text: "OK"
                        enabled: copyChoice.checked || saveChoice.checked
                                 || (xferChoice.checked && xferCombo.currentIndex >= 0)
                                 || (sendChoice.checked && sendReady)
                        onClicked: {
                            if (sendChoice.checked) {
                                _myOrder.sendEmailToCustomer = false
                                confirm.action = "send"
                                confirm.text = "Confirm sending this supplier order?\n\nOn sending you will be placing a confirmed order with "
                                               + supplier + " so please ensure it is correct before sending."
                                confirm.open()
                            } else if (copyChoice.checked) {
                                confirm.action = "copy"
                                confirm.text = "Copy this " + orderWord + "?\n(e.g. for an alternate quote)"
                                confirm.open()
                            } else if (saveChoice.checked) {
                                if (!saveChoices() || !_myOrder.saveOrder())
                                    return fail("The order could not be saved.")
                                _myOrder.clear()
                                finished()
                            } else if (xferChoice.checked) {
                                if (!saveChoices() || !_myOrder.xferOrderTo(xferCombo.currentText))
                                    return fail("The order could not be transferred.")
                                _myOrder.clear()
                                sendOrdersSig()
                            }
                        }
                    }
                }
            }
            GridLayout {
                columns: 3
                FieldLabel { text: String(localSettings.value("optlbl_s", "Shutter Option")); visible: stilesOpt }
                ComboBox {
                    id: stilesCombo
                    objectName: "stilesCombo"
                    visible: stilesOpt
                    currentIndex: -1
                    model: String(staticSettings.value("optlst_s", "Complete,Stiles Only")).split(",")
                    onActivated: saveChoices()
                }
                HelpButton {
                    visible: stilesOpt
                    helpText: "For manufacturers, where you only require pre-cut stiles, select Styles Only."
                }
                FieldLabel { text: "Business"; visible: businessRow.visible }
                ComboBox {
                    id: businessCombo
                    objectName: "businessCombo"
                    Layout.preferredWidth: 300
                    visible: businessRow.visible
                    onActivated: {
                        var p = _myOrder.properties
                        p.AccountName = currentText
                        delete p.delAddr
                        _myOrder.properties = p
                        fillAddresses()
                        saveChoices()
                    }
                }
                Item { id: businessRow; visible: businessCombo.count > 1; width: 1 }
                FieldLabel {
                    text: String(staticSettings.value("list1lbl_s", "Select"))
                    // as wide as the labels that come and go below it, so
                    // the choices do not move
                    Layout.minimumWidth: 150
                }
                ComboBox {
                    id: deliveryCombo
                    objectName: "deliveryCombo"
                    Layout.preferredWidth: 300
                    onActivated: {
                        if (currentText.indexOf("Collect") !== 0)
                            fillAddresses()
                        saveChoices()
                    }
                }
                Item { width: 1 }
                FieldLabel { text: "Delivery Address"; visible: deliver }
                ComboBox {
                    id: addressCombo
                    objectName: "addressCombo"
                    Layout.preferredWidth: 300
                    visible: deliver
                    onActivated: {
                        dropBox.checked = false
                        saveChoices()
                        resaveTimer.restart()
                    }
                }
                Item { width: 1 }
            }
            RowLayout {
                visible: deliver
                CheckBox {
                    id: dropBox
                    objectName: "dropBox"
                    text: "Set a delivery address - ONLY USE IF NOT IN ABOVE LIST"
                    onToggled: {
                        if (checked)
                            dropDialog.open()
                        else
                            saveChoices()
                    }
                }
                Button {
                    text: "Edit address..."
                    visible: dropBox.checked
                    onClicked: dropDialog.open()
                }
            }
            Label {
                objectName: "dropText"
                visible: deliver && dropBox.checked
                textFormat: Text.RichText
                text: dropUsed ? dropText : "Incomplete delivery address"
                color: dropUsed ? "black" : "red"
            }
        }
    }

    DropAddress {
        id: dropDialog
        onSaved: showDrop()
        onClosed: {
            showDrop()
            saveChoices()
        }
    }
    SignaturePad { id: signaturePad }
    ConfirmDialog {
        id: confirm
        property string action
        onAccepted: {
            if (action === "send") {
                if (!saveChoices() || !_myOrder.saveOrder(1))
                    return fail("The order could not be queued for sending.")
                _myOrder.clear()
                sendOrdersSig()
            } else if (action === "copy") {
                if (!saveChoices())
                    return fail("The order could not be saved.")
                _myOrder.copyOrder()
                openCustomerPage()
            }
        }
    }
    MessagePopup { id: message; objectName: "completeMessage" }
    DocViewer { id: viewer; objectName: "docViewer"; anchors.fill: parent }
}

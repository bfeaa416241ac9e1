import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import CustomStyles 1.0
import "comps"

// A one-off delivery address for this order only.
Dialog {
    id: dialog
    objectName: "dropAddressDialog"
    title: "Order Delivery Address"
    modal: true
    closePolicy: Popup.NoAutoClose
    anchors.centerIn: Overlay.overlay
    width: Math.min(520, parent ? parent.width - 20 : 520)
    standardButtons: Dialog.Ok | Dialog.Cancel

    property alias nameField: nameField
    property alias postcodeField: postcodeField
    property alias phoneField: phoneField
    property alias countryCombo: countryCombo
    signal saved()
    readonly property bool valid: addressValid(nameField.text, postcodeField.text, phoneField.text)

    // the rules of this dialog, also used for an address already stored
    function phoneValid(phone) { return /^07[0-9]{9}$/.test(String(phone)) }
    function postcodeValid(code) { return Style.pcodeRe.test(String(code)) }
    function addressValid(name, postcode, phone) {
        return String(name).length > 2 && postcodeValid(postcode) && phoneValid(phone)
    }
    function storedValid(p) {
        return p.da_used === true && addressValid(p.da_name || "", p.da_postcode || "", p.da_phone || "")
    }

    function load() {
        var p = _myOrder.properties
        nameField.text = p.da_name || ""
        numberField.text = p.da_streetnum || ""
        streetField.text = p.da_street || ""
        line2Field.text = p.da_buildcomp || ""
        cityField.text = p.da_city || ""
        postcodeField.text = p.da_postcode || ""
        phoneField.text = p.da_phone || ""
        var countries = String(staticSettings.value("da_counties", "GBR")).split(",").map(function(s) { return s.trim() })
        countryCombo.model = countries
        var at = countries.indexOf(p.da_country || "")
        countryCombo.currentIndex = at < 0 ? 0 : at
    }
    onAboutToShow: load()
    onOpened: if (standardButton(Dialog.Ok)) standardButton(Dialog.Ok).enabled = Qt.binding(function() { return dialog.valid })
    onAccepted: {
        var p = _myOrder.properties
        p.da_used = true
        p.da_name = nameField.text
        p.da_streetnum = numberField.text
        p.da_street = streetField.text
        p.da_buildcomp = line2Field.text
        p.da_city = cityField.text
        p.da_postcode = postcodeField.text
        p.da_phone = phoneField.text
        p.da_country = countryCombo.currentText
        _myOrder.properties = p
        _myOrder.changed = true
        _myOrder.saveOrder()
        saved()
    }

    ColumnLayout {
        anchors.fill: parent
        Label {
            Layout.fillWidth: true
            wrapMode: Text.Wrap
            textFormat: Text.RichText
            text: "This will be used instead of a registered delivery address for your account.<br>Items marked <font color='red'>*</font> must be completed and valid."
        }
        GridLayout {
            columns: 2
            Layout.fillWidth: true
            FieldLabel { text: "Name <font color='red'>*"; textFormat: Text.RichText }
            TextField { id: nameField; objectName: "daName"; Layout.fillWidth: true; selectByMouse: true }
            FieldLabel { text: "Street Number" }
            TextField { id: numberField; Layout.fillWidth: true; selectByMouse: true }
            FieldLabel { text: "Address Line1" }
            TextField { id: streetField; objectName: "daStreet"; Layout.fillWidth: true; selectByMouse: true }
            FieldLabel { text: "Address Line2" }
            TextField { id: line2Field; Layout.fillWidth: true; selectByMouse: true }
            FieldLabel { text: "Town/City" }
            TextField { id: cityField; objectName: "daCity"; Layout.fillWidth: true; selectByMouse: true }
            FieldLabel { text: "Postcode <font color='red'>*"; textFormat: Text.RichText }
            TextField {
                id: postcodeField
                objectName: "daPostcode"
                Layout.fillWidth: true
                selectByMouse: true
                color: postcodeValid(text) ? "green" : "red"
                onTextEdited: if (text !== text.toUpperCase()) text = text.toUpperCase()
            }
            FieldLabel { text: "Mobile Phone <font color='red'>*"; textFormat: Text.RichText }
            TextField {
                id: phoneField
                objectName: "daPhone"
                Layout.fillWidth: true
                selectByMouse: true
                color: phoneValid(text) ? "green" : "red"
                onTextEdited: {
                    var digits = text.replace(/[^0-9]/g, "")
                    if (digits !== text)
                        text = digits
                }
            }
            FieldLabel { text: "Country" }
            ComboBox { id: countryCombo; Layout.fillWidth: true }
        }
    }
}

import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// What the customer's quote says about the business: its name (the
// account's business name when left empty), its address and its terms.
// fill() reads the settings into the fields, save() writes them back, as
// the settings screen does with its own fields.
GridLayout {
    id: quoteSettings
    columns: 2
    property alias nameField: nameField
    property alias addressField: addressField
    property alias termsField: termsField

    function fill() {
        nameField.text = String(staticSettings.value("quoteName_s", ""))
        addressField.text = String(staticSettings.value("quoteAddress_s", ""))
        termsField.text = String(staticSettings.value("quoteTerms_s", ""))
    }
    function save() {
        var values = {"quoteName_s": nameField.text.trim(), "quoteAddress_s": addressField.text.trim(),
                      "quoteTerms_s": termsField.text.trim()}
        for (var key in values) {
            if (values[key] === "")
                staticSettings.remove(key)
            else
                staticSettings.setValue(key, values[key])
        }
    }

    FieldLabel { text: "Business name on quotes" }
    TextField {
        id: nameField
        objectName: "quoteNameField"
        Layout.preferredWidth: 350
        selectByMouse: true
        placeholderText: String(staticSettings.value("bus_s", ""))
    }
    FieldLabel { text: "Business address"; Layout.alignment: Qt.AlignTop }
    TextArea {
        id: addressField
        objectName: "quoteAddressField"
        Layout.preferredWidth: 350
        Layout.preferredHeight: 80
        selectByMouse: true
        wrapMode: TextEdit.Wrap
        placeholderText: "Street, town, postcode, phone"
    }
    FieldLabel { text: "Quote terms"; Layout.alignment: Qt.AlignTop }
    TextArea {
        id: termsField
        objectName: "quoteTermsField"
        Layout.preferredWidth: 350
        Layout.preferredHeight: 140
        selectByMouse: true
        wrapMode: TextEdit.Wrap
        placeholderText: "Printed at the end of every quote"
    }
}

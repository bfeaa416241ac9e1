import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import CustomStyles 1.0
import VexaOrder 1.0
import "comps"

// The business's and this device's settings; nothing is stored until
// "Save and Exit".
Item {
    id: screen
    objectName: "settingsScreen"

    signal accepted()
    signal rejected()
    signal exitApp()

    // the registration calls; a test may put its own object here
    property var cloud: vexaData
    readonly property string title: Style.apptitle
    readonly property bool controller: staticSettings.value("controller", true) === true
                                       || String(staticSettings.value("controller", true)) === "true"
    readonly property int daysMin: 60
    readonly property int daysMax: 365
    property string errorText: ""
    property string accountError: ""
    // typing new customer numbers into the account combo ("multCustNums_b")
    property bool typingNumbers: false
    // the beta option, on once its code has been typed
    property bool betaOn: false
    readonly property bool reviewShown: controller && isTrue(staticSettings.value("cuo_b", false), false)
    readonly property string reviewPrefix: screenTools.reviewLinkPrefix()

    property alias accountCombo: accountCombo
    property alias deliveryNames: deliveryNames
    property alias roomsField: roomsField
    property alias roomsDialog: roomsDialog
    property var rooms: []
    property alias emailConfField: emailConfField
    property alias daysField: daysField
    property alias prefixField: prefixField
    property alias numberField: numberField
    property alias suffixField: suffixField
    property alias backupBox: backupBox
    property alias pricesBox: pricesBox
    property alias detailsBox: detailsBox
    property alias markupField: markupField
    property alias tradeDiscField: tradeDiscField
    property alias vatCombo: vatCombo
    property alias extrasBox: extrasBox
    property alias marginsBox: marginsBox
    property alias saveButton: saveButton
    property alias message: message
    property alias reviewField: reviewField
    property alias reviewTest: reviewTest
    property alias betaBox: betaBox
    property alias betaCodeField: betaCodeField
    property alias passwordDialog: passwordDialog
    property alias logsButton: logsButton
    property alias logsResult: logsResult

    BusinessManager { id: business }
    StaffManager { id: staffManager }
    property alias staffForm: staffForm
    property alias businessForm: businessForm

    function asList(v) {
        if (Array.isArray(v))
            return v
        return String(v || "").split(",").map(function(s) { return s.trim() }).filter(function(s) { return s !== "" })
    }
    function isTrue(v, fallback) {
        if (v === undefined || v === null || v === "")
            return fallback
        return v === true || String(v) === "true"
    }
    function inRange(text, low, high) {
        var n = Number(text)
        return text !== "" && isFinite(n) && n >= low && n <= high
    }

    function fill() {
        business.initController()
        var accounts = asList(iniSettings.value("suppAccnts_sl", ""))
        accountCombo.model = accounts
        accountCombo.currentIndex = Math.max(0, accounts.indexOf(business.suppAccnt))
        deliveryNames.text = (controller ? business.delAddressList
                                         : asList(localSettings.value("buslist/" + business.suppAccnt, ""))).join("\n")
        rooms = screenTools.roomNames()
        emailConfField.text = String(staticSettings.value("emailconf_s", staticSettings.value("regem_s", "")))
        daysField.text = String(savedOrders.keepSentDays())
        prefixField.text = String(staticSettings.value("ordpre", ""))
        numberField.text = String(staticSettings.value("ordnum", ""))
        suffixField.text = String(staticSettings.value("orderpost", ""))
        numberingButton.checked = (prefixField.text + numberField.text + suffixField.text) !== ""
        backupBox.checked = isTrue(staticSettings.value("back_b", false), false)
        pricesBox.checked = isTrue(staticSettings.value("showPrices_b", false), false)
        detailsBox.checked = isTrue(staticSettings.value("revDet_b", true), true)
        markupField.text = String(iniSettings.value("markup_d", "100"))
        tradeDiscField.text = String(iniSettings.value("tradeDiscount_d", ""))
        vatCombo.currentIndex = Number(iniSettings.value("vat_rate", 20)) !== 0 ? 0 : 1
        extrasBox.checked = isTrue(staticSettings.value("incExtras_b", true), true)
        marginsBox.checked = isTrue(staticSettings.value("margins_b", true), true)
        typingNumbers = isTrue(localSettings.value("multCustNums_b", false), false)
        reviewField.text = String(iniSettings.value("cuo_s", ""))
        betaOn = isTrue(staticSettings.value("stilesOnlyOpt_b", false), false)
        betaBox.checked = betaOn
        betaCodeField.text = ""
        quoteSettings.fill()
        deliveryNames.forceActiveFocus()
    }

    // Only values inside the fields' ranges are stored.
    function save() {
        if (!inRange(daysField.text, daysMin, daysMax))
            return refuse("Days to keep sent orders must be from " + daysMin + " to " + daysMax + ".")
        if (pricesBox.checked && !inRange(markupField.text, 0, 900))
            return refuse("Trade to Retail Markup % must be from 0 to 900.")
        if (pricesBox.checked && tradeDiscField.text !== "" && !inRange(tradeDiscField.text, 0, 90))
            return refuse("Trade discount % must be from 0 to 90.")
        if (controller && emailConfField.text !== "" && !Style.emailRe.test(emailConfField.text))
            return refuse("The email for confirmations is not valid.")
        iniSettings.setValue("d2r_i", Number(daysField.text))
        screenTools.setRoomNames(rooms)
        if (pricesBox.checked) {
            iniSettings.setValue("markup_d", markupField.text)
            iniSettings.setValue("tradeDiscount_d", tradeDiscField.text)
            iniSettings.setValue("vat_rate", vatCombo.currentIndex === 0 ? Number(localSettings.value("vr_d", 20)) : 0)
            staticSettings.setValue("vr_b", vatCombo.currentIndex === 0)
        }
        if (controller && emailConfField.text !== "")
            staticSettings.setValue("emailconf_s", emailConfField.text)
        if (reviewShown && reviewField.text === "")
            iniSettings.remove("cuo_s")
        else if (reviewShown && screenTools.reviewLinkAccepted(reviewField.text))
            iniSettings.setValue("cuo_s", reviewField.text)
        if (controller)
            staticSettings.setValue("stilesOnlyOpt_b", betaBox.checked && betaOn)
        staticSettings.setValue("ordpre", prefixField.text)
        staticSettings.setValue("ordnum", numberField.text)
        staticSettings.setValue("orderpost", suffixField.text)
        staticSettings.setValue("back_b", backupBox.checked)
        staticSettings.setValue("showPrices_b", pricesBox.checked)
        staticSettings.setValue("revDet_b", detailsBox.checked)
        staticSettings.setValue("incExtras_b", extrasBox.checked)
        staticSettings.setValue("margins_b", marginsBox.checked)
        if (controller)
            quoteSettings.save()
        iniSettings.sync()
        screenTools.loadRoomNames()
        accepted()
        return true
    }
    // A typed customer number: its addresses are fetched first, and only
    // then does it become the current account.
    function addAccount(number) {
        if (!business.fetchAccountAddresses(number)) {
            accountError = business.error
            return false
        }
        accountError = ""
        if (number.charAt(0) !== "M")
            business.setSuppAccnt(number)
        fill()
        return true
    }
    function toggleTyping() {
        typingNumbers = !typingNumbers
        localSettings.setValue("multCustNums_b", typingNumbers)
        message.show(typingNumbers ? "Test mode enabled" : "Test mode disabled", false)
    }
    function sendLogs() {
        if (cloud.sendLogs()) {
            logsResult.text = "Logs sent OK"
            logsButton.enabled = false
        } else {
            logsResult.text = "Send logs to Vexa Support failed: " + String(cloud.lastMessage())
        }
    }
    function refuse(text) {
        errorText = text
        message.show(text, false)
        return false
    }

    Component.onCompleted: fill()

    Flickable {
        anchors.fill: parent
        anchors.margins: 10
        contentHeight: column.height
        clip: true
        ScrollBar.vertical: ScrollBar {}
        ColumnLayout {
            id: column
            // room for the scroll bar, so it never covers the last column
            width: parent.width - 16
            spacing: 6
            Button {
                id: saveButton
                objectName: "saveButton"
                text: controller ? "Save and Exit" : "Exit"
                onClicked: save()
            }
            Label {
                textFormat: Text.RichText
                font.pixelSize: Style.largeSize
                text: "Lattica Settings for user: <i>" + String(staticSettings.value("userName_s", "")) + "</i>"
            }
            GridLayout {
                columns: 3
                Layout.fillWidth: true
                FieldLabel { text: Style.adminco + " Customer Num"; visible: controller }
                ColumnLayout {
                    visible: controller
                    ComboBox {
                        id: accountCombo
                        objectName: "accountCombo"
                        Layout.preferredWidth: 220
                        editable: typingNumbers
                        validator: RegularExpressionValidator { regularExpression: /C[0-9]{6}|M[0-9]{7}/ }
                        onActivated: {
                            business.setSuppAccnt(currentText)
                            fill()
                        }
                        onAccepted: {
                            if (find(editText) >= 0) {
                                business.setSuppAccnt(editText)
                                fill()
                            } else {
                                addAccount(editText)
                            }
                        }
                    }
                    Label { objectName: "accountError"; text: accountError; color: "red"; visible: text !== ""; wrapMode: Text.Wrap; Layout.maximumWidth: 400 }
                }
                HelpButton { visible: controller; helpText: "Contact Heldon If you need to place orders for more than one customer number." }
                FieldLabel { text: "Delivery Address\nNames"; visible: controller }
                TextArea { id: deliveryNames; visible: controller; readOnly: true; Layout.fillWidth: true }
                RowLayout {
                    visible: controller
                    HelpButton { helpText: "The names of the delivery addresses offered for an order.\nUse Details... to give them names of your own." }
                    Button {
                        objectName: "businessDetails"
                        text: "Details..."
                        onClicked: businessForm.visible = true
                    }
                }
                FieldLabel { text: "Users and Surveyors"; visible: controller }
                TextField {
                    objectName: "staffNames"
                    visible: controller
                    readOnly: true
                    Layout.fillWidth: true
                    text: staffManager.staffList.join(", ")
                    MouseArea { anchors.fill: parent; onClicked: staffForm.visible = true }
                }
                RowLayout {
                    visible: controller
                    Button {
                        objectName: "staffEdit"
                        text: "Edit..."
                        onClicked: staffForm.visible = true
                    }
                    HelpButton {
                        objectName: "staffHelp"
                        helpText: "Allow additional surveyor users to connect to your Lattica system.\nSurveyors can create surveys but cannot submit supplier orders."
                    }
                }
                FieldLabel { text: "Rooms List" }
                TextField {
                    id: roomsField
                    objectName: "roomsField"
                    Layout.fillWidth: true
                    readOnly: true
                    text: rooms.join(", ")
                    // a long list reads from its first room
                    onTextChanged: cursorPosition = 0
                    MouseArea { anchors.fill: parent; onClicked: roomsDialog.openWith(rooms) }
                }
                Button {
                    objectName: "roomsEdit"
                    text: "Edit..."
                    onClicked: roomsDialog.openWith(rooms)
                }
                FieldLabel { text: "Email for confirmations"; visible: controller }
                TextField {
                    id: emailConfField
                    visible: controller
                    Layout.fillWidth: true
                    color: Style.emailRe.test(text) ? "black" : "red"
                }
                HelpButton { visible: controller; helpText: "The email to receive order confirmations." }
                FieldLabel { text: "Check Us Out Review Link"; visible: reviewShown }
                ColumnLayout {
                    visible: reviewShown
                    Layout.fillWidth: true
                    TextField { id: reviewField; objectName: "reviewField"; Layout.fillWidth: true; selectByMouse: true }
                    Label {
                        text: "The link should start with: " + reviewPrefix
                        color: "red"
                        visible: reviewField.text !== "" && !screenTools.reviewLinkAccepted(reviewField.text)
                    }
                }
                Button {
                    id: reviewTest
                    visible: reviewShown
                    text: "Test..."
                    enabled: reviewField.text.length > reviewPrefix.length
                    onClicked: screenTools.openUrl(reviewField.text)
                }
                FieldLabel { text: "Days to keep sent orders on this " + (Style.touchScreen ? "tablet/phone" : (Qt.platform.os === "osx" ? "Mac" : "PC")) }
                TextField {
                    id: daysField
                    objectName: "daysField"
                    validator: IntValidator { bottom: 0; top: 999 }
                    color: inRange(text, daysMin, daysMax) ? "black" : "red"
                    // over the top drops the last digit typed
                    onTextEdited: if (Number(text) > daysMax) text = text.slice(0, -1)
                }
                Item { width: 1 }
                CheckBox {
                    id: betaBox
                    visible: controller
                    text: String(localSettings.value("betaTest_lbl", "Enable beta testing option."))
                    onToggled: {
                        betaOn = false
                        betaCodeField.text = ""
                    }
                }
                RowLayout {
                    visible: controller
                    TextField {
                        id: betaCodeField
                        // an option already on shows only its tick
                        visible: betaBox.checked && !(betaOn && text === "")
                        placeholderText: "code"
                        Layout.preferredWidth: 110
                        echoMode: TextInput.Password
                        onTextEdited: betaOn = screenTools.betaCodeAccepted(text)
                    }
                    Label { text: Style.iconTick; font.family: Style.iconFont; font.pixelSize: 18; color: "green"; visible: betaOn }
                }
                Item { width: 1; visible: controller }
                Button {
                    id: numberingButton
                    objectName: "numberingButton"
                    text: "Set my own order numbering..."
                    checkable: true
                    // the style's dark text is hard to read on the checked accent
                    contentItem: Text {
                        text: numberingButton.text
                        font: numberingButton.font
                        color: numberingButton.checked ? "white" : "black"
                        horizontalAlignment: Text.AlignHCenter
                        verticalAlignment: Text.AlignVCenter
                        elide: Text.ElideRight
                    }
                }
                // the frame toggles inside a cell the grid always keeps
                RowLayout {
                    RowLayout {
                        visible: numberingButton.checked
                        TextField { id: prefixField; Layout.preferredWidth: 110; maximumLength: 8; placeholderText: "prefix" }
                        TextField { id: numberField; Layout.preferredWidth: 130; maximumLength: 12; placeholderText: "next number"; validator: RegularExpressionValidator { regularExpression: /[0-9]{0,12}/ } }
                        TextField { id: suffixField; Layout.preferredWidth: 110; maximumLength: 8; placeholderText: "suffix" }
                    }
                }
                HelpButton { helpText: "Local order reference numbers will start from this value on this device.\nThe number goes up by one for each new order;\nthe prefix and suffix are added around it." }
            }
            // the business as its customers' quotes show it
            QuoteSettings { id: quoteSettings; objectName: "quoteSettings"; visible: controller }
            Flow {
                Layout.fillWidth: true
                spacing: 30
                ColumnLayout {
                    CheckBox { id: backupBox; text: "Show backup of orders on the View Orders Screen." }
                    CheckBox {
                        id: pricesBox
                        objectName: "pricesBox"
                        text: "Show prices (only to be used as a guide to pricing)"
                        onToggled: if (!checked) detailsBox.checked = false
                    }
                    CheckBox { id: detailsBox; text: "Default to show details on Review screen." }
                    GridLayout {
                        columns: 2
                        visible: pricesBox.checked
                        FieldLabel { text: "Trade to Retail Markup %" }
                        TextField {
                            id: markupField
                            objectName: "markupField"
                            validator: DoubleValidator { bottom: 0; top: 900; decimals: 2; notation: DoubleValidator.StandardNotation }
                            color: inRange(text, 0, 900) ? "black" : "red"
                        }
                        FieldLabel { text: "Trade discount %" }
                        TextField {
                            id: tradeDiscField
                            validator: DoubleValidator { bottom: 0; top: 90; decimals: 2; notation: DoubleValidator.StandardNotation }
                        }
                        FieldLabel { text: "VAT Registered" }
                        ComboBox { id: vatCombo; model: ["Yes", "No"] }
                        CheckBox { id: extrasBox; text: "Include extras prices"; Layout.columnSpan: 2 }
                        CheckBox { id: marginsBox; text: "Show price margins"; Layout.columnSpan: 2 }
                    }
                }
                ColumnLayout {
                    GridLayout {
                        columns: 2
                        FieldLabel { text: title + " Version" }
                        Label { text: lta_version }
                        FieldLabel { text: "Lattica Account:" }
                        Label { text: String(staticSettings.value("regem_s", "")) }
                        FieldLabel { text: "User Name" }
                        Label {
                            objectName: "userNameInfo"
                            text: String(staticSettings.value("userName_s", "")) + " (ID=" + String(staticSettings.value("userID_s", "")) + ")"
                        }
                        FieldLabel { text: "Last Product Data Update" }
                        Label { text: String(staticSettings.value("V3VexaData", "")).substring(0, 22) }
                        FieldLabel { text: "Last Config Update" }
                        Label { text: String(staticSettings.value("VexaCfg", "")).substring(0, 22) }
                        FieldLabel { text: "Network:" }
                        Label { text: mainWindow.dcloudComms ? String(mainWindow.dcloudComms.syncResult) : "" }
                    }
                    Button {
                        objectName: "changePassword"
                        visible: controller
                        text: "Change admin password..."
                        onClicked: passwordDialog.open()
                    }
                    RowLayout {
                        Button {
                            objectName: "termsButton"
                            text: "Purchasing Terms and Conditions..."
                            font.italic: true
                            flat: true
                            onClicked: screenTools.openUrl(screenTools.termsUrl())
                        }
                        Button {
                            objectName: "openLogs"
                            // a folder to open exists only on a desktop
                            visible: Style.desktop
                            text: "Open logs folder..."
                            font.italic: true
                            flat: true
                            onClicked: _myOrder.openLogs()
                        }
                    }
                    RowLayout {
                        Button { text: "Log out of Lattica..."; onClicked: logoutConfirm.open() }
                        Button { text: "Close the app"; onClicked: exitApp() }
                    }
                    RowLayout {
                        visible: isTrue(staticSettings.value("logs_b", true), true)
                        Button { id: logsButton; text: "Send diagnostic logs if requested by Support"; onClicked: sendLogs() }
                        Label { id: logsResult; color: text === "Logs sent OK" ? "black" : "red"; wrapMode: Text.Wrap; Layout.maximumWidth: 400 }
                    }
                }
            }
            Label { objectName: "settingsError"; text: errorText; color: "red"; visible: text !== "" }
        }
    }

    ConfirmDialog {
        id: logoutConfirm
        text: "Logout from Lattica for this user?" + "\nThe app will close and you will need to login or create a new account on re-starting."
        onAccepted: cloud.unregister(true)
    }
    Shortcut {
        id: typingShortcut
        sequence: "Ctrl+*"
        enabled: controller
        onActivated: toggleTyping()
    }
    ChangePassword {
        id: passwordDialog
        cloud: screen.cloud
    }
    MessagePopup { id: message; objectName: "settingsMessage" }
    BusinessFormLTA {
        id: businessForm
        anchors.fill: parent
        visible: false
        manager: business
        onBack: {
            visible = false
            deliveryNames.text = business.delAddressList.join("\n")
        }
    }
    StaffForm {
        id: staffForm
        anchors.fill: parent
        visible: false
        staff: staffManager
        onBack: visible = false
    }

    Dialog {
        id: roomsDialog
        objectName: "roomsDialog"
        title: "Rooms List"
        modal: true
        anchors.centerIn: Overlay.overlay
        standardButtons: Dialog.Ok | Dialog.Cancel
        property alias editor: roomsEditor
        function openWith(list) {
            roomsEditor.text = list.join("\n")
            open()
            roomsEditor.forceActiveFocus()
        }
        ColumnLayout {
            anchors.fill: parent
            Label { text: "You can edit this list of rooms shown when selecting a new room." }
            ScrollView {
                Layout.preferredWidth: 360
                Layout.preferredHeight: 260
                TextArea { id: roomsEditor; objectName: "roomsEditor"; selectByMouse: true }
            }
        }
        onAccepted: rooms = roomsEditor.text.split("\n").map(function(s) { return s.trim() })
                                            .filter(function(s) { return s !== "" })
    }
}

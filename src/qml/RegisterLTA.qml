import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import CustomStyles 1.0
import "comps"

// First start of a device: register the company, sign in, or sign in with
// an administrator's code.
Item {
    id: screen
    objectName: "registerScreen"

    signal registered()
    signal loginSignal()
    signal exitapp()

    // the registration calls; a test may put its own object here
    property var cloud: vexaData
    readonly property string title: Style.apptitle
    property int form: 0   // 0 choices, 1 new account, 2 login, 3 code
    property string errorText: ""
    property bool createdOk: false

    property alias choices: choiceGroup
    property alias numberField: numberField
    property alias emailField: emailField
    property alias passwordField: passwordField
    property alias password2Field: password2Field
    property alias createButton: createButton
    property alias loginEmail: loginEmail
    property alias loginPassword: loginPassword
    property alias loginButton: loginButton
    property alias codeField: codeField
    property alias codeButton: codeButton
    property alias companyQuestion: companyQuestion
    property alias resultBox: resultBox

    readonly property bool numberValid: screenTools.customerNumberValid(numberField.text)
    readonly property bool emailValid: Style.emailRe.test(emailField.text)
    function strongPassword(p) { return screenTools.accountPasswordStrong(p) }

    function back() {
        passwordField.text = ""
        password2Field.text = ""
        loginPassword.text = ""
        errorText = ""
        form = 0
    }

    function showCreated() {
        createdOk = true
        resultBox.heading = title + " Account Created OK"
        resultBox.show("You have now created your " + title + " account<br>This device"
                       + " is where you can manage your " + title + " settings.", false)
    }

    function createAccount() {
        errorText = "Creating a new " + title + " account..."
        var reply = String(cloud.registerAtLTA(emailField.text, numberField.text, passwordField.text, false))
        errorText = ""
        if (reply.indexOf("Company ") === 0) {
            companyQuestion.title = reply
            companyQuestion.open()
        } else {
            // the account exists only once the company has been confirmed
            createdOk = false
            resultBox.heading = title
            resultBox.show(reply !== "" ? reply : "The account could not be created. " + String(cloud.lastMessage()), false)
        }
    }

    ColumnLayout {
        anchors.centerIn: parent
        width: Math.min(parent.width - 20, 640)
        spacing: 12

        Label {
            text: "Welcome to the " + title + " ordering application"
            font.pixelSize: 22
            visible: form === 0
        }
        ColumnLayout {
            visible: form === 0
            ButtonGroup { id: choiceGroup }
            RadioButton { objectName: "choiceNew"; text: "Register your company to use the " + title + " ordering application"; ButtonGroup.group: choiceGroup; property int form: 1 }
            RadioButton { objectName: "choiceLogin"; text: "Login to your " + title + " system"; ButtonGroup.group: choiceGroup; property int form: 2 }
            RadioButton { objectName: "choiceCode"; text: "Login using a code supplied by your administrator"; ButtonGroup.group: choiceGroup; property int form: 3 }
            RowLayout {
                Button {
                    objectName: "nextButton"
                    text: "Next >>"
                    enabled: choiceGroup.checkedButton !== null
                    onClicked: form = choiceGroup.checkedButton.form
                }
                Button { text: "Exit"; onClicked: exitapp() }
            }
        }

        // new account
        GridLayout {
            columns: 2
            visible: form === 1
            Label { Layout.columnSpan: 2; text: "Setup your company to use the " + title + " ordering application"; font.pixelSize: 20 }
            RowLayout {
                FieldLabel { text: "Your " + Style.adminco + " customer number" }
                HelpButton {
                    objectName: "numberHelp"
                    helpText: "Your " + Style.adminco + " customer (account) number: 'C' followed by 6 digits e.g. 'C123456'"
                              + "\nIt is shown on your " + Style.adminco + " invoices and statements."
                              + "\nContact " + Style.adminco + " if you do not have one."
                }
            }
            TextField {
                id: numberField
                objectName: "numberField"
                Layout.fillWidth: true
                color: numberValid ? "green" : "red"
                onTextEdited: {
                    var t = text.toUpperCase().trim()
                    if (t !== text)
                        text = t
                }
            }
            RowLayout {
                FieldLabel { text: "Account Email" }
                HelpButton {
                    objectName: "emailHelp"
                    helpText: "Please use a business email rather than a personal email.\n(it is used for resetting your pasword)"
                }
            }
            TextField {
                id: emailField
                objectName: "emailField"
                Layout.fillWidth: true
                color: emailValid ? "black" : "red"
                onTextEdited: if (text !== text.toLowerCase()) text = text.toLowerCase()
            }
            FieldLabel { text: "Create admin password" }
            RowLayout {
                TextField {
                    id: passwordField
                    Layout.fillWidth: true
                    echoMode: TextInput.Password
                    color: strongPassword(text) ? "green" : "red"
                }
                Label { text: "weak"; color: "red"; visible: passwordField.text !== "" && !strongPassword(passwordField.text) }
            }
            FieldLabel { text: "Re-enter Password" }
            TextField {
                id: password2Field
                Layout.fillWidth: true
                echoMode: TextInput.Password
                color: text === passwordField.text ? "green" : "red"
            }
            RowLayout {
                Layout.columnSpan: 2
                Button { text: "Back"; onClicked: back() }
                Button {
                    id: createButton
                    objectName: "createButton"
                    text: "Create account..."
                    enabled: numberValid && emailValid && passwordField.text !== "" && passwordField.text === password2Field.text
                    onClicked: createAccount()
                }
            }
        }

        // login
        GridLayout {
            columns: 2
            visible: form === 2
            Label { Layout.columnSpan: 2; text: "Login to your " + title + " system"; font.pixelSize: 20 }
            FieldLabel { text: title + " Account Email" }
            TextField { id: loginEmail; objectName: "loginEmail"; Layout.fillWidth: true; onTextEdited: if (text !== text.toLowerCase()) text = text.toLowerCase() }
            FieldLabel { text: "Password" }
            TextField { id: loginPassword; Layout.fillWidth: true; echoMode: TextInput.Password }
            RowLayout {
                Layout.columnSpan: 2
                Button { text: "Back"; onClicked: back() }
                Button {
                    text: "Forgotten password..."
                    enabled: Style.emailRe.test(loginEmail.text)
                    onClicked: forgotConfirm.open()
                }
                Button {
                    id: loginButton
                    objectName: "loginButton"
                    text: "Login..."
                    enabled: loginEmail.text !== "" && loginPassword.text !== ""
                    onClicked: {
                        errorText = "Please wait while your " + title + " account data is downloaded..."
                        var reply = String(cloud.registerAtLTA(loginEmail.text, "", loginPassword.text, true))
                        errorText = reply
                        if (reply === "")
                            loginSignal()
                    }
                }
            }
        }

        // code login
        ColumnLayout {
            visible: form === 3
            Label { text: "Login to an existing " + title + " system"; font.pixelSize: 20 }
            Label { text: "Enter the code provided by your " + title + " administrator" }
            TextField { id: codeField; objectName: "codeField"; Layout.fillWidth: true }
            RowLayout {
                Button { text: "Back"; onClicked: back() }
                Button {
                    id: codeButton
                    objectName: "codeButton"
                    text: "Login..."
                    enabled: codeField.text.length > 4
                    onClicked: {
                        errorText = "Downloading your data..."
                        var reply = String(cloud.registerStaff(codeField.text))
                        errorText = ""
                        if (reply.indexOf("Connected") === 0) {
                            createdOk = false
                            resultBox.heading = title + " Connected OK"
                            resultBox.connected = true
                            resultBox.show(reply, false)
                        } else {
                            errorText = reply
                        }
                    }
                }
            }
        }
        Label {
            objectName: "registerError"
            Layout.fillWidth: true
            text: errorText
            color: "red"
            wrapMode: Text.Wrap
            visible: text !== ""
        }
    }

    ConfirmDialog {
        id: companyQuestion
        objectName: "companyQuestion"
        text: "Is this the correct company?\nIf not, click No and enter a different customer number."
        onAccepted: {
            var reply = String(cloud.confirmedBusiness(emailField.text, numberField.text, passwordField.text))
            // only a confirmation that went through has created the account
            if (reply === "" && String(staticSettings.value("regem_s", "")) !== "") {
                showCreated()
            } else {
                createdOk = false
                resultBox.heading = title
                resultBox.show(reply !== "" ? reply : "The account could not be created.", false)
            }
        }
        onRejected: {
            numberField.text = ""
            cloud.unregister(false)
        }
    }
    ConfirmDialog {
        id: forgotConfirm
        standardButtons: Dialog.Ok | Dialog.Cancel
        text: "Press OK to email a temporary password to " + loginEmail.text
        onAccepted: {
            errorText = String(cloud.forgotPassword(loginEmail.text))
            staticSettings.remove("regem_s")
        }
    }
    MessagePopup {
        id: resultBox
        objectName: "resultBox"
        property bool connected: false
        onClosed: {
            if (createdOk)
                registered()
            else if (connected)
                loginSignal()
            connected = false
        }
    }
}

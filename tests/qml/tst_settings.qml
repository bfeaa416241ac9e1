import QtQuick 2.15
import QtQuick.Controls 2.15
import QtTest 1.2

WindowTestCase {
    name: "SettingsRegister"

    // replies of the registration calls, as the controller gives them
    QtObject {
        id: fakeCloud
        property string registerReply: ""
        property string confirmReply: ""
        property bool confirmRegisters: true
        property int unregistered: 0
        function registerAtLTA(email, number, password, login) { return registerReply }
        function confirmedBusiness(email, number, password) {
            if (confirmRegisters)
                staticSettings.setValue("regem_s", email)
            return confirmReply
        }
        function registerStaff(code) { return "Connected to Acme" }
        function forgotPassword(email) { return "" }
        function unregister(quit) { ++unregistered }
        function lastMessage() { return "" }
    }

    function openRegister() {
        registered()
        staticSettings.remove("regem_s")
        openWindow()
        compare(window.stateGroup.state, "RegisterState")
        var screen = window.registerScreen
        screen.cloud = fakeCloud
        findChild(screen, "choiceNew").checked = true
        findChild(screen, "nextButton").clicked()
        compare(screen.form, 1)
        return screen
    }

    function fillNew(screen) {
        typeInto(screen.numberField, "c12345")
        compare(screen.numberField.text, "C12345")
        verify(!screen.createButton.enabled)
        typeInto(screen.numberField, "c123456")
        screen.emailField.text = "owner@acme.example"
        screen.passwordField.text = "Secret#99"
        screen.password2Field.text = "Secret#99"
        verify(screen.createButton.enabled)
    }

    function test_createdOnlyAfterConfirmation() {
        var screen = openRegister()
        fillNew(screen)
        // an empty reply is not an account
        fakeCloud.registerReply = ""
        screen.createButton.clicked()
        tryCompare(screen.resultBox, "opened", true)
        verify(!screen.createdOk)
        screen.resultBox.close()
        compare(window.stateGroup.state, "RegisterState")

        // the company is asked about; No unregisters and clears the number
        fakeCloud.registerReply = "Company Name:<br>Acme"
        screen.createButton.clicked()
        tryCompare(screen.companyQuestion, "opened", true)
        screen.companyQuestion.reject()
        compare(screen.numberField.text, "")
        compare(fakeCloud.unregistered, 1)

        // Yes with a failed confirmation
        fillNew(screen)
        fakeCloud.confirmRegisters = false
        fakeCloud.confirmReply = "Failed to store the password"
        screen.createButton.clicked()
        tryCompare(screen.companyQuestion, "opened", true)
        screen.companyQuestion.accept()
        tryCompare(screen.resultBox, "opened", true)
        verify(!screen.createdOk)
        screen.resultBox.close()
        compare(window.stateGroup.state, "RegisterState")

        fakeCloud.confirmRegisters = true
        fakeCloud.confirmReply = ""
        screen.createButton.clicked()
        tryCompare(screen.companyQuestion, "opened", true)
        screen.companyQuestion.accept()
        tryCompare(screen.resultBox, "opened", true)
        verify(screen.createdOk)
        screen.resultBox.close()
        tryCompare(window.stateGroup, "state", "SettingStateLTA")
    }

    function test_codeLogin() {
        var screen = openRegister()
        screen.form = 3
        typeInto(screen.codeField, "AB12")
        verify(!screen.codeButton.enabled)
        typeInto(screen.codeField, "AB123")
        screen.codeButton.clicked()
        tryCompare(screen.resultBox, "opened", true)
        screen.resultBox.close()
        tryCompare(window.stateGroup, "state", "Home")
    }

    function test_settingsRanges() {
        registered()
        iniSettings.setValue("markup_d", "100")
        iniSettings.remove("d2r_i")
        openWindow()
        // the sync runs before the screen reads the settings
        window.dcloudComms = Qt.createQmlObject('import QtQuick 2.15; QtObject { property string syncResult: "Last sync OK"; '
            + 'function syncSettings() { iniSettings.setValue("markup_d", "150") } }', fakeCloud)
        child("settingsButton").clicked()
        compare(window.stateGroup.state, "SettingStateLTA")
        var screen = window.settingsScreen
        screen.pricesBox.checked = true
        compare(screen.markupField.text, "150")
        compare(screen.daysField.text, "180")

        typeInto(screen.daysField, "3650")
        compare(screen.daysField.text, "365")
        typeInto(screen.daysField, "59")
        screen.saveButton.clicked()
        compare(window.stateGroup.state, "SettingStateLTA")
        tryCompare(screen.message, "opened", true)
        screen.message.close()
        compare(iniSettings.value("d2r_i", "unset"), "unset")

        typeInto(screen.daysField, "90")
        screen.markupField.text = "901"
        screen.saveButton.clicked()
        compare(window.stateGroup.state, "SettingStateLTA")
        tryCompare(screen.message, "opened", true)
        screen.message.close()

        screen.markupField.text = "900"
        screen.saveButton.clicked()
        compare(window.stateGroup.state, "Home")
        compare(Number(iniSettings.value("d2r_i")), 90)
        compare(String(iniSettings.value("markup_d")), "900")
        window.dcloudComms = null
    }

    // a failed installer download leaves "Update..." usable again
    function test_updateAfterFailedDownload() {
        registered()
        localSettings.setValue("currver", lta_ver + 1)
        localSettings.setValue("installurl", "http://127.0.0.1:9/lattica-setup")
        openWindow()
        var popup = window.newsPopup
        tryCompare(popup, "opened", true)
        var update = findChild(popup.contentItem, "updateButton")
        verify(update.visible)
        update.clicked()
        verify(!update.enabled)
        tryVerify(function() { return update.enabled }, 10000)
        verify(popup.downloadError !== "")
        findChild(popup.contentItem, "newsClose").clicked()
        tryCompare(popup, "opened", false)
        localSettings.remove("currver")
    }

    function test_staff() {
        registered()
        openWindow()
        child("settingsButton").clicked()
        var screen = window.settingsScreen
        findChild(screen, "staffEdit").clicked()
        var form = screen.staffForm
        verify(form.visible)
        var before = form.list.count
        findChild(form, "addSurveyor").clicked()
        var dialog = form.editDialog
        tryCompare(dialog, "opened", true)
        dialog.idField.text = "JB"
        dialog.nameField.text = "Jo Bloggs"
        verify(dialog.save())
        compare(form.list.count, before + 1)
        verify(findChild(screen, "staffNames").text.indexOf("JB") >= 0)
        // the same short name twice is refused with the reason
        findChild(form, "addSurveyor").clicked()
        tryCompare(dialog, "opened", true)
        dialog.idField.text = "jb"
        verify(!dialog.save())
        verify(dialog.error !== "")
        dialog.close()
        compare(form.list.count, before + 1)
    }
}

import QtQuick 2.15
import QtQuick.Controls 2.15
import QtTest 1.2

WindowTestCase {
    name: "SettingsRegister"

    // replies of the registration and account calls, as the controller gives them
    QtObject {
        id: fakeCloud
        property string registerReply: ""
        property string confirmReply: ""
        property bool confirmRegisters: true
        property int unregistered: 0
        property var calls: []
        property string resetReply: ""
        property bool logsOk: false
        property string message: ""
        function registerAtLTA(email, number, password, login) { return registerReply }
        function confirmedBusiness(email, number, password) {
            if (confirmRegisters)
                staticSettings.setValue("regem_s", email)
            return confirmReply
        }
        function registerStaff(code) { return "Connected to Acme" }
        function forgotPassword(email) { calls.push("forgot " + email); return "Sent to " + email }
        function resetPassword(current, changed, force) { calls.push([current, changed, force].join(" ")); return resetReply }
        function unregister(quit) { ++unregistered }
        function sendLogs() { return logsOk }
        function lastMessage() { return message }
    }

    function openControllerSettings(controller) {
        staticSettings.setValue("controller", controller)
        var screen = openSettings()
        screen.cloud = fakeCloud
        return screen
    }

    function openRegister() {
        staticSettings.remove("regem_s")
        openWindow()
        compare(window.stateGroup.state, "RegisterState")
        var screen = window.registerScreen
        screen.cloud = fakeCloud
        findChild(screen, "choiceNew").checked = true
        click(findChild(screen, "nextButton"))
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
        // the company is asked about; No unregisters and clears the number
        fakeCloud.registerReply = "Company Name:<br>Acme"
        click(screen.createButton)
        tryCompare(screen.companyQuestion, "opened", true)
        screen.companyQuestion.reject()
        compare(screen.numberField.text, "")
        compare(fakeCloud.unregistered, 1)
        fillNew(screen)

        // [reply, confirmation's reply (null: no question), account made]: an
        // empty reply and a failed confirmation are no account
        for (var row of [["", null, false], ["Company Name:<br>Acme", "Failed to store the password", false],
                         ["Company Name:<br>Acme", "", true]]) {
            fakeCloud.registerReply = row[0]
            fakeCloud.confirmReply = row[1] || ""
            fakeCloud.confirmRegisters = row[2]
            click(screen.createButton)
            if (row[1] !== null) {
                tryCompare(screen.companyQuestion, "opened", true)
                screen.companyQuestion.accept()
            }
            tryCompare(screen.resultBox, "opened", true)
            compare(screen.createdOk, row[2])
            screen.resultBox.close()
            tryCompare(window.stateGroup, "state", row[2] ? "SettingStateLTA" : "RegisterState")
        }
    }

    function test_codeLogin() {
        var screen = openRegister()
        screen.form = 3
        typeInto(screen.codeField, "AB12")
        verify(!screen.codeButton.enabled)
        typeInto(screen.codeField, "AB123")
        click(screen.codeButton)
        tryCompare(screen.resultBox, "opened", true)
        screen.resultBox.close()
        tryCompare(window.stateGroup, "state", "Home")
    }

    function test_settingsRanges() {
        iniSettings.setValue("markup_d", "100")
        iniSettings.remove("d2r_i")
        openWindow()
        // the sync runs before the screen reads the settings
        window.dcloudComms = Qt.createQmlObject('import QtQuick 2.15; QtObject { property string syncResult: "Last sync OK"; '
            + 'function syncSettings() { iniSettings.setValue("markup_d", "150") } }', fakeCloud)
        click(child("settingsButton"))
        var screen = window.settingsScreen
        screen.pricesBox.checked = true
        compare(screen.markupField.text, "150")
        compare(screen.daysField.text, "180")

        typeInto(screen.daysField, "3650")
        compare(screen.daysField.text, "365")
        function refused() {
            click(screen.saveButton)
            compare(window.stateGroup.state, "SettingStateLTA")
            tryCompare(screen.message, "opened", true)
            screen.message.close()
        }
        typeInto(screen.daysField, "59")
        refused()
        compare(iniSettings.value("d2r_i", "unset"), "unset")
        typeInto(screen.daysField, "90")
        screen.markupField.text = "901"
        refused()

        screen.markupField.text = "900"
        click(screen.saveButton)
        compare(window.stateGroup.state, "Home")
        compare(Number(iniSettings.value("d2r_i")), 90)
        compare(String(iniSettings.value("markup_d")), "900")
        window.dcloudComms = null
    }

    // a failed installer download leaves "Update..." usable again
    function test_updateAfterFailedDownload() {
        localSettings.setValue("currver", lta_ver + 1)
        localSettings.setValue("installurl", "http://127.0.0.1:9/lattica-setup")
        openWindow()
        var popup = window.newsPopup
        tryCompare(popup, "opened", true)
        var update = findChild(popup.contentItem, "updateButton")
        verify(update.visible)
        click(update)
        verify(!update.enabled)
        tryVerify(function() { return update.enabled }, 10000)
        verify(popup.downloadError !== "")
        click(findChild(popup.contentItem, "newsClose"))
        tryCompare(popup, "opened", false)
        localSettings.remove("currver")
    }

    function test_staff() {
        var screen = openControllerSettings(true)
        click(findChild(screen, "staffEdit"))
        var form = screen.staffForm
        verify(form.visible)
        var before = form.list.count
        click(findChild(form, "addSurveyor"))
        var dialog = form.editDialog
        tryCompare(dialog, "opened", true)
        dialog.idField.text = "JB"
        dialog.nameField.text = "Jo Bloggs"
        verify(dialog.save())
        compare(form.list.count, before + 1)
        verify(findChild(screen, "staffNames").text.indexOf("JB") >= 0)
        // the same short name twice is refused with the reason
        click(findChild(form, "addSurveyor"))
        tryCompare(dialog, "opened", true)
        dialog.idField.text = "jb"
        verify(!dialog.save())
        verify(dialog.error !== "")
        dialog.close()
        compare(form.list.count, before + 1)
    }

    function test_changePassword() {
        var screen = openControllerSettings(true)
        click(findChild(screen, "changePassword"))
        var dialog = screen.passwordDialog
        tryCompare(dialog, "opened", true)
        dialog.currentField.text = "Old#pass1"
        dialog.newField.text = "Newpass1"
        verify(dialog.strong)
        verify(!dialog.okButton.enabled, "not re-entered")
        dialog.againField.text = "Newpass1"
        verify(dialog.okButton.enabled)
        // a refusal is shown in the dialog, which stays open
        fakeCloud.calls = []
        fakeCloud.resetReply = "Incorrect password"
        click(dialog.okButton)
        compare(dialog.reply, "Incorrect password")
        verify(dialog.replyIsError && dialog.opened)
        click(dialog.forgotButton)
        compare(dialog.reply, "Sent to surveyor@example.com")
        fakeCloud.resetReply = ""
        click(dialog.okButton)
        tryCompare(dialog, "opened", false)
        compare(fakeCloud.calls, ["Old#pass1 Newpass1 false", "forgot surveyor@example.com", "Old#pass1 Newpass1 false"])
    }

    // strength is shown, never enforced: [a new account's rule, a changed password's]
    function test_passwordStrength() {
        var rows = {"abc12#x": [true, false], "Abcdef12": [true, true], "abcdef1#": [true, false], "Abcdefgh": [false, false],
                    "ABCDEF12": [false, false], "Ab1#xy": [false, false], "Abcdefgh12345678x": [false, false]}
        for (var pwd in rows)
            compare([screenTools.accountPasswordStrong(pwd), screenTools.changedPasswordStrong(pwd)], rows[pwd], pwd)
    }

    function test_nonController() {
        var screen = openControllerSettings(false)
        compare(screen.saveButton.text, "Exit")
        for (var name of ["accountCombo", "staffNames", "changePassword"])
            verify(!findChild(screen, name).visible, name)
        verify(!screen.betaBox.visible)
    }

    function test_linksBetaAndLogs() {
        staticSettings.setValue("cuo_b", true)
        localSettings.setValue("betaCode", "2468")
        localSettings.setValue("termsurl", "https://terms.example/heldon")
        var prefix = screenTools.reviewLinkPrefix()
        iniSettings.setValue("cuo_s", prefix + "old")
        var screen = openControllerSettings(true)
        compare(screen.reviewField.text, prefix + "old")
        // any web page can be tried, nothing else is opened
        for (var link of ["https://elsewhere.example/acme-shutters", "javascript:alert(document.cookie)//long enough"]) {
            typeInto(screen.reviewField, link)
            click(screen.reviewTest)
        }
        click(findChild(screen, "termsButton"))
        click(findChild(screen, "openLogs"))
        var opened = testTools.opened()
        compare(opened.slice(0, 2), ["https://elsewhere.example/acme-shutters", "https://terms.example/heldon"])
        verify(/^file:\/\/\/.*\/logs\/?$/.test(opened[2]), opened)
        compare(opened.length, 3)
        typeInto(screen.reviewField, prefix)
        verify(!screen.reviewTest.enabled)

        // the beta option needs its code
        screen.betaBox.checked = true
        screen.betaBox.toggled()
        for (var code of ["1357", "2468"]) {
            typeInto(screen.betaCodeField, code)
            compare(screen.betaOn, code === "2468")
        }

        // a failed sending of the logs says why and can be tried again
        fakeCloud.message = "No logs to send"
        for (var ok of [false, true]) {
            fakeCloud.logsOk = ok
            click(screen.logsButton)
            compare(screen.logsResult.text, ok ? "Logs sent OK" : "Send logs to Vexa Support failed: No logs to send")
            compare(screen.logsButton.enabled, !ok)
        }

        // a link elsewhere is not stored
        typeInto(screen.reviewField, "https://elsewhere.example/acme-shutters")
        click(screen.saveButton)
        compare(window.stateGroup.state, "Home")
        compare(String(iniSettings.value("cuo_s")), prefix + "old")
        compare(staticSettings.value("stilesOnlyOpt_b"), true)

        click(child("settingsButton"))
        screen = window.settingsScreen
        verify(screen.betaBox.checked && screen.betaOn)
        typeInto(screen.reviewField, prefix + "acme-shutters")
        screen.betaBox.checked = false
        screen.betaBox.toggled()
        click(screen.saveButton)
        compare(String(iniSettings.value("cuo_s")), prefix + "acme-shutters")
        compare(staticSettings.value("stilesOnlyOpt_b"), false)
        staticSettings.remove("cuo_b")
    }

    function test_typedCustomerNumbers() {
        // an account of its own, whatever the tests before left behind
        staticSettings.setValue("busItems/C123456/a1", "Main Depot|Acme Blinds|1 High St|LS1 1AA|GB|L100")
        staticSettings.setValue("currSuppAccnt", "C123456")
        iniSettings.setValue("suppAccnts_sl", ["C123456"])
        localSettings.remove("multCustNums_b")
        var screen = openControllerSettings(true)
        var combo = screen.accountCombo
        function toggle(on) {
            testTools.keyClick(window, Qt.Key_Asterisk, Qt.ControlModifier)
            tryCompare(screen.message, "opened", true)
            compare(screen.message.text, on ? "Test mode enabled" : "Test mode disabled")
            screen.message.close()
            compare(combo.editable, on)
            compare(localSettings.value("multCustNums_b"), on)
        }
        verify(!combo.editable)
        toggle(true)
        for (var bad of ["C12345", "X1234567", "M123456", "c123456"]) {
            combo.editText = bad
            verify(!combo.contentItem.acceptableInput, bad)
        }
        combo.editText = "C654321"
        verify(combo.contentItem.acceptableInput)
        // addresses that cannot be fetched keep the old account
        combo.accepted()
        verify(screen.accountError !== "")
        compare(combo.currentText, "C123456")
        compare(String(staticSettings.value("currSuppAccnt")), "C123456")
        toggle(false)
    }
}

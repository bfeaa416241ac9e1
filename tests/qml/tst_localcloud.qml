import QtQuick 2.15
import QtTest 1.2

// The screens against the demo's local cloud (object store, the supplier's
// FTP server, the mail catcher): a business registers, refreshes its
// delivery addresses, and an order completed on screen is posted and shows
// in the sent list.
WindowTestCase {
    name: "LocalCloud"

    function test_registerRefreshAndSend() {
        var demo = testTools.startCloud().demo
        verify(demo !== undefined, "the local cloud did not start")
        // a device signed out: nothing left of the other tests' settings
        vexaData.unregister(false)
        openWindow()
        compare(window.stateGroup.state, "RegisterState")
        var register = window.registerScreen
        findChild(register, "choiceNew").checked = true
        click(findChild(register, "nextButton"))
        typeInto(register.numberField, demo.customer.toLowerCase())
        register.emailField.text = demo.email
        register.passwordField.text = demo.password
        register.password2Field.text = demo.password
        click(register.createButton)
        verify(!register.resultBox.opened, register.resultBox.text)
        tryCompare(register.companyQuestion, "opened", true)
        compare(register.companyQuestion.title, "Company Name:<br>" + demo.business)
        register.companyQuestion.accept()
        tryCompare(register.resultBox, "opened", true)
        verify(register.createdOk, register.resultBox.text)
        register.resultBox.close()
        tryCompare(window.stateGroup, "state", "SettingStateLTA")
        compare(String(staticSettings.value("regem_s")), demo.email)

        // the addresses came with the registration; a refresh brings back
        // one dropped here and stamps the time
        var settings = window.settingsScreen
        compare(settings.accountCombo.currentText, demo.customer)
        click(findChild(settings, "businessDetails"))
        var form = settings.businessForm
        var count = form.list.count
        verify(count > 1, "the demo account has several addresses")
        form.removeConfirm.ask(count - 1, "")
        tryCompare(form.removeConfirm, "opened", true)
        form.removeConfirm.accept()
        compare(form.list.count, count - 1)
        staticSettings.setValue(demo.customer + "_lm", "2000-01-01T00:00:00")
        click(findChild(form, "businessRefresh"))
        tryCompare(form.refreshConfirm, "opened", true)
        form.refreshConfirm.accept()
        compare(form.status, "Fetching delivery addresses...")
        tryCompare(form, "status", "", 20000)
        compare(form.list.count, count)
        verify(form.updatedText !== "2000-01-01T00:00", form.updatedText)
        click(findChild(form, "businessBack"))
        click(settings.saveButton)
        compare(window.stateGroup.state, "Home")

        // an order completed on screen; its signature shows again when reopened
        var id = openSample().orderID
        _myOrder.confirmed = true
        window.goTo("Review")
        window.goTo("Complete")
        compare(window.completeScreen.warningText, "")
        verify(!window.completeScreen.businessCombo.visible, "one business: no choice")
        compare(window.completeScreen.businessCombo.currentText, demo.business)
        signOn(window.completeScreen)
        verify(_myOrder.signature.indexOf("data:image/png;base64,") === 0)
        window.goTo("Home")
        verify(_myOrder.loadOrder(id, 0, false))
        window.goTo("Review")
        window.goTo("Complete")
        var complete = window.completeScreen
        verify(findChild(complete, "signatureImage").visible)

        // collection hides the address and drops it
        complete.sendChoice.checked = true
        verify(!complete.okButton.enabled, "no delivery option chosen yet")
        complete.deliveryCombo.currentIndex = 1
        complete.deliveryCombo.activated(1)
        verify(!complete.addressCombo.visible)
        verify(complete.okButton.enabled)
        complete.deliveryCombo.currentIndex = 2
        complete.deliveryCombo.activated(2)
        verify(complete.addressCombo.visible)
        compare(_myOrder.properties.delAddr, complete.addressCombo.currentText)

        // a one-off address: the dialog's own rules decide
        complete.dropBox.checked = true
        complete.dropBox.toggled()
        var dialog = complete.dropDialog
        tryCompare(dialog, "opened", true)
        dialog.nameField.text = "Bob Lee"
        typeInto(dialog.postcodeField, "mk9 3qa")
        compare(dialog.postcodeField.text, "MK9 3QA")
        for (var phone of ["07700 90012", "07700 900123"]) {
            typeInto(dialog.phoneField, phone)
            compare(dialog.valid, phone.length === 12, "ten digits are too few")
        }
        compare(dialog.phoneField.text, "07700900123")
        dialog.accept()
        tryCompare(dialog, "visible", false)
        verify(complete.dropUsed, "a short but complete address is in use")
        compare(_myOrder.properties.da_used, true)

        // a failed save keeps the screen and the order
        var queued = testTools.ordersFolder() + "post/" + id
        click(complete.okButton)
        tryCompare(complete.confirm, "opened", true)
        verify(testTools.blockPath(queued))
        complete.confirm.accept()
        compare(window.stateGroup.state, "Complete")
        compare(_myOrder.orderID, id)
        tryCompare(complete.message, "opened", true)
        complete.message.close()
        verify(testTools.remove(queued))

        // sent: queued, posted for real, listed as sent
        click(complete.okButton)
        tryCompare(complete.confirm, "opened", true)
        complete.confirm.accept()
        compare(window.stateGroup.state, "SavedOrders")
        compare(_myOrder.orderID, "")
        var list = window.ordersScreen
        tryCompare(list, "isPosting", false, 60000)
        compare(list.resultText, "")
        tryCompare(list.columnView(4), "count", 1)
        compare(list.columnView(3).count, 0)
        var posted = testTools.readOrder(testTools.ordersFolder() + "posted/" + id)
        verify(String(posted.sig).indexOf("data:image/png;base64,") === 0)
        verify(!posted.toCust)

        // the same business signs in on a device signed out
        closeWindow()
        vexaData.unregister(false)
        verify(String(staticSettings.value("regem_s", "")) === "")
        openWindow()
        compare(window.stateGroup.state, "RegisterState")
        register = window.registerScreen
        findChild(register, "choiceLogin").checked = true
        click(findChild(register, "nextButton"))
        typeInto(register.loginEmail, demo.email.toUpperCase())
        register.loginPassword.text = demo.password + "x"
        click(register.loginButton)
        verify(register.errorText !== "", "a wrong password is refused")
        compare(window.stateGroup.state, "RegisterState")
        register.loginPassword.text = demo.password
        click(register.loginButton)
        compare(register.errorText, "")
        compare(window.stateGroup.state, "Home")
        compare(String(staticSettings.value("regem_s")), demo.email)
    }
}

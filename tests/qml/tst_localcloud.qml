import QtQuick 2.15
import QtTest 1.2

// The screens against the demo's local cloud (object store, the supplier's
// FTP server, the mail catcher): a business registers, refreshes its
// delivery addresses, and an order completed on screen is posted and shows
// in the sent list.
WindowTestCase {
    name: "LocalCloud"
    property var demo: null

    function initTestCase() {
        demo = testTools.startCloud().demo
        verify(demo !== undefined, "the local cloud did not start")
    }

    function test_registerRefreshAndSend() {
        // a device signed out: nothing left of the other tests' settings
        vexaData.unregister(false)
        openWindow()
        compare(window.stateGroup.state, "RegisterState")
        var register = window.registerScreen
        findChild(register, "choiceNew").checked = true
        findChild(register, "nextButton").clicked()
        typeInto(register.numberField, demo.customer.toLowerCase())
        register.emailField.text = demo.email
        register.passwordField.text = demo.password
        register.password2Field.text = demo.password
        register.createButton.clicked()
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
        findChild(settings, "businessDetails").clicked()
        var form = settings.businessForm
        var count = form.list.count
        verify(count > 1, "the demo account has several addresses")
        form.removeConfirm.ask(count - 1, "")
        tryCompare(form.removeConfirm, "opened", true)
        form.removeConfirm.accept()
        compare(form.list.count, count - 1)
        staticSettings.setValue(demo.customer + "_lm", "2000-01-01T00:00:00")
        findChild(form, "businessRefresh").clicked()
        tryCompare(form.refreshConfirm, "opened", true)
        form.refreshConfirm.accept()
        compare(form.status, "Fetching delivery addresses...")
        tryCompare(form, "status", "", 20000)
        compare(form.list.count, count)
        verify(form.updatedText !== "2000-01-01T00:00", form.updatedText)
        findChild(form, "businessBack").clicked()
        settings.saveButton.clicked()
        compare(window.stateGroup.state, "Home")

        // an order completed on screen, posted for real
        var sample = testTools.readOrder(testTools.sourcePath("data/sample-order.json"))
        verify(testTools.writeOrder(testTools.ordersFolder() + sample.orderID, sample))
        verify(_myOrder.loadOrder(sample.orderID, 0, false))
        _myOrder.confirmed = true
        window.goTo("Review")
        window.goTo("Complete")
        var complete = window.completeScreen
        compare(complete.businessCombo.currentText, demo.business)
        signOn(complete)
        complete.sendChoice.checked = true
        complete.deliveryCombo.currentIndex = 2
        complete.deliveryCombo.activated(2)
        verify(complete.okButton.enabled)
        complete.okButton.clicked()
        tryCompare(complete.confirm, "opened", true)
        complete.confirm.accept()
        compare(window.stateGroup.state, "SavedOrders")
        var list = window.ordersScreen
        tryCompare(list, "isPosting", false, 60000)
        compare(list.resultText, "")
        tryCompare(list.columnView(4), "count", 1)
        compare(list.columnView(3).count, 0)
        verify(testTools.exists(testTools.ordersFolder() + "posted/" + sample.orderID))
    }
}

import QtQuick 2.15
import QtQuick.Controls 2.15
import QtTest 1.2

// The customer's e-mail address against the demo's local cloud: checked by
// the address service when typed, and asked for again when posting reports
// a mail problem. By pointer and keys only; objects and files are read to check.
WindowTestCase {
    name: "CustomerMail"

    // Tells the mail stand-in how the address service answers.
    function answerChecks(port, replies) {
        var request = new XMLHttpRequest()
        request.open("POST", "http://127.0.0.1:" + port + "/control")
        request.send(JSON.stringify({ replies: replies }))
        tryCompare(request, "readyState", XMLHttpRequest.DONE)
        compare(request.status, 200)
    }

    function apilayer(user, score, smtp) {
        return [200, JSON.stringify({ email: user + "@nowhere.example", user: user, domain: "nowhere.example",
                                      format_valid: true, mx_found: true, smtp_check: smtp, score: score })]
    }

    function typeEmail(address, text) {
        typeInto(address.emailField, text)
        // leaving the field finishes it
        click(address.phoneField)
    }

    function test_customerEmailIsChecked() {
        var cloud = testTools.startCloud()
        verify(cloud.mail !== undefined, "the local cloud did not start")
        answerChecks(cloud.mail, { "tom@nowhere.example": apilayer("tom", 0.48, false),
                                   "ann@nowhere.example": apilayer("ann", 0.96, true) })
        staticSettings.setValue("mailchk_b", true)
        staticSettings.remove("mailChkApi_s")
        staticSettings.setValue("mailChkUrl_s", "http://127.0.0.1:" + cloud.mail + "/api/check")
        openWindow()
        click(child("newOrderButton"))
        var address = window.addressScreen
        var message = findChild(address, "addressMessage")

        typeEmail(address, "tom@nowhere.example")
        tryCompare(message, "opened", true)
        compare(findChild(message.contentItem, "messageText").text, "No mailbox found for: tom")
        compare(_myOrder.mailCheckResult, 1)
        click(findChild(message.contentItem, "messageOk"))
        tryCompare(message, "opened", false)

        // a good address passes without a word
        typeEmail(address, "ann@nowhere.example")
        compare(_myOrder.mailCheckResult, 2)
        verify(!message.opened)

        // with the check switched off nothing is asked
        staticSettings.setValue("mailchk_b", false)
        typeEmail(address, "tom@nowhere.example")
        compare(_myOrder.custEmail, "tom@nowhere.example")
        compare(_myOrder.mailCheckResult, 2)
        verify(!message.opened)
    }

    function buttonWithText(item, text) {
        if (item.text === text && item.clicked !== undefined)
            return item
        for (var i = 0; i < item.children.length; ++i) {
            var found = buttonWithText(item.children[i], text)
            if (found)
                return found
        }
        return null
    }

    function registerDevice() {
        for (var folder of ["post", "posted", "xfer"]) {
            testTools.remove(testTools.ordersFolder() + folder)
            verify(testTools.blockPath(testTools.ordersFolder() + folder))
        }
        var cloud = testTools.startCloud(true)
        verify(cloud.demo !== undefined, "the local cloud did not start")
        var demo = cloud.demo
        vexaData.unregister(false)
        openWindow()
        var register = window.registerScreen
        click(findChild(register, "choiceNew"))
        click(findChild(register, "nextButton"))
        typeInto(register.numberField, demo.customer)
        typeInto(register.emailField, demo.email)
        typeInto(register.passwordField, demo.password)
        typeInto(register.password2Field, demo.password)
        click(register.createButton)
        press(register.companyQuestion, Dialog.Yes)
        tryCompare(register.resultBox, "opened", true)
        verify(register.createdOk, findChild(register.resultBox.contentItem, "messageText").text)
        click(findChild(register.resultBox.contentItem, "messageOk"))
        tryCompare(window.stateGroup, "state", "SettingStateLTA")
        tryVerify(function() { return window.settingsScreen !== null })
        click(window.settingsScreen.saveButton)
        compare(window.stateGroup.state, "Home")
        return cloud
    }

    function queue(id, email) {
        var order = testTools.readOrder(testTools.sourcePath("data/sample-order.json"))
        order.orderID = id
        order.manOrderID = "REF-" + id
        order.custEmail = email
        // as the completion screen leaves it: the business, collected from the supplier
        order.props = { AccountName: "Demo Shutters Ltd", list1sel_s: "Collect" }
        verify(testTools.writeOrder(testTools.ordersFolder() + "post/" + id, order))
    }

    // Two queued orders whose tracking copies fail: the list stays busy
    // until the chain ends, and the dialog is about the order the result
    // named, not the empty order on screen.
    function test_mailRetryIsAboutThePostedOrder() {
        var cloud = registerDevice()
        queue("MAIL-1", "ann@example.com")
        queue("MAIL-2", "bob@example.com")
        verify(testTools.writeOrder(cloud.s3Faults, { failPut: "/jbs/" }))

        var list = window.ordersScreen
        var busy = []
        var watch = function() { busy.push(list.isPosting) }
        list.isPostingChanged.connect(watch)
        click(buttonWithText(window.contentItem, "Send Orders"))
        compare(window.stateGroup.state, "SavedOrders")
        var dialog = list.emailDialog
        tryCompare(dialog, "opened", true, 60000)
        list.isPostingChanged.disconnect(watch)
        compare(busy, [true, false], "one busy stretch for the whole chain")
        // both orders went before the question came
        compare(testTools.files(testTools.ordersFolder() + "posted", "MAIL-*"), ["MAIL-1", "MAIL-2"])
        compare(testTools.files(testTools.ordersFolder() + "post", "MAIL-*"), [])
        verify(dialog.info.indexOf("mail") >= 0, dialog.info)
        compare(dialog.emailField.text, "ann@example.com")
        var send = findChild(dialog.contentItem, "emailSend")
        verify(!send.enabled, "an unchanged address is not sent again")

        // the store works again; the corrected address goes with the order
        verify(testTools.writeOrder(cloud.s3Faults, {}))
        typeInto(dialog.emailField, "ann.smith@example.com")
        verify(send.enabled)
        click(send)
        tryCompare(dialog, "opened", false)
        verify(!findChild(list, "ordersMessage").opened, "nothing failed to save")
        tryCompare(list, "isPosting", false, 60000)
        compare(list.resultText, "")
        compare(testTools.files(testTools.ordersFolder() + "post", "MAIL-*"), [])
        var posted = testTools.readOrder(testTools.ordersFolder() + "posted/MAIL-1")
        compare(posted.custEmail, "ann.smith@example.com")
        compare(posted.manOrderID, "REF-MAIL-1")
        compare(testTools.readOrder(testTools.ordersFolder() + "posted/MAIL-2").custEmail, "bob@example.com")
        // the screen's own order was left alone
        compare(_myOrder.orderID, "")
        var mails = testTools.readMails(cloud.emlDir)
        compare(mails.filter(function(m) { return m.subject.indexOf("REF-MAIL-1") >= 0 }).length, 4,
                "supplier and confirmation mails, twice")
        // the other screen tests count the sent orders
        for (var id of ["MAIL-1", "MAIL-2"])
            verify(testTools.remove(testTools.ordersFolder() + "posted/" + id))
    }
}

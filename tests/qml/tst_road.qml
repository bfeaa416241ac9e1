import QtQuick 2.15
import QtQuick.Controls 2.15
import QtTest 1.2

// The surveyor's whole road through the real window, by pointer and keys
// only, against the demo's local cloud: register, set up prices and rooms,
// survey three shutters in two rooms, review, complete and send. Objects and
// files are read only to check.
WindowTestCase {
    name: "SurveyorsRoad"

    property var demo: null

    function registerDevice() {
        // a device of its own: nothing queued by the other screen tests
        for (var folder of ["post", "posted", "xfer"]) {
            testTools.remove(testTools.ordersFolder() + folder)
            verify(testTools.blockPath(testTools.ordersFolder() + folder))
        }
        demo = testTools.startCloud(true).demo
        verify(demo !== undefined, "the local cloud did not start")
        vexaData.unregister(false)
        openWindow()
        compare(window.stateGroup.state, "RegisterState")
        var register = window.registerScreen
        click(findChild(register, "choiceNew"))
        click(findChild(register, "nextButton"))
        typeInto(register.numberField, demo.customer.toLowerCase())
        typeInto(register.emailField, demo.email)
        typeInto(register.passwordField, demo.password)
        typeInto(register.password2Field, demo.password)
        click(register.createButton)
        verify(!register.resultBox.opened, register.resultBox.text)
        press(register.companyQuestion, Dialog.Yes)
        tryCompare(register.resultBox, "opened", true)
        verify(register.createdOk, findChild(register.resultBox.contentItem, "messageText").text)
        click(findChild(register.resultBox.contentItem, "messageOk"))
        tryCompare(window.stateGroup, "state", "SettingStateLTA")
        tryVerify(function() { return window.settingsScreen !== null })
    }

    function fileItems(id) {
        var file = testTools.readOrder(testTools.ordersFolder() + id)
        return file.items || []
    }

    function option(fileItem, group) {
        var options = fileItem.options || []
        for (var i = 0; i < options.length; ++i)
            if (options[i].group === group)
                return options[i]
        return null
    }

    function test_road() {
        registerDevice()

        // settings: prices on with the business's markup, and one more room
        var settings = window.settingsScreen
        var rooms = roomNamesCBModel.comboList.slice(0, -1)
        compare(settings.roomsField.text, rooms.join(", "), "the field shows the rooms the survey offers")
        click(findChild(settings, "pricesBox"))
        typeInto(settings.markupField, "120")
        click(findChild(settings, "roomsEdit"))
        tryCompare(settings.roomsDialog, "opened", true)
        click(settings.roomsDialog.editor)
        keyClick(Qt.Key_End, Qt.ControlModifier)
        typeKeys("\nLoft Room\n\n")
        press(settings.roomsDialog, Dialog.Ok)
        verify(settings.roomsField.text.indexOf(", Loft Room") > 0, settings.roomsField.text)
        click(settings.saveButton)
        compare(window.stateGroup.state, "Home")
        var ini = testTools.readText(testTools.dataFolder() + "/st/lta.ini")
        verify(ini.indexOf("@Variant") < 0 && ini.indexOf("Loft Room") > 0, ini)

        // the toolbar works on the first run after registration
        click(child("newOrderButton"))
        compare(window.stateGroup.state, "Customer")
        click(child("homeButton"))
        compare(window.stateGroup.state, "Home")
        click(child("settingsButton"))
        compare(window.stateGroup.state, "SettingStateLTA")
        tryVerify(function() { return window.settingsScreen !== null })
        compare(window.settingsScreen.markupField.text, "120")
        click(window.settingsScreen.saveButton)
        compare(window.stateGroup.state, "Home")

        // the order information, typed
        click(child("newOrderButton"))
        var id = _myOrder.orderID
        var address = window.addressScreen
        typeInto(address.orderRefField, "ROAD-1")
        typeInto(address.customerField, "mr tom baker\n3 Mill Lane\nOlney\nmk46 4aa")
        typeInto(address.emailField, "tom.baker@example.com")
        typeInto(address.phoneField, "01234 555666")
        click(address.nextButton)
        compare(window.stateGroup.state, "Capture")
        compare([_myOrder.manOrderID, _myOrder.custEmail, _myOrder.custPhone], ["ROAD-1", "tom.baker@example.com", "01234 555666"])

        // shutter 1: a T-post layout, priced from the catalogue at once
        var capture = window.captureScreen
        choose(capture.roomDialog.combo, "Kitchen")
        press(capture.roomDialog, Dialog.Ok)
        var first = _myOrder.getVexaOrderItem()
        compare([first.bl_product, first.bl_supplier !== "", first.bl_range !== "", first.bl_color !== ""],
                ["Lattica", true, true, true])
        typeInto(capture.widthField, "1450")
        compare(first.bl_width, 1450)
        typeInto(capture.heightField, "1200")
        compare(first.bl_drop, 1200)
        typeInto(capture.panelField, "lrtlr")
        compare(capture.panelField.text, "LRTLR")
        compare(capture.tpostRepeater.count, 1)
        typeInto(capture.tpostRepeater.itemAt(0), "725")
        compare(first.dataMap.TPost1, 725)
        verify(Number(capture.priceField.text) > 0, "a catalogue price: " + capture.priceField.text)
        // the drawing beside the fields follows the typing
        var svg = Qt.atob(capture.drawing.source.split(",")[1])
        verify(svg.indexOf('class="tpost"') > 0 && svg.indexOf('data-x="725"') > 0, svg)
        compare(svg.split('class="panel"').length - 1, 4)
        verify(_myOrder.warning.indexOf("Frame Style: You must make a selection") >= 0, _myOrder.warning)
        // the file holds the typed values before the field is left
        tryVerify(function() {
            var saved = fileItems(id)[0]
            return saved && saved.width === 1450 && saved.drop === 1200 && saved.data
                   && saved.data.PanelConfig === "LRTLR" && Number(saved.data.TPost1) === 725
        }, 3000, "the typed values reach the file")

        // shutter 2: wide; 9000 warns, then the real width
        click(capture.newShutterButton)
        var second = _myOrder.getVexaOrderItem()
        verify(second !== first)
        compare(second.bl_product, "Lattica")
        typeInto(capture.widthField, "9000")
        compare(second.bl_width, 9000)
        verify(_myOrder.warning.indexOf("Width is greater than the range maximum") >= 0, _myOrder.warning)
        verify(capture.flatPack.checked && !capture.preAssembled.enabled, "9000 wide is flat-packed only")
        typeInto(capture.widthField, "2400")
        compare(second.bl_width, 2400)
        typeInto(capture.heightField, "1500")
        typeInto(capture.panelField, "LLRR")
        choose(capture.frameStyleCombo, "Classic")
        verify(Number(capture.priceField.text) > 0)
        verify(_myOrder.warning.indexOf("range maximum") < 0, _myOrder.warning)

        // shutter 3 in a room of its own, with options chosen in the combos
        click(capture.newRoomButton)
        choose(capture.roomDialog.combo, "Loft Room")
        press(capture.roomDialog, Dialog.Ok)
        compare(_myOrder.currentRoom, "Loft Room")
        var third = _myOrder.getVexaOrderItem()
        typeInto(capture.widthField, "1100")
        typeInto(capture.heightField, "1300")
        typeInto(capture.panelField, "LR")
        choose(capture.louvreCombo, "89mm")
        choose(capture.colourCombo, "Silk White")
        choose(capture.styleCombo, "Tier on Tier")
        choose(capture.frameStyleCombo, "Veza Vedur Bay Frame")
        verify(capture.bayWindow.visible, "bay posts are offered with a bay frame")
        click(capture.bayWindow)
        typeInto(capture.bay90Field, "2")
        compare(third.getOptionGroup("Bay Posts 90deg").multiple, 2)
        verify(Number(capture.priceField.text) > 0)
        var loft = null
        tryVerify(function() {
            loft = fileItems(id).filter(function(i) { return i.room === "Loft Room" })[0]
            var bay = loft ? option(loft, "Bay Posts 90deg") : null
            return bay !== null && bay.mult === 2
        }, 3000, "the bay posts reach the file")
        compare(option(loft, "Louvre Size").description, "89mm")
        compare(option(loft, "Frame Style").description, "Veza Vedur Bay Frame")

        // the calculator opens with the settings' markup and VAT
        click(capture.calcButton)
        var calc = capture.priceCalcDialog
        tryCompare(calc, "opened", true)
        compare(calc.markupField.text, "120.00")
        compare(calc.vatCombo.currentText, "20")
        press(calc, Dialog.Cancel)

        // review: discount and deposit are saved as typed, without leaving
        click(child("reviewButton"))
        compare(window.stateGroup.state, "Review")
        var review = window.reviewScreen
        if (!review.detailsBox.checked)
            click(review.detailsBox)
        typeInto(review.discountField, "10")
        typeInto(review.depositField, "200")
        tryVerify(function() {
            var f = testTools.readOrder(testTools.ordersFolder() + id)
            return Number(f.discount) === 10 && Number(f.deposit) === 200
        }, 5000, "discount and deposit reach the file")
        compare(findChild(review.itemList.itemAtIndex(0), "reviewDrawing").visible, true)
        click(findChild(review, "quotePdfButton"))
        var opened = testTools.opened()
        compare(opened.length, 1)
        verify(/\.pdf$/.test(opened[0]), opened)

        // completion is blocked while shutter 1 has no frame style
        verify(!review.quoteBox.checked, "a new order is an order, not a quote")
        click(child("completeButton"))
        compare(window.stateGroup.state, "Complete")
        var complete = window.completeScreen
        compare(complete.warningText, "You must correct errors before sending the order")
        verify(!complete.sendChoice.enabled)

        click(child("surveyButton"))
        capture = window.captureScreen
        click(capture.roomList.itemAtIndex(0))
        compare(_myOrder.currentRoom, "Kitchen")
        choose(capture.frameStyleCombo, "Deco Z Frame")
        compare(_myOrder.numWarns, 0, _myOrder.warning)
        click(child("reviewButton"))
        click(child("completeButton"))
        complete = window.completeScreen
        compare(complete.warningText, "")
        signOn(complete)
        click(complete.sendChoice)
        choose(complete.deliveryCombo, complete.deliveryCombo.model[1])
        click(complete.okButton)
        press(complete.confirm, Dialog.Yes)
        compare(window.stateGroup.state, "SavedOrders")
        var list = window.ordersScreen
        tryCompare(list, "isPosting", false, 60000)
        compare(list.resultText, "")

        // what the supplier receives names the product and every choice
        var mails = testTools.readMails(testTools.startCloud().emlDir)
        var supplier = mails.filter(function(m) { return m.subject.indexOf("Ref: ROAD-1") >= 0 && m.to.indexOf("orders@supplier.test") >= 0 })
        compare(supplier.length, 1)
        var drop = testTools.startCloud().dropDir
        var xmlFiles = testTools.files(drop, "*.xml")
        compare(xmlFiles.length, 1)
        var xml = testTools.readText(drop + "/" + xmlFiles[0])
        for (var text of ["Lattica", "Silk White", "89mm", "Tier on Tier", "Veza Vedur Bay Frame", "Deco Z Frame", "LRTLR"])
            verify(supplier[0].html.indexOf(text) >= 0, "mail lacks " + text)
        // the portal takes the catalogue's codes
        for (var code of ['ShutterType="Lattica"', 'ShutterColour="CSW"', 'LouvreSize="L89"', 'ShutterStyle="STT"',
                          'FrameStyle="MultiBay"', 'B90="2"', 'FrameStyle="FDZ"', 'PanelConfiguration="LRTLR"',
                          'TPostPositionFirst="725"'])
            verify(xml.indexOf(code) >= 0, "portal XML lacks " + code + ":\n" + xml)

        // the shared settings read back without a warning
        var cli = testTools.runCli(["price", "--data", testTools.dataFolder(), testTools.ordersFolder() + "posted/" + id])
        compare(cli.code, 0, cli.err)
        verify(cli.err.indexOf("QVariant") < 0, cli.err)
    }
}

import QtQuick 2.15
import QtQuick.Controls 2.15
import QtTest 1.2

WindowTestCase {
    name: "Capture"

    function startOrder() {
        openWindow()
        compare(window.stateGroup.state, "Home")
        click(child("newOrderButton"))
        compare(window.stateGroup.state, "Customer")
        verify(_myOrder.orderID !== "")
        return window.addressScreen
    }

    function pickRoom(capture, name) {
        tryCompare(capture.roomDialog, "opened", true)
        var list = roomNamesCBModel.comboList
        if (list.indexOf(name) >= 0) {
            capture.roomDialog.combo.currentIndex = list.indexOf(name)
            capture.roomDialog.accept()
            return
        }
        capture.roomDialog.combo.currentIndex = list.length - 1   // "add..."
        capture.roomDialog.accept()
        var dialog = capture.newRoomDialog
        tryCompare(dialog, "opened", true)
        dialog.name = "   "
        verify(!dialog.standardButton(Dialog.Ok).enabled, "a blank room name is refused")
        dialog.name = " " + name + " "
        verify(dialog.standardButton(Dialog.Ok).enabled)
        dialog.accept()
    }

    function setSize(capture, width, height) {
        typeInto(capture.widthField, String(width))
        typeInto(capture.heightField, String(height))
    }

    function test_wholeCapture() {
        var address = startOrder()
        var id = _myOrder.orderID
        typeInto(address.orderRefField, "REF-42")
        address.customerField.text = "John Smith\n1 High Street\nTownley\nAB1 2CD\n01234 567890\njohn@example.com"
        address.customerField.editingFinished()
        compare(address.emailField.text, "john@example.com")
        address.phoneField.text = "07700 900000"
        address.phoneField.editingFinished()
        address.notesField.text = "Gate code 12"
        verify(address.nextButton.enabled)
        click(address.nextButton)
        compare(window.stateGroup.state, "Capture")

        var capture = window.captureScreen
        pickRoom(capture, "Kitchen")
        compare(_myOrder.currentRoom, "Kitchen")
        setSize(capture, 1200, 1300)
        typeInto(capture.panelField, "lrtlr")
        compare(capture.panelField.text, "LRTLR")
        compare(capture.layout.panels, 4)
        compare(capture.tpostRepeater.count, 1)
        compare(capture.layout.astragal, true)
        typeInto(capture.tpostRepeater.itemAt(0), "600")

        click(capture.newRoomButton)
        pickRoom(capture, "Loft Room")
        compare(_myOrder.currentRoom, "Loft Room")
        verify(iniSettings.value("rms_sl").indexOf("Loft Room") >= 0, "a new room joins the business's list")
        setSize(capture, 2700, 1000)
        verify(capture.flatPack.checked)
        verify(!capture.preAssembled.enabled)
        compare(orderItemsModel.count, 2)

        // leaving the survey saves; the file holds what was typed
        window.stateGroup.state = "Home"
        var file = testTools.readOrder(testTools.ordersFolder() + id)
        compare([file.manOrderID, file.custEmail, file.custPhone, file.orderNotes, file.items.length],
                ["REF-42", "john@example.com", "07700 900000", "Gate code 12", 2])
        var kitchen = file.items[0].room === "Kitchen" ? file.items[0] : file.items[1]
        var loft = file.items[0].room === "Kitchen" ? file.items[1] : file.items[0]
        compare([kitchen.width, kitchen.data.PanelConfig, Number(kitchen.data.TPost1), loft.width, loft.data.Flatpack],
                [1200, "LRTLR", 600, 2700, true])

        // cleared and opened again, every field comes back
        _myOrder.clear()
        verify(_myOrder.loadOrder(id, 0, false))
        window.stateGroup.state = "Customer"
        address = window.addressScreen
        compare([address.orderRefField.text, address.emailField.text, address.phoneField.text, address.notesField.text],
                ["REF-42", "john@example.com", "07700 900000", "Gate code 12"])
        verify(address.customerField.text.indexOf("John Smith") === 0)
        window.stateGroup.state = "Capture"
        capture = window.captureScreen
        capture.selectRoom("Kitchen")
        compare([capture.widthField.text, capture.heightField.text, capture.panelField.text, capture.tpostRepeater.itemAt(0).text],
                ["1200", "1300", "LRTLR", "600"])
        capture.selectRoom("Loft Room")
        compare(capture.widthField.text, "2700")
        verify(capture.flatPack.checked)
    }

    function test_closeKeepsTyping() {
        var address = startOrder()
        var id = _myOrder.orderID
        typeInto(address.orderRefField, "CLOSE-1")
        address.customerField.text = "Jane Doe\n2 Low Road"
        address.notesField.text = "typed just now"
        testTools.closeWindow(window)
        var file = testTools.readOrder(testTools.ordersFolder() + id)
        compare(file.manOrderID, "CLOSE-1")
        verify(String(file.custAddr).indexOf("Jane Doe") === 0)
        compare(file.orderNotes, "typed just now")
    }

    // The survey on one item for the typing and size rules.
    function openSurvey() {
        startOrder()
        typeInto(window.addressScreen.orderRefField, "RULES")
        click(window.addressScreen.nextButton)
        var capture = window.captureScreen
        pickRoom(capture, "Hall")
        return capture
    }

    // Every number field of the survey holds what was typed, key by key,
    // in the item and in the order file, while the cursor is still in it.
    function test_numbersAsTyped_data() {
        var style = function(name) { return function(c) { choose(c.styleCombo, name) } }
        var panels = function(text) { return function(c) { typeInto(c.panelField, text) } }
        var bay = function(c) { choose(c.frameStyleCombo, "Veza Vedur Bay Frame"); click(c.bayWindow) }
        var data = function(key) { return function(item) { return item.dataMap[key] } }
        var count = function(group) { return function(item) { return item.getOptionGroup(group).multiple } }
        var inFile = function(key) { return function(f) { return Number(f.data[key]) } }
        var countInFile = function(group) {
            return function(f) { return f.options.filter(function(o) { return o.group === group })[0].mult }
        }
        return [
            { tag: "width", field: "widthField", typed: "1234", held: function(i) { return i.bl_width }, saved: function(f) { return f.width } },
            { tag: "height", field: "heightField", typed: "1234", held: function(i) { return i.bl_drop }, saved: function(f) { return f.drop } },
            { tag: "rail 1", setup: style("Full Height with Divider Rail x 2"), field: "rail1Field", typed: "1234", held: data("DividerRail1"), saved: inFile("DividerRail1") },
            { tag: "rail 2", setup: style("Full Height with Divider Rail x 2"), field: "rail2Field", typed: "1234", held: data("DividerRail2"), saved: inFile("DividerRail2") },
            { tag: "transom", setup: style("Full Height with Transom"), field: "transomField", typed: "1234", held: data("TransomHeight"), saved: inFile("TransomHeight") },
            { tag: "split", setup: style("Tier on Tier no Transom"), field: "splitField", typed: "1234", held: data("SplitHeight"), saved: inFile("SplitHeight") },
            { tag: "tilt split 1", field: "tilt1Field", typed: "1234", held: data("TiltBarSplit1"), saved: inFile("TiltBarSplit1") },
            { tag: "tilt split 2", field: "tilt2Field", typed: "1234", held: data("TiltBarSplit2"), saved: inFile("TiltBarSplit2") },
            { tag: "T-post", setup: panels("LRTLR"), field: "tpost", typed: "725", held: data("TPost1"), saved: inFile("TPost1") },
            { tag: "C-panel", setup: panels("LCR"), field: "cpanel", typed: "612", held: data("CPanel1"), saved: inFile("CPanel1") },
            { tag: "90 bay posts", setup: bay, field: "bay90Field", typed: "17", held: count("Bay Posts 90deg"), saved: countInFile("Bay Posts 90deg") },
            { tag: "135 bay posts", setup: bay, field: "bay135Field", typed: "17", held: count("Bay Posts 135deg"), saved: countInFile("Bay Posts 135deg") },
            { tag: "flexi joints", setup: bay, field: "flexiBayField", typed: "17", held: count("FlexiBayJoint"), saved: countInFile("FlexiBayJoint") }
        ]
    }

    function test_numbersAsTyped(row) {
        var capture = openSurvey()
        typeInto(capture.widthField, "1000")
        typeInto(capture.heightField, "1000")
        if (row.setup)
            row.setup(capture)
        var field = row.field === "tpost" ? capture.tpostRepeater.itemAt(0)
                  : row.field === "cpanel" ? capture.cpanelRepeater.itemAt(0) : capture[row.field]
        typeInto(field, row.typed)
        verify(field.activeFocus, "still typing")
        var item = _myOrder.getVexaOrderItem()
        compare(row.held(item), Number(row.typed))
        var path = testTools.ordersFolder() + _myOrder.orderID
        var saved = null
        tryVerify(function() {
            // the background writer may not have caught up yet
            try {
                saved = row.saved(testTools.readOrder(path).items[0])
            } catch (e) {
                saved = null
            }
            return saved === Number(row.typed)
        }, 3000, "the file holds " + row.typed + ", not " + saved)
    }

    function test_panelTyping_data() {
        return [
            { tag: "lower case with post", typed: "lrtlr", text: "LRTLR", panels: 4, posts: 1, astragal: true },
            { tag: "custom positions", typed: "LCRTLCR", text: "LCRTLCR", panels: 4, posts: 1, astragal: true },
            { tag: "T first", typed: "TLR", text: "LR", panels: 2, posts: 0, astragal: true },
            { tag: "RL", typed: "RL", text: "R", panels: 1, posts: 0, astragal: false },
            { tag: "R L", typed: "R L", text: "R", panels: 1, posts: 0, astragal: false },
            // typed key by key the C is dropped at once, so the L starts afresh
            { tag: "CL", typed: "CL", text: "L", panels: 1, posts: 0, astragal: false },
            { tag: "LLLL", typed: "LLLL", text: "LLL", panels: 3, posts: 0, astragal: false }
        ]
    }

    function test_panelTyping(row) {
        var capture = openSurvey()
        typeInto(capture.panelField, row.typed)
        compare([capture.panelField.text, capture.layout.panels, capture.tpostRepeater.count, capture.layout.astragal],
                [row.text, row.panels, row.posts, row.astragal])
        compare(_myOrder.getVexaOrderItem().dataMap.PanelConfig, row.text === "" ? undefined : row.text)
    }

    function test_assembly_data() {
        return [
            { tag: "1800 after a width edit", width: 1800, height: 1000, flat: true, pre: true, flatOk: true },
            { tag: "2700 wide", width: 2700, height: 1000, flat: true, pre: false, flatOk: true },
            { tag: "2000 x 2000", width: 2000, height: 2000, flat: true, pre: false, flatOk: true },
            { tag: "1000 x 1000", width: 1000, height: 1000, flat: false, pre: true, flatOk: false }
        ]
    }

    function test_assembly(row) {
        var capture = openSurvey()
        typeInto(capture.heightField, String(row.height))
        typeInto(capture.widthField, String(row.width))
        compare([capture.flatPack.checked, capture.preAssembled.enabled, capture.flatPack.enabled], [row.flat, row.pre, row.flatOk])
        compare(_myOrder.getVexaOrderItem().dataMap.Flatpack === true, row.flat)
    }

    function test_removeLastItemClearsForm() {
        var capture = openSurvey()
        click(capture.removeButton)
        tryCompare(capture.removeConfirm, "opened", true)
        capture.removeConfirm.accept()
        compare(_myOrder.currentRoom, "")
        compare(orderItemsModel.count, 0)
        verify(!capture.dataArea.visible)
    }

    function test_frameAndBuildoutRules() {
        // the sample order's items carry the sample catalogue's option groups
        openSample()
        window.stateGroup.state = "Capture"
        var capture = window.captureScreen
        capture.selectRoom("Kitchen")
        verify(capture.styleCombo.present)
        choose(capture.styleCombo, "Full Height")
        verify(capture.frameStyleCombo.enabled)
        choose(capture.frameStyleCombo, "Classic")
        verify(!capture.buildoutRow.visible)
        choose(capture.frameStyleCombo, "Deco Z Frame")
        verify(capture.buildoutRow.visible)

        choose(capture.buildoutCombo, "Custom")
        var dialog = capture.buildoutDialog
        tryCompare(dialog, "opened", true)
        dialog.sideRepeater.itemAt(0).combo.currentIndex = 1
        dialog.sideRepeater.itemAt(3).combo.currentIndex = 4
        dialog.accept()
        var item = _myOrder.getVexaOrderItem()
        compare(item.dataMap.CustomBuildout, "L:12mm R: T: B:50mm")
        compare(item.getOptionGroup("Build Out").description, "Custom")
        choose(capture.buildoutCombo, "All sides 25mm")
        compare(item.dataMap.CustomBuildout, undefined)
    }

    function test_newShutterAndCopyToRoom() {
        var capture = openSurvey()
        setSize(capture, 900, 1000)
        typeInto(capture.panelField, "LTR")
        typeInto(capture.tpostRepeater.itemAt(0), "450")
        appendTo(capture.panelField, "TL")
        compare(capture.panelField.text, "LTRTL")
        compare(capture.tpostRepeater.count, 2)
        compare(capture.tpostRepeater.itemAt(0).text, "450", "a second post keeps the first one's position")
        typeInto(capture.panelField, "LR")
        compare(_myOrder.getVexaOrderItem().dataMap.TPost1, undefined)
        click(capture.newShutterButton)
        compare(roomItemsModel.count, 2)
        compare(capture.itemIndex, 1)
        verify(capture.flatPack.checked, "a new shutter starts as flat-pack")
        compare(capture.widthField.text, "")
        capture.selectItem(0)
        capture.copyItem(false)
        compare(roomItemsModel.get(1).dataMap.PanelConfig, "LR")
        compare(capture.itemIndex, 0)
        compare(capture.panelField.text, "LR")
    }

    function test_closeOnSurveyKeepsTyping() {
        var capture = openSurvey()
        var id = _myOrder.orderID
        typeInto(capture.widthField, "1111")
        testTools.closeWindow(window)
        compare(testTools.readOrder(testTools.ordersFolder() + id).items[0].width, 1111)
    }

    // a close whose save fails says why before the window goes
    function test_closeWithFailedSave() {
        var address = startOrder()
        var target = testTools.ordersFolder() + _myOrder.orderID
        typeInto(address.orderRefField, "LOST")
        verify(testTools.blockPath(target))
        testTools.closeWindow(window)
        verify(window.visible)
        tryCompare(window.messagePopup, "opened", true)
        window.messagePopup.close()
        tryCompare(window, "visible", false)
        verify(testTools.remove(target))
    }
}

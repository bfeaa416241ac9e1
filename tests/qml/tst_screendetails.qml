import QtQuick 2.15
import QtQuick.Controls 2.15
import QtTest 1.2

// The smaller parts of the screens, by pointer and keys: the update popup's
// progress, printing from the document viewer, help texts, the staff screen
// and the survey's removal of a room's last item.
WindowTestCase {
    name: "ScreenDetails"

    // The explanation a help button gives when clicked, as the user reads it.
    function helpOf(button) {
        click(button)
        tryVerify(function() { return button.bubble !== null && button.bubble.visible })
        var text = button.bubble.children[0].text
        click(button)   // and away again
        return text
    }

    function julianToday() {
        var now = new Date()
        return Math.floor(Date.UTC(now.getFullYear(), now.getMonth(), now.getDate()) / 86400000) + 2440588
    }

    function test_updateShowsProgressAndWhereTheInstallerWent() {
        var server = testTools.downloadServer()
        verify(server !== "", "the download server did not start")
        staticSettings.remove("installCmd_s")
        // the update settings publish the installer's checksum with its address
        staticSettings.setValue("installsha256_s", testTools.downloadDigest())
        localSettings.setValue("currver", lta_ver + 1)
        localSettings.setValue("installurl", server + "/files/lattica-setup")
        openWindow()
        var popup = window.newsPopup
        tryCompare(popup, "opened", true)
        var update = findChild(popup.contentItem, "updateButton")
        var rate = findChild(popup.contentItem, "downloadRate")
        var bar = findChild(popup.contentItem, "downloadProgress")
        var saved = findChild(popup.contentItem, "downloadSaved")
        verify(!rate.visible && !bar.visible && !saved.visible)

        // what the user sees each time the rate changes during the download
        var seen = []
        var look = function() { seen.push([rate.visible, rate.text, bar.visible, bar.value]) }
        rate.textChanged.connect(look)
        click(update)
        verify(!update.enabled)
        // a whole download without a command to start it: the user is told where it is
        tryVerify(function() { return saved.visible }, 10000)
        rate.textChanged.disconnect(look)
        compare(seen[seen.length - 1], [true, "Downloading 100%", true, 1])
        seen.forEach(function(s) { compare(s[3] * 100 >= Number(s[1].replace(/\D/g, "")), true, JSON.stringify(s)) })
        var path = String(window.downloadManager.savedPath)
        verify(/lattica-setup.*\.deb$/.test(path), "on Linux the update is the Debian package: " + path)
        verify(testTools.exists(path))
        verify(saved.text.indexOf("The new version was saved to " + path) === 0, saved.text)
        verify(update.enabled && !rate.visible && !bar.visible)
        localSettings.remove("currver")
    }

    function test_printFromTheDocumentViewer() {
        openSample()
        click(child("reviewButton"))
        click(child("completeButton"))
        compare(window.stateGroup.state, "Complete")
        var complete = window.completeScreen
        click(complete.viewButton)
        verify(complete.viewer.visible)
        testTools.opened()
        click(findChild(complete.viewer, "viewerPrint"))
        var opened = testTools.opened()
        compare(opened.length, 1)
        verify(/^file:\/\/.*\/print\/.*Order/.test(opened[0]), opened[0])
        var path = decodeURIComponent(opened[0].replace(/^file:\/\//, ""))
        compare(testTools.readText(path), complete.viewer.html)
        click(findChild(complete.viewer, "viewerClose"))
    }

    function test_registrationHelp() {
        staticSettings.remove("regem_s")
        openWindow()
        compare(window.stateGroup.state, "RegisterState")
        var register = window.registerScreen
        click(findChild(register, "choiceNew"))
        click(findChild(register, "nextButton"))
        var number = helpOf(findChild(register, "numberHelp"))
        verify(number.indexOf("Your Heldon customer (account) number: 'C' followed by 6 digits e.g. 'C123456'\n") === 0, number)
        compare(helpOf(findChild(register, "emailHelp")),
                "Please use a business email rather than a personal email.\n(it is used for resetting your pasword)")
    }

    function test_settingsUserAndStaff() {
        staticSettings.setValue("controller", true)
        staticSettings.setValue("userID_s", "Admin")
        var screen = openSettings()
        compare(findChild(screen, "userNameInfo").text, "Sam (ID=Admin)")
        compare(helpOf(findChild(screen, "staffHelp")),
                "Allow additional surveyor users to connect to your Lattica system.\nSurveyors can create surveys but cannot submit supplier orders.")
        verify(!screen.staffForm.visible)
        click(findChild(screen, "staffNames"))
        verify(screen.staffForm.visible, "a click on the names opens the staff screen")
    }

    function test_staffScreen() {
        var today = julianToday()
        iniSettings.remove("staff")
        iniSettings.setValue("staff/1", "Admin:Sam Admin::")
        iniSettings.setValue("staff/2", "OLD:Old Code:K7Q2P:" + (today - 3))
        iniSettings.setValue("staff/3", "NEW:New Code:M4X9Z:" + today)
        staticSettings.setValue("controller", true)
        var screen = openSettings()
        click(findChild(screen, "staffEdit"))
        var form = screen.staffForm
        verify(form.visible)
        compare(form.list.count, 3)
        var rows = [1, 2].map(function(i) {
            form.list.positionViewAtIndex(i, ListView.Contain)
            return form.list.itemAtIndex(i)
        })
        var old = findChild(rows[0], "codeExpired")
        verify(old.visible)
        compare([old.text, String(old.color), old.font.italic], ["Expired", "#ff0000", true])
        verify(!findChild(rows[1], "codeExpired").visible, "a code of today is not expired")
        compare(findChild(rows[1], "accessCode").text, "M4X9Z")
        compare(helpOf(findChild(rows[1], "newCodeHelp")),
                "An access code allows a user to login to your Lattica system as a Surveyor.\n"
                + "Surveyors can send surveys to other users but cannot submit supplier orders.\nThe access code expires after 1 day.")

        // the store is out of reach: the refusal is shown in red
        click(findChild(rows[0], "newCode"))
        tryCompare(form.codePopup, "opened", true)
        var reply = findChild(form.codePopup.contentItem, "messageText")
        verify(reply.text.indexOf("Failed") === 0, reply.text)
        compare(String(reply.color), "#ff0000")
        click(findChild(form.codePopup.contentItem, "messageOk"))
        tryCompare(form.codePopup, "opened", false)

        // editing: Save waits for a change
        click(findChild(rows[1], "editStaff"))
        var dialog = form.editDialog
        tryCompare(dialog, "opened", true)
        var save = findChild(dialog.contentItem, "staffSave")
        verify(!save.enabled, "nothing changed yet")
        compare(helpOf(findChild(dialog.contentItem, "staffIdHelp")),
                "This is included in the order ref number for orders created by this user.\n"
                + "It allows to you to identify who created the order and ensures they are unique")
        appendTo(dialog.nameField, "r")
        verify(save.enabled)
        click(save)
        tryCompare(dialog, "opened", false)
        verify(String(iniSettings.value("staff/3")).indexOf("NEW:New Coder:") === 0, iniSettings.value("staff/3"))
        iniSettings.remove("staff")
    }

    // Three rooms; the middle one loses its only item.
    function test_removingARoomsLastItemSelectsThePreviousRoom() {
        var sample = testTools.readOrder(testTools.sourcePath("data/sample-order.json"))
        var hall = JSON.parse(JSON.stringify(sample.items[0]))
        hall.room = "Hall"
        sample.items.push(hall)
        sample.orderID = "ROOMS-1"
        verify(testTools.writeOrder(testTools.ordersFolder() + sample.orderID, sample))
        openWindow()
        verify(_myOrder.loadOrder(sample.orderID, 0, false))
        click(child("surveyButton"))
        compare(window.stateGroup.state, "Capture")
        var capture = window.captureScreen
        compare(roomsModel.list(), ["Kitchen", "Living Room", "Hall"])
        tryVerify(function() { return capture.roomList.itemAtIndex(1) !== null }, 3000, "the room tiles are laid out")
        click(capture.roomList.itemAtIndex(1))
        compare(_myOrder.currentRoom, "Living Room")
        click(capture.removeButton)
        press(capture.removeConfirm, Dialog.Yes)
        tryCompare(capture.removeConfirm, "opened", false)
        compare(roomsModel.list(), ["Kitchen", "Hall"])
        compare(_myOrder.currentRoom, "Kitchen")
        compare(_myOrder.getVexaOrderItem().room, "Kitchen")
    }

    // Only a "Vude L" frame takes its applications from the Vude list.
    function test_frameApplicationsOfVudeLFramesOnly() {
        var styles = testTools.dataFolder() + "/V3VexaData/Products/Lattica/Extras/Frame Style.csv"
        var original = testTools.readText(styles)
        verify(original.indexOf("Vude L Frame") > 0, styles)
        verify(testTools.writeText(styles, original.trim() + "\nVude Z Frame,FVZ,fixed,0,,\n"))
        openSample()
        click(child("surveyButton"))
        var capture = window.captureScreen
        choose(capture.frameStyleCombo, "Vude L Frame")
        verify(capture.frameAppCombo.model.indexOf("Vude L 3 Sides") >= 0, capture.frameAppCombo.model)
        choose(capture.frameStyleCombo, "Vude Z Frame")
        verify(capture.frameAppCombo.model.indexOf("Inside Recess") >= 0, capture.frameAppCombo.model)
        verify(capture.frameAppCombo.model.indexOf("Vude L 3 Sides") < 0, capture.frameAppCombo.model)
        verify(testTools.writeText(styles, original))
    }
}

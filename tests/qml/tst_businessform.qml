import QtQuick 2.15
import QtTest 1.2

WindowTestCase {
    name: "BusinessForm"

    readonly property string account: "C123456"

    function storedEntry(id) {
        return String(staticSettings.value("busItems/" + account + "/" + id, "gone"))
    }

    function openForm() {
        staticSettings.setValue("controller", true)
        staticSettings.setValue("currSuppAccnt", account)
        staticSettings.setValue("busItems/" + account + "/a1", "Main Depot|Acme Blinds|1 High St|LS1 1AA|GB|L100")
        staticSettings.setValue("busItems/" + account + "/a2", "Depot|Acme Blinds|2 Low Rd|LS2 2BB|GB|L200")
        iniSettings.setValue("busNames/" + account, "Acme Blinds")
        var screen = openSettings()
        var names = screen.deliveryNames.text.split("\n")
        verify(names.indexOf("Main Depot") >= 0 && names.indexOf("Depot") >= 0, names)
        click(findChild(screen, "businessDetails"))
        var form = screen.businessForm
        verify(form.visible)
        compare(form.account, account)
        return form
    }

    function test_editAddRemove() {
        var form = openForm()
        var manager = form.manager
        // the stored addresses are listed, so nothing is fetched
        compare(form.list.count, 2)
        compare(form.status, "")
        var depot = manager.getIndexFromID("a2")
        compare(manager.getBusinessItem(depot).locationID, "L200")

        // renaming reaches the shared look-ups; an empty name is refused
        var dialog = form.editDialog
        dialog.edit(depot)
        tryCompare(dialog, "opened", true)
        compare(dialog.nameField.text, "Depot")
        dialog.nameField.text = "Back Yard"
        verify(dialog.save())
        compare(String(iniSettings.value(account + "_m/Depot")), "Back Yard")
        verify(manager.delAddressList.indexOf("Back Yard") >= 0)
        dialog.edit(depot)
        tryCompare(dialog, "opened", true)
        dialog.nameField.text = "  "
        verify(!dialog.save())
        compare(dialog.error, manager.error)
        verify(dialog.error !== "")
        dialog.close()
        compare(manager.getBusinessItem(depot).manDeliveryName, "Back Yard")

        // an address added to the account shows in the list; "|" cannot
        // split its stored fields and an empty delivery name is refused
        verify(manager.updateBusiness(-1, "Yard|East", "Acme Blinds", "3 Mill Lane", "LS3 3CC", "GB", "L300", false))
        compare(form.list.count, 3)
        var added = manager.getIDFromIndex(2)
        var fields = storedEntry(added).split("|")
        compare(fields.length, 6)
        compare(fields[0], "Yard/East")
        compare(fields[5], "L300")
        verify(!manager.updateBusiness(-1, "", "Acme Blinds", "", "", "GB", "L400", false))
        compare(form.list.count, 3)

        // removing deletes the stored entry
        form.removeConfirm.ask(2, "Yard/East")
        tryCompare(form.removeConfirm, "opened", true)
        form.removeConfirm.accept()
        compare(form.list.count, 2)
        compare(storedEntry(added), "gone")
        compare(storedEntry("a1").split("|")[0], "Main Depot")

        // back on the settings screen with the new names
        click(findChild(form, "businessBack"))
        verify(!form.visible)
        verify(window.settingsScreen.deliveryNames.text.split("\n").indexOf("Back Yard") >= 0)
    }

    // an account without addresses fetches them on opening; a failure is said in red
    function test_fetchOnOpening() {
        staticSettings.setValue("controller", true)
        var screen = openSettings()
        var form = screen.businessForm
        form.manager.setSuppAccnt("C777777")
        click(findChild(screen, "businessDetails"))
        compare(form.account, "C777777")
        compare(form.status, "Fetching delivery addresses...")
        tryCompare(form, "statusIsError", true)
        verify(form.status.length > 0 && form.status !== "Fetching delivery addresses...", form.status)
        compare(form.list.count, 0)
    }
}

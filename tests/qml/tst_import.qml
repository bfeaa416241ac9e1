import QtQuick 2.15
import QtTest 1.2

WindowTestCase {
    name: "Import"

    readonly property string existing: testTools.ordersFolder() + "IMP-1"
    readonly property string incoming: testTools.tempFolder() + "incoming.lta"

    function init() {
        registered()
        verify(testTools.writeOrder(existing, { orderID: "IMP-1", manOrderID: "OLD",
                                                custAddr: "Old Customer\n1 Old Street\nOldtown", items: [] }))
        verify(testTools.writeOrder(incoming, { orderID: "IMP-1", manOrderID: "NEW",
                                                custAddr: "New Customer\n2 New Street\nNewtown", items: [] }))
        openWindow()
        testTools.handOver(incoming)
        tryCompare(window.importDialog, "opened", true)
        compare(window.importDialog.orderID, "IMP-1")
    }

    function choose(choice) {
        window.importDialog.choice = choice
        window.importDialog.accept()
    }

    function test_noChoiceReopens() {
        choose(0)
        tryCompare(window.importDialog, "opened", true)
        window.importDialog.reject()
        tryCompare(window.importDialog, "opened", false)
        compare(testTools.readOrder(existing).manOrderID, "OLD")
        compare(window.stateGroup.state, "Home")
    }

    function test_openExisting() {
        choose(1)
        compare(window.stateGroup.state, "Customer")
        compare(_myOrder.manOrderID, "OLD")
    }

    function test_replace() {
        choose(2)
        compare(window.stateGroup.state, "Customer")
        compare(_myOrder.manOrderID, "NEW")
        compare(testTools.readOrder(existing).manOrderID, "NEW")
    }

    function test_copy() {
        choose(3)
        compare(window.stateGroup.state, "Customer")
        verify(_myOrder.orderID !== "IMP-1")
        compare(testTools.readOrder(testTools.ordersFolder() + _myOrder.orderID).manOrderID, "NEW")
        compare(testTools.readOrder(existing).manOrderID, "OLD")
    }

    function test_vanishedFile_data() {
        return [ { tag: "replace", choice: 2 }, { tag: "copy", choice: 3 } ]
    }

    // the incoming file went away while the dialog was open: nothing changes
    function test_vanishedFile(row) {
        verify(testTools.remove(incoming))
        choose(row.choice)
        compare(window.stateGroup.state, "Home")
        tryCompare(window.messagePopup, "opened", true)
        compare(testTools.readOrder(existing).manOrderID, "OLD")
        compare(_myOrder.orderID, "")
        window.messagePopup.close()
    }
}

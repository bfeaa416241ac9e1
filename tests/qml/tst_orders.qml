import QtQuick 2.15
import QtQuick.Controls 2.15
import QtTest 1.2

WindowTestCase {
    name: "OrdersList"

    property var sample: null

    // the controller's posting calls; the results come through vexaData
    QtObject {
        id: fakePoster
        property bool online: false
        property int posts: 0
        function checkInternet() { return online }
        function asyncPostOrders() { ++posts }
        function stopPosting() {}
        function asyncGetTransfers() {}
    }

    function put(folder, id, address, appointment) {
        var order = JSON.parse(JSON.stringify(sample))
        order.orderID = id
        order.manOrderID = id
        order.custAddr = address
        if (appointment)
            order.apmnt = appointment
        verify(testTools.writeOrder(testTools.ordersFolder() + folder + id, order))
        return testTools.ordersFolder() + folder + id
    }

    function openList() {
        staticSettings.setValue("back_b", true)
        staticSettings.setValue("srtOrder_b", true)
        staticSettings.setValue("inetProbeUrl_s", "http://127.0.0.1:9/")
        sample = testTools.readOrder(testTools.sourcePath("data/sample-order.json"))
        // only the orders of this test
        verify(testTools.remove(testTools.ordersFolder()))
        for (var f of ["in", "post", "posted", "xfer", "b"])
            verify(testTools.blockPath(testTools.ordersFolder() + f))
        put("in/", "IN-1", "Inbox Road", "")
        put("", "WIP-1", "Early Lane", "2026-01-05T09:00:00.000")
        put("", "WIP-2", "Late Lane", "2026-03-05T15:30:00.000")
        put("post/", "Q-1", "Queue Street", "")
        put("posted/", "S-1", "Sent Close", "")
        put("b/", "B-1", "Backup Row", "")
        openWindow()
        window.goTo("SavedOrders")
        var list = window.ordersScreen
        verify(list.visible)
        return list
    }

    function rowCount(list, state) { return list.columnView(state).count }
    function menuFor(list, state, row) {
        var view = list.columnView(state)
        view.currentIndex = row
        var button = findChild(view.currentItem, "rowMenuButton")
        click(button)
        tryCompare(list.rowMenu, "opened", true)
        return list.rowMenu
    }
    function item(list, name) {
        var found = null
        for (var i = 0; i < list.rowMenu.count; ++i)
            if (list.rowMenu.itemAt(i).objectName === name)
                found = list.rowMenu.itemAt(i)
        verify(found !== null, name)
        return found
    }

    function test_columnsSearchSort() {
        var list = openList()
        compare(list.columnRepeater.count, 5)
        compare([1, 2, 3, 4, 7].map(function(s) { return rowCount(list, s) }), [1, 2, 1, 1, 1])

        typeInto(list.searchField, "Late")
        compare(rowCount(list, 2), 1)
        compare(rowCount(list, 1), 0)
        typeInto(list.searchField, "")
        compare(rowCount(list, 2), 2)

        var view = list.columnView(2)
        function firstAddress() {
            view.forceLayout()
            return findChild(view.itemAtIndex(0), "rowAddress").text
        }
        compare(firstAddress(), "Early Lane")
        click(list.sortButton)
        compare(staticSettings.value("srtOrder_b"), false)
        compare(firstAddress(), "Late Lane")
        click(list.sortButton)
        compare(staticSettings.value("srtOrder_b"), true)
        compare(firstAddress(), "Early Lane")
    }

    function test_menusOpenDelete() {
        var list = openList()
        // a sent order cannot be opened, a backup cannot be deleted
        menuFor(list, 4, 0)
        verify(!item(list, "menuOpen").visible)
        verify(item(list, "menuDelete").visible)
        list.rowMenu.close()
        menuFor(list, 7, 0)
        verify(item(list, "menuOpen").visible === false)
        verify(!item(list, "menuDelete").visible)
        list.rowMenu.close()

        // deleting from the queue
        menuFor(list, 3, 0)
        item(list, "menuDelete").triggered()
        tryCompare(list.deleteConfirm, "opened", true)
        list.deleteConfirm.accept()
        compare(rowCount(list, 3), 0)
        verify(!testTools.exists(testTools.ordersFolder() + "post/Q-1"))

        // an order that cannot be read keeps the list and says why
        menuFor(list, 1, 0)
        verify(testTools.remove(testTools.ordersFolder() + "in/IN-1"))
        item(list, "menuOpen").triggered()
        compare(window.stateGroup.state, "SavedOrders")
        tryCompare(list.message, "opened", true)
        list.message.close()

        menuFor(list, 2, 0)
        item(list, "menuOpen").triggered()
        compare(window.stateGroup.state, "Customer")
        verify(_myOrder.orderID.indexOf("WIP-") === 0)
    }

    function test_posting() {
        var list = openList()
        list.cloud = fakePoster
        fakePoster.online = false
        // the queued column's own button (each column has one, shown in this one only)
        var send = findChild(list.columnView(3).parent, "sendButton")
        verify(send.enabled)
        // no connection: said at once, no busy state
        click(send)
        compare(list.resultText, "No Internet Connection")
        verify(!list.isPosting)
        list.netTimer.stop()

        fakePoster.online = true
        click(send)
        verify(list.isPosting)
        compare(fakePoster.posts, 1)
        verify(!window.toolbarRow.enabled)
        compare(send.text, "Cancel")

        vexaData.asyncResult("Queued order failed: no account")
        verify(!list.isPosting, "an account problem ends the posting")
        verify(window.toolbarRow.enabled)
        compare(list.resultText, "Queued order failed: no account")

        click(send)
        verify(list.isPosting)
        // an order handed over meanwhile waits for the end of the posting
        var handed = JSON.parse(JSON.stringify(sample))
        handed.orderID = "HAND-1"
        var path = testTools.tempFolder() + "HAND-1.lta"
        verify(testTools.writeOrder(path, handed))
        testTools.handOver(path)
        compare(_myOrder.orderID, "")
        compare(window.stateGroup.state, "SavedOrders")

        vexaData.asyncResult("Orders sent successfully")
        verify(!list.isPosting)
        verify(window.toolbarRow.enabled)
        tryVerify(function() { return _myOrder.orderID === "HAND-1" })
        compare(window.stateGroup.state, "Customer")
    }
}

import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import CustomStyles 1.0
import "comps"

// The orders kept on this device in columns by state; opens, copies, views
// and deletes them, and posts the queued ones.
Item {
    id: screen
    objectName: "ordersList"

    signal openCustomerPage()
    signal posting()
    signal endPosting()

    // the posting calls; a test may put its own object here
    property var cloud: vexaData
    property string resultText: ""
    property bool isPosting: false
    property bool oldestFirst: staticSettings.value("srtOrder_b", true) === true
                               || String(staticSettings.value("srtOrder_b", true)) === "true"
    property string today: ""
    readonly property bool showBackup: staticSettings.value("back_b", false) === true
    readonly property string deviceWord: Style.touchScreen ? "device" : (Qt.platform.os === "osx" ? "Mac" : "PC")
    readonly property var columns: {
        var list = [
            { title: "Inbox", model: receivedOrdersProxyModel, states: [1] },
            { title: "In Progress", model: inProgressOrdersProxyModel, states: [2] },
            { title: "Queued", model: toPostOrdersProxyModel, states: [3, 5] },
            { title: "Sent To:", model: postedOrdersProxyModel, states: [4] }
        ]
        if (showBackup)
            list.push({ title: "Backup", model: backupOrdersProxyModel, states: [7] })
        return list
    }

    property alias sortButton: sortButton
    property alias searchField: searchField
    property alias columnRepeater: columnRepeater
    property alias rowMenu: rowMenu
    property alias infoPopup: infoPopup
    property alias deleteConfirm: deleteConfirm
    property alias copyConfirm: copyConfirm
    property alias emailDialog: emailDialog
    property alias viewer: viewer
    property alias message: message
    property alias netTimer: netTimer

    function fail(text) { message.show(text + "<br>" + screenTools.lastFileError(), false) }

    function reloadState(state) {
        if (state === 1) savedOrders.getReceived()
        else if (state === 2) savedOrders.getInProgress()
        else if (state === 3 || state === 5) savedOrders.getToPost()
        else if (state === 4) savedOrders.getPosted()
        else if (state === 7) savedOrders.getBackup()
    }

    function refresh(postNow) {
        _myOrder.clear()
        resultText = ""
        savedOrders.getReceived()
        savedOrders.getInProgress()
        savedOrders.getToPost()
        savedOrders.getPosted()
        if (showBackup)
            savedOrders.getBackup()
        savedOrders.sortLists(oldestFirst)
        if (postNow)
            post()
        getTransfers()
        today = new Date().toLocaleDateString(Qt.locale("en_GB"), "ddd d MMM")
    }

    function getTransfers() {
        if (typeof cloud.asyncGetTransfers === "function")
            cloud.asyncGetTransfers()
    }

    function post() {
        if (isPosting || toPostOrdersProxyModel.rowCount() === 0)
            return
        // without a connection the posting would never report back
        if (!cloud.checkInternet()) {
            resultText = "No Internet Connection"
            netTimer.start()
            return
        }
        resultText = ""
        pendingMail = null
        isPosting = true
        _myOrder.holdIncoming(true)
        posting()
        if (typeof cloud.asyncPostOrders === "function")
            cloud.asyncPostOrders()
    }

    function finishPosting() {
        if (!isPosting)
            return
        isPosting = false
        _myOrder.holdIncoming(false)
        endPosting()
    }

    function cancelPosting() {
        cloud.stopPosting()
        finishPosting()
    }

    function openOrder(orderID, state) {
        if (!_myOrder.loadOrder(orderID, state, true))
            return fail("The order could not be opened.")
        openCustomerPage()
    }
    function copyOrder(orderID, state) {
        if (!_myOrder.loadOrder(orderID, state, false))
            return fail("The order could not be opened.")
        _myOrder.copyOrder()
        openCustomerPage()
    }
    function viewOrder(orderID, state) {
        if (!_myOrder.loadOrder(orderID, state, false))
            return fail("The order could not be opened.")
        viewer.show(_myOrder.documentHTML(2), orderID)
        _myOrder.clear()
    }
    function deleteOrder(orderID, state) {
        var ok = _myOrder.deleteOrder(orderID, state)
        _myOrder.clear()
        reloadState(state)
        if (!ok)
            fail("The order could not be deleted.")
    }

    onVisibleChanged: {
        searchField.text = ""
        savedOrders.search("")
        resultText = ""
        infoPopup.close()
    }

    Connections {
        target: vexaData
        function onAsyncResult(text) {
            if (!screen.visible)
                return
            resultText = text.indexOf("ucces") >= 0 ? "" : text
            savedOrders.getToPost()
            savedOrders.getPosted()
            savedOrders.getReceived()
            // the order the result is about: posting loads each order into
            // an object of its own, so the interface's order knows nothing
            var about = typeof cloud.postingOrderInfo === "function" ? cloud.postingOrderInfo() : ({})
            var mailTrouble = isPosting && text.indexOf("mail") >= 0 && about.orderID !== undefined
                              && about.mailCheckResult < 2
            // a real chain reports its end itself and may go on after a
            // message about one order
            var chainGoesOn = typeof cloud.isPosting === "function" && cloud.isPosting()
            if (chainGoesOn) {
                // the first order with a problem is the one asked about
                if (mailTrouble && !pendingMail)
                    pendingMail = { text: text, order: about }
                return
            }
            if (text.indexOf("ccount") >= 0) {
                finishPosting()
            } else if (toPostOrdersProxyModel.rowCount() === 0 || text !== "") {
                finishPosting()
                if (mailTrouble)
                    emailDialog.ask(text, about, false)
            }
        }
        function onPostingFinished(emptied) {
            if (!screen.isPosting)
                return
            finishPosting()
            var mail = pendingMail
            pendingMail = null
            if (mail && screen.visible)
                emailDialog.ask(mail.text, mail.order, false)
        }
    }
    // a mail problem reported while the chain went on, asked about at its end
    property var pendingMail: null

    Timer {
        id: inboxTimer
        interval: 10
        onTriggered: {
            getTransfers()
            savedOrders.getReceived()
            netTimer.start()
        }
    }
    Timer {
        id: netTimer
        interval: 30000
        repeat: true
        triggeredOnStart: true
        onTriggered: {
            if (cloud.checkInternet()) {
                stop()
                if (resultText === "No Internet Connection")
                    resultText = ""
            } else {
                resultText = "No Internet Connection"
            }
        }
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 6
        RowLayout {
            Layout.fillWidth: true
            Button {
                id: sortButton
                objectName: "sortButton"
                text: (oldestFirst ? "Oldest" : "Newest") + " \u25be"
                onClicked: {
                    oldestFirst = !oldestFirst
                    staticSettings.setValue("srtOrder_b", oldestFirst)
                    savedOrders.sortLists(oldestFirst)
                }
            }
            Label {
                objectName: "resultLabel"
                Layout.fillWidth: true
                horizontalAlignment: Text.AlignHCenter
                text: resultText !== "" ? resultText : "Orders on this " + deviceWord
                color: resultText !== "" ? "red" : "black"
                font.bold: true
                font.pixelSize: resultText !== "" ? Style.textSize : 18
                elide: Text.ElideRight
            }
            TextField {
                id: searchField
                objectName: "searchField"
                placeholderText: "type search text"
                Layout.preferredWidth: 200
                selectByMouse: true
                onTextChanged: savedOrders.search(text)
            }
            HelpButton { helpText: "Search for match in Name, Address, Email, Phone or Order number" }
        }

        ScrollView {
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            ScrollBar.horizontal.policy: ScrollBar.AsNeeded
            contentWidth: columnRow.width
            contentHeight: availableHeight
            Row {
                id: columnRow
                height: parent.height
                spacing: 4
                // the columns share the width the screen has; below 200
                // pixels each, the row scrolls sideways instead
                readonly property real columnWidth: Math.max(200, (screen.width - 12 - spacing * (columns.length - 1)) / columns.length)
                Repeater {
                    id: columnRepeater
                    model: columns
                    delegate: ColumnLayout {
                        id: column
                        readonly property var list: modelData
                        readonly property alias view: view
                        width: columnRow.columnWidth
                        height: columnRow.height
                        RowLayout {
                            Layout.fillWidth: true
                            Layout.preferredHeight: 40
                            Label { text: list.title; font.bold: true; font.pixelSize: Style.largeSize }
                            Item { Layout.fillWidth: true }
                            Button {
                                objectName: "inboxRefresh"
                                visible: list.states[0] === 1
                                text: "\u21bb"
                                onClicked: inboxTimer.start()
                            }
                            Button {
                                id: sendButton
                                objectName: "sendButton"
                                visible: list.states[0] === 3
                                text: isPosting ? "Cancel" : "Send"
                                enabled: isPosting || view.count > 0
                                onClicked: isPosting ? cancelPosting() : post()
                            }
                            ComboBox {
                                objectName: "postedFilter"
                                Layout.preferredWidth: 120
                                visible: list.states[0] === 4
                                model: ["All", "Supplier", "Other User"]
                                onActivated: savedOrders.postedFilter(currentIndex)
                            }
                        }
                        ProgressBar {
                            Layout.fillWidth: true
                            visible: list.states[0] === 3 && isPosting
                            indeterminate: true
                        }
                        ListView {
                            id: view
                            objectName: "column" + list.states[0]
                            Layout.fillWidth: true
                            Layout.fillHeight: true
                            clip: true
                            model: list.model
                            section.property: "sortDate_s"
                            section.delegate: Rectangle {
                                width: ListView.view.width
                                height: 24
                                color: section === today ? Style.todaycolor : Style.darkBase
                                Label {
                                    anchors.verticalCenter: parent.verticalCenter
                                    x: 6
                                    text: section
                                    color: section === today ? "black" : "white"
                                }
                            }
                            delegate: Rectangle {
                                id: row
                                width: ListView.view.width
                                height: Style.textHeight * 3
                                color: index % 2 ? "#fff" : "#eee"
                                border.width: hover.containsMouse ? 2 : 0
                                border.color: "orange"
                                MouseArea {
                                    id: hover
                                    anchors.fill: parent
                                    hoverEnabled: true
                                    onClicked: function(mouse) {
                                        var p = mapToItem(screen, mouse.x, mouse.y)
                                        infoPopup.showFor(model.orderID, model.orderState, p.x, p.y, list.states[0] >= 2)
                                    }
                                }
                                RowLayout {
                                    anchors.fill: parent
                                    anchors.margins: 4
                                    ToolButton {
                                        objectName: "rowMenuButton"
                                        text: "\uf0c9"
                                        font.family: Style.iconFont
                                        onClicked: {
                                            if (isPosting)
                                                return
                                            rowMenu.popupFor(model.orderID, model.orderState, model.confirmed,
                                                             model.fitting, this)
                                        }
                                    }
                                    Label { text: model.appTime; font.bold: true }
                                    Label {
                                        objectName: "rowAddress"
                                        Layout.fillWidth: true
                                        elide: Text.ElideRight
                                        text: (model.pif ? "\u2714 " : "") + (model.custAddr !== "" ? model.custAddr : model.orderID)
                                        color: model.orderState > 3 ? (model.supplierRcpt !== "" ? Style.supplierClr : Style.darkGrey)
                                             : model.pif ? "darkgreen" : (model.fitting ? Style.fittingClr : Style.notafitting)
                                    }
                                }
                            }
                        }
                    }
                }
            }
        }
    }
    // the list of one order state's column
    function columnView(state) {
        for (var i = 0; i < columnRepeater.count; ++i) {
            var c = columnRepeater.itemAt(i)
            if (c && c.list.states.indexOf(state) >= 0)
                return c.view
        }
        return null
    }

    Menu {
        id: rowMenu
        objectName: "rowMenu"
        property string orderID
        property int orderState
        property bool confirmed
        property bool fitting
        function popupFor(id, state, isConfirmed, isFitting, at) {
            orderID = id
            orderState = state
            confirmed = isConfirmed
            fitting = isFitting
            popup(at, 0, at.height)
        }
        MenuItem {
            objectName: "menuOpen"
            readonly property bool offered: [1, 2, 3, 5].indexOf(rowMenu.orderState) >= 0
            visible: offered
            height: offered ? implicitHeight : 0
            text: rowMenu.fitting && rowMenu.orderState !== 2 ? "Open - Fitting " : "Open"
            onTriggered: openOrder(rowMenu.orderID, rowMenu.orderState)
        }
        MenuItem {
            objectName: "menuCopy"
            text: "Copy and open"
            onTriggered: copyConfirm.ask(rowMenu.orderID, rowMenu.orderState)
        }
        MenuItem {
            objectName: "menuView"
            text: rowMenu.confirmed ? "View Order" : "View Quote"
            onTriggered: viewOrder(rowMenu.orderID, rowMenu.orderState)
        }
        MenuItem {
            objectName: "menuDelete"
            readonly property bool offered: rowMenu.orderState !== 7
            visible: offered
            height: offered ? implicitHeight : 0
            text: "Delete"
            onTriggered: deleteConfirm.ask(rowMenu.orderID, rowMenu.orderState)
        }
    }

    Popup {
        id: infoPopup
        objectName: "infoPopup"
        property string text: ""
        width: 300
        padding: 8
        function showFor(id, state, px, py, leftSide) {
            text = savedOrders.infoText(id, state)
            x = Math.max(0, Math.min(screen.width - width, leftSide ? px - width - 10 : px + 10))
            y = Math.max(0, Math.min(screen.height - height, py))
            open()
        }
        contentItem: ColumnLayout {
            ToolButton {
                Layout.alignment: Qt.AlignRight
                text: "x"
                onClicked: infoPopup.close()
            }
            Label {
                objectName: "infoText"
                Layout.fillWidth: true
                text: infoPopup.text
                wrapMode: Text.Wrap
                textFormat: Text.RichText
            }
        }
    }

    ConfirmDialog {
        id: deleteConfirm
        property string orderID
        property int orderState
        function ask(id, state) {
            orderID = id
            orderState = state
            open()
        }
        text: "Do you really want to delete this order?"
        onAccepted: deleteOrder(orderID, orderState)
    }
    ConfirmDialog {
        id: copyConfirm
        property string orderID
        property int orderState
        function ask(id, state) {
            orderID = id
            orderState = state
            open()
        }
        text: "Make a copy of this order with a new order ref?"
        onAccepted: copyOrder(orderID, orderState)
    }

    Dialog {
        id: emailDialog
        objectName: "emailDialog"
        property bool resend: false
        property string info: ""
        property string original: ""
        property string error: ""
        readonly property bool changed: emailField.text.trim() !== original
        property alias emailField: emailField
        title: resend ? "Resend the Quote/Order" : "Send the Quote/Order"
        modal: true
        anchors.centerIn: Overlay.overlay
        width: Math.min(460, screen.width - 20)
        // the order asked about: {orderID, orderState, custEmail, mailCheckResult}
        property var order: ({})
        readonly property int checkResult: order.mailCheckResult !== undefined ? order.mailCheckResult : 0
        function ask(infoText, about, isResend) {
            info = infoText
            order = about
            resend = isResend === true
            original = about.custEmail || ""
            emailField.text = original
            error = ""
            open()
        }
        function send() {
            var email = emailField.text.trim()
            var wasFound = checkResult === 1 && email === original
            if (!/^\w+([.-]?\w+)*@\w+([.-]?\w+)*(\.\w{2,})+$/.test(email)) {
                error = "Invalid email format"
                var marked = Object.assign({}, order)
                marked.mailCheckResult = -2
                order = marked
                return
            }
            // the order is opened from its file for the change, whatever is
            // on screen meanwhile
            if (!_myOrder.loadOrder(order.orderID, order.orderState, false))
                return fail("The order could not be opened.")
            _myOrder.custEmail = email
            _myOrder.mailCheckResult = wasFound ? 4 : 0
            var saved = _myOrder.saveOrder(order.orderState === 4 ? 2 : 1)
            _myOrder.clear()
            if (!saved)
                return fail("The order could not be saved.")
            close()
            // the order is queued again: the list shows it and posting takes it
            savedOrders.getToPost()
            savedOrders.getPosted()
            post()
        }
        contentItem: ColumnLayout {
            Label { text: emailDialog.info; visible: text !== ""; wrapMode: Text.Wrap; Layout.fillWidth: true }
            Label { text: resultText; color: "red"; visible: text !== ""; wrapMode: Text.Wrap; Layout.fillWidth: true }
            Label {
                text: "Please check and correct the email."
                visible: emailDialog.checkResult === 1
            }
            TextField {
                id: emailField
                objectName: "emailField"
                Layout.fillWidth: true
                placeholderText: "customer email"
                color: emailDialog.error !== "" ? "red" : "black"
                onTextEdited: emailDialog.error = ""
            }
            Label { text: emailDialog.error; color: "red"; visible: text !== "" }
            RowLayout {
                Layout.alignment: Qt.AlignRight
                Button {
                    objectName: "emailSend"
                    text: emailDialog.resend ? "Send" : "Try again"
                    enabled: emailDialog.checkResult === 1 || emailDialog.resend || emailDialog.changed
                    onClicked: emailDialog.send()
                }
                Button { text: "Cancel"; onClicked: emailDialog.close() }
            }
        }
    }

    MessagePopup { id: message; objectName: "ordersMessage" }
    DocViewer { id: viewer; objectName: "ordersViewer"; anchors.fill: parent; printType: 1 }
}

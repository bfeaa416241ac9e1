import QtQuick 2.15
import QtQuick.Window 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Universal 2.15
import QtQuick.Layouts 1.15
import CustomStyles 1.0
import VexaOrder 1.0
import vexa.drive 1.0
import "comps"

ApplicationWindow {
    id: mainWindow
    objectName: "mainWindow"
    title: Style.apptitle
    width: 1024
    height: 600
    visible: false
    font.family: Style.fontFamily

    property bool closeApp: false
    property bool postNow: false
    property Item mainPage: homePage
    property int minScreenWidth: 768
    property int toolBarHeight: 60
    property bool touchScreen: Style.touchScreen
    property string deviceType: Style.desktop ? (Qt.platform.os === "osx" ? "Mac" : "PC") : "device"
    property bool insync: false
    property int prevSync: 0
    property int lead_time: localSettings.value("lead_time_i", 0)
    property string leadtime1: localSettings.value("leadtime1_s", "The current lead time is ")
    property string leadtime2: localSettings.value("leadtime2_s", " working days.")
    property bool showPrices: staticSettings.value("showPrices_b", false)
    property string fp_info: localSettings.value("fp_info", defaultInfo)
    readonly property string defaultInfo: touchScreen ? ""
        : "Mac and Android versions of this app can be used for on-site surveys.<br>Search in the Apple App Store or "
          + "Google Play store for Lattica, and on the Settings page add Surveyors."
    // Complete is reachable only after the review has been shown since the
    // last survey visit or trade change.
    property bool reviewSeen: false
    // The navigation buttons are bound to the state rather than switched by
    // the states: a state that restores "enabled" would bring back a value
    // recorded while the whole toolbar was off (registration), leaving Home
    // dead until the next start.
    readonly property bool inSettings: mainStateGroup.state === "SettingStateLTA"
    readonly property bool onSurvey: mainStateGroup.state === "Capture" || mainStateGroup.state === "Review"
    // The settings sync (its result feeds the toolbar icon) and the installer download.
    property QtObject dcloudComms: DCloudComms {}
    property QtObject downloadManager: DownloadManager {}

    readonly property alias stateGroup: mainStateGroup
    readonly property alias addressScreen: addressLoader.item
    readonly property alias captureScreen: captureLoader.item
    readonly property alias reviewScreen: reviewLoader.item
    readonly property alias completeScreen: completeLoader.item
    readonly property alias ordersScreen: ordersLoader.item
    readonly property alias registerScreen: registerLoader.item
    readonly property alias settingsScreen: settingsLoader.item
    readonly property alias importDialog: importDialog
    readonly property alias messagePopup: messagePopup
    readonly property alias newsPopup: newsPopup
    readonly property alias toolbarRow: toolbarRow

    function showMessage(text, abort) { messagePopup.show(text, abort) }

    // The screen on show hands over what was typed but not yet committed.
    function commitVisibleScreen() {
        if (mainStateGroup.state === "Customer" && addressLoader.item)
            addressLoader.item.commit()
        else if (mainStateGroup.state === "Capture" && captureLoader.item)
            captureLoader.item.saveBlindData()
        else if (mainStateGroup.state === "Review" && reviewLoader.item)
            reviewLoader.item.commit()
    }

    // Leaving the order information or the survey hands over what was typed
    // and saves; when the save fails the user stays and is told why.
    function goTo(name) {
        var leaving = mainStateGroup.state
        if (leaving === name)
            return true
        if ((leaving === "Customer" || leaving === "Capture") && _myOrder.orderID !== "") {
            commitVisibleScreen()
            _myOrder.changed = true
            if (!_myOrder.saveOrder()) {
                showMessage("The order could not be saved.<br>" + screenTools.lastFileError(), false)
                return false
            }
        }
        mainStateGroup.state = name
        return true
    }

    function checkNotify(act) {
        var minute = Math.round(Date.now() / 60000)
        if (prevSync !== 0 && prevSync + 5 > minute)
            return
        prevSync = minute
        insync = true
        vexaData.checkFor_cfgUpdates()
        if (dcloudComms)
            dcloudComms.syncSettings()
        insync = false
        if (lta_ver < Number(localSettings.value("currver", 0))
                || String(localSettings.value("notifyid", "")) !== String(localSettings.value("prevnotifyid", "")))
            newsPopup.open()
        lead_time = localSettings.value("lead_time_i", 0)
        leadtime1 = localSettings.value("leadtime1_s", "The current lead time is ")
        leadtime2 = localSettings.value("leadtime2_s", " working days.")
        fp_info = localSettings.value("fp_info", defaultInfo)
    }

    function restoreGeometry() {
        var dw = Screen.desktopAvailableWidth, dh = Screen.desktopAvailableHeight
        var sx = Number(staticSettings.value("pos/x", 200))
        if (Number(staticSettings.value("pos/dw", dw)) !== dw || Number(staticSettings.value("pos/dh", dh)) !== dh
                || sx > dw) {
            width = 1024
            height = 600
            x = (dw - width) / 2
            y = (dh - height) / 2
            visibility = Window.Windowed
            return
        }
        x = sx
        y = Number(staticSettings.value("pos/y", 200))
        height = Number(staticSettings.value("pos/h", 600))
        width = Number(staticSettings.value("pos/w", 1024))
        var m = Number(staticSettings.value("pos/m", Window.Windowed))
        visibility = (m === Window.Minimized || m === Window.Hidden) ? Window.Windowed : m
    }

    function saveGeometry() {
        staticSettings.setValue("pos/m", visibility)
        if (visibility === Window.Windowed) {
            staticSettings.setValue("pos/x", x)
            staticSettings.setValue("pos/y", y)
            staticSettings.setValue("pos/w", width)
            staticSettings.setValue("pos/h", height)
        }
        staticSettings.setValue("pos/dw", Screen.desktopAvailableWidth)
        staticSettings.setValue("pos/dh", Screen.desktopAvailableHeight)
    }

    function startChecks() {
        if (String(staticSettings.value("regem_s", "")) === "") {
            mainStateGroup.state = "RegisterState"
            return
        }
        var rooms = iniSettings.value("rms_sl", "")
        if (rooms === "" || (Array.isArray(rooms) && rooms.length === 0)) {
            mainStateGroup.state = "SettingStateLTA"
            return
        }
        var imp = String(staticSettings.value("imp", ""))
        mainStateGroup.state = "Home"
        if (imp !== "")
            _myOrder.incomingOrderFile(imp)
    }

    Component.onCompleted: {
        if (Style.desktop)
            restoreGeometry()
        visible = true
        startChecks()
    }

    onClosing: function(close) {
        if (Qt.platform.os === "android" && !closeApp) {
            close.accepted = false
            return
        }
        if (Style.desktop)
            saveGeometry()
        commitVisibleScreen()
        if (_myOrder.orderID !== "") {
            _myOrder.changed = true
            if (!_myOrder.saveOrder() && !closeApp) {
                // Keep the window until the user has seen why nothing was saved.
                close.accepted = false
                closeApp = true
                showMessage("The order could not be saved.<br>" + screenTools.lastFileError(), true)
            }
        }
    }

    function sendOrders() { homePage.sendOrders() }

    header: ToolBar {
        height: toolBarHeight
        background: Rectangle { color: Style.toolbarbg }
        RowLayout {
            id: toolbarRow
            anchors.fill: parent
            spacing: 2
            ToolBarButton {
                id: homeButton
                objectName: "homeButton"
                text: "Home"
                enabled: !inSettings
                onClicked: goTo("Home")
            }
            ToolBarButton {
                id: customerButton
                objectName: "customerButton"
                text: "Order<br>Info"
                enabled: !inSettings && _myOrder.orderID !== ""
                onClicked: goTo("Customer")
            }
            ToolBarButton {
                id: surveyButton
                objectName: "surveyButton"
                text: "Survey"
                enabled: !inSettings && (orderItemsModel.count > 0 || onSurvey)
                onClicked: goTo("Capture")
            }
            ToolBarButton {
                id: reviewButton
                objectName: "reviewButton"
                text: "Review"
                enabled: !inSettings && orderItemsModel.count > 0
                onClicked: goTo("Review")
            }
            ToolBarButton {
                id: completeButton
                objectName: "completeButton"
                text: "Complete"
                enabled: reviewButton.enabled && reviewSeen
                onClicked: goTo("Complete")
            }
            Item {
                Layout.fillWidth: true
                Layout.fillHeight: true
                Image {
                    source: "images/logo.svg"; sourceSize.width: 80; sourceSize.height: 24
                    anchors.verticalCenter: parent.verticalCenter
                    x: (toolbarRow.width - width) / 2 - parent.x
                    visible: toolbarRow.width / 2 > completeButton.x + 125
                }
            }
            HelpButton {
                id: syncStatus
                objectName: "syncStatus"
                readonly property string result: dcloudComms ? String(dcloudComms.syncResult) : ""
                glyph: Style.iconWarning
                enabled: result !== ""
                glyphColor: result.indexOf("Last") === 0 ? (enabled ? "black" : "lightgrey")
                                                         : (enabled ? "red" : "#ffaaaa")
                helpText: result
                visible: false
            }
            ToolBarButton {
                id: btButton
                text: "Bluetooth"
                visible: touchScreen
                enabled: !inSettings
            }
            ToolBarButton {
                id: settingsButton
                objectName: "settingsButton"
                text: "Settings"
                onClicked: goTo("SettingStateLTA")
            }
        }
    }

    footer: Label {
        text: _myOrder.orderID
        font.pixelSize: 12
        horizontalAlignment: Text.AlignRight
        rightPadding: 8
    }

    Item {
        id: homePage
        objectName: "homePage"
        anchors.fill: parent

        function sendOrders() {
            completeLoader.active = false
            _myOrder.clear()
            postNow = true
            mainStateGroup.state = "SavedOrders"
        }

        Image {
            id: background
            anchors.fill: parent
            source: "images/Background.svg"
            fillMode: Image.PreserveAspectCrop
            opacity: 0.8
            visible: false
        }

        DropArea {
            id: dropArea
            objectName: "dropArea"
            anchors.fill: parent
            function acceptable(urls) {
                return urls.length > 0 && String(urls[0]).toLowerCase().endsWith(".lta")
            }
            onEntered: function(drag) { drag.accepted = acceptable(drag.urls) }
            onDropped: function(drop) {
                if (!acceptable(drop.urls))
                    return
                mainStateGroup.state = "Home"
                _myOrder.incomingOrderFile(String(drop.urls[0]))
                drop.acceptProposedAction()
            }
        }

        Flickable {
            id: homeContent
            anchors.fill: parent
            visible: false
            contentHeight: homeColumn.height + 80
            clip: true
            Rectangle {
                // keeps the texts readable over the picture
                x: homeColumn.x + (homeColumn.width - width) / 2
                y: homeColumn.y - 20
                width: Math.min(homePage.width - 20, 900)
                height: homeColumn.height + 40
                radius: 8
                color: "white"
                opacity: 0.7
            }
            ColumnLayout {
                id: homeColumn
                width: parent.width
                y: homePage.height * 50 / 768
                spacing: 20
                Grid {
                    id: homeGrid
                    Layout.alignment: Qt.AlignHCenter
                    columns: homePage.width < 600 ? 1 : 3
                    spacing: 20
                    PrimaryButton {
                        objectName: "newOrderButton"
                        text: "New Order"
                        width: Math.max(190, implicitWidth)
                        height: 40
                        onClicked: {
                            if (_myOrder.orderID !== "" && !_myOrder.saveOrder()) {
                                showMessage("The open order could not be saved.<br>" + screenTools.lastFileError(), false)
                                return
                            }
                            _myOrder.newOrder()
                            goTo("Customer")
                        }
                    }
                    PrimaryButton {
                        text: "View Orders"
                        width: Math.max(190, implicitWidth)
                        height: 40
                        onClicked: goTo("SavedOrders")
                    }
                    PrimaryButton {
                        text: "Send Orders"
                        width: Math.max(190, implicitWidth)
                        height: 40
                        onClicked: {
                            postNow = true
                            goTo("SavedOrders")
                        }
                    }
                }
                Rectangle {
                    Layout.alignment: Qt.AlignHCenter
                    visible: staticSettings.value("cuo_b", false) === true
                    implicitWidth: cuoLabel.implicitWidth + 24
                    implicitHeight: cuoLabel.implicitHeight + 16
                    border.width: 4
                    border.color: "#8EB851"
                    radius: 8
                    Label {
                        id: cuoLabel
                        anchors.centerIn: parent
                        text: "Read our reviews"
                    }
                    MouseArea {
                        anchors.fill: parent
                        onClicked: screenTools.openUrl(String(iniSettings.value("cuo_s", "https://www.trustpilot.com/")))
                    }
                }
                Label {
                    Layout.alignment: Qt.AlignHCenter
                    visible: lead_time !== 0
                    text: (leadtime1.trim() + " " + lead_time + " to " + (lead_time + 2) + " " + leadtime2.trim()).trim()
                    font.pixelSize: Style.largeSize
                }
                Image {
                    Layout.alignment: Qt.AlignHCenter
                    source: "images/logo.svg"
                    Layout.preferredWidth: Math.min(mainWindow.width * 0.6, 400)
                    Layout.preferredHeight: Layout.preferredWidth * sourceSize.height / Math.max(1, sourceSize.width)
                    fillMode: Image.PreserveAspectFit
                }
                Label {
                    Layout.alignment: Qt.AlignHCenter
                    Layout.maximumWidth: Math.min(homePage.width - 20, 900) - 30
                    text: fp_info
                    textFormat: Text.RichText
                    wrapMode: Text.Wrap
                    horizontalAlignment: Text.AlignHCenter
                }
            }
        }
        Button {
            id: releaseInfo
            text: "Release Info"
            visible: homeContent.visible
            anchors.left: parent.left
            anchors.bottom: parent.bottom
            anchors.margins: 10
            onClicked: newsPopup.open()
        }

        Loader {
            id: addressLoader
            objectName: "addressLoader"
            anchors.fill: parent
            source: "AddressInputLTA.qml"
            visible: false
        }
        Connections {
            target: addressLoader.item
            function onFinished() {
                completeLoader.active = false
                goTo("Home")
            }
            function onCapture() { goTo("Capture") }
            function onTradeChanged() { reviewSeen = false }
            function onSendOrdersSig() { homePage.sendOrders() }
        }
        Loader {
            id: captureLoader
            objectName: "captureLoader"
            anchors.fill: parent
            active: false
            source: "CaptureLta.qml"
        }
        // Screens still to come: each is created in its state and shows
        // nothing until its file is added.
        Loader { id: reviewLoader; objectName: "reviewLoader"; anchors.fill: parent; active: false; source: "ReviewLTA.qml" }
        Loader { id: completeLoader; objectName: "completeLoader"; anchors.fill: parent; active: false; source: "CompleteLTA.qml" }
        Loader { id: ordersLoader; objectName: "ordersLoader"; anchors.fill: parent; visible: false; source: "OrdersList.qml" }
        Loader { id: registerLoader; objectName: "registerLoader"; anchors.fill: parent; active: false; source: "RegisterLTA.qml" }
        Loader { id: settingsLoader; objectName: "settingsLoader"; anchors.fill: parent; active: false; source: "SettingsLta.qml" }

        // How the window answers the screens still to come.
        Connections {
            target: completeLoader.item
            ignoreUnknownSignals: true
            function onFinished() { goTo("Home") }
            function onSendOrdersSig() {
                postNow = true
                goTo("SavedOrders")
            }
            function onOpenCustomerPage() { goTo("Customer") }
        }
        Connections {
            target: ordersLoader.item
            ignoreUnknownSignals: true
            function onOpenCustomerPage() { goTo("Customer") }
            function onPosting() { toolbarRow.enabled = false }
            function onEndPosting() { toolbarRow.enabled = true }
        }
        Connections {
            target: registerLoader.item
            ignoreUnknownSignals: true
            function onRegistered() { mainStateGroup.state = "SettingStateLTA" }
            function onLoginSignal() { mainStateGroup.state = "Home" }
            function onExitapp() {
                closeApp = true
                mainWindow.close()
            }
        }
        Connections {
            target: settingsLoader.item
            ignoreUnknownSignals: true
            function onAccepted() {
                prevSync = 0
                _myOrder.saveOrder()
                _myOrder.clear()
                mainStateGroup.state = "Home"
            }
            function onExitApp() {
                closeApp = true
                mainWindow.close()
            }
        }

        Timer {
            id: syncTimer
            interval: 10
            onTriggered: if (toolbarRow.enabled) checkNotify(2)
        }
    }

    StateGroup {
        id: mainStateGroup
        objectName: "mainStateGroup"
        states: [
            State {
                name: "Home"
                PropertyChanges { target: background; visible: true }
                PropertyChanges { target: homeContent; visible: true }
                PropertyChanges { target: homeButton; selected: true }
                StateChangeScript {
                    script: {
                        reviewLoader.active = false
                        completeLoader.active = false
                        syncTimer.start()
                    }
                }
            },
            State {
                name: "Customer"
                PropertyChanges { target: addressLoader; visible: true }
                PropertyChanges { target: customerButton; selected: true }
            },
            State {
                name: "Capture"
                PropertyChanges { target: captureLoader; active: true }
                PropertyChanges { target: surveyButton; selected: true }
                // set, not switched by the state: leaving the review must not
                // forget that it was seen (Complete stays reachable)
                StateChangeScript { script: reviewSeen = false }
            },
            State {
                name: "Review"
                PropertyChanges { target: reviewLoader; active: true }
                PropertyChanges { target: reviewButton; selected: true }
                StateChangeScript {
                    script: {
                        reviewSeen = true
                        completeLoader.active = false
                    }
                }
            },
            State {
                name: "Complete"
                PropertyChanges { target: completeLoader; active: true }
                PropertyChanges { target: completeButton; selected: true }
                StateChangeScript { script: reviewLoader.active = false }
            },
            State {
                name: "SavedOrders"
                PropertyChanges { target: ordersLoader; visible: true }
                PropertyChanges { target: homeButton; selected: true }
                StateChangeScript {
                    script: {
                        if (ordersLoader.item && ordersLoader.item.refresh)
                            ordersLoader.item.refresh(postNow)
                        postNow = false
                    }
                }
            },
            State {
                name: "RegisterState"
                PropertyChanges { target: registerLoader; active: true }
                PropertyChanges { target: toolbarRow; enabled: false }
            },
            State {
                name: "SettingStateLTA"
                PropertyChanges { target: settingsButton; selected: true }
                PropertyChanges { target: syncStatus; visible: toolbarRow.width > 350 }
                // the settings come from the sync first, so that saving
                // cannot write older values back
                StateChangeScript {
                    script: {
                        prevSync = 0
                        checkNotify(2)
                        settingsLoader.active = true
                    }
                }
            }
        ]
        onStateChanged: if (state !== "SettingStateLTA") settingsLoader.active = false
    }

    Connections {
        target: _myOrder
        function onCloseOrder() { mainStateGroup.state = "Home" }
        function onOpenOrder(orderID) { mainStateGroup.state = "Customer" }
        function onOpenOrderExist(orderID, path, ostate, msg) {
            mainStateGroup.state = "Home"
            importDialog.ask(orderID, path, ostate, msg)
        }
    }

    OrderImportDialog {
        id: importDialog
        onOpened: mainStateGroup.state = "Home"
        onImported: mainStateGroup.state = "Customer"
        onFailed: function(text) { showMessage(text, false) }
    }

    // Long cloud work (product data and settings downloads) shows at the foot
    // of the window while it lasts.
    Rectangle {
        id: busyStrip
        objectName: "busyStrip"
        property string text: ""
        visible: text !== ""
        anchors { left: parent.left; right: parent.right; bottom: parent.bottom }
        height: 40
        z: 10
        color: Style.toolbarbg
        RowLayout {
            anchors { fill: parent; leftMargin: 8; rightMargin: 8 }
            BusyIndicator {
                running: busyStrip.visible
                Layout.preferredWidth: 32
                Layout.preferredHeight: 32
            }
            Label { text: busyStrip.text; Layout.fillWidth: true; elide: Text.ElideRight }
        }
        Connections {
            target: typeof cloudComms !== "undefined" ? cloudComms : null
            ignoreUnknownSignals: true
            function onBusy(text) { busyStrip.text = text }
        }
    }

    MessagePopup {
        id: messagePopup
        onAbortRequested: {
            closeApp = true
            mainWindow.close()
        }
    }

    UpdateNotify {
        id: newsPopup
        onShutdown: {
            closeApp = true
            mainWindow.close()
        }
    }
}

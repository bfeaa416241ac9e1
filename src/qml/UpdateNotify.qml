import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import QtWebView 1.1
import CustomStyles 1.0
import "comps"

// News and the offer of a newer version.
Popup {
    id: popup
    objectName: "newsPopup"
    signal shutdown()
    readonly property bool newVersion: lta_ver < Number(localSettings.value("currver", 0))
    property string heading: localSettings.value("notifytitle", "News")
    property QtObject downloader: mainWindow.downloadManager
    modal: true
    x: parent ? (parent.width - width) / 2 : 0
    y: 0
    width: Math.min(440, parent ? parent.width : 440)
    height: Math.min(500, parent ? parent.height : 500)
    closePolicy: Popup.NoAutoClose

    function tryClose() {
        var currver = Number(localSettings.value("currver", 0))
        if (Style.touchScreen && Math.floor(lta_ver / 10000) < Math.floor(currver / 10000)) {
            heading = "Your current version is no longer supported."
            return
        }
        if (newVersion && staticSettings.value("mustupdate_b", true) === true && Style.touchScreen)
            return
        localSettings.setValue("prevnotifyid", localSettings.value("notifyid", ""))
        close()
    }

    function update() {
        if (Style.touchScreen) {
            screenTools.openUrl(String(staticSettings.value(Qt.platform.os === "ios" ? "iosapp_s" : "andapp_s", "")))
            return
        }
        if (!downloader)
            return
        downloadError = ""
        savedTo = ""
        downloading = true
        updateButton.enabled = false
        // the installer of this platform: Windows setup, macOS package, Debian package
        var suffix = Qt.platform.os === "osx" ? ".pkg" : Qt.platform.os === "linux" ? ".deb" : ".exe"
        downloader.append(localSettings.value("installurl", "") + suffix)
    }

    // a failed download, or one that ended without starting the installer,
    // lets the user try again
    property string downloadError: ""
    property bool downloading: false
    // where the installer went when this system has no command to start it
    property string savedTo: ""
    Connections {
        target: popup.downloader
        ignoreUnknownSignals: true
        function onShutdown() { popup.shutdown() }
        function onErrorMessage(error) {
            popup.downloadError = error
            popup.downloading = false
            updateButton.enabled = true
        }
        function onSaved(path) { popup.savedTo = path }
        function onFinished() {
            popup.downloading = false
            updateButton.enabled = true
        }
    }

    contentItem: ColumnLayout {
        spacing: 6
        RowLayout {
            Label {
                text: popup.heading
                font.bold: true
                font.pixelSize: Style.largeSize
                Layout.fillWidth: true
                wrapMode: Text.Wrap
            }
            HelpButton {
                objectName: "newsClose"
                glyph: Style.iconClose
                onClicked: popup.tryClose()
            }
        }
        RowLayout {
            ToolButton { text: "<"; ToolTip.text: "Back"; ToolTip.visible: hovered
                         onClicked: if (web.item) web.item.goBack() }
            ToolButton { text: ">"; ToolTip.text: "Foreward"; ToolTip.visible: hovered
                         onClicked: if (web.item) web.item.goForward() }
            ToolButton { text: "\u21bb"; ToolTip.text: "Reload"; ToolTip.visible: hovered
                         onClicked: if (web.item) web.item.reload() }
            ToolButton { text: "\u2197"; ToolTip.text: "Open in a web browser"; ToolTip.visible: hovered
                         onClicked: screenTools.openUrl(web.url) }
        }
        Loader {
            id: web
            // http(s) pages only: the default when nothing is set, a blank
            // page when the setting holds anything else
            readonly property string setting: String(localSettings.value("notifyurl", "https://lattica.app/news"))
            readonly property string url: /^https?:\/\/[^\/]/i.test(setting) ? setting : "about:blank"
            Layout.fillWidth: true
            Layout.fillHeight: true
            active: popup.opened
            sourceComponent: WebView { url: web.url }
        }
        Label {
            Layout.fillWidth: true
            wrapMode: Text.Wrap
            text: popup.newVersion ? localSettings.value("newvertxt", "A new version is available.")
                                   : "Your installed version: " + lta_version
        }
        Button {
            id: updateButton
            objectName: "updateButton"
            text: "Update..."
            visible: popup.newVersion
            onClicked: popup.update()
        }
        Label {
            objectName: "downloadRate"
            visible: popup.downloading
            text: "Downloading " + (popup.downloader ? popup.downloader.rate : "")
        }
        ProgressBar {
            objectName: "downloadProgress"
            Layout.fillWidth: true
            visible: popup.downloading
            value: popup.downloader ? popup.downloader.prog : 0
        }
        Label {
            // without an install command (Linux) the program stays open and
            // says where the file went
            visible: popup.downloading && (Qt.platform.os !== "linux"
                                           || String(staticSettings.value("installCmd_s", "")) !== "")
            text: Style.apptitle + " will close when the download is complete"
        }
        Label {
            objectName: "downloadSaved"
            Layout.fillWidth: true
            visible: text !== ""
            wrapMode: Text.WrapAnywhere
            text: popup.savedTo === "" ? ""
                  : "The new version was saved to " + popup.savedTo + "\nInstall it from there; " + Style.apptitle + " can stay open meanwhile."
        }
        Label {
            objectName: "downloadError"
            visible: text !== ""
            color: "red"
            text: popup.downloadError
        }
    }
}

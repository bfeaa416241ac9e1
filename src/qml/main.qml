import QtQuick 2.15
import QtQuick.Window 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Universal 2.15
import QtQuick.Layouts 1.15

ApplicationWindow {
    id: mainWindow
    title: "Lattica"
    width: 1024
    height: 720
    visible: true

    header: ToolBar {
        background: Rectangle { color: Universal.accent }
        RowLayout {
            anchors.fill: parent
            anchors.leftMargin: 12
            Label {
                text: "Lattica"
                font.pixelSize: 20
                font.bold: true
                color: "white"
                Layout.fillWidth: true
            }
            Label {
                text: "v" + lta_version
                color: "white"
                Layout.rightMargin: 12
            }
        }
    }

    // Home screen; the capture, review and orders screens plug in here.
    Item {
        anchors.fill: parent
        ColumnLayout {
            anchors.centerIn: parent
            spacing: 16
            Label {
                text: "Made-to-measure shutters, captured and priced on site"
                font.pixelSize: 18
                Layout.alignment: Qt.AlignHCenter
            }
            RowLayout {
                spacing: 12
                Layout.alignment: Qt.AlignHCenter
                Button { text: "New order"; enabled: false }
                Button { text: "Open order"; enabled: false }
                Button { text: "Settings"; enabled: false }
            }
        }
    }
}

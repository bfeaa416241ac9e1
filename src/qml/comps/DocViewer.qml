import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import QtWebView 1.1
import CustomStyles 1.0

// The order document over the screen, with a print copy for the browser.
Rectangle {
    id: viewer
    property string html: ""
    property string orderID: ""
    property int printType: 0
    color: "#eeeeee"
    visible: false
    z: 10

    function show(documentHtml, id) {
        html = documentHtml
        orderID = id
        visible = true
        web.loadHtml(html, "file:///")
    }
    function close() {
        visible = false
        web.loadHtml("", "file:///")
    }
    MouseArea { anchors.fill: parent }   // keeps clicks off the screen below

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 6
        RowLayout {
            Button {
                objectName: "viewerClose"
                text: "Close"
                onClicked: viewer.close()
            }
            Button {
                objectName: "viewerPrint"
                text: "Open for printing"
                // the browser prints on every desktop
                visible: Style.desktop
                onClicked: {
                    var url = _myOrder.printHtml(viewer.orderID, viewer.printType, viewer.html)
                    if (url !== "")
                        screenTools.openFile(url)
                }
            }
        }
        WebView {
            id: web
            Layout.fillWidth: true
            Layout.fillHeight: true
        }
    }
}

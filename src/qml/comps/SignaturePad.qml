import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import CustomStyles 1.0

// The customer signs with the pointer; OK keeps the drawing as the order's
// signature.
Popup {
    id: pad
    objectName: "signaturePad"
    modal: true
    closePolicy: Popup.CloseOnEscape
    anchors.centerIn: Overlay.overlay
    width: Math.min(600, parent ? parent.width - 20 : 600)
    height: Math.min(460, parent ? parent.height - 20 : 460)

    property alias canvas: canvas
    property alias agreeBox: agreeBox
    property bool drawn: false
    property var strokes: []
    signal signed()

    function clear() {
        strokes = []
        drawn = false
        canvas.requestPaint()
    }
    function save() {
        var path = cfgFolder + "/sig.png"
        if (!canvas.save(path))
            return false
        _myOrder.imageToSignature(path)
        if (typeof quoteTools !== "undefined")
            quoteTools.signatureTaken()
        _myOrder.changed = true
        _myOrder.saveOrder()
        signed()
        close()
        return true
    }
    onAboutToShow: {
        clear()
        quoteTotals.refresh()
    }

    contentItem: ColumnLayout {
        Label {
            Layout.fillWidth: true
            wrapMode: Text.Wrap
            text: String(staticSettings.value("terms_s", ""))
            visible: text !== ""
        }
        // what the customer agrees to
        QuoteTotals {
            id: quoteTotals
            Layout.fillWidth: true
        }
        CheckBox {
            id: agreeBox
            text: String(staticSettings.value("agreechk_s", "I agree"))
            checked: _myOrder.agreeChk
            onToggled: _myOrder.agreeChk = checked
        }
        Rectangle {
            Layout.fillWidth: true
            Layout.fillHeight: true
            border.color: Style.midGrey
            Label {
                anchors.centerIn: parent
                text: "Sign here..."
                color: Style.midGrey
                // above the white the canvas paints
                z: 1
                visible: !pad.drawn
            }
            Canvas {
                id: canvas
                objectName: "signatureCanvas"
                anchors.fill: parent
                onPaint: {
                    var ctx = getContext("2d")
                    ctx.fillStyle = "white"
                    ctx.fillRect(0, 0, width, height)
                    ctx.strokeStyle = "black"
                    ctx.lineWidth = 2
                    ctx.lineCap = "round"
                    for (var s = 0; s < pad.strokes.length; ++s) {
                        var pts = pad.strokes[s]
                        ctx.beginPath()
                        ctx.moveTo(pts[0].x, pts[0].y)
                        for (var i = 1; i < pts.length; ++i)
                            ctx.lineTo(pts[i].x, pts[i].y)
                        ctx.stroke()
                    }
                }
                MouseArea {
                    anchors.fill: parent
                    onPressed: function(mouse) {
                        pad.strokes.push([Qt.point(mouse.x, mouse.y)])
                    }
                    onPositionChanged: function(mouse) {
                        pad.strokes[pad.strokes.length - 1].push(Qt.point(mouse.x, mouse.y))
                        pad.drawn = true
                        canvas.requestPaint()
                    }
                }
            }
        }
        RowLayout {
            Layout.alignment: Qt.AlignRight
            Button { text: "Clear"; onClicked: pad.clear() }
            Button {
                objectName: "signatureOk"
                text: "OK"
                enabled: pad.drawn
                onClicked: pad.save()
            }
            Button { text: "Cancel"; onClicked: pad.close() }
        }
    }
}

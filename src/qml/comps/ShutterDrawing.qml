import QtQuick 2.15
import QtQuick.Window 2.15

// The drawing of one shutter (a VexaOrderItem), made by quoteTools and
// redrawn whenever the item announces a change of size, product, inch flag
// or data map. Option choices are not announced by the item: call refresh()
// after one.
Item {
    id: drawing
    property var item: null
    // the SVG shown, as a data URL (empty without an item)
    property string source: ""
    implicitWidth: 260
    implicitHeight: 220

    function refresh() {
        source = item && typeof quoteTools !== "undefined" ? quoteTools.drawingUrl(item) : ""
    }
    onItemChanged: refresh()
    Component.onCompleted: refresh()

    Connections {
        target: drawing.item
        ignoreUnknownSignals: true
        function onBl_widthChanged() { drawing.refresh() }
        function onBl_dropChanged() { drawing.refresh() }
        function onBl_inchesChanged() { drawing.refresh() }
        function onBl_productChanged() { drawing.refresh() }
        function onDataMapChanged() { drawing.refresh() }
    }

    Image {
        id: picture
        objectName: "shutterDrawingImage"
        anchors.fill: parent
        fillMode: Image.PreserveAspectFit
        source: drawing.source
        // drawn at the size shown (the height follows the drawing's shape)
        sourceSize.width: Math.max(1, Math.round(drawing.width * Screen.devicePixelRatio))
        cache: false
        smooth: true
        visible: drawing.source !== ""
    }
}

import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Window 2.15
import CustomStyles 1.0

// A small "?" that explains the control beside it. The explanation is a
// plain bubble in the window's overlay, not a popup: it takes no clicks, so
// the next click reaches the field under it, and it is placed where it does
// not cover the field the user is typing into.
ToolButton {
    id: control
    property string helpText
    property string glyph: Style.iconHelp
    property color glyphColor: Style.darkGrey
    property bool shown: false
    // false where the button does something else when clicked (the
    // calculator): then only hovering explains it
    property bool clickShowsHelp: true
    // made on first use, in the window's overlay
    property Item bubble: null
    readonly property bool bubbleShown: helpText !== "" && visible
                                        && (shown || (Style.touchScreen ? pressed : hovered))
    implicitWidth: 28
    implicitHeight: 28
    focusPolicy: Qt.NoFocus
    contentItem: Text {
        text: control.glyph
        font.family: Style.iconFont
        font.pixelSize: 18
        color: control.glyphColor
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }
    onClicked: if (clickShowsHelp) shown = !shown
    onHoveredChanged: if (hovered) place()
    onPressedChanged: if (pressed) place()
    onShownChanged: if (shown) { place(); hideTimer.restart() }

    // Right of the button, else below, above or left; the first spot inside
    // the window that keeps clear of the focused field.
    function place() {
        var overlay = control.Overlay.overlay
        if (!overlay || helpText === "")
            return
        if (!bubble)
            bubble = bubbleComponent.createObject(overlay)
        var at = control.mapToItem(overlay, 0, 0)
        var w = bubble.width, h = bubble.height, gap = 6
        var spots = [Qt.point(at.x + control.width + gap, at.y),
                     Qt.point(at.x + control.width - w, at.y + control.height + gap),
                     Qt.point(at.x + control.width - w, at.y - h - gap),
                     Qt.point(at.x - w - gap, at.y)]
        var focus = control.Window.activeFocusItem
        var fr = null
        if (focus && focus !== overlay && focus.width > 0) {
            var p = focus.mapToItem(overlay, 0, 0)
            fr = Qt.rect(p.x, p.y, focus.width, focus.height)
        }
        var best = null
        for (var i = 0; i < spots.length; ++i) {
            var s = spots[i]
            var x = Math.max(2, Math.min(s.x, overlay.width - w - 2))
            var y = Math.max(2, Math.min(s.y, overlay.height - h - 2))
            var clear = !fr || x + w <= fr.x || x >= fr.x + fr.width || y + h <= fr.y || y >= fr.y + fr.height
            if (clear) {
                best = Qt.point(x, y)
                break
            }
            if (best === null)
                best = Qt.point(x, y)
        }
        bubble.x = best.x
        bubble.y = best.y
    }

    Timer { id: hideTimer; interval: 8000; onTriggered: control.shown = false }
    Connections {
        target: control.Window.window
        ignoreUnknownSignals: true
        // typing elsewhere ends the explanation
        function onActiveFocusItemChanged() { if (control.shown) control.shown = false }
    }

    Component {
        id: bubbleComponent
        Rectangle {
            objectName: "helpBubble"
            z: 1000
            visible: control.bubbleShown
            width: Math.min(bubbleText.implicitWidth, 420) + 16
            height: bubbleText.implicitHeight + 12
            color: "#fffff0"
            border.color: Style.midGrey
            radius: 3
            Text {
                id: bubbleText
                x: 8
                y: 6
                width: Math.min(implicitWidth, 420)
                text: control.helpText
                wrapMode: Text.Wrap
                color: Style.darkGrey
                font.pixelSize: Style.textSize
            }
        }
    }
    Component.onDestruction: if (bubble) bubble.destroy()
}

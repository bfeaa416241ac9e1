pragma Singleton
import QtQuick 2.15

QtObject {
    readonly property bool desktop: Qt.platform.os !== "android" && Qt.platform.os !== "ios"
    readonly property bool touchScreen: !desktop
    readonly property string fontFamily: "Segoe UI"
    readonly property string iconFont: iconFontFamily

    readonly property int textSize: 16
    readonly property int textHeight: 16
    readonly property int textSizePlus: 17
    readonly property int largeSize: 18

    readonly property color lta_dark: "#7d7c7d"
    readonly property color darkBase: lta_dark
    readonly property color lta_bground: "#b3b596"
    readonly property color orange: lta_bground
    readonly property color todaycolor: lta_bground
    readonly property color toolbarbg: lta_bground
    readonly property color supplierClr: "darkgreen"
    readonly property color fittingClr: "darkred"
    readonly property color notafitting: "#0038ff"
    readonly property color darkGrey: "#404142"
    readonly property color lightGrey: "#EFEFEF"
    readonly property color veryLightGrey: "#EFEFEF"
    readonly property color buttonDisabled: "#DFDFDF"
    readonly property color midGrey: "#939598"
    readonly property color midyellow: "#FFD117"
    readonly property color purple: "#5E113D"
    readonly property color textColor: "white"

    property string currency: staticSettings.value("crncy", "&pound;")

    readonly property var emailRe: /^[^\s@]+@[^\s@]+\.[^\s@]+$/
    readonly property var pcodeRe: /^(GIR 0AA|([A-Z][0-9]{1,2}|[A-Z][A-HJ-Y][0-9]{1,2}|[A-Z][0-9][A-Z]|[A-Z][A-HJ-Y][0-9]?[A-Z]) [0-9][A-Z]{2})$/i

    readonly property string apptitle: "Lattica"
    readonly property string adminco: "Heldon"
    property int selCol1: -1

    // icon characters of the icon font
    readonly property string iconWarning: "\uf071"
    readonly property string iconClose: "\uf00d"
    readonly property string iconEdit: "\uf044"
    readonly property string iconHelp: "\uf059"
    readonly property string iconCalculator: "\uf1ec"
    readonly property string iconTick: "\uf00c"
}

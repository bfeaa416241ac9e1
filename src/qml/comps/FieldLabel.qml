import QtQuick 2.15
import QtQuick.Controls 2.15
import CustomStyles 1.0

Label {
    font.pixelSize: Style.textSize
    color: Style.darkGrey
    verticalAlignment: Text.AlignVCenter
}

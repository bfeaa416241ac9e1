import QtQuick 2.15
import QtQuick.Controls 2.15

// A choice list over one option group of the current item: filled from the
// group's choices, written back as the group's description.
ComboBox {
    id: combo
    property string group
    property bool dropNone: false
    // the item has this group
    property bool present: false
    signal chosen()
    implicitWidth: 220

    function fill(item, listGroup) {
        var og = item ? item.getOptionGroup(group) : null
        var src = item && listGroup ? item.getOptionGroup(listGroup) : og
        present = og !== null && src !== null
        if (!present) {
            model = []
            return
        }
        var list = src.descList.slice()
        if (dropNone)
            list = list.filter(function(d) { return d !== "None" })
        var keep = listGroup ? currentText : og.description
        model = list
        currentIndex = list.indexOf(og.description !== "" ? og.description : keep)
        if (listGroup && currentIndex < 0 && list.length > 0)
            currentIndex = 0
    }
    function write(item) {
        var og = item ? item.getOptionGroup(group) : null
        if (og)
            og.description = currentIndex >= 0 ? currentText : ""
    }
    onActivated: chosen()
}

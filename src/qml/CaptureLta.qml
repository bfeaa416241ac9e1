import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import CustomStyles 1.0
import "comps"
import "pricecalc"

// The survey: rooms, and in each room its shutters with sizes and options.
// Values move between the controls and the current item; pricing and checks
// stay in the order.
CaptureFormLta {
    id: screen
    objectName: "captureScreen"

    property bool loading: false
    property QtObject item: null
    property int itemIndex: -1
    property bool showPrices: staticSettings.value("showPrices_b", false) === true
    property var layout: ({ text: "", panels: 0, tposts: 0, cpanels: 0, astragal: false })
    readonly property string shutterStyle: styleCombo.currentIndex >= 0 ? styleCombo.currentText : ""
    readonly property bool cafe: shutterStyle.indexOf("Caf") === 0
    readonly property string frameStyle: frameStyleCombo.currentIndex >= 0 ? frameStyleCombo.currentText : ""
    readonly property bool vezaVedur: frameStyle.indexOf("Veza Vedur") >= 0
    readonly property var sides: ["L", "R", "T", "B"]
    readonly property alias buildoutDialog: buildoutDialog
    readonly property bool microMini: frameStyle.indexOf(" Micro") >= 0 || frameStyle.indexOf(" Mini") >= 0
    readonly property alias priceCalcDialog: priceCalcDialog
    readonly property alias roomDialog: roomDialog
    readonly property alias newRoomDialog: newRoomDialog
    readonly property alias renameDialog: renameDialog
    readonly property alias removeConfirm: removeConfirm
    readonly property string title: !item ? "" : _myOrder.currentRoom + " #" + (itemIndex + 1)
                                      + (item.bl_multiple > 1 ? " (x" + item.bl_multiple + ")" : "")

    dataArea.visible: _myOrder.currentRoom !== ""
    drawing.item: item
    drawing.visible: item !== null
    glass: item !== null && String(item.bl_product).indexOf("erfect") >= 0
    inchesWidth.visible: item !== null && item.bl_inches
    inchesHeight.visible: item !== null && item.bl_inches
    rearCoverRow.visible: vezaVedur && buildoutCombo.currentText.indexOf("All") < 0
    flexiRow.visible: vezaVedur
    bayWindow.visible: vezaVedur
    titleLabel.text: title
    warnButton.visible: _myOrder.numWarns > 0
    warnButton.helpText: _myOrder.warning
    productRow.visible: productCBModel.count > 1
    productCombo.model: productCBModel.comboList
    colourRow.visible: colourCombo.count > 2
    dividerRow.visible: shutterStyle.indexOf("ivider") >= 0
    rail2Field.visible: shutterStyle.indexOf("x 2") >= 0
    transomRow.visible: shutterStyle.indexOf("with Transom") >= 0
    splitRow.visible: shutterStyle.indexOf("no Transom") >= 0
    frameStyleCombo.enabled: shutterStyle !== ""
    frameAppCombo.enabled: frameStyle !== ""
    buildoutRow.visible: frameStyle.indexOf("Classic") < 0
    panelCount.text: layout.panels > 0 ? " Panels: " + layout.panels : ""
    panelHelp.helpText: item ? item.panelsDesc : ""
    tpostRow.visible: layout.tposts > 0
    tpostRepeater.model: Math.min(5, layout.tposts)
    cpanelRow.visible: layout.cpanels > 0
    cpanelRepeater.model: Math.min(5, layout.cpanels)
    astragalRow.visible: layout.astragal && astragalCombo.present
    priceRow.visible: showPrices
    priceField.text: _myOrder.blindprice
    totalRow.visible: showPrices && _myOrder.blindpriceex !== _myOrder.blindprice
    totalField.text: _myOrder.blindpriceex
    areaLabel.text: (widthField.value * heightField.value / 1000000).toFixed(2) + " sqm"

    roomList.model: roomsModel
    roomList.delegate: tileComponent
    itemList.model: roomItemsModel
    itemList.delegate: itemTileComponent

    Component {
        id: tileComponent
        Button {
            readonly property bool current: qtVariant === _myOrder.currentRoom
            width: 80
            height: 80
            text: qtVariant
            background: Rectangle { color: parent.current ? Style.toolbarbg : "white"; border.color: Style.midGrey }
            contentItem: Text {
                text: parent.text
                color: parent.current ? "white" : Style.darkGrey
                wrapMode: Text.Wrap
                elide: Text.ElideRight
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
            }
            onClicked: screen.selectRoom(qtVariant)
        }
    }
    Component {
        id: itemTileComponent
        Button {
            readonly property bool current: index === screen.itemIndex
            width: 80
            height: 80
            text: !qtObject ? "" : qtObject.room + "\n" + (index + 1) + (qtObject.bl_multiple > 1 ? " (x" + qtObject.bl_multiple + ")" : "")
            background: Rectangle { color: parent.current ? Style.toolbarbg : "white"; border.color: Style.midGrey }
            contentItem: Text {
                text: parent.text
                color: parent.current ? "white" : Style.darkGrey
                // a long room name wraps inside the tile
                wrapMode: Text.Wrap
                elide: Text.ElideRight
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
            }
            onClicked: screen.selectItem(index)
        }
    }

    // --- loading and saving -------------------------------------------------

    function selectRoom(room) {
        saveBlindData()
        _myOrder.setRoomItemsModel(room)
        loadItem(0)
    }

    function selectItem(index) {
        saveBlindData()
        loadItem(index)
    }

    function loadItem(index) {
        loading = true
        if (_myOrder.currentRoom === "" || roomItemsModel.count === 0) {
            item = null
            itemIndex = -1
            clearFields()
            loading = false
            return
        }
        itemIndex = Math.max(0, Math.min(index, roomItemsModel.count - 1))
        _myOrder.setBlind(_myOrder.currentRoom, itemIndex)
        item = _myOrder.getVexaOrderItem()
        widthField.setValue(item.bl_width)
        heightField.setValue(item.bl_drop)
        inchesWidth.text = item.bl_inches && item.bl_width > 0 ? _myOrder.mm2Inches(item.bl_width) : ""
        inchesHeight.text = item.bl_inches && item.bl_drop > 0 ? _myOrder.mm2Inches(item.bl_drop) : ""
        productCombo.currentIndex = productCBModel.index(item.bl_product)
        var d = item.dataMap
        louvreCombo.fill(item)
        if (glass) {
            loadGlass(d)
            loading = false
            _myOrder.processOrderItem(false)
            return
        }
        if (d.louvre !== undefined && louvreCombo.model.indexOf(d.louvre) >= 0)
            louvreCombo.currentIndex = louvreCombo.model.indexOf(d.louvre)
        colourCombo.fill(item)
        styleCombo.fill(item)
        fillFrameLists()
        frameStyleCombo.currentIndex = frameStyleCombo.model.indexOf(item.getOptionGroup("Frame Style")
                                                                     ? item.getOptionGroup("Frame Style").description : "")
        fillApplications()
        tiltCombo.fill(item)
        railSizeCombo.fill(item)
        buildoutCombo.fill(item)
        catchCombo.fill(item)
        customBuildout.text = d.CustomBuildout || ""
        rail1Field.setValue(d.DividerRail1 || 0)
        rail2Field.setValue(d.DividerRail2 || 0)
        transomField.setValue(d.TransomHeight || 0)
        splitField.setValue(d.SplitHeight || 0)
        tilt1Field.setValue(d.TiltBarSplit1 || 0)
        tilt2Field.setValue(d.TiltBarSplit2 || 0)
        panelField.text = d.PanelConfig || ""
        astragalCombo.fill(item)
        checkPanels()
        flatPack.checked = d.Flatpack === true
        preAssembled.checked = !flatPack.checked
        for (var i = 0; i < 4; ++i) {
            rigidRepeater.itemAt(i).checked = d["RigidScribe" + sides[i]] === true
            flexiRepeater.itemAt(i).checked = d["Scribe" + sides[i]] === true
        }
        bay90Field.setValue(groupCount("Bay Posts 90deg"))
        bay135Field.setValue(groupCount("Bay Posts 135deg"))
        flexiBayField.setValue(groupCount("FlexiBayJoint"))
        bayWindow.checked = bay90Field.value + bay135Field.value + flexiBayField.value > 0 || d.bayWindow === true
        rearCovers.checked = vezaVedur && groupCount("RearCovers") > 0
        applyAssembly(false)
        loading = false
        _myOrder.processOrderItem(false)
        if (widthField.text === "")
            widthField.forceActiveFocus()
    }

    function clearFields() {
        widthField.text = ""
        heightField.text = ""
        panelField.text = ""
        layout = { text: "", panels: 0, tposts: 0, cpanels: 0, astragal: false }
        for (var combo of [louvreCombo, colourCombo, styleCombo, frameStyleCombo, frameAppCombo, tiltCombo,
                           railSizeCombo, buildoutCombo, catchCombo, astragalCombo])
            combo.model = []
    }

    function setMap(map, key, value) {
        if (value === undefined || value === "" || value === 0 || value === false)
            delete map[key]
        else
            map[key] = value
    }

    function groupCount(group) {
        var og = item ? item.getOptionGroup(group) : null
        return og && og.description !== "" ? Math.max(1, og.multiple) : 0
    }

    function loadGlass(d) {
        glassPanelCombo.fill(item)
        glassDepthCombo.fill(item)
        handleTypeCombo.fill(item)
        handleLocationCombo.fill(item)
        handleColourCombo.fill(item)
        packerCombo.fill(item)
        doorColourCombo.fill(item)
        handleColourCount.value = Math.max(1, groupCount("Handle Colour"))
        packerCount.value = Math.max(1, groupCount("Handle Packer"))
        doorColourCount.value = Math.max(1, groupCount("Door Handle Colour"))
        centralBox.checked = d.Handle_Rebate_Position === "Centre"
        rebateField.text = centralBox.checked ? "centre" : (d.Handle_Rebate_Position || "")
        hrailField.setValue(d.HRailPosition || 0)
    }

    function writeCounted(combo, count) {
        combo.write(item)
        var og = item.getOptionGroup(combo.group)
        if (og && og.description !== "")
            og.multiple = count
    }

    function saveGlass(d) {
        var type = handleTypeCombo.currentIndex >= 0 ? handleTypeCombo.currentText : ""
        if (type.indexOf("Window") === 0) {
            setMap(d, "Handle_Rebate_Position", centralBox.checked ? "Centre" : rebateField.text.trim())
            delete d.HRailPosition
            doorColourCombo.currentIndex = -1
        } else if (type.indexOf("Door") === 0) {
            setMap(d, "HRailPosition", hrailField.value)
            handleColourCombo.currentIndex = -1
            packerCombo.currentIndex = -1
        } else {
            delete d.Handle_Rebate_Position
            delete d.HRailPosition
            handleColourCount.value = 1
            packerCount.value = 1
            doorColourCount.value = 1
            handleLocationCombo.currentIndex = -1
            handleColourCombo.currentIndex = -1
            doorColourCombo.currentIndex = -1
            packerCombo.currentIndex = -1
            hrailField.text = ""
        }
        glassPanelCombo.write(item)
        handleTypeCombo.write(item)
        handleLocationCombo.write(item)
        glassDepthCombo.write(item)
        writeCounted(handleColourCombo, handleColourCount.value)
        writeCounted(doorColourCombo, doorColourCount.value)
        writeCounted(packerCombo, packerCount.value)
    }

    function setCount(group, count) {
        var og = item.getOptionGroup(group)
        if (!og)
            return
        if (count > 0) {
            og.description = group
            og.multiple = count
        } else {
            og.description = ""
        }
    }

    function saveBlindData() {
        if (loading || !item)
            return
        item.bl_width = widthField.value
        item.bl_drop = heightField.value
        var d = item.dataMap
        colourCombo.write(item)
        louvreCombo.write(item)
        if (glass) {
            saveGlass(d)
            item.dataMap = d
            _myOrder.processOrderItem(true)
            return
        }
        if (layout.astragal)
            astragalCombo.write(item)
        else if (item.getOptionGroup("Astragal"))
            item.getOptionGroup("Astragal").description = ""
        styleCombo.write(item)
        frameStyleCombo.write(item)
        frameAppCombo.write(item)
        railSizeCombo.write(item)
        catchCombo.write(item)
        tiltCombo.write(item)
        buildoutCombo.write(item)
        var rear = item.getOptionGroup("RearCovers")
        if (rear)
            rear.description = rearCovers.checked && vezaVedur ? "RearCovers" : ""
        var bays = bayWindow.checked && vezaVedur
        setCount("Bay Posts 90deg", bays ? bay90Field.value : 0)
        setCount("Bay Posts 135deg", bays ? bay135Field.value : 0)
        setCount("FlexiBayJoint", bays ? flexiBayField.value : 0)
        for (var i = 0; i < 4; ++i) {
            setMap(d, "RigidScribe" + sides[i], rigidRepeater.itemAt(i).checked)
            setMap(d, "Scribe" + sides[i], vezaVedur && flexiRepeater.itemAt(i).checked)
        }
        var tier = item.getOptionGroup("TierPremium")
        if (tier)
            tier.description = shutterStyle.indexOf("Tier") === 0 ? staticSettings.value("tierprem", "10pcnt") : ""
        setCount("TPosts", layout.tposts)
        setCount("CPanels", layout.cpanels)
        setMap(d, "PanelConfig", layout.text)
        for (var t = 1; t <= 5; ++t)
            setMap(d, "TPost" + t, t <= tpostRepeater.count ? tpostRepeater.itemAt(t - 1).value : 0)
        for (var c = 1; c <= 5; ++c)
            setMap(d, "CPanel" + c, c <= cpanelRepeater.count ? cpanelRepeater.itemAt(c - 1).value : 0)
        setMap(d, "Flatpack", flatPack.checked)
        setMap(d, "TiltBarSplit1", tilt1Field.value)
        setMap(d, "TiltBarSplit2", tilt2Field.value)
        var divider = /ivider Rail( x 2)?$/.test(shutterStyle)
        setMap(d, "DividerRail1", divider ? rail1Field.value : 0)
        setMap(d, "DividerRail2", /ivider Rail x 2$/.test(shutterStyle) ? rail2Field.value : 0)
        setMap(d, "SplitHeight", splitRow.visible ? splitField.value : 0)
        setMap(d, "TransomHeight", transomRow.visible ? transomField.value : 0)
        setMap(d, "CustomBuildout", buildoutCombo.currentText === "Custom" ? customBuildout.text : "")
        item.dataMap = d
        _myOrder.processOrderItem(true)
        // option choices (louvre, frame, tilt bar) are not announced by the item
        drawing.refresh()
    }

    function edited() {
        if (!loading)
            saveBlindData()
    }

    // --- style, frame and panel rules ----------------------------------------

    function fillFrameLists() {
        if (!item)
            return
        if (shutterStyle === "") {
            frameStyleCombo.model = []
            frameAppCombo.model = []
            return
        }
        var styles = shutterStyle.indexOf("Caf") === 0 ? "Frame Style Cafe-"
                   : shutterStyle.indexOf("Tier") === 0 ? "Frame Style Tier-" : ""
        frameStyleCombo.fill(item, styles !== "" && item.getOptionGroup(styles) ? styles : "")
        fillApplications()
    }

    function fillApplications() {
        if (!item)
            return
        var apps = cafe ? "Frame Application Cafe-"
                 : frameStyle.indexOf("Vude L") >= 0 ? "Frame Application Vude-" : ""
        frameAppCombo.fill(item, apps !== "" && item.getOptionGroup(apps) ? apps : "")
    }

    function checkPanels() {
        var l = screenTools.panelLayout(panelField.text, cafe, microMini, transomRow.visible)
        if (l.text !== panelField.text)
            panelField.text = l.text
        layout = l
        if (l.astragal && astragalCombo.currentIndex < 0 && astragalCombo.count > 0)
            astragalCombo.currentIndex = 0
        restoreMarks()
    }

    // The T-post and C-panel fields are made afresh when their number
    // changes; they show the positions the item holds.
    function restoreMarks() {
        var d = item ? item.dataMap : ({})
        for (var t = 0; t < tpostRepeater.count; ++t)
            tpostRepeater.itemAt(t).setValue(d["TPost" + (t + 1)] || 0)
        for (var c = 0; c < cpanelRepeater.count; ++c)
            cpanelRepeater.itemAt(c).setValue(d["CPanel" + (c + 1)] || 0)
    }

    function applyAssembly(widthEdited) {
        var current = flatPack.checked ? 2 : preAssembled.checked ? 1 : 0
        var a = screenTools.assembly(widthField.value, heightField.value, widthEdited, current)
        preAssembled.enabled = a.preAllowed
        flatPack.enabled = a.flatAllowed
        flatPack.checked = a.ticked === 2
        preAssembled.checked = a.ticked === 1
        assemblyHelp.helpText = "Up to " + a.maxPreassembledWidth + "mm shutters are pre-assembled.\n"
            + "Above " + a.flatPackWidth + "mm or above " + (a.flatPackArea / 1000000).toFixed(1)
            + " sq metres they are flat packed.\nIn between they are flat packed by default but can be pre-assembled on request."
    }

    PriceCalc { id: priceCalcDialog }
    Connections {
        target: screen.calcButton
        function onClicked() {
            screen.saveBlindData()
            priceCalcDialog.openFor(-1)
        }
    }

    Connections {
        target: screen.widthField
        function onEdited() { screen.applyAssembly(true); screen.edited() }
    }
    Connections {
        target: screen.heightField
        function onEdited() { screen.applyAssembly(false); screen.edited() }
    }
    Connections {
        target: screen.panelField
        function onTextEdited() { screen.checkPanels(); screen.edited() }
    }
    Connections {
        target: screen.styleCombo
        function onChosen() {
            if (screen.transomRow.visible) {
                screen.panelField.text = ""
                screen.checkPanels()
            }
            screen.fillFrameLists()
            if (!screen.vezaVedur)
                screen.rearCovers.checked = false
            screen.edited()
        }
    }
    Connections {
        target: screen.frameStyleCombo
        function onChosen() {
            screen.frameAppCombo.currentIndex = -1
            screen.fillApplications()
            if (screen.microMini && /RR|LL|C/.test(screen.panelField.text)) {
                screen.panelField.text = ""
                screen.checkPanels()
            }
            if (!screen.buildoutRow.visible)
                screen.buildoutCombo.currentIndex = 0
            if (!screen.vezaVedur) {
                screen.rearCovers.checked = false
                for (var i = 0; i < 4; ++i)
                    screen.flexiRepeater.itemAt(i).checked = false
            }
            screen.edited()
        }
    }
    Connections {
        target: screen.buildoutCombo
        function onChosen() {
            var choice = screen.buildoutCombo.currentText
            if (choice === "Custom") {
                screen.buildoutDialog.openFor(screen.customBuildout.text)
                return
            }
            screen.customBuildout.text = ""
            if (choice.indexOf("All") >= 0)
                screen.rearCovers.checked = false
            screen.buildoutCombo.write(screen.item)
            _myOrder.optionSelected("Build Out", choice, -1)
            screen.edited()
        }
    }
    Connections { target: screen.frameAppCombo; function onChosen() { screen.edited() } }
    Connections { target: screen.louvreCombo; function onChosen() { screen.edited() } }
    Connections { target: screen.colourCombo; function onChosen() { screen.edited() } }
    Connections { target: screen.railSizeCombo; function onChosen() { screen.edited() } }
    Connections { target: screen.catchCombo; function onChosen() { screen.edited() } }
    Connections { target: screen.tiltCombo; function onChosen() { screen.edited() } }
    Connections { target: screen.astragalCombo; function onChosen() { screen.edited() } }
    Connections { target: screen.flatPack; function onClicked() { screen.edited() } }
    Connections { target: screen.rearCovers; function onClicked() { screen.edited() } }
    Connections { target: screen.bayWindow; function onClicked() { screen.edited() } }
    Connections { target: screen.centralBox; function onClicked() { screen.rebateField.text = ""; screen.edited() } }
    Connections { target: screen.rebateField; function onEditingFinished() { screen.edited() } }
    Connections {
        target: screen.handleLocationCombo
        function onChosen() { screen.rebateField.text = ""; screen.edited() }
    }
    Connections { target: screen.glassPanelCombo; function onChosen() { screen.edited() } }
    Connections { target: screen.glassDepthCombo; function onChosen() { screen.edited() } }
    Connections { target: screen.handleTypeCombo; function onChosen() { screen.edited() } }
    Connections { target: screen.handleColourCombo; function onChosen() { screen.edited() } }
    Connections { target: screen.packerCombo; function onChosen() { screen.edited() } }
    Connections { target: screen.doorColourCombo; function onChosen() { screen.edited() } }
    Connections { target: screen.handleColourCount; function onValueModified() { screen.edited() } }
    Connections { target: screen.packerCount; function onValueModified() { screen.edited() } }
    Connections { target: screen.doorColourCount; function onValueModified() { screen.edited() } }
    Connections {
        target: screen.inchesWidth
        function onEditingFinished() {
            screen.widthField.setValue(Number(_myOrder.inches2mm(screen.inchesWidth.text)) || 0)
            screen.applyAssembly(true)
            screen.edited()
        }
    }
    Connections {
        target: screen.inchesHeight
        function onEditingFinished() {
            screen.heightField.setValue(Number(_myOrder.inches2mm(screen.inchesHeight.text)) || 0)
            screen.applyAssembly(false)
            screen.edited()
        }
    }
    Connections { target: screen.preAssembled; function onClicked() { screen.edited() } }
    Connections {
        target: screen.productCombo
        function onActivated(index) {
            screen.saveBlindData()
            _myOrder.productSelected(index)
            screen.loadItem(screen.itemIndex)
            if (screen.glass && screen.louvreCombo.count > 1)
                screen.louvreCombo.currentIndex = 1
            screen.saveBlindData()
        }
    }
    Connections {
        target: screen.panelCheck
        function onToggled() { staticSettings.setValue("panelWidthChk_b", screen.panelCheck.checked) }
    }
    Connections { target: screen.newRoomButton; function onClicked() { screen.saveBlindData(); roomDialog.open() } }
    Connections { target: screen.newShutterButton; function onClicked() { screen.newShutter() } }
    Connections { target: screen.editRoomButton; function onClicked() { renameDialog.name = _myOrder.currentRoom; renameDialog.open() } }
    Connections { target: screen.copyButton; function onClicked() { copyMenu.popup(screen.copyButton, screen.copyButton.width - copyMenu.width, screen.copyButton.height) } }
    Connections {
        target: screen.removeButton
        function onClicked() {
            removeConfirm.text = "Do you really want to remove " + screen.title + "?"
            removeConfirm.open()
        }
    }
    // the number fields of the rows that come and go
    Connections {
        target: screen.tpostRepeater
        function onItemAdded(index, field) { field.edited.connect(screen.edited) }
    }
    Connections {
        target: screen.cpanelRepeater
        function onItemAdded(index, field) { field.edited.connect(screen.edited) }
    }
    Component.onCompleted: {
        for (var f of [rail1Field, rail2Field, transomField, splitField, tilt1Field, tilt2Field, bay90Field,
                       bay135Field, flexiBayField, hrailField])
            f.edited.connect(edited)
        // a rigid and a flexible strip on the same side exclude each other
        for (var i = 0; i < 4; ++i) {
            var rigid = rigidRepeater.itemAt(i), flexi = flexiRepeater.itemAt(i)
            rigid.enabled = Qt.binding(function(f) { return function() { return !f.checked } }(flexi))
            flexi.enabled = Qt.binding(function(r) { return function() { return !r.checked } }(rigid))
            rigid.clicked.connect(edited)
            flexi.clicked.connect(edited)
        }
        staticSettings.setValue("panelWidthChk_b", true)
        panelCheck.checked = true
        if (_myOrder.currentRoom === "") {
            roomDialog.open()
        } else {
            loadItem(Math.max(0, _myOrder.indexInRoom()))
        }
    }

    // Leaving the survey keeps everything typed.
    Component.onDestruction: {
        saveBlindData()
        _myOrder.changed = true
        _myOrder.saveOrder()
    }

    // --- rooms and items ---------------------------------------------------

    function newShutter() {
        saveBlindData()
        var count = _myOrder.addBlind(_myOrder.currentRoom)
        loadItem(count - 1)
        flatPack.checked = true
        widthField.forceActiveFocus()
    }

    function openRoom(name) {
        var room = name.trim()
        if (room === "")
            return false
        if (roomsModel.list().indexOf(room) >= 0) {
            selectRoom(room)
        } else {
            saveBlindData()
            _myOrder.addBlind(room)
            loadItem(0)
        }
        return true
    }

    function removeCurrent() {
        var room = _myOrder.currentRoom
        var at = itemIndex
        var roomAt = roomsModel.list().indexOf(room)
        _myOrder.removeBlind(room, at)
        item = null
        if (roomsModel.list().indexOf(room) >= 0) {
            loadItem(Math.max(0, at - 1))
            return
        }
        var rooms = roomsModel.list()
        if (rooms.length > 0) {
            // the room before the one that went, or the new first one
            _myOrder.setRoomItemsModel(rooms[Math.max(0, Math.min(roomAt - 1, rooms.length - 1))])
            loadItem(0)
        } else {
            _myOrder.currentRoom = ""
            loadItem(-1)
        }
    }

    Dialog {
        id: roomDialog
        objectName: "roomDialog"
        title: "Select Room"
        modal: true
        anchors.centerIn: Overlay.overlay
        standardButtons: Dialog.Ok | Dialog.Cancel
        property alias combo: roomCombo
        ComboBox {
            id: roomCombo
            objectName: "roomCombo"
            implicitWidth: 240
            model: roomNamesCBModel.comboList
        }
        onAccepted: {
            if (roomCombo.currentIndex === roomCombo.count - 1) {
                newRoomDialog.name = ""
                newRoomDialog.open()
            } else if (roomCombo.currentIndex >= 0) {
                screen.openRoom(roomCombo.currentText)
            }
        }
    }
    NameDialog {
        id: newRoomDialog
        objectName: "newRoomDialog"
        title: "New Room"
        prompt: "New Room Name"
        onAccepted: {
            if (screenTools.addRoomName(trimmedName))
                screen.openRoom(trimmedName)
        }
    }
    NameDialog {
        id: renameDialog
        objectName: "renameDialog"
        title: "Edit room name"
        prompt: "Room name"
        onAccepted: {
            if (trimmedName === "")
                return
            screen.saveBlindData()
            _myOrder.changeRoomName(_myOrder.currentRoom, trimmedName)
        }
    }
    // This item's choices for the other items of the room or of the order.
    function copyItem(wholeHouse) {
        saveBlindData()
        if (wholeHouse)
            _myOrder.copyToAllInHouse(_myOrder.currentRoom, itemIndex)
        else
            _myOrder.copyToAllInRoom(_myOrder.currentRoom, itemIndex)
        _myOrder.changed = true
        loadItem(itemIndex)
    }

    Menu {
        id: copyMenu
        objectName: "copyMenu"
        MenuItem { text: "Copy to all in this room"; onTriggered: screen.copyItem(false) }
        MenuItem { text: "Copy to all in the house"; onTriggered: screen.copyItem(true) }
    }

    Dialog {
        id: buildoutDialog
        objectName: "buildoutDialog"
        title: "Select the buildout for each side"
        modal: true
        anchors.centerIn: Overlay.overlay
        standardButtons: Dialog.Ok | Dialog.Cancel
        readonly property var choices: [" ", "12mm", "25mm", "37mm", "50mm"]
        readonly property var labels: ["Left", "Right", "Top", "Bottom"]
        property alias sideRepeater: sideRepeater
        function openFor(stored) {
            // "L:12mm R:25mm T: B:"
            for (var i = 0; i < 4; ++i) {
                var m = new RegExp(screen.sides[i] + ":(\\S*)").exec(stored)
                var at = m ? choices.indexOf(m[1]) : -1
                sideRepeater.itemAt(i).combo.currentIndex = at < 0 ? 0 : at
            }
            open()
        }
        function value() {
            var parts = []
            for (var i = 0; i < 4; ++i)
                parts.push(screen.sides[i] + ":" + sideRepeater.itemAt(i).combo.currentText.trim())
            return parts.join(" ")
        }
        GridLayout {
            columns: 2
            Repeater {
                id: sideRepeater
                model: 4
                RowLayout {
                    property alias combo: sideCombo
                    Label { text: buildoutDialog.labels[index]; Layout.preferredWidth: 60 }
                    ComboBox { id: sideCombo; model: buildoutDialog.choices }
                }
            }
        }
        onAccepted: {
            screen.customBuildout.text = value()
            screen.edited()
        }
    }
    ConfirmDialog {
        id: removeConfirm
        objectName: "removeConfirm"
        onAccepted: screen.removeCurrent()
    }
}

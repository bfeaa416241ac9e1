import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import CustomStyles 1.0
import "comps"

// Layout of the survey screen; CaptureLta.qml gives it its behaviour.
Item {
    id: form
    property alias drawing: drawing
    property alias newRoomButton: newRoomButton
    property alias newShutterButton: newShutterButton
    property alias roomList: roomList
    property alias itemList: itemList
    property alias dataArea: dataArea
    property alias titleLabel: titleLabel
    property alias editRoomButton: editRoomButton
    property alias warnButton: warnButton
    property alias removeButton: removeButton
    property alias copyButton: copyButton
    property alias productCombo: productCombo
    property alias productRow: productRow
    property alias widthField: widthField
    property alias heightField: heightField
    property alias areaLabel: areaLabel
    property alias preAssembled: preAssembled
    property alias flatPack: flatPack
    property alias assemblyHelp: assemblyHelp
    property alias louvreCombo: louvreCombo
    property alias colourCombo: colourCombo
    property alias colourRow: colourRow
    property alias styleCombo: styleCombo
    property alias dividerRow: dividerRow
    property alias rail1Field: rail1Field
    property alias rail2Field: rail2Field
    property alias transomRow: transomRow
    property alias transomField: transomField
    property alias splitRow: splitRow
    property alias splitField: splitField
    property alias frameStyleCombo: frameStyleCombo
    property alias frameAppCombo: frameAppCombo
    property alias panelField: panelField
    property alias panelCount: panelCount
    property alias panelHelp: panelHelp
    property alias tpostRow: tpostRow
    property alias tpostRepeater: tpostRepeater
    property alias cpanelRow: cpanelRow
    property alias cpanelRepeater: cpanelRepeater
    property alias tilt1Field: tilt1Field
    property alias tilt2Field: tilt2Field
    property alias tiltCombo: tiltCombo
    property alias railSizeCombo: railSizeCombo
    property alias astragalRow: astragalRow
    property alias astragalCombo: astragalCombo
    property alias buildoutRow: buildoutRow
    property alias buildoutCombo: buildoutCombo
    property alias customBuildout: customBuildout
    property alias catchCombo: catchCombo
    property alias rearCoverRow: rearCoverRow
    property alias rearCovers: rearCovers
    property alias bayWindow: bayWindow
    property alias bayRow: bayRow
    property alias bay90Field: bay90Field
    property alias bay135Field: bay135Field
    property alias flexiBayField: flexiBayField
    property alias rigidRepeater: rigidRepeater
    property alias flexiRow: flexiRow
    property alias flexiRepeater: flexiRepeater
    property alias widthLabel: widthLabel
    property alias heightLabel: heightLabel
    property alias inchesWidth: inchesWidth
    property alias inchesHeight: inchesHeight
    property bool glass: false
    property alias glassGrid: glassGrid
    property alias glassPanelCombo: glassPanelCombo
    property alias glassDepthCombo: glassDepthCombo
    property alias handleTypeCombo: handleTypeCombo
    property alias handleLocationCombo: handleLocationCombo
    property alias rebateField: rebateField
    property alias centralBox: centralBox
    property alias handleColourCombo: handleColourCombo
    property alias handleColourCount: handleColourCount
    property alias packerCombo: packerCombo
    property alias packerCount: packerCount
    property alias hrailField: hrailField
    property alias doorColourCombo: doorColourCombo
    property alias doorColourCount: doorColourCount
    property alias priceRow: priceRow
    property alias calcButton: calcButton
    property alias priceField: priceField
    property alias totalRow: totalRow
    property alias totalField: totalField
    property alias panelCheck: panelCheck
    property int tileSize: 80

    Rectangle { anchors.fill: parent; color: Style.lightGrey }

    Flickable {
        id: flick
        anchors.fill: parent
        contentWidth: Math.max(width, 768)
        contentHeight: Math.max(height, content.implicitHeight + 20)
        clip: true
        ScrollBar.vertical: ScrollBar {}

        RowLayout {
            id: content
            x: 8
            y: 8
            // room for the scroll bar at the right
            width: flick.contentWidth - 24
            spacing: 10

            ColumnLayout {
                Layout.alignment: Qt.AlignTop
                Layout.preferredWidth: 2 * form.tileSize + 6
                RowLayout {
                    spacing: 6
                    Button {
                        id: newRoomButton
                        objectName: "newRoomButton"
                        text: "New\nRoom"
                        Layout.preferredWidth: form.tileSize
                        Layout.preferredHeight: form.tileSize
                    }
                    Button {
                        id: newShutterButton
                        objectName: "newShutterButton"
                        text: "New\nShutter"
                        Layout.preferredWidth: form.tileSize
                        Layout.preferredHeight: form.tileSize
                    }
                }
                RowLayout {
                    spacing: 6
                    Layout.alignment: Qt.AlignTop
                    ListView {
                        id: roomList
                        objectName: "roomList"
                        Layout.alignment: Qt.AlignTop
                        Layout.preferredWidth: form.tileSize
                        Layout.preferredHeight: Math.max(form.tileSize, count * (form.tileSize + 4))
                        spacing: 4
                        interactive: false
                    }
                    ListView {
                        id: itemList
                        objectName: "itemList"
                        Layout.alignment: Qt.AlignTop
                        Layout.preferredWidth: form.tileSize
                        Layout.preferredHeight: Math.max(form.tileSize, count * (form.tileSize + 4))
                        spacing: 4
                        interactive: false
                    }
                }
                // the shutter as typed, beside its fields
                ShutterDrawing {
                    id: drawing
                    objectName: "surveyDrawing"
                    Layout.preferredWidth: 2 * form.tileSize + 6
                    Layout.preferredHeight: 240
                }
            }

            ColumnLayout {
                id: dataArea
                Layout.alignment: Qt.AlignTop
                Layout.fillWidth: true
                spacing: 8
                RowLayout {
                    Label {
                        id: titleLabel
                        objectName: "titleLabel"
                        font.pixelSize: 25
                        font.weight: Font.Black
                    }
                    HelpButton { id: editRoomButton; objectName: "editRoomButton"; glyph: Style.iconEdit }
                    HelpButton {
                        id: warnButton
                        objectName: "warnButton"
                        glyph: Style.iconWarning
                        glyphColor: "red"
                    }
                    Label { text: _myOrder.numWarns; color: "red"; visible: warnButton.visible }
                    Item { Layout.fillWidth: true }
                    Button { id: copyButton; objectName: "copyButton"; text: "Copy..." }
                    Button { id: removeButton; objectName: "removeButton"; text: "Remove" }
                }
                GridLayout {
                    id: sizeGrid
                    columns: 4
                    columnSpacing: 10
                    rowSpacing: 6

                    FieldLabel { text: "Product"; visible: productRow.visible }
                    RowLayout {
                        id: productRow
                        Layout.columnSpan: 3
                        ComboBox { id: productCombo; objectName: "productCombo"; implicitWidth: 220 }
                    }

                    FieldLabel { id: widthLabel; text: form.glass ? "Glass width (mm)" : "Width (mm)" }
                    RowLayout {
                        NumField { id: widthField; objectName: "widthField" }
                        TextField { id: inchesWidth; objectName: "inchesWidth"; placeholderText: "in"; implicitWidth: 80 }
                    }
                    FieldLabel { id: heightLabel; text: form.glass ? "Glass height (mm)" : "Height (mm)" }
                    RowLayout {
                        NumField { id: heightField; objectName: "heightField" }
                        TextField { id: inchesHeight; objectName: "inchesHeight"; placeholderText: "in"; implicitWidth: 80 }
                        Label { id: areaLabel; objectName: "areaLabel" }
                    }

                }
                GridLayout {
                    id: glassGrid
                    visible: form.glass
                    columns: 4
                    columnSpacing: 10
                    rowSpacing: 6
                    FieldLabel { text: "Panel Configuration" }
                    GroupCombo { id: glassPanelCombo; objectName: "glassPanelCombo"; group: "Panel Configuration" }
                    FieldLabel { text: "Glass Depth" }
                    RowLayout {
                        GroupCombo { id: glassDepthCombo; objectName: "glassDepthCombo"; group: "Glass Depth" }
                        HelpButton { helpText: "Depth from frame to glass" }
                    }
                    FieldLabel { text: "Handle Type" }
                    GroupCombo { id: handleTypeCombo; objectName: "handleTypeCombo"; group: "Handle Type" }
                    FieldLabel { text: "Handle Location"; visible: handleLocationCombo.visible }
                    GroupCombo { id: handleLocationCombo; objectName: "handleLocationCombo"; group: "Handle Location"; visible: handleTypeCombo.currentIndex > 1 }
                    Item { visible: !handleLocationCombo.visible; Layout.columnSpan: 2; implicitWidth: 1; implicitHeight: 1 }
                    FieldLabel { text: "Handle Rebate\nPosition"; visible: handleTypeCombo.currentIndex === 2 }
                    RowLayout {
                        visible: handleTypeCombo.currentIndex === 2
                        Layout.columnSpan: 3
                        TextField { id: rebateField; objectName: "rebateField"; enabled: !centralBox.checked; implicitWidth: 100 }
                        CheckBox { id: centralBox; objectName: "centralBox"; text: "Central?" }
                        HelpButton {
                            helpText: "mm to centre of handle rebate.\nFor a left or right handle, measure from the bottom of the glass.\nFor a bottom handle, measure from the left the glass.\nClick Central for the rebate to be in the centre of the style."
                        }
                    }
                    FieldLabel { text: "Handle Colour"; visible: handleTypeCombo.currentIndex === 2 }
                    RowLayout {
                        visible: handleTypeCombo.currentIndex === 2
                        Layout.columnSpan: 3
                        GroupCombo { id: handleColourCombo; objectName: "handleColourCombo"; group: "Handle Colour" }
                        SpinBox { id: handleColourCount; from: 1; to: 20 }
                        HelpButton { helpText: "If you need extra window handles in this colour you can increase this value. " }
                    }
                    FieldLabel { text: "Handle Packers"; visible: handleTypeCombo.currentIndex === 2 }
                    RowLayout {
                        visible: handleTypeCombo.currentIndex === 2
                        Layout.columnSpan: 3
                        GroupCombo { id: packerCombo; objectName: "packerCombo"; group: "Handle Packer" }
                        SpinBox { id: packerCount; from: 1; to: 20; visible: packerCombo.currentIndex > 1 }
                        HelpButton { helpText: "Number of handle packers." }
                    }
                    FieldLabel { text: "H-rail position"; visible: handleTypeCombo.currentIndex === 3 }
                    RowLayout {
                        visible: handleTypeCombo.currentIndex === 3
                        Layout.columnSpan: 3
                        NumField { id: hrailField; objectName: "hrailField" }
                        HelpButton { helpText: "The distance from the bottom of the door glass to the H-rail" }
                    }
                    FieldLabel { text: "Handle Colour\nand size"; visible: handleTypeCombo.currentIndex === 3 }
                    RowLayout {
                        visible: handleTypeCombo.currentIndex === 3
                        Layout.columnSpan: 3
                        GroupCombo { id: doorColourCombo; objectName: "doorColourCombo"; group: "Door Handle Colour" }
                        SpinBox { id: doorColourCount; from: 1; to: 20 }
                        HelpButton { helpText: "If you need additional door handles in this colour and size you can increase this value. " }
                    }
                }
                GridLayout {
                    id: optionsGrid
                    visible: !form.glass
                    columns: 4
                    columnSpacing: 10
                    rowSpacing: 6

                    FieldLabel { text: "Assembly" }
                    RowLayout {
                        Layout.columnSpan: 3
                        ButtonGroup { id: assemblyGroup }
                        RadioButton { id: preAssembled; objectName: "preAssembled"; text: "Pre-assembled"; ButtonGroup.group: assemblyGroup }
                        RadioButton { id: flatPack; objectName: "flatPack"; text: "Flat-Pack"; ButtonGroup.group: assemblyGroup }
                        HelpButton { id: assemblyHelp }
                    }

                    FieldLabel { text: "Louvre Size" }
                    GroupCombo { id: louvreCombo; objectName: "louvreCombo"; group: "Louvre Size" }
                    FieldLabel { text: "Colour"; visible: colourRow.visible }
                    RowLayout { id: colourRow; GroupCombo { id: colourCombo; objectName: "colourCombo"; group: "Colour" } }
                    Item { visible: !colourRow.visible; Layout.columnSpan: 2; implicitWidth: 1; implicitHeight: 1 }

                    FieldLabel { text: "Shutter Style" }
                    GroupCombo { id: styleCombo; objectName: "styleCombo"; group: "Shutter Style"; Layout.columnSpan: 3 }

                    FieldLabel { text: "    Divider Rail"; visible: dividerRow.visible }
                    RowLayout {
                        id: dividerRow
                        Layout.columnSpan: 3
                        FieldLabel { text: "Rail1 height" }
                        NumField { id: rail1Field; objectName: "rail1Field" }
                        FieldLabel { text: "Rail2 height"; visible: rail2Field.visible }
                        NumField { id: rail2Field; objectName: "rail2Field" }
                        HelpButton {
                            helpText: "At least one divider rail is required if the panel height is over 2400mm.  Measure from bottom of the panel to centre of each rail."
                        }
                    }
                    FieldLabel { text: "   Transom height"; visible: transomRow.visible }
                    RowLayout {
                        id: transomRow
                        Layout.columnSpan: 3
                        NumField { id: transomField; objectName: "transomField" }
                        HelpButton { helpText: "Enter the distance in mm from the bottom of the shutter to the centre of the transom" }
                    }
                    FieldLabel { text: "   Split Height"; visible: splitRow.visible }
                    RowLayout {
                        id: splitRow
                        Layout.columnSpan: 3
                        NumField { id: splitField; objectName: "splitField" }
                        HelpButton { helpText: "Enter the distance in mm from the bottom of the shutter to the centre of the split" }
                    }

                    FieldLabel { text: "Frame Style" }
                    GroupCombo { id: frameStyleCombo; objectName: "frameStyleCombo"; group: "Frame Style" }
                    FieldLabel { text: "Frame Application"; visible: frameAppCombo.visible }
                    GroupCombo { id: frameAppCombo; objectName: "frameAppCombo"; group: "Frame Application"; visible: present }
                    Item { visible: !frameAppCombo.visible; Layout.columnSpan: 2; implicitWidth: 1; implicitHeight: 1 }

                    FieldLabel { text: "Panel Configuration" }
                    RowLayout {
                        Layout.columnSpan: 3
                        TextField {
                            id: panelField
                            objectName: "panelField"
                            implicitWidth: 160
                            selectByMouse: true
                            inputMethodHints: Qt.ImhUppercaseOnly | Qt.ImhNoPredictiveText
                        }
                        Label { id: panelCount; objectName: "panelCount" }
                        HelpButton { id: panelHelp }
                        Label { text: "Type C for custom width panel positions."; color: Style.midGrey }
                    }

                    FieldLabel { text: "T-Posts"; visible: tpostRow.visible }
                    RowLayout {
                        id: tpostRow
                        Layout.columnSpan: 3
                        Repeater {
                            id: tpostRepeater
                            model: 0
                            NumField { placeholderText: "T-Post " + (index + 1); implicitWidth: 90 }
                        }
                        HelpButton { helpText: "Enter the distance in mm from the left side of the shutter to the centre of each T-Post" }
                    }
                    FieldLabel { text: "Custom Panel\nmeasures"; visible: cpanelRow.visible }
                    RowLayout {
                        id: cpanelRow
                        Layout.columnSpan: 3
                        Repeater {
                            id: cpanelRepeater
                            model: 0
                            NumField { placeholderText: "C-Panel " + (index + 1); implicitWidth: 90 }
                        }
                        HelpButton { helpText: "The distance from the left of the shutter to the centre point between L and R panels" }
                    }

                    FieldLabel { text: "Tilt Bar Location" }
                    RowLayout {
                        Layout.columnSpan: 3
                        GroupCombo { id: tiltCombo; objectName: "tiltCombo"; group: "Tilt Bar"; visible: present }
                        NumField { id: tilt1Field; objectName: "tilt1Field"; placeholderText: "split 1"; implicitWidth: 90 }
                        NumField { id: tilt2Field; objectName: "tilt2Field"; placeholderText: "split 2"; implicitWidth: 90 }
                    }

                    FieldLabel { text: "Rail Size"; visible: railSizeCombo.visible }
                    GroupCombo { id: railSizeCombo; objectName: "railSizeCombo"; group: "Rail Size"; visible: present }
                    Item { visible: !railSizeCombo.visible; Layout.columnSpan: 2; implicitWidth: 1; implicitHeight: 1 }
                    FieldLabel { text: "Astragal"; visible: astragalRow.visible }
                    RowLayout {
                        id: astragalRow
                        GroupCombo { id: astragalCombo; objectName: "astragalCombo"; group: "Astragal"; dropNone: true }
                    }
                    Item { visible: !astragalRow.visible; Layout.columnSpan: 2; implicitWidth: 1; implicitHeight: 1 }

                    FieldLabel { text: "Buildout"; visible: buildoutRow.visible }
                    RowLayout {
                        id: buildoutRow
                        GroupCombo { id: buildoutCombo; objectName: "buildoutCombo"; group: "Build Out" }
                        Label { id: customBuildout }
                    }
                    Item { visible: !buildoutRow.visible; Layout.columnSpan: 2; implicitWidth: 1; implicitHeight: 1 }
                    FieldLabel { text: "Closure Catch"; visible: catchCombo.visible }
                    GroupCombo { id: catchCombo; objectName: "catchCombo"; group: "Catch"; visible: present }
                    Item { visible: !catchCombo.visible; Layout.columnSpan: 2; implicitWidth: 1; implicitHeight: 1 }

                    FieldLabel { text: "Rear Cover Strips?"; visible: rearCoverRow.visible }
                    RowLayout { id: rearCoverRow; CheckBox { id: rearCovers; objectName: "rearCovers" } }
                    FieldLabel { text: "Bay Window?"; visible: bayWindow.visible }
                    CheckBox { id: bayWindow; objectName: "bayWindow" }
                    Item { visible: !rearCoverRow.visible; Layout.columnSpan: 2; implicitWidth: 1; implicitHeight: 1 }
                    Item { visible: !bayWindow.visible; Layout.columnSpan: 2; implicitWidth: 1; implicitHeight: 1 }
                    RowLayout {
                        id: bayRow
                        // bay posts are ordered with a bay frame only
                        visible: bayWindow.visible && bayWindow.checked
                        Layout.columnSpan: 4
                        FieldLabel { text: "    90\u00B0 Bay Posts" }
                        NumField { id: bay90Field; objectName: "bay90Field"; maxValue: 20; implicitWidth: 60 }
                        FieldLabel { text: "135\u00B0 Bay Posts" }
                        NumField { id: bay135Field; objectName: "bay135Field"; maxValue: 20; implicitWidth: 60 }
                        FieldLabel { text: "    Flexi Bay Joints" }
                        NumField { id: flexiBayField; objectName: "flexiBayField"; maxValue: 20; implicitWidth: 60 }
                    }
                    FieldLabel { text: "Rigid Scribe Strips" }
                    RowLayout {
                        Layout.columnSpan: 3
                        Repeater {
                            id: rigidRepeater
                            model: ["Left", "Right", "Top", "Bottom"]
                            CheckBox { text: modelData }
                        }
                    }
                    FieldLabel { text: "Flexi Scribe Strips"; visible: flexiRow.visible }
                    RowLayout {
                        id: flexiRow
                        Layout.columnSpan: 3
                        Repeater {
                            id: flexiRepeater
                            model: ["Left", "Right", "Top", "Bottom"]
                            CheckBox { text: modelData }
                        }
                    }

                    FieldLabel { text: "Price"; visible: priceRow.visible }
                    RowLayout {
                        id: priceRow
                        TextField {
                            id: priceField
                            objectName: "priceField"
                            readOnly: true
                            font.bold: true
                            implicitWidth: 120
                        }
                        HelpButton {
                            id: calcButton
                            objectName: "calcButton"
                            clickShowsHelp: false
                            glyph: Style.iconCalculator
                            helpText: "Press the calculator button to change how the price is calculated.\n This includes adding a per-item discount."
                        }
                    }
                    FieldLabel { text: "Total"; visible: totalRow.visible }
                    RowLayout {
                        id: totalRow
                        TextField { id: totalField; objectName: "totalField"; readOnly: true; implicitWidth: 120 }
                        HelpButton { helpText: "Total including any extras or supplements.\ne.g. Build Out, Bay Posts or Style premiums" }
                    }

                    RowLayout {
                        Layout.columnSpan: 4
                        Switch { id: panelCheck; objectName: "panelCheck"; text: "Check panel widths." }
                        HelpButton {
                            helpText: "Only uncheck this if the calculated panel widths are preventing you submitting an order but you have confirmed with Heldon that they can be accepted."
                        }
                    }
                }
            }
        }
    }
}

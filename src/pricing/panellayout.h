#pragma once

#include <QString>

// What the surveyor may type as a panel configuration (hinges L/R, T-posts,
// custom positions C) and how it is counted.
struct PanelLayoutRules {
    bool cafe = false;       // café styles: runs of two, at most four panels
    bool microMini = false;  // Micro/Mini frames: no two equal hinges in a row
    bool transom = false;    // a transom row is shown: no T-posts
};

struct PanelLayout {
    QString text;      // the valid sequence
    int panels = 0;
    int tposts = 0;
    int cpanels = 0;
    // The astragal choice applies to meeting panels ("LR" or "LCR").
    bool astragal = false;
};

// Rebuilds typed text into a valid sequence. One pass judges each character
// by the one typed before it, so a dropped character can leave a pair that
// is itself invalid ("R L"); the passes repeat until nothing changes.
PanelLayout panelLayout(const QString &typed, const PanelLayoutRules &rules);

// Which assembly the survey offers for a shutter size.
struct AssemblyLimits {
    int maxPreassembledWidth = 1750;   // "mxpa_width"
    int flatPackWidth = 2600;          // "fpmaxlen"
    double flatPackArea = 3900000;     // "fpmaxarea", square millimetres
};

enum class Assembly { None, PreAssembled, FlatPack };

struct AssemblyChoice {
    Assembly ticked = Assembly::None;
    bool preAllowed = true;
    bool flatAllowed = true;
};

// The assembly rule after an edit of width or height (widthEdited says
// which) or on loading, given what is ticked now.
AssemblyChoice assemblyChoice(int width, int height, bool widthEdited, Assembly current,
                              const AssemblyLimits &limits);

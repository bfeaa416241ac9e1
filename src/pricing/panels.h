#pragma once

#include <QChar>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <QVector>

// Shutter panel layout: the surveyor types a configuration such as "LTR"
// (L/R hinged panels, T a T-post, C a custom panel break) with the post and
// break positions in the item's data map; these functions turn that into
// panel widths, fold styles and the warnings the capture screen shows.

struct PanelEntry
{
    QChar letter;
    int width = 0;   // mm
    int style = 0;   // index into panelStyleName()
};

enum PanelStyle { SingleHung = 0, BiFold = 1, MultiFold = 2 };

QString panelStyleName(int style);

// Frame deduction (mm per side) by the "Frame Style" description.
int frameDeduction(const QString &frameStyle);

// Minimum panel height for the "Rail Size" and "Louvre Size" descriptions;
// 0 when the pair has no minimum.
int minPanelHeight(const QString &rail, const QString &louvre);

// Widest panel allowed for a louvre size description and fold style; 0 when
// the louvre size has no limits.
int maxPanelWidth(const QString &louvre, int style);

// Warnings about the typed configuration itself (counts, missing post and
// break positions, a configuration ending in a mark). pc is upper-cased.
QStringList panelConfigWarnings(const QString &pc, const QVariantMap &dataMap);

// Panel widths for configuration pc on an item of the given width with the
// given frame deduction. Empty when a post or break sits at position 0.
QVector<PanelEntry> panelWidths(const QString &pc, int width, int frame, const QVariantMap &dataMap);

struct PanelCheckResult
{
    QStringList warnings;
    QString description;   // the item's panelsDesc
};

// Checks each panel against the louvre and rail limits and writes the panel
// description.
PanelCheckResult panelCheck(const QString &pc, const QVector<PanelEntry> &panels, const QString &louvre,
                            const QString &rail, int drop);

// Tall-shutter rules: divider rails, tiers and transom/split heights by the
// "Shutter Style" description.
QStringList heightWarnings(const QString &style, int drop, const QVariantMap &dataMap);

#pragma once

#include <QObject>
#include <QStringList>
#include <QVariantMap>

class ComboBoxModel;

// What the screens need beyond the order itself: the survey's typing and
// assembly rules, the business's room names and the last file error.
// Published to the interface as "screenTools".
class ScreenTools : public QObject
{
    Q_OBJECT
public:
    explicit ScreenTools(ComboBoxModel *roomNames, QObject *parent = nullptr);

    // The rooms offered when the business has not saved its own list.
    static QStringList defaultRoomNames();
    // Fills the room-name choices from "rms_sl" and ends them with "add..."
    // (again after the settings screen saved the list).
    Q_INVOKABLE void loadRoomNames();
    // The same into any room-name model (the order refills its own on clear).
    static void fillRoomNames(ComboBoxModel *model);

    // {text, panels, tposts, cpanels, astragal} of typed panel configuration.
    Q_INVOKABLE QVariantMap panelLayout(const QString &typed, bool cafe, bool microMini, bool transom) const;
    // {ticked: 0 none / 1 pre-assembled / 2 flat-pack, preAllowed, flatAllowed}
    Q_INVOKABLE QVariantMap assembly(int width, int height, bool widthEdited, int current) const;
    // A room named on the survey joins the business's list; false for a
    // name that is blank once trimmed.
    Q_INVOKABLE bool addRoomName(const QString &name);
    // The room names the survey offers (without "add..."), and a new list
    // for the business, one name per entry; blanks and repeats are dropped.
    Q_INVOKABLE QStringList roomNames() const;
    Q_INVOKABLE bool setRoomNames(const QStringList &names);
    // Why the last order file operation failed (empty after a success).
    Q_INVOKABLE QString lastFileError() const;

    // The settings and registration screens' rules (see settingsinput.h).
    Q_INVOKABLE bool customerNumberValid(const QString &number) const;
    Q_INVOKABLE bool accountPasswordStrong(const QString &password) const;
    Q_INVOKABLE bool changedPasswordStrong(const QString &password) const;
    // "cuo_pre": what a review link must begin with.
    Q_INVOKABLE QString reviewLinkPrefix() const;
    Q_INVOKABLE bool reviewLinkAccepted(const QString &link) const;
    // Against "betaCode", whose default is fixed at build.
    Q_INVOKABLE bool betaCodeAccepted(const QString &typed) const;
    // "termsurl": the supplier's purchasing terms.
    Q_INVOKABLE QString termsUrl() const;
    // Opens a web page in the desktop's browser; false for anything else.
    Q_INVOKABLE bool openUrl(const QString &url) const;
    // Opens a local file (a print copy) with the desktop's handler; false
    // for anything that is not a local file.
    Q_INVOKABLE bool openFile(const QString &url) const;

private:
    ComboBoxModel *m_roomNames;
};

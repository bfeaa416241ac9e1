#include "app/screentools.h"

#include "app/appcontext.h"
#include "app/appsettings.h"
#include "app/externalopen.h"
#include "app/settingsinput.h"
#include "business/businesslookup.h"
#include "models/comboboxmodel.h"
#include "pricing/panellayout.h"

#include <QFileInfo>

namespace {
const QString roomsKey = QStringLiteral("rms_sl");
#ifndef LTA_BETA_CODE
#define LTA_BETA_CODE "4719"
#endif
}

ScreenTools::ScreenTools(ComboBoxModel *roomNames, QObject *parent)
    : QObject(parent)
    , m_roomNames(roomNames)
{
}

QStringList ScreenTools::defaultRoomNames()
{
    return {QStringLiteral("Living Room"), QStringLiteral("Conservatory"), QStringLiteral("Dining Room"),
            QStringLiteral("Kitchen"),     QStringLiteral("Bedroom1"),     QStringLiteral("Bedroom2"),
            QStringLiteral("Bedroom3"),    QStringLiteral("Bedroom4"),     QStringLiteral("Study"),
            QStringLiteral("Hall"),        QStringLiteral("Bathroom"),     QStringLiteral("Bathroom2"),
            QStringLiteral("Cloakroom")};
}

void ScreenTools::loadRoomNames()
{
    fillRoomNames(m_roomNames);
}

void ScreenTools::fillRoomNames(ComboBoxModel *model)
{
    QStringList names;
    if (appSettings *shared = AppContext::sharedSettings())
        names = shared->value(roomsKey).toStringList();
    names.removeAll(QString());
    if (names.isEmpty())
        names = defaultRoomNames();
    names.removeDuplicates();
    names.removeAll(ComboBoxModel::addEntry());
    names.append(ComboBoxModel::addEntry());
    model->setComboList(names);
}

QVariantMap ScreenTools::panelLayout(const QString &typed, bool cafe, bool microMini, bool transom) const
{
    PanelLayoutRules rules;
    rules.cafe = cafe;
    rules.microMini = microMini;
    rules.transom = transom;
    const PanelLayout layout = ::panelLayout(typed, rules);
    return {{QStringLiteral("text"), layout.text},
            {QStringLiteral("panels"), layout.panels},
            {QStringLiteral("tposts"), layout.tposts},
            {QStringLiteral("cpanels"), layout.cpanels},
            {QStringLiteral("astragal"), layout.astragal}};
}

QVariantMap ScreenTools::assembly(int width, int height, bool widthEdited, int current) const
{
    AssemblyLimits limits;
    limits.maxPreassembledWidth = AppContext::setting(QStringLiteral("mxpa_width"), 1750).toInt();
    limits.flatPackWidth = AppContext::setting(QStringLiteral("fpmaxlen"), 2600).toInt();
    limits.flatPackArea = AppContext::setting(QStringLiteral("fpmaxarea"), 3900000).toDouble();
    const Assembly now = current == 1 ? Assembly::PreAssembled : current == 2 ? Assembly::FlatPack : Assembly::None;
    const AssemblyChoice c = assemblyChoice(width, height, widthEdited, now, limits);
    return {{QStringLiteral("ticked"), c.ticked == Assembly::PreAssembled ? 1 : c.ticked == Assembly::FlatPack ? 2 : 0},
            {QStringLiteral("preAllowed"), c.preAllowed},
            {QStringLiteral("flatAllowed"), c.flatAllowed},
            {QStringLiteral("maxPreassembledWidth"), limits.maxPreassembledWidth},
            {QStringLiteral("flatPackWidth"), limits.flatPackWidth},
            {QStringLiteral("flatPackArea"), limits.flatPackArea}};
}

bool ScreenTools::addRoomName(const QString &name)
{
    const QString room = name.trimmed();
    if (room.isEmpty() || room == ComboBoxModel::addEntry())
        return false;
    m_roomNames->addElement(room);
    QStringList names = m_roomNames->comboList();
    names.removeAll(ComboBoxModel::addEntry());
    if (appSettings *shared = AppContext::sharedSettings()) {
        shared->setValue(roomsKey, names);
        shared->sync();
    }
    return true;
}

QStringList ScreenTools::roomNames() const
{
    QStringList names = m_roomNames->comboList();
    names.removeAll(ComboBoxModel::addEntry());
    return names;
}

bool ScreenTools::setRoomNames(const QStringList &typed)
{
    QStringList names;
    for (const QString &name : typed) {
        const QString room = name.simplified();
        if (!room.isEmpty() && room != ComboBoxModel::addEntry() && !names.contains(room))
            names.append(room);
    }
    appSettings *shared = AppContext::sharedSettings();
    if (!shared)
        return false;
    if (names.isEmpty())
        shared->remove(roomsKey);
    else
        shared->setValue(roomsKey, names);
    shared->sync();
    loadRoomNames();
    return true;
}

QString ScreenTools::lastFileError() const
{
    return AppContext::lastFileError;
}

bool ScreenTools::customerNumberValid(const QString &number) const
{
    return isAccountNumber(number);
}

bool ScreenTools::accountPasswordStrong(const QString &password) const
{
    return SettingsInput::strongPassword(password, SettingsInput::PasswordRule::NewAccount);
}

bool ScreenTools::changedPasswordStrong(const QString &password) const
{
    return SettingsInput::strongPassword(password, SettingsInput::PasswordRule::Change);
}

QString ScreenTools::reviewLinkPrefix() const
{
    return AppContext::setting(QStringLiteral("cuo_pre"), QStringLiteral("https://www.trustpilot.com/review/")).toString();
}

bool ScreenTools::reviewLinkAccepted(const QString &link) const
{
    return SettingsInput::reviewLinkAccepted(link, reviewLinkPrefix());
}

bool ScreenTools::betaCodeAccepted(const QString &typed) const
{
    return SettingsInput::betaCodeAccepted(typed,
                                           AppContext::setting(QStringLiteral("betaCode"), QStringLiteral(LTA_BETA_CODE)).toString());
}

QString ScreenTools::termsUrl() const
{
    return AppContext::setting(QStringLiteral("termsurl"), QStringLiteral("https://lattica.app/terms")).toString();
}

bool ScreenTools::openUrl(const QString &url) const
{
    return SettingsInput::isWebPage(url) && openExternally(QUrl(url, QUrl::StrictMode));
}

bool ScreenTools::openFile(const QString &url) const
{
    const QUrl file(url, QUrl::StrictMode);
    return file.isLocalFile() && QFileInfo::exists(file.toLocalFile()) && openExternally(file);
}

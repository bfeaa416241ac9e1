#include "business/businesskeys.h"

#include "business/businesslookup.h"

#include <QDebug>
#include <QHash>
#include <QRegularExpression>
#include <QSettings>
#include <QStringList>
#include <QUrl>

namespace BusinessKeys {

namespace {

// Business choices a supplier's configuration, the universal settings or an
// account's shared settings may make. Anything else (endpoints, credential
// blocks, the installer's address and command, the data path, the support
// address, the signed-in identity, the posting journal, an order to import)
// belongs to this installation alone.
const QHash<QString, QString> &businessKeys()
{
    static const QHash<QString, QString> keys = [] {
        const char *names[] = {
            // the supplier's order desk and what the order mails carry
            "ordersemail", "emailconf_s", "attachXml_b", "attachLta_b", "saveins3_b", "cld_b",
            // screens and documents
            "apptitle", "crncy", "list1_sl", "list1lbl_s", "list2lbl_s", "optlbl_s", "optlst_s", "order_s",
            "payments_sl", "terms_s", "agreechk_s", "fp_info", "da_counties", "aptypes_sl", "back_b",
            "revDet_b", "showPrices_b", "srtOrder_b", "incExtras_b", "margins_b", "defMarkup_s", "tierprem",
            "copynewitem_b", "jimp_b", "logs_b", "betaTest_lbl", "stilesOnlyOpt_b", "ordpre", "qprc_b",
            // pricing and made-to-measure limits
            "vr_b", "vr_d", "vat_rate", "markup_d", "tradeDiscount_d", "rw_d", "fit_d", "swarn_b", "maxd_d",
            "mxpa_width", "fpmaxlen", "fpmaxarea", "panelWidthChk_b",
            // supplier lead times
            "lead_time_i", "leadtime1_s", "leadtime2_s",
            // kept orders and reviews
            "d2r_i", "d2rb_i", "killzombies", "rms_sl", "cuo_s", "cuo_b",
            // the address check's choice of service and whether it runs
            "mailchk_b", "mailChkApi_s",
            // news and releases
            "currvers", "notifyurl", "notifytitle", "notifyid", "newvertxt", "mustupdate_b", "installsha256_s",
            "iosapp_s", "andapp_s", "termsurl",
        };
        QHash<QString, QString> map;
        for (const char *name : names)
            map.insert(QString::fromLatin1(name).toLower(), QString::fromLatin1(name));
        return map;
    }();
    return keys;
}

// Flat keys of the shared lta.ini beyond the business keys.
const QHash<QString, QString> &sharedOnlyKeys()
{
    static const QHash<QString, QString> keys = [] {
        QHash<QString, QString> map;
        for (const char *name : {"suppAccnts_sl", "maxID_s", "pwrst"})
            map.insert(QString::fromLatin1(name).toLower(), QString::fromLatin1(name));
        return map;
    }();
    return keys;
}

bool plainName(const QString &name)
{
    if (name.isEmpty())
        return false;
    for (const QChar c : name)
        if (c.category() == QChar::Other_Control)
            return false;
    return true;
}

} // namespace

QString businessKey(const QString &key)
{
    return businessKeys().value(key.trimmed().toLower());
}

QString sharedKey(const QString &key)
{
    const int slash = key.indexOf(QLatin1Char('/'));
    if (slash < 0) {
        const QString business = businessKey(key);
        return business.isEmpty() ? sharedOnlyKeys().value(key.trimmed().toLower()) : business;
    }
    // The business's groups: the staff list, account names and delivery
    // names of an account ("C123456/NAME", "C123456_m/NAME"; a delivery
    // name may itself hold a "/").
    const QString group = key.left(slash);
    const QString name = key.mid(slash + 1);
    if (!plainName(name))
        return QString();
    for (const char *known : {"staff", "busNames", "buslist"}) {
        if (group.compare(QLatin1String(known), Qt::CaseInsensitive) == 0)
            return QLatin1String(known) + QLatin1Char('/') + name;
    }
    const QString account = group.endsWith(QLatin1String("_m")) ? group.chopped(2) : group;
    if (isAccountNumber(account))
        return key;
    return QString();
}

bool isWebPage(const QString &text)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    return url.isValid() && !url.host().isEmpty()
           && (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http"));
}

bool isLinkKey(const QString &key)
{
    static const QStringList links{QStringLiteral("notifyurl"), QStringLiteral("termsurl"), QStringLiteral("cuo_s"),
                                   QStringLiteral("iosapp_s"), QStringLiteral("andapp_s")};
    return links.contains(key);
}

bool acceptableValue(const QString &key, const QVariant &value)
{
    if (isLinkKey(key))
        return isWebPage(value.toString());
    if (key == QLatin1String("ordpre")) {
        // the prefix of every new order ID: a few plain letters or digits
        static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_-]{0,12}$"));
        return plain.match(value.toString()).hasMatch();
    }
    if (key == QLatin1String("installsha256_s")) {
        const QString digest = value.toString().trimmed();
        if (digest.size() != 64)
            return false;
        for (const QChar c : digest)
            if (!c.isDigit() && !(c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f')))
                return false;
    }
    return true;
}

bool filterSharedFile(const QString &path)
{
    QSettings file(path, QSettings::IniFormat);
    bool unchanged = true;
    const QStringList keys = file.allKeys();
    for (const QString &key : keys) {
        const QString canonical = sharedKey(key);
        if (canonical.isEmpty() || canonical != key || !acceptableValue(canonical, file.value(key))) {
            qWarning() << "shared settings may not set" << key.left(100);
            file.remove(key);
            unchanged = false;
        }
    }
    file.sync();
    return unchanged;
}

} // namespace BusinessKeys

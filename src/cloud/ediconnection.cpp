#include "ediconnection.h"

#include "app/appcontext.h"
#include "business/businessconfig.h"

bool loadEdiConfig(SupplierItem *supplier, QString *error)
{
    const EdiConfig edi = readEdiConfig();
    if (!edi.present) {
        *error = QStringLiteral("Missing configuration file (edi.cfg). Try logging out and back in or contact support.");
        return false;
    }
    if (!edi.passwordOk) {
        *error = QStringLiteral("Failed to get valid connection data. Contact support.");
        return false;
    }
    supplier->ediScheme = edi.scheme.trimmed();
    supplier->ediUrl = edi.address.trimmed();
    supplier->ediUser = edi.userName;
    supplier->ediPass = edi.password;
    return true;
}

int ediPort(const QString &scheme)
{
    if (scheme == QLatin1String("ftp"))
        return AppContext::setting(QStringLiteral("ediFtpPort_i"), 21).toInt();
    if (scheme == QLatin1String("https"))
        return AppContext::setting(QStringLiteral("ediHttpsPort_i"), 443).toInt();
    return -1;
}

QUrl ediAddress(const SupplierItem &supplier, const QString &scheme, const QString &path)
{
    QUrl url;
    url.setScheme(scheme);
    url.setHost(supplier.ediUrl);
    url.setPort(ediPort(scheme));
    url.setPath(path);
    url.setUserName(supplier.ediUser);
    url.setPassword(supplier.ediPass);
    return url;
}

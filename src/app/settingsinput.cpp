#include "app/settingsinput.h"

#include <QUrl>

namespace SettingsInput {

bool strongPassword(const QString &password, PasswordRule rule)
{
    const int minLength = rule == PasswordRule::NewAccount ? 7 : 8;
    if (password.size() < minLength || password.size() > 16)
        return false;
    bool digit = false, lower = false, upper = false, symbol = false;
    for (const QChar c : password) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digit = true;
        else if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            lower = true;
        else if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            upper = true;
        else
            symbol = true;
    }
    return digit && lower && (upper || (rule == PasswordRule::NewAccount && symbol));
}

bool reviewLinkAccepted(const QString &link, const QString &prefix)
{
    return !prefix.isEmpty() && link.startsWith(prefix);
}

bool betaCodeAccepted(const QString &typed, const QString &code)
{
    return !code.isEmpty() && typed == code;
}

bool isWebPage(const QString &url)
{
    const QUrl parsed(url, QUrl::StrictMode);
    return parsed.isValid() && !parsed.host().isEmpty()
           && (parsed.scheme() == QLatin1String("https") || parsed.scheme() == QLatin1String("http"));
}

} // namespace SettingsInput

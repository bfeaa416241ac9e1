#include "app/externalopen.h"

#include <QDebug>
#include <QDesktopServices>
#include <QFileInfo>

namespace {
ExternalOpener &opener()
{
    static ExternalOpener current;
    return current;
}
} // namespace

bool isOpenableAddress(const QUrl &url)
{
    if (!url.isValid() || url.isEmpty())
        return false;
    if (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http"))
        return !url.host().isEmpty();
    // a folder of our own (the logs); never a file the desktop would run
    return url.isLocalFile() && QFileInfo(url.toLocalFile()).isDir();
}

bool openExternally(const QUrl &url)
{
    if (!isOpenableAddress(url)) {
        qWarning() << "Refused to open an address that is no web page or folder:" << url.scheme();
        return false;
    }
    return opener() ? opener()(url) : QDesktopServices::openUrl(url);
}

void setExternalOpener(ExternalOpener replacement)
{
    opener() = std::move(replacement);
}

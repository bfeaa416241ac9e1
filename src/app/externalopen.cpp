#include "app/externalopen.h"

#include "app/appcontext.h"

#include <QDebug>
#include <QDir>
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
    if (!url.isLocalFile())
        return false;
    const QFileInfo local(url.toLocalFile());
    // a folder of our own (the logs)
    if (local.isDir())
        return true;
    // a document we wrote for printing (order, worksheet, quote): a plain
    // page or PDF in the data folder's "print" folder, never a file the
    // desktop would run
    const QString print = QDir::cleanPath(AppContext::dataFolder + QStringLiteral("/print"));
    const QString suffix = local.suffix().toLower();
    return local.isFile() && !local.isSymLink() && QDir::cleanPath(local.absolutePath()) == print
           && (suffix == QLatin1String("html") || suffix == QLatin1String("pdf"));
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

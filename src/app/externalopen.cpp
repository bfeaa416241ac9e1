#include "app/externalopen.h"

#include <QDesktopServices>

namespace {
ExternalOpener &opener()
{
    static ExternalOpener current;
    return current;
}
} // namespace

bool openExternally(const QUrl &url)
{
    if (!url.isValid() || url.isEmpty())
        return false;
    return opener() ? opener()(url) : QDesktopServices::openUrl(url);
}

void setExternalOpener(ExternalOpener replacement)
{
    opener() = std::move(replacement);
}

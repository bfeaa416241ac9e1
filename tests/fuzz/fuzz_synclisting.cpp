// The storage listing as the settings sync reads it: parsed as the detailed
// listing, then every name decided on against a settings folder of three
// files, in each of the sync's modes. Whatever the reply holds, nothing but
// a plain name of that folder is downloaded or removed locally, a deletion
// marker is the only object removed from the storage, and nothing is sent
// up that the mode does not send.
#include "fuzzsupport.h"

#include "cloud/dcloudcomms.h"
#include "cloud/qamazonconnection.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QXmlStreamReader>

namespace {

using D = DCloudComms;

void checkLocalName(const QString &name, const char *what)
{
    // the name as the sync joins it to the folder
    const QString folder = QStringLiteral("/data/st/");
    const QString path = QDir::cleanPath(folder + name);
    if (!D::isSafeCloudName(name) || path != folder + name || QFileInfo(path).path() + QLatin1Char('/') != folder)
        Fuzz::fail(what, name.toUtf8());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::setUp();
    const QByteArray body = Fuzz::bytes(data, size);
    QMap<QString, CloudFileInfo> cloud;
    QString token;
    parseDetailsPage(body, cloud, token);
    // A listed size of 0 (a deletion marker) must have been written as a 0,
    // never read from a size that is no number.
    bool zeroWritten = false;
    QXmlStreamReader xml(body);
    while (!xml.atEnd() && !zeroWritten) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("Size")) {
            bool ok = false;
            zeroWritten = xml.readElementText().trimmed().toLongLong(&ok) == 0 && ok;
        }
    }
    for (auto it = cloud.cbegin(); it != cloud.cend(); ++it) {
        if (it.value().size == 0 && !zeroWritten)
            Fuzz::fail("a deletion marker read from no written 0", it.key().toUtf8());
    }

    const QDateTime now(QDate(2026, 12, 1), QTime(12, 0), Qt::UTC);
    // local files: one old, one current, one in the future
    const QMap<QString, QDateTime> local{{QStringLiteral("lta.ini"), now.addDays(-400)},
                                         {QStringLiteral("users.ini"), now},
                                         {QStringLiteral(".hidden"), now.addYears(30)}};
    for (int selection : {int(D::UploadNewer), int(D::CloudIsMaster), D::CloudIsMaster | D::KeepZeroSize,
                          D::UploadNewer | D::KeepZeroSize}) {
        D::Rules rules;
        rules.selection = selection;
        rules.listingEmpty = cloud.isEmpty();
        rules.nowUtc = now;
        for (auto it = local.cbegin(); it != local.cend(); ++it) {
            const auto found = cloud.constFind(it.key());
            const CloudFileInfo *info = found == cloud.constEnd() ? nullptr : &found.value();
            const D::LocalFile file{it.value(), [] { return QByteArray("0123456789abcdef0123456789abcdef"); }};
            const D::Step step = D::syncStep(it.key(), info, &file, rules);
            if (step == D::Upload && !(selection & D::UploadNewer))
                Fuzz::fail("uploads in a mode that never uploads");
            if (step == D::RemoveLocal && !(selection & D::CloudIsMaster) && !(info && info->size == 0))
                Fuzz::fail("removes a local file the cloud did not mark");
            if (step == D::RemoveLocal && rules.listingEmpty)
                Fuzz::fail("removes a local file on an empty listing");
            if (step == D::RemoveCloud || step == D::Refuse)
                Fuzz::fail("a local file's step for cloud-only names");
        }
        for (auto it = cloud.cbegin(); it != cloud.cend(); ++it) {
            if (it.value().size < 0)
                Fuzz::fail("a negative size listed", it.key().toUtf8());
            const D::Step step = D::syncStep(it.key(), &it.value(), nullptr, rules);
            if (step == D::Download)
                checkLocalName(it.key(), "a download to an unsafe local name");
            if (step == D::RemoveCloud && (it.value().size != 0 || !it.value().lastModified.isValid()))
                Fuzz::fail("removes a cloud object that is no old deletion marker", it.key().toUtf8());
            if (step == D::Upload || step == D::RemoveLocal)
                Fuzz::fail("a cloud-only name acts on a local file", it.key().toUtf8());
            if (step == D::Refuse && D::isSafeCloudName(it.key()))
                Fuzz::fail("a safe name refused", it.key().toUtf8());
        }
    }
    return 0;
}

#include "staffcli.h"

#include "app/cli.h"
#include "business/staffmanager.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

const char *kUsage = "usage: lattica-cli staff list [--data DIR]\n"
                     "       lattica-cli staff add [--data DIR] SHORT_NAME [FULL_NAME]\n"
                     "       lattica-cli staff remove [--data DIR] STAFF_ID\n"
                     "       lattica-cli staff code [--data DIR] STAFF_ID\n";

int indexOfId(const StaffManager &staff, const QString &id)
{
    return staff.staffIDList().indexOf(id);
}

} // namespace

int cliStaff(CliCall &call)
{
    const QString what = call.args.value(0);
    const QStringList rest = call.args.mid(1);
    StaffManager staff;
    if (what == QLatin1String("list") && rest.isEmpty()) {
        for (int i = 0; i < staff.staffIDList().size(); ++i) {
            const StaffItem *item = staff.getStaffItem(i);
            const QJsonObject row{{QStringLiteral("staffID"), item->staffID()},
                                  {QStringLiteral("shortName"), item->shortName()},
                                  {QStringLiteral("fullName"), item->fullName()},
                                  {QStringLiteral("accessCode"), item->accessCode()},
                                  {QStringLiteral("jday"), item->jday()},
                                  {QStringLiteral("codeState"), item->codeState()}};
            call.out << QJsonDocument(row).toJson(QJsonDocument::Compact) << '\n';
        }
        return 0;
    }
    if (what == QLatin1String("add") && (rest.size() == 1 || rest.size() == 2)) {
        if (!staff.updateStaff(-1, QString(), rest.at(0), rest.value(1))) {
            call.err << staff.error() << '\n';
            return 1;
        }
        call.out << staff.staffIDList().last() << '\n';
        return 0;
    }
    if (what == QLatin1String("remove") && rest.size() == 1) {
        const int index = indexOfId(staff, rest.at(0));
        if (index == 0) {
            call.err << "The administrator cannot be removed\n";
            return 1;
        }
        if (!staff.removeStaff(index, rest.at(0))) {
            call.err << staff.error() << '\n';
            return 1;
        }
        return 0;
    }
    if (what == QLatin1String("code") && rest.size() == 1) {
        const int index = indexOfId(staff, rest.at(0));
        const QString message = index < 0 ? QStringLiteral("Failed: no staff ID %1").arg(rest.at(0))
                                          : staff.staffConnectCode(index);
        const bool ok = !message.isEmpty() && !message.startsWith(QLatin1String("Failed"));
        (ok ? call.out : call.err) << message << '\n';
        return ok ? 0 : 1;
    }
    call.err << kUsage;
    return 2;
}

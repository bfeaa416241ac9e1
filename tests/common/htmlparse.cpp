#include "htmlparse.h"

#include "testenv.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

ParsedHtml parseHtml(const QString &html)
{
    ParsedHtml parsed;
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {TestEnv::sourcePath(QStringLiteral("tests/common/htmllines.py"))});
    if (!python.waitForStarted())
        return parsed;
    python.write(html.toUtf8());
    python.closeWriteChannel();
    if (!python.waitForFinished(30000) || python.exitCode() != 0)
        return parsed;
    const QJsonObject o = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    for (const QJsonValue &v : o.value(QStringLiteral("tags")).toArray())
        parsed.tags << v.toString();
    for (const QJsonValue &v : o.value(QStringLiteral("lines")).toArray())
        parsed.lines << v.toString();
    parsed.ok = !o.isEmpty();
    return parsed;
}

#include "csvtable.h"
#include "pricing/catalogue.h"
#include "app/appcontext.h"
#include "pricing/inicache.h"

#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QRegularExpression>
#include <QTextStream>

namespace {

// Pricing one item reads a dozen tables, and a whole order the same ones
// over and over: parsed tables are kept by path and reused while the file's
// size and modification time are unchanged.
struct CachedTable
{
    qint64 size = -1;
    qint64 modified = 0;
    QStringList headers;
    QVector<QStringList> rows;
};

QMutex &cacheMutex()
{
    static QMutex mutex;
    return mutex;
}

QHash<QString, CachedTable> &cache()
{
    static QHash<QString, CachedTable> tables;
    return tables;
}

} // namespace

void CsvTable::dropCache()
{
    {
        QMutexLocker lock(&cacheMutex());
        cache().clear();
    }
    dropIniCache();   // the catalogue's settings files and listings go with its tables
    Catalogue::dropFolderCache();
}

CsvTable::CsvTable(const QString &path)
    : m_fileName(path)
{
    if (!m_fileName.endsWith(QLatin1String(".csv")))
        m_fileName += QLatin1String(".csv");

    qint64 size = 0, modified = 0;
    // throw-away files (a downloaded stock file read once) stay out of the cache
    const bool isFile = fileStamp(m_fileName, &size, &modified)
                        && (AppContext::dataFolder.isEmpty()
                            || !m_fileName.startsWith(AppContext::dataFolder + QStringLiteral("/tmp/")));
    if (isFile) {
        QMutexLocker lock(&cacheMutex());
        const auto it = cache().constFind(m_fileName);
        if (it != cache().constEnd() && it->size == size && it->modified == modified) {
            m_headers = it->headers;
            m_rows = it->rows;
            return;
        }
    }

    QFile file(m_fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qCritical().noquote() << QStringLiteral("Failed to open csv file: ") + m_fileName
                              << file.errorString();
        return;
    }
    QTextStream in(&file);
    const QString text = in.readAll();
    if (text.size() < 2)
        qCritical().noquote() << QStringLiteral("csv file: ") + m_fileName
                                     + QStringLiteral(" is empty or invalid");
    parse(text);
    // only tables read without complaint: a broken one says so every time
    if (isFile && text.size() >= 2 && !m_headers.isEmpty()) {
        QMutexLocker lock(&cacheMutex());
        cache().insert(m_fileName, CachedTable{size, modified, m_headers, m_rows});
    }
}

void CsvTable::parse(const QString &text)
{
    static const QRegularExpression lineBreak(QStringLiteral("[\n\r]"));
    const QStringList lines = text.split(lineBreak, Qt::SkipEmptyParts);
    if (lines.size() < 2) {
        qCritical().noquote() << QStringLiteral("format error in csv file: ") + m_fileName;
        return;
    }

    // The header has no quoting: every comma separates, empty names stay.
    const QStringList names = lines.first().split(QLatin1Char(','));
    m_headers.reserve(names.size());
    for (const QString &name : names)
        m_headers.append(name.simplified().toLower());

    m_rows.reserve(lines.size() - 1);
    for (int i = 1; i < lines.size(); ++i) {
        QStringList fields = parseLine(lines.at(i));
        while (fields.size() < m_headers.size())
            fields.append(QString());
        m_rows.append(fields);
    }
}

QStringList CsvTable::parseLine(const QString &line)
{
    QStringList fields;
    QString field;
    bool quoted = false;
    for (const QChar ch : line) {
        if (ch == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (ch == QLatin1Char(',') && !quoted) {
            fields.append(field);
            field.clear();
        } else {
            field.append(ch);
        }
    }
    fields.append(field);
    return fields;
}

QStringList CsvTable::column(int index) const
{
    QStringList result;
    if (index < 0)
        return result;
    for (const QStringList &row : m_rows) {
        if (row.size() > index)
            result.append(row.at(index));
    }
    return result;
}

QString CsvTable::cell(int row, int column) const
{
    if (row < 0 || row >= m_rows.size())
        return QString();
    return m_rows.at(row).value(column);
}

QString CsvTable::lookup(const QString &rowKey, const QString &columnName) const
{
    const int col = columnIndex(columnName);
    if (col < 0)
        return QString();
    for (const QStringList &row : m_rows) {
        if (!row.isEmpty() && row.first() == rowKey)
            return row.value(col);
    }
    return QString();
}

QStringList CsvTable::distinctColumn(const QString &name) const
{
    QStringList result = column(columnIndex(name.toLower()));
    result.removeDuplicates();
    return result;
}

QStringList CsvTable::distinctWhere(const QString &whereColumn, const QString &value,
                                    const QString &selectColumn) const
{
    QStringList result;
    const int whereCol = columnIndex(whereColumn);
    const int selectCol = columnIndex(selectColumn);
    if (value.trimmed().isEmpty() || whereCol < 0 || selectCol < 0)
        return result;
    for (const QStringList &row : m_rows) {
        if (row.value(whereCol) != value)
            continue;
        const QString field = row.value(selectCol);
        if (!field.isEmpty() && !result.contains(field))
            result.append(field);
    }
    return result;
}

QStringList CsvTable::selectWhere(const QStringList &selectColumns, const QStringList &whereColumns,
                                  const QStringList &whereValues) const
{
    QVector<int> selectIdx;
    selectIdx.reserve(selectColumns.size());
    for (const QString &name : selectColumns)
        selectIdx.append(columnIndex(name));

    QVector<int> whereIdx;
    whereIdx.reserve(whereColumns.size());
    for (const QString &name : whereColumns) {
        const int idx = columnIndex(name);
        if (idx < 0) {
            qCritical().noquote() << QStringLiteral("selectWhere. No such column: ") + name;
            return QStringList();
        }
        whereIdx.append(idx);
    }

    QStringList result;
    for (const QStringList &row : m_rows) {
        bool match = true;
        for (int i = 0; i < whereIdx.size() && match; ++i) {
            // A missing value never matches rather than matching everything.
            if (i >= whereValues.size() || row.value(whereIdx.at(i)) != whereValues.at(i))
                match = false;
        }
        if (!match)
            continue;
        for (const int idx : selectIdx)
            result.append(idx < 0 ? QString() : row.value(idx));
    }
    return result;
}

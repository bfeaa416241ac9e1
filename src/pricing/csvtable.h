#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// Read-only view of one catalogue CSV file. Every catalogue table (price
// bands, ranges, option groups, group flags) and the business account lists
// are read through this one dialect:
//  - header names are whitespace-simplified and lower-cased, so look-ups use
//    lower-case names;
//  - data fields may be quoted to hold commas; quote characters are never kept;
//  - short rows are padded with empty fields to the header's length.
// Problems never throw: an unreadable or malformed file is an empty table and
// a critical log line says why.
class CsvTable
{
public:
    CsvTable() = default;
    // ".csv" is appended when the path does not already end in it.
    explicit CsvTable(const QString &path);

    QString fileName() const { return m_fileName; }
    QStringList headers() const { return m_headers; }
    QVector<QStringList> rows() const { return m_rows; }
    int rowCount() const { return m_rows.size(); }
    bool isEmpty() const { return m_rows.isEmpty(); }

    // Index of a (lower-case) header name, -1 when absent.
    int columnIndex(const QString &name) const { return m_headers.indexOf(name); }

    // The field at index for every row long enough to have it.
    QStringList column(int index) const;
    // "" when the row or the column is out of range.
    QString cell(int row, int column) const;
    // The field in columnName of the first row whose first field is rowKey.
    QString lookup(const QString &rowKey, const QString &columnName) const;
    // A column's fields over all rows, first occurrence of each kept.
    QStringList distinctColumn(const QString &name) const;
    // selectColumn of the rows whose whereColumn equals value, empty fields
    // and repeats left out.
    QStringList distinctWhere(const QString &whereColumn, const QString &value,
                              const QString &selectColumn) const;
    // For every row matching all where pairs, one value per select column,
    // appended to one flat list (callers test its length).
    QStringList selectWhere(const QStringList &selectColumns, const QStringList &whereColumns,
                            const QStringList &whereValues) const;

    // Tables are parsed once and reused while their file keeps its size and
    // modification time; a catalogue update drops them all (and the cached
    // catalogue INI files with them).
    static void dropCache();

    // One data line split by the quoting rules (exposed for the tests).
    static QStringList parseLine(const QString &line);

private:
    void parse(const QString &text);

    QString m_fileName;
    QStringList m_headers;
    QVector<QStringList> m_rows;
};

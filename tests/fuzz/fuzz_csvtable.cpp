// Catalogue CSV tables as the catalogue reader meets them on disk.
#include "fuzzsupport.h"

#include "app/appcontext.h"
#include "pricing/csvtable.h"

#include <QFile>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::setUp();
    const QString path = AppContext::catalogueProductsFolder + QStringLiteral("/fuzz.csv");
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            Fuzz::fail("cannot write the table");
        f.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    const CsvTable table(path);
    // short rows are padded: every row has at least the header's fields
    for (const QStringList &row : table.rows()) {
        if (row.size() < table.headers().size())
            Fuzz::fail("row shorter than the header", Fuzz::bytes(data, size));
    }
    if (!table.headers().isEmpty()) {
        table.distinctColumn(table.headers().first());
        table.lookup(QStringLiteral("a"), table.headers().last());
        table.selectWhere(table.headers(), {table.headers().first()}, {QStringLiteral("a")});
    }
    table.cell(0, 0);
    CsvTable::parseLine(QString::fromUtf8(reinterpret_cast<const char *>(data), int(size)));
    return 0;
}

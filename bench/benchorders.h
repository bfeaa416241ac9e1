#pragma once

// What the benchmarks share: an order of shutters as a surveyor fills it in,
// on the sample catalogue's ranges, and the median and spread of timings.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QTemporaryDir>

#include <algorithm>
#include <vector>

namespace bench {

struct Choice
{
    const char *supplier, *range, *colour;
};

// An order of n shutters spread over rooms, ranges and sizes, with options
// chosen the way a surveyor would.
inline QByteArray makeOrder(const QString &id, int n)
{
    static const Choice choices[] = {{"Harbour Shutters", "Classic MDF", "Pure White"},
                                     {"Harbour Shutters", "Hardwood Select", "Natural Oak"},
                                     {"Northgate Joinery", "Cotswold Basswood", "Ivory"},
                                     {"Northgate Joinery", "Heritage Cedar", "Painted White"}};
    static const char *configs[] = {"LR", "LLRR", "LTR", "L", "LLTRR"};
    QJsonArray items;
    for (int i = 0; i < n; ++i) {
        const Choice &c = choices[i % 4];
        const int width = 500 + (i * 37) % 1900;
        const QString pc = QString::fromLatin1(configs[i % 5]);
        QJsonObject data{{"PanelConfig", pc}};
        if (pc.contains('T'))
            data.insert("TPost1", QString::number(width / 2));
        const QJsonArray options{
            QJsonObject{{"group", "Frame Style"}, {"description", i % 2 ? "Classic" : "Micro L Frame"}},
            QJsonObject{{"group", "Hinge Colour"}, {"description", "Colour Matched"}},
            QJsonObject{{"group", "Louvre Size"}, {"description", i % 3 ? "76mm" : "89mm"}},
            QJsonObject{{"group", "Shutter Style"}, {"description", "Full Height"}},
            QJsonObject{{"group", "Build Out"}, {"description", "All sides 25mm"}},
        };
        items.append(QJsonObject{{"room", QStringLiteral("Room %1").arg(i / 6 + 1)},
                                 {"width", width},
                                 {"drop", 700 + (i * 53) % 1400},
                                 {"product", "Lattica"},
                                 {"supplier", c.supplier},
                                 {"range", c.range},
                                 {"color", c.colour},
                                 {"item_price", "0.00"},
                                 {"extras_price", "0.00"},
                                 {"data", data},
                                 {"options", options}});
    }
    const QJsonObject order{{"orderID", id}, {"manOrderID", "BENCH"}, {"custAddr", "Bench Customer\n1 High Street"},
                            {"items", items}};
    return QJsonDocument(order).toJson(QJsonDocument::Compact);
}

struct Stats
{
    double median, p10, p90, min, max;
};

inline Stats stats(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    auto at = [&v](double q) { return v[size_t(q * double(v.size() - 1) + 0.5)]; };
    return {at(0.5), at(0.1), at(0.9), v.front(), v.back()};
}

// Never the real home: settings and data live in a throw-away folder.
inline void useThrowAwayHome(const QTemporaryDir &home)
{
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    qputenv("XDG_RUNTIME_DIR", home.path().toUtf8());
}

} // namespace bench

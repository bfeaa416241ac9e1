#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

class CloudComms;
class VexaOrder;

// What the survey, review, completion and signature screens need for the
// shutter drawings and the customer's quote. Published to the interface as
// "quoteTools".
class QuoteTools : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString lastMessage READ lastMessage NOTIFY message)
public:
    // cloud sends the quote mail (with its mail credential); may be null,
    // and then no mail can be sent.
    QuoteTools(VexaOrder *order, CloudComms *cloud, QObject *parent = nullptr);

    // The drawing of an item (a VexaOrderItem) as SVG text, and as a data
    // URL an Image can show; empty for anything else.
    Q_INVOKABLE QString drawingSvg(QObject *item) const;
    Q_INVOKABLE QString drawingUrl(QObject *item) const;

    // The quote's figures as texts with the currency, as the quote prints
    // them: parts, additions, total, discountPercent, discount, price,
    // deposit, balance, vat ("Prices include VAT" / "Prices exclude VAT").
    Q_INVOKABLE QVariantMap totals();

    // Where the current order's quote PDF goes: the print folder,
    // "Quote_<orderID>.pdf"; empty without a usable order ID.
    Q_INVOKABLE QString quotePdfPath() const;
    // Writes the quote PDF and hands it to the desktop's viewer. "" or the
    // message to show.
    Q_INVOKABLE QString openQuotePdf();
    // Writes the quote PDF and mails it to the customer; on success the
    // order's "quoteSent" property holds the time. "" or the message.
    Q_INVOKABLE QString emailQuote();
    // Marks the signature as taken now ("signedDate"), for the quote.
    Q_INVOKABLE void signatureTaken();

    QString lastMessage() const { return m_lastMessage; }

signals:
    // Every result of openQuotePdf and emailQuote ("" for success).
    void message(const QString &text);

private:
    QString report(const QString &text);
    VexaOrder *m_order;
    CloudComms *m_cloud;
    QString m_lastMessage;
};

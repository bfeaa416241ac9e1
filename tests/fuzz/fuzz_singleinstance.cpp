// What a later start (or anything else that finds the local socket) sends to
// the running program: the preamble is checked, and only a well-formed one
// hands its message on.
#include "fuzzsupport.h"

#include "app/singleapplication.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocalSocket>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::setUp();
    static SingleApplication *primary = nullptr;
    static QByteArray received;
    static int messages = 0;
    if (!primary) {
        primary = new SingleApplication(true, SingleApplication::User, 1000);
        if (!primary->isPrimary())
            Fuzz::fail("not the primary");
        QObject::connect(primary, &SingleApplication::receivedMessage, [](uint, const QByteArray &message) {
            received += message;
            ++messages;
        });
    }
    // First byte odd: the rest follows a well-formed preamble (type from the
    // second byte), so that the message handling is reached too.
    const QByteArray name = primary->blockServerName().toLatin1();
    const bool framedByUs = size >= 2 && (data[0] & 1);
    const QByteArray message = framedByUs ? Fuzz::bytes(data + 2, size - 2) : QByteArray();
    const QByteArray input = framedByUs
                                 ? SingleApplication::connectionMessage(primary->blockServerName(), "NRS"[data[1] % 3], 7) + message
                                 : Fuzz::bytes(data, size);
    received.clear();
    messages = 0;
    QLocalSocket socket;
    socket.connectToServer(primary->blockServerName());
    if (!socket.waitForConnected(1000))
        Fuzz::fail("cannot connect");
    socket.write(input);
    socket.flush();
    socket.waitForBytesWritten(1000);
    // the primary reads what arrives, then the sender goes away
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 20)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    socket.disconnectFromServer();
    while (timer.elapsed() < 40)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);

    if (framedByUs && received != message)
        Fuzz::fail("message not handed on as sent", input);
    // a message is handed on only behind a well-formed preamble, and only as sent
    if (!framedByUs && messages > 0) {
        const bool framed = input.startsWith(name) && input.size() > name.size() + 5
                            && QByteArray("NRS").contains(input.at(name.size()));
        if (!framed || !input.endsWith(received))
            Fuzz::fail("message accepted without its preamble", input);
    }
    return 0;
}

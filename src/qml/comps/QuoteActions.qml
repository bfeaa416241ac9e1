import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// "Quote PDF..." and "Email quote to customer..." for the current order:
// the PDF is saved beside the print files and opened in the desktop's
// viewer; the mail goes to the order's customer e-mail only when pressed.
// Every outcome is shown in a message and announced through done().
RowLayout {
    id: actions
    property alias pdfButton: pdfButton
    property alias emailButton: emailButton
    property alias messagePopup: popup
    signal done(string message)
    // emitted before the quote is made, so a screen can hand over what is
    // still being typed
    signal aboutToQuote()

    function report(message, success) {
        popup.show(message !== "" ? message : success, false)
        done(message)
    }

    Button {
        id: pdfButton
        objectName: "quotePdfButton"
        text: "Quote PDF..."
        onClicked: {
            actions.aboutToQuote()
            var message = quoteTools.openQuotePdf()
            if (message !== "")
                actions.report(message, "")
            else
                actions.done("")
        }
    }
    Button {
        id: emailButton
        objectName: "emailQuoteButton"
        text: "Email quote to customer..."
        enabled: _myOrder.custEmail !== ""
        ToolTip.visible: hovered
        ToolTip.text: enabled ? "Send the quote as a PDF to " + _myOrder.custEmail
                              : "Enter the customer's e-mail address on the order screen first"
        onClicked: {
            actions.aboutToQuote()
            actions.report(quoteTools.emailQuote(), "The quote was sent to " + _myOrder.custEmail + ".")
        }
    }
    MessagePopup {
        id: popup
        objectName: "quoteMessage"
    }
}

#pragma once
// Every failure in Tresmol is an exception that carries the text the user reads.

#include <QString>
#include <exception>

class EError : public std::exception {
public:
    explicit EError(QString message) : FMessage(std::move(message)), FUtf8(FMessage.toUtf8()) {}
    const QString& Message() const noexcept { return FMessage; }
    const char* what() const noexcept override { return FUtf8.constData(); }

private:
    QString FMessage;
    QByteArray FUtf8;
};

// The text of the standard error box: the message, with a full stop appended when its
// last character sorts above the full stop (so "...found" gains one, "...?" does not).
QString ErrorBoxText(const QString& message);

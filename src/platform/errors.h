#pragma once
// Every failure in Tresmol is an exception that carries the text the user reads.
//
// The windows speak Russian and the command line English. Most failures have one text
// for both; one that the program words itself in each language carries both, and each
// side reads its own.

#include <QString>
#include <exception>

class EError : public std::exception {
public:
    explicit EError(QString message) : EError(message, message) {}
    EError(QString message, QString englishMessage)
        : FMessage(std::move(message)), FEnglish(std::move(englishMessage)),
          FUtf8(FEnglish.toUtf8())
    {
    }
    // The text the windows show.
    const QString& Message() const noexcept { return FMessage; }
    // The text the command line prints.
    const QString& EnglishMessage() const noexcept { return FEnglish; }
    const char* what() const noexcept override { return FUtf8.constData(); }

private:
    QString FMessage;
    QString FEnglish;
    QByteArray FUtf8;
};

// The text of the standard error box: the message, with a full stop appended when its
// last character sorts above the full stop (so "...found" gains one, "...?" does not).
QString ErrorBoxText(const QString& message);

#pragma once
// The crossing between the system's CP932 text and Qt's Unicode.

#include <QString>
#include <QValidator>

#include <string>

namespace app::qt {

QString ToQString(const std::string& cp932Text);
// Characters outside CP932 become "?"; the text fields let none in (Cp932Validator).
std::string ToCp932(const QString& text);

// Refuses input that CP932 cannot write, so what is typed is what gets stored and sent.
class Cp932Validator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& position) const override;
};

}  // namespace app::qt

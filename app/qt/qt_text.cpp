#include "app/qt/qt_text.h"

#include "platform/cp932.h"

namespace app::qt {

QString ToQString(const std::string& cp932Text) { return QString::fromStdString(platform::Cp932ToUtf8(cp932Text)); }

std::string ToCp932(const QString& text) { return platform::Cp932(text.toStdString()); }

QValidator::State Cp932Validator::validate(QString& input, int& /*position*/) const {
    return platform::Utf8ToCp932(input.toStdString()) ? Acceptable : Invalid;
}

}  // namespace app::qt

#pragma once
// The program keeps paths, names and the texts it shows in the system's 8-bit
// text, as the file system and the C library hand them over; Qt's widgets
// hold QStrings. These two are the only crossings between them.

#include <QString>
#include <string>

namespace tarnwell {

inline QString FromSystemText(const std::string& text) {
    return QString::fromLocal8Bit(text);
}

inline std::string ToSystemText(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

}  // namespace tarnwell

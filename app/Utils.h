// Small helpers of the application.
#pragma once

#include <QIcon>
#include <QString>

#include <cstdint>
#include <string>

// The folder of the program file, without a trailing path delimiter.
std::string GetAppDir();

// The program's icon, drawn rather than loaded so the program needs no files.
QIcon ProgramIcon();

// Byte strings are shown as Latin-1: every byte is one character.
inline QString Latin1(const std::string& bytes) { return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size())); }
inline std::string Bytes(const QString& text) { return text.toLatin1().toStdString(); }

// "0:41": minutes and seconds.
std::string TimeText(std::int64_t seconds);

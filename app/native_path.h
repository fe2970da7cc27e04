#pragma once
// File names as the file system holds them: bytes, usually but not always
// UTF-8. Qt reads every byte string as UTF-8 and turns what is not into
// U+FFFD, so a Latin-1 "café.jpg" could not be opened again. These keep each
// byte that is not part of valid UTF-8 as the lone surrogate U+DC80 + byte,
// which no valid UTF-8 decodes to, and give it back unchanged.

#include <QString>

#include <string>
#include <string_view>

QString PathFromNative(std::string_view bytes);
std::string NativePath(const QString& path);

// The path for showing and for new names: kept bytes become U+FFFD.
QString DisplayPath(const QString& path);

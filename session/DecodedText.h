// Bytes from scripts, paths and the card as text for people and JSON: UTF-8,
// the file system's encoding, when the whole text is valid UTF-8; otherwise
// each byte as the character of the same number (Latin-1), so that any byte
// still shows and nothing is lost.
#pragma once

#include <QString>

#include <string_view>

QString DecodedText(std::string_view bytes);

#pragma once
// The windows' side of the text rule: inside the program texts are code page 932 bytes; a widget
// gets a QString made from them at the last moment, and what the user typed becomes code page 932
// as soon as it is read from the widget.

#include <QString>
#include <string>
#include <string_view>

namespace gui {

// Code page 932 bytes -> screen text.
QString Qs(std::string_view cp932);
// Screen text -> code page 932 bytes (characters code page 932 lacks become "?").
std::string Cp(const QString& text);
// A caption or message of the program, written in UTF-8 in the source: held as code page 932 (so a
// character the settings file could not hold shows as "?" here too) and converted for the screen.
QString J(std::u8string_view utf8);

} // namespace gui

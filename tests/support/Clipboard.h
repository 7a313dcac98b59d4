// The clipboard's text, as the program under test left it.
#pragma once

#include <string>

// The CF_TEXT contents; empty when the clipboard holds no text or cannot be opened.
std::string ClipboardText();

// Text for a Windows console: the program's texts are UTF-8, so a console the program writes to
// is switched to UTF-8 for as long as the program runs (names such as "Messung_März.txt" then
// show as they are); output redirected to a file or a pipe keeps its bytes. Nothing to do
// elsewhere.
#pragma once

void ShowUtf8OnConsole();

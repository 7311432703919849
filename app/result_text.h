// The result and the machine facts as plain text, for the clipboard (Ctrl+C
// and "Copy result" in the system menu): one "Name: value" line each, lines
// ended with CR LF.
#ifndef MORLANT_APP_RESULT_TEXT_H
#define MORLANT_APP_RESULT_TEXT_H

#include <windows.h>

#include <string>

#include "controls/cards.h"
#include "sysinfo/system_info.h"

// Score, time, workload, then the information card's rows (CPU, cores,
// frequency when known, memory, OS, architecture) and the version. Without
// a result the score and the time read "--", as on the card.
std::wstring result_text(const ResultCardState& result, const SystemInfo& info);

// Puts `text` on the clipboard as Unicode text, owned by `owner`. Returns
// false when the clipboard cannot be opened or the memory not allocated.
bool copy_to_clipboard(HWND owner, const std::wstring& text);

#endif  // MORLANT_APP_RESULT_TEXT_H

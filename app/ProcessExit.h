#pragma once

// Ends the process with `code` after writing pending settings. Every exit of the
// running program (tray Exit, the quit message, the close-request file) goes through
// here: ExitProcess kills the autosave thread wherever it is, so the last changes are
// written first, by a save that waits for a running autosave pass. Analytics events
// sent before (the exit's own) are given up to 5 s in all for their curl.exe to end.
[[noreturn]] void ExitProcessWithSettingsSaved(unsigned code);

// The native build has no GDI: the frame, label, area and text commands paint nothing
// there (their geometry is portable and tested natively).
#include "editor/DrawSelectedAreaCommand.h"
#include "editor/DrawSelectionCommand.h"
#include "editor/DrawSelectionSizeCommand.h"
#include "editor/DrawTextCommand.h"

void DrawSelectionCommand::Draw(HDC) {}
void DrawSelectionSizeCommand::Draw(HDC) {}
void DrawSelectedAreaCommand::Draw(HDC) {}
void DrawTextCommand::Draw(HDC) {}

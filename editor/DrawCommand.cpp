#include "editor/DrawCommand.h"

void DrawAll(const DrawCommandList& commands, HDC dc) {
    for (const auto& command : commands) {
        if (command) command->Draw(dc);
    }
}

#pragma once

// A point inside the editor's result step where a test build of the program can make
// the step fail (it throws, as a failing picture library would). The program's own
// definition (ResultSeam_win.cpp) does nothing; a test build links its own in front.
void RunResultSeam();

#include "editor/GraphinTable.h"

// No graphin.dll natively: tests put their own table in place.
const GraphinTable* LoadDefaultGraphin() { return nullptr; }

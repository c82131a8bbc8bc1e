#pragma once
// graphin.dll as the program uses it (imported beside the test executable), for the
// draw commands of a test: no test table is in place.
#include "editor/GraphinTable.h"

class GraphinForTests {
public:
    GraphinForTests() {
        SetGraphinForTesting(nullptr);
        m_ok = GetGraphin() != nullptr && GetGraphin()->IsComplete();
    }
    bool ok() const { return m_ok; }

private:
    bool m_ok = false;
};

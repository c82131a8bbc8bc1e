#pragma once
// graphin.dll from the build, put in place for the draw commands of a test.
#include <windows.h>

#include "editor/GraphinTable.h"

class GraphinForTests {
public:
    GraphinForTests() {
        m_module = LoadLibraryW(BRIVANE_GRAPHIN_DLL);
        m_ok = m_module && LoadGraphinTable(m_module, m_table);
        if (m_ok) SetGraphinForTesting(&m_table);
    }
    ~GraphinForTests() { SetGraphinForTesting(nullptr); }
    bool ok() const { return m_ok; }

private:
    HMODULE m_module = nullptr;
    GraphinTable m_table;
    bool m_ok = false;
};

#include "app/KeyPressReader.h"

bool KeyPressReader::IsHeld(int virtualKey) {
    if (virtualKey < 0 || virtualKey >= static_cast<int>(m_keys.size())) return false;
    Key& key = m_keys[static_cast<size_t>(virtualKey)];
    if (key.pass == m_pass) return key.held;
    const KeyRead now = m_read(virtualKey);
    const bool readBefore = key.pass != 0;
    key.held = now.down || (now.pressedSince && readBefore && !key.down);
    key.down = now.down;
    key.pass = m_pass;
    return key.held;
}

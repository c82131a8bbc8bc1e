#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Builds a dialog template in memory, so tests need no resource script.
class DialogTemplate {
public:
    DialogTemplate(DWORD style, short width, short height, const wchar_t* title) {
        DLGTEMPLATE head = {};
        head.style = style | DS_SETFONT;
        head.cx = width;
        head.cy = height;
        Append(&head, sizeof head);
        Word(0);   // no menu
        Word(0);   // default class
        Text(title);
        Word(8);
        Text(L"MS Shell Dlg");
    }

    // A control of a predefined class: 0x0080 button, 0x0081 edit, 0x0082 static.
    DialogTemplate& Control(WORD atom, WORD id, DWORD style, short x, short y, short cx, short cy,
                            const wchar_t* text) {
        Align();
        DLGITEMTEMPLATE item = {};
        item.style = style | WS_CHILD | WS_VISIBLE;
        item.x = x;
        item.y = y;
        item.cx = cx;
        item.cy = cy;
        item.id = id;
        Append(&item, sizeof item);
        Word(0xFFFF);
        Word(atom);
        Text(text);
        Word(0);   // no creation data
        auto* head = reinterpret_cast<DLGTEMPLATE*>(m_bytes.data());
        head->cdit++;
        return *this;
    }

    // A control of a named window class ("SysTabControl32").
    DialogTemplate& Control(const wchar_t* className, WORD id, DWORD style, short x, short y, short cx, short cy,
                            const wchar_t* text) {
        Align();
        DLGITEMTEMPLATE item = {};
        item.style = style | WS_CHILD | WS_VISIBLE;
        item.x = x;
        item.y = y;
        item.cx = cx;
        item.cy = cy;
        item.id = id;
        Append(&item, sizeof item);
        Text(className);
        Text(text);
        Word(0);
        auto* head = reinterpret_cast<DLGTEMPLATE*>(m_bytes.data());
        head->cdit++;
        return *this;
    }

    const DLGTEMPLATE* Get() {
        Align();
        return reinterpret_cast<const DLGTEMPLATE*>(m_bytes.data());
    }

private:
    void Append(const void* data, size_t size) {
        const auto* p = static_cast<const unsigned char*>(data);
        m_bytes.insert(m_bytes.end(), p, p + size);
    }
    void Word(WORD w) { Append(&w, sizeof w); }
    void Text(const wchar_t* text) { Append(text, (wcslen(text) + 1) * sizeof(wchar_t)); }
    void Align() {
        while (m_bytes.size() % 4) m_bytes.push_back(0);
    }
    std::vector<unsigned char> m_bytes;
};

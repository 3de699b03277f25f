#include "console/json_text.h"

#include <cwchar>

std::wstring JsonText::Quoted(const std::wstring& text) {
    std::wstring out = L"\"";
    for (const wchar_t c : text) {
        if (c == L'"' || c == L'\\') {
            out += L'\\';
            out += c;
        } else if (static_cast<unsigned>(c) < 0x20) {
            wchar_t escape[8] = {};
            std::swprintf(escape, 8, L"\\u%04x", static_cast<unsigned>(c));
            out += escape;
        } else {
            out += c;
        }
    }
    return out + L"\"";
}

void JsonText::Member(const std::wstring& name, const std::wstring& json) {
    if (!m_members.empty())
        m_members += L",";
    m_members += Quoted(name) + L":" + json;
}

JsonText& JsonText::Add(const std::wstring& name, const std::wstring& text) {
    Member(name, Quoted(text));
    return *this;
}

JsonText& JsonText::Add(const std::wstring& name, bool value) {
    Member(name, value ? L"true" : L"false");
    return *this;
}

JsonText& JsonText::Add(const std::wstring& name, int value) {
    Member(name, std::to_wstring(value));
    return *this;
}

JsonText& JsonText::Add(const std::wstring& name, const JsonArray& array) {
    Member(name, array.Text());
    return *this;
}

JsonText& JsonText::Add(const std::wstring& name, const JsonText& object) {
    Member(name, object.Text());
    return *this;
}

JsonText& JsonText::AddNull(const std::wstring& name) {
    Member(name, L"null");
    return *this;
}

void JsonArray::Item(const std::wstring& json) {
    if (!m_items.empty())
        m_items += L",";
    m_items += json;
}

JsonArray& JsonArray::Add(const std::wstring& text) {
    Item(JsonText::Quoted(text));
    return *this;
}

JsonArray& JsonArray::Add(const JsonText& object) {
    Item(object.Text());
    return *this;
}

#pragma once

#include <string>

class JsonText;

// A JSON array, built element by element.
class JsonArray {
  public:
    JsonArray& Add(const std::wstring& text);
    JsonArray& Add(const JsonText& object);
    std::wstring Text() const { return L"[" + m_items + L"]"; }

  private:
    void Item(const std::wstring& json);
    std::wstring m_items;
};

// A JSON object on one line, built member by member in the order added.
class JsonText {
  public:
    JsonText& Add(const std::wstring& name, const std::wstring& text);
    JsonText& Add(const std::wstring& name, const wchar_t* text) {
        return Add(name, std::wstring(text));
    }
    JsonText& Add(const std::wstring& name, bool value);
    JsonText& Add(const std::wstring& name, int value);
    JsonText& Add(const std::wstring& name, const JsonArray& array);
    JsonText& Add(const std::wstring& name, const JsonText& object);
    JsonText& AddNull(const std::wstring& name);
    std::wstring Text() const { return L"{" + m_members + L"}"; }

    // `text` as a JSON string, quotes included.
    static std::wstring Quoted(const std::wstring& text);

  private:
    void Member(const std::wstring& name, const std::wstring& json);
    std::wstring m_members;
};

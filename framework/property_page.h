#pragma once

#include <windows.h>
#include <prsht.h>

#include <memory>
#include <vector>

#include "platform/text_types.h"

class CBanner;
class CCheckListBox;
class CListBox;
class CPropertySheet;

// One page of a property sheet, built on a dialog template. The sheet's notifications reach the
// virtual operations below; texts, radio groups and list boxes are bound to controls by id and
// moved with UpdateData.
class CPropertyPage {
  public:
    explicit CPropertyPage(UINT templateId);
    virtual ~CPropertyPage();
    CPropertyPage(const CPropertyPage&) = delete;
    CPropertyPage& operator=(const CPropertyPage&) = delete;

    virtual BOOL OnInitDialog();
    // TRUE accepts the activation.
    virtual BOOL OnSetActive();
    // 0 moves to the neighbouring page; -1 stays.
    virtual LRESULT OnWizardNext();
    virtual LRESULT OnWizardBack();
    // TRUE lets the sheet close; FALSE keeps it open.
    virtual BOOL OnWizardFinish();
    // Any other message of the page. Returns true with `result` when it handled the message.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // FALSE: the bound members into their controls; TRUE: the controls into the members.
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

    HWND GetSafeHwnd() const { return m_hWnd; }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    CPropertySheet* GetSheet() const { return m_sheet; }

    // A message box owned by the page.
    int MessageBox(const wchar_t* text, const wchar_t* caption, UINT type);
    UINT_PTR SetTimer(UINT_PTR id, UINT milliseconds);
    BOOL KillTimer(UINT_PTR id);

    // Used by CPropertySheet.
    PROPSHEETPAGEW SheetPage();
    void SetSheet(CPropertySheet* sheet) { m_sheet = sheet; }

  protected:
    // Bindings, made in the page's constructor.
    void BindText(int id, CString& member);
    void BindRadioGroup(int firstId, int lastId, int& member);
    void BindListBox(int id, CListBox& control);
    void BindCheckListBox(int id, CCheckListBox& control);
    // The page's picture (its static control showing a bitmap) fills `areaDlu` at every DPI:
    // `bitmapId` is the picture at 96 DPI, `doubleId` the same drawn at twice the size.
    void BindBanner(UINT bitmapId, UINT doubleId, SIZE areaDlu);

    HWND m_hWnd = nullptr;

  private:
    struct TextBinding {
        int id;
        CString* member;
    };
    struct RadioBinding {
        int firstId;
        int lastId;
        int* member;
    };
    struct ListBinding {
        int id;
        CListBox* control;
        CCheckListBox* checkList;
    };

    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnNotify(const NMHDR& header);
    void AttachControls();

    UINT m_templateId;
    CPropertySheet* m_sheet = nullptr;
    std::vector<TextBinding> m_texts;
    std::vector<RadioBinding> m_radios;
    std::vector<ListBinding> m_lists;
    std::unique_ptr<CBanner> m_banner;
};

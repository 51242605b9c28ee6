// The "VN Website" page: releases offered by the product website.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "operations/installed_packages.h"
#include "releases/catalogue_view.h"
#include "releases/download_context.h"
#include "ui/dialog.h"

namespace zid {

struct DownloadRequest;

class CWebsitePage final : public ICatalogueView {
public:
    // installed: what This PC lists (the default build and the installs follow it).
    explicit CWebsitePage(IInstalledPackages& installed) : m_installed(installed) {}
    CWebsitePage(const CWebsitePage&) = delete;
    CWebsitePage& operator=(const CWebsitePage&) = delete;

    // Creates the page (hidden) as a child of parent; its downloads run in context. Once created it
    // loads the catalogue (a posted Refresh). Null on failure.
    HWND Create(HWND parent, const DownloadContext& context);
    // The page window and its list (1001); null while the page does not exist.
    HWND Window() const { return m_page; }
    HWND List() const { return m_list; }

    // The href of each list row, in row order (links and rows are kept parallel by the catalogue).
    const std::vector<std::wstring>& Links() const { return m_links; }

    // The page was drawn anew at dpi (its controls scaled already): the columns follow.
    void OnDpiChanged(UINT dpi);

    // A finished download of a catalogue page: its rows into the list.
    void OnCataloguePageFinished(DownloadRequest& request);

    bool Is64BitChecked() const override;
    void ClearRows() override;
    void InsertRow(int position, const std::wstring& package, const std::wstring& date, const std::wstring& note,
                   const std::wstring& link) override;
    int AppendRow(const std::wstring& text) override;
    void SetCell(int row, int column, const std::wstring& text) override;
    void AppendLink(const std::wstring& link) override;
    void BeginRows() override;
    void EndRows() override;
    void FitColumns() override;
    void SetStatus(const std::wstring& text) override;
    void EnableRefresh(bool enable) override;
    void EnableDownload(bool enable) override;

    // The page's dialog procedure body (reached through DialogThunk).
    INT_PTR OnMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

private:
    friend INT_PTR PageMessage<>(CWebsitePage& page, HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    INT_PTR OnInitDialog(HWND page);
    INT_PTR OnCommand(WORD id, WORD code);
    INT_PTR OnNotify(const NMHDR& header);
    void OnDestroy();
    INT_PTR OnSetCursor(HWND page);
    void CheckDefaultBuild();
    void SetUpList();
    void DownloadSelected();

    IInstalledPackages& m_installed;
    const DownloadContext* m_context = nullptr;
    HWND m_page = nullptr;
    HWND m_list = nullptr;              // list control 1001
    UINT m_dpi = 96;                    // the DPI the page is drawn at
    RECT m_rowsArea{};                  // the list's client area when many rows began
    std::vector<std::wstring> m_links;  // href of each list row, in row order
};

}  // namespace zid

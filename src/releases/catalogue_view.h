// The list that the release catalogue fills: the website page's, seen from the catalogue reader.
#pragma once

#include <string>

namespace zid {

class ICatalogueView {
public:
    // Whether the 64-bit build is chosen: the build whose releases are listed.
    virtual bool Is64BitChecked() const = 0;
    // Empties the list and the row links.
    virtual void ClearRows() = 0;
    // Inserts a row of three texts at position and its link at the same position of the links.
    virtual void InsertRow(int position, const std::wstring& package, const std::wstring& date,
                           const std::wstring& note, const std::wstring& link) = 0;
    // Appends a row with text in column 0; its position.
    virtual int AppendRow(const std::wstring& text) = 0;
    // Sets column of row to text.
    virtual void SetCell(int row, int column, const std::wstring& text) = 0;
    // Appends a link to the row links (the archive adds links apart from rows).
    virtual void AppendLink(const std::wstring& link) = 0;
    // Many rows follow, drawn once EndRows comes; EndRows fits the columns to the width the list had at
    // BeginRows (before a scroll bar took its share).
    virtual void BeginRows() = 0;
    virtual void EndRows() = 0;
    // Fits the columns to the list's width now.
    virtual void FitColumns() = 0;
    // The status line above the list.
    virtual void SetStatus(const std::wstring& text) = 0;
    virtual void EnableRefresh(bool enable) = 0;
    virtual void EnableDownload(bool enable) = 0;

protected:
    ~ICatalogueView() = default;
};

}  // namespace zid

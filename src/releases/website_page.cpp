#include "releases/website_page.h"

INT_PTR CALLBACK WebsitePageProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

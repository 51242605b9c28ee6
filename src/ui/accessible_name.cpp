#include <initguid.h>

#include "ui/accessible_name.h"

#include <oleacc.h>

#include "win/com_ptr.h"

namespace zid {

// A list view or an edit control takes its name from a static text right before it; the lists and
// the log pane have a group box, a radio button or a button there, so their names are set here.
void SetAccessibleName(HWND control, const wchar_t* name) {
    com_ptr<IAccPropServices> services;
    if (!control || FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                                            services.put_void())))
        return;
    services->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_NAME, name);
}

}  // namespace zid

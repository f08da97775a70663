#include "WebBrowserHost.h"

#include "platform/win32/WideText.h"

#include <exdisp.h>
#include <exdispid.h>
#include <mshtml.h>
#include <ocidl.h>
#include <ole2.h>

// The container's side of the control: the client site, the in-place site and frame the
// control asks for while it activates, and the sink of its events. One object answers for
// all of them; its reference count keeps it alive while the control holds it.
class WebBrowserHost::Site final : public IOleClientSite,
                                   public IOleInPlaceSite,
                                   public IOleInPlaceFrame,
                                   public IDispatch {
public:
    Site(HWND container, std::function<void(const std::string&)> openLink)
        : container_(container), openLink_(std::move(openLink)) {}

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = nullptr;
        if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
            *object = static_cast<IOleClientSite*>(this);
        } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) {
            *object = static_cast<IOleInPlaceSite*>(this);
        } else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame) {
            *object = static_cast<IOleInPlaceFrame*>(this);
        } else if (iid == IID_IDispatch || iid == DIID_DWebBrowserEvents2) {
            *object = static_cast<IDispatch*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP GetContainer(IOleContainer** container) override {
        *container = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow (shared by the in-place site and the frame)
    STDMETHODIMP GetWindow(HWND* window) override {
        *window = container_;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                  LPRECT position, LPRECT clip,
                                  LPOLEINPLACEFRAMEINFO info) override {
        *frame = static_cast<IOleInPlaceFrame*>(this);
        AddRef();
        *document = nullptr;
        GetClientRect(container_, position);
        GetClientRect(container_, clip);
        info->fMDIApp = FALSE;
        info->hwndFrame = GetAncestor(container_, GA_ROOT);
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
    STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP OnPosRectChange(LPCRECT position) override {
        IOleInPlaceObject* inPlace = nullptr;
        if (browserObject_ != nullptr &&
            SUCCEEDED(browserObject_->QueryInterface(IID_IOleInPlaceObject,
                                                     reinterpret_cast<void**>(&inPlace)))) {
            inPlace->SetObjectRects(position, position);
            inPlace->Release();
        }
        return S_OK;
    }

    // IOleInPlaceUIWindow and IOleInPlaceFrame: the window has no menus or tool bars to
    // share with the control.
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

    // IDispatch: the control's events (DWebBrowserEvents2).
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT*,
                        EXCEPINFO*, UINT*) override {
        if (parameters == nullptr) {
            return S_OK;
        }
        // The arguments come last to first.
        if (member == DISPID_NEWWINDOW3 && parameters->cArgs >= 5) {
            // The page's links open in a new window (its base target): the user's own
            // browser shows them, not a browser window of this program.
            *parameters->rgvarg[3].pboolVal = VARIANT_TRUE;
            OpenLink(parameters->rgvarg[0].bstrVal);
        } else if (member == DISPID_BEFORENAVIGATE2 && parameters->cArgs >= 7) {
            const VARIANT* url = parameters->rgvarg[5].pvarVal;
            if (url != nullptr && url->vt == VT_BSTR && IsWebLink(url->bstrVal)) {
                *parameters->rgvarg[0].pboolVal = VARIANT_TRUE;
                OpenLink(url->bstrVal);
            }
        }
        return S_OK;
    }

    void SetBrowserObject(IOleObject* object) { browserObject_ = object; }

private:
    static bool IsWebLink(const wchar_t* url) {
        const std::wstring text = url != nullptr ? url : L"";
        for (const wchar_t* scheme : {L"http:", L"https:", L"mailto:"}) {
            if (_wcsnicmp(text.c_str(), scheme, wcslen(scheme)) == 0) {
                return true;
            }
        }
        return false;
    }

    void OpenLink(const wchar_t* url) {
        if (url != nullptr && openLink_) {
            openLink_(FromWide(url));
        }
    }

    ULONG references_ = 1;
    HWND container_;
    std::function<void(const std::string&)> openLink_;
    IOleObject* browserObject_ = nullptr; // not owned
};

namespace {

template <typename Interface> void ReleaseAndClear(Interface*& pointer) {
    if (pointer != nullptr) {
        pointer->Release();
        pointer = nullptr;
    }
}

} // namespace

std::unique_ptr<WebBrowserHost>
WebBrowserHost::Create(HWND container, std::function<void(const std::string&)> openLink) {
    std::unique_ptr<WebBrowserHost> host(new WebBrowserHost());
    host->container_ = container;
    host->site_ = new Site(container, std::move(openLink));

    IOleObject* object = nullptr;
    if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                reinterpret_cast<void**>(&object)))) {
        return nullptr;
    }
    host->site_->SetBrowserObject(object);
    RECT area{};
    GetClientRect(container, &area);
    const bool active = SUCCEEDED(object->SetClientSite(host->site_)) &&
                        SUCCEEDED(OleSetContainedObject(object, TRUE)) &&
                        SUCCEEDED(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, host->site_, -1,
                                                 container, &area)) &&
                        SUCCEEDED(object->QueryInterface(
                            IID_IWebBrowser2, reinterpret_cast<void**>(&host->browser_)));
    // The control keeps what it needs of itself; the host goes on through IWebBrowser2.
    object->Release();
    if (!active) {
        return nullptr;
    }
    IConnectionPointContainer* points = nullptr;
    if (SUCCEEDED(host->browser_->QueryInterface(IID_IConnectionPointContainer,
                                                 reinterpret_cast<void**>(&points)))) {
        IConnectionPoint* events = nullptr;
        if (SUCCEEDED(points->FindConnectionPoint(DIID_DWebBrowserEvents2, &events))) {
            DWORD cookie = 0;
            events->Advise(static_cast<IDispatch*>(host->site_), &cookie);
            events->Release();
        }
        points->Release();
    }
    host->browser_->put_RegisterAsDropTarget(VARIANT_FALSE);
    host->browser_->put_Silent(VARIANT_TRUE);
    return host;
}

WebBrowserHost::~WebBrowserHost() {
    if (browser_ != nullptr) {
        IOleObject* object = nullptr;
        if (SUCCEEDED(
                browser_->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&object)))) {
            // Closing the control breaks its references to the site, the event sink among them.
            object->Close(OLECLOSE_NOSAVE);
            object->SetClientSite(nullptr);
            object->Release();
        }
        ReleaseAndClear(browser_);
    }
    if (site_ != nullptr) {
        site_->SetBrowserObject(nullptr);
        site_->Release();
    }
}

void WebBrowserHost::SetBounds(const RECT& area) {
    if (browser_ == nullptr) {
        return;
    }
    IOleInPlaceObject* inPlace = nullptr;
    if (SUCCEEDED(
            browser_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)))) {
        inPlace->SetObjectRects(&area, &area);
        inPlace->Release();
    }
}

HRESULT WebBrowserHost::Navigate(const std::string& target) {
    lastNavigation_ = target;
    BSTR url = SysAllocString(ToWide(target).c_str());
    if (url == nullptr) {
        return E_OUTOFMEMORY;
    }
    VARIANT empty;
    VariantInit(&empty);
    const HRESULT result = browser_->Navigate(url, &empty, &empty, &empty, &empty);
    SysFreeString(url);
    return result;
}

void WebBrowserHost::RepaintNow() {
    RedrawWindow(container_, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

bool WebBrowserHost::HasDocument() {
    IDispatch* document = nullptr;
    if (FAILED(browser_->get_Document(&document)) || document == nullptr) {
        return false;
    }
    document->Release();
    return true;
}

std::string WebBrowserHost::RenderedBodyText() {
    IDispatch* dispatch = nullptr;
    if (FAILED(browser_->get_Document(&dispatch)) || dispatch == nullptr) {
        return std::string();
    }
    std::string text;
    IHTMLDocument2* document = nullptr;
    if (SUCCEEDED(
            dispatch->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&document)))) {
        IHTMLElement* body = nullptr;
        if (SUCCEEDED(document->get_body(&body)) && body != nullptr) {
            BSTR inner = nullptr;
            if (SUCCEEDED(body->get_innerText(&inner)) && inner != nullptr) {
                text = FromWide(std::wstring_view(inner, SysStringLen(inner)));
                SysFreeString(inner);
            }
            body->Release();
        }
        document->Release();
    }
    dispatch->Release();
    return text;
}

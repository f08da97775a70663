#pragma once

#include "platform/win32/Win32Api.h"

#include <functional>
#include <memory>
#include <string>

struct IWebBrowser2;

// The system's web-browser control, placed in a window of ours and active in place there
// (the OLE container's side: client site, in-place site and frame). Links that the page
// opens in a new window, and links to the web, go to `openLink` instead, which gives them
// to the user's browser.
class WebBrowserHost {
public:
    // Creates the control inside `container`. Null when the system has no web-browser
    // control or it cannot be activated: the window then goes on without the page.
    static std::unique_ptr<WebBrowserHost> Create(HWND container,
                                                  std::function<void(const std::string&)> openLink);
    ~WebBrowserHost();
    WebBrowserHost(const WebBrowserHost&) = delete;
    WebBrowserHost& operator=(const WebBrowserHost&) = delete;

    // Fits the control to `area`, in the container's client coordinates.
    void SetBounds(const RECT& area);

    // Asks the control to show `target`: "about:blank" or a plain file path. The page loads
    // in the background after the call. Returns the control's answer (S_OK when it took the
    // request).
    HRESULT Navigate(const std::string& target);

    // Repaints the control at once.
    void RepaintNow();

    // What the last call of Navigate asked for.
    const std::string& LastNavigation() const { return lastNavigation_; }

    // The text of the page's body as the control has rendered it; empty when the control
    // has no rendered document (no HTML engine, or the page is still loading).
    std::string RenderedBodyText();

    // Whether the control has an HTML document at all (a rendering engine is there).
    bool HasDocument();

    class Site;

private:
    WebBrowserHost() = default;

    HWND container_ = nullptr;
    Site* site_ = nullptr;
    IWebBrowser2* browser_ = nullptr;
    std::string lastNavigation_;
};

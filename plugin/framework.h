#pragma once

// The application framework's DLL module object. On this platform a minimal base class of our
// own stands in for the framework's; the desktop build uses the framework's own.
class CWinApp {
public:
    explicit CWinApp(const char* appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual int InitInstance();

    const char* GetAppName() const { return name; }
    // The module object of this library, or null before it is constructed.
    static CWinApp* GetModuleApp();

private:
    const char* name;
};

// Starts the module object as the platform starts a library: on Windows DllMain runs InitInstance
// once the library is loaded, elsewhere it runs here. Returns InitInstance's result, or 1 when the
// start is left to DllMain.
int StartModuleApp(CWinApp& app);

// Defines the module object and starts it when the library is loaded, as the framework does:
// the object is constructed first, then its InitInstance runs, in that order.
#define IMPLEMENT_MODULE_APP(AppClass, object) \
    AppClass object;                           \
    [[maybe_unused]] static const int object##Started = StartModuleApp(object);

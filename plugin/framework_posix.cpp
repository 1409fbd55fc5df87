#include "plugin/framework.h"

// A shared library has no entry function here: the module object starts during static
// initialisation, right after it is constructed.
int StartModuleApp(CWinApp& app) {
    return app.InitInstance();
}

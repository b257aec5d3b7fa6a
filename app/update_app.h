// The installer's application object: one per session, starts sockets and runs the main window.
#pragma once

#include "platform/app.h"

class CUpdateApp : public CWinApp {
public:
    BOOL InitInstance() override;
};

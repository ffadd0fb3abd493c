#include "app/ui/smtapp.h"

#include <QApplication>

#include "app/ui/mainframe.h"
#include "app/ui/smtview.h"
#include "app/ui/uiservices.h"

namespace smt {

CSMTApp theApp;

CSMTApp::CSMTApp() = default;
// Reached at process exit; when the display went away under the event loop the
// window system is gone too, so an undestroyed frame is left to the process end.
CSMTApp::~CSMTApp() { (void)m_frame.release(); }

bool CSMTApp::InitInstance(const QStringList& arguments) {
    InstallUiServices();
    QApplication::setApplicationName("SMT");
    m_frame = std::make_unique<CMainFrame>();
    if (!m_frame->Created()) {
        m_frame.reset();
        return false;
    }
    // The command line: a project path opens it, otherwise a new document.
    m_frame->Document().OnNewDocument();
    if (arguments.size() > 1) m_frame->Document().OnOpenDocument(arguments.at(1).toStdString());
    m_frame->GetActiveView()->OnInitialUpdate();
    if (auto* partList = m_frame->GetActiveView()->m_pPartList.data()) partList->RefreshPlacementList();
    m_frame->show();
    m_frame->activateWindow();
    return true;
}

int CSMTApp::ExitInstance() {
    m_frame.reset();
    RemoveUiServices();
    return 0;
}

int CSMTApp::Run(const QStringList& arguments) {
    if (!InitInstance(arguments)) {
        ExitInstance();
        return 1;
    }
    const int code = QApplication::exec();
    ExitInstance();
    return code;
}

} // namespace smt

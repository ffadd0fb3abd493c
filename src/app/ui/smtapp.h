// The application: brings the main window up in the start-up order and takes it
// down again.
#pragma once

#include <QStringList>

#include <memory>

namespace smt {

class CMainFrame;

class CSMTApp {
public:
    CSMTApp();
    ~CSMTApp();

    // Creates the frame (which creates the view and reads the table files), the
    // new document or the one named on the command line, runs the first update
    // and shows the window. False when the program must end.
    bool InitInstance(const QStringList& arguments);
    // Takes the frame down (if the close did not already) and ends the services.
    int ExitInstance();
    // InitInstance, the event loop, ExitInstance.
    int Run(const QStringList& arguments);

    CMainFrame* MainFrame() const { return m_frame.get(); }

private:
    std::unique_ptr<CMainFrame> m_frame;
};

// The single application object.
extern CSMTApp theApp;

} // namespace smt

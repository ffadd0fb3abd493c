// Starts the real application in a fresh start folder seeded from res/.
#pragma once

#include <QApplication>
#include <QMenu>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "base/globals.h"
#include "app/shellservices.h"
#include "app/ui/mainframe.h"
#include "app/ui/program_wiring.h"
#include "app/ui/smtapp.h"
#include "app/ui/smtview.h"
#include "app/viewcore.h"
#include "platform/event.h"
#include "platform/profile.h"
#include "test_support.h"

namespace smt::test {

class ShellApp {
public:
    // `configIni` replaces the seeded config.ini when not empty.
    explicit ShellApp(const std::string& configIni = {}) {
        namespace fs = std::filesystem;
        for (const auto& e : fs::directory_iterator(SMT_SOURCE_DIR "/res"))
            if (e.is_regular_file() && e.path().extension() != ".md")
                fs::copy_file(e.path(), fs::path(m_dir.Path()) / e.path().filename());
        if (!fs::exists(m_dir.File("config_speed.fig")))
            WriteBytes(m_dir.File("config_speed.fig"), Hex("FF FE FF 00 00 00 00 00"));
        if (!configIni.empty()) WriteBytes(m_dir.File("config.ini"), configIni);
        // No camera of either kind is started: the shell's cases have no simulated cameras.
        plat::WritePrivateProfileString("CameraListConfig", "m_HighSpeedCamera", "2", m_dir.File("config.ini"));
        m_oldCwd = fs::current_path().string();
        fs::current_path(m_dir.Path());
        setenv("XDG_CONFIG_HOME", m_dir.File("xdg").c_str(), 1);
        plat::FlushProfileCache();
        plat::ResumeWaits();
        ResetFirstUpdateForTests();
        GetShellServices() = {};
        WireProgram();
        g_FigLists = {};
        g_MachineType = 0;
        g_LanguageIndex = 0;
        m_app = std::make_unique<CSMTApp>();
    }

    ~ShellApp() {
        GetShellServices() = {};
        if (m_app->MainFrame()) {
            ScriptedResponder quiet(plat::MsgAnswer::No);
            m_app->MainFrame()->close();
        }
        m_app->ExitInstance();
        plat::ResumeWaits();
        std::filesystem::current_path(m_oldCwd);
    }

    bool Start() { return m_app->InitInstance({"smt"}); }
    CMainFrame* Frame() const { return m_app->MainFrame(); }
    CSMTView* View() const { return Frame()->GetActiveView(); }
    const TempDir& Dir() const { return m_dir; }
    std::string Config(const std::string& section, const std::string& key) const {
        plat::FlushProfileCache();
        return plat::GetPrivateProfileString(section, key, "", 512, m_dir.File("config.ini"));
    }

private:
    TempDir m_dir;
    std::string m_oldCwd;
    std::unique_ptr<CSMTApp> m_app;
};

// Opens a menu as the operator would (its update handlers run) and closes it.
inline void OpenAndClose(QMenu* menu) {
    menu->popup({10, 10});
    QApplication::processEvents();
    menu->hide();
    QApplication::processEvents();
}

} // namespace smt::test

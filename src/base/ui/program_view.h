// What a subsystem's wiring may use of the program's main view, defined below
// the shell so that no subsystem includes the shell: the shell's view implements
// it, and the program's one wiring (app/ui/program_wiring.cpp) hands it to the
// part of each subsystem's wiring that needs a window.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "base/named_steps.h"

class QDialog;
class QWidget;

namespace smt {

// The panels the view places (the camera panel and the manual control panel in
// the left column, the two list panels over the list area).
enum class ViewPanel { Camera, ManualControl, FeedList, PartList };

class ProgramView {
public:
    // The view's widget: the parent of the dialogs a subsystem keeps; what a
    // subsystem holds for the view ends with its `destroyed` signal.
    virtual QWidget* Widget() = 0;
    // A panel, null while it does not exist; its subsystem knows its type.
    virtual QWidget* Panel(ViewPanel panel) const = 0;
    // Creates the list panels that do not exist yet (as a new document does).
    virtual void EnsureListPanels() = 0;

    // The ordered load steps a subsystem fills by name.
    virtual NamedSteps& FirstUpdateSteps() = 0;
    virtual NamedSteps& CreationCaptionSteps() = 0;
    virtual NamedSteps& LanguageChangeSteps() = 0;

    virtual std::string StartFolder() const = 0;
    virtual std::string LanguageName() const = 0;

    // Runs a dialog modally the way the view does (tests replace it).
    virtual int RunModal(QDialog& dialog) = 0;
    // The dialog of a settings or feeder menu command; the view refuses the
    // command first when the machine's state says so.
    virtual void SetDialogOpener(int id, std::function<void(int id)> open) = 0;
    // Opens a command's dialog without the menu's refusals (a dialog that offers
    // another subsystem's dialog as one of its pages).
    virtual void OpenDialog(int id) = 0;

    // The travel limit of Z in pulses.
    virtual std::int32_t ZLimitPulses() const = 0;

protected:
    ~ProgramView() = default;
};

// The program's one wiring, in the order the program decides: each subsystem's
// wiring function fills at once what needs no window and hands `OnView` what
// needs the view; those parts run, in the same order, for every view created.
class Wiring {
public:
    using ViewPart = std::function<void(ProgramView&)>;
    void OnView(std::string subsystem, ViewPart part) { m_parts.emplace_back(std::move(subsystem), std::move(part)); }
    void WireView(ProgramView& view) const {
        for (const auto& part : m_parts) part.second(view);
    }
    void Clear() { m_parts.clear(); }

private:
    std::vector<std::pair<std::string, ViewPart>> m_parts;
};

// The process's wiring, filled by WireProgram().
Wiring& TheWiring();

} // namespace smt
